#include "physics/collision/dgCompoundCollision.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/dynamics/dgWorld.h"

#include "support/MathAssertions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

struct WorldDeleter {
    void operator()(dgWorld* world) const { delete world; }
};
using WorldPtr = std::unique_ptr<dgWorld, WorldDeleter>;

dgMatrix Translation(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    dgMatrix m = dgGetIdentityMatrix();
    m.posit = dgVector(x, y, z, 1.0f);
    return m;
}

/// A world and the shapes a test makes in it, all given back at the end.
class QueryScene {
public:
    QueryScene() : m_world(new dgWorld) {}
    ~QueryScene() {
        for (dgCollision* shape : m_shapes) {
            m_world->ReleaseCollision(shape);
        }
    }
    QueryScene(const QueryScene&) = delete;
    QueryScene& operator=(const QueryScene&) = delete;

    dgWorld& World() { return *m_world; }
    dgCollision* Sphere(dgFloat32 radius, const dgMatrix& offset = dgGetIdentityMatrix()) {
        return Keep(m_world->CreateSphere(radius, offset));
    }
    dgCollision* Box(dgFloat32 x, dgFloat32 y, dgFloat32 z, const dgMatrix& offset = dgGetIdentityMatrix()) {
        return Keep(m_world->CreateBox(x, y, z, offset));
    }
    dgCollision* Ellipse(dgFloat32 rx, dgFloat32 ry, dgFloat32 rz) {
        return Keep(m_world->CreateEllipse(rx, ry, rz, dgGetIdentityMatrix()));
    }
    dgCompoundCollision* Compound(const std::vector<dgCollision*>& children) {
        dgCompoundCollision* compound =
            m_world->CreateCompound(static_cast<dgInt32>(children.size()), children.data());
        Keep(compound);
        return compound;
    }
    /// A compound of n small cubes in a row along x, 0.8 apart, starting at x0.
    dgCompoundCollision* CubeRow(dgInt32 n, dgFloat32 x0) {
        std::vector<dgCollision*> children;
        for (dgInt32 i = 0; i < n; i++) {
            children.push_back(
                Box(1.0f, 1.0f, 1.0f, Translation(x0 + 0.8f * static_cast<dgFloat32>(i), 0.0f, 0.0f)));
        }
        return Compound(children);
    }

private:
    dgCollision* Keep(dgCollision* shape) {
        if (shape != nullptr) {
            m_shapes.push_back(shape);
        }
        return shape;
    }

    WorldPtr m_world;
    std::vector<dgCollision*> m_shapes;
};

// The sphere's support is sampled in angular steps: off the axes its closest points come out this close.
constexpr dgFloat32 kRoundTol = 1.0e-2f;

struct QueryContacts {
    dgFloat32 m_points[3 * dgWorld::kMaxQueryContacts] = {};
    dgFloat32 m_normals[3 * dgWorld::kMaxQueryContacts] = {};
    dgFloat32 m_penetrations[dgWorld::kMaxQueryContacts] = {};

    dgVector Normal(dgInt32 i) const {
        return dgVector(m_normals[3 * i], m_normals[3 * i + 1], m_normals[3 * i + 2], 0.0f);
    }
};

} // namespace

TEST(dgWorldClosestPoint, UnitSpheresThreeApartMeetTheirCentreLine) {
    QueryScene scene;
    dgCollision* sphere = scene.Sphere(1.0f);
    dgVector a;
    dgVector b;
    dgVector normal;
    const dgVector direction(2.0f / 3.0f, 1.0f / 3.0f, 2.0f / 3.0f, 0.0f);
    const dgMatrix ma = Translation(1.0f, -2.0f, 0.5f);
    const dgMatrix mb =
        Translation(1.0f + 3.0f * direction.x, -2.0f + 3.0f * direction.y, 0.5f + 3.0f * direction.z);
    ASSERT_EQ(scene.World().ClosestPoint(sphere, ma, sphere, mb, a, b, normal), 1);
    EXPECT_TRUE(VectorNear(a, ma.posit.Add(direction), kRoundTol));
    EXPECT_TRUE(VectorNear(b, ma.posit.Add(direction.Scale(2.0f)), kRoundTol));
    EXPECT_TRUE(VectorNear(normal, direction, kRoundTol));
    ASSERT_EQ(scene.World().ClosestPoint(sphere, ma, sphere, Translation(1.0f, 1.0f, 0.5f), a, b, normal), 1);
    EXPECT_TRUE(VectorNear(a, dgVector(1.0f, -1.0f, 0.5f, 0.0f), 1.0e-3f));
    EXPECT_TRUE(VectorNear(b, dgVector(1.0f, 0.0f, 0.5f, 0.0f), 1.0e-3f));
    EXPECT_TRUE(VectorNear(normal, dgVector(0.0f, 1.0f, 0.0f, 0.0f), 1.0e-3f));

    EXPECT_EQ(scene.World().ClosestPoint(sphere, ma, sphere, Translation(1.5f, -2.0f, 0.5f), a, b, normal),
              0);
    EXPECT_EQ(scene.World().ClosestPoint(nullptr, ma, sphere, mb, a, b, normal), 0);
}

