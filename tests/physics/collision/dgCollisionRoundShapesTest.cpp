#include "physics/collision/dgCollisionCapsule.h"
#include "physics/collision/dgCollisionChamferCylinder.h"
#include "physics/collision/dgCollisionCylinder.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"

#include "CollisionTestShapes.h"
#include "ShapeHolder.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const dgMatrix& Identity() {
    return dgGetIdentityMatrix();
}

} // namespace

TEST(dgCollisionCapsule, StraightPartIsClampedAndTipsLieOnTheAxis) {
    const auto shortOne = MakeShape<dgCollisionCapsule>(0u, 1.0f, 2.0f, Identity());
    EXPECT_FLOAT_EQ(shortOne->GetHalfLength(), 0.05f);
    const auto capsule = MakeShape<dgCollisionCapsule>(0u, -1.0f, 4.0f, Identity());
    EXPECT_FLOAT_EQ(capsule->GetHalfLength(), 1.0f);
    EXPECT_FLOAT_EQ(capsule->GetRadius(), 1.0f);
    EXPECT_TRUE(VectorNear(capsule->SupportVertex(dgVector(1.0f, 0.0f, 0.0f, 0.0f)), P(2.0f, 0.0f, 0.0f), 0.0f));
    EXPECT_TRUE(VectorNear(capsule->SupportVertex(dgVector(-1.0f, 0.0f, 0.0f, 0.0f)), P(-2.0f, 0.0f, 0.0f), 0.0f));
    EXPECT_EQ(capsule->GetVertexCount(), dgCollisionCapsule::kVertexCount);
    EXPECT_EQ(capsule->GetEdgeCount(), dgCollisionCapsule::kEdgeCount);
    EXPECT_TRUE(capsule->IsType(dgConvexCollisionClassId));
}

TEST(dgCollisionCapsule, SupportPointsLieOnTheRoundSurfaceNearTheBestPoint) {
    const auto capsule = MakeShape<dgCollisionCapsule>(0u, 1.0f, 4.0f, Identity());
    RandomGeometry random(7);
    for (int i = 0; i < 200; i++) {
        const dgVector d = random.UnitVector();
        const dgVector s = capsule->SupportVertex(d);
        const dgFloat32 cx = s.x > 0.0f ? 1.0f : -1.0f;
        const dgVector rel(s.x - cx, s.y, s.z, 0.0f);
        EXPECT_NEAR(std::sqrt(rel.DotProduct(rel)), 1.0f, 1.0e-4f);
        // The exact support value is |d| r + h |d.x|; the lattice loses at most a step's worth.
        EXPECT_NEAR(s.DotProduct(d), 1.0f + std::fabs(d.x), 1.0e-3f);
    }
}

TEST(dgCollisionCapsule, DisplayDefinesVolumeAndSignatureIsTheCreatorsKey) {
    const auto capsule = MakeShape<dgCollisionCapsule>(0u, 1.0f, 4.0f, Identity());
    EXPECT_NEAR(capsule->GetVolume(), 9.940665f, 1.0e-4f);
    const auto clamped = MakeShape<dgCollisionCapsule>(0u, -1.0f, 1.0f, Identity());
    EXPECT_EQ(clamped->CalcSignature(), dgRadiusHeightSignature(kCapsuleCollision, 1.0f, 1.0f, Identity()));
    const auto other = MakeShape<dgCollisionCapsule>(0u, 1.0f, 1.5f, Identity());
    // Both clamp to the same straight part but were asked for different heights.
    EXPECT_NE(clamped->CalcSignature(), other->CalcSignature());
}

