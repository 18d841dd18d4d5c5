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
    bool contains(const Vec3& p) const;

    Vec3 apex;
    Vec3 axis{0.0, 0.0, 1.0};
    double tanHalfAngle = 0.0;
};

}  // namespace velmora
