#pragma once
// The renderer: the Direct3D implementation of IOrvalenRenderer. The other renderer interfaces and the
// 3D scene keep a pointer to it and read its fields directly, so the fields are public and keep their
// names; the operations are those of IOrvalenRenderer.

#include "IOrvalenRenderer.h"
#include "platform/D3DXEffect.h"
#include "platform/Direct3D9.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

struct TextureSlot;

class IOrvalenD3D : public IOrvalenRenderer {
public:
    static constexpr int kMaxViewports = 7; ///< viewports that can be created (the table has room for 8)
    static constexpr int kEffectSlots = 8;

    /// A stored viewport rectangle in pixels.
    struct ViewportRect {
        std::int32_t top = 0;
        std::int32_t left = 0;
        std::int32_t bottom = 0;
        std::int32_t right = 0;
    };

    std::uint32_t Width = 0;      ///< back-buffer width given to Initialize
    std::uint32_t Height = 0;     ///< back-buffer height given to Initialize
    bool UseStencil = false;      ///< a stencil buffer was asked for
    std::FILE* LogFile = nullptr; ///< the open log, owned; null when logging is off or after a hard failure
    std::int32_t ViewportCount = 0;
    ViewportRect ViewportRects[8] = {};
    std::int32_t CurrentViewportIndex = 0;
    bool ZBufferEnabled = true;
    std::int32_t CullMode = 2;
    std::int32_t ShadeMode = 1;
    bool Wireframe = false;
    bool PointMode = false;
    bool AntialiasedLines = false;
    bool AlphaBlend = false;
    bool AlphaTest = false;
    bool FogEnabled = false;
    bool Lighting = true;
    bool RenderFlag = false;
    std::int32_t FilterType = 0;
    // What the switches above leave out but a device reset must give back.
    bool AlphaBlendWithMode = false;            ///< the last SetAlphaBlend named a blend mode
    std::int32_t AlphaBlendMode = 0;            ///< that mode
    D3DBLENDOP BlendOperation = D3DBLENDOP_ADD; ///< blend operation the blend setters left in force
    bool ZWriteEnabled = true;                  ///< depth writing as the blend setters left it
    bool PointModeSetLast = false;              ///< the fill mode came from SetPointMode, not SetWireframe
    std::int32_t FogMode = 0;                   ///< 1 linear, else exponential
    float FogStart = 0.0f;
    float FogEnd = 0.0f;
    float FogDensity = 0.0f;
    std::uint32_t FogColour = 0;             ///< ARGB
    IDirect3D9* Direct3D = nullptr;          ///< one reference, owned
    IDirect3DDevice9* Device = nullptr;      ///< one reference, owned; every interface draws through it
    ID3DXEffect* Effects[kEffectSlots] = {}; ///< one reference each, owned
    std::uint32_t EffectPassCount = 0;
    std::int32_t CurrentEffect = -1;               ///< effect begun last, -1 when none
    D3DVIEWPORT9 Viewport{0, 0, 0, 0, 0.0f, 1.0f}; ///< the viewport the device last took
    D3DXMATRIX ProjectionMatrix;
    const D3DXMATRIX* RenderTargetProjection = nullptr; ///< the render target's projection while drawn into
    D3DXMATRIX ViewMatrix;
    D3DFORMAT DepthStencilFormat = D3DFMT_UNKNOWN;
    float Gravity[3] = {0.0f, 0.0f, 0.0f}; ///< written by the 3D scene, read by its force callbacks
    float FieldOfView = 0.0f;              ///< radians
    float NearPlane = 0.0f;
    float FarPlane = 0.0f;
    float CameraPosition[3] = {0.0f, 0.0f, 0.0f};
    float CameraTarget[3] = {0.0f, 0.0f, 0.0f};
    float CameraUp[3] = {0.0f, 0.0f, 0.0f};
    HWND WindowHandle = nullptr;
    std::uint32_t HostContext;                 ///< the host's first argument at creation; kept, never read
    D3DPRESENT_PARAMETERS PresentParameters{}; ///< kept for device resets

