#include "physics/collision/dgCompoundCollision.h"

#include "physics/collision/dgIntersections.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"

#include "CollisionTestShapes.h"
#include "PairBodies.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

struct WorldDeleter {
    void operator()(dgWorld* world) const { delete world; }
};
using WorldPtr = std::unique_ptr<dgWorld, WorldDeleter>;

/// A world and the shapes a test makes through it; every reference the test still holds goes back to
/// the world at the end.
class ShapeScene {
public:
    ShapeScene() : m_world(new dgWorld) {}
    ~ShapeScene() {
        for (dgCollision* shape : m_held) {
            m_world->ReleaseCollision(shape);
        }
    }
    ShapeScene(const ShapeScene&) = delete;
    ShapeScene& operator=(const ShapeScene&) = delete;

    dgWorld& World() { return *m_world; }
    dgCollision* UnitBoxAt(dgFloat32 x, dgFloat32 y = 0.0f, dgFloat32 z = 0.0f) {
        return Hold(m_world->CreateBox(1.0f, 1.0f, 1.0f, Translation(x, y, z)));
    }
    dgCollision* Hold(dgCollision* shape) {
        if (shape != nullptr) {
            m_held.push_back(shape);
        }
        return shape;
    }
    dgCompoundCollision* CompoundOf(const std::vector<dgCollision*>& children) {
        dgCompoundCollision* compound =
            m_world->CreateCompound(static_cast<dgInt32>(children.size()), children.data());
        Hold(compound);
        return compound;
    }
    /// Gives the test's reference back before the end.
    void Release(dgCollision* shape) {
        m_held.erase(std::find(m_held.begin(), m_held.end(), shape));
        m_world->ReleaseCollision(shape);
    }

private:
    WorldPtr m_world;
    std::vector<dgCollision*> m_held;
};

dgInt32 GetPlaneBelowY0(std::uintptr_t, void*, const dgFloat32*, dgFloat32* plane) {
    plane[0] = 0.0f;
    plane[1] = 1.0f;
    plane[2] = 0.0f;
    plane[3] = 0.0f;
    return 1;
}

dgUnsigned32 RefuseEverything(dgBody*, const dgCollision*, void*) {
    return 0;
}

} // namespace

TEST(dgCompoundCollision, GrowsByDoublingEvenFromNoRoomAndKeepsEveryEntryAtItsIndex) {
    ShapeScene scene;
    dgCollision* a = scene.UnitBoxAt(-2.0f);
    dgCollision* b = scene.UnitBoxAt(0.0f);
    dgCollision* c = scene.UnitBoxAt(2.0f);
    dgCollision* d = scene.UnitBoxAt(0.0f, 4.0f);
    dgCompoundCollision* compound = scene.CompoundOf({a, b, c});
    EXPECT_EQ(compound->GetCapacity(), 3);
    const dgInt32 held = d->GetRefCount();
    ASSERT_TRUE(compound->AddCollision(d));
    EXPECT_EQ(d->GetRefCount(), held + 1);
    EXPECT_EQ(compound->GetCapacity(), 6);
    ASSERT_EQ(compound->GetChildCount(), 4);
    const dgCollision* expected[] = {a, b, c, d};
    for (dgInt32 i = 0; i < 4; i++) {
        EXPECT_EQ(compound->GetChild(i), expected[i]);
    }

    dgCompoundCollision* empty = scene.CompoundOf({});
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetCapacity(), 0);
    for (dgInt32 i = 0; i < 5; i++) {
        ASSERT_TRUE(empty->AddCollision(scene.UnitBoxAt(2.0f * static_cast<dgFloat32>(i), 1.0f)));
        EXPECT_EQ(empty->GetChildCount(), i + 1);
    }
    EXPECT_EQ(empty->GetCapacity(), 2 * dgCompoundCollision::kMinGrowCapacity);
}

