#include "CollisionTestShapes.h"
#include "PairBodies.h"
#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionCone.h"
#include "physics/collision/dgCollisionNull.h"
#include "physics/collision/dgCollisionPoint.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgConvexPairDispatch.h"
#include "physics/collision/dgConvexPairSolver.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr dgFloat32 kSkin = 1.0f / 128.0f;
// The sphere's support is resolved to an angular grid of at least 128 steps a turn, so the general
// road's normal may lean by up to a step (about 3 degrees) from the exact one.
constexpr dgFloat32 kGridCos = 0.9986f;

using BoxBody = ShapeBody<dgCollisionBox>;
using SphereBody = ShapeBody<dgCollisionSphere>;

BoxBody MakeBox(dgFloat32 size, const dgMatrix& m) {
    return BoxBody(MakeShape<dgCollisionBox>(0u, size, size, size, dgGetIdentityMatrix()), m);
}

SphereBody MakeSphere(dgFloat32 radius, const dgMatrix& m) {
    return SphereBody(MakeShape<dgCollisionSphere>(0u, radius, dgGetIdentityMatrix()), m);
}

struct Result {
    dgContactPoint m_points[128];
    dgInt32 m_count = 0;
    dgFloat32 m_time = 0.75f;
};

Result Dispatch(dgBody& b0, dgBody& b1) {
    Result r;
    r.m_count = CalculateConvexContacts(&r.m_time, &b0, &b1, r.m_points, 128);
    return r;
}

} // namespace

TEST(dgConvexPairDispatch, SphereSphereClosedForm) {
    SphereBody s0 = MakeSphere(1.0f, dgGetIdentityMatrix());
    SphereBody s1 = MakeSphere(1.0f, Translation(1.9f, 0.0f, 0.0f));
    Result r = Dispatch(s0.m_body, s1.m_body);
    ASSERT_EQ(r.m_count, 1);
    EXPECT_FLOAT_EQ(r.m_points[0].m_penetration, 0.0921875f);
    EXPECT_TRUE(VectorNear(r.m_points[0].m_point, dgVector(0.95390625f, 0, 0, 1), kRoundingTol));
    EXPECT_TRUE(VectorNear(r.m_points[0].m_normal, dgVector(-1, 0, 0, 1), kRoundingTol));
    EXPECT_EQ(r.m_time, 0.0f);
    EXPECT_EQ(r.m_points[0].m_body0, &s0.m_body);
    EXPECT_EQ(r.m_points[0].m_body1, &s1.m_body);
    EXPECT_EQ(r.m_points[0].m_collision0, s0.m_shape.get());
    EXPECT_EQ(r.m_points[0].m_collision1, s1.m_shape.get());
    EXPECT_EQ(r.m_points[0].m_attribute, 0);

    // An overlap of 0.002 is below the 1/256 the closed forms require.
    s1.Place(Translation(1.998f, 0.0f, 0.0f));
    r = Dispatch(s0.m_body, s1.m_body);
    EXPECT_EQ(r.m_count, 0);
    EXPECT_EQ(r.m_time, 0.75f);

    s1.Place(dgGetIdentityMatrix());
    r = Dispatch(s0.m_body, s1.m_body);
    ASSERT_EQ(r.m_count, 1);
    EXPECT_TRUE(VectorNear(r.m_points[0].m_normal, dgVector(0, 1, 0, 1), kRoundingTol));
    EXPECT_FLOAT_EQ(r.m_points[0].m_penetration, 0.01f);
}

TEST(dgConvexPairDispatch, SphereOnABoxFace) {
    BoxBody box = MakeBox(2.0f, dgGetIdentityMatrix());
    SphereBody sphere = MakeSphere(0.5f, Translation(0.0f, 1.45f, 0.0f)); // overlap 0.05
    Result r = Dispatch(box.m_body, sphere.m_body);
    ASSERT_EQ(r.m_count, 1);
    EXPECT_TRUE(VectorNear(r.m_points[0].m_normal, dgVector(0, -1, 0, 1), kRoundingTol));
    EXPECT_NEAR(r.m_points[0].m_penetration, 0.05f - kSkin, 1.0e-5f);
    EXPECT_TRUE(VectorNear(r.m_points[0].m_point, dgVector(0, 0.975f, 0, 1), 1.0e-5f));

    // Swapped: the normal points from the box towards the sphere.
    r = Dispatch(sphere.m_body, box.m_body);
    ASSERT_EQ(r.m_count, 1);
    EXPECT_TRUE(VectorNear(r.m_points[0].m_normal, dgVector(0, 1, 0, 1), kRoundingTol));

    // Resting with an overlap of 0.005: touching, no penetration.
    sphere.Place(Translation(0.0f, 1.495f, 0.0f));
    r = Dispatch(box.m_body, sphere.m_body);
    ASSERT_EQ(r.m_count, 1);
    EXPECT_EQ(r.m_points[0].m_penetration, 0.0f);

    // Near a corner the feature is the corner itself.
    sphere.Place(Translation(1.2f, 1.2f, 1.2f));
    r = Dispatch(box.m_body, sphere.m_body);
    ASSERT_EQ(r.m_count, 1);
    const dgFloat32 s = 1.0f / std::sqrt(3.0f);
    EXPECT_TRUE(VectorNear(r.m_points[0].m_normal, dgVector(-s, -s, -s, 1), kRoundingTol));
}

