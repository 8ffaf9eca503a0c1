#define GL_GLEXT_PROTOTYPES 1
#include "platform/Direct3DDevice.h"

#include "platform/AdapterState.h"
#include "platform/Direct3DObject.h"
#include "platform/FaultInjector.h"
#include "platform/LiveObjectCounter.h"
#include "platform/TextureObject.h"
#include "platform/VertexBufferObject.h"
#include "platform/WindowRegistry.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <set>
#include <string_view>

namespace {

constexpr const char* kInterfaceName = "IDirect3DDevice9";

bool& CheaperDrawPath() {
    static bool on = true;
    return on;
}

std::set<Direct3DDevice*>& LiveDevices() {
    static std::set<Direct3DDevice*> devices;
    return devices;
}

constexpr D3DMATRIX kIdentity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX product{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            for (int k = 0; k < 4; ++k) {
                product.m[row][column] += a.m[row][k] * b.m[k][column];
            }
        }
    }
    return product;
}

GLenum ColorStorage(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R5G6B5:
        return GL_RGB565;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        return GL_RGB5_A1;
    default:
        return GL_RGBA8;
    }
}

GLenum DepthStorageOf(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D16:
        return GL_DEPTH_COMPONENT16;
    case D3DFMT_D24X8:
        return GL_DEPTH_COMPONENT24;
    case D3DFMT_D32:
        return GL_DEPTH_COMPONENT32;
    default:
        return GL_DEPTH24_STENCIL8;
    }
}

GLenum DepthAttachment(GLenum storage) {
    return storage == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
}

bool HasAlpha(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_A1R5G5B5;
}

void Storage(GLsizei samples, GLenum storage, GLsizei width, GLsizei height) {
    if (samples > 0) {
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, storage, width, height);
    } else {
        glRenderbufferStorage(GL_RENDERBUFFER, storage, width, height);
    }
}

/// Wrapping repeats the texture only beyond 0..1: a draw whose coordinates stay within it samples its
/// edge texels as clamping does, so a quad's border pixels never blend in the texture's opposite edge.
GLint AddressMode(DWORD mode, bool withinUnit) {
    if (withinUnit && mode != D3DTADDRESS_BORDER) {
        return GL_CLAMP_TO_EDGE;
    }
    switch (mode) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

bool Smooth(DWORD filter) {
    return filter == D3DTEXF_LINEAR || filter == D3DTEXF_ANISOTROPIC;
}

GLint MinificationFilter(DWORD minification, DWORD mip) {
    const bool smooth = Smooth(minification);
    switch (mip) {
    case D3DTEXF_NONE:
        return smooth ? GL_LINEAR : GL_NEAREST;
    case D3DTEXF_POINT:
        return smooth ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    default:
        return smooth ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST:
        return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
        return GL_TRIANGLE_FAN;
    default:
        return GL_POINTS;
    }
}

bool HasAnisotropicFiltering() {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const auto* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (name != nullptr && std::string_view(name) == "GL_EXT_texture_filter_anisotropic") {
            return true;
        }
    }
    return false;
}

} // namespace

HRESULT Direct3DDevice::Create(IDirect3D9* direct3D, DWORD behaviorFlags,
                               const D3DPRESENT_PARAMETERS& parameters, Direct3DDevice** device) {
    std::unique_ptr<GLContext> context = GLContext::Create();
    if (context == nullptr) {
        return D3DERR_NOTAVAILABLE;
    }
    auto* made = new Direct3DDevice(direct3D, behaviorFlags, parameters, std::move(context));
    if (!made->CreateBuffers()) {
        made->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *device = made;
    return D3D_OK;
}

Direct3DDevice* Direct3DDevice::FromInterface(IDirect3DDevice9* device) {
    auto* candidate = static_cast<Direct3DDevice*>(device);
    return LiveDevices().contains(candidate) ? candidate : nullptr;
}

int Direct3DDevice::LiveCount() {
    return static_cast<int>(LiveDevices().size());
}

Direct3DDevice::Direct3DDevice(IDirect3D9* direct3D, DWORD behaviorFlags,
                               const D3DPRESENT_PARAMETERS& parameters, std::unique_ptr<GLContext> context)
    : m_direct3D(direct3D), m_behaviorFlags(behaviorFlags), m_parameters(parameters),
      m_context(std::move(context)),
      m_viewport{0, 0, parameters.BackBufferWidth, parameters.BackBufferHeight, 0.0f, 1.0f},
      m_world(kIdentity), m_view(kIdentity), m_projection(kIdentity), m_glProjection(kIdentity),
      m_state(m_glState) {
    std::fill(std::begin(m_textureTransforms), std::end(m_textureTransforms), kIdentity);
    m_direct3D->AddRef();
    LiveDevices().insert(this);
    LiveObjectCounter::Instance().Born(kInterfaceName);
}

Direct3DDevice::~Direct3DDevice() {
    DeleteBuffers();
    m_vertexStream.Delete(m_glState);
    m_context.reset();
    LiveObjectCounter::Instance().Died(kInterfaceName);
    LiveDevices().erase(this);
    m_direct3D->Release();
}

bool Direct3DDevice::CreateBuffers() {
    m_context->MakeCurrent();
    const auto width = static_cast<GLsizei>(m_parameters.BackBufferWidth);
    const auto height = static_cast<GLsizei>(m_parameters.BackBufferHeight);
    // Sample counts the drawing library lacks are approximated by the largest it has.
    const GLsizei samples =
        std::min<GLsizei>(static_cast<GLsizei>(m_parameters.MultiSampleType), m_context->MaxSamples());

    glGenFramebuffers(1, &m_frameBuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, m_frameBuffer);
    glGenRenderbuffers(1, &m_colorBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, m_colorBuffer);
    Storage(samples, ColorStorage(m_parameters.BackBufferFormat), width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colorBuffer);
    if (m_parameters.EnableAutoDepthStencil) {
        glGenRenderbuffers(1, &m_depthBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, m_depthBuffer);
        Storage(samples, DepthStorageOf(m_parameters.AutoDepthStencilFormat), width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                                  DepthAttachment(DepthStorageOf(m_parameters.AutoDepthStencilFormat)),
                                  GL_RENDERBUFFER, m_depthBuffer);
    }
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return false;
    }
    if (samples > 0) {
        glGenFramebuffers(1, &m_resolveFrameBuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, m_resolveFrameBuffer);
        glGenRenderbuffers(1, &m_resolveColorBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, m_resolveColorBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  m_resolveColorBuffer);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            return false;
        }
        glBindFramebuffer(GL_FRAMEBUFFER, m_frameBuffer);
    }
    m_target = BackBufferTarget();
    // A new back buffer is black, its depth at the far plane.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    ResetStates();
    return glGetError() == GL_NO_ERROR;
}

