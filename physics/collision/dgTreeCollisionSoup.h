#pragma once
// The database of a tree collision and the engine's own callbacks of a tree-collision soup shape.

#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/collision/dgDoublePlaneBSPPolygonSoup.h"

class dgPolygonSoupBuilder;
class dgWorld;

/// Held by its soup shape (one reference, given back through dgTreeCollisionDestroyCallback). Answers
/// queries only once a build has ended; until then its database is empty.
class dgTreeCollisionSoup : public dgDoublePlaneBSPPolygonSoup {
public:
    dgTreeCollisionSoup(dgWorld* world, dgTreeCollisionFaceCallback faceCallback);
    /// Frees a builder left open.
    ~dgTreeCollisionSoup() override;

    /// Opens a build, throwing away one already open.
    void BeginBuild();
    /// Adds one face over vertices 0 .. vertexCount - 1; false without an open build or when the
    /// builder refuses the face.
    bool AddFace(dgInt32 vertexCount, const dgFloat32* vertices, dgInt32 strideBytes, dgInt32 attribute);
    /// Optionally optimises, ends the builder, builds the tree and frees the builder; false without an
    /// open build or when no tree came of the faces.
    bool EndBuild(bool optimize);
    bool IsBuilding() const { return m_builder != nullptr; }

    dgWorld* GetWorld() const { return m_world; }
    dgTreeCollisionFaceCallback GetFaceCallback() const { return m_faceCallback; }

private:
    dgWorld* m_world;
    dgPolygonSoupBuilder* m_builder; ///< owned while a build is open, else null
    dgTreeCollisionFaceCallback m_faceCallback;
};

/// Collide callback: the faces whose boxes touch the query box, at most dgPolygonSoupQuery::kMaxFaces
/// faces and fewer than kMaxIndices indices (the first ones found stand).
void dgTreeCollisionCollideCallback(dgPolygonSoupQuery* query);
/// Per-face callback of the collide walk: appends the face to the query; 0 once the query is full.
dgInt32 dgTreeCollisionPolygonCallback(void* context, const dgFloat32* vertices, dgInt32 strideBytes,
                                       const dgInt32* indices, dgInt32 indexCount);
/// Ray-hit callback: the nearest front-face hit; 2.0 when nothing is hit.
dgFloat32 dgTreeCollisionRayHitCallback(dgPolygonSoupRay* ray);
/// Destroy callback: gives back the shape's reference of the tree soup.
void dgTreeCollisionDestroyCallback(void* userData);
/// Collide callback used to display a tree collision: the query's soup body is the body displayed and
/// its user data the dgCollisionFaceCallback; every face goes to it placed by the body's collision matrix.
void dgTreeCollisionDisplayCallback(dgPolygonSoupQuery* query);
