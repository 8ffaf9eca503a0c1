#pragma once
// The dynamics half of a world step: islands grown from the active bodies over joints and contacts,
// their rows solved, their bodies integrated, resting islands frozen and stale contact joints released.

#include "physics/core/dgTypes.h"
#include "physics/dynamics/dgJacobianSolver.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgStepContext.h"

#include <cstdint>

class dgBody;
class dgJointBase;
class dgJointLink;
class dgWorld;

class dgWorldDynamicsUpdate {
public:
    dgSolverWorkArea m_area;
    dgJointParams m_params;
    dgJointBase** m_joints = nullptr; ///< the island's joints
    dgJointLink** m_stack = nullptr;  ///< links of rings still to walk
    dgBody** m_activeSnapshot = nullptr;
    dgInt32 m_jointCount = 0;
    dgInt32 m_vehicleJointCount = 0; ///< the island's vehicle joints, first in m_joints
    dgInt32 m_jointCapacity = 0;
    dgInt32 m_stackCapacity = 0;
    dgUnsigned64 m_islandMark = 0; ///< the mark of the island being built
    dgInt32 m_snapshotCapacity = 0;
    bool m_packed = false; ///< this update runs the packed solver kernels (the world's m_simdBuild)

    dgWorldDynamicsUpdate() = default;
    ~dgWorldDynamicsUpdate();
    dgWorldDynamicsUpdate(const dgWorldDynamicsUpdate&) = delete;
    dgWorldDynamicsUpdate& operator=(const dgWorldDynamicsUpdate&) = delete;

    /// Every island of one step in turn: built, its bodies prepared, its rows solved, integrated and put
    /// to rest when all of it may rest. The world's m_simdBuild picks the solver kernels; the packed ones
    /// run with denormal results flushed to zero, callbacks included, and the host's MXCSR comes back
    /// before this returns.
    void SolveIslands(dgWorld& world, const dgStepContext& step);
    /// Grows the island from body (which has mass) through its joints; contact joints whose pair no longer
    /// touches go to the stale list. Returns the island's entry count: its bodies plus the static slot.
    dgInt32 BuildIsland(dgWorld& world, dgBody* body, dgUnsigned64 stamp);
    /// Gyroscopic torque and damping of the island's bodies, and their inverse mass and inertia.
    void PrepareIslandBodies(dgInt32 count);
    /// Gathers the rows of the island's joints and solves them; the forces land on the bodies.
    void SolveIslandRows(dgWorld& world);
    /// Integrates the solved island; true when all of it may go to rest. holdTransforms keeps the bodies'
    /// transform callbacks from running (a vehicle sub-step that is not the last).
    bool IntegrateIsland(dgWorld& world, dgInt32 count, dgFloat32 dt, dgUnsigned64 done, bool holdTransforms = false);
    /// The islands of the vehicles advanced in ceil(rate x dt) sub-steps before the other islands: forces
    /// and contacts of their bodies are refreshed between sub-steps.
    void UpdateVehicles(dgWorld& world, const dgStepContext& step);
    /// Clears the island's active bits and takes its first body out of the active set when it auto-freezes.
    void PutIslandToRest(dgWorld& world, dgInt32 count);

    /// Euler's torque-free term: torque -= omega x (I omega).
    static void AddGyroscopicTorque(dgBody* body);
    /// One step's linear and angular damping.
    static void ApplyDamping(dgBody* body);
    /// The 64-bit stamp of the body's last island (stamp + 1) or integration (stamp + 2).
    static dgUnsigned64 GetSolverStamp(const dgBody* body);
    static void SetSolverStamp(dgBody* body, dgUnsigned64 stamp);

private:
    void AddIslandBody(dgBody* body, dgUnsigned64 mark);
    dgInt32 IslandIndex(const dgBody* body) const;
    void GatherRows(dgWorld& world);
    void PushLink(dgJointLink* link, dgInt32& depth);
    void AddJoint(dgJointBase* joint);
    /// One sub-step of every vehicle's island not yet advanced in it; last: the step's final sub-step.
    void VehicleSubStep(dgWorld& world, const dgStepContext& subStep, bool last);
};
