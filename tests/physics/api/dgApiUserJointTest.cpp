// The user joint: rows the application writes from its callback, through the flat interface.

#include "physics/api/dgApi.h"
#include "physics/api/dgUserConstraint.h"
#include "support/JointScenes.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace jointscene;

namespace {

/// Rows along x, y and z holding the bob's pivot point on the world pivot: a ball joint rebuilt.
void BallRows(dgJointBase* joint) {
    const PivotPair* pivot = static_cast<const PivotPair*>(dgApiJointGetUserData(joint));
    const Vec3 p0 = ToGlobal(pivot->m_body0, pivot->m_local0);
    const Vec3 axes[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    for (const Vec3& axis : axes) {
        dgApiUserJointAddLinearRow(joint, p0.data(), pivot->m_local1.data(), axis.data());
    }
}

/// A spring of 100 (per unit mass) and no damper along x from the body's centre to the world origin.
void SpringRow(dgJointBase* joint) {
    const PivotPair* pivot = static_cast<const PivotPair*>(dgApiJointGetUserData(joint));
    const Vec3 p0 = ToGlobal(pivot->m_body0, pivot->m_local0);
    const Vec3 x = {1.0f, 0.0f, 0.0f};
    dgApiUserJointAddLinearRow(joint, p0.data(), pivot->m_local1.data(), x.data());
    dgApiUserJointSetRowSpringDamperAcceleration(joint, 100.0f, 0.0f);
}

/// The test's own script for the callback.
std::function<void(dgJointBase*)> g_script;

void RunScript(dgJointBase* joint) {
    g_script(joint);
}

dgJointParams FreshParams(const dgUserConstraint* joint) {
    dgJointParams params;
    params.m_timeStep = kStep;
    params.m_invTimeStep = 1.0f / kStep;
    params.ResetBounds(joint->m_maxRows);
    for (float& a : params.m_accelerations) {
        a = -7.0f;
    }
    return params;
}

bool IsFinite(const Mat4& m) {
    for (float v : m) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

} // namespace

BOTH_BUILDS_SUITE(dgApiUserJointStepping);

TEST_P(dgApiUserJointStepping, ThreeLinearRowsSwingLikeTheBallJointAndCarryTheWeight) {
    Pendulum ball(5.0f * kPi / 180.0f);
    float separation = 0.0f;
    const float ballPeriod = ball.MeasurePeriod(separation);

    Pendulum user(5.0f * kPi / 180.0f, false);
    user.m_joint = dgApiJointCreateUser(user.m_scene.m_world, 3, BallRows, user.m_bob, nullptr);
    dgApiJointSetUserData(user.m_joint, &user.m_pivot);
    const float userPeriod = user.MeasurePeriod(separation);
    EXPECT_NEAR(userPeriod, ballPeriod, 0.005f * ballPeriod);
    EXPECT_LT(separation, 1.0e-3f);

    Pendulum hanging(0.0f, false);
    hanging.m_joint = dgApiJointCreateUser(hanging.m_scene.m_world, 3, BallRows, hanging.m_bob, nullptr);
    dgApiJointSetUserData(hanging.m_joint, &hanging.m_pivot);
    hanging.m_scene.Step(120);
    EXPECT_NEAR(std::fabs(dgApiUserJointGetRowForce(hanging.m_joint, 1)), kGravity, 0.01f * kGravity);
    EXPECT_NEAR(dgApiUserJointGetRowForce(hanging.m_joint, 0), 0.0f, 0.01f * kGravity);
}

TEST_P(dgApiUserJointStepping, SpringRowOscillatesWithThePeriodOfItsStiffnessWhateverTheMass) {
    for (const float mass : {1.0f, 5.0f}) {
        JointWorld scene;
        dgBody* body = scene.AddSphere(0.1f, mass, {0.1f, 0.0f, 0.0f});
        dgApiBodySetForceAndTorqueCallback(body, nullptr);
        PivotPair anchor = {body, {0.0f, 0.0f, 0.0f}, nullptr, {0.0f, 0.0f, 0.0f}};
        dgJointBase* joint = dgApiJointCreateUser(scene.m_world, 1, SpringRow, body, nullptr);
        dgApiJointSetUserData(joint, &anchor);
        std::vector<float> crossings;
        float lastX = 0.1f;
        for (int step = 1; step <= 240; step++) {
            scene.Step();
            const float x = Position(body)[0];
            if ((x > 0.0f) != (lastX > 0.0f)) {
                crossings.push_back((static_cast<float>(step) - x / (x - lastX)) * kStep);
            }
            lastX = x;
        }
        ASSERT_GE(crossings.size(), 7u);
        const float period = (crossings[6] - crossings[0]) / 3.0f;
        EXPECT_NEAR(period, 2.0f * kPi / 10.0f, 0.03f * 2.0f * kPi / 10.0f) << mass;
    }
}

TEST(dgApiUserJoint, RowFunctionsClampBoundRowsAndActOnlyInsideTheSubmit) {
    JointWorld scene;
    dgBody* body = scene.AddSphere(0.1f, 1.0f, {0.0f, 0.0f, 0.0f});
    auto* joint =
        static_cast<dgUserConstraint*>(dgApiJointCreateUser(scene.m_world, 3, RunScript, body, nullptr));
    const Vec3 p = {0.0f, 0.0f, 0.0f};
    const Vec3 x = {1.0f, 0.0f, 0.0f};

    dgJointParams params = FreshParams(joint);
    g_script = [&](dgJointBase* j) {
        dgApiUserJointSetRowAcceleration(j, 3.0f);
        dgApiUserJointAddLinearRow(j, p.data(), p.data(), x.data());
        dgApiUserJointSetRowMaximumFriction(j, 0.01f);
        dgApiUserJointSetRowMinimumFriction(j, 5.0f);
        dgApiUserJointAddAngularRow(j, 0.0f, x.data());
        dgApiUserJointSetRowMinimumFriction(j, -1.0e20f);
        dgApiUserJointSetRowStiffness(j, 0.5f);
    };
    EXPECT_EQ(joint->SubmitConstraints(params), 2);
    EXPECT_EQ(params.m_accelerations[0], 0.0f);
    EXPECT_EQ(params.m_bounds[0].m_max, 0.05f);
    EXPECT_EQ(params.m_bounds[0].m_min, -0.05f);
    EXPECT_EQ(params.m_bounds[0].m_class, dgRowBounds::kClamped);
    EXPECT_EQ(params.m_bounds[1].m_min, -1.0e15f);
    EXPECT_EQ(params.m_stiffness[1], 50.5f);
    EXPECT_EQ(dgApiUserJointGetRowForce(joint, 2), 0.0f);
    EXPECT_EQ(dgApiUserJointGetRowForce(joint, -1), 0.0f);

    // Outside its own submit a row function finds no rows.
    dgApiUserJointAddLinearRow(joint, p.data(), p.data(), x.data());
    dgApiUserJointSetRowAcceleration(joint, 3.0f);
    EXPECT_EQ(joint->m_rowCount, 2);
    EXPECT_EQ(params.m_accelerations[1], 0.0f);

    // Rows past the maximum are dropped; a maximum above 48 is 48.
    g_script = [&](dgJointBase* j) {
        for (int i = 0; i < 60; i++) {
            dgApiUserJointAddLinearRow(j, p.data(), p.data(), x.data());
        }
    };
    params = FreshParams(joint);
    EXPECT_EQ(joint->SubmitConstraints(params), 3);
    auto* wide =
        static_cast<dgUserConstraint*>(dgApiJointCreateUser(scene.m_world, 1000, RunScript, body, nullptr));
    EXPECT_EQ(wide->m_maxRows, 48);
    params = FreshParams(wide);
    EXPECT_EQ(wide->SubmitConstraints(params), 48);
}

TEST_P(dgApiUserJointStepping, RowsThatAreNotFiniteAreNotAddedAndBodiesStayFinite) {
    JointWorld scene;
    dgBody* a = scene.AddSphere(0.1f, 1.0f, {0.0f, 0.0f, 0.0f});
    dgBody* b = scene.AddSphere(0.1f, 1.0f, {1.0f, 0.0f, 0.0f});
    ASSERT_NE(dgApiJointCreateUser(scene.m_world, 6, RunScript, a, b), nullptr);
    const float nan = NAN;
    const float zeros[6] = {};
    const Vec3 bad = {nan, 0.0f, 0.0f};
    const Vec3 good = {0.0f, 1.0f, 0.0f};
    int rows = 0;
    g_script = [&](dgJointBase* j) {
        dgApiUserJointAddGeneralRow(j, zeros, zeros);
        dgApiUserJointSetRowAcceleration(j, nan);
        dgApiUserJointSetRowStiffness(j, nan);
        dgApiUserJointAddLinearRow(j, bad.data(), good.data(), good.data());
        dgApiUserJointAddLinearRow(j, good.data(), good.data(), bad.data());
        dgApiUserJointAddAngularRow(j, nan, good.data());
        dgApiUserJointAddAngularRow(j, 0.1f, good.data());
        dgApiUserJointSetRowSpringDamperAcceleration(j, nan, 1.0f);
        dgApiUserJointSetRowMaximumFriction(j, nan);
        rows = static_cast<dgUserConstraint*>(j)->m_rowCount;
    };
    scene.Step(60);
    EXPECT_EQ(rows, 2);
    EXPECT_TRUE(IsFinite(Matrix(a)));
    EXPECT_TRUE(IsFinite(Matrix(b)));
}
