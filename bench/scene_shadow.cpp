// One shadow build of a 3D object whose every triangle faces the light, at growing sizes: triangles that
// share no edge (every edge stays in the silhouette, the most the edge list can hold) and a grid whose
// inner edges cancel in pairs (only its border stays).

#include "renderer/IOrvalenD3D.h"
#include "scene3d/IOrvalen3DD3D.h"
#include "scene3d/IOrvalen3DD3DObject.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

/// The grid's width in cells; its height grows with the triangle count.
constexpr std::uint32_t kGridColumns = 100;

struct Mesh {
    std::vector<Vertex3D> vertices;
    std::vector<std::uint32_t> indices;
};

/// (x, y, 0), (x + 1, y, 0), (x, y + 1, 0) faces the light (0, 0, -1).
Vertex3D At(float x, float y) {
    return Vertex3D(x, y, 0.0f, 0.0f, 0.0f, -1.0f, 0x00FFFFFF, 0.0f, 0.0f, 0.0f, 0.0f);
}

Mesh Disjoint(std::uint32_t triangles) {
    Mesh mesh;
    for (std::uint32_t t = 0; t < triangles; ++t) {
        const float x = 2.0f * static_cast<float>(t % 256), y = 2.0f * static_cast<float>(t / 256);
        for (const Vertex3D& corner : {At(x, y), At(x + 1, y), At(x, y + 1)}) {
            mesh.indices.push_back(static_cast<std::uint32_t>(mesh.vertices.size()));
            mesh.vertices.push_back(corner);
        }
    }
    return mesh;
}

Mesh Grid(std::uint32_t triangles) {
    Mesh mesh;
    const std::uint32_t rows = triangles / (2 * kGridColumns), stride = kGridColumns + 1;
    for (std::uint32_t y = 0; y <= rows; ++y) {
        for (std::uint32_t x = 0; x <= kGridColumns; ++x) {
            mesh.vertices.push_back(At(static_cast<float>(x), static_cast<float>(y)));
        }
    }
    for (std::uint32_t y = 0; y < rows; ++y) {
        for (std::uint32_t x = 0; x < kGridColumns; ++x) {
            const std::uint32_t corner = y * stride + x;
            for (const std::uint32_t index :
                 {corner, corner + 1, corner + stride, corner + 1, corner + stride + 1, corner + stride}) {
                mesh.indices.push_back(index);
            }
        }
    }
    return mesh;
}

void RunShadowBuild(benchmark::State& state, Mesh (*make)(std::uint32_t)) {
    const Mesh mesh = make(static_cast<std::uint32_t>(state.range(0)));
    // The build reads the renderer's far plane only; no device is needed.
    IOrvalenD3D renderer(0);
    auto scene = std::make_unique<IOrvalen3DD3D>();
    IOrvalenRenderer* handle = &renderer;
    scene->SetRenderer(&handle);
    IOrvalen3DObject* object =
        scene->BeginObjectBuild(static_cast<std::uint32_t>(mesh.vertices.size()), mesh.vertices.data());
    const auto triangles = static_cast<std::int32_t>(mesh.indices.size() / 3);
    if (object == nullptr || !scene->AddObjectParts(object, "default", triangles, mesh.indices.data()) ||
        !scene->EndObjectBuild(object, true)) {
        state.SkipWithError("the object could not be built");
        return;
    }
    const auto& built = *static_cast<IOrvalen3DD3DObject*>(object);
    for (auto _ : state) {
        object->BuildShadowVolume(0.0f, 0.0f, -1.0f);
        benchmark::DoNotOptimize(built.ShadowTriangleCount);
    }
    state.counters["triangles"] = triangles;
    state.counters["silhouette_edges"] = built.ShadowEdgeCount;
    state.SetItemsProcessed(state.iterations() * triangles);
}

void BM_ShadowDisjoint(benchmark::State& state) {
    RunShadowBuild(state, Disjoint);
}

void BM_ShadowGrid(benchmark::State& state) {
    RunShadowBuild(state, Grid);
}

/// 8,000 to 64,000 triangles: the time should double with the size.
void Sizes(benchmark::internal::Benchmark* bench) {
    bench->Arg(8000)->Arg(16000)->Arg(32000)->Arg(64000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ShadowDisjoint)->Name("shadow_disjoint")->Apply(Sizes);
BENCHMARK(BM_ShadowGrid)->Name("shadow_grid")->Apply(Sizes);

} // namespace

BENCHMARK_MAIN();
