#include "physics/dynamics/dgWorldDynamicsUpdate.h"

#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgJointBase.h"
#include "physics/dynamics/dgJointLink.h"
#include "physics/dynamics/dgMxcsrScope.h"
#include "physics/dynamics/dgVehicleSolver.h"
#include "physics/dynamics/dgWorld.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

/// Rest thresholds grow with the island (up to this factor), so big stacks can settle.
constexpr dgFloat32 kRestGrowth = 1.1f;
constexpr dgFloat32 kMaxRestFactor = 5.0f;
// Vehicle sub-steps of one step at most, whatever the step's length.
constexpr dgInt32 kMaxVehicleSubSteps = 64;

template <typename T>
void Reserve(T*& array, dgInt32& capacity, dgInt32 used, dgInt32 count) {
    if (count <= capacity) {
        return;
    }
    const dgInt32 grown = std::max({count, capacity * 2, 64});
    T* fresh = static_cast<T*>(dgMalloc(sizeof(T) * static_cast<std::size_t>(grown)));
    if (array != nullptr) {
        dgCopyBytes(static_cast<void*>(fresh), static_cast<const void*>(array),
                    sizeof(T) * static_cast<std::size_t>(used));
        dgFree(array);
    }
    array = fresh;
    capacity = grown;
}

bool HasMass(const dgBody* body) {
    return body != nullptr && body->m_invMass.w != 0.0f;
}

dgFloat32 LengthSquared(const dgVector& v) {
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

void RemoveFromActiveSet(dgWorld& world, dgBody* body) {
    world.m_activeBodies.RemoveNode(body->m_activeNode);
    body->m_activeNode = nullptr;
}

} // namespace

dgWorldDynamicsUpdate::~dgWorldDynamicsUpdate() {
    dgFree(m_joints);
    dgFree(m_stack);
    dgFree(m_activeSnapshot);
}

dgUnsigned64 dgWorldDynamicsUpdate::GetSolverStamp(const dgBody* body) {
    return (static_cast<dgUnsigned64>(body->m_solverMarks[1]) << 32) | body->m_solverMarks[0];
}

void dgWorldDynamicsUpdate::SetSolverStamp(dgBody* body, dgUnsigned64 stamp) {
    // Stamps stay far below 2^60, so bit 28 of the high word stays free for the linked-body walk.
    body->m_solverMarks[0] = static_cast<dgUnsigned32>(stamp);
    body->m_solverMarks[1] = static_cast<dgUnsigned32>(stamp >> 32) | (body->m_solverMarks[1] & (1u << 28));
}

void dgWorldDynamicsUpdate::AddGyroscopicTorque(dgBody* body) {
    if ((body->m_flags & dgBody::kGyroscopicTorque) == 0) {
        return;
    }
    const dgVector w = body->m_matrix.InverseRotateVector(body->m_omega);
    const dgVector l(body->m_mass.x * w.x, body->m_mass.y * w.y, body->m_mass.z * w.z, 0.0f);
    const dgVector g = body->m_matrix.RotateVector(w.CrossProduct(l));
    body->m_torque = dgVector(body->m_torque.x - g.x, body->m_torque.y - g.y, body->m_torque.z - g.z,
                              body->m_torque.w);
}

void dgWorldDynamicsUpdate::ApplyDamping(dgBody* body) {
    const dgFloat32 k = 1.0f - body->m_linearDamping;
    body->m_veloc = dgVector(body->m_veloc.x * k, body->m_veloc.y * k, body->m_veloc.z * k, body->m_veloc.w);
    const dgVector w = body->m_matrix.InverseRotateVector(body->m_omega);
    const dgVector& a = body->m_angularDamping;
    const dgVector damped(w.x - a.x * w.x, w.y - a.y * w.y, w.z - a.z * w.z, 0.0f);
    const dgVector omega = body->m_matrix.RotateVector(damped);
    body->m_omega = dgVector(omega.x, omega.y, omega.z, body->m_omega.w);
}

