#include "physics/collision/dgBroadPhase.h"

#include "physics/collision/dgIntersections.h"
#include "support/BroadPhaseScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

constexpr dgFloat64 kSumTol = 1e-6;

dgVector Point(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return dgVector(x, y, z, 1.0f);
}

// A cube of side `size` with its minimum corner at (x, y, z).
struct Box {
    dgVector m_min;
    dgVector m_max;
};
Box Cube(dgFloat32 x, dgFloat32 y, dgFloat32 z, dgFloat32 size) {
    return Box{Point(x, y, z), Point(x + size, y + size, z + size)};
}

bool HoldsWhole(const dgBroadPhaseCell* cell, const dgBody* body) {
    return body->m_minBox.x >= cell->m_x && body->m_maxBox.x <= cell->m_x + cell->m_side &&
           body->m_minBox.z >= cell->m_z && body->m_maxBox.z <= cell->m_z + cell->m_side;
}

// A quadrant takes a box only when the box keeps off the midlines: its maximum strictly below, or its
// minimum at or above.
bool FitsSomeQuadrant(const dgBroadPhaseCell* cell, const dgBody* body) {
    if (!HoldsWhole(cell, body)) {
        return false;
    }
    const dgFloat32 midX = cell->m_x + cell->m_side * 0.5f;
    const dgFloat32 midZ = cell->m_z + cell->m_side * 0.5f;
    const bool sideX = body->m_maxBox.x < midX || body->m_minBox.x >= midX;
    const bool sideZ = body->m_maxBox.z < midZ || body->m_minBox.z >= midZ;
    return sideX && sideZ;
}

// Every structural promise of the tree, checked from the root down, and each body found exactly once.
void ExpectTreeValid(const dgBroadPhase& broadPhase, const std::vector<dgBody*>& bodies) {
    std::set<const dgBody*> seen;
    std::vector<const dgBroadPhaseCell*> stack;
    if (broadPhase.GetRootCell() != nullptr) {
        EXPECT_EQ(broadPhase.GetRootCell()->m_parent, nullptr);
        EXPECT_EQ(broadPhase.GetRootCell()->m_level, 0);
        stack.push_back(broadPhase.GetRootCell());
    }
    while (!stack.empty()) {
        const dgBroadPhaseCell* cell = stack.back();
        stack.pop_back();
        EXPECT_TRUE(cell->m_bodyCount > 0 || cell->m_childCount > 0) << "an empty cell was kept";
        for (dgInt32 axis = 0; axis < 3; axis++) {
            const dgBroadPhaseAxisList& list = cell->m_lists[axis];
            ASSERT_EQ(list.GetCount(), cell->m_bodyCount);
            dgFloat64 sum = 0.0;
            dgFloat64 sumOfSquares = 0.0;
            dgFloat32 previous = -std::numeric_limits<dgFloat32>::infinity();
            for (auto* node = list.GetFirst(); node != nullptr; node = node->GetNext()) {
                const dgBroadPhaseAxisNode& info = node->GetInfo();
                EXPECT_LE(previous, info.m_key) << "list " << axis << " out of order";
                previous = info.m_key;
                EXPECT_EQ(info.m_key, info.m_body->m_minBox[axis]);
                EXPECT_EQ(info.m_body->m_cell, cell);
                EXPECT_EQ(info.m_body->m_axisNode[axis], node);
                sum += info.m_key;
                sumOfSquares += dgFloat64(info.m_key) * info.m_key;
                if (axis == 0) {
                    EXPECT_TRUE(seen.insert(info.m_body).second) << "a body sits in two cells";
                    if (cell->m_parent != nullptr) {
                        EXPECT_TRUE(HoldsWhole(cell, info.m_body));
                    }
                    if (cell->m_level < dgBroadPhase::kMaxDepth) {
                        EXPECT_FALSE(FitsSomeQuadrant(cell, info.m_body)) << "a body is not in its deepest cell";
                    }
                }
            }
            EXPECT_NEAR(list.m_sum, sum, kSumTol * (1.0 + std::fabs(sum)));
            EXPECT_NEAR(list.m_sumOfSquares, sumOfSquares, kSumTol * (1.0 + sumOfSquares));
        }
        dgInt32 children = 0;
        for (dgInt32 q = 0; q < 4; q++) {
            const dgBroadPhaseCell* child = cell->m_children[q];
            if (child == nullptr) {
                continue;
            }
            children++;
            EXPECT_EQ(child->m_parent, cell);
            EXPECT_EQ(child->m_level, cell->m_level + 1);
            EXPECT_EQ(child->m_side, cell->m_side * 0.5f);
            EXPECT_EQ(child->m_x, cell->m_x + ((q & 1) != 0 ? child->m_side : 0.0f));
            EXPECT_EQ(child->m_z, cell->m_z + ((q & 2) != 0 ? child->m_side : 0.0f));
            stack.push_back(child);
        }
        EXPECT_EQ(children, cell->m_childCount);
    }
    EXPECT_EQ(seen.size(), bodies.size());
    for (const dgBody* body : bodies) {
        EXPECT_EQ(seen.count(body), 1u);
    }
}