TEST(dgConvexPairDispatch, SphereCentreInsideTheBoxUsesTheGeneralRoadForEveryRecord) {
    BoxBody box = MakeBox(2.0f, dgGetIdentityMatrix());
    SphereBody sphere = MakeSphere(0.5f, Translation(0.0f, 0.8f, 0.0f));
    const Result boxFirst = Dispatch(box.m_body, sphere.m_body);
    const Result sphereFirst = Dispatch(sphere.m_body, box.m_body);
    ASSERT_GE(boxFirst.m_count, 1);
    ASSERT_EQ(sphereFirst.m_count, boxFirst.m_count);
    for (dgInt32 i = 0; i < boxFirst.m_count; i++) {
        EXPECT_TRUE(VectorNear(boxFirst.m_points[i].m_normal, dgVector(0, -1, 0, 1), kLooseTol));
        EXPECT_TRUE(VectorNear(sphereFirst.m_points[i].m_normal, dgVector(0, 1, 0, 1), kLooseTol));
        EXPECT_NEAR(boxFirst.m_points[i].m_penetration, 0.7f - kSkin, 1.0e-3f);
    }
}

TEST(dgConvexPairDispatch, ClosedFormsAgreeWithTheGeneralRoad) {
    RandomGeometry random(99);
    for (dgInt32 trial = 0; trial < 30; trial++) {
        SCOPED_TRACE(trial);
        const dgMatrix frame = random.RigidMatrix(3.0f);
        BoxBody box = MakeBox(random.Float(1.0f, 3.0f), frame);
        SphereBody sphere = MakeSphere(random.Float(0.3f, 1.0f), dgGetIdentityMatrix());
        SphereBody other = MakeSphere(random.Float(0.3f, 1.0f), dgGetIdentityMatrix());
        // The sphere's centre just beyond one box face, overlapping it by 0.05 to 0.2.
        const dgFloat32 half = box.m_shape->GetHalfExtents().x;
        const dgFloat32 overlap = random.Float(0.05f, 0.2f);
        const dgVector local(random.Float(-0.5f, 0.5f) * half, half + sphere.m_shape->GetRadius() - overlap,
                             random.Float(-0.5f, 0.5f) * half, 1.0f);
        sphere.Place(Translation(0, 0, 0).Multiply(
            dgMatrix(frame.front, frame.up, frame.right, frame.TransformVector(local))));
        dgContactPoint closed[16];
        ASSERT_EQ(BoxSphereContacts(&box.m_body, &sphere.m_body, closed), 1);
        dgContactPoint general[16];
        ASSERT_GE(GenericConvexContacts(&box.m_body, &sphere.m_body, general), 1);
        EXPECT_GT(closed[0].m_normal.DotProduct(general[0].m_normal), kGridCos);
        EXPECT_NEAR(closed[0].m_penetration, general[0].m_penetration, 1.0e-2f);
        EXPECT_NEAR(closed[0].m_penetration, overlap - kSkin, 1.0e-4f);

        const dgVector dir = random.UnitVector();
        const dgFloat32 distance = sphere.m_shape->GetRadius() + other.m_shape->GetRadius() - overlap;
        other.Place(Translation(sphere.m_body.m_matrix.posit.x + dir.x * distance,
                                sphere.m_body.m_matrix.posit.y + dir.y * distance,
                                sphere.m_body.m_matrix.posit.z + dir.z * distance));
        ASSERT_EQ(SphereSphereContacts(&sphere.m_body, &other.m_body, closed), 1);
        ASSERT_GE(GenericConvexContacts(&sphere.m_body, &other.m_body, general), 1);
        EXPECT_GT(closed[0].m_normal.DotProduct(general[0].m_normal), kGridCos);
        EXPECT_NEAR(closed[0].m_penetration, general[0].m_penetration, 1.0e-2f);
    }
}