TEST(dgWorldClosestPoint, CompoundAnswersWithItsNearestChildOnEitherSide) {
    QueryScene scene;
    dgCompoundCollision* pair = scene.Compound({scene.Sphere(1.0f, Translation(-5.0f, 0.0f, 0.0f)),
                                                scene.Sphere(1.0f, Translation(5.0f, 0.0f, 0.0f))});
    dgCollision* ball = scene.Sphere(1.0f);
    const dgMatrix compoundAt = Translation(0.0f, 1.0f, 0.0f);
    const dgMatrix ballAt = Translation(9.0f, 1.0f, 0.0f);
    dgVector a;
    dgVector b;
    dgVector normal;
    ASSERT_EQ(scene.World().ClosestPoint(pair, compoundAt, ball, ballAt, a, b, normal), 1);
    EXPECT_TRUE(VectorNear(a, dgVector(6.0f, 1.0f, 0.0f, 0.0f), kLooseTol));
    EXPECT_TRUE(VectorNear(b, dgVector(8.0f, 1.0f, 0.0f, 0.0f), kLooseTol));
    EXPECT_TRUE(VectorNear(normal, dgVector(1.0f, 0.0f, 0.0f, 0.0f), kLooseTol));

    // The compound as B: the points change places and the normal still runs from A towards B.
    ASSERT_EQ(scene.World().ClosestPoint(ball, ballAt, pair, compoundAt, a, b, normal), 1);
    EXPECT_TRUE(VectorNear(a, dgVector(8.0f, 1.0f, 0.0f, 0.0f), kLooseTol));
    EXPECT_TRUE(VectorNear(b, dgVector(6.0f, 1.0f, 0.0f, 0.0f), kLooseTol));
    EXPECT_TRUE(VectorNear(normal, dgVector(-1.0f, 0.0f, 0.0f, 0.0f), kLooseTol));

    // Compound against compound: A's right child and B's left child, whose centres lie 4 apart.
    ASSERT_EQ(
        scene.World().ClosestPoint(pair, compoundAt, pair, Translation(14.0f, 1.0f, 0.0f), a, b, normal), 1);
    EXPECT_TRUE(VectorNear(a, dgVector(6.0f, 1.0f, 0.0f, 0.0f), kLooseTol));
    EXPECT_TRUE(VectorNear(b, dgVector(8.0f, 1.0f, 0.0f, 0.0f), kLooseTol));
}

TEST(dgWorldClosestPoint, CompoundOverlappingThroughOneChildHasNoClosestPoints) {
    QueryScene scene;
    dgCompoundCollision* pair = scene.Compound({scene.Sphere(1.0f, Translation(-5.0f, 0.0f, 0.0f)),
                                                scene.Sphere(1.0f, Translation(5.0f, 0.0f, 0.0f))});
    dgCollision* ball = scene.Sphere(1.0f);
    dgVector a;
    dgVector b;
    dgVector normal;
    // The ball sinks into the right child; the left one alone would report a distance of 8.
    EXPECT_EQ(scene.World().ClosestPoint(pair, dgGetIdentityMatrix(), ball, Translation(6.0f, 0.0f, 0.0f), a,
                                         b, normal),
              0);
    EXPECT_EQ(scene.World().ClosestPoint(ball, Translation(6.0f, 0.0f, 0.0f), pair, dgGetIdentityMatrix(), a,
                                         b, normal),
              0);
}

