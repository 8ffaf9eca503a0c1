#pragma once
// The collision shape of static level geometry. It holds no polygons itself: three callbacks and a
// user-data pointer reach them. A tree collision is the engine's own kind, whose user data is a
// dgTreeCollisionSoup and whose callbacks walk that soup's tree.

#include "physics/collision/dgCollision.h"
#include "physics/collision/dgPolygonSoupDatabase.h"

class dgWorld;
class dgTreeCollisionSoup;

/// Faces near a box, filled by a soup's collide callback. The caller keeps it on its stack; the
/// callback points vertices, attributes, indexCounts and indices at arrays that stay valid until the
/// next query (a tree collision at its own storage below and at its database's vertices).
struct dgPolygonSoupQuery {
    static constexpr dgInt32 kMaxFaces = 2048;
    static constexpr dgInt32 kMaxIndices = 8192;

    dgVector m_boxMin; ///< in: query box in the soup's local space
    dgVector m_boxMax;
    void* m_userData = nullptr; ///< in: the soup's user data
    dgInt32 m_faceCount = 0;    ///< out
    const dgFloat32* m_vertices = nullptr;
    dgInt32 m_vertexStrideBytes = 0;
    const dgInt32* m_attributes = nullptr;  ///< one per face
    const dgInt32* m_indexCounts = nullptr; ///< vertex count of each face
    const dgInt32* m_indices = nullptr;     ///< the faces' vertex indices, one list after the other
    dgBody* m_otherBody = nullptr;          ///< in
    dgBody* m_soupBody = nullptr;           ///< in
    dgInt32 m_totalIndexCount = 0;          ///< out
    dgInt32 m_attributeStorage[kMaxFaces];
    dgInt32 m_indexCountStorage[kMaxFaces];
    dgInt32 m_indexStorage[kMaxIndices];
};

/// A segment in the soup's local space, answered by a soup's ray-hit callback.
struct dgPolygonSoupRay {
    dgVector m_p0;
    dgVector m_p1;
    dgVector m_normal;          ///< out: unit normal of the nearest hit
    dgInt32 m_attribute = 0;    ///< out: its face's attribute
    void* m_userData = nullptr; ///< in: the soup's user data
};

/// Fills the query's out fields with the faces whose boxes touch the query box.
using dgPolygonSoupCollideCallback = void (*)(dgPolygonSoupQuery* query);
/// Hit parameter of the nearest hit along the ray (1.0 or more: none), filling its normal and attribute.
using dgPolygonSoupRayHitCallback = dgFloat32 (*)(dgPolygonSoupRay* ray);
/// Called with the user data when the shape is destroyed.
using dgPolygonSoupDestroyCallback = void (*)(void* userData);
/// Called for each face a tree collision hands to a collide query.
using dgTreeCollisionFaceCallback = void (*)(const dgBody* soupBody, const dgBody* otherBody,
                                             const dgFloat32* vertices, dgInt32 strideBytes, dgInt32 vertexCount,
                                             const dgInt32* indices);

/// Never cached, no mass, no volume; a body holding it is static. Owns its polygon proxy.
class dgCollisionPolygonalSoup : public dgCollision {
public:
    class dgCollisionConvexPolygon;

    dgCollisionPolygonalSoup(void* userData, dgPolygonSoupCollideCallback collide,
                             dgPolygonSoupRayHitCallback rayHit, dgPolygonSoupDestroyCallback destroy);
    /// Releases the proxy, then calls the destroy callback with the user data.
    ~dgCollisionPolygonalSoup() override;

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    /// The local box spans p0 and p1 per component; a corner that is not finite leaves the box as it was.
    void SetCollisionBBox(const dgVector& p0, const dgVector& p1) override;
    /// The user data (for a tree collision, its database).
    std::uintptr_t GetUserId() const override;
    void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const override;
    /// Hands a query whose soup body is body and whose user data is callback to the collide callback;
    /// a tree collision shows every face, placed by the body's collision matrix, to callback.
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// 1.2 when the pre-filter answers 0 or there is no ray-hit callback; a hit below 1.0 fills the
    /// contact's normal and its attribute (high word 0).
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    dgFloat32 GetVolume() const override;
    void CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const override;
    dgVector CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                  void* context) const override;
    dgUnsigned32 CalcSignature() const override;

    void SetCollideCallback(dgPolygonSoupCollideCallback collide) { m_collide = collide; }
    dgPolygonSoupCollideCallback GetCollideCallback() const { return m_collide; }
    void* GetUserData() const { return m_userData; }
    dgCollisionConvexPolygon* GetProxy() const { return m_proxy; }
    const dgVector& GetBoxMin() const { return m_boxMin; }
    const dgVector& GetBoxMax() const { return m_boxMax; }
    const dgVector& GetBoxSize() const { return m_boxSize; }
    const dgVector& GetBoxOrigin() const { return m_boxOrigin; }

    /// Runs the collide callback with the query (nothing without one).
    void Collide(dgPolygonSoupQuery& query) const;

    // Tree collision: the engine's soup over a dgTreeCollisionSoup.
    /// A new, empty tree collision (one reference, the caller's); faceCallback may be null.
    static dgCollisionPolygonalSoup* CreateTreeCollision(dgWorld* world, dgTreeCollisionFaceCallback faceCallback);
    /// A tree collision read from a stream written by SerializeTree, its box set from the database;
    /// null when the stream is short or inconsistent.
    static dgCollisionPolygonalSoup* CreateTreeCollisionFromStream(dgWorld* world,
                                                                   dgTreeCollisionFaceCallback faceCallback,
                                                                   dgSoupDeserializeCallback callback,
                                                                   void* userData);
    /// The tree soup, or null when this is a user mesh.
    dgTreeCollisionSoup* GetTreeSoup() const;
    /// Opens a build (a build already open is thrown away); false for a user mesh.
    bool BeginTreeBuild();
    /// Adds one face over vertexCount vertices read every strideBytes; false without an open build or
    /// for a face the builder refuses.
    bool AddTreeFace(dgInt32 vertexCount, const dgFloat32* vertices, dgInt32 strideBytes, dgInt32 attribute);
    /// Optionally optimises, builds the tree, sets the box and closes the build; false without an open
    /// build or when the faces give no tree (the database is then empty).
    bool EndTreeBuild(bool optimize);
    /// Writes the tree's database; false for a user mesh.
    bool SerializeTree(dgSoupSerializeCallback callback, void* userData) const;

private:
    dgVector m_boxMin;
    dgVector m_boxMax;
    dgVector m_boxSize; ///< half extents
    dgVector m_boxOrigin;
    void* m_userData;
    dgPolygonSoupCollideCallback m_collide;
    dgPolygonSoupDestroyCallback m_destroy;
    dgPolygonSoupRayHitCallback m_rayHit;
    dgCollisionConvexPolygon* m_proxy; ///< one reference, released by the destructor
};