TEST(dgCompoundCollision, NewEntriesArePlacedInTheCompoundsSpaceBeforeAnyWorldBoxQuery) {
    ShapeScene scene;
    dgCompoundCollision* compound = scene.CompoundOf({scene.UnitBoxAt(-3.0f)});
    ASSERT_TRUE(compound->AddCollision(scene.UnitBoxAt(0.0f, 4.0f)));
    for (dgInt32 i = 0; i < 2; i++) {
        const dgCollision* child = compound->GetChild(i);
        dgVector minBox;
        dgVector maxBox;
        child->CalcWorldBox(child->GetOffsetMatrix(), minBox, maxBox);
        EXPECT_TRUE(MatrixNear(compound->GetChildMatrix(i), child->GetOffsetMatrix(), 0.0f));
        EXPECT_TRUE(VectorNear(compound->GetChildBoxes()[i].m_min, minBox, 0.0f));
        EXPECT_TRUE(VectorNear(compound->GetChildBoxes()[i].m_max, maxBox, 0.0f));
    }
}

TEST(dgCompoundCollision, RemovalMovesTheLastEntryIntoTheGapAndEachChildIsReleasedOnce) {
    ShapeScene scene;
    dgCollision* a = scene.UnitBoxAt(-2.0f);
    dgCollision* b = scene.UnitBoxAt(0.0f);
    dgCollision* c = scene.UnitBoxAt(2.0f);
    dgCollision* stranger = scene.UnitBoxAt(9.0f);
    const dgInt32 held = a->GetRefCount();
    dgCompoundCollision* compound = scene.CompoundOf({a, b, c});
    dgVector minBox;
    dgVector maxBox;
    compound->CalcWorldBox(Translation(0.0f, 5.0f, 0.0f), minBox, maxBox);
    const dgMatrix thirdMatrix = compound->GetChildMatrix(2);
    const dgCompoundCollision::ChildBox thirdBox = compound->GetChildBoxes()[2];

    compound->RemoveCollision(a);
    ASSERT_EQ(compound->GetChildCount(), 2);
    EXPECT_EQ(compound->GetChild(0), c);
    EXPECT_EQ(compound->GetChild(1), b);
    EXPECT_TRUE(MatrixNear(compound->GetChildMatrix(0), thirdMatrix, 0.0f));
    EXPECT_TRUE(Vector4Near(compound->GetChildBoxes()[0].m_min, thirdBox.m_min, 0.0f));
    EXPECT_TRUE(Vector4Near(compound->GetChildBoxes()[0].m_max, thirdBox.m_max, 0.0f));
    EXPECT_EQ(a->GetRefCount(), held);

    compound->RemoveCollision(stranger);
    compound->RemoveCollision(a);
    EXPECT_EQ(compound->GetChildCount(), 2);
    EXPECT_EQ(stranger->GetRefCount(), held);

    scene.Release(compound);
    EXPECT_EQ(b->GetRefCount(), held);
    EXPECT_EQ(c->GetRefCount(), held);
}

TEST(dgCompoundCollision, ChildrenThatAreNotConvexAreRefused) {
    ShapeScene scene;
    dgCollision* box = scene.UnitBoxAt(0.0f);
    dgCompoundCollision* inner = scene.CompoundOf({box});
    ASSERT_NE(inner, nullptr);
    const dgInt32 boxHeld = box->GetRefCount();

    dgCollision* nested[] = {box, inner};
    EXPECT_EQ(scene.World().CreateCompound(2, nested), nullptr);
    dgCollision* withNull[] = {box, nullptr};
    EXPECT_EQ(scene.World().CreateCompound(2, withNull), nullptr);
    EXPECT_EQ(scene.World().CreateCompound(-1, nested), nullptr);
    EXPECT_EQ(scene.World().CreateCompound(1, nullptr), nullptr);
    EXPECT_FALSE(inner->AddCollision(inner));
    EXPECT_FALSE(inner->AddCollision(nullptr));
    // Nothing refused keeps a reference.
    EXPECT_EQ(box->GetRefCount(), boxHeld);
    EXPECT_EQ(inner->GetRefCount(), 1);
    EXPECT_EQ(inner->GetChildCount(), 1);
}

