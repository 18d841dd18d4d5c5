#pragma once

#include <array>
#include <vector>

namespace velmora {

// Where a mesh's vertices land in the window, to leave out the triangles that cannot cover a pixel centre.
// OpenGL rasterizes a filled triangle (no multisampling) into the pixels whose centres it covers, and those
// lie inside the box around its corners; a triangle whose box, widened by far more than the rounding of
// single-precision transforms and of snapping to the sub-pixel grid, holds no pixel centre of the viewport
// makes no fragment at all, so leaving it out changes nothing. Most of a sphere a few pixels across is such
// triangles.
class PixelCoverage {
public:
    // Projects count vertices (three floats each) through the column-major projection and modelview into the
    // viewport (x, y, width, height). False, and nothing may be left out, when a vertex lies too near the
    // eye's plane or a number is not finite.
    bool project(const float* positions, int count, const std::array<double, 16>& projection,
        const std::array<double, 16>& modelview, const int viewport[4]);

    // Whether the triangle of vertices a, b and c may cover a pixel centre of the viewport.
    bool mayCover(int a, int b, int c) const
    {
        return spans(x_[a], x_[b], x_[c], left_, right_) && spans(y_[a], y_[b], y_[c], bottom_, top_);
    }

private:
    // Whether [min, max] of three coordinates, widened by the margin, holds some k + 1/2 with first <= k <= last.
    static bool spans(double a, double b, double c, double first, double last);

    std::vector<double> x_;
    std::vector<double> y_;
    double left_ = 0.0;
    double right_ = 0.0;
    double bottom_ = 0.0;
    double top_ = 0.0;
};

}  // namespace velmora
