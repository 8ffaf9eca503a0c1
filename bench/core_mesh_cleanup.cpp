// The clean-up pipeline that level geometry goes through before its polygon soup is built:
// triangulation, small-face removal, simplification by edge collapse and coplanar merging.

#include "physics/core/dgHalfEdgeMesh.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

struct Surface {
    std::vector<dgFloat32> m_vertices;
    std::vector<dgInt32> m_triangles;
};

// An n x n grid of unit squares split into triangles; heights from height(i, j).
template <class Height> Surface Grid(dgInt32 n, Height height) {
    Surface surface;
    for (dgInt32 j = 0; j <= n; j++) {
        for (dgInt32 i = 0; i <= n; i++) {
            surface.m_vertices.insert(surface.m_vertices.end(), {dgFloat32(i), height(i, j), dgFloat32(j)});
        }
    }
    for (dgInt32 j = 0; j < n; j++) {
        for (dgInt32 i = 0; i < n; i++) {
            const dgInt32 v00 = j * (n + 1) + i;
            const dgInt32 v01 = v00 + n + 1;
            surface.m_triangles.insert(surface.m_triangles.end(), {v00, v01 + 1, v00 + 1, v00, v01, v01 + 1});
        }
    }
    return surface;
}

void Build(dgHalfEdgeMesh& mesh, const Surface& surface) {
    mesh.BeginFace();
    for (std::size_t i = 0; i < surface.m_triangles.size(); i += 3) {
        mesh.AddTriangle(surface.m_triangles[i], surface.m_triangles[i + 1], surface.m_triangles[i + 2]);
    }
    mesh.EndFace();
}

void RunOptimize(benchmark::State& state, const Surface& surface) {
    const dgVertexView vertices = dgVertexView::InFloats(surface.m_vertices.data(), 3);
    dgInt32 facesOut = 0;
    for (auto _ : state) {
        state.PauseTiming();
        dgHalfEdgeMesh mesh;
        Build(mesh, surface);
        dgHalfEdgeMesh reject;
        state.ResumeTiming();
        mesh.Optimize(vertices, &reject);
        state.PauseTiming();
        facesOut = mesh.CountFaces();
        state.ResumeTiming();
    }
    const auto facesIn = static_cast<dgInt32>(surface.m_triangles.size() / 3);
    state.counters["faces_in"] = facesIn;
    state.counters["faces_out"] = facesOut;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * facesIn);
}

void BM_dgHalfEdgeMesh_Optimize_FlatGrid(benchmark::State& state) {
    const Surface surface = Grid(100, [](dgInt32, dgInt32) { return 0.0f; });
    RunOptimize(state, surface);
}
BENCHMARK(BM_dgHalfEdgeMesh_Optimize_FlatGrid)->Unit(benchmark::kMillisecond);

// 71 x 71 cells: 10082 triangles over random heights, rough enough that little of it simplifies.
void BM_dgHalfEdgeMesh_Optimize_RandomTerrain(benchmark::State& state) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<dgFloat32> height(0.0f, 2.0f);
    std::vector<dgFloat32> heights(72 * 72);
    for (dgFloat32& h : heights) {
        h = height(rng);
    }
    const Surface surface = Grid(71, [&heights](dgInt32 i, dgInt32 j) { return heights[j * 72 + i]; });
    RunOptimize(state, surface);
}
BENCHMARK(BM_dgHalfEdgeMesh_Optimize_RandomTerrain)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