TEST(dgCompoundCollision, TwoUnitCubesMatchTheParallelAxisTheorem) {
    ShapeScene scene;
    dgCollision* left = scene.UnitBoxAt(-1.0f);
    dgCompoundCollision* compound = scene.CompoundOf({left, scene.UnitBoxAt(1.0f)});
    EXPECT_NEAR(compound->GetVolume(), 2.0f, kLooseTol);
    dgVector inertia;
    dgVector centre;
    compound->CalcInertia(inertia, centre);
    // Unit mass: each cube has 1/6 about its own centre, and the x = +-1 offsets add 1 about y and z.
    EXPECT_NEAR(inertia.x, 1.0f / 6.0f, kLooseTol);
    EXPECT_NEAR(inertia.y, 1.0f / 6.0f + 1.0f, kLooseTol);
    EXPECT_NEAR(inertia.z, 1.0f / 6.0f + 1.0f, kLooseTol);
    EXPECT_TRUE(VectorNear(dgVector(centre.x, centre.y, centre.z, 0.0f), dgVector(), kLooseTol));

    // One cube raised by 2: the centre is the midpoint, and y's lever arm adds to Ixx and Izz.
    dgCompoundCollision* lopsided = scene.CompoundOf({left, scene.UnitBoxAt(1.0f, 2.0f)});
    lopsided->CalcInertia(inertia, centre);
    EXPECT_TRUE(VectorNear(dgVector(centre.x, centre.y, centre.z, 0.0f), dgVector(0.0f, 1.0f, 0.0f, 0.0f),
                           kLooseTol));
    EXPECT_NEAR(inertia.x, 1.0f / 6.0f + 1.0f, kLooseTol);
    EXPECT_NEAR(inertia.y, 1.0f / 6.0f + 1.0f, kLooseTol);
    EXPECT_NEAR(inertia.z, 1.0f / 6.0f + 2.0f, kLooseTol);
}

TEST(dgCompoundCollision, EmptyCompoundHasNoVolumeNoHitAndAPointBox) {
    ShapeScene scene;
    dgCompoundCollision* compound = scene.CompoundOf({});
    EXPECT_EQ(compound->GetVolume(), 0.0f);
    EXPECT_EQ(CastRay(*compound, dgVector(-5.0f, 0.0f, 0.0f, 1.0f), dgVector(5.0f, 0.0f, 0.0f, 1.0f)).m_t,
              dgCollision::kNoHit);
    const dgMatrix m = Translation(1.0f, 2.0f, 3.0f);
    dgVector minBox;
    dgVector maxBox;
    compound->CalcWorldBox(m, minBox, maxBox);
    EXPECT_TRUE(Vector4Near(minBox, m.posit, 0.0f));
    EXPECT_TRUE(Vector4Near(maxBox, m.posit, 0.0f));
}

TEST(dgCompoundCollision, WorldBoxIsTheUnionOfThePlacedChildrenAndRefreshesTheCache) {
    ShapeScene scene;
    dgCompoundCollision* compound =
        scene.CompoundOf({scene.UnitBoxAt(-3.0f),
                          scene.Hold(scene.World().CreateSphere(0.5f, Translation(0.0f, 0.0f, 2.0f)))});
    RandomGeometry random(41);
    for (int trial = 0; trial < 10; trial++) {
        const dgMatrix m = random.RigidMatrix(10.0f);
        dgVector minBox;
        dgVector maxBox;
        compound->CalcWorldBox(m, minBox, maxBox);
        dgVector expectedMin = m.posit;
        dgVector expectedMax = m.posit;
        for (dgInt32 i = 0; i < 2; i++) {
            const dgCollision* child = compound->GetChild(i);
            const dgMatrix placed = child->GetOffsetMatrix().Multiply(m);
            dgVector childMin;
            dgVector childMax;
            child->CalcWorldBox(placed, childMin, childMax);
            EXPECT_TRUE(MatrixNear(compound->GetChildMatrix(i), placed, kRoundingTol));
            EXPECT_TRUE(VectorNear(compound->GetChildBoxes()[i].m_min, childMin, kRoundingTol));
            EXPECT_TRUE(VectorNear(compound->GetChildBoxes()[i].m_max, childMax, kRoundingTol));
            for (dgInt32 axis = 0; axis < 3; axis++) {
                expectedMin[axis] = std::min(expectedMin[axis], childMin[axis]);
                expectedMax[axis] = std::max(expectedMax[axis], childMax[axis]);
            }
        }
        EXPECT_TRUE(Vector4Near(minBox, expectedMin, kRoundingTol));
        EXPECT_TRUE(Vector4Near(maxBox, expectedMax, kRoundingTol));
    }
}

