#include "view/gl_view.h"

#include "geometry/angles.h"
#include "view/camera_frame.h"
#include "view/drawable.h"
#include "view/matrix_scope.h"
#include "view/mouse_handler.h"
#include "view/view_rendering.h"

#include <QExposeEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <cmath>

namespace velmora {
namespace {

constexpr double fieldOfViewDegrees = 45.0;
constexpr double fieldOfViewRadians = quarterPi;

std::uint32_t mouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    std::uint32_t flags = 0;
    if (buttons & Qt::LeftButton)
        flags |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        flags |= MK_RBUTTON;
    if (modifiers & Qt::ShiftModifier)
        flags |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        flags |= MK_CONTROL;
    if (buttons & Qt::MiddleButton)
        flags |= MK_MBUTTON;
    return flags;
}

}  // namespace

GLView::GLView()
{
    setSurfaceType(QSurface::OpenGLSurface);
    setupPixelFormat();
}

GLView::~GLView()
{
    // Display lists die with their context only if nothing shares it; free them explicitly while the window
    // can still be made current, so none outlives the view.
    if (context_ && displayLists_.size() > 0 && context_->makeCurrent(this)) {
        displayLists_.release();
        context_->doneCurrent();
    }
}

bool GLView::setupPixelFormat()
{
    if (pixelFormatSet)
        return true;
    if (handle() != nullptr)
        return false;
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    // The window system falls back to the deepest depth buffer it offers, 24 bits on most.
    format.setDepthBufferSize(32);
    format.setStencilBufferSize(0);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    // Frames are rendered on demand, two or four at a time; waiting for the vertical retrace at each swap
    // would stall every mouse move and timer tick.
    format.setSwapInterval(0);
    setFormat(format);
    pixelFormatSet = true;
    return true;
}

void GLView::paint()
{
    render();
    if (linkedView != nullptr)
        linkedView->render();
}

bool GLView::makeContextCurrent()
{
    if (!context_) {
        auto context = std::make_unique<QOpenGLContext>();
        context->setFormat(requestedFormat());
        if (!context->create())
            return false;
        context_ = std::move(context);
        contextCreated = true;
    }
    if (!context_->makeCurrent(this))
        return false;
    if (!rendererStrategy_) {
        const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        rendererStrategy_ = strategyForRenderer(renderer != nullptr ? renderer : "");
    }
    return true;
}

void GLView::render()
{
    // A hidden or empty window has nothing to show, and a window system may refuse to draw into it.
    if (!isExposed() || width() <= 0 || height() <= 0)
        return;
    setupPixelFormat();
    if (!makeContextCurrent())
        return;

    // The context is kept between renderings, yet each frame must start from the state a fresh context
    // has: whatever a drawable enables (lights, materials, blending) is undone when the frame ends.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    const qreal ratio = devicePixelRatio();
    viewportSize_ =
        QSize(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)));
    glViewport(0, 0, viewportSize_.width(), viewportSize_.height());
    aspect = static_cast<double>(width()) / static_cast<double>(height());
    projection_ = GLMatrix::perspective(fieldOfViewDegrees, aspect, nearPlane, farPlane);
    setProjection();
    if (frustumTracking)
        fillFrustum(frustum);
    drawScene();
    keepFrame();
    glPopClientAttrib();
    glPopAttrib();

    context_->swapBuffers(this);
    context_->doneCurrent();
}

void GLView::setProjection() const
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection_.data());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void GLView::drawScene()
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    MatrixScope scope;
    glLoadIdentity();
    const ViewRendering rendering{drawingStrategy.value_or(*rendererStrategy_), &displayLists_};
    const ViewRendering::Scope current(&rendering);
    // A drawable may append to the list while drawing; the length is read again at every entry.
    for (std::size_t i = 0; i < sceneList.size(); ++i)
        sceneList[i]->draw();
}

void GLView::keepFrame()
{
    const QSize size = viewportSize_;
    if (lastFrame_.size() != size)
        lastFrame_ = QImage(size, QImage::Format_RGB32);
    // Packed BGRA words are RGB32's pixels exactly, and the renderer's own layout: a plain copy, several
    // times faster than a read that repacks to three bytes a pixel.
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, size.width(), size.height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, lastFrame_.bits());
    lastFrameUpright_ = false;
}

const QImage& GLView::lastFrame() const
{
    if (lastFrameUpright_)
        return lastFrame_;
    // OpenGL's rows run bottom-up, an image's top-down; and RGB32 wants its unused alpha byte opaque.
    const int w = lastFrame_.width();
    for (int top = 0, bottom = lastFrame_.height() - 1; top <= bottom; ++top, --bottom) {
        auto* a = reinterpret_cast<QRgb*>(lastFrame_.scanLine(top));
        auto* b = reinterpret_cast<QRgb*>(lastFrame_.scanLine(bottom));
        for (int x = 0; x < w; ++x) {
            const QRgb upper = a[x] | 0xff000000u;
            a[x] = b[x] | 0xff000000u;
            b[x] = upper;
        }
    }
    lastFrameUpright_ = true;
    return lastFrame_;
}

CaptureImage GLView::createCaptureImage(double scale) const
{
    const qreal ratio = devicePixelRatio();
    const double pixelWidth = static_cast<double>(std::lround(width() * ratio));
    const double pixelHeight = static_cast<double>(std::lround(height() * ratio));
    return CaptureImage(static_cast<int>(pixelWidth * scale), static_cast<int>(pixelHeight * scale));
}

bool GLView::copyToImage(CaptureImage& image) const
{
    if (lastFrame_.isNull())
        return false;
    image.copyFrom(lastFrame());
    return true;
}

bool GLView::fillFrustum(ViewFrustum& out) const
{
    if (!frustumEnabled || !contextCreated)
        return false;
    out.aspect = aspect;
    out.inverseAspect = 1.0 / aspect;
    out.fieldOfView = fieldOfViewRadians;
    out.tanHalfFov = std::tan(out.fieldOfView * 0.5);
    out.nearPlane = nearPlane;
    out.projection = projection_;
    out.viewportWidth = viewportSize_.width();
    out.viewportHeight = viewportSize_.height();
    if (camera == nullptr)
        return false;
    out.camera = camera;
    out.view = camera->viewMatrix();
    return true;
}

void GLView::exposeEvent(QExposeEvent*)
{
    if (isExposed())
        paint();
}

void GLView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    const double w = width();
    const double h = height();
    if (w < 0.001 || h < 0.001)
        return;
    const QPointF point = event->position();
    const double x = point.x() * (1.0 / w);
    const double y = point.y() * (1.0 / h);
    if (x >= 0.0 && x <= 1.0 && y >= 0.0 && y <= 1.0 && mouseHandler != nullptr)
        mouseHandler->handleMouse(mouseFlags(event->buttons(), event->modifiers()), x, y);
    paint();
    if (afterMouseMove)
        afterMouseMove();
}

}  // namespace velmora
