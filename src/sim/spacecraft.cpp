#include "sim/spacecraft.h"

namespace velmora {

SensorCone Spacecraft::sensorCone() const
{
    const Vec3 axis = column(attitude, 2);
    const Vec3 apex = add(position, scale(axis, craftRadius));
    return SensorCone(apex.x, apex.y, apex.z, axis.x, axis.y, axis.z, tanFov);
}

bool Spacecraft::propagate(const ManeuverPlan& plan, double t0, double t1)
{
    addInPlace(position, scale(velocity, t1 - t0));
    const int i = plan.segmentIndexAt(t0);
    if (i >= 0) {
        const ManeuverSegment s = plan.segment(i);
        const double phi = (t1 - t0) * s.rate;
        // Turning by -phi on the inverse side is turning by phi about the world axis.
        attitude = transposeProduct(axisAngle(s.axis, -phi), attitude);
    }
    return plan.segmentIndexAt(t1) != i;
}

std::array<double, 16> Spacecraft::poseMatrix() const
{
    const auto& a = attitude.m;
    return {a[0], a[1], a[2], 0.0, a[3], a[4], a[5], 0.0, a[6], a[7], a[8], 0.0,
            position.x, position.y, position.z, 1.0};
}

}  // namespace velmora
