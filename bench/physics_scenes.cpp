// Whole world steps of the named scenes, built as the tests and the peer benchmark build them, at 1/60 s on
// the real contact calculation: broad phase, narrow phase, contact joints, islands, the constraint solver
// and the integration. Each run builds the scene and steps it from rest (or from its drop) for a fixed
// number of steps; the counters give the cost per step, the contact points in use at the end, how many
// bodies are asleep (their island put to rest) or at rest, and the step after which nothing was awake
// (-1: not within the run); the label gives the hash of the start poses the peer benchmark prints too.
//
// The solver kernels run on real islands too: the rows the last island of a step left in the work area
// (rain_1000 once piled, pyramid_20 while settling), timed per row.

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgWorld.h"
#include "scenes/NamedSceneWorld.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

/// A named scene built in a world of its own.
class BuiltScene {
public:
    explicit BuiltScene(const char* name) : m_world(dgApiWorldCreate(nullptr, nullptr)) {
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

void BM_Scene(benchmark::State& state, const char* name) {
    const int steps = static_cast<int>(state.range(0));
    double steppingSeconds = 0.0;
    int contacts = 0;
    int frozen = 0;
    int atRest = 0;
    int restStep = -1;
    for (auto _ : state) {
        state.PauseTiming();
        BuiltScene scene(name);
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

BENCHMARK_CAPTURE(BM_Scene, tower_10, "tower_10")->Name("tower_10")->Arg(180)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scene, pyramid_20, "pyramid_20")->Name("pyramid_20")->Arg(180)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scene, rain_1000, "rain_1000")->Name("rain_1000")->Arg(240)->Unit(benchmark::kMillisecond);
// Boxes and balls onto a triangle terrain: the convex-against-soup narrow phase.
BENCHMARK_CAPTURE(BM_Scene, rain_soup_1000, "rain_soup_1000")
    ->Name("rain_soup_1000")
    ->Arg(90)
    ->Unit(benchmark::kMillisecond);

/// The rows of one solved island, copied out of the world's work area while the world integrates it.
struct IslandRows {
    dgInt32 m_bodyCount = 0;
    dgInt32 m_rowCount = 0;
    std::vector<dgInt32> m_pairs;
    std::vector<dgFloat32> m_rowJ;
    std::vector<dgFloat32> m_rowJMinv;
    std::vector<dgRowBounds> m_bounds;
    std::vector<dgFloat32> m_invDiagonal;
    std::vector<dgFloat32> m_regularisation;
    std::vector<dgFloat32> m_rhs;
    std::vector<dgFloat32> m_force;

    template <typename T>
    static void Take(std::vector<T>& to, const T* from, dgInt32 count) {
        to.assign(from, from + count);
    }
    template <typename T>
    static void Give(T* to, const std::vector<T>& from) {
        std::copy(from.begin(), from.end(), to);
    }

    void CopyFrom(const dgSolverWorkArea& area) {
        const dgInt32 n = area.m_rowCount;
        m_bodyCount = area.m_bodyCount;
        m_rowCount = n;
        Take(m_pairs, area.m_bodyPairs, 2 * n);
        Take(m_rowJ, area.m_rowJ, dgSolverWorkArea::kRowFloats * n);
        Take(m_rowJMinv, area.m_rowJMinv, dgSolverWorkArea::kRowFloats * n);
        Take(m_bounds, area.m_bounds, n);
        Take(m_invDiagonal, area.m_invDiagonal, n);
        Take(m_regularisation, area.m_regularisation, n);
        Take(m_rhs, area.m_rhs, n);
        Take(m_force, area.m_force, n);
    }

    void CopyTo(dgSolverWorkArea& area) const {
        area.Clear();
        area.ReserveBodies(m_bodyCount);
        area.ReserveRows(m_rowCount);
        area.m_bodyCount = m_bodyCount;
        area.m_rowCount = m_rowCount;
        Give(area.m_bodyPairs, m_pairs);
        Give(area.m_rowJ, m_rowJ);
        Give(area.m_rowJMinv, m_rowJMinv);
        Give(area.m_bounds, m_bounds);
        Give(area.m_invDiagonal, m_invDiagonal);
        Give(area.m_regularisation, m_regularisation);
        Give(area.m_rhs, m_rhs);
        Give(area.m_force, m_force);
        std::fill(area.m_feedback, area.m_feedback + m_rowCount, nullptr);
        for (dgInt32 i = 0; i < m_rowCount; i++) {
            area.m_permutation[i] = i;
        }
    }
};

IslandRows* g_capture = nullptr;

/// Transform callback of the capturing step: the island just solved, when it is the largest so far.
void CaptureIsland(dgBody* body, const dgFloat32*) {
    const dgSolverWorkArea& area = body->m_world->m_dynamicsUpdate.m_area;
    if (area.m_rowCount > g_capture->m_rowCount) {
        g_capture->CopyFrom(area);
    }
}

/// A work area holding the largest island of the scene's last step, as solved.
dgSolverWorkArea& SteppedIsland(const char* name, int steps) {
    static std::map<std::string, dgSolverWorkArea> areas;
    dgSolverWorkArea& area = areas[name];
    if (area.m_rowCount == 0) {
        BuiltScene scene(name);
        for (int i = 1; i < steps; i++) {
            scene.Step();
        }
        IslandRows rows;
        g_capture = &rows;
        for (dgBody* body : scene.m_bodies) {
            body->m_transform = CaptureIsland;
        }
        scene.Step();
        g_capture = nullptr;
        rows.CopyTo(area);
    }
    return area;
}

void CountRows(benchmark::State& state, const dgSolverWorkArea& area) {
    state.counters["rows"] = area.m_rowCount;
    state.counters["ns_per_row"] = benchmark::Counter(static_cast<double>(state.iterations()) * area.m_rowCount,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_MultiplyRows(benchmark::State& state, const char* name, int steps) {
    dgSolverWorkArea& area = SteppedIsland(name, steps);
    for (auto _ : state) {
        dgMultiplyRows(area, area.m_rowCount, area.m_force, area.m_q);
        benchmark::DoNotOptimize(area.m_q[0]);
    }
    CountRows(state, area);
}

void BM_CalcResidual(benchmark::State& state, const char* name, int steps) {
    dgSolverWorkArea& area = SteppedIsland(name, steps);
    for (auto _ : state) {
        benchmark::DoNotOptimize(dgCalcResidual(area, area.m_rowCount));
    }
    CountRows(state, area);
}

/// One whole solve from zero forces; a fixed number of runs, so every build solves the same sequence of
/// row orders (each solve leaves the rows partitioned its own way).
void BM_SolveRows(benchmark::State& state, const char* name, int steps) {
    dgSolverWorkArea& area = SteppedIsland(name, steps);
    dgInt32 active = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::fill(area.m_force, area.m_force + area.m_rowCount, 0.0f);
        dgCalcResidual(area, area.m_rowCount);
        state.ResumeTiming();
        active = dgSolveRows(area, area.m_rowCount);
    }
    CountRows(state, area);
    state.counters["active"] = active;
}

constexpr int kRainPiled = 300;
constexpr int kPyramidSettling = 20;

BENCHMARK_CAPTURE(BM_MultiplyRows, rain_1000, "rain_1000", kRainPiled)->Name("dgMultiplyRows/rain_1000");
BENCHMARK_CAPTURE(BM_MultiplyRows, pyramid_20, "pyramid_20", kPyramidSettling)->Name("dgMultiplyRows/pyramid_20");
BENCHMARK_CAPTURE(BM_CalcResidual, rain_1000, "rain_1000", kRainPiled)->Name("dgCalcResidual/rain_1000");
BENCHMARK_CAPTURE(BM_CalcResidual, pyramid_20, "pyramid_20", kPyramidSettling)->Name("dgCalcResidual/pyramid_20");
BENCHMARK_CAPTURE(BM_SolveRows, rain_1000, "rain_1000", kRainPiled)
    ->Name("dgSolveRows/rain_1000")
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SolveRows, pyramid_20, "pyramid_20", kPyramidSettling)
    ->Name("dgSolveRows/pyramid_20")
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
