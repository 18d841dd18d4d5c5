#include "view/camera_frame.h"

#include <GL/glu.h>

#include <cmath>

namespace velmora {

void CameraFrame::setEyeDistance(double d) { eyeOffset.x = std::fabs(d); }

void CameraFrame::addEyeDistance(double dd) { eyeOffset.x += dd; }

void CameraFrame::applyLookAt() const
{
    const Vec3 e = eye();
    const Vec3 up = column(orientation, 2);
    gluLookAt(e.x, e.y, e.z, target.x, target.y, target.z, up.x, up.y, up.z);
}

}  // namespace velmora
