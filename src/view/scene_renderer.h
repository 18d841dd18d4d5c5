#pragma once

#include "view/display_lists.h"
#include "view/drawing_strategy.h"
#include "view/gl_matrix.h"
#include "view/view_frustum.h"

#include <QImage>
#include <QSize>

#include <GL/gl.h>

#include <optional>
#include <vector>

namespace velmora {

class Drawable;
struct CameraFrame;

// What every view does to draw one frame, on screen or off: the projection, the frustum record, the scene list
// drawn from a pristine state, and the picture read back. A window view and an off-screen one share it, so a
// video frame and a capture of the same scene are the same pixels. The owner configures it by setting its
// fields; it owns none of the objects they point to.
class SceneRenderer {
public:
    SceneRenderer() = default;
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // Writes this view's projection into out, with the matrices its last rendering loaded. False, with out
    // untouched, before the first context or while frustumEnabled is off; false with the numbers written but
    // out's camera (and its look-at) kept while camera is null.
    bool fillFrustum(ViewFrustum& out) const;

    // The picture the last rendering drew (opaque RGB32, top row first); null before the first rendering.
    const QImage& lastFrame() const;

    // The lists this view's context holds (none before its first rendering with them).
    const DisplayLists& displayLists() const { return displayLists_; }

    std::vector<Drawable*> sceneList;
    bool contextCreated = false;
    double aspect = 0.0;
    bool frustumEnabled = false;
    double nearPlane = 3.0;
    double farPlane = 1000.0;
    ViewFrustum frustum;
    bool frustumTracking = false;
    CameraFrame* camera = nullptr;
    // How the drawables send their shapes. Unset, the renderer decides (strategyForRenderer); the other ways
    // are kept to prove all draw alike.
    std::optional<DrawingStrategy> drawingStrategy;

protected:
    ~SceneRenderer();

    // Draws the scene list into the framebuffer bound in the current context, pixels in size, with aspect as
    // the projection's (the logical width over height), and reads the picture back from readBuffer. Whatever
    // the drawables enable is undone when the frame ends, so each frame starts from the state a fresh context
    // has.
    void renderFrame(QSize pixels, double aspect, GLenum readBuffer);

    // Deletes the display lists; the context that compiled them must be current.
    void releaseDisplayLists() { displayLists_.release(); }

private:
    void setProjection() const;
    void drawScene();
    void keepFrame(GLenum readBuffer);

    // Read from the current context at its first rendering.
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
