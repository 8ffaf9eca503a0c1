// Drawing into a render target of the 2D interface between frames and showing it as a quad; the
// projection while drawing into it; and every way the two operations refuse.
#include "TexturedRendererFixture.h"

#include <functional>

namespace {

constexpr std::int32_t kTarget = 3;

class IOrvalenD3DRenderToTexture : public TexturedRendererFixture {
protected:
    void SetUp() override {
        TexturedRendererFixture::SetUp();
        ASSERT_TRUE(m_2d->CreateRenderTarget(64, 64, 0, kTarget));
        m_startLog = LogText();
    }

    static bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }

    D3DMATRIX DeviceProjection() { return *platform::DeviceTransform(Device(), D3DTS_PROJECTION); }
};

} // namespace

TEST_F(IOrvalenD3DRenderToTexture, APictureDrawnIntoATargetIsDrawnBackAsAQuad) {
    ASSERT_TRUE(m_handle->StartRenderToTexture(kTarget));
    EXPECT_TRUE(SameMatrix(m_2d->Textures[kTarget].Projection, m_handle->GetProjectionMatrix()));
    EXPECT_TRUE(SameMatrix(m_2d->Textures[kTarget].Projection, DeviceProjection()));
    ASSERT_TRUE(m_handle->Clear(true, true, false, kRed));
    ASSERT_TRUE(m_handle->EndRenderToTexture(kTarget));
    EXPECT_TRUE(SameMatrix(Renderer().ProjectionMatrix, m_handle->GetProjectionMatrix()));
    EXPECT_TRUE(SameMatrix(Renderer().ProjectionMatrix, DeviceProjection()));
    EXPECT_EQ(nullptr, Renderer().RenderTargetProjection);
    EXPECT_EQ(kBlack, Frame().At(0, 0)) << "the back buffer was not drawn into";

    ASSERT_TRUE(m_handle->StartRendering());
    m_2d->Begin2D();
    m_2d->SetScreenSpace(true);
    ASSERT_TRUE(m_2d->DrawTextureAt(10, 10, 64, 64, kTarget));
    ASSERT_TRUE(m_handle->EndRendering());
    const platform::Image frame = Frame();
    EXPECT_EQ(kRed, frame.At(40, 40));
    EXPECT_EQ(kBlack, frame.At(100, 100));
    EXPECT_EQ("", NewLog());
}

TEST_F(IOrvalenD3DRenderToTexture, QuadsDrawnIntoATargetLandInItsPixels) {
    ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), 1));
    ASSERT_TRUE(m_handle->StartRenderToTexture(kTarget));
    ASSERT_TRUE(m_handle->Clear(true, true, false, kBlack));
    m_2d->Begin2D();
    m_2d->SetScreenSpace(false);
    // A quad as large as the target's view at the depth of the camera's distance: the camera is at
    // z = -10 with a quarter-turn field of view, so the view is 2 * 10 * tan(pi / 8) across.
    const float side = 20.0f * std::tan(D3DX_PI / 8.0f);
    m_2d->ResetTransform();
    ASSERT_TRUE(m_2d->DrawTexture(side, side, 1));
    ASSERT_TRUE(m_handle->EndRenderToTexture(kTarget));
    const platform::Image picture = platform::ReadTextureLevel(m_2d->Textures[kTarget].Texture, 0);
    EXPECT_EQ(kRed, picture.At(8, 8));
    EXPECT_EQ(kGreen, picture.At(56, 8));
    EXPECT_EQ(kBlue, picture.At(8, 56));
    EXPECT_EQ(kWhite, picture.At(56, 56));
}

TEST_F(IOrvalenD3DRenderToTexture, OnlyRenderTargetsOfAnExisting2DInterfaceCanBeDrawnInto) {
    ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), 1));
    EXPECT_FALSE(m_handle->StartRenderToTexture(1));
    EXPECT_FALSE(m_handle->EndRenderToTexture(1));
    EXPECT_FALSE(m_handle->StartRenderToTexture(1000));
    EXPECT_FALSE(m_handle->EndRenderToTexture(-1));
    m_handle->Destroy2DInterface();
    EXPECT_FALSE(m_handle->StartRenderToTexture(kTarget));
    EXPECT_FALSE(m_handle->EndRenderToTexture(kTarget));
    EXPECT_EQ("ERROR: StartRenderToTexture Failed - Not A Valid RenderTarget\n"
              "ERROR: EndRenderToTexture Failed - Not A Valid RenderTarget\n"
              "ERROR: StartRenderToTexture Failed - Bad Index 1000\n"
              "ERROR: EndRenderToTexture Failed - Bad Index -1\n"
              "Destroying 2D Interface...\n"
              "ERROR: StartRenderToTexture Failed - No 2D Interface\n"
              "ERROR: EndRenderToTexture Failed - No 2D Interface\n",
              NewLog());
}

