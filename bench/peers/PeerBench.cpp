// The peer benchmark: each named scene, built from one description, stepped at fixed 1/60 s steps on one
// thread by this engine and by the peer engines found at build time, one table per scene. Scenes with
// joints add the joint error: the largest and mean separation of each joint's two pivot points over
// every step; scenes with limited ball joints the limit overshoot: the largest excess of a joint's swing
// over its cone, or of its twist over its twist limit, measured from the poses after every step.
//
//   orvalen_peer_bench [--smoke] [--steps N] [--scene NAME] [--engine NAME]
//   orvalen_peer_bench --golden
//
// --smoke runs a few steps of every scene (the CI check that every back-end builds and steps them).
// --golden steps three large scenes 300 steps in this engine's scalar build and checks a hash of every
// body's pose against the one recorded before the solver was sped up: any change of a result shows.

#include "PeerBackend.h"
#include "PeerMeasure.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

/// Steps run before the clock starts: first contacts, pool and cache growth.
constexpr int kWarmupSteps = 30;

struct EngineEntry {
    const char* name;
    std::function<std::unique_ptr<PeerBackend>()> make;
};

std::vector<EngineEntry> Engines() {
    // This engine's default (packed where the processor has it) with its scalar build beside it.
    std::vector<EngineEntry> engines = {{"dgApi", MakeDgApiBackend}, {"dgApi-scalar", MakeDgApiScalarBackend}};
#if ORVALEN_PEER_BULLET
    engines.push_back({"bullet", MakeBulletBackend});
#endif
#if ORVALEN_PEER_ODE
    engines.push_back({"ode", MakeOdeBackend});
#endif
    return engines;
}

struct RunResult {
    bool built = false;
    double medianMs = 0.0;
    double meanMs = 0.0; ///< includes the steps before the bodies fall asleep
    int contacts = 0;
    int atRest = 0;
    int asleep = 0;
    float penetration = 0.0f;
    int drifting = 0; ///< bodies at rest at the drift reference and at the end
    float maxDrift = 0.0f;
    float meanDrift = 0.0f;
    PeerJointError jointError;   ///< over every step
    double limitOvershoot = 0.0; ///< radians, over every step; 0 when no limit was passed
};

bool HasLimits(const NamedScene& scene) {
    return std::any_of(scene.joints.begin(), scene.joints.end(), [](const SceneJoint& joint) {
        return joint.coneAngle > 0.0f || joint.twistAngle > 0.0f;
    });
}

