#include "TestDevice.h"
#include "platform/Direct3D9.h"
#include "platform/Win32Window.h"
#include "platform/control.h"

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

class Direct3D9Test : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPlatform();
        m_window = platform::CreateHostWindow("Test Window", 64, 48);
        ASSERT_NE(nullptr, m_window);
        m_direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_direct3D);
    }

    void TearDown() override {
        if (m_device != nullptr) {
            m_device->Release();
        }
        if (m_direct3D != nullptr) {
            EXPECT_EQ(0u, m_direct3D->Release());
        }
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal());
        platform::ResetPlatform();
    }

    D3DPRESENT_PARAMETERS Windowed(UINT width = 0, UINT height = 0) const {
        return test_device::Windowed(m_window, D3DFMT_D24S8, width, height);
    }

    HRESULT Create(D3DPRESENT_PARAMETERS& parameters) {
        return test_device::Create(m_direct3D, parameters, &m_device);
    }

    HWND m_window = nullptr;
    IDirect3D9* m_direct3D = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};

} // namespace

TEST(Win32Window, FindWindowFindsByNameAndNeverThroughAStaleHandle) {
    const HWND first = platform::CreateHostWindow("Alpha", 10, 10);
    const HWND second = platform::CreateHostWindow("Beta", 10, 10);
    EXPECT_EQ(first, FindWindowA("Alpha", "Alpha"));
    EXPECT_EQ(second, FindWindowA("Beta", "Beta"));
    EXPECT_EQ(nullptr, FindWindowA("Alpha", "Beta"));
    EXPECT_EQ(nullptr, FindWindowA("Gamma", "Gamma"));

    EXPECT_TRUE(platform::DestroyHostWindow(first));
    EXPECT_FALSE(platform::DestroyHostWindow(first));
    const HWND again = platform::CreateHostWindow("Alpha", 10, 10);
    EXPECT_NE(first, again);
    EXPECT_FALSE(platform::IsHostWindow(first));
    EXPECT_EQ(again, FindWindowA("Alpha", "Alpha"));
    platform::DestroyHostWindow(second);
    platform::DestroyHostWindow(again);
}

TEST(Win32Window, NewWindowShowsOpaqueBlack) {
    EXPECT_EQ(nullptr, platform::CreateHostWindow("", 10, 10));
    EXPECT_EQ(nullptr, platform::CreateHostWindow("Zero", 0, 10));
    const HWND window = platform::CreateHostWindow("Black", 3, 2);
    const platform::Image image = platform::ReadWindowPixels(window);
    EXPECT_EQ(3u, image.width);
    EXPECT_EQ(2u, image.height);
    EXPECT_EQ(std::vector<std::uint32_t>(6, 0xFF000000u), image.pixels);
    platform::DestroyHostWindow(window);
    EXPECT_TRUE(platform::ReadWindowPixels(window).pixels.empty());
}

TEST_F(Direct3D9Test, CreateNeedsTheSdkVersionAndCountsReferences) {
    EXPECT_EQ(nullptr, Direct3DCreate9(31));
    EXPECT_EQ(1, platform::LiveObjects("IDirect3D9"));
    EXPECT_EQ(2u, m_direct3D->AddRef());
    EXPECT_EQ(1u, m_direct3D->Release());
    EXPECT_EQ(1, platform::LiveObjects("IDirect3D9"));
}

TEST_F(Direct3D9Test, AdapterAnswersFromItsConfiguration) {
    platform::AdapterConfiguration adapter = platform::DefaultAdapter();
    adapter.desktopMode.Format = D3DFMT_R5G6B5;
    adapter.depthStencilFormats = {D3DFMT_D16};
    adapter.multisampleOffers = {{D3DFMT_X8R8G8B8, {D3DMULTISAMPLE_2_SAMPLES}}};
    platform::ConfigureAdapter(adapter);

    D3DDISPLAYMODE mode{};
    ASSERT_EQ(D3D_OK, m_direct3D->GetAdapterDisplayMode(0, &mode));
    EXPECT_EQ(D3DFMT_R5G6B5, mode.Format);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_direct3D->GetAdapterDisplayMode(1, &mode));

    EXPECT_EQ(D3D_OK, m_direct3D->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8,
                                                         D3DFMT_D16));
    EXPECT_EQ(D3DERR_NOTAVAILABLE, m_direct3D->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                                                      D3DFMT_X8R8G8B8, D3DFMT_D24S8));
    EXPECT_EQ(D3DERR_NOTAVAILABLE, m_direct3D->CheckDepthStencilMatch(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8,
                                                                      D3DFMT_X8R8G8B8, D3DFMT_D16));

    DWORD quality = 7;
    EXPECT_EQ(D3D_OK, m_direct3D->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE,
                                                             D3DMULTISAMPLE_2_SAMPLES, &quality));
    EXPECT_EQ(1u, quality);
    EXPECT_EQ(D3DERR_NOTAVAILABLE,
              m_direct3D->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE,
                                                     D3DMULTISAMPLE_4_SAMPLES, &quality));
    EXPECT_EQ(0u, quality);
    EXPECT_EQ(D3D_OK, m_direct3D->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_D16, TRUE,
                                                             D3DMULTISAMPLE_NONE, nullptr));

    D3DCAPS9 caps{};
    ASSERT_EQ(D3D_OK, m_direct3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps));
    EXPECT_EQ(D3DDEVTYPE_HAL, caps.DeviceType);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_direct3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, nullptr));
}

