#pragma once
// The world's point probe: a sphere that answers as a single point at its origin.

#include "physics/collision/dgCollisionSphere.h"

/// Radius 1.0 for everything it inherits; no volume, no inertia, and the origin (0, 0, 0, 0) as the
/// support point of every direction. It reports the sphere's class id; IsType also answers
/// dgCollisionPointClassId, so that the narrow phase tells it from a sphere without a run-time type test.
class dgCollisionPoint : public dgCollisionSphere {
public:
    dgCollisionPoint(dgUnsigned32 signature, const dgMatrix& offset);

    bool IsType(dgUnsigned32 typeId) const override;
    dgFloat32 GetVolume() const override;
    void CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const override;
    dgVector SupportVertex(const dgVector& dir) const override;
};
