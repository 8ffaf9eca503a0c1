#include "physics/dynamics/dgBallJoint.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"

#include <cmath>

namespace {

constexpr dgFloat32 kDegreeToRadian = 0.01745328f;
constexpr dgFloat32 kMinConeAngle = 5.0f * kDegreeToRadian;
constexpr dgFloat32 kMaxConeAngle = 175.0f * kDegreeToRadian;
constexpr dgFloat32 kMinTwistAngle = 5.0f * kDegreeToRadian;
constexpr dgFloat32 kMaxTwistAngle = 90.0f * kDegreeToRadian;
// A little less than pi/2: the limits SetPivot leaves, switched off.
constexpr dgFloat32 kDefaultLimit = 1.570795f;
// Below these squared lengths a direction gives no axis.
constexpr dgFloat32 kMinPivotArm2 = 0.001f;
constexpr dgFloat32 kMinCrossLength2 = 0.001f;
constexpr dgFloat32 kMinPinLength2 = 1.0e-6f;
constexpr dgFloat32 kMinBisectorLength2 = 1.0e-6f;
// Above this a limit point already separating is pushed a tenth harder so it does not creep back.
constexpr dgFloat32 kSeparatingSpeed = 0.001f;
constexpr dgFloat32 kSeparatingBoost = 1.1f;
// The solver lets a row give by its stiffness value times a thousandth of the acceleration its own force
// makes. A limit that stops a limb against a landing takes hundreds of newton-metres on bones of a hundredth
// of a kilogram-metre squared, and that share opened it by a degree within the step it pushed in; a stop
// keeps a hundredth of the joint's give (the rows stay regularised, so their system stays definite).
constexpr dgFloat32 kLimitGiveShare = 0.01f;
constexpr dgFloat32 kConeAxisEpsilon = 1.0e-8f;
constexpr dgFloat32 kMinConeCos = -0.9999f;

dgVector Direction(const dgVector& v) {
    return dgVector(v.x, v.y, v.z, 0.0f);
}

dgVector Unit(const dgVector& v) {
    return Direction(v.Scale(1.0f / std::sqrt(v.DotProduct(v))));
}

bool IsFinite(const dgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

void dgBallJoint::InitBall() {
    Init();
    m_kind = kBallJoint;
    m_maxRows = 6;
    m_angles = dgVector();
    m_limitFlags = 0;
    m_userCallback = nullptr;
}

void dgBallJoint::SetPivot(const dgVector& pivot) {
    const dgMatrix& body0 = m_body0->m_matrix;
    dgVector arm = pivot.Sub(body0.posit);
    if (arm.DotProduct(arm) < kMinPivotArm2) {
        arm = body0.front;
    }
    CalcPinFrames(pivot, arm);
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(angles, matrix0, matrix1);
    SetConeLimits(matrix0.front, -kDefaultLimit, kDefaultLimit, kDefaultLimit, matrix0.right);
}

void dgBallJoint::SetConeLimits(const dgVector& givenPin, dgFloat32 minAngle, dgFloat32 maxAngle, dgFloat32 twist,
                                const dgVector& givenReference) {
    const dgVector pin = dgPinWithFiniteSquare(givenPin);
    const dgVector reference = dgPinWithFiniteSquare(givenReference);
    if (!IsFinite(pin) || !IsFinite(reference) || !std::isfinite(minAngle) || !std::isfinite(maxAngle) ||
        !std::isfinite(twist) || pin.DotProduct(pin) < kMinPinLength2) {
        return;
    }
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(angles, matrix0, matrix1);

    dgVector u = reference.CrossProduct(pin);
    if (u.DotProduct(u) < kMinCrossLength2) {
        u = dgBuildMatrixFromPin(Unit(pin)).up;
    }
    const dgMatrix& body0 = m_body0->m_matrix;
    dgMatrix frame0;
    frame0.front = Unit(body0.InverseRotateVector(pin));
    frame0.up = Unit(body0.InverseRotateVector(u));
    frame0.right = Direction(frame0.front.CrossProduct(frame0.up));
    frame0.posit = body0.InverseTransformVector(matrix1.posit);
    frame0.posit.w = 1.0f;

    m_twistAngle = dgClamp(twist, kMinTwistAngle, kMaxTwistAngle);
    m_coneAngle = dgClamp((maxAngle - minAngle) * 0.5f, kMinConeAngle, kMaxConeAngle);
    m_coneCos = std::cos(m_coneAngle);

    // Halved apart when the sum overflows: two finite bounds always have a finite mean.
    const dgFloat32 sum = minAngle + maxAngle;
    const dgFloat32 roll = std::isfinite(sum) ? sum * 0.5f : minAngle * 0.5f + maxAngle * 0.5f;
    m_localMatrix0 = dgRotationMatrixX(roll).Multiply(frame0);
    const dgMatrix body1 = m_body1 != nullptr ? m_body1->m_matrix : dgGetIdentityMatrix();
    m_localMatrix1 = m_localMatrix0.Multiply(body0).Multiply(body1.Inverse());
}

void dgBallJoint::GetJointOmega(dgVector& omega) const {
    dgVector w = m_body0->m_omega;
    if (m_body1 != nullptr) {
        w = w.Sub(m_body1->m_omega);
    }
    const dgMatrix matrix0 = m_localMatrix0.Multiply(m_body0->m_matrix);
    omega =
        dgVector(matrix0.front.DotProduct(w), matrix0.up.DotProduct(w), matrix0.right.DotProduct(w), 1.0f);
}

void dgBallJoint::GetJointForce(dgVector& force) const {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(angles, matrix0, matrix1);
    force = matrix0.front.Scale(m_forces[0])
                .Add(matrix0.up.Scale(m_forces[1]))
                .Add(matrix0.right.Scale(m_forces[2]));
    force.w = matrix0.front.w;
}

void dgBallJoint::Release(dgWorld* world) {
    dgConstraint::Release(world);
    world->m_ballJointPool.Release(this);
}

dgInt32 dgBallJoint::SubmitConstraints(dgJointParams& params) {
    if (m_userCallback != nullptr) {
        m_userCallback(this);
    }
    dgVector euler;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(euler, matrix0, matrix1);
    m_angles = dgVector(-euler.x, -euler.y, -euler.z, euler.w);

    dgPointParam pp;
    InitPointParam(pp, m_stiffness, matrix0.posit, matrix1.posit);
    AddLinearRow(0, params, matrix0.front, pp, &m_forces[0]);
    AddLinearRow(1, params, matrix0.up, pp, &m_forces[1]);
    AddLinearRow(2, params, matrix0.right, pp, &m_forces[2]);
    dgInt32 n = 3;
    if ((m_limitFlags & kTwistLimit) != 0) {
        n = SubmitTwistLimit(params, n, matrix0, matrix1);
    }
    if ((m_limitFlags & kConeLimit) != 0) {
        n = SubmitConeLimit(params, n, matrix0, matrix1);
    }
    return n;
}

dgFloat32 dgBallJoint::TwistAngle(const dgMatrix& matrix0, const dgMatrix& matrix1) {
    // The relative turn as a quaternion: 1 + trace = 4 w^2 and the sum of the axes' cross products is
    // 4 w v; the twist is twice the angle of the quaternion's part about front0.
    const dgVector v = matrix0.front.CrossProduct(matrix1.front)
                           .Add(matrix0.up.CrossProduct(matrix1.up))
                           .Add(matrix0.right.CrossProduct(matrix1.right));
    const dgFloat32 trace = matrix0.front.DotProduct(matrix1.front) + matrix0.up.DotProduct(matrix1.up) +
                            matrix0.right.DotProduct(matrix1.right);
    return 2.0f * std::atan2(v.DotProduct(matrix0.front), 1.0f + trace);
}

dgInt32 dgBallJoint::SubmitTwistLimit(dgJointParams& params, dgInt32 n, const dgMatrix& matrix0,
                                      const dgMatrix& matrix1) {
    const dgFloat32 twist = TwistAngle(matrix0, matrix1);
    dgFloat32 err;
    if (twist > m_twistAngle) {
        err = twist - m_twistAngle;
    } else if (twist < -m_twistAngle) {
        err = -m_twistAngle - twist;
    } else {
        return n;
    }
    // The twist changes at (front0 + front1) / (1 + c) . (omega1 - omega0): the row turns about that
    // axis, and its error is scaled to the axis's unit length. Without swing these are front0 and 1.
    const dgVector bisector = Direction(matrix0.front.Add(matrix1.front));
    const dgFloat32 length2 = bisector.DotProduct(bisector);
    if (length2 < kMinBisectorLength2) {
        return n; // swung a half turn: no twist is defined
    }
    const dgFloat32 length = std::sqrt(length2);
    const dgVector axis = bisector.Scale(1.0f / length);
    const dgVector lever = Unit(matrix0.right.CrossProduct(axis));
    dgVector dir = Direction(axis.CrossProduct(lever));
    if (twist < 0.0f) {
        dir = Direction(dir.Scale(-1.0f));
    }
    const dgVector q = matrix0.posit.Add(lever.Scale(kLimitLever));
    dgPointParam pp;
    InitPointParam(pp, m_stiffness, q, q);
    AddLimitRow(params, n, pp, dir, err * length * 0.5f, &m_forces[3]);
    return n + 1;
}

dgInt32 dgBallJoint::SubmitConeLimit(dgJointParams& params, dgInt32 n, const dgMatrix& matrix0,
                                     const dgMatrix& matrix1) {
    const dgFloat32 c = matrix0.front.DotProduct(matrix1.front);
    if (!(c < m_coneCos)) {
        return n;
    }
    const dgVector q = matrix0.posit.Add(matrix0.front.Scale(kLimitLever));
    dgPointParam pp;
    InitPointParam(pp, m_stiffness, q, q);
    // a: the axis the pin swings about; b: the way back into the cone.
    dgVector a = Direction(matrix0.front.CrossProduct(matrix1.front));
    a = a.Scale(1.0f / std::sqrt(a.DotProduct(a) + kConeAxisEpsilon));
    AddLinearRow(n, params, a, pp, &m_forces[n]);
    const dgVector b = Direction(a.CrossProduct(matrix0.front));
    const dgFloat32 phi = std::acos(dgMax(c, kMinConeCos));
    AddLimitRow(params, n + 1, pp, b, phi - m_coneAngle, &m_forces[n + 1]);
    return n + 2;
}

void dgBallJoint::AddLimitRow(dgJointParams& params, dgInt32 n, const dgPointParam& pp, const dgVector& dir,
                              dgFloat32 err, dgFloat32* force) const {
    AddLinearRow(n, params, dir, pp, force);
    dgFloat32 s = dir.DotProduct(pp.m_veloc1.Sub(pp.m_veloc0));
    if (s > kSeparatingSpeed) {
        s *= kSeparatingBoost;
    }
    params.m_bounds[n].m_min = 0.0f;
    params.m_bounds[n].m_class = dgRowBounds::kNonNegative;
    params.m_accelerations[n] = (kLimitLever * err + s) * params.m_invTimeStep;
    params.m_stiffness[n] = pp.m_stiffness * kLimitGiveShare;
}
