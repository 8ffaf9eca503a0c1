#include "support/RendererFixture.h"
#include "scene3d/IOrvalen3DD3D.h"

#include <memory>

namespace {

class IOrvalen3DD3DTest : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        IOrvalenRenderer* renderer = m_handle;
        m_scene.SetRenderer(&renderer);
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

    IOrvalen3DD3D m_scene;
};

} // namespace

TEST_F(IOrvalen3DD3DTest, ApplyLightsSetsAndEnablesEveryHeldLightInIndexOrder) {
    m_scene.Lights[6] = Light(D3DLIGHT_POINT, 0.75f);
    m_scene.Lights[2] = Light(D3DLIGHT_DIRECTIONAL, 0.25f);
    m_scene.ApplyLights();

    std::vector<std::string> calls;
    for (const platform::TracedCall& call : platform::CallTrace()) {
        calls.push_back(call.Text());
    }
    EXPECT_EQ((std::vector<std::string>{"IDirect3DDevice9::SetLight(2, 3) -> D3D_OK",
                                        "IDirect3DDevice9::LightEnable(2, 1) -> D3D_OK",
                                        "IDirect3DDevice9::SetLight(6, 1) -> D3D_OK",
                                        "IDirect3DDevice9::LightEnable(6, 1) -> D3D_OK"}),
              calls);
    D3DLIGHT9 onDevice{};
    ASSERT_EQ(D3D_OK, Renderer().Device->GetLight(6, &onDevice));
    EXPECT_EQ(0.75f, onDevice.Diffuse.r);

    // A light the host had switched off comes back on.
    Renderer().Device->LightEnable(2, FALSE);
    m_scene.ApplyLights();
    BOOL enabled = FALSE;
    EXPECT_EQ(D3D_OK, Renderer().Device->GetLightEnable(2, &enabled));
    EXPECT_EQ(TRUE, enabled);
}

TEST_F(IOrvalen3DD3DTest, ApplyLightsCarriesOnPastARefusedLight) {
    m_scene.Lights[0] = Light(D3DLIGHT_DIRECTIONAL, 1.0f);
    m_scene.Lights[1] = Light(D3DLIGHT_SPOT, 1.0f);
    platform::FailCall("IDirect3DDevice9::SetLight");
    m_scene.ApplyLights();
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
    m_scene.Lights[3] = Light(D3DLIGHT_POINT, 1.0f);
    m_scene.ApplyLights();
    EXPECT_TRUE(platform::CallTrace().empty());
}

TEST_F(IOrvalen3DD3DTest, GravityIsTheRenderersVector) {
    EXPECT_EQ(0.0f, Renderer().Gravity[1]) << "no gravity until the host sets it";
    m_scene.SetGravity(1.0f, -9.81f, 0.5f);
    EXPECT_EQ(1.0f, Renderer().Gravity[0]);
    EXPECT_EQ(-9.81f, Renderer().Gravity[1]);
    EXPECT_EQ(0.5f, Renderer().Gravity[2]);
}
