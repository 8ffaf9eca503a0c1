// Textured quads in both spaces: where they land and which texels they show, batches, regions and
// the two overlapping pieces of a split, and the device left ready for the primitive drawers on
// every road.
#include "TexturedRendererFixture.h"
#include "support/LitPixels.h"

#include <cmath>
#include <limits>

namespace {

constexpr float kPixelTolerance = 0.01f;

class IOrvalen2DD3DQuads : public TexturedRendererFixture {
protected:
    void SetUp() override {
        TexturedRendererFixture::SetUp();
        ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), kSlot));
        ASSERT_TRUE(m_handle->Clear(true, true, false, 0));
        ASSERT_TRUE(m_handle->StartRendering());
        m_2d->Begin2D();
        m_2d->ResetTransform();
        platform::ClearCallTrace();
    }

    void TearDown() override {
        m_handle->EndRendering();
        TexturedRendererFixture::TearDown();
    }

    /// The pixel positions and depths of the vertices of every textured draw since the trace was cleared.
    std::vector<std::vector<D3DXVECTOR3>> DrawnPixels() {
        std::vector<std::vector<D3DXVECTOR3>> draws;
        for (const platform::DrawnPrimitives& draw : platform::DrawnPrimitiveCalls()) {
            std::vector<D3DXVECTOR3> pixels;
            for (const TexturedVertex2D& vertex : Vertices(draw)) {
                pixels.push_back(Pixel({vertex.Position[0], vertex.Position[1], vertex.Position[2]}));
            }
            draws.push_back(pixels);
        }
        return draws;
    }

    /// The device is as the primitive drawers expect it: Vertex2D's format, no texture, world identity.
    void ExpectDeviceReadyFor2D() {
        DWORD fvf = 0;
        ASSERT_EQ(D3D_OK, Device()->GetFVF(&fvf));
        EXPECT_EQ(IOrvalen2DD3D::kVertexFormat, fvf);
        EXPECT_EQ(nullptr, Stage0());
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        const D3DMATRIX world = *platform::DeviceTransform(Device(), D3DTS_WORLD);
        EXPECT_EQ(0, std::memcmp(&identity, &world, sizeof world));
    }

    static constexpr std::int32_t kSlot = 2;
};

void ExpectPixel(float x, float y, const D3DXVECTOR3& pixel) {
    EXPECT_NEAR(x, pixel.x, kPixelTolerance);
    EXPECT_NEAR(y, pixel.y, kPixelTolerance);
}

} // namespace

TEST_F(IOrvalen2DD3DQuads, InScreenSpaceACornerQuadCoversItsPixelsWithTheTopLeftTexelFirst) {
    m_2d->SetScreenSpace(true);
    ASSERT_TRUE(m_2d->DrawTextureAt(100, 50, 64, 32, kSlot));
    const std::vector<std::vector<D3DXVECTOR3>> draws = DrawnPixels();
    ASSERT_EQ(1u, draws.size());
    ASSERT_EQ(4u, draws[0].size());
    ExpectPixel(100, 50, draws[0][0]);
    ExpectPixel(164, 50, draws[0][1]);
    ExpectPixel(100, 82, draws[0][2]);
    ExpectPixel(164, 82, draws[0][3]);
    for (const D3DXVECTOR3& corner : draws[0]) {
        EXPECT_NEAR(0.1f, corner.z, 1e-4f);
    }
    const platform::Image frame = Frame();
    const LitPixels lit = LitPixels::In(frame);
    EXPECT_EQ(64 * 32, lit.count);
    EXPECT_EQ(100, lit.left);
    EXPECT_EQ(50, lit.top);
    EXPECT_EQ(164, lit.right);
    EXPECT_EQ(82, lit.bottom);
    // A pixel on the quad's edge samples a texel's edge; one in from it, the corner texels.
    EXPECT_EQ(kRed, frame.At(101, 51));
    EXPECT_EQ(kGreen, frame.At(162, 51));
    EXPECT_EQ(kBlue, frame.At(101, 80));
    EXPECT_EQ(kWhite, frame.At(162, 80));
    ExpectDeviceReadyFor2D();
}

