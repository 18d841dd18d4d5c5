#pragma once

#include "geometry/vec3.h"

namespace velmora {

// An infinite circular cone: the region a craft's sensor sees.
class SensorCone {
public:
    SensorCone() = default;
    SensorCone(double apexX, double apexY, double apexZ, double axisX, double axisY, double axisZ,
               double tanHalfAngle)
        : apex{apexX, apexY, apexZ}, axis{axisX, axisY, axisZ}, tanHalfAngle(tanHalfAngle)
    {
    }
    virtual ~SensorCone() = default;

    // Inside or on the surface, strictly in front of the plane through the apex; axis must be unit length.
    // Inline: the formation tests every pair both ways at every step.
    bool contains(const Vec3& p) const
    {
        const Vec3 v = subtract(p, apex);
        const double d = dot(v, axis);
        if (d < 0.0)
            return false;
        // Squared tangent of the angle off the axis; infinite (or NaN at the apex) when d is 0, which fails.
        const double q = (dot(v, v) - d * d) / (d * d);
        return tanHalfAngle * tanHalfAngle >= q;
    }

    Vec3 apex;
    Vec3 axis{0.0, 0.0, 1.0};
    double tanHalfAngle = 0.0;
};

}  // namespace velmora
