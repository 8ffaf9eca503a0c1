#include "physics/dynamics/dgSliderJoint.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointMotor.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"

namespace {

constexpr dgFloat32 kAxisLever = 16.0f;
constexpr dgInt32 kPointRows = 5;

} // namespace

void dgSliderJoint::InitSlider() {
    Init();
    m_kind = kSliderJoint;
    m_maxRows = 6;
    m_posit = 0.0f;
    m_userCallback = nullptr;
}

dgFloat32 dgSliderJoint::GetJointVeloc() const {
    return dgRelativeVeloc(*this, m_body0->m_matrix.RotateVector(m_localMatrix0.front));
}

dgFloat32 dgSliderJoint::CalculateStopAccel(dgFloat32 posit, const dgJointMotorDesc* desc) const {
    return dgMotorStopAccel(m_posit, posit, GetJointVeloc(), desc);
}

void dgSliderJoint::GetJointForce(dgVector& force) const {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(angles, matrix0, matrix1);
    const dgVector axes[kPointRows] = {matrix0.up, matrix0.right, matrix0.up, matrix0.right, matrix0.right};
    force = dgRowForceSum(axes, m_forces, kPointRows);
}

void dgSliderJoint::Release(dgWorld* world) {
    dgConstraint::Release(world);
    world->m_sliderJointPool.Release(this);
}

dgInt32 dgSliderJoint::SubmitConstraints(dgJointParams& params) {
    dgVector euler;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(euler, matrix0, matrix1);
    dgPointParam onLine;
    dgVector anchor1;
    m_posit = dgSubmitPinLineRows(*this, params, matrix0, matrix1, onLine, anchor1);
    dgPointParam side;
    InitPointParam(side, m_stiffness, matrix0.posit.Add(matrix0.up.Scale(kAxisLever)),
                   anchor1.Add(matrix1.up.Scale(kAxisLever)));
    AddLinearRow(4, params, matrix0.right, side, &m_forces[4]);
    if (m_userCallback == nullptr) {
        return kPointRows;
    }
    dgJointMotorDesc desc = dgMotorDescFor(params);
    if (m_userCallback(this, &desc) == 0) {
        return kPointRows;
    }
    return dgAddLinearMotorRow(*this, params, kPointRows, matrix0.front, onLine, desc);
}