TEST(dgCompoundCollision, RayHitsTheNearestChildWithItsNormalInTheCompoundsSpace) {
    ShapeScene scene;
    // The far child is turned a quarter about y: its normal must come back through that turn.
    dgMatrix turned = dgRotationMatrixY(1.5707964f);
    turned.posit = dgVector(3.0f, 0.0f, 0.0f, 1.0f);
    dgCollision* farChild = scene.Hold(scene.World().CreateBox(1.0f, 1.0f, 3.0f, turned));
    dgCompoundCollision* compound = scene.CompoundOf({farChild, scene.UnitBoxAt(-3.0f)});

    const dgVector west(-10.0f, 0.0f, 0.0f, 1.0f);
    const dgVector east(10.0f, 0.0f, 0.0f, 1.0f);
    const RayResult fromWest = CastRay(*compound, west, east);
    EXPECT_NEAR(fromWest.m_t, 6.5f / 20.0f, kLooseTol);
    EXPECT_TRUE(VectorNear(fromWest.m_contact.m_normal, dgVector(-1.0f, 0.0f, 0.0f, 1.0f), kLooseTol));

    // The turned box is 3 long along its own z, which now lies along x: its face is at x = 4.5.
    const RayResult fromEast = CastRay(*compound, east, west);
    EXPECT_NEAR(fromEast.m_t, 5.5f / 20.0f, kLooseTol);
    EXPECT_TRUE(Vector4Near(fromEast.m_contact.m_normal, dgVector(1.0f, 0.0f, 0.0f, 1.0f), kLooseTol));

    const RayResult miss =
        CastRay(*compound, dgVector(-10.0f, 5.0f, 0.0f, 1.0f), dgVector(10.0f, 5.0f, 0.0f, 1.0f));
    EXPECT_EQ(miss.m_t, dgCollision::kNoHit);
    dgContactPoint contact;
    EXPECT_EQ(compound->RayCast(west, east, contact, RefuseEverything, nullptr, nullptr),
              dgCollision::kNoHit);
}

TEST(dgCompoundCollision, DisplaysEveryChildWithTheBodyHoldingThatChild) {
    ShapeScene scene;
    dgCollision* box = scene.UnitBoxAt(-3.0f);
    dgCollision* other = scene.UnitBoxAt(3.0f);
    dgCompoundCollision* compound = scene.CompoundOf({box, other});
    std::vector<const dgCollision*> seen;
    dgBody body;
    body.m_matrix = dgGetIdentityMatrix();
    body.m_collision = compound;
    body.m_userData = &seen;
    compound->ForEachDisplayFace(body.m_matrix, &body, [](dgBody* b, dgInt32, const dgFloat32*, dgInt32) {
        static_cast<std::vector<const dgCollision*>*>(b->m_userData)->push_back(b->m_collision);
    });
    ASSERT_EQ(seen.size(), 12u);
    for (std::size_t i = 0; i < 12; i++) {
        EXPECT_EQ(seen[i], i < 6 ? box : other);
    }
    EXPECT_EQ(body.m_collision, compound);
}

