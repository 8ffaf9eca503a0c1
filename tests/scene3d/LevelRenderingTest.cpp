// Drawing of levels: textured groups read back in pixels, triangles culled against the view frustum as
// the draw record shows, effect passes, and failure roads that leave no vertex buffer behind.
#include "host/LevelMeshes.h"
#include "support/SceneFrameFixture.h"
#include "support/SceneScenes.h"

#include "platform/D3DXEffect.h"
#include "renderer/TestImages.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"

#include <cstring>
#include <fstream>

namespace {

constexpr int kColourTolerance = 3;

class LevelRendering : public SceneFrameFixture {
protected:
    void TearDown() override {
        while (m_scene != nullptr && !m_scene->Levels.empty()) {
            m_scene->DestroyLevel(m_scene->Levels.back());
        }
        SceneFrameFixture::TearDown();
    }

    /// Seen from the default camera (z = -10, towards the origin): group "a" lies behind the camera, group
    /// "b" holds a quad at z = 0 and a triangle with one corner in view and two far to the left.
    IOrvalen3DD3DLevelObject& BehindAndInFront() {
        LevelMesh mesh;
        mesh.AddWall(-1, 1, -30, 2, "a");
        mesh.AddWall(-1, 1, 0, 1, "b");
        const auto first = static_cast<std::int32_t>(mesh.vertices.size());
        mesh.vertices.emplace_back(0, 0, 0, 0, 0, -1, 0xFFFFFFFFu, 0, 0, 0, 0);
        mesh.vertices.emplace_back(-100, 0, 0, 0, 0, -1, 0xFFFFFFFFu, 0, 0, 0, 0);
        mesh.vertices.emplace_back(-100, 1, 0, 0, 0, -1, 0xFFFFFFFFu, 0, 0, 0, 0);
        mesh.parts["b"].insert(mesh.parts["b"].end(), {first, first + 1, first + 2});
        return *static_cast<IOrvalen3DD3DLevelObject*>(mesh.Build(*m_scene));
    }

    /// The first vertex of the one draw the level's Render hands the device.
    Vertex3D FirstVertexOfItsOnlyDraw(IOrvalen3DLevelObject* level) {
        platform::ClearCallTrace();
        Frame([&] { EXPECT_TRUE(level->Render()); });
        const std::vector<platform::DrawnPrimitives> draws = platform::DrawnPrimitiveCalls();
        Vertex3D sent{};
        EXPECT_EQ(1u, draws.size());
        if (!draws.empty()) {
            std::memcpy(&sent, draws[0].vertices.data(), sizeof sent);
        }
        return sent;
    }
};

} // namespace

TEST_F(LevelRendering, ATexturedCheckerFloorShowsItsTwoColoursWhereItsSquaresProject) {
    ASSERT_TRUE(test_images::Write("grass.png",
                                   test_images::Make(4, 4, [](UINT, UINT) { return 0xFF00FF00u; }),
                                   test_images::Format::Png));
    ASSERT_TRUE(test_images::Write("stone.png",
                                   test_images::Make(4, 4, [](UINT, UINT) { return 0xFF0000FFu; }),
                                   test_images::Format::Png));
    LevelMesh mesh;
    mesh.AddCheckerFloor(4, 5.0f, "grass", "stone");
    auto& level = *static_cast<IOrvalen3DD3DLevelObject*>(mesh.Build(*m_scene));
    EXPECT_FALSE(level.LoadTexture("sand", "grass.png", 0));
    ASSERT_TRUE(level.LoadTexture("grass", "stone.png", 0));
    // A second load replaces the first texture and lets it go.
    ASSERT_TRUE(level.LoadTexture("grass", "grass.png", 0));
    ASSERT_TRUE(level.LoadTexture("stone", "stone.png", 0));
    EXPECT_FALSE(level.LoadTexture("stone", "missing.png", 0));
    EXPECT_EQ(2, platform::LiveObjects("IDirect3DTexture9"));
    // Straight down onto the floor under a white light along the view: the texture times the white
    // vertex colour, whatever the (all zero) material says.
    ASSERT_TRUE(m_handle->SetCamera(0, 30, 0, 0, 0, 0, 0, 0, 1));
    ASSERT_TRUE(m_scene->CreateLight(0, 0));
    m_scene->SetLightDiffuse(1, 1, 1, 0);
    m_scene->SetDirection(0, -1, 0, 0);
    ASSERT_TRUE(m_scene->SetLight(0));
    Frame([&] { EXPECT_TRUE(level.Render()); });
    const platform::Image pixels = Pixels();
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const D3DXVECTOR3 at = ScreenOf(-7.5f + 5.0f * i, 0, -7.5f + 5.0f * j);
            const bool grass = (i + j) % 2 == 0;
            EXPECT_TRUE(Reads(pixels.At(static_cast<UINT>(at.x), static_cast<UINT>(at.y)), 0, grass ? 255 : 0,
                              grass ? 0 : 255, kColourTolerance))
                << i << ", " << j;
        }
    }
}

