#include "physics/api/dgApi.h"
#include "physics/dynamics/dgRagDoll.h"
#include "physics/dynamics/dgRagDollBone.h"
#include "physics/dynamics/dgWorld.h"
#include "support/RagDollScenes.h"
#include "support/SolverBuilds.h"
#include "ApiTestScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

namespace {

using namespace ragdollscene;

/// A figure world with a floor, counting each body's destructor callback.
struct RagDollWorld {
    static inline std::map<dgBody*, int> s_destroyed;

    jointscene::JointWorld m_scene;
    dgWorld* m_world = m_scene.m_world;
    dgBody* m_floor = AddFloor(m_world);

    RagDollWorld() { s_destroyed.clear(); }

    static void CountDestruction(dgBody* body) { s_destroyed[body]++; }

    void WatchBodies(const Figure& figure) {
        for (dgRagDollBone* bone : figure.m_bones) {
            dgApiBodySetDestructorCallback(dgApiRagDollBoneGetBody(bone), CountDestruction);
        }
    }

    /// True when each bone body of the figure saw its destructor callback exactly once.
    static bool EachDestroyedOnce(const std::vector<dgBody*>& bodies) {
        for (dgBody* body : bodies) {
            if (s_destroyed[body] != 1) {
                return false;
            }
        }
        return true;
    }
};

std::vector<dgBody*> BodiesOf(const Figure& figure) {
    std::vector<dgBody*> bodies;
    for (dgRagDollBone* bone : figure.m_bones) {
        bodies.push_back(dgApiRagDollBoneGetBody(bone));
    }
    return bodies;
}

const Mat4 kIdentity = jointscene::JointWorld::Translation({0.0f, 0.0f, 0.0f});

} // namespace

TEST(dgApiRagDoll, OneBoneRagdollHasNoJointButItsDampingAndAfterEndTheHooks) {
    RagDollWorld scene;
    const int joints = scene.m_world->GetJointCount();
    dgRagDoll* ragdoll = dgApiRagDollCreate(scene.m_world);
    dgApiRagDollBegin(ragdoll);
    dgCollision* box = dgApiCollisionCreateBox(scene.m_world, 1.0f, 1.0f, 1.0f, nullptr);
    const float size[3] = {1.0f, 1.0f, 1.0f};
    dgRagDollBone* bone = dgApiRagDollAddBone(ragdoll, nullptr, &scene, 1.0f, kIdentity.data(), box, size);
    dgApiCollisionRelease(scene.m_world, box);
    dgBody* body = dgApiRagDollBoneGetBody(bone);
    EXPECT_EQ(scene.m_world->GetJointCount(), joints);
    float damping[3];
    dgApiBodyGetAngularDamping(body, damping);
    EXPECT_NEAR(damping[0], 0.15f, 1e-6f);
    EXPECT_EQ(body->m_transform, nullptr);
    dgApiRagDollEnd(ragdoll);
    EXPECT_NE(body->m_transform, nullptr);
    EXPECT_NE(body->m_forceAndTorque, nullptr);
    EXPECT_EQ(dgApiBodyGetUserData(body), bone);
    EXPECT_EQ(dgApiRagDollBoneGetUserData(bone), &scene);
    // The root ignores limits.
    const float pin[3] = {1.0f, 0.0f, 0.0f};
    dgApiRagDollBoneSetLimits(bone, pin, -0.1f, 0.1f, 0.1f, nullptr, 0.0f, 0.0f);
    EXPECT_EQ(scene.m_world->GetJointCount(), joints);
}

