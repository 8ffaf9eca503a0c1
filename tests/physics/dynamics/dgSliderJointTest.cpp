// Slider joint: free fall along a vertical pin, the weight held across a horizontal one, the position,
// the friction-bound motor and the stop rule.

#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgSliderJoint.h"
#include "physics/dynamics/dgWorld.h"
#include "support/JointScenes.h"
#include "support/SolverBuilds.h"
#include "JointTestBodies.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace jointscene;

/// A body of the mass on a world slider along pin through its centre at the origin.
struct SliderScene {
    JointWorld m_scene;
    dgBody* m_body;
    dgJointBase* m_slider;

    SliderScene(const Vec3& pin, float mass) {
        m_body = m_scene.AddBox({1.0f, 1.0f, 1.0f}, mass, JointWorld::Translation({0.0f, 0.0f, 0.0f}));
        const Vec3 pivot = {0.0f, 0.0f, 0.0f};
        m_slider = dgApiJointCreateSlider(m_scene.m_world, pivot.data(), pin.data(), m_body, nullptr);
    }

    Vec3 Velocity() const {
        Vec3 v;
        dgApiBodyGetVelocity(m_body, v.data());
        return v;
    }
};

} // namespace

BOTH_BUILDS_SUITE(dgSliderJointStepping);

TEST_P(dgSliderJointStepping, BodyFallsFreelyAlongAVerticalPinWithoutTurningOrDrifting) {
    SliderScene slider({0.0f, 1.0f, 0.0f}, 1.0f);
    slider.m_scene.Step(60);
    // The drop of N steps is g h^2 N (N + 1) / 2, off the closed form; the speed is g t exactly.
    EXPECT_NEAR(slider.Velocity()[1], -kGravity, 0.005f * kGravity);
    Vec3 omega;
    dgApiBodyGetOmega(slider.m_body, omega.data());
    EXPECT_LT(Length(omega), 1.0e-4f);
    const Vec3 p = Position(slider.m_body);
    EXPECT_LT(std::hypot(p[0], p[2]), 1.0e-4f);
}

TEST_P(dgSliderJointStepping, HorizontalPinHoldsTheWeightAndKeepsASlide) {
    SliderScene slider({1.0f, 0.0f, 0.0f}, 1.0f);
    const Vec3 slide = {1.0f, 0.0f, 0.0f};
    dgApiBodySetVelocity(slider.m_body, slide.data());
    slider.m_scene.Step(120);
    EXPECT_GT(Position(slider.m_body)[1], -1.0e-3f);
    EXPECT_NEAR(slider.Velocity()[0], 1.0f, 0.01f);
    EXPECT_NEAR(dgApiSliderGetJointVeloc(slider.m_slider), 1.0f, 0.01f);

    // 10 N on 2 kg, whatever the 100 m/s^2 asked.
    SliderScene driven({1.0f, 0.0f, 0.0f}, 2.0f);
    g_motors[0] = {100.0f, -10.0f, 10.0f, 0.0f};
    g_motorAnswer = 1;
    dgApiSliderSetUserCallback(driven.m_slider, AnswerOneMotor);
    driven.m_scene.Step(30);
    EXPECT_NEAR(driven.Velocity()[0], 5.0f * 0.5f, 0.03f * 2.5f);
}

TEST(dgSliderJoint, PositionIsMeasuredOnTheChildsPinAndTheStopRuleIsSymmetric) {
    JointTestBodies scene;
    const dgVector pin(0.0f, 0.0f, 1.0f, 0.0f);
    dgSliderJoint* joint =
        scene.m_world.CreateSliderJoint(dgVector(0.0f, 0.0f, 0.0f, 1.0f), pin, scene.m_body0, scene.m_body1);
    dgJointParams params;
    EXPECT_EQ(SubmitAt60Hz(joint, params), 5);
    EXPECT_EQ(joint->GetJointPosit(), 0.0f);
    dgMatrix moved = dgGetIdentityMatrix();
    moved.posit = dgVector(0.0f, 0.0f, 2.0f, 1.0f);
    scene.m_body0->SetMatrix(moved);
    SubmitAt60Hz(joint, params);
    EXPECT_FLOAT_EQ(joint->GetJointPosit(), 2.0f);

    const dgJointMotorDesc desc = FreeMotor();
    EXPECT_EQ(joint->CalculateStopAccel(2.0f, &desc), 0.0f);
    EXPECT_FLOAT_EQ(joint->CalculateStopAccel(2.5f, &desc), -joint->CalculateStopAccel(1.5f, &desc));
    EXPECT_FLOAT_EQ(joint->CalculateStopAccel(2.5f, &desc), 50.0f);
    const dgJointMotorDesc noStep = {0.0f, 0.0f, 0.0f, 0.0f};
    EXPECT_EQ(joint->CalculateStopAccel(2.5f, &noStep), 0.0f);
}