dgInt32 Depth(const dgBody* body) {
    return body->m_cell->m_level;
}

std::vector<const dgBody*> Order(const dgBroadPhaseCell* cell, dgInt32 axis) {
    std::vector<const dgBody*> order;
    for (auto* node = cell->m_lists[axis].GetFirst(); node != nullptr; node = node->GetNext()) {
        order.push_back(node->GetInfo().m_body);
    }
    return order;
}

Box RandomBox(std::mt19937& random, dgFloat32 worldMin, dgFloat32 worldMax) {
    std::uniform_real_distribution<dgFloat32> corner(worldMin, worldMax);
    std::uniform_int_distribution<int> sizeClass(0, 3);
    static constexpr dgFloat32 kSizes[] = {0.05f, 1.0f, 20.0f, 400.0f};
    std::uniform_real_distribution<dgFloat32> unit(0.1f, 1.0f);
    const dgFloat32 size = kSizes[sizeClass(random)];
    const dgVector min = Point(corner(random), corner(random), corner(random));
    return Box{min, Point(min.x + size * unit(random), min.y + size * unit(random), min.z + size * unit(random))};
}

} // namespace

// ---- Membership under motion -------------------------------------------------------------------------

TEST(dgBroadPhaseMembership, RandomMotionKeepsListsSortedCountsAndSumsExact) {
    BroadPhaseScene scene;
    std::mt19937 random(7);
    for (int i = 0; i < 300; i++) {
        const Box box = RandomBox(random, -1000.0f, 900.0f);
        scene.AddBody(box.m_min, box.m_max);
    }
    ExpectTreeValid(scene.BroadPhase(), scene.Bodies());

    std::uniform_real_distribution<dgFloat32> jitter(-3.0f, 3.0f);
    std::uniform_int_distribution<int> action(0, 9);
    for (int round = 0; round < 40; round++) {
        for (int i = 0; i < 100; i++) {
            std::uniform_int_distribution<std::size_t> pick(0, scene.Bodies().size() - 1);
            dgBody* body = scene.Bodies()[pick(random)];
            const int what = action(random);
            if (what < 6) {
                const dgVector d = Point(jitter(random), jitter(random), jitter(random));
                scene.Move(body, body->m_minBox.Add(d), body->m_maxBox.Add(d));
            } else if (what < 8) {
                const Box box = RandomBox(random, -1000.0f, 900.0f);
                scene.Move(body, box.m_min, box.m_max);
            } else if (what < 9) {
                scene.RemoveBody(body);
            } else {
                const Box box = RandomBox(random, -1000.0f, 900.0f);
                scene.AddBody(box.m_min, box.m_max);
            }
        }
        ExpectTreeValid(scene.BroadPhase(), scene.Bodies());
        if (HasFailure()) {
            return;
        }
    }
}

