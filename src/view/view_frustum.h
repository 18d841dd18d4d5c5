#pragma once

#include "scene/ray.h"

namespace velmora {

struct CameraFrame;

// A view's projection as picking needs it. The view writes the numbers at each rendering before it first
// sets camera, so a consumer tests camera first.
struct ViewFrustum {
    double aspect = 0.0;  // client width / height
    double fieldOfView = 0.0;  // vertical, radians
    double tanHalfFov = 0.0;
    double nearPlane = 0.0;
    double inverseAspect = 0.0;
    CameraFrame* camera = nullptr;

    // The ray through screen point (u, v) in [-1, 1], in OpenGL world coordinates, starting on the near
    // plane. False (out untouched) while no camera is known.
    bool makeRay(double u, double v, Ray& out) const;
};

}  // namespace velmora
