// Level geometry as a polygon soup: building the double-plane tree from a terrain's triangles, and
// walking it by box and by segment.

#include "physics/collision/dgDoublePlaneBSPPolygonSoup.h"
#include "physics/collision/dgPolygonSoupBuilder.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// An n x n grid of unit squares, two triangles each, over rolling hills.
struct Terrain {
    std::vector<dgFloat32> m_vertices;
    std::vector<dgInt32> m_counts;
    std::vector<dgInt32> m_indices;
    std::vector<dgInt32> m_attributes;

    explicit Terrain(dgInt32 n) {
        for (dgInt32 j = 0; j <= n; j++) {
            for (dgInt32 i = 0; i <= n; i++) {
                const auto x = static_cast<dgFloat32>(i);
                const auto z = static_cast<dgFloat32>(j);
                m_vertices.insert(m_vertices.end(), {x, 2.0f * std::sin(x * 0.3f) * std::cos(z * 0.2f), z});
            }
        }
        for (dgInt32 j = 0; j < n; j++) {
            for (dgInt32 i = 0; i < n; i++) {
                const dgInt32 a = j * (n + 1) + i;
                const dgInt32 d = a + n + 1;
                m_indices.insert(m_indices.end(), {a, d + 1, a + 1, a, d, d + 1});
                m_counts.insert(m_counts.end(), {3, 3});
                m_attributes.insert(m_attributes.end(), {1, 1});
            }
        }
    }

    void Build(dgDoublePlaneBSPPolygonSoup& soup) const {
        dgPolygonSoupBuilder builder;
        builder.Begin();
        builder.AddMesh(m_vertices.data(), static_cast<dgInt32>(m_vertices.size() / 3), 12,
                        static_cast<dgInt32>(m_counts.size()), m_counts.data(), m_indices.data(), m_attributes.data(),
                        dgGetIdentityMatrix());
        builder.End();
        soup.BuildSoupTree(builder);
    }
};

dgInt32 CountFace(void* context, const dgFloat32*, dgInt32, const dgInt32*, dgInt32) {
    ++*static_cast<dgInt64*>(context);
    return 1;
}

void BuildTree(benchmark::State& state) {
    const Terrain terrain(static_cast<dgInt32>(state.range(0)));
    for (auto _ : state) {
        auto* soup = new dgDoublePlaneBSPPolygonSoup();
        terrain.Build(*soup);
        benchmark::DoNotOptimize(soup->GetNodes());
        dgRefRelease(soup);
    }
    state.counters["faces"] = static_cast<double>(terrain.m_counts.size());
}

// Boxes of 2 x 4 x 2 units dropped at random over the terrain, as a body's box would be.
void BoxQuery(benchmark::State& state) {
    const auto n = static_cast<dgInt32>(state.range(0));
    const Terrain terrain(n);
    auto* soup = new dgDoublePlaneBSPPolygonSoup();
    terrain.Build(*soup);
    std::mt19937 random(7);
    std::uniform_real_distribution<dgFloat32> along(0.0f, static_cast<dgFloat32>(n - 2));
    std::vector<dgVector> corners;
    for (dgInt32 i = 0; i < 1024; i++) {
        corners.emplace_back(along(random), -2.0f, along(random), 0.0f);
    }
    dgInt64 faces = 0;
    dgInt64 queries = 0;
    for (auto _ : state) {
        const dgVector& lo = corners[static_cast<std::size_t>(queries++ & 1023)];
        soup->ForEachPolygonInBox(lo, lo.Add(dgVector(2.0f, 4.0f, 2.0f, 0.0f)), CountFace, &faces);
    }
    state.counters["faces_per_query"] = static_cast<double>(faces) / static_cast<double>(queries);
    dgRefRelease(soup);
}

// Vertical and slanted segments from above the terrain to below it, nearest hit.
void RayQuery(benchmark::State& state) {
    const auto n = static_cast<dgInt32>(state.range(0));
    const Terrain terrain(n);
    auto* soup = new dgDoublePlaneBSPPolygonSoup();
    terrain.Build(*soup);
    std::mt19937 random(11);
    std::uniform_real_distribution<dgFloat32> along(1.0f, static_cast<dgFloat32>(n - 1));
    std::vector<std::pair<dgVector, dgVector>> rays;
    for (dgInt32 i = 0; i < 1024; i++) {
        const dgVector top(along(random), 10.0f, along(random), 0.0f);
        rays.emplace_back(top, top.Add(dgVector(along(random) * 0.05f, -20.0f, 0.0f, 0.0f)));
    }
    dgInt64 queries = 0;
    dgInt64 hits = 0;
    for (auto _ : state) {
        const auto& [p0, p1] = rays[static_cast<std::size_t>(queries++ & 1023)];
        hits += SoupRayCastClosest(*soup, p0, p1) < 1.0f ? 1 : 0;
    }
    state.counters["hit_ratio"] = static_cast<double>(hits) / static_cast<double>(queries);
    dgRefRelease(soup);
}

} // namespace

BENCHMARK(BuildTree)->Name("BM_dgDoublePlaneBSPPolygonSoup_Build_terrain")->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BoxQuery)->Name("BM_dgDoublePlaneBSPPolygonSoup_BoxQuery_terrain")->Arg(64)->Arg(256);
BENCHMARK(RayQuery)->Name("BM_dgDoublePlaneBSPPolygonSoup_RayQuery_terrain")->Arg(64)->Arg(256);

BENCHMARK_MAIN();
