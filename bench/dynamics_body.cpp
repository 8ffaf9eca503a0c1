// The rigid body's per-step work: the dynamics update integrates every moving body once per sub-step
// (velocity, rotation, frame and box), and contacts and joints apply impulses.

#include "physics/collision/dgCollisionBox.h"
#include "physics/core/dgQuaternion.h"
#include "physics/dynamics/dgBody.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kBodies = 1000;

// Bodies tumbling under gravity; half of them continuous, so their boxes widen.
std::vector<dgBody> TumblingBodies(dgCollision* shape) {
    std::mt19937 engine(5);
    std::uniform_real_distribution<dgFloat32> value(-3.0f, 3.0f);
    std::vector<dgBody> bodies(kBodies);
    for (int i = 0; i < kBodies; i++) {
        dgBody& body = bodies[i];
        body.m_matrix = dgMatrix::FromQuaternion(
            dgQuaternion::FromAxisAngle(dgVector(0.6f, 0.0f, 0.8f, 0.0f), value(engine)),
            dgVector(value(engine), value(engine), value(engine), 1.0f));
        body.SetCollision(shape);
        body.SetMassMatrix(2.0f, 1.0f, 1.5f, 2.0f);
        body.m_veloc = dgVector(value(engine), value(engine), value(engine), 0.0f);
        body.m_omega = dgVector(value(engine), value(engine), value(engine), 0.0f);
        body.m_flags = (i & 1) != 0 ? dgBody::kContinuousCollision : 0u;
    }
    return bodies;
}

void ReleaseBodies(std::vector<dgBody>& bodies) {
    for (dgBody& body : bodies) {
        dgRefRelease(body.m_collision);
    }
}

void BM_dgBody_IntegrateStep(benchmark::State& state) {
    dgCollision* box = new dgCollisionBox(1, 1.0f, 2.0f, 3.0f, dgGetIdentityMatrix());
    std::vector<dgBody> bodies = TumblingBodies(box);
    for (auto _ : state) {
        for (dgBody& body : bodies) {
            body.m_force = dgVector(0.0f, -19.6f, 0.0f, 0.0f);
            body.m_torque = dgVector(0.1f, 0.0f, -0.1f, 0.0f);
            body.IntegrateStep(1.0f / 60.0f);
        }
        benchmark::DoNotOptimize(bodies.data());
    }
    state.counters["bodies"] = kBodies;
    state.SetItemsProcessed(state.iterations() * kBodies);
    ReleaseBodies(bodies);
    dgRefRelease(box);
}
BENCHMARK(BM_dgBody_IntegrateStep);

void BM_dgBody_AddImpulse(benchmark::State& state) {
    dgCollision* box = new dgCollisionBox(1, 1.0f, 2.0f, 3.0f, dgGetIdentityMatrix());
    std::vector<dgBody> bodies = TumblingBodies(box);
    const dgVector change(0.01f, -0.02f, 0.01f, 0.0f);
    for (auto _ : state) {
        for (dgBody& body : bodies) {
            body.AddImpulse(change, body.m_matrix.posit.Add(dgVector(0.5f, 1.0f, -1.5f, 0.0f)));
        }
        benchmark::DoNotOptimize(bodies.data());
    }
    state.counters["bodies"] = kBodies;
    state.SetItemsProcessed(state.iterations() * kBodies);
    ReleaseBodies(bodies);
    dgRefRelease(box);
}
BENCHMARK(BM_dgBody_AddImpulse);

} // namespace

BENCHMARK_MAIN();
