// Material pairs and contact points: group ids, friction clamps seen in sliding, the process callback
// on a resting box, conveyors and disabled contacts.

#include "ApiTestScene.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

/// A flat 2 x 0.5 x 2 slab: wide enough that no friction of at most 2 can tip it.
const Vec3 kSlab = {2.0f, 0.5f, 2.0f};

/// Speed along x lost over six steps of a slab launched at 5 m/s on the floor, as a multiple of g x 0.1 s:
/// the kinetic friction it slid with.
float SlidingFriction(FloorWorld& scene, dgBody* slab) {
    dgApiBodySetLinearDamping(slab, 0.0f); // only friction slows it
    scene.Step(30);                        // settle
    const Vec3 launch = {5.0f, 0.0f, 0.0f};
    dgApiBodySetVelocity(slab, launch.data());
    dgApiWorldUnfreezeBody(scene.m_world, slab); // it may have come to rest
    scene.Step(6);
    return (5.0f - BodyVelocity(slab)[0]) / (kGravity * 6.0f * kStep);
}

} // namespace

TEST(dgApiMaterial, GroupIdsCountUpAndUnknownIdsNameNoPair) {
    FloorWorld scene;
    EXPECT_EQ(dgApiMaterialGetDefaultGroupId(scene.m_world), 0);
    EXPECT_EQ(dgApiMaterialCreateGroupId(scene.m_world), 1);
    EXPECT_EQ(dgApiMaterialCreateGroupId(scene.m_world), 2);
    int tag = 7;
    dgApiMaterialSetCollisionCallback(scene.m_world, 2, 1, &tag, nullptr, nullptr, nullptr);
    EXPECT_EQ(dgApiMaterialGetUserData(scene.m_world, 1, 2), &tag);
    // Ids never handed out name no pair: setters do nothing, getters give null.
    dgApiMaterialSetCollisionCallback(scene.m_world, 5, 1, &tag, nullptr, nullptr, nullptr);
    dgApiMaterialSetDefaultFriction(scene.m_world, -3, 9, 0.5f, 0.5f);
    EXPECT_EQ(dgApiMaterialGetUserData(scene.m_world, 1, 5), nullptr);

    dgApiMaterialDestroyAllGroupId(scene.m_world);
    EXPECT_EQ(dgApiMaterialGetUserData(scene.m_world, 1, 2), nullptr);
    EXPECT_EQ(dgApiMaterialCreateGroupId(scene.m_world), 1);
}

BOTH_BUILDS_SUITE(dgApiMaterialStepping);

TEST_P(dgApiMaterialStepping, PairFrictionIsMadeAbsoluteClampedAndOrdered) {
    struct Case {
        float staticFriction;
        float kineticFriction;
        float slidingFriction;
    };
    const Case cases[] = {{-0.5f, 0.3f, 0.3f}, {0.2f, 0.4f, 0.4f}, {3.0f, 5.0f, 2.0f}};
    for (const Case& c : cases) {
        FloorWorld scene;
        dgBody* slab = scene.AddBox(0.25f, 1.0f, kSlab);
        dgApiMaterialSetDefaultFriction(scene.m_world, 0, 0, c.staticFriction, c.kineticFriction);
        EXPECT_NEAR(SlidingFriction(scene, slab), c.slidingFriction, 0.05f * c.slidingFriction)
            << c.staticFriction << " " << c.kineticFriction;
    }

    // A static friction below 0.01 switches friction off; setting values later does not switch it on.
    FloorWorld scene;
    dgBody* slab = scene.AddBox(0.25f, 1.0f, kSlab);
    dgApiMaterialSetDefaultFriction(scene.m_world, 0, 0, 0.005f, 0.5f);
    dgApiMaterialSetDefaultFriction(scene.m_world, 0, 0, 0.5f, 0.5f);
    EXPECT_NEAR(SlidingFriction(scene, slab), 0.0f, 0.01f);
}

namespace {

unsigned char RaiseFrictionOnContact(dgContactMaterial* contact, dgContactJoint*) {
    // Static 3 stops at 2; kinetic 5 stops at the static friction. Index 7 is tangent 1.
    for (int index : {0, 7}) {
        dgApiContactSetStaticFriction(contact, 3.0f, index);
        dgApiContactSetKineticFriction(contact, 5.0f, index);
    }
    return 1;
}

} // namespace

TEST_P(dgApiMaterialStepping, ContactFrictionSettersClampAgainstEachOther) {
    FloorWorld scene;
    dgBody* slab = scene.AddBox(0.25f, 1.0f, kSlab);
    dgApiMaterialSetDefaultFriction(scene.m_world, 0, 0, 0.5f, 0.3f);
    dgApiMaterialSetCollisionCallback(scene.m_world, 0, 0, nullptr, nullptr, RaiseFrictionOnContact, nullptr);
    EXPECT_NEAR(SlidingFriction(scene, slab), 2.0f, 0.1f);
}

