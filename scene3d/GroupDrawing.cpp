// Material, texture and stream of one group's draw, shared by objects and levels.
#include "scene3d/GroupDrawing.h"

#include "platform/D3DXEffect.h"

bool BindGroupMaterial(IOrvalenD3D& renderer, const D3DMATERIAL9& material, IDirect3DTexture9* texture,
                       ID3DXEffect* textureEffect) {
    renderer.Device->SetMaterial(&material);
    if (texture == nullptr) {
        return true;
    }
    if (textureEffect == nullptr) {
        renderer.Device->SetTexture(0, texture);
        return true;
    }
    return SUCCEEDED(textureEffect->SetTexture("Texture0", texture));
}

bool DrawGroupStream(IOrvalenD3D& renderer, IDirect3DVertexBuffer9* buffer, UINT triangles, bool withPasses) {
    IDirect3DDevice9* device = renderer.Device;
    const std::int32_t current = renderer.CurrentEffect;
    ID3DXEffect* effect = withPasses && current >= 0 && current < IOrvalenD3D::kEffectSlots
                              ? renderer.Effects[current]
                              : nullptr;
    if (effect == nullptr) {
        device->SetStreamSource(0, buffer, 0, sizeof(Vertex3D));
        return SUCCEEDED(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles));
    }
    for (UINT pass = 0; pass < renderer.EffectPassCount; ++pass) {
        effect->BeginPass(pass);
        device->SetStreamSource(0, buffer, 0, sizeof(Vertex3D));
        const bool drawn = SUCCEEDED(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles));
        effect->EndPass();
        if (!drawn) {
            return false;
        }
    }
    return true;
}
