#pragma once
// Capsule along the shape's x axis: a cylinder of radius r between x = -h and x = +h closed by two
// hemispheres centred at the ends.

#include "physics/collision/dgConvexCollision.h"

/// Its polyhedron is eight rings of six points (stored centre and volume, support start, general plane
/// cut); support, ray cast, cap cut and display follow the round shape, and the display defines volume
/// and inertia.
class dgCollisionCapsule : public dgConvexCollision {
public:
    static constexpr dgInt32 kVertexCount = 48;
    static constexpr dgInt32 kEdgeCount = 180;
    /// Shortest straight part: shorter capsules keep this half length.
    static constexpr dgFloat32 kMinHalfLength = 0.05f;

    /// height is the full length including both caps; signs are dropped.
    dgCollisionCapsule(dgUnsigned32 signature, dgFloat32 radius, dgFloat32 height, const dgMatrix& offset);

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// Hits of the side and of either cap sphere; a segment starting inside misses.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    /// The creator's key (radius and half of the height as given), so the cache finds this shape again
    /// even when the straight part was clamped.
    dgUnsigned32 CalcSignature() const override;
    /// For a unit dir: the tip along the axis, else the best of four points of the angular lattice on
    /// the cap sphere of dir's side.
    dgVector SupportVertex(const dgVector& dir) const override;
    /// Steep planes touch a cap in one point; others cut the polyhedron turned to face the plane.
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                  dgVector* out) const override;

    dgFloat32 GetRadius() const { return m_radius; }
    dgFloat32 GetHalfLength() const { return m_halfLength; }

private:
    dgFloat32 SphereHit(const dgVector& centre, const dgVector& p0, const dgVector& p1,
                        dgContactPoint& contactOut) const;

    dgFloat32 m_halfLength; ///< half length of the straight part
    dgFloat32 m_radius;
    dgFloat32 m_step;
    dgFloat32 m_invStep;
    dgFloat32 m_cosStep;
    dgFloat32 m_sinStep;
    dgFloat32 m_keyHalfHeight; ///< |height| / 2 as the creator keys it
    dgVector m_vertices[kVertexCount];
};
