// Whole world steps of box scenes at 1/60 s on the real contact calculation: broad phase, narrow phase,
// contact joints, islands, the constraint solver and the integration. Each run builds the scene and steps
// it from rest (or from its drop) for a fixed number of steps; the counters give the cost per step, the
// contact points in use at the end, how many bodies are asleep (their island put to rest) or at rest, and
// the step after which nothing was awake (-1: not within the run).
//
// The solver kernels run on real islands too: the rows the last island of a step left in the work area
// (rain_1000 once piled, pyramid_20 while settling), timed per row.

#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgWorld.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

constexpr dgFloat32 kStep = 1.0f / 60.0f;

void Gravity(dgBody* body) {
    body->m_force = dgVector(0.0f, -10.0f * body->m_mass.w, 0.0f, 0.0f);
    body->m_torque = dgVector();
}

/// Unit boxes above a static 200 x 1 x 200 slab whose top face is y = 0.
class BoxScene {
public:
    BoxScene() : m_world(new dgWorld) {
        m_box = m_world->CreateBox(1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
        m_slab = m_world->CreateBox(200.0f, 1.0f, 200.0f, dgGetIdentityMatrix());
        dgBody* floor = m_world->CreateBody(m_slab);
        dgMatrix matrix = dgGetIdentityMatrix();
        matrix.posit = dgVector(0.0f, -0.5f, 0.0f, 1.0f);
        floor->SetMatrix(matrix);
    }
    ~BoxScene() {
        m_world->ReleaseCollision(m_box);
        m_world->ReleaseCollision(m_slab);
        delete m_world;
    }
    BoxScene(const BoxScene&) = delete;
    BoxScene& operator=(const BoxScene&) = delete;

    void AddBox(const dgMatrix& rotation, dgFloat32 x, dgFloat32 y, dgFloat32 z) {
        dgBody* body = m_world->CreateBody(m_box);
        dgMatrix matrix = rotation;
        matrix.posit = dgVector(x, y, z, 1.0f);
        body->SetMatrix(matrix);
        body->SetMassMatrix(1.0f, 1.0f / 6.0f, 1.0f / 6.0f, 1.0f / 6.0f);
        body->m_forceAndTorque = Gravity;
        m_boxes++;
    }

    /// Bodies of the scene asleep (their island put to rest) and at rest (in equilibrium).
    void CountResting(int& frozen, int& atRest) const {
        frozen = 0;
        atRest = 0;
        for (auto* node = m_world->m_bodies.GetFirst(); node != nullptr; node = m_world->m_bodies.GetNext(node)) {
            const dgBody* body = node->GetInfo();
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

    dgWorld* m_world;
    dgCollision* m_box;
    dgCollision* m_slab;
    int m_boxes = 0;
};

/// Ten boxes stacked exactly touching: the stack settles as its contacts form from the floor up.
void BuildTower(BoxScene& scene) {
    for (int i = 0; i < 10; i++) {
        scene.AddBox(dgGetIdentityMatrix(), 0.0f, static_cast<dgFloat32>(i) + 0.5f, 0.0f);
    }
}

/// 20 rows, 210 boxes, each box on two of the row below, neighbours side by side.
void BuildPyramid(BoxScene& scene) {
    constexpr int kRows = 20;
    for (int r = 0; r < kRows; r++) {
        const int count = kRows - r;
        for (int k = 0; k < count; k++) {
            const dgFloat32 x = static_cast<dgFloat32>(k) - 0.5f * static_cast<dgFloat32>(count - 1);
            scene.AddBox(dgGetIdentityMatrix(), x, static_cast<dgFloat32>(r) + 0.5f, 0.0f);
        }
    }
}

/// 1000 boxes in a 10 x 10 x 10 grid, each turned a little differently, falling onto the floor.
void BuildRain(BoxScene& scene) {
    for (int i = 0; i < 10; i++) {
        for (int j = 0; j < 10; j++) {
            for (int k = 0; k < 10; k++) {
                const dgFloat32 turn = 0.1f * static_cast<dgFloat32>((i + 2 * j + 3 * k) % 7);
                const dgMatrix rotation = dgRotationMatrixX(turn).Multiply(dgRotationMatrixZ(0.5f * turn));
                scene.AddBox(rotation, 2.0f * static_cast<dgFloat32>(i) - 9.0f, 2.0f + 2.0f * static_cast<dgFloat32>(k),
                             2.0f * static_cast<dgFloat32>(j) - 9.0f);
            }
        }
    }
}

template <void (*Build)(BoxScene&)>
void BM_Scene(benchmark::State& state) {
    const int steps = static_cast<int>(state.range(0));
    double steppingSeconds = 0.0;
    int contacts = 0;
    int frozen = 0;
    int atRest = 0;
    int bodies = 0;
    int restStep = -1;
    for (auto _ : state) {
        state.PauseTiming();
        BoxScene scene;
        Build(scene);
        state.ResumeTiming();
        restStep = -1;
        const auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < steps; i++) {
            scene.m_world->Update(kStep);
            if (restStep < 0 && scene.m_world->m_activeBodies.GetCount() == 0) {
                restStep = i + 1;
            }
        }
        steppingSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.PauseTiming();
        contacts = scene.CountContacts();
        scene.CountResting(frozen, atRest);
        bodies = scene.m_boxes;
        state.ResumeTiming();
    }
    const double totalSteps = static_cast<double>(state.iterations()) * steps;
    state.counters["ms_per_step"] = 1000.0 * steppingSeconds / totalSteps;
    state.counters["contacts"] = contacts;
    state.counters["bodies"] = bodies;
    state.counters["frozen"] = frozen;
    state.counters["at_rest"] = atRest;
    state.counters["all_frozen_at_step"] = restStep;
}

BENCHMARK_TEMPLATE(BM_Scene, BuildTower)->Name("tower_10")->Arg(180)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Scene, BuildPyramid)->Name("pyramid_20")->Arg(180)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Scene, BuildRain)->Name("rain_1000")->Arg(240)->Unit(benchmark::kMillisecond);

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
template <void (*Build)(BoxScene&)>
dgSolverWorkArea& SteppedIsland(int steps) {
    static dgSolverWorkArea area;
    if (area.m_rowCount == 0) {
        BoxScene scene;
        Build(scene);
        for (int i = 1; i < steps; i++) {
            scene.m_world->Update(kStep);
        }
        IslandRows rows;
        g_capture = &rows;
        for (auto* node = scene.m_world->m_bodies.GetFirst(); node != nullptr;
             node = scene.m_world->m_bodies.GetNext(node)) {
            node->GetInfo()->m_transform = CaptureIsland;
        }
        scene.m_world->Update(kStep);
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

template <void (*Build)(BoxScene&), int kSteps>
void BM_MultiplyRows(benchmark::State& state) {
    dgSolverWorkArea& area = SteppedIsland<Build>(kSteps);
    for (auto _ : state) {
        dgMultiplyRows(area, area.m_rowCount, area.m_force, area.m_q);
        benchmark::DoNotOptimize(area.m_q[0]);
    }
    CountRows(state, area);
}

template <void (*Build)(BoxScene&), int kSteps>
void BM_CalcResidual(benchmark::State& state) {
    dgSolverWorkArea& area = SteppedIsland<Build>(kSteps);
    for (auto _ : state) {
        benchmark::DoNotOptimize(dgCalcResidual(area, area.m_rowCount));
    }
    CountRows(state, area);
}

/// One whole solve from zero forces; a fixed number of runs, so every build solves the same sequence of
/// row orders (each solve leaves the rows partitioned its own way).
template <void (*Build)(BoxScene&), int kSteps>
void BM_SolveRows(benchmark::State& state) {
    dgSolverWorkArea& area = SteppedIsland<Build>(kSteps);
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

BENCHMARK_TEMPLATE(BM_MultiplyRows, BuildRain, kRainPiled)->Name("dgMultiplyRows/rain_1000");
BENCHMARK_TEMPLATE(BM_MultiplyRows, BuildPyramid, kPyramidSettling)->Name("dgMultiplyRows/pyramid_20");
BENCHMARK_TEMPLATE(BM_CalcResidual, BuildRain, kRainPiled)->Name("dgCalcResidual/rain_1000");
BENCHMARK_TEMPLATE(BM_CalcResidual, BuildPyramid, kPyramidSettling)->Name("dgCalcResidual/pyramid_20");
BENCHMARK_TEMPLATE(BM_SolveRows, BuildRain, kRainPiled)
    ->Name("dgSolveRows/rain_1000")
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_SolveRows, BuildPyramid, kPyramidSettling)
    ->Name("dgSolveRows/pyramid_20")
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
