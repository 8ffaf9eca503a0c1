#include "physics/core/dgMatrix.h"

#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

dgMatrix Symmetric(dgFloat32 a00, dgFloat32 a11, dgFloat32 a22, dgFloat32 a01, dgFloat32 a02, dgFloat32 a12) {
    return dgMatrix(dgVector(a00, a01, a02, 0.0f), dgVector(a01, a11, a12, 0.0f),
                    dgVector(a02, a12, a22, 0.0f), dgVector(0.0f, 0.0f, 0.0f, 1.0f));
}

// The 3x3 product a * b, ignoring the posit row and column.
dgMatrix Product3x3(const dgMatrix& a, const dgMatrix& b) {
    dgMatrix r = dgGetIdentityMatrix();
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
        }
    }
    return r;
}

} // namespace

TEST(dgMatrixSymmetricInverse, DiagonalInvertsEachEntry) {
    const dgMatrix inv = Symmetric(2.0f, 4.0f, 8.0f, 0.0f, 0.0f, 0.0f).SymmetricInverse3x3();
    EXPECT_TRUE(MatrixNear(inv, Symmetric(0.5f, 0.25f, 0.125f, 0.0f, 0.0f, 0.0f), 0.0f));
}

TEST(dgMatrixSymmetricInverse, TimesTheMatrixGivesTheIdentity) {
    RandomGeometry random(21);
    for (int i = 0; i < 200; i++) {
        // Diagonally dominant, so well conditioned (an inertia-like tensor).
        dgMatrix m = random.SymmetricMatrix(1.0f);
        m.front.x = std::fabs(m.front.x) + 3.0f;
        m.up.y = std::fabs(m.up.y) + 3.0f;
        m.right.z = std::fabs(m.right.z) + 3.0f;
        const dgMatrix inv = m.SymmetricInverse3x3();
        EXPECT_TRUE(MatrixNear(Product3x3(m, inv), dgGetIdentityMatrix(), kChainTol));
        EXPECT_TRUE(Vector4Near(inv.posit, dgVector(0.0f, 0.0f, 0.0f, 1.0f), 0.0f));
        EXPECT_EQ(inv.front.w, 0.0f);
        EXPECT_EQ(inv.front.y, inv.up.x);
    }
}

TEST(dgMatrixSymmetricInverse, SingularMatrixGivesTheZeroInverse) {
    const dgMatrix zero3x3 = Symmetric(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    // Zero mass about one axis, and a rank-one tensor.
    EXPECT_TRUE(
        MatrixNear(Symmetric(1.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f).SymmetricInverse3x3(), zero3x3, 0.0f));
    EXPECT_TRUE(
        MatrixNear(Symmetric(1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f).SymmetricInverse3x3(), zero3x3, 0.0f));
    EXPECT_TRUE(MatrixNear(dgGetZeroMatrix().SymmetricInverse3x3(), zero3x3, 0.0f));
}

TEST(dgMatrixSymmetricInverse, InverseBeyondFloatRangeCountsAsSingular) {
    const dgMatrix inv = Symmetric(1.0f, 1.0f, 1.0e-39f, 0.0f, 0.0f, 0.0f).SymmetricInverse3x3();
    EXPECT_TRUE(MatrixNear(inv, Symmetric(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f), 0.0f));
}

TEST(dgMatrixEigen, DiagonalInputConvergesAtOnce) {
    dgMatrix m = Symmetric(3.0f, -1.0f, 7.0f, 0.0f, 0.0f, 0.0f);
    dgVector eigenvalues;
    m.EigenDecomposition(eigenvalues);
    EXPECT_TRUE(Vector4Near(eigenvalues, dgVector(3.0f, -1.0f, 7.0f, 1.0f), 0.0f));
    EXPECT_TRUE(MatrixNear(m, dgGetIdentityMatrix(), 0.0f));
}

TEST(dgMatrixEigen, CoupledPairSplitsIntoOneAndThree) {
    dgMatrix m = Symmetric(2.0f, 2.0f, 2.0f, 1.0f, 0.0f, 0.0f);
    dgVector eigenvalues;
    m.EigenDecomposition(eigenvalues);
    constexpr dgFloat32 c = 0.70710677f;
    EXPECT_TRUE(Vector4Near(eigenvalues, dgVector(1.0f, 3.0f, 2.0f, 1.0f), kRoundingTol));
    const dgMatrix expected(dgVector(c, -c, 0.0f, 0.0f), dgVector(c, c, 0.0f, 0.0f),
                            dgVector(0.0f, 0.0f, 1.0f, 0.0f), dgVector(0.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_TRUE(MatrixNear(m, expected, kRoundingTol));
}

TEST(dgMatrixEigen, RowsAreARightHandedBasisOfEigenvectors) {
    RandomGeometry random(22);
    for (int n = 0; n < 300; n++) {
        const dgMatrix a = random.SymmetricMatrix(5.0f);
        dgMatrix v = a;
        dgVector eigenvalues;
        v.EigenDecomposition(eigenvalues);
        EXPECT_TRUE(IsRightHandedOrthonormal(v, kChainTol)) << n;
        EXPECT_TRUE(Vector4Near(v.posit, dgVector(0.0f, 0.0f, 0.0f, 1.0f), 0.0f));
        EXPECT_EQ(eigenvalues.w, 1.0f);
        for (int i = 0; i < 3; i++) {
            // A is symmetric, so A * r (column form) is r rotated by A's rows.
            const dgVector ar = a.RotateVector(v[i]);
            EXPECT_TRUE(VectorNear(ar, v[i].Scale(eigenvalues[i]), 1.0e-4f * 15.0f)) << n << " row " << i;
        }
        // Reconstruction: sum of lambda_i * r_i r_i^T gives A back.
        for (int j = 0; j < 3; j++) {
            for (int k = 0; k < 3; k++) {
                dgFloat32 sum = 0.0f;
                for (int i = 0; i < 3; i++) {
                    sum += eigenvalues[i] * v[i][j] * v[i][k];
                }
                EXPECT_NEAR(sum, a[j][k], 1.0e-4f * 15.0f);
            }
        }
    }
}

TEST(dgMatrixEigen, NaNNeverConvergesAndFallsBackToTheIdentity) {
    dgMatrix m = Symmetric(1.0f, 2.0f, 3.0f, std::numeric_limits<dgFloat32>::quiet_NaN(), 0.5f, 0.0f);
    dgVector eigenvalues;
    m.EigenDecomposition(eigenvalues);
    EXPECT_TRUE(MatrixNear(m, dgGetIdentityMatrix(), 0.0f));
    EXPECT_EQ(eigenvalues.w, 1.0f);
    // The finite pair (0, 2) still rotates once the threshold drops to 0: its eigenvalues 2 -+ sqrt(1.25).
    const dgFloat32 r = std::sqrt(1.25f);
    EXPECT_TRUE(Vector4Near(eigenvalues, dgVector(2.0f - r, 2.0f, 2.0f + r, 1.0f), kRoundingTol));
}
