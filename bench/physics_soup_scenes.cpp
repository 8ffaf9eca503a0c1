// Whole world steps of bodies raining onto level geometry at 1/60 s: the broad phase, the convex-against-
// soup narrow phase, the contact joints and the solver, on a tree collision of triangles.

#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgWorld.h"

#include "support/SoupScenes.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

namespace {

constexpr dgFloat32 kStep = 1.0f / 60.0f;
constexpr int kWarmUpSteps = 30;
constexpr int kStepsPerRun = 60;

void Gravity(dgBody* body) {
    body->m_force = dgVector(0.0f, -10.0f * body->m_mass.w, 0.0f, 0.0f);
    body->m_torque = dgVector();
}

/// Rolling terrain of cells x cells unit squares, two triangles each.
dgCollisionPolygonalSoup* MakeTerrain(dgInt32 cells) {
    return MakeTreeCollision(GridFaces(cells, 1.0f, true, [](dgFloat32 x, dgFloat32 z) {
        return 0.5f * std::sin(0.3f * x) * std::cos(0.25f * z);
    }));
}

/// Boxes and spheres alternating on a grid of columns above the terrain, two layers apart in height.
class RainScene {
public:
    RainScene(dgCollisionPolygonalSoup* terrain, int bodies) : m_world(new dgWorld) {
        m_world->CreateBody(terrain);
        dgCollision* box = m_world->CreateBox(0.8f, 0.8f, 0.8f, dgGetIdentityMatrix());
        dgCollision* ball = m_world->CreateSphere(0.45f, dgGetIdentityMatrix());
        const int perLayer = 500;
        for (int i = 0; i < bodies; i++) {
            const int k = i % perLayer;
            const dgFloat32 x = static_cast<dgFloat32>(k % 25) * 2.4f - 28.8f;
            const dgFloat32 z = static_cast<dgFloat32>(k / 25) * 2.4f - 22.8f;
            const dgFloat32 y = 1.5f + 1.5f * static_cast<dgFloat32>(i / perLayer);
            dgBody* body = m_world->CreateBody((i % 2) == 0 ? box : ball);
            body->SetMassMatrix(1.0f, 0.1f, 0.1f, 0.1f);
            dgMatrix matrix = dgGetIdentityMatrix();
            matrix.posit = dgVector(x, y, z, 1.0f);
            body->SetMatrix(matrix);
            body->m_forceAndTorque = Gravity;
        }
        m_world->ReleaseCollision(box);
        m_world->ReleaseCollision(ball);
    }
    ~RainScene() { delete m_world; }
    RainScene(const RainScene&) = delete;
    RainScene& operator=(const RainScene&) = delete;

    int ContactPoints() const {
        int points = 0;
        for (auto* node = m_world->m_contactJointPool.m_activeList.GetFirst(); node != nullptr; node = node->GetNext()) {
            points += node->GetInfo()->m_pointCount;
        }
        return points;
    }

    dgWorld* m_world;
};

template <int kBodies> void BM_RainSoup(benchmark::State& state) {
    dgCollisionPolygonalSoup* terrain = MakeTerrain(64);
    const int bodies = kBodies;
    double steppingSeconds = 0.0;
    int contacts = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            RainScene scene(terrain, bodies);
            for (int i = 0; i < kWarmUpSteps; i++) {
                scene.m_world->Update(kStep);
            }
            state.ResumeTiming();
            const auto begin = std::chrono::steady_clock::now();
            for (int i = 0; i < kStepsPerRun; i++) {
                scene.m_world->Update(kStep);
            }
            steppingSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            state.PauseTiming();
            contacts = scene.ContactPoints();
        }
        state.ResumeTiming();
    }
    dgRefRelease(terrain);
    state.counters["ms_per_step"] = 1000.0 * steppingSeconds / (static_cast<double>(state.iterations()) * kStepsPerRun);
    state.counters["contacts"] = contacts;
    state.counters["bodies"] = bodies;
}

BENCHMARK_TEMPLATE(BM_RainSoup, 1000)->Name("rain_soup_1000")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
