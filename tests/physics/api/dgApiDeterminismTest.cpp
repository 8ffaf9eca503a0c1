// The same calls give bit-identical poses whatever the heap held before: bodies are ordered by creation,
// never by address. Runs in the plain build too, where the allocator hands out addresses in any order.

#include "ApiTestScene.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int kPileBoxes = 200;
constexpr int kPileSteps = 90;

/// 200 boxes of a few sizes dropped in a loose heap onto the floor, so they touch in one large island;
/// returns their 16-float matrices after the steps, in creation order.
std::vector<Mat4> StepPile(FloorWorld& scene) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-0.2f, 0.2f);
    std::vector<dgBody*> boxes;
    for (int i = 0; i < kPileBoxes; i++) {
        const float edge = 0.6f + 0.1f * static_cast<float>(i % 4);
        dgBody* box = scene.AddBox(0.0f, 1.0f, {edge, edge, edge});
        const Mat4 place = Translation(static_cast<float>(i % 5) * 0.9f - 1.8f + jitter(random),
                                       1.0f + static_cast<float>(i / 25) * 0.9f,
                                       static_cast<float>((i / 5) % 5) * 0.9f - 1.8f + jitter(random));
        dgApiBodySetMatrix(box, place.data());
        boxes.push_back(box);
    }
    scene.Step(kPileSteps);
    std::vector<Mat4> poses;
    for (dgBody* box : boxes) {
        Mat4 m;
        dgApiBodyGetMatrix(box, m.data());
        poses.push_back(m);
    }
    return poses;
}

/// Blocks of many sizes from the runtime's heap, every other one freed, so later requests land in holes
/// below earlier ones.
class ScatteredHeap {
public:
    ScatteredHeap() {
        std::mt19937 random(11);
        std::uniform_int_distribution<std::size_t> size(16, 96 * 1024);
        for (int i = 0; i < 4000; i++) {
            m_blocks.push_back(std::malloc(size(random)));
        }
        for (std::size_t i = 0; i < m_blocks.size(); i += 2) {
            std::free(m_blocks[i]);
            m_blocks[i] = nullptr;
        }
    }
    ~ScatteredHeap() {
        for (void* block : m_blocks) {
            std::free(block);
        }
    }
    ScatteredHeap(const ScatteredHeap&) = delete;
    ScatteredHeap& operator=(const ScatteredHeap&) = delete;

private:
    std::vector<void*> m_blocks;
};

void ExpectSamePoses(const std::vector<Mat4>& expected, const std::vector<Mat4>& actual, const char* history) {
    ASSERT_EQ(expected.size(), actual.size());
    int differing = 0;
    for (std::size_t i = 0; i < expected.size(); i++) {
        differing += expected[i] != actual[i] ? 1 : 0;
    }
    EXPECT_EQ(differing, 0) << history;
}

} // namespace

TEST(dgApiDeterminism, APileStepsBitIdenticallyAfterAnyHeapHistory) {
    std::vector<Mat4> reference;
    {
        FloorWorld scene;
        reference = StepPile(scene);
    }
    {
        const ScatteredHeap heap;
        FloorWorld scene;
        ExpectSamePoses(reference, StepPile(scene), "after blocks were allocated and half freed");
    }
    {
        const ScatteredHeap heap;
        FloorWorld other;
        for (int i = 0; i < 150; i++) {
            other.AddBox(1.0f + static_cast<float>(i));
        }
        other.Step(2);
        FloorWorld scene;
        ExpectSamePoses(reference, StepPile(scene), "with another world alive");
    }
    const ScatteredHeap heap;
    FloorWorld scene;
    std::vector<dgBody*> doomed;
    for (int i = 0; i < 300; i++) {
        doomed.push_back(scene.AddBox(30.0f + static_cast<float>(i)));
    }
    // Released records are reused first, in an order of their own.
    std::shuffle(doomed.begin(), doomed.end(), std::mt19937(5));
    for (dgBody* body : doomed) {
        dgApiBodyDestroy(scene.m_world, body);
    }
    ExpectSamePoses(reference, StepPile(scene), "in a world whose bodies were destroyed");
}
