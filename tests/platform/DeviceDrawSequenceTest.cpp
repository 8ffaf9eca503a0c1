// Sequences of draws whose pixels must not depend on what the device last handed OpenGL: states and
// textures changed between draws, a texture released while bound, read-backs, clears, a render target,
// a reset and a second device in between, and triangles culled before OpenGL sees them.
#include "TextureFixture.h"
#include "platform/D3DXFont.h"
#include "platform/D3DXRenderToSurface.h"
#include "platform/FaceCuller.h"

#include <GL/gl.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using test_images::Format;

constexpr std::uint32_t kHalfGreen = 0xFF008000u;

class DeviceDrawSequence : public TextureFixture {
protected:
    /// A texture of one texel of `colour`, made on `device` (the fixture's when null).
    IDirect3DTexture9* Solid(std::uint32_t colour, IDirect3DDevice9* device = nullptr) {
        const platform::Image image = test_images::Make(1, 1, [colour](UINT, UINT) { return colour; });
        const std::string path = WriteImage("solid.png", image, Format::Png);
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3D_OK, D3DXCreateTextureFromFileExA(device != nullptr ? device : m_device, path.c_str(),
                                                       D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                                                       D3DPOOL_MANAGED, D3DX_FILTER_POINT, D3DX_FILTER_POINT,
                                                       0, nullptr, nullptr, &texture));
        return texture;
    }

    /// A quad over [left, right) x [top, bottom) whose u runs from 0 to `uReach`, in the open scene.
    void Quad(float left, float top, float right, float bottom, float uReach = 1.0f,
              std::uint32_t colour = kWhite, IDirect3DDevice9* device = nullptr) {
        const TexturedVertex quad[4] = {{left, top, 0.5f, 0, 0, -1, colour, 0.0f, 0.0f},
                                        {right, top, 0.5f, 0, 0, -1, colour, uReach, 0.0f},
                                        {left, bottom, 0.5f, 0, 0, -1, colour, 0.0f, 1.0f},
                                        {right, bottom, 0.5f, 0, 0, -1, colour, uReach, 1.0f}};
        IDirect3DDevice9* target = device != nullptr ? device : m_device;
        EXPECT_EQ(D3D_OK, target->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex)));
    }

    void Set(D3DRENDERSTATETYPE state, DWORD value) {
        EXPECT_EQ(D3D_OK, m_device->SetRenderState(state, value));
    }
};

/// Triangles around and across the near plane of a perspective, many of them slivers seen edge on.
std::vector<TexturedVertex> Scatter() {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> across(-3.0f, 3.0f);
    std::uniform_real_distribution<float> depth(-0.5f, 6.0f);
    std::uniform_real_distribution<float> squash(0.0f, 1.0f);
    std::vector<TexturedVertex> corners;
    for (int t = 0; t < 400; ++t) {
        const float x = across(random), y = across(random), z = depth(random);
        // Every other triangle is flattened towards the line through its first two corners.
        const float flat = t % 2 == 0 ? squash(random) * 1e-3f : 1.0f;
        const float dx = across(random), dy = across(random), ex = across(random), ey = across(random);
        corners.push_back({x, y, z});
        corners.push_back({x + dx, y + dy, z + 0.5f * depth(random)});
        corners.push_back({x + dx * 0.5f + ex * flat, y + dy * 0.5f + ey * flat, z + 0.25f * depth(random)});
    }
    return corners;
}

} // namespace

