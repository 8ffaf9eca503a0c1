#include "platform/GLContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

namespace {

// The display lives as long as the process: terminating it unloads the driver, whose own exit-time
// allocations would then belong to no module and could no longer be told apart from ours.
EGLDisplay SharedDisplay() {
    static const EGLDisplay display = [] {
        const auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay == nullptr) {
            return EGL_NO_DISPLAY;
        }
        EGLDisplay made = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major = 0, minor = 0;
        if (made == EGL_NO_DISPLAY || !eglInitialize(made, &major, &minor)) {
            return EGL_NO_DISPLAY;
        }
        return made;
    }();
    return display;
}

thread_local EGLContext t_current = EGL_NO_CONTEXT;

} // namespace

std::unique_ptr<GLContext> GLContext::Create() {
    const EGLDisplay display = SharedDisplay();
    if (display == EGL_NO_DISPLAY || !eglBindAPI(EGL_OPENGL_API)) {
        return nullptr;
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 3,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 0,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    const EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        return nullptr;
    }
    std::unique_ptr<GLContext> made(new GLContext(context));
    made->MakeCurrent();
    GLint samples = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &samples);
    made->m_maxSamples = samples;
    return made;
}

GLContext::GLContext(void* context) : m_context(context) {}

GLContext::~GLContext() {
    const EGLDisplay display = SharedDisplay();
    if (t_current == m_context) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        t_current = EGL_NO_CONTEXT;
    }
    eglDestroyContext(display, m_context);
}

void GLContext::MakeCurrent() {
    if (t_current != m_context) {
        eglMakeCurrent(SharedDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, m_context);
        t_current = m_context;
    }
}
