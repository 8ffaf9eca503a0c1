// Whole world steps of the named scenes, built as the tests and the peer benchmark build them, at 1/60 s on
// the real contact calculation: broad phase, narrow phase, contact joints, islands, the constraint solver
// and the integration. Each run builds the scene and steps it from rest (or from its drop) for a fixed
// number of steps; the counters give the cost per step, the contact points in use at the end, how many
// bodies are asleep (their island put to rest) or at rest, and the step after which nothing was awake
// (-1: not within the run); the label gives the hash of the start poses the peer benchmark prints too.
// pyramid_20 and rain_1000 run in both builds of the dynamics update, /scalar and /packed; the other
// scenes in the build a new world picks.

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgWorld.h"
#include "scenes/NamedSceneWorld.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <vector>

namespace {

enum class Build { kDefault, kScalar, kPacked };

/// A named scene built in a world of its own, stepped by the given build of the dynamics update.
class BuiltScene {
public:
    BuiltScene(const char* name, Build build) : m_world(dgApiWorldCreate(nullptr, nullptr)) {
        if (build != Build::kDefault) {
            dgApiWorldSetSimdMode(m_world, build == Build::kPacked ? 1 : 0);
        }
        if (!MakeNamedScene(name, m_scene) || !BuildNamedScene(m_world, m_scene, m_bodies)) {
            std::fprintf(stderr, "bench_physics_scenes: cannot build %s\n", name);
            std::abort();
        }
    }
    ~BuiltScene() { dgApiWorldDestroy(m_world); }
    BuiltScene(const BuiltScene&) = delete;
    BuiltScene& operator=(const BuiltScene&) = delete;

    void Step() { dgApiWorldUpdate(m_world, kSceneStep); }

    /// Bodies of the scene asleep (their island put to rest) and at rest (in equilibrium).
    void CountResting(int& frozen, int& atRest) const {
        frozen = 0;
        atRest = 0;
        for (const dgBody* body : m_bodies) {
            if (body->m_invMass.w == 0.0f) {
                continue;
            }
            frozen += (body->m_flags & dgBody::kActive) == 0 ? 1 : 0;
            atRest += (body->m_flags & dgBody::kEquilibrium) != 0 ? 1 : 0;
        }
    }

    /// Contact points in use over all contact joints.
    int CountContacts() const {
        int contacts = 0;
        for (auto* node = m_world->m_contactJointPool.m_activeList.GetFirst(); node != nullptr;
             node = node->GetNext()) {
            contacts += node->GetInfo()->m_pointCount;
        }
        return contacts;
    }

    NamedScene m_scene;
    dgWorld* m_world;
    std::vector<dgBody*> m_bodies; ///< in the scene's order; the world owns them
};

void BM_Scene(benchmark::State& state, const char* name, Build build) {
    const int steps = static_cast<int>(state.range(0));
    double steppingSeconds = 0.0;
    int contacts = 0;
    int frozen = 0;
    int atRest = 0;
    int restStep = -1;
    for (auto _ : state) {
        state.PauseTiming();
        BuiltScene scene(name, build);
        state.ResumeTiming();
        restStep = -1;
        const auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < steps; i++) {
            scene.Step();
            if (restStep < 0 && scene.m_world->m_activeBodies.GetCount() == 0) {
                restStep = i + 1;
            }
        }
        steppingSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.PauseTiming();
        contacts = scene.CountContacts();
        scene.CountResting(frozen, atRest);
        state.ResumeTiming();
    }
    NamedScene scene;
    MakeNamedScene(name, scene);
    // The peer benchmark prints the same body count and start poses for the scene.
    char label[64];
    std::snprintf(label, sizeof(label), "start poses %016llx", HashPoses(scene.InitialPoses()));
    state.SetLabel(label);
    const double totalSteps = static_cast<double>(state.iterations()) * steps;
    state.counters["ms_per_step"] = 1000.0 * steppingSeconds / totalSteps;
    state.counters["contacts"] = contacts;
    state.counters["bodies"] = scene.DynamicCount();
    state.counters["frozen"] = frozen;
    state.counters["at_rest"] = atRest;
    state.counters["all_frozen_at_step"] = restStep;
}

struct SceneRun {
    const char* title;
    const char* scene;
    Build build;
    int steps;
};

// rain_soup_1000: boxes and balls onto a triangle terrain, the convex-against-soup narrow phase.
constexpr SceneRun kSceneRuns[] = {
    {"tower_10", "tower_10", Build::kDefault, 180},
    {"pyramid_20/scalar", "pyramid_20", Build::kScalar, 180},
    {"pyramid_20/packed", "pyramid_20", Build::kPacked, 180},
    {"rain_1000/scalar", "rain_1000", Build::kScalar, 240},
    {"rain_1000/packed", "rain_1000", Build::kPacked, 240},
    {"rain_soup_1000", "rain_soup_1000", Build::kDefault, 90},
};

[[maybe_unused]] const bool kScenesRegistered = [] {
    for (const SceneRun& run : kSceneRuns) {
        benchmark::RegisterBenchmark(run.title, BM_Scene, run.scene, run.build)
            ->Arg(run.steps)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
