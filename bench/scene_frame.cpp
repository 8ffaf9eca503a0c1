// Whole 3D frames on the stand-in device at 640 x 480: one scene update at 1/60 s, every object's
// shadow volume built, and the scene's Render of every object with shadows inside the host's frame.
// The control API records the draws, counted as draw_calls and triangles_sent; the frames include that
// recording, and its record is cleared between frames, outside the timing.

#include "orvalen.h"
#include "platform/control.h"
#include "scene3d/IOrvalen3DD3D.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"
#include "host/LevelMeshes.h"
#include "support/SceneScenes.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

namespace {

constexpr const char* kWindowName = "Bench Scene Frame";
constexpr float kLight[3] = {0.5f, -1.0f, 0.3f};

/// Unit cubes resting on a floor in a square grid 1.5 apart, under one white directional light, seen
/// from above so that all of them are in view.
std::vector<IOrvalen3DD3DObject*> BuildScene(IOrvalenRenderer& renderer, IOrvalen3DD3D& scene, int objects) {
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<float>(objects))));
    const float extent = 1.5f * static_cast<float>(side);
    renderer.SetProjection(D3DX_PI / 4, 1.0f, 4.0f * extent + 20.0f);
    renderer.SetCamera(0, 1.3f * extent + 5.0f, -0.6f * extent, 0, 0, 0, 0, 1, 0);
    scene.SetGravity(0, -10, 0);
    scene.CreateLight(0, 0);
    scene.SetLightDiffuse(1, 1, 1, 0);
    scene.SetDirection(kLight[0], kLight[1], kLight[2], 0);
    scene.SetLight(0);
    std::vector<IOrvalen3DD3DObject*> drawn{scene_scenes::Floor(scene, extent + 4.0f)};
    for (int i = 0; i < objects; ++i) {
        const float x = 1.5f * static_cast<float>(i % side) - 0.5f * extent;
        const float z = 1.5f * static_cast<float>(i / side) - 0.5f * extent;
        drawn.push_back(scene_scenes::DroppedCube(scene, x, 0.5f, z));
    }
    return drawn;
}

void Frame(IOrvalenRenderer& renderer, IOrvalen3DD3D& scene, const std::vector<IOrvalen3DD3DObject*>& objects) {
    renderer.Clear(true, true, true, 0xFF000000u);
    renderer.StartRendering();
    scene.Begin3D();
    scene.Update(scene_scenes::kStep);
    objects[0]->DrawFlag = 1;
    for (std::size_t i = 1; i < objects.size(); ++i) {
        objects[i]->BuildShadowVolume(kLight[0], kLight[1], kLight[2]);
        objects[i]->DrawFlag = 1;
        objects[i]->ShadowFlag = 1;
    }
    scene.Render();
    scene.End3D();
    renderer.EndRendering();
}

/// A started 640 x 480 renderer with a 3D interface on a new window; null, with the run skipped, when
/// the stand-in refuses it.
IOrvalenRenderer* StartRenderer(benchmark::State& state, HWND& window) {
    platform::ResetPlatform();
    platform::RecordCalls(true);
    window = platform::CreateHostWindow(kWindowName, 640, 480);
    IOrvalenRenderer* renderer = nullptr;
    if (CreateOrvalenRenderer(0, &renderer) != 1 ||
        renderer->Initialize(kWindowName, 640, 480, 0, true, true, false) != 1 ||
        !renderer->CreateViewport(0, 0, 640, 480) || renderer->Create3DInterface() != 1) {
        state.SkipWithError("no renderer");
        DestroyOrvalenRenderer(&renderer);
        platform::DestroyHostWindow(window);
        return nullptr;
    }
    return renderer;
}

void StopRenderer(IOrvalenRenderer* renderer, HWND window) {
    renderer->Destroy3DInterface();
    DestroyOrvalenRenderer(&renderer);
    platform::DestroyHostWindow(window);
}

void BM_SceneFrame(benchmark::State& state) {
    const int objects = static_cast<int>(state.range(0));
    HWND window = nullptr;
    IOrvalenRenderer* renderer = StartRenderer(state, window);
    if (renderer == nullptr) {
        return;
    }
    auto& scene = *static_cast<IOrvalen3DD3D*>(renderer->Interface3D);
    const std::vector<IOrvalen3DD3DObject*> drawn = BuildScene(*renderer, scene, objects);
    Frame(*renderer, scene, drawn); // warm-up
    int shadowTriangles = 0;
    std::size_t drawCalls = 0;
    double frameSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        platform::ClearCallTrace();
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        Frame(*renderer, scene, drawn);
        frameSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.PauseTiming();
        drawCalls = platform::DrawnPrimitiveCalls().size();
        state.ResumeTiming();
    }
    for (std::size_t i = 1; i < drawn.size(); ++i) {
        shadowTriangles += drawn[i]->ShadowTriangleCount;
    }
    state.counters["ms_per_frame"] = 1000.0 * frameSeconds / static_cast<double>(state.iterations());
    state.counters["objects"] = static_cast<double>(drawn.size());
    state.counters["shadow_triangles"] = shadowTriangles;
    state.counters["draw_calls"] = static_cast<double>(drawCalls);
    StopRenderer(renderer, window);
}

/// A checker floor of 100 x 100 cells (20,000 triangles) seen from its centre looking along +z: the
/// half behind the camera is culled triangle by triangle before anything is sent.
void BM_LevelFrame(benchmark::State& state) {
    HWND window = nullptr;
    IOrvalenRenderer* renderer = StartRenderer(state, window);
    if (renderer == nullptr) {
        return;
    }
    auto& scene = *static_cast<IOrvalen3DD3D*>(renderer->Interface3D);
    LevelMesh mesh;
    mesh.AddCheckerFloor(100, 1.0f, "grass", "stone");
    IOrvalen3DLevelObject* level = mesh.Build(scene);
    renderer->SetProjection(D3DX_PI / 4, 1.0f, 200.0f);
    renderer->SetCamera(0, 3, 0, 0, 0, 50, 0, 1, 0);
    const auto frame = [&] {
        renderer->Clear(true, true, true, 0xFF000000u);
        renderer->StartRendering();
        scene.Begin3D();
        level->Render();
        scene.End3D();
        renderer->EndRendering();
    };
    frame(); // warm-up
    double frameSeconds = 0.0;
    UINT sent = 0;
    for (auto _ : state) {
        state.PauseTiming();
        platform::ClearCallTrace();
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        frame();
        frameSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.PauseTiming();
        sent = 0;
        for (const platform::DrawnPrimitives& draw : platform::DrawnPrimitiveCalls()) {
            sent += draw.primitiveCount;
        }
        state.ResumeTiming();
    }
    state.counters["ms_per_frame"] = 1000.0 * frameSeconds / static_cast<double>(state.iterations());
    state.counters["triangles"] = 20000;
    state.counters["triangles_sent"] = sent;
    scene.DestroyLevel(level);
    StopRenderer(renderer, window);
}

BENCHMARK(BM_LevelFrame)->Name("level_frame_20000")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SceneFrame)->Name("scene_frame_100")->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SceneFrame)->Name("scene_frame_1000")->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
