#pragma once
// Drawing of one material group, shared by 3D objects and levels, which differ only in where the
// corners come from: the group's material and texture, then its corners expanded per triangle into a
// vertex buffer made and released for that one draw.

#include "IOrvalen3D.h"
#include "platform/Direct3D9.h"
#include "renderer/IOrvalenD3D.h"

#include <climits>

struct ID3DXEffect;

/// Sets the group's material and, when it has one, its texture: on stage 0, or as "Texture0" of
/// `textureEffect` when given. An untextured group keeps whatever texture stage 0 had. False when the
/// effect refuses the texture.
bool BindGroupMaterial(IOrvalenD3D& renderer, const D3DMATERIAL9& material, IDirect3DTexture9* texture,
                       ID3DXEffect* textureEffect);

/// Draws `triangles` triangles from `buffer`, once or through each pass of the renderer's current effect.
bool DrawGroupStream(IOrvalenD3D& renderer, IDirect3DVertexBuffer9* buffer, UINT triangles, bool withPasses);

/// Makes `buffer` for `triangles` triangles, lets `fill` write their corners, draws it and releases it
/// on every road (`buffer` is null again afterwards).
template <typename Fill>
bool DrawGroupTriangles(IOrvalenD3D& renderer, IDirect3DVertexBuffer9*& buffer, UINT triangles,
                        bool withPasses, Fill fill) {
    constexpr DWORD kVertex3DFormat = 0x252;
    constexpr UINT kTriangleBytes = 3 * sizeof(Vertex3D);
    if (triangles == 0) {
        return true;
    }
    // A buffer's size is 32 bits: wrapped, it would be smaller than the corners written into it.
    if (triangles > UINT_MAX / kTriangleBytes) {
        return false;
    }
    const UINT bytes = triangles * kTriangleBytes;
    if (FAILED(renderer.Device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, kVertex3DFormat,
                                                   D3DPOOL_DEFAULT, &buffer, nullptr))) {
        buffer = nullptr;
        return false;
    }
    void* data = nullptr;
    bool drawn = SUCCEEDED(buffer->Lock(0, bytes, &data, 0));
    if (drawn) {
        fill(static_cast<Vertex3D*>(data));
        buffer->Unlock();
        drawn = DrawGroupStream(renderer, buffer, triangles, withPasses);
    }
    // The device holds no reference to a bound buffer, so releasing it unbinds it too.
    buffer->Release();
    buffer = nullptr;
    return drawn;
}
