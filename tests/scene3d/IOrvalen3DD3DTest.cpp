// The scene itself: its world and object tables over their life, the renderer's factory, the bracket of
// 3D drawing, gravity and the lights given back after a device reset.
#include "host/LevelMeshes.h"
#include "support/SceneFixture.h"

#include "IOrvalen3DLevelObject.h"
#include "physics/api/dgApi.h"
#include "renderer/TestImages.h"

#include <cstdlib>
#include <memory>

namespace {

class IOrvalen3DD3DTest : public SceneFixture {
protected:
    void SetUp() override {
        SceneFixture::SetUp();
        platform::ClearCallTrace();
    }

    static std::unique_ptr<D3DLIGHT9> Light(D3DLIGHTTYPE type, float red) {
        auto light = std::make_unique<D3DLIGHT9>();
        light->Type = type;
        light->Diffuse = {red, 0.0f, 0.0f, 0.0f};
        light->Direction = {0.0f, 0.0f, 1.0f};
        light->Falloff = 1.0f;
        light->Attenuation0 = 1.0f;
        return light;
    }

    static int BodiesIn(dgWorld* world) {
        static int count;
        count = 0;
        dgApiWorldForEachBodyDo(world, [](dgBody*) { ++count; });
        return count;
    }

    static std::vector<std::string> Calls() {
        std::vector<std::string> calls;
        for (const platform::TracedCall& call : platform::CallTrace()) {
            calls.push_back(call.Text());
        }
        return calls;
    }
};

// Hooks of a host's own world, different from the scene's.
void* HostAllocate(int size) {
    return std::malloc(static_cast<std::size_t>(size));
}

void HostFree(void* block, int) {
    std::free(block);
}

} // namespace

TEST_F(IOrvalen3DD3DTest, ApplyLightsSetsAndEnablesEveryHeldLightInIndexOrder) {
    m_scene->Lights[6] = Light(D3DLIGHT_POINT, 0.75f);
    m_scene->Lights[2] = Light(D3DLIGHT_DIRECTIONAL, 0.25f);
    m_scene->ApplyLights();

    EXPECT_EQ((std::vector<std::string>{"IDirect3DDevice9::SetLight(2, 3) -> D3D_OK",
                                        "IDirect3DDevice9::LightEnable(2, 1) -> D3D_OK",
                                        "IDirect3DDevice9::SetLight(6, 1) -> D3D_OK",
                                        "IDirect3DDevice9::LightEnable(6, 1) -> D3D_OK"}),
              Calls());
    D3DLIGHT9 onDevice{};
    ASSERT_EQ(D3D_OK, Renderer().Device->GetLight(6, &onDevice));
    EXPECT_EQ(0.75f, onDevice.Diffuse.r);

    // A light the host had switched off comes back on.
    Renderer().Device->LightEnable(2, FALSE);
    m_scene->ApplyLights();
    BOOL enabled = FALSE;
    EXPECT_EQ(D3D_OK, Renderer().Device->GetLightEnable(2, &enabled));
    EXPECT_EQ(TRUE, enabled);
}

TEST_F(IOrvalen3DD3DTest, ApplyLightsCarriesOnPastARefusedLight) {
    m_scene->Lights[0] = Light(D3DLIGHT_DIRECTIONAL, 1.0f);
    m_scene->Lights[1] = Light(D3DLIGHT_SPOT, 1.0f);
    platform::FailCall("IDirect3DDevice9::SetLight");
    m_scene->ApplyLights();
    EXPECT_EQ(2u, platform::CallsOf("IDirect3DDevice9::LightEnable").size());
    D3DLIGHT9 onDevice{};
    EXPECT_EQ(D3D_OK, Renderer().Device->GetLight(1, &onDevice));
}

