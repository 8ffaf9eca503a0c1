#pragma once
// Right circular cone along the shape's x axis: apex at x = +H/2, base disc of radius r at x = -H/2.

#include "physics/collision/dgConvexCollision.h"

/// Its polyhedron is an eight-sided pyramid (stored centre and volume, volume under a plane, plane cut);
/// support is the round cone's at a fine angular step, so the local box, ray cast, volume and inertia
/// (from the 24-sided display) follow the round shape.
class dgCollisionCone : public dgConvexCollision {
public:
    static constexpr dgInt32 kVertexCount = 9;
    static constexpr dgInt32 kEdgeCount = 32;
    /// Rim points of the display.
    static constexpr dgInt32 kDisplaySides = 24;

    /// Signs of radius and height are dropped.
    dgCollisionCone(dgUnsigned32 signature, dgFloat32 radius, dgFloat32 height, const dgMatrix& offset);

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    dgUnsigned32 CalcSignature() const override;
    /// For a unit dir: the apex inside the apex's cone of normals, else the better of two rim points of
    /// the angular grid (w 1.0).
    dgVector SupportVertex(const dgVector& dir) const override;
    /// The pyramid's cut, taken with the plane turned about the axis into the pyramid's x-y plane and
    /// the points turned back, so the cut's shape does not depend on where round the axis the plane faces.
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                  dgVector* out) const override;

    dgFloat32 GetRadius() const { return m_radius; }
    dgFloat32 GetHalfHeight() const { return m_halfHeight; }

private:
    dgFloat32 m_halfHeight;
    dgFloat32 m_radius;
    dgFloat32 m_sinAngle; ///< sine of the half angle at the apex
    dgFloat32 m_cosStep;
    dgFloat32 m_sinStep;
    dgFloat32 m_step;
    dgFloat32 m_invStep;
    dgVector m_vertices[kVertexCount];
};
