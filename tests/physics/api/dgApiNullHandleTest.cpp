// A null world, body, collision or contact handle: every function does nothing and reads 0 or null.

#include "ApiTestScene.h"

#include <gtest/gtest.h>

TEST(dgApiNullHandle, FunctionsDoNothingAndReadZeroOrNull) {
    // A live world and shape next to the null handles: only the null one may stop a call.
    FloorWorld scene;
    dgWorld* const world = scene.m_world;
    dgCollision* const box = dgApiCollisionCreateBox(world, 1.0f, 1.0f, 1.0f, nullptr);
    const Mat4 identity = Identity();
    const Vec3 v = {1.0f, 2.0f, 3.0f};
    constexpr float kUntouched = 7.0f;
    float out[16];
    float more[16];
    std::fill(std::begin(out), std::end(out), kUntouched);
    std::fill(std::begin(more), std::end(more), kUntouched);
    int attribute = 7;

    dgApiWorldUpdate(nullptr, kStep);
    dgApiWorldSetMinimumFrameRate(nullptr, 120.0f);
    dgApiWorldSetSize(nullptr, v.data(), v.data());
    dgApiWorldForEachBodyInAABBDo(nullptr, v.data(), v.data(), [](dgBody*) { FAIL(); });
    dgApiWorldRayCast(
        nullptr, v.data(), v.data(), [](dgBody*, const float*, int, void*, float) { return 0.0f; }, nullptr,
        nullptr);
    dgApiWorldForEachBodyDo(nullptr, [](dgBody*) { FAIL(); });
    dgApiWorldDestroyAllBodies(nullptr);
    dgApiWorldSetUserData(nullptr, out);
    dgApiWorldFreezeBody(nullptr, scene.m_floor);
    dgApiWorldFreezeBody(world, nullptr);
    EXPECT_EQ(dgApiWorldGetTimeStep(nullptr), 0.0f);
    EXPECT_EQ(dgApiWorldGetUserData(nullptr), nullptr);

    EXPECT_EQ(dgApiMaterialCreateGroupId(nullptr), 0);
    dgApiMaterialDestroyAllGroupId(nullptr);
    dgApiMaterialSetDefaultFriction(nullptr, 0, 0, 0.5f, 0.5f);
    EXPECT_EQ(dgApiMaterialGetUserData(nullptr, 0, 0), nullptr);
    dgApiContactSetSoftness(nullptr, 0.5f);
    dgApiContactRotateTangentDirections(nullptr, v.data());
    dgApiContactGetForce(nullptr, out);
    EXPECT_EQ(dgApiContactGetNormalSpeed(nullptr, nullptr), 0.0f);
    EXPECT_EQ(dgApiContactGetBodyCollisionId(nullptr, nullptr), 0u);

    EXPECT_EQ(dgApiCollisionCreateBox(nullptr, 1.0f, 1.0f, 1.0f, nullptr), nullptr);
    EXPECT_EQ(dgApiCollisionCreateSphere(nullptr, 1.0f, 1.0f, 1.0f, nullptr), nullptr);
    EXPECT_EQ(dgApiCollisionCreateConvexModifier(world, nullptr), nullptr);
    EXPECT_EQ(dgApiTreeCollisionCreate(nullptr, nullptr), nullptr);
    EXPECT_EQ(dgApiConvexCollisionCalculateVolume(nullptr), 0.0f);
    EXPECT_EQ(dgApiCollisionRayCast(nullptr, v.data(), v.data(), out, &attribute), 0.0f);
    dgApiConvexCollisionCalculateInertialMatrix(nullptr, out, more);
    dgApiConvexModifierGetMatrix(nullptr, out);
    dgApiCollisionCalculateAABB(nullptr, identity.data(), out, more);
    EXPECT_EQ(dgApiCollisionPointDistance(world, v.data(), nullptr, identity.data(), out, more), 0);
    EXPECT_EQ(dgApiCollisionClosestPoint(nullptr, box, identity.data(), box, identity.data(), out, more, out),
              0);
    EXPECT_EQ(dgApiCollisionCollide(world, 4, box, identity.data(), nullptr, identity.data(), out, more, out),
              0);
    dgApiCollisionRelease(world, nullptr);
    dgApiCollisionRemoveFromCache(nullptr, box);
    EXPECT_EQ(dgApiTreeCollisionGetFaceAtribute(nullptr, nullptr), 0);
    dgApiGetEulerAngle(nullptr, out);

    EXPECT_EQ(dgApiBodyCreate(nullptr, box), nullptr);
    dgApiBodyDestroy(nullptr, scene.m_floor);
    dgApiBodySetMatrix(nullptr, identity.data());
    dgApiBodySetMassMatrix(nullptr, 1.0f, 1.0f, 1.0f, 1.0f);
    dgApiBodyAddImpulse(nullptr, v.data(), v.data());
    dgApiBodySetVelocity(nullptr, v.data());
    dgApiBodySetAutoactiveCallback(nullptr, [](dgBody*, unsigned) { FAIL(); });
    dgApiBodyForEachPolygonDo(nullptr, [](dgBody*, int, const float*, int) { FAIL(); });
    dgApiBodyGetMatrix(nullptr, out);
    dgApiBodyGetVelocity(nullptr, out);
    dgApiBodyGetAABB(nullptr, out, more);
    dgApiBodyGetMassMatrix(nullptr, &out[0], &out[1], &out[2], &out[3]);
    EXPECT_EQ(dgApiBodyGetWorld(nullptr), nullptr);
    EXPECT_EQ(dgApiBodyGetCollision(nullptr), nullptr);
    EXPECT_EQ(dgApiBodyGetUserData(nullptr), nullptr);
    EXPECT_EQ(dgApiBodyGetForceAndTorqueCallback(nullptr), nullptr);
    EXPECT_EQ(dgApiBodyGetMaterialGroupId(nullptr), 0);
    EXPECT_EQ(dgApiBodyGetAutoFreeze(nullptr), 0);
    EXPECT_EQ(dgApiBodyGetLinearDamping(nullptr), 0.0f);

    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(out[i], kUntouched);
        EXPECT_EQ(more[i], kUntouched);
    }
    EXPECT_EQ(attribute, 7);
    // The live world was left as it was.
    EXPECT_EQ(dgApiWorldGetUserData(world), nullptr);
    EXPECT_EQ(dgApiMaterialCreateGroupId(world), 1);
    dgApiCollisionRelease(world, box);
}
