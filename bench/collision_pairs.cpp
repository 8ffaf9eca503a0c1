// The convex-pair narrow phase: every touching body pair goes through it once per step. Each run cycles
// through a fixed set of random placements of the pair, touching (discrete) or closing in (continuous).

#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionCone.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgConvexPairDispatch.h"
#include "physics/collision/dgConvexPairSolver.h"
#include "physics/core/dgQuaternion.h"
#include "physics/dynamics/dgBody.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kPlacements = 256;

struct Pair {
    dgBody m_body0;
    dgBody m_body1;
};

dgMatrix RandomFrame(std::mt19937& engine, dgFloat32 range) {
    std::uniform_real_distribution<dgFloat32> angle(-3.14159f, 3.14159f);
    std::uniform_real_distribution<dgFloat32> offset(-range, range);
    const dgVector axis = dgVector(offset(engine) + 0.01f, offset(engine), offset(engine) + range, 0.0f);
    const dgVector unit = axis.Scale(1.0f / std::sqrt(axis.DotProduct(axis)));
    return dgMatrix::FromQuaternion(dgQuaternion::FromAxisAngle(unit, angle(engine)),
                                    dgVector(offset(engine), offset(engine), offset(engine), 1.0f));
}

// Shape 1 placed round shape 0 at random: most placements overlap. Continuous pairs start apart along
// x and close at 20 units a second.
std::vector<Pair> Placements(dgCollision* shape0, dgCollision* shape1, bool continuous) {
    std::mt19937 engine(17);
    std::vector<Pair> pairs(kPlacements);
    for (Pair& pair : pairs) {
        pair.m_body0.m_collision = shape0;
        pair.m_body1.m_collision = shape1;
        pair.m_body0.m_matrix = RandomFrame(engine, 0.0f);
        pair.m_body1.m_matrix = RandomFrame(engine, 0.6f);
        if (continuous) {
            pair.m_body1.m_matrix.posit.x += 2.5f;
            pair.m_body1.m_veloc = dgVector(-20.0f, 0.0f, 0.0f, 0.0f);
            pair.m_body0.m_flags = dgBody::kContinuousCollision;
        }
        pair.m_body0.m_collisionMatrix = pair.m_body0.m_matrix;
        pair.m_body1.m_collisionMatrix = pair.m_body1.m_matrix;
    }
    return pairs;
}

void RunPairs(benchmark::State& state, dgCollision* shape0, dgCollision* shape1, bool continuous) {
    dgConvexPairSolver::InitSearchDirections();
    std::vector<Pair> pairs = Placements(shape0, shape1, continuous);
    dgContactPoint contacts[128];
    std::size_t i = 0;
    std::int64_t found = 0;
    for (auto _ : state) {
        Pair& pair = pairs[i++ % pairs.size()];
        dgFloat32 time = 0.25f;
        const dgInt32 count = CalculateConvexContacts(&time, &pair.m_body0, &pair.m_body1, contacts, 128);
        found += count;
        benchmark::DoNotOptimize(contacts[0]);
        benchmark::DoNotOptimize(time);
    }
    state.counters["contacts"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kIsRate);
    state.counters["pairs"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    dgRefRelease(shape0);
    dgRefRelease(shape1);
}

dgCollision* Box() {
    return new dgCollisionBox(0u, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
}

void BM_pair_box_box(benchmark::State& state) {
    RunPairs(state, Box(), Box(), state.range(0) != 0);
}

void BM_pair_sphere_box(benchmark::State& state) {
    RunPairs(state, new dgCollisionSphere(0u, 0.5f, dgGetIdentityMatrix()), Box(), state.range(0) != 0);
}

void BM_pair_cone_box(benchmark::State& state) {
    RunPairs(state, new dgCollisionCone(0u, 0.5f, 1.0f, dgGetIdentityMatrix()), Box(), state.range(0) != 0);
}

} // namespace

// Argument 0: discrete; 1: continuous.
BENCHMARK(BM_pair_box_box)->ArgName("continuous")->Arg(0)->Arg(1);
BENCHMARK(BM_pair_sphere_box)->ArgName("continuous")->Arg(0)->Arg(1);
BENCHMARK(BM_pair_cone_box)->ArgName("continuous")->Arg(0)->Arg(1);

BENCHMARK_MAIN();
