#include "physics/collision/dgBroadPhase.h"

#include "physics/collision/dgIntersections.h"
#include "physics/dynamics/dgJointBase.h"
#include "support/BroadPhaseScene.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using BodyPair = std::pair<const dgBody*, const dgBody*>;

dgVector Point(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return dgVector(x, y, z, 1.0f);
}

BodyPair Ordered(const dgBody* a, const dgBody* b) {
    return std::less<const dgBody*>()(a, b) ? BodyPair(a, b) : BodyPair(b, a);
}

std::vector<BodyPair>* g_reported = nullptr;

// Every pair reaches the contact calculation, which asks the material's begin callback; answering 0
// keeps the pair from going further.
dgUnsigned8 RecordPair(dgMaterialPair*, dgBody* body0, dgBody* body1) {
    g_reported->push_back(Ordered(body0, body1));
    return 0;
}

// Installs the recording begin callback on the default material; Step runs one pair update and counts
// each reported pair.
class PairRecorder {
public:
    explicit PairRecorder(BroadPhaseScene& scene) : m_scene(scene) {
        g_reported = &m_pairs;
        dgWorld* world = scene.World();
        world->GetMaterialPair(world->GetDefaultGroupId(), world->GetDefaultGroupId())->m_beginCallback = RecordPair;
    }
    ~PairRecorder() { g_reported = nullptr; }

    std::map<BodyPair, int> Step() {
        m_pairs.clear();
        m_scene.UpdatePairs();
        std::map<BodyPair, int> counts;
        for (const BodyPair& pair : m_pairs) {
            counts[pair]++;
        }
        return counts;
    }

    /// What the last update reported, in order.
    const std::vector<BodyPair>& Pairs() const { return m_pairs; }

private:
    BroadPhaseScene& m_scene;
    std::vector<BodyPair> m_pairs;
};

bool IsMoving(const dgBody* body) {
    return (body->m_flags & dgBody::kActive) != 0 && body->m_invMass.w > 0.0f;
}

// Every pair that should reach the contact calculation, found the slow way.
std::map<BodyPair, int> BruteForcePairs(const std::vector<dgBody*>& bodies) {
    std::map<BodyPair, int> pairs;
    for (std::size_t i = 0; i < bodies.size(); i++) {
        for (std::size_t j = i + 1; j < bodies.size(); j++) {
            const dgBody* a = bodies[i];
            const dgBody* b = bodies[j];
            if (!IsMoving(a) && !IsMoving(b)) {
                continue;
            }
            if (a->m_collision->IsType(dgCollisionNullClassId) || b->m_collision->IsType(dgCollisionNullClassId)) {
                continue;
            }
            if (BoxesOverlap(a->m_minBox, a->m_maxBox, b->m_minBox, b->m_maxBox)) {
                pairs[Ordered(a, b)] = 1;
            }
        }
    }
    return pairs;
}

struct Box {
    dgVector m_min;
    dgVector m_max;
};

// Boxes crowded into a small square so that many overlap, with a few large ones across the midlines.
Box RandomBox(std::mt19937& random) {
    std::uniform_real_distribution<dgFloat32> corner(-80.0f, 70.0f);
    std::uniform_real_distribution<dgFloat32> height(0.0f, 20.0f);
    std::uniform_real_distribution<dgFloat32> size(0.5f, 8.0f);
    std::uniform_int_distribution<int> large(0, 29);
    const dgFloat32 scale = large(random) == 0 ? 12.0f : 1.0f;
    const dgVector min = Point(corner(random), height(random), corner(random));
    return Box{min, Point(min.x + size(random) * scale, min.y + size(random), min.z + size(random) * scale)};
}