TEST(dgBroadPhaseMembership, EqualKeysKeepTheOrderInWhichTheyCameToRest) {
    BroadPhaseScene scene;
    const Box box = Cube(10.0f, 0.0f, 10.0f, 1.0f);
    dgBody* a = scene.AddBody(box.m_min, box.m_max);
    dgBody* b = scene.AddBody(box.m_min, box.m_max);
    dgBody* c = scene.AddBody(box.m_min, box.m_max);
    const dgBroadPhaseCell* cell = a->m_cell;
    ASSERT_EQ(b->m_cell, cell);
    ASSERT_EQ(c->m_cell, cell);
    for (dgInt32 axis = 0; axis < 3; axis++) {
        EXPECT_EQ(Order(cell, axis), (std::vector<const dgBody*>{a, b, c}));
    }

    // Refreshing a body in place moves nothing.
    scene.Move(b, box.m_min, box.m_max);
    scene.Move(a, box.m_min, box.m_max);
    EXPECT_EQ(Order(cell, 0), (std::vector<const dgBody*>{a, b, c}));

    // A body that goes away and comes back rests behind those that stayed.
    const Box aside = Cube(10.5f, 0.0f, 10.0f, 1.0f);
    scene.Move(a, aside.m_min, aside.m_max);
    ASSERT_EQ(a->m_cell, cell);
    EXPECT_EQ(Order(cell, 0), (std::vector<const dgBody*>{b, c, a}));
    EXPECT_EQ(Order(cell, 2), (std::vector<const dgBody*>{a, b, c}));
    scene.Move(a, box.m_min, box.m_max);
    EXPECT_EQ(Order(cell, 0), (std::vector<const dgBody*>{b, c, a}));
    EXPECT_EQ(Order(cell, 2), (std::vector<const dgBody*>{a, b, c}));
    ExpectTreeValid(scene.BroadPhase(), scene.Bodies());
}

TEST(dgBroadPhaseMembership, CrowdedCellCountsPastSixteenBits) {
    BroadPhaseScene scene;
    // Across both midlines, the root keeps them; centred where a new body starts, so no key moves.
    const Box box = Cube(-500.0f, -500.0f, -500.0f, 1000.0f);
    constexpr int kBodies = 40000;
    for (int i = 0; i < kBodies; i++) {
        scene.AddBody(box.m_min, box.m_max);
    }
    const dgBroadPhaseCell* root = scene.BroadPhase().GetRootCell();
    EXPECT_EQ(root->m_bodyCount, kBodies);
    for (const dgBroadPhaseAxisList& list : root->m_lists) {
        EXPECT_EQ(list.GetCount(), kBodies);
    }
    scene.RemoveBody(scene.Bodies().front());
    EXPECT_EQ(root->m_bodyCount, kBodies - 1);
}

// ---- Root and cell life cycle --------------------------------------------------------------------------

TEST(dgBroadPhaseCells, FirstAddMakesTheRootAtTheBoxMinimumAndLastRemoveReleasesIt) {
    BroadPhaseScene scene;
    EXPECT_EQ(scene.BroadPhase().GetRootCell(), nullptr);
    dgBody* body = scene.AddBody(Point(-1.0f, 0.0f, -1.0f), Point(1.0f, 1.0f, 1.0f));
    const dgBroadPhaseCell* root = scene.BroadPhase().GetRootCell();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->m_x, -1000.0f);
    EXPECT_EQ(root->m_y, -1000.0f);
    EXPECT_EQ(root->m_z, -1000.0f);
    EXPECT_EQ(root->m_side, 2000.0f);
    EXPECT_EQ(body->m_cell, root); // straddles both centre lines

    scene.RemoveBody(body);
    EXPECT_EQ(scene.BroadPhase().GetRootCell(), nullptr);
    EXPECT_EQ(scene.BroadPhase().GetFreeCellCount(), 1);
}

