#include "physics/collision/dgConvexCollision.h"

#include "CollisionTestShapes.h"
#include "ShapeHolder.h"
#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionCone.h"
#include "physics/collision/dgCollisionSphere.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const dgMatrix& Identity() {
    return dgGetIdentityMatrix();
}

dgFloat32 BruteForceSupport(const dgConvexCollision& shape, const dgVector& dir) {
    dgFloat32 best = -1e30f;
    for (dgInt32 i = 0; i < shape.GetVertexCount(); i++) {
        best = std::fmax(best, shape.GetVertices()[i].DotProduct(dir));
    }
    return best;
}

} // namespace

TEST(dgConvexCollision, HillClimbSupportEqualsBruteForce) {
    const auto box = MakeShape<dgCollisionBox>(0u, 1.0f, 2.0f, 3.0f, Identity());
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 1.5f, Identity());
    const auto cone = MakeShape<dgCollisionCone>(0u, 1.0f, 3.0f, Identity());
    const TestPrism prism(40, 0.5f);
    RandomGeometry random(47);
    for (const dgConvexCollision* shape :
         {static_cast<const dgConvexCollision*>(box.get()),
          static_cast<const dgConvexCollision*>(sphere.get()),
          static_cast<const dgConvexCollision*>(cone.get()), static_cast<const dgConvexCollision*>(&prism)}) {
        for (int i = 0; i < 300; i++) {
            const dgVector dir = random.UnitVector();
            const dgVector s = shape->dgConvexCollision::SupportVertex(dir);
            EXPECT_FLOAT_EQ(s.DotProduct(dir), BruteForceSupport(*shape, dir));
        }
        // The zero direction stays at edge 0's vertex.
        const dgVector zero = shape->dgConvexCollision::SupportVertex(dgVector(0, 0, 0, 0));
        EXPECT_TRUE(Vector4Near(zero, shape->GetVertices()[shape->GetEdges()[0].m_vertex], 0.0f));
    }
}

TEST(dgConvexCollision, VolumeUnderAPlaneOfAHalfSubmergedCube) {
    const auto cube = MakeShape<dgCollisionBox>(0u, 1.0f, 1.0f, 1.0f, Identity());
    const dgMatrix placement = MakeMatrix(dgVector(0, 1, 0, 0), 0.6f, P(2, 5, -1));
    // The fluid surface y = 5 in world space passes through the cube's centre.
    dgFloat32 surface[4] = {0.0f, 1.0f, 0.0f, -5.0f};
    const dgVector half = cube->CalcVolumeUnderPlane(placement, FixedPlane, surface);
    EXPECT_NEAR(half.w, 0.5f, 1.0e-5f);
    EXPECT_TRUE(VectorNear(half, P(2, 4.75f, -1), 1.0e-5f));
    // A unit normal scaled by ten describes the same plane.
    dgFloat32 scaled[4] = {0.0f, 10.0f, 0.0f, -50.0f};
    EXPECT_NEAR(cube->CalcVolumeUnderPlane(placement, FixedPlane, scaled).w, 0.5f, 1.0e-5f);

    dgFloat32 high[4] = {0.0f, 1.0f, 0.0f, -10.0f};
    const dgVector whole = cube->CalcVolumeUnderPlane(placement, FixedPlane, high);
    EXPECT_NEAR(whole.w, 1.0f, 1.0e-5f);
    EXPECT_TRUE(VectorNear(whole, P(2, 5, -1), 1.0e-5f));
    EXPECT_NEAR(cube->CalcVolumeUnderPlane(placement, nullptr, nullptr).w, 1.0f, 1.0e-5f);

    dgFloat32 low[4] = {0.0f, 1.0f, 0.0f, 0.0f};
    const dgVector none = cube->CalcVolumeUnderPlane(placement, FixedPlane, low);
    EXPECT_EQ(none.w, 0.0f);
    EXPECT_TRUE(VectorNear(none, P(2, 5, -1), 0.0f));

    // A vertex within 1e-5 of the plane counts as on it: the top face resting in the surface is whole.
    dgFloat32 top[4] = {0.0f, 1.0f, 0.0f, -5.5f - 0.5e-5f};
    EXPECT_NEAR(
        cube->CalcVolumeUnderPlane(MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(2, 5, -1)), FixedPlane, top).w,
        1.0f, 1.0e-5f);
}

