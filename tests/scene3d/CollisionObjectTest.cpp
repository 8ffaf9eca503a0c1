// The collision object: creation and its failure roads, rolling under a force, the collision mode that
// keeps its mass, the pose a freeze writes, the transform and scale slots, the linked object drawn at its
// place, events and rays.
#include "support/SceneFrameFixture.h"

#include "physics/api/dgApi.h"
#include "physics/collision/dgCollision.h"
#include "scene3d/IOrvalen3DD3DCollisionObject.h"
#include "support/LitPixels.h"

#include <array>
#include <atomic>
#include <cstdlib>

namespace {

constexpr float kStep = 1.0f / 60.0f;

class CollisionObjectTest : public SceneFrameFixture {
protected:
    static IOrvalen3DD3DCollisionObject& Collision(IOrvalen3DCollisionObject* object) {
        return *static_cast<IOrvalen3DD3DCollisionObject*>(object);
    }

    static std::array<float, 4> MassMatrix(const IOrvalen3DD3DCollisionObject& object) {
        std::array<float, 4> values{};
        dgApiBodyGetMassMatrix(object.Body, &values[0], &values[1], &values[2], &values[3]);
        return values;
    }

    static std::array<float, 3> BoxSize(const IOrvalen3DD3DCollisionObject& object) {
        float low[3];
        float high[3];
        dgApiBodyGetAABB(object.Body, low, high);
        return {high[0] - low[0], high[1] - low[1], high[2] - low[2]};
    }

    /// A static 20 x 1 x 20 floor whose top is y = 0.5, under gravity (0, -9.8, 0).
    void Floor() {
        m_scene->SetGravity(0, -9.8f, 0);
        m_scene->Cube(20, 1, 20)->SetCollisionMode(0);
    }

    void Run(int steps) {
        for (int i = 0; i < steps; ++i) {
            ASSERT_TRUE(m_scene->Update(kStep));
        }
    }
};

std::atomic<int> g_allocationsLeft{-1}; ///< engine allocations to let through; -1: all

void* CountedAllocate(int size) {
    if (g_allocationsLeft >= 0 && g_allocationsLeft-- == 0) {
        return nullptr;
    }
    return std::malloc(static_cast<std::size_t>(size));
}

void CountedFree(void* block, int) {
    std::free(block);
}

} // namespace

TEST_F(CollisionObjectTest, SpheresAndEllipsoidsOfUnitMassNumberedWithThe3DObjects) {
    IOrvalen3DD3DCollisionObject& sphere = Collision(m_scene->CollisionSphere(1, 1, 1));
    IOrvalen3DD3DCollisionObject& ellipsoid = Collision(m_scene->CollisionSphere(1, 2, 1));
    const float kPadding = 0.1f; // the broad phase's box is a little larger than the shape
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(2.0f, BoxSize(sphere)[axis], kPadding);
        EXPECT_NEAR(axis == 1 ? 4.0f : 2.0f, BoxSize(ellipsoid)[axis], kPadding);
    }
    EXPECT_EQ((std::array<float, 4>{1, 1, 1, 1}), MassMatrix(sphere));
    EXPECT_EQ((std::array<float, 4>{1, 1, 1, 1}), MassMatrix(ellipsoid));
    EXPECT_EQ(1, ellipsoid.ID);
    EXPECT_EQ(2, m_scene->Cube(1, 1, 1)->GetID()) << "one counter for both kinds";
    EXPECT_EQ(&ellipsoid, m_scene->CollisionObjects[1]);
    EXPECT_EQ(nullptr, m_scene->CollisionReserved1(1, 2, 3));
    EXPECT_EQ(nullptr, m_scene->CollisionReserved2(1, 2));
    EXPECT_EQ(nullptr, m_scene->CollisionReserved3(1, 2));
    EXPECT_TRUE(sphere.Reserved2(7));
    EXPECT_EQ(3u, m_scene->ObjectCount);

    m_scene->ResetWorld();
    EXPECT_EQ(nullptr, m_scene->CollisionObjects[0]);
    EXPECT_EQ(0, Collision(m_scene->CollisionSphere(1, 1, 1)).ID) << "ids restart";
    m_scene->DestroyObject(static_cast<IOrvalen3DCollisionObject*>(nullptr));
    EXPECT_EQ("ERROR: DestroyObject Failed - Null Object Passed\n", NewLog());
}

