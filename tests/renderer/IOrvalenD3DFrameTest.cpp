#include "IOrvalen3D.h"
#include "IOrvalenFont.h"
#include "support/RendererFixture.h"
#include "scene3d/IOrvalen3DD3D.h"
#include "support/LitPixels.h"

#include <cstring>
#include <map>
#include <memory>

namespace {

/// Counts the lost and reset notices the renderer passes on to the fonts.
class FontDouble : public IOrvalenFont {
public:
    int lost = 0;
    int reset = 0;

    void SetRenderer(IOrvalenRenderer**) override {}
    bool OnResetDevice() override {
        ++reset;
        return true;
    }
    void OnLostDevice() override { ++lost; }
    bool CreateFont(std::int32_t, std::int32_t, bool, bool, const char*, std::int32_t) override {
        return false;
    }
    bool CreateFont(std::int32_t, std::int32_t, const char*, std::int32_t) override { return false; }
    bool DrawText(std::int32_t, std::int32_t, std::int32_t, std::int32_t, const char*,
                  std::int32_t) override {
        return false;
    }
    bool DrawText(std::int32_t, std::int32_t, const char*, std::int32_t) override { return false; }
};

/// What a device holds of the state the renderer gives it: render states, sampler 0, lights 0-7,
/// viewport and transforms.
struct DeviceSnapshot {
    std::map<DWORD, DWORD> states;
    std::map<DWORD, DWORD> sampler;
    std::map<DWORD, std::pair<D3DLIGHT9, BOOL>> lights;
    D3DVIEWPORT9 viewport{};
    D3DMATRIX projection{};
    D3DMATRIX view{};

    static DeviceSnapshot Of(IDirect3DDevice9* device) {
        static constexpr D3DRENDERSTATETYPE kStates[] = {D3DRS_ZENABLE,          D3DRS_FILLMODE,
                                                         D3DRS_SHADEMODE,        D3DRS_ZWRITEENABLE,
                                                         D3DRS_ALPHATESTENABLE,  D3DRS_SRCBLEND,
                                                         D3DRS_DESTBLEND,        D3DRS_CULLMODE,
                                                         D3DRS_ALPHAREF,         D3DRS_ALPHAFUNC,
                                                         D3DRS_ALPHABLENDENABLE, D3DRS_FOGENABLE,
                                                         D3DRS_FOGCOLOR,         D3DRS_FOGTABLEMODE,
                                                         D3DRS_FOGSTART,         D3DRS_FOGEND,
                                                         D3DRS_FOGDENSITY,       D3DRS_RANGEFOGENABLE,
                                                         D3DRS_LIGHTING,         D3DRS_FOGVERTEXMODE,
                                                         D3DRS_BLENDOP,          D3DRS_ANTIALIASEDLINEENABLE};
        DeviceSnapshot snapshot;
        for (const D3DRENDERSTATETYPE state : kStates) {
            device->GetRenderState(state, &snapshot.states[state]);
        }
        for (DWORD type = D3DSAMP_ADDRESSU; type <= D3DSAMP_MAXANISOTROPY; ++type) {
            device->GetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(type), &snapshot.sampler[type]);
        }
        for (DWORD index = 0; index < 8; ++index) {
            D3DLIGHT9 light{};
            BOOL enabled = FALSE;
            if (SUCCEEDED(device->GetLight(index, &light)) &&
                SUCCEEDED(device->GetLightEnable(index, &enabled))) {
                snapshot.lights[index] = {light, enabled};
            }
        }
        snapshot.viewport = *platform::DeviceViewport(device);
        snapshot.projection = *platform::DeviceTransform(device, D3DTS_PROJECTION);
        snapshot.view = *platform::DeviceTransform(device, D3DTS_VIEW);
        return snapshot;
    }
};

