#pragma once
// Ellipsoid with radii rx, ry, rz along the shape's axes: the unit sphere with scaled queries.

#include "physics/collision/dgCollisionSphere.h"

/// The polyhedron, local box, stored centre and volume and the support step are the unit sphere's; every
/// query scales its inputs and outputs by the radii.
class dgCollisionEllipse : public dgCollisionSphere {
public:
    dgCollisionEllipse(dgUnsigned32 signature, dgFloat32 rx, dgFloat32 ry, dgFloat32 rz,
                       const dgMatrix& offset);

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const override;
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// The unit sphere's ray cast on the scaled segment (same t); the normal is the ellipsoid's own.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    /// The unit sphere's result under the plane carried into unit space, scaled back by the radii.
    dgVector CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                  void* context) const override;
    dgUnsigned32 CalcSignature() const override;
    dgVector SupportVertex(const dgVector& dir) const override;
    /// One point: the foot of the centre on the plane, measured in unit-sphere space.
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                  dgVector* out) const override;

    /// (rx, ry, rz, 1.0).
    const dgVector& GetRadii() const { return m_radius; }

private:
    /// The offset matrix with its front, up and right rows scaled by rx, ry, rz.
    dgMatrix ScaledMatrix(const dgMatrix& matrix) const;

    dgVector m_radius;
    dgVector m_invRadius;
};