void Direct3DDevice::ResetStates() {
    m_viewport = {0, 0, m_parameters.BackBufferWidth, m_parameters.BackBufferHeight, 0.0f, 1.0f};
    m_world = kIdentity;
    m_view = kIdentity;
    m_projection = kIdentity;
    std::fill(std::begin(m_textureTransforms), std::end(m_textureTransforms), kIdentity);
    m_fvf = 0;
    m_format.reset();
    std::fill(std::begin(m_textures), std::end(m_textures), nullptr);
    std::fill(std::begin(m_streams), std::end(m_streams), StreamSource{});
    m_glState.Forget();
    m_state.Reset(m_parameters.EnableAutoDepthStencil != FALSE);
    ApplyViewport();
    ApplyModelView();
}

bool Direct3DDevice::HasStencil() const {
    return m_parameters.EnableAutoDepthStencil && HasStencilBits(m_parameters.AutoDepthStencilFormat);
}

unsigned Direct3DDevice::DepthStorage(D3DFORMAT format) {
    return DepthStorageOf(format);
}

bool Direct3DDevice::HasStencilBits(D3DFORMAT format) {
    return format == D3DFMT_D24S8 || format == D3DFMT_D24X4S4 || format == D3DFMT_D15S1;
}

void Direct3DDevice::DeleteBuffers() {
    m_context->MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    const GLuint frameBuffers[] = {m_frameBuffer, m_resolveFrameBuffer};
    const GLuint renderBuffers[] = {m_colorBuffer, m_depthBuffer, m_resolveColorBuffer};
    glDeleteFramebuffers(2, frameBuffers);
    glDeleteRenderbuffers(3, renderBuffers);
    m_frameBuffer = m_colorBuffer = m_depthBuffer = m_resolveFrameBuffer = m_resolveColorBuffer = 0;
}

ULONG Direct3DDevice::AddRef() {
    return ++m_references;
}

ULONG Direct3DDevice::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT Direct3DDevice::SetViewport(const D3DVIEWPORT9* viewport) {
    const D3DVIEWPORT9 shown = viewport != nullptr ? *viewport : D3DVIEWPORT9{};
    TracedOperation call("IDirect3DDevice9::SetViewport", {shown.X, shown.Y, shown.Width, shown.Height},
                         std::nullopt);
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (viewport == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    const std::uint64_t right = std::uint64_t(viewport->X) + viewport->Width;
    const std::uint64_t bottom = std::uint64_t(viewport->Y) + viewport->Height;
    const bool inside =
        viewport->Width > 0 && viewport->Height > 0 && right <= m_target.width && bottom <= m_target.height;
    const bool depthInRange =
        viewport->MinZ >= 0.0f && viewport->MaxZ <= 1.0f && viewport->MinZ <= viewport->MaxZ;
    if (!inside || !depthInRange) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_viewport = *viewport;
    ApplyViewport();
    return call.Return(D3D_OK);
}

D3DMATRIX* Direct3DDevice::TransformSlot(D3DTRANSFORMSTATETYPE state) {
    switch (state) {
    case D3DTS_WORLD:
        return &m_world;
    case D3DTS_VIEW:
        return &m_view;
    case D3DTS_PROJECTION:
        return &m_projection;
    default:
        if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
            return &m_textureTransforms[state - D3DTS_TEXTURE0];
        }
        return nullptr;
    }
}

const D3DMATRIX* Direct3DDevice::Transform(D3DTRANSFORMSTATETYPE state) const {
    return const_cast<Direct3DDevice*>(this)->TransformSlot(state);
}