TEST(dgConvexCollision, VolumeUnderTiltedPlanesAddsUpToTheWhole) {
    const auto box = MakeShape<dgCollisionBox>(0u, 1.0f, 2.0f, 3.0f, Identity());
    RandomGeometry random(53);
    for (int i = 0; i < 50; i++) {
        const dgVector n = random.UnitVector();
        const dgFloat32 w = random.Float(-0.8f, 0.8f);
        dgFloat32 below[4] = {n.x, n.y, n.z, w};
        dgFloat32 above[4] = {-n.x, -n.y, -n.z, -w};
        const dgVector a = box->CalcVolumeUnderPlane(Identity(), FixedPlane, below);
        const dgVector b = box->CalcVolumeUnderPlane(Identity(), FixedPlane, above);
        EXPECT_NEAR(a.w + b.w, 6.0f, 1.0e-4f);
        // The two parts' centres balance about the box's centre.
        EXPECT_TRUE(VectorNear(a.Scale(a.w).Add(b.Scale(b.w)), dgVector(0, 0, 0, 0), 1.0e-3f));
    }
}

TEST(dgConvexCollision, ShapesWithThousandsOfEdgesKeepEveryFace) {
    // 6000 half-edges and a cap of 1000 points: beyond any fixed mark buffer.
    const TestPrism prism(1000, 0.5f);
    ASSERT_EQ(prism.GetEdgeCount(), 6000);
    EXPECT_NEAR(prism.GetCentreAndVolume().w, prism.ExactVolume(), 1.0e-4f);
    EXPECT_NEAR(prism.GetVolume(), prism.ExactVolume(), 1.0e-4f);
    const DisplayedFaces faces(prism, Identity());
    EXPECT_EQ(faces.m_faces.size(), 1002u);
    dgFloat32 surface[4] = {0.0f, 1.0f, 0.0f, 0.0f};
    const dgVector half = prism.CalcVolumeUnderPlane(Identity(), FixedPlane, surface);
    EXPECT_NEAR(half.w, 0.5f * prism.ExactVolume(), 1.0e-4f);
    EXPECT_NEAR(half.y, -0.25f, 1.0e-4f);
    // The generic cut through the prism's middle is reduced to twelve points on the ring.
    dgVector points[dgConvexCollision::kMaxPlaneIntersectionPoints];
    const dgInt32 count = prism.CalcPlaneIntersection(dgVector(0, 1, 0, 0), P(0, 0.1f, 0), points);
    EXPECT_EQ(count, dgConvexCollision::kMaxPlaneIntersectionPoints);
    for (dgInt32 i = 0; i < count; i++) {
        EXPECT_NEAR(points[i].y, 0.1f, kRoundingTol);
        EXPECT_NEAR(points[i].x * points[i].x + points[i].z * points[i].z, 1.0f, 1.0e-4f);
    }
}

TEST(dgConvexCollision, GenericPlaneCutMissesAndHits) {
    const TestPrism prism(6, 1.0f);
    dgVector points[dgConvexCollision::kMaxPlaneIntersectionPoints];
    EXPECT_EQ(prism.CalcPlaneIntersection(dgVector(0, 1, 0, 0), P(0, 3, 0), points), 0);
    EXPECT_EQ(prism.CalcPlaneIntersection(dgVector(0, -1, 0, 0), P(0, -3, 0), points), 0);
    const dgInt32 count = prism.CalcPlaneIntersection(dgVector(0, 1, 0, 0), P(0, 0.5f, 0), points);
    ASSERT_EQ(count, 6);
    // Counter-clockwise about the normal.
    const dgVector turn = points[1].Sub(points[0]).CrossProduct(points[2].Sub(points[1]));
    EXPECT_GT(turn.y, 0.0f);
    // A plane through a diagonal of the hexagon's side faces yields each cut vertex once.
    const dgInt32 tilted = prism.CalcPlaneIntersection(dgVector(1, 0, 0, 0), P(0, 0, 0), points);
    for (dgInt32 i = 0; i < tilted; i++) {
        EXPECT_GE(Distance2(points[i], points[(i + 1) % tilted]), 1.0e-8f);
    }
}