TEST(dgApiRagDoll, BuildingOutsideBeginEndAndBadBonesAreRefused) {
    RagDollWorld scene;
    Figure figure(scene.m_world, {0.0f, 2.0f, 0.0f});
    Figure other(scene.m_world, {3.0f, 2.0f, 0.0f});
    dgCollision* box = dgApiCollisionCreateBox(scene.m_world, 1.0f, 1.0f, 1.0f, nullptr);
    const float size[3] = {1.0f, 0.2f, 0.2f};
    const int bodies = scene.m_world->GetBodyCount();

    EXPECT_EQ(
        dgApiRagDollAddBone(figure.m_ragdoll, figure.m_bones[0], nullptr, 1.0f, kIdentity.data(), box, size),
        nullptr);
    dgApiRagDollSetTransformCallback(figure.m_ragdoll, [](dgRagDollBone*) {});
    EXPECT_EQ(figure.m_ragdoll->m_transformCallback, nullptr);

    // Inside a build: a second root, a bone of another ragdoll, no collision, values not finite.
    dgRagDoll* ragdoll = dgApiRagDollCreate(scene.m_world);
    dgApiRagDollBegin(ragdoll);
    dgRagDollBone* root = dgApiRagDollAddBone(ragdoll, nullptr, nullptr, 1.0f, kIdentity.data(), box, size);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(dgApiRagDollAddBone(ragdoll, nullptr, nullptr, 1.0f, kIdentity.data(), box, size), nullptr);
    EXPECT_EQ(dgApiRagDollAddBone(ragdoll, other.m_bones[1], nullptr, 1.0f, kIdentity.data(), box, size),
              nullptr);
    EXPECT_EQ(dgApiRagDollAddBone(ragdoll, root, nullptr, 1.0f, kIdentity.data(), nullptr, size), nullptr);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float badSize[3] = {1.0f, nan, 1.0f};
    Mat4 badMatrix = kIdentity;
    badMatrix[13] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(dgApiRagDollAddBone(ragdoll, root, nullptr, nan, kIdentity.data(), box, size), nullptr);
    EXPECT_EQ(dgApiRagDollAddBone(ragdoll, root, nullptr, 1.0f, kIdentity.data(), box, badSize), nullptr);
    EXPECT_EQ(dgApiRagDollAddBone(ragdoll, root, nullptr, 1.0f, badMatrix.data(), box, size), nullptr);
    EXPECT_EQ(scene.m_world->GetBodyCount(), bodies + 1);
    dgApiCollisionRelease(scene.m_world, box);

    // End twice scales the freeze thresholds once.
    dgApiRagDollEnd(ragdoll);
    float speed;
    float omega;
    dgApiBodyGetFreezeThreshold(dgApiRagDollBoneGetBody(root), &speed, &omega);
    dgApiRagDollEnd(ragdoll);
    float speedAgain;
    dgApiBodyGetFreezeThreshold(dgApiRagDollBoneGetBody(root), &speedAgain, &omega);
    EXPECT_EQ(speedAgain, speed);
    EXPECT_NEAR(speed, 16.0f * 0.01f, 1e-5f);
}

BOTH_BUILDS_SUITE(dgApiRagDollStepping);

TEST_P(dgApiRagDollStepping, BeginDestroyAndWorldTeardownDestroyEachBoneBodyOnce) {
    RagDollWorld scene;
    const int bodies = scene.m_world->GetBodyCount();
    const int joints = scene.m_world->GetJointCount();
    Figure figure(scene.m_world, {0.0f, 2.0f, 0.0f});
    scene.WatchBodies(figure);
    const std::vector<dgBody*> built = BodiesOf(figure);
    scene.m_scene.Step(5);
    dgApiRagDollBegin(figure.m_ragdoll);
    EXPECT_EQ(scene.m_world->GetBodyCount(), bodies);
    EXPECT_EQ(scene.m_world->GetJointCount(), joints);
    EXPECT_TRUE(RagDollWorld::EachDestroyedOnce(built));
    EXPECT_EQ(dgApiRagDollFindBone(figure.m_ragdoll, kHead), nullptr);
    dgApiRagDollEnd(figure.m_ragdoll);

    Figure second(scene.m_world, {0.0f, 2.0f, 0.0f});
    dgApiRagDollDestroy(scene.m_world, second.m_ragdoll);
    EXPECT_EQ(scene.m_world->GetBodyCount(), bodies);
    EXPECT_EQ(scene.m_world->GetJointCount(), joints);
}