void ExpectSameState(const DeviceSnapshot& before, const DeviceSnapshot& after) {
    EXPECT_EQ(before.states, after.states);
    EXPECT_EQ(before.sampler, after.sampler);
    ASSERT_EQ(before.lights.size(), after.lights.size());
    for (const auto& [index, light] : before.lights) {
        const auto& [afterLight, afterEnabled] = after.lights.at(index);
        EXPECT_EQ(0, std::memcmp(&light.first, &afterLight, sizeof afterLight)) << "light " << index;
        EXPECT_EQ(light.second, afterEnabled) << "light " << index;
    }
    EXPECT_EQ(0, std::memcmp(&before.viewport, &after.viewport, sizeof after.viewport));
    EXPECT_EQ(0, std::memcmp(&before.projection, &after.projection, sizeof after.projection));
    EXPECT_EQ(0, std::memcmp(&before.view, &after.view, sizeof after.view));
}

class IOrvalenD3DFrame : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        platform::RecordSleepsOnly(true);
        Renderer().FontInterface = &m_fonts;
        m_startLog = LogText();
        platform::ClearCallTrace();
    }

    void TearDown() override {
        Renderer().FontInterface = nullptr;
        Renderer().Interface3D = nullptr;
        m_scene.reset();
        RendererFixture::TearDown();
    }

    std::string NewLog() const { return LogText().substr(m_startLog.size()); }
    IDirect3DDevice9* Device() { return Renderer().Device; }

    /// A scene holding lights in slots 1 and 5, handed to the renderer as its 3D interface.
    void AttachSceneWithTwoLights() {
        m_scene = std::make_unique<IOrvalen3DD3D>();
        IOrvalenRenderer* renderer = m_handle;
        m_scene->SetRenderer(&renderer);
        for (const int index : {1, 5}) {
            auto light = std::make_unique<D3DLIGHT9>();
            light->Type = index == 1 ? D3DLIGHT_DIRECTIONAL : D3DLIGHT_POINT;
            light->Diffuse = {0.5f, 0.25f, static_cast<float>(index) / 8.0f, 0.0f};
            light->Direction = {0.0f, -1.0f, 0.0f};
            light->Attenuation0 = 1.0f;
            m_scene->Lights[index] = std::move(light);
        }
        Renderer().Interface3D = m_scene.get();
    }

    /// One frame: clear to a colour in the current viewport and present.
    platform::Image DrawFrame() {
        EXPECT_TRUE(m_handle->Clear(true, true, true, 0xFF000000u));
        EXPECT_TRUE(m_handle->SelectViewport(1));
        EXPECT_TRUE(m_handle->StartRendering());
        EXPECT_TRUE(m_handle->Clear(true, true, true, 0xFF2080C0u));
        EXPECT_TRUE(m_handle->EndRendering());
        EXPECT_TRUE(m_handle->ShowScene());
        EXPECT_TRUE(m_handle->SelectViewport(0));
        return platform::ReadWindowPixels(m_window);
    }

    FontDouble m_fonts;
    std::unique_ptr<IOrvalen3DD3D> m_scene;
    std::string m_startLog;
};

} // namespace

TEST_F(IOrvalenD3DFrame, ClearAsksForStencilOnlyWhenTheDeviceHasOne) {
    EXPECT_TRUE(m_handle->Clear(true, true, true, 0xFF102030u));
    EXPECT_TRUE(m_handle->Clear(false, true, false, 0));
    const auto calls = platform::CallsOf("IDirect3DDevice9::Clear");
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, calls[0].arguments[1]);
    EXPECT_EQ(0xFF102030, calls[0].arguments[2]);
    EXPECT_EQ(D3DCLEAR_ZBUFFER, calls[1].arguments[1]);
    EXPECT_EQ(0xFF102030u, platform::ReadBackBuffer(Device()).At(799, 599));

    // Started without a stencil buffer, the stencil wish is dropped.
    ASSERT_EQ(1, m_handle->Initialize(kWindowName, 800, 600, 0, false, true, true));
    platform::ClearCallTrace();
    EXPECT_TRUE(m_handle->Clear(true, true, true, 0xFF405060u));
    EXPECT_EQ(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
              platform::CallsOf("IDirect3DDevice9::Clear")[0].arguments[1]);
    EXPECT_EQ(0xFF405060u, platform::ReadBackBuffer(Device()).At(0, 0));
}