void MoveAtRandom(BroadPhaseScene& scene, dgBody* body, std::mt19937& random) {
    std::uniform_real_distribution<dgFloat32> jitter(-1.5f, 1.5f);
    if (std::uniform_int_distribution<int>(0, 9)(random) == 0) {
        const Box box = RandomBox(random);
        scene.Move(body, box.m_min, box.m_max);
        return;
    }
    const dgVector d = Point(jitter(random), jitter(random), jitter(random));
    scene.Move(body, body->m_minBox.Add(d), body->m_maxBox.Add(d));
}

enum class SearchMode { kIncremental, kFullSweep };

// A crowded scene of static, frozen, null-shaped and moving bodies stepped with random motion; every
// step's pairs must be the brute-force set, each pair once.
void ExpectPairsMatchBruteForce(SearchMode mode, unsigned seed) {
    BroadPhaseScene scene;
    PairRecorder recorder(scene);
    std::mt19937 random(seed);
    const int moving = mode == SearchMode::kIncremental ? 10 : 150;
    std::vector<dgBody*> movers;
    std::vector<dgBody*> statics;
    for (int i = 0; i < 400; i++) {
        const Box box = RandomBox(random);
        const BodyKind kind = i < moving ? BodyKind::kMoving
                              : i % 9 == 0 ? BodyKind::kNullShape
                              : i % 5 == 0 ? BodyKind::kFrozen
                                           : BodyKind::kStatic;
        dgBody* body = scene.AddBody(box.m_min, box.m_max, kind);
        (kind == BodyKind::kMoving ? movers : statics).push_back(body);
    }
    recorder.Step(); // settles the moved-body threshold for the body count

    for (int step = 0; step < 40; step++) {
        for (dgBody* body : movers) {
            MoveAtRandom(scene, body, random);
        }
        if (step % 4 == 0) {
            dgBody* body = statics[random() % statics.size()];
            if (body->m_collision->IsType(dgCollisionBoxClassId)) {
                MoveAtRandom(scene, body, random);
            }
        }
        const bool incremental = scene.BroadPhase().GetMovedCount() <= scene.BroadPhase().GetMovedThreshold();
        ASSERT_EQ(incremental, mode == SearchMode::kIncremental) << "step " << step;
        const std::map<BodyPair, int> reported = recorder.Step();
        const std::map<BodyPair, int> expected = BruteForcePairs(scene.Bodies());
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(reported, expected) << "step " << step;
    }
}

// The plainest joint: no rows, nothing to give back. The test keeps it alive past the world.
class PlainJoint : public dgJointBase {
public:
    dgJointDestructorCallback SetJointDestructor(dgJointDestructorCallback callback) override { return callback; }
    void Release(dgWorld*) override {}
    dgInt32 SubmitConstraints(dgJointParams&) override { return 0; }
};

class Joints {
public:
    void Join(dgWorld* world, dgBody* body0, dgBody* body1) {
        m_joints.push_back(std::make_unique<PlainJoint>());
        world->AttachJoint(m_joints.back().get(), body0, body1);
    }

private:
    std::vector<std::unique_ptr<PlainJoint>> m_joints;
};

std::map<const dgBody*, int>* g_forceCalls = nullptr;

void CountForce(dgBody* body) {
    (*g_forceCalls)[body]++;
    EXPECT_EQ(body->m_force.x, 0.0f);
    EXPECT_EQ(body->m_torque.y, 0.0f);
    body->m_force = dgVector(0.0f, -9.8f, 0.0f, 0.0f);
    body->m_torque = dgVector(0.0f, 1.0f, 0.0f, 0.0f);
}

class dgBroadPhaseForcePass : public ::testing::Test {
protected:
    void SetUp() override { g_forceCalls = &m_calls; }
    void TearDown() override { g_forceCalls = nullptr; }

    dgBody* Add(dgFloat32 x, BodyKind kind) {
        dgBody* body = m_scene.AddBody(Point(x, 0.0f, 0.0f), Point(x + 1.0f, 1.0f, 1.0f), kind);
        body->m_forceAndTorque = CountForce;
        return body;
    }
    int Calls(const dgBody* body) const {
        const auto found = m_calls.find(body);
        return found == m_calls.end() ? 0 : found->second;
    }

