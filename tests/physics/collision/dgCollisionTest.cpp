#include "physics/collision/dgCollision.h"

#include "CollisionTestShapes.h"
#include "ShapeHolder.h"
#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionCone.h"
#include "physics/collision/dgCollisionEllipse.h"
#include "physics/collision/dgCollisionNull.h"
#include "physics/collision/dgCollisionPoint.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgHash.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>

namespace {

template <class T, class... Args> ShapePtr<T> Make(Args&&... args) {
    return MakeShape<T>(std::forward<Args>(args)...);
}

const dgMatrix& Identity() {
    return dgGetIdentityMatrix();
}

} // namespace

TEST(dgCollision, OffsetFlagFollowsTheIdentityTestNotTheBits) {
    dgMatrix negativeZeros = Identity();
    negativeZeros.front.y = -0.0f;
    negativeZeros.posit.z = -0.0f;
    const auto plain =
        Make<dgCollisionBox>(dgBoxSignature(1, 1, 1, Identity()), 1.0f, 1.0f, 1.0f, Identity());
    const auto signedZero =
        Make<dgCollisionBox>(dgBoxSignature(1, 1, 1, negativeZeros), 1.0f, 1.0f, 1.0f, negativeZeros);
    EXPECT_EQ(plain->GetFlags() & dgCollision::kOffsetNotIdentity, 0u);
    EXPECT_EQ(signedZero->GetFlags() & dgCollision::kOffsetNotIdentity, 0u);
    // The signature hashes the bits, so the two are different cache entries.
    EXPECT_NE(plain->CalcSignature(), signedZero->CalcSignature());

    dgMatrix almost = Identity();
    almost.up.y = 0.99999994f;
    EXPECT_FALSE(dgCollision::IsIdentity(almost));
    dgMatrix notANumber = Identity();
    notANumber.right.x = std::numeric_limits<dgFloat32>::quiet_NaN();
    EXPECT_FALSE(dgCollision::IsIdentity(notANumber));
    const auto moved = Make<dgCollisionSphere>(0u, 1.0f, MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(1, 0, 0)));
    EXPECT_NE(moved->GetFlags() & dgCollision::kOffsetNotIdentity, 0u);
    // The vehicle bits survive a new placement, which rewrites bit 0 alone.
    moved->SetFlags(dgCollision::kVehicleChassis | dgCollision::kTireShape, true);
    moved->SetOffsetMatrix(Identity());
    EXPECT_EQ(moved->GetFlags(), dgCollision::kVehicleChassis | dgCollision::kTireShape);
    moved->SetFlags(dgCollision::kVehicleChassis, false);
    EXPECT_EQ(moved->GetFlags(), dgCollision::kTireShape);
}

TEST(dgCollision, EveryShapeIsOfItsClassAndItsBases) {
    const auto box = Make<dgCollisionBox>(0u, 1.0f, 1.0f, 1.0f, Identity());
    const auto cone = Make<dgCollisionCone>(0u, 1.0f, 1.0f, Identity());
    const auto sphere = Make<dgCollisionSphere>(0u, 1.0f, Identity());
    const auto ellipse = Make<dgCollisionEllipse>(0u, 1.0f, 2.0f, 3.0f, Identity());
    const auto null = Make<dgCollisionNull>(dgNullSignature());
    const auto point = Make<dgCollisionPoint>(0u, Identity());
    const dgCollision* all[] = {box.get(), cone.get(), sphere.get(), ellipse.get(), null.get(), point.get()};
    for (const dgCollision* shape : all) {
        EXPECT_TRUE(shape->IsType(dgRefClassId));
        EXPECT_TRUE(shape->IsType(dgCollisionClassId));
        EXPECT_TRUE(shape->IsType(dgConvexCollisionClassId));
        EXPECT_TRUE(shape->IsType(shape->GetTypeId()));
        EXPECT_FALSE(shape->IsType(dgCompoundCollisionClassId));
    }
    EXPECT_EQ(box->GetTypeId(), dgCollisionBoxClassId);
    EXPECT_EQ(cone->GetTypeId(), dgCollisionConeClassId);
    EXPECT_EQ(null->GetTypeId(), dgCollisionNullClassId);
    EXPECT_EQ(point->GetTypeId(), dgCollisionSphereClassId);
    EXPECT_TRUE(ellipse->IsType(dgCollisionSphereClassId));
    EXPECT_FALSE(sphere->IsType(dgCollisionEllipseClassId));
    EXPECT_FALSE(box->IsType(dgCollisionSphereClassId));

    EXPECT_EQ(box->GetCollisionType(), kBoxCollision);
    EXPECT_EQ(cone->GetCollisionType(), kConeCollision);
    EXPECT_EQ(sphere->GetCollisionType(), kSphereCollision);
    EXPECT_EQ(ellipse->GetCollisionType(), kEllipseCollision);
    EXPECT_EQ(null->GetCollisionType(), kNullCollision);
}

TEST(dgCollision, UserIdIsPointerWideAndBecomesTheRayAttribute) {
    const auto box = Make<dgCollisionBox>(0u, 2.0f, 2.0f, 2.0f, Identity());
    static int database = 0;
    const std::uintptr_t id = reinterpret_cast<std::uintptr_t>(&database);
    box->SetUserId(id);
    EXPECT_EQ(box->GetUserId(), id);
    const RayResult hit = CastRay(*box, P(-5, 0, 0), P(5, 0, 0));
    EXPECT_EQ(static_cast<std::uintptr_t>(hit.m_contact.m_attribute), id);
    const RayResult generic = CastRayGeneric(*box, P(-5, 0.2f, 0), P(5, 0.2f, 0));
    EXPECT_EQ(static_cast<std::uintptr_t>(generic.m_contact.m_attribute), id);
}

