#include "physics/core/dgMatrix.h"
#include "physics/core/dgQuaternion.h"

#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr dgFloat32 kPi = std::numbers::pi_v<dgFloat32>;

dgFloat32 Dot(const dgQuaternion& a, const dgQuaternion& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

dgQuaternion Normalised(dgFloat32 x, dgFloat32 y, dgFloat32 z, dgFloat32 w) {
    const dgFloat32 len = std::sqrt(x * x + y * y + z * z + w * w);
    return dgQuaternion(x / len, y / len, z / len, w / len);
}

} // namespace

TEST(dgQuaternion, AxisAngleOfZeroAndHalfTurn) {
    const dgVector zAxis(0.0f, 0.0f, 1.0f, 0.0f);
    const dgQuaternion none = dgQuaternion::FromAxisAngle(zAxis, 0.0f);
    EXPECT_TRUE(QuaternionNear(none, dgQuaternion(0.0f, 0.0f, 0.0f, 1.0f), 0.0f));
    const dgQuaternion half = dgQuaternion::FromAxisAngle(zAxis, kPi);
    EXPECT_EQ(half.z, 1.0f);
    EXPECT_NEAR(half.w, 0.0f, kRoundingTol);
}

TEST(dgQuaternion, AxisAngleMatrixMatchesTheSingleAxisRotations) {
    const dgVector origin(0.0f, 0.0f, 0.0f, 1.0f);
    for (dgFloat32 angle : {0.3f, -1.1f, 2.5f}) {
        const auto about = [&](dgFloat32 x, dgFloat32 y, dgFloat32 z) {
            return dgMatrix::FromQuaternion(dgQuaternion::FromAxisAngle(dgVector(x, y, z, 0.0f), angle),
                                            origin);
        };
        EXPECT_TRUE(MatrixNear(about(1, 0, 0), dgRotationMatrixX(angle), kChainTol));
        EXPECT_TRUE(MatrixNear(about(0, 1, 0), dgRotationMatrixY(angle), kChainTol));
        EXPECT_TRUE(MatrixNear(about(0, 0, 1), dgRotationMatrixZ(angle), kChainTol));
    }
}

TEST(dgQuaternion, FromQuaternionPutsThePositionInPosit) {
    const dgMatrix m = dgMatrix::FromQuaternion(dgQuaternion(), dgVector(1.0f, 2.0f, 3.0f, 9.0f));
    EXPECT_TRUE(MatrixNear(
        m, dgMatrix(dgVector(1, 0, 0, 0), dgVector(0, 1, 0, 0), dgVector(0, 0, 1, 0), dgVector(1, 2, 3, 1)),
        0.0f));
}

TEST(dgQuaternion, FromMatrixOfTheIdentityTakesTheTracePath) {
    const dgQuaternion q = dgQuaternion::FromMatrix(dgGetIdentityMatrix());
    EXPECT_EQ(q.w, 1.0f);
    EXPECT_EQ(q.x, 0.0f);
    EXPECT_EQ(q.y, 0.0f);
    EXPECT_EQ(q.z, 0.0f);
}

TEST(dgQuaternion, MatrixRoundTripThroughEveryBranch) {
    const dgVector origin(0.0f, 0.0f, 0.0f, 1.0f);
    // Trace path, then the largest diagonal entry at x, y and z (half turns and near half turns).
    const dgQuaternion cases[] = {
        Normalised(0.1f, -0.2f, 0.3f, 0.9f),  Normalised(0.95f, 0.1f, -0.2f, 0.05f),
        Normalised(-0.1f, 0.9f, 0.3f, 0.1f),  Normalised(0.2f, -0.1f, -0.95f, 0.1f),
        dgQuaternion(1.0f, 0.0f, 0.0f, 0.0f), dgQuaternion(0.0f, 1.0f, 0.0f, 0.0f),
        dgQuaternion(0.0f, 0.0f, 1.0f, 0.0f), Normalised(-0.9f, 0.3f, 0.2f, -0.1f),
    };
    for (const dgQuaternion& q : cases) {
        const dgQuaternion back = dgQuaternion::FromMatrix(dgMatrix::FromQuaternion(q, origin));
        EXPECT_TRUE(QuaternionNear(back, q, kChainTol));
    }
    RandomGeometry random(11);
    for (int i = 0; i < 500; i++) {
        const dgQuaternion q = random.UnitQuaternion();
        EXPECT_TRUE(
            QuaternionNear(dgQuaternion::FromMatrix(dgMatrix::FromQuaternion(q, origin)), q, kChainTol));
    }
}

TEST(dgQuaternion, ProductComposesRotationsInRowVectorOrder) {
    RandomGeometry random(12);
    const dgVector origin(0.0f, 0.0f, 0.0f, 1.0f);
    for (int i = 0; i < 50; i++) {
        const dgQuaternion a = random.UnitQuaternion();
        const dgQuaternion b = random.UnitQuaternion();
        const dgMatrix product = dgMatrix::FromQuaternion(a * b, origin);
        const dgMatrix composed =
            dgMatrix::FromQuaternion(a, origin).Multiply(dgMatrix::FromQuaternion(b, origin));
        EXPECT_TRUE(MatrixNear(product, composed, kChainTol));
    }
}

