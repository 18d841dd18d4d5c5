#include "view/view_frustum.h"

#include "view/camera_frame.h"

namespace velmora {

bool ViewFrustum::makeRay(double u, double v, Ray& out) const
{
    if (camera == nullptr)
        return false;
    Vec3 d{1.0, u * tanHalfFov * aspect, v * tanHalfFov};
    // With a positive eye distance the eye sits on the +axis-0 side and looks back along it.
    if (camera->eyeDistance() > 0.0)
        d = scale(d, -1.0);
    out.direction = timesVector(camera->orientation, d);
    out.origin = add(camera->eye(), scale(out.direction, nearPlane));
    return true;
}

}  // namespace velmora
