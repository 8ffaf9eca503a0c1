// The reference car on a flat floor: it rests on its suspension, accelerates, brakes and turns as the
// closed forms of its rows say.

#include "physics/api/dgApi.h"

#include "support/SolverBuilds.h"
#include "support/VehicleScenes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using jointscene::Vec3;
using namespace vehiclescene;

constexpr float kSubStep = jointscene::kStep / 3.0f;

float Length(const float* v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

/// The suspension travel of a tire: its centre's height in the chassis frame over its rest position.
float Deflection(const ReferenceCar& car, int tire) {
    jointscene::Mat4 m;
    dgApiVehicleGetTireMatrix(car.m_vehicle, car.m_tires[tire], m.data());
    return jointscene::ToLocal(car.m_chassis, jointscene::Row(m, 3))[1] - kTirePositions[tire][1];
}

/// The rest travel the suspension row's equation gives for a chassis of mass m (box inertia).
float RestDeflection(float m) {
    const float ixx = m / 12.0f * (kChassisSize[1] * kChassisSize[1] + kChassisSize[2] * kChassisSize[2]);
    const float izz = m / 12.0f * (kChassisSize[0] * kChassisSize[0] + kChassisSize[1] * kChassisSize[1]);
    const Vec3& p = kTirePositions[0];
    const float a = 1.0f / m + p[2] * p[2] / ixx + p[0] * p[0] / izz + 1.0f / kTireMass;
    const float d = std::exp2(0.25f) - 1.0f + 0.001f;
    const float damping = (kSpring * kSubStep + kShock) * kSubStep + 1.0f;
    return m * jointscene::kGravity / 4.0f * a * d * damping / kSpring;
}

void SetChassisMass(dgBody* chassis, float m) {
    const float k = m / 12.0f;
    const Vec3& s = kChassisSize;
    dgApiBodySetMassMatrix(chassis, m, k * (s[1] * s[1] + s[2] * s[2]), k * (s[0] * s[0] + s[2] * s[2]),
                           k * (s[0] * s[0] + s[1] * s[1]));
}

/// The mean deflection after settling, and the largest chassis speed and turn rate over 5 s after it.
struct Settled {
    float m_deflection = 0.0f;
    float m_maxSpeed = 0.0f;
    float m_maxOmega = 0.0f;
};

Settled Settle(ReferenceCar& car) {
    Settled out;
    car.m_scene.Step(300);
    for (int i = 0; i < 300; i++) {
        car.m_scene.Step();
        float v[3];
        float w[3];
        dgApiBodyGetVelocity(car.m_chassis, v);
        dgApiBodyGetOmega(car.m_chassis, w);
        out.m_maxSpeed = std::max(out.m_maxSpeed, Length(v));
        out.m_maxOmega = std::max(out.m_maxOmega, Length(w));
    }
    for (int i = 0; i < kTireCount; i++) {
        out.m_deflection += std::fabs(Deflection(car, i)) / kTireCount;
    }
    return out;
}

} // namespace

BOTH_BUILDS_SUITE(dgVehicleDriving);

TEST_P(dgVehicleDriving, RestSettlesWhereTheSuspensionRowsBalanceTheWeight) {
    ControlledCar car;
    const Settled settled = Settle(car);
    EXPECT_LT(settled.m_maxSpeed, 0.01f);
    EXPECT_LT(settled.m_maxOmega, 0.01f);

    const float weight = kChassisMass * jointscene::kGravity;
    float total = 0.0f;
    for (int i = 0; i < kTireCount; i++) {
        const float load = dgApiVehicleGetTireNormalLoad(car.m_vehicle, car.m_tires[i]);
        EXPECT_NEAR(load, weight / 4.0f, 0.05f * weight / 4.0f) << "tire " << i;
        EXPECT_NEAR(std::fabs(Deflection(car, i)), RestDeflection(kChassisMass), 0.05f * RestDeflection(kChassisMass))
            << "tire " << i;
        total += load;
    }
    EXPECT_NEAR(total, weight, 0.02f * weight);
    RecordProperty("rest_deflection_m", std::to_string(settled.m_deflection));

    ControlledCar light;
    SetChassisMass(light.m_chassis, 0.5f * kChassisMass);
    const float ratio = Settle(light).m_deflection / settled.m_deflection;
    EXPECT_NEAR(ratio, RestDeflection(0.5f * kChassisMass) / RestDeflection(kChassisMass), 0.05f * 0.538f);
}

