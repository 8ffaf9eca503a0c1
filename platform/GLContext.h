#pragma once
// An offscreen OpenGL context (compatibility profile) on the headless EGL platform, one per device.
// It draws only into framebuffer objects: there is no window surface.

#include <memory>

class GLContext {
public:
    /// Null when no context can be made (no EGL display, no OpenGL).
    static std::unique_ptr<GLContext> Create();
    ~GLContext();
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    /// Makes this context current on the calling thread, if it is not already.
    void MakeCurrent();
    /// Largest sample count a multisampled renderbuffer of this context may have.
    int MaxSamples() const { return m_maxSamples; }

private:
    explicit GLContext(void* context);

    void* m_context; ///< the EGL context, owned
    int m_maxSamples = 0;
};
