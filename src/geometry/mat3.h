#pragma once

#include "geometry/vec3.h"

#include <array>
#include <cmath>

namespace velmora {

// Column-major 3x3 matrix: storage index 3*c + r holds row r, column c, the layout of the upper-left
// block of an OpenGL 4x4 matrix. Default construction gives the identity.
struct Mat3 {
    std::array<double, 9> m{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};

    constexpr double& operator()(int r, int c) { return m[3 * c + r]; }
    constexpr double operator()(int r, int c) const { return m[3 * c + r]; }

    friend constexpr bool operator==(const Mat3&, const Mat3&) = default;
};

constexpr Vec3 column(const Mat3& a, int k) { return {a.m[3 * k], a.m[3 * k + 1], a.m[3 * k + 2]}; }

constexpr Vec3 timesVector(const Mat3& a, const Vec3& v)
{
    return {a(0, 0) * v.x + a(0, 1) * v.y + a(0, 2) * v.z,
            a(1, 0) * v.x + a(1, 1) * v.y + a(1, 2) * v.z,
            a(2, 0) * v.x + a(2, 1) * v.y + a(2, 2) * v.z};
}

// A * B
constexpr Mat3 product(const Mat3& a, const Mat3& b)
{
    Mat3 out;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            out(r, c) = a(r, 0) * b(0, c) + a(r, 1) * b(1, c) + a(r, 2) * b(2, c);
    return out;
}

// transpose(A) * B
constexpr Mat3 transposeProduct(const Mat3& a, const Mat3& b)
{
    Mat3 out;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            out(r, c) = a(0, r) * b(0, c) + a(1, r) * b(1, c) + a(2, r) * b(2, c);
    return out;
}

constexpr Mat3 transpose(const Mat3& a)
{
    Mat3 out;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            out(r, c) = a(c, r);
    return out;
}

// An axis axisAngle turns about: one of squared length below 1e-9 gives the identity instead.
constexpr bool turnsAbout(const Vec3& u) { return !(u.x * u.x + u.y * u.y + u.z * u.z < 1e-9); }

// Right-hand rotation by angle about u; an axis of squared length below 1e-9 gives the identity. Inline, as
// every turning craft needs one at every step.
inline Mat3 axisAngle(const Vec3& u, double angle)
{
    if (!turnsAbout(u))
        return {};
    Vec3 n = u;
    normalize(n);
    const double h = 0.5 * angle;
    const double w = std::cos(h);
    const double s = std::sin(h);
    const double X = s * n.x;
    const double Y = s * n.y;
    const double Z = s * n.z;

    Mat3 r;
    r(0, 0) = (1.0 - 2.0 * Y * Y) - 2.0 * Z * Z;
    r(0, 1) = 2.0 * X * Y - 2.0 * Z * w;
    r(0, 2) = 2.0 * X * Z + 2.0 * Y * w;
    r(1, 0) = 2.0 * X * Y + 2.0 * Z * w;
    r(1, 1) = (1.0 - 2.0 * X * X) - 2.0 * Z * Z;
    r(1, 2) = 2.0 * Y * Z - 2.0 * X * w;
    r(2, 0) = 2.0 * X * Z - 2.0 * Y * w;
    r(2, 1) = 2.0 * Y * Z + 2.0 * X * w;
    r(2, 2) = (1.0 - 2.0 * X * X) - 2.0 * Y * Y;
    return r;
}

// Elementary rotation about coordinate axis k: the transpose of axisAngle about that unit axis.
Mat3 axisRotation(int k, double angle);

}  // namespace velmora
