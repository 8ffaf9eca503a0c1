#include "physics/collision/dgCollisionNull.h"

#include "physics/core/dgClassIds.h"

dgCollisionNull::dgCollisionNull(dgUnsigned32 signature)
    : dgConvexCollision(signature, dgGetIdentityMatrix(), kNullCollision) {}

dgUnsigned32 dgCollisionNull::GetTypeId() const {
    return dgCollisionNullClassId;
}

bool dgCollisionNull::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionNullClassId || dgConvexCollision::IsType(typeId);
}

void dgCollisionNull::SetCollisionBBox(const dgVector&, const dgVector&) {}

void dgCollisionNull::CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const {
    minOut = dgVector(matrix.posit.x, matrix.posit.y, matrix.posit.z, 1.0f);
    maxOut = minOut;
}

void dgCollisionNull::ForEachDisplayFace(const dgMatrix&, dgBody*, dgCollisionFaceCallback) const {}

dgFloat32 dgCollisionNull::RayCast(const dgVector&, const dgVector&, dgContactPoint&, dgRayCastPrefilter,
                                   dgBody*, void*) const {
    return kNoHit;
}

dgFloat32 dgCollisionNull::GetVolume() const {
    return 0.0f;
}

void dgCollisionNull::CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const {
    ZeroInertia(inertiaOut, centreOut);
}

dgVector dgCollisionNull::CalcVolumeUnderPlane(const dgMatrix&, dgBuoyancyPlaneCallback, void*) const {
    return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
}

dgUnsigned32 dgCollisionNull::CalcSignature() const {
    return GetSignature();
}
