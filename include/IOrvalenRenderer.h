#pragma once
// The renderer interface the host holds. The host calls it through the virtual table, so the order of
// the operations below is part of the interface; overloads stand next to each other.

#include "platform/D3DXMath.h"
#include "platform/Win32Types.h"

#include <cstdint>

class IOrvalen2D;
class IOrvalen3D;
class IOrvalenFont;
class IOrvalenInput;
class IOrvalen3DObject;
class IOrvalen3DLevelObject;

class IOrvalenRenderer {
public:
    /// The interfaces made by Create2DInterface and its siblings, owned by the renderer; null when
    /// there is none. The host reads them here after a successful create.
    IOrvalen2D* Interface2D = nullptr;
    IOrvalen3D* Interface3D = nullptr;
    IOrvalenFont* FontInterface = nullptr;
    IOrvalenInput* InputInterface = nullptr;

    virtual ~IOrvalenRenderer() = default;

    // Start-up.
    virtual void SetWindowHandle(HWND window) = 0;
    /// Finds the window named `windowName`, opens the log "log_OrvalenRender.txt" when `log` is set, and
    /// makes a device of `width` x `height` (windowed: the desktop's format; full screen: the format
    /// chosen by `formatFlags`) with a depth buffer, a stencil buffer when `stencil` is set, and the
    /// largest multisample count up to `multisample` (0, 2, 4, 6 or 8) that the adapter offers.
    /// 1 success; -1 log, window, display mode, capabilities or device not had; -2 no Direct3D;
    /// 0 format, depth-stencil format or multisample count not met.
    virtual int Initialize(const char* windowName, std::uint32_t width, std::uint32_t height,
                           std::uint32_t formatFlags, bool stencil, bool windowed, bool log,
                           std::uint32_t multisample) = 0;
    /// The same without multisampling.
    virtual int Initialize(const char* windowName, std::uint32_t width, std::uint32_t height,
                           std::uint32_t formatFlags, bool stencil, bool windowed, bool log) = 0;
    /// Releases the device, Direct3D and the shader effects, and closes the log.
    virtual void Deinitialize() = 0;
    virtual bool CheckDevice() = 0;

    // Viewports (indices 0 to 6), projection and camera.
    /// Appends a viewport rectangle (pixels) and makes it current.
    virtual bool CreateViewport(std::int32_t left, std::int32_t top, std::int32_t right,
                                std::int32_t bottom) = 0;
    /// Replaces a stored rectangle without touching the device.
    virtual bool SetViewportRect(std::int32_t index, std::int32_t left, std::int32_t top, std::int32_t right,
                                 std::int32_t bottom) = 0;
    virtual bool SelectViewport(std::int32_t index) = 0;
    virtual std::int32_t GetCurrentViewport() = 0;
    virtual std::int32_t GetViewportCount() = 0;
    /// Left-handed perspective with the current viewport's aspect ratio; angle in radians.
    virtual bool SetProjection(float fieldOfView, float nearPlane, float farPlane) = 0;
    /// The projection in use: a render target's while one is drawn into, else the one set.
    virtual D3DXMATRIX GetProjectionMatrix() = 0;
    /// Left-handed look-at view.
    virtual bool SetCamera(D3DXVECTOR3 position, D3DXVECTOR3 target, D3DXVECTOR3 up) = 0;
    virtual bool SetCamera(float px, float py, float pz, float tx, float ty, float tz, float ux, float uy,
                           float uz) = 0;
    /// Copies three floats into each destination that is not null.
    virtual void GetCamera(float* position, float* target, float* up) = 0;
    virtual D3DXMATRIX GetViewMatrix() = 0;

    // Frame cycle and render to texture.
    virtual bool Clear(bool target, bool zbuffer, bool stencil, std::uint32_t colour) = 0;
    virtual bool StartRendering() = 0;
    virtual bool EndRendering() = 0;
    virtual bool ShowScene() = 0;
    virtual bool StartRenderToTexture(std::int32_t slot) = 0;
    virtual bool EndRenderToTexture(std::int32_t slot) = 0;

    // Render states, fog and texture filters.
    virtual void SetZBuffer(bool on) = 0;
    virtual bool GetZBuffer() = 0;
    virtual void SetCullMode(std::int32_t mode) = 0;
    virtual std::int32_t GetCullMode() = 0;
    virtual void SetShadeMode(std::int32_t mode) = 0;
    virtual std::int32_t GetShadeMode() = 0;
    virtual void SetWireframe(bool on) = 0;
    virtual bool GetWireframe() = 0;
    virtual void SetPointMode(bool on) = 0;
    virtual bool GetPointMode() = 0;
    virtual void SetAntialiasedLines(bool on) = 0;
    virtual bool GetAntialiasedLines() = 0;
    virtual void SetAlphaBlend(bool on, std::int32_t mode) = 0;
    virtual void SetAlphaBlend(bool on) = 0;
    virtual bool GetAlphaBlend() = 0;
    virtual void SetAlphaTest(bool on) = 0;
    virtual bool GetAlphaTest() = 0;
    virtual bool SetFog(bool enable, std::int32_t mode, float start, float end, float density,
                        std::uint32_t colour) = 0;
    virtual bool GetFog() = 0;
    virtual void SetLighting(bool on) = 0;
    virtual bool GetLighting() = 0;
    virtual void SetRenderFlag(bool on) = 0;
    virtual bool GetRenderFlag() = 0;
    virtual bool SetFilter(std::int32_t type) = 0;
    virtual std::int32_t GetFilter() = 0;

    // Shader effects, slots 0 to 7.
    virtual bool LoadShaderEffect(const char* file, std::int32_t index) = 0;
    virtual void UnloadShaderEffect(std::int32_t index) = 0;
    virtual bool SetShaderEffect(std::int32_t index, const char* technique) = 0;
    virtual bool EndShaderEffect(std::int32_t index) = 0;
    virtual bool CheckShaderTechnique(std::int32_t index, const char* technique) = 0;
    virtual bool SetShaderMatrix(std::int32_t index, const char* parameter, D3DXMATRIX matrix) = 0;
    virtual bool SetShaderTexture(std::int32_t index, const char* parameter, IOrvalen3DLevelObject* level,
                                  const char* material) = 0;
    virtual bool SetShaderTexture(std::int32_t index, const char* parameter, IOrvalen3DObject* object,
                                  const char* material) = 0;
    virtual bool SetShaderTexture(std::int32_t index, const char* parameter, std::int32_t textureSlot) = 0;
    virtual bool SetShaderVector(std::int32_t index, const char* parameter, float x, float y, float z) = 0;

    // Interface factory: 1 success, -1 failure; the new interface is in the public member above.
    virtual std::int32_t Create2DInterface() = 0;
    virtual void Destroy2DInterface() = 0;
    virtual std::int32_t Create3DInterface() = 0;
    virtual void Destroy3DInterface() = 0;
    virtual std::int32_t CreateFontInterface() = 0;
    virtual void DestroyFontInterface() = 0;
    virtual std::int32_t CreateInputInterface() = 0;
    virtual void DestroyInputInterface() = 0;
};
