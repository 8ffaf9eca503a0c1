#pragma once
// One polygon of a soup standing in as a convex shape, so the convex-pair solver can run against it.

#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/collision/dgConvexCollision.h"

class dgContactPoint;

/// The soup contact code points the proxy at a face (SetFace), asks a set-up test whether the face can
/// touch the convex shape, which also copies the face in, and then uses it as shape 1 of the solver.
/// Never in a body; one per soup, so two queries on one soup must not interleave.
class dgCollisionPolygonalSoup::dgCollisionConvexPolygon : public dgConvexCollision {
public:
    /// Most vertices a face may have; larger ones are refused by the set-up tests.
    static constexpr dgInt32 kMaxVertices = 64;
    /// Half thickness of the slab around the face that a shape must reach into.
    static constexpr dgFloat32 kSlab = 0.1f;
    /// Contact normals below this dot product with the face normal are dropped, below kFaceDot they
    /// are edge contacts.
    static constexpr dgFloat32 kDropDot = 0.1f;
    static constexpr dgFloat32 kFaceDot = 0.999f;

    dgCollisionConvexPolygon();

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void SetCollisionBBox(const dgVector& p0, const dgVector& p1) override;
    /// A single face is never hit: 1.2.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    dgFloat32 GetVolume() const override;
    void CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const override;
    dgUnsigned32 CalcSignature() const override;
    /// The copied vertex farthest along dir; ties go to the first.
    dgVector SupportVertex(const dgVector& dir) const override;
    /// The face itself for a plane parallel to it (thinned to kMaxPlaneIntersectionPoints), else the
    /// crossings of its edges.
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point, dgVector* out) const override;

    /// Points the proxy at a face: indexCount indices into vertices (read every strideBytes).
    void SetFace(const dgFloat32* vertices, dgInt32 strideBytes, const dgInt32* indices, dgInt32 indexCount);
    /// Discrete pre-test: true, with the face copied in, when the shape placed by matrix (in the soup's
    /// space) reaches into the slab kSlab thick on each side of the face's plane.
    bool SetupTest(const dgConvexCollision& shape, const dgMatrix& matrix);
    /// Continuous pre-test: true, with the face copied in, unless the whole shape lies behind the plane.
    bool SetupContinuousTest(const dgConvexCollision& shape, const dgMatrix& matrix);
    /// Nearest point of the face to centre (soup space) into out; false when it is farther than radius.
    bool SphereClosestPoint(const dgVector& centre, dgFloat32 radius, dgVector& out);
    /// Flags each record 1 (edge contact) or 0 (face contact) by its normal against the face's normal
    /// carried by the soup body's collision matrix; drops records below kDropDot (the last one moves
    /// into the gap). Returns the count kept.
    dgInt32 FilterContacts(dgInt32 count, dgContactPoint* contacts, const dgBody* soupBody,
                           dgUnsigned8* flags) const;

    /// Unit normal of the current face (soup space), valid after a set-up test.
    const dgVector& GetFaceNormal() const { return m_normal; }
    dgInt32 GetFaceVertexCount() const { return m_count; }

private:
    bool HasUsableFace() const;
    dgVector FaceVertex(dgInt32 i) const;
    void CalcFaceNormal();
    void CopyFace();
    /// The copied vertices to out, reduced to the caller's room; answers their number.
    dgInt32 WholeFace(dgVector* out) const;

    dgVector m_normal;
    dgVector m_localPoly[kMaxVertices];
    dgInt32 m_count;
    dgInt32 m_stride; ///< floats
    const dgInt32* m_index;
    const dgFloat32* m_vertex;
};
