// The device's frame cycle, its loss and reset, and its fixed-function state.
#include "TestDevice.h"
#include "platform/Direct3D9.h"
#include "platform/Win32Kernel.h"
#include "platform/control.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>

namespace {

constexpr UINT kWidth = 64;
constexpr UINT kHeight = 48;

class DeviceFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPlatform();
        m_window = platform::CreateHostWindow("Frame Window", kWidth, kHeight);
        m_direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_direct3D);
        ASSERT_EQ(D3D_OK, Create(D3DFMT_D24S8));
    }

    void TearDown() override {
        if (m_device != nullptr) {
            m_device->Release();
        }
        m_direct3D->Release();
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal());
        platform::ResetPlatform();
    }

    HRESULT Create(D3DFORMAT depthStencil) {
        if (m_device != nullptr) {
            m_device->Release();
            m_device = nullptr;
        }
        m_parameters = test_device::Windowed(m_window, depthStencil);
        return test_device::Create(m_direct3D, m_parameters, &m_device);
    }

    DWORD State(D3DRENDERSTATETYPE state) const {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(D3D_OK, m_device->GetRenderState(state, &value));
        return value;
    }

    std::uint32_t BackBufferPixel(UINT x, UINT y) const {
        return platform::ReadBackBuffer(m_device).At(x, y);
    }

    HWND m_window = nullptr;
    IDirect3D9* m_direct3D = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_parameters{};
};

D3DLIGHT9 RedPointLight() {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1.0f, 0.0f, 0.0f, 0.0f};
    light.Position = {1.0f, 2.0f, 3.0f};
    light.Range = 100.0f;
    light.Attenuation0 = 1.0f;
    return light;
}

} // namespace

TEST_F(DeviceFrameTest, NewDeviceHasTheDocumentedDefaults) {
    EXPECT_EQ(D3DZB_TRUE, State(D3DRS_ZENABLE));
    EXPECT_EQ(D3DCMP_LESSEQUAL, State(D3DRS_ZFUNC));
    EXPECT_EQ(D3DCULL_CCW, State(D3DRS_CULLMODE));
    EXPECT_EQ(D3DFILL_SOLID, State(D3DRS_FILLMODE));
    EXPECT_EQ(D3DSHADE_GOURAUD, State(D3DRS_SHADEMODE));
    EXPECT_EQ(DWORD(TRUE), State(D3DRS_LIGHTING));
    EXPECT_EQ(DWORD(TRUE), State(D3DRS_COLORVERTEX));
    EXPECT_EQ(D3DMCS_COLOR1, State(D3DRS_DIFFUSEMATERIALSOURCE));
    EXPECT_EQ(D3DBLEND_ONE, State(D3DRS_SRCBLEND));
    EXPECT_EQ(D3DBLEND_ZERO, State(D3DRS_DESTBLEND));
    EXPECT_EQ(D3DBLENDOP_ADD, State(D3DRS_BLENDOP));
    EXPECT_EQ(std::bit_cast<DWORD>(1.0f), State(D3DRS_FOGEND));
    DWORD filter = 0;
    EXPECT_EQ(D3D_OK, m_device->GetSamplerState(0, D3DSAMP_MAGFILTER, &filter));
    EXPECT_EQ(D3DTEXF_POINT, filter);
    EXPECT_EQ(D3D_OK, m_device->GetSamplerState(15, D3DSAMP_MIPFILTER, &filter));
    EXPECT_EQ(D3DTEXF_NONE, filter);

    // Without a depth buffer there is nothing to test against.
    m_parameters.EnableAutoDepthStencil = FALSE;
    m_device->Release();
    m_device = nullptr;
    ASSERT_EQ(D3D_OK, test_device::Create(m_direct3D, m_parameters, &m_device));
    EXPECT_EQ(D3DZB_FALSE, State(D3DRS_ZENABLE));
}

TEST_F(DeviceFrameTest, StatesAreKeptAndUnknownOnesRefused) {
    EXPECT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_FOGSTART, std::bit_cast<DWORD>(2.5f)));
    EXPECT_EQ(2.5f, std::bit_cast<float>(State(D3DRS_FOGSTART)));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(3), 1));
    DWORD value = 0;
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(255), &value));
    EXPECT_EQ(D3D_OK, m_device->SetSamplerState(3, D3DSAMP_MAXANISOTROPY, 4));
    EXPECT_EQ(D3D_OK, m_device->GetSamplerState(3, D3DSAMP_MAXANISOTROPY, &value));
    EXPECT_EQ(4u, value);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetSamplerState(16, D3DSAMP_MAGFILTER, 1));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(0), 1));
}

