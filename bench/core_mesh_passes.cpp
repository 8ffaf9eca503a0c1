// Passes run over level geometry outside the world step: stitching the seams of separately built
// pieces, sliver removal and face ordering for vertex-cache friendly drawing.

#include "physics/core/dgHalfEdgeMesh.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct Strip {
    std::vector<dgFloat32> m_vertices;
    std::vector<dgInt32> m_triangles;
};

// An n x n grid of unit squares in the plane y = 0 whose upper half is built on copies of the middle
// row's vertices, so a seam of n edges runs across it.
Strip CutGrid(dgInt32 n) {
    Strip strip;
    const dgInt32 rowSize = n + 1;
    const dgInt32 seam = n / 2;
    for (dgInt32 copy = 0; copy < 2; copy++) {
        for (dgInt32 j = 0; j <= n; j++) {
            for (dgInt32 i = 0; i <= n; i++) {
                strip.m_vertices.insert(strip.m_vertices.end(), {dgFloat32(i), 0.0f, dgFloat32(j)});
            }
        }
    }
    const dgInt32 copyBase = rowSize * rowSize;
    for (dgInt32 j = 0; j < n; j++) {
        const dgInt32 offset = j >= seam ? copyBase : 0;
        for (dgInt32 i = 0; i < n; i++) {
            const dgInt32 v00 = j * rowSize + i + offset;
            const dgInt32 v01 = v00 + rowSize;
            strip.m_triangles.insert(strip.m_triangles.end(), {v00, v01 + 1, v00 + 1, v00, v01, v01 + 1});
        }
    }
    return strip;
}

void Build(dgHalfEdgeMesh& mesh, const Strip& strip) {
    mesh.BeginFace();
    for (std::size_t i = 0; i < strip.m_triangles.size(); i += 3) {
        mesh.AddTriangle(strip.m_triangles[i], strip.m_triangles[i + 1], strip.m_triangles[i + 2]);
    }
    mesh.EndFace();
}

void BM_dgHalfEdgeMesh_StitchBorders(benchmark::State& state) {
    const Strip strip = CutGrid(static_cast<dgInt32>(state.range(0)));
    const dgVertexView vertices = dgVertexView::InFloats(strip.m_vertices.data(), 3);
    for (auto _ : state) {
        state.PauseTiming();
        dgHalfEdgeMesh mesh;
        Build(mesh, strip);
        state.ResumeTiming();
        mesh.StitchBorders(vertices, 0.001f);
    }
    state.counters["faces"] = static_cast<double>(strip.m_triangles.size() / 3);
}
BENCHMARK(BM_dgHalfEdgeMesh_StitchBorders)->Arg(16)->Arg(64)->Unit(benchmark::kMicrosecond);

void BM_dgHalfEdgeMesh_RemoveSliverTriangles(benchmark::State& state) {
    // Every other column squeezed to a width of 0.001: half the triangles are slivers.
    const dgInt32 n = static_cast<dgInt32>(state.range(0));
    Strip strip = CutGrid(n);
    for (std::size_t v = 0; v < strip.m_vertices.size(); v += 3) {
        const dgInt32 i = static_cast<dgInt32>(strip.m_vertices[v]);
        strip.m_vertices[v] = dgFloat32(i / 2) + (i % 2 == 1 ? 0.001f : 0.0f);
    }
    const dgVertexView vertices = dgVertexView::InFloats(strip.m_vertices.data(), 3);
    for (auto _ : state) {
        state.PauseTiming();
        dgHalfEdgeMesh mesh;
        Build(mesh, strip);
        state.ResumeTiming();
        mesh.RemoveSliverTriangles(vertices, 0.01f);
    }
    state.counters["faces"] = static_cast<double>(strip.m_triangles.size() / 3);
}
BENCHMARK(BM_dgHalfEdgeMesh_RemoveSliverTriangles)->Arg(16)->Arg(64)->Unit(benchmark::kMicrosecond);

void BM_dgHalfEdgeMesh_OrderFaces(benchmark::State& state) {
    const Strip strip = CutGrid(static_cast<dgInt32>(state.range(0)));
    dgHalfEdgeMesh mesh;
    Build(mesh, strip);
    for (auto _ : state) {
        benchmark::DoNotOptimize(mesh.OrderFaces());
    }
    state.counters["faces"] = static_cast<double>(strip.m_triangles.size() / 3);
}
BENCHMARK(BM_dgHalfEdgeMesh_OrderFaces)->Arg(16)->Arg(64)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
