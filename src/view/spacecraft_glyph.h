#pragma once

#include "view/drawable.h"

namespace velmora {

struct SceneCraft;

// One craft of a scene at its pose: a cone stub and a fan of twelve rays on the sensor side, a belt ring and a
// sphere. A selected craft swaps the colours of ring and sphere.
class SpacecraftGlyph : public Drawable {
public:
    void draw() override;
    virtual ~SpacecraftGlyph() = default;

    const SceneCraft* craft = nullptr;

    // Triangles of spheres left out, over every rendering so far, as hidden behind the sphere's own front or
    // as covering no pixel centre.
    static inline long long sphereTrianglesHidden = 0;
    static inline long long sphereTrianglesUncovered = 0;
    // Triangles of cone stubs and rings left out as covering no pixel centre.
    static inline long long cylinderTrianglesUncovered = 0;
};

}  // namespace velmora