TEST_F(DeviceDrawSequence, EachDrawShowsItsOwnTextureSamplingAndStatesWhateverCameBefore) {
    IDirect3DTexture9* red = Solid(kRed);
    IDirect3DTexture9* green = Solid(kGreen);
    const platform::Image halves =
        test_images::Make(2, 1, [](UINT x, UINT) { return x == 0 ? kBlack : kWhite; });
    IDirect3DTexture9* blackWhite = Load(WriteImage("bw.png", halves, Format::Png), D3DX_FILTER_POINT);
    ASSERT_TRUE(red != nullptr && green != nullptr && blackWhite != nullptr);
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    m_device->SetTexture(0, red);
    Quad(0, 0, 16, 8);
    EXPECT_EQ(kRed, Frame().At(8, 4)) << "read back inside the scene";
    m_device->SetTexture(0, green);
    Quad(16, 0, 32, 8);
    // The same texture clamped, then repeated: u runs 0..2 over 16 pixels, texel 0 under u < 0.5.
    m_device->SetTexture(0, blackWhite);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Quad(32, 0, 48, 8, 2.0f);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    Quad(32, 8, 48, 16, 2.0f);
    // Released while bound: the next texture made may take its name in OpenGL.
    blackWhite->Release();
    IDirect3DTexture9* blue = Solid(kBlue);
    m_device->SetTexture(0, blue);
    Quad(48, 0, 64, 8);
    m_device->SetTexture(0, nullptr);
    Quad(48, 8, 64, 16, 1.0f, kRed);
    // Lit by the ambient light alone (the point light's range ends short of the quad), then fogged fully
    // by linear vertex fog, then neither.
    Set(D3DRS_LIGHTING, TRUE);
    Set(D3DRS_AMBIENT, kHalfGreen);
    D3DMATERIAL9 material{};
    material.Ambient = {1, 1, 1, 1};
    m_device->SetMaterial(&material);
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1, 1, 1, 1};
    light.Position = {8, 20, 4};
    light.Range = 0.25f;
    light.Attenuation0 = 1.0f;
    m_device->SetLight(0, &light);
    m_device->LightEnable(0, TRUE);
    Quad(0, 16, 16, 24);
    Set(D3DRS_LIGHTING, FALSE);
    Set(D3DRS_FOGENABLE, TRUE);
    Set(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    Set(D3DRS_FOGCOLOR, kBlue);
    Set(D3DRS_FOGSTART, 0);
    Set(D3DRS_FOGEND, 0);
    Quad(16, 16, 32, 24);
    Set(D3DRS_FOGENABLE, FALSE);
    Quad(32, 16, 48, 24, 1.0f, kGreen);
    // A clear between draws, then a draw over part of it.
    const D3DRECT band{0, 24, 64, 32};
    ASSERT_EQ(D3D_OK, m_device->Clear(1, &band, D3DCLEAR_TARGET, kBlue, 1.0f, 0));
    m_device->SetTexture(0, red);
    Quad(0, 24, 32, 32);
    ASSERT_EQ(D3D_OK, m_device->EndScene());

    const platform::Image frame = Frame();
    const std::pair<std::pair<UINT, UINT>, std::uint32_t> expected[] = {
        {{8, 4}, kRed},     {{24, 4}, kGreen}, {{34, 4}, kBlack}, {{41, 4}, kWhite},     {{41, 12}, kBlack},
        {{45, 12}, kWhite}, {{56, 4}, kBlue},  {{56, 12}, kRed},  {{8, 20}, kHalfGreen}, {{24, 20}, kBlue},
        {{40, 20}, kGreen}, {{8, 28}, kRed},   {{40, 28}, kBlue}, {{56, 40}, kBlack}};
    for (const auto& [at, colour] : expected) {
        EXPECT_EQ(colour, frame.At(at.first, at.second)) << at.first << ", " << at.second;
    }
    red->Release();
    green->Release();
    blue->Release();
}

TEST_F(DeviceDrawSequence, ARenderTargetAResetAndASecondDeviceLeaveEachDrawItsOwnTexture) {
    IDirect3DTexture9* red = Solid(kRed);
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTexture(m_device, 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                        D3DPOOL_DEFAULT, &target));
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(D3D_OK, target->GetSurfaceLevel(0, &surface));
    ID3DXRenderToSurface* renderer = nullptr;
    ASSERT_EQ(D3D_OK,
              D3DXCreateRenderToSurface(m_device, 16, 16, D3DFMT_A8R8G8B8, TRUE, D3DFMT_D24S8, &renderer));
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    m_device->SetTexture(0, red);
    Quad(0, 0, 16, 16);
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    // Into the target untextured and green, then the target shown on the back buffer.
    ASSERT_EQ(D3D_OK, renderer->BeginScene(surface, nullptr));
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0));
    const D3DMATRIX targetPixels = PixelProjection(16, 16);
    m_device->SetTransform(D3DTS_PROJECTION, &targetPixels);
    m_device->SetTexture(0, nullptr);
    Quad(0, 0, 16, 16, 1.0f, kGreen);
    ASSERT_EQ(D3D_OK, renderer->EndScene(0));
    const D3DMATRIX pixels = PixelProjection(kWidth, kHeight);
    m_device->SetTransform(D3DTS_PROJECTION, &pixels);
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    m_device->SetTexture(0, target);
    Quad(16, 0, 32, 16);
    ASSERT_EQ(D3D_OK, m_device->EndScene());

    // A second device draws between two draws of the first, each with the first texture it made.
    IDirect3DDevice9* second = MakeDevice();
    ASSERT_NE(nullptr, second);
    IDirect3DTexture9* blue = Solid(kBlue, second);
    IDirect3DTexture9* green = Solid(kGreen);
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    m_device->SetTexture(0, green);
    Quad(32, 0, 48, 16);
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    ASSERT_EQ(D3D_OK, second->BeginScene());
    second->SetTexture(0, blue);
    Quad(0, 0, 16, 16, 1.0f, kWhite, second);
    ASSERT_EQ(D3D_OK, second->EndScene());
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    m_device->SetTexture(0, red);
    Quad(48, 0, 64, 16);
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    EXPECT_EQ(kBlue, platform::ReadBackBuffer(second).At(8, 8));
    blue->Release();
    green->Release();
    second->Release();
    const platform::Image beforeReset = Frame();
    EXPECT_EQ(kRed, beforeReset.At(8, 8));
    EXPECT_EQ(kGreen, beforeReset.At(24, 8));
    EXPECT_EQ(kGreen, beforeReset.At(40, 8));
    EXPECT_EQ(kRed, beforeReset.At(56, 8));

    // A reset empties the stages and the back buffer; the same texture set again shows again.
    surface->Release();
    target->Release();
    renderer->Release();
    D3DPRESENT_PARAMETERS parameters = test_device::Windowed(m_window);
    ASSERT_EQ(D3D_OK, m_device->Reset(&parameters));
    m_device->SetTransform(D3DTS_PROJECTION, &pixels);
    m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_device->SetFVF(kTexturedFormat);
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    Quad(0, 0, 16, 16, 1.0f, kGreen);
    m_device->SetTexture(0, red);
    Quad(16, 0, 32, 16);
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    const platform::Image afterReset = Frame();
    EXPECT_EQ(kGreen, afterReset.At(8, 8));
    EXPECT_EQ(kRed, afterReset.At(24, 8));
    EXPECT_EQ(kBlack, afterReset.At(40, 8));
    red->Release();
}

