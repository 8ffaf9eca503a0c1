#include "physics/collision/dgIntersections.h"

#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

dgVector P(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return dgVector(x, y, z, 1.0f);
}

dgFloat32 Distance2(const dgVector& a, const dgVector& b) {
    const dgVector d = a.Sub(b);
    return d.DotProduct(d);
}

dgVector Lerp(const dgVector& a, const dgVector& b, dgFloat32 t) {
    return a.Add(b.Sub(a).Scale(t));
}

// Nearest of a dense grid of triangle points: an upper bound on the true distance.
dgFloat32 SampledTriangleDistance2(const dgVector& p, const dgVector& a, const dgVector& b,
                                   const dgVector& c) {
    constexpr int kSteps = 120;
    dgFloat32 best = 1.0e30f;
    for (int i = 0; i <= kSteps; i++) {
        for (int j = 0; i + j <= kSteps; j++) {
            const dgFloat32 u = static_cast<dgFloat32>(i) / kSteps;
            const dgFloat32 v = static_cast<dgFloat32>(j) / kSteps;
            const dgVector q = a.Add(b.Sub(a).Scale(u)).Add(c.Sub(a).Scale(v));
            best = std::fmin(best, Distance2(p, q));
        }
    }
    return best;
}

// A unit square in the plane z = 0 wound so its normal is +z.
const dgFloat32 kSquare[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
const dgInt32 kSquareIndices[4] = {0, 1, 2, 3};

} // namespace