TEST(dgBroadPhaseCells, SmallBodyGoesDownNineLevelsAndNoFurther) {
    BroadPhaseScene scene;
    // The root is 2000 wide: a cell nine levels down is 2000 / 512 = 3.90625 wide.
    dgBody* tiny = scene.AddBody(Point(1.0f, 0.0f, 1.0f), Point(1.01f, 0.01f, 1.01f));
    EXPECT_EQ(Depth(tiny), dgBroadPhase::kMaxDepth);
    EXPECT_EQ(tiny->m_cell->m_side, 2000.0f / 512.0f);
    EXPECT_EQ(tiny->m_cell->m_x, 0.0f);
    EXPECT_EQ(tiny->m_cell->m_z, 0.0f);

    // A minimum exactly on a midline counts as the upper side, all the way down.
    dgBody* quarter = scene.AddBody(Point(500.0f, 0.0f, 500.0f), Point(501.0f, 1.0f, 501.0f));
    EXPECT_EQ(Depth(quarter), dgBroadPhase::kMaxDepth);
    // Across the level-1 midline x = 500 of the upper quadrant: stays at level 1.
    dgBody* wide = scene.AddBody(Point(499.0f, 0.0f, 100.0f), Point(501.0f, 1.0f, 101.0f));
    EXPECT_EQ(Depth(wide), 1);
    ExpectTreeValid(scene.BroadPhase(), scene.Bodies());
}

TEST(dgBroadPhaseCells, LastBodyOfADeepCellReleasesTheEmptyChainButNotACellWithAChild) {
    BroadPhaseScene scene;
    dgBody* deep = scene.AddBody(Point(1.0f, 0.0f, 1.0f), Point(1.01f, 0.01f, 1.01f));
    // Level 3 cell of the deep body's path spans [0, 250): a body across its midline 125 sits there.
    dgBody* middle = scene.AddBody(Point(120.0f, 0.0f, 10.0f), Point(130.0f, 1.0f, 11.0f));
    ASSERT_EQ(Depth(middle), 3);
    dgBroadPhaseCell* middleCell = middle->m_cell;
    EXPECT_EQ(middleCell->m_childCount, 1);

    scene.RemoveBody(deep);
    EXPECT_EQ(middleCell->m_childCount, 0);
    EXPECT_EQ(middle->m_cell, middleCell);
    EXPECT_EQ(scene.BroadPhase().GetFreeCellCount(), 6); // levels 4 to 9
    ExpectTreeValid(scene.BroadPhase(), scene.Bodies());

    // The body of the chain's top goes: the rest of the chain and the root go with it.
    scene.RemoveBody(middle);
    EXPECT_EQ(scene.BroadPhase().GetRootCell(), nullptr);
    EXPECT_EQ(scene.BroadPhase().GetFreeCellCount(), 10);
}

TEST(dgBroadPhaseCells, ReleasedCellsAreReusedClean) {
    BroadPhaseScene scene;
    dgBody* body = scene.AddBody(Point(1.0f, 0.0f, 1.0f), Point(1.01f, 0.01f, 1.01f));
    scene.RemoveBody(body);
    ASSERT_EQ(scene.BroadPhase().GetFreeCellCount(), 10);

    // Another corner: the ten recycled cells are placed, levelled and linked anew.
    dgBody* other = scene.AddBody(Point(-999.0f, 0.0f, 998.0f), Point(-998.99f, 0.01f, 998.01f));
    EXPECT_EQ(scene.BroadPhase().GetFreeCellCount(), 0);
    EXPECT_EQ(Depth(other), dgBroadPhase::kMaxDepth);
    for (const dgBroadPhaseCell* cell = other->m_cell; cell != nullptr; cell = cell->m_parent) {
        EXPECT_EQ(cell->m_sortAxis, -1);
        EXPECT_EQ(cell->m_frameStamp, 0u);
    }
    ExpectTreeValid(scene.BroadPhase(), scene.Bodies());
}