    explicit IOrvalenD3D(std::uint32_t hostContext);
    ~IOrvalenD3D() override;
    IOrvalenD3D(const IOrvalenD3D&) = delete;
    IOrvalenD3D& operator=(const IOrvalenD3D&) = delete;

    /// Writes a formatted line to the log when it is open.
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    /// Writes a line, then closes the log: nothing more is logged until the next Initialize opens it.
    void LogHardFailure(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void SetWindowHandle(HWND window) override;
    int Initialize(const char* windowName, std::uint32_t width, std::uint32_t height,
                   std::uint32_t formatFlags, bool stencil, bool windowed, bool log,
                   std::uint32_t multisample) override;
    int Initialize(const char* windowName, std::uint32_t width, std::uint32_t height,
                   std::uint32_t formatFlags, bool stencil, bool windowed, bool log) override;
    void Deinitialize() override;
    bool CheckDevice() override;

    bool CreateViewport(std::int32_t left, std::int32_t top, std::int32_t right,
                        std::int32_t bottom) override;
    bool SetViewportRect(std::int32_t index, std::int32_t left, std::int32_t top, std::int32_t right,
                         std::int32_t bottom) override;
    bool SelectViewport(std::int32_t index) override;
    std::int32_t GetCurrentViewport() override;
    std::int32_t GetViewportCount() override;
    bool SetProjection(float fieldOfView, float nearPlane, float farPlane) override;
    D3DXMATRIX GetProjectionMatrix() override;
    bool SetCamera(D3DXVECTOR3 position, D3DXVECTOR3 target, D3DXVECTOR3 up) override;
    bool SetCamera(float px, float py, float pz, float tx, float ty, float tz, float ux, float uy,
                   float uz) override;
    void GetCamera(float* position, float* target, float* up) override;
    D3DXMATRIX GetViewMatrix() override;

    bool Clear(bool target, bool zbuffer, bool stencil, std::uint32_t colour) override;
    bool StartRendering() override;
    bool EndRendering() override;
    bool ShowScene() override;
    bool StartRenderToTexture(std::int32_t slot) override;
    bool EndRenderToTexture(std::int32_t slot) override;

    void SetZBuffer(bool on) override;
    bool GetZBuffer() override;
    void SetCullMode(std::int32_t mode) override;
    std::int32_t GetCullMode() override;
    void SetShadeMode(std::int32_t mode) override;
    std::int32_t GetShadeMode() override;
    void SetWireframe(bool on) override;
    bool GetWireframe() override;
    void SetPointMode(bool on) override;
    bool GetPointMode() override;
    void SetAntialiasedLines(bool on) override;
    bool GetAntialiasedLines() override;
    void SetAlphaBlend(bool on, std::int32_t mode) override;
    void SetAlphaBlend(bool on) override;
    bool GetAlphaBlend() override;
    void SetAlphaTest(bool on) override;
    bool GetAlphaTest() override;
    bool SetFog(bool enable, std::int32_t mode, float start, float end, float density,
                std::uint32_t colour) override;
    bool GetFog() override;
    void SetLighting(bool on) override;
    bool GetLighting() override;
    void SetRenderFlag(bool on) override;
    bool GetRenderFlag() override;
    bool SetFilter(std::int32_t type) override;
    std::int32_t GetFilter() override;

    bool LoadShaderEffect(const char* file, std::int32_t index) override;
    void UnloadShaderEffect(std::int32_t index) override;
    bool SetShaderEffect(std::int32_t index, const char* technique) override;
    bool EndShaderEffect(std::int32_t index) override;
    bool CheckShaderTechnique(std::int32_t index, const char* technique) override;
    bool SetShaderMatrix(std::int32_t index, const char* parameter, D3DXMATRIX matrix) override;
    bool SetShaderTexture(std::int32_t index, const char* parameter, IOrvalen3DLevelObject* level,
                          const char* material) override;
    bool SetShaderTexture(std::int32_t index, const char* parameter, IOrvalen3DObject* object,
                          const char* material) override;
    bool SetShaderTexture(std::int32_t index, const char* parameter, std::int32_t textureSlot) override;
    bool SetShaderVector(std::int32_t index, const char* parameter, float x, float y, float z) override;

    /// Before a render target being drawn into goes (its entry emptied, or the whole 2D interface):
    /// the drawing ends with it and the device gets back the projection set by SetProjection.
    void ForgetRenderTarget();

    std::int32_t Create2DInterface() override;
    void Destroy2DInterface() override;
    std::int32_t Create3DInterface() override;
    void Destroy3DInterface() override;
    std::int32_t CreateFontInterface() override;
    void DestroyFontInterface() override;
    std::int32_t CreateInputInterface() override;
    void DestroyInputInterface() override;

private:
    /// The common road of both Initialize forms; `multisample` is absent for the form without it.
    int Start(const char* windowName, std::uint32_t width, std::uint32_t height, std::uint32_t formatFlags,
              bool stencil, bool windowed, bool log, const std::uint32_t* multisample);
    /// Back-buffer format from the full-screen flags; D3DFMT_UNKNOWN when none matches.
    static D3DFORMAT FullScreenFormat(std::uint32_t formatFlags);
    /// The first depth-stencil format the adapter matches with the back buffer; D3DFMT_UNKNOWN if none.
    D3DFORMAT ChooseDepthStencil(D3DFORMAT backBuffer, bool stencil);
    /// The largest count from `requested` down that both formats take; -1 when none.
    int ChooseMultisample(std::uint32_t requested, D3DFORMAT backBuffer, D3DFORMAT depthStencil,
                          bool windowed);
    /// Whether `index` names an effect slot; logs the operation's bad-index line when not.
    bool IsEffectSlot(const char* operation, std::int32_t index);
    /// The effect in slot `index`; null, after logging the operation's line, for a bad or empty slot.
    ID3DXEffect* LoadedEffect(const char* operation, std::int32_t index);
    /// Ends the current effect, if any; no effect is current afterwards.
    void EndCurrentEffect();
    /// Ends the slot's effect when it is the current one, then releases it and empties the slot.
    void ReleaseEffect(std::int32_t index);
    /// Entry `slot` of the 2D interface's texture table; null, after `operation`'s failure line, when
    /// there is no 2D interface or no such entry.
    TextureSlot* TextureEntry(const char* operation, std::int32_t slot);
    /// Gives the effect's `parameter` the texture of the first of `count` materials named `material`.
    bool BindMaterialTexture(ID3DXEffect* effect, const char* parameter, std::int32_t count,
                             char* const* names, IDirect3DTexture9* const* textures, const char* material);
    /// Releases the shader effects, the device and Direct3D, logging each release when `log` is set.
    void ReleaseDeviceObjects(bool log);
    /// Destroys, as their Destroy operations do, the interfaces the host has left open.
    void DestroyOpenInterfaces();
    void CloseLog();
    static D3DVIEWPORT9 ViewportOf(const ViewportRect& rect);
    /// Gives the device the viewport of `rect` and keeps it as `Viewport` once the device takes it.
    bool GiveViewport(const ViewportRect& rect);
    bool ApplyCamera(const D3DXVECTOR3& position, const D3DXVECTOR3& target, const D3DXVECTOR3& up);
    void WriteLog(const char* format, va_list arguments);
    /// One device render state; refused when there is no device.
    HRESULT SetDeviceState(D3DRENDERSTATETYPE state, DWORD value);
    HRESULT SetSampler0(D3DSAMPLERSTATETYPE type, DWORD value);
    /// SetFog's enabling road: each state in turn, stopping at the first the device refuses.
    bool EnableFog();
    /// The reset road of CheckDevice: reset, fonts, viewport, transforms, cached states, lights.
    bool ResetDevice();
    /// Every cached switch given to a device that a reset has put back to its defaults.
    void ReapplyStates();
};