TEST_P(dgApiRagDollStepping, WorldDestroyedWithRagdollsAliveDestroysEachBoneBodyOnceAndFreesAll) {
    // The engine's process-wide pools are made on first use and kept: make them before counting.
    {
        RagDollWorld warmUp;
        Figure figure(warmUp.m_world, {0.0f, 1.0f, 0.0f});
        warmUp.m_scene.Step(30);
    }
    CountingHooks::s_live.clear();
    RagDollWorld::s_destroyed.clear();
    dgWorld* world = dgApiWorldCreate(CountingHooks::Allocate, CountingHooks::Release);
    ASSERT_NE(world, nullptr);
    AddFloor(world);
    Figure alive(world, {0.0f, 1.0f, 0.0f});
    Figure other(world, {0.0f, 3.0f, 0.0f});
    std::vector<dgBody*> bodies = BodiesOf(alive);
    for (dgBody* body : BodiesOf(other)) {
        bodies.push_back(body);
    }
    for (dgBody* body : bodies) {
        dgApiBodySetDestructorCallback(body, RagDollWorld::CountDestruction);
    }
    for (int i = 0; i < 30; i++) {
        dgApiWorldUpdate(world, jointscene::kStep);
    }
    dgApiWorldDestroy(world);
    EXPECT_TRUE(RagDollWorld::EachDestroyedOnce(bodies));
    EXPECT_EQ(CountingHooks::s_live.size(), 0u);
    CountingHooks::RestoreDefaults();
}

TEST_P(dgApiRagDollStepping, HostUserDataOnBoneBodiesChangesNoReport) {
    static std::vector<int> s_reports;
    const auto report = [](dgRagDollBone* bone) { s_reports.push_back(static_cast<int>(bone->GetNameId())); };
    std::vector<int> runs[2];
    for (int host = 0; host < 2; host++) {
        RagDollWorld scene;
        Figure figure(scene.m_world, {0.0f, 1.0f, 0.0f}, report);
        if (host != 0) {
            for (dgRagDollBone* bone : figure.m_bones) {
                dgApiBodySetUserData(dgApiRagDollBoneGetBody(bone), &scene);
            }
        }
        s_reports.clear();
        scene.m_scene.Step(90);
        runs[host] = s_reports;
    }
    EXPECT_FALSE(runs[0].empty());
    EXPECT_EQ(runs[0], runs[1]);
}

TEST_P(dgApiRagDollStepping, BoneBodyDestroyedByTheHostIsNotTheRagdollsToDestroyAgain) {
    RagDollWorld scene;
    Figure figure(scene.m_world, {0.0f, 2.0f, 0.0f});
    dgRagDollBone* forearm = figure.m_bones[4];
    dgApiBodyDestroy(scene.m_world, dgApiRagDollBoneGetBody(figure.m_bones[3]));
    dgApiBodyDestroy(scene.m_world, dgApiRagDollBoneGetBody(forearm));
    EXPECT_EQ(dgApiRagDollBoneGetBody(forearm), nullptr);
    float matrix[16];
    dgApiRagDollBoneGetGlobalMatrix(forearm, matrix);
    EXPECT_EQ(Mat4(std::to_array(matrix)), kIdentity);
    const float pin[3] = {1.0f, 0.0f, 0.0f};
    dgApiRagDollBoneSetLimits(forearm, pin, -0.5f, 0.5f, 0.3f, nullptr, 0.0f, 0.0f);
    dgApiRagDollBoneSetLimits(figure.m_bones[1], pin, -0.5f, 0.5f, 0.3f, nullptr, 0.0f, 0.0f);

    // The next bodies reuse the pool records of the two destroyed ones.
    dgCollision* box = dgApiCollisionCreateBox(scene.m_world, 1.0f, 1.0f, 1.0f, nullptr);
    dgBody* newcomers[2] = {dgApiBodyCreate(scene.m_world, box), dgApiBodyCreate(scene.m_world, box)};
    dgApiCollisionRelease(scene.m_world, box);
    scene.m_scene.Step(10);
    dgApiRagDollDestroy(scene.m_world, figure.m_ragdoll);
    int alive = 0;
    for (auto* node = scene.m_world->m_bodies.GetFirst(); node != nullptr;
         node = decltype(scene.m_world->m_bodies)::GetNext(node)) {
        alive += node->GetInfo() == newcomers[0] || node->GetInfo() == newcomers[1];
    }
    EXPECT_EQ(alive, 2);
    EXPECT_EQ(scene.m_world->GetBodyCount(), 3);

    // Every body gone at once, ragdoll bodies with them.
    Figure again(scene.m_world, {0.0f, 2.0f, 0.0f});
    dgApiWorldDestroyAllBodies(scene.m_world);
    dgApiRagDollDestroy(scene.m_world, again.m_ragdoll);
    EXPECT_EQ(scene.m_world->GetBodyCount(), 0);
}

