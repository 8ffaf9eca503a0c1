// A colour-keyed sprite drawn filtered under the alpha test, as the 2D quads draw it: keyed texels
// never show, and a quad's border pixels sample its own edge texels, not the opposite edge's, whether
// the quad is square to the screen or turned, with or without multisampling.
#include "TextureFixture.h"
#include "support/LitPixels.h"

#include <cmath>

namespace {

constexpr std::uint32_t kMagenta = 0xFFFF00FFu;

class KeyedSprite : public TextureFixture, public ::testing::WithParamInterface<D3DMULTISAMPLE_TYPE> {
protected:
    void SetUp() override {
        TextureFixture::SetUp();
        m_device->Release();
        D3DPRESENT_PARAMETERS parameters = test_device::Windowed(m_window);
        parameters.MultiSampleType = GetParam();
        ASSERT_EQ(D3D_OK, test_device::Create(m_direct3D, parameters, &m_device));
        const D3DMATRIX pixels = PixelProjection(kWidth, kHeight);
        m_device->SetTransform(D3DTS_PROJECTION, &pixels);
        m_device->SetFVF(kTexturedFormat);
        for (const auto& [state, value] : {std::pair{D3DRS_LIGHTING, DWORD{FALSE}},
                                           {D3DRS_CULLMODE, DWORD{D3DCULL_NONE}},
                                           {D3DRS_ALPHATESTENABLE, DWORD{TRUE}},
                                           {D3DRS_ALPHAREF, DWORD{1}},
                                           {D3DRS_ALPHAFUNC, DWORD{D3DCMP_GREATEREQUAL}}}) {
            ASSERT_EQ(D3D_OK, m_device->SetRenderState(state, value));
        }
        for (const D3DSAMPLERSTATETYPE filter : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER}) {
            ASSERT_EQ(D3D_OK, m_device->SetSamplerState(0, filter, D3DTEXF_LINEAR));
        }
        // 8 x 8 texels, magenta (keyed away) but for a green column along the left edge.
        const platform::Image image =
            test_images::Make(8, 8, [](UINT x, UINT) { return x == 0 ? kGreen : kMagenta; });
        m_texture = Load(WriteImage("keyed.png", image, test_images::Format::Png), D3DX_DEFAULT, kMagenta);
        ASSERT_NE(nullptr, m_texture);
        ASSERT_EQ(D3D_OK, m_device->SetTexture(0, m_texture));
    }

    void TearDown() override {
        if (m_texture != nullptr) {
            m_texture->Release();
        }
        TextureFixture::TearDown();
    }

    /// Draws the texture on a 32-pixel square about (24, 24) turned by `angle`, 4 pixels a texel, and
    /// returns the largest distance of a drawn pixel's centre from the square's left edge, in pixels.
    float FarthestFromTheGreenEdge(float angle) {
        const float c = std::cos(angle);
        const float s = std::sin(angle);
        TexturedVertex quad[4];
        const float corners[4][2] = {{-16, -16}, {16, -16}, {-16, 16}, {16, 16}};
        for (int i = 0; i < 4; ++i) {
            const float x = corners[i][0];
            const float y = corners[i][1];
            quad[i] = {24 + c * x - s * y,  24 + s * x + c * y, 0.5f, 0, 0, -1, 0xFFFFFFFFu,
                       x < 0 ? 0.0f : 1.0f, y < 0 ? 0.0f : 1.0f};
        }
        EXPECT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
        EXPECT_EQ(D3D_OK, m_device->BeginScene());
        EXPECT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex)));
        EXPECT_EQ(D3D_OK, m_device->EndScene());
        const platform::Image frame = Frame();
        float farthest = 0.0f;
        for (UINT y = 0; y < kHeight; ++y) {
            for (UINT x = 0; x < kWidth; ++x) {
                if ((frame.At(x, y) & 0xFFFFFFu) != 0) {
                    // The left edge runs through (24 - 16 c, 24 - 16 s) along (-s, c).
                    const float dx = static_cast<float>(x) - 24.0f;
                    const float dy = static_cast<float>(y) - 24.0f;
                    farthest = std::max(farthest, dx * c + dy * s + 16.0f);
                }
            }
        }
        return farthest;
    }

    IDirect3DTexture9* m_texture = nullptr;
};

/// The green texel's own 4 pixels and the 4 over which filtering fades it out, plus the border pixel.
constexpr float kGreenReach = 4.0f + 4.0f + 1.0f;

} // namespace

TEST_P(KeyedSprite, OnlyTheOpaqueEdgeShowsAndItShowsItsOwnColour) {
    EXPECT_GT(kGreenReach, FarthestFromTheGreenEdge(0.0f));
    const platform::Image frame = Frame();
    // Pixel 9 lies a quarter texel in: wrapping would blend a quarter of the keyed far edge into it.
    EXPECT_EQ(kGreen, frame.At(9, 24)) << "the border samples the green texels alone";
    EXPECT_EQ(kGreen, frame.At(9, 9));
    const LitPixels lit = LitPixels::In(frame);
    EXPECT_EQ(8, lit.left);
    EXPECT_EQ(8, lit.top);
    EXPECT_GE(41, lit.bottom) << "a multisampled border pixel at most";
    for (const float angle : {0.3f, 0.6f, -0.4f}) {
        SCOPED_TRACE(angle);
        EXPECT_GT(kGreenReach, FarthestFromTheGreenEdge(angle));
    }
}

INSTANTIATE_TEST_SUITE_P(Sampling, KeyedSprite,
                         ::testing::Values(D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_4_SAMPLES));
