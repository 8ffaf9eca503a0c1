#include "physics/api/dgApi.h"

#include "support/SolverBuilds.h"
#include "support/VehicleScenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

using vehiclescene::ReferenceCar;
using jointscene::Mat4;
using jointscene::Vec3;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

int TireCount(const ReferenceCar& car) {
    int count = 0;
    for (auto* t = dgApiVehicleGetFirstTireID(car.m_vehicle); t != nullptr;
         t = dgApiVehicleGetNextTireID(car.m_vehicle, t)) {
        count++;
    }
    return count;
}

// What the tire callback of a step saw and did.
struct CallbackLog {
    int m_calls = 0;
    dgVehicleTireHandle* m_added = reinterpret_cast<dgVehicleTireHandle*>(1);
    bool m_removeFirst = false;
    int m_tiresAfterRemoval = 0;
};
CallbackLog g_log;

void LoggingCallback(dgJointBase* vehicle) {
    g_log.m_calls++;
    dgVehicleTireHandle* first = dgApiVehicleGetFirstTireID(vehicle);
    if (g_log.m_removeFirst) {
        g_log.m_removeFirst = false;
        dgApiVehicleRemoveTire(vehicle, first);
        g_log.m_tiresAfterRemoval = dgApiVehicleGetFirstTireID(vehicle) == first ? 1 : 0;
        const Mat4 local = jointscene::JointWorld::Translation({});
        const Vec3 pin = {0, 0, 1};
        g_log.m_added = dgApiVehicleAddTire(vehicle, local.data(), pin.data(), 1, 1, 1, 0, 0, 0, nullptr, 0);
    }
    dgApiVehicleSetTireTorque(vehicle, first, 100.0f);
}

float g_drive = 1.3f;

void DriveAndBrakeEveryTire(dgJointBase* vehicle) {
    for (auto* t = dgApiVehicleGetFirstTireID(vehicle); t != nullptr; t = dgApiVehicleGetNextTireID(vehicle, t)) {
        dgApiVehicleSetTireTorque(vehicle, t, g_drive);
        dgApiVehicleSetTireBrakeAcceleration(vehicle, t, g_drive, g_drive);
        // Ignored: they would leave nothing finite.
        dgApiVehicleSetTireTorque(vehicle, t, std::numeric_limits<float>::infinity());
        dgApiVehicleSetTireBrakeAcceleration(vehicle, t, kNaN, 1.0f);
        dgApiVehicleSetTireSteerAngle(vehicle, t, kNaN);
    }
}

} // namespace

TEST(dgApiVehicle, TireValuesAreStoredAsTheClampTableSays) {
    ReferenceCar car;
    const Mat4 local = jointscene::JointWorld::Translation({0.0f, -0.5f, 0.0f});
    const Vec3 pin = {0.0f, 0.0f, 2.0f};
    void* const highData = reinterpret_cast<void*>(std::uintptr_t{0x123456789ABC});
    dgVehicleTireHandle* tire =
        dgApiVehicleAddTire(car.m_vehicle, local.data(), pin.data(), -20.0f, -0.25f, -0.35f, -10, -150, -0.3f, highData, 7);
    ASSERT_NE(tire, nullptr);
    EXPECT_EQ(dgApiVehicleGetTireUserData(car.m_vehicle, tire), highData);
    dgApiVehicleSetTireMaxSideSlideSpeed(car.m_vehicle, tire, 0.2f);
    dgApiVehicleSetTireMaxLongitudinalSlideSpeed(car.m_vehicle, tire, -0.2f);
    dgApiVehicleSetTireSideSlideCoef(car.m_vehicle, tire, 3.0f);
    dgApiVehicleSetTireLongitudinalSlideCoef(car.m_vehicle, tire, kNaN);
    dgApiVehicleSetTireSteerAngle(car.m_vehicle, tire, 0.3f);
    dgApiVehicleSetTireSteerAngle(car.m_vehicle, tire, 0.3f);
    EXPECT_EQ(dgApiVehicleGetTireSteerAngle(car.m_vehicle, tire), 0.3f);
    // Identity rotation, steer and spin 0: the tire's frame is the chassis's, moved to the tire's place.
    dgApiVehicleSetTireSteerAngle(car.m_vehicle, tire, 0.0f);
    float matrix[16];
    dgApiVehicleGetTireMatrix(car.m_vehicle, tire, matrix);
    const Mat4 chassis = jointscene::Matrix(car.m_chassis);
    for (int i = 0; i < 12; i++) {
        EXPECT_NEAR(matrix[i], chassis[i], 1.0e-6f);
    }
    EXPECT_NEAR(matrix[13], chassis[13] - 0.5f, 1.0e-6f);
    std::vector<dgVehicleTireHandle*> order;
    for (auto* t = dgApiVehicleGetFirstTireID(car.m_vehicle); t != nullptr; t = dgApiVehicleGetNextTireID(car.m_vehicle, t)) {
        order.push_back(t);
    }
    ASSERT_EQ(order.size(), 5u);
    EXPECT_TRUE(std::equal(car.m_tires.begin(), car.m_tires.end(), order.begin()));
    EXPECT_EQ(order.back(), tire);
}

