#define GL_GLEXT_PROTOTYPES 1
#include "platform/RenderToSurfaceObject.h"

#include "platform/AdapterState.h"
#include "platform/D3DXTexture.h"
#include "platform/FaultInjector.h"
#include "platform/LiveObjectCounter.h"
#include "platform/SurfaceObject.h"
#include "platform/TextureObject.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace {

constexpr const char* kInterfaceName = "ID3DXRenderToSurface";

bool IsDrawableFormat(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

} // namespace

RenderToSurfaceObject::RenderToSurfaceObject(Direct3DDevice* device, UINT width, UINT height,
                                             D3DFORMAT format, bool depthStencil,
                                             D3DFORMAT depthStencilFormat)
    : m_device(device), m_width(width), m_height(height), m_format(format),
      m_depthStencilFormat(depthStencilFormat), m_hasDepth(depthStencil) {
    m_device->AddRef();
    m_device->DefaultPoolObjectBorn();
    LiveObjectCounter::Instance().Born(kInterfaceName);
    m_device->MakeCurrent();
    // Errors left by earlier calls are not this object's.
    while (glGetError() != GL_NO_ERROR) {
    }
    glGenFramebuffers(1, &m_frameBuffer);
    if (m_hasDepth) {
        const GLenum storage = Direct3DDevice::DepthStorage(depthStencilFormat);
        glGenRenderbuffers(1, &m_depthBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, m_depthBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, storage, static_cast<GLsizei>(width),
                              static_cast<GLsizei>(height));
        glBindFramebuffer(GL_FRAMEBUFFER, m_frameBuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                                  storage == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT
                                                                 : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, m_depthBuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, m_device->CurrentDrawTarget().frameBuffer);
    }
    if (glGetError() != GL_NO_ERROR) {
        glDeleteFramebuffers(1, &m_frameBuffer);
        m_frameBuffer = 0;
    }
}

RenderToSurfaceObject::~RenderToSurfaceObject() {
    // Not through EndScene: a failing EndScene would keep the surface, its texture and the device alive.
    if (m_surface != nullptr) {
        FinishScene(0);
    }
    m_device->MakeCurrent();
    glDeleteFramebuffers(1, &m_frameBuffer);
    glDeleteRenderbuffers(1, &m_depthBuffer);
    LiveObjectCounter::Instance().Died(kInterfaceName);
    m_device->DefaultPoolObjectDied();
    m_device->Release();
}

ULONG RenderToSurfaceObject::AddRef() {
    return ++m_references;
}

ULONG RenderToSurfaceObject::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

bool RenderToSurfaceObject::Accepts(const SurfaceObject* surface) const {
    if (surface == nullptr || surface->Texture()->Device() != m_device) {
        return false;
    }
    const D3DSURFACE_DESC description = surface->Texture()->LevelDescription(surface->Level());
    return (description.Usage & D3DUSAGE_RENDERTARGET) != 0 && description.Width == m_width &&
           description.Height == m_height && description.Format == m_format;
}

bool RenderToSurfaceObject::Attach(const SurfaceObject* surface) {
    m_device->MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, m_frameBuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           surface != nullptr ? surface->Texture()->GLName() : 0,
                           surface != nullptr ? static_cast<GLint>(surface->Level()) : 0);
    const bool complete =
        surface == nullptr || glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, m_device->CurrentDrawTarget().frameBuffer);
    return complete;
}

HRESULT RenderToSurfaceObject::BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) {
    TracedOperation call("ID3DXRenderToSurface::BeginScene", {viewport != nullptr ? 1 : 0});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    SurfaceObject* target = surface != nullptr ? SurfaceObject::FromInterface(surface) : nullptr;
    if (!Accepts(target) || m_surface != nullptr || m_device->InScene()) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    const D3DVIEWPORT9 whole{0, 0, m_width, m_height, 0.0f, 1.0f};
    const D3DVIEWPORT9 chosen = viewport != nullptr ? *viewport : whole;
    const bool inside = chosen.Width > 0 && chosen.Height > 0 &&
                        std::uint64_t(chosen.X) + chosen.Width <= m_width &&
                        std::uint64_t(chosen.Y) + chosen.Height <= m_height && chosen.MinZ >= 0.0f &&
                        chosen.MaxZ <= 1.0f && chosen.MinZ <= chosen.MaxZ;
    if (!inside || !Attach(target)) {
        Attach(nullptr);
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_savedTarget = m_device->CurrentDrawTarget();
    m_savedViewport = m_device->Viewport();
    m_device->SetDrawTarget({m_frameBuffer, m_width, m_height, m_hasDepth,
                             m_hasDepth && Direct3DDevice::HasStencilBits(m_depthStencilFormat)},
                            chosen);
    const HRESULT begun = m_device->BeginScene();
    if (FAILED(begun)) {
        m_device->SetDrawTarget(m_savedTarget, m_savedViewport);
        Attach(nullptr);
        return call.Return(begun);
    }
    m_surface = target;
    m_surface->AddRef();
    return call.Return(D3D_OK);
}

HRESULT RenderToSurfaceObject::EndScene(DWORD mipFilter) {
    TracedOperation call("ID3DXRenderToSurface::EndScene", {mipFilter});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (m_surface == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    return call.Return(FinishScene(mipFilter));
}

HRESULT RenderToSurfaceObject::FinishScene(DWORD mipFilter) {
    const HRESULT ended = m_device->EndScene();
    m_device->SetDrawTarget(m_savedTarget, m_savedViewport);
    TextureObject* texture = m_surface->Texture();
    if (mipFilter != 0 && mipFilter != D3DX_FILTER_NONE && texture->Levels() > 1 && m_surface->Level() == 0) {
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glBindTexture(GL_TEXTURE_2D, texture->GLName());
        glGenerateMipmap(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    }
    Attach(nullptr);
    m_surface->Release();
    m_surface = nullptr;
    return ended;
}

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** renderToSurface) {
    TracedOperation call("D3DXCreateRenderToSurface",
                         {width, height, format, depthStencil, depthStencilFormat});
    if (renderToSurface != nullptr) {
        *renderToSurface = nullptr;
    }
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_OUTOFVIDEOMEMORY));
    }
    Direct3DDevice* live = Direct3DDevice::FromInterface(device);
    const D3DCAPS9& caps = AdapterState::Instance().Configuration().caps;
    if (live == nullptr || renderToSurface == nullptr || width == 0 || height == 0 ||
        width > caps.MaxTextureWidth || height > caps.MaxTextureHeight) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    if (!IsDrawableFormat(format)) {
        return call.Return(D3DERR_NOTAVAILABLE);
    }
    auto* made =
        new RenderToSurfaceObject(live, width, height, format, depthStencil != FALSE, depthStencilFormat);
    if (!made->Complete()) {
        made->Release();
        return call.Return(D3DERR_OUTOFVIDEOMEMORY);
    }
    *renderToSurface = made;
    return call.Return(D3D_OK);
}