TEST_F(CollisionObjectTest, TheLimitAndEveryRefusedEngineRequestFailWithTheirLinesAndLeakNothing) {
    m_scene->ObjectCount = IOrvalen3DD3D::kMaxObjects;
    EXPECT_EQ(nullptr, m_scene->CollisionSphere(1, 1, 1));
    EXPECT_EQ("ERROR: Too Many Objects Created\n", NewLog());

    m_handle->Destroy3DInterface();
    dgWorld* counted = dgApiWorldCreate(CountedAllocate, CountedFree);
    ASSERT_NE(nullptr, counted);
    IOrvalen3DD3D scene; // refused a world of its own while `counted` lives: it takes that one over
    ASSERT_EQ(nullptr, scene.World);
    scene.World = counted;
    IOrvalenRenderer* renderer = m_handle;
    scene.SetRenderer(&renderer);
    int failures = 0;
    for (int allowed = 0;; ++allowed) {
        m_startLog = LogText();
        g_allocationsLeft = allowed;
        IOrvalen3DCollisionObject* made = scene.CollisionSphere(1, 2, 1);
        g_allocationsLeft = -1;
        if (made != nullptr) {
            break;
        }
        ++failures;
        ASSERT_EQ("ERROR: CollisionSphere Failed\n", NewLog());
    }
    EXPECT_LE(3, failures) << "the ellipsoid, the modifier and the body each ask for memory";
    EXPECT_EQ(0, Collision(scene.CollisionObjects[0]).ID);
}

TEST_F(CollisionObjectTest, WithoutABodyNothingIsDoneAndTheModifierIsStillGivenBack) {
    dgCollision* sphere = dgApiCollisionCreateSphere(m_scene->World, 1, 1, 1, nullptr);
    auto* bodiless = new IOrvalen3DD3DCollisionObject();
    bodiless->World = m_scene->World;
    bodiless->Modifier = dgApiCollisionCreateConvexModifier(m_scene->World, sphere);
    bodiless->SetPosition(1, 2, 3);
    bodiless->SetMatrix(nullptr);
    bodiless->SetScale(2, 2, 2);
    bodiless->CreateUpVector(0, 1, 0);
    bodiless->SetMaterialGroupID(0);
    EXPECT_EQ(D3DXVECTOR3(), bodiless->GetUpVectorPin());
    EXPECT_EQ(D3DXVECTOR3(), bodiless->GetVelocity());
    const int held = sphere->GetRefCount(); // ours, the shape cache's and the modifier's
    delete bodiless;
    EXPECT_EQ(held - 1, sphere->GetRefCount()) << "the modifier, and with it its hold on the sphere, went";
    dgApiCollisionRelease(m_scene->World, sphere);
}

TEST_F(CollisionObjectTest, AForcedSphereRollsWithoutSlippingAsTheClosedFormSays) {
    Floor();
    IOrvalen3DD3DCollisionObject& ball = Collision(m_scene->CollisionSphere(0.5f, 0.5f, 0.5f));
    ball.SetPosition(0, 1, 0);
    ball.Activate();
    ball.SetForce(3, 0, 0);
    Run(120);
    // a = F / (m + I / r^2) = 3 / (1 + 1 / 0.25) = 0.6, so x(2) = a t^2 / 2 = 1.2; sliding would give 6.
    EXPECT_NEAR(1.2f, ball.Position[0], 0.12f);
    EXPECT_NEAR(1.0f, ball.Position[1], 0.02f);
}

TEST_F(CollisionObjectTest, NoContactsKeepsTheMassAndOtherModesChangeNothing) {
    IOrvalen3DD3DCollisionObject& ball = Collision(m_scene->CollisionSphere(1, 1, 1));
    ball.SetMass(5, 2, 3, 4);
    ball.SetCollisionMode(2);
    EXPECT_EQ((std::array<float, 4>{5, 2, 3, 4}), MassMatrix(ball));
    ball.SetCollisionMode(7);
    EXPECT_EQ(2, ball.GetCollisionMode());
    ball.SetCollisionMode(0);
    EXPECT_EQ((std::array<float, 4>{0, 0, 0, 0}), MassMatrix(ball));
    ball.SetCollisionMode(1);
    EXPECT_EQ((std::array<float, 4>{5, 2, 3, 4}), MassMatrix(ball));
    ball.Activate();
    EXPECT_TRUE(ball.GetAutoFreeze()) << "a collision object keeps its auto-freeze";
    ball.CreateUpVector(0, 0, 1);
    EXPECT_EQ(D3DXVECTOR3(0, 0, 1), ball.GetUpVectorPin());
}

