#pragma once

#include "view/camera_frame.h"
#include "view/drawable.h"
#include "view/mouse_handler.h"

namespace velmora {

// A view's camera. Drawn first in its view, it sets the light and the look-at; as a mouse handler it orbits
// with the left button and zooms with the right, from the motion between two consecutive events.
class CameraController : public MouseHandler, public Drawable {
public:
    bool handleMouse(std::uint32_t flags, double x, double y) override;
    virtual ~CameraController() = default;
    void draw() override;

    CameraFrame frame;
    std::uint32_t lastFlags = 0;
    double lastX = 0.0;
    double lastY = 0.0;
    int verticalAxis = 1;  // camera axis that vertical motion turns about
    int horizontalAxis = 2;  // world axis that horizontal motion turns about
    int verticalGain = 1;
    int horizontalGain = 1;
    bool lightingEnabled = false;
};

}  // namespace velmora