TEST_F(Direct3D9Test, WindowedDeviceTakesTheWindowSizeAndDesktopFormat) {
    D3DPRESENT_PARAMETERS parameters = Windowed();
    ASSERT_EQ(D3D_OK, Create(parameters));
    EXPECT_EQ(64u, parameters.BackBufferWidth);
    EXPECT_EQ(48u, parameters.BackBufferHeight);
    EXPECT_EQ(D3DFMT_X8R8G8B8, parameters.BackBufferFormat);
    EXPECT_EQ(1, platform::LiveDeviceCount());

    // The whole back buffer is the first viewport; a new back buffer reads opaque black.
    const D3DVIEWPORT9 viewport = *platform::DeviceViewport(m_device);
    EXPECT_EQ(64u, viewport.Width);
    EXPECT_EQ(48u, viewport.Height);
    const platform::Image image = platform::ReadBackBuffer(m_device);
    ASSERT_EQ(64u * 48u, image.pixels.size());
    EXPECT_EQ(std::vector<std::uint32_t>(64 * 48, 0xFF000000u), image.pixels);
}

TEST_F(Direct3D9Test, DeviceHoldsDirect3DUntilReleased) {
    D3DPRESENT_PARAMETERS parameters = Windowed(32, 32);
    ASSERT_EQ(D3D_OK, Create(parameters));
    EXPECT_EQ(1u, m_direct3D->Release()); // the device's own reference remains
    EXPECT_EQ(1, platform::LiveObjects("IDirect3D9"));
    m_direct3D = nullptr;
    EXPECT_EQ(0u, m_device->Release());
    m_device = nullptr;
    EXPECT_EQ(0, platform::LiveObjects("IDirect3D9"));
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DDevice9"));
}

TEST_F(Direct3D9Test, CreateDeviceRefusesWhatTheAdapterDoesNotOffer) {
    D3DPRESENT_PARAMETERS parameters = Windowed();
    parameters.AutoDepthStencilFormat = D3DFMT_D15S1;
    EXPECT_EQ(D3DERR_INVALIDCALL, Create(parameters));
    EXPECT_EQ(nullptr, m_device);

    parameters = Windowed();
    parameters.MultiSampleType = D3DMULTISAMPLE_8_SAMPLES;
    EXPECT_EQ(D3DERR_INVALIDCALL, Create(parameters));

    parameters = Windowed();
    parameters.hDeviceWindow = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL,
              m_direct3D->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                       &parameters, &m_device));

    parameters = Windowed(640, 480);
    parameters.Windowed = FALSE;
    parameters.BackBufferFormat = D3DFMT_R8G8B8;
    EXPECT_EQ(D3DERR_NOTAVAILABLE, Create(parameters));
    EXPECT_EQ(0, platform::LiveDeviceCount());
}

TEST_F(Direct3D9Test, EveryOfferedFormatMakesADevice) {
    for (const D3DFORMAT backBuffer :
         {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5}) {
        for (const D3DFORMAT depth : {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32}) {
            D3DPRESENT_PARAMETERS parameters = Windowed(16, 16);
            parameters.Windowed = FALSE;
            parameters.BackBufferFormat = backBuffer;
            parameters.AutoDepthStencilFormat = depth;
            ASSERT_EQ(D3D_OK, Create(parameters)) << backBuffer << " " << depth;
            EXPECT_EQ(0xFF000000u, platform::ReadBackBuffer(m_device).At(15, 15) | 0xFF000000u);
            m_device->Release();
            m_device = nullptr;
        }
    }
}

TEST_F(Direct3D9Test, MultisampledBackBufferReadsBackResolved) {
    D3DPRESENT_PARAMETERS parameters = Windowed(20, 10);
    parameters.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    ASSERT_EQ(D3D_OK, Create(parameters));
    const platform::Image image = platform::ReadBackBuffer(m_device);
    EXPECT_EQ(20u, image.width);
    EXPECT_EQ(std::vector<std::uint32_t>(200, 0xFF000000u), image.pixels);
}

TEST_F(Direct3D9Test, SetViewportRefusesRectanglesOutsideTheBackBuffer) {
    D3DPRESENT_PARAMETERS parameters = Windowed(100, 80);
    ASSERT_EQ(D3D_OK, Create(parameters));
    const D3DVIEWPORT9 inside{10, 20, 90, 60, 0.0f, 1.0f};
    EXPECT_EQ(D3D_OK, m_device->SetViewport(&inside));
    for (const D3DVIEWPORT9& bad : {D3DVIEWPORT9{10, 20, 91, 60, 0, 1}, D3DVIEWPORT9{0, 0, 100, 81, 0, 1},
                                    D3DVIEWPORT9{0, 0, 0, 10, 0, 1}, D3DVIEWPORT9{0, 0, 10, 10, 0.5f, 0.2f},
                                    D3DVIEWPORT9{0xFFFFFFF0u, 0, 0x20, 10, 0, 1}}) {
        EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetViewport(&bad));
    }
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetViewport(nullptr));
    const D3DVIEWPORT9 kept = *platform::DeviceViewport(m_device);
    EXPECT_EQ(10u, kept.X);
    EXPECT_EQ(60u, kept.Height);
}