TEST_F(CollisionObjectTest, AFreezeWritesThePoseThatComposesBackIntoTheBodysMatrix) {
    IOrvalen3DD3DCollisionObject& ball = Collision(m_scene->CollisionSphere(1, 1, 1));
    ball.ResetTransform();
    ball.SetOmega(0.7f, -1.3f, 2.1f);
    ball.SetVelocity(1, 2, 3);
    Run(20);
    ball.SetFreeze(true);
    D3DXMATRIX body;
    dgApiBodyGetMatrix(ball.Body, &body.m[0][0]);
    const D3DXMATRIX composed = ball.ComposeMatrix();
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(body.m[i / 4][i % 4], composed.m[i / 4][i % 4], 1e-5f) << "element " << i;
    }
}

TEST_F(CollisionObjectTest, PositionAndRotationEachReplaceTheBodysMatrixAndScaleAccumulates) {
    IOrvalen3DD3DCollisionObject& ball = Collision(m_scene->CollisionSphere(1, 1, 1));
    ball.SetRotation(0.3f, 0.4f, 0.5f);
    ball.SetPosition(1, 2, 3);
    D3DXMATRIX body;
    dgApiBodyGetMatrix(ball.Body, &body.m[0][0]);
    D3DXMATRIX expected;
    D3DXMatrixTranslation(&expected, 1, 2, 3);
    EXPECT_EQ(expected, body) << "the rotation is lost";
    EXPECT_EQ(0.4f, ball.Rotation[1]);

    IOrvalen3DObject* shown = m_scene->Sphere(1, true);
    shown->ResetTransform();
    ball.ResetTransform();
    ASSERT_TRUE(ball.LinkObject(shown));
    ball.SetScale(2, 2, 2);
    ball.SetScale(2, 2, 2);
    EXPECT_EQ(4.0f, ball.Scale[0]);
    float modifier[16];
    dgApiConvexModifierGetMatrix(ball.Modifier, modifier);
    EXPECT_EQ(4.0f, modifier[0]);
    EXPECT_EQ(4.0f, modifier[10]);
    EXPECT_EQ(4.0f, shown->Scale[2]) << "the linked object was scaled twice by 2";
    EXPECT_FALSE(ball.LinkObject(nullptr));
}

TEST_F(CollisionObjectTest, TheLinkedObjectIsDrawnAtTheCollisionObjectsPlace) {
    IOrvalen3DD3DCollisionObject& ball = Collision(m_scene->CollisionSphere(0.5f, 0.5f, 0.5f));
    EXPECT_FALSE(ball.Render());
    EXPECT_TRUE(ball.RenderBlended());
    IOrvalen3DObject* shown = m_scene->Sphere(0.5f, true);
    shown->SetMaterialEmissive("default", 1, 1, 1);
    ASSERT_TRUE(ball.LinkObject(shown));
    ball.ResetTransform();
    ball.SetPosition(2, 1, 0);
    Frame([&] { EXPECT_TRUE(ball.Render()); });
    const D3DXVECTOR3 centre = ScreenOf(2, 1, 0);
    const LitPixels lit = LitPixels::In(Pixels());
    ASSERT_LT(0, lit.count);
    EXPECT_NEAR(centre.x, 0.5f * static_cast<float>(lit.left + lit.right), 1.5f);
    EXPECT_NEAR(centre.y, 0.5f * static_cast<float>(lit.top + lit.bottom), 1.5f);
    EXPECT_LT(ScreenOf(1.5f, 1, 0).x, static_cast<float>(lit.left)) << "nothing lit at the origin either";
}

TEST_F(CollisionObjectTest, TouchesFireEventsAndNoContactsIsTransparentToRays) {
    Floor();
    IOrvalen3DObject* block = m_scene->Cube(2, 1, 2);
    block->SetCollisionMode(0);
    block->SetPosition(0, 1, 0);
    IOrvalen3DD3DCollisionObject& ball = Collision(m_scene->CollisionSphere(0.5f, 0.5f, 0.5f));
    ball.SetPosition(0, 3, 0);
    ASSERT_TRUE(m_scene->RegisterEvent(&ball, block, 4));
    Run(60);
    EXPECT_TRUE(m_scene->CheckEvent(4));
    EXPECT_EQ(static_cast<std::uint32_t>(ball.ID), m_scene->GetEvent(4).IdA);

    ball.SetPosition(5, 5, 5);
    BodyUserData* hit = nullptr;
    EXPECT_NEAR(0.45, m_scene->RayCast(&hit, 0, 5, 5, 10, 5, 5), 1e-4) << "hits the near side at x = 4.5";
    EXPECT_EQ(&ball.UserData, hit);
    ball.SetCollisionMode(2);
    EXPECT_LT(1.0, m_scene->RayCast(&hit, 0, 5, 5, 10, 5, 5));
}