void dgWorldDynamicsUpdate::SolveIslands(dgWorld& world, const dgStepContext& step) {
    m_area.m_solverModel = world.m_solverModel;
    m_area.m_frictionModel = world.m_frictionModel;
    m_area.m_frictionThreshold = world.m_frictionThreshold;
    m_params.m_world = &world;
    m_params.m_timeStep = step.m_timeStep;
    m_params.m_invTimeStep = step.m_invTimeStep;

    m_packed = ORVALEN_PACKED_BUILD && world.m_simdBuild != 0;
    std::optional<dgMxcsrScope> flushToZero;
    if (m_packed) {
        flushToZero.emplace(dgMxcsrScope::kFlushToZero);
    }

    const dgUnsigned64 stamp = step.m_stamp;
    const dgUnsigned64 done = stamp + 2;
    if (world.m_vehicleUpdateSet.GetCount() > 0) {
        UpdateVehicles(world, step);
    }

    // Island work freezes bodies and callbacks may wake others: walk a snapshot of the set.
    const dgInt32 activeCount = world.m_activeBodies.GetCount();
    Reserve(m_activeSnapshot, m_snapshotCapacity, 0, activeCount);
    dgInt32 snapshotCount = 0;
    for (auto* node = world.m_activeBodies.GetFirst(); node != nullptr; node = world.m_activeBodies.GetNext(node)) {
        m_activeSnapshot[snapshotCount++] = node->GetInfo();
    }

    for (dgInt32 i = 0; i < snapshotCount; i++) {
        dgBody* body = m_activeSnapshot[i];
        if (body->m_activeNode == nullptr) {
            continue;
        }
        if (!HasMass(body)) {
            RemoveFromActiveSet(world, body);
            if (body->m_autoActive != nullptr && (body->m_flags & dgBody::kActive) != 0) {
                body->m_autoActive(body, 0);
            }
            // The packed build leaves the equilibrium bit as it was.
            body->m_flags &= ~dgBody::kActive;
            if (!m_packed) {
                body->m_flags |= dgBody::kEquilibrium;
            }
            continue;
        }
        if (GetSolverStamp(body) >= done) {
            continue;
        }
        const dgInt32 count = BuildIsland(world, body, stamp);
        PrepareIslandBodies(count);
        SolveIslandRows(world);
        if (IntegrateIsland(world, count, step.m_timeStep, done)) {
            PutIslandToRest(world, count);
        }
    }
}

void dgWorldDynamicsUpdate::UpdateVehicles(dgWorld& world, const dgStepContext& step) {
    const dgFloat32 wanted = std::ceil(world.m_vehicleSubStepRate * step.m_timeStep);
    const dgInt32 count =
        wanted >= 1.0f ? static_cast<dgInt32>(std::min(wanted, static_cast<dgFloat32>(kMaxVehicleSubSteps))) : 1;
    const dgFloat32 subDt = step.m_timeStep / static_cast<dgFloat32>(count);
    const dgStepContext subStep{subDt, subDt > 0.0f ? 1.0f / subDt : 0.0f, step.m_stamp};
    // The world's step time is the sub-step's meanwhile: the tire callbacks read it.
    world.m_timeStep = subStep.m_timeStep;
    world.m_invTimeStep = subStep.m_invTimeStep;
    m_params.m_timeStep = subStep.m_timeStep;
    m_params.m_invTimeStep = subStep.m_invTimeStep;
    for (dgInt32 i = 1; i < count; i++) {
        VehicleSubStep(world, subStep, false);
    }
    VehicleSubStep(world, subStep, true);
    // Chassis noted by the sub-steps' contact calculation wait for nothing: the next step notes them again.
    world.m_tireContactSet.RemoveAll();
    world.m_timeStep = step.m_timeStep;
    world.m_invTimeStep = step.m_invTimeStep;
    m_params.m_timeStep = step.m_timeStep;
    m_params.m_invTimeStep = step.m_invTimeStep;
}

