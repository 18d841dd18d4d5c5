// The framebuffer-object calls are OpenGL 3.0's; Debian's libGL exports them, so they are called directly.
#define GL_GLEXT_PROTOTYPES 1

#include "view/offscreen_view.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

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
        const char* extensions = eglQueryString(d, EGL_EXTENSIONS);
        if (!hasExtension(extensions, "EGL_KHR_surfaceless_context")
            || !hasExtension(extensions, "EGL_KHR_no_config_context"))
            throw OffscreenError("no OpenGL without a window: EGL cannot make a context current without a surface");
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
    // The default attributes give a compatibility context, as a window view's default format does.
    context_ = eglCreateContext(display_, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (context_ == EGL_NO_CONTEXT)
        throw OffscreenError(eglFailure("no OpenGL without a window: no context could be created"));
    contextCreated = true;
    makeCurrent();

    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (pixels.width() > largest || pixels.height() > largest) {
        release();
        throw OffscreenError("a frame of " + std::to_string(pixels.width()) + "x" + std::to_string(pixels.height())
                             + " pixels is larger than this renderer draws (at most " + std::to_string(largest)
                             + " a side)");
    }
    // Eight bits a colour and a 24-bit depth buffer: the buffers a window view gets, so depth tests decide
    // every pixel alike.
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glGenRenderbuffers(1, &colourBuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, colourBuffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, pixels.width(), pixels.height());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colourBuffer_);
    glGenRenderbuffers(1, &depthBuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, pixels.width(), pixels.height());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        release();
        throw OffscreenError("no OpenGL without a window: the renderer cannot draw into a " +
                             std::to_string(pixels.width()) + "x" + std::to_string(pixels.height()) + " framebuffer");
    }
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

OffscreenView::~OffscreenView() { release(); }

void OffscreenView::release() noexcept
{
    if (context_ == nullptr)
        return;
    // Lists and buffers belong to the context; they are freed with it current.
    if (eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) {
        releaseDisplayLists();
        glDeleteRenderbuffers(1, &depthBuffer_);
        glDeleteRenderbuffers(1, &colourBuffer_);
        glDeleteFramebuffers(1, &framebuffer_);
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    eglDestroyContext(display_, context_);
    context_ = nullptr;
}

void OffscreenView::makeCurrent() const
{
    if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_))
        throw OffscreenError(eglFailure("the off-screen view's context could not be made current"));
}

void OffscreenView::render()
{
    makeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    renderFrame(size_, static_cast<double>(size_.width()) / static_cast<double>(size_.height()),
                GL_COLOR_ATTACHMENT0);
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

}  // namespace velmora