TEST_F(IOrvalenD3DFrame, RefusedFrameCallsLogTheirLine) {
    platform::FailCall("IDirect3DDevice9::Clear");
    EXPECT_FALSE(m_handle->Clear(true, false, false, 0));
    EXPECT_TRUE(m_handle->StartRendering());
    EXPECT_FALSE(m_handle->StartRendering()) << "scenes don't nest";
    EXPECT_TRUE(m_handle->EndRendering());
    EXPECT_FALSE(m_handle->EndRendering());
    platform::FailCall("IDirect3DDevice9::Present");
    EXPECT_FALSE(m_handle->ShowScene());
    EXPECT_EQ("ERROR: Couldn't Clear\nERROR: Couldn't Start Rendering\nERROR: Couldn't End Rendering\n"
              "ERROR: Couldn't Show Scene\n",
              NewLog());
    EXPECT_NE(nullptr, Renderer().LogFile);
}

TEST_F(IOrvalenD3DFrame, FrameCallsWithoutADeviceFail) {
    m_handle->Deinitialize();
    EXPECT_FALSE(m_handle->Clear(true, true, true, 0));
    EXPECT_FALSE(m_handle->StartRendering());
    EXPECT_FALSE(m_handle->EndRendering());
    EXPECT_FALSE(m_handle->ShowScene());
    EXPECT_TRUE(m_handle->CheckDevice());
    EXPECT_TRUE(platform::CallTrace().empty());
}

TEST_F(IOrvalenD3DFrame, ShowSceneShowsTheFrameInTheWindow) {
    ASSERT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
    ASSERT_TRUE(m_handle->CreateViewport(100, 50, 300, 150));
    const platform::Image shown = DrawFrame();
    EXPECT_EQ(0xFF2080C0u, shown.At(100, 50));
    EXPECT_EQ(0xFF2080C0u, shown.At(299, 149));
    EXPECT_EQ(0xFF000000u, shown.At(99, 50));
    EXPECT_EQ(0xFF000000u, shown.At(300, 150));
    EXPECT_EQ(m_startLog + "Creating Viewport...Viewport #0: <0, 0>, <800, 600>\nViewport Created\n"
                           "Creating Viewport...Viewport #1: <100, 50>, <300, 150>\nViewport Created\n",
              LogText());
}

TEST_F(IOrvalenD3DFrame, HealthyDeviceReappliesTheFilterAndLeavesTheFontsAlone) {
    m_handle->SetFilter(3);
    platform::ClearCallTrace();
    EXPECT_TRUE(m_handle->CheckDevice());
    EXPECT_EQ(0, m_fonts.lost);
    EXPECT_EQ(0, m_fonts.reset);
    EXPECT_TRUE(platform::CallsOf("IDirect3DDevice9::Reset").empty());
    EXPECT_EQ(4u, platform::CallsOf("IDirect3DDevice9::SetSamplerState").size());
    EXPECT_EQ(m_startLog, LogText());

    // An unknown filter is reported again by every check.
    m_handle->SetFilter(9);
    EXPECT_TRUE(m_handle->CheckDevice());
    EXPECT_EQ("ERROR: SetFilter Failed - Filter Type Unrecognized\n"
              "ERROR: SetFilter Failed - Filter Type Unrecognized\n",
              NewLog());
}

TEST_F(IOrvalenD3DFrame, LostDeviceIsWaitedOutUntilItCanBeReset) {
    ASSERT_TRUE(platform::SetDeviceLoss(Device(), platform::DeviceLoss::Lost));
    EXPECT_TRUE(m_handle->ShowScene()) << "still lost: the check itself succeeded";
    EXPECT_EQ("ERROR: D3D9 Device Lost\nD3D9 Device Lost\n", NewLog());
    EXPECT_GE(m_fonts.lost, 1);
    EXPECT_EQ(0, m_fonts.reset);
    const auto sleeps = platform::CallsOf("Sleep");
    ASSERT_EQ(1u, sleeps.size());
    EXPECT_EQ(100, sleeps[0].arguments[0]);
    EXPECT_TRUE(platform::CallsOf("IDirect3DDevice9::Reset").empty());
}