TEST_F(IOrvalen3DD3DTest, WithoutARendererOrDeviceNothingHappens) {
    IOrvalen3DD3D alone;
    alone.Lights[3] = Light(D3DLIGHT_POINT, 1.0f);
    alone.ApplyLights();
    alone.SetGravity(0.0f, -9.8f, 0.0f);
    EXPECT_TRUE(platform::CallTrace().empty());

    m_handle->Deinitialize();
    m_scene->Lights[3] = Light(D3DLIGHT_POINT, 1.0f);
    m_scene->ApplyLights();
    EXPECT_TRUE(platform::CallTrace().empty());
}

TEST_F(IOrvalen3DD3DTest, GravityIsTheRenderersVector) {
    EXPECT_EQ(0.0f, Renderer().Gravity[1]) << "no gravity until the host sets it";
    m_scene->SetGravity(1.0f, -9.81f, 0.5f);
    EXPECT_EQ(1.0f, Renderer().Gravity[0]);
    EXPECT_EQ(-9.81f, Renderer().Gravity[1]);
    EXPECT_EQ(0.5f, Renderer().Gravity[2]);
}

TEST_F(IOrvalen3DD3DTest, AFreshSceneHasItsWorldAndNoObjects) {
    ASSERT_NE(nullptr, m_scene->World);
    EXPECT_EQ(0u, m_scene->ObjectCount);
    EXPECT_EQ(0, BodiesIn(m_scene->World));
    for (int id = 0; id < IOrvalen3DD3D::kMaxObjects; ++id) {
        ASSERT_EQ(nullptr, m_scene->Objects[id]);
        ASSERT_EQ(nullptr, m_scene->CollisionObjects[id]);
    }
}

TEST_F(IOrvalen3DD3DTest, ResetWorldDestroysEveryObjectWithItsBodyAndIdsStartAgain) {
    m_scene->Cube(1, 1, 1);
    m_scene->Sphere(1.0f);
    m_scene->Cylinder(1, 2, true);
    ASSERT_EQ(3u, m_scene->ObjectCount);
    ASSERT_EQ(2, BodiesIn(m_scene->World));
    dgWorld* world = m_scene->World;

    m_scene->ResetWorld();
    EXPECT_EQ(world, m_scene->World) << "the same world";
    EXPECT_EQ(0u, m_scene->ObjectCount);
    EXPECT_EQ(0, BodiesIn(m_scene->World));
    for (int id = 0; id < 3; ++id) {
        EXPECT_EQ(nullptr, m_scene->Objects[id]);
    }
    EXPECT_EQ(0, m_scene->Cube(1, 1, 1)->GetID());
}

TEST_F(IOrvalen3DD3DTest, DestroyingTheRendererFreesTheOpenSceneAndLeavesItsLevelToTheHost) {
    ASSERT_TRUE(test_images::Write("red.png", test_images::Make(4, 4, [](UINT, UINT) { return 0xFFFF0000u; }),
                                   test_images::Format::Png));
    ASSERT_TRUE(m_scene->Cube(1, 1, 1)->LoadTexture("default", "red.png", 0));
    LevelMesh floor;
    floor.AddCheckerFloor(2, 1.0f, "a", "b");
    IOrvalen3DLevelObject* level = floor.Build(*m_scene);
    ASSERT_NE(nullptr, level);
    ASSERT_EQ(1, DestroyOrvalenRenderer(&m_handle));
    // The level is the host's: its body went with the world, and deleting it later touches neither.
    delete level;
    // The fixture's teardown finds no platform object alive: the cube's texture went with the scene.
}

TEST_F(IOrvalen3DD3DTest, ALevelDeletedThroughAnotherSceneOrByTheHostLeavesItsScenesList) {
    LevelMesh floor;
    floor.AddCheckerFloor(2, 1.0f, "a", "b");
    IOrvalen3DLevelObject* viaOther = floor.Build(*m_scene);
    IOrvalen3DLevelObject* viaHost = floor.Build(*m_scene);
    ASSERT_TRUE(viaOther != nullptr && viaHost != nullptr);
    {
        IOrvalen3DD3D other;
        other.DestroyLevel(viaOther);
    }
    delete viaHost;
    // The scene's teardown (the fixture's) walks this list: a freed level left in it would be read there.
    EXPECT_TRUE(m_scene->Levels.empty());
}

