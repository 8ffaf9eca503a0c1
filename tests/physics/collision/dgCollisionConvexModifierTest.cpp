#include "physics/collision/dgCollisionConvexModifier.h"

#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionSphere.h"

#include "CollisionTestShapes.h"
#include "ShapeHolder.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

dgMatrix Scaled(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    dgMatrix m = dgGetIdentityMatrix();
    m.front.x = x;
    m.up.y = y;
    m.right.z = z;
    return m;
}

int g_released = 0;
void CountRelease(dgWorld*, dgCollision* collision) {
    g_released++;
    dgRefRelease(collision);
}

} // namespace

TEST(dgCollisionConvexModifier, IdentityAnswersAsTheChild) {
    const auto box = MakeShape<dgCollisionBox>(0u, 1.0f, 2.0f, 3.0f, dgGetIdentityMatrix());
    const auto modifier = MakeShape<dgCollisionConvexModifier>(box.get(), nullptr);
    EXPECT_NEAR(modifier->GetVolume(), box->GetVolume(), 1.0e-6f);
    RandomGeometry random(8);
    for (int i = 0; i < 50; i++) {
        const dgVector d = random.UnitVector();
        EXPECT_TRUE(VectorNear(modifier->SupportVertex(d), box->SupportVertex(d), 1.0e-6f));
    }
    const RayResult a = CastRay(*modifier, P(3.0f, 0.2f, 0.1f), P(-3.0f, 0.2f, 0.1f));
    const RayResult b = CastRay(*box, P(3.0f, 0.2f, 0.1f), P(-3.0f, 0.2f, 0.1f));
    EXPECT_FLOAT_EQ(a.m_t, b.m_t);
    EXPECT_TRUE(VectorNear(a.m_contact.m_normal, b.m_contact.m_normal, 1.0e-6f));
    dgVector inertiaA, centreA, inertiaB, centreB;
    modifier->CalcInertia(inertiaA, centreA);
    box->CalcInertia(inertiaB, centreB);
    EXPECT_TRUE(VectorNear(inertiaA, inertiaB, 1.0e-5f));
}

TEST(dgCollisionConvexModifier, ScalingXDoublesVolumeAndBox) {
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 1.0f, dgGetIdentityMatrix());
    const auto modifier = MakeShape<dgCollisionConvexModifier>(sphere.get(), nullptr);
    ASSERT_TRUE(modifier->TrySetModifierMatrix(Scaled(2.0f, 1.0f, 1.0f)));
    EXPECT_NEAR(modifier->GetVolume(), 2.0f * sphere->GetVolume(), 1.0e-5f);
    dgVector lo, hi;
    modifier->CalcWorldBox(dgGetIdentityMatrix(), lo, hi);
    EXPECT_NEAR(hi.x - lo.x, 4.0f, 1.0e-4f);
    EXPECT_NEAR(hi.y - lo.y, 2.0f, 1.0e-4f);
    // The display integrates to the same doubled volume.
    dgVector inertia, centre;
    modifier->CalcInertia(inertia, centre);
    EXPECT_GT(inertia.y, inertia.x);
    // A hit on the stretched side: its normal is the ellipsoid's, not the unit sphere's.
    const RayResult hit = CastRay(*modifier, P(3.0f, 3.0f, 0.0f), P(-1.0f, -1.0f, 0.0f));
    ASSERT_LT(hit.m_t, 1.0f);
    const dgVector p = P(3.0f, 3.0f, 0.0f).Add(dgVector(-4.0f, -4.0f, 0.0f, 0.0f).Scale(hit.m_t));
    dgVector expected(p.x / 4.0f, p.y, 0.0f, 0.0f);
    expected = expected.Scale(1.0f / std::sqrt(expected.DotProduct(expected)));
    EXPECT_NEAR(hit.m_contact.m_normal.x, expected.x, 2.0e-3f);
    EXPECT_NEAR(hit.m_contact.m_normal.y, expected.y, 2.0e-3f);
    EXPECT_NEAR(hit.m_contact.m_normal.DotProduct(hit.m_contact.m_normal), 1.0f, 1.0e-5f);
}

