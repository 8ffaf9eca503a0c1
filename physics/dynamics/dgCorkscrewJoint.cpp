#include "physics/dynamics/dgCorkscrewJoint.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointMotor.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"

namespace {

constexpr dgInt32 kPointRows = 4;

} // namespace

void dgCorkscrewJoint::InitCorkscrew() {
    Init();
    m_kind = kCorkscrewJoint;
    m_maxRows = 6;
    m_angle = 0.0f;
    m_posit = 0.0f;
    m_userCallback = nullptr;
}

dgFloat32 dgCorkscrewJoint::GetJointOmega() const {
    return dgRelativeOmega(*this, m_body0->m_matrix.RotateVector(m_localMatrix0.front));
}

dgFloat32 dgCorkscrewJoint::GetJointVeloc() const {
    return dgRelativeVeloc(*this, m_body0->m_matrix.RotateVector(m_localMatrix0.front));
}

dgFloat32 dgCorkscrewJoint::CalculateStopAlpha(dgFloat32 angle, const dgJointMotorDesc* desc) const {
    return dgMotorStopAccel(m_angle, angle, GetJointOmega(), desc);
}

dgFloat32 dgCorkscrewJoint::CalculateStopAccel(dgFloat32 posit, const dgJointMotorDesc* desc) const {
    return dgMotorStopAccel(m_posit, posit, GetJointVeloc(), desc);
}

void dgCorkscrewJoint::GetJointForce(dgVector& force) const {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(angles, matrix0, matrix1);
    const dgVector axes[kPointRows] = {matrix0.up, matrix0.right, matrix0.up, matrix0.right};
    force = dgRowForceSum(axes, m_forces, kPointRows);
}

void dgCorkscrewJoint::Release(dgWorld* world) {
    dgConstraint::Release(world);
    world->m_corkscrewJointPool.Release(this);
}

dgInt32 dgCorkscrewJoint::SubmitConstraints(dgJointParams& params) {
    dgVector euler;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(euler, matrix0, matrix1);
    m_angle = -euler.x;
    dgPointParam onLine;
    dgVector anchor1;
    m_posit = dgSubmitPinLineRows(*this, params, matrix0, matrix1, onLine, anchor1);
    if (m_userCallback == nullptr) {
        return kPointRows;
    }
    dgJointMotorDesc desc[2] = {dgMotorDescFor(params), dgMotorDescFor(params)};
    const dgUnsigned32 motors = m_userCallback(this, desc);
    dgInt32 n = kPointRows;
    if ((motors & kSlidingMotor) != 0) {
        n = dgAddLinearMotorRow(*this, params, n, matrix0.front, onLine, desc[0]);
    }
    if ((motors & kTurningMotor) != 0) {
        n = dgAddAngularMotorRow(*this, params, n, matrix0.front, desc[1]);
    }
    return n;
}
