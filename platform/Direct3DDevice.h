#pragma once
// A device drawing with OpenGL into framebuffer objects that hold its back buffer and depth-stencil
// buffer. Conventions are kept on the Direct3D side: the buffers are stored top row first, so pixel
// (x, y) of the device is texel (x, y) of the framebuffer; clip space is turned upside down and its
// depth from 0..1 to -1..1 on the way to OpenGL, which makes clockwise triangles on the screen the
// ones OpenGL calls counter-clockwise (its default front face).

#include "platform/Direct3D9.h"
#include "platform/FaceCuller.h"
#include "platform/FixedFunctionState.h"
#include "platform/GLContext.h"
#include "platform/GLStateShadow.h"
#include "platform/StreamingVertexBuffer.h"
#include "platform/VertexFormat.h"
#include "platform/VertexProcessor.h"
#include "platform/control.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class TextureObject;
class VertexBufferObject;

/// Where draws and clears go: the back buffer, or a texture level with its own depth-stencil buffer.
struct DrawTarget {
    unsigned frameBuffer = 0;
    UINT width = 0;
    UINT height = 0;
    bool hasDepth = false;
    bool hasStencil = false;
};

class Direct3DDevice final : public IDirect3DDevice9 {
public:
    static constexpr DWORD kTextureStages = 8;
    static constexpr UINT kStreams = 16;

    /// Makes a device for completed and checked presentation parameters; it holds a reference to
    /// `direct3D` until it is freed.
    static HRESULT Create(IDirect3D9* direct3D, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& parameters,
                          Direct3DDevice** device);
    /// The device behind an interface pointer; null when it is not a live device.
    static Direct3DDevice* FromInterface(IDirect3DDevice9* device);
    static int LiveCount();
    /// The OpenGL storage of a depth-stencil format, and whether it holds stencil bits.
    static unsigned DepthStorage(D3DFORMAT format);
    static bool HasStencilBits(D3DFORMAT format);
    /// Whether draws send OpenGL only what changed and cull on the processor where it pays (on), or
    /// hand it everything and cull nothing themselves (off, the reference for tests).
    static void UseCheaperDrawPath(bool on);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT TestCooperativeLevel() override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND overrideWindow,
                    const RGNDATA* dirtyRegion) override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, DWORD colour, float z,
                  DWORD stencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                            UINT stride) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, void** shared) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                            UINT* stride) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;

    /// Where the device stands between working, lost and resettable; set by the control API.
    platform::DeviceLoss Loss() const { return m_loss; }
    void SetLoss(platform::DeviceLoss loss) { m_loss = loss; }
    const D3DPRESENT_PARAMETERS& PresentParameters() const { return m_parameters; }
    const D3DVIEWPORT9& Viewport() const { return m_viewport; }
    /// The matrix of a transform slot; null for a slot the device does not have.
    const D3DMATRIX* Transform(D3DTRANSFORMSTATETYPE state) const;
    /// The back buffer as ARGB, multisampling resolved.
    platform::Image ReadBackBuffer();
    /// The depth and stencil of the automatic depth-stencil buffer; empty without one.
    platform::DepthStencilImage ReadDepthStencil();
    /// Makes the device's drawing context current, for helpers that draw into its render target.
    void MakeCurrent() { m_context->MakeCurrent(); }
    bool InScene() const { return m_inScene; }
    /// The back buffer as a draw target.
    DrawTarget BackBufferTarget() const;
    const DrawTarget& CurrentDrawTarget() const { return m_target; }
    /// Sends later draws and clears into `target`, through `viewport` (which must lie within it).
    void SetDrawTarget(const DrawTarget& target, const D3DVIEWPORT9& viewport);
    /// Kept by the device's textures and render-to-surface objects: the default-pool ones count
    /// against a reset, and a texture that goes is unbound from every stage.
    void TextureBorn(const TextureObject& texture);
    void TextureDied(const TextureObject& texture);
    /// Kept by the device's vertex buffers: default-pool ones count against a reset, and a buffer that
    /// goes is unbound from every stream.
    void VertexBufferBorn(const VertexBufferObject& buffer);
    void VertexBufferDied(const VertexBufferObject& buffer);
    /// Zeroed bytes for a vertex buffer, in storage a buffer that went gave back where there is some: the
    /// 3D scene makes and frees a small buffer at every draw.
    std::vector<std::uint8_t> TakeVertexStorage(UINT length);
    void GiveBackVertexStorage(std::vector<std::uint8_t> storage);
    void DefaultPoolObjectBorn() { ++m_defaultPoolObjects; }
    void DefaultPoolObjectDied() { --m_defaultPoolObjects; }