TEST(dgCollisionConvexModifier, InverseSurvivesAZeroPivotAndRefusesSingularMatrices) {
    const auto box = MakeShape<dgCollisionBox>(0u, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
    const auto modifier = MakeShape<dgCollisionConvexModifier>(box.get(), nullptr);
    // Swapping x and y (with a shift) has a zero first pivot; the determinant is -1.
    dgMatrix swap(dgVector(0.0f, 1.0f, 0.0f, 0.0f), dgVector(1.0f, 0.0f, 0.0f, 0.0f), dgVector(0.0f, 0.0f, 1.0f, 0.0f),
                  dgVector(1.0f, 2.0f, 3.0f, 1.0f));
    ASSERT_TRUE(modifier->TrySetModifierMatrix(swap));
    EXPECT_TRUE(MatrixNear(modifier->GetModifierMatrix(), swap, 0.0f));
    EXPECT_NEAR(modifier->GetDeterminant(), -1.0f, 1.0e-6f);
    // A mirror keeps a positive volume and its display still faces out.
    EXPECT_NEAR(modifier->GetVolume(), 1.0f, 1.0e-5f);
    dgVector inertia, centre;
    modifier->CalcInertia(inertia, centre);
    EXPECT_TRUE(VectorNear(centre, P(1.0f, 2.0f, 3.0f), 1.0e-5f));
    EXPECT_NEAR(inertia.x, 1.0f / 6.0f, 1.0e-4f);
    const RayResult hit = CastRay(*modifier, P(1.0f, 2.0f, 10.0f), P(1.0f, 2.0f, 0.0f));
    EXPECT_NEAR(hit.m_t, (10.0f - 3.5f) / 10.0f, 1.0e-5f);
    // A singular matrix is refused and the previous one stays.
    EXPECT_FALSE(modifier->TrySetModifierMatrix(Scaled(1.0f, 0.0f, 1.0f)));
    modifier->SetModifierMatrix(dgGetZeroMatrix());
    EXPECT_TRUE(MatrixNear(modifier->GetModifierMatrix(), swap, 0.0f));
    EXPECT_NEAR(modifier->GetDeterminant(), -1.0f, 1.0e-6f);
}

TEST(dgCollisionConvexModifier, VolumeUnderPlaneIsCarriedThroughTheMatrix) {
    const auto box = MakeShape<dgCollisionBox>(0u, 2.0f, 2.0f, 2.0f, dgGetIdentityMatrix());
    const auto modifier = MakeShape<dgCollisionConvexModifier>(box.get(), nullptr);
    dgMatrix m = Scaled(1.0f, 2.0f, 1.0f);
    m.posit = P(0.0f, 1.0f, 0.0f);
    ASSERT_TRUE(modifier->TrySetModifierMatrix(m));
    // The modified box spans y in [-1, 3]; the plane y = 0 leaves a 2 x 1 x 2 slab below.
    dgFloat32 plane[4] = {0.0f, 1.0f, 0.0f, 0.0f};
    const dgVector under = modifier->CalcVolumeUnderPlane(dgGetIdentityMatrix(), FixedPlane, plane);
    EXPECT_NEAR(under.w, 4.0f, 1.0e-4f);
    EXPECT_NEAR(under.y, -0.5f, 1.0e-4f);
    const dgVector all = modifier->CalcVolumeUnderPlane(dgGetIdentityMatrix(), nullptr, nullptr);
    EXPECT_NEAR(all.w, 16.0f, 1.0e-3f);
    EXPECT_NEAR(all.y, 1.0f, 1.0e-4f);
}

TEST(dgCollisionConvexModifier, ChildIsReleasedOnce) {
    auto* sphere = new dgCollisionSphere(0u, 1.0f, dgGetIdentityMatrix());
    g_released = 0;
    auto* modifier = new dgCollisionConvexModifier(sphere, nullptr, CountRelease);
    EXPECT_EQ(dgRefRelease(modifier), 0);
    EXPECT_EQ(g_released, 1);
    // The creator's reference is the one left.
    EXPECT_EQ(sphere->GetRefCount(), 1);
    EXPECT_EQ(dgRefRelease(sphere), 0);
}