TEST_F(LevelRendering, GroupsBehindTheCameraSendNothingAndTrianglesReachingIntoViewGoWhole) {
    IOrvalen3DD3DLevelObject& level = BehindAndInFront();
    for (bool effect : {false, true}) {
        if (effect) {
            ASSERT_TRUE(m_handle->LoadShaderEffect(ORVALEN_TEST_DATA_DIR "/textured.fx", 1));
        }
        platform::ClearCallTrace();
        Frame([&] { EXPECT_TRUE(effect ? level.RenderWithEffect(1) : level.Render()) << effect; });
        const std::vector<platform::DrawnPrimitives> draws = platform::DrawnPrimitiveCalls();
        ASSERT_EQ(1u, draws.size()) << effect;
        ASSERT_EQ(3u, draws[0].primitiveCount);
        Vertex3D far;
        std::memcpy(&far, draws[0].vertices.data() + 7 * sizeof(Vertex3D), sizeof far);
        EXPECT_EQ(-100.0f, far.x);
    }
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DVertexBuffer9"));
}

TEST_F(LevelRendering, ACornerExactlyOnAFrustumPlaneCountsAsOutside) {
    // From the origin along +z through a frustum whose left plane is exactly x + z = 0.
    D3DXMatrixIdentity(&Renderer().ViewMatrix);
    D3DXMATRIX projection;
    projection(0, 0) = projection(1, 1) = projection(2, 2) = projection(2, 3) = 1;
    projection(3, 2) = -1;
    Renderer().ProjectionMatrix = projection;
    LevelMesh mesh;
    // Two corners left of the plane and one on it ("on"), or just inside it ("in").
    for (const float x : {-5.0f, -4.5f}) {
        const auto first = static_cast<std::int32_t>(mesh.vertices.size());
        mesh.vertices.emplace_back(x, 0, 5, 0, 0, -1, 0xFFFFFFFFu, 0, 0, 0, 0);
        mesh.vertices.emplace_back(-6, 1, 5, 0, 0, -1, 0xFFFFFFFFu, 0, 0, 0, 0);
        mesh.vertices.emplace_back(-6, -1, 5, 0, 0, -1, 0xFFFFFFFFu, 0, 0, 0, 0);
        mesh.parts[x == -5.0f ? "on" : "in"] = {first, first + 1, first + 2};
    }
    EXPECT_EQ(-4.5f, FirstVertexOfItsOnlyDraw(mesh.Build(*m_scene)).x);
}

TEST_F(LevelRendering, AWallJustPastTheFarPlaneIsNotSentAndOneJustInsideIs) {
    // From z = -10 towards the origin with the far plane 20 away: walls 20.5 and 19.5 along the view.
    ASSERT_TRUE(m_handle->SetProjection(D3DX_PI / 4, 1.0f, 20.0f));
    LevelMesh mesh;
    mesh.AddWall(-1, 1, 10.5f, 1, "beyond");
    mesh.AddWall(-1, 1, 9.5f, 1, "inside");
    EXPECT_EQ(9.5f, FirstVertexOfItsOnlyDraw(mesh.Build(*m_scene)).z);
}

TEST_F(LevelRendering, EachVisibleGroupIsDrawnOncePerPassAndRefusedEffectsDrawNothing) {
    IOrvalen3DD3DLevelObject& level = BehindAndInFront();
    std::ofstream("three.fx") << "technique Three { pass A { } pass B { } pass C { } }\n";
    ASSERT_TRUE(m_handle->LoadShaderEffect("three.fx", 4));
    ASSERT_TRUE(m_handle->SetShaderEffect(4, "Three"));
    platform::ClearCallTrace();
    Frame([&] { EXPECT_TRUE(level.Render()); });
    EXPECT_EQ(3u, platform::DrawnPrimitiveCalls().size());
    platform::ClearCallTrace();
    Frame([&] {
        EXPECT_FALSE(level.RenderWithEffect(8));
        EXPECT_FALSE(level.RenderWithEffect(5));
    });
    EXPECT_TRUE(platform::DrawnPrimitiveCalls().empty());
    ASSERT_TRUE(m_handle->EndShaderEffect(4));
}