TEST(dgQuaternion, ProductFollowsTheEngineFormula) {
    const dgQuaternion a(1.0f, 2.0f, 3.0f, 4.0f);
    const dgQuaternion b(5.0f, 6.0f, 7.0f, 8.0f);
    // Vector part a.w*b + b.w*a - a x b = (20,24,28) + (8,16,24) - (-4,8,-4).
    const dgQuaternion r = a * b;
    EXPECT_EQ(r.x, 32.0f);
    EXPECT_EQ(r.y, 32.0f);
    EXPECT_EQ(r.z, 56.0f);
    EXPECT_EQ(r.w, 32.0f - 5.0f - 12.0f - 21.0f);
}

TEST(dgQuaternionSlerp, EndpointsAreTheInputs) {
    const dgQuaternion q0 = Normalised(0.1f, 0.2f, 0.3f, 0.9f);
    const dgQuaternion q1 = Normalised(-0.5f, 0.4f, 0.1f, 0.6f);
    EXPECT_TRUE(QuaternionNear(q0.Slerp(q1, 0.0f), q0, kRoundingTol));
    EXPECT_TRUE(QuaternionNear(q0.Slerp(q1, 1.0f), q1, kRoundingTol));
}

TEST(dgQuaternionSlerp, MidpointHalvesTheAngleAndStaysUnit) {
    RandomGeometry random(13);
    for (int i = 0; i < 200; i++) {
        const dgQuaternion q0 = random.UnitQuaternion();
        const dgQuaternion q1 = random.UnitQuaternion();
        const dgQuaternion mid = q0.Slerp(q1, 0.5f);
        EXPECT_NEAR(Dot(mid, mid), 1.0f, kChainTol);
        // Equal angle from both ends, measured in quaternion space.
        EXPECT_NEAR(Dot(mid, q0), Dot(mid, q1), kLooseTol);
        for (dgFloat32 t : {0.1f, 0.37f, 0.9f}) {
            const dgQuaternion q = q0.Slerp(q1, t);
            EXPECT_NEAR(Dot(q, q), 1.0f, kChainTol);
        }
    }
}

TEST(dgQuaternionSlerp, NearlyEqualInputsGiveTheNormalisedLinearBlend) {
    const dgQuaternion q0 = Normalised(0.1f, 0.2f, 0.3f, 0.9f);
    const dgQuaternion q1 = Normalised(0.1f, 0.2f, 0.303f, 0.9f);
    ASSERT_GE(Dot(q0, q1), 0.99999f);
    const dgQuaternion q = q0.Slerp(q1, 0.5f);
    const dgQuaternion blend = Normalised(q0.x + q1.x, q0.y + q1.y, q0.z + q1.z, q0.w + q1.w);
    EXPECT_TRUE(QuaternionNear(q, blend, kRoundingTol));
    EXPECT_NEAR(Dot(q, q), 1.0f, kRoundingTol);
}

TEST(dgQuaternionSlerp, NearlyOppositeInputsTurnThroughAPerpendicularAndStayUnit) {
    // z and w both nonzero: a "perpendicular" that is not one would give a non-unit result.
    const dgQuaternion q0 = Normalised(0.2f, 0.3f, 0.5f, 0.7f);
    const dgQuaternion q1(-q0.x, -q0.y, -q0.z, -q0.w);
    for (dgFloat32 t : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) {
        const dgQuaternion q = q0.Slerp(q1, t);
        EXPECT_NEAR(Dot(q, q), 1.0f, kChainTol) << t;
    }
    EXPECT_TRUE(QuaternionNear(q0.Slerp(q1, 0.0f), q0, kChainTol));
    EXPECT_NEAR(Dot(q0.Slerp(q1, 1.0f), q0), 0.0f, kChainTol);
}

TEST(dgQuaternionAngularVelocity, EqualOrientationsGiveZeroWithWZero) {
    const dgQuaternion q = Normalised(0.1f, 0.2f, 0.3f, 0.9f);
    EXPECT_TRUE(Vector4Near(q.AngularVelocity(q, 0.016f), dgVector(0.0f, 0.0f, 0.0f, 0.0f), 0.0f));
}

TEST(dgQuaternionAngularVelocity, IsAxisTimesAngleOverTime) {
    const dgQuaternion q0 = Normalised(0.1f, 0.2f, 0.3f, 0.9f);
    const dgVector axis(0.0f, 0.6f, 0.8f, 0.0f);
    const dgQuaternion q1 = q0 * dgQuaternion::FromAxisAngle(axis, 0.5f);
    const dgVector omega = q0.AngularVelocity(q1, 0.25f);
    EXPECT_TRUE(Vector4Near(omega, dgVector(0.0f, 1.2f, 1.6f, 1.0f), kLooseTol));
}

TEST(dgQuaternionAngularVelocity, IntegratingItReproducesTheTarget) {
    RandomGeometry random(14);
    constexpr dgFloat32 kDt = 1.0f / 60.0f;
    for (int i = 0; i < 100; i++) {
        const dgQuaternion q0 = random.UnitQuaternion();
        const dgQuaternion q1 =
            q0 * dgQuaternion::FromAxisAngle(random.UnitVector(), random.Float(0.001f, 0.1f));
        const dgVector omega = q0.AngularVelocity(q1, kDt);
        const dgFloat32 speed = std::sqrt(omega.DotProduct(omega));
        const dgQuaternion step = dgQuaternion::FromAxisAngle(omega.Scale(1.0f / speed), speed * kDt);
        EXPECT_TRUE(QuaternionNear(q0 * step, q1, kLooseTol));
    }
}
