// Joint life cycle through the flat interface: destruction by every road, deferred destruction from a
// callback, the collision state and the memory a world with living joints gives back.

#include "physics/api/dgApi.h"
#include "ApiTestScene.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>

namespace {

std::map<std::uintptr_t, int> g_destructions;

void CountDestruction(dgJointBase* joint) {
    g_destructions[reinterpret_cast<std::uintptr_t>(dgApiJointGetUserData(joint))]++;
}

dgJointBase* Tagged(dgJointBase* joint, std::uintptr_t tag) {
    dgApiJointSetUserData(joint, reinterpret_cast<void*>(tag));
    dgApiJointSetDestructor(joint, CountDestruction);
    return joint;
}

dgJointBase* BallAt(FloorWorld& scene, const Vec3& pivot, dgBody* child, dgBody* parent) {
    return dgApiJointCreateBall(scene.m_world, pivot.data(), child, parent);
}

void AddRowToWorld(dgJointBase* joint) {
    const Vec3 p = {0.0f, 5.0f, 0.0f};
    const Vec3 dir = {0.0f, 1.0f, 0.0f};
    dgApiUserJointAddLinearRow(joint, p.data(), p.data(), dir.data());
}

dgJointBase* g_doomed = nullptr;
bool g_destroyedInsideStep = false;

void DestroyDoomedJoint(dgBody* body) {
    ApplyGravity(body);
    dgApiDestroyJoint(dgApiBodyGetWorld(body), g_doomed);
    g_destroyedInsideStep = g_destructions.count(1) != 0;
}

int g_pairBegins = 0;

unsigned char CountBoxPairs(dgMaterialPair*, dgBody* body0, dgBody* body1) {
    g_pairBegins += dgApiBodyGetUserData(body0) != nullptr && dgApiBodyGetUserData(body1) != nullptr ? 1 : 0;
    return 1;
}

} // namespace

BOTH_BUILDS_SUITE(dgApiJoint);

TEST_P(dgApiJoint, DestructorRunsOnceWhicheverWayTheJointDies) {
    g_destructions.clear();
    {
        FloorWorld scene;
        dgBody* a = scene.AddBox(5.0f);
        dgBody* b = scene.AddBox(7.0f);
        dgBody* c = scene.AddBox(9.0f);
        dgJointBase* byCall = Tagged(BallAt(scene, {0.0f, 6.0f, 0.0f}, a, nullptr), 1);
        Tagged(BallAt(scene, {0.0f, 8.0f, 0.0f}, b, a), 2);
        const Vec3 up = {0.0f, 1.0f, 0.0f};
        Tagged(dgApiJointCreateUpVector(scene.m_world, up.data(), c), 3);
        Tagged(dgApiJointCreateUser(scene.m_world, 3, AddRowToWorld, c, b), 4);
        scene.Step(10);

        dgApiDestroyJoint(scene.m_world, byCall);
        dgApiDestroyJoint(scene.m_world, byCall);
        EXPECT_EQ(g_destructions, (std::map<std::uintptr_t, int>{{1, 1}}));
        dgApiBodyDestroy(scene.m_world, b);
        EXPECT_EQ(g_destructions, (std::map<std::uintptr_t, int>{{1, 1}, {2, 1}, {4, 1}}));
        scene.Step(10);
    }
    EXPECT_EQ(g_destructions, (std::map<std::uintptr_t, int>{{1, 1}, {2, 1}, {3, 1}, {4, 1}}));
}

TEST_P(dgApiJoint, DestroyedFromAForceCallbackItDiesAtTheEndOfTheSubStep) {
    g_destructions.clear();
    FloorWorld scene;
    dgBody* bob = scene.AddBox(5.0f);
    g_doomed = Tagged(BallAt(scene, {0.0f, 6.0f, 0.0f}, bob, nullptr), 1);
    dgApiBodySetForceAndTorqueCallback(bob, DestroyDoomedJoint);
    scene.Step(1);
    EXPECT_FALSE(g_destroyedInsideStep);
    EXPECT_EQ(g_destructions[1], 1);
    // The joint still held the bob through the sub-step it was destroyed in.
    EXPECT_NEAR(BodyPosition(bob)[1], 5.0f, 1.0e-3f);
    scene.Step(10);
    EXPECT_LT(BodyPosition(bob)[1], 4.9f);
}

