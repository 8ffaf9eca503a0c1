#include "physics/collision/dgCollisionCone.h"

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

// First parameter where segment p0-p1 meets the round cone of radius 1 and height 2 along x (apex at
// x = 1), by dense stepping and bisection of the inside test; 2 when it misses.
dgFloat32 RoundConeHit(const dgVector& p0, const dgVector& p1) {
    auto inside = [](const dgVector& p) {
        if (p.x < -1.0f || p.x > 1.0f) {
            return false;
        }
        const dgFloat32 radius = (1.0f - p.x) * 0.5f;
        return p.y * p.y + p.z * p.z <= radius * radius;
    };
    const dgVector d = p1.Sub(p0);
    constexpr int kSteps = 20000;
    for (int i = 0; i <= kSteps; i++) {
        const dgFloat32 t = static_cast<dgFloat32>(i) / kSteps;
        if (inside(p0.Add(d.Scale(t)))) {
            dgFloat32 lo = static_cast<dgFloat32>(i - 1) / kSteps;
            dgFloat32 hi = t;
            for (int k = 0; k < 30; k++) {
                const dgFloat32 mid = 0.5f * (lo + hi);
                (inside(p0.Add(d.Scale(mid))) ? hi : lo) = mid;
            }
            return hi;
        }
    }
    return 2.0f;
}

} // namespace

TEST(dgCollisionCone, DisplayVolumeIsRoundAndStoredVolumeIsThePyramids) {
    const auto cone = MakeShape<dgCollisionCone>(0u, 1.0f, 2.0f, Identity());
    EXPECT_NEAR(cone->GetVolume(), 2.070552f, 1.0e-5f);
    EXPECT_NEAR(cone->GetCentreAndVolume().w, 1.885618f, 1.0e-5f);
    // The centroid of a cone sits a quarter of the height above the base.
    EXPECT_NEAR(cone->GetCentreAndVolume().x, -0.5f, 1.0e-5f);
    dgVector inertia;
    dgVector centre;
    cone->CalcInertia(inertia, centre);
    EXPECT_NEAR(centre.x, -0.5f, 1.0e-5f);
    // Round cone about its axis: 3/10 r^2 (the 24-sided display is a little smaller).
    EXPECT_NEAR(inertia.x, 0.3f, 0.01f);
}

TEST(dgCollisionCone, SupportIsTheApexAlongTheAxisAndARimPointOtherwise) {
    const auto cone = MakeShape<dgCollisionCone>(0u, 1.0f, 2.0f, Identity());
    EXPECT_TRUE(VectorNear(cone->SupportVertex(dgVector(1, 0, 0, 0)), P(1, 0, 0), 0.0f));
    const dgVector back = cone->SupportVertex(dgVector(-1, 0, 0, 0));
    EXPECT_FLOAT_EQ(back.x, -1.0f);
    EXPECT_NEAR(back.y * back.y + back.z * back.z, 1.0f, 1.0e-5f);
    // Round local box: the rim reaches the full radius on y and z.
    EXPECT_TRUE(VectorNear(cone->GetBoxSize(), dgVector(1, 1, 1, 0), 1.0e-4f));
    RandomGeometry random(41);
    for (int i = 0; i < 200; i++) {
        const dgVector dir = random.UnitVector();
        const dgVector s = cone->SupportVertex(dir);
        // The round cone's support value is the larger of the apex's and the rim's best.
        const dgFloat32 exact = std::fmax(dir.x, -dir.x + std::sqrt(dir.y * dir.y + dir.z * dir.z));
        EXPECT_NEAR(s.DotProduct(dir), exact, 1.0e-4f);
    }
}

TEST(dgCollisionCone, GenericRayCastMeetsTheRoundCone) {
    const auto cone = MakeShape<dgCollisionCone>(0u, 1.0f, 2.0f, Identity());
    RandomGeometry random(43);
    dgInt32 hits = 0;
    for (int i = 0; i < 150; i++) {
        const dgVector p0 = random.UnitVector().Scale(3.0f);
        const dgVector start(p0.x, p0.y, p0.z, 1.0f);
        const dgVector p1 = random.Point(-0.2f, 0.2f);
        const RayResult hit = CastRay(*cone, start, p1);
        const dgFloat32 expected = RoundConeHit(start, p1);
        ASSERT_LT(hit.m_t, 1.0f);
        hits++;
        EXPECT_NEAR(hit.m_t * 3.0f, expected * 3.0f, 1.0e-3f) << i;
        // The normal faces the ray.
        EXPECT_LT(hit.m_contact.m_normal.DotProduct(p1.Sub(start)), 0.0f);
    }
    EXPECT_EQ(hits, 150);
    EXPECT_FLOAT_EQ(CastRay(*cone, P(-3, 2, 2), P(3, 2, 2)).m_t, 1.2f);
}

TEST(dgCollisionCone, PlaneCutTurnsWithThePlaneAboutTheAxis) {
    const auto cone = MakeShape<dgCollisionCone>(0u, 1.0f, 2.0f, Identity());
    const dgVector normal(0.3f, 0.9539392f, 0.0f, 0.0f);
    dgVector base[dgConvexCollision::kMaxPlaneIntersectionPoints];
    const dgInt32 count = cone->CalcPlaneIntersection(normal, P(0, 0, 0), base);
    ASSERT_GE(count, 3);
    for (dgFloat32 angle : {0.4f, 1.3f, 2.9f, -2.2f}) {
        const dgMatrix turn = MakeMatrix(dgVector(1, 0, 0, 0), angle, P(0, 0, 0));
        dgVector turned[dgConvexCollision::kMaxPlaneIntersectionPoints];
        ASSERT_EQ(cone->CalcPlaneIntersection(turn.RotateVector(normal), P(0, 0, 0), turned), count);
        for (dgInt32 i = 0; i < count; i++) {
            EXPECT_TRUE(VectorNear(turned[i], turn.RotateVector(base[i]), kLooseTol));
        }
    }
    // Along the axis the pyramid is cut directly: a square-ish octagon section at x = 0.
    dgVector section[dgConvexCollision::kMaxPlaneIntersectionPoints];
    EXPECT_EQ(cone->CalcPlaneIntersection(dgVector(1, 0, 0, 0), P(0, 0, 0), section), 8);
    EXPECT_EQ(cone->CalcPlaneIntersection(dgVector(1, 0, 0, 0), P(2, 0, 0), section), 0);
}