TEST(dgConvexPairDispatch, NullShapesTouchNothingOnAnyRoad) {
    BoxBody box = MakeBox(2.0f, dgGetIdentityMatrix());
    SphereBody sphere = MakeSphere(1.0f, dgGetIdentityMatrix());
    ShapeBody<dgCollisionNull> none(MakeShape<dgCollisionNull>(0u));
    for (dgUnsigned32 flags : {0u, dgBody::kContinuousCollision}) {
        none.m_body.m_flags = flags;
        none.m_body.m_veloc = dgVector(5, 0, 0, 0);
        for (dgBody* other : {&box.m_body, &sphere.m_body, &none.m_body}) {
            Result r = Dispatch(none.m_body, *other);
            EXPECT_EQ(r.m_count, 0);
            EXPECT_EQ(r.m_time, 0.75f);
            r = Dispatch(*other, none.m_body);
            EXPECT_EQ(r.m_count, 0);
            EXPECT_EQ(r.m_time, 0.75f);
        }
    }
}

TEST(dgConvexPairDispatch, PointProbeIsAPointNotAUnitSphere) {
    ShapeBody<dgCollisionPoint> probe(MakeShape<dgCollisionPoint>(0u, dgGetIdentityMatrix()));
    SphereBody sphere = MakeSphere(1.0f, Translation(1.5f, 0.0f, 0.0f));
    BoxBody box = MakeBox(2.0f, Translation(1.5f, 0.0f, 0.0f));
    // Taken for a unit sphere, the probe would overlap both by 0.5.
    EXPECT_EQ(Dispatch(probe.m_body, sphere.m_body).m_count, 0);
    EXPECT_EQ(Dispatch(sphere.m_body, probe.m_body).m_count, 0);
    EXPECT_EQ(Dispatch(box.m_body, probe.m_body).m_count, 0);
    EXPECT_EQ(Dispatch(probe.m_body, box.m_body).m_count, 0);
    // Inside, the depth is the point's own: 0.5 below the sphere's surface.
    sphere.Place(Translation(0.5f, 0.0f, 0.0f));
    const Result r = Dispatch(probe.m_body, sphere.m_body);
    ASSERT_GE(r.m_count, 1);
    EXPECT_NEAR(r.m_points[0].m_penetration, 0.5f - kSkin, 1.0e-3f);
    EXPECT_GT(-r.m_points[0].m_normal.x, kGridCos);
}

TEST(dgConvexPairDispatch, ContinuousFlagTakesTheContinuousRoad) {
    SphereBody sphere = MakeSphere(0.5f, dgGetIdentityMatrix());
    BoxBody box = MakeBox(1.0f, Translation(2.0f, 0.0f, 0.0f));
    sphere.m_body.m_veloc = dgVector(10, 0, 0, 0);
    sphere.m_body.m_flags = dgBody::kContinuousCollision;
    Result r;
    r.m_time = 1.0f;
    r.m_count = CalculateConvexContacts(&r.m_time, &sphere.m_body, &box.m_body, r.m_points, 128);
    ASSERT_GE(r.m_count, 1);
    EXPECT_NEAR(r.m_time, 0.1f, 1.0f / 256.0f);
    EXPECT_EQ(r.m_points[0].m_body0, &sphere.m_body);
    // Without the flag the pair is apart: nothing.
    sphere.m_body.m_flags = 0;
    EXPECT_EQ(Dispatch(sphere.m_body, box.m_body).m_count, 0);
}

TEST(dgConvexPairDispatch, RefusesBadArguments) {
    BoxBody box0 = MakeBox(1.0f, dgGetIdentityMatrix());
    BoxBody box1 = MakeBox(1.0f, Translation(0.9f, 0, 0));
    dgContactPoint contacts[16];
    dgFloat32 time = 1.0f;
    EXPECT_EQ(CalculateConvexContacts(&time, &box0.m_body, &box1.m_body, contacts, 8), 0);
    EXPECT_EQ(CalculateConvexContacts(nullptr, &box0.m_body, &box1.m_body, contacts, 16), 0);
    dgBody empty;
    EXPECT_EQ(CalculateConvexContacts(&time, &box0.m_body, &empty, contacts, 16), 0);
    EXPECT_EQ(CalculateConvexContacts(&time, &box0.m_body, &box1.m_body, contacts, 16), 4);
}