TEST_F(IOrvalen3DD3DTest, TheObjectLimitRefusesWithItsLine) {
    m_scene->ObjectCount = IOrvalen3DD3D::kMaxObjects - 1;
    IOrvalen3DObject* last = m_scene->Cube(1, 1, 1);
    ASSERT_NE(nullptr, last);
    EXPECT_EQ(IOrvalen3DD3D::kMaxObjects - 1, last->GetID());
    EXPECT_EQ(nullptr, m_scene->Cube(1, 1, 1));
    EXPECT_EQ(nullptr, m_scene->Sphere(1.0f));
    EXPECT_EQ(std::uint32_t{IOrvalen3DD3D::kMaxObjects}, m_scene->ObjectCount);
    EXPECT_EQ("ERROR: Too Many Objects Created\nERROR: Too Many Objects Created\n", NewLog());
}

TEST_F(IOrvalen3DD3DTest, NoInterfaceWhileTheEngineRefusesTheSceneItsWorld) {
    m_handle->Destroy3DInterface();
    m_startLog = LogText();
    dgWorld* hostWorld = dgApiWorldCreate(HostAllocate, HostFree);
    ASSERT_NE(nullptr, hostWorld);

    EXPECT_EQ(-1, m_handle->Create3DInterface());
    EXPECT_EQ(nullptr, m_handle->Interface3D);
    EXPECT_EQ("ERROR: Couldn't Create 3D Interface\n", NewLog());

    dgApiWorldDestroy(hostWorld);
    EXPECT_EQ(1, m_handle->Create3DInterface());
    EXPECT_NE(nullptr, static_cast<IOrvalen3DD3D*>(m_handle->Interface3D)->World);
}

TEST_F(IOrvalen3DD3DTest, ASceneWithoutAWorldRefusesEverythingThatNeedsOne) {
    m_handle->Destroy3DInterface();
    dgWorld* hostWorld = dgApiWorldCreate(HostAllocate, HostFree);
    ASSERT_NE(nullptr, hostWorld);
    IOrvalen3DD3D alone;
    EXPECT_EQ(nullptr, alone.World);
    EXPECT_EQ(nullptr, alone.Cube(1, 1, 1));
    EXPECT_FALSE(alone.Update(1.0f / 60.0f));
    EXPECT_EQ(1.5, alone.RayCast(nullptr, 0, 0, 0, 1, 1, 1));
    alone.SetSolverModel(1, 1);
    alone.SetMaterialPair(0, 0, false, 1, 1, 1, 1);
    dgApiWorldDestroy(hostWorld);
}

TEST_F(IOrvalen3DD3DTest, Begin3DSetsTheVertex3DStateAndEnd3DGivesTheZBufferBack) {
    D3DXMATRIX moved;
    D3DXMatrixTranslation(&moved, 1, 2, 3);
    Renderer().Device->SetTransform(D3DTS_WORLD, &moved);
    m_handle->SetZBuffer(false);
    platform::ClearCallTrace();
    m_scene->Begin3D();
    EXPECT_TRUE(m_handle->GetZBuffer());
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_TRUE(identity == *platform::DeviceTransform(Renderer().Device, D3DTS_WORLD));
    m_scene->End3D();
    EXPECT_FALSE(m_handle->GetZBuffer());
    EXPECT_EQ((std::vector<std::string>{"IDirect3DDevice9::SetTransform(256) -> D3D_OK",
                                        "IDirect3DDevice9::SetFVF(594) -> D3D_OK",
                                        "IDirect3DDevice9::SetRenderState(7, 1) -> D3D_OK",
                                        "IDirect3DDevice9::SetRenderState(7, 0) -> D3D_OK"}),
              Calls());
}