TEST(dgCollisionCapsule, RaysHitSideAndCapsAndMissFromInside) {
    const auto capsule = MakeShape<dgCollisionCapsule>(0u, 1.0f, 4.0f, Identity());
    const RayResult side = CastRay(*capsule, P(0.5f, 3.0f, 0.0f), P(0.5f, -3.0f, 0.0f));
    EXPECT_NEAR(side.m_t, 2.0f / 6.0f, 1.0e-6f);
    EXPECT_TRUE(VectorNear(side.m_contact.m_normal, dgVector(0.0f, 1.0f, 0.0f, 0.0f), 1.0e-6f));
    const RayResult cap = CastRay(*capsule, P(5.0f, 0.0f, 0.0f), P(-5.0f, 0.0f, 0.0f));
    EXPECT_NEAR(cap.m_t, 0.3f, 1.0e-6f);
    EXPECT_TRUE(VectorNear(cap.m_contact.m_normal, dgVector(1.0f, 0.0f, 0.0f, 0.0f), 1.0e-6f));
    // Entering the side's cylinder beyond the straight part goes on to the cap sphere.
    const RayResult rim = CastRay(*capsule, P(1.5f, 3.0f, 0.0f), P(1.5f, -3.0f, 0.0f));
    const dgFloat32 y = std::sqrt(1.0f - 0.25f);
    EXPECT_NEAR(rim.m_t, (3.0f - y) / 6.0f, 1.0e-5f);
    EXPECT_EQ(CastRay(*capsule, P(0.0f, 0.0f, 0.0f), P(0.0f, 5.0f, 0.0f)).m_t, dgCollision::kNoHit);
    EXPECT_EQ(CastRay(*capsule, P(1.5f, 0.0f, 0.0f), P(5.0f, 0.0f, 0.0f)).m_t, dgCollision::kNoHit);
    // Grazing and short segments miss; a segment ending before the cap sphere is not a hit beyond p1.
    EXPECT_EQ(CastRay(*capsule, P(0.0f, 1.0f, -3.0f), P(0.0f, 1.0f, 3.0f)).m_t, dgCollision::kNoHit);
    EXPECT_EQ(CastRay(*capsule, P(5.0f, 0.0f, 0.0f), P(3.5f, 0.0f, 0.0f)).m_t, dgCollision::kNoHit);
}

TEST(dgCollisionCapsule, SteepPlanesTouchACapInOnePoint) {
    const auto capsule = MakeShape<dgCollisionCapsule>(0u, 1.0f, 4.0f, Identity());
    dgVector out[dgConvexCollision::kMaxPlaneIntersectionPoints];
    const dgInt32 count = capsule->CalcPlaneIntersection(dgVector(1.0f, 0.0f, 0.0f, 0.0f), P(1.5f, 0.3f, 0.2f), out);
    ASSERT_EQ(count, 1);
    EXPECT_TRUE(VectorNear(out[0], P(1.5f, 0.0f, 0.0f), 1.0e-6f));
    EXPECT_EQ(capsule->CalcPlaneIntersection(dgVector(1.0f, 0.0f, 0.0f, 0.0f), P(2.5f, 0.0f, 0.0f), out), 0);
    // A side plane cuts the polyhedron in several points, all on the plane.
    const dgInt32 sideCount = capsule->CalcPlaneIntersection(dgVector(0.0f, 0.6f, 0.8f, 0.0f), P(0.0f, 0.0f, 0.0f), out);
    ASSERT_GE(sideCount, 3);
    for (dgInt32 i = 0; i < sideCount; i++) {
        EXPECT_NEAR(out[i].y * 0.6f + out[i].z * 0.8f, 0.0f, 1.0e-5f);
    }
}

