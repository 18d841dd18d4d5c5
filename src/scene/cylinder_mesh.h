#pragma once

#include "scene/pixel_coverage.h"

#include <cstdint>
#include <vector>

namespace velmora {

// A glyph's cone stub or ring, vertex for vertex as GLU's cylinder of 40 slices and 10 stacks sends it
// (smooth normals, outside orientation, no texture): 10 quad strips from the base up. Kept in arrays, so that
// a rendering can leave out the triangles that cover no pixel centre and send the rest as the triangles Mesa
// makes of GLU's strips, in its order. Both shapes are open, so nothing of them is ever hidden behind themselves.
class CylinderMesh {
public:
    static constexpr int slices = 40;
    static constexpr int stacks = 10;
    static constexpr int stripVertices = 2 * (slices + 1);
    static constexpr int vertexCount = stacks * stripVertices;
    static constexpr int triangleCount = 2 * stacks * slices;

    CylinderMesh(double baseRadius, double topRadius, double height);

    // Three floats a vertex, strip after strip, each pairing a vertex on its lower edge with one above it.
    const float* positions() const { return positions_.data(); }
    const float* normals() const { return normals_.data(); }

    struct Selection {
        const std::uint16_t* indices = nullptr;
        int indexCount = 0;
        int uncoveredLeftOut = 0;
    };
    // The strips' triangles that may cover a pixel centre (every one, without coverage).
    Selection select(const PixelCoverage* coverage);

private:
    std::vector<float> positions_;
    std::vector<float> normals_;
    std::vector<std::uint16_t> indices_;
};

}  // namespace velmora