TEST_P(dgVehicleDriving, DriveAcceleratesAsTheRearTorqueOverTheRollingMass) {
    Controls drive;
    drive.m_rearTorque = 300.0f;
    ControlledCar car(kDropHeight);
    car.m_scene.Step(120);
    g_controls.m_rearTorque = drive.m_rearTorque;
    bool slipped = false;
    for (int i = 0; i < 180; i++) {
        car.m_scene.Step();
        for (int t = 0; t < kTireCount; t++) {
            slipped = slipped || dgApiVehicleTireLostTraction(car.m_vehicle, car.m_tires[t]) != 0;
        }
    }
    const float rollingMass = kChassisMass + kTireCount * kTireMass + kTireCount * 0.4f * kTireMass;
    const float expected = 2.0f * drive.m_rearTorque / (kTireRadius * rollingMass) * 3.0f;
    EXPECT_NEAR(ForwardSpeed(car.m_chassis), expected, 0.1f * expected);
    EXPECT_FALSE(slipped);
}

TEST_P(dgVehicleDriving, BrakeLocksTheTiresAndStopsOnTheKineticBound) {
    ControlledCar car;
    car.m_scene.Step(120);
    const Vec3 start = jointscene::Position(car.m_chassis);
    const Vec3 forward = {10.0f, 0.0f, 0.0f};
    dgApiBodySetVelocity(car.m_chassis, forward.data());
    g_controls.m_brakeFriction = 5000.0f;
    int steps = 0;
    bool allSlid[kTireCount] = {};
    while (ForwardSpeed(car.m_chassis) > 0.1f && steps < 180) {
        car.m_scene.Step();
        steps++;
        for (int t = 0; t < kTireCount; t++) {
            allSlid[t] = allSlid[t] || dgApiVehicleTireLostTraction(car.m_vehicle, car.m_tires[t]) != 0;
        }
    }
    const float distance = jointscene::Position(car.m_chassis)[0] - start[0];
    EXPECT_LE(steps * jointscene::kStep, 1.5f);
    const float kinetic = 100.0f / (2.0f * 2.0f * 0.5f * jointscene::kGravity);
    EXPECT_NEAR(distance, kinetic, 0.15f * kinetic);
    EXPECT_GT(distance, 2.8f);
    for (int t = 0; t < kTireCount; t++) {
        EXPECT_TRUE(allSlid[t]) << "tire " << t;
    }
}

TEST_P(dgVehicleDriving, TurnFollowsTheSteeringGeometry) {
    Controls turn;
    turn.m_rearTorque = 1000.0f;
    turn.m_targetSpeed = 5.0f;
    ControlledCar car(kDropHeight, turn);
    car.m_scene.Step(300);
    g_controls.m_frontSteer = 0.3f;
    // The steering's sudden turn slides the front tires for a moment; the steady turn does not.
    car.m_scene.Step(60);
    bool lostGrip = false;
    for (int i = 0; i < 240; i++) {
        car.m_scene.Step();
        lostGrip = lostGrip || dgApiVehicleTireLostSideGrip(car.m_vehicle, car.m_tires[0]) != 0 ||
                   dgApiVehicleTireLostSideGrip(car.m_vehicle, car.m_tires[1]) != 0;
    }
    float v[3];
    float w[3];
    dgApiBodyGetVelocity(car.m_chassis, v);
    dgApiBodyGetOmega(car.m_chassis, w);
    const float radius = Length(v) / std::fabs(w[1]);
    const float expected = 2.6f / std::tan(0.3f);
    EXPECT_NEAR(radius, expected, 0.15f * expected);
    EXPECT_FALSE(lostGrip);
}
