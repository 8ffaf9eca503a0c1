// Stencil counting and depth writes as the device defines them, read back from the depth-stencil
// buffer: wrapping increments and decrements, the reference on the left of the comparison, the
// counter-clockwise states idle without two-sided mode, depth left alone when writes are off.
#include "SceneDeviceFixture.h"
#include "support/LitPixels.h"

namespace {

class DeviceStencilDepth : public SceneDeviceFixture {
protected:
    void SetUp() override {
        SceneDeviceFixture::SetUp();
        UsePixelProjection();
        Set(D3DRS_LIGHTING, FALSE);
        ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                                          0, 1.0f, 0));
    }

    void Set(D3DRENDERSTATETYPE state, DWORD value) {
        ASSERT_EQ(D3D_OK, m_device->SetRenderState(state, value));
    }

    /// Counts into the stencil buffer: every pixel a quad covers takes `operation`.
    void Count(D3DSTENCILOP operation, const std::vector<SceneVertex>& quad) {
        Set(D3DRS_STENCILENABLE, TRUE);
        Set(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        Set(D3DRS_STENCILPASS, operation);
        ASSERT_EQ(D3D_OK, DrawFromBuffer(quad));
    }

    platform::DepthStencilImage Buffer() const { return platform::ReadDepthStencil(m_device); }
};

} // namespace

TEST_F(DeviceStencilDepth, IncrementsAddUpAndADecrementBelowZeroWrapsTo255) {
    Count(D3DSTENCILOP_INCR, Quad(0, 0, 40, 40, 0.5f));
    Count(D3DSTENCILOP_INCR, Quad(20, 20, 64, 64, 0.5f));
    Count(D3DSTENCILOP_DECR, Quad(0, 48, 8, 64, 0.5f));
    const platform::DepthStencilImage buffer = Buffer();
    ASSERT_EQ(kSide, buffer.width);
    EXPECT_EQ(1, buffer.StencilAt(5, 5));
    EXPECT_EQ(2, buffer.StencilAt(30, 30));
    EXPECT_EQ(1, buffer.StencilAt(50, 50));
    EXPECT_EQ(0, buffer.StencilAt(50, 5));
    EXPECT_EQ(255, buffer.StencilAt(4, 60));
    int twos = 0;
    for (std::uint8_t count : buffer.stencil) {
        twos += count == 2;
    }
    EXPECT_EQ(20 * 20, twos);
}

TEST_F(DeviceStencilDepth, LessEqualWithReferenceOnePassesWhereTheCountIsOneOrMore) {
    Set(D3DRS_STENCILREF, 1);
    Count(D3DSTENCILOP_REPLACE, Quad(0, 0, 20, 64, 0.5f)); // 1
    Count(D3DSTENCILOP_DECR, Quad(20, 0, 40, 64, 0.5f));   // 255; the rest stays 0
    Set(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
    Set(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    const std::vector<SceneVertex> screen = Quad(0, 0, 64, 64, 0.5f);
    ASSERT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, screen.data(), sizeof(SceneVertex)));
    const LitPixels lit = LitPixels::In(Frame());
    EXPECT_EQ(40 * 64, lit.count);
    EXPECT_EQ(0, lit.left);
    EXPECT_EQ(40, lit.right);
}

TEST_F(DeviceStencilDepth, CounterClockwiseStatesChangeNothingWithoutTwoSidedMode) {
    Set(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_DECR);
    Set(D3DRS_CCW_STENCILFUNC, D3DCMP_NEVER);
    std::vector<SceneVertex> anticlockwise = Quad(0, 0, 32, 32, 0.5f);
    std::swap(anticlockwise[1], anticlockwise[2]);
    std::swap(anticlockwise[4], anticlockwise[5]);
    Count(D3DSTENCILOP_INCR, anticlockwise);
    EXPECT_EQ(1, Buffer().StencilAt(10, 10));
    // Two-sided mode hands the counter-clockwise face to its own states.
    Set(D3DRS_TWOSIDEDSTENCILMODE, TRUE);
    Set(D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS);
    Count(D3DSTENCILOP_INCR, anticlockwise);
    EXPECT_EQ(0, Buffer().StencilAt(10, 10));
}

TEST_F(DeviceStencilDepth, DepthIsWrittenOnlyWhileDepthWritesAreOn) {
    Set(D3DRS_ZWRITEENABLE, FALSE);
    ASSERT_EQ(D3D_OK, DrawFromBuffer(Quad(0, 0, 32, 64, 0.25f)));
    Set(D3DRS_ZWRITEENABLE, TRUE);
    ASSERT_EQ(D3D_OK, DrawFromBuffer(Quad(32, 0, 64, 64, 0.25f)));
    const platform::DepthStencilImage buffer = Buffer();
    EXPECT_EQ(1.0f, buffer.DepthAt(10, 10));
    EXPECT_NEAR(0.25f, buffer.DepthAt(50, 10), 1e-6f);
    EXPECT_EQ(64 * 64, LitPixels::In(Frame()).count) << "both halves drawn";
}

TEST_F(DeviceStencilDepth, ADeviceWithoutADepthBufferReadsBackEmpty) {
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    D3DPRESENT_PARAMETERS parameters = test_device::Windowed(m_window, D3DFMT_UNKNOWN);
    ASSERT_EQ(D3D_OK, m_device->Reset(&parameters));
    EXPECT_TRUE(Buffer().depth.empty());
    EXPECT_TRUE(platform::ReadDepthStencil(nullptr).stencil.empty());
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
}
