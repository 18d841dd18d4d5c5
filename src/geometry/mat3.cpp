#include "geometry/mat3.h"

#include <cmath>

namespace velmora {

Mat3 axisAngle(const Vec3& u, double angle)
{
    if (u.x * u.x + u.y * u.y + u.z * u.z < 1e-9)
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

Mat3 axisRotation(int k, double angle)
{
    const int a = (k + 1) % 3;
    const int b = (k + 2) % 3;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    Mat3 r;
    r(a, a) = c;
    r(b, b) = c;
    r(a, b) = s;
    r(b, a) = -s;
    return r;
}

}  // namespace velmora