TEST_F(IOrvalenD3DFrame, ResetGivesTheDeviceBackEverythingAndTheSamePicture) {
    ASSERT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
    ASSERT_TRUE(m_handle->CreateViewport(200, 100, 600, 400));
    ASSERT_TRUE(m_handle->SetProjection(D3DX_PI / 3, 0.5f, 500.0f));
    ASSERT_TRUE(m_handle->SetCamera(1, 2, -8, 0, 0, 0, 0, 1, 0));
    m_handle->SetZBuffer(false);
    m_handle->SetCullMode(0);
    m_handle->SetShadeMode(0);
    m_handle->SetAlphaBlend(true, 7);
    m_handle->SetAlphaBlend(true, 3);
    m_handle->SetAlphaTest(true);
    m_handle->SetLighting(false);
    m_handle->SetPointMode(true);
    m_handle->SetAntialiasedLines(true);
    ASSERT_TRUE(m_handle->SetFog(true, 1, 5.0f, 50.0f, 0.1f, 0xFF404040u));
    ASSERT_TRUE(m_handle->SetFilter(4));
    AttachSceneWithTwoLights();
    m_scene->ApplyLights();
    Device()->LightEnable(5, FALSE);
    const platform::Image before = DrawFrame();
    DeviceSnapshot expected = DeviceSnapshot::Of(Device());
    expected.lights[5].second = TRUE; // every scene light comes back switched on

    ASSERT_TRUE(platform::SetDeviceLoss(Device(), platform::DeviceLoss::Lost));
    EXPECT_TRUE(m_handle->ShowScene());
    ASSERT_TRUE(platform::SetDeviceLoss(Device(), platform::DeviceLoss::NotReset));
    const std::string lostLog = LogText();
    EXPECT_TRUE(m_handle->CheckDevice());
    EXPECT_EQ("D3D9 Device Not Reset; Resetting...\nD3D9 Device Successfully Reset\n",
              LogText().substr(lostLog.size()));
    EXPECT_EQ(platform::DeviceLoss::Operational, platform::DeviceLossOf(Device()));
    EXPECT_EQ(1, m_fonts.reset);
    ExpectSameState(expected, DeviceSnapshot::Of(Device()));
    EXPECT_TRUE(m_handle->GetPointMode());
    EXPECT_TRUE(m_handle->GetFog());

    const platform::Image after = DrawFrame();
    EXPECT_EQ(before.pixels, after.pixels);
}

TEST_F(IOrvalenD3DFrame, AViewportTheDeviceRefusedIsNeitherKeptNorGivenBackByAReset) {
    ASSERT_TRUE(m_handle->CreateViewport(100, 50, 500, 350));
    EXPECT_FALSE(m_handle->SelectViewport(3)) << "never set: an empty rectangle";
    EXPECT_TRUE(m_handle->SetProjection(D3DX_PI / 4, 1.0f, 100.0f)) << "the aspect of the viewport in use";
    ASSERT_TRUE(platform::SetDeviceLoss(Device(), platform::DeviceLoss::NotReset));
    EXPECT_TRUE(m_handle->CheckDevice());
    EXPECT_TRUE(NewLog().ends_with("ERROR: Couldn't Set Viewport #3\n"
                                   "D3D9 Device Not Reset; Resetting...\nD3D9 Device Successfully Reset\n"));
    const D3DVIEWPORT9 viewport = *platform::DeviceViewport(Device());
    EXPECT_EQ(100u, viewport.X);
    EXPECT_EQ(400u, viewport.Width);
    EXPECT_EQ(300u, viewport.Height);
}

TEST_F(IOrvalenD3DFrame, FailedResetIsRetriedByTheNextCheck) {
    AttachSceneWithTwoLights();
    ASSERT_TRUE(platform::SetDeviceLoss(Device(), platform::DeviceLoss::NotReset));
    platform::FailCall("IDirect3DDevice9::Reset");
    platform::ClearCallTrace();
    EXPECT_FALSE(m_handle->CheckDevice());
    EXPECT_EQ("D3D9 Device Not Reset; Resetting...\nERROR: CheckDevice Failed - Couldn't Reset Device\n",
              NewLog());
    EXPECT_EQ(0, m_fonts.reset);
    EXPECT_TRUE(platform::CallsOf("IDirect3DDevice9::SetViewport").empty());
    EXPECT_TRUE(platform::CallsOf("IDirect3DDevice9::SetLight").empty());
    EXPECT_NE(nullptr, Renderer().LogFile);

    EXPECT_TRUE(m_handle->CheckDevice());
    EXPECT_TRUE(LogText().ends_with("D3D9 Device Successfully Reset\n"));
    EXPECT_EQ(1, m_fonts.reset);
    EXPECT_EQ(2u, platform::CallsOf("IDirect3DDevice9::SetLight").size());
}

