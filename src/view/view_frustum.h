#pragma once

#include "scene/ray.h"
#include "view/gl_matrix.h"

namespace velmora {

struct CameraFrame;

// A view's projection and camera, written by the view at each rendering before it first sets camera, so a
// consumer tests camera first. Picking builds rays from it; the drawables take from it the matrices OpenGL
// draws with, to leave out what cannot show.
struct ViewFrustum {
    double aspect = 0.0;  // client width / height
    double fieldOfView = 0.0;  // vertical, radians
    double tanHalfFov = 0.0;
    double nearPlane = 0.0;
    double inverseAspect = 0.0;
    CameraFrame* camera = nullptr;
    // The view's projection matrix and viewport in pixels, as loaded into OpenGL at the last rendering; and,
    // set with camera, the camera's look-at as its controller loads it (CameraFrame::viewMatrix).
    GLMatrix projection{};
    int viewportWidth = 0;
    int viewportHeight = 0;
    GLMatrix view{};

    // The ray through screen point (u, v) in [-1, 1], in OpenGL world coordinates, starting on the near
    // plane. False (out untouched) while no camera is known.
    bool makeRay(double u, double v, Ray& out) const;
};

}  // namespace velmora
