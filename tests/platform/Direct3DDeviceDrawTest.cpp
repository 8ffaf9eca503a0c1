// The device's user-pointer draws: vertex formats, every primitive type, and the fill, cull and shade
// modes they are drawn with.
#include "TestDevice.h"
#include "platform/Direct3D9.h"
#include "platform/control.h"
#include "support/LitPixels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr UINT kWidth = 64;
constexpr UINT kHeight = 48;
constexpr DWORD kColourFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kGreen = 0xFF00FF00u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;

struct ColourVertex {
    float x, y, z;
    float nx = 0.0f, ny = 0.0f, nz = -1.0f;
    std::uint32_t colour = kRed;
};
static_assert(sizeof(ColourVertex) == 28);

class DeviceDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPlatform();
        m_window = platform::CreateHostWindow("Draw Window", kWidth, kHeight);
        m_direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_direct3D);
        D3DPRESENT_PARAMETERS parameters = test_device::Windowed(m_window);
        ASSERT_EQ(D3D_OK, test_device::Create(m_direct3D, parameters, &m_device));
        // Positions are pixels: x right, y down, depth as given.
        const D3DMATRIX pixels{
            {{2.0f / kWidth, 0, 0, 0}, {0, -2.0f / kHeight, 0, 0}, {0, 0, 1, 0}, {-1, 1, 0, 1}}};
        ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &pixels));
        ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_LIGHTING, FALSE));
        ASSERT_EQ(D3D_OK, m_device->SetFVF(kColourFormat));
        ASSERT_EQ(D3D_OK, m_device->BeginScene());
    }

    void TearDown() override {
        m_device->Release();
        m_direct3D->Release();
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal());
        platform::ResetPlatform();
    }

    HRESULT Draw(D3DPRIMITIVETYPE type, UINT count, const std::vector<ColourVertex>& vertices) {
        return m_device->DrawPrimitiveUP(type, count, vertices.data(), sizeof(ColourVertex));
    }

    platform::Image Frame() const { return platform::ReadBackBuffer(m_device); }

    HWND m_window = nullptr;
    IDirect3D9* m_direct3D = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};

/// A clockwise triangle on the screen (y down) with its right angle at the top left.
std::vector<ColourVertex> ClockwiseTriangle() {
    return {{10, 10, 0.5f}, {40, 10, 0.5f}, {10, 40, 0.5f}};
}

} // namespace

TEST_F(DeviceDrawTest, APointLightsThePixelAtItsPosition) {
    ASSERT_EQ(D3D_OK, Draw(D3DPT_POINTLIST, 2, {{3, 4, 0.5f}, {60, 47, 0.5f, 0, 0, -1, kGreen}}));
    const platform::Image frame = Frame();
    EXPECT_EQ(kRed, frame.At(3, 4));
    EXPECT_EQ(kGreen, frame.At(60, 47));
    EXPECT_EQ(2, LitPixels::In(frame).count);
}

TEST_F(DeviceDrawTest, LineListAndStripLightTheirRows) {
    ASSERT_EQ(D3D_OK, Draw(D3DPT_LINELIST, 1, {{5, 5, 0.5f}, {25, 5, 0.5f}}));
    ASSERT_EQ(D3D_OK, Draw(D3DPT_LINESTRIP, 2, {{5, 20, 0.5f}, {25, 20, 0.5f}, {25, 40, 0.5f}}));
    const platform::Image frame = Frame();
    const LitPixels top = LitPixels::In(frame, 0, 0, kWidth, 10);
    EXPECT_EQ(5, top.top);
    EXPECT_EQ(6, top.bottom);
    EXPECT_NEAR(20, top.count, 1);
    const LitPixels strip = LitPixels::In(frame, 0, 10, kWidth, kHeight);
    EXPECT_EQ(5, strip.left);
    EXPECT_EQ(26, strip.right);
    EXPECT_EQ(20, strip.top);
    EXPECT_NEAR(41, strip.bottom, 1);
}

TEST_F(DeviceDrawTest, TriangleListStripAndFanFillTheirArea) {
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, ClockwiseTriangle()));
    EXPECT_NEAR(30 * 30 / 2, LitPixels::In(Frame()).count, 30);
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    // A strip in MakeRect order and a fan round a square: each a 20 x 10 rectangle.
    ASSERT_EQ(D3D_OK,
              Draw(D3DPT_TRIANGLESTRIP, 2, {{0, 0, 0.5f}, {20, 0, 0.5f}, {0, 10, 0.5f}, {20, 10, 0.5f}}));
    ASSERT_EQ(D3D_OK,
              Draw(D3DPT_TRIANGLEFAN, 2, {{30, 20, 0.5f}, {50, 20, 0.5f}, {50, 30, 0.5f}, {30, 30, 0.5f}}));
    const platform::Image frame = Frame();
    const LitPixels strip = LitPixels::In(frame, 0, 0, 25, 15);
    EXPECT_EQ(200, strip.count);
    EXPECT_EQ(0, strip.left);
    EXPECT_EQ(20, strip.right);
    EXPECT_EQ(200, LitPixels::In(frame, 25, 15).count);
}

TEST_F(DeviceDrawTest, CullModesTellWindingsApartAsOnTheScreen) {
    std::vector<ColourVertex> anticlockwise = ClockwiseTriangle();
    std::swap(anticlockwise[1], anticlockwise[2]);
    // By default counter-clockwise triangles are culled.
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, anticlockwise));
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, ClockwiseTriangle()));
    EXPECT_LT(0, LitPixels::In(Frame()).count);

    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW));
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, ClockwiseTriangle()));
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, anticlockwise));
    EXPECT_LT(0, LitPixels::In(Frame()).count);
}

