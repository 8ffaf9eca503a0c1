#include "physics/collision/dgConvexSoupContacts.h"

#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionNull.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgBody.h"

#include "CollisionTestShapes.h"
#include "PairBodies.h"
#include "support/MathAssertions.h"
#include "support/SoupScenes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr dgInt32 kCapacity = 128;
constexpr dgFloat32 kStep = 1.0f / 60.0f;
// Face contacts point along the face normal to within this dot product.
constexpr dgFloat32 kFaceDot = 0.999f;

/// A static soup body on the stack holding the shape's creator reference.
struct SoupBody {
    ShapePtr<dgCollisionPolygonalSoup> m_shape;
    dgBody m_body;

    explicit SoupBody(dgCollisionPolygonalSoup* shape, const dgMatrix& matrix = dgGetIdentityMatrix())
        : m_shape(shape) {
        m_body.m_collision = m_shape.get();
        m_body.m_matrix = matrix;
        m_body.m_collisionMatrix = matrix;
    }
};

ShapePtr<dgCollisionSphere> Sphere(dgFloat32 radius) {
    return MakeShape<dgCollisionSphere>(0u, radius, dgGetIdentityMatrix());
}

ShapePtr<dgCollisionBox> Box(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return MakeShape<dgCollisionBox>(0u, x, y, z, dgGetIdentityMatrix());
}

dgInt32 Contacts(dgBody& convex, dgBody& soup, dgContactPoint* contacts, dgFloat32& timeOfImpact) {
    return ConvexSoupContacts(&timeOfImpact, &convex, &soup, contacts, kCapacity);
}

/// Two coplanar triangles on y = 0 sharing the diagonal x = z of the square [-2, 2]^2.
SoupFaceList TwoTriangles(dgInt32 attribute) {
    SoupFaceList list;
    list.Add({P(-2, 0, -2), P(-2, 0, 2), P(2, 0, 2)}, attribute);
    list.Add({P(-2, 0, -2), P(2, 0, 2), P(2, 0, -2)}, attribute);
    return list;
}

} // namespace

TEST(dgConvexSoupContacts, UnitSphereTouchesAFaceOnlyFromAnOverlapOfOneIn256) {
    SoupBody floor(MakeTreeCollision(TwoTriangles(-7)));
    ShapeBody<dgCollisionSphere> ball(Sphere(1.0f), Translation(0.5f, 0.999f, -0.5f));
    dgContactPoint contacts[kCapacity];
    dgFloat32 time = kStep;
    EXPECT_EQ(Contacts(ball.m_body, floor.m_body, contacts, time), 0);
    EXPECT_EQ(time, kStep);

    ball.Place(Translation(0.5f, 0.99f, -0.5f));
    ASSERT_EQ(Contacts(ball.m_body, floor.m_body, contacts, time), 1);
    EXPECT_EQ(time, 0.0f);
    const dgContactPoint& c = contacts[0];
    EXPECT_NEAR(c.m_penetration, 0.01f - 1.0f / 128.0f, 1.0e-6f);
    EXPECT_EQ(c.m_attribute, -7);
    EXPECT_TRUE(VectorNear(c.m_normal, dgVector(0, 1, 0, 0), kRoundingTol));
    // Halfway through the overlap, below the centre.
    EXPECT_TRUE(VectorNear(c.m_point, P(0.5f, -0.005f, -0.5f), kChainTol));
    EXPECT_EQ(c.m_body0, &ball.m_body);
    EXPECT_EQ(c.m_body1, &floor.m_body);
    EXPECT_EQ(c.m_collision0, ball.m_shape.get());
    EXPECT_EQ(c.m_collision1, floor.m_shape.get());
    EXPECT_EQ(c.m_unused, 0u);

    // A sphere whose centre lies behind the face is pushed through it: its contact is dropped.
    ball.Place(Translation(0.5f, -0.5f, -0.5f));
    EXPECT_EQ(Contacts(ball.m_body, floor.m_body, contacts, time), 0);
}

