#include "physics/dynamics/dgVehicleJoint.h"

#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgCompoundCollision.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgTireCollision.h"
#include "physics/dynamics/dgWorld.h"

#include "support/SolverBuilds.h"
#include "support/VehicleScenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using vehiclescene::ReferenceCar;

dgVehicleJoint* Vehicle(const ReferenceCar& car) {
    return static_cast<dgVehicleJoint*>(car.m_vehicle);
}

dgCompoundCollision* Compound(const dgBody* body) {
    EXPECT_EQ(body->m_collision->GetCollisionType(), kCompoundCollision);
    return static_cast<dgCompoundCollision*>(body->m_collision);
}

int g_destructorCalls = 0;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

} // namespace

TEST(dgVehicleJoint, ChassisBecomesACompoundOfItsShapeAndTiresThatOutlivesTheVehicle) {
    for (const bool destroyChassis : {false, true}) {
        ReferenceCar car;
        dgCompoundCollision* compound = Compound(car.m_chassis);
        ASSERT_EQ(compound->GetChildCount(), 1 + vehiclescene::kTireCount);
        EXPECT_NE(compound->GetFlags() & dgCollision::kVehicleChassis, 0u);
        EXPECT_EQ(compound->GetChild(0)->GetCollisionType(), kBoxCollision);
        // Hold every tire shape and the compound, to see the vehicle give its references back.
        std::vector<dgCollision*> tires;
        for (dgInt32 i = 1; i < compound->GetChildCount(); i++) {
            tires.push_back(compound->GetChild(i));
            EXPECT_NE(tires.back()->GetFlags() & dgCollision::kTireShape, 0u);
            tires.back()->AddRef();
        }
        compound->AddRef();
        g_destructorCalls = 0;
        dgApiJointSetDestructor(car.m_vehicle, [](dgJointBase*) { g_destructorCalls++; });
        if (destroyChassis) {
            dgApiBodyDestroy(car.m_scene.m_world, car.m_chassis);
        } else {
            dgApiDestroyJoint(car.m_scene.m_world, car.m_vehicle);
            EXPECT_EQ(car.m_chassis->m_collision, compound);
        }
        EXPECT_EQ(g_destructorCalls, 1);
        EXPECT_EQ(compound->GetChildCount(), 1);
        EXPECT_EQ(compound->GetFlags() & dgCollision::kVehicleChassis, 0u);
        for (dgCollision* tire : tires) {
            EXPECT_EQ(tire->GetRefCount(), 1);
            dgRefRelease(tire);
        }
        dgRefRelease(compound);
    }
}

TEST(dgVehicleJoint, ACompoundChassisIsRewrappedWholeAndTheSharedOriginalIsNotFlagged) {
    jointscene::JointWorld scene;
    dgWorld* world = scene.m_world;
    std::vector<dgCollision*> spheres;
    for (int i = 0; i < 300; i++) {
        dgMatrix offset = dgGetIdentityMatrix();
        offset.posit = dgVector(0.01f * static_cast<dgFloat32>(i), 0.0f, 0.0f, 1.0f);
        spheres.push_back(new dgCollisionSphere(0u, 0.1f, offset));
    }
    dgCompoundCollision* original = world->CreateCompound(300, spheres.data());
    for (dgCollision* sphere : spheres) {
        dgRefRelease(sphere);
    }
    dgBody* chassis = scene.AddBody(original, 10.0f, {1.0f, 1.0f, 1.0f}, jointscene::JointWorld::Translation({}));
    original->AddRef();
    ASSERT_NE(world->CreateVehicle(dgVector(0.0f, 2.0f, 0.0f, 0.0f), chassis), nullptr);
    dgCompoundCollision* wrapped = Compound(chassis);
    EXPECT_NE(wrapped, original);
    ASSERT_EQ(wrapped->GetChildCount(), 300);
    for (dgInt32 i = 0; i < 300; i++) {
        EXPECT_EQ(wrapped->GetChild(i), original->GetChild(i));
    }
    EXPECT_EQ(original->GetFlags() & dgCollision::kVehicleChassis, 0u);
    // One vehicle per chassis: the tire gathering finds a chassis's vehicle by its kind.
    EXPECT_EQ(world->CreateVehicle(dgVector(0.0f, 1.0f, 0.0f, 0.0f), chassis), nullptr);
    world->ReleaseCollision(original);
}

