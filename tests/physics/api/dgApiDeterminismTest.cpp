// The same calls give bit-identical poses whatever the heap held before: bodies are ordered by creation,
// never by address. Meant for the plain build, whose allocator hands out addresses in any order.

#include "ApiTestScene.h"
#include "support/JointScenes.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

/// 200 boxes of four sizes dropped in a loose heap onto the floor, one large island; their matrices
/// after the steps, in creation order.
std::vector<Mat4> StepPile(FloorWorld& scene, int steps = 90) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-0.2f, 0.2f);
    std::vector<dgBody*> boxes;
    for (int i = 0; i < 200; i++) {
        const float edge = 0.6f + 0.1f * static_cast<float>(i % 4);
        boxes.push_back(scene.AddBox(0.0f, 1.0f, {edge, edge, edge}));
        const Mat4 place = Translation(0.9f * static_cast<float>(i % 5 - 2) + jitter(random),
                                       1.0f + 0.9f * static_cast<float>(i / 25),
                                       0.9f * static_cast<float>((i / 5) % 5 - 2) + jitter(random));
        dgApiBodySetMatrix(boxes.back(), place.data());
    }
    scene.Step(steps);
    std::vector<Mat4> poses(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); i++) {
        dgApiBodyGetMatrix(boxes[i], poses[i].data());
    }
    return poses;
}

/// Blocks of many sizes from the runtime's heap, every other one freed, so that later requests land in
/// holes below earlier ones.
struct ScatteredHeap {
    std::vector<void*> blocks;

    ScatteredHeap() {
        std::mt19937 random(11);
        for (int i = 0; i < 4000; i++) {
            blocks.push_back(std::malloc(16 + random() % (96 * 1024)));
        }
        for (std::size_t i = 0; i < blocks.size(); i += 2) {
            std::free(blocks[i]);
            blocks[i] = nullptr;
        }
    }
    ~ScatteredHeap() {
        for (void* block : blocks) {
            std::free(block);
        }
    }
};

/// Boxes whose pose is not bit-identical to the reference's.
int Differing(const std::vector<Mat4>& poses, const std::vector<Mat4>& reference) {
    int count = 0;
    for (std::size_t i = 0; i < poses.size(); i++) {
        count += poses[i] != reference[i] ? 1 : 0;
    }
    return count;
}

/// FNV-1a over the bits of every matrix.
unsigned long long HashPoses(const std::vector<Mat4>& poses) {
    unsigned long long hash = 14695981039346656037ull;
    for (const Mat4& m : poses) {
        unsigned char bytes[sizeof(Mat4)];
        std::memcpy(bytes, m.data(), sizeof(Mat4));
        for (unsigned char byte : bytes) {
            hash = (hash ^ byte) * 1099511628211ull;
        }
    }
    return hash;
}

/// Who called back, in call order: the user data of each vehicle's tire callback and of each joint's
/// destructor.
std::vector<void*> g_callbacks;
dgWorld* g_world = nullptr;
std::vector<dgJointBase*> g_doomed;

void LogCallback(dgJointBase* joint) {
    g_callbacks.push_back(dgApiJointGetUserData(joint));
}

void DestroyDoomedJoints(dgBody* body) {
    jointscene::Weight(body);
    for (dgJointBase* joint : g_doomed) {
        dgApiDestroyJoint(g_world, joint);
    }
    g_doomed.clear();
}

