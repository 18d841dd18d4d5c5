#pragma once

#include "scene/pixel_coverage.h"

#include <cstdint>

namespace velmora {

// Appends at out[n] the triangles Mesa makes of the quad strip quad whose first vertex is a: the quad runs
// a, a + 1, a + 3, a + 2 around, and is drawn as (a + 2, a, a + 3) then (a, a + 1, a + 3), corners in that
// order, so sending these triangles instead gives Mesa's pixels. The OpenGL standard leaves the split to the
// driver; other drivers may cut the quad along its other diagonal. With coverage, a triangle that covers no
// pixel centre is counted in uncovered instead. Returns the new n.
inline int appendStripQuad(int a, const PixelCoverage* coverage, std::uint16_t* out, int n, int& uncovered)
{
    const int corners[2][3] = {{a + 2, a, a + 3}, {a, a + 1, a + 3}};
    for (const auto& t : corners) {
        if (coverage != nullptr && !coverage->mayCover(t[0], t[1], t[2])) {
            ++uncovered;
            continue;
        }
        out[n] = static_cast<std::uint16_t>(t[0]);
        out[n + 1] = static_cast<std::uint16_t>(t[1]);
        out[n + 2] = static_cast<std::uint16_t>(t[2]);
        n += 3;
    }
    return n;
}

}  // namespace velmora
