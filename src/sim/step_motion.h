#pragma once

#include "sim/maneuver_plan.h"
#include "sim/spacecraft.h"

#include <cmath>

namespace velmora {

// One craft's motion within one step, exactly as Spacecraft::propagate moves it: the centre at its constant
// velocity, the attitude turning at the rate of the segment in force at the step's start, about that segment's
// fixed world axis, for the whole step. It gives what a sensor cone needs at any moment s seconds into the step:
// the centre and the sensor axis.
class StepMotion {
public:
    StepMotion() = default;
    // craft, flying plan, with the centre and sensor axis it had at the step's start t0 (its velocity, radius and
    // cone never change).
    StepMotion(const Spacecraft& craft, const Vec3& position, const Vec3& axis, const ManeuverPlan& plan, double t0);

    Vec3 position(double s) const { return add(position_, scale(velocity_, s)); }

    // The start axis turned by rate * s about the unit turn axis (Rodrigues' formula); at s = 0 the start axis
    // itself, to the bit.
    Vec3 axis(double s) const
    {
        if (rate_ == 0.0)
            return axis_;
        const double angle = rate_ * s;
        const double c = std::cos(angle);
        const double sn = std::sin(angle);
        return add(add(scale(axis_, c), scale(turnCrossAxis_, sn)), scale(turnAxis_, turnDotAxis_ * (1.0 - c)));
    }

    // The velocity of the sensor axis's tip when the axis is at axis.
    Vec3 axisVelocity(const Vec3& axis) const { return scale(cross(turnAxis_, axis), rate_); }

    const Vec3& velocity() const { return velocity_; }
    double radius() const { return radius_; }
    double tanFov() const { return tanFov_; }
    // The cosine of the half-angle the cone test works with, 1 / sqrt(1 + tan^2): a half-angle above 90 degrees
    // acts as its supplement, as in the test.
    double cosHalfAngle() const { return cosHalfAngle_; }
    // How fast the sensor axis turns, radians per second: 0 without a segment in force or with an axis too
    // short to turn about.
    double turnRate() const { return std::fabs(rate_); }
    // The sensor axis's length: 1 for every attitude a set-up gives; a scenario's own attitude keeps its own.
    double axisLength() const { return axisLength_; }

private:
    Vec3 position_;
    Vec3 velocity_;
    Vec3 axis_{0.0, 0.0, 1.0};
    Vec3 turnAxis_{1.0, 0.0, 0.0};
    Vec3 turnCrossAxis_;
    double turnDotAxis_ = 0.0;
    double rate_ = 0.0;
    double radius_ = 0.0;
    double tanFov_ = 0.0;
    double cosHalfAngle_ = 1.0;
    double axisLength_ = 1.0;
};

}  // namespace velmora
