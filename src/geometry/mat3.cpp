#include "geometry/mat3.h"

#include <cmath>

namespace velmora {

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
