// The vehicle's own system: tire states, contacts taken from and left to the general solver, the
// vehicle's sub-steps, and the drive over rolling tree-collision terrain.

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgTireCollision.h"
#include "physics/dynamics/dgWorld.h"

#include "support/SolverBuilds.h"
#include "support/VehicleTerrain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using jointscene::Vec3;
using namespace vehiclescene;

dgBody* AddStaticBox(dgWorld* world, const Vec3& size, const Vec3& centre) {
    dgCollision* shape = dgApiCollisionCreateBox(world, size[0], size[1], size[2], nullptr);
    dgBody* body = dgApiBodyCreate(world, shape);
    dgApiCollisionRelease(world, shape);
    dgApiBodySetMatrix(body, jointscene::JointWorld::Translation(centre).data());
    return body;
}

float Height(const dgBody* body) {
    return jointscene::Position(body)[1];
}

int TireCount(dgJointBase* vehicle) {
    int count = 0;
    for (auto* t = dgApiVehicleGetFirstTireID(vehicle); t != nullptr; t = dgApiVehicleGetNextTireID(vehicle, t)) {
        count++;
    }
    return count;
}

// Counts of the callbacks of one world step.
struct StepLog {
    int m_chassisForces = 0;
    int m_chassisTransforms = 0;
    int m_otherForces = 0;
    int m_otherTransforms = 0;
    std::vector<float> m_callbackSteps;
    std::vector<int> m_tireCounts;
    bool m_removeOnce = false;
    dgBody* m_chassis = nullptr;
};
StepLog g_step;

void CountedWeight(dgBody* body) {
    (body == g_step.m_chassis ? g_step.m_chassisForces : g_step.m_otherForces)++;
    jointscene::Weight(body);
}

void CountedTransform(dgBody* body, const float*) {
    (body == g_step.m_chassis ? g_step.m_chassisTransforms : g_step.m_otherTransforms)++;
}

void LoggedTireCallback(dgJointBase* vehicle) {
    g_step.m_callbackSteps.push_back(dgApiWorldGetTimeStep(dgApiBodyGetWorld(g_step.m_chassis)));
    g_step.m_tireCounts.push_back(TireCount(vehicle));
    if (g_step.m_removeOnce) {
        g_step.m_removeOnce = false;
        dgApiVehicleRemoveTire(vehicle, dgApiVehicleGetFirstTireID(vehicle));
    }
}

} // namespace

BOTH_BUILDS_SUITE(dgVehicleSolverStepping);

