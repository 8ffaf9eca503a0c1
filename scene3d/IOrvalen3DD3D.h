#pragma once
// The Direct3D implementation of the 3D scene. The renderer core and the scene's objects read its
// fields directly, so they are public and keep their names.

#include "IOrvalen3D.h"
#include "platform/Direct3D9.h"

#include <cstdint>
#include <memory>
#include <vector>

class IOrvalenD3D;
class dgWorld;
class dgBody;
class IOrvalen3DD3DObject;
class IOrvalen3DD3DCollisionObject;
class IOrvalen3DD3DLevelObject;

class IOrvalen3DD3D : public IOrvalen3D {
public:
    static constexpr int kLights = 8;
    static constexpr int kMaxObjects = 10000;

    std::uint32_t VertexColour = 0xFFFFFFFF;        ///< ARGB the primitive builders give their vertices
    IOrvalenD3D* Renderer = nullptr;                ///< null until SetRenderer
    bool SavedZBuffer = false;                      ///< z-buffer state Begin3D found, given back by End3D
    std::unique_ptr<D3DLIGHT9> Lights[kLights];     ///< light slots 0-7, owned; null = no light
    dgWorld* World = nullptr;                       ///< the physics world, owned; null when none could be made
    IOrvalen3DD3DObject* Objects[kMaxObjects] = {}; ///< 3D objects by id, owned; null = free or destroyed
    IOrvalen3DD3DCollisionObject* CollisionObjects[kMaxObjects] = {}; ///< collision objects by id, owned
    std::uint32_t ObjectCount = 0;                                    ///< the next id, shared by both tables
    /// Levels this scene made and the host has not destroyed; the host owns them. The scene's teardown
    /// destroys their bodies so that a later DestroyLevel never reaches a freed world.
    std::vector<IOrvalen3DD3DLevelObject*> Levels;

    /// Makes the physics world; when the engine refuses it, `World` stays null and the scene is unusable
    /// (every operation that needs the world does nothing and fails).
    IOrvalen3DD3D();
    ~IOrvalen3DD3D() override;
    IOrvalen3DD3D(const IOrvalen3DD3D&) = delete;
    IOrvalen3DD3D& operator=(const IOrvalen3DD3D&) = delete;

    void SetRenderer(IOrvalenRenderer** renderer) override;
    void Begin3D() override;
    void End3D() override;

    IOrvalen3DObject* Cube(float width, float height, float depth, bool noBody) override;
    IOrvalen3DObject* Cube(float width, float height, float depth) override;
    IOrvalen3DObject* Cylinder(float radius, float height, bool noBody) override;
    IOrvalen3DObject* Cylinder(float radius, float height) override;
    IOrvalen3DObject* Sphere(float radiusX, float radiusY, float radiusZ, bool noBody) override;
    IOrvalen3DObject* Sphere(float radius, bool noBody) override;
    IOrvalen3DObject* Sphere(float radiusX, float radiusY, float radiusZ) override;
    IOrvalen3DObject* Sphere(float radius) override;