TEST(BoxesOverlap, OverlapMustBeStrictOnEveryAxis) {
    const dgVector lo(0.0f, 0.0f, 0.0f, 1.0f);
    const dgVector hi(1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(BoxesOverlap(lo, hi, P(0.5f, 0.5f, 0.5f), P(2.0f, 2.0f, 2.0f)));
    // Sharing a face on x, y or z is no overlap, from either side.
    EXPECT_FALSE(BoxesOverlap(lo, hi, P(1.0f, 0.0f, 0.0f), P(2.0f, 1.0f, 1.0f)));
    EXPECT_FALSE(BoxesOverlap(lo, hi, P(0.0f, -1.0f, 0.0f), P(1.0f, 0.0f, 1.0f)));
    EXPECT_FALSE(BoxesOverlap(lo, hi, P(0.0f, 0.0f, 1.0f), P(1.0f, 1.0f, 2.0f)));
    EXPECT_FALSE(BoxesOverlap(lo, hi, P(0.5f, 0.5f, 3.0f), P(2.0f, 2.0f, 4.0f)));
    // Containment overlaps.
    EXPECT_TRUE(BoxesOverlap(lo, hi, P(0.2f, 0.2f, 0.2f), P(0.3f, 0.3f, 0.3f)));
}

TEST(ClosestPointOnSegment, ClampsToTheEndsAndKeepsP0sW) {
    const dgVector p0(0.0f, 0.0f, 0.0f, 5.0f);
    const dgVector p1(2.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_TRUE(Vector4Near(ClosestPointOnSegment(P(1.0f, 3.0f, 0.0f), p0, p1),
                            dgVector(1.0f, 0.0f, 0.0f, 5.0f), 0.0f));
    EXPECT_TRUE(VectorNear(ClosestPointOnSegment(P(7.0f, 1.0f, 0.0f), p0, p1), p1, 0.0f));
    EXPECT_TRUE(VectorNear(ClosestPointOnSegment(P(-7.0f, 1.0f, 0.0f), p0, p1), p0, 0.0f));
}

TEST(ClosestPointOnSegment, DegenerateSegmentGivesItsPoint) {
    const dgVector p0 = P(1.0f, 2.0f, 3.0f);
    EXPECT_TRUE(VectorNear(ClosestPointOnSegment(P(5.0f, 5.0f, 5.0f), p0, p0), p0, 0.0f));
}

TEST(ClosestPointsOfSegments, ParallelSegmentsGiveTheirMidpoints) {
    dgVector a;
    dgVector b;
    ClosestPointsOfSegments(P(0, 0, 0), P(2, 0, 0), P(5, 1, 0), P(9, 1, 0), a, b);
    EXPECT_TRUE(VectorNear(a, P(1, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(b, P(7, 1, 0), 0.0f));
}

TEST(ClosestPointsOfSegments, CrossingSegmentsMeetAtTheirCrossing) {
    dgVector a;
    dgVector b;
    ClosestPointsOfSegments(P(-1, 0, 0), P(1, 0, 0), P(0.5f, -1, 2), P(0.5f, 1, 2), a, b);
    EXPECT_TRUE(VectorNear(a, P(0.5f, 0, 0), kRoundingTol));
    EXPECT_TRUE(VectorNear(b, P(0.5f, 0, 2), kRoundingTol));
}

TEST(ClosestPointsOfSegments, NoSampledPairIsCloser) {
    RandomGeometry random(41);
    for (int n = 0; n < 200; n++) {
        const dgVector a0 = random.Point(-2, 2), a1 = random.Point(-2, 2);
        const dgVector b0 = random.Point(-2, 2), b1 = random.Point(-2, 2);
        dgVector a;
        dgVector b;
        ClosestPointsOfSegments(a0, a1, b0, b1, a, b);
        // Both answers lie on their segments.
        EXPECT_NEAR(Distance2(a, ClosestPointOnSegment(a, a0, a1)), 0.0f, 1.0e-8f);
        EXPECT_NEAR(Distance2(b, ClosestPointOnSegment(b, b0, b1)), 0.0f, 1.0e-8f);
        const dgFloat32 found = std::sqrt(Distance2(a, b));
        dgFloat32 sampled = 1.0e30f;
        constexpr int kSteps = 200;
        for (int i = 0; i <= kSteps; i++) {
            const dgVector pa = Lerp(a0, a1, static_cast<dgFloat32>(i) / kSteps);
            sampled = std::fmin(sampled, Distance2(pa, ClosestPointOnSegment(pa, b0, b1)));
        }
        EXPECT_LE(found, std::sqrt(sampled) + 1.0e-4f) << n;
    }
}

TEST(ClosestPointOnTriangle, RegionsGiveCornersEdgesAndInterior) {
    const dgVector a = P(0, 0, 0), b = P(2, 0, 0), c = P(0, 2, 0);
    EXPECT_TRUE(VectorNear(ClosestPointOnTriangle(P(-1, -1, 3), a, b, c), a, 0.0f));
    EXPECT_TRUE(VectorNear(ClosestPointOnTriangle(P(3, -1, 0), a, b, c), b, 0.0f));
    EXPECT_TRUE(VectorNear(ClosestPointOnTriangle(P(-1, 5, 0), a, b, c), c, 0.0f));
    EXPECT_TRUE(VectorNear(ClosestPointOnTriangle(P(1, -3, 1), a, b, c), P(1, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(ClosestPointOnTriangle(P(-3, 1, 1), a, b, c), P(0, 1, 0), 0.0f));
    EXPECT_TRUE(VectorNear(ClosestPointOnTriangle(P(2, 2, 0), a, b, c), P(1, 1, 0), kRoundingTol));
    EXPECT_TRUE(
        VectorNear(ClosestPointOnTriangle(P(0.5f, 0.5f, 4), a, b, c), P(0.5f, 0.5f, 0), kRoundingTol));
}

TEST(ClosestPointOnTriangle, NoSampledPointIsCloser) {
    RandomGeometry random(42);
    for (int n = 0; n < 150; n++) {
        const dgVector a = random.Point(-1, 1), b = random.Point(-1, 1), c = random.Point(-1, 1);
        const dgVector p = random.Point(-2, 2);
        const dgVector q = ClosestPointOnTriangle(p, a, b, c);
        // The answer lies in the triangle's plane and is no farther than any sample.
        const dgVector normal = b.Sub(a).CrossProduct(c.Sub(a));
        EXPECT_NEAR(q.Sub(a).DotProduct(normal), 0.0f, 1.0e-5f) << n;
        EXPECT_LE(std::sqrt(Distance2(p, q)), std::sqrt(SampledTriangleDistance2(p, a, b, c)) + 1.0e-5f) << n;
    }
}

TEST(ClosestPointOnTriangle, DegenerateTrianglesGiveTheNearestEdgePoint) {
    const dgVector a = P(0, 0, 0), c = P(2, 0, 0);
    // Two coincident corners, then three collinear ones: never NaN, always on the segment.
    const dgVector q0 = ClosestPointOnTriangle(P(1, 1, 0), a, a, c);
    EXPECT_TRUE(VectorNear(q0, P(1, 0, 0), kRoundingTol));
    const dgVector q1 = ClosestPointOnTriangle(P(1, 1, 0), a, c, a);
    EXPECT_TRUE(VectorNear(q1, P(1, 0, 0), kRoundingTol));
    const dgVector q2 = ClosestPointOnTriangle(P(0.5f, 1, 0), a, P(1, 0, 0), c);
    EXPECT_TRUE(VectorNear(q2, P(0.5f, 0, 0), kRoundingTol));
    const dgVector q3 = ClosestPointOnTriangle(P(3, 1, 0), a, a, a);
    EXPECT_TRUE(VectorNear(q3, a, 0.0f));
}

TEST(ClosestPointOnPolygon, FindsTheNearestFanPointWithinReach) {
    dgVector out;
    ASSERT_TRUE(ClosestPointOnPolygon(P(0.75f, 0.75f, 0.5f), kSquare, 12, kSquareIndices, 4, 1.0f, out));
    EXPECT_TRUE(Vector4Near(out, dgVector(0.75f, 0.75f, 0.0f, 1.0f), kRoundingTol));
    ASSERT_TRUE(ClosestPointOnPolygon(P(3.0f, 0.5f, 0.0f), kSquare, 12, kSquareIndices, 4, 2.5f, out));
    EXPECT_TRUE(VectorNear(out, P(1.0f, 0.5f, 0.0f), kRoundingTol));
    EXPECT_FALSE(ClosestPointOnPolygon(P(3.0f, 0.5f, 0.0f), kSquare, 12, kSquareIndices, 4, 1.5f, out));
}

TEST(ClosestPointOnPolygon, FewerThanThreeIndicesIsNoPolygon) {
    dgVector out(9.0f, 9.0f, 9.0f, 9.0f);
    EXPECT_FALSE(ClosestPointOnPolygon(P(0, 0, 0), kSquare, 12, kSquareIndices, 2, 1.0e12f, out));
    EXPECT_TRUE(Vector4Near(out, dgVector(9.0f, 9.0f, 9.0f, 9.0f), 0.0f));
}

TEST(ClipSegmentToBox, CrossingSegmentIsCutAtTheFaces) {
    dgVector a = P(-1.0f, 0.5f, 0.5f);
    dgVector b = P(3.0f, 0.5f, 0.5f);
    ASSERT_TRUE(ClipSegmentToBox(a, b, P(0, 0, 0), P(1, 1, 1)));
    EXPECT_TRUE(VectorNear(a, P(0.0f, 0.5f, 0.5f), 0.0f));
    EXPECT_TRUE(VectorNear(b, P(1.0f, 0.5f, 0.5f), 0.0f));
}

TEST(ClipSegmentToBox, DiagonalSegmentIsInterpolatedOnTheOtherAxes) {
    dgVector a = P(-1.0f, -1.0f, -1.0f);
    dgVector b = P(2.0f, 2.0f, 2.0f);
    ASSERT_TRUE(ClipSegmentToBox(a, b, P(0, 0, 0), P(1, 1, 1)));
    EXPECT_TRUE(VectorNear(a, P(0, 0, 0), kRoundingTol));
    EXPECT_TRUE(VectorNear(b, P(1, 1, 1), kRoundingTol));
}

TEST(ClipSegmentToBox, InsideSegmentIsUnchanged) {
    dgVector a = P(0.2f, 0.3f, 0.4f);
    dgVector b = P(0.9f, 0.1f, 0.5f);
    ASSERT_TRUE(ClipSegmentToBox(a, b, P(0, 0, 0), P(1, 1, 1)));
    EXPECT_TRUE(VectorNear(a, P(0.2f, 0.3f, 0.4f), 0.0f));
    EXPECT_TRUE(VectorNear(b, P(0.9f, 0.1f, 0.5f), 0.0f));
}

TEST(ClipSegmentToBox, SegmentBeyondOneFaceIsRejectedBeforeTheOthers) {
    // Beyond x = max: rejected at once, so the y clip (which would move b) never runs.
    dgVector a = P(2.0f, 0.5f, 0.5f);
    dgVector b = P(3.0f, 5.0f, 0.5f);
    EXPECT_FALSE(ClipSegmentToBox(a, b, P(0, 0, 0), P(1, 1, 1)));
    EXPECT_TRUE(VectorNear(b, P(3.0f, 5.0f, 0.5f), 0.0f));
    // Passes the x planes, then misses on y.
    dgVector c = P(0.5f, -2.0f, 0.5f);
    dgVector d = P(0.6f, -1.0f, 0.5f);
    EXPECT_FALSE(ClipSegmentToBox(c, d, P(0, 0, 0), P(1, 1, 1)));
}

TEST(RayPolygonIntersect, FrontHitGivesTheParameterAndNormal) {
    dgFloat32 t = -1.0f;
    dgVector n;
    ASSERT_TRUE(RayPolygonIntersect(P(0.75f, 0.6f, 2.0f), P(0.75f, 0.6f, -2.0f), kSquare, 12, kSquareIndices,
                                    4, t, n));
    EXPECT_FLOAT_EQ(t, 0.5f);
    EXPECT_TRUE(VectorNear(n, P(0, 0, 1), 0.0f));
    // A hit in the second fan triangle.
    ASSERT_TRUE(
        RayPolygonIntersect(P(0.1f, 0.9f, 1.0f), P(0.1f, 0.9f, -3.0f), kSquare, 12, kSquareIndices, 4, t, n));
    EXPECT_FLOAT_EQ(t, 0.25f);
}

TEST(RayPolygonIntersect, BackFaceParallelAndShortSegmentsMiss) {
    dgFloat32 t = 0.0f;
    dgVector n;
    EXPECT_FALSE(
        RayPolygonIntersect(P(0.5f, 0.5f, -1.0f), P(0.5f, 0.5f, 1.0f), kSquare, 12, kSquareIndices, 4, t, n));
    EXPECT_FALSE(
        RayPolygonIntersect(P(0.5f, 0.5f, 1.0f), P(1.5f, 0.5f, 1.0f), kSquare, 12, kSquareIndices, 4, t, n));
    EXPECT_FALSE(
        RayPolygonIntersect(P(0.5f, 0.5f, 2.0f), P(0.5f, 0.5f, 1.0f), kSquare, 12, kSquareIndices, 4, t, n));
    EXPECT_FALSE(
        RayPolygonIntersect(P(3.0f, 0.5f, 1.0f), P(3.0f, 0.5f, -1.0f), kSquare, 12, kSquareIndices, 4, t, n));
}

TEST(RayPolygonIntersect, GrazingAnyEdgeWithinTheToleranceHits) {
    const dgInt32 triangle[3] = {0, 1, 2};
    dgFloat32 t = 0.0f;
    dgVector n;
    // Just outside each edge, by far less than 1e-5 of the triangle's scale, and clearly outside: the
    // edges c0-c1 (y = 0), c1-c2 (x = 1, the one not from c0) and c0-c2 (x = y), outward normals below.
    const dgFloat32 outward[3][2] = {{0.0f, -1.0f}, {1.0f, 0.0f}, {-0.7071f, 0.7071f}};
    const dgFloat32 onEdge[3][2] = {{0.5f, 0.0f}, {1.0f, 0.5f}, {0.5f, 0.5f}};
    for (int e = 0; e < 3; e++) {
        for (const dgFloat32 gap : {1.2e-7f, 1.0e-3f}) {
            const dgFloat32 x = onEdge[e][0] + gap * outward[e][0];
            const dgFloat32 y = onEdge[e][1] + gap * outward[e][1];
            EXPECT_EQ(RayPolygonIntersect(P(x, y, 1.0f), P(x, y, -1.0f), kSquare, 12, triangle, 3, t, n), gap < 1.0e-5f)
                << "edge " << e << ", gap " << gap;
        }
    }
}

TEST(RayPolygonIntersect, FewerThanThreeIndicesOrNoAreaMisses) {
    dgFloat32 t = 0.0f;
    dgVector n;
    EXPECT_FALSE(
        RayPolygonIntersect(P(0.5f, 0.5f, 1.0f), P(0.5f, 0.5f, -1.0f), kSquare, 12, kSquareIndices, 2, t, n));
    const dgInt32 collinear[3] = {0, 1, 1};
    EXPECT_FALSE(
        RayPolygonIntersect(P(0.5f, 0.0f, 1.0f), P(0.5f, 0.0f, -1.0f), kSquare, 12, collinear, 3, t, n));
}

TEST(RayPolygonIntersect, ReadsVerticesAtAnyByteStride) {
    // Each vertex followed by an attribute float: a 16-byte stride.
    const dgFloat32 padded[16] = {0, 0, 0, 7, 1, 0, 0, 7, 1, 1, 0, 7, 0, 1, 0, 7};
    dgFloat32 t = 0.0f;
    dgVector n;
    EXPECT_TRUE(
        RayPolygonIntersect(P(0.9f, 0.8f, 1.0f), P(0.9f, 0.8f, -1.0f), padded, 16, kSquareIndices, 4, t, n));
    EXPECT_FLOAT_EQ(t, 0.5f);
}