TEST_F(IOrvalenD3DFrame, RefusedViewportAfterResetIsAHardFailure) {
    ASSERT_TRUE(platform::SetDeviceLoss(Device(), platform::DeviceLoss::NotReset));
    platform::FailCall("IDirect3DDevice9::SetViewport");
    platform::ClearCallTrace();
    EXPECT_FALSE(m_handle->CheckDevice());
    EXPECT_EQ("D3D9 Device Not Reset; Resetting...\nERROR: D3D9 Device Error\n", NewLog());
    EXPECT_EQ(nullptr, Renderer().LogFile);
    EXPECT_TRUE(platform::CallsOf("IDirect3DDevice9::SetTransform").empty());
}

TEST_F(IOrvalenD3DFrame, RefusedViewTransformAfterResetIsAHardFailure) {
    ASSERT_TRUE(platform::SetDeviceLoss(Device(), platform::DeviceLoss::NotReset));
    platform::InjectFault({"IDirect3DDevice9::SetTransform", 1, 1, D3DTS_VIEW, 0});
    EXPECT_FALSE(m_handle->CheckDevice());
    EXPECT_TRUE(NewLog().ends_with("ERROR: D3D9 Device Error\n"));
    EXPECT_EQ(nullptr, Renderer().LogFile);
}

TEST_F(IOrvalenD3DFrame, UnknownCooperativeLevelIsAnInternalError) {
    platform::InjectFault(
        {"IDirect3DDevice9::TestCooperativeLevel", 1, 1, std::nullopt, D3DERR_DRIVERINTERNALERROR});
    EXPECT_FALSE(m_handle->CheckDevice());
    EXPECT_EQ("ERROR: D3D9 Device Internal Error\n", NewLog());
    EXPECT_EQ(nullptr, Renderer().LogFile);
    EXPECT_EQ(0, m_fonts.lost);
    EXPECT_TRUE(platform::CallsOf("IDirect3DDevice9::SetSamplerState").empty());
}

namespace {

class IOrvalenD3DFrameWithFonts : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        platform::RecordSleepsOnly(true);
        ASSERT_EQ(1, m_handle->CreateFontInterface());
        ASSERT_TRUE(m_handle->FontInterface->CreateFont(0, 24, "DejaVu Sans", 0));
    }

    void TearDown() override {
        // The fonts hold the device: they go before the renderer.
        m_handle->DestroyFontInterface();
        RendererFixture::TearDown();
    }

    /// A black frame with a line of text, as the window shows it.
    platform::Image TextFrame() {
        EXPECT_TRUE(m_handle->Clear(true, true, true, 0xFF000000u));
        EXPECT_TRUE(m_handle->StartRendering());
        EXPECT_TRUE(m_handle->FontInterface->DrawText(20, 30, "Device back", 0));
        EXPECT_TRUE(m_handle->EndRendering());
        EXPECT_TRUE(m_handle->ShowScene());
        return platform::ReadWindowPixels(m_window);
    }
};

} // namespace

TEST_F(IOrvalenD3DFrameWithFonts, FontsWriteTheSameTextOnceTheDeviceIsReset) {
    const platform::Image before = TextFrame();
    EXPECT_GT(LitPixels::In(before, 20, 30, 300, 60).count, 50);

    ASSERT_TRUE(platform::SetDeviceLoss(Renderer().Device, platform::DeviceLoss::Lost));
    EXPECT_TRUE(m_handle->ShowScene());
    EXPECT_FALSE(m_handle->FontInterface->DrawText(20, 30, "lost", 0)) << "a lost font draws nothing";

    ASSERT_TRUE(platform::SetDeviceLoss(Renderer().Device, platform::DeviceLoss::NotReset));
    ASSERT_TRUE(m_handle->CheckDevice());
    EXPECT_EQ(before.pixels, TextFrame().pixels);
}
