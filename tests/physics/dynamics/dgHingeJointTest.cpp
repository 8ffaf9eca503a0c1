// Hinge joint: a physical pendulum's period, the pin's stiffness under torque, the motor and the stop
// rule against closed forms, the rows a submit writes and the motor records it refuses.

#include "physics/dynamics/dgHingeJoint.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"
#include "support/JointScenes.h"
#include "support/MathAssertions.h"
#include "support/SolverBuilds.h"
#include "JointTestBodies.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using namespace jointscene;

constexpr float kDegree = kPi / 180.0f;
const dgVector kOrigin(0.0f, 0.0f, 0.0f, 1.0f);
const dgVector kPinY(0.0f, 1.0f, 0.0f, 0.0f);

Vec3 g_torque = {0.0f, 0.0f, 0.0f};

void WeightAndTorque(dgBody* body) {
    Weight(body);
    dgApiBodyAddTorque(body, g_torque.data());
}

Vec3 Omega(const dgBody* body) {
    Vec3 omega;
    dgApiBodyGetOmega(body, omega.data());
    return omega;
}

unsigned SpinUpToFive(dgJointBase* joint, dgJointMotorDesc* desc) {
    desc->m_accel = (5.0f - dgApiHingeGetJointOmega(joint)) / desc->m_timestep;
    desc->m_minFriction = -2.0f;
    desc->m_maxFriction = 2.0f;
    return 1;
}

unsigned StopAtThirtyDegrees(dgJointBase* joint, dgJointMotorDesc* desc) {
    desc->m_accel = dgApiHingeCalculateStopAlpha(joint, desc, 30.0f * kDegree);
    return 1;
}

/// The hinge body's angular speed about y after the steps, under g_torque.
float SpinAfter(int steps) {
    JointWorld scene;
    dgCollision* shape = dgApiCollisionCreateBox(scene.m_world, 1.0f, 1.0f, 1.0f, nullptr);
    dgBody* body =
        scene.AddBody(shape, 1.0f, {0.5f, 0.5f, 0.5f}, JointWorld::Translation({0.0f, 0.0f, 0.0f}));
    dgApiBodySetForceAndTorqueCallback(body, WeightAndTorque);
    const Vec3 pin = {0.0f, 1.0f, 0.0f};
    const Vec3 pivot = {0.0f, 0.0f, 0.0f};
    dgApiHingeSetUserCallback(dgApiJointCreateHinge(scene.m_world, pivot.data(), pin.data(), body, nullptr),
                              SpinUpToFive);
    scene.Step(steps);
    return Omega(body)[1];
}

/// The rod's omega after 30 steps swinging from 30 degrees without a callback.
float FreeSwingOmega() {
    HingedRod rod(30.0f * kDegree);
    rod.m_scene.Step(30);
    return dgApiHingeGetJointOmega(rod.m_hinge);
}

} // namespace

BOTH_BUILDS_SUITE(dgHingeJointStepping);

TEST_P(dgHingeJointStepping, RodSwingsWithThePhysicalPendulumPeriod) {
    HingedRod rod(10.0f * kDegree);
    std::vector<float> crossings;
    float lastX = Position(rod.m_rod)[0];
    for (int step = 1; step <= 720 && crossings.size() < 11; step++) {
        rod.m_scene.Step();
        const float x = Position(rod.m_rod)[0];
        if ((x > 0.0f) != (lastX > 0.0f)) {
            crossings.push_back((static_cast<float>(step) - x / (x - lastX)) * kStep);
        }
        lastX = x;
    }
    ASSERT_EQ(crossings.size(), 11u);
    const float pivotInertia = (1.0f + 0.01f) / 12.0f + 0.25f;
    const float period = 2.0f * kPi * std::sqrt(pivotInertia / (kGravity * 0.5f));
    EXPECT_NEAR((crossings[10] - crossings[0]) / 5.0f, period, 0.01f * period);
}

TEST_P(dgHingeJointStepping, PinHoldsItsDirectionUnderTorqueAndCarriesTheWeight) {
    // Across pin and rod the far-point rows work on the rod's large inertia, about the rod's own axis
    // on its small one.
    for (const auto& [axis, largestTilt] : {std::pair{0, 0.1f}, std::pair{1, 3.0f}}) {
        HingedRod rod(0.0f);
        g_torque = {0.0f, 0.0f, 0.0f};
        g_torque[axis] = 20.0f;
        dgApiBodySetForceAndTorqueCallback(rod.m_rod, WeightAndTorque);
        rod.m_scene.Step(60);
        const float tilt = std::acos(std::fmin(Row(Matrix(rod.m_rod), 2)[2], 1.0f));
        EXPECT_LT(tilt, largestTilt * kDegree) << axis;
        const Vec3 omega = Omega(rod.m_rod);
        EXPECT_LT(std::hypot(omega[0], omega[1]), 0.01f) << axis;
    }
    g_torque = {0.0f, 0.0f, 0.0f};

    HingedRod rod(0.0f);
    rod.m_scene.Step(120);
    Vec3 force;
    dgApiHingeGetJointForce(rod.m_hinge, force.data());
    EXPECT_NEAR(Length(force), kGravity, 0.02f * kGravity);
}

