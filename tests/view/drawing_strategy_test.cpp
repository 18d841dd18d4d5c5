#include "view/drawing_strategy.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(DrawingStrategy, ThinsOnlyOnMesasSoftwareRenderers)
{
    struct Case {
        const char* renderer;
        DrawingStrategy strategy;
    } const cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", DrawingStrategy::thinnedArrays},
        {"softpipe", DrawingStrategy::thinnedArrays},
        {"Software Rasterizer", DrawingStrategy::thinnedArrays},
        {"Mesa X11", DrawingStrategy::thinnedArrays},
        {"NVIDIA GeForce RTX 3060/PCIe/SSE2", DrawingStrategy::displayLists},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", DrawingStrategy::displayLists},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", DrawingStrategy::displayLists},
        {"zink (llvmpipe (LLVM 15.0.6, 256 bits))", DrawingStrategy::displayLists},
        {"", DrawingStrategy::displayLists},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.strategy, strategyForRenderer(c.renderer)) << c.renderer;
}

}  // namespace
}  // namespace velmora
