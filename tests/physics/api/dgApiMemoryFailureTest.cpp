// Creators of the flat interface when the memory hook refuses one request: every single refusal, one at
// a time, gives null (or the default group) and leaves nothing behind.

#include "ApiTestScene.h"
#include "support/SolverBuilds.h"
#include "support/VehicleScenes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool g_refuse = false;
int g_refusedRuns = 0;

/// create() with its 1st, 2nd, ... request refused in turn (when g_refuse is set) until a run meets no
/// refusal; that run's result. Every refused run must give failed.
template <class Create> auto Sweep(Create create, decltype(create()) failed) {
    for (int n = g_refuse ? 1 : 0;; n++) {
        CountingHooks::FailAt(n);
        const auto result = create();
        if (!CountingHooks::s_refused) {
            CountingHooks::FailAt(0);
            return result;
        }
        EXPECT_EQ(result, failed) << "request " << n;
        g_refusedRuns++;
    }
}

/// A world, shapes of every kind, 70 bodies (the body pool and the trees need new pages on the way) and
/// 40 groups, each made by Sweep; then the bodies fall for 30 steps and everything is destroyed.
void BuildStepAndDestroyEverything(dgMallocCallback allocate, dgFreeCallback release) {
    dgWorld* world = Sweep([&] { return dgApiWorldCreate(allocate, release); }, nullptr);
    const float hull[7][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0},         {0, 0, 1},
                              {1, 1, 0}, {1, 0, 1}, {0.3f, 0.9f, 0.8f}};
    std::vector<dgCollision*> shapes;
    const auto make = [&](auto create) {
        shapes.push_back(Sweep(create, static_cast<dgCollision*>(nullptr)));
    };
    make([&] { return dgApiCollisionCreateBox(world, 1.0f, 2.0f, 3.0f, nullptr); });
    make([&] { return dgApiCollisionCreateSphere(world, 0.5f, 0.5f, 0.5f, nullptr); });
    make([&] { return dgApiCollisionCreateCapsule(world, 0.5f, 2.0f, nullptr); });
    make([&] { return dgApiCollisionCreateConvexHull(world, 7, &hull[0][0], 12, nullptr); });
    make([&] { return dgApiCollisionCreateConvexModifier(world, shapes[0]); });
    make([&] { return dgApiCollisionCreateCompound(world, 2, shapes.data()); });
    make([&] { return dgApiTreeCollisionCreate(world, nullptr); });
    const float face[4][3] = {{-1, 0, -1}, {-1, 0, 1}, {1, 0, 1}, {1, 0, -1}};
    dgApiTreeCollisionBeginBuild(shapes.back());
    dgApiTreeCollisionAddFace(shapes.back(), 4, &face[0][0], 12, 7);
    dgApiTreeCollisionEndBuild(shapes.back(), 1);
    MemoryStream stream;
    dgApiTreeCollisionSerialize(shapes.back(), WriteToMemory, &stream);
    make([&] {
        stream.readAt = 0;
        return dgApiTreeCollisionCreateFromSerialization(world, nullptr, ReadFromMemory, &stream);
    });
    for (dgCollision* shape : shapes) {
        ASSERT_NE(shape, nullptr);
    }

    for (int i = 0; i < 70; i++) {
        dgBody* body = Sweep([&] { return dgApiBodyCreate(world, shapes[i % 4]); }, nullptr);
        ASSERT_NE(body, nullptr);
        dgApiBodySetMassMatrix(body, 1.0f, 0.2f, 0.2f, 0.2f);
        const Mat4 place =
            Translation(3.0f * static_cast<float>(i % 7 - 3), 2.0f + 3.0f * static_cast<float>(i / 7), 0.0f);
        dgApiBodySetMatrix(body, place.data());
        dgApiBodySetForceAndTorqueCallback(body, ApplyGravity);
    }
    for (int i = 1; i <= 40; i++) {
        EXPECT_EQ(Sweep([&] { return dgApiMaterialCreateGroupId(world); }, 0), i);
    }
    for (int i = 0; i < 30; i++) {
        dgApiWorldUpdate(world, kStep);
    }
    for (dgCollision* shape : shapes) {
        dgApiCollisionRelease(world, shape);
    }
    dgApiWorldDestroy(world);
}

