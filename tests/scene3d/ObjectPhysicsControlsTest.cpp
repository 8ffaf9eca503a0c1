// The 3D object's physics controls on its body, and on an object without one.
#include "support/SceneFixture.h"

#include "physics/api/dgApi.h"

#include <array>

namespace {

class ObjectPhysicsControls : public SceneFixture {
protected:
    static std::array<float, 4> MassMatrix(const IOrvalen3DD3DObject& object) {
        std::array<float, 4> values{};
        dgApiBodyGetMassMatrix(object.Body, &values[0], &values[1], &values[2], &values[3]);
        return values;
    }
};

} // namespace

TEST_F(ObjectPhysicsControls, TheCollisionModeGivesTheBodyMassZeroOrTheKeptMass) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.SetCollisionMode(0);
    cube.SetCollisionMode(1);
    EXPECT_EQ((std::array<float, 4>{1, 1, 1, 1}), MassMatrix(cube)) << "the mass of construction";
    cube.SetMass(5, 2, 3, 4);
    cube.SetCollisionMode(0);
    EXPECT_EQ((std::array<float, 4>{0, 0, 0, 0}), MassMatrix(cube));
    cube.SetCollisionMode(1);
    EXPECT_EQ((std::array<float, 4>{5, 2, 3, 4}), MassMatrix(cube));
    cube.SetCollisionMode(2);
    EXPECT_EQ((std::array<float, 4>{0, 0, 0, 0}), MassMatrix(cube)) << "no contacts: static too";
    cube.SetCollisionMode(7);
    EXPECT_EQ(2, cube.GetCollisionMode());
    EXPECT_EQ((std::array<float, 4>{0, 0, 0, 0}), MassMatrix(cube));
}

TEST_F(ObjectPhysicsControls, FreezeThresholdsReachTheEngineSquared) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.SetFreezeThreshold(0.5f, 2.0f);
    float speed = 0.0f;
    float omega = 0.0f;
    dgApiBodyGetFreezeThreshold(cube.Body, &speed, &omega);
    EXPECT_FLOAT_EQ(0.25f, speed);
    EXPECT_FLOAT_EQ(4.0f, omega);
}

TEST_F(ObjectPhysicsControls, VelocitiesAndImpulsesAddToTheBodysOwn) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.SetVelocity(1.5f, -2.0f, 0.25f);
    cube.AddVelocity(0, 0, 0);
    EXPECT_EQ(D3DXVECTOR3(1.5f, -2.0f, 0.25f), cube.GetVelocity());
    cube.AddImpulse(0, 0, 0, 0, 3, 0); // at the centre of mass: a pure change of velocity
    EXPECT_NEAR(1.0f, cube.GetVelocity().y, 1e-5f);
}

TEST_F(ObjectPhysicsControls, ActivateKeepsTheBodyAwakeWithoutDamping) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    EXPECT_TRUE(cube.GetAutoFreeze());
    cube.SetFreeze(true);
    cube.Activate();
    EXPECT_TRUE(cube.ActiveFlag);
    EXPECT_FALSE(cube.GetAutoFreeze());
    EXPECT_EQ(0.0f, dgApiBodyGetLinearDamping(cube.Body));
    float angular[3] = {1, 1, 1};
    dgApiBodyGetAngularDamping(cube.Body, angular);
    EXPECT_EQ(0.0f, angular[0] + angular[1] + angular[2]);
}

TEST_F(ObjectPhysicsControls, FreezingBringsPositionAndRotationToTheBodysPose) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.SetRotation(0.1f, 0.2f, 0.3f);
    cube.SetPosition(1, 2, 3);
    cube.SetVelocity(6, 0, 0);
    m_scene->Update(0.5f);
    cube.SetFreeze(true);
    float matrix[16];
    dgApiBodyGetMatrix(cube.Body, matrix);
    EXPECT_EQ(matrix[12], cube.Position[0]);
    EXPECT_NEAR(1.1f, cube.Position[0], 1e-3f) << "moved for one clamped step of 1/60 s, a little damped";
    EXPECT_NEAR(0.1f, cube.Rotation[0], 1e-5f);
    EXPECT_NEAR(0.3f, cube.Rotation[2], 1e-5f);
    m_scene->Update(1.0f / 60.0f);
    dgApiBodyGetMatrix(cube.Body, matrix);
    EXPECT_EQ(cube.Position[0], matrix[12]) << "frozen";
}

TEST_F(ObjectPhysicsControls, WithoutABodyValuesAreStoredAndTheBodysReadAsZero) {
    IOrvalen3DD3DObject& shell = Implementation(m_scene->Cube(1, 1, 1, true));
    shell.SetMass(4, 1, 1, 1);
    shell.SetCollisionMode(0);
    shell.SetFreeze(true);
    shell.SetFreezeThreshold(1, 1);
    shell.Activate();
    shell.AddVelocity(1, 1, 1);
    shell.AddOmega(1, 1, 1);
    shell.AddImpulse(0, 0, 0, 1, 1, 1);
    shell.AddForce(1, 2, 3);
    shell.SetMaterialGroupID(0);
    shell.CreateUpVector(0, 1, 0);
    shell.SetUpVectorPin(1, 0, 0);
    EXPECT_EQ(D3DXVECTOR3(), shell.GetUpVectorPin()) << "no body, no joint";
    EXPECT_EQ(4.0f, shell.Mass);
    EXPECT_EQ(D3DXVECTOR3(1, 2, 3), shell.GetForce());
    EXPECT_EQ(D3DXVECTOR3(), shell.GetVelocity());
    EXPECT_EQ(D3DXVECTOR3(), shell.GetOmega());
    EXPECT_FALSE(shell.GetAutoFreeze());
    float position[3] = {9, 9, 9};
    float angles[3] = {9, 9, 9};
    shell.UpdateFromBody(position, angles);
    EXPECT_EQ(0.0f, position[0] + angles[0]);
}
