#include "physics/dynamics/dgBody.h"

#include <cmath>

namespace {

constexpr dgFloat32 kDegreeToRadian = 0.01745328f;
constexpr dgFloat32 kMaxStepAngle = 45.0f * kDegreeToRadian;

} // namespace

void dgBody::IntegrateVelocity(dgFloat32 dt, dgVector& velocOut, dgVector& omegaOut) const {
    velocOut = m_veloc.Add(m_force.Scale(dt * m_invMass.w));
    velocOut.w = m_veloc.w;
    const dgVector alpha =
        m_matrix.RotateVector(m_matrix.InverseRotateVector(m_torque).CompProduct(m_invMass));
    omegaOut = m_omega.Add(alpha.Scale(dt));
    omegaOut.w = m_omega.w;
    // A non-finite omega would never shrink below the limit.
    if (!std::isfinite(omegaOut.DotProduct(omegaOut) * dt * dt)) {
        return;
    }
    while (omegaOut.DotProduct(omegaOut) * dt * dt > kMaxStepAngle * kMaxStepAngle) {
        omegaOut = dgVector(omegaOut.x * 0.8f, omegaOut.y * 0.8f, omegaOut.z * 0.8f, omegaOut.w);
    }
}

// Placeholder bodies until the rigid body lands.

void dgBody::SetMassMatrix(dgFloat32, dgFloat32, dgFloat32, dgFloat32) {}
void dgBody::UpdateReportedMass(const dgFloat32*) {}
void dgBody::SetMatrix(const dgMatrix& matrix) { m_matrix = matrix; }
void dgBody::UpdateCollisionMatrix(dgFloat32) {}
void dgBody::IntegrateStep(dgFloat32) {}
void dgBody::IntegrateVelocityAndMatrix(dgFloat32) {}
void dgBody::CalcInvInertiaMatrix(dgMatrix&) const {}
void dgBody::AddImpulse(const dgVector&, const dgVector&) {}
void dgBody::AddBuoyancyForce(dgFloat32, dgFloat32, dgFloat32, const dgVector&, dgBuoyancyPlaneCallback, void*) {}
dgFloat32 dgBody::RayCast(const dgVector&, const dgVector&, dgRayCastFilter, dgRayCastPrefilter, void*,
                          dgFloat32 maxT) {
    return maxT;
}
void dgBody::SetCollision(dgCollision*) {}
