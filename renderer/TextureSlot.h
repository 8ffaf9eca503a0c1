#pragma once
// One entry of the 2D interface's texture table: a texture loaded from an image file, or a render
// target that the renderer core draws into.

#include "platform/D3DXMath.h"
#include "platform/D3DXRenderToSurface.h"
#include "platform/Direct3D9.h"

#include <cstdint>

struct TextureSlot {
    IDirect3DTexture9* Texture = nullptr;            ///< one reference, owned; null when empty
    ID3DXRenderToSurface* RenderToSurface = nullptr; ///< one reference, owned; set on a usable target
    IDirect3DSurface9* Surface = nullptr;            ///< level 0 of a render target; one reference, owned
    D3DXMATRIX Projection;                           ///< projection while drawing into the target
    std::uint32_t Width = 0;                         ///< level 0 of a loaded texture
    std::uint32_t Height = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;

    TextureSlot() = default;
    /// Releases the texture, the render-to-surface object and the surface, in that order.
    ~TextureSlot() { Empty(); }
    TextureSlot(const TextureSlot&) = delete;
    TextureSlot& operator=(const TextureSlot&) = delete;

    /// Releases whatever the entry holds and leaves it empty.
    void Empty() {
        ReleaseInterface(Texture);
        ReleaseInterface(RenderToSurface);
        ReleaseInterface(Surface);
    }

private:
    template <typename Interface> static void ReleaseInterface(Interface*& held) {
        if (held != nullptr) {
            held->Release();
            held = nullptr;
        }
    }
};
