// The 3D object: transforms composed onto its matrix and followed by its body, the body rebuilt by
// SetScale, the pose read back from the body, material groups, textures and texture coordinates.
#include "support/SceneFixture.h"

#include "physics/api/dgApi.h"
#include "renderer/TestImages.h"
#include "scene3d/BodyCallbacks.h"
#include "support/RandomGeometry.h"

#include <cmath>
#include <cstring>

namespace {

class IOrvalen3DD3DObjectTest : public SceneFixture {
protected:
    static D3DXMATRIX BodyMatrix(const IOrvalen3DD3DObject& object) {
        D3DXMATRIX matrix;
        dgApiBodyGetMatrix(object.Body, &matrix.m[0][0]);
        return matrix;
    }

    static void ExpectRotationsEqual(const D3DXMATRIX& expected, const D3DXMATRIX& actual, float tolerance) {
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                EXPECT_NEAR(expected(row, column), actual(row, column), tolerance) << row << ", " << column;
            }
        }
    }
};

/// The body's matrix as a plain rigid transform of 16 floats.
void SetBodyMatrix(dgBody* body, const dgMatrix& matrix) {
    float values[16];
    std::memcpy(values, &matrix, sizeof values);
    dgApiBodySetMatrix(body, values);
}

} // namespace

TEST_F(IOrvalen3DD3DObjectTest, TransformsMultiplyOntoTheMatrixAndTheBodyFollows) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.SetPosition(1, 2, 3);
    cube.SetRotation(0, D3DX_PI / 2, 0);
    // Translated, then turned a quarter about y: the origin lands at (3, 2, -1).
    EXPECT_NEAR(3.0f, cube.Matrix(3, 0), 1e-5f);
    EXPECT_NEAR(2.0f, cube.Matrix(3, 1), 1e-5f);
    EXPECT_NEAR(-1.0f, cube.Matrix(3, 2), 1e-5f);
    EXPECT_EQ(1.0f, cube.Position[0]) << "the last values given, not the matrix's";
    EXPECT_TRUE(cube.GetMatrix() == BodyMatrix(cube));
    const float doubled[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
    cube.SetMatrix(doubled);
    EXPECT_NEAR(6.0f, BodyMatrix(cube)(3, 0), 1e-5f);

    cube.SetScale(3, 3, 3);
    cube.ResetTransform();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_TRUE(identity == BodyMatrix(cube));
    EXPECT_EQ(1.0f, cube.Scale[2]);
    EXPECT_EQ(3.0f, cube.ScaleMatrix(2, 2)) << "the scale matrix stays";
}

TEST_F(IOrvalen3DD3DObjectTest, SetScaleRebuildsTheBodyFromTheBaseMeshScaledByTheLastFactors) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.SetMass(3, 1, 1, 1);
    cube.ResetTransform(); // Scale starts at 0 and is a product of factors: ResetTransform makes it 1
    cube.SetPosition(0, 5, 0);
    cube.SetScale(2, 2, 2);
    cube.SetScale(2, 2, 2);
    EXPECT_EQ(4.0f, cube.Scale[1]);
    float low[3];
    float high[3];
    dgApiBodyGetAABB(cube.Body, low, high);
    EXPECT_NEAR(-1.0f, low[0], 0.05f) << "the base mesh scaled by 2, not 4";
    EXPECT_NEAR(6.0f, high[1], 0.05f);
    EXPECT_EQ(ObjectRebuildForceCallback, dgApiBodyGetForceAndTorqueCallback(cube.Body));
    EXPECT_EQ(&cube.UserData, dgApiBodyGetUserData(cube.Body));
}

TEST_F(IOrvalen3DD3DObjectTest, AScaleThatGivesNoHullChangesNothing) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.ResetTransform();
    cube.SetScale(2, 1, 1);
    dgBody* body = cube.Body;
    cube.SetScale(0, 1, 1);
    EXPECT_EQ(body, cube.Body);
    EXPECT_EQ(2.0f, cube.Scale[0]);
    EXPECT_EQ(2.0f, cube.ScaleMatrix(0, 0));

    IOrvalen3DD3DObject& bodiless = Implementation(m_scene->Cube(1, 1, 1, true));
    bodiless.SetScale(0, 1, 1);
    EXPECT_EQ(0.0f, bodiless.ScaleMatrix(0, 0)) << "without a body nothing needs a hull";
}

