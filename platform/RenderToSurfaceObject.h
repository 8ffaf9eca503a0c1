#pragma once
// A render-to-surface object: a framebuffer object of its own with a depth-stencil buffer, into which
// the colour attachment of each scene is the level of the surface given to BeginScene.

#include "platform/D3DXRenderToSurface.h"
#include "platform/Direct3DDevice.h"

class SurfaceObject;

class RenderToSurfaceObject final : public ID3DXRenderToSurface {
public:
    /// Takes a reference to `device` until it is freed. False from Complete when the drawing library
    /// could not make the buffers.
    RenderToSurfaceObject(Direct3DDevice* device, UINT width, UINT height, D3DFORMAT format,
                          bool depthStencil, D3DFORMAT depthStencilFormat);
    bool Complete() const { return m_frameBuffer != 0; }

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) override;
    HRESULT EndScene(DWORD mipFilter) override;

private:
    ~RenderToSurfaceObject() override;
    /// Whether `surface` can be drawn into by this object.
    bool Accepts(const SurfaceObject* surface) const;
    /// Attaches or detaches the surface's level as the colour buffer; false when incomplete.
    bool Attach(const SurfaceObject* surface);
    /// Ends the device's scene, gives the device back its target and lets go of the surface.
    HRESULT FinishScene(DWORD mipFilter);

    ULONG m_references = 1;
    Direct3DDevice* m_device; ///< holds one reference
    UINT m_width;
    UINT m_height;
    D3DFORMAT m_format;
    D3DFORMAT m_depthStencilFormat;
    bool m_hasDepth;
    unsigned m_frameBuffer = 0; ///< owned, with the depth-stencil buffer
    unsigned m_depthBuffer = 0;
    SurfaceObject* m_surface = nullptr; ///< drawn into between BeginScene and EndScene; one reference
    DrawTarget m_savedTarget;           ///< the device's, given back by EndScene
    D3DVIEWPORT9 m_savedViewport{};
};