TEST(dgApiVehicle, BadInputGivesItsClearResult) {
    ReferenceCar car;
    ReferenceCar other;
    const Vec3 up = {0, 1, 0};
    const Vec3 zero = {0, 0, 0};
    const Vec3 nanUp = {0, kNaN, 0};
    dgBody* free = other.m_scene.AddBox({1, 1, 1}, 1, jointscene::JointWorld::Translation({0, 5, 0}));
    EXPECT_EQ(dgApiVehicleCreate(nullptr, up.data(), free), nullptr);
    EXPECT_EQ(dgApiVehicleCreate(car.m_scene.m_world, up.data(), nullptr), nullptr);
    EXPECT_EQ(dgApiVehicleCreate(car.m_scene.m_world, up.data(), free), nullptr);
    EXPECT_EQ(dgApiVehicleCreate(other.m_scene.m_world, zero.data(), free), nullptr);
    EXPECT_EQ(dgApiVehicleCreate(other.m_scene.m_world, nanUp.data(), free), nullptr);
    EXPECT_EQ(dgApiVehicleCreate(car.m_scene.m_world, up.data(), car.m_chassis), nullptr);

    const Mat4 local = jointscene::JointWorld::Translation({});
    Mat4 nanMatrix = local;
    nanMatrix[13] = kNaN;
    const Vec3 pin = {0, 0, 1};
    const float inf = std::numeric_limits<float>::infinity();
    struct Bad {
        const float* m_matrix;
        const float* m_pin;
        float m_mass, m_width, m_radius;
    };
    const Bad bad[] = {{local.data(), pin.data(), 0.0f, 1, 1},   {local.data(), pin.data(), 1, 5.0e-4f, 1},
                       {local.data(), pin.data(), 1, 1, kNaN},   {local.data(), pin.data(), inf, 1, 1},
                       {local.data(), zero.data(), 1, 1, 1},     {local.data(), nanUp.data(), 1, 1, 1},
                       {nanMatrix.data(), pin.data(), 1, 1, 1},  {nullptr, pin.data(), 1, 1, 1}};
    for (const Bad& b : bad) {
        EXPECT_EQ(dgApiVehicleAddTire(car.m_vehicle, b.m_matrix, b.m_pin, b.m_mass, b.m_width, b.m_radius, 0, 0, 0,
                                      nullptr, 0),
                  nullptr);
    }
    EXPECT_EQ(TireCount(car), 4);
    // Room for 30 tires in the vehicle solver: the 31st is refused.
    for (int i = 4; i < 30; i++) {
        EXPECT_NE(car.AddTire({0, -0.5f, 0}, i), nullptr);
    }
    EXPECT_EQ(car.AddTire({0, -0.5f, 0}, 30), nullptr);
    EXPECT_EQ(TireCount(car), 30);

    // Foreign and removed tires: nothing happens, getters read 0.
    dgVehicleTireHandle* foreign = other.m_tires[0];
    dgApiVehicleSetTireTorque(car.m_vehicle, foreign, 1.0f);
    dgApiVehicleRemoveTire(car.m_vehicle, foreign);
    dgApiVehicleRemoveTire(car.m_vehicle, nullptr);
    EXPECT_EQ(dgApiVehicleGetNextTireID(car.m_vehicle, foreign), nullptr);
    dgApiVehicleRemoveTire(other.m_vehicle, foreign);
    EXPECT_EQ(dgApiVehicleGetTireUserData(other.m_vehicle, foreign), nullptr);
    EXPECT_EQ(dgApiVehicleGetTireSteerAngle(other.m_vehicle, foreign), 0.0f);
    EXPECT_EQ(dgApiVehicleTireIsAirborne(other.m_vehicle, foreign), 0);
    EXPECT_EQ(dgApiVehicleGetFirstTireID(other.m_vehicle), other.m_tires[1]);
}

