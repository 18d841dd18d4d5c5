#include "view/mouse_handler_chain.h"

namespace velmora {

bool MouseHandlerChain::handleMouse(std::uint32_t flags, double x, double y)
{
    for (MouseHandler* handler : handlers)
        if (handler->handleMouse(flags, x, y))
            return true;
    return false;
}

}  // namespace velmora