TEST_P(dgApiJoint, CollisionStateDecidesWhetherTheJoinedBodiesTouch) {
    FloorWorld scene;
    dgBody* a = scene.AddBox(5.0f);
    dgBody* b = scene.AddBox(5.5f);
    dgApiBodySetUserData(a, &scene);
    dgApiBodySetUserData(b, &scene);
    dgJointBase* joint = BallAt(scene, {0.0f, 5.25f, 0.0f}, b, a);
    dgApiMaterialSetCollisionCallback(scene.m_world, 0, 0, nullptr, CountBoxPairs, nullptr, nullptr);

    g_pairBegins = 0;
    scene.Step(3);
    EXPECT_EQ(g_pairBegins, 0);
    dgApiJointSetCollisionState(joint, 7);
    EXPECT_EQ(dgApiJointGetCollisionState(joint), 1);
    scene.Step(3);
    EXPECT_GT(g_pairBegins, 0);
}

TEST_P(dgApiJoint, WorldGivesBackEveryBlockWithJointsAlive) {
    const auto run = [](dgMallocCallback allocate, dgFreeCallback release) {
        FloorWorld scene(allocate, release);
        dgBody* a = scene.AddBox(5.0f);
        dgBody* b = scene.AddBox(7.0f);
        for (int i = 0; i < 70; i++) {
            BallAt(scene, {0.0f, 6.0f, 0.0f}, a, nullptr);
        }
        BallAt(scene, {0.0f, 8.0f, 0.0f}, b, a);
        const Vec3 up = {0.0f, 1.0f, 0.0f};
        dgApiJointCreateUpVector(scene.m_world, up.data(), b);
        dgApiJointCreateUser(scene.m_world, 100, AddRowToWorld, b, nullptr);
        const Vec3 pivot = {0.0f, 7.0f, 0.0f};
        const Vec3 x = {1.0f, 0.0f, 0.0f};
        for (int i = 0; i < 65; i++) {
            dgApiJointCreateHinge(scene.m_world, pivot.data(), x.data(), b, a);
            dgApiJointCreateSlider(scene.m_world, pivot.data(), up.data(), b, a);
            dgApiJointCreateCorkscrew(scene.m_world, pivot.data(), up.data(), b, a);
            dgApiJointCreateUniversal(scene.m_world, pivot.data(), x.data(), up.data(), b, a);
        }
        scene.Step(5);
    };
    // The engine's process-wide pools are made on first use and kept: make them before counting.
    run(nullptr, nullptr);
    CountingHooks::s_live.clear();
    run(CountingHooks::Allocate, CountingHooks::Release);
    EXPECT_TRUE(CountingHooks::s_live.empty()) << CountingHooks::s_live.size();
    CountingHooks::RestoreDefaults();
}

TEST_P(dgApiJoint, EveryRefusedRequestOfJointCreationGivesNullAndLeavesNothing) {
    // 64 joints fill the first pages of the ball and link pools: the next joint needs fresh pages.
    const Vec3 x = {1.0f, 0.0f, 0.0f};
    const Vec3 y = {0.0f, 1.0f, 0.0f};
    const Vec3 p = {0.0f, 6.0f, 0.0f};
    const auto creators = std::array<std::function<dgJointBase*(FloorWorld&, dgBody*)>, 7>{
        [](FloorWorld& scene, dgBody* body) {
            return BallAt(scene, {0.0f, 6.0f, 0.0f}, body, nullptr);
        },
        [](FloorWorld& scene, dgBody* body) {
            const Vec3 up = {0.0f, 1.0f, 0.0f};
            return dgApiJointCreateUpVector(scene.m_world, up.data(), body);
        },
        [](FloorWorld& scene, dgBody* body) {
            return dgApiJointCreateUser(scene.m_world, 3, AddRowToWorld, body, nullptr);
        },
        [&](FloorWorld& scene, dgBody* body) {
            return dgApiJointCreateHinge(scene.m_world, p.data(), x.data(), body, nullptr);
        },
        [&](FloorWorld& scene, dgBody* body) {
            return dgApiJointCreateSlider(scene.m_world, p.data(), y.data(), body, nullptr);
        },
        [&](FloorWorld& scene, dgBody* body) {
            return dgApiJointCreateCorkscrew(scene.m_world, p.data(), y.data(), body, nullptr);
        },
        [&](FloorWorld& scene, dgBody* body) {
            return dgApiJointCreateUniversal(scene.m_world, p.data(), x.data(), y.data(), body, nullptr);
        }};
    const auto run = [](const std::function<dgJointBase*(FloorWorld&, dgBody*)>& create, int refuse,
                        dgMallocCallback allocate, dgFreeCallback release) {
        FloorWorld scene(allocate, release);
        dgBody* body = scene.AddBox(5.0f);
        for (int i = 0; i < 64; i++) {
            BallAt(scene, {0.0f, 6.0f, 0.0f}, body, nullptr);
        }
        CountingHooks::FailAt(refuse);
        dgJointBase* joint = create(scene, body);
        const bool refused = CountingHooks::s_refused;
        CountingHooks::FailAt(0);
        EXPECT_EQ(joint == nullptr, refused) << refuse;
        scene.Step(2);
        return refused;
    };
    for (const auto& create : creators) {
        run(create, 0, nullptr, nullptr);
        CountingHooks::s_live.clear();
        int refusals = 0;
        while (run(create, refusals + 1, CountingHooks::Allocate, CountingHooks::Release)) {
            refusals++;
            EXPECT_TRUE(CountingHooks::s_live.empty()) << refusals;
        }
        EXPECT_GT(refusals, 0);
    }
    CountingHooks::RestoreDefaults();
}

