#include "physics/collision/dgCollisionPoint.h"

#include "physics/core/dgClassIds.h"

dgCollisionPoint::dgCollisionPoint(dgUnsigned32 signature, const dgMatrix& offset)
    : dgCollisionSphere(signature, 1.0f, offset) {}

dgFloat32 dgCollisionPoint::GetVolume() const {
    return 0.0f;
}

void dgCollisionPoint::CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const {
    ZeroInertia(inertiaOut, centreOut);
}

dgVector dgCollisionPoint::SupportVertex(const dgVector&) const {
    return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
}

bool dgCollisionPoint::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionPointClassId || dgCollisionSphere::IsType(typeId);
}