BOTH_BUILDS_SUITE(dgVehicleJointStepping);

TEST_P(dgVehicleJointStepping, SubmitResetsTheInputsAndKeepsItsOwnStep) {
    ReferenceCar car;
    dgVehicleJoint* vehicle = Vehicle(car);
    dgVehicleTire& tire = vehicle->m_tires.GetFirst()->GetInfo();
    EXPECT_EQ(dgApiVehicleGetTireMaxBrakeAcceleration(car.m_vehicle, car.m_tires[0]), 0.0f);
    tire.m_torque = 5.0f;
    tire.m_brakeMaxFriction = 3.0f;
    tire.m_maxSideSlideSpeed = 9.0f;
    tire.m_sideSlideCoef = 0.2f;
    car.m_scene.Step();
    EXPECT_EQ(tire.m_torque, 0.0f);
    EXPECT_EQ(tire.m_brakeMaxFriction, 0.0f);
    EXPECT_EQ(tire.m_maxSideSlideSpeed, 0.5f);
    EXPECT_EQ(tire.m_sideSlideCoef, 0.0f);
    // Free fall: the chassis's applied acceleration along up is -g.
    EXPECT_NEAR(tire.m_load, -vehiclescene::kTireMass * jointscene::kGravity, 1.0e-3f);
    // The step the vehicle keeps is its sub-step: a third of the world's at 60 Hz.
    tire.m_omega = 12.0f;
    EXPECT_FLOAT_EQ(dgApiVehicleGetTireMaxBrakeAcceleration(car.m_vehicle, car.m_tires[0]),
                    (3.0f / jointscene::kStep) * 12.0f * 0.99f);
}

TEST(dgVehicleJoint, TireShapeAndWheelFramesFollowTheTire) {
    ReferenceCar car;
    dgVehicleJoint* vehicle = Vehicle(car);
    // A refused tire leaves the compound as it was.
    EXPECT_EQ(car.AddTire({0.0f, kNaN, 0.0f}, 9), nullptr);
    EXPECT_EQ(Compound(car.m_chassis)->GetChildCount(), 1 + vehiclescene::kTireCount);
    dgVehicleTire& tire = vehicle->m_tires.GetFirst()->GetInfo();
    // The shape's own axis (x) is turned onto the pin (z) by the quarter turn about up.
    const dgMatrix shape = tire.m_collision->GetOffsetMatrix();
    EXPECT_NEAR(std::fabs(shape.front.z), 1.0f, 1.0e-6f);
    EXPECT_NEAR(shape.posit.y, -0.5f, 1.0e-6f);
    // Steering turns from the rotation at addition, about up, and keeps the position.
    dgVehicleJoint::SetTireSteerAngle(tire, 0.3f);
    dgVehicleJoint::SetTireSteerAngle(tire, 0.3f);
    EXPECT_NEAR(tire.m_localMatrix.front.x, std::cos(0.3f), 1.0e-6f);
    EXPECT_EQ(tire.m_localMatrix.posit.x, 1.3f);
    tire.m_suspensionPosition = 0.1f;
    const dgMatrix world = vehicle->GetTireMatrix(tire);
    EXPECT_NEAR(world.posit.y, car.m_chassis->m_matrix.posit.y - 0.4f, 1.0e-5f);
}

TEST_P(dgVehicleJointStepping, ReferenceCarRestsOnItsTireShapes) {
    ReferenceCar car(1.05f);
    car.m_scene.Step(240);
    for (dgVehicleTireHandle* tire : car.m_tires) {
        float matrix[16];
        dgApiVehicleGetTireMatrix(car.m_vehicle, tire, matrix);
        EXPECT_NEAR(matrix[13], vehiclescene::kTireRadius, 0.01f);
    }
    float veloc[3];
    dgApiBodyGetVelocity(car.m_chassis, veloc);
    EXPECT_LT(std::fabs(veloc[1]), 0.01f);
}
