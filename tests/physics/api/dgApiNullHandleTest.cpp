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

TEST(dgApiNullHandle, JointRagDollAndVehicleFunctionsDoNothingAndReadZeroOrNull) {
    FloorWorld scene;
    dgWorld* const world = scene.m_world;
    dgBody* const body = scene.AddBox(2.0f);
    dgCollision* const box = dgApiCollisionCreateBox(world, 1.0f, 1.0f, 1.0f, nullptr);
    const Mat4 identity = Identity();
    const Vec3 v = {0.0f, 1.0f, 0.0f};
    const Vec3 size = {1.0f, 0.2f, 0.2f};
    constexpr float kUntouched = 7.0f;
    float out[16];
    std::fill(std::begin(out), std::end(out), kUntouched);
    const dgJointMotorDesc desc = {0.0f, -1.0f, 1.0f, kStep};

    dgApiJointSetUserData(nullptr, out);
    dgApiJointSetCollisionState(nullptr, 1);
    dgApiJointSetStiffness(nullptr, 0.5f);
    dgApiJointSetDestructor(nullptr, [](dgJointBase*) { FAIL(); });
    dgApiDestroyJoint(world, nullptr);
    EXPECT_EQ(dgApiJointGetUserData(nullptr), nullptr);
    EXPECT_EQ(dgApiJointGetCollisionState(nullptr), 0);
    EXPECT_EQ(dgApiJointGetStiffness(nullptr), 0.0f);
    EXPECT_EQ(dgApiJointCreateBall(nullptr, v.data(), body, nullptr), nullptr);
    EXPECT_EQ(dgApiJointCreateHinge(world, v.data(), v.data(), nullptr, body), nullptr);
    EXPECT_EQ(dgApiJointCreateUser(nullptr, 3, nullptr, body, nullptr), nullptr);

    dgApiBallSetUserCallback(nullptr, [](dgJointBase*) { FAIL(); });
    dgApiBallSetConeLimits(nullptr, v.data(), 1.0f, 1.0f);
    dgApiHingeSetUserCallback(nullptr, nullptr);
    dgApiSliderSetUserCallback(nullptr, nullptr);
    dgApiCorkscrewSetUserCallback(nullptr, nullptr);
    dgApiUniversalSetUserCallback(nullptr, nullptr);
    dgApiUpVectorSetPin(nullptr, v.data());
    for (const auto get : {dgApiBallGetJointAngle, dgApiBallGetJointOmega, dgApiBallGetJointForce,
                           dgApiHingeGetJointForce, dgApiSliderGetJointForce, dgApiCorkscrewGetJointForce,
                           dgApiUniversalGetJointForce, dgApiUpVectorGetPin}) {
        get(nullptr, out);
    }
    for (const auto read :
         {dgApiHingeGetJointAngle, dgApiHingeGetJointOmega, dgApiSliderGetJointPosit,
          dgApiSliderGetJointVeloc, dgApiCorkscrewGetJointPosit, dgApiCorkscrewGetJointVeloc,
          dgApiCorkscrewGetJointAngle, dgApiCorkscrewGetJointOmega, dgApiUniversalGetJointAngle0,
          dgApiUniversalGetJointAngle1, dgApiUniversalGetJointOmega0, dgApiUniversalGetJointOmega1}) {
        EXPECT_EQ(read(nullptr), 0.0f);
    }
    for (const auto stop : {dgApiHingeCalculateStopAlpha, dgApiSliderCalculateStopAccel,
                            dgApiCorkscrewCalculateStopAlpha, dgApiCorkscrewCalculateStopAccel,
                            dgApiUniversalCalculateStopAlpha0, dgApiUniversalCalculateStopAlpha1}) {
        EXPECT_EQ(stop(nullptr, &desc, 1.0f), 0.0f);
    }
    dgApiUserJointAddLinearRow(nullptr, v.data(), v.data(), v.data());
    dgApiUserJointAddAngularRow(nullptr, 1.0f, v.data());
    dgApiUserJointAddGeneralRow(nullptr, out, out);
    dgApiUserJointSetRowMaximumFriction(nullptr, 1.0f);
    dgApiUserJointSetRowStiffness(nullptr, 1.0f);
    EXPECT_EQ(dgApiUserJointGetRowForce(nullptr, 0), 0.0f);

    EXPECT_EQ(dgApiRagDollCreate(nullptr), nullptr);
    dgApiRagDollDestroy(world, nullptr);
    dgApiRagDollBegin(nullptr);
    dgApiRagDollSetTransformCallback(nullptr, [](dgRagDollBone*) { FAIL(); });
    dgApiRagDollSetForceAndTorqueCallback(nullptr, [](dgBody*) { FAIL(); });
    EXPECT_EQ(dgApiRagDollAddBone(nullptr, nullptr, nullptr, 1.0f, identity.data(), box, size.data()),
              nullptr);
    dgApiRagDollEnd(nullptr);
    EXPECT_EQ(dgApiRagDollFindBone(nullptr, 0), nullptr);
    dgApiRagDollBoneSetID(nullptr, 3);
    EXPECT_EQ(dgApiRagDollBoneGetUserData(nullptr), nullptr);
    EXPECT_EQ(dgApiRagDollBoneGetBody(nullptr), nullptr);
    dgApiRagDollBoneGetLocalMatrix(nullptr, out);
    dgApiRagDollBoneGetGlobalMatrix(nullptr, out);
    dgApiRagDollBoneSetLimits(nullptr, v.data(), -1.0f, 1.0f, 1.0f, nullptr, 0.0f, 0.0f);

    EXPECT_EQ(dgApiVehicleCreate(nullptr, v.data(), body), nullptr);
    EXPECT_EQ(dgApiVehicleAddTire(nullptr, identity.data(), v.data(), 1, 1, 1, 0, 0, 0, nullptr, 0), nullptr);
    dgApiVehicleRemoveTire(nullptr, nullptr);
    dgApiVehicleSetTireCallback(nullptr, [](dgJointBase*) { FAIL(); });
    dgApiVehicleReset(nullptr);
    EXPECT_EQ(dgApiVehicleGetFirstTireID(nullptr), nullptr);
    EXPECT_EQ(dgApiVehicleGetNextTireID(nullptr, nullptr), nullptr);
    EXPECT_EQ(dgApiVehicleGetTireUserData(nullptr, nullptr), nullptr);
    dgApiVehicleGetTireMatrix(nullptr, nullptr, out);
    dgApiVehicleSetTireSteerAngle(nullptr, nullptr, 1.0f);
    dgApiVehicleSetTireTorque(nullptr, nullptr, 1.0f);
    dgApiVehicleSetTireBrakeAcceleration(nullptr, nullptr, 1.0f, 1.0f);
    for (const auto set : {dgApiVehicleSetTireMaxLongitudinalSlideSpeed, dgApiVehicleSetTireMaxSideSlideSpeed,
                           dgApiVehicleSetTireLongitudinalSlideCoef, dgApiVehicleSetTireSideSlideCoef}) {
        set(nullptr, nullptr, 1.0f);
    }
    for (const auto read : {dgApiVehicleGetTireSteerAngle, dgApiVehicleGetTireOmega,
                            dgApiVehicleGetTireNormalLoad, dgApiVehicleGetTireMaxBrakeAcceleration,
                            dgApiVehicleGetTireSideSpeed, dgApiVehicleGetTireLongitudinalSpeed}) {
        EXPECT_EQ(read(nullptr, nullptr), 0.0f);
    }
    for (const auto flag :
         {dgApiVehicleTireIsAirborne, dgApiVehicleTireLostTraction, dgApiVehicleTireLostSideGrip}) {
        EXPECT_EQ(flag(nullptr, nullptr), 0);
    }

    for (const float value : out) {
        EXPECT_EQ(value, kUntouched);
    }
    // A null parent still names the root.
    dgRagDoll* ragdoll = dgApiRagDollCreate(world);
    dgApiRagDollBegin(ragdoll);
    EXPECT_NE(dgApiRagDollAddBone(ragdoll, nullptr, nullptr, 1.0f, identity.data(), box, size.data()),
              nullptr);
    dgApiRagDollEnd(ragdoll);
    scene.Step(2);
    dgApiCollisionRelease(world, box);
}
