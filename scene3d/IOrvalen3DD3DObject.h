#pragma once
// The Direct3D implementation of the 3D object: its mesh as Vertex3D arrays and material groups, its
// world and scale matrices, an optional physics body, key-frame animation and shadow-volume data. The
// renderer core reads its material groups directly to bind a group's texture to a shader effect by
// name, and the scene's callbacks read its physics fields, so the fields are public and keep their names.

#include "IOrvalen3DObject.h"
#include "scene3d/BodyControls.h"
#include "scene3d/ShadowEdgeTable.h"
#include "platform/Direct3D9.h"

#include <cstdint>
#include <memory>

class IOrvalenD3D;
struct ID3DXEffect;
class dgBody;
class dgJointBase;

/// One named frame range of an object's key-frame animation.
struct AnimationRange {
    std::int32_t Start = 0;
    std::int32_t End = 0;
    char Name[256] = {};
};

class IOrvalen3DD3DObject : public BodyControls<IOrvalen3DD3DObject, IOrvalen3DObject> {
public:
    static constexpr int kMaxMaterials = 1000;
    static constexpr int kMaxAnimations = 100;
    static constexpr std::size_t kNameBytes = 256;
    // How the physics controls shared with the collision object differ for a 3D object.
    static constexpr bool kNoContactsMeansStatic = true;   ///< mode 2 gives the body mass 0
    static constexpr bool kActivateStopsAutoFreeze = true; ///< Activate turns the body's auto-freeze off

    bool ActiveFlag = false;                    ///< set by Activate; friction off on level faces
    std::unique_ptr<D3DMATERIAL9[]> Materials;  ///< one per group
    char** MaterialNames = nullptr;             ///< kMaxMaterials name buffers of kNameBytes; owned
    IDirect3DTexture9** Textures = nullptr;     ///< kMaxMaterials textures, null for none; one reference each
    std::unique_ptr<std::unique_ptr<AnimationRange>[]> Animations; ///< kMaxAnimations ranges
    D3DXMATRIX Matrix;                          ///< world matrix, row vectors
    D3DXMATRIX ScaleMatrix;                     ///< the last SetScale's factors
    IDirect3DVertexBuffer9* VertexBuffer = nullptr; ///< of the draw in progress; one reference
    std::unique_ptr<Vertex3D[]> BaseVertices;   ///< as built; SetScale's hull is made from them
    std::unique_ptr<Vertex3D[]> Vertices;       ///< as drawn; animation overwrites them
    std::unique_ptr<std::unique_ptr<Vertex3D[]>[]> KeyFrames; ///< KeyFrameCount arrays of VertexCount
    std::unique_ptr<std::unique_ptr<std::uint32_t[]>[]> IndexLists;         ///< kMaxMaterials, 3 per triangle
    std::unique_ptr<std::unique_ptr<std::uint32_t[]>[]> TexCoordIndexLists; ///< kMaxMaterials, into TexCoords
    std::unique_ptr<float[]> TexCoords;         ///< TexCoordCount pairs (u, v)
    std::int32_t TexCoordCount = 0;             ///< pairs in TexCoords
    std::unique_ptr<bool[]> UseTexCoords;       ///< per group: u0, v0 come from TexCoords
    std::int32_t VertexCount = 0;
    std::unique_ptr<std::int32_t[]> TriangleCounts; ///< per group
    std::int32_t MaterialCount = 0;             ///< groups in use
    std::int32_t KeyFrameCount = 0;
    std::int32_t AnimationCount = 0;
    std::int32_t ID = 0;                        ///< index in the scene's object table; -1 until a build ends
    dgBody* Body = nullptr;                     ///< owned; null for an object without a body
    std::int32_t CollisionMode = 1;             ///< 0 static, 1 dynamic, 2 no contacts
    float Mass = 1.0f;
    float Inertia[3] = {1.0f, 1.0f, 1.0f};
    float Force[3] = {0.0f, 0.0f, 0.0f};        ///< added to the body at every step with its weight
    float Torque[3] = {0.0f, 0.0f, 0.0f};       ///< stored only
    bool CustomFlag = false;                    ///< stored only
    float CustomParameters[7] = {};             ///< stored only
    std::int32_t ObjectFlag = 0;                ///< stored only
    std::int32_t StartFrame = 0;
    std::int32_t EndFrame = 0;
    std::int32_t CurrentFrame = 0;
    std::int32_t NextFrame = 0;
    float AnimationTime = 0.0f;                 ///< seconds into the current frame step
    float AnimationSpeed = 0.0f;                ///< frames per second
    bool Playing = false;
    bool Looping = false;
    std::unique_ptr<ShadowEdge[]> ShadowEdges;
    std::int32_t ShadowEdgeCount = 0;
    ShadowEdgeTable ShadowEdgeLookup;           ///< finds ShadowEdges' entries; empty between builds
    std::unique_ptr<Vertex3D[]> ShadowVertices; ///< three per triangle
    std::int32_t ShadowTriangleCount = 0;
    bool VerticesChanged = true;
    dgJointBase* UpVectorJoint = nullptr;       ///< lives in the body's world
    bool HasUpVector = false;
    BodyUserData UserData{0, this};             ///< the body's user data: kind 0, this object
    IOrvalenD3D* Renderer = nullptr;            ///< null until SetRenderer

    IOrvalen3DD3DObject();
    ~IOrvalen3DD3DObject() override;
    IOrvalen3DD3DObject(const IOrvalen3DD3DObject&) = delete;
    IOrvalen3DD3DObject& operator=(const IOrvalen3DD3DObject&) = delete;

