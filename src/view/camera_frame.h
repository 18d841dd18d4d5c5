#pragma once

#include "geometry/mat3.h"
#include "view/gl_matrix.h"

namespace velmora {

// Where a camera is: it looks at target from target + orientation * eyeOffset, with orientation's column 2
// as the up direction. Only the first component of eyeOffset, the eye distance, ever changes.
struct CameraFrame {
    Vec3 target;
    Mat3 orientation;
    Vec3 eyeOffset{-100.0, 0.0, 0.0};

    Vec3 eye() const { return add(target, timesVector(orientation, eyeOffset)); }
    double eyeDistance() const { return eyeOffset.x; }
    // Both keep the eye at least a thousandth of a unit off the target, on the side the distance's sign says.
    void setEyeDistance(double d);  // stores |d|
    void addEyeDistance(double dd);
    void rotateWorld(const Mat3& r) { orientation = product(r, orientation); }
    void rotateBody(const Mat3& r) { orientation = product(orientation, r); }

    // gluLookAt from eye() to target, up = orientation's column 2, as OpenGL holds it after the call on an
    // identity modelview.
    GLMatrix viewMatrix() const;
    // Loads viewMatrix() as the modelview, which is gluLookAt on the identity modelview it is called with.
    void applyLookAt() const;
};

}  // namespace velmora