    Joints m_joints; // outlives the world, which detaches them
    BroadPhaseScene m_scene;
    std::map<const dgBody*, int> m_calls;
};

} // namespace

// ---- Which pairs are reported -------------------------------------------------------------------------

TEST(dgBroadPhasePairs, OnlyPairsWithAMovingBodyAreReported) {
    BroadPhaseScene scene;
    PairRecorder recorder(scene);
    dgBody* floor = scene.AddBody(Point(-50.0f, -1.0f, -50.0f), Point(50.0f, 0.5f, 50.0f), BodyKind::kStatic);
    scene.AddBody(Point(10.0f, -2.0f, 10.0f), Point(12.0f, 0.2f, 12.0f), BodyKind::kStatic);
    scene.AddBody(Point(20.0f, 0.0f, 20.0f), Point(21.0f, 1.0f, 21.0f), BodyKind::kFrozen);
    dgBody* resting = scene.AddBody(Point(-5.0f, 0.0f, -5.0f), Point(-4.0f, 1.0f, -4.0f));
    for (int step = 0; step < 3; step++) {
        const std::map<BodyPair, int> pairs = recorder.Step();
        EXPECT_EQ(pairs, (std::map<BodyPair, int>{{Ordered(floor, resting), 1}})) << "step " << step;
    }
}

TEST(dgBroadPhasePairs, NullCollisionNeverReachesTheContactCalculation) {
    BroadPhaseScene scene;
    PairRecorder recorder(scene);
    dgBody* mover = scene.AddBody(Point(0.0f, 0.0f, 0.0f), Point(2.0f, 2.0f, 2.0f));
    scene.AddBody(Point(1.0f, 1.0f, 1.0f), Point(3.0f, 3.0f, 3.0f), BodyKind::kNullShape);
    EXPECT_TRUE(recorder.Step().empty());
    dgBody* solid = scene.AddBody(Point(1.0f, 1.0f, 1.0f), Point(3.0f, 3.0f, 3.0f), BodyKind::kStatic);
    EXPECT_EQ(recorder.Step(), (std::map<BodyPair, int>{{Ordered(mover, solid), 1}}));
}

TEST(dgBroadPhasePairs, TouchingBoxesDoNotPair) {
    BroadPhaseScene scene;
    PairRecorder recorder(scene);
    dgBody* mover = scene.AddBody(Point(0.0f, 0.0f, 0.0f), Point(1.0f, 1.0f, 1.0f));
    dgBody* wall = scene.AddBody(Point(1.0f, 0.0f, 0.0f), Point(2.0f, 1.0f, 1.0f), BodyKind::kStatic);
    scene.AddBody(Point(0.0f, 1.0f, 0.0f), Point(1.0f, 2.0f, 1.0f), BodyKind::kStatic);
    EXPECT_TRUE(recorder.Step().empty());
    scene.Move(mover, Point(0.25f, 0.0f, 0.0f), Point(1.25f, 1.0f, 1.0f));
    EXPECT_EQ(recorder.Step(), (std::map<BodyPair, int>{{Ordered(mover, wall), 1}}));
}

TEST(dgBroadPhasePairs, TwoMovedBodiesInOneCellAreReportedOncePerStepInBothSearches) {
    BroadPhaseScene scene;
    PairRecorder recorder(scene);
    dgBody* a = scene.AddBody(Point(1.0f, 0.0f, 1.0f), Point(1.5f, 0.5f, 1.5f));
    dgBody* b = scene.AddBody(Point(1.25f, 0.25f, 1.25f), Point(1.75f, 0.75f, 1.75f));
    ASSERT_EQ(a->m_cell, b->m_cell);
    const std::map<BodyPair, int> once{{Ordered(a, b), 1}};
    for (int step = 0; step < 3; step++) {
        EXPECT_EQ(recorder.Step(), once);
    }
    // Enough far-apart movers that the full sweep runs.
    for (int i = 0; i < 40; i++) {
        const dgFloat32 x = -900.0f + 40.0f * static_cast<dgFloat32>(i);
        scene.AddBody(Point(x, 0.0f, -900.0f), Point(x + 1.0f, 1.0f, -899.0f));
    }
    for (int step = 0; step < 3; step++) {
        ASSERT_GT(40, scene.BroadPhase().GetMovedThreshold());
        EXPECT_EQ(recorder.Step(), once);
    }
}

