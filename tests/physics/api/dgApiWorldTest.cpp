// World functions: sub-steps, memory hooks, freezing, ray casts, iteration.

#include "ApiTestScene.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

namespace {

struct SubStepRecord {
    int calls = 0;
    float dt = 0.0f;
};
SubStepRecord g_subSteps;

void CountSubStep(dgBody* body) {
    ApplyGravity(body);
    g_subSteps.calls++;
    g_subSteps.dt = dgApiWorldGetTimeStep(dgApiBodyGetWorld(body));
}

} // namespace

BOTH_BUILDS_SUITE(dgApiWorldStepping);

TEST_P(dgApiWorldStepping, SubStepsFollowTheClampedStepAndTheMinimumFrameRate) {
    struct Case {
        float step;
        float rate;
        int subSteps;
        float dt;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0.0f, 120.0f, 1, 0.001f},
        {0.0f, 30.0f, 1, 0.001f},
        {0.0f, 5000.0f, 1, 0.001f},
        {-1.0f, 120.0f, 0, 0.0f},
        {-1.0f, 30.0f, 0, 0.0f},
        {-1.0f, 5000.0f, 0, 0.0f},
        {0.1f, 120.0f, 2, 1.0f / 120},
        {0.1f, 30.0f, 1, 1.0f / 60.0f},
        {0.1f, 5000.0f, 17, (1.0f / 60.0f) / 17.0f},
        {nan, 120.0f, 0, 0.0f},
        {nan, 30.0f, 0, 0.0f},
        {nan, 5000.0f, 0, 0.0f},
    };
    for (const Case& c : cases) {
        FloorWorld scene;
        dgBody* box = scene.AddBox(5.0f);
        dgApiBodySetForceAndTorqueCallback(box, CountSubStep);
        dgApiWorldSetMinimumFrameRate(scene.m_world, c.rate);
        g_subSteps = {};
        dgApiWorldUpdate(scene.m_world, c.step);
        EXPECT_EQ(g_subSteps.calls, c.subSteps) << "step " << c.step << " rate " << c.rate;
        EXPECT_NEAR(g_subSteps.dt, c.dt, 1.0e-9f) << "step " << c.step << " rate " << c.rate;
        EXPECT_EQ(dgApiWorldGetTimeStep(scene.m_world), c.dt);
    }
}

namespace {

/// Twenty boxes and balls falling for a second.
void RunPile(dgWorld* world) {
    dgCollision* box = dgApiCollisionCreateBox(world, 1.0f, 1.0f, 1.0f, nullptr);
    dgCollision* ball = dgApiCollisionCreateSphere(world, 0.5f, 0.5f, 0.5f, nullptr);
    for (int i = 0; i < 20; i++) {
        dgBody* body = dgApiBodyCreate(world, i % 2 == 0 ? box : ball);
        dgApiBodySetMassMatrix(body, 1.0f, 0.2f, 0.2f, 0.2f);
        const Mat4 place = Translation(0.0f, 1.2f * static_cast<float>(i), 0.0f);
        dgApiBodySetMatrix(body, place.data());
        dgApiBodySetForceAndTorqueCallback(body, ApplyGravity);
    }
    dgApiCollisionRelease(world, box);
    dgApiCollisionRelease(world, ball);
    for (int i = 0; i < 60; i++) {
        dgApiWorldUpdate(world, kStep);
    }
}

} // namespace

TEST_P(dgApiWorldStepping, MemoryHooksSeeEveryBlockBackAndAreNotMixedBetweenLivingWorlds) {
    // The engine's process-wide pools are made on first use and kept: make them before counting.
    dgWorld* warmUp = dgApiWorldCreate(nullptr, nullptr);
    RunPile(warmUp);
    dgApiWorldDestroy(warmUp);

    CountingHooks::s_live.clear();
    dgWorld* world = dgApiWorldCreate(CountingHooks::Allocate, CountingHooks::Release);
    ASSERT_NE(world, nullptr);
    // A second world with other hooks would free the first one's blocks through the wrong hook.
    EXPECT_EQ(dgApiWorldCreate(nullptr, nullptr), nullptr);
    dgWorld* twin = dgApiWorldCreate(CountingHooks::Allocate, CountingHooks::Release);
    ASSERT_NE(twin, nullptr);
    dgApiWorldDestroy(twin);

    RunPile(world);
    EXPECT_FALSE(CountingHooks::s_live.empty());
    dgApiWorldDestroy(world);
    EXPECT_EQ(CountingHooks::s_live.size(), 0u);
    CountingHooks::RestoreDefaults();
}

TEST(dgApiWorld, CreationRefusedByTheHookGivesNull) {
    CountingHooks::s_live.clear();
    CountingHooks::s_refuseAbove = 64;
    EXPECT_EQ(dgApiWorldCreate(CountingHooks::Allocate, CountingHooks::Release), nullptr);
    CountingHooks::s_refuseAbove = 0x7fffffff;
    EXPECT_EQ(CountingHooks::s_live.size(), 0u);
    CountingHooks::RestoreDefaults();
}

namespace {

std::vector<std::pair<const dgBody*, unsigned>> g_activity;

void RecordActivity(dgBody* body, unsigned state) {
    g_activity.emplace_back(body, state);
}

} // namespace

