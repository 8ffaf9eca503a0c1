// Vertex welding of large clouds and half-edge mesh building, the costs of level-geometry builds.

#include "physics/core/dgHalfEdgeMesh.h"
#include "physics/core/dgVertexArray.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// The 2 n² triangles of an n x n grid of squares, counter-clockwise seen from +z.
std::vector<dgInt32> GridTriangles(dgInt32 n) {
    std::vector<dgInt32> triangles;
    for (dgInt32 j = 0; j < n; j++) {
        for (dgInt32 i = 0; i < n; i++) {
            const dgInt32 v00 = j * (n + 1) + i;
            const dgInt32 v01 = v00 + n + 1;
            triangles.insert(triangles.end(), {v00, v00 + 1, v01 + 1, v00, v01 + 1, v01});
        }
    }
    return triangles;
}

// A scattered cloud in which every point is given three times with jitter below the tolerance.
std::vector<dgFloat32> JitteredCloud(dgInt32 points) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<dgFloat32> spread(-1000.0f, 1000.0f);
    std::uniform_real_distribution<dgFloat32> jitter(-0.0002f, 0.0002f);
    std::vector<dgFloat32> xyz;
    xyz.reserve(static_cast<std::size_t>(points) * 9);
    for (dgInt32 i = 0; i < points; i++) {
        const dgFloat32 x = spread(rng);
        const dgFloat32 y = spread(rng);
        const dgFloat32 z = spread(rng);
        for (dgInt32 copy = 0; copy < 3; copy++) {
            xyz.insert(xyz.end(), {x + jitter(rng), y + jitter(rng), z + jitter(rng)});
        }
    }
    return xyz;
}

void BM_dgWeldVertexList_JitteredCloud(benchmark::State& state) {
    const std::vector<dgFloat32> cloud = JitteredCloud(static_cast<dgInt32>(state.range(0)));
    const dgInt32 count = static_cast<dgInt32>(cloud.size() / 3);
    std::vector<dgFloat32> work(cloud.size());
    std::vector<dgInt32> map(static_cast<std::size_t>(count));
    dgInt32 unique = 0;
    for (auto _ : state) {
        state.PauseTiming();
        work = cloud;
        state.ResumeTiming();
        unique = dgWeldVertexList(work.data(), 12, 12, 0, count, map.data(), 0.001f);
        benchmark::DoNotOptimize(unique);
    }
    state.counters["vertices"] = count;
    state.counters["unique"] = unique;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_dgWeldVertexList_JitteredCloud)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_dgHalfEdgeMesh_BuildGrid(benchmark::State& state) {
    const dgInt32 n = static_cast<dgInt32>(state.range(0));
    const std::vector<dgInt32> triangles = GridTriangles(n);
    for (auto _ : state) {
        dgHalfEdgeMesh mesh;
        mesh.BeginFace();
        for (std::size_t i = 0; i < triangles.size(); i += 3) {
            mesh.AddTriangle(triangles[i], triangles[i + 1], triangles[i + 2]);
        }
        mesh.EndFace();
        benchmark::DoNotOptimize(mesh.GetCount());
    }
    state.counters["faces"] = static_cast<double>(triangles.size() / 3);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * (triangles.size() / 3)));
}
BENCHMARK(BM_dgHalfEdgeMesh_BuildGrid)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_dgHalfEdgeMesh_IsValid(benchmark::State& state) {
    const dgInt32 n = static_cast<dgInt32>(state.range(0));
    const std::vector<dgInt32> triangles = GridTriangles(n);
    dgHalfEdgeMesh mesh;
    for (std::size_t i = 0; i < triangles.size(); i += 3) {
        mesh.AddTriangle(triangles[i], triangles[i + 1], triangles[i + 2]);
    }
    mesh.EndFace();
    for (auto _ : state) {
        benchmark::DoNotOptimize(mesh.IsValid());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * mesh.GetCount());
}
BENCHMARK(BM_dgHalfEdgeMesh_IsValid)->Arg(64)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