private:
    Direct3DDevice(IDirect3D9* direct3D, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& parameters,
                   std::unique_ptr<GLContext> context);
    ~Direct3DDevice() override;
    /// Makes the buffers for the presentation parameters and gives every state its default.
    bool CreateBuffers();
    void ResetStates();
    bool HasStencil() const;
    void DeleteBuffers();
    D3DMATRIX* TransformSlot(D3DTRANSFORMSTATETYPE state);
    void ApplyViewport();
    void ApplyModelView();
    void ApplyProjection();
    /// Whether a draw of `primitiveCount` primitives, `stride` bytes apart, can be taken now; writes
    /// the number of vertices it reads.
    bool Accepts(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT stride, std::uint64_t& vertexCount) const;
    /// The one road of every accepted draw: recorded, then drawn unless the device is lost.
    void Submit(D3DPRIMITIVETYPE type, UINT primitiveCount, std::uint64_t vertexCount,
                const std::uint8_t* vertices, UINT stride);
    /// Draws the vertices with the colours and fog the vertex processor gives them, sending OpenGL only
    /// the states that changed since the draw before.
    void DrawArrays(D3DPRIMITIVETYPE type, int vertexCount, const std::uint8_t* vertices, UINT stride);
    /// Takes nothing OpenGL holds as handed over already: every state of the next draw is sent again.
    void ForgetWhatOpenGLHolds();
    /// Whether a draw of `type` with cull mode `cull` is culled by the face culler before OpenGL sees it.
    bool CullsOnCpu(D3DPRIMITIVETYPE type, DWORD cull);
    /// Each face's stencil test for a draw of `type`, which culls `culledFace` when `culls`.
    void ApplyDrawStencil(D3DPRIMITIVETYPE type, bool culls, unsigned culledFace);
    /// OpenGL's fog for a draw: a per-vertex factor blends linearly, a per-vertex distance goes through
    /// the table mode.
    void ApplyDrawFog(VertexProcessor::Fog fog);
    /// Gives OpenGL's texture units the stages' textures and their samplers' states, for a draw of
    /// `vertexCount` vertices `stride` bytes apart.
    void BindStageTextures(const std::uint8_t* vertices, UINT stride, std::size_t vertexCount);
    /// Gives `texture`, bound to `stage`, the sampling of the stage's sampler states; wrapping repeats
    /// only along an axis whose coordinates leave 0..1.
    void ApplySampling(DWORD stage, TextureObject& texture, std::array<bool, 2> withinUnit);

    ULONG m_references = 1;
    IDirect3D9* m_direct3D; ///< holds one reference
    DWORD m_behaviorFlags;
    D3DPRESENT_PARAMETERS m_parameters;
    std::unique_ptr<GLContext> m_context;
    unsigned m_frameBuffer = 0; ///< back buffer and depth-stencil buffer
    unsigned m_colorBuffer = 0;
    unsigned m_depthBuffer = 0;
    unsigned m_resolveFrameBuffer = 0; ///< single-sampled copy of a multisampled back buffer
    unsigned m_resolveColorBuffer = 0;
    D3DVIEWPORT9 m_viewport;
    D3DMATRIX m_world;
    D3DMATRIX m_view;
    D3DMATRIX m_projection;
    D3DMATRIX m_glProjection; ///< m_projection carried into OpenGL's clip space and pixel centres
    D3DMATRIX m_textureTransforms[8];
    GLStateShadow m_glState; ///< of m_context; declared before m_state, which sends through it
    FixedFunctionState m_state;
    StreamingVertexBuffer m_vertexStream;
    FaceCuller m_faceCuller;
    DWORD m_lastCullMode = 0; ///< of the draw before; 0 before the first
    bool m_inScene = false;
    DrawTarget m_target;                            ///< where draws go now
    TextureObject* m_textures[kTextureStages] = {}; ///< bound per stage; no reference held
    int m_defaultPoolObjects = 0;
    DWORD m_fvf = 0;                      ///< vertex format of the draws; 0 until set
    std::optional<VertexFormat> m_format; ///< the layout of m_fvf
    struct StreamSource {
        VertexBufferObject* buffer = nullptr; ///< no reference held
        UINT offset = 0;
        UINT stride = 0;
    };
    StreamSource m_streams[kStreams];
    static constexpr std::size_t kSpareStorageCount = 4;
    static constexpr std::size_t kSpareStorageBytes = 64 * 1024; ///< larger storage is freed
    std::vector<std::vector<std::uint8_t>> m_spareVertexStorage;
    VertexProcessor m_vertexProcessor;
    platform::DeviceLoss m_loss = platform::DeviceLoss::Operational;
};
