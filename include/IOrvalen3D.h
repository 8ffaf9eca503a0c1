#pragma once
// The 3D scene interface the host holds: objects, collision objects and levels with their physics
// bodies, eight lights, contact and level events. The host calls it through the virtual table, so the
// order of the operations below is part of the interface; overloads stand next to each other.
// Flags are bytes; a flag left out is false.

#include <cstdint>

class IOrvalenRenderer;
class IOrvalen3DObject;
class IOrvalen3DCollisionObject;
class IOrvalen3DLevelObject;

/// The vertex of 3D objects, levels and shadow geometry (44 bytes; position, normal, diffuse, two
/// texture-coordinate pairs).
struct Vertex3D {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float nx = 0.0f;
    float ny = 0.0f;
    float nz = -1.0f;
    std::uint32_t diffuse = 0x00FFFFFF; ///< ARGB
    float u0 = 0.0f;
    float v0 = 0.0f;
    float u1 = 0.0f;
    float v1 = 0.0f;

    Vertex3D() = default;
    Vertex3D(float px, float py, float pz, float normalX, float normalY, float normalZ, std::uint32_t colour,
             float tu0, float tv0, float tu1, float tv1)
        : x(px), y(py), z(pz), nx(normalX), ny(normalY), nz(normalZ), diffuse(colour), u0(tu0), v0(tv0),
          u1(tu1), v1(tv1) {}
};
static_assert(sizeof(Vertex3D) == 44);

/// The user data of every physics body of the scene: the kind and address of its owner.
struct BodyUserData {
    std::uint32_t BodyKind = 0; ///< 0 3D object, 1 collision object, 2 level
    void* Owner = nullptr;      ///< the owning scene object, of the class its kind names
};

/// The strongest contact of a touch that fired an event; all zeros when nothing was recorded.
struct EventInfo {
    std::uint32_t IdA = 0; ///< the registration's first object; 0 in level events
    std::uint32_t IdB = 0; ///< the registration's second object; 0 in level events
    float Position[3] = {0.0f, 0.0f, 0.0f};
    float Normal[3] = {0.0f, 0.0f, 0.0f};
    float Tangent[3] = {0.0f, 0.0f, 0.0f}; ///< direction of the larger tangent speed
    float NormalSpeed = 0.0f;
    float TangentSpeed = 0.0f;
};

/// Chooses the form of EndObjectBuild that gives an object a static body made of its triangles.
struct StaticBody {};

class IOrvalen3D {
public:
    /// Destroys the scene's objects and collision objects and its physics world.
    virtual ~IOrvalen3D() = default;
    /// Keeps `*renderer`; logging, drawing and gravity go through it.
    virtual void SetRenderer(IOrvalenRenderer** renderer) = 0;
    /// Brackets the host's 3D drawing: identity world transform, the vertex format of Vertex3D, the
    /// z-buffer on; End3D gives the z-buffer its earlier state back.
    virtual void Begin3D() = 0;
    virtual void End3D() = 0;

    // Ready-made objects; the flag asks for no physics body. Null on failure.
    virtual IOrvalen3DObject* Cube(float width, float height, float depth, bool noBody) = 0;
    virtual IOrvalen3DObject* Cube(float width, float height, float depth) = 0;
    virtual IOrvalen3DObject* Cylinder(float radius, float height, bool noBody) = 0;
    virtual IOrvalen3DObject* Cylinder(float radius, float height) = 0;
    virtual IOrvalen3DObject* Sphere(float radiusX, float radiusY, float radiusZ, bool noBody) = 0;
    virtual IOrvalen3DObject* Sphere(float radius, bool noBody) = 0;
    virtual IOrvalen3DObject* Sphere(float radiusX, float radiusY, float radiusZ) = 0;
    virtual IOrvalen3DObject* Sphere(float radius) = 0;

