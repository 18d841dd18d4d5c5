#pragma once

#include "capture/capture_image.h"
#include "view/display_lists.h"
#include "view/drawing_strategy.h"
#include "view/gl_matrix.h"
#include "view/view_frustum.h"

#include <QImage>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QOpenGLContext;

namespace velmora {

class Drawable;
class MouseHandler;
struct CameraFrame;

// A window drawn with fixed-function OpenGL. It renders on demand only: when exposed, after every mouse
// move over it, and when its owner calls paint(). Rendering one view also renders its linked view, so two
// views that show the same world never drift apart. The owner configures a view by setting its fields; the
// view owns none of the objects they point to.
class GLView : public QWindow {
public:
    GLView();
    ~GLView() override;

    // Renders this view, then its linked view (whose own link is not followed).
    void paint();

    // Writes this view's projection into out, with the matrices its last rendering loaded. False, with out
    // untouched, before the first context or while frustumEnabled is off; false with the numbers written but
    // out's camera (and its look-at) kept while camera is null.
    bool fillFrustum(ViewFrustum& out) const;

    // The picture the last rendering presented (opaque RGB32), client size times device pixel ratio; null
    // before the first rendering.
    const QImage& lastFrame() const;

    // An image of the client area's pixel size times scale, each side truncated, for copyToImage to fill.
    CaptureImage createCaptureImage(double scale) const;

    // Copies the picture the view is showing into image, stretched to the image's size. It is the last
    // presented frame, never a new rendering, so what is saved is exactly what the user saw. False while
    // the view has shown nothing, leaving the image as it was.
    bool copyToImage(CaptureImage& image) const;

    std::vector<Drawable*> sceneList;
    MouseHandler* mouseHandler = nullptr;
    bool contextCreated = false;
    double aspect = 0.0;
    bool frustumEnabled = false;
    bool pixelFormatSet = false;
    GLView* linkedView = nullptr;
    double nearPlane = 3.0;
    double farPlane = 1000.0;
    ViewFrustum frustum;
    bool frustumTracking = false;
    CameraFrame* camera = nullptr;
    // Called after a mouse move has been handled and both views rendered, for an owner that shows what the
    // mouse changed (a dragged craft) elsewhere.
    std::function<void()> afterMouseMove;
    // How the drawables send their shapes. Unset, the renderer decides (strategyForRenderer); the other ways
    // are kept to prove all draw alike.
    std::optional<DrawingStrategy> drawingStrategy;

    // The lists this view's context holds (none before its first rendering with them).
    const DisplayLists& displayLists() const { return displayLists_; }

protected:
    void exposeEvent(QExposeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // A format can only be chosen while the platform window does not exist yet; once set it is never
    // changed, whatever the window's requested format becomes later.
    bool setupPixelFormat();
    bool makeContextCurrent();
    void render();
    void setProjection() const;
    void drawScene();
    void keepFrame();

    std::unique_ptr<QOpenGLContext> context_;
    // Read from the context once it has first been made current.
    std::optional<DrawingStrategy> rendererStrategy_;
    DisplayLists displayLists_;
    // The last rendering's projection, as loaded, and its viewport in pixels.
    GLMatrix projection_;
    QSize viewportSize_;
    // The frame as read back: rows bottom-up, alpha as the buffer held it. Most frames are never looked at,
    // so the turn into an image's top-down opaque rows waits for the first look.
    mutable QImage lastFrame_;
    mutable bool lastFrameUpright_ = true;
};

}  // namespace velmora
