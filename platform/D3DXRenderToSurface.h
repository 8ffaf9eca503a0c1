#pragma once
// Drawing into a surface other than the back buffer, from the Direct3D utility library.

#include "platform/Direct3D9.h"

/// Draws a scene into a surface with its own depth-stencil buffer.
struct ID3DXRenderToSurface : IUnknown {
    /// Sends the device's draws and clears into `surface` (a level of a render-target texture of the
    /// device, of the size the object was made for) and begins the device's scene, through
    /// `viewport` or, when null, the whole surface. Refused with D3DERR_INVALIDCALL for another
    /// surface, while the object is already drawing, or while the device is inside a scene.
    virtual HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) = 0;
    /// Ends the device's scene and gives the device back the render target and viewport it had.
    /// With a mip filter other than D3DX_FILTER_NONE a texture's lower levels are made anew from the
    /// one drawn into. Refused outside BeginScene/EndScene.
    virtual HRESULT EndScene(DWORD mipFilter) = 0;
};

/// Makes a render-to-surface object for surfaces of `width` x `height` in `format` on `device`, with a
/// depth-stencil buffer of `depthStencilFormat` when `depthStencil` is TRUE. D3DERR_INVALIDCALL for a
/// device that is not live, a null `renderToSurface` or a size out of the device's caps;
/// D3DERR_NOTAVAILABLE for a format that cannot be drawn into.
HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** renderToSurface);
