// Convex hull building from point clouds of growing size, and the support query on the resulting hull
// that the narrow phase asks for thousands of times per step.

#include "physics/collision/dgCollisionConvexHull.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// Points filling a ball of radius 2: the hull keeps a small part of them, as with real meshes.
std::vector<dgVector> BallCloud(int count, unsigned seed) {
    std::mt19937 engine(seed);
    std::uniform_real_distribution<dgFloat32> uniform(-2.0f, 2.0f);
    std::vector<dgVector> points;
    while (static_cast<int>(points.size()) < count) {
        const dgVector p(uniform(engine), uniform(engine), uniform(engine), 1.0f);
        if (p.DotProduct(p) <= 4.0f) {
            points.push_back(p);
        }
    }
    return points;
}

std::vector<dgVector> UnitDirections(int count, unsigned seed) {
    std::mt19937 engine(seed);
    std::normal_distribution<dgFloat32> normal(0.0f, 1.0f);
    std::vector<dgVector> dirs;
    while (static_cast<int>(dirs.size()) < count) {
        const dgVector v(normal(engine), normal(engine), normal(engine), 0.0f);
        const dgFloat32 length = std::sqrt(v.DotProduct(v));
        if (length > 1.0e-3f) {
            dirs.push_back(v.Scale(1.0f / length));
        }
    }
    return dirs;
}

void BM_HullBuild(benchmark::State& state) {
    const std::vector<dgVector> cloud = BallCloud(static_cast<int>(state.range(0)), 17);
    dgInt32 vertices = 0;
    for (auto _ : state) {
        auto* hull = new dgCollisionConvexHull(0u, static_cast<dgInt32>(cloud.size()), sizeof(dgVector), &cloud[0].x,
                                               dgGetIdentityMatrix());
        vertices = hull->GetVertexCount();
        benchmark::DoNotOptimize(hull);
        dgRefRelease(hull);
    }
    state.counters["hull_vertices"] = static_cast<double>(vertices);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_HullBuild)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_HullSupport(benchmark::State& state) {
    const std::vector<dgVector> cloud = BallCloud(static_cast<int>(state.range(0)), 23);
    auto* hull = new dgCollisionConvexHull(0u, static_cast<dgInt32>(cloud.size()), sizeof(dgVector), &cloud[0].x,
                                           dgGetIdentityMatrix());
    const std::vector<dgVector> dirs = UnitDirections(1024, 5);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hull->SupportVertex(dirs[i]));
        i = (i + 1) & 1023;
    }
    state.counters["hull_vertices"] = static_cast<double>(hull->GetVertexCount());
    dgRefRelease(hull);
}
BENCHMARK(BM_HullSupport)->Arg(100)->Arg(1000)->Arg(10000);

} // namespace
BENCHMARK_MAIN();