TEST(dgCollisionCylinder, AxialRayHitsTheCapAndRaysFromInsideMiss) {
    const auto cylinder = MakeShape<dgCollisionCylinder>(0u, 1.0f, 2.0f, Identity());
    const RayResult axial = CastRay(*cylinder, P(-5.0f, 0.0f, 0.0f), P(5.0f, 0.0f, 0.0f));
    EXPECT_NEAR(axial.m_t, 0.4f, 1.0e-6f);
    EXPECT_TRUE(VectorNear(axial.m_contact.m_normal, dgVector(-1.0f, 0.0f, 0.0f, 0.0f), 0.0f));
    const RayResult side = CastRay(*cylinder, P(0.5f, 0.0f, 3.0f), P(0.5f, 0.0f, -3.0f));
    EXPECT_NEAR(side.m_t, 2.0f / 6.0f, 1.0e-6f);
    EXPECT_TRUE(VectorNear(side.m_contact.m_normal, dgVector(0.0f, 0.0f, 1.0f, 0.0f), 1.0e-6f));
    // Slanted through the cap's disc from outside the side's cylinder.
    const RayResult slanted = CastRay(*cylinder, P(-3.0f, 2.0f, 0.0f), P(1.0f, -2.0f, 0.0f));
    EXPECT_NEAR(slanted.m_t, 0.5f, 1.0e-6f);
    EXPECT_FLOAT_EQ(slanted.m_contact.m_normal.x, -1.0f);
    EXPECT_EQ(CastRay(*cylinder, P(0.0f, 0.0f, 0.0f), P(5.0f, 0.0f, 0.0f)).m_t, dgCollision::kNoHit);
    EXPECT_EQ(CastRay(*cylinder, P(0.0f, 0.0f, 3.0f), P(0.0f, 0.0f, 2.0f)).m_t, dgCollision::kNoHit);
    EXPECT_EQ(CastRay(*cylinder, P(0.0f, 0.0f, 3.0f), P(0.0f, 0.0f, 5.0f)).m_t, dgCollision::kNoHit);
}

TEST(dgCollisionCylinder, DisplayVolumeAndUnitInertia) {
    const auto cylinder = MakeShape<dgCollisionCylinder>(0u, 1.0f, 2.0f, Identity());
    EXPECT_NEAR(cylinder->GetVolume(), 6.211657f, 1.0e-5f);
    dgVector inertia;
    dgVector centre;
    cylinder->CalcInertia(inertia, centre);
    EXPECT_TRUE(VectorNear(inertia, dgVector(0.494321f, 0.580494f, 0.580494f, 0.0f), 1.0e-5f));
    EXPECT_TRUE(VectorNear(centre, dgVector(0.0f, 0.0f, 0.0f, 0.0f), 1.0e-5f));
    EXPECT_EQ(cylinder->CalcSignature(), dgRadiusHeightSignature(kCylinderCollision, 1.0f, -2.0f, Identity()));
}

TEST(dgCollisionCylinder, SupportTakesTheCapOfTheDirectionsSide) {
    const auto cylinder = MakeShape<dgCollisionCylinder>(0u, 1.0f, 2.0f, Identity());
    EXPECT_FLOAT_EQ(cylinder->SupportVertex(dgVector(0.0f, 0.0f, 1.0f, 0.0f)).x, -1.0f);
    RandomGeometry random(11);
    for (int i = 0; i < 200; i++) {
        const dgVector d = random.UnitVector();
        const dgVector s = cylinder->SupportVertex(d);
        EXPECT_NEAR(s.y * s.y + s.z * s.z, 1.0f, 1.0e-5f);
        EXPECT_NEAR(s.DotProduct(d), std::fabs(d.x) + std::sqrt(d.y * d.y + d.z * d.z), 1.0e-3f);
    }
    dgVector out[dgConvexCollision::kMaxPlaneIntersectionPoints];
    const dgVector tilted(0.2f, 0.6f, 0.7745967f, 0.0f);
    const dgInt32 count = cylinder->CalcPlaneIntersection(tilted, P(0.0f, 0.0f, 0.0f), out);
    ASSERT_GE(count, 3);
    for (dgInt32 i = 0; i < count; i++) {
        EXPECT_NEAR(out[i].DotProduct(tilted), 0.0f, 1.0e-5f);
    }
}