TEST_F(DeviceDrawTest, WireframeDrawsEdgesAndPointModeOnlyCorners) {
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME));
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, ClockwiseTriangle()));
    platform::Image frame = Frame();
    EXPECT_EQ(0u, frame.At(15, 15) & 0xFFFFFF); // inside
    EXPECT_EQ(kRed, frame.At(20, 10));          // on the top edge
    const int outline = LitPixels::In(frame).count;
    EXPECT_NEAR(30 + 30 + 30, outline, 10);

    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_FILLMODE, D3DFILL_POINT));
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, ClockwiseTriangle()));
    frame = Frame();
    EXPECT_EQ(3, LitPixels::In(frame).count);
    EXPECT_EQ(kRed, frame.At(10, 10));
}

TEST_F(DeviceDrawTest, FlatShadingTakesTheFirstVertexColourAndGouraudBlends) {
    std::vector<ColourVertex> triangle = ClockwiseTriangle();
    triangle[0].colour = kRed;
    triangle[1].colour = kGreen;
    triangle[2].colour = kBlue;
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT));
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, triangle));
    EXPECT_EQ(kRed, Frame().At(30, 12));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD));
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, triangle));
    const std::uint32_t blended = Frame().At(30, 12);
    EXPECT_LT(0x80u, (blended >> 8) & 0xFF); // mostly green near the green corner
}

TEST_F(DeviceDrawTest, DrawingIsClippedToTheViewport) {
    const D3DVIEWPORT9 corner{0, 0, 32, 24, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, m_device->SetViewport(&corner));
    // The projection still spans the whole target, so a full-target quad fills only the viewport, at
    // half scale.
    ASSERT_EQ(D3D_OK,
              Draw(D3DPT_TRIANGLESTRIP, 2, {{0, 0, 0.5f}, {64, 0, 0.5f}, {0, 48, 0.5f}, {64, 48, 0.5f}}));
    const LitPixels lit = LitPixels::In(Frame());
    EXPECT_EQ(32 * 24, lit.count);
    EXPECT_EQ(32, lit.right);
    EXPECT_EQ(24, lit.bottom);
    // Geometry behind the far plane is clipped away.
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, 1, {{10, 10, 1.5f}, {40, 10, 1.5f}, {10, 40, 1.5f}}));
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
}

TEST_F(DeviceDrawTest, DrawsAreRecordedWithTheVerticesReadOnlyWhileRecording) {
    const std::vector<ColourVertex> line = {{1, 2, 0.5f}, {3, 4, 0.5f, 0, 0, -1, kBlue}};
    ASSERT_EQ(D3D_OK, Draw(D3DPT_LINELIST, 1, line));
    EXPECT_TRUE(platform::DrawnPrimitiveCalls().empty());
    platform::RecordCalls(true);
    ASSERT_EQ(D3D_OK, Draw(D3DPT_LINELIST, 1, line));
    const std::vector<platform::DrawnPrimitives> draws = platform::DrawnPrimitiveCalls();
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(D3DPT_LINELIST, draws[0].type);
    EXPECT_EQ(1u, draws[0].primitiveCount);
    EXPECT_EQ(kColourFormat, draws[0].fvf);
    EXPECT_EQ(28u, draws[0].stride);
    ASSERT_EQ(56u, draws[0].vertices.size());
    EXPECT_EQ(0, std::memcmp(line.data(), draws[0].vertices.data(), 56));
}

TEST_F(DeviceDrawTest, RefusesDrawsItCannotReadAndDrawsNothingForThem) {
    const std::vector<ColourVertex> point = {{3, 4, 0.5f}};
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point.data(), 24));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, nullptr, 28));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              m_device->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(7), 1, point.data(), 28));
    EXPECT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, nullptr, 28)); // nothing to draw
    // The textured format is longer: a stale format with the shorter stride is caught.
    ASSERT_EQ(D3D_OK, m_device->SetFVF(kColourFormat | D3DFVF_TEX1));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point.data(), 28));
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    ASSERT_EQ(D3D_OK, m_device->SetFVF(kColourFormat));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point.data(), 28));
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
}

TEST_F(DeviceDrawTest, VertexFormatsNeedAPositionAndKnownComponents) {
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetFVF(D3DFVF_NORMAL | D3DFVF_DIFFUSE));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetFVF(kColourFormat | 0x004));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetFVF(D3DFVF_XYZ | 0x900)); // nine texture sets
    DWORD fvf = 0;
    ASSERT_EQ(D3D_OK, m_device->GetFVF(&fvf));
    EXPECT_EQ(kColourFormat, fvf);
    // A textured vertex of 36 bytes draws with its colour until textures are bound.
    ASSERT_EQ(D3D_OK, m_device->SetFVF(kColourFormat | D3DFVF_TEX1));
    struct TexturedVertex {
        ColourVertex vertex;
        float u, v;
    } point{{7, 8, 0.5f, 0, 0, -1, kGreen}, 0.5f, 0.5f};
    ASSERT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof point));
    EXPECT_EQ(kGreen, Frame().At(7, 8));
}

TEST_F(DeviceDrawTest, AResetForgetsTheVertexFormat) {
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    D3DPRESENT_PARAMETERS parameters = *platform::DevicePresentParameters(m_device);
    ASSERT_EQ(D3D_OK, m_device->Reset(&parameters));
    DWORD fvf = 1;
    ASSERT_EQ(D3D_OK, m_device->GetFVF(&fvf));
    EXPECT_EQ(0u, fvf);
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
}
