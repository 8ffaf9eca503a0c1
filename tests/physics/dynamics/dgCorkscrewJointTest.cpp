// Corkscrew joint: where the motor rows go for each answer, sliding and turning independent of each
// other, and both motors reaching their speeds together.

#include "physics/dynamics/dgCorkscrewJoint.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"
#include "support/JointScenes.h"
#include "support/MathAssertions.h"
#include "support/SolverBuilds.h"
#include "JointTestBodies.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace jointscene;

const dgVector kPinX(1.0f, 0.0f, 0.0f, 0.0f);

unsigned DriveToOneAndThree(dgJointBase* joint, dgJointMotorDesc* desc) {
    desc[0].m_accel = (1.0f - dgApiCorkscrewGetJointVeloc(joint)) / desc[0].m_timestep;
    desc[1].m_accel = (3.0f - dgApiCorkscrewGetJointOmega(joint)) / desc[1].m_timestep;
    return 3;
}

/// A unit box on a world corkscrew along x through its centre, under gravity, moving as given.
dgJointBase* Corkscrew(JointWorld& scene, const Vec3& velocity, const Vec3& omega) {
    dgBody* body = scene.AddBox({1.0f, 1.0f, 1.0f}, 1.0f, JointWorld::Translation({0.0f, 0.0f, 0.0f}));
    dgApiBodySetVelocity(body, velocity.data());
    dgApiBodySetOmega(body, omega.data());
    const Vec3 pivot = {0.0f, 0.0f, 0.0f};
    const Vec3 pin = {1.0f, 0.0f, 0.0f};
    return dgApiJointCreateCorkscrew(scene.m_world, pivot.data(), pin.data(), body, nullptr);
}

} // namespace

TEST(dgCorkscrewJoint, AnswerBitsPlaceTheSlidingThenTheTurningMotorRow) {
    JointTestBodies scene;
    dgCorkscrewJoint* joint = scene.m_world.CreateCorkscrewJoint(dgVector(0.0f, 0.0f, 0.0f, 1.0f), kPinX,
                                                                 scene.m_body0, scene.m_body1);
    dgJointParams params;
    EXPECT_EQ(SubmitAt60Hz(joint, params), 4);
    joint->SetUserCallback(AnswerTwoMotors);
    g_motors[0] = FreeMotor(1.0f);
    g_motors[1] = FreeMotor(2.0f);
    for (const dgUnsigned32 extraBits : {0u, 0xFFFFFFFCu}) {
        g_motorAnswer = 2 | extraBits;
        ASSERT_EQ(SubmitAt60Hz(joint, params), 5);
        EXPECT_EQ(params.m_accelerations[4], 2.0f);
        EXPECT_EQ(params.m_forceFeedback[4], &joint->m_forces[4]);
        EXPECT_TRUE(VectorNear(params.m_jacobians[4].m_jacobian0.m_angular, kPinX, 1.0e-6f));
        g_motorAnswer = 3 | extraBits;
        ASSERT_EQ(SubmitAt60Hz(joint, params), 6);
        EXPECT_TRUE(VectorNear(params.m_jacobians[4].m_jacobian0.m_linear, kPinX, 1.0e-6f));
        EXPECT_EQ(params.m_accelerations[4], 1.0f);
        EXPECT_EQ(params.m_accelerations[5], 2.0f);
        EXPECT_EQ(params.m_forceFeedback[5], &joint->m_forces[5]);
    }
    // A refused sliding record leaves the turning motor the first free row.
    g_motors[0].m_minFriction = 2.0f;
    g_motors[0].m_maxFriction = 1.0f;
    EXPECT_EQ(SubmitAt60Hz(joint, params), 5);
    EXPECT_EQ(params.m_accelerations[4], 2.0f);
}

BOTH_BUILDS_SUITE(dgCorkscrewJointStepping);

TEST_P(dgCorkscrewJointStepping, SlidingAndTurningStayIndependentAndBothMotorsReachTheirSpeeds) {
    JointWorld spinning;
    dgJointBase* spin = Corkscrew(spinning, {0.0f, 0.0f, 0.0f}, {3.0f, 0.0f, 0.0f});
    spinning.Step(120);
    EXPECT_LT(std::fabs(dgApiCorkscrewGetJointPosit(spin)), 1.0e-4f);
    EXPECT_NEAR(dgApiCorkscrewGetJointOmega(spin), 3.0f, 0.01f);

    JointWorld sliding;
    dgJointBase* slide = Corkscrew(sliding, {1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f});
    sliding.Step(120);
    EXPECT_LT(std::fabs(dgApiCorkscrewGetJointAngle(slide)), 1.0e-4f);
    EXPECT_NEAR(dgApiCorkscrewGetJointPosit(slide), 2.0f, 0.02f);

    JointWorld driven;
    dgJointBase* drive = Corkscrew(driven, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f});
    dgApiCorkscrewSetUserCallback(drive, DriveToOneAndThree);
    driven.Step(6);
    EXPECT_NEAR(dgApiCorkscrewGetJointVeloc(drive), 1.0f, 0.02f);
    EXPECT_NEAR(dgApiCorkscrewGetJointOmega(drive), 3.0f, 0.02f * 3.0f);
}
