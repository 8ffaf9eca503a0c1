#include "physics/collision/dgCollisionPoint.h"

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