/// Two vehicles and then two ball joints, each made on a pool record released before: in the order
/// released (placed as made) or the reverse (the later one below the earlier). One step in which the
/// ball joints are destroyed from a force callback; returns who called back, in order.
std::vector<void*> CallbackOrderOfOneStep(bool reversePlaces) {
    jointscene::JointWorld scene;
    g_world = scene.m_world;
    g_callbacks.clear();
    const jointscene::Vec3 up = {0.0f, 1.0f, 0.0f};
    const jointscene::Vec3 pivot = {0.0f, 0.0f, 0.0f};
    std::vector<dgBody*> bodies;
    for (int i = 0; i < 4; i++) {
        bodies.push_back(scene.AddBox({1, 1, 1}, 1, jointscene::JointWorld::Translation({5.0f * i, 0, 0})));
    }
    dgJointBase* placeholders[] = {dgApiVehicleCreate(g_world, up.data(), bodies[0]),
                                   dgApiVehicleCreate(g_world, up.data(), bodies[1]),
                                   dgApiJointCreateBall(g_world, pivot.data(), bodies[2], nullptr),
                                   dgApiJointCreateBall(g_world, pivot.data(), bodies[3], nullptr)};
    for (int i : reversePlaces ? std::vector<int>{1, 0, 3, 2} : std::vector<int>{0, 1, 2, 3}) {
        dgApiDestroyJoint(g_world, placeholders[i]);
    }
    dgJointBase* made[] = {dgApiVehicleCreate(g_world, up.data(), bodies[0]),
                           dgApiVehicleCreate(g_world, up.data(), bodies[1]),
                           dgApiJointCreateBall(g_world, pivot.data(), bodies[2], nullptr),
                           dgApiJointCreateBall(g_world, pivot.data(), bodies[3], nullptr)};
    EXPECT_EQ(std::less<>()(made[1], made[0]), reversePlaces);
    EXPECT_EQ(std::less<>()(made[3], made[2]), reversePlaces);
    for (std::size_t i = 0; i < 4; i++) {
        dgApiJointSetUserData(made[i], reinterpret_cast<void*>(i + 1));
    }
    dgApiVehicleSetTireCallback(made[0], LogCallback);
    dgApiVehicleSetTireCallback(made[1], LogCallback);
    dgApiJointSetDestructor(made[2], LogCallback);
    dgApiJointSetDestructor(made[3], LogCallback);
    g_doomed = {made[3], made[2]};
    dgApiBodySetForceAndTorqueCallback(bodies[3], DestroyDoomedJoints);
    scene.Step();
    return g_callbacks;
}

} // namespace

// The pile's poses as the solver gave them before it was made faster: speed work must not move a bit.
// The scalar build's alone: the packed one sums in another order, so its bits are its own.
TEST(dgApiDeterminism, APileFollowsItsGoldenTrajectory) {
    FloorWorld scene;
    dgApiWorldSetSimdMode(scene.m_world, 0);
    EXPECT_EQ(HashPoses(StepPile(scene, 120)), 0xfa761302de104d67ull);
}

BOTH_BUILDS_SUITE(dgApiDeterminismStepping);

TEST_P(dgApiDeterminismStepping, APileStepsBitIdenticallyAfterAnyHeapHistory) {
    std::vector<Mat4> reference;
    {
        FloorWorld scene;
        reference = StepPile(scene);
    }
    const ScatteredHeap heap;
    {
        FloorWorld scene;
        EXPECT_EQ(Differing(StepPile(scene), reference), 0) << "after blocks were allocated and half freed";
    }
    FloorWorld other;
    std::vector<dgBody*> doomed;
    for (int i = 0; i < 300; i++) {
        doomed.push_back(other.AddBox(30.0f + static_cast<float>(i)));
    }
    {
        FloorWorld scene;
        EXPECT_EQ(Differing(StepPile(scene), reference), 0) << "with another world alive";
    }
    // Released records are reused first, in an order of their own.
    std::shuffle(doomed.begin(), doomed.end(), std::mt19937(5));
    for (dgBody* body : doomed) {
        dgApiBodyDestroy(other.m_world, body);
    }
    EXPECT_EQ(Differing(StepPile(other), reference), 0) << "in a world whose bodies were destroyed";
}

TEST(dgApiDeterminism, VehiclesAndDeferredDestructionsCallBackInCreationOrderWhereverTheirRecordsLie) {
    const auto id = [](std::uintptr_t i) { return reinterpret_cast<void*>(i); };
    // Three vehicle sub-steps of a 60 Hz step, then the joints destroyed in it.
    const std::vector<void*> expected = {id(1), id(2), id(1), id(2), id(1), id(2), id(3), id(4)};
    EXPECT_EQ(CallbackOrderOfOneStep(false), expected);
    EXPECT_EQ(CallbackOrderOfOneStep(true), expected);
}
