#pragma once
// The shape of a body that takes part in the dynamics but never collides.

#include "physics/collision/dgConvexCollision.h"

/// No vertices, no edges, no volume: every query answers "nothing". Its signature is its class id, so a
/// world shares one null shape among all its bodies.
class dgCollisionNull : public dgConvexCollision {
public:
    explicit dgCollisionNull(dgUnsigned32 signature);

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void SetCollisionBBox(const dgVector& p0, const dgVector& p1) override;
    /// A single point at the placement's origin.
    void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const override;
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// No hit, without asking the pre-filter or touching the record.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    dgFloat32 GetVolume() const override;
    void CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const override;
    dgVector CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                  void* context) const override;
    dgUnsigned32 CalcSignature() const override;
};
