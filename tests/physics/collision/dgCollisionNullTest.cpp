#include "physics/collision/dgCollisionNull.h"

#include "CollisionTestShapes.h"
#include "ShapeHolder.h"
#include "physics/collision/dgShapeSignature.h"
#include "support/MathAssertions.h"

#include <gtest/gtest.h>

TEST(dgCollisionNull, EveryQueryAnswersNothing) {
    const auto null = MakeShape<dgCollisionNull>(dgNullSignature());
    dgVector lo;
    dgVector hi;
    null->CalcWorldBox(MakeMatrix(dgVector(0, 1, 0, 0), 1.0f, P(3, 4, 5)), lo, hi);
    EXPECT_TRUE(Vector4Near(lo, P(3, 4, 5), 0.0f));
    EXPECT_TRUE(Vector4Near(hi, P(3, 4, 5), 0.0f));
    EXPECT_EQ(null->GetVolume(), 0.0f);
    EXPECT_TRUE(DisplayedFaces(*null, dgGetIdentityMatrix()).m_faces.empty());
    const dgVector under = null->CalcVolumeUnderPlane(dgGetIdentityMatrix(), nullptr, nullptr);
    EXPECT_TRUE(Vector4Near(under, dgVector(0, 0, 0, 0), 0.0f));
}

TEST(dgCollisionNull, RayCastIgnoresEvenAnAcceptingPrefilter) {
    const auto null = MakeShape<dgCollisionNull>(dgNullSignature());
    static int calls = 0;
    auto accept = [](dgBody*, const dgCollision*, void*) -> dgUnsigned32 {
        calls++;
        return 1;
    };
    dgContactPoint contact;
    contact.m_attribute = 77;
    EXPECT_FLOAT_EQ(null->RayCast(P(-1, 0, 0), P(1, 0, 0), contact, accept, nullptr, nullptr), 1.2f);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(contact.m_attribute, 77);
}

TEST(dgCollisionNull, SupportAndPlaneCutOfAnEmptyShapeAreSafe) {
    const auto null = MakeShape<dgCollisionNull>(dgNullSignature());
    EXPECT_TRUE(Vector4Near(null->SupportVertex(dgVector(1, 2, 3, 0)), dgVector(0, 0, 0, 0), 0.0f));
    dgVector out[dgConvexCollision::kMaxPlaneIntersectionPoints];
    EXPECT_EQ(null->CalcPlaneIntersection(dgVector(0, 1, 0, 0), P(0, 0, 0), out), 0);
    EXPECT_FLOAT_EQ(CastRayGeneric(*null, P(-1, 0, 0), P(1, 0, 0)).m_t, 1.2f);
    EXPECT_EQ(null->dgConvexCollision::GetVolume(), 0.0f);
}
