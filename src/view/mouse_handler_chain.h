#pragma once

#include "view/mouse_handler.h"

#include <vector>

namespace velmora {

// Offers each mouse event to its handlers in the order they were added, until one consumes it.
// The handlers are borrowed.
class MouseHandlerChain : public MouseHandler {
public:
    bool handleMouse(std::uint32_t flags, double x, double y) override;
    virtual ~MouseHandlerChain() = default;

    void addHandler(MouseHandler* handler) { handlers.push_back(handler); }

    std::vector<MouseHandler*> handlers;
};

}  // namespace velmora
