// Whole world steps of jointed scenes at 1/60 s. chain_100: 100 boxes of 0.1 x 0.1 x 0.4 m and 1 kg
// joined end to end by ball joints, the first to the world, laid out horizontally and released for 600
// steps; hinge_chain_100: the same links joined by hinges with parallel horizontal pins. Counters: the cost
// of a step, the rows of the chain's island at the end, and the largest pivot separation while it swings (the
// whole run) and once it hangs (the last second). ragdoll_pile_20: 20 of the tests' 11-bone figures in a 4 x
// 5 grid, their bases from 2 m up to 6 m, dropped into a pile on a floor for 600 steps. Counters: the cost of
// a step, the most rows one island had, the worst excess of a joint's swing over its cone or of its twist
// over its limit after any step, and the bones asleep at the end.

#include "physics/dynamics/dgBallJoint.h"
#include "physics/dynamics/dgRagDollBone.h"
#include "physics/dynamics/dgWorld.h"
#include "support/JointScenes.h"
#include "support/RagDollScenes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using namespace jointscene;

/// One step of the scene, its time added to seconds.
void TimedStep(JointWorld& scene, double& seconds) {
    const auto start = std::chrono::steady_clock::now();
    scene.Step();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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
            TimedStep(scene, seconds);
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
BENCHMARK(BM_chain)
    ->Name("hinge_chain_100")
    ->Args({100, 600, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

/// Radians by which the joint's swing or twist passes its limit now (negative inside both).
float LimitExcess(const dgBallJoint* joint) {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    joint->CalcGlobalFrames(angles, matrix0, matrix1);
    const float cone = std::acos(std::clamp(matrix0.front.DotProduct(matrix1.front), -1.0f, 1.0f));
    const float twist = std::fabs(dgBallJoint::TwistAngle(matrix0, matrix1));
    return std::max(cone - joint->m_coneAngle, twist - joint->m_twistAngle);
}

void BM_ragdoll_pile(benchmark::State& state) {
    const int steps = static_cast<int>(state.range(0));
    double seconds = 0.0;
    int rows = 0;
    float overshoot = 0.0f;
    int asleep = 0;
    for (auto _ : state) {
        JointWorld scene;
        ragdollscene::AddFloor(scene.m_world);
        std::vector<std::unique_ptr<ragdollscene::Figure>> figures;
        for (int i = 0; i < ragdollscene::kPileFigures; i++) {
            figures.push_back(
                std::make_unique<ragdollscene::Figure>(scene.m_world, ragdollscene::PileBase(i)));
        }
        rows = 0;
        overshoot = 0.0f;
        for (int step = 0; step < steps; step++) {
            TimedStep(scene, seconds);
            rows = std::max(rows, scene.m_world->m_dynamicsUpdate.m_area.m_rowCount);
            for (const auto& figure : figures) {
                for (const dgRagDollBone* bone : figure->m_bones) {
                    if (bone->m_joint != nullptr) {
                        overshoot = std::max(overshoot, LimitExcess(bone->m_joint));
                    }
                }
            }
        }
        asleep = 0;
        for (const auto& figure : figures) {
            for (const dgRagDollBone* bone : figure->m_bones) {
                asleep += (bone->m_body->m_flags & dgBody::kActive) == 0 ? 1 : 0;
            }
        }
    }
    const double totalSteps = static_cast<double>(state.iterations()) * steps;
    state.counters["ms_per_step"] = 1000.0 * seconds / totalSteps;
    state.counters["rows"] = rows;
    state.counters["overshoot_deg"] = overshoot * 57.29578f;
    state.counters["bones_asleep"] = asleep;
}
BENCHMARK(BM_ragdoll_pile)
    ->Name("ragdoll_pile_20")
    ->Args({600})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