void dgWorldDynamicsUpdate::VehicleSubStep(dgWorld& world, const dgStepContext& subStep, bool last) {
    const dgUnsigned64 stamp = subStep.m_stamp;
    const dgUnsigned64 done = stamp + 2;
    const dgFloat32 dt = subStep.m_timeStep;
    auto& vehicles = world.m_vehicleUpdateSet;
    for (auto* node = vehicles.GetFirst(); node != nullptr; node = vehicles.GetNext(node)) {
        dgVehicleJoint* const vehicle = node->GetInfo();
        dgBody* const chassis = vehicle->m_body0;
        if (vehicle->m_vehicleStamp >= done || (chassis->m_flags & dgBody::kActive) == 0 || !HasMass(chassis)) {
            continue;
        }
        const dgInt32 count = BuildIsland(world, chassis, stamp);
        PrepareIslandBodies(count);
        SolveIslandRows(world);
        if (IntegrateIsland(world, count, dt, done, !last)) {
            PutIslandToRest(world, count);
        }
        if (last) {
            for (dgInt32 j = 0; j < m_vehicleJointCount; j++) {
                static_cast<dgVehicleJoint*>(m_joints[j])->m_vehicleStamp = done;
            }
            continue;
        }
        // The island runs again in the next sub-step, with fresh forces and contacts.
        for (dgInt32 i = 1; i < count; i++) {
            dgBody* const body = m_area.m_bodies[i];
            SetSolverStamp(body, stamp);
            body->m_force = dgVector(0.0f, 0.0f, 0.0f, 0.0f);
            body->m_torque = dgVector(0.0f, 0.0f, 0.0f, 0.0f);
            if (body->m_forceAndTorque != nullptr) {
                body->m_forceAndTorque(body);
            }
        }
        dgGrowableArray<dgJointBase*>& linked = world.m_vehicleWorkspace->m_linkedJoints;
        world.CollectLinkedJoints(vehicle, stamp, linked);
        for (dgInt32 j = 0; j < linked.GetCount(); j++) {
            dgJointBase* const joint = linked[j];
            if (joint->m_kind == dgJointBase::kContactJoint && joint->m_staleMark == 0) {
                world.CalculateContacts(joint->m_body0, joint->m_body1, subStep);
            }
        }
        for (dgInt32 j = 0; j < linked.GetCount(); j++) {
            if (linked[j]->m_kind == dgJointBase::kVehicleJoint) {
                auto* const linkedVehicle = static_cast<dgVehicleJoint*>(linked[j]);
                linkedVehicle->m_vehicleStamp = done;
                linkedVehicle->CollectTireContacts();
            }
        }
    }
    // Tires the callbacks removed go with the sub-step that saw their removal.
    for (auto* node = vehicles.GetFirst(); node != nullptr; node = vehicles.GetNext(node)) {
        node->GetInfo()->RemovePendingTires();
        if (!last) {
            node->GetInfo()->m_vehicleStamp = stamp;
        }
    }
}

void dgWorldDynamicsUpdate::AddIslandBody(dgBody* body, dgUnsigned64 mark) {
    SetSolverStamp(body, mark);
    const dgInt32 index = m_area.m_bodyCount;
    body->m_islandIndex = index;
    m_area.ReserveBodies(index + 1);
    m_area.m_bodies[index] = body;
    m_area.m_bodyCount = index + 1;
}

void dgWorldDynamicsUpdate::AddJoint(dgJointBase* joint) {
    Reserve(m_joints, m_jointCapacity, m_jointCount, m_jointCount + 1);
    m_joints[m_jointCount++] = joint;
}

void dgWorldDynamicsUpdate::PushLink(dgJointLink* link, dgInt32& depth) {
    Reserve(m_stack, m_stackCapacity, depth, depth + 1);
    m_stack[depth++] = link;
}

dgInt32 dgWorldDynamicsUpdate::IslandIndex(const dgBody* body) const {
    // A body joined during this update to one already integrated is not part of the island: it counts
    // as fixed for this step.
    return HasMass(body) && GetSolverStamp(body) == m_islandMark ? body->m_islandIndex : 0;
}

