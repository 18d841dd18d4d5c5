#include "scene/pixel_coverage.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// A sixty-fourth of a pixel: about 300 times the error of a single-precision transform of a point in view,
// and four times the sub-pixel grid's half step.
constexpr double marginPixels = 1.0 / 64.0;

}  // namespace

bool PixelCoverage::project(const float* positions, int count, const std::array<double, 16>& p,
    const std::array<double, 16>& m, const int viewport[4])
{
    if (count <= 0 || viewport[2] <= 0 || viewport[3] <= 0)
        return false;
    // Clip coordinates are (p m) v; rows of the product, column-major inputs.
    double c[4][4];
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            c[r][k] = p[r] * m[4 * k] + p[4 + r] * m[4 * k + 1] + p[8 + r] * m[4 * k + 2] + p[12 + r] * m[4 * k + 3];
    const double halfWidth = 0.5 * viewport[2];
    const double halfHeight = 0.5 * viewport[3];
    const double centreX = viewport[0] + halfWidth;
    const double centreY = viewport[1] + halfHeight;
    // Pixel centres of the viewport run from x + 1/2 to x + width - 1/2.
    left_ = viewport[0];
    right_ = viewport[0] + viewport[2] - 1.0;
    bottom_ = viewport[1];
    top_ = viewport[1] + viewport[3] - 1.0;

    x_.resize(static_cast<std::size_t>(count));
    y_.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double vx = positions[3 * i];
        const double vy = positions[3 * i + 1];
        const double vz = positions[3 * i + 2];
        const double w = c[3][0] * vx + c[3][1] * vy + c[3][2] * vz + c[3][3];
        // A corner at or behind the eye's plane has no place in the window. One in front but nearer than the
        // near plane lands far out, and OpenGL's clipping only shrinks its triangle within the box.
        if (!(w > 0.0))
            return false;
        const double x = centreX + halfWidth * (c[0][0] * vx + c[0][1] * vy + c[0][2] * vz + c[0][3]) / w;
        const double y = centreY + halfHeight * (c[1][0] * vx + c[1][1] * vy + c[1][2] * vz + c[1][3]) / w;
        if (!std::isfinite(x) || !std::isfinite(y))
            return false;
        x_[i] = x;
        y_[i] = y;
    }
    return true;
}

bool PixelCoverage::spans(double a, double b, double c, double first, double last)
{
    const double low = std::min({a, b, c}) - marginPixels - 0.5;
    const double high = std::max({a, b, c}) + marginPixels - 0.5;
    // Some whole k in [low, high] and in [first, last].
    return std::max(std::ceil(low), first) <= std::min(std::floor(high), last);
}

}  // namespace velmora