TEST_P(dgHingeJointStepping, FrictionBoundMotorAcceleratesAtItsTorqueAndHoldsItsSpeed) {
    g_torque = {0.0f, 0.0f, 0.0f};
    EXPECT_NEAR(SpinAfter(30), 4.0f * 0.5f, 0.03f * 2.0f);
    EXPECT_NEAR(SpinAfter(180), 5.0f, 0.01f * 5.0f);
    g_torque = {0.0f, -1.0f, 0.0f};
    EXPECT_NEAR(SpinAfter(30), 2.0f * 0.5f, 0.03f * 1.0f);
    g_torque = {0.0f, 0.0f, 0.0f};
}

TEST_P(dgHingeJointStepping, StopRuleHoldsARodAtItsTargetAndPullsHarderBelowIt) {
    HingedRod rod(90.0f * kDegree);
    dgApiHingeSetUserCallback(rod.m_hinge, StopAtThirtyDegrees);
    rod.m_scene.Step(180);
    EXPECT_NEAR(dgApiHingeGetJointAngle(rod.m_hinge), 30.0f * kDegree, kDegree);
    // The rod has really turned by the angle read, about the pin.
    EXPECT_NEAR(std::fabs(Position(rod.m_rod)[1]), 0.5f * std::sin(30.0f * kDegree), 0.5f * kDegree);

    JointTestBodies scene;
    dgHingeJoint* joint = scene.m_world.CreateHingeJoint(kOrigin, kPinY, scene.m_body0, nullptr);
    joint->m_angle = 0.25f;
    const dgJointMotorDesc desc = FreeMotor();
    EXPECT_EQ(joint->CalculateStopAlpha(0.25f, &desc), 0.0f);
    EXPECT_FLOAT_EQ(joint->CalculateStopAlpha(0.375f, &desc),
                    -16.0f * joint->CalculateStopAlpha(0.125f, &desc));
    // A record without a usable step gives nothing, never inf or NaN.
    for (const float step : {0.0f, -1.0f / 60.0f, NAN, INFINITY}) {
        const dgJointMotorDesc bad = {0.0f, -1.0f, 1.0f, step};
        EXPECT_EQ(joint->CalculateStopAlpha(1.0f, &bad), 0.0f) << step;
    }
    EXPECT_EQ(joint->CalculateStopAlpha(1.0f, nullptr), 0.0f);
}

TEST(dgHingeJoint, WorldHingeMeasuresOmegaAgainstRest) {
    JointTestBodies scene;
    dgHingeJoint* toWorld = scene.m_world.CreateHingeJoint(kOrigin, kPinY, scene.m_body0, nullptr);
    dgHingeJoint* between = scene.m_world.CreateHingeJoint(kOrigin, kPinY, scene.m_body0, scene.m_body1);
    scene.m_body0->m_omega = dgVector(1.0f, 3.0f, 0.0f, 0.0f);
    scene.m_body1->m_omega = dgVector(0.0f, 3.0f, 2.0f, 0.0f);
    EXPECT_FLOAT_EQ(toWorld->GetJointOmega(), 3.0f);
    EXPECT_FLOAT_EQ(between->GetJointOmega(), 0.0f);
}

TEST_P(dgHingeJointStepping, MotorRowOnlyForAUsableRecordTheCallbackAsksFor) {
    JointTestBodies scene;
    dgHingeJoint* joint = scene.m_world.CreateHingeJoint(kOrigin, kPinY, scene.m_body0, scene.m_body1);
    dgJointParams params;
    EXPECT_EQ(SubmitAt60Hz(joint, params), 5);
    joint->SetUserCallback(AnswerOneMotor);
    g_motors[0] = {7.0f, -1.0f, 1.0f, 0.0f};
    g_motorAnswer = 0;
    EXPECT_EQ(SubmitAt60Hz(joint, params), 5);

    g_motorAnswer = 1;
    g_motors[0] = FreeMotor(7.0f);
    ASSERT_EQ(SubmitAt60Hz(joint, params), 6);
    EXPECT_EQ(params.m_accelerations[5], 7.0f);
    EXPECT_EQ(params.m_bounds[5].m_class, dgRowBounds::kUnbounded);
    EXPECT_EQ(params.m_forceFeedback[5], &joint->m_forces[5]);
    EXPECT_TRUE(VectorNear(params.m_jacobians[5].m_jacobian0.m_angular, kPinY, 1.0e-6f));
    g_motors[0].m_minFriction = -1.0e14f;
    ASSERT_EQ(SubmitAt60Hz(joint, params), 6);
    EXPECT_EQ(params.m_bounds[5].m_class, dgRowBounds::kClamped);
    EXPECT_EQ(params.m_bounds[5].m_min, -1.0e14f);
    EXPECT_EQ(params.m_bounds[5].m_max, 1.0e15f);

    // A NaN row would poison the island and inverted bounds admit no force: neither is written.
    const dgJointMotorDesc refused[] = {
        {NAN, -1.0f, 1.0f, 0.0f}, {1.0f, 2.0f, 1.0f, 0.0f}, {1.0f, -INFINITY, 1.0f, 0.0f}};
    for (const dgJointMotorDesc& record : refused) {
        g_motors[0] = record;
        EXPECT_EQ(SubmitAt60Hz(joint, params), 5);
        // The rod swings freely on its hinge as if the callback had asked nothing.
        HingedRod rod(30.0f * kDegree);
        dgApiHingeSetUserCallback(rod.m_hinge, AnswerOneMotor);
        rod.m_scene.Step(30);
        EXPECT_NEAR(dgApiHingeGetJointOmega(rod.m_hinge), FreeSwingOmega(), 1.0e-4f);
    }
}