    IOrvalen3DObject* BeginObjectBuild(std::uint32_t vertexCount, const Vertex3D* vertices,
                                       bool flag) override;
    IOrvalen3DObject* BeginObjectBuild(std::uint32_t vertexCount, const Vertex3D* vertices) override;
    bool AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                        const std::uint32_t* vertexIndices, const std::uint32_t* textureIndices,
                        bool flag) override;
    bool AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                        const std::uint32_t* vertexIndices, bool flag) override;
    bool AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                        const std::uint32_t* vertexIndices, const std::uint32_t* textureIndices) override;
    bool AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                        const std::uint32_t* vertexIndices) override;
    bool EndObjectBuild(IOrvalen3DObject* object, float radiusX, float radiusY, float radiusZ,
                        bool noBody) override;
    bool EndObjectBuild(IOrvalen3DObject* object, bool noBody) override;
    bool EndObjectBuild(IOrvalen3DObject* object, float radiusX, float radiusY, float radiusZ) override;
    bool EndObjectBuild(IOrvalen3DObject* object) override;
    void DestroyObject(IOrvalen3DObject* object, bool flag) override;
    void DestroyObject(IOrvalen3DObject* object) override;
    bool EndObjectBuild(IOrvalen3DObject* object, StaticBody) override;

    IOrvalen3DCollisionObject* CollisionReserved1(std::uint32_t a, std::uint32_t b, std::uint32_t c) override;
    IOrvalen3DCollisionObject* CollisionReserved2(std::uint32_t a, std::uint32_t b) override;
    IOrvalen3DCollisionObject* CollisionSphere(float radiusX, float radiusY, float radiusZ) override;
    IOrvalen3DCollisionObject* CollisionReserved3(std::uint32_t a, std::uint32_t b) override;
    void DestroyObject(IOrvalen3DCollisionObject* object) override;

    IOrvalen3DLevelObject* CreateLevel(std::int32_t vertexCount, const Vertex3D* vertices, float tx, float ty,
                                       float tz, float ax, float ay, float az, float sx, float sy,
                                       float sz) override;
    bool AddLevelParts(IOrvalen3DLevelObject* level, const char* material, std::int32_t triangleCount,
                       const std::int32_t* indices) override;
    bool EndLevelBuild(IOrvalen3DLevelObject* level, bool optimise) override;
    bool EndLevelBuild(IOrvalen3DLevelObject* level) override;
    void DestroyLevel(IOrvalen3DLevelObject* level) override;

    bool CreateLight(std::int32_t type, std::int32_t index) override;
    void DestroyLight(std::int32_t index) override;
    void SetLightDiffuse(float r, float g, float b, std::int32_t index) override;
    void SetLightAmbient(float r, float g, float b, std::int32_t index) override;
    void SetLightSpecular(float r, float g, float b, std::int32_t index) override;
    void SetPosition(float x, float y, float z, std::int32_t index) override;
    void SetDirection(float x, float y, float z, std::int32_t index) override;
    void SetRange(float range, float innerCone, float outerCone, std::int32_t index) override;
    void SetAttenuation(float a0, float a1, float a2, std::int32_t index) override;
    bool SetLight(std::int32_t index) override;
    bool UnsetLight(std::int32_t index) override;
    void ApplyLights() override;
    void Reserved47() override;

    /// Draws the objects whose DrawFlag is set, then, with a stencil buffer, darkens the shadows of those
    /// whose ShadowFlag is set too, inside the host's frame; the renderer's cached states come back.
    void Render() override;
    void ResetWorld() override;
    void SetSolverModel(std::int32_t solverModel, std::int32_t frictionModel) override;
    void SetGravity(float x, float y, float z) override;
    bool Update(float timeStep) override;
    double RayCast(BodyUserData** hit, float x0, float y0, float z0, float x1, float y1, float z1) override;
    bool Collide(IOrvalen3DObject* object, float x, float y, float z, float* contact, float* normal) override;
    std::int32_t GetDefaultMaterialID() override;
    std::int32_t CreateMaterialID() override;
    void SetMaterialPair(std::int32_t id0, std::int32_t id1, bool collidable, float softness,
                         float elasticity, float staticFriction, float kineticFriction) override;

    bool RegisterEvent(IOrvalen3DCollisionObject* a, IOrvalen3DCollisionObject* b, std::int32_t id) override;
    bool RegisterEvent(IOrvalen3DCollisionObject* a, IOrvalen3DObject* b, std::int32_t id) override;
    bool RegisterEvent(IOrvalen3DObject* a, IOrvalen3DCollisionObject* b, std::int32_t id) override;
    bool RegisterEvent(IOrvalen3DObject* a, IOrvalen3DObject* b, std::int32_t id) override;
    void ClearEvents() override;
    bool CheckEvent(std::int32_t id) override;
    void ResetEvent(std::int32_t id) override;
    EventInfo GetEvent(std::int32_t id) override;
    bool RegisterLevelEvent(IOrvalen3DLevelObject* level, const char* material, std::int32_t objectId,
                            std::int32_t id) override;
    void ClearLevelEvents() override;
    bool CheckLevelEvent(std::int32_t id) override;
    void ResetLevelEvent(std::int32_t id) override;
    EventInfo GetLevelEvent(std::int32_t id) override;

    /// Writes a line to the renderer's log when there is a renderer and its log is open.
    void Log(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    /// Group ids the host may hand to SetMaterialGroupID: the default group's and those made here.
    bool IsMaterialGroup(std::int32_t id) const;
    /// The scene whose world holds `body` (the world's user data), null for a body of another world.
    static IOrvalen3DD3D* OfBody(const dgBody* body);
    /// True below the object limit; otherwise logs the limit's line.
    bool HasRoomForObject() const;
    /// Enters a made object into its table under the next id; the scene owns it from here on.
    void AddToTable(IOrvalen3DD3DObject* object);
    void AddToTable(IOrvalen3DD3DCollisionObject* object);
    /// Deletes `object` and clears its entry when its table holds it; any other pointer changes nothing.
    void DeleteFromTable(IOrvalen3DObject* object);
    void DeleteFromTable(IOrvalen3DCollisionObject* object);

private:
    /// Ends the build of `object` (checks, shadow arrays, the body `makeBody` gives, the table) for the
    /// EndObjectBuild slots; `makeBody` returns false, after releasing what it made, when it fails.
    template <typename MakeBody> bool FinishBuild(IOrvalen3DObject* object, MakeBody makeBody);
    /// AddObjectParts of both forms: with texture-coordinate indices (`withTexCoords`, the list required)
    /// or without.
    bool AddParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                  const std::uint32_t* vertexIndices, const std::uint32_t* textureIndices,
                  bool withTexCoords);
    /// The object among those begun and not yet ended, null when `object` is not one of them.
    IOrvalen3DD3DObject* Unfinished(IOrvalen3DObject* object) const;
    /// The light in slot `index`; null, after logging "<operation> Failed - Bad Index", when there is none.
    D3DLIGHT9* LightAt(std::int32_t index, const char* operation) const;
    /// Counts the shadow volumes of the noted objects into the stencil buffer and darkens where it is 1
    /// or more.
    void RenderShadows();
    void CreateWorld();
    void DestroyAllObjects();
    std::int32_t m_lastMaterialGroup = 0; ///< the highest group id CreateMaterialID handed out
    /// Ids of the objects Render shadows this frame, noted before drawing clears their DrawFlag.
    std::uint32_t m_shadowCasters[kMaxObjects] = {};
    std::uint32_t m_shadowCasterCount = 0;
    /// Objects begun and not yet ended: the host's, not in the table; kept so that DestroyObject can tell
    /// them from pointers the scene never made or already freed without reading those.
    std::vector<IOrvalen3DD3DObject*> m_unfinished;
};
