// Universal joint: the two angles, pin 1 kept square to pin 0 under torque, a Cardan drive shaft
// turning whole turns with its input, the motor rows, the mirrored stop rule and parallel pins.

#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgUniversalJoint.h"
#include "physics/dynamics/dgWorld.h"
#include "support/JointScenes.h"
#include "support/MathAssertions.h"
#include "support/SolverBuilds.h"
#include "JointTestBodies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace jointscene;

constexpr float kDegree = kPi / 180.0f;
const dgVector kOrigin(0.0f, 0.0f, 0.0f, 1.0f);
const dgVector kPinX(1.0f, 0.0f, 0.0f, 0.0f);
const dgVector kPinY(0.0f, 1.0f, 0.0f, 0.0f);

void WeightAndTorqueAboutZ(dgBody* body) {
    Weight(body);
    const Vec3 torque = {0.0f, 0.0f, 50.0f};
    dgApiBodyAddTorque(body, torque.data());
}

unsigned DriveAtTwo(dgJointBase* joint, dgJointMotorDesc* desc) {
    desc->m_accel = (2.0f - dgApiHingeGetJointOmega(joint)) / desc->m_timestep;
    return 1;
}

/// Adds the change of the joint's angle since last, taken the short way round, to total.
void Unwrap(float angle, float& last, float& total) {
    total += std::remainder(angle - last, 2.0f * kPi);
    last = angle;
}

/// Every Jacobian float and acceleration of the rows is finite.
bool RowsFinite(const dgJointParams& params, dgInt32 count) {
    const auto finite = [](float v) { return std::isfinite(v); };
    const float* jacobians = reinterpret_cast<const float*>(params.m_jacobians);
    return std::all_of(jacobians, jacobians + 16 * count, finite) &&
           std::all_of(params.m_accelerations, params.m_accelerations + count, finite);
}

} // namespace

TEST(dgUniversalJoint, AnglesMeasureEachPinsTurn) {
    JointTestBodies scene;
    dgUniversalJoint* joint =
        scene.m_world.CreateUniversalJoint(kOrigin, kPinX, kPinY, scene.m_body0, scene.m_body1);
    dgJointParams params;
    struct Case {
        dgBody* m_turned;
        dgMatrix m_rotation;
        dgFloat32 m_angle0;
        dgFloat32 m_angle1;
    };
    // angle1 turns body1 against body0.
    const Case cases[] = {{scene.m_body0, dgGetIdentityMatrix(), 0.0f, 0.0f},
                          {scene.m_body0, dgRotationMatrixX(0.3f), 0.3f, 0.0f},
                          {scene.m_body1, dgRotationMatrixY(0.3f), 0.0f, 0.3f},
                          {scene.m_body0, dgRotationMatrixY(0.3f), 0.0f, -0.3f}};
    for (const Case& c : cases) {
        scene.m_body0->SetMatrix(dgGetIdentityMatrix());
        scene.m_body1->SetMatrix(dgGetIdentityMatrix());
        c.m_turned->SetMatrix(c.m_rotation);
        EXPECT_EQ(SubmitAt60Hz(joint, params), 4);
        EXPECT_NEAR(joint->GetJointAngle0(), c.m_angle0, 1.0e-4f);
        EXPECT_NEAR(joint->GetJointAngle1(), c.m_angle1, 1.0e-4f);
    }
}

BOTH_BUILDS_SUITE(dgUniversalJointStepping);

TEST_P(dgUniversalJointStepping, PinOneStaysSquareToPinZeroUnderTorqueAboutTheirCross) {
    JointWorld scene;
    dgBody* rod = scene.AddBox({1.0f, 0.1f, 0.1f}, 1.0f, JointWorld::Translation({0.0f, 0.0f, 0.0f}));
    dgApiBodySetForceAndTorqueCallback(rod, WeightAndTorqueAboutZ);
    const Vec3 pivot = {0.0f, 0.0f, 0.0f};
    const Vec3 pin0 = {1.0f, 0.0f, 0.0f};
    const Vec3 pin1 = {0.0f, 1.0f, 0.0f};
    ASSERT_NE(dgApiJointCreateUniversal(scene.m_world, pivot.data(), pin0.data(), pin1.data(), rod, nullptr),
              nullptr);
    scene.Step(120);
    EXPECT_LT(std::fabs(Row(Matrix(rod), 0)[1]), 3.5e-3f);
}

