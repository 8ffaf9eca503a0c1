// Whole scene updates at 1/60 s: the physics world stepped through the scene, with its force and
// transform callbacks on every moving body and its contact callbacks on every pair, so that their cost
// shows beside the engine's own rain_1000 (bench_physics_scenes), which applies gravity directly; and
// the same rain with an event registered for every cube's landing.

#include "renderer/IOrvalenD3D.h"
#include "scene3d/IOrvalen3DD3D.h"
#include "scene3d/SceneEventTables.h"
#include "support/SceneScenes.h"

#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgWorld.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>

namespace {

/// Contact points in use over all contact joints of the world.
int CountContacts(const dgWorld* world) {
    int contacts = 0;
    for (auto* node = world->m_contactJointPool.m_activeList.GetFirst(); node != nullptr; node = node->GetNext()) {
        contacts += node->GetInfo()->m_pointCount;
    }
    return contacts;
}

/// Each cube of the rain registered under its own event id with what it lands on: the cube made before
/// it in its column of ten (ids follow the columns upwards), or the floor (id 0) for the lowest.
void RegisterEveryLanding(IOrvalen3DD3D& scene) {
    for (std::uint32_t id = 1; id < scene.ObjectCount; ++id) {
        const std::uint32_t below = (id - 1) % 10 == 0 ? 0 : id - 1;
        scene.RegisterEvent(scene.Objects[below], scene.Objects[id], static_cast<std::int32_t>(id - 1));
    }
}

/// `prepare` runs on the scene after the rain is made, outside the timing.
void RunSceneRain(benchmark::State& state, void (*prepare)(IOrvalen3DD3D&)) {
    const int steps = static_cast<int>(state.range(0));
    double steppingSeconds = 0.0;
    int bodies = 0;
    int contacts = 0;
    int fired = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Gravity lives in the renderer; the scene draws nothing here, so no device is needed.
        IOrvalenD3D renderer(0);
        auto scene = std::make_unique<IOrvalen3DD3D>();
        IOrvalenRenderer* handle = &renderer;
        scene->SetRenderer(&handle);
        scene->SetGravity(0.0f, -10.0f, 0.0f);
        scene_scenes::Rain(*scene);
        if (prepare != nullptr) {
            prepare(*scene);
        }
        bodies = static_cast<int>(scene->ObjectCount) - 1;
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < steps; i++) {
            scene->Update(scene_scenes::kStep);
        }
        steppingSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.PauseTiming();
        contacts = CountContacts(scene->World);
        fired = 0;
        for (std::int32_t id = 0; id < SceneEventTables::kEventIds; ++id) {
            fired += scene->CheckEvent(id) ? 1 : 0;
        }
        scene.reset();
        state.ResumeTiming();
    }
    const double totalSteps = static_cast<double>(state.iterations()) * steps;
    state.counters["ms_per_step"] = 1000.0 * steppingSeconds / totalSteps;
    state.counters["bodies"] = bodies;
    state.counters["contacts"] = contacts;
    state.counters["events_fired"] = fired;
}

void BM_SceneRain(benchmark::State& state) {
    RunSceneRain(state, nullptr);
}

/// The same rain with 1000 contact events: what the contact callbacks add to a step when every landing
/// fires one.
void BM_SceneEvents(benchmark::State& state) {
    RunSceneRain(state, RegisterEveryLanding);
}

BENCHMARK(BM_SceneRain)->Name("scene_rain_1000")->Arg(240)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneEvents)->Name("scene_events_1000")->Arg(240)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