TEST_F(LevelRendering, AFailedBufferLockOrDrawReturnsFalseAndLeavesNoBuffer) {
    IOrvalen3DD3DLevelObject& level = BehindAndInFront();
    for (const char* operation : {"IDirect3DDevice9::CreateVertexBuffer", "IDirect3DVertexBuffer9::Lock",
                                  "IDirect3DDevice9::DrawPrimitive"}) {
        platform::FailCall(operation);
        Frame([&] { EXPECT_FALSE(level.Render()) << operation; });
        EXPECT_EQ(nullptr, level.VertexBuffer);
        EXPECT_EQ(0, platform::LiveObjects("IDirect3DVertexBuffer9")) << operation;
    }
}

TEST_F(LevelRendering, ShadowsOfSceneObjectsFallOnTheLevelDrawnFirst) {
    // A 2 x 2 x 2 box 3 above the level floor, white light along (1, -1, 0): the shadow strip is
    // 1 <= x <= 5, |z| <= 1; lit floor reads 255 cos 45 from its white vertex colours, shadow 103.
    ASSERT_TRUE(m_handle->SetCamera(0, 30, 0, 0, 0, 0, 0, 0, 1));
    ASSERT_TRUE(m_scene->CreateLight(0, 0));
    m_scene->SetLightDiffuse(1, 1, 1, 0);
    m_scene->SetDirection(1, -1, 0, 0);
    ASSERT_TRUE(m_scene->SetLight(0));
    LevelMesh mesh;
    mesh.AddCheckerFloor(5, 4.0f, "grass", "stone");
    IOrvalen3DLevelObject* level = mesh.Build(*m_scene);
    IOrvalen3DD3DObject& caster = Implementation(m_scene->Cube(2, 2, 2));
    caster.SetCollisionMode(0);
    caster.SetPosition(0, 3, 0);
    caster.DrawFlag = 1;
    caster.ShadowFlag = 1;
    caster.BuildShadowVolume(1, -1, 0);
    Frame([&] {
        EXPECT_TRUE(level->Render());
        m_scene->Render();
    });
    const platform::Image pixels = Pixels();
    const auto at = [&](float x, float z) {
        const D3DXVECTOR3 screen = ScreenOf(x, 0, z);
        return pixels.At(static_cast<UINT>(screen.x), static_cast<UINT>(screen.y));
    };
    EXPECT_TRUE(Reads(at(4, 0), 103, 103, 103, kColourTolerance));
    EXPECT_TRUE(Reads(at(-3, 0), 180, 180, 180, kColourTolerance));
    EXPECT_TRUE(Reads(at(4, 3), 180, 180, 180, kColourTolerance));
}

TEST_F(LevelRendering, ALevelWhoseSceneIsGoneDrawsNothingWhileItsRendererLivesAndAfterIt) {
    LevelMesh mesh;
    mesh.AddWall(-5, 5, 0, 5, "wall");
    IOrvalen3DLevelObject* level = mesh.Build(*m_scene);
    level->SetMaterialEmissive("wall", 1, 1, 1);
    ASSERT_TRUE(m_handle->LoadShaderEffect(ORVALEN_TEST_DATA_DIR "/textured.fx", 1));
    level->SetRenderer(&m_handle);
    const D3DXVECTOR3 wall = ScreenOf(0, 1, 0);
    const auto wallPixel = [&] { return Pixels().At(static_cast<UINT>(wall.x), static_cast<UINT>(wall.y)); };
    Frame([&] { EXPECT_TRUE(level->Render()); });
    EXPECT_TRUE(Reads(wallPixel(), 255, 255, 255, kColourTolerance));
    ASSERT_EQ(1, m_handle->Create3DInterface()); // the level's scene goes with the old interface
    m_scene = static_cast<IOrvalen3DD3D*>(m_handle->Interface3D);
    // The renderer the level held before its scene went is neither drawn with nor read afterwards.
    Frame([&] {
        EXPECT_FALSE(level->Render());
        EXPECT_FALSE(level->RenderWithEffect(1));
    });
    EXPECT_TRUE(Reads(wallPixel(), 0, 0, 0, 0));
    ASSERT_EQ(1, DestroyOrvalenRenderer(&m_handle));
    m_scene = nullptr;
    EXPECT_FALSE(level->Render());
    EXPECT_FALSE(level->RenderWithEffect(1));
    // Nor does a renderer given after the scene went.
    ASSERT_EQ(1, CreateOrvalenRenderer(7, &m_handle));
    StartWithCamera();
    ASSERT_EQ(1, m_handle->Create3DInterface());
    m_scene = static_cast<IOrvalen3DD3D*>(m_handle->Interface3D);
    level->SetRenderer(&m_handle);
    Frame([&] { EXPECT_FALSE(level->Render()); });
    EXPECT_TRUE(Reads(wallPixel(), 0, 0, 0, 0));
    delete level;
}
