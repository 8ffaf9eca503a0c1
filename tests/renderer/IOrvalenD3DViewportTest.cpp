#include "support/RendererFixture.h"

#include <cmath>

namespace {

class IOrvalenD3DViewport : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        m_startLog = LogText();
    }

    /// What the log gained since start-up.
    std::string NewLog() const { return LogText().substr(m_startLog.size()); }
    D3DVIEWPORT9 DeviceViewport() { return *platform::DeviceViewport(Renderer().Device); }

    std::string m_startLog;
};

} // namespace

TEST_F(IOrvalenD3DViewport, CreatedViewportsBecomeCurrentAndReachTheDevice) {
    EXPECT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
    EXPECT_TRUE(m_handle->CreateViewport(10, 20, 410, 320));
    EXPECT_TRUE(m_handle->CreateViewport(400, 300, 800, 600));
    EXPECT_EQ(2, m_handle->GetCurrentViewport());
    EXPECT_EQ(3, m_handle->GetViewportCount());
    EXPECT_EQ("Creating Viewport...Viewport #0: <0, 0>, <800, 600>\nViewport Created\n"
              "Creating Viewport...Viewport #1: <10, 20>, <410, 320>\nViewport Created\n"
              "Creating Viewport...Viewport #2: <400, 300>, <800, 600>\nViewport Created\n",
              NewLog());
    D3DVIEWPORT9 viewport = DeviceViewport();
    EXPECT_EQ(400u, viewport.X);
    EXPECT_EQ(300u, viewport.Y);
    EXPECT_EQ(400u, viewport.Width);
    EXPECT_EQ(300u, viewport.Height);

    EXPECT_TRUE(m_handle->SelectViewport(1));
    EXPECT_EQ(1, m_handle->GetCurrentViewport());
    viewport = DeviceViewport();
    EXPECT_EQ(10u, viewport.X);
    EXPECT_EQ(20u, viewport.Y);
    EXPECT_EQ(400u, viewport.Width);
    EXPECT_EQ(300u, viewport.Height);
    EXPECT_EQ(0.0f, viewport.MinZ);
    EXPECT_EQ(1.0f, viewport.MaxZ);
}

TEST_F(IOrvalenD3DViewport, EighthViewportFailsAndClosesTheLog) {
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(m_handle->CreateViewport(i, i, 100 + i, 100 + i));
    }
    EXPECT_FALSE(m_handle->CreateViewport(0, 0, 10, 10));
    EXPECT_TRUE(NewLog().ends_with("Viewport Created\nCreating Viewport...ERROR: Already Maximum Number "
                                   "Created; Modify an Existing One\n"));
    EXPECT_EQ(nullptr, Renderer().LogFile);
    EXPECT_EQ(7, m_handle->GetViewportCount());
    // The seven stay usable, silently.
    const std::string closed = LogText();
    EXPECT_TRUE(m_handle->SelectViewport(6));
    EXPECT_EQ(106u, DeviceViewport().X + DeviceViewport().Width);
    EXPECT_TRUE(m_handle->SelectViewport(0));
    EXPECT_EQ(closed, LogText());
}

TEST_F(IOrvalenD3DViewport, UnknownIndexIsAHardFailure) {
    EXPECT_FALSE(m_handle->SelectViewport(7));
    EXPECT_EQ("Viewport #7 Doesn't Exist\n", NewLog());
    EXPECT_EQ(nullptr, Renderer().LogFile);

    ASSERT_EQ(1, StartWindowed());
    m_startLog = LogText();
    EXPECT_FALSE(m_handle->SetViewportRect(-1, 0, 0, 10, 10));
    EXPECT_EQ("Viewport #-1 Doesn't Exist\n", NewLog());
    EXPECT_EQ(nullptr, Renderer().LogFile);
    EXPECT_EQ(0, m_handle->GetViewportCount());
}

TEST_F(IOrvalenD3DViewport, SetViewportRectTakesEffectOnlyWhenSelected) {
    ASSERT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
    EXPECT_TRUE(m_handle->SetViewportRect(0, 100, 100, 200, 150));
    EXPECT_EQ(800u, DeviceViewport().Width);
    EXPECT_EQ(1, m_handle->GetViewportCount());
    EXPECT_TRUE(m_handle->SelectViewport(0));
    EXPECT_EQ(100u, DeviceViewport().Width);
    EXPECT_EQ(50u, DeviceViewport().Height);
    EXPECT_EQ(100u, Renderer().Viewport.X);
}

