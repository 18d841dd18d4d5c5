#pragma once

#include "geometry/vec3.h"

#include <array>

namespace velmora {

// A 4x4 matrix as the fixed-function pipeline keeps it: single precision, column-major. Each operation
// rounds the way GLU and Mesa's matrix stack round the call it stands for, in the same order, so the matrix
// built here by a sequence of calls holds the same numbers OpenGL holds after them. Loading one into OpenGL
// and testing against it on the CPU therefore use one set of values.
class GLMatrix {
public:
    // The identity.
    GLMatrix() = default;

    // gluPerspective applied to the identity: vertical field of view in degrees.
    static GLMatrix perspective(double fovyDegrees, double aspect, double nearPlane, double farPlane);
    // gluLookAt applied to the identity.
    static GLMatrix lookAt(const Vec3& eye, const Vec3& centre, const Vec3& up);

    // glMultMatrixd, glTranslated and glRotated(degrees, 0, 1, 0), applied on the right as OpenGL applies them.
    void multiply(const std::array<double, 16>& m);
    void translate(double x, double y, double z);
    void rotateAboutY(double degrees);

    const float* data() const { return m_.data(); }
    float operator[](int i) const { return m_[i]; }
    std::array<double, 16> toDoubles() const;

private:
    void multiply(const std::array<float, 16>& b);

    std::array<float, 16> m_{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

}  // namespace velmora