HRESULT Direct3DDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    TracedOperation call("IDirect3DDevice9::SetTransform", {state});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    D3DMATRIX* slot = TransformSlot(state);
    if (slot == nullptr || matrix == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    // OpenGL holds what the slot holds: the same matrix again changes nothing there.
    if (std::memcmp(slot, matrix, sizeof *matrix) == 0) {
        return call.Return(D3D_OK);
    }
    *slot = *matrix;
    if (state == D3DTS_PROJECTION) {
        ApplyProjection();
    } else if (state == D3DTS_WORLD || state == D3DTS_VIEW) {
        ApplyModelView();
    }
    if (state == D3DTS_VIEW) {
        m_state.SetViewMatrix(m_view);
    }
    return call.Return(D3D_OK);
}

void Direct3DDevice::ApplyViewport() {
    m_context->MakeCurrent();
    glViewport(static_cast<GLint>(m_viewport.X), static_cast<GLint>(m_viewport.Y),
               static_cast<GLsizei>(m_viewport.Width), static_cast<GLsizei>(m_viewport.Height));
    glDepthRange(m_viewport.MinZ, m_viewport.MaxZ);
    ApplyProjection();
}

void Direct3DDevice::ApplyModelView() {
    m_context->MakeCurrent();
    // A row-major matrix read column-major is its transpose: the column-vector form of the same map.
    const D3DMATRIX worldView = Multiply(m_world, m_view);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(&worldView.m[0][0]);
}

void Direct3DDevice::ApplyProjection() {
    m_context->MakeCurrent();
    // (x, y, z, w) -> (x, -y, 2z - w, w): rows run downwards in the buffers, depth 0..1 becomes -1..1.
    // Pixel centres lie on whole coordinates here and half-way between them in OpenGL, so everything
    // moves by half a pixel of the viewport: a point at pixel (3, 4) lights pixel (3, 4).
    const float halfPixelX = m_viewport.Width > 0 ? 1.0f / static_cast<float>(m_viewport.Width) : 0.0f;
    const float halfPixelY = m_viewport.Height > 0 ? 1.0f / static_cast<float>(m_viewport.Height) : 0.0f;
    const D3DMATRIX toOpenGL{{{1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 2, 0}, {halfPixelX, halfPixelY, -1, 1}}};
    m_glProjection = Multiply(m_projection, toOpenGL);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(&m_glProjection.m[0][0]);
    glMatrixMode(GL_MODELVIEW);
}

platform::Image Direct3DDevice::ReadBackBuffer() {
    m_context->MakeCurrent();
    platform::Image image;
    image.width = m_parameters.BackBufferWidth;
    image.height = m_parameters.BackBufferHeight;
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    const auto width = static_cast<GLsizei>(image.width);
    const auto height = static_cast<GLsizei>(image.height);
    GLuint source = m_frameBuffer;
    if (m_resolveFrameBuffer != 0) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_frameBuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_resolveFrameBuffer);
        glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        source = m_resolveFrameBuffer;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, image.pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, m_target.frameBuffer);
    if (!HasAlpha(m_parameters.BackBufferFormat)) {
        for (std::uint32_t& pixel : image.pixels) {
            pixel |= 0xFF000000u;
        }
    }
    return image;
}

platform::DepthStencilImage Direct3DDevice::ReadDepthStencil() {
    if (!m_parameters.EnableAutoDepthStencil) {
        return {};
    }
    m_context->MakeCurrent();
    platform::DepthStencilImage image;
    image.width = m_parameters.BackBufferWidth;
    image.height = m_parameters.BackBufferHeight;
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    image.depth.resize(count);
    image.stencil.resize(count);
    const auto width = static_cast<GLsizei>(image.width);
    const auto height = static_cast<GLsizei>(image.height);
    const GLenum storage = DepthStorageOf(m_parameters.AutoDepthStencilFormat);
    const bool packed = storage == GL_DEPTH24_STENCIL8;
    GLuint source = m_frameBuffer;
    GLuint resolveFrameBuffer = 0;
    GLuint resolveBuffer = 0;
    if (m_resolveFrameBuffer != 0) {
        // Multisampled depth is read through a single-sampled copy of the same storage.
        glGenFramebuffers(1, &resolveFrameBuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, resolveFrameBuffer);
        glGenRenderbuffers(1, &resolveBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, resolveBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, storage, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, DepthAttachment(storage), GL_RENDERBUFFER, resolveBuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_frameBuffer);
        glBlitFramebuffer(0, 0, width, height, 0, 0, width, height,
                          GL_DEPTH_BUFFER_BIT | (packed ? GL_STENCIL_BUFFER_BIT : 0u), GL_NEAREST);
        source = resolveFrameBuffer;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (packed) {
        // Depth in the top 24 bits, stencil in the low 8.
        std::vector<GLuint> words(count);
        glReadPixels(0, 0, width, height, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, words.data());
        for (std::size_t i = 0; i < count; ++i) {
            image.depth[i] = static_cast<float>(words[i] >> 8) / 16777215.0f;
            image.stencil[i] = static_cast<std::uint8_t>(words[i] & 0xFF);
        }
    } else {
        glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, image.depth.data());
    }
    glBindFramebuffer(GL_FRAMEBUFFER, m_target.frameBuffer);
    glDeleteFramebuffers(1, &resolveFrameBuffer);
    glDeleteRenderbuffers(1, &resolveBuffer);
    return image;
}

