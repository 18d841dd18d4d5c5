#pragma once

#include "geometry/mat3.h"
#include "sim/maneuver_plan.h"
#include "sim/sensor_cone.h"

#include <array>

namespace velmora {

// A rigid craft moving at constant velocity, turning through its plan, with one body-fixed sensor cone
// along body axis z whose apex sits on its surface.
class Spacecraft {
public:
    Spacecraft() = default;
    virtual ~Spacecraft() = default;

    SensorCone sensorCone() const;

    // Moves and turns the craft from t0 to t1 with the segment in force at t0 for the whole interval.
    // True when t1 falls in another segment than t0 (or past the end of the plan).
    bool propagate(const ManeuverPlan& plan, double t0, double t1);

    void resetAttitude() { attitude = Mat3{}; }

    // Body-to-world 4x4 matrix in OpenGL element order.
    std::array<double, 16> poseMatrix() const;

    Vec3 position;
    Mat3 attitude;
    Vec3 velocity;
    double craftRadius = 0.0;
    double fovHalfAngle = 0.0;
    double tanFov = 0.0;
};

}  // namespace velmora