TEST_P(dgApiWorldStepping, FreezeAndUnfreezeCallTheAutoActiveCallbackOnlyOnChange) {
    FloorWorld scene;
    dgBody* box = scene.AddBox(0.5f);
    g_activity.clear();
    dgApiBodySetAutoactiveCallback(box, RecordActivity);
    dgApiWorldFreezeBody(scene.m_world, box);
    dgApiWorldFreezeBody(scene.m_world, box);
    dgApiWorldUnfreezeBody(scene.m_world, box);
    dgApiWorldUnfreezeBody(scene.m_world, box);
    const std::vector<std::pair<const dgBody*, unsigned>> expected = {{box, 1u}, {box, 0u}, {box, 1u}};
    EXPECT_EQ(g_activity, expected);

    // Resting on the floor, the world freezes it by itself; an impulse wakes it again.
    g_activity.clear();
    scene.Step(300);
    ASSERT_EQ(g_activity.size(), 1u);
    EXPECT_EQ(g_activity[0].second, 0u);
    const Vec3 kick = {1.0f, 0.0f, 0.0f};
    const Vec3 centre = BodyPosition(box);
    dgApiBodyAddImpulse(box, kick.data(), centre.data());
    ASSERT_EQ(g_activity.size(), 2u);
    EXPECT_EQ(g_activity[1].second, 1u);
}

namespace {

struct RayHit {
    const dgBody* body;
    float t;
    Vec3 normal;
};
std::vector<RayHit> g_hits;

float ShortenToHit(dgBody* body, const float* normal, int, void*, float t) {
    g_hits.push_back({body, t, {normal[0], normal[1], normal[2]}});
    return t;
}

float KeepWholeSegment(dgBody* body, const float* normal, int, void*, float t) {
    g_hits.push_back({body, t, {normal[0], normal[1], normal[2]}});
    return 1.1f;
}

unsigned SkipEverything(dgBody*, const dgCollision*, void*) {
    return 0;
}

} // namespace

TEST(dgApiWorld, RayCastFilterShortensTheSegmentAndThePrefilterSkipsShapes) {
    FloorWorld scene;
    // Three unit boxes on the x axis at 2, 4 and 6, cast from x = 0 to x = 10 at height 3.
    dgBody* boxes[3];
    for (int i = 0; i < 3; i++) {
        boxes[i] = scene.AddBox(3.0f);
        const Mat4 place = Translation(2.0f + 2.0f * static_cast<float>(i), 3.0f, 0.0f);
        dgApiBodySetMatrix(boxes[i], place.data());
    }
    const Vec3 p0 = {0.0f, 3.0f, 0.0f};
    const Vec3 p1 = {10.0f, 3.0f, 0.0f};

    g_hits.clear();
    dgApiWorldRayCast(scene.m_world, p0.data(), p1.data(), KeepWholeSegment, nullptr, nullptr);
    EXPECT_EQ(g_hits.size(), 3u);

    g_hits.clear();
    dgApiWorldRayCast(scene.m_world, p0.data(), p1.data(), ShortenToHit, nullptr, nullptr);
    ASSERT_FALSE(g_hits.empty());
    for (std::size_t i = 1; i < g_hits.size(); i++) {
        EXPECT_LT(g_hits[i].t, g_hits[i - 1].t);
    }
    const RayHit& nearest = g_hits.back();
    EXPECT_EQ(nearest.body, boxes[0]);
    EXPECT_NEAR(nearest.t, 0.15f, 1.0e-5f); // the face at x = 1.5
    EXPECT_NEAR(nearest.normal[0], -1.0f, 1.0e-5f);

    g_hits.clear();
    dgApiWorldRayCast(scene.m_world, p0.data(), p1.data(), ShortenToHit, nullptr, SkipEverything);
    EXPECT_TRUE(g_hits.empty());
    dgApiWorldRayCast(scene.m_world, p0.data(), p1.data(), nullptr, nullptr, nullptr);
}

namespace {

std::vector<const dgBody*> g_visited;

void Visit(dgBody* body) {
    g_visited.push_back(body);
}

void DestroySelf(dgBody* body) {
    dgApiBodyDestroy(dgApiBodyGetWorld(body), body);
}

} // namespace

TEST(dgApiWorld, IterationVisitsBodiesInCreationOrderAndSurvivesDestruction) {
    FloorWorld scene;
    std::vector<const dgBody*> created = {scene.m_floor};
    for (int i = 0; i < 10; i++) {
        created.push_back(scene.AddBox(2.0f * static_cast<float>(i + 1)));
    }
    g_visited.clear();
    dgApiWorldForEachBodyDo(scene.m_world, Visit);
    EXPECT_EQ(g_visited, created);

    // Only the floor and the lowest box reach below y = 3.
    g_visited.clear();
    const Vec3 lo = {-1.0f, -1.0f, -1.0f};
    const Vec3 hi = {1.0f, 3.0f, 1.0f};
    dgApiWorldForEachBodyInAABBDo(scene.m_world, lo.data(), hi.data(), Visit);
    EXPECT_EQ(g_visited.size(), 2u);

    dgApiWorldForEachBodyDo(scene.m_world, DestroySelf);
    g_visited.clear();
    dgApiWorldForEachBodyDo(scene.m_world, Visit);
    EXPECT_TRUE(g_visited.empty());
}
