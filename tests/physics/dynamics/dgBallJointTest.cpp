#include "physics/dynamics/dgBallJoint.h"
#include "physics/core/dgQuaternion.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"
#include "support/JointScenes.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"
#include "support/SolverBuilds.h"
#include "JointTestBodies.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr dgFloat32 kDegree = 0.01745328f;

dgInt32 Submit(dgBallJoint* joint) {
    dgJointParams params;
    params.m_timeStep = 1.0f / 60.0f;
    params.m_invTimeStep = 60.0f;
    params.ResetBounds(joint->m_maxRows);
    return joint->SubmitConstraints(params);
}

/// Turns the body about the global axis through the origin, starting from its pose hanging at (0, -1, 0).
void Turn(dgBody* body, const dgMatrix& rotation) {
    dgMatrix hanging = dgGetIdentityMatrix();
    hanging.posit = dgVector(0.0f, -1.0f, 0.0f, 1.0f);
    body->SetMatrix(hanging.Multiply(rotation));
}

dgVector Euler(const dgBallJoint* joint) {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    joint->CalcGlobalFrames(angles, matrix0, matrix1);
    return angles;
}

void SwitchConeOn(dgJointBase* joint) {
    static_cast<dgBallJoint*>(joint)->SetConeLimitState(true);
}

/// Weight and 5 N m about the vertical.
void WeightAndTwist(dgBody* body) {
    jointscene::Weight(body);
    const jointscene::Vec3 torque = {0.0f, 5.0f, 0.0f};
    dgApiBodyAddTorque(body, torque.data());
}

::testing::AssertionResult FramesCoincide(const dgBallJoint* joint) {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    joint->CalcGlobalFrames(angles, matrix0, matrix1);
    return MatrixNear(matrix0, matrix1, 1.0e-3f);
}

} // namespace