TEST_F(DeviceFrameTest, LightsAreKeptByIndexAndAtMostEightAreLit) {
    const D3DLIGHT9 red = RedPointLight();
    EXPECT_EQ(D3D_OK, m_device->SetLight(20, &red));
    D3DLIGHT9 back{};
    ASSERT_EQ(D3D_OK, m_device->GetLight(20, &back));
    EXPECT_EQ(1.0f, back.Diffuse.r);
    EXPECT_EQ(3.0f, back.Position.z);
    BOOL enabled = TRUE;
    EXPECT_EQ(D3D_OK, m_device->GetLightEnable(20, &enabled));
    EXPECT_EQ(FALSE, enabled);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->GetLight(21, &back));

    // Enabling a light never set gives it the default white directional light.
    EXPECT_EQ(D3D_OK, m_device->LightEnable(30, TRUE));
    ASSERT_EQ(D3D_OK, m_device->GetLight(30, &back));
    EXPECT_EQ(D3DLIGHT_DIRECTIONAL, back.Type);
    EXPECT_EQ(1.0f, back.Diffuse.g);
    EXPECT_EQ(1.0f, back.Direction.z);

    for (DWORD index = 0; index < 7; ++index) {
        EXPECT_EQ(D3D_OK, m_device->LightEnable(index, TRUE));
    }
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->LightEnable(20, TRUE)) << "a ninth light";
    EXPECT_EQ(D3D_OK, m_device->LightEnable(0, FALSE));
    EXPECT_EQ(D3D_OK, m_device->LightEnable(20, TRUE));

    D3DLIGHT9 typeless{};
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetLight(1, &typeless));
}

TEST_F(DeviceFrameTest, ClearFillsTheViewportOnly) {
    const D3DVIEWPORT9 corner{8, 4, 16, 12, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0));
    ASSERT_EQ(D3D_OK, m_device->SetViewport(&corner));
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                                      0xFF336699u, 1.0f, 0));
    const platform::Image image = platform::ReadBackBuffer(m_device);
    EXPECT_EQ(0xFF336699u, image.At(8, 4));
    EXPECT_EQ(0xFF336699u, image.At(23, 15));
    EXPECT_EQ(0xFF000000u, image.At(7, 4));
    EXPECT_EQ(0xFF000000u, image.At(24, 15));
    EXPECT_EQ(0xFF000000u, image.At(8, 16));

    // Rectangles are cut to the viewport.
    const D3DRECT rect{0, 0, 10, 6};
    ASSERT_EQ(D3D_OK, m_device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0));
    EXPECT_EQ(0xFFFF0000u, BackBufferPixel(9, 5));
    EXPECT_EQ(0xFF336699u, BackBufferPixel(10, 6));
    EXPECT_EQ(0xFF000000u, BackBufferPixel(7, 3));
}

TEST_F(DeviceFrameTest, ClearRefusesBuffersTheDeviceLacksAndBadArguments) {
    ASSERT_EQ(D3D_OK, Create(D3DFMT_D16));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0));
    EXPECT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Clear(0, nullptr, 0, 0, 1.0f, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.5f, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Clear(2, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
}

TEST_F(DeviceFrameTest, ScenesDoNotNest) {
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->EndScene());
    EXPECT_EQ(D3D_OK, m_device->BeginScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->BeginScene());
    EXPECT_EQ(D3D_OK, m_device->EndScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->EndScene());
    EXPECT_EQ(D3D_OK, m_device->BeginScene());
    EXPECT_EQ(D3D_OK, m_device->EndScene());
}