dgInt32 dgWorldDynamicsUpdate::BuildIsland(dgWorld& world, dgBody* body, dgUnsigned64 stamp) {
    const dgUnsigned64 mark = stamp + 1;
    m_islandMark = mark;
    m_area.Clear();
    m_jointCount = 0;
    m_vehicleJointCount = 0;

    AddIslandBody(body, mark);
    if (body->m_jointRing != nullptr) {
        dgInt32 depth = 0;
        PushLink(body->m_jointRing, depth);
        while (depth > 0) {
            dgJointLink* const head = m_stack[--depth];
            dgJointLink* link = head;
            do {
                dgJointLink* const next = link->GetNextInRing();
                dgBody* const own = link->m_body;
                dgBody* const other = link->m_twin->m_body;
                const bool otherJoins = HasMass(other) && GetSolverStamp(other) < mark;
                if (otherJoins) {
                    PushLink(link->m_twin, depth);
                }
                if (GetSolverStamp(own) < mark) {
                    AddIslandBody(own, mark);
                }
                if (otherJoins) {
                    AddIslandBody(other, mark);
                }
                dgJointBase* const joint = link->m_joint;
                if (joint->m_kind == dgJointBase::kContactJoint && joint->m_stamp < mark) {
                    auto* const contact = static_cast<dgContactJoint*>(joint);
                    if (contact->m_contactStamp != stamp) {
                        // The pair no longer touches: no rows, destroyed at the end of the update.
                        contact->m_stamp = mark;
                        contact->m_contactStamp = stamp;
                        contact->m_staleMark = 1;
                        world.m_contactJointPool.m_staleList.Append(contact);
                    }
                }
                // A stale joint may meet a later sub-step's walk: its points are last step's.
                if (joint->m_stamp < mark && joint->m_staleMark == 0) {
                    joint->m_stamp = mark;
                    AddJoint(joint);
                    if (joint->m_kind == dgJointBase::kVehicleJoint) {
                        // Vehicles first, in their order of discovery: they hand their results to the
                        // bodies' accumulators before the other joints' rows are built.
                        std::swap(m_joints[m_jointCount - 1], m_joints[m_vehicleJointCount]);
                        m_vehicleJointCount++;
                    }
                }
                link = next;
            } while (link != head);
        }
    }

    return m_area.m_bodyCount;
}

void dgWorldDynamicsUpdate::PrepareIslandBodies(dgInt32 count) {
    for (dgInt32 i = 1; i < count; i++) {
        dgBody* const member = m_area.m_bodies[i];
        AddGyroscopicTorque(member);
        ApplyDamping(member);
        member->CalcInvInertiaMatrix(m_area.m_invInertia[i]);
        m_area.m_invMass[i] = member->m_invMass.w;
    }
}

void dgWorldDynamicsUpdate::SolveIslandRows(dgWorld& world) {
    if (m_jointCount == 0) {
        return;
    }
    GatherRows(world);
    if (m_area.m_rowCount > 0) {
        dgBuildRowMatrix(m_area);
#if ORVALEN_PACKED_BUILD
        if (m_packed) {
            dgSolveIslandSimd(m_area);
            return;
        }
#endif
        dgSolveIsland(m_area);
    }
}

void dgWorldDynamicsUpdate::GatherRows(dgWorld& world) {
    (void)world;
    for (dgInt32 j = 0; j < m_jointCount; j++) {
        dgJointBase* const joint = m_joints[j];
        const dgInt32 reset = std::min<dgInt32>(joint->m_maxRows, dgJointParams::kMaxRows);
        m_params.ResetBounds(reset);
        const dgInt32 rows = std::clamp(joint->SubmitConstraints(m_params), 0, dgJointParams::kMaxRows);
        if (rows == 0) {
            continue;
        }
        const dgInt32 i0 = IslandIndex(joint->m_body0);
        const dgInt32 i1 = IslandIndex(joint->m_body1);
        const dgFloat32 invMassSum = m_area.m_invMass[i0] + m_area.m_invMass[i1];
        const dgFloat32 floor = invMassSum > 0.0f ? m_area.m_frictionThreshold / invMassSum : 0.0f;

        const dgInt32 first = m_area.m_rowCount;
        m_area.ReserveRows(first + rows);
        for (dgInt32 k = 0; k < rows; k++) {
            const dgInt32 g = first + k;
            m_area.m_jacobians[g] = m_params.m_jacobians[k];
            dgRowBounds bounds = m_params.m_bounds[k];
            if (bounds.m_class >= 0) {
                // A friction row must name another row of its own joint.
                bounds.m_class = bounds.m_class < rows && bounds.m_class != k ? bounds.m_class + first
                                                                              : dgRowBounds::kUnbounded;
            }
            m_area.m_bounds[g] = bounds;
            m_area.m_feedback[g] = m_params.m_forceFeedback[k];
            m_area.m_rhs[g] = m_params.m_accelerations[k];
            m_area.m_regularisation[g] = m_params.m_stiffness[k];
            m_area.m_bodyPairs[2 * g] = i0;
            m_area.m_bodyPairs[2 * g + 1] = i1;
            m_area.m_frictionFloor[g] = floor;
        }
        m_area.m_rowCount = first + rows;
    }
}

