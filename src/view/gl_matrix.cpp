#include "view/gl_matrix.h"

#include <cmath>

namespace velmora {
namespace {

constexpr std::array<float, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// GLU's helpers for gluLookAt: single precision, the square root taken in double.
void normalizeFloat(float v[3])
{
    const auto r = static_cast<float>(std::sqrt(static_cast<double>(v[0] * v[0] + v[1] * v[1] + v[2] * v[2])));
    if (r == 0.0f)
        return;
    v[0] /= r;
    v[1] /= r;
    v[2] /= r;
}

void crossFloat(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

GLMatrix GLMatrix::perspective(double fovyDegrees, double aspect, double nearPlane, double farPlane)
{
    GLMatrix result;
    const double radians = fovyDegrees / 2 * 3.14159265358979323846 / 180;
    const double deltaZ = farPlane - nearPlane;
    const double sine = std::sin(radians);
    // GLU leaves the matrix alone rather than divide by zero.
    if (deltaZ == 0 || sine == 0 || aspect == 0)
        return result;
    const double cotangent = std::cos(radians) / sine;
    result.multiply(std::array<double, 16>{cotangent / aspect, 0, 0, 0, 0, cotangent, 0, 0, 0, 0,
        -(farPlane + nearPlane) / deltaZ, -1, 0, 0, -2 * nearPlane * farPlane / deltaZ, 0});
    return result;
}

GLMatrix GLMatrix::lookAt(const Vec3& eye, const Vec3& centre, const Vec3& up)
{
    float forward[3] = {static_cast<float>(centre.x - eye.x), static_cast<float>(centre.y - eye.y),
        static_cast<float>(centre.z - eye.z)};
    float upward[3] = {static_cast<float>(up.x), static_cast<float>(up.y), static_cast<float>(up.z)};
    float side[3];
    normalizeFloat(forward);
    crossFloat(forward, upward, side);
    normalizeFloat(side);
    crossFloat(side, forward, upward);

    GLMatrix result;
    result.multiply(std::array<float, 16>{side[0], upward[0], -forward[0], 0, side[1], upward[1], -forward[1], 0,
        side[2], upward[2], -forward[2], 0, 0, 0, 0, 1});
    result.translate(-eye.x, -eye.y, -eye.z);
    return result;
}

void GLMatrix::multiply(const std::array<double, 16>& m)
{
    std::array<float, 16> f;
    for (int i = 0; i < 16; ++i)
        f[i] = static_cast<float>(m[i]);
    multiply(f);
}

void GLMatrix::multiply(const std::array<float, 16>& b)
{
    // Mesa skips a product with the identity; skipping it here keeps the signs of zeros alike too.
    if (b == identity)
        return;
    const std::array<float, 16> a = m_;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m_[4 * j + i] =
                a[i] * b[4 * j] + a[4 + i] * b[4 * j + 1] + a[8 + i] * b[4 * j + 2] + a[12 + i] * b[4 * j + 3];
}

void GLMatrix::translate(double x, double y, double z)
{
    const auto fx = static_cast<float>(x);
    const auto fy = static_cast<float>(y);
    const auto fz = static_cast<float>(z);
    for (int i = 0; i < 4; ++i)
        m_[12 + i] = m_[i] * fx + m_[4 + i] * fy + m_[8 + i] * fz + m_[12 + i];
}

void GLMatrix::rotateAboutY(double degrees)
{
    const auto angle = static_cast<float>(degrees);
    if (angle == 0.0f)
        return;
    // Mesa takes the angle to radians in double and its sine and cosine in single precision.
    const auto radians = static_cast<float>(angle * 3.14159265358979323846 / 180.0);
    const float s = std::sin(radians);
    const float c = std::cos(radians);
    multiply(std::array<float, 16>{c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1});
}

std::array<double, 16> GLMatrix::toDoubles() const
{
    std::array<double, 16> d;
    for (int i = 0; i < 16; ++i)
        d[i] = m_[i];
    return d;
}

}  // namespace velmora
