#pragma once

namespace velmora {

// Something a view draws at each rendering, with its context current and the modelview matrix selected.
// Held by borrowed pointer; never deleted through this interface.
class Drawable {
public:
    virtual void draw() = 0;

protected:
    ~Drawable() = default;
};

}  // namespace velmora
