// Callbacks that call back into their own world during an update or query.

#include "ApiTestScene.h"

#include <gtest/gtest.h>

namespace {

dgWorld* g_world = nullptr;
int g_processCalls = 0;

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