BOTH_BUILDS_SUITE(dgApiVehicleStepping);

TEST_P(dgApiVehicleStepping, TireCallbackRunsEachStepAndDefersItsRemovals) {
    ReferenceCar car;
    g_log = CallbackLog{};
    dgApiVehicleSetTireCallback(car.m_vehicle, LoggingCallback);
    // Three vehicle sub-steps per 60 Hz step.
    car.m_scene.Step(3);
    EXPECT_EQ(g_log.m_calls, 9);
    g_log.m_removeFirst = true;
    car.m_scene.Step();
    EXPECT_EQ(g_log.m_tiresAfterRemoval, 1);
    EXPECT_EQ(g_log.m_added, nullptr);
    EXPECT_EQ(dgApiVehicleGetFirstTireID(car.m_vehicle), car.m_tires[1]);
    EXPECT_EQ(TireCount(car), 3);
}

TEST_P(dgApiVehicleStepping, ATirePinnedAlongUpOrNonFiniteInputsLeaveTheVehicleFinite) {
    ReferenceCar car(1.05f);
    // Pin along up: the tire has no rolling direction, so two of its rows have no direction either.
    const Mat4 local = jointscene::JointWorld::Translation({0.0f, -0.5f, 0.0f});
    const Vec3 pin = {0.0f, 1.0f, 0.0f};
    ASSERT_NE(dgApiVehicleAddTire(car.m_vehicle, local.data(), pin.data(), 1, 0.25f, 0.35f, 1, 1, 0, nullptr, 4),
              nullptr);
    dgApiVehicleSetTireCallback(car.m_vehicle, DriveAndBrakeEveryTire);
    g_drive = 1.3f;
    car.m_scene.Step(30);
    // Inputs near the end of the float range overflow inside the solve, yet the spins stay finite.
    g_drive = 3.0e38f;
    car.m_scene.Step(2);
    for (auto* t = dgApiVehicleGetFirstTireID(car.m_vehicle); t != nullptr; t = dgApiVehicleGetNextTireID(car.m_vehicle, t)) {
        EXPECT_TRUE(std::isfinite(dgApiVehicleGetTireOmega(car.m_vehicle, t)));
        EXPECT_TRUE(std::isfinite(dgApiVehicleGetTireMaxBrakeAcceleration(car.m_vehicle, t)));
        EXPECT_EQ(dgApiVehicleGetTireSteerAngle(car.m_vehicle, t), 0.0f);
    }
    // Neither through the floor nor thrown up.
    const float height = jointscene::Matrix(car.m_chassis)[13];
    EXPECT_GT(height, vehiclescene::kTireRadius);
    EXPECT_LT(height, 1.05f);
}

TEST_P(dgApiVehicleStepping, AnUpOrPinTooLongToSquareStillGivesItsDirection) {
    // The reference car made again with its up and its tire pins 1e20 long, whose squares overflow a float,
    // settles exactly as the reference car does.
    ReferenceCar reference(1.05f);
    ReferenceCar longAxes(1.05f);
    dgApiDestroyJoint(longAxes.m_scene.m_world, longAxes.m_vehicle);
    const jointscene::Vec3 up = {0.0f, 1.0e20f, 0.0f};
    const jointscene::Vec3 pin = {0.0f, 0.0f, 1.0e20f};
    dgJointBase* vehicle = dgApiVehicleCreate(longAxes.m_scene.m_world, up.data(), longAxes.m_chassis);
    ASSERT_NE(vehicle, nullptr);
    for (int i = 0; i < vehiclescene::kTireCount; i++) {
        const Mat4 local = jointscene::JointWorld::Translation(vehiclescene::kTirePositions[i]);
        EXPECT_NE(dgApiVehicleAddTire(vehicle, local.data(), pin.data(), vehiclescene::kTireMass, vehiclescene::kTireWidth,
                                      vehiclescene::kTireRadius, vehiclescene::kShock, vehiclescene::kSpring,
                                      vehiclescene::kSuspensionLength, nullptr, static_cast<unsigned>(i)),
                  nullptr);
    }
    reference.m_scene.Step(120);
    longAxes.m_scene.Step(120);
    EXPECT_NEAR(jointscene::Matrix(longAxes.m_chassis)[13], jointscene::Matrix(reference.m_chassis)[13], 1.0e-4f);
}
