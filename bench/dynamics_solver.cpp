// The constraint solver's kernels in the scalar and the packed build on one real island: pyramid_20's
// 210 boxes, one island of about 4,900 rows, as the world's own update gathered and solved it in the
// pyramid's first second. The world's work area is used in place, so the rows are laid out exactly as the
// update lays them out. The product's first half, J^T x spread onto the bodies, is one function both builds
// call: it is timed on its own too. Counters: the island's rows and bodies, and the time per row.

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgJacobianSolverSimd.h"
#include "physics/dynamics/dgWorld.h"
#include "scenes/NamedSceneWorld.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

/// Steps before the capture: one second, when the pyramid rests on all its contacts (one island) and is
/// still awake.
constexpr int kCaptureStep = 60;

/// One build's kernels.
struct SolverKernels {
    void (*multiply)(dgSolverWorkArea&, dgInt32, const dgFloat32*, dgFloat32*);
    dgFloat32 (*residual)(dgSolverWorkArea&, dgInt32);
    dgInt32 (*solve)(dgSolverWorkArea&, dgInt32);
};

constexpr SolverKernels kScalar{dgMultiplyRows, dgCalcResidual, dgSolveRows};
#if ORVALEN_PACKED_BUILD
constexpr SolverKernels kPacked{dgMultiplyRowsSimd, dgCalcResidualSimd, dgSolveRowsSimd};
#endif

/// The pyramid's world after the capture step; its work area holds the island's solved rows.
class CapturedIsland {
public:
    CapturedIsland() : m_world(dgApiWorldCreate(nullptr, nullptr)) {
        NamedScene scene;
        std::vector<dgBody*> bodies;
        if (!MakeNamedScene("pyramid_20", scene) || !BuildNamedScene(m_world, scene, bodies)) {
            std::fprintf(stderr, "bench_dynamics_solver: cannot build pyramid_20\n");
            std::abort();
        }
        for (int i = 0; i < kCaptureStep; i++) {
            dgApiWorldUpdate(m_world, kSceneStep);
        }
        dgSolverWorkArea& area = Area();
        // The last island solved is the whole pyramid only while every box is in it.
        if (area.m_bodyCount - 1 != scene.DynamicCount()) {
            std::fprintf(stderr, "bench_dynamics_solver: the last island holds %d of %d boxes\n",
                         area.m_bodyCount - 1, scene.DynamicCount());
            std::abort();
        }
        m_solved.assign(area.m_force, area.m_force + area.m_rowCount);
        // The order as captured is the one every solve starts from.
        for (dgInt32 i = 0; i < area.m_rowCount; i++) {
            area.m_permutation[i] = i;
        }
    }
    ~CapturedIsland() { dgApiWorldDestroy(m_world); }
    CapturedIsland(const CapturedIsland&) = delete;
    CapturedIsland& operator=(const CapturedIsland&) = delete;

    dgSolverWorkArea& Area() { return m_world->m_dynamicsUpdate.m_area; }

    /// Puts the rows back in the captured order (the solve exchanges them) with the given forces.
    void Restore(const std::vector<dgFloat32>& forces) {
        dgSolverWorkArea& area = Area();
        for (dgInt32 i = 0; i < area.m_rowCount; i++) {
            while (area.m_permutation[i] != i) {
                dgSwapRows(area, i, area.m_permutation[i]);
            }
        }
        std::copy(forces.begin(), forces.end(), area.m_force);
    }

    dgWorld* m_world;
    std::vector<dgFloat32> m_solved; ///< the forces the world's solve reached, in the captured order
};

CapturedIsland& Island() {
    static CapturedIsland island;
    return island;
}

void CountRows(benchmark::State& state, const dgSolverWorkArea& area) {
    state.counters["rows"] = area.m_rowCount;
    state.counters["bodies"] = area.m_bodyCount - 1;
    state.counters["ns_per_row"] = benchmark::Counter(static_cast<double>(state.iterations()) * area.m_rowCount,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

/// A p over every row, p the solved forces.
void BM_dgMultiplyRows(benchmark::State& state, SolverKernels kernels) {
    CapturedIsland& island = Island();
    island.Restore(island.m_solved);
    dgSolverWorkArea& area = island.Area();
    for (auto _ : state) {
        kernels.multiply(area, area.m_rowCount, area.m_force, area.m_q);
        benchmark::DoNotOptimize(area.m_q[0]);
    }
    CountRows(state, area);
}

/// J^T p into the body accumulators: the first half of either build's product, shared by both.
void BM_dgSpreadRows(benchmark::State& state) {
    CapturedIsland& island = Island();
    island.Restore(island.m_solved);
    dgSolverWorkArea& area = island.Area();
    for (auto _ : state) {
        dgSpreadRows(area, area.m_rowCount, area.m_force);
        benchmark::DoNotOptimize(area.m_accumulators[0]);
    }
    CountRows(state, area);
}

void BM_dgCalcResidual(benchmark::State& state, SolverKernels kernels) {
    CapturedIsland& island = Island();
    island.Restore(island.m_solved);
    dgSolverWorkArea& area = island.Area();
    for (auto _ : state) {
        benchmark::DoNotOptimize(kernels.residual(area, area.m_rowCount));
    }
    CountRows(state, area);
}

/// One whole solve of every row from zero forces, each from the captured order.
void BM_dgSolveRows(benchmark::State& state, SolverKernels kernels) {
    CapturedIsland& island = Island();
    dgSolverWorkArea& area = island.Area();
    const std::vector<dgFloat32> zero(island.m_solved.size(), 0.0f);
    dgInt32 active = 0;
    for (auto _ : state) {
        state.PauseTiming();
        island.Restore(zero);
        kernels.residual(area, area.m_rowCount);
        state.ResumeTiming();
        active = kernels.solve(area, area.m_rowCount);
    }
    CountRows(state, area);
    state.counters["active"] = active;
}

BENCHMARK_CAPTURE(BM_dgMultiplyRows, scalar, kScalar);
BENCHMARK(BM_dgSpreadRows);
BENCHMARK_CAPTURE(BM_dgCalcResidual, scalar, kScalar);
BENCHMARK_CAPTURE(BM_dgSolveRows, scalar, kScalar)->Unit(benchmark::kMillisecond);
#if ORVALEN_PACKED_BUILD
BENCHMARK_CAPTURE(BM_dgMultiplyRows, packed, kPacked);
BENCHMARK_CAPTURE(BM_dgCalcResidual, packed, kPacked);
BENCHMARK_CAPTURE(BM_dgSolveRows, packed, kPacked)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