TEST_F(IOrvalenD3DRenderToTexture, AStartInsideAFrameIsRefusedAndPutsTheProjectionBack) {
    ASSERT_TRUE(m_handle->StartRendering());
    EXPECT_FALSE(m_handle->StartRenderToTexture(kTarget));
    EXPECT_EQ(nullptr, Renderer().RenderTargetProjection);
    EXPECT_TRUE(SameMatrix(Renderer().ProjectionMatrix, DeviceProjection()));
    EXPECT_EQ(800u, platform::DeviceViewport(Device())->Width) << "still drawing into the back buffer";
    ASSERT_TRUE(m_handle->EndRendering());
    EXPECT_EQ("ERROR: StartRenderToTexture Failed - Couldn't Begin Scene\n", NewLog());
}

TEST_F(IOrvalenD3DRenderToTexture, ARefusedStartLeavesTheTargetBeingDrawnIntoOpen) {
    constexpr std::int32_t kWide = 4;
    ASSERT_TRUE(m_2d->CreateRenderTarget(32, 16, 0, kWide));
    ASSERT_TRUE(m_handle->StartRenderToTexture(kTarget));
    EXPECT_FALSE(m_handle->StartRenderToTexture(kWide));
    EXPECT_FALSE(m_handle->StartRenderToTexture(kTarget));
    EXPECT_TRUE(SameMatrix(m_2d->Textures[kTarget].Projection, m_handle->GetProjectionMatrix()));
    EXPECT_TRUE(SameMatrix(m_2d->Textures[kTarget].Projection, DeviceProjection()));
    ASSERT_TRUE(m_handle->Clear(true, true, false, kRed));
    EXPECT_TRUE(m_handle->EndRenderToTexture(kTarget));
    EXPECT_EQ(kRed, platform::ReadTextureLevel(m_2d->Textures[kTarget].Texture, 0).At(5, 5));
    EXPECT_TRUE(SameMatrix(Renderer().ProjectionMatrix, DeviceProjection()));
    EXPECT_TRUE(m_handle->StartRendering()) << "the device is outside any scene";
    EXPECT_TRUE(m_handle->EndRendering());
}

TEST_F(IOrvalenD3DRenderToTexture, EmptyingTheTargetBeingDrawnIntoEndsTheDrawing) {
    const std::function<void()> destroy = [this] { m_2d->DestroyRenderTarget(kTarget); };
    const std::function<void()> remake = [this] { ASSERT_TRUE(m_2d->CreateRenderTarget(64, 64, 0, kTarget)); };
    const std::function<void()> load = [this] { ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), kTarget)); };
    for (const std::function<void()>& empty : {destroy, remake, load}) {
        remake();
        ASSERT_TRUE(m_handle->StartRenderToTexture(kTarget));
        empty();
        EXPECT_EQ(nullptr, Renderer().RenderTargetProjection);
        EXPECT_TRUE(SameMatrix(Renderer().ProjectionMatrix, m_handle->GetProjectionMatrix()));
        EXPECT_TRUE(SameMatrix(Renderer().ProjectionMatrix, DeviceProjection()));
        EXPECT_TRUE(m_handle->StartRendering()) << "the device is outside any scene";
        EXPECT_TRUE(m_handle->EndRendering());
    }
    remake();
    EXPECT_TRUE(m_handle->StartRenderToTexture(kTarget));
    EXPECT_TRUE(m_handle->EndRenderToTexture(kTarget));
}