namespace {

/// What a callback does to the ragdoll it is called for, once.
enum class Action { kDestroy, kBegin, kRebuild };

struct CallbackCase {
    static inline dgWorld* s_world;
    static inline dgRagDoll* s_target;
    static inline Action s_action;
    static inline int s_calls;
    static inline dgRagDollBone* s_rebuilt;

    static void Act() {
        if (s_target == nullptr) {
            return;
        }
        dgRagDoll* target = s_target;
        s_target = nullptr;
        if (s_action == Action::kDestroy) {
            dgApiRagDollDestroy(s_world, target);
            return;
        }
        dgApiRagDollBegin(target);
        if (s_action == Action::kRebuild) {
            dgCollision* box = dgApiCollisionCreateBox(s_world, 0.5f, 0.5f, 0.5f, nullptr);
            const float size[3] = {0.5f, 0.5f, 0.5f};
            const Mat4 high = jointscene::JointWorld::Translation({0.0f, 10.0f, 0.0f});
            s_rebuilt = dgApiRagDollAddBone(target, nullptr, nullptr, 1.0f, high.data(), box, size);
            dgApiCollisionRelease(s_world, box);
        }
        dgApiRagDollEnd(target);
    }
    static void Force(dgBody* body) {
        s_calls++;
        jointscene::Weight(body);
        Act();
    }
    static void Report(dgRagDollBone*) {
        s_calls++;
        Act();
    }
};

} // namespace

TEST_P(dgApiRagDollStepping, DestroyAndRebuildFromCallbacksUnhookAtOnceAndFreeAfterTheSubStep) {
    for (const Action action : {Action::kDestroy, Action::kBegin, Action::kRebuild}) {
        for (const bool fromReport : {false, true}) {
            RagDollWorld scene;
            const int bodies = scene.m_world->GetBodyCount();
            const int joints = scene.m_world->GetJointCount();
            Figure figure(scene.m_world, {0.0f, 2.0f, 0.0f}, fromReport ? CallbackCase::Report : nullptr);
            figure.m_ragdoll->m_forceCallback = fromReport ? jointscene::Weight : CallbackCase::Force;
            scene.WatchBodies(figure);
            const std::vector<dgBody*> built = BodiesOf(figure);
            CallbackCase::s_world = scene.m_world;
            CallbackCase::s_target = figure.m_ragdoll;
            CallbackCase::s_action = action;
            CallbackCase::s_calls = 0;
            CallbackCase::s_rebuilt = nullptr;
            scene.m_scene.Step(1);
            // The first call acted; the old bones called back no more.
            EXPECT_EQ(CallbackCase::s_calls, 1);
            EXPECT_TRUE(RagDollWorld::EachDestroyedOnce(built));
            const int rebuilt = action == Action::kRebuild ? 1 : 0;
            EXPECT_EQ(scene.m_world->GetBodyCount(), bodies + rebuilt);
            EXPECT_EQ(scene.m_world->GetJointCount(), joints);
            if (action != Action::kDestroy) {
                EXPECT_EQ(figure.m_ragdoll->m_root, CallbackCase::s_rebuilt);
                scene.m_scene.Step(2);
                dgApiRagDollDestroy(scene.m_world, figure.m_ragdoll);
            }
            EXPECT_EQ(scene.m_world->GetBodyCount(), bodies);
        }
    }
}

