// Whole world steps of the named jointed scenes at 1/60 s, built from their one description. chain_100:
// 100 boxes of 0.1 x 0.1 x 0.4 m and 1 kg joined end to end by ball joints, the first to the world, laid out
// horizontally and released for 600 steps; hinge_chain_100: the same links joined by hinges with parallel
// horizontal pins. Counters: the cost of a step, the rows of the chain's island at the end, and the largest
// pivot separation while it swings (the whole run) and once it hangs (the last second). ragdoll_pile_20: 20
// of the tests' 11-bone figures in a 4 x 5 grid, their bases from 2 m up to 6 m, dropped into a pile on a
// floor for 600 steps. Counters: the cost of a step, the most rows one island had, the worst excess of a
// joint's swing over its cone or of its twist over its limit after any step, and the bones asleep at the end.

#include "physics/dynamics/dgBallJoint.h"
#include "physics/dynamics/dgWorld.h"
#include "scenes/NamedSceneWorld.h"
#include "support/JointScenes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

/// A named scene built in a world of its own; the world goes with it.
struct BuiltScene {
    NamedScene m_scene;
    dgWorld* m_world = dgApiWorldCreate(nullptr, nullptr);
    std::vector<dgBody*> m_bodies;
    std::vector<dgJointBase*> m_joints;

    explicit BuiltScene(const char* name) {
        if (!MakeNamedScene(name, m_scene) || !BuildNamedScene(m_world, m_scene, m_bodies, &m_joints)) {
            m_joints.clear();
        }
    }
    ~BuiltScene() { dgApiWorldDestroy(m_world); }
    BuiltScene(const BuiltScene&) = delete;
    BuiltScene& operator=(const BuiltScene&) = delete;

    /// One step, its time added to seconds.
    void TimedStep(double& seconds) {
        const auto start = std::chrono::steady_clock::now();
        dgApiWorldUpdate(m_world, kSceneStep);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

/// Each joint's pivot as a point of its child and of its parent (or the world), as built.
std::vector<jointscene::PivotPair> Pivots(const BuiltScene& built) {
    std::vector<jointscene::PivotPair> pivots;
    for (const SceneJoint& joint : built.m_scene.joints) {
        const jointscene::Vec3 pivot = {joint.pivot[0], joint.pivot[1], joint.pivot[2]};
        dgBody* child = built.m_bodies[joint.child];
        dgBody* parent = joint.parent < 0 ? nullptr : built.m_bodies[joint.parent];
        pivots.push_back({child, jointscene::ToLocal(child, pivot), parent,
                          parent != nullptr ? jointscene::ToLocal(parent, pivot) : pivot});
    }
    return pivots;
}

void BM_chain(benchmark::State& state, const char* name) {
    double seconds = 0.0;
    int steps = 0;
    float swinging = 0.0f;
    float hanging = 0.0f;
    int rows = 0;
    for (auto _ : state) {
        BuiltScene built(name);
        const std::vector<jointscene::PivotPair> pivots = Pivots(built);
        if (pivots.empty()) {
            state.SkipWithError("the scene could not be built");
            return;
        }
        steps = built.m_scene.steps;
        swinging = 0.0f;
        hanging = 0.0f;
        for (int step = 0; step < steps; step++) {
            built.TimedStep(seconds);
            float separation = 0.0f;
            for (const jointscene::PivotPair& pair : pivots) {
                separation = std::max(separation, pair.Separation());
            }
            swinging = std::max(swinging, separation);
            if (step >= steps - 60) {
                hanging = std::max(hanging, separation);
            }
        }
        rows = built.m_world->m_dynamicsUpdate.m_area.m_rowCount;
    }
    const double totalSteps = static_cast<double>(state.iterations()) * steps;
    state.counters["ms_per_step"] = 1000.0 * seconds / totalSteps;
    state.counters["rows"] = rows;
    state.counters["sep_swing_m"] = swinging;
    state.counters["sep_hanging_m"] = hanging;
}
BENCHMARK_CAPTURE(BM_chain, chain_100, "chain_100")
    ->Name("chain_100")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_chain, hinge_chain_100, "hinge_chain_100")
    ->Name("hinge_chain_100")
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
    double seconds = 0.0;
    int steps = 0;
    int rows = 0;
    float overshoot = 0.0f;
    int asleep = 0;
    for (auto _ : state) {
        BuiltScene built("ragdoll_pile_20");
        if (built.m_joints.empty()) {
            state.SkipWithError("the scene could not be built");
            return;
        }
        steps = built.m_scene.steps;
        rows = 0;
        overshoot = 0.0f;
        for (int step = 0; step < steps; step++) {
            built.TimedStep(seconds);
            rows = std::max(rows, built.m_world->m_dynamicsUpdate.m_area.m_rowCount);
            for (dgJointBase* joint : built.m_joints) {
                overshoot = std::max(overshoot, LimitExcess(static_cast<const dgBallJoint*>(joint)));
            }
        }
        asleep = 0;
        for (size_t i = 0; i < built.m_bodies.size(); i++) {
            if (built.m_scene.bodies[i].mass > 0.0f) {
                asleep += (built.m_bodies[i]->m_flags & dgBody::kActive) == 0 ? 1 : 0;
            }
        }
    }
    const double totalSteps = static_cast<double>(state.iterations()) * steps;
    state.counters["ms_per_step"] = 1000.0 * seconds / totalSteps;
    state.counters["rows"] = rows;
    state.counters["overshoot_deg"] = overshoot * 57.29578f;
    state.counters["bones_asleep"] = asleep;
}
BENCHMARK(BM_ragdoll_pile)->Name("ragdoll_pile_20")->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
