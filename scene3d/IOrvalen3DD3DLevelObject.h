#pragma once
// The Direct3D implementation of the level object. The renderer core reads its materials directly to
// bind a material's texture to a shader effect by name, and the contact code reads its groups, so these
// fields are public and keep their names.

#include "IOrvalen3D.h"
#include "IOrvalen3DLevelObject.h"
#include "platform/D3DXMath.h"
#include "platform/Direct3D9.h"

#include <cstdint>
#include <memory>
#include <vector>

class IOrvalen3DD3D;
class IOrvalenD3D;
struct ID3DXEffect;
class dgBody;

class IOrvalen3DD3DLevelObject : public IOrvalen3DLevelObject {
public:
    static constexpr int kMaxMaterials = 1000;
    static constexpr std::size_t kNameBytes = 256;
    /// Finished level builds in this process: each build takes it as its LevelID. Never reset, so face
    /// attributes stay distinct across every scene.
    static std::uint32_t LevelCounter;

    std::unique_ptr<D3DMATERIAL9[]> Materials; ///< kMaxMaterials, all zero until the host sets colours
    char** MaterialNames = nullptr; ///< kMaxMaterials name buffers of kNameBytes, one per group; owned
    IDirect3DTexture9** Textures =
        nullptr; ///< kMaxMaterials textures, one per group, null for none; one reference each
    IDirect3DVertexBuffer9* VertexBuffer = nullptr; ///< of the group being drawn; null between draws
    std::unique_ptr<Vertex3D[]> Vertices;           ///< placed in world space, VertexCount entries
    std::unique_ptr<std::unique_ptr<std::int32_t[]>[]> IndexLists; ///< kMaxMaterials, 3 per triangle
    std::int32_t VertexCount = 0;
    std::unique_ptr<std::int32_t[]> TriangleCounts; ///< kMaxMaterials
    std::int32_t MaterialCount = 0;                 ///< groups in use
    std::uint32_t LevelID = 0;                      ///< given by EndLevelBuild
    dgBody* Body = nullptr; ///< static, at the identity; owned; null until EndLevelBuild
    std::unique_ptr<std::int32_t[]> MaterialCollisionModes; ///< kMaxMaterials: 0 static, 2 no contacts
    IOrvalenD3D* Renderer = nullptr;                        ///< null until SetRenderer
    BodyUserData UserData{2, this};                         ///< the body's user data: kind 2, this level
    /// The scene whose level list holds this level; null once that scene is gone. A level leaves the
    /// list when it is deleted, whichever scene's DestroyLevel (or the host) deletes it.
    IOrvalen3DD3D* Scene = nullptr;
    /// Set when the scene's teardown let the level go: no body, no scene, no renderer, and SetRenderer
    /// gives it none again, so it draws nothing.
    bool Detached = false;

    IOrvalen3DD3DLevelObject() = default;
    ~IOrvalen3DD3DLevelObject() override;
    IOrvalen3DD3DLevelObject(const IOrvalen3DD3DLevelObject&) = delete;
    IOrvalen3DD3DLevelObject& operator=(const IOrvalen3DD3DLevelObject&) = delete;

    /// Keeps no renderer once the level is detached.
    void SetRenderer(IOrvalenRenderer** renderer) override;
    /// Sends each group's triangles that may lie inside the view frustum; a level without a body draws at
    /// the identity, a detached level (or one without a renderer) draws nothing and returns false.
    bool Render() override;
    /// As Render with the view-projection product as "worldViewProj" of `effect`.
    bool RenderWithEffect(std::int32_t effect) override;
    void SetMaterialDiffuse(const char* name, float r, float g, float b) override;
    void SetMaterialAmbient(const char* name, float r, float g, float b) override;
    void SetMaterialSpecular(const char* name, float r, float g, float b, float power) override;
    void SetMaterialEmissive(const char* name, float r, float g, float b) override;
    /// A failed load keeps the group's texture; a successful one releases the texture it replaces.
    bool LoadTexture(const char* name, const char* file, std::uint32_t unused) override;
    void SetMaterialCollisionMode(const char* name, std::int32_t mode) override;
    std::int32_t GetMaterialCollisionMode(const char* name) override;
    /// Finds the group and changes nothing: what an attribute is to do is not settled.
    void SetMaterialAttribute(const char* name, std::uint32_t value) override;

    /// Makes the 1000-entry group tables and a placed copy of `vertices` (positions through `placement`
    /// as points, the rest copied); false when something cannot be allocated.
    bool Build(std::int32_t vertexCount, const Vertex3D* vertices, const D3DXMATRIX& placement);
    /// Appends `count` triangles to the group named `name`, made when new; nothing is kept on failure.
    bool AddTriangles(const char* name, std::int32_t count, const std::int32_t* indices);
    /// The group named `name` (exact bytes), -1 when there is none.
    std::int32_t FindMaterial(const char* name) const;
    /// Lets the level outlive its scene: destroys its body in the scene's world and forgets the scene and
    /// the renderer. The scene's teardown calls it for every level still on its list.
    void Detach();

private:
    void DestroyBody();
    bool Draw(ID3DXEffect* textureEffect);
    bool DrawGroup(std::int32_t group, const float (&planes)[6][4], ID3DXEffect* textureEffect);
    std::vector<Vertex3D> m_visible; ///< corners sent by the group being drawn; reused across frames
};