int g_wakes = 0;

/// A vehicle made by make on the reference chassis, asleep over a floor, then woken, given its four
/// tires and a second to settle on them; the chassis's matrix at the end.
template <class Make> Mat4 SettleCar(Make make) {
    FloorWorld scene(CountingHooks::Allocate, CountingHooks::Release);
    dgBody* chassis = scene.AddBox(1.0f, vehiclescene::kChassisMass, vehiclescene::kChassisSize);
    dgApiWorldFreezeBody(scene.m_world, chassis);
    g_wakes = 0;
    dgApiBodySetAutoactiveCallback(chassis, [](dgBody*, unsigned state) { g_wakes += state != 0 ? 1 : 0; });
    dgJointBase* vehicle = make(scene.m_world, chassis);
    dgApiWorldUnfreezeBody(scene.m_world, chassis);
    for (int i = 0; i < vehiclescene::kTireCount; i++) {
        vehiclescene::AddReferenceTire(vehicle, vehiclescene::kTirePositions[i], i);
    }
    scene.Step(60);
    Mat4 matrix;
    dgApiBodyGetMatrix(chassis, matrix.data());
    return matrix;
}

} // namespace

BOTH_BUILDS_SUITE(dgApiMemoryFailure);

TEST_P(dgApiMemoryFailure, EveryRefusedRequestOfACreatorGivesNullAndTheRestRunsAndFreesEverything) {
    // The engine's process-wide pools and tables live until unload: made before anything counts.
    BuildStepAndDestroyEverything(nullptr, nullptr);
    CountingHooks::s_live.clear();
    g_refuse = true;
    BuildStepAndDestroyEverything(CountingHooks::Allocate, CountingHooks::Release);
    g_refuse = false;
    EXPECT_GT(g_refusedRuns, 50);
    EXPECT_TRUE(CountingHooks::s_live.empty());
    CountingHooks::RestoreDefaults();
}

TEST_P(dgApiMemoryFailure, VehicleRefusedAtAnyRequestLeavesItsChassisToTheNextAndFreesAll) {
    const Vec3 up = {0.0f, 1.0f, 0.0f};
    const auto create = [&](dgWorld* world, dgBody* chassis) {
        return dgApiVehicleCreate(world, up.data(), chassis);
    };
    const Mat4 expected = SettleCar(create);
    // In a world of its own each time, the creation's n-th request is refused (and, onward, every later
    // one) until a creation meets no refusal; a refused one is followed by one with memory back.
    for (const bool onward : {false, true}) {
        bool refused = true;
        int refusals = 0;
        for (int n = 1; refused; n++) {
            CountingHooks::s_live.clear();
            const Mat4 settled = SettleCar([&](dgWorld* world, dgBody* chassis) {
                dgCollision* const shape = dgApiBodyGetCollision(chassis);
                CountingHooks::FailAt(n, onward);
                dgJointBase* vehicle = create(world, chassis);
                refused = CountingHooks::s_refused;
                CountingHooks::FailAt(0);
                if (refused) {
                    EXPECT_EQ(vehicle, nullptr) << n;
                    EXPECT_EQ(dgApiBodyGetCollision(chassis), shape) << n;
                    EXPECT_EQ(g_wakes, 0) << n;
                    refusals++;
                    vehicle = create(world, chassis);
                }
                return vehicle;
            });
            EXPECT_EQ(settled, expected) << n;
            EXPECT_TRUE(CountingHooks::s_live.empty()) << n;
        }
        EXPECT_GT(refusals, 5);
    }
    CountingHooks::RestoreDefaults();
}