TEST(dgBroadPhaseCells, MovingUpAndAcrossReleasesTheOldBranch) {
    BroadPhaseScene scene;
    dgBody* body = scene.AddBody(Point(1.0f, 0.0f, 1.0f), Point(1.01f, 0.01f, 1.01f));
    scene.Move(body, Point(-600.0f, 0.0f, -600.0f), Point(-599.0f, 1.0f, -599.0f));
    EXPECT_EQ(Depth(body), dgBroadPhase::kMaxDepth);
    EXPECT_EQ(scene.BroadPhase().GetRootCell()->m_childCount, 1);
    scene.Move(body, Point(-10.0f, 0.0f, -10.0f), Point(10.0f, 1.0f, 10.0f));
    EXPECT_EQ(body->m_cell, scene.BroadPhase().GetRootCell());
    EXPECT_EQ(scene.BroadPhase().GetRootCell()->m_childCount, 0);
    ExpectTreeValid(scene.BroadPhase(), scene.Bodies());
}

// ---- World size ----------------------------------------------------------------------------------------

TEST(dgBroadPhaseWorldSize, SymmetricBoxGivesTheWholeSpanAsRootSide) {
    BroadPhaseScene scene;
    scene.BroadPhase().SetWorldSize(Point(-10000.0f, -10000.0f, -10000.0f), Point(10000.0f, 10000.0f, 10000.0f));
    dgVector min;
    dgVector max;
    scene.BroadPhase().GetWorldSize(min, max);
    EXPECT_EQ(min.x, -10000.0f);
    EXPECT_EQ(min.z, -10000.0f);
    EXPECT_EQ(max.x, 10000.0f);
    EXPECT_EQ(max.z, 10000.0f);
    EXPECT_EQ(min.y, -10000.0f);
    EXPECT_EQ(max.y, 10000.0f);
    dgBody* body = scene.AddBody(Point(-1.0f, 0.0f, -1.0f), Point(1.0f, 1.0f, 1.0f));
    EXPECT_EQ(body->m_cell->m_side, 20000.0f);
}

TEST(dgBroadPhaseWorldSize, BoxIsSquaredOnAFineGridWithYKept) {
    BroadPhaseScene scene;
    scene.BroadPhase().SetWorldSize(Point(0.3f, 5.0f, -0.7f), Point(10.1f, 7.0f, 3.2f));
    dgVector min;
    dgVector max;
    scene.BroadPhase().GetWorldSize(min, max);
    // floor(v * 512) / 512; the x extent 10.1 - 0.298828125 rounds up to 10.
    EXPECT_EQ(min.x, 153.0f / 512.0f);
    EXPECT_EQ(min.z, -359.0f / 512.0f);
    EXPECT_EQ(max.x, 153.0f / 512.0f + 10.0f);
    EXPECT_EQ(max.z, -359.0f / 512.0f + 10.0f);
    EXPECT_EQ(min.y, 5.0f);
    EXPECT_EQ(max.y, 7.0f);
}

TEST(dgBroadPhaseWorldSize, SwappedNaNAndInfiniteCornersGiveAValidBox) {
    BroadPhaseScene scene;
    const dgFloat32 nan = std::numeric_limits<dgFloat32>::quiet_NaN();
    const dgFloat32 inf = std::numeric_limits<dgFloat32>::infinity();
    scene.BroadPhase().SetWorldSize(Point(50.0f, nan, 20.0f), Point(-50.0f, 30.0f, -inf));
    dgVector min;
    dgVector max;
    scene.BroadPhase().GetWorldSize(min, max);
    for (dgInt32 axis = 0; axis < 3; axis++) {
        EXPECT_TRUE(std::isfinite(min[axis]) && std::isfinite(max[axis])) << axis;
        EXPECT_LT(min[axis], max[axis]) << axis;
    }
    EXPECT_EQ(min.x, -50.0f);
    EXPECT_EQ(min.y, -1000.0f); // the NaN keeps what was there
    EXPECT_EQ(max.y, 30.0f);
    EXPECT_EQ(min.z, -dgBroadPhase::kMaxWorldCoordinate);

    // Bodies still find cells of positive size.
    dgBody* body = scene.AddBody(Point(1.0f, 0.0f, 1.0f), Point(2.0f, 1.0f, 2.0f));
    EXPECT_GT(body->m_cell->m_side, 0.0f);
    ExpectTreeValid(scene.BroadPhase(), scene.Bodies());
}