TEST_F(IOrvalenD3DViewport, DeviceRefusalHardOnCreateSoftOnSelect) {
    ASSERT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
    // A rectangle the back buffer cannot hold: selecting it only logs.
    EXPECT_TRUE(m_handle->SetViewportRect(1, 0, 0, 900, 600));
    EXPECT_FALSE(m_handle->SelectViewport(1));
    EXPECT_EQ("ERROR: Couldn't Set Viewport #1\n", NewLog().substr(NewLog().find("ERROR")));
    ASSERT_NE(nullptr, Renderer().LogFile);
    // Never-set entries are cleared: an empty rectangle, which the device refuses.
    EXPECT_FALSE(m_handle->SelectViewport(5));
    ASSERT_NE(nullptr, Renderer().LogFile);

    // Inverted or oversized at creation: the entry and count stay, and the log closes.
    EXPECT_FALSE(m_handle->CreateViewport(500, 0, 100, 600));
    EXPECT_TRUE(NewLog().ends_with("Viewport #1: <500, 0>, <100, 600>\nERROR: Couldn't Set Viewport\n"));
    EXPECT_EQ(nullptr, Renderer().LogFile);
    EXPECT_EQ(2, m_handle->GetViewportCount());
    EXPECT_EQ(800u, DeviceViewport().Width);
}

