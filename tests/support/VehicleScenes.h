#pragma once
// The reference car, built through the flat interface once for the tests and the benchmarks: a
// 4 x 1 x 2 m box chassis of 1000 kg (x forward, y up) on four tires, over a static floor whose top is
// y = 0, under g = 9.81 without damping.

#include "JointScenes.h"

#include <algorithm>
#include <array>

namespace vehiclescene {

using jointscene::Mat4;
using jointscene::Vec3;

inline constexpr float kChassisMass = 1000.0f;
inline constexpr Vec3 kChassisSize = {4.0f, 1.0f, 2.0f};
inline constexpr float kTireMass = 20.0f;
inline constexpr float kTireRadius = 0.35f;
inline constexpr float kTireWidth = 0.25f;
inline constexpr float kSpring = 150.0f;
inline constexpr float kShock = 10.0f;
inline constexpr float kSuspensionLength = 0.3f;
inline constexpr int kTireCount = 4;
/// Tire centres in the chassis frame: front and rear, left and right, half a metre below the centre.
inline constexpr std::array<Vec3, kTireCount> kTirePositions = {
    Vec3{1.3f, -0.5f, 0.9f}, Vec3{1.3f, -0.5f, -0.9f}, Vec3{-1.3f, -0.5f, 0.9f}, Vec3{-1.3f, -0.5f, -0.9f}};

/// A reference tire at the position (chassis frame) spinning about z.
inline dgVehicleTireHandle* AddReferenceTire(dgJointBase* vehicle, const Vec3& position, int index) {
    const Mat4 local = jointscene::JointWorld::Translation(position);
    const Vec3 pin = {0.0f, 0.0f, 1.0f};
    return dgApiVehicleAddTire(vehicle, local.data(), pin.data(), kTireMass, kTireWidth, kTireRadius, kShock, kSpring,
                               kSuspensionLength, nullptr, static_cast<unsigned>(index));
}

/// The reference chassis at position in the scene's world with its four tires; returns the vehicle.
inline dgJointBase* AddReferenceCar(jointscene::JointWorld& scene, const Vec3& position, dgBody** chassisOut = nullptr) {
    dgBody* chassis = scene.AddBox(kChassisSize, kChassisMass, jointscene::JointWorld::Translation(position));
    const Vec3 up = {0.0f, 1.0f, 0.0f};
    dgJointBase* vehicle = dgApiVehicleCreate(scene.m_world, up.data(), chassis);
    for (int i = 0; i < kTireCount; i++) {
        AddReferenceTire(vehicle, kTirePositions[i], i);
    }
    if (chassisOut != nullptr) {
        *chassisOut = chassis;
    }
    return vehicle;
}

/// A floor and the car, its chassis centre at height above the floor's top; the world goes with it.
struct ReferenceCar {
    jointscene::JointWorld m_scene;
    dgBody* m_floor = nullptr;
    dgBody* m_chassis = nullptr;
    dgJointBase* m_vehicle = nullptr;
    std::array<dgVehicleTireHandle*, kTireCount> m_tires = {};

    explicit ReferenceCar(float height = 1.0f, dgMallocCallback allocate = nullptr, dgFreeCallback release = nullptr)
        : m_scene(allocate, release) {
        dgCollision* floorShape = dgApiCollisionCreateBox(m_scene.m_world, 100.0f, 1.0f, 100.0f, nullptr);
        m_floor = dgApiBodyCreate(m_scene.m_world, floorShape);
        dgApiCollisionRelease(m_scene.m_world, floorShape);
        const Mat4 floorMatrix = jointscene::JointWorld::Translation({0.0f, -0.5f, 0.0f});
        dgApiBodySetMatrix(m_floor, floorMatrix.data());

        m_vehicle = AddReferenceCar(m_scene, {0.0f, height, 0.0f}, &m_chassis);
        int index = 0;
        for (auto* t = dgApiVehicleGetFirstTireID(m_vehicle); t != nullptr; t = dgApiVehicleGetNextTireID(m_vehicle, t)) {
            m_tires[index++] = t;
        }
    }

    dgVehicleTireHandle* AddTire(const Vec3& position, int index) { return AddReferenceTire(m_vehicle, position, index); }
};

/// Forward speed of the chassis (along its x axis).
inline float ForwardSpeed(const dgBody* chassis) {
    Vec3 v;
    dgApiBodyGetVelocity(chassis, v.data());
    return jointscene::Dot(v, jointscene::Row(jointscene::Matrix(chassis), 0));
}

/// What the reference car's tire callback applies: torques in the forward sense, the brake of all four
/// tires and the steering of the front pair. Tires 0 and 1 are the front ones.
struct Controls {
    float m_rearTorque = 0.0f;
    float m_targetSpeed = -1.0f; ///< at least 0: the rear torque holds this speed, up to m_rearTorque
    float m_brakeFriction = 0.0f;
    float m_frontSteer = 0.0f;
    dgBody* m_chassis = nullptr;
};
inline Controls g_controls;

/// Speed controller gain: N·m per rear tire per m/s of speed error.
inline constexpr float kSpeedGain = 2000.0f;

inline void ApplyControls(dgJointBase* vehicle) {
    const Controls& c = g_controls;
    float torque = c.m_rearTorque;
    if (c.m_targetSpeed >= 0.0f) {
        const float wanted = kSpeedGain * (c.m_targetSpeed - ForwardSpeed(c.m_chassis));
        torque = std::clamp(wanted, -c.m_rearTorque, c.m_rearTorque);
    }
    int index = 0;
    for (auto* tire = dgApiVehicleGetFirstTireID(vehicle); tire != nullptr;
         tire = dgApiVehicleGetNextTireID(vehicle, tire), index++) {
        // A tire rolling forward turns clockwise about its +z pin.
        if (index >= 2) {
            dgApiVehicleSetTireTorque(vehicle, tire, -torque);
        } else {
            dgApiVehicleSetTireSteerAngle(vehicle, tire, c.m_frontSteer);
        }
        if (c.m_brakeFriction > 0.0f) {
            dgApiVehicleSetTireBrakeAcceleration(vehicle, tire, dgApiVehicleGetTireMaxBrakeAcceleration(vehicle, tire),
                                                 c.m_brakeFriction);
        }
    }
}

/// The car's chassis height when its tires rest 1 cm above the floor.
inline constexpr float kDropHeight = 0.5f + kTireRadius + 0.01f;

/// The reference car driven by g_controls.
struct ControlledCar : ReferenceCar {
    explicit ControlledCar(float height = kDropHeight, const Controls& controls = {}) : ReferenceCar(height) {
        g_controls = controls;
        g_controls.m_chassis = m_chassis;
        dgApiVehicleSetTireCallback(m_vehicle, ApplyControls);
    }
};

} // namespace vehiclescene
