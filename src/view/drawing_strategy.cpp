#include "view/drawing_strategy.h"

namespace velmora {

DrawingStrategy strategyForRenderer(std::string_view renderer)
{
    // By the start of the name: a layered driver names the renderer beneath it later on (zink on lavapipe is
    // "zink (llvmpipe ...)"), and thinning has been proven on none.
    for (const std::string_view software : {"llvmpipe", "softpipe", "Software Rasterizer", "Mesa X11"})
        if (renderer.starts_with(software))
            return DrawingStrategy::thinnedArrays;
    return DrawingStrategy::displayLists;
}

}  // namespace velmora
