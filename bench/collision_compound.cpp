// Compound shapes against each other: the child-pair sweep alone, and whole contact queries of two rows
// of cubes lying across each other, as a chassis or a rubble pile meets another.

#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCompoundCollision.h"
#include "physics/dynamics/dgWorld.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

dgMatrix Translation(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    dgMatrix m = dgGetIdentityMatrix();
    m.posit = dgVector(x, y, z, 1.0f);
    return m;
}

std::vector<dgCompoundCollision::ChildBox> RandomBoxes(std::mt19937& engine, dgInt32 count) {
    std::uniform_real_distribution<dgFloat32> centre(-20.0f, 20.0f);
    std::uniform_real_distribution<dgFloat32> half(0.2f, 1.7f);
    std::vector<dgCompoundCollision::ChildBox> boxes(static_cast<std::size_t>(count));
    for (auto& box : boxes) {
        const dgVector c(centre(engine), centre(engine), centre(engine), 1.0f);
        const dgVector h(half(engine), half(engine), half(engine), 0.0f);
        box.m_min = c.Sub(h);
        box.m_max = c.Add(h);
    }
    return boxes;
}

void BM_dgCompoundCollision_ChildPairSweep(benchmark::State& state) {
    const auto count = static_cast<dgInt32>(state.range(0));
    std::mt19937 engine(5);
    const auto boxes0 = RandomBoxes(engine, count);
    const auto boxes1 = RandomBoxes(engine, count);
    dgInt64 pairs = 0;
    for (auto _ : state) {
        dgCompoundCollision::ForEachOverlappingChildPair(
            count, boxes0.data(), count, boxes1.data(),
            [](void* context, dgInt32, dgInt32) { ++*static_cast<dgInt64*>(context); }, &pairs);
    }
    state.counters["children"] = static_cast<double>(2 * count);
    state.counters["pairs"] =
        benchmark::Counter(static_cast<double>(pairs), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_dgCompoundCollision_ChildPairSweep)->Arg(50)->Arg(200)->Arg(1000);

// Two rows of unit cubes 0.8 apart, the second laid on the first and sunk by 0.1.
void BM_dgWorld_CollideCompoundRows(benchmark::State& state) {
    const auto count = static_cast<dgInt32>(state.range(0));
    auto* world = new dgWorld;
    std::vector<dgCollision*> children;
    for (dgInt32 i = 0; i < count; i++) {
        children.push_back(new dgCollisionBox(0u, 1.0f, 1.0f, 1.0f,
                                              Translation(0.8f * static_cast<dgFloat32>(i), 0.0f, 0.0f)));
    }
    dgCompoundCollision* row = world->CreateCompound(count, children.data());
    for (dgCollision* child : children) {
        world->ReleaseCollision(child);
    }
    dgFloat32 points[3 * dgWorld::kMaxQueryContacts];
    dgFloat32 normals[3 * dgWorld::kMaxQueryContacts];
    dgFloat32 penetrations[dgWorld::kMaxQueryContacts];
    dgInt64 contacts = 0;
    const dgMatrix above = Translation(0.4f, 0.9f, 0.0f);
    for (auto _ : state) {
        contacts += world->Collide(row, dgGetIdentityMatrix(), row, above, points, normals, penetrations, 16);
        benchmark::DoNotOptimize(points);
    }
    state.counters["children"] = static_cast<double>(2 * count);
    state.counters["contacts"] =
        benchmark::Counter(static_cast<double>(contacts), benchmark::Counter::kAvgIterations);
    world->ReleaseCollision(row);
    delete world;
}
BENCHMARK(BM_dgWorld_CollideCompoundRows)->Arg(10)->Arg(200);

} // namespace

BENCHMARK_MAIN();
