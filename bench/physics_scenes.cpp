// Whole world steps of stacked boxes at 1/60 s: islands, the constraint solver and the integration. The
// contacts are made by hand where the boxes touch at the start and refreshed every step, so the figures
// are those of the dynamics update alone.

#include "physics/collision/dgCollisionBox.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgWorld.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

namespace {

constexpr dgFloat32 kStep = 1.0f / 60.0f;
constexpr int kStepsPerRun = 60;

void Gravity(dgBody* body) {
    body->m_force = dgVector(0.0f, -10.0f * body->m_mass.w, 0.0f, 0.0f);
    body->m_torque = dgVector();
}

/// Unit boxes on a static floor with hand-made contacts between the boxes that touch.
class FixedContactScene {
public:
    FixedContactScene() : m_world(new dgWorld) {
        m_shape = new dgCollisionBox(0u, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
        m_floor = AddBox(0.0f, -0.5f, 0.0f, false);
    }
    ~FixedContactScene() {
        delete m_world;
        dgRefRelease(m_shape);
    }
    FixedContactScene(const FixedContactScene&) = delete;
    FixedContactScene& operator=(const FixedContactScene&) = delete;

    dgBody* AddBox(dgFloat32 x, dgFloat32 y, dgFloat32 z, bool dynamic = true) {
        dgBody* body = m_world->CreateBody(m_shape);
        dgMatrix matrix = dgGetIdentityMatrix();
        matrix.posit = dgVector(x, y, z, 1.0f);
        body->SetMatrix(matrix);
        if (dynamic) {
            body->SetMassMatrix(1.0f, 1.0f / 6.0f, 1.0f / 6.0f, 1.0f / 6.0f);
            body->m_forceAndTorque = Gravity;
        }
        return body;
    }

    /// upper rests on lower over x in [x0, x1] and z in [z - 0.5, z + 0.5] at height y: four corner points.
    void Touch(dgBody* upper, dgBody* lower, dgFloat32 x0, dgFloat32 x1, dgFloat32 y, dgFloat32 z) {
        dgContactJoint* joint = m_world->CreateContactJoint();
        m_world->AttachJoint(joint, upper, lower);
        for (int i = 0; i < 4; i++) {
            dgContact& point = joint->m_points.Append()->GetInfo();
            point.m_point.m_point = dgVector((i & 1) ? x1 : x0, y, z + ((i & 2) ? 0.5f : -0.5f), 1.0f);
            point.m_point.m_normal = dgVector(0.0f, 1.0f, 0.0f, 0.0f);
            point.m_point.m_body0 = upper;
            point.m_point.m_body1 = lower;
            point.m_dir0 = dgVector(1.0f, 0.0f, 0.0f, 0.0f);
            point.m_dir1 = dgVector(0.0f, 0.0f, 1.0f, 0.0f);
            point.m_softness = 0.1f;
            point.m_staticFriction0 = point.m_staticFriction1 = 0.9f;
            point.m_kineticFriction0 = point.m_kineticFriction1 = 0.5f;
            point.m_flags =
                dgContactMaterial::kCollidable | dgContactMaterial::kFriction0 | dgContactMaterial::kFriction1;
        }
        joint->SetPointCount(4);
        m_joints.push_back(joint);
        m_contacts += 4;
    }

    void Step() {
        // The force pass advances the stamp by one: the contacts count as calculated in that step.
        for (dgContactJoint* joint : m_joints) {
            joint->m_contactStamp = m_world->m_stepStamp + 1;
        }
        m_world->Update(kStep);
    }

    dgWorld* m_world;
    dgCollision* m_shape;
    dgBody* m_floor;
    std::vector<dgContactJoint*> m_joints;
    int m_contacts = 0;
};

void BuildTower(FixedContactScene& scene, int height) {
    dgBody* below = scene.m_floor;
    for (int i = 0; i < height; i++) {
        const dgFloat32 y = static_cast<dgFloat32>(i);
        dgBody* box = scene.AddBox(0.0f, y + 0.5f, 0.0f);
        scene.Touch(box, below, -0.5f, 0.5f, y, 0.0f);
        below = box;
    }
}

void BuildPyramid(FixedContactScene& scene, int rows) {
    std::vector<dgBody*> below;
    for (int r = 0; r < rows; r++) {
        const int count = rows - r;
        const dgFloat32 y = static_cast<dgFloat32>(r);
        std::vector<dgBody*> row;
        for (int k = 0; k < count; k++) {
            const dgFloat32 x = static_cast<dgFloat32>(k) - 0.5f * static_cast<dgFloat32>(count - 1);
            dgBody* box = scene.AddBox(x, y + 0.5f, 0.0f);
            if (r == 0) {
                scene.Touch(box, scene.m_floor, x - 0.5f, x + 0.5f, y, 0.0f);
            } else {
                scene.Touch(box, below[static_cast<std::size_t>(k)], x - 0.5f, x, y, 0.0f);
                scene.Touch(box, below[static_cast<std::size_t>(k) + 1], x, x + 0.5f, y, 0.0f);
            }
            row.push_back(box);
        }
        below = row;
    }
}

/// Boxes of a 10 x 10 grid of columns, each column `layers` boxes high.
void BuildColumns(FixedContactScene& scene, int layers) {
    for (int i = 0; i < 10; i++) {
        for (int j = 0; j < 10; j++) {
            const dgFloat32 x = 2.0f * static_cast<dgFloat32>(i);
            const dgFloat32 z = 2.0f * static_cast<dgFloat32>(j);
            dgBody* below = scene.m_floor;
            for (int k = 0; k < layers; k++) {
                const dgFloat32 y = static_cast<dgFloat32>(k);
                dgBody* box = scene.AddBox(x, y + 0.5f, z);
                scene.Touch(box, below, x - 0.5f, x + 0.5f, y, z);
                below = box;
            }
        }
    }
}

template <void (*Build)(FixedContactScene&, int)>
void BM_FixedContactScene(benchmark::State& state) {
    int contacts = 0;
    int awake = 0;
    dgFloat32 drift = 0.0f;
    double steppingSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        FixedContactScene scene;
        Build(scene, static_cast<int>(state.range(0)));
        std::vector<dgVector> start;
        for (auto* node = scene.m_world->m_bodies.GetFirst(); node != nullptr; node = scene.m_world->m_bodies.GetNext(node)) {
            start.push_back(node->GetInfo()->m_matrix.posit);
        }
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < kStepsPerRun; i++) {
            scene.Step();
        }
        steppingSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.PauseTiming();
        contacts = scene.m_contacts;
        awake = scene.m_world->m_activeBodies.GetCount();
        std::size_t b = 0;
        drift = 0.0f;
        for (auto* node = scene.m_world->m_bodies.GetFirst(); node != nullptr; node = scene.m_world->m_bodies.GetNext(node), b++) {
            const dgVector d = node->GetInfo()->m_matrix.posit.Sub(start[b]);
            drift = std::max(drift, std::sqrt(d.DotProduct(d)));
        }
        state.ResumeTiming();
    }
    state.counters["ms_per_step"] = 1000.0 * steppingSeconds / (static_cast<double>(state.iterations()) * kStepsPerRun);
    state.counters["contacts"] = contacts;
    state.counters["awake_after_1s"] = awake;
    state.counters["max_drift_after_1s"] = drift;
}

BENCHMARK_TEMPLATE(BM_FixedContactScene, BuildTower)->Name("tower_fixed_contacts")->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_FixedContactScene, BuildPyramid)->Name("pyramid_fixed_contacts")->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_FixedContactScene, BuildColumns)->Name("columns_fixed_contacts")->Arg(10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
