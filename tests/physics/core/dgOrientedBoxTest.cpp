#include "physics/core/dgOrientedBox.h"

#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The eight corners (x, y, z) of the box centre +- half, packed with a 16-byte stride.
std::vector<dgVector> CuboidCorners(const dgVector& centre, const dgVector& half) {
    std::vector<dgVector> corners;
    for (int i = 0; i < 8; i++) {
        corners.emplace_back(centre.x + ((i & 1) ? half.x : -half.x), centre.y + ((i & 2) ? half.y : -half.y),
                             centre.z + ((i & 4) ? half.z : -half.z), 1.0f);
    }
    return corners;
}

dgVector Size(const dgOrientedBox& box) {
    return dgVector(box.m_size[0], box.m_size[1], box.m_size[2], 0.0f);
}

} // namespace

TEST(dgOrientedBox, DefaultAndSharedBoxesAreEmptyAtTheOrigin) {
    const dgOrientedBox box;
    EXPECT_TRUE(MatrixNear(box.m_frame, dgGetIdentityMatrix(), 0.0f));
    EXPECT_TRUE(VectorNear(Size(box), dgVector(), 0.0f));
    EXPECT_EQ(box.m_radius, 0.0f);
    EXPECT_EQ(&dgGetIdentityOrientedBox(), &dgGetIdentityOrientedBox());
    EXPECT_TRUE(MatrixNear(dgGetIdentityOrientedBox().m_frame, dgGetIdentityMatrix(), 0.0f));
}

TEST(dgOrientedBox, SetDimensionsTakesMagnitudesAndTheDiagonal) {
    dgOrientedBox box;
    box.SetDimensions(-1.0f, 2.0f, -2.0f);
    EXPECT_TRUE(VectorNear(Size(box), dgVector(1.0f, 2.0f, 2.0f, 0.0f), 0.0f));
    EXPECT_EQ(box.m_radius, 3.0f);
}

TEST(dgOrientedBox, QuaternionConstructorBuildsTheFrame) {
    const dgQuaternion q = dgQuaternion::FromAxisAngle(dgVector(0.0f, 1.0f, 0.0f, 0.0f), 0.4f);
    const dgVector position(1.0f, 2.0f, 3.0f, 1.0f);
    const dgOrientedBox box(q, position, dgVector(3.0f, -4.0f, 0.0f, 0.0f));
    EXPECT_TRUE(MatrixNear(box.m_frame, dgMatrix::FromQuaternion(q, position), 0.0f));
    EXPECT_EQ(box.m_radius, 5.0f);
}

TEST(dgOrientedBoxFit, SinglePointGivesTheMarginCube) {
    const dgFloat32 point[3] = {4.0f, -1.0f, 2.0f};
    dgOrientedBox box;
    box.FitToVertices(point, 12, 1, nullptr);
    EXPECT_TRUE(MatrixNear(
        box.m_frame,
        dgMatrix(dgVector(1, 0, 0, 0), dgVector(0, 1, 0, 0), dgVector(0, 0, 1, 0), dgVector(4, -1, 2, 1)),
        0.0f));
    EXPECT_TRUE(VectorNear(Size(box), dgVector(0.002f, 0.002f, 0.002f, 0.0f), 0.0f));
    EXPECT_NEAR(box.m_radius, 0.0034641f, 1.0e-7f);
}

TEST(dgOrientedBoxFit, AxisAlignedCuboidKeepsItsAxes) {
    const std::vector<dgVector> corners =
        CuboidCorners(dgVector(1.0f, 2.0f, 3.0f, 1.0f), dgVector(0.5f, 1.0f, 2.0f, 0.0f));
    dgOrientedBox box;
    box.FitToVertices(&corners[0].x, sizeof(dgVector), 8, nullptr);
    EXPECT_TRUE(MatrixNear(
        box.m_frame,
        dgMatrix(dgVector(1, 0, 0, 0), dgVector(0, 1, 0, 0), dgVector(0, 0, 1, 0), dgVector(1, 2, 3, 1)),
        0.0f));
    EXPECT_TRUE(VectorNear(Size(box), dgVector(0.5f + 0.002f, 1.0f + 0.002f, 2.0f + 0.002f, 0.0f), 0.0f));
    EXPECT_EQ(box.m_radius, 2.2943435f);
}

