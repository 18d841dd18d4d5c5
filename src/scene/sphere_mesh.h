#pragma once

#include "geometry/vec3.h"
#include "scene/pixel_coverage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

// The sphere a glyph is drawn with, vertex for vertex as GLU's sphere of 40 slices and 40 stacks sends it
// (smooth normals, outside orientation, no texture): the top cap as a fan, the bottom cap as a fan, then 38
// quad strips from top to bottom. Kept in arrays, so that a rendering can leave out the quads that lie deep
// behind the sphere's own front and send the rest as the triangles Mesa makes of GLU's strips, in its order.
class SphereMesh {
public:
    static constexpr int slices = 40;
    static constexpr int stacks = 40;
    static constexpr int capVertices = slices + 2;
    static constexpr int bands = stacks - 2;
    static constexpr int stripVertices = 2 * (slices + 1);
    static constexpr int firstStripVertex = 2 * capVertices;
    static constexpr int vertexCount = firstStripVertex + bands * stripVertices;
    static constexpr int quadCount = bands * slices;
    static constexpr int maxIndexCount = 6 * quadCount;

    explicit SphereMesh(double radius);

    double radius() const { return radius_; }
    // Three floats a vertex: the top cap's fan at 0, the bottom cap's at capVertices, then the strips.
    const float* positions() const { return positions_.data(); }
    const float* normals() const { return normals_.data(); }

    // What is left of the sphere after leaving out, given an eye outside it (object coordinates), the quads
    // that face away from it by a margin, and, given where the vertices land in the window, the triangles
    // that cover no pixel centre: whether each cap's fan is drawn, and the strips' remaining triangles, split
    // and ordered the way Mesa splits a quad strip's quads (strip_quads.h).
    struct Selection {
        bool topCap = true;
        bool bottomCap = true;
        const std::uint16_t* indices = nullptr;
        int indexCount = 0;
        int hiddenLeftOut = 0;     // triangles behind the front, caps included
        int uncoveredLeftOut = 0;  // triangles that cover no pixel centre, caps included
    };
    Selection select(const Vec3* eye, const PixelCoverage* coverage);

private:
    double radius_ = 0.0;
    std::vector<float> positions_;
    std::vector<float> normals_;
    // The unit normal at each quad's middle, and per band how far (radians) a quad's points turn from it,
    // with slack for the flat triangles standing in for the curved surface.
    std::vector<Vec3> quadCentres_;
    std::array<double, bands> bandSpread_{};
    std::vector<std::uint16_t> indices_;
};

// Sin of the smallest angle between a left-out surface point's view ray and the sphere's tangent plane there.
// The ray then runs a chord of at least 2 r sin through the sphere before it meets the left-out point.
inline constexpr double sphereBackMargin = 0.25881904510252074;  // sin 15 degrees

// The eye in the sphere's object coordinates, when what SphereMesh::select leaves out cannot change a pixel:
// the whole sphere lies between the near and far planes, it is large enough on screen that no small triangle
// can turn over when its corners snap to the pixel grid, and the depth buffer keeps the front and the
// left-out back far enough apart (in units of its resolution) that rounding cannot bring them level. Every
// pixel a left-out triangle would cover is then covered by a front triangle that is nearer, so the nearer
// one decides it whatever is drawn before or after. Otherwise (an odd projection, a sphere through the near
// plane, too far, non-finite numbers) nothing: draw it all.
// projection and modelview are column-major as OpenGL keeps them; modelview is the sphere's own.
std::optional<Vec3> sphereCullingEye(const std::array<double, 16>& projection,
    const std::array<double, 16>& modelview, int viewportHeight, int depthBits, double radius);

}  // namespace velmora
