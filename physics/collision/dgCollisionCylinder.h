#pragma once
// Solid cylinder of radius r along the shape's x axis, between x = -h and x = +h.

#include "physics/collision/dgConvexCollision.h"

/// Its polyhedron is an eight-sided prism (stored centre and volume, support start, plane cut); support,
/// ray cast and display follow the round shape, and the display defines volume and inertia.
class dgCollisionCylinder : public dgConvexCollision {
public:
    static constexpr dgInt32 kVertexCount = 16;
    static constexpr dgInt32 kEdgeCount = 48;
    /// Rim points of the display.
    static constexpr dgInt32 kDisplaySides = 24;

    /// Signs of radius and height are dropped.
    dgCollisionCylinder(dgUnsigned32 signature, dgFloat32 radius, dgFloat32 height, const dgMatrix& offset);

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// Hits of the side and of the two caps; a segment starting inside misses.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    dgUnsigned32 CalcSignature() const override;
    /// A rim point of the angular grid on the cap of dir's side (dir.x = 0 counts as the -x cap).
    dgVector SupportVertex(const dgVector& dir) const override;
    /// The prism's cut, with the plane turned about the axis into the prism's x-y plane and back.
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                  dgVector* out) const override;

    dgFloat32 GetRadius() const { return m_radius; }
    dgFloat32 GetHalfHeight() const { return m_halfHeight; }

private:
    dgFloat32 CapHit(dgFloat32 capX, const dgVector& p0, const dgVector& p1,
                     dgContactPoint& contactOut) const;

    dgFloat32 m_halfHeight;
    dgFloat32 m_radius;
    dgFloat32 m_cosStep;
    dgFloat32 m_sinStep;
    dgFloat32 m_step;
    dgFloat32 m_invStep;
    dgVector m_vertices[kVertexCount];
};
