#pragma once

#include "view/drawing_strategy.h"

namespace velmora {

class DisplayLists;

// What the drawables of a view take from the rendering in progress: how to send their shapes, and the display
// lists of the context being drawn into. A view makes its own current while its drawables draw; drawing
// outside any view finds none and sends everything straight.
struct ViewRendering {
    DrawingStrategy strategy = DrawingStrategy::straight;
    DisplayLists* lists = nullptr;

    // The rendering in progress, or null.
    static const ViewRendering* current();

    // Makes rendering the current one for the life of the scope, and restores the previous one.
    class Scope {
    public:
        explicit Scope(const ViewRendering* rendering);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        const ViewRendering* previous_;
    };
};

}  // namespace velmora
