#pragma once
// The world's point probe: a sphere that answers as a single point at its origin.

#include "physics/collision/dgCollisionSphere.h"

/// Radius 1.0 for everything it inherits; no volume, no inertia, and the origin (0, 0, 0, 0) as the
/// support point of every direction. It reports the sphere's class id.
class dgCollisionPoint : public dgCollisionSphere {
public:
    dgCollisionPoint(dgUnsigned32 signature, const dgMatrix& offset);

    dgFloat32 GetVolume() const override;
    void CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const override;
    dgVector SupportVertex(const dgVector& dir) const override;
};
