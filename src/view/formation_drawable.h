#pragma once

#include "scene/formation_scene.h"
#include "view/drawable.h"
#include "view/mouse_handler.h"
#include "view/spacecraft_glyph.h"

namespace velmora {

class Formation;
struct ViewFrustum;

// The whole formation in one view: every craft's glyph, and a line for every pair that has seen each other in
// the colour of its group, drawn from the scene this view's selection makes of the formation. As a mouse
// handler it picks a craft under the cursor and drags it while the left button stays down.
class FormationDrawable : public Drawable, public MouseHandler {
public:
    void draw() override;
    virtual ~FormationDrawable() = default;
    bool handleMouse(std::uint32_t flags, double x, double y) override;

    // What this view shows of the formation now.
    const FormationScene& scene();

    SpacecraftGlyph glyph;
    Formation* formation = nullptr;
    // Its view's: picking builds its rays from it, and drawing takes from it what the view takes in.
    const ViewFrustum* frustum = nullptr;
    bool hasSelection = false;
    int selectedIndex = 0;

private:
    void drawLinksFrom(int j, int& link) const;

    FormationScene scene_;
};

}  // namespace velmora
