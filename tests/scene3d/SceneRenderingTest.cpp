// The scene's frame: marked objects drawn, stencil shadow volumes counted and darkened, and the
// renderer's states given back, checked against the closed form of a box's shadow on a floor.
#include "support/SceneFrameFixture.h"

#include <cmath>
#include <fstream>

namespace {

constexpr int kShadowTolerance = 2;
constexpr float kEdgePixels = 2.0f;

/// A 20 x 1 x 20 floor with its top at y = 0 and a 2 x 2 x 2 box centred 3 above it, both static, lit
/// white along (1, -1, 0) and seen from 30 above: the box's shadow is the strip 1 <= x <= 5, |z| <= 1.
class SceneRenderingTest : public SceneFrameFixture {
protected:
    void BuildShadowScene(float nearPlane, bool bodylessCaster) {
        ASSERT_TRUE(m_handle->SetProjection(D3DX_PI / 4, nearPlane, 100.0f));
        ASSERT_TRUE(m_handle->SetCamera(0, 30, 0, 0, 0, 0, 0, 0, 1));
        ASSERT_TRUE(m_scene->CreateLight(0, 0));
        m_scene->SetLightDiffuse(1, 1, 1, 0);
        m_scene->SetDirection(1, -1, 0, 0);
        ASSERT_TRUE(m_scene->SetLight(0));
        m_floor = &Implementation(m_scene->Cube(20, 1, 20));
        m_floor->SetCollisionMode(0);
        m_floor->SetPosition(0, -0.5f, 0);
        m_caster = &Implementation(m_scene->Cube(2, 2, 2, bodylessCaster));
        if (!bodylessCaster) {
            m_caster->SetCollisionMode(0);
        }
        m_caster->SetPosition(0, 3, 0);
    }

    void RenderShadowFrame() {
        m_floor->DrawFlag = 1;
        m_caster->DrawFlag = 1;
        m_caster->ShadowFlag = 1;
        m_caster->BuildShadowVolume(1, -1, 0);
        Frame([&] { m_scene->Render(); });
    }

    std::uint32_t PixelOf(const platform::Image& image, float x, float z) {
        const D3DXVECTOR3 screen = ScreenOf(x, 0, z);
        return image.At(static_cast<UINT>(screen.x), static_cast<UINT>(screen.y));
    }
    int StencilOf(const platform::DepthStencilImage& image, float x, float z) {
        const D3DXVECTOR3 screen = ScreenOf(x, 0, z);
        return image.StencilAt(static_cast<UINT>(screen.x), static_cast<UINT>(screen.y));
    }

    /// Checks the strip's colours, counts and visible edges in the frame just drawn.
    void ExpectTheStripShadow() {
        const platform::Image image = Pixels();
        const platform::DepthStencilImage depthStencil = DepthStencil();
        EXPECT_TRUE(Reads(PixelOf(image, 4, 0), 103, 103, 103, kShadowTolerance));
        EXPECT_EQ(1, StencilOf(depthStencil, 4, 0));
        for (const auto& [x, z] : {std::pair{-3.0f, 0.0f}, std::pair{4.0f, 3.0f}}) {
            EXPECT_TRUE(Reads(PixelOf(image, x, z), 180, 180, 180, kShadowTolerance)) << x << ", " << z;
            EXPECT_EQ(0, StencilOf(depthStencil, x, z));
        }
        // Walk from inside the strip across each visible edge; the first lit pixel lies on the edge.
        const D3DXVECTOR3 inside = ScreenOf(4, 0, 0);
        const auto firstLit = [&](int dx, int dy) {
            int x = static_cast<int>(inside.x), y = static_cast<int>(inside.y);
            while (x > 0 && y > 0 && x + 1 < int(image.width) && y + 1 < int(image.height) &&
                   Channel(image.At(UINT(x), UINT(y)), 16) < 150) {
                x += dx;
                y += dy;
            }
            return D3DXVECTOR3(float(x), float(y), 0);
        };
        const D3DXVECTOR3 edgeX = ScreenOf(5, 0, 0), edgeZ = ScreenOf(4, 0, 1), edgeMinusZ = ScreenOf(4, 0, -1);
        const int dx = edgeX.x > inside.x ? 1 : -1;
        EXPECT_NEAR(edgeX.x, firstLit(dx, 0).x, kEdgePixels);
        const int dz = edgeZ.y > inside.y ? 1 : -1;
        EXPECT_NEAR(edgeZ.y, firstLit(0, dz).y, kEdgePixels);
        EXPECT_NEAR(edgeMinusZ.y, firstLit(0, -dz).y, kEdgePixels);
    }

