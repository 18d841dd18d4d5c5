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
};

}  // namespace velmora
