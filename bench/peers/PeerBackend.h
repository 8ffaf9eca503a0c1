#pragma once

// One physics engine behind the peer benchmark: it builds a scene, steps it and reports what the
// measurements need. The geometry itself is measured outside the engines, from the poses they report.

#include "scenes/NamedScene.h"

#include <memory>
#include <vector>

class PeerBackend {
public:
    virtual ~PeerBackend() = default;

    virtual const char* Name() const = 0;
    /// Builds the scene into a fresh world; false when the engine cannot (the column is then marked n/a).
    virtual bool Build(const NamedScene& scene) = 0;
    /// One step of dt seconds.
    virtual void Step(float dt) = 0;
    /// The pose of every body of the scene, in the scene's order (static bodies included).
    virtual void GetPoses(std::vector<ScenePose>& poses) const = 0;
    /// Contact points the engine calculated in the last step (pairs with at least one awake body).
    virtual int ContactCount() const = 0;
    /// Dynamic bodies the engine has put to sleep.
    virtual int SleepingCount() const = 0;
    /// Vehicle scenes: the torque on each driven wheel and the brake torque on every wheel for the steps
    /// that follow, N·m.
    virtual void SetVehicleInputs(float driveTorque, float brakeTorque) {
        (void)driveTorque;
        (void)brakeTorque;
    }
};

/// This engine through its public interface, in the build of the dynamics update a new world picks.
std::unique_ptr<PeerBackend> MakeDgApiBackend();
/// The same in the scalar build.
std::unique_ptr<PeerBackend> MakeDgApiScalarBackend();
#if ORVALEN_PEER_BULLET
std::unique_ptr<PeerBackend> MakeBulletBackend();
#endif
#if ORVALEN_PEER_ODE
std::unique_ptr<PeerBackend> MakeOdeBackend();
#endif
