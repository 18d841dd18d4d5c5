#pragma once

#include "view/scene_renderer.h"

#include <QSize>

#include <stdexcept>

namespace velmora {

// No OpenGL could be had without a window; the message says why in one line.
class OffscreenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A view of a fixed pixel size that draws into memory, with no window and no window system: an OpenGL context of
// EGL's surfaceless platform (Mesa's llvmpipe where there is no GPU) drawing into a pbuffer with a window's
// buffers. It draws its scene list exactly as a GLView of that size does (SceneRenderer), so its frames are a
// GLView's captures.
class OffscreenView : public SceneRenderer {
public:
    // Throws OffscreenError when EGL, its surfaceless platform, a context or a buffer of that size cannot be
    // had.
    explicit OffscreenView(QSize pixels);
    ~OffscreenView();

    // Renders the scene list; lastFrame() then holds the picture.
    void render();

    QSize size() const { return size_; }

private:
    void makeCurrent() const;
    void release() noexcept;

    QSize size_;
    void* display_ = nullptr;
    void* surface_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace velmora
