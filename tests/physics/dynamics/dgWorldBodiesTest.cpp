#include "WorldTestSupport.h"

#include "physics/dynamics/dgWorld.h"
#include "support/MathAssertions.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>

namespace {
struct WorldDeleter {
    void operator()(dgWorld* world) const { delete world; }
};

/// A world with a few bodies on one shape, each body tagged 1, 2, ... and logging its callbacks.
class WorldFixture : public ::testing::Test {
protected:
    void SetUp() override {
        CallbackLog::Clear();
        m_world.reset(new dgWorld);
        m_shape = MakeTestShape();
    }
    void TearDown() override {
        m_world.reset();
        dgRefRelease(m_shape);
    }

    dgBody* AddBody(std::uintptr_t id, bool dynamic = true) {
        dgBody* body = m_world->CreateBody(m_shape);
        body->m_userData = CallbackLog::Tag(id);
        body->m_destructor = CallbackLog::BodyDestroyed;
        body->m_autoActive = CallbackLog::AutoActive;
        if (dynamic) {
            MakeDynamic(body);
        }
        return body;
    }

    TestJoint* Attach(TestJoint& joint, dgBody* body0, dgBody* body1, std::uintptr_t id) {
        joint.m_userData = CallbackLog::Tag(id);
        joint.SetJointDestructor(CallbackLog::JointDestroyed);
        m_world->AttachJoint(&joint, body0, body1);
        return &joint;
    }

    // Joints outlive the world, which releases those still attached when it goes.
    TestJoint m_joints[64];
    std::unique_ptr<dgWorld, WorldDeleter> m_world;
    dgCollision* m_shape = nullptr;
};

using dgWorldBodies = WorldFixture;

std::vector<dgJointLink*> RingOf(const dgBody* body) {
    std::vector<dgJointLink*> links;
    if (dgJointLink* head = body->m_jointRing) {
        dgJointLink* link = head;
        do {
            links.push_back(link);
            link = link->GetNextInRing();
        } while (link != head && links.size() < 100000);
    }
    return links;
}
} // namespace