TEST_F(IOrvalen2DD3DQuads, InWorldSpaceACornerQuadRisesFromItsBottomLeftCorner) {
    ASSERT_TRUE(m_2d->DrawTextureAt(0, 0, 2, 2, kSlot));
    const D3DXVECTOR3 topLeft = Pixel({0, 2, 0.1f});
    const D3DXVECTOR3 bottomRight = Pixel({2, 0, 0.1f});
    const platform::Image frame = Frame();
    const LitPixels lit = LitPixels::In(frame);
    EXPECT_NEAR(topLeft.x, lit.left, 1.0f);
    EXPECT_NEAR(topLeft.y, lit.top, 1.0f);
    EXPECT_NEAR(bottomRight.x, lit.right, 1.0f);
    EXPECT_NEAR(bottomRight.y, lit.bottom, 1.0f);
    // The texture's top edge is at y = 2.
    const D3DXVECTOR3 nearTop = Pixel({0.25f, 1.75f, 0.1f});
    const D3DXVECTOR3 nearBottom = Pixel({1.75f, 0.25f, 0.1f});
    EXPECT_EQ(kRed, frame.At(static_cast<UINT>(nearTop.x), static_cast<UINT>(nearTop.y)));
    EXPECT_EQ(kWhite, frame.At(static_cast<UINT>(nearBottom.x), static_cast<UINT>(nearBottom.y)));
    ExpectDeviceReadyFor2D();
}

TEST_F(IOrvalen2DD3DQuads, AQuadIsPlacedByTheTransformAtItsDepthAndShowsItsRegion) {
    m_2d->SetScreenSpace(true);
    m_2d->Translate(400, 300, 0);
    ASSERT_TRUE(m_2d->DrawTexture(40, 20, 0.5f, kSlot));
    std::vector<std::vector<D3DXVECTOR3>> draws = DrawnPixels();
    ASSERT_EQ(1u, draws.size());
    ExpectPixel(380, 290, draws[0][0]);
    ExpectPixel(420, 310, draws[0][3]);
    EXPECT_NEAR(0.5f, draws[0][0].z, 1e-4f);

    // The left half of the texture over the whole quad: red above blue, no green or white.
    ASSERT_TRUE(m_handle->Clear(true, true, false, 0));
    m_2d->ResetTransform();
    m_2d->Translate(100, 100, 0.1f);
    ASSERT_TRUE(m_2d->DrawTextureRegion(64, 64, 0, 0, 0.5f, 1, kSlot));
    const platform::Image frame = Frame();
    EXPECT_EQ(kRed, frame.At(70, 70));
    EXPECT_EQ(kRed, frame.At(130, 70));
    EXPECT_EQ(kBlue, frame.At(70, 130));
    EXPECT_EQ(kBlue, frame.At(130, 130));
    const std::vector<TexturedVertex2D> region = Vertices(platform::DrawnPrimitiveCalls().back());
    EXPECT_EQ(0.5f, region[1].U);
    EXPECT_EQ(1.0f, region[3].V);
}

TEST_F(IOrvalen2DD3DQuads, AnEmptySlotDrawsTheQuadInItsColour) {
    m_2d->SetScreenSpace(true);
    m_2d->Colour = 0xFF00FFFFu;
    ASSERT_TRUE(m_2d->DrawTextureAt(10, 10, 8, 8, 500));
    EXPECT_EQ(0xFF00FFFFu, Frame().At(13, 13));
}

