#pragma once

#include "capture/capture_image.h"
#include "view/scene_renderer.h"

#include <QWindow>

#include <functional>
#include <memory>

class QOpenGLContext;

namespace velmora {

class MouseHandler;

// A window drawn with fixed-function OpenGL. It renders on demand only: when exposed, after every mouse
// move over it, and when its owner calls paint(). Rendering one view also renders its linked view, so two
// views that show the same world never drift apart. The owner configures a view by setting its fields (its
// scene, planes and frustum are its SceneRenderer's); the view owns none of the objects they point to.
class GLView : public QWindow, public SceneRenderer {
public:
    GLView();
    ~GLView() override;

    // Renders this view, then its linked view (whose own link is not followed).
    void paint();

    // An image of the client area's pixel size times scale, each side truncated, for copyToImage to fill.
    CaptureImage createCaptureImage(double scale) const;

    // Copies the picture the view is showing into image, stretched to the image's size. It is the last
    // presented frame, never a new rendering, so what is saved is exactly what the user saw. False while
    // the view has shown nothing, leaving the image as it was.
    bool copyToImage(CaptureImage& image) const;

    MouseHandler* mouseHandler = nullptr;
    bool pixelFormatSet = false;
    GLView* linkedView = nullptr;
    // Called after a mouse move has been handled and both views rendered, for an owner that shows what the
    // mouse changed (a dragged craft) elsewhere.
    std::function<void()> afterMouseMove;
protected:
    void exposeEvent(QExposeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // A format can only be chosen while the platform window does not exist yet; once set it is never
    // changed, whatever the window's requested format becomes later.
    bool setupPixelFormat();
    bool makeContextCurrent();
    void render();

    std::unique_ptr<QOpenGLContext> context_;
};

}  // namespace velmora
