#include "view/gl_view.h"

#include "view/mouse_handler.h"

#include <QExposeEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <cmath>

namespace velmora {
namespace {

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
    if (context_ && displayLists().size() > 0 && context_->makeCurrent(this)) {
        releaseDisplayLists();
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
    return context_->makeCurrent(this);
}

void GLView::render()
{
    // A hidden or empty window has nothing to show, and a window system may refuse to draw into it.
    if (!isExposed() || width() <= 0 || height() <= 0)
        return;
    setupPixelFormat();
    if (!makeContextCurrent())
        return;
    const qreal ratio = devicePixelRatio();
    const QSize pixels(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)));
    renderFrame(pixels, static_cast<double>(width()) / static_cast<double>(height()), GL_BACK);
    context_->swapBuffers(this);
    context_->doneCurrent();
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
    if (lastFrame().isNull())
        return false;
    image.copyFrom(lastFrame());
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
