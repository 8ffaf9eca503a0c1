#include "physics/dynamics/dgUniversalJoint.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointMotor.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"

#include <cmath>

namespace {

constexpr dgFloat32 kAxisLever = 16.0f;
constexpr dgInt32 kPointRows = 4;
// Below this squared length the pins are parallel and c x front0 gives no direction.
constexpr dgFloat32 kParallelPins2 = 1.0e-12f;

dgVector Direction(const dgVector& v) {
    return dgVector(v.x, v.y, v.z, 0.0f);
}

} // namespace

void dgUniversalJoint::InitUniversal() {
    Init();
    m_kind = kUniversalJoint;
    m_maxRows = 6;
    m_angle0 = 0.0f;
    m_angle1 = 0.0f;
    m_userCallback = nullptr;
}

dgFloat32 dgUniversalJoint::GetJointOmega0() const {
    return dgRelativeOmega(*this, m_body0->m_matrix.RotateVector(m_localMatrix0.front));
}

dgFloat32 dgUniversalJoint::GetJointOmega1() const {
    const dgVector pin1 =
        m_body1 != nullptr ? m_body1->m_matrix.RotateVector(m_localMatrix1.up) : m_localMatrix1.up;
    return dgRelativeOmega(*this, pin1);
}

dgFloat32 dgUniversalJoint::CalculateStopAlpha0(dgFloat32 angle, const dgJointMotorDesc* desc) const {
    return dgMotorStopAccel(m_angle0, angle, GetJointOmega0(), desc);
}

dgFloat32 dgUniversalJoint::CalculateStopAlpha1(dgFloat32 angle, const dgJointMotorDesc* desc) const {
    return -dgMotorStopAccel(m_angle1, angle, -GetJointOmega1(), desc);
}

void dgUniversalJoint::GetJointForce(dgVector& force) const {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(angles, matrix0, matrix1);
    const dgVector c = Direction(matrix0.front.CrossProduct(matrix1.up));
    const dgVector axes[kPointRows] = {matrix0.front, matrix1.up, c, matrix0.front};
    force = dgRowForceSum(axes, m_forces, kPointRows);
}

void dgUniversalJoint::Release(dgWorld* world) {
    dgConstraint::Release(world);
    world->m_universalJointPool.Release(this);
}

dgInt32 dgUniversalJoint::SubmitConstraints(dgJointParams& params) {
    dgVector euler;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(euler, matrix0, matrix1);
    const dgVector& front0 = matrix0.front;
    const dgVector& up1 = matrix1.up;
    const dgVector c = Direction(front0.CrossProduct(up1));
    // Pins forced parallel leave c x front0 without a direction; frame 0's up axis stands in.
    dgVector d = Direction(c.CrossProduct(front0));
    const dgFloat32 d2 = d.DotProduct(d);
    d = d2 >= kParallelPins2 ? d.Scale(1.0f / std::sqrt(d2)) : matrix0.up;

    dgPointParam pivot;
    InitPointParam(pivot, m_stiffness, matrix0.posit, matrix1.posit);
    dgPointParam far;
    InitPointParam(far, m_stiffness, matrix0.posit.Add(d.Scale(kAxisLever)),
                   matrix1.posit.Add(up1.Scale(kAxisLever)));
    AddLinearRow(0, params, front0, pivot, &m_forces[0]);
    AddLinearRow(1, params, up1, pivot, &m_forces[1]);
    AddLinearRow(2, params, c, pivot, &m_forces[2]);
    AddLinearRow(3, params, front0, far, &m_forces[3]);
    m_angle0 = dgAtan2(front0.DotProduct(up1.CrossProduct(matrix0.up)), matrix0.up.DotProduct(up1));
    m_angle1 = dgAtan2(up1.DotProduct(front0.CrossProduct(matrix1.front)), front0.DotProduct(matrix1.front));
    if (m_userCallback == nullptr) {
        return kPointRows;
    }
    dgJointMotorDesc desc[2] = {dgMotorDescFor(params), dgMotorDescFor(params)};
    const dgUnsigned32 motors = m_userCallback(this, desc);
    dgInt32 n = kPointRows;
    if ((motors & kPin0Motor) != 0) {
        n = dgAddAngularMotorRow(*this, params, n, front0, desc[0]);
    }
    if ((motors & kPin1Motor) != 0) {
        n = dgAddAngularMotorRow(*this, params, n, up1, desc[1]);
    }
    return n;
}