TEST(dgCompoundCollision, VolumeUnderPlaneAnswersForTheMatrixAskedNotTheLastPlacement) {
    ShapeScene scene;
    dgCompoundCollision* compound = scene.CompoundOf({scene.UnitBoxAt(-1.0f), scene.UnitBoxAt(1.0f)});
    dgVector minBox;
    dgVector maxBox;
    // Another body's placement fills the cache: the answers below must not depend on it.
    compound->CalcWorldBox(Translation(0.0f, 100.0f, 0.0f), minBox, maxBox);
    const dgVector half = compound->CalcVolumeUnderPlane(dgGetIdentityMatrix(), GetPlaneBelowY0, nullptr);
    EXPECT_NEAR(half.w, 1.0f, kLooseTol);
    EXPECT_TRUE(VectorNear(half, dgVector(0.0f, -0.25f, 0.0f, 0.0f), kLooseTol));
    const dgVector whole =
        compound->CalcVolumeUnderPlane(Translation(5.0f, -3.0f, 0.0f), GetPlaneBelowY0, nullptr);
    EXPECT_NEAR(whole.w, 2.0f, kLooseTol);
    EXPECT_TRUE(VectorNear(whole, dgVector(5.0f, -3.0f, 0.0f, 0.0f), kLooseTol));
}

TEST(dgCompoundCollision, SweepFindsExactlyTheOverlappingPairsOfLargeSets) {
    RandomGeometry random(7);
    auto makeBoxes = [&random](dgInt32 count) {
        std::vector<dgCompoundCollision::ChildBox> boxes(static_cast<std::size_t>(count));
        for (auto& box : boxes) {
            const dgVector centre = random.Point(-20.0f, 20.0f);
            const dgVector half(random.Float(0.2f, 1.7f), random.Float(0.2f, 1.7f), random.Float(0.2f, 1.7f),
                                0.0f);
            box.m_min = centre.Sub(half);
            box.m_max = centre.Add(half);
        }
        return boxes;
    };
    // Together more than a fixed heap of 1024 entries could hold.
    const auto boxes0 = makeBoxes(700);
    const auto boxes1 = makeBoxes(600);
    std::set<std::pair<dgInt32, dgInt32>> expected;
    for (dgInt32 i = 0; i < 700; i++) {
        for (dgInt32 j = 0; j < 600; j++) {
            const auto& a = boxes0[static_cast<std::size_t>(i)];
            const auto& b = boxes1[static_cast<std::size_t>(j)];
            if (BoxesOverlap(a.m_min, a.m_max, b.m_min, b.m_max)) {
                expected.insert({i, j});
            }
        }
    }
    ASSERT_FALSE(expected.empty());
    std::vector<std::pair<dgInt32, dgInt32>> found;
    dgCompoundCollision::ForEachOverlappingChildPair(
        700, boxes0.data(), 600, boxes1.data(),
        [](void* context, dgInt32 i, dgInt32 j) {
            static_cast<std::vector<std::pair<dgInt32, dgInt32>>*>(context)->push_back({i, j});
        },
        &found);
    EXPECT_EQ(found.size(), expected.size());
    const std::set<std::pair<dgInt32, dgInt32>> unique(found.begin(), found.end());
    EXPECT_EQ(unique, expected);
}

TEST(dgCompoundCollision, ContinuousBodyWidensEveryChildBoxBeyondItsSlack) {
    ShapeScene scene;
    dgCompoundCollision* compound = scene.CompoundOf({scene.UnitBoxAt(-2.0f), scene.UnitBoxAt(2.0f)});
    dgBody body;
    body.m_collision = compound;
    body.m_matrix = dgGetIdentityMatrix();
    body.m_veloc = dgVector(3.0f, -2.0f, 0.1f, 0.0f);
    body.m_flags |= dgBody::kContinuousCollision;
    body.UpdateCollisionMatrix(1.0f);
    // Unit child boxes: 0.45 of the motion is slack; x grows the maximum, y lowers the minimum, and
    // z's 0.1 stays within the slack.
    for (dgInt32 i = 0; i < 2; i++) {
        const dgCompoundCollision::ChildBox& box = compound->GetChildBoxes()[i];
        const dgFloat32 cx = i == 0 ? -2.0f : 2.0f;
        EXPECT_TRUE(
            VectorNear(box.m_min, dgVector(cx - 0.5f, -0.5f - (2.0f - 0.45f), -0.5f, 0.0f), kChainTol));
        EXPECT_TRUE(VectorNear(box.m_max, dgVector(cx + 0.5f + (3.0f - 0.45f), 0.5f, 0.5f, 0.0f), kChainTol));
    }
}