TEST(dgWorldPointDistance, ClosestPointOfABoxToOutsidePointsAndNoneFromInside) {
    QueryScene scene;
    dgCollision* box = scene.World().CreateBox(2.0f, 2.0f, 2.0f, dgGetIdentityMatrix());
    const dgMatrix placed = Translation(10.0f, 0.0f, 0.0f);
    dgVector contact;
    dgVector normal;
    // Off a face: the foot of the perpendicular; off a corner: the corner.
    ASSERT_EQ(scene.World().PointDistance(dgVector(10.5f, 4.0f, 0.25f, 1.0f), box, placed, contact, normal), 1);
    EXPECT_TRUE(VectorNear(contact, dgVector(10.5f, 1.0f, 0.25f, 0.0f), 1.0e-3f));
    EXPECT_TRUE(VectorNear(normal, dgVector(0.0f, 1.0f, 0.0f, 0.0f), 1.0e-3f));
    ASSERT_EQ(scene.World().PointDistance(dgVector(13.0f, 3.0f, 3.0f, 1.0f), box, placed, contact, normal), 1);
    EXPECT_TRUE(VectorNear(contact, dgVector(11.0f, 1.0f, 1.0f, 0.0f), 1.0e-3f));
    const dgFloat32 s = 1.0f / std::sqrt(3.0f);
    EXPECT_TRUE(VectorNear(normal, dgVector(s, s, s, 0.0f), 1.0e-3f));
    EXPECT_EQ(scene.World().PointDistance(dgVector(10.2f, 0.1f, 0.0f, 1.0f), box, placed, contact, normal), 0);
    scene.World().ReleaseCollision(box);
}

TEST(dgWorldCollide, GivesAtMostTheWantedCountAndNothingForNoneWanted) {
    QueryScene scene;
    dgCollision* box = scene.Box(2.0f, 2.0f, 2.0f);
    const dgMatrix under = dgGetIdentityMatrix();
    const dgMatrix over = Translation(0.3f, 1.9f, -0.2f);
    QueryContacts out;
    const dgInt32 all = scene.World().Collide(box, under, box, over, out.m_points, out.m_normals,
                                              out.m_penetrations, dgWorld::kMaxQueryContacts);
    ASSERT_GE(all, 2);
    EXPECT_LE(all, 16);
    for (dgInt32 i = 0; i < all; i++) {
        // From the box handled as body 1 (the upper one) towards body 0.
        EXPECT_TRUE(VectorNear(out.Normal(i), dgVector(0.0f, -1.0f, 0.0f, 0.0f), kLooseTol));
        EXPECT_NEAR(out.m_penetrations[i], 0.1f - 1.0f / 128.0f, kLooseTol);
    }

    QueryContacts one;
    one.m_points[3] = 12345.0f;
    EXPECT_EQ(
        scene.World().Collide(box, under, box, over, one.m_points, one.m_normals, one.m_penetrations, 1), 1);
    EXPECT_EQ(one.m_points[3], 12345.0f);
    EXPECT_EQ(
        scene.World().Collide(box, under, box, over, one.m_points, one.m_normals, one.m_penetrations, 0), 0);
    EXPECT_EQ(
        scene.World().Collide(box, under, box, over, one.m_points, one.m_normals, one.m_penetrations, -3), 0);
    EXPECT_EQ(scene.World().Collide(box, under, box, Translation(0.0f, 2.5f, 0.0f), one.m_points,
                                    one.m_normals, one.m_penetrations, 4),
              0);
}

TEST(dgWorldCollide, FlatAndPointEllipsoidsSunkIntoAFloorTouchItAtTheirCentre) {
    QueryScene scene;
    dgCollision* floor = scene.Box(10.0f, 1.0f, 10.0f);
    // Sunk 0.05 below the floor's top face at y = 0.5.
    const dgMatrix at = Translation(0.1f, 0.45f, 0.2f);
    for (dgCollision* flat : {scene.Ellipse(1.0f, 0.0f, 1.0f), scene.Ellipse(0.0f, 0.0f, 0.0f)}) {
        QueryContacts out;
        ASSERT_EQ(scene.World().Collide(flat, at, floor, dgGetIdentityMatrix(), out.m_points, out.m_normals,
                                        out.m_penetrations, 4),
                  1);
        EXPECT_TRUE(VectorNear(dgVector(out.m_points[0], out.m_points[1], out.m_points[2], 0.0f),
                               dgVector(0.1f, 0.475f, 0.2f, 0.0f), 1.0e-3f));
        EXPECT_TRUE(VectorNear(out.Normal(0), dgVector(0.0f, 1.0f, 0.0f, 0.0f), 1.0e-3f));
    }
}