TEST(dgOrientedBoxFit, CubeStretchesTheCovarianceUntilTheAxesSeparate) {
    const std::vector<dgVector> corners =
        CuboidCorners(dgVector(0.0f, 0.0f, 0.0f, 1.0f), dgVector(1.0f, 1.0f, 1.0f, 0.0f));
    dgOrientedBox box;
    box.FitToVertices(&corners[0].x, sizeof(dgVector), 8, nullptr);
    EXPECT_TRUE(MatrixNear(box.m_frame, dgGetIdentityMatrix(), 0.0f));
    EXPECT_TRUE(VectorNear(Size(box), dgVector(1.002f, 1.002f, 1.002f, 0.0f), 0.0f));
    EXPECT_EQ(box.m_radius, 1.7355149f);
}

TEST(dgOrientedBoxFit, CollinearPointsNeedNoRetry) {
    const dgFloat32 points[9] = {0, 0, 0, 1, 0, 0, 2, 0, 0};
    dgOrientedBox box;
    box.FitToVertices(points, 12, 3, nullptr);
    EXPECT_TRUE(MatrixNear(
        box.m_frame,
        dgMatrix(dgVector(1, 0, 0, 0), dgVector(0, 1, 0, 0), dgVector(0, 0, 1, 0), dgVector(1, 0, 0, 1)),
        0.0f));
    EXPECT_TRUE(VectorNear(Size(box), dgVector(1.002f, 0.002f, 0.002f, 0.0f), 0.0f));
}

TEST(dgOrientedBoxFit, GivenAxesAreKeptAndOnlyCentreAndSizeFollow) {
    const dgMatrix axes = dgRotationMatrixZ(0.3f);
    const std::vector<dgVector> corners =
        CuboidCorners(dgVector(1.0f, 0.0f, 0.0f, 1.0f), dgVector(1.0f, 1.0f, 1.0f, 0.0f));
    dgOrientedBox box;
    box.FitToVertices(&corners[0].x, sizeof(dgVector), 8, &axes);
    EXPECT_TRUE(Vector4Near(box.m_frame.front, axes.front, 0.0f));
    EXPECT_TRUE(Vector4Near(box.m_frame.up, axes.up, 0.0f));
    EXPECT_TRUE(Vector4Near(box.m_frame.right, axes.right, 0.0f));
    EXPECT_TRUE(VectorNear(box.m_frame.posit, dgVector(1.0f, 0.0f, 0.0f, 1.0f), kRoundingTol));

    const dgMatrix& identity = dgGetIdentityMatrix();
    box.FitToVertices(&corners[0].x, sizeof(dgVector), 8, &identity);
    EXPECT_TRUE(VectorNear(Size(box), dgVector(1.002f, 1.002f, 1.002f, 0.0f), 0.0f));
}

TEST(dgOrientedBoxFit, IndexedFormReadsOnlyTheNamedPoints) {
    // Stride of five floats; the far point at index 1 is not named.
    const dgFloat32 vertices[15] = {0, 0, 0, 9, 9, 100, 100, 100, 9, 9, 2, 0, 0, 9, 9};
    const dgInt32 indices[2] = {2, 0};
    dgOrientedBox indexed;
    indexed.FitToVertices(vertices, 20, indices, 2, nullptr);
    const dgFloat32 packed[6] = {2, 0, 0, 0, 0, 0};
    dgOrientedBox strided;
    strided.FitToVertices(packed, 12, 2, nullptr);
    EXPECT_TRUE(MatrixNear(indexed.m_frame, strided.m_frame, 0.0f));
    EXPECT_TRUE(VectorNear(Size(indexed), Size(strided), 0.0f));
    EXPECT_TRUE(VectorNear(indexed.m_frame.posit, dgVector(1.0f, 0.0f, 0.0f, 1.0f), 0.0f));
}

