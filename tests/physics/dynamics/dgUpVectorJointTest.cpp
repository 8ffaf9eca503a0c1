#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgUpVectorJoint.h"
#include "physics/dynamics/dgWorld.h"
#include "support/JointScenes.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace jointscene;

namespace {

constexpr float kDegree = kPi / 180.0f;
const Vec3 kUp = {0.0f, 1.0f, 0.0f};

/// A 1 kg unit cube at the origin under gravity, held upright by an up-vector joint along +y.
struct UprightBox {
    JointWorld m_scene;
    dgBody* m_box;
    dgJointBase* m_joint;

    UprightBox() {
        m_box = m_scene.AddBox({1.0f, 1.0f, 1.0f}, 1.0f, JointWorld::Translation({0.0f, 0.0f, 0.0f}));
        m_joint = dgApiJointCreateUpVector(m_scene.m_world, kUp.data(), m_box);
    }

    /// Angle between the box's up axis and +y.
    float Tilt() const { return std::acos(std::fmin(1.0f, Dot(Row(Matrix(m_box), 1), kUp))); }

    void Turn(const dgMatrix& rotation) {
        Mat4 m;
        for (int i = 0; i < 4; i++) {
            for (int k = 0; k < 4; k++) {
                m[4 * i + k] = rotation[i][k];
            }
        }
        dgApiBodySetMatrix(m_box, m.data());
    }
};

/// Every float of the first count Jacobians and accelerations is finite.
bool RowsAreFinite(const dgJointParams& params, dgInt32 count) {
    const dgFloat32* jacobians = &params.m_jacobians[0].m_jacobian0.m_linear.x;
    return std::all_of(jacobians, jacobians + 16 * count, [](dgFloat32 v) { return std::isfinite(v); }) &&
           std::all_of(params.m_accelerations, params.m_accelerations + count,
                       [](dgFloat32 v) { return std::isfinite(v); });
}

} // namespace

BOTH_BUILDS_SUITE(dgUpVectorJointStepping);

TEST_P(dgUpVectorJointStepping, TiltedBoxRightsItselfWhileSpinningAndFallingFreely) {
    UprightBox tilted;
    tilted.Turn(dgRotationMatrixZ(30.0f * kDegree));
    tilted.m_scene.Step(120);
    EXPECT_LT(tilted.Tilt(), 1.0f * kDegree);
    float widest = 0.0f;
    for (int step = 0; step < 120; step++) {
        tilted.m_scene.Step();
        widest = std::fmax(widest, tilted.Tilt());
    }
    EXPECT_LT(widest, 1.0f * kDegree);

    UprightBox spinning;
    const Vec3 spin = {0.0f, 2.0f, 0.0f};
    dgApiBodySetOmega(spinning.m_box, spin.data());
    spinning.m_scene.Step(120);
    Vec3 omega;
    dgApiBodyGetOmega(spinning.m_box, omega.data());
    EXPECT_NEAR(omega[1], 2.0f, 0.02f);
    // The joint only turns the box: it falls at g.
    Vec3 velocity;
    dgApiBodyGetVelocity(spinning.m_box, velocity.data());
    EXPECT_NEAR(velocity[1], -2.0f * kGravity, 0.01f * 2.0f * kGravity);
    EXPECT_LT(spinning.Tilt(), 1.0e-3f);
}

TEST_P(dgUpVectorJointStepping, PinIsMadeUnitAndAZeroOrReversedPinChangesNothingOfTheBody) {
    UprightBox unit;
    UprightBox longPin;
    unit.Turn(dgRotationMatrixX(20.0f * kDegree));
    longPin.Turn(dgRotationMatrixX(20.0f * kDegree));
    const Vec3 slanted = {0.0f, 1.0f, 1.0f};
    const Vec3 slantedLong = {0.0f, 5.0f, 5.0f};
    dgApiUpVectorSetPin(unit.m_joint, slanted.data());
    dgApiUpVectorSetPin(longPin.m_joint, slantedLong.data());
    unit.m_scene.Step(60);
    longPin.m_scene.Step(60);
    EXPECT_EQ(Matrix(unit.m_box), Matrix(longPin.m_box));
    Vec3 pin;
    dgApiUpVectorGetPin(longPin.m_joint, pin.data());
    EXPECT_NEAR(pin[1], std::sqrt(0.5f), 1.0e-6f);
    EXPECT_NEAR(pin[2], std::sqrt(0.5f), 1.0e-6f);

    const Vec3 zero = {0.0f, 0.0f, 0.0f};
    const Vec3 notFinite = {NAN, 1.0f, 0.0f};
    dgApiUpVectorSetPin(longPin.m_joint, zero.data());
    dgApiUpVectorSetPin(longPin.m_joint, notFinite.data());
    Vec3 kept;
    dgApiUpVectorGetPin(longPin.m_joint, kept.data());
    EXPECT_EQ(kept, pin);

    // Antiparallel axes give the zero-error rows: the box is held as it is, upside down to the pin.
    UprightBox reversed;
    const Vec3 down = {0.0f, -1.0f, 0.0f};
    dgApiUpVectorSetPin(reversed.m_joint, down.data());
    reversed.m_scene.Step(120);
    EXPECT_LT(reversed.Tilt(), 1.0e-3f);
}

TEST(dgUpVectorJoint, RowsStayFiniteForPinsAnyAngleOffTheBodyAxis) {
    UprightBox upright;
    dgUpVectorJoint* joint = static_cast<dgUpVectorJoint*>(upright.m_joint);
    for (const float angle : {0.0f, 1.0e-7f, 1.0e-3f, 1.0f, 0.5f * kPi, kPi - 1.0e-7f, kPi}) {
        joint->SetPin(dgVector(std::sin(angle), std::cos(angle), 0.0f, 0.0f));
        dgJointParams params;
        params.m_timeStep = kStep;
        params.m_invTimeStep = 1.0f / kStep;
        params.ResetBounds(joint->m_maxRows);
        const dgInt32 rows = joint->SubmitConstraints(params);
        EXPECT_EQ(rows, 2);
        EXPECT_TRUE(RowsAreFinite(params, rows)) << angle;
    }
}