TEST_P(dgVehicleSolverStepping, TireStatesFollowTheGroundUnderEachTire) {
    // A trench 0.5 m deep under the left front tire.
    ControlledCar pit;
    dgWorld* world = pit.m_scene.m_world;
    dgApiBodySetMatrix(pit.m_floor, jointscene::JointWorld::Translation({0.0f, -1.0f, 0.0f}).data());
    AddStaticBox(world, {40.0f, 0.5f, 40.0f}, {-19.2f, -0.25f, 0.0f});
    AddStaticBox(world, {40.0f, 0.5f, 40.0f}, {21.8f, -0.25f, 0.0f});
    AddStaticBox(world, {1.0f, 0.5f, 20.0f}, {1.3f, -0.25f, -9.6f});
    // Standing on three tires the car rocks about its diagonal, lifting one now and then.
    pit.m_scene.Step(60);
    int grounded[kTireCount] = {};
    for (int step = 0; step < 60; step++) {
        pit.m_scene.Step();
        for (int i = 0; i < kTireCount; i++) {
            grounded[i] += dgApiVehicleTireIsAirborne(pit.m_vehicle, pit.m_tires[i]) == 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(grounded[0], 0);
    for (int i = 1; i < kTireCount; i++) {
        EXPECT_GE(grounded[i], 54) << "tire " << i;
    }

    // Lifted off the ground a tire reads airborne in the very next step; its spin stays clamped.
    ControlledCar lifted;
    lifted.m_scene.Step(60);
    jointscene::Mat4 m = jointscene::Matrix(lifted.m_chassis);
    m[13] += 0.05f;
    dgApiBodySetMatrix(lifted.m_chassis, m.data());
    lifted.m_scene.Step();
    for (int i = 0; i < kTireCount; i++) {
        EXPECT_EQ(dgApiVehicleTireIsAirborne(lifted.m_vehicle, lifted.m_tires[i]), 1) << "tire " << i;
    }
    m[13] += 100.0f;
    dgApiBodySetMatrix(lifted.m_chassis, m.data());
    g_controls.m_rearTorque = 1000.0f;
    float fastest = 0.0f;
    for (int i = 0; i < 150; i++) {
        lifted.m_scene.Step();
        fastest = std::max(fastest, std::fabs(dgApiVehicleGetTireOmega(lifted.m_vehicle, lifted.m_tires[2]) * kTireRadius));
    }
    const float inertia = 0.4f * kTireMass * kTireRadius * kTireRadius;
    EXPECT_LE(fastest, 400.0f + 1000.0f * kTireRadius * (jointscene::kStep / 3.0f) / (2.0f * inertia) + 1.0e-3f);
    EXPECT_GT(fastest, 399.0f);
}

TEST_P(dgVehicleSolverStepping, AChassisWithoutMassHoldsWhatFallsOnItsWheels) {
    // A parked car made static never runs its vehicle step: a ball dropped on a wheel lying flat at its
    // side (spin axis vertical) rests on the wheel's face as on any part of the chassis, whether the car
    // drove before or the wheel was added after it was parked.
    const jointscene::Mat4 flat = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0.0f, 0.0f, 1.5f, 1};
    const Vec3 pin = {0.0f, 0.0f, 1.0f};
    for (const bool droveFirst : {true, false}) {
        ReferenceCar car(1.05f);
        if (droveFirst) {
            car.m_scene.Step(120);
        }
        dgApiBodySetMassMatrix(car.m_chassis, 0.0f, 0.0f, 0.0f, 0.0f);
        dgVehicleTireHandle* wheel = dgApiVehicleAddTire(car.m_vehicle, flat.data(), pin.data(), kTireMass, kTireWidth,
                                                         kTireRadius, kShock, kSpring, kSuspensionLength, nullptr, 9);
        jointscene::Mat4 matrix;
        dgApiVehicleGetTireMatrix(car.m_vehicle, wheel, matrix.data());
        const float face = matrix[13] + 0.5f * kTireWidth;
        const dgBody* ball = car.m_scene.AddSphere(0.1f, 1.0f, {matrix[12], face + 0.3f, matrix[14]});
        car.m_scene.Step(120);
        // On the face within the contacts' give; without its rows it falls to the floor.
        EXPECT_NEAR(Height(ball), face + 0.1f, 0.025f) << "drove first: " << droveFirst;
    }
}

TEST_P(dgVehicleSolverStepping, ACarOnAMovableSlabRestsAsOnTheFloorWhicheverWayItsJointRuns) {
    ControlledCar floor;
    floor.m_scene.Step(300);
    const float onFloor = Height(floor.m_chassis);

    ControlledCar onSlab(kDropHeight + 0.5f);
    const dgBody* slab = onSlab.m_scene.AddBox({6.0f, 0.5f, 4.0f}, 2000.0f, jointscene::JointWorld::Translation({0.0f, 0.25f, 0.0f}));
    onSlab.m_scene.Step(300);
    EXPECT_NEAR(Height(onSlab.m_chassis) - (Height(slab) + 0.25f), onFloor, 0.01f);

    // The joint made again with the slab as its first body: the chassis is now body 1.
    dgWorld* world = onSlab.m_scene.m_world;
    dgBody* chassis = onSlab.m_chassis;
    dgBody* movable = const_cast<dgBody*>(slab);
    world->DestroyJointNow(dgWorld::FindContactJoint(chassis, movable));
    world->AttachJoint(world->CreateContactJoint(), movable, chassis);
    onSlab.m_scene.Step(300);
    EXPECT_EQ(dgWorld::FindContactJoint(chassis, movable)->m_body1, chassis);
    EXPECT_NEAR(Height(onSlab.m_chassis) - (Height(slab) + 0.25f), onFloor, 0.01f);
}

TEST(dgVehicleSolver, GatheringHidesTirePointsAndTurnsTheirNormalsAwayFromTheChassis) {
    ReferenceCar car;
    dgWorld* world = car.m_scene.m_world;
    auto* vehicle = static_cast<dgVehicleJoint*>(car.m_vehicle);
    dgVehicleTire& tire = vehicle->m_tires.GetFirst()->GetInfo();
    dgBody* wall = car.m_scene.AddBox({1.0f, 1.0f, 1.0f}, 10.0f, jointscene::JointWorld::Translation({1.3f, 0.5f, 2.0f}));
    const dgVector centre = vehicle->GetTireMatrix(tire).posit;
    for (const bool chassisFirst : {true, false}) {
        // A point on the tire's side face (near its axis), the wall on its +z side: the joint's normal
        // runs from its body 1 towards its body 0.
        dgContactJoint* joint = world->CreateContactJoint();
        world->AttachJoint(joint, chassisFirst ? car.m_chassis : wall, chassisFirst ? wall : car.m_chassis);
        dgContact& point = joint->m_points.Append()->GetInfo();
        point.m_point.m_point = centre.Add(dgVector(0.0f, 0.0f, 0.1f, 0.0f));
        point.m_point.m_normal = dgVector(0.0f, 0.0f, chassisFirst ? -1.0f : 1.0f, 0.0f);
        point.m_point.m_body0 = joint->m_body0;
        point.m_point.m_body1 = joint->m_body1;
        (chassisFirst ? point.m_point.m_collision0 : point.m_point.m_collision1) = tire.m_collision;
        joint->SetPointCount(1);
        joint->m_contactStamp = world->m_stepStamp;

        vehicle->CollectTireContacts();
        EXPECT_EQ(joint->m_pointCount, 0);
        ASSERT_EQ(tire.m_collision->GetContactCount(), 1);
        EXPECT_NEAR(tire.m_collision->GetContact(0).m_normal.z, 1.0f, 1.0e-6f) << "chassis first: " << chassisFirst;
        world->DestroyJointNow(joint);
    }
}

TEST_P(dgVehicleSolverStepping, ContactsBetweenTwoCarsStayContactRows) {
    ReferenceCar below(kDropHeight);
    below.m_scene.Step(120);
    const float roof = Height(below.m_chassis) + 0.5f;
    dgBody* chassis = nullptr;
    dgJointBase* above = AddReferenceCar(below.m_scene, {0.0f, roof + kDropHeight, 0.0f}, &chassis);
    below.m_scene.Step(180);
    const dgContactJoint* joint = dgWorld::FindContactJoint(below.m_chassis, chassis);
    ASSERT_NE(joint, nullptr);
    EXPECT_GT(joint->m_pointCount, 0);
    for (auto* t = dgApiVehicleGetFirstTireID(above); t != nullptr; t = dgApiVehicleGetNextTireID(above, t)) {
        EXPECT_EQ(dgApiVehicleTireIsAirborne(above, t), 1);
    }
    // Held up by its tire shapes, which sit on the roof as parts of the chassis.
    EXPECT_GT(Height(chassis) - 0.5f, roof);
}

TEST_P(dgVehicleSolverStepping, SubStepsRunTheVehicleIslandThreeTimesAStep) {
    ReferenceCar car;
    g_step = StepLog{};
    g_step.m_chassis = car.m_chassis;
    dgApiBodySetForceAndTorqueCallback(car.m_chassis, CountedWeight);
    dgApiBodySetTransformCallback(car.m_chassis, CountedTransform);
    dgBody* other = car.m_scene.AddSphere(0.5f, 1.0f, {20.0f, 5.0f, 0.0f});
    dgApiBodySetForceAndTorqueCallback(other, CountedWeight);
    dgApiBodySetTransformCallback(other, CountedTransform);
    dgApiVehicleSetTireCallback(car.m_vehicle, LoggedTireCallback);
    g_step.m_removeOnce = true;
    car.m_scene.Step();

    EXPECT_EQ(g_step.m_chassisForces, 3);
    EXPECT_EQ(g_step.m_chassisTransforms, 1);
    EXPECT_EQ(g_step.m_otherForces, 1);
    EXPECT_EQ(g_step.m_otherTransforms, 1);
    EXPECT_EQ(g_step.m_callbackSteps, std::vector<float>(3, jointscene::kStep / 3.0f));
    EXPECT_EQ(dgApiWorldGetTimeStep(car.m_scene.m_world), jointscene::kStep);
    // The tire removed in the first sub-step is gone by the second.
    EXPECT_EQ(g_step.m_tireCounts, (std::vector<int>{4, 3, 3}));
}

TEST_P(dgVehicleSolverStepping, TerrainDriveKeepsTheTiresOnTheGroundAndTheParkedCarStill) {
    Controls cruise;
    cruise.m_rearTorque = 600.0f;
    cruise.m_targetSpeed = 5.0f;
    TerrainCar car(-28.0f, cruise);
    const float start = jointscene::Position(car.m_chassis)[0];
    float nearest = 1.0e9f;
    bool chassisTouched = false;
    bool finite = true;
    for (int i = 0; i < 600; i++) {
        car.m_scene.Step();
        const dgContactJoint* joint = dgWorld::FindContactJoint(car.m_chassis, car.m_terrain);
        chassisTouched = chassisTouched || (joint != nullptr && joint->m_pointCount > 0);
        for (auto* tire : car.m_tires) {
            jointscene::Mat4 m;
            dgApiVehicleGetTireMatrix(car.m_vehicle, tire, m.data());
            finite = finite && std::isfinite(m[12]) && std::isfinite(m[13]) && std::isfinite(m[14]);
            nearest = std::min(nearest, m[13] - RollingTerrainHeight(m[12], m[14]));
        }
    }
    const Vec3 end = jointscene::Position(car.m_chassis);
    EXPECT_TRUE(finite);
    EXPECT_FALSE(chassisTouched);
    EXPECT_GT(nearest, 0.8f * kTireRadius);
    EXPECT_GT(end[0] - start, 40.0f);

    // Parked with the brakes on the steepest stretch of the line (x = 0, grade 0.15).
    Controls parked;
    parked.m_brakeFriction = 5000.0f;
    TerrainCar still(0.0f, parked);
    // The suspension's bounce from the drop dies out first.
    still.m_scene.Step(180);
    const Vec3 before = jointscene::Position(still.m_chassis);
    still.m_scene.Step(300);
    EXPECT_LT(jointscene::Length(jointscene::Sub(jointscene::Position(still.m_chassis), before)), 0.05f);
}
