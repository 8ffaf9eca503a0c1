#include "physics/core/dgMatrix.h"

#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace {

constexpr dgFloat32 kHalfPi = std::numbers::pi_v<dgFloat32> * 0.5f;

dgMatrix EulerMatrix(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return dgRotationMatrixX(x).Multiply(dgRotationMatrixY(y)).Multiply(dgRotationMatrixZ(z));
}

} // namespace

TEST(dgMatrix, RotationsReturnWOneAndTransformsReturnPositsW) {
    RandomGeometry random(1);
    dgMatrix m = random.RigidMatrix(10.0f);
    const dgVector v(1.0f, 2.0f, 3.0f, 5.0f);
    EXPECT_EQ(m.RotateVector(v).w, 1.0f);
    EXPECT_EQ(m.InverseRotateVector(v).w, 1.0f);
    EXPECT_EQ(m.InverseTransformVector(v).w, 1.0f);
    m.posit.w = 0.5f;
    EXPECT_EQ(m.TransformVector(v).w, 0.5f);
}

TEST(dgMatrix, TransformAndInverseTransformRoundTripForRigidMatrices) {
    RandomGeometry random(2);
    for (int i = 0; i < 200; i++) {
        const dgMatrix m = random.RigidMatrix(100.0f);
        const dgVector p = random.Point(-50.0f, 50.0f);
        EXPECT_TRUE(VectorNear(m.InverseTransformVector(m.TransformVector(p)), p, 1.0e-4f));
        EXPECT_TRUE(VectorNear(m.InverseRotateVector(m.RotateVector(p)), p, kLooseTol));
        // The inverse matrix transforms like the inverse transform.
        EXPECT_TRUE(VectorNear(m.Inverse().TransformVector(p), m.InverseTransformVector(p), 1.0e-4f));
    }
}

TEST(dgMatrix, InverseOfARigidMatrixUndoesIt) {
    RandomGeometry random(3);
    for (int i = 0; i < 50; i++) {
        const dgMatrix m = random.RigidMatrix(20.0f);
        EXPECT_TRUE(MatrixNear(m.Multiply(m.Inverse()), dgGetIdentityMatrix(), kLooseTol));
        EXPECT_TRUE(MatrixNear(m.Inverse().Multiply(m), dgGetIdentityMatrix(), kLooseTol));
    }
}

TEST(dgMatrix, MultiplyAppliesTheLeftMatrixFirst) {
    RandomGeometry random(4);
    const dgMatrix a = random.RigidMatrix(5.0f);
    const dgMatrix b = random.RigidMatrix(5.0f);
    const dgVector p = random.Point(-5.0f, 5.0f);
    EXPECT_TRUE(
        VectorNear(a.Multiply(b).TransformVector(p), b.TransformVector(a.TransformVector(p)), kLooseTol));
}

TEST(dgMatrix, MultiplyIsTheFullFourByFourProduct) {
    const dgMatrix a(dgVector(1, 2, 3, 4), dgVector(5, 6, 7, 8), dgVector(9, 10, 11, 12),
                     dgVector(13, 14, 15, 16));
    const dgMatrix b(dgVector(2, 0, 0, 1), dgVector(0, 3, 0, 0), dgVector(0, 0, 4, 0), dgVector(1, 1, 1, 1));
    // Row 0: 1*(2,0,0,1) + 2*(0,3,0,0) + 3*(0,0,4,0) + 4*(1,1,1,1).
    const dgMatrix expected(dgVector(6, 10, 16, 5), dgVector(18, 26, 36, 13), dgVector(30, 42, 56, 21),
                            dgVector(42, 58, 76, 29));
    EXPECT_TRUE(MatrixNear(a.Multiply(b), expected, 0.0f));
}