namespace {
int g_leftWorld = 0;
void CountLeaving(dgBody*) {
    g_leftWorld++;
}
} // namespace

TEST(dgBroadPhaseWorldSize, ResizingRefilesEveryBodyAndReportsThoseLeftOutside) {
    BroadPhaseScene scene;
    std::mt19937 random(3);
    for (int i = 0; i < 200; i++) {
        const Box box = RandomBox(random, -900.0f, 800.0f);
        scene.AddBody(box.m_min, box.m_max);
    }
    std::vector<dgVector> boxes;
    for (const dgBody* body : scene.Bodies()) {
        boxes.push_back(body->m_minBox);
    }
    scene.BroadPhase().SetWorldSize(Point(-4000.0f, -4000.0f, -4000.0f), Point(4000.0f, 4000.0f, 4000.0f));
    const dgBroadPhaseCell* root = scene.BroadPhase().GetRootCell();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->m_x, -4000.0f);
    EXPECT_EQ(root->m_side, 8000.0f);
    ExpectTreeValid(scene.BroadPhase(), scene.Bodies());
    for (std::size_t i = 0; i < boxes.size(); i++) {
        EXPECT_EQ(scene.Bodies()[i]->m_minBox.x, boxes[i].x);
    }

    // Shrunk round the middle: each body now outside is reported once, and all stay filed.
    g_leftWorld = 0;
    scene.World()->m_leaveWorldCallback = CountLeaving;
    const dgVector min = Point(-100.0f, -100.0f, -100.0f);
    const dgVector max = Point(100.0f, 100.0f, 100.0f);
    int outside = 0;
    for (const dgBody* body : scene.Bodies()) {
        outside += BoxesOverlap(body->m_minBox, body->m_maxBox, min, max) ? 0 : 1;
    }
    scene.BroadPhase().SetWorldSize(min, max);
    EXPECT_EQ(g_leftWorld, outside);
    EXPECT_GT(outside, 100);
    ExpectTreeValid(scene.BroadPhase(), scene.Bodies());
}

// ---- Leaving the world ---------------------------------------------------------------------------------

namespace {

struct LeaveRecord {
    int m_calls = 0;
    dgUnsigned32 m_flagsSeen = 0;
    bool m_activeNodeSeen = true;
    int m_autoActiveZeroCalls = 0;
    bool m_bringBack = false;
    BroadPhaseScene* m_scene = nullptr;
};
LeaveRecord* g_leave = nullptr;

void RecordAutoActive(dgBody*, dgUnsigned32 state) {
    if (state == 0) {
        g_leave->m_autoActiveZeroCalls++;
    }
}

void RecordLeave(dgBody* body) {
    g_leave->m_calls++;
    g_leave->m_flagsSeen = body->m_flags;
    g_leave->m_activeNodeSeen = body->m_activeNode != nullptr;
    if (g_leave->m_bringBack) {
        g_leave->m_scene->Move(body, Point(0.0f, 0.0f, 0.0f), Point(1.0f, 1.0f, 1.0f));
    }
}

class dgBroadPhaseLeaveWorld : public ::testing::Test {
protected:
    void SetUp() override {
        m_record.m_scene = &m_scene;
        g_leave = &m_record;
        m_scene.World()->m_leaveWorldCallback = RecordLeave;
        m_body = m_scene.AddBody(Point(0.0f, 0.0f, 0.0f), Point(1.0f, 1.0f, 1.0f));
        m_body->m_autoActive = RecordAutoActive;
    }
    void TearDown() override { g_leave = nullptr; }