TEST_F(dgWorldBodies, NewBodyIsAwakeAutoFreezingStaticAndInTheDefaultGroup) {
    dgBody* body = m_world->CreateBody(m_shape);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(m_world->GetBodyCount(), 1);
    EXPECT_EQ(body->m_world, m_world.get());
    EXPECT_EQ(body->m_flags,
              dgBody::kActive | dgBody::kAutoFreeze | dgBody::kEquilibrium | dgBody::kJointPairFilter);
    EXPECT_NE(body->m_activeNode, nullptr);
    EXPECT_EQ(body->m_collision, m_shape);
    EXPECT_EQ(m_shape->GetRefCount(), 2);
    EXPECT_EQ(body->m_materialGroupId, m_world->GetDefaultGroupId());
    EXPECT_EQ(body->m_serial, 1u);
    EXPECT_FLOAT_EQ(body->m_linearDamping / 0.02f, 0.1045f);
    EXPECT_FLOAT_EQ(body->m_angularDamping.y / 0.02f, 0.1045f);
    EXPECT_EQ(body->m_freezeThresholds[0] * 1.0f, m_world->m_defaultFreezeThresholds[0]);
    EXPECT_EQ(body->m_freezeThresholds[3], 0.001f);
    EXPECT_TRUE(MatrixNear(body->m_matrix, dgGetIdentityMatrix(), 0.0f));
    EXPECT_TRUE(Vector4Near(body->m_reportedMass, dgVector(1e15f, 1e15f, 1e15f, 1e15f), 0.0f));
    EXPECT_TRUE(Vector4Near(body->m_invMass, dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_NE(body->m_cell, nullptr);
    EXPECT_EQ(m_world->CreateBody(nullptr), nullptr);
    EXPECT_EQ(m_world->CreateBody(m_shape)->m_serial, 2u);
}

TEST_F(dgWorldBodies, DestroyingABodyReleasesItsShapeAndRecyclesTheRecord) {
    dgBody* body = AddBody(1);
    m_world->DestroyBody(body);
    EXPECT_EQ(m_world->GetBodyCount(), 0);
    EXPECT_EQ(m_world->m_activeBodies.GetCount(), 0);
    EXPECT_EQ(m_shape->GetRefCount(), 1);
    EXPECT_EQ(CallbackLog::s_events, std::vector<std::string>{"destroy body 1"});
    // A second destruction of the same handle does nothing, and the record is handed out again.
    m_world->DestroyBody(body);
    EXPECT_EQ(CallbackLog::s_events.size(), 1u);
    EXPECT_EQ(m_world->CreateBody(m_shape), body);
}

class dgWorldBodiesStepping : public RunsInBuild, public WorldFixture {};
INSTANTIATE_BOTH_BUILDS(dgWorldBodiesStepping);

TEST_P(dgWorldBodiesStepping, DestructionAskedDuringAnUpdateWaitsForTheEndOfTheSubStepJointsFirst) {
    dgBody* a = AddBody(1);
    dgBody* b = AddBody(2);
    TestJoint& joint = m_joints[0];
    Attach(joint, a, b, 7);
    // Asked while a sub-step runs: queued once, however often asked.
    m_world->m_inUpdate = 1;
    m_world->DestroyBody(a);
    m_world->DestroyBody(a);
    m_world->DestroyJoint(&joint);
    EXPECT_TRUE(CallbackLog::s_events.empty());
    EXPECT_EQ(m_world->m_pendingBodies.GetCount(), 1);
    EXPECT_EQ(m_world->m_pendingJoints.GetCount(), 1);
    m_world->m_inUpdate = 0;

    // The pair comes to rest in the step and the joint's destruction wakes it; only the destructions
    // are logged here.
    a->m_autoActive = nullptr;
    b->m_autoActive = nullptr;
    m_world->Update(1.0f / 60.0f);
    EXPECT_EQ(CallbackLog::s_events, (std::vector<std::string>{"destroy joint 7", "destroy body 1"}));
    EXPECT_EQ(m_world->m_pendingBodies.GetCount(), 0);
    EXPECT_EQ(m_world->m_pendingJoints.GetCount(), 0);
    EXPECT_EQ(m_world->GetBodyCount(), 1);
    EXPECT_EQ(m_world->GetJointCount(), 0);
    EXPECT_EQ(b->m_jointRing, nullptr);
}

TEST_P(dgWorldBodiesStepping, ImmediateDestructionErasesThePendingEntries) {
    dgBody* a = AddBody(1);
    dgBody* b = AddBody(2);
    TestJoint& joint = m_joints[0];
    Attach(joint, a, b, 7);
    m_world->m_inUpdate = 1;
    m_world->DestroyJoint(&joint);
    m_world->DestroyBody(b);
    m_world->m_inUpdate = 0;
    // Destroying b at once takes its joint with it; neither may stay queued.
    m_world->DestroyBodyNow(b);
    EXPECT_EQ(m_world->m_pendingBodies.GetCount(), 0);
    EXPECT_EQ(m_world->m_pendingJoints.GetCount(), 0);
    CallbackLog::Clear();
    // a comes to rest in the step; only destructions would be wrong here.
    a->m_autoActive = nullptr;
    m_world->Update(1.0f / 60.0f);
    EXPECT_TRUE(CallbackLog::s_events.empty());
}

namespace {
dgWorld* s_world = nullptr;
dgBody* s_partner = nullptr;

void DestroySelfAndPartner(dgBody* body) {
    CallbackLog::BodyDestroyed(body);
    s_world->DestroyBody(body);
    s_world->DestroyBody(s_partner);
}
} // namespace

TEST_F(dgWorldBodies, DestructorCallbackMayDestroyItsOwnBodyAndAnother) {
    dgBody* a = AddBody(1);
    dgBody* b = AddBody(2);
    a->m_destructor = DestroySelfAndPartner;
    s_world = m_world.get();
    s_partner = b;
    m_world->DestroyBody(a);
    EXPECT_EQ(CallbackLog::s_events, (std::vector<std::string>{"destroy body 1", "destroy body 2"}));
    EXPECT_EQ(m_world->GetBodyCount(), 0);
}

TEST_F(dgWorldBodies, NoAutoActiveCallbackReachesABodyAfterItsDestructor) {
    dgBody* a = AddBody(1);
    dgBody* b = AddBody(2);
    TestJoint& joint = m_joints[0];
    Attach(joint, a, b, 7);
    m_world->FreezeBody(a);
    m_world->FreezeBody(b);
    CallbackLog::Clear();
    m_world->DestroyBody(a);
    // The joint's destruction wakes b, the other body, but not the one being destroyed.
    EXPECT_EQ(CallbackLog::s_events,
              (std::vector<std::string>{"destroy body 1", "wake body 2", "destroy joint 7"}));
    EXPECT_NE(b->m_activeNode, nullptr);
}

TEST_F(dgWorldBodies, FreezeAndUnfreezeTellTheCallbackOnlyOfChanges) {
    dgBody* body = AddBody(1);
    m_world->FreezeBody(body);
    m_world->FreezeBody(body);
    EXPECT_EQ(body->m_activeNode, nullptr);
    EXPECT_EQ(body->m_flags & dgBody::kActive, 0u);
    m_world->UnfreezeBody(body);
    m_world->UnfreezeBody(body);
    EXPECT_EQ(CallbackLog::s_events, (std::vector<std::string>{"sleep body 1", "wake body 1"}));
    EXPECT_EQ(m_world->m_activeBodies.GetCount(), 1);
}

TEST_F(dgWorldBodies, AttachingSetsEquilibriumFromMassAndAWorldJointUsesOneRing) {
    dgBody* dynamic = AddBody(1);
    dgBody* fixed = AddBody(2, false);
    dynamic->m_flags |= dgBody::kEquilibrium;
    TestJoint& toStatic = m_joints[0];
    TestJoint& toWorld = m_joints[1];
    Attach(toStatic, dynamic, fixed, 1);
    EXPECT_EQ(dynamic->m_flags & dgBody::kEquilibrium, 0u);
    EXPECT_NE(fixed->m_flags & dgBody::kEquilibrium, 0u);
    Attach(toWorld, dynamic, nullptr, 2);
    EXPECT_EQ(RingOf(dynamic).size(), 2u);
    EXPECT_EQ(RingOf(fixed).size(), 1u);
    EXPECT_EQ(m_world->GetJointCount(), 2);

    // Destroying a frozen body's only joint empties its ring and wakes it.
    m_world->DestroyJoint(&toStatic);
    m_world->FreezeBody(dynamic);
    CallbackLog::Clear();
    m_world->DestroyJoint(&toWorld);
    EXPECT_EQ(dynamic->m_jointRing, nullptr);
    EXPECT_EQ(fixed->m_jointRing, nullptr);
    EXPECT_EQ(CallbackLog::s_events, (std::vector<std::string>{"wake body 1", "destroy joint 2"}));
    EXPECT_EQ(m_world->GetJointCount(), 0);
}

TEST_F(dgWorldBodies, JointRingsStayExactUnderRandomAttachAndDestroy) {
    constexpr int kBodies = 12;
    constexpr int kJoints = 64;
    dgBody* bodies[kBodies];
    for (int i = 0; i < kBodies; i++) {
        bodies[i] = AddBody(static_cast<std::uintptr_t>(i + 1), i % 4 != 0);
    }
    TestJoint* joints = m_joints;
    std::set<int> live;
    std::mt19937 random(1234);
    for (int step = 0; step < 4000; step++) {
        const int j = static_cast<int>(random() % kJoints);
        if (live.count(j) != 0) {
            m_world->DestroyJoint(&joints[j]);
            EXPECT_TRUE(joints[j].m_released);
            live.erase(j);
        } else {
            const int b0 = static_cast<int>(random() % kBodies);
            int b1 = static_cast<int>(random() % (kBodies + 1)) - 1; // -1: the world
            if (b1 == b0) {
                b1 = -1;
            }
            joints[j].Init();
            joints[j].m_released = false;
            m_world->AttachJoint(&joints[j], bodies[b0], b1 < 0 ? nullptr : bodies[b1]);
            live.insert(j);
        }

        std::map<const dgBody*, std::multiset<const dgJointBase*>> expected;
        for (int j2 : live) {
            expected[joints[j2].m_body0].insert(&joints[j2]);
            if (joints[j2].m_body1 != nullptr) {
                expected[joints[j2].m_body1].insert(&joints[j2]);
            }
        }
        for (const dgBody* body : bodies) {
            std::multiset<const dgJointBase*> found;
            const std::vector<dgJointLink*> ring = RingOf(body);
            for (std::size_t k = 0; k < ring.size(); k++) {
                dgJointLink* link = ring[k];
                dgJointLink* previous = ring[(k + ring.size() - 1) % ring.size()];
                ASSERT_EQ(link->m_body, body);
                ASSERT_EQ(link->m_twin->m_twin, link);
                ASSERT_EQ(link->m_twin->m_joint, link->m_joint);
                ASSERT_EQ(link->m_prev, previous->m_twin);
                found.insert(link->m_joint);
            }
            ASSERT_EQ(found, expected[body]) << "step " << step;
        }
        ASSERT_EQ(m_world->GetJointCount(), static_cast<dgInt32>(live.size()));
    }
}

TEST_F(dgWorldBodies, LinkedBodiesAreCollectedButNotThroughStaticBodies) {
    // door0 - wall - door1, and door0 - hinge - leaf - latch
    dgBody* door0 = AddBody(1);
    dgBody* wall = AddBody(2, false);
    dgBody* door1 = AddBody(3);
    dgBody* leaf = AddBody(4);
    dgBody* latch = AddBody(5);
    dgBody* loose = AddBody(6);
    TestJoint* joints = m_joints;
    Attach(joints[0], door0, wall, 1);
    Attach(joints[1], door1, wall, 2);
    Attach(joints[2], leaf, door0, 3);
    Attach(joints[3], latch, leaf, 4);
    Attach(joints[4], loose, latch, 5);
    joints[4].m_joins = false;

    dgBody* out[8];
    const dgInt32 count = m_world->CollectLinkedBodies(door0, out, 8);
    const std::set<dgBody*> found(out, out + count);
    EXPECT_EQ(found, (std::set<dgBody*>{wall, leaf, latch}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(m_world->CollectLinkedBodies(door0, out, 2), 2);
    EXPECT_EQ(m_world->CollectLinkedBodies(AddBody(7), out, 8), 0);
    // From the wall itself the walk does start: both doors come along.
    const dgInt32 fromWall = m_world->CollectLinkedBodies(wall, out, 8);
    EXPECT_EQ(std::set<dgBody*>(out, out + fromWall), (std::set<dgBody*>{door0, door1, leaf, latch}));
    for (auto* node = m_world->m_bodies.GetFirst(); node != nullptr; node = m_world->m_bodies.GetNext(node)) {
        EXPECT_EQ(node->GetInfo()->m_solverMarks[1], 0u);
    }
}

TEST_F(dgWorldBodies, MovingAJointedGroupMovesEveryBodyRigidlyAndBringsItToRest) {
    dgBody* a = AddBody(1);
    dgBody* b = AddBody(2);
    dgBody* other = AddBody(3);
    TestJoint& joint = m_joints[0];
    Attach(joint, b, a, 1);
    dgMatrix bStart = dgRotationMatrixY(0.3f);
    bStart.posit = dgVector(2.0f, 0.0f, 0.0f, 1.0f);
    b->SetMatrix(bStart);
    b->m_veloc = dgVector(1.0f, 2.0f, 3.0f, 0.0f);
    m_world->FreezeBody(b);
    CallbackLog::Clear();

    dgMatrix target = dgRotationMatrixZ(0.5f);
    target.posit = dgVector(0.0f, 5.0f, 0.0f, 1.0f);
    m_world->SetBodyMatrixRecursive(a, target);
    EXPECT_TRUE(MatrixNear(a->m_matrix, target, kRoundingTol));
    // b keeps its pose relative to a.
    EXPECT_TRUE(MatrixNear(b->m_matrix, bStart.Multiply(target), kChainTol));
    EXPECT_TRUE(MatrixNear(other->m_matrix, dgGetIdentityMatrix(), 0.0f));
    EXPECT_TRUE(Vector4Near(b->m_veloc, dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_NE(b->m_activeNode, nullptr);
    EXPECT_EQ(b->m_flags & dgBody::kEquilibrium, 0u);
    // The move puts b into the active set without telling anyone, and keeps its active bit as it was.
    EXPECT_EQ(b->m_flags & dgBody::kActive, 0u);
    EXPECT_TRUE(CallbackLog::s_events.empty());
}

TEST_F(dgWorldBodies, StaticBodiesIgnoreImpulses) {
    dgBody* fixed = AddBody(1, false);
    m_world->FreezeBody(fixed);
    CallbackLog::Clear();
    m_world->AddBodyImpulse(fixed, dgVector(1.0f, 0.0f, 0.0f, 0.0f), dgVector(0.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_EQ(fixed->m_activeNode, nullptr);
    EXPECT_TRUE(Vector4Near(fixed->m_veloc, dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_TRUE(CallbackLog::s_events.empty());
}

TEST_F(dgWorldBodies, ImpulseWakesADynamicBodyAndChangesThePointsVelocityByTheRequest) {
    dgBody* body = AddBody(1);
    body->SetMassMatrix(2.0f, 0.5f, 0.75f, 1.0f);
    m_world->FreezeBody(body);
    CallbackLog::Clear();
    const dgVector point(0.3f, -0.2f, 0.5f, 1.0f);
    const dgVector change(1.0f, -2.0f, 0.5f, 0.0f);
    m_world->AddBodyImpulse(body, change, point);
    EXPECT_NE(body->m_activeNode, nullptr);
    EXPECT_EQ(CallbackLog::s_events, std::vector<std::string>{"wake body 1"});
    const dgVector arm = point.Sub(body->m_globalCentreOfMass);
    const dgVector pointVeloc = body->m_veloc.Add(body->m_omega.CrossProduct(arm));
    EXPECT_TRUE(VectorNear(pointVeloc, change, kChainTol));
}

namespace {
int s_leftWorld = 0;
void CountLeftWorld(dgBody*) {
    s_leftWorld++;
}
} // namespace

TEST_F(dgWorldBodies, MovingAGroupOutOfTheWorldBoxCallsNoLeaveWorldCallback) {
    dgBody* a = AddBody(1);
    dgBody* b = AddBody(2);
    Attach(m_joints[0], b, a, 1);
    m_world->SetLeaveWorldCallback(CountLeftWorld);
    dgVector minBox;
    dgVector maxBox;
    m_world->m_broadPhase.GetWorldSize(minBox, maxBox);
    dgMatrix outside = dgGetIdentityMatrix();
    outside.posit = dgVector(maxBox.x + 100.0f, 0.0f, 0.0f, 1.0f);
    s_leftWorld = 0;
    m_world->SetBodyMatrixRecursive(a, outside);
    EXPECT_EQ(s_leftWorld, 0);
    EXPECT_EQ(m_world->m_leaveWorldCallback, CountLeftWorld);
    EXPECT_NE(a->m_flags & dgBody::kActive, 0u);
    EXPECT_NE(b->m_flags & dgBody::kAutoFreeze, 0u);
    // A plain move outside does tell the host.
    b->SetMatrix(outside);
    EXPECT_EQ(s_leftWorld, 1);
}