RunResult Run(PeerBackend& engine, const NamedScene& scene, int steps, int warmup, int driftFrom) {
    RunResult result;
    if (!engine.Build(scene)) {
        return result;
    }
    result.built = true;
    const std::vector<ScenePose> initial = scene.InitialPoses();
    std::vector<ScenePose> beforeReference = initial, reference = initial, beforeLast, last;
    std::vector<double> times;
    for (int step = 0; step < steps; step++) {
        if (step == driftFrom - 1) {
            engine.GetPoses(beforeReference);
        }
        if (step == steps - 1) {
            engine.GetPoses(beforeLast);
        }
        const auto start = std::chrono::steady_clock::now();
        engine.Step(kSceneStep);
        const auto end = std::chrono::steady_clock::now();
        if (step >= warmup) {
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        if (step == driftFrom - 1) {
            engine.GetPoses(reference);
        }
        if (!scene.joints.empty()) {
            engine.GetPoses(last);
            PeerAddJointSeparations(scene, last, result.jointError);
            PeerAddLimitOvershoots(scene, last, result.limitOvershoot);
        }
    }
    engine.GetPoses(last);
    if (!times.empty()) {
        for (double time : times) {
            result.meanMs += time / static_cast<double>(times.size());
        }
        std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
        result.medianMs = times[times.size() / 2];
    }
    result.contacts = engine.ContactCount();
    result.asleep = engine.SleepingCount();
    result.penetration = PeerMaxPenetration(scene, last);
    double driftSum = 0.0;
    for (size_t i = 0; i < scene.bodies.size(); i++) {
        if (scene.bodies[i].mass <= 0.0f || !PeerAtRest(beforeLast[i], last[i], kSceneStep)) {
            continue;
        }
        result.atRest++;
        if (!PeerAtRest(beforeReference[i], reference[i], kSceneStep)) {
            continue;
        }
        float squared = 0.0f;
        for (int k = 0; k < 3; k++) {
            const float d = last[i].position[k] - reference[i].position[k];
            squared += d * d;
        }
        const float drift = std::sqrt(squared);
        result.drifting++;
        result.maxDrift = std::max(result.maxDrift, drift);
        driftSum += drift;
    }
    if (result.drifting > 0) {
        result.meanDrift = static_cast<float>(driftSum / result.drifting);
    }
    return result;
}

void PrintTable(const NamedScene& scene, int steps, int warmup, int driftFrom,
                const std::vector<std::pair<std::string, RunResult>>& rows) {
    std::printf(
        "\n%s: %d dynamic bodies%s, start poses %016llx, %d steps of 1/60 s (first %d untimed), drift "
        "from step %d\n",
        scene.name.c_str(), scene.DynamicCount(),
        scene.terrain.indices.empty() ? "" : " on a triangle terrain", HashPoses(scene.InitialPoses()), steps,
        warmup, driftFrom);
    const bool joints = !scene.joints.empty();
    const bool limits = HasLimits(scene);
    std::printf("%-12s %10s %10s %9s %8s %7s %13s %11s %11s%s%s\n", "engine", "ms median", "ms mean",
                "contacts", "at rest", "asleep", "max pen (mm)", "drift max", "drift mean",
                joints ? "  joint max (mm)  joint mean (mm)" : "", limits ? "  limit overshoot (deg)" : "");
    for (const auto& [name, r] : rows) {
        if (!r.built) {
            std::printf("%-12s %10s %10s %9s %8s %7s %13s %11s %11s", name.c_str(), "n/a", "n/a", "n/a", "n/a",
                        "n/a", "n/a", "n/a", "n/a");
            std::printf("%s%s\n", joints ? "             n/a              n/a" : "",
                        limits ? "                    n/a" : "");
            continue;
        }
        std::printf("%-12s %10.4f %10.4f %9d %8d %7d %13.2f %11.2f %11.2f", name.c_str(), r.medianMs, r.meanMs,
                    r.contacts, r.atRest, r.asleep, 1000.0f * r.penetration, 1000.0f * r.maxDrift,
                    1000.0f * r.meanDrift);
        if (joints) {
            std::printf(" %15.2f %16.2f", 1000.0 * r.jointError.largest, 1000.0 * r.jointError.Mean());
        }
        if (limits) {
            std::printf(" %22.2f", r.limitOvershoot * 57.29577951308232);
        }
        std::printf("\n");
    }
}

/// What a vehicle scene measures: the suspension's sag under the resting chassis, the time from rest to
/// 10 m/s under the drive torque, the distance the brakes take from 10 m/s to a stop, and the step time.
struct VehicleResult {
    bool built = false;
    float sag = 0.0f;
    float accelerationTime = -1.0f; ///< s; below 0: 10 m/s not reached
    float brakingDistance = -1.0f;  ///< m; below 0: not stopped
    double meanMs = 0.0;
};

VehicleResult RunVehicle(PeerBackend& engine, const NamedScene& scene, int steps) {
    VehicleResult result;
    if (!engine.Build(scene)) {
        return result;
    }
    result.built = true;
    const SceneVehicle& vehicle = scene.vehicle;
    enum class Phase { kSettle, kDrive, kBrake, kDone } phase = Phase::kSettle;
    std::vector<ScenePose> poses = scene.InitialPoses();
    float lastX = poses[vehicle.chassis].position[0];
    float brakeFrom = 0.0f;
    int driveFrom = 0;
    int step = 0;
    double totalMs = 0.0;
    for (; step < steps && phase != Phase::kDone; step++) {
        if (phase == Phase::kSettle && step == vehicle.settleSteps) {
            result.sag = scene.bodies[vehicle.chassis].position[1] - poses[vehicle.chassis].position[1];
            engine.SetVehicleInputs(vehicle.driveTorque, 0.0f);
            phase = Phase::kDrive;
            driveFrom = step;
        }
        const auto start = std::chrono::steady_clock::now();
        engine.Step(kSceneStep);
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        engine.GetPoses(poses);
        const float x = poses[vehicle.chassis].position[0];
        const float speed = std::fabs(x - lastX) / kSceneStep;
        lastX = x;
        if (phase == Phase::kDrive && speed >= 10.0f) {
            result.accelerationTime = static_cast<float>(step + 1 - driveFrom) * kSceneStep;
            engine.SetVehicleInputs(0.0f, vehicle.brakeTorque);
            phase = Phase::kBrake;
            brakeFrom = x;
        } else if (phase == Phase::kBrake && speed < 0.1f) {
            result.brakingDistance = std::fabs(x - brakeFrom);
            phase = Phase::kDone;
        }
    }
    result.meanMs = step > 0 ? totalMs / step : 0.0;
    return result;
}

void PrintVehicleTable(const NamedScene& scene, const std::vector<std::pair<std::string, VehicleResult>>& rows) {
    const SceneVehicle& v = scene.vehicle;
    std::printf("\n%s: a %.0f kg car on %d wheels of %.2f m, %.0f N·m per driven wheel to 10 m/s, then %.0f N·m "
                "brakes on every wheel\n",
                scene.name.c_str(), scene.bodies[v.chassis].mass, SceneVehicle::kWheels, v.wheelRadius,
                v.driveTorque, v.brakeTorque);
    std::printf("%-12s %15s %14s %24s %12s\n", "engine", "static sag (m)", "0-10 m/s (s)", "braking from 10 m/s (m)",
                "ms per step");
    const auto value = [](float x) { return x < 0.0f ? std::string("n/a") : std::to_string(x).substr(0, 6); };
    for (const auto& [name, r] : rows) {
        if (!r.built) {
            std::printf("%-12s %15s %14s %24s %12s\n", name.c_str(), "n/a", "n/a", "n/a", "n/a");
            continue;
        }
        std::printf("%-12s %15.3f %14s %24s %12.4f\n", name.c_str(), r.sag, value(r.accelerationTime).c_str(),
                    value(r.brakingDistance).c_str(), r.meanMs);
    }
}

int RunGolden() {
    constexpr int kGoldenSteps = 300;
    struct Golden {
        const char* scene;
        unsigned long long hash;
    };
    static const Golden kGolden[] = {
        {"pyramid_20", 0xdabf899ff79766a7ull},
        {"rain_1000", 0x4886ae874733fea5ull},
        {"rain_soup_1000", 0xbec3e8419a15fd00ull},
    };
    int differing = 0;
    for (const Golden& golden : kGolden) {
        NamedScene scene;
        MakeNamedScene(golden.scene, scene);
        // Recorded in the scalar build: the packed one sums in another order, so its last bits differ.
        std::unique_ptr<PeerBackend> engine = MakeDgApiScalarBackend();
        engine->Build(scene);
        for (int step = 0; step < kGoldenSteps; step++) {
            engine->Step(kSceneStep);
        }
        std::vector<ScenePose> poses;
        engine->GetPoses(poses);
        const unsigned long long hash = HashPoses(poses);
        const bool same = hash == golden.hash;
        differing += same ? 0 : 1;
        std::printf("%s after %d steps: %016llx %s\n", golden.scene, kGoldenSteps, hash,
                    same ? "golden" : "DIFFERS");
    }
    return differing == 0 ? 0 : 1;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: orvalen_peer_bench [--smoke] [--steps N] [--scene NAME] [--engine NAME] | --golden\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool smoke = false;
    int stepsOverride = 0;
    std::vector<std::string> sceneNames, engineNames;
    for (int i = 1; i < argc; i++) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--golden") == 0 && argc == 2) {
            return RunGolden();
        } else if (std::strcmp(argv[i], "--smoke") == 0) {
            smoke = true;
        } else if (std::strcmp(argv[i], "--steps") == 0 && hasValue) {
            stepsOverride = std::atoi(argv[++i]);
            if (stepsOverride < 1) {
                return Usage();
            }
        } else if (std::strcmp(argv[i], "--scene") == 0 && hasValue) {
            sceneNames.emplace_back(argv[++i]);
        } else if (std::strcmp(argv[i], "--engine") == 0 && hasValue) {
            engineNames.emplace_back(argv[++i]);
        } else {
            return Usage();
        }
    }
    if (sceneNames.empty()) {
        sceneNames = NamedSceneNames();
    }
    std::vector<EngineEntry> engines;
    for (const EngineEntry& engine : Engines()) {
        if (engineNames.empty() ||
            std::find(engineNames.begin(), engineNames.end(), engine.name) != engineNames.end()) {
            engines.push_back(engine);
        }
    }
    if (engines.empty()) {
        std::fprintf(stderr, "orvalen_peer_bench: no such engine in this build\n");
        return 2;
    }
    for (const std::string& name : sceneNames) {
        NamedScene scene;
        if (!MakeNamedScene(name, scene)) {
            std::fprintf(stderr, "orvalen_peer_bench: unknown scene %s\n", name.c_str());
            return 2;
        }
        const int steps = stepsOverride > 0 ? stepsOverride : smoke ? 8 : scene.steps;
        if (scene.vehicle.chassis >= 0) {
            std::vector<std::pair<std::string, VehicleResult>> rows;
            for (const EngineEntry& engine : engines) {
                std::unique_ptr<PeerBackend> backend = engine.make();
                rows.emplace_back(engine.name, RunVehicle(*backend, scene, steps));
            }
            PrintVehicleTable(scene, rows);
            continue;
        }
        const int warmup = std::min(smoke ? 2 : kWarmupSteps, steps - 1);
        const int driftFrom = scene.driftFrom < steps ? scene.driftFrom : steps / 2;
        std::vector<std::pair<std::string, RunResult>> rows;
        for (const EngineEntry& engine : engines) {
            std::unique_ptr<PeerBackend> backend = engine.make();
            rows.emplace_back(engine.name, Run(*backend, scene, steps, warmup, driftFrom));
        }
        PrintTable(scene, steps, warmup, driftFrom, rows);
    }
    return 0;
}