TEST_F(DeviceDrawSequence, AShadowPassAlternatingCullingCountsTheStencilOpenGLsOwnCullingCounts) {
    // Each draw counts its kept faces once, as a shadow pass does: up on clockwise culling, down on
    // counter-clockwise. OpenGL culls by itself where the cull mode repeats from one draw to the next,
    // which a point drawn off the target before each draw makes so.
    const std::vector<TexturedVertex> triangles = Scatter();
    const float q = 50.0f / 49.9f;
    const D3DMATRIX perspective{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, q, 1}, {0, 0, -0.1f * q, 0}}};
    const TexturedVertex offTarget{-100.0f, -100.0f, 1.0f};
    const auto countAndRead = [&](bool openGLCulls) {
        const D3DMATRIX none{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
        m_device->SetTransform(D3DTS_PROJECTION, &perspective);
        m_device->SetTransform(D3DTS_VIEW, &none);
        EXPECT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                                          0, 1.0f, 0));
        Set(D3DRS_ZWRITEENABLE, FALSE);
        Set(D3DRS_STENCILENABLE, TRUE);
        Set(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        EXPECT_EQ(D3D_OK, m_device->BeginScene());
        for (int pass = 0; pass < 6; ++pass) {
            const bool up = pass % 2 == 0;
            Set(D3DRS_STENCILPASS, up ? D3DSTENCILOP_INCR : D3DSTENCILOP_DECR);
            Set(D3DRS_CULLMODE, up ? D3DCULL_CW : D3DCULL_CCW);
            if (openGLCulls) {
                m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &offTarget, sizeof(TexturedVertex));
            }
            const D3DMATRIX moved{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0.01f * pass, 0, 0, 1}}};
            m_device->SetTransform(D3DTS_WORLD, &moved);
            EXPECT_EQ(D3D_OK,
                      m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(triangles.size() / 3),
                                                triangles.data(), sizeof(TexturedVertex)));
        }
        EXPECT_EQ(D3D_OK, m_device->EndScene());
        return platform::ReadDepthStencil(m_device).stencil;
    };
    const std::vector<std::uint8_t> ownCulling = countAndRead(true);
    const std::vector<std::uint8_t> culledBefore = countAndRead(false);
    int counted = 0;
    for (std::size_t i = 0; i < ownCulling.size(); ++i) {
        counted += ownCulling[i] != 0;
        EXPECT_EQ(ownCulling[i], culledBefore[i]) << "pixel " << i % kWidth << ", " << i / kWidth;
    }
    EXPECT_GT(counted, static_cast<int>(ownCulling.size() / 4)) << "the triangles cover the target";
}

