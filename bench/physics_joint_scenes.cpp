// Whole world steps of jointed scenes at 1/60 s. chain_100: 100 boxes of 0.1 x 0.1 x 0.4 m and 1 kg
// joined end to end by ball joints, the first to the world, laid out horizontally and released for 600
// steps; hinge_chain_100: the same links joined by hinges with parallel horizontal pins. Counters: the cost of a step, the rows of the chain's island at the end, and the largest
// pivot separation while it swings (the whole run) and once it hangs (the last second).

#include "physics/dynamics/dgWorld.h"
#include "support/JointScenes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

using namespace jointscene;

void BM_chain(benchmark::State& state) {
    const int links = static_cast<int>(state.range(0));
    const int steps = static_cast<int>(state.range(1));
    double seconds = 0.0;
    float swinging = 0.0f;
    float hanging = 0.0f;
    int rows = 0;
    for (auto _ : state) {
        JointWorld scene;
        Chain chain(scene, links, {0.0f, 0.0f, 0.0f}, state.range(2) != 0);
        swinging = 0.0f;
        hanging = 0.0f;
        for (int step = 0; step < steps; step++) {
            const auto start = std::chrono::steady_clock::now();
            scene.Step();
            seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const float separation = chain.LargestSeparation();
            swinging = std::max(swinging, separation);
            if (step >= steps - 60) {
                hanging = std::max(hanging, separation);
            }
        }
        rows = scene.m_world->m_dynamicsUpdate.m_area.m_rowCount;
    }
    const double totalSteps = static_cast<double>(state.iterations()) * steps;
    state.counters["ms_per_step"] = 1000.0 * seconds / totalSteps;
    state.counters["rows"] = rows;
    state.counters["sep_swing_m"] = swinging;
    state.counters["sep_hanging_m"] = hanging;
}
BENCHMARK(BM_chain)->Name("chain_100")->Args({100, 600, 0})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_chain)->Name("hinge_chain_100")->Args({100, 600, 1})->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
