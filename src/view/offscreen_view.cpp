#include "view/offscreen_view.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace velmora {
namespace {

bool hasExtension(const char* list, const char* name)
{
    if (list == nullptr)
        return false;
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + length, name))
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    return false;
}

std::string eglFailure(const char* what)
{
    char code[32];
    std::snprintf(code, sizeof code, " (EGL error 0x%x)", static_cast<unsigned>(eglGetError()));
    return what + std::string(code);
}

// Mesa's surfaceless platform: contexts that need no window system at all, drawn by the same driver a window
// would get (llvmpipe without a GPU). It is initialised once and kept for the process: EGL has no reference
// count, and terminating it under another view's context would pull that context away.
EGLDisplay surfacelessDisplay()
{
    static const EGLDisplay display = []() -> EGLDisplay {
        const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
        if (!hasExtension(client, "EGL_MESA_platform_surfaceless"))
            throw OffscreenError("no OpenGL without a window: EGL offers no surfaceless platform (Debian: "
                                 "libegl-mesa0)");
        const auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        const EGLDisplay d = getPlatformDisplay != nullptr
            ? getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
            : EGL_NO_DISPLAY;
        if (d == EGL_NO_DISPLAY || !eglInitialize(d, nullptr, nullptr))
            throw OffscreenError(eglFailure("no OpenGL without a window: EGL's surfaceless platform did not start"));
        return d;
    }();
    return display;
}

}  // namespace

OffscreenView::OffscreenView(QSize pixels) : size_(pixels)
{
    if (pixels.width() <= 0 || pixels.height() <= 0)
        throw OffscreenError("an off-screen view needs a size of at least 1x1 pixels");
    display_ = surfacelessDisplay();
    if (!eglBindAPI(EGL_OPENGL_API))
        throw OffscreenError(eglFailure("no OpenGL without a window: EGL offers no desktop OpenGL"));
    // A pbuffer, not a framebuffer object: Mesa draws into window-system buffers (a window's, a pbuffer's) with
    // the rows the other way up from a framebuffer object's, and where two shapes meet at equal depth that
    // decides which one a pixel shows. The buffers are the ones a window view asks for: eight bits a colour,
    // a 32-bit depth buffer (24 where 32 is not offered), no stencil, no multisampling.
    EGLConfig config = nullptr;
    for (const EGLint depth : {32, 24}) {
        const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                 EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                 EGL_DEPTH_SIZE, depth, EGL_STENCIL_SIZE, 0, EGL_SAMPLES, 0, EGL_NONE};
        EGLint found = 0;
        if (eglChooseConfig(display_, wanted, &config, 1, &found) && found == 1)
            break;
        config = nullptr;
    }
    if (config == nullptr)
        throw OffscreenError("no OpenGL without a window: EGL offers no buffer with 8-bit colours and a depth buffer");
    EGLint largestWidth = 0;
    EGLint largestHeight = 0;
    eglGetConfigAttrib(display_, config, EGL_MAX_PBUFFER_WIDTH, &largestWidth);
    eglGetConfigAttrib(display_, config, EGL_MAX_PBUFFER_HEIGHT, &largestHeight);
    if (pixels.width() > largestWidth || pixels.height() > largestHeight)
        throw OffscreenError("a frame of " + std::to_string(pixels.width()) + "x" + std::to_string(pixels.height())
                             + " pixels is larger than this renderer draws (at most " + std::to_string(largestWidth)
                             + "x" + std::to_string(largestHeight) + ")");
    const EGLint size[] = {EGL_WIDTH, pixels.width(), EGL_HEIGHT, pixels.height(), EGL_NONE};
    surface_ = eglCreatePbufferSurface(display_, config, size);
    if (surface_ == EGL_NO_SURFACE)
        throw OffscreenError(eglFailure("no OpenGL without a window: no buffer of that size could be made"));
    // The default attributes give a compatibility context, as a window view's default format does.
    context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
    if (context_ == EGL_NO_CONTEXT) {
        release();
        throw OffscreenError(eglFailure("no OpenGL without a window: no context could be created"));
    }
    contextCreated = true;
}

OffscreenView::~OffscreenView() { release(); }

void OffscreenView::release() noexcept
{
    if (context_ != nullptr) {
        // The display lists belong to the context; they are freed with it current.
        if (displayLists().size() > 0 && eglMakeCurrent(display_, surface_, surface_, context_)) {
            releaseDisplayLists();
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        eglDestroyContext(display_, context_);
        context_ = nullptr;
    }
    if (surface_ != nullptr) {
        eglDestroySurface(display_, surface_);
        surface_ = nullptr;
    }
}

void OffscreenView::makeCurrent() const
{
    if (!eglMakeCurrent(display_, surface_, surface_, context_))
        throw OffscreenError(eglFailure("the off-screen view's context could not be made current"));
}

void OffscreenView::render()
{
    makeCurrent();
    // A pbuffer has a single buffer, which a context draws into as its back buffer; it is read where it was drawn.
    GLint drawn = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawn);
    renderFrame(size_, static_cast<double>(size_.width()) / static_cast<double>(size_.height()),
                static_cast<GLenum>(drawn));
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

}  // namespace velmora
