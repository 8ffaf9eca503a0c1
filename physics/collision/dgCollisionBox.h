#pragma once
// Solid box centred on its offset matrix's origin.

#include "physics/collision/dgConvexCollision.h"

/// Eight corners over the shared cube topology; support, world box, ray cast and plane cut are exact.
class dgCollisionBox : public dgConvexCollision {
public:
    /// x, y, z are full sizes; their signs are dropped.
    dgCollisionBox(dgUnsigned32 signature, dgFloat32 x, dgFloat32 y, dgFloat32 z, const dgMatrix& offset);
    ~dgCollisionBox() override;

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void SetCollisionBBox(const dgVector& p0, const dgVector& p1) override;
    void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const override;
    /// Clips the segment by the six face planes; a segment starting inside is no hit.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    dgUnsigned32 CalcSignature() const override;
    /// The corner (+-hx, +-hy, +-hz) on dir's side, w 0; a zero or NaN component takes +.
    dgVector SupportVertex(const dgVector& dir) const override;
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                  dgVector* out) const override;

    /// (hx, hy, hz, 1.0).
    const dgVector& GetHalfExtents() const { return m_halfExtents; }

private:
    dgVector m_halfExtents;
    dgVector m_vertices[8]; ///< corner k has -x when bit 0 of k is set, -y for bit 1, -z for bit 2
};