TEST_P(dgUniversalJointStepping, DriveShaftAtThirtyDegreesTurnsWholeTurnsWithItsInput) {
    JointWorld scene;
    const float bend = 30.0f * kDegree;
    const Vec3 axis1 = {std::cos(bend), std::sin(bend), 0.0f};
    dgBody* input = scene.AddBox({1.0f, 0.1f, 0.1f}, 1.0f, JointWorld::Translation({-0.5f, 0.0f, 0.0f}));
    dgBody* output =
        scene.AddBox({1.0f, 0.1f, 0.1f}, 1.0f, RotationZ(bend, {0.5f * axis1[0], 0.5f * axis1[1], 0.0f}));
    const Vec3 pinX = {1.0f, 0.0f, 0.0f};
    dgJointBase* drive =
        dgApiJointCreateHinge(scene.m_world, Position(input).data(), pinX.data(), input, nullptr);
    dgJointBase* held =
        dgApiJointCreateHinge(scene.m_world, Position(output).data(), axis1.data(), output, nullptr);
    dgApiHingeSetUserCallback(drive, DriveAtTwo);
    const Vec3 pivot = {0.0f, 0.0f, 0.0f};
    const Vec3 cross0 = {0.0f, 0.0f, 1.0f};
    const Vec3 cross1 = {-axis1[1], axis1[0], 0.0f};
    ASSERT_NE(
        dgApiJointCreateUniversal(scene.m_world, pivot.data(), cross0.data(), cross1.data(), input, output),
        nullptr);

    const float tenTurns = 20.0f * kPi;
    float last[2] = {0.0f, 0.0f};
    float total[2] = {0.0f, 0.0f};
    for (int step = 0; step < 2400 && total[0] < tenTurns; step++) {
        const float before[2] = {total[0], total[1]};
        scene.Step();
        Unwrap(dgApiHingeGetJointAngle(drive), last[0], total[0]);
        Unwrap(dgApiHingeGetJointAngle(held), last[1], total[1]);
        if (total[0] >= tenTurns) {
            // The output at the instant the input completes its tenth turn.
            const float f = (tenTurns - before[0]) / (total[0] - before[0]);
            EXPECT_NEAR(before[1] + f * (total[1] - before[1]), tenTurns, 2.0f * kDegree);
        }
    }
    EXPECT_GE(total[0], tenTurns);
}

TEST_P(dgUniversalJointStepping, MotorRowsStopRuleAndParallelPinsStayFinite) {
    JointTestBodies scene;
    dgUniversalJoint* joint =
        scene.m_world.CreateUniversalJoint(kOrigin, kPinX, kPinY, scene.m_body0, scene.m_body1);
    joint->SetUserCallback(AnswerTwoMotors);
    g_motors[0] = FreeMotor(1.0f);
    g_motors[1] = FreeMotor(2.0f);
    g_motorAnswer = 2;
    dgJointParams params;
    ASSERT_EQ(SubmitAt60Hz(joint, params), 5);
    EXPECT_EQ(params.m_accelerations[4], 2.0f);
    EXPECT_TRUE(VectorNear(params.m_jacobians[4].m_jacobian0.m_angular, kPinY, 1.0e-6f));
    g_motorAnswer = 3;
    EXPECT_EQ(SubmitAt60Hz(joint, params), 6);

    // Above the target, a speed already carrying angle1 back is left alone.
    joint->m_angle1 = 0.5f;
    scene.m_body0->m_omega = dgVector(0.0f, 2.0f, 0.0f, 0.0f);
    const dgJointMotorDesc desc = FreeMotor();
    EXPECT_EQ(joint->CalculateStopAlpha1(0.5f, &desc), 0.0f);
    EXPECT_FLOAT_EQ(joint->CalculateStopAlpha1(0.25f, &desc), 25.0f);
    EXPECT_FLOAT_EQ(joint->CalculateStopAlpha0(0.0f, &desc), 0.0f);

    // Pins given parallel, and pins forced parallel afterwards (front0 turned onto up1).
    dgUniversalJoint* given =
        scene.m_world.CreateUniversalJoint(kOrigin, kPinY, kPinY, scene.m_body0, nullptr);
    EXPECT_TRUE(RowsFinite(params, SubmitAt60Hz(given, params)));
    scene.m_body0->SetMatrix(dgRotationMatrixZ(90.0f * kDegree));
    EXPECT_TRUE(RowsFinite(params, SubmitAt60Hz(joint, params)));
    for (int i = 0; i < 30; i++) {
        scene.m_world.Update(1.0f / 60.0f);
    }
    EXPECT_TRUE(std::isfinite(scene.m_body0->m_matrix.posit.DotProduct(scene.m_body0->m_omega)));
}
