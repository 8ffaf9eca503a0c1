// Drawing of the 3D object: the world matrix of the draw, each material group expanded per triangle
// corner into a vertex buffer made and released for that group and draw, the passes of the renderer's
// current effect, and the shadow volume drawn in world space.
#include "scene3d/IOrvalen3DD3DObject.h"

#include "physics/api/dgApi.h"
#include "platform/D3DXEffect.h"
#include "renderer/IOrvalenD3D.h"
#include "scene3d/GroupDrawing.h"
#include "scene3d/Matrix4.h"

#include <cstring>

namespace {

constexpr const char* kTransGroup = "trans";

} // namespace

D3DXMATRIX IOrvalen3DD3DObject::PreparedWorldMatrix() const {
    D3DXMATRIX placement = Matrix;
    if (Body != nullptr) {
        dgApiBodyGetMatrix(Body, &placement.m[0][0]);
    }
    return ScaleMatrix * placement;
}

void IOrvalen3DD3DObject::CommitWorldMatrix(const D3DXMATRIX& world) {
    DrawFlag = 0;
    if (Body != nullptr) {
        Matrix = world;
    }
    Renderer->Device->SetTransform(D3DTS_WORLD, &world);
}

Vertex3D IOrvalen3DD3DObject::GroupCorner(std::int32_t group, std::int32_t corner) const {
    const std::uint32_t index = IndexLists[group][corner];
    Vertex3D vertex = index < static_cast<std::uint32_t>(VertexCount) ? Vertices[index] : Vertex3D();
    if (UseTexCoords != nullptr && UseTexCoords[group]) {
        const std::uint32_t* texIndices =
            TexCoordIndexLists != nullptr ? TexCoordIndexLists[group].get() : nullptr;
        const std::uint32_t texIndex = texIndices != nullptr ? texIndices[corner] : ~0u;
        const bool known = TexCoords != nullptr && texIndex < static_cast<std::uint32_t>(TexCoordCount);
        vertex.u0 = known ? TexCoords[2 * texIndex] : 0.0f;
        vertex.v0 = known ? TexCoords[2 * texIndex + 1] : 0.0f;
    }
    return vertex;
}

template <typename Fill> bool IOrvalen3DD3DObject::DrawTriangles(UINT triangles, bool withPasses, Fill fill) {
    return DrawGroupTriangles(*Renderer, VertexBuffer, triangles, withPasses, fill);
}

bool IOrvalen3DD3DObject::DrawGroup(std::int32_t group, ID3DXEffect* textureEffect) {
    IDirect3DTexture9* texture = Textures != nullptr ? Textures[group] : nullptr;
    if (!BindGroupMaterial(*Renderer, Materials[group], texture, textureEffect)) {
        return false;
    }
    const std::int32_t count = TriangleCounts[group];
    if (count <= 0 || IndexLists == nullptr || IndexLists[group] == nullptr) {
        return true;
    }
    return DrawTriangles(static_cast<UINT>(count), true, [&](Vertex3D* out) {
        for (std::int32_t corner = 0; corner < 3 * count; ++corner) {
            out[corner] = GroupCorner(group, corner);
        }
    });
}

bool IOrvalen3DD3DObject::DrawGroups(GroupSelection selection, ID3DXEffect* textureEffect) {
    for (std::int32_t group = 0; group < MaterialCount; ++group) {
        if (selection != GroupSelection::All) {
            const bool trans = MaterialNames != nullptr && MaterialNames[group] != nullptr &&
                               std::strcmp(MaterialNames[group], kTransGroup) == 0;
            if (trans != (selection == GroupSelection::Trans)) {
                continue;
            }
        }
        if (!DrawGroup(group, textureEffect)) {
            return false;
        }
    }
    return true;
}

bool IOrvalen3DD3DObject::Render() {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return false;
    }
    CommitWorldMatrix(PreparedWorldMatrix());
    return DrawGroups(GroupSelection::All, nullptr);
}

bool IOrvalen3DD3DObject::RenderBlended() {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return false;
    }
    CommitWorldMatrix(PreparedWorldMatrix());
    if (!DrawGroups(GroupSelection::Opaque, nullptr)) {
        return false;
    }
    Renderer->SetAlphaBlend(true, 0);
    if (!DrawGroups(GroupSelection::Trans, nullptr)) {
        return false;
    }
    Renderer->SetAlphaBlend(false);
    return true;
}

bool IOrvalen3DD3DObject::RenderWithEffect(std::int32_t effect) {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return false;
    }
    const D3DXMATRIX world = PreparedWorldMatrix();
    const Matrix4 worldViewProj = Matrix4(world) * Matrix4(Renderer->GetViewMatrix()) *
                                  Matrix4(Renderer->GetProjectionMatrix());
    if (!Renderer->SetShaderMatrix(effect, "worldViewProj", worldViewProj.Transpose().ToD3DX())) {
        return false;
    }
    CommitWorldMatrix(world);
    return DrawGroups(GroupSelection::All, Renderer->Effects[effect]);
}

bool IOrvalen3DD3DObject::RenderShadowVolume() {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return false;
    }
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    Renderer->Device->SetTransform(D3DTS_WORLD, &identity);
    if (ShadowVertices == nullptr || ShadowTriangleCount <= 0) {
        return true;
    }
    const UINT triangles = static_cast<UINT>(ShadowTriangleCount);
    return DrawTriangles(triangles, false, [&](Vertex3D* out) {
        std::memcpy(out, ShadowVertices.get(), 3 * triangles * sizeof(Vertex3D));
    });
}