TEST_F(DeviceDrawSequence, ATriangleFilledAsLinesOrPointsUnderCullingCountsTheStencilOfEveryPixelItDraws) {
    struct Corner {
        float x, y, z;
    };
    // Counter-clockwise on the screen, so culling clockwise faces keeps it.
    const Corner triangle[3] = {{8, 8, 0.5f}, {8, 40, 0.5f}, {56, 8, 0.5f}};
    m_device->SetFVF(D3DFVF_XYZ);
    Set(D3DRS_STENCILENABLE, TRUE);
    Set(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    Set(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    Set(D3DRS_CULLMODE, D3DCULL_CW);
    for (const DWORD fill : {D3DFILL_WIREFRAME, D3DFILL_POINT}) {
        ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, kBlack, 1.0f, 0));
        Set(D3DRS_FILLMODE, fill);
        ASSERT_EQ(D3D_OK, m_device->BeginScene());
        ASSERT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Corner)));
        ASSERT_EQ(D3D_OK, m_device->EndScene());
        const platform::Image frame = Frame();
        const std::vector<std::uint8_t> stencil = platform::ReadDepthStencil(m_device).stencil;
        int drawn = 0;
        int uncounted = 0;
        for (std::size_t i = 0; i < stencil.size(); ++i) {
            drawn += frame.pixels[i] == kWhite;
            uncounted += (frame.pixels[i] == kWhite ? 1 : 0) != stencil[i];
        }
        EXPECT_EQ(fill == D3DFILL_POINT ? 3 : 128, drawn) << "fill " << fill;
        EXPECT_EQ(0, uncounted) << "fill " << fill
                                << ": pixels drawn but not counted, or counted but not drawn";
    }
}

TEST_F(DeviceDrawSequence, TextDrawnBetweenTwoSpecularDrawsLeavesTheSecondItsSpecular) {
    struct Vertex {
        float x, y, z;
        std::uint32_t diffuse, specular;
    };
    const auto quad = [&](float left, float top) {
        const Vertex corners[4] = {{left, top, 0.5f, 0xFF404040u, 0x00808080u},
                                   {left + 8, top, 0.5f, 0xFF404040u, 0x00808080u},
                                   {left, top + 8, 0.5f, 0xFF404040u, 0x00808080u},
                                   {left + 8, top + 8, 0.5f, 0xFF404040u, 0x00808080u}};
        EXPECT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, corners, sizeof(Vertex)));
    };
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateFontA(m_device, 12, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, "DejaVu Sans", &font));
    m_device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
    Set(D3DRS_SPECULARENABLE, TRUE);
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    quad(0, 0);
    RECT rect{20, 20, 60, 40};
    EXPECT_GT(font->DrawTextA(nullptr, "Hi", -1, &rect, 0, kWhite), 0);
    quad(0, 30);
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    const platform::Image frame = Frame();
    EXPECT_EQ(0xFFC0C0C0u, frame.At(4, 4));
    EXPECT_EQ(0xFFC0C0C0u, frame.At(4, 34)) << "drawn after the text";
    font->Release();
}

TEST(FaceCuller, DecidesOnlyTrianglesClearOfTheViewVolumesFacesAndOfAZeroArea) {
    // Pixels of a 64 x 48 target, y down, depth 0.5: what the device's OpenGL projection makes of them.
    const D3DMATRIX identity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    const D3DMATRIX pixels{{{2.0f / 64, 0, 0, 0}, {0, 2.0f / 48, 0, 0}, {0, 0, 2, 0}, {-1, -1, -1, 1}}};
    struct Corner {
        float x, y, z;
    };
    // Screen-clockwise (OpenGL's front), counter-clockwise, a sliver 1e-4 pixel thick, one past the far
    // plane.
    const Corner corners[] = {{4, 4, 0.5f},         {20, 4, 0.5f}, {4, 20, 0.5f},  {30, 4, 0.5f},
                              {30, 20, 0.5f},       {46, 4, 0.5f}, {4, 30, 0.5f},  {60, 30, 0.5f},
                              {32, 30.0001f, 0.5f}, {4, 40, 0.5f}, {20, 40, 0.5f}, {4, 46, 1.5f}};
    FaceCuller culler;
    const auto kept = [&](unsigned culled) {
        culler.Cull(identity, identity, pixels, 64, 48, culled,
                    reinterpret_cast<const std::uint8_t*>(corners), sizeof(Corner), 4);
        std::vector<float> firsts;
        for (std::size_t t = 0; t < culler.KeptTriangles(); ++t) {
            Corner first;
            std::memcpy(&first, culler.Kept() + 3 * t * sizeof(Corner), sizeof first);
            firsts.push_back(first.x * 100 + first.y);
        }
        return firsts;
    };
    EXPECT_EQ((std::vector<float>{3004, 430, 440}), kept(GL_FRONT)) << "the clockwise one goes";
    EXPECT_TRUE(culler.LeftToOpenGL()) << "the sliver and the one past the far plane";
    EXPECT_EQ((std::vector<float>{404, 430, 440}), kept(GL_BACK)) << "the counter-clockwise one goes";
}