TEST(dgCollisionChamferCylinder, DimensionsRaysAndVolume) {
    const auto wheel = MakeShape<dgCollisionChamferCylinder>(0u, 1.0f, 2.0f, Identity());
    EXPECT_FLOAT_EQ(wheel->GetRimRadius(), 1.0f);
    EXPECT_FLOAT_EQ(wheel->GetCoreRadius(), 0.1f);
    EXPECT_EQ(wheel->CalcSignature(), dgRadiusHeightSignature(kChamferCylinderCollision, 1.0f, 2.0f, Identity()));
    const RayResult axial = CastRay(*wheel, P(5.0f, 0.0f, 0.0f), P(-5.0f, 0.0f, 0.0f));
    EXPECT_NEAR(axial.m_t, 0.4f, 1.0e-6f);
    EXPECT_FLOAT_EQ(axial.m_contact.m_normal.x, 1.0f);
    const auto disc = MakeShape<dgCollisionChamferCylinder>(0u, 1.0f, 1.0f, Identity());
    EXPECT_NEAR(disc->GetVolume(), 2.491048f, 1.0e-4f);
    // Through the rounded rim the support ray cast answers, on the round surface (radius 1 in y).
    const RayResult rim = CastRay(*disc, P(0.0f, 3.0f, 0.0f), P(0.0f, -3.0f, 0.0f));
    EXPECT_NEAR(rim.m_t, 2.0f / 6.0f, 2.0e-3f);
    EXPECT_EQ(disc->GetVertexCount(), dgCollisionChamferCylinder::kVertexCount);
    EXPECT_EQ(disc->GetEdgeCount(), dgCollisionChamferCylinder::kEdgeCount);
}

TEST(dgCollisionChamferCylinder, SupportPointsLieOnTheRim) {
    const auto disc = MakeShape<dgCollisionChamferCylinder>(0u, 1.0f, 1.0f, Identity());
    RandomGeometry random(5);
    for (int i = 0; i < 200; i++) {
        const dgVector d = random.UnitVector();
        const dgVector s = disc->SupportVertex(d);
        // Exact support: rho |d_yz| + c.
        EXPECT_NEAR(s.DotProduct(d), 0.5f * std::sqrt(d.y * d.y + d.z * d.z) + 0.5f, 1.0e-3f);
    }
}

TEST(dgCollisionChamferCylinder, PlaneCutsAreSpacedAndBounded) {
    const auto disc = MakeShape<dgCollisionChamferCylinder>(0u, 1.0f, 1.0f, Identity());
    dgVector out[dgConvexCollision::kMaxPlaneIntersectionPoints];
    // Missing the core, inside the rim: the point itself.
    const dgVector rimPoint = P(0.0f, 0.8f, 0.0f);
    ASSERT_EQ(disc->CalcPlaneIntersection(dgVector(0.0f, 1.0f, 0.0f, 0.0f), rimPoint, out), 1);
    EXPECT_TRUE(VectorNear(out[0], rimPoint, 0.0f));
    EXPECT_EQ(disc->CalcPlaneIntersection(dgVector(0.0f, 1.0f, 0.0f, 0.0f), P(0.0f, 1.2f, 0.0f), out), 0);
    RandomGeometry random(3);
    for (int i = 0; i < 100; i++) {
        const dgVector n = random.UnitVector();
        const dgVector p = P(random.Float(-0.4f, 0.4f), random.Float(-0.3f, 0.3f), random.Float(-0.3f, 0.3f));
        const dgInt32 count = disc->CalcPlaneIntersection(n, p, out);
        ASSERT_GE(count, 1);
        ASSERT_LE(count, dgCollisionChamferCylinder::kMaxCutPoints);
        for (dgInt32 k = 0; k < count; k++) {
            EXPECT_NEAR(out[k].Sub(p).DotProduct(n), 0.0f, 1.0e-4f);
            EXPECT_LE(std::fabs(out[k].x), 0.5f + 1.0e-5f);
            EXPECT_LE(out[k].y * out[k].y + out[k].z * out[k].z, 0.25f + 1.0e-4f);
            if (k > 0) {
                EXPECT_GT(Distance2(out[k], out[k - 1]), 0.00390625f);
            }
        }
    }
}
