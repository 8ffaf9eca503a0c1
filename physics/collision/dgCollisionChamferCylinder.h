#pragma once
// Rounded disc: the solid swept by a ball of radius c whose centre runs over a disc of radius rho in
// the shape's y-z plane. Outer radius rho + c, thickness 2 c along x.

#include "physics/collision/dgConvexCollision.h"

/// Its polyhedron is five rings of eight points round the rim profile (stored centre and volume,
/// support start); support, ray cast, plane cut and display follow the round shape, and the display
/// defines volume and inertia.
class dgCollisionChamferCylinder : public dgConvexCollision {
public:
    static constexpr dgInt32 kVertexCount = 40;
    static constexpr dgInt32 kEdgeCount = 144;
    /// Smallest core disc radius.
    static constexpr dgFloat32 kMinCoreRadius = 0.1f;
    /// Most points of a plane cut.
    static constexpr dgInt32 kMaxCutPoints = 8;

    /// radius is the outer radius, height the thickness; signs are dropped.
    dgCollisionChamferCylinder(dgUnsigned32 signature, dgFloat32 radius, dgFloat32 height,
                               const dgMatrix& offset);

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// The two flat faces directly, everything else through the support ray cast.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    /// The creator's key (radius and half of the height as given), so the cache finds this shape again
    /// even when the core radius was clamped.
    dgUnsigned32 CalcSignature() const override;
    /// For a unit dir: a point of the rounded rim at the nearest lattice direction.
    dgVector SupportVertex(const dgVector& dir) const override;
    /// Cut of the plane (unit normal) with the core cylinder, sampled in eight directions and thinned
    /// to points 1/16 apart; a plane missing the core touches the rim in p alone, if at all.
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                  dgVector* out) const override;

    dgFloat32 GetCoreRadius() const { return m_coreRadius; }
    dgFloat32 GetRimRadius() const { return m_rimRadius; }

private:
    dgVector RimPoint(const dgVector& dir) const;
    dgVector CoreSupport(const dgVector& dir) const;
    bool InsideCore(const dgVector& p) const;
    bool ClipToCore(const dgVector& origin, const dgVector& dir, dgVector& out) const;

    dgFloat32 m_rimRadius;  ///< rim radius c
    dgFloat32 m_coreRadius; ///< core radius rho
    dgFloat32 m_cosStep;
    dgFloat32 m_sinStep;
    dgFloat32 m_step;
    dgFloat32 m_invStep;
    dgFloat32 m_keyRadius; ///< |radius| as the creator keys it
    dgVector m_vertices[kVertexCount];
};
