// The level object: its placed vertices and material groups, its material operations, and its drawing
// with each triangle culled against the view frustum on the processor.
#include "scene3d/IOrvalen3DD3DLevelObject.h"

#include "physics/api/dgApi.h"
#include "platform/D3DXEffect.h"
#include "renderer/IOrvalenD3D.h"
#include "scene3d/GroupMaterials.h"
#include "scene3d/GroupDrawing.h"
#include "scene3d/IOrvalen3DD3D.h"
#include "scene3d/Matrix4.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

IOrvalen3DD3DLevelObject::~IOrvalen3DD3DLevelObject() {
    for (int group = 0; group < kMaxMaterials; ++group) {
        if (Textures != nullptr && Textures[group] != nullptr) {
            Textures[group]->Release();
        }
        if (MaterialNames != nullptr) {
            delete[] MaterialNames[group];
        }
    }
    delete[] Textures;
    delete[] MaterialNames;
    if (VertexBuffer != nullptr) {
        VertexBuffer->Release();
    }
    DestroyBody();
    if (Scene != nullptr) {
        auto& levels = Scene->Levels;
        levels.erase(std::remove(levels.begin(), levels.end(), this), levels.end());
    }
}

void IOrvalen3DD3DLevelObject::DestroyBody() {
    if (Body != nullptr) {
        dgApiBodyDestroy(dgApiBodyGetWorld(Body), Body);
        Body = nullptr;
    }
}

void IOrvalen3DD3DLevelObject::Detach() {
    DestroyBody();
    Scene = nullptr;
    Renderer = nullptr;
    Detached = true;
}

void IOrvalen3DD3DLevelObject::SetRenderer(IOrvalenRenderer** renderer) {
    Renderer = renderer != nullptr && !Detached ? static_cast<IOrvalenD3D*>(*renderer) : nullptr;
}

bool IOrvalen3DD3DLevelObject::Build(std::int32_t vertexCount, const Vertex3D* vertices,
                                     const D3DXMATRIX& placement) {
    const auto count = static_cast<std::size_t>(vertexCount);
    Vertices.reset(new (std::nothrow) Vertex3D[count]);
    Materials.reset(new (std::nothrow) D3DMATERIAL9[kMaxMaterials]());
    MaterialNames = new (std::nothrow) char*[kMaxMaterials]();
    Textures = new (std::nothrow) IDirect3DTexture9*[kMaxMaterials]();
    IndexLists.reset(new (std::nothrow) std::unique_ptr<std::int32_t[]>[kMaxMaterials]);
    TriangleCounts.reset(new (std::nothrow) std::int32_t[kMaxMaterials]());
    MaterialCollisionModes.reset(new (std::nothrow) std::int32_t[kMaxMaterials]());
    if (Vertices == nullptr || Materials == nullptr || MaterialNames == nullptr || Textures == nullptr ||
        IndexLists == nullptr || TriangleCounts == nullptr || MaterialCollisionModes == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        Vertices[i] = vertices[i];
        // (x, y, z, 1) x M, the fourth component dropped: the placement is affine.
        const D3DXVECTOR3 position(vertices[i].x, vertices[i].y, vertices[i].z);
        D3DXVECTOR4 placed;
        D3DXVec3Transform(&placed, &position, &placement);
        Vertices[i].x = placed.x;
        Vertices[i].y = placed.y;
        Vertices[i].z = placed.z;
    }
    VertexCount = vertexCount;
    return true;
}

bool IOrvalen3DD3DLevelObject::AddTriangles(const char* name, std::int32_t count,
                                            const std::int32_t* indices) {
    const std::int32_t group = FindMaterial(name);
    const std::int32_t previous = group >= 0 ? TriangleCounts[group] : 0;
    const std::size_t oldCorners = 3 * static_cast<std::size_t>(previous);
    const std::size_t newCorners = 3 * static_cast<std::size_t>(count);
    // Everything is allocated before anything is committed, so a failure keeps the level as it was.
    std::unique_ptr<std::int32_t[]> list(new (std::nothrow) std::int32_t[oldCorners + newCorners]);
    std::unique_ptr<char[]> newName(group >= 0 ? nullptr : new (std::nothrow) char[kNameBytes]());
    if (list == nullptr || (group < 0 && newName == nullptr)) {
        return false;
    }
    if (oldCorners > 0) {
        std::memcpy(list.get(), IndexLists[group].get(), oldCorners * sizeof(std::int32_t));
    }
    std::memcpy(list.get() + oldCorners, indices, newCorners * sizeof(std::int32_t));
    if (group >= 0) {
        IndexLists[group] = std::move(list);
        TriangleCounts[group] = previous + count;
        return true;
    }
    const std::int32_t made = MaterialCount;
    std::memcpy(newName.get(), name, std::strlen(name) + 1);
    MaterialNames[made] = newName.release();
    IndexLists[made] = std::move(list);
    TriangleCounts[made] = count;
    MaterialCollisionModes[made] = 0;
    MaterialCount = made + 1;
    return true;
}

std::int32_t IOrvalen3DD3DLevelObject::FindMaterial(const char* name) const {
    if (name == nullptr || MaterialNames == nullptr) {
        return -1;
    }
    for (std::int32_t group = 0; group < MaterialCount; ++group) {
        if (std::strcmp(MaterialNames[group], name) == 0) {
            return group;
        }
    }
    return -1;
}

void IOrvalen3DD3DLevelObject::SetMaterialDiffuse(const char* name, float r, float g, float b) {
    group_materials::SetColour(*this, name, &D3DMATERIAL9::Diffuse, r, g, b);
}

