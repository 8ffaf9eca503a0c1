// The callbacks of the scene's bodies: the force from the renderer's gravity and the object's own force,
// and the position written back after each step.
#include "support/SceneFixture.h"

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgBody.h"
#include "scene3d/BodyCallbacks.h"

using BodyCallbacks = SceneFixture;

TEST_F(BodyCallbacks, EachStepABodyReceivesItsWeightPlusItsObjectsForce) {
    m_scene->SetGravity(0.0f, -9.8f, 0.0f);
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.SetMass(2, 1, 1, 1);
    cube.SetForce(1, 0, 0);
    for (int step = 0; step < 3; ++step) {
        ASSERT_TRUE(m_scene->Update(1.0f / 60.0f));
        float force[3];
        dgApiBodyGetForce(cube.Body, force);
        EXPECT_EQ(1.0f, force[0]);
        EXPECT_FLOAT_EQ(-19.6f, force[1]);
        EXPECT_EQ(0.0f, force[2]);
    }
}

TEST_F(BodyCallbacks, ABodyOfInfiniteMassOrWithoutGravityReceivesOnlyTheObjectsForce) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.SetForce(1, 2, 3);
    cube.Body->m_force = dgVector();
    ObjectForceCallback(cube.Body); // gravity never set
    EXPECT_EQ(1.0f, cube.Body->m_force.x);
    EXPECT_EQ(2.0f, cube.Body->m_force.y);
    EXPECT_EQ(3.0f, cube.Body->m_force.z);

    m_scene->SetGravity(0.0f, -9.8f, 0.0f);
    cube.SetMass(0, 1, 1, 1);
    cube.Body->m_force = dgVector();
    ObjectForceCallback(cube.Body);
    EXPECT_EQ(1.0f, cube.Body->m_force.x);
    EXPECT_EQ(2.0f, cube.Body->m_force.y);
    EXPECT_EQ(3.0f, cube.Body->m_force.z);
}

TEST_F(BodyCallbacks, AfterAStepTheObjectsPositionIsTheBodysTranslation) {
    m_scene->SetGravity(0.0f, -9.8f, 0.0f);
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(1, 1, 1));
    cube.SetRotation(0.3f, 0.2f, 0.1f);
    cube.SetPosition(4, 5, 6);
    cube.SetVelocity(1, 0, 0);
    m_scene->Update(1.0f / 60.0f);
    float matrix[16];
    dgApiBodyGetMatrix(cube.Body, matrix);
    EXPECT_LT(matrix[13], 5.0f) << "it fell";
    EXPECT_EQ(matrix[12], cube.Position[0]);
    EXPECT_EQ(matrix[13], cube.Position[1]);
    EXPECT_EQ(matrix[14], cube.Position[2]);
}