TEST_P(dgApiJoint, MotorJointFunctionsGivenAnotherKindOfJointDoNothing) {
    FloorWorld scene;
    dgBody* a = scene.AddBox(5.0f);
    dgJointBase* ball = BallAt(scene, {0.0f, 6.0f, 0.0f}, a, nullptr);
    const dgJointMotorDesc desc = {0.0f, -1.0f, 1.0f, 1.0f / 60.0f};
    const float readings[] = {dgApiHingeGetJointAngle(ball), dgApiHingeGetJointOmega(ball),
                              dgApiHingeCalculateStopAlpha(ball, &desc, 1.0f), dgApiSliderGetJointPosit(ball),
                              dgApiSliderGetJointVeloc(ball), dgApiSliderCalculateStopAccel(ball, &desc, 1.0f),
                              dgApiCorkscrewGetJointAngle(ball), dgApiCorkscrewCalculateStopAccel(ball, &desc, 1.0f),
                              dgApiUniversalGetJointAngle1(ball), dgApiUniversalCalculateStopAlpha1(ball, &desc, 1.0f),
                              dgApiHingeGetJointAngle(nullptr)};
    for (const float reading : readings) {
        EXPECT_EQ(reading, 0.0f);
    }
    float force[3] = {1.0f, 1.0f, 1.0f};
    dgApiUniversalGetJointForce(ball, force);
    EXPECT_EQ(force[0] + force[1] + force[2], 0.0f);
    dgApiHingeSetUserCallback(ball, nullptr);
    scene.Step(2);
    EXPECT_NEAR(BodyPosition(a)[1], 5.0f, 1.0e-3f);
}

TEST_P(dgApiJoint, APinTooLongToSquareStillGivesItsDirection) {
    // The squared length of a pin of 1e20 overflows a float: the joint must still take the pin's direction
    // and move the body as a unit pin does, not build frames of NaN that hold it still in mid-air.
    const auto swing = [](int kind, float length) {
        FloorWorld scene;
        dgBody* rod = scene.AddBox(6.0f, 1.0f, {0.1f, 1.0f, 0.1f});
        dgWorld* world = scene.m_world;
        const Vec3 pivot = {0.3f, 6.5f, 0.0f};
        const Vec3 pin = {0.0f, 0.6f * length, 0.8f * length};
        const Vec3 across = {length, 0.0f, 0.0f};
        const Vec3 tilted = {0.6f, 0.8f, 0.0f};
        switch (kind) {
        case 0: dgApiJointCreateHinge(world, pivot.data(), pin.data(), rod, nullptr); break;
        case 1: dgApiJointCreateSlider(world, pivot.data(), pin.data(), rod, nullptr); break;
        case 2: dgApiJointCreateCorkscrew(world, pivot.data(), pin.data(), rod, nullptr); break;
        case 3: dgApiJointCreateUniversal(world, pivot.data(), pin.data(), across.data(), rod, nullptr); break;
        case 4: dgApiUpVectorSetPin(dgApiJointCreateUpVector(world, tilted.data(), rod), pin.data()); break;
        default: dgApiBallSetConeLimits(BallAt(scene, pivot, rod, nullptr), across.data(), 0.2f, 0.2f); break;
        }
        scene.Step(30);
        Mat4 matrix;
        dgApiBodyGetMatrix(rod, matrix.data());
        return matrix;
    };
    for (int kind = 0; kind < 6; kind++) {
        const Mat4 unit = swing(kind, 1.0f);
        const Mat4 longPin = swing(kind, 1.0e20f);
        for (int i = 0; i < 16; i++) {
            EXPECT_NEAR(longPin[i], unit[i], 1.0e-4f) << "kind " << kind << " element " << i;
        }
    }
}
