// Whole world steps of the reference car at 1/60 s: 10 s of drive on the flat floor (vehicle_4) and the
// speed-held drive over the rolling tree-collision terrain (vehicle_4_terrain). Counters: ms per step,
// vehicle sub-steps per step, tire contacts kept per sub-step, and the speed at the end.

#include "physics/dynamics/dgTireCollision.h"
#include "physics/dynamics/dgVehicleJoint.h"

#include "support/VehicleTerrain.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

constexpr int kSteps = 600;

struct Tally {
    long m_subSteps = 0;
    long m_contacts = 0;
};
Tally g_tally;

// The controls, and what the gathering handed each tire in this sub-step.
void CountingControls(dgJointBase* vehicle) {
    vehiclescene::ApplyControls(vehicle);
    g_tally.m_subSteps++;
    auto* typed = static_cast<dgVehicleJoint*>(vehicle);
    for (auto* node = typed->m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        g_tally.m_contacts += node->GetInfo().m_collision->GetContactCount();
    }
}

template <class Car> void Drive(benchmark::State& state, Car& car) {
    dgApiVehicleSetTireCallback(car.m_vehicle, CountingControls);
    g_tally = Tally{};
    double seconds = 0.0;
    for (int i = 0; i < kSteps; i++) {
        const auto start = std::chrono::steady_clock::now();
        car.m_scene.Step();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.SetIterationTime(seconds);
    state.counters["ms_per_step"] = 1000.0 * seconds / kSteps;
    state.counters["sub_steps_per_step"] = static_cast<double>(g_tally.m_subSteps) / kSteps;
    state.counters["tire_contacts_per_sub_step"] = static_cast<double>(g_tally.m_contacts) / g_tally.m_subSteps;
    state.counters["end_speed_mps"] = vehiclescene::ForwardSpeed(car.m_chassis);
}

void BM_Vehicle4(benchmark::State& state) {
    for (auto _ : state) {
        vehiclescene::Controls drive;
        drive.m_rearTorque = 150.0f;
        vehiclescene::ControlledCar car(vehiclescene::kDropHeight, drive);
        Drive(state, car);
    }
}
BENCHMARK(BM_Vehicle4)->Name("vehicle_4")->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Vehicle4Terrain(benchmark::State& state) {
    for (auto _ : state) {
        vehiclescene::Controls cruise;
        cruise.m_rearTorque = 600.0f;
        cruise.m_targetSpeed = 5.0f;
        vehiclescene::TerrainCar car(-28.0f, cruise);
        Drive(state, car);
    }
}
BENCHMARK(BM_Vehicle4Terrain)->Name("vehicle_4_terrain")->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