TEST(dgConvexSoupContacts, NullShapesAndShapesThatAreNoSoupGiveNoContacts) {
    SoupBody floor(MakeTreeCollision(TwoTriangles(1)));
    ShapeBody<dgCollisionNull> nothing(MakeShape<dgCollisionNull>(dgCollisionNullClassId), Translation(0, 0, 0));
    ShapeBody<dgCollisionBox> box(Box(1, 1, 1), Translation(0, 0.4f, 0));
    dgContactPoint contacts[kCapacity];
    dgFloat32 time = kStep;
    EXPECT_EQ(Contacts(nothing.m_body, floor.m_body, contacts, time), 0);
    nothing.m_body.m_flags |= dgBody::kContinuousCollision;
    nothing.m_body.m_veloc = dgVector(0, -100, 0, 0);
    EXPECT_EQ(Contacts(nothing.m_body, floor.m_body, contacts, time), 0);
    // The box against a box: not this road.
    EXPECT_EQ(Contacts(box.m_body, box.m_body, contacts, time), 0);
    EXPECT_GT(Contacts(box.m_body, floor.m_body, contacts, time), 0);
}

TEST(dgConvexSoupContacts, EdgeFilterDropsEdgeContactsNearFaceContactsOnly) {
    dgContactPoint contacts[5];
    const dgVector points[5] = {P(0, 0, 0), P(0.1f, 0, 0), P(3, 0, 0), P(0.1f, 0, 0.19f), P(5, 0, 0)};
    const dgUnsigned32 edge[5] = {kSoupEdgeContact, 0, kSoupEdgeContact, kSoupEdgeContact, 0};
    for (int i = 0; i < 5; i++) {
        contacts[i].m_point = points[i];
        contacts[i].m_unused = edge[i];
    }
    // Face contacts at x = 0.1 and x = 5; the edge contacts 0.1 and 0.19 from the first go.
    const dgInt32 count = FilterEdgeContacts(5, contacts);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(contacts[0].m_unused, 0u);
    EXPECT_EQ(contacts[1].m_unused, 0u);
    EXPECT_EQ(contacts[2].m_unused, kSoupEdgeContact);
    EXPECT_TRUE(VectorNear(contacts[2].m_point, P(3, 0, 0), 0.0f));

    // Only edge contacts: all stay.
    contacts[0].m_unused = kSoupEdgeContact;
    contacts[1].m_unused = kSoupEdgeContact;
    EXPECT_EQ(FilterEdgeContacts(3, contacts), 3);
}

TEST(dgConvexSoupContacts, BoxAcrossTheSharedEdgeOfCoplanarTrianglesGetsFaceContactsOnly) {
    SoupBody floor(MakeTreeCollision(TwoTriangles(3)));
    // Turned 45 degrees so its bottom face straddles the diagonal, sunk 0.02.
    ShapeBody<dgCollisionBox> box(Box(1, 1, 1), MakeMatrix(dgVector(0, 1, 0, 0), 0.7853982f, P(0, 0.48f, 0)));
    dgContactPoint contacts[kCapacity];
    dgFloat32 time = kStep;
    const dgInt32 count = Contacts(box.m_body, floor.m_body, contacts, time);
    ASSERT_GE(count, 4);
    for (dgInt32 i = 0; i < count; i++) {
        EXPECT_GE(contacts[i].m_normal.y, kFaceDot) << i;
        EXPECT_NEAR(contacts[i].m_point.y, -0.01f, 0.011f) << i;
        EXPECT_NEAR(contacts[i].m_penetration, 0.02f - 1.0f / 128.0f, 1.0e-3f) << i;
        EXPECT_EQ(contacts[i].m_attribute, 3);
    }
}

TEST(dgConvexSoupContacts, BoxOnATenByTenQuadGridReducesToAtMostSixteenUpwardContacts) {
    SoupBody floor(MakeTreeCollision(FlatGridFaces(10, 1.0f, false)));
    ShapeBody<dgCollisionBox> box(Box(3.3f, 1, 2.7f), MakeMatrix(dgVector(0, 1, 0, 0), 0.2f, P(0.3f, 0.49f, -0.2f)));
    dgContactPoint contacts[kCapacity];
    dgFloat32 time = kStep;
    dgInt32 count = Contacts(box.m_body, floor.m_body, contacts, time);
    // Every quad under the box adds its own corners: more than the joint keeps.
    ASSERT_GT(count, 16);
    count = ReduceContacts(count, contacts, 16);
    EXPECT_LE(count, 16);
    EXPECT_GE(count, 4);
    for (dgInt32 i = 0; i < count; i++) {
        EXPECT_GE(contacts[i].m_normal.y, kFaceDot) << i;
        const dgVector local = box.m_body.m_collisionMatrix.InverseTransformVector(contacts[i].m_point);
        EXPECT_LE(std::fabs(local.x), 1.65f + 1.0e-3f);
        EXPECT_LE(std::fabs(local.z), 1.35f + 1.0e-3f);
    }
}

