#include "sim/step_motion.h"

namespace velmora {

StepMotion::StepMotion(const Spacecraft& craft, const Vec3& position, const Vec3& axis, const ManeuverPlan& plan,
                       double t0)
    : position_(position), velocity_(craft.velocity), axis_(axis),
      radius_(craft.craftRadius), tanFov_(craft.tanFov),
      cosHalfAngle_(1.0 / std::sqrt(1.0 + craft.tanFov * craft.tanFov)), axisLength_(length(axis_))
{
    const int i = plan.segmentIndexAt(t0);
    if (i < 0 || !turnsAbout(plan.segment(i).axis))
        return;
    turnAxis_ = plan.segment(i).axis;
    normalize(turnAxis_);
    rate_ = plan.segment(i).rate;
    turnCrossAxis_ = cross(turnAxis_, axis_);
    turnDotAxis_ = dot(turnAxis_, axis_);
}

}  // namespace velmora
