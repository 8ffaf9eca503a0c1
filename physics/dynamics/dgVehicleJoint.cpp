#include "physics/dynamics/dgVehicleJoint.h"

#include "physics/collision/dgCompoundCollision.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgJointLink.h"
#include "physics/dynamics/dgTireCollision.h"
#include "physics/dynamics/dgVehicleSolver.h"
#include "physics/dynamics/dgWorld.h"

#include <cmath>

namespace {

constexpr dgFloat32 kQuarterTurn = 1.5707964f;
// Below this squared length a pin gives no axis.
constexpr dgFloat32 kMinPinLength2 = 1.0e-12f;

bool IsFinite(const dgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

bool IsFinite(const dgMatrix& m) {
    return IsFinite(m.front) && IsFinite(m.up) && IsFinite(m.right) && IsFinite(m.posit);
}

bool IsUsableSize(dgFloat32 value) {
    return std::isfinite(value) && std::fabs(value) >= dgVehicleJoint::kMinTireSize;
}

dgMatrix RotationAbout(const dgVector& axis, dgFloat32 angle) {
    return dgMatrix::FromQuaternion(dgQuaternion::FromAxisAngle(axis, angle), dgVector(0.0f, 0.0f, 0.0f, 1.0f));
}

// The chassis compound that holds the tire shapes; null when the host has since given the chassis
// another shape, which then holds none of them.
dgCompoundCollision* ChassisCompound(const dgVehicleJoint& vehicle) {
    dgCollision* collision = vehicle.m_body0->m_collision;
    if (collision == nullptr || collision->GetCollisionType() != kCompoundCollision ||
        (collision->GetFlags() & dgCollision::kVehicleChassis) == 0) {
        return nullptr;
    }
    return static_cast<dgCompoundCollision*>(collision);
}

} // namespace

void dgVehicleJoint::InitVehicle(dgWorld* world) {
    Init();
    m_maxRows = 0;
    m_kind = kVehicleJoint;
    m_upDirection = dgVector(0.0f, 1.0f, 0.0f, 1.0f);
    m_stepTime = 0.0f;
    m_invStepTime = 0.0f;
    m_tireCallback = nullptr;
    m_destructorCallback = nullptr;
    m_world = world;
    m_pendingRemovals = 0;
    m_vehicleStamp = 0;
}

dgVehicleJoint::TireNode* dgVehicleJoint::AddTire(const dgMatrix& localMatrix, const dgVector& givenPin, dgFloat32 mass,
                                                  dgFloat32 width, dgFloat32 radius, dgFloat32 suspensionShock,
                                                  dgFloat32 suspensionSpring, dgFloat32 suspensionLength,
                                                  std::uintptr_t collisionUserId, void* userData) {
    const dgVector pin = dgPinWithFiniteSquare(givenPin);
    const dgFloat32 pinLength2 = pin.DotProduct(pin);
    if (m_tires.GetCount() >= kMaxTires || !IsUsableSize(mass) || !IsUsableSize(width) || !IsUsableSize(radius) ||
        !IsFinite(localMatrix) || !IsFinite(pin) || !(pinLength2 >= kMinPinLength2)) {
        return nullptr;
    }
    // The shape is made before the tire joins the list, so running out of memory changes nothing.
    dgVehicleTire record;
    record.m_vehicle = this;
    record.m_localMatrix = localMatrix;
    record.m_localRotation = dgQuaternion::FromMatrix(localMatrix);
    record.m_alignMatrix = RotationAbout(m_upDirection, kQuarterTurn);
    const dgFloat32 invPin = 1.0f / std::sqrt(pinLength2);
    record.m_pin = dgVector(pin.x * invPin, pin.y * invPin, pin.z * invPin, pin.w);
    record.m_suspensionForce = dgVector(0.0f, 0.0f, 0.0f, 0.0f);
    record.m_mass = std::fabs(mass);
    record.m_width = std::fabs(width);
    record.m_radius = std::fabs(radius);
    record.m_suspensionShock = std::fabs(suspensionShock);
    record.m_suspensionSpring = std::fabs(suspensionSpring);
    record.m_suspensionLength = std::fabs(suspensionLength);
    record.m_collisionUserId = collisionUserId;
    record.m_userData = userData;
    record.m_invMass = 1.0f / record.m_mass;
    record.m_inertia = record.m_mass * record.m_radius * record.m_radius * 0.4f;
    record.m_invInertia = 1.0f / record.m_inertia;

    TireNode* node = m_tires.Append(record);
    dgVehicleTire& tire = node->GetInfo();
    try {
        new dgTireCollision(m_world, &tire, CalcTireShapeMatrix(tire));
        if (dgCompoundCollision* compound = ChassisCompound(*this)) {
            compound->AddCollision(tire.m_collision);
        }
    } catch (const dgMemoryExhausted&) {
        if (tire.m_collision != nullptr) {
            dgRefRelease(tire.m_collision);
        }
        m_tires.Remove(node);
        throw;
    }
    return node;
}

dgVehicleJoint::TireNode* dgVehicleJoint::FindTire(const void* handle) const {
    if (handle == nullptr) {
        return nullptr;
    }
    for (TireNode* node = m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        if (node == handle) {
            return node;
        }
    }
    return nullptr;
}

void dgVehicleJoint::RemoveTire(TireNode* tire) {
    if (tire == nullptr || FindTire(tire) == nullptr || tire->GetInfo().m_removePending != 0) {
        return;
    }
    if (m_world->DefersDestruction()) {
        // The tire callback runs inside the solve, which walks this list.
        tire->GetInfo().m_removePending = 1;
        m_pendingRemovals++;
        return;
    }
    FreeTire(tire);
}

void dgVehicleJoint::RemovePendingTires() {
    TireNode* node = m_tires.GetFirst();
    while (m_pendingRemovals > 0 && node != nullptr) {
        TireNode* next = node->GetNext();
        if (node->GetInfo().m_removePending != 0) {
            m_pendingRemovals--;
            FreeTire(node);
        }
        node = next;
    }
}

void dgVehicleJoint::FreeTire(TireNode* node) {
    dgTireCollision* collision = node->GetInfo().m_collision;
    if (dgCompoundCollision* compound = ChassisCompound(*this)) {
        compound->RemoveCollision(collision);
    }
    m_tires.Remove(node);
    dgRefRelease(collision);
}

void dgVehicleJoint::Reset() {
    for (TireNode* node = m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        dgVehicleTire& tire = node->GetInfo();
        tire.m_suspensionPosition = 0.0f;
        tire.m_spinAngle = 0.0f;
        tire.m_suspensionSpeed = 0.0f;
        tire.m_omega = 0.0f;
    }
}

void dgVehicleJoint::SetTireSteerAngle(dgVehicleTire& tire, dgFloat32 angle) {
    const dgVehicleJoint& vehicle = *tire.m_vehicle;
    tire.m_steerAngle = angle;
    const dgVector posit = tire.m_localMatrix.posit;
    tire.m_localMatrix = dgMatrix::FromQuaternion(tire.m_localRotation, dgVector(0.0f, 0.0f, 0.0f, 1.0f))
                             .Multiply(RotationAbout(vehicle.m_upDirection, angle));
    tire.m_localMatrix.posit = posit;
}

dgMatrix dgVehicleJoint::CalcTireShapeMatrix(const dgVehicleTire& tire) const {
    dgMatrix matrix = tire.m_alignMatrix.Multiply(RotationAbout(tire.m_pin, tire.m_spinAngle))
                          .Multiply(tire.m_localMatrix);
    matrix.posit = matrix.posit.Add(m_upDirection.Scale(tire.m_suspensionPosition));
    return matrix;
}

dgMatrix dgVehicleJoint::GetTireMatrix(const dgVehicleTire& tire) const {
    dgMatrix matrix = RotationAbout(tire.m_pin, tire.m_spinAngle).Multiply(tire.m_localMatrix);
    matrix.posit = matrix.posit.Add(m_upDirection.Scale(tire.m_suspensionPosition));
    return matrix.Multiply(m_body0->m_matrix);
}

void dgVehicleJoint::ResetTireInputs() {
    const dgBody& chassis = *m_body0;
    const dgVector up = chassis.m_matrix.RotateVector(m_upDirection);
    const dgFloat32 acceleration = up.DotProduct(chassis.m_force.Scale(chassis.m_invMass.w));
    for (TireNode* node = m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        dgVehicleTire& tire = node->GetInfo();
        tire.m_load = tire.m_mass * acceleration;
        tire.m_torque = 0.0f;
        tire.m_longitudinalSlideCoef = 0.0f;
        tire.m_maxLongitudinalSlideSpeed = kMinSlideSpeed;
        tire.m_sideSlideCoef = 0.0f;
        tire.m_maxSideSlideSpeed = kMinSlideSpeed;
        tire.m_brakeAcceleration = 0.0f;
        tire.m_brakeMaxFriction = 0.0f;
    }
}

dgFloat32 dgVehicleJoint::ClampSlideSpeed(dgFloat32 value) {
    const dgFloat32 speed = std::fabs(value);
    return speed > kMinSlideSpeed ? speed : kMinSlideSpeed;
}

dgFloat32 dgVehicleJoint::ClampSlideCoef(dgFloat32 value) {
    if (std::isnan(value)) {
        return 0.0f;
    }
    const dgFloat32 coef = std::fabs(value);
    return (coef < 1.0f ? coef : 1.0f) * kMaxSlideCoef;
}

dgJointDestructorCallback dgVehicleJoint::SetJointDestructor(dgJointDestructorCallback callback) {
    m_destructorCallback = callback;
    return m_destructorCallback;
}

void dgVehicleJoint::Release(dgWorld* world) {
    world->m_vehicleUpdateSet.RemoveKey(m_serial);
    world->m_tireContactSet.RemoveKey(m_body0->GetSerialKey());
    // Cleared first so a vehicle released twice by mistake never reports twice.
    const dgJointDestructorCallback callback = m_destructorCallback;
    m_destructorCallback = nullptr;
    if (callback != nullptr) {
        callback(this);
    }
    while (TireNode* node = m_tires.GetFirst()) {
        FreeTire(node);
    }
    m_pendingRemovals = 0;
    if (dgCompoundCollision* compound = ChassisCompound(*this)) {
        compound->SetFlags(dgCollision::kVehicleChassis, false);
    }
    world->m_vehiclePool.Release(this);
}

dgInt32 dgVehicleJoint::SubmitConstraints(dgJointParams& params) {
    dgBody& chassis = *m_body0;
    const dgVector up = chassis.m_matrix.RotateVector(m_upDirection);
    const dgFloat32 acceleration = up.DotProduct(chassis.m_force.Scale(chassis.m_invMass.w));
    ResetTireInputs();
    m_stepTime = params.m_timeStep;
    m_invStepTime = params.m_invTimeStep;
    if (m_tireCallback != nullptr) {
        m_tireCallback(this);
    }
    const dgFloat32 dt = m_stepTime;
    dgVehicleWorkspace* const workspace = m_world->m_vehicleWorkspace;
    if (!(dt > 0.0f) || workspace == nullptr) {
        return 0;
    }

    // A touched body may not be pushed harder than this (squared acceleration).
    const dgFloat32 limit = acceleration * acceleration * 2000.0f;
    const dgVector savedVeloc = chassis.m_veloc;
    const dgVector savedOmega = chassis.m_omega;
    dgVehicleSolver& solver = workspace->m_solver;
    solver.Solve(*this, dt);
    dgVector veloc;
    dgVector omega;
    chassis.IntegrateVelocity(dt, veloc, omega);

    // Each touched body gets a share of its reaction, shrunk while it would be pushed past the limit; the
    // share carries over to the next body.
    dgFloat32 share = 0.1f;
    for (dgInt32 i = solver.GetFirstTouchedIndex(); i < solver.GetBodyCount(); i++) {
        dgBody* const body = solver.GetBody(i);
        const dgVector& force = solver.GetResultForce(i);
        const dgFloat32 push2 = force.DotProduct(force) * body->m_invMass.w * body->m_invMass.w;
        if (!(limit > 0.0f) || !std::isfinite(push2)) {
            share = 0.0f;
        }
        while (push2 * share * share > limit) {
            share *= 0.9f;
        }
        body->m_force = body->m_force.Add(force.Scale(share));
        body->m_torque = body->m_torque.Add(solver.GetResultTorque(i).Scale(share));
    }

    const dgFloat32 invdt = m_invStepTime;
    for (TireNode* node = m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        dgVehicleTire& tire = node->GetInfo();
        tire.m_collision->SetOffsetMatrix(CalcTireShapeMatrix(tire));
    }
    // The force and torque that give the solved motion; the world integrates the chassis with them.
    const dgVector force = veloc.Sub(savedVeloc).Scale(chassis.m_mass.w * invdt);
    chassis.m_force = dgVector(force.x, force.y, force.z, chassis.m_force.w);
    const dgVector turn = chassis.m_matrix.InverseRotateVector(omega.Sub(savedOmega)).CompProduct(chassis.m_mass);
    const dgVector torque = chassis.m_matrix.RotateVector(turn).Scale(invdt);
    chassis.m_torque = dgVector(torque.x, torque.y, torque.z, 1.0f);

    bool airborne = true;
    for (TireNode* node = m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        dgVehicleTire& tire = node->GetInfo();
        tire.m_collision->ClearContacts();
        airborne = airborne && (tire.m_airborne != 0 || tire.m_removePending != 0);
    }
    // A resting chassis in the air keeps being pushed down rather than freezing there.
    const dgFloat32 rest2 = chassis.m_mass.w * chassis.m_mass.w * 0.01f;
    if (airborne && chassis.m_force.DotProduct(chassis.m_force) < rest2 &&
        chassis.m_torque.DotProduct(chassis.m_torque) < rest2 && chassis.m_veloc.DotProduct(chassis.m_veloc) < rest2 &&
        chassis.m_omega.DotProduct(chassis.m_omega) < rest2) {
        const dgVector down = up.Scale(-chassis.m_mass.w);
        chassis.m_force = dgVector(down.x, down.y, down.z, chassis.m_force.w);
    }
    return 0;
}

dgVehicleJoint* dgVehicleJoint::FindOnBody(const dgBody* body) {
    const dgJointLink* const first = body->m_jointRing;
    if (first == nullptr) {
        return nullptr;
    }
    const dgJointLink* link = first;
    do {
        if (link->m_joint->m_kind == kVehicleJoint) {
            return static_cast<dgVehicleJoint*>(link->m_joint);
        }
        link = link->GetNextInRing();
    } while (link != first);
    return nullptr;
}

void dgVehicleJoint::CollectTireContacts() {
    dgVehicleWorkspace* const workspace = m_world->m_vehicleWorkspace;
    const dgBody* const chassis = m_body0;
    const dgJointLink* const first = chassis->m_jointRing;
    // A chassis without mass is never solved as a vehicle: its tire points stay contact rows, and no tire
    // keeps points that no vehicle step would use up in this step.
    if (workspace == nullptr || first == nullptr || chassis->m_invMass.w == 0.0f) {
        return;
    }
    dgTireCollision::CollectedPoints& collected = workspace->m_collected;
    collected.Reset();
    const dgJointLink* link = first;
    do {
        dgJointBase* const joint = link->m_joint;
        const dgBody* const other = link->m_twin->m_body;
        link = link->GetNextInRing();
        // Only points refreshed in this step: a pair that found nothing keeps last step's until the
        // update releases its joint.
        if (joint->m_kind != kContactJoint || joint->m_staleMark != 0 ||
            static_cast<dgContactJoint*>(joint)->m_contactStamp != m_world->m_stepStamp) {
            continue;
        }
        // Two vehicles touching stay with the general contact rows.
        if (other != nullptr && other->m_invMass.w != 0.0f && FindOnBody(other) != nullptr) {
            continue;
        }
        auto* const contacts = static_cast<dgContactJoint*>(joint);
        auto* node = contacts->m_points.GetFirst();
        for (dgInt32 i = 0; i < contacts->m_pointCount && node != nullptr; i++, node = node->GetNext()) {
            const dgContactPoint& point = node->GetInfo().m_point;
            const dgCollision* const shape = point.m_body0 == chassis ? point.m_collision0 : point.m_collision1;
            if (shape != nullptr && (shape->GetFlags() & dgCollision::kTireShape) != 0) {
                collected.Push({contacts, node});
            }
        }
    } while (link != first);
    const dgVector up = chassis->m_matrix.RotateVector(m_upDirection);
    for (TireNode* node = m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        node->GetInfo().m_collision->CollectContacts(chassis, up, collected);
    }
}
