#pragma once
// A device of 64 x 48 pixels whose positions are pixels (x right, y down), unlit, inside no scene, and a
// folder of its own for the image files a test writes.

#include "TestDevice.h"
#include "platform/D3DXTexture.h"
#include "platform/Direct3D9.h"
#include "platform/control.h"
#include "renderer/TestImages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

/// Opaque colours as ARGB pixels.
inline constexpr std::uint32_t kBlack = 0xFF000000u;
inline constexpr std::uint32_t kRed = 0xFFFF0000u;
inline constexpr std::uint32_t kGreen = 0xFF00FF00u;
inline constexpr std::uint32_t kBlue = 0xFF0000FFu;
inline constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

/// A vertex with one texture pair, as the textured quads use.
struct TexturedVertex {
    float x, y, z;
    float nx = 0.0f, ny = 0.0f, nz = -1.0f;
    std::uint32_t colour = 0xFFFFFFFFu;
    float u = 0.0f, v = 0.0f;
};
static_assert(sizeof(TexturedVertex) == 36);

class TextureFixture : public ::testing::Test {
protected:
    static constexpr UINT kWidth = 64;
    static constexpr UINT kHeight = 48;
    static constexpr DWORD kTexturedFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

    void SetUp() override {
        platform::ResetPlatform();
        char folder[] = "/tmp/orvalen_textures_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(folder));
        m_folder = folder;
        m_window = platform::CreateHostWindow("Texture Window", kWidth, kHeight);
        m_direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_direct3D);
        m_device = MakeDevice();
        ASSERT_NE(nullptr, m_device);
    }

    void TearDown() override {
        if (m_device != nullptr) {
            m_device->Release();
        }
        m_direct3D->Release();
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal()) << "platform objects leaked";
        platform::ResetPlatform();
        std::filesystem::remove_all(m_folder);
    }

    IDirect3DDevice9* MakeDevice() {
        D3DPRESENT_PARAMETERS parameters = test_device::Windowed(m_window);
        IDirect3DDevice9* device = nullptr;
        if (test_device::Create(m_direct3D, parameters, &device) != D3D_OK) {
            return nullptr;
        }
        const D3DMATRIX pixels = PixelProjection(kWidth, kHeight);
        device->SetTransform(D3DTS_PROJECTION, &pixels);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetFVF(kTexturedFormat);
        return device;
    }

    /// Positions in pixels of a target of that size: x right, y down, depth as given.
    static D3DMATRIX PixelProjection(UINT width, UINT height) {
        return {{{2.0f / static_cast<float>(width), 0, 0, 0},
                 {0, -2.0f / static_cast<float>(height), 0, 0},
                 {0, 0, 1, 0},
                 {-1, 1, 0, 1}}};
    }

    /// Writes `image` into the test's folder and returns the file's path.
    std::string WriteImage(const char* name, const platform::Image& image, test_images::Format format) {
        const std::string path = (m_folder / name).string();
        EXPECT_TRUE(test_images::Write(path, image, format));
        return path;
    }

    /// Loads a file with the renderer's arguments and the given filter and key; null on failure.
    IDirect3DTexture9* Load(const std::string& path, DWORD filter = D3DX_DEFAULT, DWORD key = 0) {
        IDirect3DTexture9* texture = nullptr;
        const HRESULT result = D3DXCreateTextureFromFileExA(
            m_device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
            D3DPOOL_MANAGED, filter, filter, key, nullptr, nullptr, &texture);
        EXPECT_EQ(result == D3D_OK, texture != nullptr);
        return texture;
    }

    /// A quad over pixels [left, right) x [top, bottom) showing the whole texture, drawn in a scene.
    HRESULT DrawQuad(float left, float top, float right, float bottom) {
        const TexturedVertex quad[4] = {{left, top, 0.5f, 0, 0, -1, 0xFFFFFFFFu, 0.0f, 0.0f},
                                        {right, top, 0.5f, 0, 0, -1, 0xFFFFFFFFu, 1.0f, 0.0f},
                                        {left, bottom, 0.5f, 0, 0, -1, 0xFFFFFFFFu, 0.0f, 1.0f},
                                        {right, bottom, 0.5f, 0, 0, -1, 0xFFFFFFFFu, 1.0f, 1.0f}};
        if (m_device->BeginScene() != D3D_OK) {
            return E_FAIL;
        }
        const HRESULT drawn = m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex));
        m_device->EndScene();
        return drawn;
    }

    platform::Image Frame() const { return platform::ReadBackBuffer(m_device); }

    std::filesystem::path m_folder;
    HWND m_window = nullptr;
    IDirect3D9* m_direct3D = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};
