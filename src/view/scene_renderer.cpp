#include "view/scene_renderer.h"

#include "geometry/angles.h"
#include "view/camera_frame.h"
#include "view/drawable.h"
#include "view/matrix_scope.h"
#include "view/view_rendering.h"

#include <cmath>

namespace velmora {
namespace {

constexpr double fieldOfViewDegrees = 45.0;
constexpr double fieldOfViewRadians = quarterPi;

}  // namespace

SceneRenderer::~SceneRenderer() = default;

void SceneRenderer::renderFrame(QSize pixels, double frameAspect, GLenum readBuffer)
{
    if (!rendererStrategy_) {
        const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        rendererStrategy_ = strategyForRenderer(renderer != nullptr ? renderer : "");
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    viewportSize_ = pixels;
    glViewport(0, 0, pixels.width(), pixels.height());
    aspect = frameAspect;
    projection_ = GLMatrix::perspective(fieldOfViewDegrees, aspect, nearPlane, farPlane);
    setProjection();
    if (frustumTracking)
        fillFrustum(frustum);
    drawScene();
    keepFrame(readBuffer);
    glPopClientAttrib();
    glPopAttrib();
}

void SceneRenderer::setProjection() const
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

void SceneRenderer::drawScene()
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

void SceneRenderer::keepFrame(GLenum readBuffer)
{
    const QSize size = viewportSize_;
    if (lastFrame_.size() != size)
        lastFrame_ = QImage(size, QImage::Format_RGB32);
    // Packed BGRA words are RGB32's pixels exactly, and the renderer's own layout: a plain copy, several
    // times faster than a read that repacks to three bytes a pixel.
    glReadBuffer(readBuffer);
    glReadPixels(0, 0, size.width(), size.height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, lastFrame_.bits());
    lastFrameUpright_ = false;
}

const QImage& SceneRenderer::lastFrame() const
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

bool SceneRenderer::fillFrustum(ViewFrustum& out) const
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

}  // namespace velmora