TEST_F(DeviceFrameTest, PresentShowsTheBackBufferStretchedOverTheWindow) {
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00123456u, 1.0f, 0));
    EXPECT_EQ(0xFF000000u, platform::ReadWindowPixels(m_window).At(0, 0)) << "nothing shown before Present";
    ASSERT_EQ(D3D_OK, m_device->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0xFF123456u, platform::ReadWindowPixels(m_window).At(kWidth - 1, kHeight - 1));

    // A back buffer of half the window's size covers it whole: each pixel shows as two by two.
    D3DPRESENT_PARAMETERS half = m_parameters;
    half.BackBufferWidth = kWidth / 2;
    half.BackBufferHeight = kHeight / 2;
    ASSERT_EQ(D3D_OK, m_device->Reset(&half));
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0));
    const D3DRECT first{0, 0, 1, 1};
    ASSERT_EQ(D3D_OK, m_device->Clear(1, &first, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0));
    ASSERT_EQ(D3D_OK, m_device->Present(nullptr, nullptr, nullptr, nullptr));
    const platform::Image shown = platform::ReadWindowPixels(m_window);
    EXPECT_EQ(0xFFFF0000u, shown.At(1, 1));
    EXPECT_EQ(0xFF00FF00u, shown.At(2, 0));
    EXPECT_EQ(0xFF00FF00u, shown.At(kWidth - 1, kHeight - 1));

    const RECT part{0, 0, 4, 4};
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Present(&part, nullptr, nullptr, nullptr));
}

TEST_F(DeviceFrameTest, LostDeviceWaitsThenResetsToDefaults) {
    const D3DVIEWPORT9 corner{0, 0, 10, 10, 0.0f, 1.0f};
    const D3DLIGHT9 red = RedPointLight();
    const D3DMATRIX scaled{{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}}};
    ASSERT_EQ(D3D_OK, m_device->SetViewport(&corner));
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_VIEW, &scaled));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    ASSERT_EQ(D3D_OK, m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR));
    ASSERT_EQ(D3D_OK, m_device->SetLight(2, &red));

    ASSERT_TRUE(platform::SetDeviceLoss(m_device, platform::DeviceLoss::Lost));
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->TestCooperativeLevel());
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->Reset(&m_parameters));
    EXPECT_EQ(D3DCULL_NONE, State(D3DRS_CULLMODE)) << "a refused reset changes nothing";

    ASSERT_TRUE(platform::SetDeviceLoss(m_device, platform::DeviceLoss::NotReset));
    EXPECT_EQ(D3DERR_DEVICENOTRESET, m_device->TestCooperativeLevel());
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->Present(nullptr, nullptr, nullptr, nullptr));
    platform::FailCall("IDirect3DDevice9::Reset");
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(&m_parameters));
    EXPECT_EQ(platform::DeviceLoss::NotReset, platform::DeviceLossOf(m_device));

    ASSERT_EQ(D3D_OK, m_device->Reset(&m_parameters));
    EXPECT_EQ(platform::DeviceLoss::Operational, platform::DeviceLossOf(m_device));
    EXPECT_EQ(D3D_OK, m_device->TestCooperativeLevel());
    EXPECT_EQ(D3D_OK, m_device->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(D3DCULL_CCW, State(D3DRS_CULLMODE));
    DWORD filter = 0;
    EXPECT_EQ(D3D_OK, m_device->GetSamplerState(0, D3DSAMP_MINFILTER, &filter));
    EXPECT_EQ(D3DTEXF_POINT, filter);
    D3DLIGHT9 light{};
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->GetLight(2, &light)) << "a reset forgets the lights";
    EXPECT_EQ(UINT(kWidth), platform::DeviceViewport(m_device)->Width);
    EXPECT_EQ(1.0f, platform::DeviceTransform(m_device, D3DTS_VIEW)->m[0][0]);
}

TEST_F(DeviceFrameTest, ResetIsRefusedInsideAScene) {
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(&m_parameters));
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(nullptr));
    EXPECT_EQ(D3D_OK, m_device->Reset(&m_parameters));
}

TEST(Win32Kernel, SleepWaitsUnlessOnlyRecorded) {
    platform::ResetPlatform();
    platform::RecordSleepsOnly(true);
    platform::RecordCalls(true);
    const auto start = std::chrono::steady_clock::now();
    Sleep(60000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    ASSERT_EQ(1u, platform::CallsOf("Sleep").size());
    EXPECT_EQ(60000, platform::CallsOf("Sleep")[0].arguments[0]);

    platform::ResetPlatform();
    const auto before = std::chrono::steady_clock::now();
    Sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(20));
    platform::ResetPlatform();
}