TEST(dgShapeSignature, ShapesAgreeWithTheCreatorsKeys) {
    const dgMatrix offset = MakeMatrix(dgVector(0, 0, 1, 0), 0.5f, P(1, 2, 3));
    const auto box = Make<dgCollisionBox>(dgBoxSignature(1, -2, 3, offset), 1.0f, -2.0f, 3.0f, offset);
    EXPECT_EQ(box->CalcSignature(), box->GetSignature());
    EXPECT_EQ(dgBoxSignature(1, 2, 3, offset), dgBoxSignature(-1, 2, -3, offset));
    // Halves 1.0 and 1.0002 quantise to the same 1024.
    EXPECT_EQ(dgBoxSignature(2.0f, 1, 1, offset), dgBoxSignature(2.0004f, 1, 1, offset));
    EXPECT_NE(dgBoxSignature(2.0f, 1, 1, offset), dgBoxSignature(2.01f, 1, 1, offset));
    EXPECT_NE(dgBoxSignature(1, 2, 3, offset), dgBoxSignature(1, 2, 3, Identity()));

    const auto sphere = Make<dgCollisionSphere>(dgSphereSignature(-0.5f, offset), 0.5f, offset);
    EXPECT_EQ(sphere->CalcSignature(), sphere->GetSignature());
    const auto ellipse =
        Make<dgCollisionEllipse>(dgEllipseSignature(0.5f, 0.5f, 0.5f, offset), 0.5f, 0.5f, 0.5f, offset);
    EXPECT_EQ(ellipse->CalcSignature(), ellipse->GetSignature());
    EXPECT_NE(ellipse->CalcSignature(), sphere->CalcSignature());

    const auto cone =
        Make<dgCollisionCone>(dgRadiusHeightSignature(kConeCollision, 1, -3, offset), 1.0f, -3.0f, offset);
    EXPECT_EQ(cone->CalcSignature(), cone->GetSignature());
    EXPECT_NE(cone->CalcSignature(), dgRadiusHeightSignature(kCylinderCollision, 1, 3, offset));

    const auto null = Make<dgCollisionNull>(dgNullSignature());
    EXPECT_EQ(null->CalcSignature(), dgCollisionNullClassId);
}

TEST(dgShapeSignature, IsTheHashOfTheZeroFilledKeyRecord) {
    dgUnsigned32 record[32] = {};
    record[0] = kSphereCollision;
    record[1] = static_cast<dgUnsigned32>(dgFloatToFixed(0.75f));
    std::memcpy(&record[2], &Identity(), sizeof(dgMatrix));
    EXPECT_EQ(dgSphereSignature(0.75f, Identity()), dgHashBuffer(record, sizeof(record)));
}

TEST(dgConvexCollision, AngularStepCountIsClampedTo128Through1024) {
    EXPECT_FLOAT_EQ(dgConvexCollision::GetAngularStep(0.25f), 6.28318f / 128.0f);
    EXPECT_FLOAT_EQ(dgConvexCollision::GetAngularStep(1.0f), 6.28318f / 256.0f);
    EXPECT_FLOAT_EQ(dgConvexCollision::GetAngularStep(2.0f), 6.28318f / 512.0f);
    EXPECT_FLOAT_EQ(dgConvexCollision::GetAngularStep(10.0f), 6.28318f / 1024.0f);
}

TEST(dgConvexCollision, ShapesOfAClassShareOneEdgeTable) {
    const auto a = Make<dgCollisionBox>(0u, 1.0f, 2.0f, 3.0f, Identity());
    const auto b = Make<dgCollisionBox>(0u, 4.0f, 5.0f, 6.0f, Identity());
    EXPECT_EQ(a->GetEdges(), b->GetEdges());
    EXPECT_NE(a->GetVertices(), b->GetVertices());
    const auto s = Make<dgCollisionSphere>(0u, 1.0f, Identity());
    const auto e = Make<dgCollisionEllipse>(0u, 1.0f, 2.0f, 3.0f, Identity());
    EXPECT_EQ(s->GetEdges(), e->GetEdges());
    EXPECT_EQ(a->GetEdgeCount(), 24);
    EXPECT_EQ(s->GetEdgeCount(), dgCollisionSphere::kEdgeCount);
    EXPECT_EQ(s->GetVertexCount(), dgCollisionSphere::kVertexCount);
    const auto c = Make<dgCollisionCone>(0u, 1.0f, 2.0f, Identity());
    EXPECT_EQ(c->GetEdgeCount(), dgCollisionCone::kEdgeCount);
    // Edge 0 has the smallest key: destination 0, the smallest origin among the edges into vertex 0.
    for (const dgConvexCollision* shape :
         {static_cast<const dgConvexCollision*>(a.get()), static_cast<const dgConvexCollision*>(s.get()),
          static_cast<const dgConvexCollision*>(c.get())}) {
        const dgConvexSimplexEdge* edges = shape->GetEdges();
        EXPECT_EQ(edges[0].m_twin->m_vertex, 0);
        for (dgInt32 i = 0; i < shape->GetEdgeCount(); i++) {
            EXPECT_EQ(edges[i].m_twin->m_twin, &edges[i]);
            EXPECT_EQ(edges[i].m_next->m_prev, &edges[i]);
            EXPECT_EQ(edges[i].m_next->m_vertex, edges[i].m_twin->m_vertex);
            if (edges[i].m_twin->m_vertex == 0) {
                EXPECT_GE(edges[i].m_vertex, edges[0].m_vertex);
            }
        }
    }
}
