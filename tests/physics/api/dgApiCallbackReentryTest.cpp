// Callbacks that call back into their own world during an update or query: they remove every material
// group, step the world again or resize it.

#include "ApiTestScene.h"

#include <gtest/gtest.h>

namespace {

dgWorld* g_world = nullptr;
int g_processCalls = 0;
int g_leftWorld = 0;

unsigned char RemoveEveryGroup(dgContactMaterial*, dgContactJoint*) {
    g_processCalls++;
    dgApiMaterialDestroyAllGroupId(g_world);
    return 1;
}

void StepAgain(dgBody* body) {
    dgApiWorldUpdate(g_world, kStep);
    ApplyGravity(body);
}

void StepAgainAfterMoving(dgBody*, const float*) {
    dgApiWorldUpdate(g_world, kStep);
}

/// A world box of -5..5 on each axis.
void ShrinkWorld() {
    const Vec3 minPoint = {-5.0f, -5.0f, -5.0f};
    const Vec3 maxPoint = {5.0f, 5.0f, 5.0f};
    dgApiWorldSetSize(g_world, minPoint.data(), maxPoint.data());
}

unsigned char ShrinkWorldOnContact(dgContactMaterial*, dgContactJoint*) {
    ShrinkWorld();
    return 1;
}

void ShrinkWorldFromQuery(dgBody*) {
    ShrinkWorld();
}

void CountLeaving(dgBody*) {
    g_leftWorld++;
}

/// A floor, a box resting on it and a box at x = 30, whose leaving the world is counted.
struct RestingAndFarBox : FloorWorld {
    dgBody* resting = AddBox(0.49f);
    dgBody* far = AddBox(0.49f);

    RestingAndFarBox() {
        g_world = m_world;
        g_leftWorld = 0;
        const Mat4 place = Translation(30.0f, 0.49f, 0.0f);
        dgApiBodySetMatrix(far, place.data());
        dgApiWorldSetBodyLeaveWorldCallback(m_world, CountLeaving);
    }
};

} // namespace

TEST(dgApiCallbackReentry, AProcessCallbackMayRemoveEveryMaterialGroup) {
    FloorWorld scene;
    g_world = scene.m_world;
    g_processCalls = 0;
    dgApiMaterialSetCollisionCallback(scene.m_world, 0, 0, nullptr, nullptr, RemoveEveryGroup, nullptr);
    dgBody* box = scene.AddBox(0.49f);
    scene.Step(1);
    const int callsInFirstStep = g_processCalls;
    scene.Step(60);
    // The pair served the rest of its contacts in that step; its successor has the defaults, no callback.
    EXPECT_GT(callsInFirstStep, 0);
    EXPECT_EQ(g_processCalls, callsInFirstStep);
    EXPECT_NEAR(BodyPosition(box)[1], 0.5f, 0.01f);
    EXPECT_EQ(dgApiMaterialCreateGroupId(scene.m_world), 1);
}

TEST(dgApiCallbackReentry, AStepAskedFromInsideAStepIsIgnored) {
    // The same falling box, plain and with force or transform callbacks that step the world again.
    Vec3 positions[3];
    for (int variant = 0; variant < 3; variant++) {
        FloorWorld scene;
        g_world = scene.m_world;
        dgBody* box = scene.AddBox(3.0f);
        if (variant == 1) {
            dgApiBodySetForceAndTorqueCallback(box, StepAgain);
        } else if (variant == 2) {
            dgApiBodySetTransformCallback(box, StepAgainAfterMoving);
        }
        scene.Step(30);
        positions[variant] = BodyPosition(box);
    }
    EXPECT_LT(positions[0][1], 3.0f);
    EXPECT_EQ(positions[1], positions[0]);
    EXPECT_EQ(positions[2], positions[0]);
}

TEST(dgApiCallbackReentry, AWorldBoxAskedDuringAnUpdateOrQueryTakesEffectWhenItEnds) {
    {
        RestingAndFarBox scene;
        dgApiMaterialSetCollisionCallback(scene.m_world, 0, 0, nullptr, nullptr, ShrinkWorldOnContact,
                                          nullptr);
        scene.Step(1);
        EXPECT_EQ(g_leftWorld, 1);
    }
    RestingAndFarBox scene;
    const Vec3 minPoint = {-50.0f, -50.0f, -50.0f};
    const Vec3 maxPoint = {50.0f, 50.0f, 50.0f};
    dgApiWorldForEachBodyInAABBDo(scene.m_world, minPoint.data(), maxPoint.data(), ShrinkWorldFromQuery);
    EXPECT_EQ(g_leftWorld, 1);
    scene.Step(30);
    EXPECT_NEAR(BodyPosition(scene.resting)[1], 0.5f, 0.01f);
}
