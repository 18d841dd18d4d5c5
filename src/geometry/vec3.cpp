#include "geometry/vec3.h"

#include <cmath>

namespace velmora {

double length(const Vec3& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

bool normalize(Vec3& a)
{
    const double s2 = a.x * a.x + a.y * a.y + a.z * a.z;
    if (!(s2 > 0.0))
        return false;
    const double f = 1.0 / std::sqrt(s2);
    a.x *= f;
    a.y *= f;
    a.z *= f;
    return true;
}

}  // namespace velmora