TEST(dgMatrix, SingleAxisRotationsTurnTheNextAxisIntoTheOneAfter) {
    const dgVector x(1.0f, 0.0f, 0.0f, 1.0f);
    const dgVector y(0.0f, 1.0f, 0.0f, 1.0f);
    const dgVector z(0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_TRUE(VectorNear(dgRotationMatrixX(kHalfPi).RotateVector(y), z, kRoundingTol));
    EXPECT_TRUE(VectorNear(dgRotationMatrixY(kHalfPi).RotateVector(z), x, kRoundingTol));
    EXPECT_TRUE(VectorNear(dgRotationMatrixZ(kHalfPi).RotateVector(x), y, kRoundingTol));
    const dgMatrix rx = dgRotationMatrixX(0.3f);
    EXPECT_TRUE(Vector4Near(rx.up, dgVector(0.0f, std::cos(0.3f), std::sin(0.3f), 0.0f), 0.0f));
    EXPECT_TRUE(Vector4Near(rx.posit, dgVector(0.0f, 0.0f, 0.0f, 1.0f), 0.0f));
}

TEST(dgMatrix, SharedIdentityAndZeroAreBuiltOnce) {
    EXPECT_EQ(&dgGetIdentityMatrix(), &dgGetIdentityMatrix());
    EXPECT_TRUE(MatrixNear(
        dgGetIdentityMatrix(),
        dgMatrix(dgVector(1, 0, 0, 0), dgVector(0, 1, 0, 0), dgVector(0, 0, 1, 0), dgVector(0, 0, 0, 1)),
        0.0f));
    EXPECT_TRUE(MatrixNear(dgGetZeroMatrix(), dgMatrix(), 0.0f));
}

TEST(dgMatrixEulerAngles, IdentityGivesZeroAngles) {
    EXPECT_TRUE(Vector4Near(dgGetIdentityMatrix().GetEulerAngles(), dgVector(0.0f, 0.0f, 0.0f, 0.0f), 0.0f));
}

TEST(dgMatrixEulerAngles, RoundTripAwayFromThePoles) {
    RandomGeometry random(5);
    for (int i = 0; i < 200; i++) {
        const dgVector angles(random.Float(-3.1f, 3.1f), random.Float(-1.5f, 1.5f), random.Float(-3.1f, 3.1f),
                              0.0f);
        const dgVector back = EulerMatrix(angles.x, angles.y, angles.z).GetEulerAngles();
        EXPECT_TRUE(Vector4Near(back, angles, 1.0e-3f));
    }
}

TEST(dgMatrixEulerAngles, PitchDownPolePutsTheWholeTurnInX) {
    // y = -pi/2 makes front.z = 1: x comes from up, z is 0 and the pitch sine is clamped.
    const dgVector back = EulerMatrix(0.7f, -kHalfPi, 0.0f).GetEulerAngles();
    EXPECT_NEAR(back.x, 0.7f, kChainTol);
    EXPECT_EQ(back.y, dgAsin(-0.999999f));
    EXPECT_EQ(back.z, 0.0f);
    EXPECT_EQ(back.w, 0.0f);
}

TEST(dgMatrixEulerAngles, PitchUpPolePutsTheWholeTurnInX) {
    const dgVector back = EulerMatrix(-1.2f, kHalfPi, 0.0f).GetEulerAngles();
    EXPECT_NEAR(back.x, -1.2f, kChainTol);
    EXPECT_EQ(back.y, dgAsin(0.999999f));
    EXPECT_EQ(back.z, 0.0f);
}

TEST(dgMatrixEulerAngles, ExactPoleClampsTheSine) {
    dgMatrix m = dgGetIdentityMatrix();
    m.front = dgVector(0.0f, 0.0f, 1.0f, 0.0f);
    m.right = dgVector(-1.0f, 0.0f, 0.0f, 0.0f);
    const dgVector angles = m.GetEulerAngles();
    EXPECT_EQ(angles.y, dgAsin(-0.999999f));
    EXPECT_EQ(angles.z, 0.0f);
}

TEST(dgMatrixTransformPointArray, TransformsInPlaceWithoutTouchingW) {
    RandomGeometry random(6);
    const dgMatrix m = random.RigidMatrix(10.0f);
    dgVector points[5];
    dgVector expected[5];
    for (int i = 0; i < 5; i++) {
        points[i] = random.Point(-3.0f, 3.0f);
        points[i].w = 42.0f + static_cast<dgFloat32>(i);
        expected[i] = m.TransformVector(points[i]);
    }
    // Five points: one group of four, then one alone.
    m.TransformPointArray(&points[0].x, sizeof(dgVector), &points[0].x, sizeof(dgVector), 5);
    for (int i = 0; i < 5; i++) {
        EXPECT_TRUE(VectorNear(points[i], expected[i], 0.0f)) << i;
        EXPECT_EQ(points[i].w, 42.0f + static_cast<dgFloat32>(i));
    }
}

TEST(dgMatrixTransformPointArray, PackedPointsMatchTransformVectorExactly) {
    RandomGeometry random(7);
    const dgMatrix m = random.RigidMatrix(10.0f);
    constexpr int kCount = 7;
    dgFloat32 packed[kCount * 3];
    dgFloat32 original[kCount * 3];
    for (float& f : packed) {
        f = random.Float(-4.0f, 4.0f);
    }
    std::copy(std::begin(packed), std::end(packed), std::begin(original));
    m.TransformPointArray(packed, 12, packed, 12, kCount);
    for (int i = 0; i < kCount; i++) {
        const dgVector expected = m.TransformVector(dgVector(&original[i * 3]));
        EXPECT_TRUE(VectorNear(dgVector(&packed[i * 3]), expected, 0.0f)) << i;
    }
}

TEST(dgMatrixTransformPointArray, CountZeroWritesNothing) {
    dgFloat32 dst[3] = {7.0f, 8.0f, 9.0f};
    const dgFloat32 src[3] = {1.0f, 2.0f, 3.0f};
    dgRotationMatrixX(1.0f).TransformPointArray(dst, 12, src, 12, 0);
    EXPECT_EQ(dst[0], 7.0f);
    EXPECT_EQ(dst[2], 9.0f);
}

TEST(dgMatrixTransformBBox, BoxHoldsEveryTransformedCornerAndTouchesIt) {
    RandomGeometry random(8);
    for (int n = 0; n < 50; n++) {
        const dgMatrix m = random.RigidMatrix(10.0f);
        const dgVector p0 = random.Point(-3.0f, 0.0f);
        const dgVector p1 = random.Point(0.5f, 3.0f);
        dgVector lo;
        dgVector hi;
        m.TransformBBox(p0, p1, lo, hi);
        EXPECT_EQ(lo.w, 1.0f);
        EXPECT_EQ(hi.w, 1.0f);
        int touchesLo[3] = {0, 0, 0};
        int touchesHi[3] = {0, 0, 0};
        for (int i = 0; i < 8; i++) {
            const dgVector corner((i & 1) ? p1.x : p0.x, (i & 2) ? p1.y : p0.y, (i & 4) ? p1.z : p0.z, 1.0f);
            const dgVector q = m.TransformVector(corner);
            for (int k = 0; k < 3; k++) {
                EXPECT_LE(lo[k], q[k]);
                EXPECT_GE(hi[k], q[k]);
                touchesLo[k] += lo[k] == q[k];
                touchesHi[k] += hi[k] == q[k];
            }
        }
        for (int k = 0; k < 3; k++) {
            EXPECT_GT(touchesLo[k], 0);
            EXPECT_GT(touchesHi[k], 0);
        }
    }
}