void IOrvalen3DD3DLevelObject::SetMaterialAmbient(const char* name, float r, float g, float b) {
    group_materials::SetColour(*this, name, &D3DMATERIAL9::Ambient, r, g, b);
}

void IOrvalen3DD3DLevelObject::SetMaterialSpecular(const char* name, float r, float g, float b, float power) {
    group_materials::SetColour(*this, name, &D3DMATERIAL9::Specular, r, g, b, &power);
}

void IOrvalen3DD3DLevelObject::SetMaterialEmissive(const char* name, float r, float g, float b) {
    group_materials::SetColour(*this, name, &D3DMATERIAL9::Emissive, r, g, b);
}

bool IOrvalen3DD3DLevelObject::LoadTexture(const char* name, const char* file, std::uint32_t) {
    return group_materials::LoadTexture(*this, name, file);
}

void IOrvalen3DD3DLevelObject::SetMaterialCollisionMode(const char* name, std::int32_t mode) {
    const std::int32_t group = FindMaterial(name);
    // A level's faces are static or without contacts; any other mode is ignored.
    if (group >= 0 && (mode == 0 || mode == 2)) {
        MaterialCollisionModes[group] = mode;
    }
}

std::int32_t IOrvalen3DD3DLevelObject::GetMaterialCollisionMode(const char* name) {
    const std::int32_t group = FindMaterial(name);
    return group >= 0 ? MaterialCollisionModes[group] : -1;
}

void IOrvalen3DD3DLevelObject::SetMaterialAttribute(const char* name, std::uint32_t) {
    if (FindMaterial(name) >= 0 && Body != nullptr) {
        dgApiBodyGetCollision(Body);
    }
}

namespace {

/// The six planes (a, b, c, d) of the frustum of V x P, inside where a x + b y + c z + d > 0: column 3
/// minus and plus columns 0, 1 and 2 in turn, each scaled to a unit normal.
void FrustumPlanes(const Matrix4& viewProj, float (&planes)[6][4]) {
    static constexpr int kColumn[6] = {0, 0, 1, 1, 2, 2};
    static constexpr float kSign[6] = {-1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 1.0f};
    for (int plane = 0; plane < 6; ++plane) {
        for (int row = 0; row < 4; ++row) {
            planes[plane][row] = viewProj(row, 3) + kSign[plane] * viewProj(row, kColumn[plane]);
        }
        const float length =
            std::sqrt(planes[plane][0] * planes[plane][0] + planes[plane][1] * planes[plane][1] +
                      planes[plane][2] * planes[plane][2]);
        for (float& value : planes[plane]) {
            value /= length;
        }
    }
}

/// True when all three corners lie on the outer side of one plane (a corner on the plane counts as out).
bool OutsideFrustum(const float (&planes)[6][4], const Vertex3D& a, const Vertex3D& b, const Vertex3D& c) {
    for (const float(&p)[4] : planes) {
        const auto out = [&p](const Vertex3D& v) {
            return p[0] * v.x + p[1] * v.y + p[2] * v.z + p[3] <= 0.0f;
        };
        if (out(a) && out(b) && out(c)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IOrvalen3DD3DLevelObject::DrawGroup(std::int32_t group, const float (&planes)[6][4],
                                         ID3DXEffect* textureEffect) {
    if (!BindGroupMaterial(*Renderer, Materials[group], Textures[group], textureEffect)) {
        return false;
    }
    const std::int32_t* indices = IndexLists[group].get();
    const std::int32_t count = TriangleCounts[group];
    m_visible.clear();
    for (std::int32_t triangle = 0; triangle < count; ++triangle) {
        // Indices were checked against VertexCount when the triangles were added.
        const Vertex3D& a = Vertices[indices[3 * triangle]];
        const Vertex3D& b = Vertices[indices[3 * triangle + 1]];
        const Vertex3D& c = Vertices[indices[3 * triangle + 2]];
        if (!OutsideFrustum(planes, a, b, c)) {
            m_visible.push_back(a);
            m_visible.push_back(b);
            m_visible.push_back(c);
        }
    }
    const auto triangles = static_cast<UINT>(m_visible.size() / 3);
    return DrawGroupTriangles(*Renderer, VertexBuffer, triangles, true, [&](Vertex3D* out) {
        std::memcpy(out, m_visible.data(), m_visible.size() * sizeof(Vertex3D));
    });
}

bool IOrvalen3DD3DLevelObject::Draw(ID3DXEffect* textureEffect) {
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    if (Body != nullptr) {
        dgApiBodyGetMatrix(Body, &world.m[0][0]);
    }
    Renderer->Device->SetTransform(D3DTS_WORLD, &world);
    float planes[6][4];
    FrustumPlanes(Matrix4(Renderer->GetViewMatrix()) * Matrix4(Renderer->GetProjectionMatrix()), planes);
    for (std::int32_t group = 0; group < MaterialCount; ++group) {
        if (!DrawGroup(group, planes, textureEffect)) {
            return false;
        }
    }
    return true;
}

bool IOrvalen3DD3DLevelObject::Render() {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return false;
    }
    return Draw(nullptr);
}

bool IOrvalen3DD3DLevelObject::RenderWithEffect(std::int32_t effect) {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return false;
    }
    // The level's world matrix is the identity, so view x projection is the whole transform.
    const Matrix4 viewProj = Matrix4(Renderer->GetViewMatrix()) * Matrix4(Renderer->GetProjectionMatrix());
    if (!Renderer->SetShaderMatrix(effect, "worldViewProj", viewProj.Transpose().ToD3DX())) {
        return false;
    }
    ID3DXEffect* textureEffect = Renderer->Effects[effect];
    if (textureEffect == nullptr) {
        return false;
    }
    return Draw(textureEffect);
}