TEST(dgConvexCollision, GenericRayCastEdgeCases) {
    const auto box = MakeShape<dgCollisionBox>(0u, 2.0f, 2.0f, 2.0f, Identity());
    // Starting inside: a hit at 0, the normal against the ray.
    const RayResult inside = CastRayGeneric(*box, P(0.2f, 0.1f, 0), P(5, 0.1f, 0));
    EXPECT_EQ(inside.m_t, 0.0f);
    const dgVector back = P(0.2f, 0.1f, 0).Sub(P(5, 0.1f, 0));
    EXPECT_TRUE(VectorNear(inside.m_contact.m_normal, back.Scale(1.0f / std::sqrt(back.DotProduct(back))),
                           kChainTol));
    // Ending exactly on the surface is no hit; pointing away is no hit.
    EXPECT_FLOAT_EQ(CastRayGeneric(*box, P(-5, 0, 0), P(-1, 0, 0)).m_t, 1.2f);
    EXPECT_FLOAT_EQ(CastRayGeneric(*box, P(-5, 0, 0), P(-9, 0, 0)).m_t, 1.2f);
    // A rejecting prefilter leaves the record alone.
    dgContactPoint contact;
    contact.m_attribute = 5;
    auto reject = [](dgBody*, const dgCollision*, void*) -> dgUnsigned32 { return 0; };
    EXPECT_FLOAT_EQ(
        box->dgConvexCollision::RayCast(P(-5, 0, 0), P(5, 0, 0), contact, reject, nullptr, nullptr), 1.2f);
    EXPECT_EQ(contact.m_attribute, 5);
    // A flat prism is still hit on its faces.
    const TestPrism disc(12, 0.01f);
    const RayResult down = CastRayGeneric(disc, P(0.1f, 2, 0.2f), P(0.1f, -2, 0.2f));
    EXPECT_NEAR(down.m_t, (2.0f - 0.01f) / 4.0f, 1.0e-5f);
    EXPECT_TRUE(VectorNear(down.m_contact.m_normal, dgVector(0, 1, 0, 0), 1.0e-4f));
}

TEST(dgConvexCollision, LocalBoxAndWorldBoxOfTheGenericShape) {
    const TestPrism prism(4, 2.0f);
    // A square of corners on the unit circle at 0, 90, 180 and 270 degrees.
    EXPECT_TRUE(VectorNear(prism.GetBoxSize(), dgVector(1, 2, 1, 0), kRoundingTol));
    dgVector lo;
    dgVector hi;
    prism.CalcWorldBox(MakeMatrix(dgVector(0, 0, 1, 0), 1.5707963f, P(10, 0, 0)), lo, hi);
    EXPECT_TRUE(VectorNear(lo, P(8, -1, -1), kChainTol));
    EXPECT_TRUE(VectorNear(hi, P(12, 1, 1), kChainTol));
}

TEST(dgConvexCollision, ShapesBeyondTheSixteenBitEdgeRangeAreRefusedAndStayEmpty) {
    // 11000 sides make 66000 half-edges.
    const TestPrism prism(11000, 0.5f);
    EXPECT_EQ(prism.GetEdgeCount(), 0);
    EXPECT_EQ(prism.GetVertexCount(), 0);
    EXPECT_TRUE(Vector4Near(prism.SupportVertex(dgVector(1, 0, 0, 0)), dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_EQ(prism.GetVolume(), 0.0f);
    EXPECT_FLOAT_EQ(CastRay(prism, P(-5, 0, 0), P(5, 0, 0)).m_t, 1.2f);
    dgVector points[dgConvexCollision::kMaxPlaneIntersectionPoints];
    EXPECT_EQ(prism.CalcPlaneIntersection(dgVector(0, 1, 0, 0), P(0, 0, 0), points), 0);
}