TEST(dgBroadPhasePairs, ReportedPairsEqualBruteForceInTheIncrementalSearch) {
    for (unsigned seed : {1u, 2u, 3u}) {
        ExpectPairsMatchBruteForce(SearchMode::kIncremental, seed);
        if (HasFatalFailure()) {
            return;
        }
    }
}

TEST(dgBroadPhasePairs, ReportedPairsEqualBruteForceInTheFullSweep) {
    for (unsigned seed : {1u, 2u, 3u}) {
        ExpectPairsMatchBruteForce(SearchMode::kFullSweep, seed);
        if (HasFatalFailure()) {
            return;
        }
    }
}

TEST(dgBroadPhasePairs, MovedThresholdFollowsTheBitLengthOfTheBodyCount) {
    BroadPhaseScene scene;
    PairRecorder recorder(scene);
    const int expected[] = {2, 4, 6, 6, 8, 8, 8, 8, 10};
    for (int count = 0; count <= 8; count++) {
        recorder.Step();
        EXPECT_EQ(scene.BroadPhase().GetMovedThreshold(), expected[count]) << count << " bodies";
        const dgFloat32 x = 10.0f * static_cast<dgFloat32>(count);
        scene.AddBody(Point(x, 0.0f, 0.0f), Point(x + 1.0f, 1.0f, 1.0f));
    }
}

// ---- The force pass ------------------------------------------------------------------------------------

TEST_F(dgBroadPhaseForcePass, EachActiveBodyWithMassGetsOneCallbackOnClearedAccumulators) {
    dgBody* moving = Add(0.0f, BodyKind::kMoving);
    dgBody* frozen = Add(10.0f, BodyKind::kFrozen);
    dgBody* fixed = Add(20.0f, BodyKind::kStatic);
    const dgUnsigned64 stamp = m_scene.World()->m_stepStamp;
    for (int step = 1; step <= 3; step++) {
        m_scene.UpdatePairs();
        EXPECT_EQ(Calls(moving), step);
        EXPECT_EQ(m_scene.World()->m_stepStamp, stamp + static_cast<dgUnsigned64>(step));
    }
    EXPECT_EQ(Calls(frozen), 0);
    EXPECT_EQ(Calls(fixed), 0);
    EXPECT_EQ(moving->m_force.y, -9.8f);
}

TEST_F(dgBroadPhaseForcePass, JoinedBodiesWithMassComeAlongButNotThroughAStaticOne) {
    dgBody* active = Add(0.0f, BodyKind::kMoving);
    dgBody* joined = Add(10.0f, BodyKind::kFrozen);
    dgBody* further = Add(20.0f, BodyKind::kFrozen);
    dgBody* anchor = Add(30.0f, BodyKind::kStatic);
    dgBody* beyondAnchor = Add(40.0f, BodyKind::kFrozen);
    m_joints.Join(m_scene.World(), active, joined);
    m_joints.Join(m_scene.World(), joined, further);
    m_joints.Join(m_scene.World(), further, active); // a loop: still one call each
    m_joints.Join(m_scene.World(), active, anchor);
    m_joints.Join(m_scene.World(), anchor, beyondAnchor);
    m_scene.UpdatePairs();
    EXPECT_EQ(Calls(active), 1);
    EXPECT_EQ(Calls(joined), 1);
    EXPECT_EQ(Calls(further), 1);
    EXPECT_EQ(Calls(anchor), 0);
    EXPECT_EQ(Calls(beyondAnchor), 0);
}