TEST_P(dgApiRagDollStepping, RagdollDestroyedWhileQueuedLeavesTheQueue) {
    RagDollWorld scene;
    static std::vector<dgRagDoll*> s_reported;
    s_reported.clear();
    const auto report = [](dgRagDollBone* bone) {
        if (s_reported.empty() || s_reported.back() != bone->m_ragdoll) {
            s_reported.push_back(bone->m_ragdoll);
        }
        // The first one reported destroys every other ragdoll, queued ones among them.
        while (CallbackCase::s_target != nullptr) {
            CallbackCase::Act();
        }
    };
    Figure first(scene.m_world, {0.0f, 3.0f, 0.0f}, report);
    Figure second(scene.m_world, {3.0f, 3.0f, 0.0f}, report);
    CallbackCase::s_world = scene.m_world;
    CallbackCase::s_action = Action::kDestroy;
    // Both move in the first sub-step; the one queued last is reported first and destroys the other.
    scene.m_world->m_inUpdate = 1;
    dgRagDoll::BoneTransformHook(dgApiRagDollBoneGetBody(first.m_bones[0]), nullptr);
    dgRagDoll::BoneTransformHook(dgApiRagDollBoneGetBody(second.m_bones[0]), nullptr);
    scene.m_world->m_inUpdate = 0;
    CallbackCase::s_target = first.m_ragdoll;
    scene.m_scene.Step(1);
    ASSERT_EQ(s_reported.size(), 1u);
    EXPECT_EQ(s_reported[0], second.m_ragdoll);
    EXPECT_EQ(scene.m_world->m_ragdollUpdates.GetCount(), 0);
}

TEST_P(dgApiRagDollStepping, EveryRefusedRequestOfAFigureBuildLeavesAWorldThatStepsAndFreesAll) {
    // Each run refuses one request of the figure's build, from the ragdoll's creation to its last bone;
    // a second figure then reuses whatever the refusal gave back, and both fall onto the floor.
    const auto run = [](int refuse, dgMallocCallback allocate, dgFreeCallback release) {
        bool refused = false;
        {
            jointscene::JointWorld scene(allocate, release);
            AddFloor(scene.m_world);
            const int bodies = scene.m_world->GetBodyCount();
            CountingHooks::FailAt(refuse);
            Figure figure(scene.m_world, {0.0f, 1.0f, 0.0f});
            refused = CountingHooks::s_refused;
            CountingHooks::FailAt(0);
            const int built =
                static_cast<int>(std::count_if(figure.m_bones.begin(), figure.m_bones.end(),
                                               [](dgRagDollBone* bone) { return bone != nullptr; }));
            EXPECT_EQ(scene.m_world->GetBodyCount(), bodies + built) << refuse;
            EXPECT_EQ(built == kBoneCount, !refused) << refuse;
            Figure second(scene.m_world, {0.2f, 1.5f, 0.1f});
            scene.Step(60);
            if (figure.m_ragdoll != nullptr) {
                dgApiRagDollDestroy(scene.m_world, figure.m_ragdoll);
            }
            dgApiRagDollDestroy(scene.m_world, second.m_ragdoll);
            EXPECT_EQ(scene.m_world->GetBodyCount(), bodies) << refuse;
        }
        return refused;
    };
    run(0, nullptr, nullptr);
    CountingHooks::s_live.clear();
    int refusals = 0;
    while (run(refusals + 1, CountingHooks::Allocate, CountingHooks::Release)) {
        refusals++;
        EXPECT_TRUE(CountingHooks::s_live.empty()) << refusals;
    }
    EXPECT_GT(refusals, kBoneCount);
    CountingHooks::RestoreDefaults();
}