    IOrvalen3DD3DObject* m_floor = nullptr;
    IOrvalen3DD3DObject* m_caster = nullptr;
};

} // namespace

TEST_F(SceneRenderingTest, ABoxShadowsTheStripOfItsClosedFormWithEitherNearPlane) {
    for (const float nearPlane : {0.1f, 1.0f}) {
        SCOPED_TRACE(nearPlane);
        m_scene->ResetWorld();
        m_scene->DestroyLight(0);
        BuildShadowScene(nearPlane, false);
        RenderShadowFrame();
        ExpectTheStripShadow();
        EXPECT_EQ(0, m_caster->ShadowFlag) << "consumed";
    }
}

TEST_F(SceneRenderingTest, ABodylessCasterPlacedByItsMatrixCastsTheSameShadow) {
    BuildShadowScene(1.0f, true);
    RenderShadowFrame();
    ExpectTheStripShadow();
}

TEST_F(SceneRenderingTest, VolumesWriteNoDepthAndAnUnmarkedObjectIsNeitherDrawnNorShadowed) {
    BuildShadowScene(1.0f, false);
    m_caster->ShadowFlag = 0;
    m_floor->DrawFlag = m_caster->DrawFlag = 1;
    Frame([&] { m_scene->Render(); });
    const std::vector<float> unshadowedDepth = DepthStencil().depth;
    RenderShadowFrame();
    EXPECT_TRUE(unshadowedDepth == DepthStencil().depth);

    m_floor->DrawFlag = 1;
    m_caster->ShadowFlag = 1;
    Frame([&] { m_scene->Render(); });
    EXPECT_TRUE(Reads(PixelOf(Pixels(), 4, 0), 180, 180, 180, kShadowTolerance));
    EXPECT_TRUE(Reads(PixelOf(Pixels(), 0, 0), 180, 180, 180, kShadowTolerance)) << "the box was not drawn";
    EXPECT_EQ(1, m_caster->ShadowFlag);
}

TEST_F(SceneRenderingTest, WithoutStencilOnlyTheObjectsAreDrawn) {
    BuildShadowScene(1.0f, false);
    Renderer().UseStencil = false;
    platform::ClearCallTrace();
    RenderShadowFrame();
    Renderer().UseStencil = true;
    EXPECT_EQ(2u, platform::DrawnPrimitiveCalls().size());
    EXPECT_TRUE(Reads(PixelOf(Pixels(), 4, 0), 180, 180, 180, kShadowTolerance));
    EXPECT_EQ(1, m_caster->ShadowFlag);
}

TEST_F(SceneRenderingTest, TheRenderersCachedStatesComeBackInsideAndOutsideTheFrameWithAnEffectActive) {
    BuildShadowScene(1.0f, false);
    m_handle->SetCullMode(0);
    m_handle->SetShadeMode(2);
    m_handle->SetZBuffer(false);
    std::ofstream("plain.fx") << "technique Plain { pass P { } }\n";
    ASSERT_TRUE(m_handle->LoadShaderEffect("plain.fx", 0));
    for (const bool effect : {false, true}) {
        if (effect) {
            ASSERT_TRUE(m_handle->SetShaderEffect(0, "Plain"));
        }
        RenderShadowFrame();
        m_scene->Render(); // outside the host's frame: every draw refused
        EXPECT_EQ(0, m_handle->GetCullMode());
        EXPECT_EQ(2, Renderer().ShadeMode);
        EXPECT_FALSE(m_handle->GetZBuffer());
        EXPECT_TRUE(m_handle->GetLighting());
        DWORD value = 0;
        Renderer().Device->GetRenderState(D3DRS_STENCILENABLE, &value);
        EXPECT_EQ(0u, value);
        Renderer().Device->GetRenderState(D3DRS_LIGHTING, &value);
        EXPECT_EQ(1u, value);
        Renderer().Device->GetRenderState(D3DRS_SHADEMODE, &value);
        EXPECT_EQ(3u, value) << "Phong, not the effect's 9";
    }
    ASSERT_TRUE(m_handle->EndShaderEffect(0));
}
