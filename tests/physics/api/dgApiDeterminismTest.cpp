// The same calls give bit-identical poses whatever the heap held before: bodies are ordered by creation,
// never by address. Meant for the plain build, whose allocator hands out addresses in any order.

#include "ApiTestScene.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
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