bool dgWorldDynamicsUpdate::IntegrateIsland(dgWorld& world, dgInt32 count, dgFloat32 dt, dgUnsigned64 done,
                                            bool holdTransforms) {
    const dgFloat32 factor =
        std::min(std::pow(kRestGrowth, static_cast<dgFloat32>(count - 1)), kMaxRestFactor);
    const dgFloat32 sA = 0.2f * factor;
    const dgFloat32 sF = 12.0f * sA;
    constexpr dgUnsigned32 kResting = dgBody::kAutoFreeze | dgBody::kEquilibrium;

    const auto integrate = [&](dgBody* body) {
        const dgBodyTransformCallback transform = body->m_transform;
        if (holdTransforms) {
            body->m_transform = nullptr;
        }
        body->IntegrateStep(dt);
        body->m_transform = transform;
    };
    bool rest = true;
    for (dgInt32 i = 1; i < count; i++) {
        dgBody* const body = m_area.m_bodies[i];
        const dgFloat32 s = body->m_freezeThresholds[0];
        const dgFloat32 o = body->m_freezeThresholds[1];
        if ((body->m_flags & dgBody::kEquilibrium) != 0) {
            const dgVector a = body->m_force.Scale(body->m_invMass.w);
            const dgVector alpha = body->m_matrix.InverseRotateVector(body->m_torque).CompProduct(body->m_invMass);
            if (!(LengthSquared(a) < sF * s && LengthSquared(alpha) < sF * o)) {
                body->m_flags &= ~dgBody::kEquilibrium;
                integrate(body);
            }
        } else {
            integrate(body);
            if (LengthSquared(body->m_force) < sF * s && LengthSquared(body->m_torque) < sF * o &&
                LengthSquared(body->m_veloc) < sA * body->m_freezeThresholds[2] &&
                LengthSquared(body->m_omega) < sA * body->m_freezeThresholds[3]) {
                body->m_flags |= dgBody::kEquilibrium;
            }
        }
        SetSolverStamp(body, done);
        if ((body->m_flags & dgBody::kActive) == 0 && body->m_autoActive != nullptr) {
            body->m_autoActive(body, 1);
        }
        body->m_flags |= dgBody::kActive;

        const bool resting = (body->m_flags & kResting) == kResting;
        if (i == 1) {
            rest = resting;
            continue;
        }
        if (!resting) {
            rest = false;
        }
        // Only the body the island grew from stays in the active set; the others come through it.
        if (body->m_activeNode != nullptr) {
            if ((body->m_flags & dgBody::kAutoFreeze) != 0) {
                RemoveFromActiveSet(world, body);
            } else {
                rest = false;
            }
        }
    }
    return rest;
}

void dgWorldDynamicsUpdate::PutIslandToRest(dgWorld& world, dgInt32 count) {
    for (dgInt32 i = 1; i < count; i++) {
        dgBody* const body = m_area.m_bodies[i];
        body->m_flags &= ~dgBody::kActive;
        if (body->m_autoActive != nullptr) {
            body->m_autoActive(body, 0);
        }
    }
    dgBody* const first = m_area.m_bodies[1];
    if ((first->m_flags & dgBody::kAutoFreeze) != 0 && first->m_activeNode != nullptr) {
        RemoveFromActiveSet(world, first);
    }
}