TEST_F(IOrvalen3DD3DObjectTest, UpdateFromBodyGivesTheAnglesThatSetRotationTurnsBackIntoTheBodysRotation) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    RandomGeometry random(30);
    std::vector<dgMatrix> poses;
    for (int i = 0; i < 200; ++i) {
        poses.push_back(random.RigidMatrix(10.0f));
    }
    for (const float pitch : {D3DX_PI / 2, -D3DX_PI / 2}) {
        D3DXMATRIX pole;
        D3DXMatrixRotationYawPitchRoll(&pole, 0.7f, pitch, 0.4f);
        dgMatrix pose;
        std::memcpy(&pose, pole.m, sizeof pole.m);
        poses.push_back(pose);
    }
    for (const dgMatrix& pose : poses) {
        SetBodyMatrix(cube.Body, pose);
        const D3DXMATRIX expected = BodyMatrix(cube);
        float position[3];
        float angles[3];
        cube.UpdateFromBody(position, angles);
        EXPECT_EQ(expected(3, 2), position[2]);
        cube.ResetTransform();
        cube.SetRotation(angles[0], angles[1], angles[2]);
        ExpectRotationsEqual(expected, cube.Matrix, 1e-5f);
    }
}

TEST_F(IOrvalen3DD3DObjectTest, OnlyGroupIdsTheSceneHandedOutAreTaken) {
    IOrvalen3DObject* cube = m_scene->Cube(1, 1, 1);
    cube->SetMaterialGroupID(1);
    EXPECT_EQ(0, cube->GetMaterialGroupID()) << "no group made yet";
    const std::int32_t made = m_scene->CreateMaterialID();
    cube->SetMaterialGroupID(made);
    EXPECT_EQ(made, cube->GetMaterialGroupID());
    cube->SetMaterialGroupID(made + 1);
    cube->SetMaterialGroupID(-1);
    EXPECT_EQ(made, cube->GetMaterialGroupID());
}

TEST_F(IOrvalen3DD3DObjectTest, LoadTextureReplacesTheGroupsTextureAndAFailedLoadKeepsIt) {
    const platform::Image red = test_images::Make(4, 4, [](UINT, UINT) { return 0xFFFF0000u; });
    const platform::Image blue = test_images::Make(4, 4, [](UINT, UINT) { return 0xFF0000FFu; });
    ASSERT_TRUE(test_images::Write("red.png", red, test_images::Format::Png));
    ASSERT_TRUE(test_images::Write("blue.png", blue, test_images::Format::Png));
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));

    EXPECT_FALSE(cube.LoadTexture("stone", "red.png", 0));
    ASSERT_TRUE(cube.LoadTexture("default", "red.png", 0));
    ASSERT_TRUE(cube.LoadTexture("default", "blue.png", 0));
    EXPECT_EQ(1, platform::LiveObjects("IDirect3DTexture9")) << "the red texture was released";
    EXPECT_FALSE(cube.LoadTexture("default", "Blue.png", 0));
    EXPECT_FALSE(cube.LoadTexture("default", "missing.png", 0));
    EXPECT_EQ(0xFF0000FFu, platform::ReadTextureLevel(cube.Textures[0], 0).At(0, 0));

    m_scene->DestroyObject(&cube);
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DTexture9"));
}

TEST_F(IOrvalen3DD3DObjectTest, SetTexCoordsKeepsItsCount) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    const float uv[6] = {0.0f, 0.5f, 1.0f, 0.25f, 0.75f, 1.0f};
    cube.SetTexCoords(3, uv);
    EXPECT_EQ(3, cube.TexCoordCount);
    cube.SetTexCoords(-1, uv);
    EXPECT_EQ(3, cube.TexCoordCount) << "a negative count is refused";
    cube.SetTexCoords(0, nullptr);
    EXPECT_EQ(0, cube.TexCoordCount);
}
