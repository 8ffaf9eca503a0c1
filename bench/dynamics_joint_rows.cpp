// Row writing: every awake joint writes its rows once per sub-step, a resting contact pair up to 48.

#include "physics/dynamics/dgBallJoint.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgConstraint.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgCorkscrewJoint.h"
#include "physics/dynamics/dgHingeJoint.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgSliderJoint.h"
#include "physics/dynamics/dgUniversalJoint.h"

#include <benchmark/benchmark.h>

#include <type_traits>

namespace {

constexpr dgUnsigned32 kFrictionBoth =
    dgContactMaterial::kCollidable | dgContactMaterial::kFriction0 | dgContactMaterial::kFriction1;

void MovingBodies(dgBody& body0, dgBody& body1) {
    body0.m_matrix = dgGetIdentityMatrix();
    body0.m_matrix.posit = dgVector(0.0f, 0.5f, 0.0f, 1.0f);
    body0.m_globalCentreOfMass = body0.m_matrix.posit;
    body0.m_veloc = dgVector(0.2f, -1.0f, 0.1f, 0.0f);
    body0.m_omega = dgVector(0.3f, 0.1f, -0.2f, 0.0f);
    body1.m_matrix = dgGetIdentityMatrix();
    body1.m_globalCentreOfMass = dgVector(0.0f, -0.5f, 0.0f, 1.0f);
}

/// Puts the joint between the two bodies without a world: rows only read the bodies.
void Join(dgJointBase& joint, dgBody& body0, dgBody& body1) {
    joint.m_body0 = &body0;
    joint.m_body1 = &body1;
}

/// Times the joint's submits into one record; reports its rows.
void TimeSubmits(benchmark::State& state, dgJointBase& joint) {
    dgJointParams params;
    params.m_timeStep = 1.0f / 60.0f;
    params.m_invTimeStep = 60.0f;
    dgInt32 rows = 0;
    for (auto _ : state) {
        params.ResetBounds(joint.m_maxRows);
        rows = joint.SubmitConstraints(params);
        benchmark::DoNotOptimize(params.m_accelerations[0]);
    }
    state.counters["rows"] = rows;
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_dgContactJoint_SubmitConstraints(benchmark::State& state) {
    dgBody body0;
    dgBody body1;
    MovingBodies(body0, body1);
    dgContactJoint joint;
    joint.m_body0 = &body0;
    joint.m_body1 = &body1;
    const dgInt32 points = static_cast<dgInt32>(state.range(0));
    for (dgInt32 i = 0; i < points; i++) {
        dgContact& point = joint.m_points.Append()->GetInfo();
        point.m_point.m_point = dgVector(dgFloat32(i % 4) * 0.25f, 0.0f, dgFloat32(i / 4) * 0.25f, 1.0f);
        point.m_point.m_normal = dgVector(0.0f, 1.0f, 0.0f, 0.0f);
        point.m_point.m_penetration = 0.01f;
        point.m_dir0 = dgVector(1.0f, 0.0f, 0.0f, 0.0f);
        point.m_dir1 = dgVector(0.0f, 0.0f, 1.0f, 0.0f);
        point.m_softness = 0.1f;
        point.m_elasticity = 0.4f;
        point.m_flags = kFrictionBoth;
    }
    joint.SetPointCount(points);
    TimeSubmits(state, joint);
}
BENCHMARK(BM_dgContactJoint_SubmitConstraints)->Arg(1)->Arg(4)->Arg(16);

/// Six rows of a two-body joint pinned at a point: three linear, three angular.
class SixRowJoint : public dgConstraint {
public:
    dgInt32 SubmitConstraints(dgJointParams& params) override {
        dgVector angles;
        dgMatrix matrix0;
        dgMatrix matrix1;
        CalcGlobalFrames(angles, matrix0, matrix1);
        dgPointParam pp;
        InitPointParam(pp, m_stiffness, matrix0.posit, matrix1.posit);
        AddLinearRow(0, params, matrix0.front, pp, &m_forces[0]);
        AddLinearRow(1, params, matrix0.up, pp, &m_forces[1]);
        AddLinearRow(2, params, matrix0.right, pp, &m_forces[2]);
        AddAngularRow(3, params, matrix0.front, m_stiffness, angles.x, &m_forces[3]);
        AddAngularRow(4, params, matrix0.up, m_stiffness, angles.y, &m_forces[4]);
        AddAngularRow(5, params, matrix0.right, m_stiffness, angles.z, &m_forces[5]);
        return 6;
    }
};

void BM_dgConstraint_SixRows(benchmark::State& state) {
    dgBody body0;
    dgBody body1;
    MovingBodies(body0, body1);
    SixRowJoint joint;
    joint.Init();
    Join(joint, body0, body1);
    joint.CalcPinFrames(dgVector(0.0f, 0.0f, 0.0f, 1.0f), dgVector(0.0f, 1.0f, 0.0f, 0.0f));
    body0.m_matrix = dgRotationMatrixY(0.1f);
    body0.m_matrix.posit = dgVector(0.01f, 0.5f, 0.0f, 1.0f);
    TimeSubmits(state, joint);
}
BENCHMARK(BM_dgConstraint_SixRows);

/// A ball joint between two moving bodies, pinned at the origin: arg 0 without limits, 1 with the twist
/// limit passed, 2 with the cone passed as well.
void BM_dgBallJoint_SubmitConstraints(benchmark::State& state) {
    dgBody body0;
    dgBody body1;
    MovingBodies(body0, body1);
    dgBallJoint joint;
    joint.InitBall();
    Join(joint, body0, body1);
    joint.SetPivot(dgVector(0.0f, 0.0f, 0.0f, 1.0f));
    joint.SetConeLimits(dgVector(0.0f, 1.0f, 0.0f, 0.0f), -0.3f, 0.3f, 0.2f,
                        dgVector(1.0f, 0.0f, 0.0f, 0.0f));
    const dgInt64 limits = state.range(0);
    joint.SetTwistLimitState(limits >= 1);
    joint.SetConeLimitState(limits >= 2);
    // Twisted 0.4 rad about the pin and, for the cone, swung 0.5 rad off it.
    const dgMatrix swing = limits >= 2 ? dgRotationMatrixZ(0.5f) : dgGetIdentityMatrix();
    const dgVector posit = body0.m_matrix.posit;
    body0.m_matrix = dgRotationMatrixY(0.4f).Multiply(swing);
    body0.m_matrix.posit = posit;
    TimeSubmits(state, joint);
}
BENCHMARK(BM_dgBallJoint_SubmitConstraints)->Arg(0)->Arg(1)->Arg(2);

/// A motor callback asking for every motor row, within force bounds.
dgUnsigned32 BoundedMotors(dgJointBase*, dgJointMotorDesc* desc) {
    desc[0].m_accel = 2.0f;
    desc[0].m_minFriction = -5.0f;
    desc[0].m_maxFriction = 5.0f;
    return 1;
}

dgUnsigned32 BothBoundedMotors(dgJointBase* joint, dgJointMotorDesc* desc) {
    BoundedMotors(joint, desc + 1);
    BoundedMotors(joint, desc);
    return 3;
}

/// Times a motor joint between two moving bodies with frames from the origin and pin (and pin1 for
/// the universal joint), body0 turned off them a little; arg 1 sets the motor callback.
template <class Joint, class Callback>
void TimeMotorJoint(benchmark::State& state, void (Joint::*reset)(), Callback callback) {
    dgBody body0;
    dgBody body1;
    MovingBodies(body0, body1);
    Joint joint;
    (joint.*reset)();
    Join(joint, body0, body1);
    const dgVector origin(0.0f, 0.0f, 0.0f, 1.0f);
    if constexpr (std::is_same_v<Joint, dgUniversalJoint>) {
        joint.CalcTwoPinFrames(origin, dgVector(1.0f, 0.0f, 0.0f, 0.0f), dgVector(0.0f, 1.0f, 0.0f, 0.0f));
    } else {
        joint.CalcPinFrames(origin, dgVector(0.0f, 1.0f, 0.0f, 0.0f));
    }
    if (state.range(0) != 0) {
        joint.SetUserCallback(callback);
    }
    const dgVector posit = body0.m_matrix.posit;
    body0.m_matrix = dgRotationMatrixY(0.2f).Multiply(dgRotationMatrixZ(0.05f));
    body0.m_matrix.posit = posit;
    TimeSubmits(state, joint);
}

void BM_dgHingeJoint_SubmitConstraints(benchmark::State& state) {
    TimeMotorJoint(state, &dgHingeJoint::InitHinge, BoundedMotors);
}
BENCHMARK(BM_dgHingeJoint_SubmitConstraints)->Arg(0)->Arg(1);

void BM_dgSliderJoint_SubmitConstraints(benchmark::State& state) {
    TimeMotorJoint(state, &dgSliderJoint::InitSlider, BoundedMotors);
}
BENCHMARK(BM_dgSliderJoint_SubmitConstraints)->Arg(0)->Arg(1);

void BM_dgCorkscrewJoint_SubmitConstraints(benchmark::State& state) {
    TimeMotorJoint(state, &dgCorkscrewJoint::InitCorkscrew, BothBoundedMotors);
}
BENCHMARK(BM_dgCorkscrewJoint_SubmitConstraints)->Arg(0)->Arg(1);

void BM_dgUniversalJoint_SubmitConstraints(benchmark::State& state) {
    TimeMotorJoint(state, &dgUniversalJoint::InitUniversal, BothBoundedMotors);
}
BENCHMARK(BM_dgUniversalJoint_SubmitConstraints)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
