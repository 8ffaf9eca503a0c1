#pragma once
// Shapes and probes shared by the collision tests.

#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexCollision.h"
#include "physics/collision/dgConvexEdgeTable.h"
#include "physics/dynamics/dgBody.h"

#include <memory>
#include <vector>

/// A right prism over a regular polygon of n sides (radius 1, axis y, from y = -halfHeight to
/// +halfHeight): a convex shape of 6 n half-edges, as many as wanted, on the generic operations only.
class TestPrism : public dgConvexCollision {
public:
    TestPrism(dgInt32 sides, dgFloat32 halfHeight);
    ~TestPrism() override;

    void SetCollisionBBox(const dgVector&, const dgVector&) override {}
    dgUnsigned32 CalcSignature() const override { return GetSignature(); }

    /// Exact volume of the polygonal prism.
    dgFloat32 ExactVolume() const;

private:
    dgInt32 m_sides;
    dgFloat32 m_halfHeight;
    std::vector<dgVector> m_points;
    std::unique_ptr<dgConvexEdgeTable> m_table;
};

/// Every face handed to ForEachDisplayFace, as point lists.
class DisplayedFaces {
public:
    /// Displays shape as placed by bodyMatrix.
    DisplayedFaces(const dgCollision& shape, const dgMatrix& bodyMatrix);

    std::vector<std::vector<dgVector>> m_faces;

private:
    static void Collect(dgBody* body, dgInt32 count, const dgFloat32* points, dgInt32 faceId);
};

/// Ray cast with a fresh record; the record is kept for inspection.
struct RayResult {
    dgFloat32 m_t;
    dgContactPoint m_contact;
};
RayResult CastRay(const dgCollision& shape, const dgVector& p0, const dgVector& p1);
/// The generic support-only ray cast of a convex shape, whatever the class overrides.
RayResult CastRayGeneric(const dgConvexCollision& shape, const dgVector& p0, const dgVector& p1);

/// Buoyancy plane callback whose context is a dgFloat32[4] plane in global space.
dgInt32 FixedPlane(std::uintptr_t userId, void* context, const dgFloat32* globalMatrix, dgFloat32* plane);

inline dgVector P(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return dgVector(x, y, z, 1.0f);
}

inline dgFloat32 Distance2(const dgVector& a, const dgVector& b) {
    const dgVector d = a.Sub(b);
    return d.DotProduct(d);
}

/// A rigid matrix: rotation by angle about a unit axis, then origin.
dgMatrix MakeMatrix(const dgVector& axis, dgFloat32 angle, const dgVector& origin);