namespace {

struct RestingContacts {
    int contacts = 0;
    Vec3 forceSum = {};
    float worstOrthonormality = 0.0f;
    float firstNormalSpeed = 0.0f;
    float timeStep = 0.0f;
};
RestingContacts g_resting;

unsigned char InspectContact(dgContactMaterial* contact, dgContactJoint* joint) {
    Vec3 position;
    Vec3 normal;
    Vec3 tangent0;
    Vec3 tangent1;
    dgApiContactGetPositionAndNormal(contact, position.data(), normal.data());
    dgApiContactGetTangentDirections(contact, tangent0.data(), tangent1.data());
    const float deviations[] = {Length(normal) - 1.0f, Length(tangent0) - 1.0f, Length(tangent1) - 1.0f,
                                Dot(normal, tangent0), Dot(normal, tangent1),   Dot(tangent0, tangent1)};
    for (float d : deviations) {
        g_resting.worstOrthonormality = std::max(g_resting.worstOrthonormality, std::fabs(d));
    }
    if (g_resting.contacts == 0) {
        g_resting.firstNormalSpeed = dgApiContactGetNormalSpeed(contact, joint);
    }
    g_resting.contacts++;
    Vec3 force;
    dgApiContactGetForce(contact, force.data());
    for (int i = 0; i < 3; i++) {
        g_resting.forceSum[i] += force[i];
    }
    g_resting.timeStep = dgApiContactGetTimeStep(contact);
    return 1;
}

} // namespace

TEST_P(dgApiMaterialStepping, ProcessCallbackOnARestingBoxSeesAFrameApproachAndTheWeight) {
    FloorWorld scene;
    dgBody* box = scene.AddBox(0.6f, 2.0f);
    dgApiBodySetAutoFreeze(box, 0);
    const Vec3 falling = {0.0f, -1.0f, 0.0f};
    dgApiBodySetVelocity(box, falling.data());
    dgApiMaterialSetCollisionCallback(scene.m_world, 0, 0, nullptr, nullptr, InspectContact, nullptr);

    // The first contact finds the box approaching the floor.
    g_resting = {};
    for (int i = 0; i < 20 && g_resting.contacts == 0; i++) {
        scene.Step(1);
    }
    ASSERT_GT(g_resting.contacts, 0);
    EXPECT_GT(g_resting.firstNormalSpeed, 0.0f);

    // At rest, the forces of the last solve carry the weight: m g up, nothing sideways.
    scene.Step(60);
    g_resting = {};
    scene.Step(1);
    ASSERT_GT(g_resting.contacts, 0);
    EXPECT_LT(g_resting.worstOrthonormality, 1.0e-5f);
    EXPECT_NEAR(g_resting.forceSum[1], 2.0f * kGravity, 0.02f * 2.0f * kGravity);
    EXPECT_NEAR(g_resting.forceSum[0], 0.0f, 0.01f * kGravity);
    EXPECT_NEAR(g_resting.forceSum[2], 0.0f, 0.01f * kGravity);
    EXPECT_FLOAT_EQ(g_resting.timeStep, kStep);
}

namespace {

constexpr float kBeltSpeed = 1.0f;

unsigned char Conveyor(dgContactMaterial* contact, dgContactJoint* joint) {
    // The belt runs along +x: turn tangent 0 onto it and drive the relative speed to the belt's.
    const Vec3 belt = {1.0f, 0.0f, 0.0f};
    dgApiContactRotateTangentDirections(contact, belt.data());
    const float speed = dgApiContactGetTangentSpeed(contact, joint, 0);
    dgApiContactSetTangentAcceleration(contact, (kBeltSpeed - speed) / dgApiContactGetTimeStep(contact), 0);
    return 1;
}

unsigned char DropContact(dgContactMaterial* contact, dgContactJoint*) {
    dgApiContactDisable(contact);
    return 1;
}

unsigned char AskForNoNumber(dgContactMaterial* contact, dgContactJoint*) {
    dgApiContactSetNormalAcceleration(contact, std::nanf(""));
    dgApiContactSetTangentAcceleration(contact, INFINITY, 0);
    dgApiContactSetTangentAcceleration(contact, -INFINITY, 1);
    return 1;
}

} // namespace

TEST_P(dgApiMaterialStepping, TangentAccelerationCarriesABoxLikeAConveyor) {
    FloorWorld scene;
    dgBody* box = scene.AddBox(0.5f);
    dgApiMaterialSetDefaultFriction(scene.m_world, 0, 0, 1.0f, 1.0f);
    dgApiMaterialSetCollisionCallback(scene.m_world, 0, 0, nullptr, nullptr, Conveyor, nullptr);
    scene.Step(120);
    const Vec3 velocity = BodyVelocity(box);
    EXPECT_NEAR(velocity[0], kBeltSpeed, 0.05f);
    EXPECT_NEAR(velocity[2], 0.0f, 0.01f);
    EXPECT_GT(BodyPosition(box)[0], 1.0f);
    EXPECT_NEAR(BodyPosition(box)[1], 0.5f, 0.02f);
}

TEST_P(dgApiMaterialStepping, DisabledContactsLetTheBoxFallThrough) {
    FloorWorld scene;
    dgBody* box = scene.AddBox(0.5f);
    dgApiMaterialSetCollisionCallback(scene.m_world, 0, 0, nullptr, nullptr, DropContact, nullptr);
    scene.Step(60);
    EXPECT_LT(BodyPosition(box)[1], -2.0f);
}

TEST_P(dgApiMaterialStepping, AccelerationsThatAreNoNumberLeaveTheContactHolding) {
    FloorWorld scene;
    dgBody* box = scene.AddBox(0.5f);
    dgApiMaterialSetCollisionCallback(scene.m_world, 0, 0, nullptr, nullptr, AskForNoNumber, nullptr);
    scene.Step(60);
    EXPECT_NEAR(BodyPosition(box)[1], 0.5f, 0.02f);
    EXPECT_NEAR(BodyPosition(box)[0], 0.0f, 0.001f);
}