TEST(dgBallJoint, SubmitWritesThreeToSixRowsAsFlagsAndPoseSelect) {
    JointTestBodies scene;
    scene.m_body0->SetMatrix(dgMatrix(dgGetIdentityMatrix().front, dgGetIdentityMatrix().up,
                                      dgGetIdentityMatrix().right, dgVector(0.0f, -1.0f, 0.0f, 1.0f)));
    dgBallJoint* joint =
        scene.m_world.CreateBallJoint(dgVector(0.0f, 0.0f, 0.0f, 1.0f), scene.m_body0, nullptr);
    ASSERT_NE(joint, nullptr);
    joint->SetConeLimits(dgVector(0.0f, -1.0f, 0.0f, 0.0f), -30.0f * kDegree, 30.0f * kDegree,
                         20.0f * kDegree, dgVector(1.0f, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(Submit(joint), 3);

    // Twist about the hanging pin: inside the range, exactly at it (either way) and past it.
    joint->SetTwistLimitState(true);
    Turn(scene.m_body0, dgRotationMatrixY(10.0f * kDegree));
    EXPECT_EQ(Submit(joint), 3);
    for (const dgFloat32 sign : {1.0f, -1.0f}) {
        Turn(scene.m_body0, dgRotationMatrixY(sign * 25.0f * kDegree));
        const dgFloat32 twist = std::fabs(Euler(joint).x);
        joint->m_twistAngle = twist;
        EXPECT_EQ(Submit(joint), 3) << sign;
        joint->m_twistAngle = twist * 0.99f;
        EXPECT_EQ(Submit(joint), 4) << sign;
        EXPECT_EQ(joint->m_angles.x, -Euler(joint).x);
    }
    joint->SetTwistLimitState(false);

    // Swing off the pin: the cone pair comes only for c strictly below the cone's cosine.
    Turn(scene.m_body0, dgRotationMatrixZ(40.0f * kDegree));
    const dgFloat32 coneCos = joint->m_coneCos;
    joint->SetUserCallback(SwitchConeOn);
    EXPECT_EQ(Submit(joint), 5);
    joint->m_coneCos = std::cos(40.0f * kDegree) - 1.0e-3f;
    EXPECT_EQ(Submit(joint), 3);
    joint->m_coneCos = coneCos;
    joint->SetTwistLimitState(true);
    Turn(scene.m_body0, dgRotationMatrixZ(40.0f * kDegree).Multiply(dgRotationMatrixY(30.0f * kDegree)));
    EXPECT_EQ(Submit(joint), 6);
}

// A twist, then a swing of up to 170 degrees in any direction: the twist limit sees the twist alone.
TEST(dgBallJoint, TwistLimitJudgesTheTwistLeftOnceTheSwingIsTakenOut) {
    JointTestBodies scene;
    dgMatrix hanging = dgGetIdentityMatrix();
    hanging.posit = dgVector(0.0f, -1.0f, 0.0f, 1.0f);
    scene.m_body0->SetMatrix(hanging);
    dgBallJoint* joint =
        scene.m_world.CreateBallJoint(dgVector(0.0f, 0.0f, 0.0f, 1.0f), scene.m_body0, nullptr);
    joint->SetConeLimits(dgVector(0.0f, -1.0f, 0.0f, 0.0f), -30.0f * kDegree, 30.0f * kDegree,
                         20.0f * kDegree, dgVector(1.0f, 0.0f, 0.0f, 0.0f));
    joint->SetTwistLimitState(true);
    for (const dgFloat32 swing : {0.0f, 45.0f, 80.0f, 89.0f, 90.0f, 120.0f, 170.0f}) {
        for (const dgFloat32 heading : {0.0f, 30.0f, 45.0f, 135.0f, 250.0f}) {
            const dgVector axis(std::cos(heading * kDegree), 0.0f, std::sin(heading * kDegree), 0.0f);
            for (const dgFloat32 twist : {10.0f, -10.0f, 30.0f, -30.0f}) {
                const dgQuaternion turn =
                    dgQuaternion::FromAxisAngle(axis, swing * kDegree) *
                    dgQuaternion::FromAxisAngle(dgVector(0.0f, 1.0f, 0.0f, 0.0f), twist * kDegree);
                Turn(scene.m_body0, dgMatrix::FromQuaternion(turn, dgVector(0.0f, 0.0f, 0.0f, 1.0f)));
                dgVector angles;
                dgMatrix matrix0;
                dgMatrix matrix1;
                joint->CalcGlobalFrames(angles, matrix0, matrix1);
                const dgFloat32 measured = dgBallJoint::TwistAngle(matrix0, matrix1);
                EXPECT_NEAR(std::fabs(measured), std::fabs(twist) * kDegree, 1.0e-4f)
                    << swing << " " << heading << " " << twist;
                EXPECT_EQ(Submit(joint), std::fabs(twist) > 20.0f ? 4 : 3)
                    << swing << " " << heading << " " << twist;
            }
        }
    }
    // Swung a half turn, the pin's own turn is no longer a twist: no row rather than one along nothing.
    Turn(scene.m_body0, dgRotationMatrixX(180.0f * kDegree).Multiply(dgRotationMatrixY(30.0f * kDegree)));
    EXPECT_EQ(Submit(joint), 3);
}

TEST(dgBallJoint, LimitsClampAndFramesCoincideInEveryPoseTheyAreMadeIn) {
    JointTestBodies scene;
    RandomGeometry random(31);
    for (int i = 0; i < 50; i++) {
        scene.m_body0->SetMatrix(random.RigidMatrix(3.0f));
        scene.m_body1->SetMatrix(random.RigidMatrix(3.0f));
        dgBallJoint* joint = scene.m_world.CreateBallJoint(random.Point(-3.0f, 3.0f), scene.m_body0,
                                                           i % 2 == 0 ? scene.m_body1 : nullptr);
        EXPECT_TRUE(FramesCoincide(joint)) << i;
        scene.m_body0->SetMatrix(random.RigidMatrix(3.0f));
        const dgFloat32 a = random.Float(-1.0f, 1.0f);
        joint->SetConeLimits(random.UnitVector(), a - 0.5f, a + 0.5f, 0.3f, random.UnitVector());
        EXPECT_TRUE(FramesCoincide(joint)) << i;
        scene.m_world.DestroyJoint(joint);
    }

    dgBallJoint* joint =
        scene.m_world.CreateBallJoint(dgVector(0.0f, 1.0f, 0.0f, 1.0f), scene.m_body0, nullptr);
    const dgVector pin(0.0f, 0.0f, 1.0f, 0.0f);
    const dgVector reference(1.0f, 0.0f, 0.0f, 0.0f);
    joint->SetConeLimits(pin, -200.0f * kDegree, 200.0f * kDegree, 1.0f * kDegree, reference);
    EXPECT_FLOAT_EQ(joint->m_coneAngle, 175.0f * kDegree);
    EXPECT_FLOAT_EQ(joint->m_twistAngle, 5.0f * kDegree);
    // min = -max: no roll, up = reference x pin; otherwise the frames roll by the mean.
    const dgMatrix& body0 = scene.m_body0->m_matrix;
    const dgVector up = reference.CrossProduct(pin);
    EXPECT_TRUE(VectorNear(body0.RotateVector(joint->m_localMatrix0.up), up, kChainTol));
    joint->SetConeLimits(pin, -10.0f * kDegree, 30.0f * kDegree, 1.0f, reference);
    EXPECT_NEAR(body0.RotateVector(joint->m_localMatrix0.up).DotProduct(up), std::cos(10.0f * kDegree),
                kChainTol);

    // A pin that gives no axis, or anything not finite, leaves frames and limits as they were.
    const dgMatrix frame0 = joint->m_localMatrix0;
    const dgFloat32 cone = joint->m_coneAngle;
    const dgFloat32 nan = std::numeric_limits<dgFloat32>::quiet_NaN();
    joint->SetConeLimits(dgVector(0.0f, 0.0f, 1.0e-4f, 0.0f), -1.0f, 1.0f, 1.0f, reference);
    joint->SetConeLimits(dgVector(nan, 0.0f, 1.0f, 0.0f), -1.0f, 1.0f, 1.0f, reference);
    joint->SetConeLimits(pin, -1.0f, 1.0f, 1.0f, dgVector(nan, 0.0f, 0.0f, 0.0f));
    joint->SetConeLimits(pin, nan, 1.0f, 1.0f, reference);
    EXPECT_TRUE(MatrixNear(joint->m_localMatrix0, frame0, 0.0f));
    EXPECT_EQ(joint->m_coneAngle, cone);

    // Finite bounds whose sum overflows still roll the frames by a finite angle, their mean.
    joint->SetConeLimits(pin, 3.0e38f, 3.0e38f, 1.0f, reference);
    EXPECT_TRUE(std::isfinite(joint->m_localMatrix0.up.y) && std::isfinite(joint->m_localMatrix1.right.z));
    EXPECT_TRUE(FramesCoincide(joint));
}

BOTH_BUILDS_SUITE(dgBallJointStepping);

TEST_P(dgBallJointStepping, PendulumSwingsWithTheCompoundPeriodAndHoldsItsPivotAndWeight) {
    using namespace jointscene;
    Pendulum pendulum(5.0f * kDegree);
    float largest = 0.0f;
    const float period = pendulum.MeasurePeriod(largest);
    const float expected = pendulum.ClosedFormPeriod();
    EXPECT_NEAR(period, expected, 0.01f * expected);
    EXPECT_LT(largest, 1.0e-3f);

    Pendulum hanging(0.0f);
    hanging.m_scene.Step(120);
    Vec3 force;
    dgApiBallGetJointForce(hanging.m_joint, force.data());
    EXPECT_NEAR(Length(force), kGravity, 0.01f * kGravity);
    EXPECT_NEAR(std::fabs(force[1]), Length(force), 1.0e-3f * kGravity);
}

TEST_P(dgBallJointStepping, ConeAndTwistLimitsStopTheSwingAndTheTwistNearTheirAngles) {
    using namespace jointscene;
    Pendulum cone(0.0f);
    // Two sub-steps per step: the cone acts from the first sub-step past it, and at 3.7 rad/s one 1/60 s
    // step alone would carry the bob 3.5 degrees beyond.
    dgApiWorldSetMinimumFrameRate(cone.m_scene.m_world, 120.0f);
    const Vec3 hanging = {0.0f, -1.0f, 0.0f};
    dgApiBallSetConeLimits(cone.m_joint, hanging.data(), 30.0f * kDegree, 0.0f);
    // Enough to carry a free bob to 80 degrees.
    const Vec3 push = {4.0f, 0.0f, 0.0f};
    dgApiBodySetVelocity(cone.m_bob, push.data());
    float widest = 0.0f;
    for (int step = 0; step < 300; step++) {
        cone.m_scene.Step();
        widest = std::fmax(widest, cone.SwingAngle());
    }
    EXPECT_LT(widest, 32.0f * kDegree);
    EXPECT_GT(widest, 28.0f * kDegree);

    // A wide plate, so the torque turns it slowly enough for the sub-steps to see the limit coming.
    JointWorld scene;
    dgApiWorldSetMinimumFrameRate(scene.m_world, 120.0f);
    dgBody* body = scene.AddBox({2.0f, 0.1f, 2.0f}, 1.0f, JointWorld::Translation({0.0f, -0.5f, 0.0f}));
    const Vec3 pivot = {0.0f, 0.0f, 0.0f};
    dgJointBase* twist = dgApiJointCreateBall(scene.m_world, pivot.data(), body, nullptr);
    dgApiBallSetConeLimits(twist, hanging.data(), 0.0f, 20.0f * kDegree);
    dgApiBodySetForceAndTorqueCallback(body, WeightAndTwist);
    float widestTwist = 0.0f;
    for (int step = 0; step < 300; step++) {
        scene.Step();
        const Vec3 front = Row(Matrix(body), 0);
        widestTwist = std::fmax(widestTwist, std::fabs(std::atan2(front[2], front[0])));
    }
    EXPECT_LT(widestTwist, 22.0f * kDegree);
    EXPECT_GT(widestTwist, 18.0f * kDegree);
}

TEST_P(dgBallJointStepping, ThirtyLinkChainHoldsItsPivotsAndHangsItsFullLength) {
    using namespace jointscene;
    // Four sub-steps per step and some damping: without damping nothing dissipates the swing, and the
    // explicit step adds energy to fast links at a rate that grows with the sub-step.
    JointWorld scene;
    scene.m_damping = 0.2f;
    dgApiWorldSetMinimumFrameRate(scene.m_world, 240.0f);
    Chain chain(scene, 30, {0.0f, 0.0f, 0.0f});
    float swinging = 0.0f;
    for (int step = 0; step < 1200; step++) {
        scene.Step();
        swinging = std::fmax(swinging, chain.LargestSeparation());
    }
    EXPECT_LT(swinging, 0.025f);
    EXPECT_LT(chain.LargestSeparation(), 1.0e-3f);
    const Vec3 below = {0.0f, -chain.Length(), 0.0f};
    EXPECT_LT(Length(Sub(chain.FreeEnd(), below)), 0.01f * chain.Length());
}

// Released level at 60 Hz without damping: nothing may add energy, so the links' mean height never
// rises above where they started, and the links stay joined.
TEST_P(dgBallJointStepping, LevelRodAndChainReleasedAt60HzGainNoEnergyAndHoldTheirPivots) {
    using namespace jointscene;
    for (const int links : {1, 10}) {
        JointWorld scene;
        Chain chain(scene, links, {0.0f, 0.0f, 0.0f});
        float highest = -1.0f;
        float separation = 0.0f;
        float lastSecond = 0.0f;
        for (int step = 0; step < 600; step++) {
            scene.Step();
            float height = 0.0f;
            for (const dgBody* link : chain.m_links) {
                height += Position(link)[1] / static_cast<float>(links);
            }
            highest = std::fmax(highest, height);
            separation = std::fmax(separation, chain.LargestSeparation());
            lastSecond = step < 540 ? 0.0f : std::fmax(lastSecond, chain.LargestSeparation());
        }
        std::printf("links %d highest %g separation %g last %g\n", links, highest, separation, lastSecond);
        EXPECT_LT(highest, 0.0f) << links;
        EXPECT_LT(separation, 0.1f) << links;
    }
}

TEST_P(dgBallJointStepping, LimitsHoldAForearmAgainstASteadyTorqueWithoutGivingWay) {
    using namespace jointscene;
    // A forearm-sized rod along +x from a pivot on the world, no weight, set half a degree past its 30
    // degree cone (turned about z) or its 20 degree twist (about the pin) and pressed on that way by 50 N m.
    // The stop closes that half degree slowly; a stop giving a share of the torque it holds opened instead
    // (by 0.06 and 2.8 degrees in a step, to 2.8 and 4.8 degrees past within a second).
    static Vec3 s_torque;
    for (const int axis : {2, 0}) {
        const float limit = (axis == 2 ? 30.0f : 20.0f) * kDegree;
        s_torque = {0.0f, 0.0f, 0.0f};
        s_torque[axis] = 50.0f;
        JointWorld scene;
        dgBody* rod = scene.AddBox({0.3f, 0.08f, 0.08f}, 1.5f, JointWorld::Translation({0.15f, 0.0f, 0.0f}));
        const Vec3 pivot = {0.0f, 0.0f, 0.0f};
        const Vec3 pin = {1.0f, 0.0f, 0.0f};
        dgJointBase* ball = dgApiJointCreateBall(scene.m_world, pivot.data(), rod, nullptr);
        dgApiBallSetConeLimits(ball, pin.data(), 30.0f * kDegree, 20.0f * kDegree);
        const dgQuaternion turn = dgQuaternion::FromAxisAngle(
            axis == 2 ? dgVector(0.0f, 0.0f, 1.0f, 0.0f) : dgVector(1.0f, 0.0f, 0.0f, 0.0f), limit + 0.5f * kDegree);
        rod->SetMatrix(rod->m_matrix.Multiply(dgMatrix::FromQuaternion(turn, dgVector(0.0f, 0.0f, 0.0f, 1.0f))));
        dgApiBodySetForceAndTorqueCallback(rod, [](dgBody* body) { dgApiBodyAddTorque(body, s_torque.data()); });
        const auto angle = [&] {
            const Mat4 m = Matrix(rod);
            return axis == 2 ? std::acos(std::fmin(m[0], 1.0f)) : std::fabs(std::atan2(m[6], m[5]));
        };
        float worstGrowth = -1.0f;
        for (int step = 0; step < 60; step++) {
            const float before = angle();
            scene.Step();
            worstGrowth = std::fmax(worstGrowth, angle() - before);
        }
        EXPECT_LT(worstGrowth, 0.01f * kDegree) << "axis " << axis;
        EXPECT_LT(angle() - limit, 0.5f * kDegree) << "axis " << axis;
    }
}