TEST_F(Direct3D9Test, SetTransformKeepsEachSlot) {
    D3DPRESENT_PARAMETERS parameters = Windowed(8, 8);
    ASSERT_EQ(D3D_OK, Create(parameters));
    D3DMATRIX view{};
    view.m[3][2] = 7.0f;
    EXPECT_EQ(D3D_OK, m_device->SetTransform(D3DTS_VIEW, &view));
    EXPECT_EQ(7.0f, platform::DeviceTransform(m_device, D3DTS_VIEW)->m[3][2]);
    EXPECT_EQ(1.0f, platform::DeviceTransform(m_device, D3DTS_PROJECTION)->m[3][3]);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(99), &view));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTransform(D3DTS_WORLD, nullptr));
}

TEST_F(Direct3D9Test, InjectedFaultsHitTheNthMatchingCallOnly) {
    D3DPRESENT_PARAMETERS parameters = Windowed(8, 8);
    ASSERT_EQ(D3D_OK, Create(parameters));
    D3DMATRIX matrix{};

    // The second projection fails; view calls do not count towards it.
    platform::InjectFault({"IDirect3DDevice9::SetTransform", 2, 1, D3DTS_PROJECTION, 0});
    EXPECT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &matrix));
    EXPECT_EQ(D3D_OK, m_device->SetTransform(D3DTS_VIEW, &matrix));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTransform(D3DTS_PROJECTION, &matrix));
    EXPECT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &matrix));

    // Count 0: every call from the first on, with the result asked for.
    platform::InjectFault({"IDirect3D9::GetDeviceCaps", 1, 0, std::nullopt, E_OUTOFMEMORY});
    D3DCAPS9 caps{};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(E_OUTOFMEMORY, m_direct3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps));
    }
    platform::ClearFaults();
    EXPECT_EQ(D3D_OK, m_direct3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps));

    platform::FailCall("Direct3DCreate9");
    EXPECT_EQ(nullptr, Direct3DCreate9(D3D_SDK_VERSION));
    platform::FailCall("FindWindowA");
    EXPECT_EQ(nullptr, FindWindowA("Test Window", "Test Window"));
    EXPECT_EQ(m_window, FindWindowA("Test Window", "Test Window"));
}

TEST_F(Direct3D9Test, TraceReadsAsCallsWithResultsKeptOnlyWhileRecording) {
    platform::FailCall("IDirect3D9::CheckDepthStencilMatch");
    EXPECT_EQ(D3DERR_NOTAVAILABLE, m_direct3D->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                                                      D3DFMT_X8R8G8B8, D3DFMT_D24S8));
    EXPECT_EQ("", platform::CallTraceText()) << "a fault claims its call, recorded or not";
    platform::RecordCalls(true);
    platform::FailCall("IDirect3D9::CheckDepthStencilMatch");
    m_direct3D->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D24S8);
    m_direct3D->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D24S8);
    EXPECT_EQ("IDirect3D9::CheckDepthStencilMatch(0, 1, 22, 22, 75) -> D3DERR_NOTAVAILABLE (injected)\n"
              "IDirect3D9::CheckDepthStencilMatch(0, 1, 22, 22, 75) -> D3D_OK\n",
              platform::CallTraceText());
    EXPECT_EQ(2u, platform::CallsOf("IDirect3D9::CheckDepthStencilMatch").size());
    EXPECT_EQ("0x80004321", platform::ResultName(MakeFailure(0x80004321u)));
}

TEST_F(Direct3D9Test, SavedPngDecodesToTheSamePixels) {
    platform::Image image{2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x80FFFFFFu}};
    char path[] = "/tmp/orvalen_png_XXXXXX";
    const int descriptor = mkstemp(path);
    ASSERT_GE(descriptor, 0);
    close(descriptor);
    ASSERT_TRUE(platform::SavePng(image, path));
    int width = 0, height = 0, channels = 0;
    unsigned char* rgba = stbi_load(path, &width, &height, &channels, 4);
    std::remove(path);
    ASSERT_NE(nullptr, rgba);
    EXPECT_EQ(2, width);
    EXPECT_EQ(2, height);
    const unsigned char expected[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128};
    EXPECT_EQ(0, std::memcmp(expected, rgba, 16));
    stbi_image_free(rgba);

    EXPECT_FALSE(platform::SavePng(platform::Image{}, path));
    EXPECT_FALSE(platform::SavePng(image, "/nonexistent-folder/x.png"));
}