    std::int32_t GetID() override;
    void SetRenderer(IOrvalenRenderer** renderer) override;
    bool Render() override;
    bool RenderBlended() override;
    /// W in the world-view-projection matrix is the world transform of this very draw; a refused matrix
    /// changes nothing (DrawFlag stays set).
    bool RenderWithEffect(std::int32_t effect) override;
    /// An empty volume draws nothing and succeeds.
    bool RenderShadowVolume() override;
    /// Objects without a body are placed by ScaleMatrix x Matrix; without shadow arrays nothing is built.
    void BuildShadowVolume(float x, float y, float z) override;
    /// Replaces the body by one whose hull is the base mesh scaled, with the up-vector joint made again on
    /// it with the same pin; when that hull or body cannot be made nothing changes.
    void SetScale(float sx, float sy, float sz) override;
    void SetMatrix(const float* matrix) override;
    D3DXMATRIX GetMatrix() override;
    bool CreateAnimation(std::int32_t frameCount, Vertex3D** frames) override;
    bool AddAnimation(std::int32_t start, std::int32_t end, const char* name) override;
    void SetAnimationSpeed(float framesPerSecond) override;
    float GetAnimationSpeed() override;
    void SetLooping(bool looping) override;
    bool IsLooping() override;
    bool SetAnimation(const char* name) override;
    bool UpdateAnimation(float elapsed) override;
    void SetAnimationTime(float time) override;
    float GetAnimationTime() override;
    bool StartAnimation(const char* name) override;
    void PauseAnimation() override;
    void PlayAnimation() override;
    void RewindAnimation() override;
    bool IsAnimationFinished() override;
    void SetObjectFlag(bool value) override;
    void SetMaterialDiffuse(const char* name, float r, float g, float b) override;
    void SetMaterialAmbient(const char* name, float r, float g, float b) override;
    void SetMaterialSpecular(const char* name, float r, float g, float b, float power) override;
    void SetMaterialEmissive(const char* name, float r, float g, float b) override;
    /// A failed load keeps the group's texture; a successful one releases the texture it replaces.
    bool LoadTexture(const char* name, const char* file, std::uint32_t unused) override;
    /// A negative count is refused; 0 empties the table.
    void SetTexCoords(std::int32_t count, const float* uv) override;

    /// The group named `name` (exact bytes), -1 when there is none.
    std::int32_t FindMaterial(const char* name) const;
    /// Makes the two 1000-entry group tables the renderer reads (names and textures), all null.
    bool MakeGroupTables();
    /// Makes what a build fills: both copies of `count` vertices, the tables of 1000 groups (all empty)
    /// and of 100 animation ranges; false when something cannot be allocated.
    bool BeginBuild(std::uint32_t count, const Vertex3D* vertices);
    /// What the indices of a further part of `group` are shifted by: 1 + its largest index (values
    /// above 0 only); 0 for a new group (-1).
    std::uint32_t PartOffset(std::int32_t group) const;
    /// Appends `count` triangles to `group`, or makes a group named `name` when `group` is -1; each
    /// index (and texture-coordinate index, when given) plus `offset`. False, keeping nothing, when
    /// something cannot be allocated.
    bool AddTriangles(std::int32_t group, const char* name, std::int32_t count, const std::uint32_t* indices,
                      const std::uint32_t* texIndices, std::uint32_t offset);
    /// The shadow arrays for the triangles of all groups: three edges and eighteen vertices each, and the
    /// lookup of the edges.
    bool MakeShadowArrays();
    void ReleaseShadowArrays();
    /// Triangles of all groups: the shadow arrays hold three edges and eighteen vertices for each.
    std::size_t TotalTriangles() const;

private:
    friend BodyControls<IOrvalen3DD3DObject, IOrvalen3DObject>;
    /// The body, when there is one, takes Matrix.
    void PlaceBody();
    /// Matrix = Matrix x transform (row vectors: the transform comes after what Matrix did); the body follows.
    void Transform(const D3DXMATRIX& transform);
    /// Matrix = identity; the body follows.
    void ResetPlacement();
    /// ScaleMatrix x (the body's matrix, or Matrix without a body): the world transform of the next draw.
    D3DXMATRIX PreparedWorldMatrix() const;
    /// Starts a draw with `world`: clears DrawFlag, keeps `world` in Matrix for a body (refreshed from
    /// it at every draw; a bodyless Matrix would take the scale again each time) and gives it to the device.
    void CommitWorldMatrix(const D3DXMATRIX& world);
    /// Draws the groups whose name is (`trans` true) or is not exactly "trans", or all of them; textures
    /// go to stage 0, or to "Texture0" of `textureEffect` when it is given.
    enum class GroupSelection { All, Opaque, Trans };
    bool DrawGroups(GroupSelection selection, ID3DXEffect* textureEffect);
    bool DrawGroup(std::int32_t group, ID3DXEffect* textureEffect);
    /// The corner `corner` of group `group` as drawn: an index past the tables gives the default vertex
    /// or texture coordinates (0, 0), never a read out of bounds.
    Vertex3D GroupCorner(std::int32_t group, std::int32_t corner) const;
    /// Makes VertexBuffer for `triangles` triangles, lets `fill` write the vertices into it, draws it
    /// (through the current effect's passes when `withPasses`) and releases it on every road.
    template <typename Fill> bool DrawTriangles(UINT triangles, bool withPasses, Fill fill);
    /// The frame step of an update that took `steps` whole steps: the next frame becomes the current one
    /// and the next moves on, wrapping in a looping range or stopping at the end of one that is not.
    void StepFrames(std::int64_t steps);
    /// Vertices = key frames CurrentFrame and NextFrame blended at `t`; nothing when either is missing.
    void BlendFrames(float t);
    /// Appends the edge (a, b), or removes it (the last entry takes its place) when it is there either way.
    void AddSilhouetteEdge(std::uint32_t a, std::uint32_t b);
};
