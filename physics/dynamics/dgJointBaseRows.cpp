// The row builders every joint writes its constraint rows with.

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointBase.h"
#include "physics/dynamics/dgJointParams.h"

namespace {

// A row asks for (kd v + kSpring e) / (kd h + 1) with kd = kSpring h + kDamperBase: a stiff spring
// with a damper that grows with the step, integrated implicitly so the error can't overshoot.
constexpr dgFloat32 kSpring = 1500.0f;
constexpr dgFloat32 kDamperBase = 100.0f;
// Larger centripetal terms come from spinning far faster than any joint can follow.
constexpr dgFloat32 kMaxCentripetal = 10000.0f;
// A step turns a body about its centre at the new omega, which carries a point round the arc by only
// h^2/2 of its centripetal acceleration: the row asks for that half. The whole term pulls a joint's two
// points past each other every step, and the spring that pushes them back feeds the swing, so chains
// and pendulums gain energy until they fly apart.
constexpr dgFloat32 kCentripetalShare = 0.5f;

dgVector AsDirection(const dgVector& v) {
    return dgVector(v.x, v.y, v.z, 0.0f);
}

dgVector Negated(const dgVector& v) {
    return dgVector(-v.x, -v.y, -v.z, 0.0f);
}

dgFloat32 RowAcceleration(dgFloat32 h, dgFloat32 speed, dgFloat32 error) {
    const dgFloat32 kd = kSpring * h + kDamperBase;
    return (kd * speed + kSpring * error) / (kd * h + 1.0f);
}

void SetFeedback(dgJointParams& params, dgInt32 i, dgFloat32* force) {
    params.m_forceFeedback[i] = force;
    params.m_bounds[i].m_slot = i;
}

} // namespace

void dgJointBase::InitPointParam(dgPointParam& pp, dgFloat32 stiffness, const dgVector& p0,
                                 const dgVector& p1) const {
    dgAssert(m_body0 != nullptr);
    pp.m_stiffness = stiffness;
    pp.m_posit0 = p0;
    pp.m_posit1 = p1;
    pp.m_r0 = p0.Sub(m_body0->m_globalCentreOfMass);
    pp.m_veloc0 = m_body0->m_veloc.Add(m_body0->m_omega.CrossProduct(pp.m_r0));
    pp.m_centripetal0 = m_body0->m_omega.CrossProduct(m_body0->m_omega.CrossProduct(pp.m_r0));
    if (m_body1 != nullptr) {
        pp.m_r1 = p1.Sub(m_body1->m_globalCentreOfMass);
        pp.m_veloc1 = m_body1->m_veloc.Add(m_body1->m_omega.CrossProduct(pp.m_r1));
        pp.m_centripetal1 = m_body1->m_omega.CrossProduct(m_body1->m_omega.CrossProduct(pp.m_r1));
    } else {
        pp.m_r1 = dgVector();
        pp.m_veloc1 = dgVector();
        pp.m_centripetal1 = dgVector();
    }
}

void dgJointBase::AddLinearRow(dgInt32 i, dgJointParams& params, const dgVector& dir, const dgPointParam& pp,
                               dgFloat32* force) const {
    dgAssert(i >= 0 && i < dgJointParams::kMaxRows);
    dgJacobianPair& row = params.m_jacobians[i];
    row.m_jacobian0.m_linear = AsDirection(dir);
    row.m_jacobian0.m_angular = AsDirection(pp.m_r0.CrossProduct(dir));
    if (m_body1 != nullptr) {
        row.m_jacobian1.m_linear = Negated(dir);
        row.m_jacobian1.m_angular = Negated(pp.m_r1.CrossProduct(dir));
    } else {
        row.m_jacobian1.m_linear = dgVector();
        row.m_jacobian1.m_angular = dgVector();
    }
    const dgFloat32 centripetal =
        dgClamp(pp.m_centripetal1.Sub(pp.m_centripetal0).DotProduct(dir), -kMaxCentripetal, kMaxCentripetal);
    const dgFloat32 error = pp.m_posit1.Sub(pp.m_posit0).DotProduct(dir);
    const dgFloat32 speed = pp.m_veloc1.Sub(pp.m_veloc0).DotProduct(dir);
    params.m_accelerations[i] = RowAcceleration(params.m_timeStep, speed, error) + kCentripetalShare * centripetal;
    params.m_stiffness[i] = pp.m_stiffness;
    SetFeedback(params, i, force);
}

void dgJointBase::AddAngularRow(dgInt32 i, dgJointParams& params, const dgVector& dir, dgFloat32 stiffness,
                                dgFloat32 angle, dgFloat32* force) const {
    dgAssert(i >= 0 && i < dgJointParams::kMaxRows);
    dgAssert(m_body0 != nullptr);
    dgJacobianPair& row = params.m_jacobians[i];
    row.m_jacobian0.m_linear = dgVector();
    row.m_jacobian0.m_angular = AsDirection(dir);
    row.m_jacobian1.m_linear = dgVector();
    row.m_jacobian1.m_angular = m_body1 != nullptr ? Negated(dir) : dgVector();
    const dgVector omega1 = m_body1 != nullptr ? m_body1->m_omega : dgVector();
    const dgFloat32 speed = omega1.Sub(m_body0->m_omega).DotProduct(dir);
    params.m_accelerations[i] = RowAcceleration(params.m_timeStep, speed, angle);
    params.m_stiffness[i] = stiffness;
    SetFeedback(params, i, force);
}

void dgJointBase::AddGeneralRow(dgInt32 i, dgJointParams& params, const dgFloat32* jacobian0,
                                const dgFloat32* jacobian1, dgFloat32* force) const {
    dgAssert(i >= 0 && i < dgJointParams::kMaxRows);
    dgJacobianPair& row = params.m_jacobians[i];
    row.m_jacobian0.m_linear = dgVector(jacobian0[0], jacobian0[1], jacobian0[2], 0.0f);
    row.m_jacobian0.m_angular = dgVector(jacobian0[3], jacobian0[4], jacobian0[5], 0.0f);
    row.m_jacobian1.m_linear = dgVector(jacobian1[0], jacobian1[1], jacobian1[2], 0.0f);
    row.m_jacobian1.m_angular = dgVector(jacobian1[3], jacobian1[4], jacobian1[5], 0.0f);
    params.m_accelerations[i] = 0.0f;
    params.m_stiffness[i] = 1.0f;
    SetFeedback(params, i, force);
}

dgFloat32 dgJointBase::CalcSpringDamperAcceleration(dgInt32 i, const dgJointParams& params, dgFloat32 x,
                                                    const dgVector& p0, const dgVector& p1, dgFloat32 ks,
                                                    dgFloat32 kd) const {
    dgAssert(i >= 0 && i < dgJointParams::kMaxRows);
    dgAssert(m_body0 != nullptr);
    const dgJacobianPair& row = params.m_jacobians[i];
    dgFloat32 speed = row.m_jacobian0.m_linear.DotProduct(m_body0->m_veloc) +
                      row.m_jacobian0.m_angular.DotProduct(m_body0->m_omega);
    if (m_body1 != nullptr) {
        speed += row.m_jacobian1.m_linear.DotProduct(m_body1->m_veloc) +
                 row.m_jacobian1.m_angular.DotProduct(m_body1->m_omega);
    }
    const dgFloat32 h = params.m_timeStep;
    const dgFloat32 k = h * ks + kd;
    const dgFloat32 stretch = p1.Sub(p0).DotProduct(row.m_jacobian0.m_linear) + x;
    return (k * -speed + ks * stretch) / (k * h + 1.0f);
}
