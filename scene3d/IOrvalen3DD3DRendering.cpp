// The scene's frame: the marked objects drawn, then stencil shadow volumes. Each volume is drawn twice,
// its faces of one winding incrementing and of the other decrementing the stencil count where they pass
// the depth test, so a pixel whose eye ray enters more volumes in front of the scene than it leaves keeps
// a count of 1 or more; one quad over the view then darkens those pixels.
#include "scene3d/IOrvalen3DD3D.h"

#include "renderer/IOrvalenD3D.h"
#include "scene3d/IOrvalen3DD3DObject.h"

namespace {

/// Alpha 127 over grey 25: the shadow's darkening.
constexpr std::uint32_t kShadowColour = 0x7F191919;
/// The quad lies just inside the far plane: on it exactly, single-precision rounding can put it beyond
/// and clipping removes it whole. Drawn without the depth test, its depth serves only clipping.
constexpr float kQuadDepth = 0.999f;

void SetState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state, DWORD value) {
    device->SetRenderState(state, value);
}

/// The renderer's cached states the frame changes.
struct CachedStates {
    std::int32_t cullMode;
    bool lighting;
    std::int32_t shadeMode;
    bool zBuffer;
};

} // namespace

void IOrvalen3DD3D::Render() {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return;
    }
    IOrvalenD3D& renderer = *Renderer;
    IDirect3DDevice9* device = renderer.Device;
    // The cached shade mode itself: GetShadeMode answers 9 while an effect is active.
    const CachedStates saved{renderer.GetCullMode(), renderer.GetLighting(), renderer.ShadeMode,
                             renderer.GetZBuffer()};
    SetState(device, D3DRS_ALPHABLENDENABLE, FALSE);
    SetState(device, D3DRS_SRCBLEND, D3DBLEND_ONE);
    SetState(device, D3DRS_DESTBLEND, D3DBLEND_ONE);
    SetState(device, D3DRS_STENCILENABLE, FALSE);
    SetState(device, D3DRS_LIGHTING, TRUE);
    SetState(device, D3DRS_ZENABLE, TRUE);
    SetState(device, D3DRS_ZWRITEENABLE, TRUE);
    device->SetTexture(0, nullptr);

    m_shadowCasterCount = 0;
    for (std::uint32_t id = 0; id < ObjectCount && id < kMaxObjects; ++id) {
        IOrvalen3DD3DObject* object = Objects[id];
        if (object == nullptr || object->DrawFlag == 0) {
            continue;
        }
        if (object->ShadowFlag != 0) {
            m_shadowCasters[m_shadowCasterCount++] = id;
        }
        static_cast<IOrvalen3DObject*>(object)->Render();
    }
    if (renderer.UseStencil) {
        RenderShadows();
    }

    SetState(device, D3DRS_STENCILENABLE, FALSE);
    SetState(device, D3DRS_ZWRITEENABLE, TRUE);
    SetState(device, D3DRS_ALPHABLENDENABLE, FALSE);
    SetState(device, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    SetState(device, D3DRS_DESTBLEND, D3DBLEND_ONE);
    renderer.SetZBuffer(saved.zBuffer);
    renderer.SetShadeMode(saved.shadeMode);
    renderer.SetLighting(saved.lighting);
    renderer.SetCullMode(saved.cullMode);
}

void IOrvalen3DD3D::RenderShadows() {
    IOrvalenD3D& renderer = *Renderer;
    IDirect3DDevice9* device = renderer.Device;
    SetState(device, D3DRS_STENCILREF, 1);
    SetState(device, D3DRS_STENCILMASK, 0xFFFFFFFF);
    SetState(device, D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    SetState(device, D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS);
    SetState(device, D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP);
    SetState(device, D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP);
    SetState(device, D3DRS_CCW_STENCILPASS, D3DSTENCILOP_DECR);

    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    renderer.SetLighting(false);
    renderer.SetShadeMode(0);
    device->SetTexture(0, nullptr);
    SetState(device, D3DRS_ZENABLE, TRUE);
    // Volume faces written into the depth buffer would hide one another from the count.
    SetState(device, D3DRS_ZWRITEENABLE, FALSE);
    SetState(device, D3DRS_STENCILENABLE, TRUE);
    SetState(device, D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    SetState(device, D3DRS_ALPHABLENDENABLE, TRUE);
    SetState(device, D3DRS_SRCBLEND, D3DBLEND_ZERO);
    SetState(device, D3DRS_DESTBLEND, D3DBLEND_ONE);

    for (std::uint32_t i = 0; i < m_shadowCasterCount; ++i) {
        IOrvalen3DObject* object = Objects[m_shadowCasters[i]];
        SetState(device, D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
        SetState(device, D3DRS_CULLMODE, D3DCULL_CW);
        object->RenderShadowVolume();
        SetState(device, D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
        SetState(device, D3DRS_CULLMODE, D3DCULL_CCW);
        object->RenderShadowVolume();
        object->ShadowFlag = 0;
    }

    const float width = static_cast<float>(renderer.Width);
    const float height = static_cast<float>(renderer.Height);
    const D3DVIEWPORT9& viewport = renderer.Viewport;
    const float depth = viewport.MinZ + kQuadDepth * (viewport.MaxZ - viewport.MinZ);
    const D3DXVECTOR3 corners[6] = {{0, 0, depth},     {width, 0, depth},      {0, height, depth},
                                    {width, 0, depth}, {width, height, depth}, {0, height, depth}};
    Vertex3D quad[6];
    for (int i = 0; i < 6; ++i) {
        D3DXVECTOR3 world;
        D3DXVec3Unproject(&world, &corners[i], &viewport, &renderer.ProjectionMatrix, &renderer.ViewMatrix,
                          &identity);
        quad[i] = Vertex3D(world.x, world.y, world.z, 0.0f, 0.0f, -1.0f, kShadowColour, 0.0f, 0.0f, 0.0f, 0.0f);
    }
    SetState(device, D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
    SetState(device, D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    SetState(device, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    SetState(device, D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // The stencil alone selects the shadowed pixels: the quad behind them all would fail the depth test.
    SetState(device, D3DRS_ZENABLE, FALSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Vertex3D));
}