TEST_F(dgBroadPhaseForcePass, JoinedGroupOutgrowingTheWorkAreaIsWalkedWhole) {
    constexpr int kBodies = dgWorld::kWorkAreaBodyCapacity + 1000;
    constexpr int kRow = 300;
    std::vector<dgBody*> group{Add(-900.0f, BodyKind::kMoving)};
    for (int i = 1; i < kBodies; i++) {
        const dgFloat32 x = -900.0f + 5.0f * static_cast<dgFloat32>(i % kRow);
        const dgFloat32 z = -900.0f + 5.0f * static_cast<dgFloat32>(i / kRow);
        dgBody* body = m_scene.AddBody(Point(x, 0.0f, z), Point(x + 1.0f, 1.0f, z + 1.0f), BodyKind::kFrozen);
        body->m_forceAndTorque = CountForce;
        // A star: every body hangs off the first, so all of them wait on the stack at once.
        m_joints.Join(m_scene.World(), group.front(), body);
        group.push_back(body);
    }
    m_scene.UpdatePairs();
    for (const dgBody* body : group) {
        ASSERT_EQ(Calls(body), 1);
    }
}

namespace {

BroadPhaseScene* g_exitScene = nullptr;

// Throws the body out of the world box: the broad phase takes it out of the active set at once.
void ThrowOut(dgBody* body) {
    (*g_forceCalls)[body]++;
    g_exitScene->Move(body, Point(5000.0f, 0.0f, 0.0f), Point(5001.0f, 1.0f, 1.0f));
}

} // namespace

TEST_F(dgBroadPhaseForcePass, BodiesLeavingTheActiveSetDuringThePassAreSafelyPassedOver) {
    g_exitScene = &m_scene;
    std::vector<dgBody*> bodies;
    for (int i = 0; i < 50; i++) {
        dgBody* body = Add(static_cast<dgFloat32>(i) * 2.0f, BodyKind::kMoving);
        body->m_forceAndTorque = ThrowOut;
        bodies.push_back(body);
    }
    // Joined bodies leave too while their partner is being refreshed.
    for (int i = 0; i + 1 < 50; i += 2) {
        m_joints.Join(m_scene.World(), bodies[static_cast<std::size_t>(i)], bodies[static_cast<std::size_t>(i) + 1]);
    }
    m_scene.UpdatePairs();
    g_exitScene = nullptr;
    for (const dgBody* body : bodies) {
        EXPECT_EQ(Calls(body), 1);
        EXPECT_EQ(body->m_activeNode, nullptr);
    }
    EXPECT_EQ(m_scene.World()->m_activeBodies.GetCount(), 0);
}

// ---- Inside the world's step ---------------------------------------------------------------------------

TEST(dgBroadPhasePairs, WorldStepHandsThePairsOnAndRefreshesTheMovingBoxes) {
    BroadPhaseScene scene;
    PairRecorder recorder(scene);
    dgBody* floor = scene.AddBody(Point(-50.0f, -1.0f, -50.0f), Point(50.0f, 0.0f, 50.0f), BodyKind::kStatic);
    dgBody* box = scene.AddBody(Point(0.0f, 0.5f, 0.0f), Point(1.0f, 1.5f, 1.0f));
    // Without forces the box would come to rest and freeze; it has to stay in the active set.
    box->m_flags &= ~dgBody::kAutoFreeze;
    scene.World()->Update(1.0f / 60.0f);
    EXPECT_TRUE(recorder.Pairs().empty());

    // Moved down into the floor by hand, as an integration would: the next step pairs it.
    BroadPhaseScene::Translate(box, Point(0.0f, -0.75f, 0.0f));
    scene.World()->Update(1.0f / 60.0f);
    EXPECT_EQ(recorder.Pairs(), (std::vector<BodyPair>{Ordered(floor, box)}));
}
