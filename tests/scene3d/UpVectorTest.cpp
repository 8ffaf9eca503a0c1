// The up-vector controls: a tall box pushed at its top stays upright with the joint and falls without it,
// and the joint outlives the body that the 3D object's SetScale rebuilds.
#include "support/SceneFixture.h"

#include "physics/api/dgApi.h"

#include <cmath>

namespace {

constexpr float kStep = 1.0f / 60.0f;
const float kUpright = std::cos(1.0f * D3DX_PI / 180.0f); // the up axis within 1 degree of its pin

class UpVector : public SceneFixture {
protected:
    /// A static floor with its top at y = 0.5 and a 0.5 x 2 x 0.5 box standing on it.
    IOrvalen3DD3DObject& StandingBox() {
        m_scene->SetGravity(0, -9.8f, 0);
        m_scene->Cube(20, 1, 20)->SetCollisionMode(0);
        IOrvalen3DD3DObject& box = Implementation(m_scene->Cube(0.5f, 2, 0.5f));
        box.SetPosition(0, 1.5f, 0);
        return box;
    }

    /// Pushed sideways at the centre of its top: about 2.2 J of turning energy about the bottom edge,
    /// against the 0.30 J that lifts the centre over it.
    void PushAndRun(IOrvalen3DD3DObject& box) {
        float matrix[16];
        dgApiBodyGetMatrix(box.Body, matrix);
        box.AddImpulse(matrix[12], matrix[13] + 1.0f, matrix[14], 3, 0, 0);
        for (int i = 0; i < 120; ++i) {
            ASSERT_TRUE(m_scene->Update(kStep));
        }
    }

    /// The world direction of the box's own up axis.
    static D3DXVECTOR3 UpAxis(const IOrvalen3DD3DObject& box) {
        float matrix[16];
        dgApiBodyGetMatrix(box.Body, matrix);
        return {matrix[4], matrix[5], matrix[6]};
    }
};

} // namespace

TEST_F(UpVector, APushedTallBoxFallsWithoutTheJointAndStaysUprightWithIt) {
    IOrvalen3DD3DObject& free = StandingBox();
    PushAndRun(free);
    EXPECT_GT(0.5f, UpAxis(free).y) << "fallen over";

    m_scene->ResetWorld();
    IOrvalen3DD3DObject& held = StandingBox();
    held.CreateUpVector(0, 1, 0);
    EXPECT_EQ(D3DXVECTOR3(0, 1, 0), held.GetUpVectorPin());
    PushAndRun(held);
    EXPECT_LT(kUpright, UpAxis(held).y);
}

TEST_F(UpVector, TheJointIsMadeAgainOnTheBodyThatSetScaleRebuilds) {
    IOrvalen3DD3DObject& box = StandingBox();
    box.CreateUpVector(0, 1, 0);
    box.ResetTransform();
    box.SetPosition(0, 1.5f, 0);
    box.SetScale(1, 1, 1);
    EXPECT_EQ(D3DXVECTOR3(0, 1, 0), box.GetUpVectorPin());
    PushAndRun(box);
    EXPECT_LT(kUpright, UpAxis(box).y);

    // The new pin reaches the live joint: with gravity off the box turns its up axis onto it.
    m_scene->SetGravity(0, 0, 0);
    box.SetPosition(0, 5, 0);
    box.SetScale(1, 1, 1);
    box.SetUpVectorPin(1, 0, 0);
    for (int i = 0; i < 120; ++i) {
        ASSERT_TRUE(m_scene->Update(kStep));
    }
    EXPECT_LT(kUpright, UpAxis(box).x);
}