TEST(dgConvexSoupContacts, FastSphereFiredAtAThinFloorIsCaughtOnTheContinuousRoad) {
    SoupBody floor(MakeTreeCollision(TwoTriangles(2)));
    ShapeBody<dgCollisionSphere> ball(Sphere(0.5f), Translation(0.3f, 3.0f, 0.1f));
    ball.m_body.m_veloc = dgVector(0, -600, 0, 0);
    ball.m_body.m_omega = dgVector(1, 0, 0, 0);
    ball.m_body.m_flags |= dgBody::kEquilibrium;
    dgContactPoint contacts[kCapacity];

    // In one step the ball travels 10: the discrete road sees nothing at either end.
    dgFloat32 time = kStep;
    EXPECT_EQ(Contacts(ball.m_body, floor.m_body, contacts, time), 0);

    ball.m_body.m_flags |= dgBody::kContinuousCollision;
    time = kStep;
    const dgInt32 count = Contacts(ball.m_body, floor.m_body, contacts, time);
    ASSERT_GE(count, 1);
    EXPECT_NEAR(time, 2.5f / 600.0f, 1.0e-4f);
    for (dgInt32 i = 0; i < count; i++) {
        EXPECT_GT(contacts[i].m_normal.y, 0.9f);
        EXPECT_EQ(contacts[i].m_attribute, 2);
    }
    // The fast road wakes the body and damps its spin.
    EXPECT_EQ(ball.m_body.m_flags & dgBody::kEquilibrium, 0u);
    EXPECT_NEAR(ball.m_body.m_omega.x, 0.9f, 1.0e-6f);

    // Moving away from the floor it meets nothing.
    ball.m_body.m_veloc = dgVector(0, 600, 0, 0);
    time = kStep;
    EXPECT_EQ(Contacts(ball.m_body, floor.m_body, contacts, time), 0);
}

TEST(dgConvexSoupContacts, SlowBodyOnTheContinuousRoadMatchesTheDiscreteRoadAtTimeZero) {
    SoupBody floor(MakeTreeCollision(FlatGridFaces(4, 1.0f, true)));
    ShapeBody<dgCollisionBox> box(Box(1, 1, 1), MakeMatrix(dgVector(1, 0, 0, 0), 0.1f, P(0.2f, 0.5f, 0.1f)));
    dgContactPoint discrete[kCapacity];
    dgFloat32 time = kStep;
    const dgInt32 discreteCount = Contacts(box.m_body, floor.m_body, discrete, time);
    ASSERT_GT(discreteCount, 0);

    box.m_body.m_flags |= dgBody::kContinuousCollision;
    box.m_body.m_veloc = dgVector(0.1f, -0.5f, 0, 0);
    dgContactPoint continuous[kCapacity];
    time = kStep;
    ASSERT_EQ(Contacts(box.m_body, floor.m_body, continuous, time), discreteCount);
    EXPECT_EQ(time, 0.0f);
    for (dgInt32 i = 0; i < discreteCount; i++) {
        EXPECT_TRUE(Vector4Near(continuous[i].m_point, discrete[i].m_point, 0.0f));
        EXPECT_TRUE(Vector4Near(continuous[i].m_normal, discrete[i].m_normal, 0.0f));
    }
}

TEST(dgConvexSoupContacts, SmallArraysArePrunedAndNeverOverrun) {
    SoupBody floor(MakeTreeCollision(FlatGridFaces(10, 0.5f, true)));
    ShapeBody<dgCollisionBox> box(Box(3, 1, 3), Translation(0, 0.49f, 0));
    ShapeBody<dgCollisionSphere> ball(Sphere(2.0f), Translation(0.1f, 1.9f, 0.1f));
    for (const dgInt32 capacity : {1, 2, 3, 5}) {
        dgContactPoint contacts[6];
        contacts[capacity].m_penetration = -1.0f;
        dgFloat32 time = kStep;
        dgInt32 count = ConvexSoupContacts(&time, &box.m_body, &floor.m_body, contacts, capacity);
        EXPECT_GE(count, 1);
        EXPECT_LE(count, capacity);
        EXPECT_EQ(contacts[capacity].m_penetration, -1.0f);
        count = ConvexSoupContacts(&time, &ball.m_body, &floor.m_body, contacts, capacity);
        EXPECT_GE(count, 1);
        EXPECT_LE(count, capacity);
        EXPECT_EQ(contacts[capacity].m_penetration, -1.0f);
    }
}
