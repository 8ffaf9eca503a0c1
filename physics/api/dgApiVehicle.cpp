// Vehicle functions of the flat interface. The vehicle handle is its joint; a tire handle is the tire's
// node in the vehicle's list, checked against that list before every use.

#include "physics/api/dgApi.h"
#include "physics/api/dgApiHelpers.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"

#include <cmath>
#include <initializer_list>

namespace {

// Fraction of the spin a brake may take out in one step.
constexpr float kBrakeStopFraction = 0.99f;

dgVehicleJoint* AsVehicle(const dgJointBase* joint) {
    return joint != nullptr && joint->m_kind == dgJointBase::kVehicleJoint && joint->m_link != nullptr
               ? static_cast<dgVehicleJoint*>(const_cast<dgJointBase*>(joint))
               : nullptr;
}

dgVehicleJoint::TireNode* FindNode(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    const dgVehicleJoint* typed = AsVehicle(vehicle);
    return typed != nullptr ? typed->FindTire(tire) : nullptr;
}

dgVehicleTire* FindTire(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    dgVehicleJoint::TireNode* node = FindNode(vehicle, tire);
    return node != nullptr ? &node->GetInfo() : nullptr;
}

dgVehicleTireHandle* Handle(dgVehicleJoint::TireNode* node) {
    return reinterpret_cast<dgVehicleTireHandle*>(node);
}

/// A float of the tire, or 0 when the tire is not the vehicle's.
template <class Read> float ReadTire(const dgJointBase* vehicle, const dgVehicleTireHandle* tire, Read read) {
    const dgVehicleTire* found = FindTire(vehicle, tire);
    return found != nullptr ? read(*found) : 0.0f;
}

template <class Write> void WriteTire(dgJointBase* vehicle, dgVehicleTireHandle* tire, Write write) {
    if (dgVehicleTire* found = FindTire(vehicle, tire)) {
        write(*found);
    }
}

/// The same for an input with no meaningful clamp: a value that is not finite is ignored, since it would
/// turn the whole vehicle's solve into NaNs.
template <class Write>
void WriteFiniteInput(dgJointBase* vehicle, dgVehicleTireHandle* tire, std::initializer_list<float> values, Write write) {
    for (const float value : values) {
        if (!std::isfinite(value)) {
            return;
        }
    }
    WriteTire(vehicle, tire, write);
}

} // namespace

dgJointBase* dgApiVehicleCreate(dgWorld* world, const float* up, dgBody* chassis) {
    if (world == nullptr || up == nullptr || chassis == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgJointBase* { return world->CreateVehicle(dgApiDirection(up), chassis); });
}

dgVehicleTireHandle* dgApiVehicleAddTire(dgJointBase* vehicle, const float* localMatrix, const float* pin,
                                         float mass, float width, float radius, float suspensionShock,
                                         float suspensionSpring, float suspensionLength, void* userData,
                                         unsigned collisionId) {
    dgVehicleJoint* typed = AsVehicle(vehicle);
    // The tire callback runs inside the solve, which walks the tire list and the chassis compound.
    if (typed == nullptr || localMatrix == nullptr || pin == nullptr || typed->m_world->DefersDestruction()) {
        return nullptr;
    }
    dgVehicleTireHandle* tire = dgCreateOrFail([&]() -> dgVehicleTireHandle* {
        return Handle(typed->AddTire(dgApiMatrix(localMatrix), dgVector(pin[0], pin[1], pin[2], 1.0f), mass, width,
                                     radius, suspensionShock, suspensionSpring, suspensionLength, collisionId,
                                     userData));
    });
    if (tire != nullptr) {
        // A moving chassis gets its box from its next step; one that does not move would keep the box it had
        // without this wheel, and nothing would meet the wheel.
        typed->m_body0->UpdateCollisionMatrix(typed->m_world->GetTimeStep());
    }
    return tire;
}

void dgApiVehicleRemoveTire(dgJointBase* vehicle, dgVehicleTireHandle* tire) {
    if (dgVehicleJoint::TireNode* node = FindNode(vehicle, tire)) {
        AsVehicle(vehicle)->RemoveTire(node);
    }
}

void dgApiVehicleSetTireCallback(dgJointBase* vehicle, dgVehicleTireUpdate callback) {
    if (dgVehicleJoint* typed = AsVehicle(vehicle)) {
        typed->SetTireCallback(callback);
    }
}

void dgApiVehicleReset(dgJointBase* vehicle) {
    if (dgVehicleJoint* typed = AsVehicle(vehicle)) {
        typed->Reset();
    }
}

dgVehicleTireHandle* dgApiVehicleGetFirstTireID(const dgJointBase* vehicle) {
    const dgVehicleJoint* typed = AsVehicle(vehicle);
    return typed != nullptr ? Handle(typed->m_tires.GetFirst()) : nullptr;
}

dgVehicleTireHandle* dgApiVehicleGetNextTireID(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    dgVehicleJoint::TireNode* node = FindNode(vehicle, tire);
    return node != nullptr ? Handle(node->GetNext()) : nullptr;
}