TEST_F(IOrvalen2DD3DQuads, AFailedQuadLeavesTheDeviceReadyForPrimitivesAndTheTransformAsItWas) {
    m_2d->SetScreenSpace(true);
    m_2d->Translate(7, 8, 0);
    const D3DXMATRIX before = m_2d->Transform;
    for (const char* operation : {"IDirect3DDevice9::DrawPrimitiveUP", "IDirect3DDevice9::SetTexture"}) {
        SCOPED_TRACE(operation);
        platform::FailCall(operation);
        EXPECT_FALSE(m_2d->DrawTextureAt(10, 10, 8, 8, kSlot));
        EXPECT_EQ(0, std::memcmp(&before, &m_2d->Transform, sizeof before));
        ExpectDeviceReadyFor2D();
    }
    m_2d->SetScreenSpace(false);
    platform::InjectFault({"IDirect3DDevice9::SetTransform", 1, 1, D3DTS_WORLD});
    EXPECT_FALSE(m_2d->DrawTexture(1, 1, kSlot));
    ExpectDeviceReadyFor2D();
    // The clean-up's own failure is reported too.
    platform::FailCall("IDirect3DDevice9::SetTexture", 2);
    EXPECT_FALSE(m_2d->DrawTexture(1, 1, kSlot));
    EXPECT_EQ("", NewLog());
}

TEST_F(IOrvalen2DD3DQuads, ABatchBindsOnceAndDrawsEachQuadAtItsCorner) {
    m_2d->SetScreenSpace(true);
    const float xs[] = {10, 100, 200};
    const float ys[] = {20, 30, 40};
    const float zs[] = {0.1f, 0.2f, 0.3f};
    ASSERT_TRUE(m_2d->DrawTextureBatch(xs, ys, zs, 0, 0, 0, 16, 16, 3, kSlot));
    EXPECT_EQ(2u, platform::CallsOf("IDirect3DDevice9::SetTexture").size()) << "bound and unbound once";
    const std::vector<std::vector<D3DXVECTOR3>> draws = DrawnPixels();
    ASSERT_EQ(3u, draws.size());
    for (std::size_t i = 0; i < 3; ++i) {
        ExpectPixel(xs[i], ys[i], draws[i][0]);
        ExpectPixel(xs[i] + 16, ys[i] + 16, draws[i][3]);
        EXPECT_NEAR(zs[i], draws[i][0].z, 1e-4f);
    }
    const platform::Image frame = Frame();
    EXPECT_EQ(kRed, frame.At(101, 31));
    EXPECT_EQ(kWhite, frame.At(214, 54));
    ExpectDeviceReadyFor2D();
    // The transform keeps the last quad's placement.
    D3DXMATRIX last;
    D3DXMatrixTranslation(&last, 208, 48, 0.3f);
    EXPECT_EQ(0, std::memcmp(&last, &m_2d->Transform, sizeof last));
}

TEST_F(IOrvalen2DD3DQuads, ABatchTurnsEveryQuadAboutItsOwnCentre) {
    m_2d->SetScreenSpace(true);
    const float xs[] = {100, 300};
    const float ys[] = {100, 100};
    const float zs[] = {0.1f, 0.1f};
    ASSERT_TRUE(m_2d->DrawTextureBatch(xs, ys, zs, 0, 0, D3DX_PI / 2, 64, 16, 2, kSlot));
    const platform::Image frame = Frame();
    // A 64 x 16 quad turned a quarter about its centre (132, 108) stands 16 wide and 64 high.
    const LitPixels first = LitPixels::In(frame, 0, 0, 200, 600);
    EXPECT_NEAR(124, first.left, 1);
    EXPECT_NEAR(140, first.right, 1);
    EXPECT_NEAR(76, first.top, 1);
    EXPECT_NEAR(140, first.bottom, 1);
    const LitPixels second = LitPixels::In(frame, 200, 0, 800, 600);
    EXPECT_NEAR(324, second.left, 1);
    EXPECT_NEAR(340, second.right, 1);
}

