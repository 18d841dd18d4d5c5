#include "view/camera_frame.h"

#include <GL/glu.h>

#include <cmath>

namespace velmora {
namespace {

// An eye on its target gives gluLookAt no viewing direction and the view goes blank; GLU works in single
// precision, so a vanishingly small distance does the same. The distance may still pass through the target
// and come out on the other side (the eye then looks back along axis 0 and pick rays follow), so only its
// magnitude is held up, and its sign kept. A thousandth of a unit is far inside the near plane, so no view
// changes visibly because of it.
constexpr double minimumEyeDistance = 1e-3;

double awayFromTarget(double d)
{
    return std::fabs(d) < minimumEyeDistance ? std::copysign(minimumEyeDistance, d) : d;
}

}  // namespace

void CameraFrame::setEyeDistance(double d) { eyeOffset.x = awayFromTarget(std::fabs(d)); }

void CameraFrame::addEyeDistance(double dd) { eyeOffset.x = awayFromTarget(eyeOffset.x + dd); }

void CameraFrame::applyLookAt() const
{
    const Vec3 e = eye();
    const Vec3 up = column(orientation, 2);
    gluLookAt(e.x, e.y, e.z, target.x, target.y, target.z, up.x, up.y, up.z);
}

}  // namespace velmora
