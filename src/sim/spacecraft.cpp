#include "sim/spacecraft.h"

namespace velmora {

std::array<double, 16> Spacecraft::poseMatrix() const
{
    const auto& a = attitude.m;
    return {a[0], a[1], a[2], 0.0, a[3], a[4], a[5], 0.0, a[6], a[7], a[8], 0.0,
            position.x, position.y, position.z, 1.0};
}

}  // namespace velmora
