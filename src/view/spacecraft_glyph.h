#pragma once

#include "scene/view_volume.h"
#include "view/drawable.h"
#include "view/gl_matrix.h"

#include <array>
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

    // Takes up the rendering in progress before craft are drawn in it: while frustum knows the camera, what
    // the view takes in, so that what cannot show is left out.
    void beginRendering(const ViewFrustum* frustum);

    const SceneCraft* craft = nullptr;

    // The view being rendered, from its frustum: the camera's look-at under the display turn, the view volume
    // in those coordinates, and what the context's state lets be left out.
    struct ViewState {
        GLMatrix turned;
        ViewVolume volume;
        std::array<double, 16> projection{};
        int viewport[4] = {0, 0, 0, 0};
        int depthBits = 0;
        // Triangles are filled, one sample a pixel at its centre, so one that covers no centre makes no
        // fragment.
        bool plainFill = false;
        // The nearest fragment of a pixel decides it alone, whatever is drawn before or after.
        bool nearestWins = false;
    };

    // Triangles of spheres left out, over every rendering so far, as hidden behind the sphere's own front or
    // as covering no pixel centre.
    static inline long long sphereTrianglesHidden = 0;
    static inline long long sphereTrianglesUncovered = 0;
    // Triangles of cone stubs and rings left out as covering no pixel centre.
    static inline long long cylinderTrianglesUncovered = 0;

private:
    std::optional<ViewState> view_;
};

}  // namespace velmora
