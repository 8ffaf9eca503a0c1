#include "physics/dynamics/dgJointMotor.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgConstraint.h"
#include "physics/dynamics/dgJointParams.h"

#include <cmath>

namespace {

// The stop rule's spring on the distance left, and its damper: a little more than the speed away
// from the target is taken off in one step.
constexpr dgFloat32 kStopGain = 100.0f;
constexpr dgFloat32 kStopDamping = 1.01f;
// Rows that hold a frame axis act at a point this far out along it.
constexpr dgFloat32 kAxisLever = 16.0f;

/// Prepares motor row i from the record: false when the record asks nothing the solver can meet, and
/// then nothing is written. A bound that differs from +-1e15 makes the row a clamped one with both.
bool dgMotorRowBounds(dgJointParams& params, dgInt32 i, const dgJointMotorDesc& desc) {
    // A NaN row would poison the whole island; inverted bounds admit no force at all.
    if (!std::isfinite(desc.m_accel) || !std::isfinite(desc.m_minFriction) ||
        !std::isfinite(desc.m_maxFriction) || desc.m_minFriction > desc.m_maxFriction) {
        return false;
    }
    if (desc.m_minFriction > -dgJointParams::kUnboundedForce ||
        desc.m_maxFriction < dgJointParams::kUnboundedForce) {
        params.m_bounds[i].m_min = desc.m_minFriction;
        params.m_bounds[i].m_max = desc.m_maxFriction;
        params.m_bounds[i].m_class = dgRowBounds::kClamped;
    }
    return true;
}

} // namespace

dgJointMotorDesc dgMotorDescFor(const dgJointParams& params) {
    return {0.0f, -dgJointParams::kUnboundedForce, dgJointParams::kUnboundedForce, params.m_timeStep};
}

dgFloat32 dgMotorStopAccel(dgFloat32 value, dgFloat32 target, dgFloat32 speed, const dgJointMotorDesc* desc,
                           dgFloat32 belowGain) {
    // A record the host filled itself may carry any step; dividing by it must not give inf or NaN.
    if (desc == nullptr || !std::isfinite(desc->m_timestep) || !(desc->m_timestep > 0.0f)) {
        return 0.0f;
    }
    // Divided rather than scaled by 1/h, so a step too small to invert still gives 0 for no speed; a
    // NaN speed counts as none.
    const dgFloat32 h = desc->m_timestep;
    if (value > target) {
        const dgFloat32 away = speed > 0.0f ? speed : 0.0f;
        return (target - value) * kStopGain - away * kStopDamping / h;
    }
    if (value < target) {
        const dgFloat32 away = speed < 0.0f ? speed : 0.0f;
        return (target - value) * belowGain * kStopGain - away * kStopDamping / h;
    }
    return 0.0f;
}

dgInt32 dgAddAngularMotorRow(dgConstraint& joint, dgJointParams& params, dgInt32 n, const dgVector& axis,
                             const dgJointMotorDesc& desc) {
    if (!dgMotorRowBounds(params, n, desc)) {
        return n;
    }
    joint.AddAngularRow(n, params, axis, joint.m_stiffness, 0.0f, &joint.m_forces[n]);
    params.m_accelerations[n] = desc.m_accel;
    return n + 1;
}

dgInt32 dgAddLinearMotorRow(dgConstraint& joint, dgJointParams& params, dgInt32 n, const dgVector& axis,
                            const dgPointParam& pair, const dgJointMotorDesc& desc) {
    if (!dgMotorRowBounds(params, n, desc)) {
        return n;
    }
    joint.AddLinearRow(n, params, axis, pair, &joint.m_forces[n]);
    params.m_accelerations[n] = desc.m_accel;
    return n + 1;
}

dgFloat32 dgRelativeOmega(const dgJointBase& joint, const dgVector& axis) {
    dgVector omega = joint.m_body0->m_omega;
    if (joint.m_body1 != nullptr) {
        omega = omega.Sub(joint.m_body1->m_omega);
    }
    return axis.DotProduct(omega);
}

dgFloat32 dgRelativeVeloc(const dgJointBase& joint, const dgVector& axis) {
    dgVector veloc = joint.m_body0->m_veloc;
    if (joint.m_body1 != nullptr) {
        veloc = veloc.Sub(joint.m_body1->m_veloc);
    }
    return axis.DotProduct(veloc);
}

dgFloat32 dgSubmitPinLineRows(dgConstraint& joint, dgJointParams& params, const dgMatrix& matrix0,
                              const dgMatrix& matrix1, dgPointParam& nearPair, dgVector& anchor1) {
    const dgFloat32 posit = matrix0.front.DotProduct(matrix0.posit.Sub(matrix1.posit));
    // posit0's foot on body1's pin line: the line point at the same position, then moved along the
    // line by what is left of posit0's offset along it.
    anchor1 = matrix1.posit.Add(matrix1.front.Scale(posit));
    anchor1 = anchor1.Add(matrix1.front.Scale(matrix1.front.DotProduct(matrix0.posit.Sub(anchor1))));
    joint.InitPointParam(nearPair, joint.m_stiffness, matrix0.posit, anchor1);
    dgPointParam farPair;
    joint.InitPointParam(farPair, joint.m_stiffness, matrix0.posit.Add(matrix0.front.Scale(kAxisLever)),
                         anchor1.Add(matrix1.front.Scale(kAxisLever)));
    joint.AddLinearRow(0, params, matrix0.up, nearPair, &joint.m_forces[0]);
    joint.AddLinearRow(1, params, matrix0.right, nearPair, &joint.m_forces[1]);
    joint.AddLinearRow(2, params, matrix0.up, farPair, &joint.m_forces[2]);
    joint.AddLinearRow(3, params, matrix0.right, farPair, &joint.m_forces[3]);
    return posit;
}

dgVector dgRowForceSum(const dgVector* directions, const dgFloat32* forces, dgInt32 count) {
    dgVector sum;
    for (dgInt32 i = 0; i < count; i++) {
        sum = sum.Add(directions[i].Scale(forces[i]));
    }
    return dgVector(sum.x, sum.y, sum.z, 0.0f);
}