TEST(dgWorldCollide, CompoundTouchesOnlyWhereAChildIsPlacedByTheMatrixGiven) {
    QueryScene scene;
    dgCompoundCollision* pair = scene.Compound({scene.Box(1.0f, 1.0f, 1.0f, Translation(-3.0f, 0.0f, 0.0f)),
                                                scene.Box(1.0f, 1.0f, 1.0f, Translation(3.0f, 0.0f, 0.0f))});
    dgCollision* ball = scene.Sphere(0.5f);
    QueryContacts out;
    // The cache holds a placement far away, as if another body had just been refreshed with this shape.
    dgVector minBox;
    dgVector maxBox;
    pair->CalcWorldBox(Translation(100.0f, 0.0f, 0.0f), minBox, maxBox);
    const dgMatrix ballAt = Translation(3.0f, 0.9f, 0.0f);
    const dgInt32 count = scene.World().Collide(pair, dgGetIdentityMatrix(), ball, ballAt, out.m_points,
                                                out.m_normals, out.m_penetrations, 8);
    ASSERT_EQ(count, 1);
    EXPECT_TRUE(VectorNear(out.Normal(0), dgVector(0.0f, -1.0f, 0.0f, 0.0f), kLooseTol));
    EXPECT_NEAR(out.m_points[0], 3.0f, kLooseTol);
    EXPECT_TRUE(MatrixNear(pair->GetChildMatrix(0), Translation(97.0f, 0.0f, 0.0f), 0.0f));

    // Between the children nothing touches.
    EXPECT_EQ(scene.World().Collide(pair, dgGetIdentityMatrix(), ball, Translation(0.0f, 0.0f, 0.0f),
                                    out.m_points, out.m_normals, out.m_penetrations, 8),
              0);
    // The compound as B is handled as body 0: the normal runs from the ball towards it.
    ASSERT_EQ(scene.World().Collide(ball, ballAt, pair, dgGetIdentityMatrix(), out.m_points, out.m_normals,
                                    out.m_penetrations, 8),
              1);
    EXPECT_TRUE(VectorNear(out.Normal(0), dgVector(0.0f, -1.0f, 0.0f, 0.0f), kLooseTol));
}

TEST(dgWorldCollide, CompoundsOfTwoHundredChildrenStayWithinTheWantedCount) {
    QueryScene scene;
    dgCompoundCollision* row0 = scene.CubeRow(200, 0.0f);
    dgCompoundCollision* row1 = scene.CubeRow(200, 0.0f);
    QueryContacts out;
    // The second row lies across the first, sunk by 0.1: every cube touches its neighbours above.
    const dgMatrix above = Translation(0.4f, 0.9f, 0.0f);
    for (const dgInt32 wanted : {16, 1, dgWorld::kMaxQueryContacts, 1000}) {
        const dgInt32 count = scene.World().Collide(row0, dgGetIdentityMatrix(), row1, above, out.m_points,
                                                    out.m_normals, out.m_penetrations, wanted);
        EXPECT_GT(count, 0) << wanted;
        EXPECT_LE(count, std::min(wanted, dgWorld::kMaxQueryContacts)) << wanted;
        for (dgInt32 i = 0; i < count; i++) {
            EXPECT_NEAR(out.m_points[3 * i + 1], 0.45f, 0.06f);
        }
    }
}

