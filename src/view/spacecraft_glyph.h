#pragma once

#include "scene/view_volume.h"
#include "view/drawable.h"
#include "view/drawing_strategy.h"
#include "view/gl_matrix.h"
#include "view/glyph_shapes.h"
#include "view/thinned_shapes.h"

#include <optional>

namespace velmora {

struct SceneCraft;
struct ViewFrustum;

// One craft of a scene at its pose: a cone stub and a fan of twelve rays on the sensor side, a belt ring and a
// sphere. A selected craft swaps the colours of ring and sphere.
class SpacecraftGlyph : public Drawable {
public:
    void draw() override;
    virtual ~SpacecraftGlyph() = default;

    // Takes up the rendering in progress (ViewRendering) before craft are drawn in it: its way of sending
    // shapes and, while frustum knows the camera, what the view takes in, so that what cannot show is left
    // out. Without a rendering in progress every shape is sent straight.
    void beginRendering(const ViewFrustum* frustum);

    const SceneCraft* craft = nullptr;

    // What sending thinned arrays has left out in this glyph's view so far.
    const ThinnedShapes::Counters& thinningCounters() const { return thinned_.counters(); }

private:
    GlyphShapes& shapes();

    DrawingStrategy strategy_ = DrawingStrategy::straight;
    StraightShapes straight_;
    ListedShapes listed_;
    ThinnedShapes thinned_;
    // While the camera is known: its look-at under the display turn, and the view volume in those coordinates.
    std::optional<GLMatrix> turned_;
    ViewVolume volume_;
};

}  // namespace velmora
