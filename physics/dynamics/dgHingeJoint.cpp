#include "physics/dynamics/dgHingeJoint.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointMotor.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"

namespace {

constexpr dgFloat32 kAxisLever = 16.0f;
// Below the target the stop rule pulls sixteen times harder on the angle.
constexpr dgFloat32 kBelowTargetGain = 16.0f;
constexpr dgInt32 kPointRows = 5;

} // namespace

void dgHingeJoint::InitHinge() {
    Init();
    m_kind = kHingeJoint;
    m_maxRows = 6;
    m_angle = 0.0f;
    m_userCallback = nullptr;
}

dgFloat32 dgHingeJoint::GetJointOmega() const {
    return dgRelativeOmega(*this, m_body0->m_matrix.RotateVector(m_localMatrix0.front));
}

dgFloat32 dgHingeJoint::CalculateStopAlpha(dgFloat32 angle, const dgJointMotorDesc* desc) const {
    return dgMotorStopAccel(m_angle, angle, GetJointOmega(), desc, kBelowTargetGain);
}

void dgHingeJoint::GetJointForce(dgVector& force) const {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(angles, matrix0, matrix1);
    const dgVector axes[kPointRows] = {matrix0.front, matrix0.up, matrix0.right, matrix0.up, matrix0.right};
    force = dgRowForceSum(axes, m_forces, kPointRows);
}

void dgHingeJoint::Release(dgWorld* world) {
    dgConstraint::Release(world);
    world->m_hingeJointPool.Release(this);
}

dgInt32 dgHingeJoint::SubmitConstraints(dgJointParams& params) {
    dgVector euler;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(euler, matrix0, matrix1);
    m_angle = -euler.x;

    dgPointParam pivot;
    InitPointParam(pivot, m_stiffness, matrix0.posit, matrix1.posit);
    dgPointParam far;
    InitPointParam(far, m_stiffness, matrix0.posit.Add(matrix0.front.Scale(kAxisLever)),
                   matrix1.posit.Add(matrix1.front.Scale(kAxisLever)));
    AddLinearRow(0, params, matrix0.front, pivot, &m_forces[0]);
    AddLinearRow(1, params, matrix0.up, pivot, &m_forces[1]);
    AddLinearRow(2, params, matrix0.right, pivot, &m_forces[2]);
    AddLinearRow(3, params, matrix0.up, far, &m_forces[3]);
    AddLinearRow(4, params, matrix0.right, far, &m_forces[4]);
    if (m_userCallback == nullptr) {
        return kPointRows;
    }
    dgJointMotorDesc desc = dgMotorDescFor(params);
    if (m_userCallback(this, &desc) == 0) {
        return kPointRows;
    }
    return dgAddAngularMotorRow(*this, params, kPointRows, matrix0.front, desc);
}
