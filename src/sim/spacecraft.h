#pragma once

#include "geometry/mat3.h"
#include "sim/maneuver_plan.h"
#include "sim/sensor_cone.h"
#include "sim/turn_cache.h"

#include <array>

namespace velmora {

// A rigid craft moving at constant velocity, turning through its plan, with one body-fixed sensor cone
// along body axis z whose apex sits on its surface.
class Spacecraft {
public:
    Spacecraft() = default;
    virtual ~Spacecraft() = default;

    SensorCone sensorCone() const
    {
        const Vec3 axis = column(attitude, 2);
        const Vec3 apex = add(position, scale(axis, craftRadius));
        return SensorCone(apex.x, apex.y, apex.z, axis.x, axis.y, axis.z, tanFov);
    }

    // Moves and turns the craft from t0 to t1 with the segment in force at t0 for the whole interval.
    // True when t1 falls in another segment than t0 (or past the end of the plan).
    bool propagate(const ManeuverPlan& plan, double t0, double t1)
    {
        addInPlace(position, scale(velocity, t1 - t0));
        const int i = plan.segmentIndexAt(t0);
        if (i >= 0) {
            const ManeuverSegment& s = plan.segment(i);
            const double phi = (t1 - t0) * s.rate;
            // Turning by -phi on the inverse side is turning by phi about the world axis.
            attitude = transposeProduct(turns_.rotation(s.axis, -phi), attitude);
        }
        return plan.segmentIndexAt(t1) != i;
    }

    void resetAttitude() { attitude = Mat3{}; }

    // Body-to-world 4x4 matrix in OpenGL element order.
    std::array<double, 16> poseMatrix() const;

    Vec3 position;
    Mat3 attitude;
    Vec3 velocity;
    double craftRadius = 0.0;
    double fovHalfAngle = 0.0;
    double tanFov = 0.0;

private:
    TurnCache turns_;
};

}  // namespace velmora
