#include "sim/sensor_cone.h"

namespace velmora {

bool SensorCone::contains(const Vec3& p) const
{
    const Vec3 v = subtract(p, apex);
    const double d = dot(v, axis);
    if (d < 0.0)
        return false;
    // Squared tangent of the angle off the axis; infinite (or NaN at the apex) when d is 0, which fails.
    const double q = (dot(v, v) - d * d) / (d * d);
    return tanHalfAngle * tanHalfAngle >= q;
}

}  // namespace velmora
