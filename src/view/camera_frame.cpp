#include "view/camera_frame.h"

#include <GL/gl.h>

#include <cmath>

namespace velmora {
namespace {

// An eye on its target gives the look-at no viewing direction and the view goes blank; the look-at works in
// single precision as GLU's does, so a vanishingly small distance does the same. The distance may still pass
// through the target and come out on the other side (the eye then looks back along axis 0 and pick rays
// follow), so only its magnitude is held up, and its sign kept. A thousandth of a unit is far inside the near
// plane, so no view changes visibly because of it.
constexpr double minimumEyeDistance = 1e-3;

double awayFromTarget(double d)
{
    return std::fabs(d) < minimumEyeDistance ? std::copysign(minimumEyeDistance, d) : d;
}

}  // namespace

void CameraFrame::setEyeDistance(double d) { eyeOffset.x = awayFromTarget(std::fabs(d)); }

void CameraFrame::addEyeDistance(double dd) { eyeOffset.x = awayFromTarget(eyeOffset.x + dd); }

GLMatrix CameraFrame::viewMatrix() const { return GLMatrix::lookAt(eye(), target, column(orientation, 2)); }

void CameraFrame::applyLookAt() const { glLoadMatrixf(viewMatrix().data()); }

}  // namespace velmora
