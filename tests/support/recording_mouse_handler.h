#pragma once

#include "view/mouse_handler.h"

#include <cstdint>
#include <vector>

namespace velmora {

// Keeps every mouse event it is handed, and consumes them all.
class RecordingMouseHandler : public MouseHandler {
public:
    struct Call {
        std::uint32_t flags;
        double x;
        double y;
    };

    bool handleMouse(std::uint32_t flags, double x, double y) override
    {
        calls.push_back({flags, x, y});
        return true;
    }
    virtual ~RecordingMouseHandler() = default;

    std::vector<Call> calls;
};

}  // namespace velmora