TEST(dgOrientedBoxFit, NoPointsLeaveTheBoxUnchanged) {
    const dgOrientedBox original(dgRotationMatrixX(0.5f), dgVector(1.0f, 2.0f, 3.0f, 0.0f));
    dgOrientedBox box = original;
    const dgFloat32 point[3] = {1.0f, 1.0f, 1.0f};
    box.FitToVertices(point, 12, 0, nullptr);
    box.FitToVertices(point, 12, nullptr, 0, nullptr);
    box.FitToVertices(point, 12, 0, &dgGetIdentityMatrix());
    EXPECT_TRUE(MatrixNear(box.m_frame, original.m_frame, 0.0f));
    EXPECT_TRUE(VectorNear(Size(box), Size(original), 0.0f));
    EXPECT_EQ(box.m_radius, original.m_radius);
}

TEST(dgOrientedBoxFit, RotatedCuboidCornersGiveTheCuboidBack) {
    RandomGeometry random(31);
    for (int n = 0; n < 100; n++) {
        const dgMatrix placement = random.RigidMatrix(20.0f);
        const dgVector half(random.Float(0.1f, 1.0f), random.Float(1.5f, 3.0f), random.Float(4.0f, 6.0f),
                            0.0f);
        std::vector<dgVector> corners = CuboidCorners(dgVector(0.0f, 0.0f, 0.0f, 1.0f), half);
        for (dgVector& p : corners) {
            p = placement.TransformVector(p);
        }
        dgOrientedBox box;
        box.FitToVertices(&corners[0].x, sizeof(dgVector), 8, nullptr);
        // Distinct spreads: the covariance's axes are the cuboid's own, in no particular order.
        EXPECT_TRUE(IsRightHandedOrthonormal(box.m_frame, kChainTol));
        EXPECT_TRUE(VectorNear(box.m_frame.posit, placement.posit, 1.0e-4f)) << n;
        std::vector<dgFloat32> sizes(box.m_size, box.m_size + 3);
        std::sort(sizes.begin(), sizes.end());
        EXPECT_NEAR(sizes[0], half.x + 0.002f, 1.0e-4f) << n;
        EXPECT_NEAR(sizes[1], half.y + 0.002f, 1.0e-4f) << n;
        EXPECT_NEAR(sizes[2], half.z + 0.002f, 1.0e-4f) << n;
    }
}

TEST(dgOrientedBoxFit, RandomCloudsLieInsideTheFit) {
    RandomGeometry random(32);
    for (int n = 0; n < 100; n++) {
        const dgMatrix placement = random.RigidMatrix(20.0f);
        const dgVector spread(random.Float(0.1f, 5.0f), random.Float(0.1f, 5.0f), random.Float(0.1f, 5.0f),
                              0.0f);
        std::vector<dgVector> points;
        for (int i = 0; i < 30; i++) {
            const dgVector local = random.Point(-1.0f, 1.0f).CompProduct(spread);
            points.push_back(placement.TransformVector(local));
        }
        dgOrientedBox box;
        box.FitToVertices(&points[0].x, sizeof(dgVector), static_cast<dgInt32>(points.size()), nullptr);
        EXPECT_TRUE(IsRightHandedOrthonormal(box.m_frame, kChainTol));
        for (const dgVector& p : points) {
            const dgVector local = box.m_frame.InverseTransformVector(p);
            for (int k = 0; k < 3; k++) {
                EXPECT_LE(std::fabs(local[k]), box.m_size[k]) << n;
            }
        }
    }
}
