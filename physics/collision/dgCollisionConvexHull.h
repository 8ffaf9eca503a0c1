#pragma once
// Convex shape made from a cloud of points: the incremental hull of the quantised, welded points.

#include "physics/collision/dgConvexCollision.h"

/// Owns its vertex and edge arrays (freed by the convex base) and a list of its triangles for display.
/// A cloud with fewer than four points apart by the build tolerances (empty, coincident, collinear or
/// coplanar) leaves the shape empty: IsEmpty() tells, and the world's creator refuses such a shape.
class dgCollisionConvexHull : public dgConvexCollision {
public:
    /// Distinct points are those apart by this much in the quantised space.
    static constexpr dgFloat32 kWeldTolerance = 0.01f;
    /// A candidate closer than this above a face does not grow the hull.
    static constexpr dgFloat32 kFlatness = 0.001f;

    /// pointCount points, each starting with three floats, strideInBytes apart (rounded down to whole
    /// floats, at least 12). The signature is the creator's key and is kept as given.
    dgCollisionConvexHull(dgUnsigned32 signature, dgInt32 pointCount, dgInt32 strideInBytes,
                          const dgFloat32* points, const dgMatrix& offset);
    ~dgCollisionConvexHull() override;

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void SetCollisionBBox(const dgVector& p0, const dgVector& p1) override;
    /// One call of three points per triangle.
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    dgUnsigned32 CalcSignature() const override;

    /// True when the cloud was degenerate and the hull has no vertices.
    bool IsEmpty() const { return GetVertexCount() == 0; }
    dgInt32 GetFaceCount() const { return m_faceCount; }

private:
    void Build(dgInt32 pointCount, dgInt32 strideInBytes, const dgFloat32* points);

    dgInt32 m_faceCount;
    const dgConvexSimplexEdge** m_faceArray;
};
