#include "scene/view_volume.h"

#include <cmath>

namespace velmora {
namespace {

// How far beyond the viewport's edges a shape must lie before it is skipped: rasterization never reaches a
// pixel this far from the geometry.
constexpr double edgeMarginPixels = 4.0;
// Relative and absolute slack on every sphere, far above the rounding of single-precision clipping.
constexpr double radiusSlack = 1.02;
constexpr double absoluteSlack = 1e-3;

}  // namespace

ViewVolume ViewVolume::fromMatrices(const std::array<double, 16>& p, const std::array<double, 16>& m,
    int viewportWidth, int viewportHeight)
{
    // Clip coordinates of a modelview point: row r of c = p * m, both column-major.
    double c[4][4];
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            c[r][k] = p[r] * m[4 * k] + p[4 + r] * m[4 * k + 1] + p[8 + r] * m[4 * k + 2] + p[12 + r] * m[4 * k + 3];

    ViewVolume volume;
    if (viewportWidth <= 0 || viewportHeight <= 0)
        return volume;
    // Kept: -w <= x <= w and likewise y and z. Widening x by the margin keeps -w * s <= x <= w * s, s > 1.
    const double widen[3] = {1.0 + 2.0 * edgeMarginPixels / viewportWidth,
        1.0 + 2.0 * edgeMarginPixels / viewportHeight, 1.0};
    int n = 0;
    for (int axis = 0; axis < 3; ++axis)
        for (const double sign : {1.0, -1.0}) {
            double q[4];
            for (int k = 0; k < 4; ++k)
                q[k] = widen[axis] * c[3][k] + sign * c[axis][k];
            const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
            if (!(length > 0.0) || !std::isfinite(length))
                return volume;
            volume.planes_[n++] = Plane{{q[0] / length, q[1] / length, q[2] / length}, q[3] / length};
        }
    volume.valid_ = true;
    return volume;
}

bool ViewVolume::excludesSphere(const Vec3& centre, double radius) const
{
    if (!valid_)
        return false;
    const double reach = std::fabs(radius) * radiusSlack + absoluteSlack;
    for (const Plane& plane : planes_) {
        const double distance = dot(plane.normal, centre) + plane.offset;
        // A NaN distance fails the test and so never excludes.
        if (distance < -reach)
            return true;
    }
    return false;
}

}  // namespace velmora
