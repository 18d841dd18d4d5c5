#pragma once

#include <string_view>

namespace velmora {

// How a view's drawables send their shapes to OpenGL. All three give the same pixels.
enum class DrawingStrategy {
    straight,       // every vertex at every rendering, as GLU sends it: the reference the others are held to
    displayLists,   // replayed from the context's display lists, leaving out what lies wholly outside the view
    thinnedArrays,  // as displayLists, with the glyph's shapes sent as arrays without the triangles that cannot
                    // change a pixel
};

// thinnedArrays on Mesa's software renderers, named by GL_RENDERER: there projecting every vertex on the CPU
// is measured to pay, and quad strips are split into triangles the way the arrays repeat. displayLists on
// every other renderer.
DrawingStrategy strategyForRenderer(std::string_view renderer);

}  // namespace velmora