TEST_F(IOrvalenD3DViewport, ExtremeRectanglesAreRefusedWithoutOverflow) {
    EXPECT_FALSE(m_handle->CreateViewport(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
    EXPECT_EQ(1, m_handle->GetViewportCount());
}

TEST_F(IOrvalenD3DViewport, ProjectionTakesTheViewportAspect) {
    ASSERT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
    ASSERT_TRUE(m_handle->SetProjection(D3DX_PI / 3, 0.5f, 500.0f));
    D3DXMATRIX expected;
    D3DXMatrixPerspectiveFovLH(&expected, D3DX_PI / 3, 1.3333334f, 0.5f, 500.0f);
    EXPECT_EQ(expected, m_handle->GetProjectionMatrix());
    EXPECT_EQ(1.3333334f, m_handle->GetProjectionMatrix()(1, 1) / m_handle->GetProjectionMatrix()(0, 0));
    EXPECT_EQ(D3DXMATRIX(*platform::DeviceTransform(Renderer().Device, D3DTS_PROJECTION)), expected);
    EXPECT_EQ(500.0f, Renderer().FarPlane);

    // A tall viewport of 200 x 400: aspect 0.5.
    ASSERT_TRUE(m_handle->CreateViewport(0, 0, 200, 400));
    ASSERT_TRUE(m_handle->SetProjection(D3DX_PI / 2, 1.0f, 10.0f));
    EXPECT_NEAR(2.0f, m_handle->GetProjectionMatrix()(0, 0), 1e-6f);
    EXPECT_EQ("", NewLog().substr(NewLog().rfind('\n') + 1));
}

TEST_F(IOrvalenD3DViewport, RefusedTransformsLogAndKeepTheValues) {
    ASSERT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
    platform::InjectFault({"IDirect3DDevice9::SetTransform", 1, 1, D3DTS_PROJECTION, 0});
    EXPECT_FALSE(m_handle->SetProjection(1.0f, 2.0f, 300.0f));
    EXPECT_EQ(300.0f, Renderer().FarPlane);
    EXPECT_EQ(2.0f, m_handle->GetProjectionMatrix()(3, 2) / -m_handle->GetProjectionMatrix()(2, 2));

    platform::InjectFault({"IDirect3DDevice9::SetTransform", 1, 1, D3DTS_VIEW, 0});
    EXPECT_FALSE(m_handle->SetCamera(1, 2, 3, 4, 5, 6, 0, 1, 0));
    float position[3];
    m_handle->GetCamera(position, nullptr, nullptr);
    EXPECT_EQ(3.0f, position[2]);
    EXPECT_TRUE(
        NewLog().ends_with("ERROR: Couldn't Set Projection <1.00, 2.00, 300.00>\n"
                           "ERROR: Couldn't Set Camera Pos <1.00, 2.00, 3.00>, Target <4.00, 5.00, 6.00>, "
                           "Up <0.00, 1.00, 0.00>\n"));
    ASSERT_NE(nullptr, Renderer().LogFile); // neither closes the log
}

TEST_F(IOrvalenD3DViewport, ProjectionOfAnEmptyViewportIsRefusedNotNaN) {
    ASSERT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
    ASSERT_TRUE(m_handle->SetProjection(1.0f, 1.0f, 100.0f));
    const D3DXMATRIX before = m_handle->GetProjectionMatrix();
    EXPECT_FALSE(m_handle->SelectViewport(3)); // a cleared entry: 0 x 0, which the device refuses
    EXPECT_TRUE(m_handle->SetProjection(1.0f, 1.0f, 100.0f)) << "still on the 800 x 600 viewport";
    EXPECT_EQ(before, m_handle->GetProjectionMatrix());
    Renderer().Viewport.Height = 0;
    EXPECT_FALSE(m_handle->SetProjection(2.0f, 1.0f, 100.0f));
    EXPECT_EQ(before, m_handle->GetProjectionMatrix());
}

TEST_F(IOrvalenD3DViewport, AProjectionOfNoDepthNoAngleOrNoNumberIsRefusedNotInfinite) {
    ASSERT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
    ASSERT_TRUE(m_handle->SetProjection(1.0f, 1.0f, 100.0f));
    const D3DXMATRIX before = m_handle->GetProjectionMatrix();
    EXPECT_FALSE(m_handle->SetProjection(1.0f, 5.0f, 5.0f));
    EXPECT_FALSE(m_handle->SetProjection(0.0f, 1.0f, 100.0f));
    EXPECT_FALSE(m_handle->SetProjection(std::nanf(""), 1.0f, 100.0f));
    EXPECT_TRUE(NewLog().ends_with("ERROR: Couldn't Set Projection <1.00, 5.00, 5.00>\n"
                                   "ERROR: Couldn't Set Projection <0.00, 1.00, 100.00>\n"
                                   "ERROR: Couldn't Set Projection <nan, 1.00, 100.00>\n"));
    EXPECT_EQ(before, m_handle->GetProjectionMatrix());
    EXPECT_EQ(before, D3DXMATRIX(*platform::DeviceTransform(Renderer().Device, D3DTS_PROJECTION)));
    // Render targets take their projection from the values kept, which stay those of the one in use.
    EXPECT_EQ(1.0f, Renderer().FieldOfView);
    EXPECT_EQ(100.0f, Renderer().FarPlane);
}

TEST_F(IOrvalenD3DViewport, CameraBuildsTheLookAtViewAndGetCameraSkipsNullDestinations) {
    ASSERT_TRUE(m_handle->SetCamera(D3DXVECTOR3(0, 0, -10), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0)));
    EXPECT_EQ(D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1), m_handle->GetViewMatrix());
    EXPECT_EQ(m_handle->GetViewMatrix(),
              D3DXMATRIX(*platform::DeviceTransform(Renderer().Device, D3DTS_VIEW)));

    ASSERT_TRUE(m_handle->SetCamera(1, 2, 3, 4, 5, 6, 0, 0, 1));
    float target[3] = {-1, -1, -1};
    m_handle->GetCamera(nullptr, target, nullptr);
    EXPECT_EQ(4.0f, target[0]);
    EXPECT_EQ(5.0f, target[1]);
    EXPECT_EQ(6.0f, target[2]);
    float position[3], up[3];
    m_handle->GetCamera(position, nullptr, up);
    EXPECT_EQ(2.0f, position[1]);
    EXPECT_EQ(1.0f, up[2]);
    EXPECT_EQ(m_startLog, LogText()); // success writes nothing
}

TEST(IOrvalenD3DWithoutDevice, ViewportAndTransformsFailWithoutTouchingAnything) {
    IOrvalenRenderer* renderer = nullptr;
    ASSERT_EQ(1, CreateOrvalenRenderer(0, &renderer));
    EXPECT_FALSE(renderer->CreateViewport(0, 0, 10, 10));
    EXPECT_FALSE(renderer->SelectViewport(0));
    EXPECT_FALSE(renderer->SetProjection(1.0f, 1.0f, 10.0f));
    EXPECT_FALSE(renderer->SetCamera(0, 0, -1, 0, 0, 0, 0, 1, 0));
    for (int i = 0; i < 16; ++i) {
        EXPECT_FALSE(std::isnan(renderer->GetProjectionMatrix().m[i / 4][i % 4]));
    }
    DestroyOrvalenRenderer(&renderer);
}