TEST(dgWorldCollideContinue, ShapesThatNeverMeetGiveNoContactsAndAFarTime) {
    QueryScene scene;
    dgCollision* sphere = scene.Sphere(1.0f);
    QueryContacts out;
    dgFloat32 time = -1.0f;
    const dgVector still(0.0f, 0.0f, 0.0f, 0.0f);
    // Moving apart, and moving towards each other but stopping 1 short.
    EXPECT_EQ(scene.World().CollideContinue(sphere, dgGetIdentityMatrix(), dgVector(-1.0f, 0.0f, 0.0f, 0.0f),
                                            still, sphere, Translation(5.0f, 0.0f, 0.0f), still, still, time,
                                            out.m_points, out.m_normals, out.m_penetrations, 4),
              0);
    EXPECT_EQ(time, 1.0e10f);
    time = -1.0f;
    EXPECT_EQ(scene.World().CollideContinue(sphere, dgGetIdentityMatrix(), dgVector(1.0f, 0.0f, 0.0f, 0.0f),
                                            still, sphere, Translation(5.0f, 0.0f, 0.0f),
                                            dgVector(-1.0f, 0.0f, 0.0f, 0.0f), still, time, out.m_points,
                                            out.m_normals, out.m_penetrations, 4),
              0);
    EXPECT_EQ(time, 1.0e10f);
}

TEST(dgWorldCollideContinue, ReportsTheFirstTouchAndZeroForShapesAlreadyOverlapping) {
    QueryScene scene;
    dgCollision* box = scene.Box(2.0f, 2.0f, 2.0f);
    QueryContacts out;
    const dgVector still(0.0f, 0.0f, 0.0f, 0.0f);
    dgFloat32 time = -1.0f;
    // A gap of 2 closed at 4 per unit of time.
    const dgInt32 count = scene.World().CollideContinue(
        box, dgGetIdentityMatrix(), still, still, box, Translation(0.0f, 4.0f, 0.0f),
        dgVector(0.0f, -4.0f, 0.0f, 0.0f), still, time, out.m_points, out.m_normals, out.m_penetrations, 8);
    EXPECT_GT(count, 0);
    EXPECT_LE(count, 8);
    EXPECT_NEAR(time, 0.5f, 0.01f);

    time = -1.0f;
    EXPECT_GT(scene.World().CollideContinue(box, dgGetIdentityMatrix(), still, still, box,
                                            Translation(0.0f, 1.5f, 0.0f), still, still, time, out.m_points,
                                            out.m_normals, out.m_penetrations, 8),
              0);
    EXPECT_EQ(time, 0.0f);

    // Nothing wanted: the time is still given out.
    time = -1.0f;
    EXPECT_EQ(scene.World().CollideContinue(box, dgGetIdentityMatrix(), still, still, box,
                                            Translation(0.0f, 1.5f, 0.0f), still, still, time, out.m_points,
                                            out.m_normals, out.m_penetrations, 0),
              0);
    EXPECT_EQ(time, 0.0f);

    // One wanted of several touching points: exactly one written.
    time = -1.0f;
    out.m_points[3] = 12345.0f;
    EXPECT_EQ(scene.World().CollideContinue(box, dgGetIdentityMatrix(), still, still, box,
                                            Translation(0.3f, 1.9f, 0.0f), still, still, time, out.m_points,
                                            out.m_normals, out.m_penetrations, 1),
              1);
    EXPECT_EQ(out.m_points[3], 12345.0f);
}

TEST(dgWorldCollideContinue, CompoundTakesTheEarliestTouchOfItsChildren) {
    QueryScene scene;
    dgCompoundCollision* pair = scene.Compound({scene.Box(1.0f, 1.0f, 1.0f, Translation(-3.0f, 0.0f, 0.0f)),
                                                scene.Box(1.0f, 1.0f, 1.0f, Translation(3.0f, 2.0f, 0.0f))});
    dgCollision* wall = scene.Box(20.0f, 1.0f, 20.0f);
    QueryContacts out;
    const dgVector still(0.0f, 0.0f, 0.0f, 0.0f);
    dgFloat32 time = -1.0f;
    // Falling 8 per unit onto a wall whose top is at y = -4: the lower child's gap is 3.5, the upper's 5.5.
    const dgInt32 count =
        scene.World().CollideContinue(pair, dgGetIdentityMatrix(), dgVector(0.0f, -8.0f, 0.0f, 0.0f), still,
                                      wall, Translation(0.0f, -4.5f, 0.0f), still, still, time, out.m_points,
                                      out.m_normals, out.m_penetrations, 16);
    EXPECT_GT(count, 0);
    EXPECT_NEAR(time, 3.5f / 8.0f, 0.01f);
}