void* dgApiVehicleGetTireUserData(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    const dgVehicleTire* found = FindTire(vehicle, tire);
    return found != nullptr ? found->m_userData : nullptr;
}

void dgApiVehicleGetTireMatrix(const dgJointBase* vehicle, const dgVehicleTireHandle* tire, float* matrix) {
    if (vehicle == nullptr || matrix == nullptr) {
        return;
    }
    const dgVehicleTire* found = FindTire(vehicle, tire);
    dgApiWriteMatrix(found != nullptr ? AsVehicle(vehicle)->GetTireMatrix(*found) : dgGetZeroMatrix(), matrix);
}

void dgApiVehicleSetTireSteerAngle(dgJointBase* vehicle, dgVehicleTireHandle* tire, float angle) {
    WriteFiniteInput(vehicle, tire, {angle}, [&](dgVehicleTire& t) { dgVehicleJoint::SetTireSteerAngle(t, angle); });
}

float dgApiVehicleGetTireSteerAngle(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    return ReadTire(vehicle, tire, [](const dgVehicleTire& t) { return t.m_steerAngle; });
}

float dgApiVehicleGetTireOmega(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    return ReadTire(vehicle, tire, [](const dgVehicleTire& t) { return t.m_omega; });
}

float dgApiVehicleGetTireNormalLoad(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    return ReadTire(vehicle, tire, [&](const dgVehicleTire& t) {
        const dgVehicleJoint& owner = *AsVehicle(vehicle);
        return owner.m_body0->m_matrix.RotateVector(owner.m_upDirection).DotProduct(t.m_suspensionForce);
    });
}

float dgApiVehicleGetTireMaxBrakeAcceleration(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    return ReadTire(vehicle, tire, [&](const dgVehicleTire& t) {
        return AsVehicle(vehicle)->m_invStepTime * t.m_omega * kBrakeStopFraction;
    });
}

float dgApiVehicleGetTireSideSpeed(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    return ReadTire(vehicle, tire, [](const dgVehicleTire& t) { return -t.m_sideSpeed; });
}

float dgApiVehicleGetTireLongitudinalSpeed(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    return ReadTire(vehicle, tire, [](const dgVehicleTire& t) { return -t.m_longitudinalSpeed; });
}

void dgApiVehicleSetTireTorque(dgJointBase* vehicle, dgVehicleTireHandle* tire, float torque) {
    WriteFiniteInput(vehicle, tire, {torque}, [&](dgVehicleTire& t) { t.m_torque = torque; });
}

void dgApiVehicleSetTireBrakeAcceleration(dgJointBase* vehicle, dgVehicleTireHandle* tire, float acceleration,
                                          float maxFriction) {
    WriteFiniteInput(vehicle, tire, {acceleration, maxFriction}, [&](dgVehicleTire& t) {
        t.m_brakeAcceleration = acceleration;
        t.m_brakeMaxFriction = std::fabs(maxFriction);
    });
}

void dgApiVehicleSetTireMaxLongitudinalSlideSpeed(dgJointBase* vehicle, dgVehicleTireHandle* tire, float speed) {
    WriteTire(vehicle, tire,
              [&](dgVehicleTire& t) { t.m_maxLongitudinalSlideSpeed = dgVehicleJoint::ClampSlideSpeed(speed); });
}

void dgApiVehicleSetTireMaxSideSlideSpeed(dgJointBase* vehicle, dgVehicleTireHandle* tire, float speed) {
    WriteTire(vehicle, tire, [&](dgVehicleTire& t) { t.m_maxSideSlideSpeed = dgVehicleJoint::ClampSlideSpeed(speed); });
}

void dgApiVehicleSetTireLongitudinalSlideCoef(dgJointBase* vehicle, dgVehicleTireHandle* tire, float coef) {
    WriteTire(vehicle, tire,
              [&](dgVehicleTire& t) { t.m_longitudinalSlideCoef = dgVehicleJoint::ClampSlideCoef(coef); });
}

void dgApiVehicleSetTireSideSlideCoef(dgJointBase* vehicle, dgVehicleTireHandle* tire, float coef) {
    WriteTire(vehicle, tire, [&](dgVehicleTire& t) { t.m_sideSlideCoef = dgVehicleJoint::ClampSlideCoef(coef); });
}

int dgApiVehicleTireIsAirborne(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    const dgVehicleTire* found = FindTire(vehicle, tire);
    return found != nullptr && found->m_airborne != 0 ? 1 : 0;
}

int dgApiVehicleTireLostTraction(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    const dgVehicleTire* found = FindTire(vehicle, tire);
    return found != nullptr && found->m_longitudinalSliding != 0 ? 1 : 0;
}

int dgApiVehicleTireLostSideGrip(const dgJointBase* vehicle, const dgVehicleTireHandle* tire) {
    const dgVehicleTire* found = FindTire(vehicle, tire);
    return found != nullptr && found->m_sideSliding != 0 ? 1 : 0;
}