    // Objects built from the host's mesh: vertices, then triangles by material, then the body.
    virtual IOrvalen3DObject* BeginObjectBuild(std::uint32_t vertexCount, const Vertex3D* vertices,
                                               bool flag) = 0;
    virtual IOrvalen3DObject* BeginObjectBuild(std::uint32_t vertexCount, const Vertex3D* vertices) = 0;
    /// Three vertex indices and three texture-coordinate indices per triangle.
    virtual bool AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                                const std::uint32_t* vertexIndices, const std::uint32_t* textureIndices,
                                bool flag) = 0;
    virtual bool AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                                const std::uint32_t* vertexIndices, bool flag) = 0;
    virtual bool AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                                const std::uint32_t* vertexIndices, const std::uint32_t* textureIndices) = 0;
    virtual bool AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                                const std::uint32_t* vertexIndices) = 0;
    /// With radii the body is an ellipsoid, else the convex hull of the vertices.
    virtual bool EndObjectBuild(IOrvalen3DObject* object, float radiusX, float radiusY, float radiusZ,
                                bool noBody) = 0;
    virtual bool EndObjectBuild(IOrvalen3DObject* object, bool noBody) = 0;
    virtual bool EndObjectBuild(IOrvalen3DObject* object, float radiusX, float radiusY, float radiusZ) = 0;
    virtual bool EndObjectBuild(IOrvalen3DObject* object) = 0;
    virtual void DestroyObject(IOrvalen3DObject* object, bool flag) = 0;
    virtual void DestroyObject(IOrvalen3DObject* object) = 0;
    virtual bool EndObjectBuild(IOrvalen3DObject* object, StaticBody) = 0;

    // Collision-only objects.
    virtual IOrvalen3DCollisionObject* CollisionReserved1(std::uint32_t a, std::uint32_t b,
                                                          std::uint32_t c) = 0;
    virtual IOrvalen3DCollisionObject* CollisionReserved2(std::uint32_t a, std::uint32_t b) = 0;
    virtual IOrvalen3DCollisionObject* CollisionSphere(float radiusX, float radiusY, float radiusZ) = 0;
    virtual IOrvalen3DCollisionObject* CollisionReserved3(std::uint32_t a, std::uint32_t b) = 0;
    virtual void DestroyObject(IOrvalen3DCollisionObject* object) = 0;

    // Static level geometry, placed by translation, angles (radians) and scale; the host owns levels.
    virtual IOrvalen3DLevelObject* CreateLevel(std::int32_t vertexCount, const Vertex3D* vertices, float tx,
                                               float ty, float tz, float ax, float ay, float az, float sx,
                                               float sy, float sz) = 0;
    virtual bool AddLevelParts(IOrvalen3DLevelObject* level, const char* material, std::int32_t triangleCount,
                               const std::int32_t* indices) = 0;
    virtual bool EndLevelBuild(IOrvalen3DLevelObject* level, bool optimise) = 0;
    virtual bool EndLevelBuild(IOrvalen3DLevelObject* level) = 0;
    /// Deletes the level: the host's pointer to it is dead afterwards.
    virtual void DestroyLevel(IOrvalen3DLevelObject* level) = 0;

    // Lights 0 to 7; the index comes last.
    /// Type 0 directional, 1 spot, 2 point.
    virtual bool CreateLight(std::int32_t type, std::int32_t index) = 0;
    virtual void DestroyLight(std::int32_t index) = 0;
    virtual void SetLightDiffuse(float r, float g, float b, std::int32_t index) = 0;
    virtual void SetLightAmbient(float r, float g, float b, std::int32_t index) = 0;
    virtual void SetLightSpecular(float r, float g, float b, std::int32_t index) = 0;
    virtual void SetPosition(float x, float y, float z, std::int32_t index) = 0;
    virtual void SetDirection(float x, float y, float z, std::int32_t index) = 0;
    /// Cone angles in radians.
    virtual void SetRange(float range, float innerCone, float outerCone, std::int32_t index) = 0;
    virtual void SetAttenuation(float a0, float a1, float a2, std::int32_t index) = 0;
    /// Sets the light on the device and switches it on.
    virtual bool SetLight(std::int32_t index) = 0;
    virtual bool UnsetLight(std::int32_t index) = 0;
    /// Sets and switches on every light the scene holds, as after a device reset.
    virtual void ApplyLights() = 0;
    virtual void Reserved47() = 0;

    virtual void Render() = 0;
    /// Destroys every object and collision object; ids start from 0 again.
    virtual void ResetWorld() = 0;
    virtual void SetSolverModel(std::int32_t solverModel, std::int32_t frictionModel) = 0;
    /// The acceleration every body falls with, from the next step on.
    virtual void SetGravity(float x, float y, float z) = 0;
    /// Steps the physics by `timeStep` seconds and advances the animations.
    virtual bool Update(float timeStep) = 0;
    /// Nearest hit fraction along the segment (above 1 when nothing is hit); `hit` (may be null)
    /// receives the owner record of the body hit.
    virtual double RayCast(BodyUserData** hit, float x0, float y0, float z0, float x1, float y1,
                           float z1) = 0;
    /// The closest point of the object's shape, where its body is, to (x, y, z), and the normal there;
    /// false for an object without a body.
    virtual bool Collide(IOrvalen3DObject* object, float x, float y, float z, float* contact,
                         float* normal) = 0;
    virtual std::int32_t GetDefaultMaterialID() = 0;
    virtual std::int32_t CreateMaterialID() = 0;
    virtual void SetMaterialPair(std::int32_t id0, std::int32_t id1, bool collidable, float softness,
                                 float elasticity, float staticFriction, float kineticFriction) = 0;

    // Contact events (ids 0 to 999) between two objects, matched by the ids the objects had when
    // registered; a pair registered under several ids fires each of them. The tables are shared by
    // every scene of the process and emptied when a scene is made.
    virtual bool RegisterEvent(IOrvalen3DCollisionObject* a, IOrvalen3DCollisionObject* b,
                               std::int32_t id) = 0;
    virtual bool RegisterEvent(IOrvalen3DCollisionObject* a, IOrvalen3DObject* b, std::int32_t id) = 0;
    virtual bool RegisterEvent(IOrvalen3DObject* a, IOrvalen3DCollisionObject* b, std::int32_t id) = 0;
    virtual bool RegisterEvent(IOrvalen3DObject* a, IOrvalen3DObject* b, std::int32_t id) = 0;
    virtual void ClearEvents() = 0;
    /// True from the first contact point of a registered pair until ResetEvent.
    virtual bool CheckEvent(std::int32_t id) = 0;
    virtual void ResetEvent(std::int32_t id) = 0;
    /// The strongest contact of the pair's last touch; all zeros for an id that never fired.
    virtual EventInfo GetEvent(std::int32_t id) = 0;

    // Level events (ids 0 to 999): an object touching faces of a level material. An event fires at the
    // object's first point on the material and keeps that point until it is reset.
    virtual bool RegisterLevelEvent(IOrvalen3DLevelObject* level, const char* material, std::int32_t objectId,
                                    std::int32_t id) = 0;
    virtual void ClearLevelEvents() = 0;
    virtual bool CheckLevelEvent(std::int32_t id) = 0;
    virtual void ResetLevelEvent(std::int32_t id) = 0;
    /// All zeros for an id that never fired, and, without a log line, for an id outside 0-999.
    virtual EventInfo GetLevelEvent(std::int32_t id) = 0;
};