    BroadPhaseScene m_scene;
    LeaveRecord m_record;
    dgBody* m_body = nullptr;
};

} // namespace

TEST_F(dgBroadPhaseLeaveWorld, BodyOutsideIsMadeInactiveBeforeTheCallbackAndStaysInTheTree) {
    m_scene.Move(m_body, Point(1200.0f, 0.0f, 0.0f), Point(1201.0f, 1.0f, 1.0f));
    EXPECT_EQ(m_record.m_calls, 1);
    EXPECT_EQ(m_record.m_flagsSeen & (dgBody::kActive | dgBody::kAutoFreeze), 0u);
    EXPECT_FALSE(m_record.m_activeNodeSeen);
    EXPECT_EQ(m_record.m_autoActiveZeroCalls, 1);
    EXPECT_EQ(m_body->m_flags & (dgBody::kActive | dgBody::kAutoFreeze), 0u);
    EXPECT_EQ(m_body->m_activeNode, nullptr);
    EXPECT_EQ(m_scene.World()->m_activeBodies.GetCount(), 0);
    EXPECT_EQ(m_body->m_cell, m_scene.BroadPhase().GetRootCell());
    ExpectTreeValid(m_scene.BroadPhase(), m_scene.Bodies());
}

TEST_F(dgBroadPhaseLeaveWorld, TouchingTheWorldBoxFromOutsideIsLeavingIt) {
    // The world box ends at y = 1000: a box resting on that face from above does not overlap it.
    m_scene.Move(m_body, Point(0.0f, 1000.0f, 0.0f), Point(1.0f, 1001.0f, 1.0f));
    EXPECT_EQ(m_record.m_calls, 1);
    m_scene.Move(m_body, Point(0.0f, 999.0f, 0.0f), Point(1.0f, 1000.0f, 1.0f));
    EXPECT_EQ(m_record.m_calls, 1);
}

TEST_F(dgBroadPhaseLeaveWorld, CallbackThatBringsTheBodyBackRestoresItsState) {
    m_record.m_bringBack = true;
    m_scene.Move(m_body, Point(0.0f, -5000.0f, 0.0f), Point(1.0f, -4999.0f, 1.0f));
    EXPECT_EQ(m_record.m_calls, 1);
    EXPECT_EQ(m_record.m_flagsSeen & (dgBody::kActive | dgBody::kAutoFreeze), 0u);
    EXPECT_EQ(m_body->m_flags & (dgBody::kActive | dgBody::kAutoFreeze), dgBody::kActive | dgBody::kAutoFreeze);
    ASSERT_NE(m_body->m_activeNode, nullptr);
    EXPECT_EQ(m_body->m_activeNode->GetInfo(), m_body);
    EXPECT_EQ(m_scene.World()->m_activeBodies.GetCount(), 1);
    ExpectTreeValid(m_scene.BroadPhase(), m_scene.Bodies());
}

TEST_F(dgBroadPhaseLeaveWorld, FrozenBodyLeavingGetsNoAutoActiveCall) {
    m_scene.World()->m_activeBodies.RemoveNode(m_body->m_activeNode);
    m_body->m_activeNode = nullptr;
    m_body->m_flags &= ~dgBody::kActive;
    m_scene.Move(m_body, Point(1200.0f, 0.0f, 0.0f), Point(1201.0f, 1.0f, 1.0f));
    EXPECT_EQ(m_record.m_calls, 1);
    EXPECT_EQ(m_record.m_autoActiveZeroCalls, 0);
    EXPECT_EQ(m_body->m_flags & dgBody::kAutoFreeze, 0u);
}