TEST_F(IOrvalen2DD3DQuads, AnEmptyBatchOnlyBindsAndUnbindsAndABatchWithoutPositionsIsRefused) {
    m_2d->Translate(3, 4, 5);
    const D3DXMATRIX before = m_2d->Transform;
    ASSERT_TRUE(m_2d->DrawTextureBatch(nullptr, nullptr, nullptr, 0, 0, 1, 8, 8, 0, kSlot));
    EXPECT_TRUE(platform::DrawnPrimitiveCalls().empty());
    EXPECT_EQ(2u, platform::CallsOf("IDirect3DDevice9::SetTexture").size());
    EXPECT_EQ(0, std::memcmp(&before, &m_2d->Transform, sizeof before));
    ExpectDeviceReadyFor2D();
    const float xs[] = {1};
    EXPECT_FALSE(m_2d->DrawTextureBatch(xs, nullptr, xs, 0, 0, 0, 8, 8, 1, kSlot));
    EXPECT_EQ("ERROR: DrawTextureBatch Failed - No Positions\n", NewLog());
}

TEST_F(IOrvalen2DD3DQuads, ASplitDrawsTwoOverlappingPiecesFromATruncatedSlot) {
    m_2d->SetScreenSpace(true);
    ASSERT_TRUE(m_2d->DrawTextureSplit(0.25f, 0, 0, 100, 10, 2.9f));
    const std::vector<platform::DrawnPrimitives> calls = platform::DrawnPrimitiveCalls();
    const std::vector<std::vector<D3DXVECTOR3>> draws = DrawnPixels();
    ASSERT_EQ(2u, draws.size());
    // First piece: x -12.5 to 62.5, u 0 to 0.75.
    ExpectPixel(-12.5f, 0, draws[0][0]);
    ExpectPixel(62.5f, 10, draws[0][3]);
    const std::vector<TexturedVertex2D> first = Vertices(calls[0]);
    EXPECT_EQ(0.0f, first[0].U);
    EXPECT_EQ(0.75f, first[1].U);
    // Second piece: x 37.5 to 62.5, u from 1 down to 0.75.
    ExpectPixel(37.5f, 0, draws[1][0]);
    ExpectPixel(62.5f, 10, draws[1][3]);
    const std::vector<TexturedVertex2D> second = Vertices(calls[1]);
    EXPECT_EQ(1.0f, second[0].U);
    EXPECT_EQ(0.75f, second[1].U);
    EXPECT_NEAR(0.1f, draws[1][0].z, 1e-4f);
    D3DXMATRIX last;
    D3DXMatrixTranslation(&last, 50, 5, 0.1f);
    EXPECT_EQ(0, std::memcmp(&last, &m_2d->Transform, sizeof last));

    // At fraction 0 the first piece is the whole texture and the second has no width.
    platform::ClearCallTrace();
    ASSERT_TRUE(m_2d->DrawTextureSplit(0, 200, 100, 40, 20, 2));
    const std::vector<std::vector<D3DXVECTOR3>> whole = DrawnPixels();
    ASSERT_EQ(2u, whole.size());
    ExpectPixel(200, 100, whole[0][0]);
    ExpectPixel(240, 120, whole[0][3]);
    EXPECT_NEAR(whole[1][0].x, whole[1][1].x, kPixelTolerance);
}

TEST_F(IOrvalen2DD3DQuads, ASplitRefusesASlotNumberThatNamesNoEntry) {
    EXPECT_FALSE(m_2d->DrawTextureSplit(0.5f, 0, 0, 10, 10, 1000.0f));
    EXPECT_FALSE(m_2d->DrawTextureSplit(0.5f, 0, 0, 10, 10, -1.0f));
    EXPECT_FALSE(m_2d->DrawTextureSplit(0.5f, 0, 0, 10, 10, std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(m_2d->DrawTextureSplit(0.5f, 0, 0, 10, 10, 3e9f));
    EXPECT_TRUE(platform::DrawnPrimitiveCalls().empty());
    EXPECT_EQ("ERROR: DrawTextureSplit Failed - Bad Index 1000\n"
              "ERROR: DrawTextureSplit Failed - Bad Index -1\n"
              "ERROR: DrawTextureSplit Failed - Bad Index nan\n"
              "ERROR: DrawTextureSplit Failed - Bad Index 3e+09\n",
              NewLog());
    EXPECT_TRUE(m_2d->DrawTextureSplit(0.5f, 0, 0, 10, 10, -0.5f)) << "truncates to slot 0";
}
