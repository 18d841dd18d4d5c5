#pragma once

#include <cmath>

namespace velmora {

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Vec3() = default;
    constexpr Vec3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

    // Axis k (0, 1, 2) as x, y, z: the placement box and the velocity draw loop over axes.
    constexpr double& operator[](int k) { return k == 0 ? x : (k == 1 ? y : z); }
    constexpr double operator[](int k) const { return k == 0 ? x : (k == 1 ? y : z); }

    friend constexpr bool operator==(const Vec3&, const Vec3&) = default;
};

constexpr Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vec3 subtract(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vec3 scale(const Vec3& a, double s) { return {s * a.x, s * a.y, s * a.z}; }
constexpr double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

constexpr Vec3 addInPlace(Vec3& a, const Vec3& b)
{
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
    return a;
}

constexpr Vec3 subtractInPlace(Vec3& a, const Vec3& b)
{
    a.x -= b.x;
    a.y -= b.y;
    a.z -= b.z;
    return a;
}

// Defined here rather than out of line: the simulation calls these for every craft at every step, and a
// call across libraries costs more than the arithmetic.
inline double length(const Vec3& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

// Scales a to unit length; a vector of non-positive squared length is left alone and reported.
inline bool normalize(Vec3& a)
{
    const double s2 = a.x * a.x + a.y * a.y + a.z * a.z;
    if (!(s2 > 0.0))
        return false;
    const double f = 1.0 / std::sqrt(s2);
    a.x *= f;
    a.y *= f;
    a.z *= f;
    return true;
}

}  // namespace velmora
