// Kernels of vehicles: the tire shape's stretched support point and ray cast, each beside the unit
// rounded disc it forwards to, a tire added to and removed from the reference car, and the vehicle's own
// system of the resting reference car solved.

#include "physics/collision/dgCollisionChamferCylinder.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/dynamics/dgTireCollision.h"
#include "physics/dynamics/dgVehicleSolver.h"
#include "physics/dynamics/dgVehicleTire.h"
#include "physics/dynamics/dgWorld.h"

#include "support/VehicleScenes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kInputs = 1024;

// Directions spread evenly over the sphere by the golden angle, from the given offset along the spiral.
std::vector<dgVector> SpiralDirections(dgFloat32 offset) {
    constexpr dgFloat32 kGoldenAngle = 2.3999632f;
    std::vector<dgVector> dirs;
    for (int i = 0; i < kInputs; i++) {
        const dgFloat32 k = (static_cast<dgFloat32>(i) + offset) / static_cast<dgFloat32>(kInputs);
        const dgFloat32 y = 1.0f - 2.0f * k;
        const dgFloat32 r = std::sqrt(std::max(0.0f, 1.0f - y * y));
        const dgFloat32 a = kGoldenAngle * static_cast<dgFloat32>(i) * (1.0f + offset);
        dirs.push_back(dgVector(r * std::cos(a), y, r * std::sin(a), 0.0f));
    }
    return dirs;
}

// The reference car's tire shape and the unit disc, both at the identity.
struct Shapes {
    Shapes() {
        m_tire.m_width = vehiclescene::kTireWidth;
        m_tire.m_radius = vehiclescene::kTireRadius;
        new dgTireCollision(nullptr, &m_tire, dgGetIdentityMatrix());
    }
    ~Shapes() {
        dgRefRelease(m_tire.m_collision);
        dgRefRelease(m_unit);
    }
    const dgConvexCollision& Get(bool tire) const {
        return tire ? static_cast<const dgConvexCollision&>(*m_tire.m_collision) : *m_unit;
    }
    dgVehicleTire m_tire;
    dgCollisionChamferCylinder* m_unit = new dgCollisionChamferCylinder(0u, 1.0f, 1.0f, dgGetIdentityMatrix());
};

// range(0): 1 the tire, 0 the unit disc.
void BM_dgTireCollision_SupportVertex(benchmark::State& state) {
    const Shapes shapes;
    const dgConvexCollision& shape = shapes.Get(state.range(0) != 0);
    const std::vector<dgVector> dirs = SpiralDirections(0.5f);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(shape.SupportVertex(dirs[i]));
        i = (i + 1) & (kInputs - 1);
    }
}
BENCHMARK(BM_dgTireCollision_SupportVertex)->Arg(0)->Arg(1);

// Segments from a shell of twice the shape's size towards points near its centre.
void BM_dgTireCollision_RayCast(benchmark::State& state) {
    const bool tire = state.range(0) != 0;
    const Shapes shapes;
    const dgConvexCollision& shape = shapes.Get(tire);
    const dgFloat32 size = tire ? 2.0f * vehiclescene::kTireRadius : 2.0f;
    const std::vector<dgVector> from = SpiralDirections(0.25f);
    const std::vector<dgVector> to = SpiralDirections(0.75f);
    dgContactPoint contact;
    int i = 0;
    for (auto _ : state) {
        const dgVector p0 = from[i].Scale(size);
        const dgVector p1 = to[i].Scale(0.1f * size);
        benchmark::DoNotOptimize(shape.RayCast(dgVector(p0.x, p0.y, p0.z, 1.0f), dgVector(p1.x, p1.y, p1.z, 1.0f),
                                               contact, nullptr, nullptr, nullptr));
        i = (i + 1) & (kInputs - 1);
    }
}
BENCHMARK(BM_dgTireCollision_RayCast)->Arg(0)->Arg(1);

void BM_dgVehicleJoint_AddRemoveTire(benchmark::State& state) {
    vehiclescene::ReferenceCar car;
    for (auto _ : state) {
        dgVehicleTireHandle* tire = car.AddTire({0.0f, -0.5f, 0.0f}, 9);
        dgApiVehicleRemoveTire(car.m_vehicle, tire);
    }
}
BENCHMARK(BM_dgVehicleJoint_AddRemoveTire);

// The resting car's system (4 tires on the floor); the tires and the chassis's accumulators are put back
// after each solve.
void BM_dgVehicleSolver_Solve(benchmark::State& state) {
    vehiclescene::ReferenceCar car(vehiclescene::kDropHeight);
    car.m_scene.Step(120);
    dgWorld* world = car.m_scene.m_world;
    // The first half of a step: the pair update gathers the step's tire contacts and leaves them with the
    // tires.
    const dgStepContext step = world->BeginStep(jointscene::kStep);
    world->m_broadPhase.ApplyForcesAndPredictBoxes(step);
    world->m_broadPhase.UpdatePairs(step);
    auto* vehicle = static_cast<dgVehicleJoint*>(car.m_vehicle);
    std::vector<dgVehicleTire> saved;
    for (auto* node = vehicle->m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        saved.push_back(node->GetInfo());
    }
    dgBody* chassis = car.m_chassis;
    const dgVector force = chassis->m_force;
    const dgVector torque = chassis->m_torque;
    dgVehicleSolver& solver = world->m_vehicleWorkspace->m_solver;
    for (auto _ : state) {
        solver.Solve(*vehicle, jointscene::kStep / 3.0f);
        int i = 0;
        for (auto* node = vehicle->m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
            node->GetInfo() = saved[i++];
        }
        chassis->m_force = force;
        chassis->m_torque = torque;
    }
    state.counters["rows"] = solver.GetRowCount();
}
BENCHMARK(BM_dgVehicleSolver_Solve);

} // namespace

BENCHMARK_MAIN();
