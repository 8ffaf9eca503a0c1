// The scene's eight light slots: the records made, the device's lights set from them, every log line,
// and the lights given back after a device reset.
#include "support/SceneFrameFixture.h"

namespace {

class SceneLightsTest : public SceneFrameFixture {
protected:
    D3DLIGHT9 DeviceLight(DWORD index) {
        D3DLIGHT9 light{};
        EXPECT_EQ(D3D_OK, Renderer().Device->GetLight(index, &light));
        return light;
    }
    BOOL DeviceLightEnabled(DWORD index) {
        BOOL enabled = FALSE;
        Renderer().Device->GetLightEnable(index, &enabled);
        return enabled;
    }
};

} // namespace

TEST_F(SceneLightsTest, HostTypesMapToDeviceTypesWithUnitFalloffAndAttenuation) {
    ASSERT_TRUE(m_scene->CreateLight(0, 3));
    ASSERT_TRUE(m_scene->CreateLight(1, 4));
    ASSERT_TRUE(m_scene->CreateLight(2, 5));
    EXPECT_TRUE(m_scene->SetLight(3));
    const D3DLIGHT9 light = DeviceLight(3);
    EXPECT_EQ(D3DLIGHT_DIRECTIONAL, light.Type);
    EXPECT_EQ(1.0f, light.Falloff);
    EXPECT_EQ(1.0f, light.Attenuation0);
    EXPECT_EQ(0.0f, light.Diffuse.r);
    EXPECT_TRUE(DeviceLightEnabled(3));
    EXPECT_EQ(D3DLIGHT_SPOT, m_scene->Lights[4]->Type);
    EXPECT_EQ(D3DLIGHT_POINT, m_scene->Lights[5]->Type);
}

TEST_F(SceneLightsTest, EmptyAndOutOfRangeSlotsLogTheirLinesAndChangeNothing) {
    EXPECT_FALSE(m_scene->CreateLight(0, 8));
    ASSERT_TRUE(m_scene->CreateLight(1, 3));
    EXPECT_FALSE(m_scene->CreateLight(1, 3));
    EXPECT_FALSE(m_scene->CreateLight(7, 2));
    EXPECT_EQ(nullptr, m_scene->Lights[2]);
    m_scene->SetLightDiffuse(1, 0, 0, 5);
    m_scene->SetLightAmbient(1, 0, 0, -1);
    m_scene->SetLightSpecular(1, 0, 0, 8);
    m_scene->SetPosition(1, 0, 0, 5);
    m_scene->SetDirection(1, 0, 0, 5);
    m_scene->SetRange(1, 0, 0, 5);
    m_scene->SetAttenuation(1, 0, 0, 5);
    EXPECT_FALSE(m_scene->SetLight(5));
    EXPECT_FALSE(m_scene->UnsetLight(9));
    m_scene->DestroyLight(3);
    m_scene->DestroyLight(3);
    EXPECT_EQ(nullptr, m_scene->Lights[3]);
    EXPECT_EQ("ERROR: CreateLight Failed - Bad Index 8\n"
              "ERROR: CreateLight Failed - Light #3 Already Exists\n"
              "ERROR: CreateLight Failed - Bad Type 7\n"
              "ERROR: SetLightDiffuse Failed - Bad Index 5\n"
              "ERROR: SetLightAmbient Failed - Bad Index -1\n"
              "ERROR: SetLightSpecular Failed - Bad Index 8\n"
              "ERROR: SetPosition Failed - Bad Index 5\n"
              "ERROR: SetDirection Failed - Bad Index 5\n"
              "ERROR: SetRange Failed - Bad Index 5\n"
              "ERROR: SetAttenuation Failed - Bad Index 5\n"
              "ERROR: SetLight Failed - Bad Index 5\n"
              "ERROR: UnsetLight Failed - Bad Index 9\n"
              "ERROR: DestroyLight Failed - Light #3 Doesn't Exist\n",
              NewLog());
}

TEST_F(SceneLightsTest, ADeviceResetGivesEveryLightBackIncludingThoseSwitchedOff) {
    ASSERT_TRUE(m_handle->SetCamera(0, 0, -16, 0, 0, 0, 0, 1, 0));
    ASSERT_TRUE(m_scene->CreateLight(0, 2));
    m_scene->SetLightDiffuse(0, 1, 0, 2);
    m_scene->SetDirection(1, 0, 1, 2);
    ASSERT_TRUE(m_scene->SetLight(2));
    IOrvalen3DObject* box = m_scene->Cube(2, 2, 2);
    Frame([&] { box->Render(); });
    const std::uint32_t lit = Pixels().At(400, 300);
    EXPECT_TRUE(Reads(lit, 0, 180, 0, 3));
    ASSERT_TRUE(m_scene->UnsetLight(2));
    Frame([&] { box->Render(); });
    EXPECT_TRUE(Reads(Pixels().At(400, 300), 0, 0, 0, 0));

    ASSERT_TRUE(platform::SetDeviceLoss(Renderer().Device, platform::DeviceLoss::NotReset));
    ASSERT_TRUE(m_handle->CheckDevice());
    Frame([&] { box->Render(); });
    EXPECT_EQ(lit, Pixels().At(400, 300));
}