HRESULT Direct3DDevice::TestCooperativeLevel() {
    TracedOperation call("IDirect3DDevice9::TestCooperativeLevel", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_DRIVERINTERNALERROR));
    }
    switch (m_loss) {
    case platform::DeviceLoss::Lost:
        return call.Return(D3DERR_DEVICELOST);
    case platform::DeviceLoss::NotReset:
        return call.Return(D3DERR_DEVICENOTRESET);
    default:
        return call.Return(D3D_OK);
    }
}

HRESULT Direct3DDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    TracedOperation call("IDirect3DDevice9::Reset", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (m_loss == platform::DeviceLoss::Lost) {
        return call.Return(D3DERR_DEVICELOST);
    }
    if (parameters == nullptr || m_inScene ||
        (m_defaultPoolObjects > 0 && AdapterState::Instance().Configuration().resetRefusesDefaultPool)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    D3DPRESENT_PARAMETERS completed = *parameters;
    if (const HRESULT refused =
            Direct3DObject::ValidatePresentation(m_parameters.hDeviceWindow, m_behaviorFlags, completed);
        FAILED(refused)) {
        return call.Return(refused);
    }
    DeleteBuffers();
    m_parameters = completed;
    if (!CreateBuffers()) {
        // The device stays waiting for a reset that works.
        m_loss = platform::DeviceLoss::NotReset;
        return call.Return(D3DERR_OUTOFVIDEOMEMORY);
    }
    m_loss = platform::DeviceLoss::Operational;
    *parameters = completed;
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND overrideWindow,
                                const RGNDATA* dirtyRegion) {
    TracedOperation call("IDirect3DDevice9::Present", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (m_loss != platform::DeviceLoss::Operational) {
        return call.Return(D3DERR_DEVICELOST);
    }
    if (sourceRect != nullptr || destRect != nullptr || dirtyRegion != nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    WindowRecord* window = WindowRegistry::Instance().Find(
        overrideWindow != nullptr ? overrideWindow : m_parameters.hDeviceWindow);
    if (window == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    // The back buffer is stretched over the window's client area, nearest pixel, and shown opaque.
    const platform::Image frame = ReadBackBuffer();
    for (UINT y = 0; y < window->height; ++y) {
        const UINT sourceY = static_cast<UINT>(std::uint64_t(y) * frame.height / window->height);
        for (UINT x = 0; x < window->width; ++x) {
            const UINT sourceX = static_cast<UINT>(std::uint64_t(x) * frame.width / window->width);
            window->pixels[std::size_t(y) * window->width + x] = frame.At(sourceX, sourceY) | 0xFF000000u;
        }
    }
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, DWORD colour, float z,
                              DWORD stencil) {
    TracedOperation call("IDirect3DDevice9::Clear", {count, flags, colour, stencil}, flags);
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const DWORD known = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    const bool buffersExist = ((flags & D3DCLEAR_ZBUFFER) == 0 || m_target.hasDepth) &&
                              ((flags & D3DCLEAR_STENCIL) == 0 || m_target.hasStencil);
    if (flags == 0 || (flags & ~known) != 0 || !buffersExist || (count > 0 && rects == nullptr) ||
        !(z >= 0.0f && z <= 1.0f)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_context->MakeCurrent();
    const std::array<float, 4> rgba = {((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f,
                                       (colour & 0xFF) / 255.0f, ((colour >> 24) & 0xFF) / 255.0f};
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    glClearDepth(z);
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
    const GLbitfield buffers = ((flags & D3DCLEAR_TARGET) != 0 ? GL_COLOR_BUFFER_BIT : 0u) |
                               ((flags & D3DCLEAR_ZBUFFER) != 0 ? GL_DEPTH_BUFFER_BIT : 0u) |
                               ((flags & D3DCLEAR_STENCIL) != 0 ? GL_STENCIL_BUFFER_BIT : 0u);
    // A clear fills whole buffers whatever the write masks say, but only within the viewport.
    GLboolean depthMask = GL_TRUE;
    GLint stencilMask = 0;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    glGetIntegerv(GL_STENCIL_WRITEMASK, &stencilMask);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFFu);
    glEnable(GL_SCISSOR_TEST);
    const auto clearWithin = [&](LONG left, LONG top, LONG right, LONG bottom) {
        left = std::max<LONG>(left, static_cast<LONG>(m_viewport.X));
        top = std::max<LONG>(top, static_cast<LONG>(m_viewport.Y));
        right = std::min<LONG>(right, static_cast<LONG>(m_viewport.X + m_viewport.Width));
        bottom = std::min<LONG>(bottom, static_cast<LONG>(m_viewport.Y + m_viewport.Height));
        if (left < right && top < bottom) {
            glScissor(left, top, right - left, bottom - top);
            glClear(buffers);
        }
    };
    if (count == 0) {
        clearWithin(0, 0, static_cast<LONG>(m_target.width), static_cast<LONG>(m_target.height));
    }
    for (DWORD i = 0; i < count; ++i) {
        clearWithin(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    }
    glDisable(GL_SCISSOR_TEST);
    glDepthMask(depthMask);
    glStencilMask(static_cast<GLuint>(stencilMask));
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::BeginScene() {
    TracedOperation call("IDirect3DDevice9::BeginScene", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (m_inScene) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_inScene = true;
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::EndScene() {
    TracedOperation call("IDirect3DDevice9::EndScene", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (!m_inScene) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_inScene = false;
    m_context->MakeCurrent();
    glFlush();
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    TracedOperation call("IDirect3DDevice9::SetRenderState", {state, value});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (!FixedFunctionState::IsRenderState(state)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_context->MakeCurrent();
    m_state.SetRenderState(state, value);
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (value == nullptr || !FixedFunctionState::IsRenderState(state)) {
        return D3DERR_INVALIDCALL;
    }
    *value = m_state.RenderState(state);
    return D3D_OK;
}

HRESULT Direct3DDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    TracedOperation call("IDirect3DDevice9::SetSamplerState", {sampler, type, value}, type);
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (!FixedFunctionState::IsSamplerState(sampler, type)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_state.SetSamplerState(sampler, type, value);
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (value == nullptr || !FixedFunctionState::IsSamplerState(sampler, type)) {
        return D3DERR_INVALIDCALL;
    }
    *value = m_state.SamplerState(sampler, type);
    return D3D_OK;
}

HRESULT Direct3DDevice::SetLight(DWORD index, const D3DLIGHT9* light) {
    TracedOperation call("IDirect3DDevice9::SetLight",
                         {index, light != nullptr ? static_cast<std::int64_t>(light->Type) : 0});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const bool typeKnown =
        light != nullptr && (light->Type == D3DLIGHT_POINT || light->Type == D3DLIGHT_SPOT ||
                             light->Type == D3DLIGHT_DIRECTIONAL);
    if (!typeKnown) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_context->MakeCurrent();
    m_state.SetLight(index, *light);
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::GetLight(DWORD index, D3DLIGHT9* light) {
    const std::optional<D3DLIGHT9> kept = m_state.Light(index);
    if (light == nullptr || !kept) {
        return D3DERR_INVALIDCALL;
    }
    *light = *kept;
    return D3D_OK;
}

HRESULT Direct3DDevice::LightEnable(DWORD index, BOOL enable) {
    TracedOperation call("IDirect3DDevice9::LightEnable", {index, enable});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    m_context->MakeCurrent();
    return call.Return(m_state.EnableLight(index, enable != FALSE) ? D3D_OK : D3DERR_INVALIDCALL);
}

HRESULT Direct3DDevice::GetLightEnable(DWORD index, BOOL* enable) {
    const std::optional<bool> enabled = m_state.LightEnabled(index);
    if (enable == nullptr || !enabled) {
        return D3DERR_INVALIDCALL;
    }
    *enable = *enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT Direct3DDevice::SetMaterial(const D3DMATERIAL9* material) {
    TracedOperation call("IDirect3DDevice9::SetMaterial", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (material == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_context->MakeCurrent();
    m_state.SetMaterial(*material);
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::GetMaterial(D3DMATERIAL9* material) {
    if (material == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *material = m_state.Material();
    return D3D_OK;
}

HRESULT Direct3DDevice::SetFVF(DWORD fvf) {
    TracedOperation call("IDirect3DDevice9::SetFVF", {fvf});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const std::optional<VertexFormat> format = VertexFormat::Of(fvf);
    if (!format) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_fvf = fvf;
    m_format = format;
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::GetFVF(DWORD* fvf) {
    if (fvf == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *fvf = m_fvf;
    return D3D_OK;
}

namespace {

/// Vertices that `primitiveCount` primitives of `type` read; none for a type the device does not have.
std::optional<std::uint64_t> VerticesRead(D3DPRIMITIVETYPE type, UINT primitiveCount) {
    const std::uint64_t count = primitiveCount;
    switch (type) {
    case D3DPT_POINTLIST:
        return count;
    case D3DPT_LINELIST:
        return count * 2;
    case D3DPT_LINESTRIP:
        return count + 1;
    case D3DPT_TRIANGLELIST:
        return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return count + 2;
    default:
        return std::nullopt;
    }
}

} // namespace

bool Direct3DDevice::Accepts(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT stride,
                             std::uint64_t& vertexCount) const {
    const std::optional<std::uint64_t> read = VerticesRead(type, primitiveCount);
    vertexCount = read.value_or(0);
    // A stride shorter than the format's vertex means the format set is not the one the caller's
    // vertices have.
    return read && m_inScene && m_format && stride >= m_format->size &&
           primitiveCount <= AdapterState::Instance().Configuration().caps.MaxPrimitiveCount &&
           vertexCount <= static_cast<std::uint64_t>(INT32_MAX);
}

void Direct3DDevice::Submit(D3DPRIMITIVETYPE type, UINT primitiveCount, std::uint64_t vertexCount,
                            const std::uint8_t* vertices, UINT stride) {
    if (primitiveCount == 0) {
        return;
    }
    FaultInjector& injector = FaultInjector::Instance();
    if (injector.Recording()) {
        // The last vertex is read only as far as the format reaches.
        const std::size_t length = static_cast<std::size_t>((vertexCount - 1) * stride + m_format->size);
        injector.RecordDraw(type, primitiveCount, m_fvf, stride, vertices, length);
    }
    // A lost device takes draws and shows nothing of them.
    if (m_loss == platform::DeviceLoss::Operational) {
        DrawArrays(type, static_cast<int>(vertexCount), vertices, stride);
    }
}

HRESULT Direct3DDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                        UINT stride) {
    TracedOperation call("IDirect3DDevice9::DrawPrimitiveUP", {type, primitiveCount, stride});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    std::uint64_t vertexCount = 0;
    if (!Accepts(type, primitiveCount, stride, vertexCount) || (primitiveCount > 0 && vertices == nullptr)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    // The user-pointer road takes stream 0 over and leaves it empty.
    m_streams[0] = {};
    Submit(type, primitiveCount, vertexCount, static_cast<const std::uint8_t*>(vertices), stride);
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    TracedOperation call("IDirect3DDevice9::DrawPrimitive", {type, startVertex, primitiveCount});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const StreamSource& stream = m_streams[0];
    std::uint64_t vertexCount = 0;
    if (!Accepts(type, primitiveCount, stream.stride, vertexCount) || stream.buffer == nullptr ||
        stream.buffer->Locked()) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    // Bytes from the buffer's start to the end of the last vertex read, in 64 bits: no count wraps.
    const std::uint64_t first = stream.offset + std::uint64_t(startVertex) * stream.stride;
    const std::uint64_t end =
        vertexCount > 0 ? first + (vertexCount - 1) * stream.stride + m_format->size : 0;
    if (end > stream.buffer->Length()) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    Submit(type, primitiveCount, vertexCount, stream.buffer->Bytes() + first, stream.stride);
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                           IDirect3DVertexBuffer9** buffer, void** shared) {
    TracedOperation call("IDirect3DDevice9::CreateVertexBuffer", {length, usage, fvf, pool});
    if (buffer != nullptr) {
        *buffer = nullptr;
    }
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_OUTOFVIDEOMEMORY));
    }
    const bool poolKnown = pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED || pool == D3DPOOL_SYSTEMMEM;
    if (length == 0 || buffer == nullptr || shared != nullptr || !poolKnown) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *buffer = new VertexBufferObject(this, length, usage, fvf, pool);
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                        UINT stride) {
    TracedOperation call("IDirect3DDevice9::SetStreamSource",
                         {stream, buffer != nullptr ? 1 : 0, offset, stride});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    VertexBufferObject* bound = buffer != nullptr ? VertexBufferObject::FromInterface(buffer) : nullptr;
    if (stream >= kStreams || (buffer != nullptr && (bound == nullptr || bound->Device() != this))) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_streams[stream] = bound != nullptr ? StreamSource{bound, offset, stride} : StreamSource{};
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                        UINT* stride) {
    if (stream >= kStreams || buffer == nullptr || offset == nullptr || stride == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = m_streams[stream].buffer;
    if (*buffer != nullptr) {
        (*buffer)->AddRef();
    }
    *offset = m_streams[stream].offset;
    *stride = m_streams[stream].stride;
    return D3D_OK;
}

void Direct3DDevice::VertexBufferBorn(const VertexBufferObject& buffer) {
    if (buffer.Pool() == D3DPOOL_DEFAULT) {
        DefaultPoolObjectBorn();
    }
}

std::vector<std::uint8_t> Direct3DDevice::TakeVertexStorage(UINT length) {
    std::vector<std::uint8_t> storage;
    if (!m_spareVertexStorage.empty()) {
        storage = std::move(m_spareVertexStorage.back());
        m_spareVertexStorage.pop_back();
    }
    storage.assign(length, 0);
    return storage;
}

void Direct3DDevice::GiveBackVertexStorage(std::vector<std::uint8_t> storage) {
    if (m_spareVertexStorage.size() < kSpareStorageCount && storage.capacity() <= kSpareStorageBytes) {
        m_spareVertexStorage.push_back(std::move(storage));
    }
}

void Direct3DDevice::VertexBufferDied(const VertexBufferObject& buffer) {
    if (buffer.Pool() == D3DPOOL_DEFAULT) {
        DefaultPoolObjectDied();
    }
    for (StreamSource& stream : m_streams) {
        if (stream.buffer == &buffer) {
            stream = {};
        }
    }
}

void Direct3DDevice::UseCheaperDrawPath(bool on) {
    CheaperDrawPath() = on;
}

void Direct3DDevice::DrawArrays(D3DPRIMITIVETYPE type, int vertexCount, const std::uint8_t* vertices,
                                UINT stride) {
    m_context->MakeCurrent();
    if (!CheaperDrawPath()) {
        ForgetWhatOpenGLHolds();
    }
    // Every vertex of the draw, culled or not, tells how far its texture coordinates reach.
    BindStageTextures(vertices, stride, static_cast<std::size_t>(vertexCount));
    const DWORD cull = m_state.RenderState(D3DRS_CULLMODE);
    const bool culls = cull == D3DCULL_CW || cull == D3DCULL_CCW;
    // Screen-clockwise triangles are OpenGL's front faces.
    const GLenum culledFace = cull == D3DCULL_CW ? GL_FRONT : GL_BACK;
    const bool culledHere = CullsOnCpu(type, cull);
    if (culledHere) {
        m_faceCuller.Cull(m_world, m_view, m_glProjection, static_cast<float>(m_viewport.Width),
                          static_cast<float>(m_viewport.Height), culledFace, vertices, stride,
                          static_cast<std::size_t>(vertexCount) / 3);
        vertices = m_faceCuller.Kept();
        vertexCount = static_cast<int>(3 * m_faceCuller.KeptTriangles());
        if (vertexCount == 0) {
            return;
        }
    }
    // Colours and fog come lit and fogged as the device defines them; OpenGL's own lighting stays out of
    // the draw, and its fog only turns a per-vertex coordinate into the blend.
    const GLStateShadow::VertexArrays arrays =
        m_vertexProcessor.Process(m_state, m_world, m_view, *m_format, vertices, stride, vertexCount);
    const std::size_t first = m_vertexStream.Write(m_glState, m_vertexProcessor.Records(),
                                                   static_cast<std::size_t>(vertexCount), arrays.stride);
    m_glState.PointArrays(arrays);
    m_glState.Enable(GL_LIGHTING, false);
    m_glState.Enable(GL_COLOR_SUM, arrays.specular != 0);
    ApplyDrawFog(VertexProcessor::FogOf(m_state));
    ApplyDrawStencil(type, culls, culledFace);
    // Triangles culled here are gone, and OpenGL keeps the others if it culls: it needs to only for
    // those left to it.
    m_glState.Enable(GL_CULL_FACE, culledHere ? m_faceCuller.LeftToOpenGL() : culls);
    m_glState.CullFace(culledFace);
    glDrawArrays(PrimitiveMode(type), static_cast<GLint>(first), vertexCount);
}

void Direct3DDevice::ForgetWhatOpenGLHolds() {
    m_glState.Forget();
    for (TextureObject* texture : m_textures) {
        if (texture != nullptr) {
            texture->AppliedSampling().reset();
        }
    }
    ApplyViewport();
    ApplyModelView();
}

bool Direct3DDevice::CullsOnCpu(D3DPRIMITIVETYPE type, DWORD cull) {
    // Culling here pays where the cull mode changes from draw to draw, as in a shadow pass: OpenGL's
    // state can then stay as it is. Where the mode stays, OpenGL culls as fast.
    const bool changed = cull != m_lastCullMode;
    m_lastCullMode = cull;
    return CheaperDrawPath() && changed && (cull == D3DCULL_CW || cull == D3DCULL_CCW) &&
           type == D3DPT_TRIANGLELIST && m_state.RenderState(D3DRS_FILLMODE) == D3DFILL_SOLID;
}

void Direct3DDevice::ApplyDrawStencil(D3DPRIMITIVETYPE type, bool culls, GLenum culledFace) {
    // A face the draw never rasterises keeps the test it had: draws that differ only in the face they
    // cull and in that face's test then leave the driver's state as it was. Points and lines face front.
    // A triangle filled as lines or points is culled by its facing, then rasterised as lines or points,
    // which the driver tests as front faces: whichever face survives, it needs the front test too.
    const bool pointsOrLines = type == D3DPT_POINTLIST || type == D3DPT_LINELIST || type == D3DPT_LINESTRIP;
    const bool filled = m_state.RenderState(D3DRS_FILLMODE) == D3DFILL_SOLID;
    for (const GLenum face : {GL_FRONT, GL_BACK}) {
        const bool drawn = pointsOrLines ? face == GL_FRONT : !filled || !culls || face != culledFace;
        if (drawn || !CheaperDrawPath()) {
            m_glState.SetStencilFace(face, m_state.StencilTest(face == GL_BACK));
        }
    }
}

void Direct3DDevice::ApplyDrawFog(VertexProcessor::Fog fog) {
    m_glState.Enable(GL_FOG, fog != VertexProcessor::Fog::None);
    if (fog == VertexProcessor::Fog::None) {
        return;
    }
    GLStateShadow::Fog parameters = m_state.FogParameters();
    parameters.coordinateSource = GL_FOG_COORD;
    if (fog == VertexProcessor::Fog::PerVertex) {
        // Linear fog from 1 to 0 hands the coordinate through as the factor.
        parameters.mode = GL_LINEAR;
        parameters.start = 1.0f;
        parameters.end = 0.0f;
    }
    m_glState.SetFog(parameters);
}

DrawTarget Direct3DDevice::BackBufferTarget() const {
    return {m_frameBuffer, m_parameters.BackBufferWidth, m_parameters.BackBufferHeight,
            m_parameters.EnableAutoDepthStencil != FALSE, HasStencil()};
}

void Direct3DDevice::SetDrawTarget(const DrawTarget& target, const D3DVIEWPORT9& viewport) {
    m_context->MakeCurrent();
    m_target = target;
    glBindFramebuffer(GL_FRAMEBUFFER, m_target.frameBuffer);
    m_viewport = viewport;
    ApplyViewport();
}

void Direct3DDevice::TextureBorn(const TextureObject& texture) {
    if (texture.Pool() == D3DPOOL_DEFAULT) {
        DefaultPoolObjectBorn();
    }
}

void Direct3DDevice::TextureDied(const TextureObject& texture) {
    if (texture.Pool() == D3DPOOL_DEFAULT) {
        DefaultPoolObjectDied();
    }
    std::replace(std::begin(m_textures), std::end(m_textures), const_cast<TextureObject*>(&texture),
                 static_cast<TextureObject*>(nullptr));
    m_glState.ForgetTexture(texture.GLName());
}

HRESULT Direct3DDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    TracedOperation call("IDirect3DDevice9::SetTexture", {stage, texture != nullptr ? 1 : 0});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    TextureObject* bound = texture != nullptr ? TextureObject::FromInterface(texture) : nullptr;
    // Only textures made on this device live in its drawing context.
    if (stage >= kTextureStages || (texture != nullptr && (bound == nullptr || bound->Device() != this))) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_textures[stage] = bound;
    return call.Return(D3D_OK);
}

HRESULT Direct3DDevice::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    if (texture == nullptr || stage >= kTextureStages) {
        return D3DERR_INVALIDCALL;
    }
    *texture = m_textures[stage];
    if (*texture != nullptr) {
        (*texture)->AddRef();
    }
    return D3D_OK;
}

void Direct3DDevice::BindStageTextures(const std::uint8_t* vertices, UINT stride, std::size_t vertexCount) {
    for (DWORD stage = 0; stage < kTextureStages; ++stage) {
        TextureObject* texture = m_textures[stage];
        m_glState.BindTexture(stage, texture != nullptr ? texture->GLName() : 0);
        if (texture != nullptr) {
            ApplySampling(stage, *texture,
                          VertexProcessor::WithinUnit(*m_format, stage, vertices, stride, vertexCount));
        }
    }
}

void Direct3DDevice::ApplySampling(DWORD stage, TextureObject& texture, std::array<bool, 2> withinUnit) {
    // Asked once per process: every context comes from the same driver.
    static const bool anisotropic = HasAnisotropicFiltering();
    const auto sampler = [&](D3DSAMPLERSTATETYPE type) { return m_state.SamplerState(stage, type); };
    TextureObject::Sampling wanted;
    wanted.magnification = Smooth(sampler(D3DSAMP_MAGFILTER)) ? GL_LINEAR : GL_NEAREST;
    wanted.minification = MinificationFilter(sampler(D3DSAMP_MINFILTER), sampler(D3DSAMP_MIPFILTER));
    wanted.wrapS = AddressMode(sampler(D3DSAMP_ADDRESSU), withinUnit[0]);
    wanted.wrapT = AddressMode(sampler(D3DSAMP_ADDRESSV), withinUnit[1]);
    wanted.border = sampler(D3DSAMP_BORDERCOLOR);
    // The largest level drawn from: 0 is level 0, and a level beyond the chain means its last.
    wanted.baseLevel = static_cast<int>(std::min<DWORD>(sampler(D3DSAMP_MAXMIPLEVEL), texture.Levels() - 1));
    const float bias = std::bit_cast<float>(sampler(D3DSAMP_MIPMAPLODBIAS));
    wanted.lodBias = std::isfinite(bias) ? bias : 0.0f;
    if (anisotropic) {
        const bool asked = sampler(D3DSAMP_MINFILTER) == D3DTEXF_ANISOTROPIC ||
                           sampler(D3DSAMP_MAGFILTER) == D3DTEXF_ANISOTROPIC;
        const DWORD most = AdapterState::Instance().Configuration().caps.MaxAnisotropy;
        const DWORD degree =
            asked ? std::clamp<DWORD>(sampler(D3DSAMP_MAXANISOTROPY), 1, std::max<DWORD>(most, 1)) : 1;
        wanted.anisotropy = static_cast<float>(degree);
    }
    std::optional<TextureObject::Sampling>& applied = texture.AppliedSampling();
    if (applied == wanted) {
        return;
    }
    // The texture is bound to the stage's unit: parameters go to the unit's texture.
    m_glState.SelectUnit(stage);
    const auto changed = [&](auto member) { return !applied || (*applied).*member != wanted.*member; };
    if (changed(&TextureObject::Sampling::magnification)) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, wanted.magnification);
    }
    if (changed(&TextureObject::Sampling::minification)) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, wanted.minification);
    }
    if (changed(&TextureObject::Sampling::wrapS)) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wanted.wrapS);
    }
    if (changed(&TextureObject::Sampling::wrapT)) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wanted.wrapT);
    }
    if (changed(&TextureObject::Sampling::border)) {
        const DWORD border = wanted.border;
        const float colour[4] = {((border >> 16) & 0xFF) / 255.0f, ((border >> 8) & 0xFF) / 255.0f,
                                 (border & 0xFF) / 255.0f, ((border >> 24) & 0xFF) / 255.0f};
        glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, colour);
    }
    if (changed(&TextureObject::Sampling::baseLevel)) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, wanted.baseLevel);
    }
    if (changed(&TextureObject::Sampling::lodBias)) {
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, wanted.lodBias);
    }
    if (anisotropic && changed(&TextureObject::Sampling::anisotropy)) {
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, wanted.anisotropy);
    }
    applied = wanted;
}