TEST_F(IOrvalenD3DRenderToTexture, ProjectionFailuresAreLogged) {
    platform::InjectFault({"IDirect3DDevice9::SetTransform", 1, 1, D3DTS_PROJECTION});
    EXPECT_FALSE(m_handle->StartRenderToTexture(kTarget));
    EXPECT_EQ(nullptr, Renderer().RenderTargetProjection);
    ASSERT_TRUE(m_handle->StartRenderToTexture(kTarget));
    platform::InjectFault({"IDirect3DDevice9::SetTransform", 1, 1, D3DTS_PROJECTION});
    EXPECT_FALSE(m_handle->EndRenderToTexture(kTarget));
    EXPECT_EQ(&m_2d->Textures[kTarget].Projection, Renderer().RenderTargetProjection) << "stays set";
    EXPECT_EQ(800u, platform::DeviceViewport(Device())->Width) << "the scene into the target did end";
    EXPECT_EQ("ERROR: StartRenderToTexture Failed - Couldn't Set Projection\n"
              "ERROR: EndRenderToTexture Failed - Couldn't Reset Projection\n",
              NewLog());
    ASSERT_TRUE(m_handle->SetProjection(D3DX_PI / 4, 1.0f, 1000.0f));
}

TEST_F(IOrvalenD3DRenderToTexture, DestroyingThe2DInterfaceWhileDrawingIntoATargetEndsIt) {
    ASSERT_TRUE(m_handle->StartRenderToTexture(kTarget));
    m_handle->Destroy2DInterface();
    EXPECT_EQ(nullptr, Renderer().RenderTargetProjection);
    EXPECT_TRUE(SameMatrix(Renderer().ProjectionMatrix, m_handle->GetProjectionMatrix()));
    EXPECT_EQ(800u, platform::DeviceViewport(Device())->Width);
    EXPECT_TRUE(m_handle->StartRendering()) << "the device is outside any scene";
    EXPECT_TRUE(m_handle->EndRendering());
    EXPECT_EQ(0, platform::LiveObjects("ID3DXRenderToSurface"));
}

TEST_F(IOrvalenD3DRenderToTexture, ARenderTargetOutlivesAResetUnlessTheRuntimeIsStrict) {
    ASSERT_TRUE(m_handle->StartRenderToTexture(kTarget));
    ASSERT_TRUE(m_handle->Clear(true, true, false, kRed));
    ASSERT_TRUE(m_handle->EndRenderToTexture(kTarget));
    ASSERT_TRUE(platform::SetDeviceLoss(Device(), platform::DeviceLoss::NotReset));
    ASSERT_TRUE(m_handle->CheckDevice());
    EXPECT_EQ(kRed, platform::ReadTextureLevel(m_2d->Textures[kTarget].Texture, 0).At(5, 5));

    // A runtime that refuses resets while default-pool resources live waits for the host to let go.
    platform::AdapterConfiguration strict = platform::DefaultAdapter();
    strict.resetRefusesDefaultPool = true;
    platform::ConfigureAdapter(strict);
    ASSERT_TRUE(platform::SetDeviceLoss(Device(), platform::DeviceLoss::NotReset));
    const std::string before = LogText();
    EXPECT_FALSE(m_handle->CheckDevice());
    m_2d->DestroyRenderTarget(kTarget);
    EXPECT_TRUE(m_handle->CheckDevice());
    EXPECT_EQ("D3D9 Device Not Reset; Resetting...\n"
              "ERROR: CheckDevice Failed - Couldn't Reset Device\n"
              "D3D9 Device Not Reset; Resetting...\n"
              "D3D9 Device Successfully Reset\n",
              LogText().substr(before.size()));
}

TEST_F(IOrvalenD3DRenderToTexture, AnEndWithNoSceneOrAFailingEndSceneIsRefusedAndLeaksNothing) {
    EXPECT_FALSE(m_handle->EndRenderToTexture(kTarget));
    platform::FailCall("ID3DXRenderToSurface::BeginScene");
    EXPECT_FALSE(m_handle->StartRenderToTexture(kTarget));
    EXPECT_FALSE(m_handle->EndRenderToTexture(kTarget));
    ASSERT_TRUE(m_handle->StartRenderToTexture(kTarget));
    platform::InjectFault({"ID3DXRenderToSurface::EndScene", 1, 0, std::nullopt, 0});
    EXPECT_FALSE(m_handle->EndRenderToTexture(kTarget));
    EXPECT_EQ(&m_2d->Textures[kTarget].Projection, Renderer().RenderTargetProjection) << "still drawing into it";
    EXPECT_EQ("ERROR: EndRenderToTexture Failed - Not Rendering To Texture\n"
              "ERROR: StartRenderToTexture Failed - Couldn't Begin Scene\n"
              "ERROR: EndRenderToTexture Failed - Not Rendering To Texture\n"
              "ERROR: EndRenderToTexture Failed - Couldn't End Scene\n",
              NewLog());
    // The fault stays while the fixture destroys the renderer and counts the objects left alive.
}
