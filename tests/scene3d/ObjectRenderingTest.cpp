// Drawing of the 3D object: lit pixels against closed forms, the effect road, blended groups, failure
// roads that leave no vertex buffer behind, and the world matrix of each draw.
#include "support/SceneFrameFixture.h"

#include "physics/api/dgApi.h"
#include "platform/D3DXEffect.h"
#include "renderer/TestImages.h"
#include "scene3d/GroupDrawing.h"
#include "scene3d/Matrix4.h"

#include <cstring>
#include <fstream>

namespace {

constexpr int kColourTolerance = 3;

class ObjectRenderingTest : public SceneFrameFixture {
protected:
    /// A 2 x 2 x 2 box at the origin seen face on from z = -16, lit by a red light at 45 degrees to face 0.
    IOrvalen3DD3DObject& LitBox() {
        EXPECT_TRUE(m_handle->SetCamera(0, 0, -16, 0, 0, 0, 0, 1, 0));
        EXPECT_TRUE(m_scene->CreateLight(0, 0));
        m_scene->SetLightDiffuse(1, 0, 0, 0);
        m_scene->SetDirection(1, 0, 1, 0);
        EXPECT_TRUE(m_scene->SetLight(0));
        return Implementation(m_scene->Cube(2, 2, 2));
    }

    std::uint32_t CentreAfterDrawing(IOrvalen3DD3DObject& object) {
        Frame([&] { EXPECT_TRUE(object.Render()); });
        return Pixels().At(400, 300);
    }

    /// Splits the box's 12 triangles into two groups: `first` (6) and `second` (6).
    static void SplitIntoTwoGroups(IOrvalen3DD3DObject& box, const char* first, const char* second) {
        box.Materials.reset(new D3DMATERIAL9[2]());
        box.TriangleCounts.reset(new std::int32_t[2]{6, 6});
        box.IndexLists[1].reset(new std::uint32_t[18]);
        std::memcpy(box.IndexLists[1].get(), box.IndexLists[0].get() + 18, 18 * sizeof(std::uint32_t));
        box.UseTexCoords.reset(new bool[2]());
        box.MaterialNames[1] = new char[IOrvalen3DD3DObject::kNameBytes]();
        std::strcpy(box.MaterialNames[0], first);
        std::strcpy(box.MaterialNames[1], second);
        box.MaterialCount = 2;
    }
};

} // namespace

TEST(Matrix4, ProductsAndTransposeFollowTheRowByRowLayout) {
    Matrix4 m;
    for (int i = 0; i < 16; ++i) {
        m.m[i] = static_cast<float>(i * i - 7);
    }
    Matrix4 n;
    n(0, 3) = 2.0f;
    n(2, 1) = -3.0f;
    EXPECT_EQ(0, std::memcmp(m.m, (Matrix4() * m).m, sizeof m.m));
    EXPECT_EQ(0, std::memcmp(m.m, m.Transpose().Transpose().m, sizeof m.m));
    EXPECT_EQ(m(3, 1), m.Transpose()(1, 3));
    const D3DXMATRIX expected = m.ToD3DX() * n.ToD3DX();
    EXPECT_TRUE(expected == (m * n).ToD3DX());
}

TEST_F(ObjectRenderingTest, LitBoxFaceReadsTheLightsClosedForm) {
    IOrvalen3DD3DObject& box = LitBox();
    // 255 cos 45 from the white vertex colour, the diffuse source whatever the material says.
    EXPECT_TRUE(Reads(CentreAfterDrawing(box), 180, 0, 0, kColourTolerance));
    box.SetMaterialEmissive("default", 0, 0.5f, 0);
    EXPECT_TRUE(Reads(CentreAfterDrawing(box), 180, 128, 0, kColourTolerance));
    box.SetMaterialEmissive("default", 0, 0, 0);
    // Range fog from 10 to 20: the face's corners lie sqrt(227) from the eye, 0.493 of the way to clear.
    ASSERT_TRUE(m_handle->SetFog(true, 1, 10, 20, 0, 0xFF0000FFu));
    EXPECT_TRUE(Reads(CentreAfterDrawing(box), 89, 0, 129, kColourTolerance));
    ASSERT_TRUE(m_handle->SetFog(false, 1, 10, 20, 0, 0));
    // Light from behind: no ambient or emissive term is left.
    m_scene->SetDirection(0, 0, -1, 0);
    ASSERT_TRUE(m_scene->SetLight(0));
    EXPECT_TRUE(Reads(CentreAfterDrawing(box), 0, 0, 0, 0));
    EXPECT_EQ(0, box.DrawFlag);
}

TEST_F(ObjectRenderingTest, EachGroupIsDrawnOncePerPassOfTheCurrentEffectAndAnEmptyObjectDrawsNothing) {
    std::ofstream("three.fx") << "technique Three { pass A { Lighting = TRUE; } pass B { } pass C { } }\n";
    ASSERT_TRUE(m_handle->LoadShaderEffect("three.fx", 4));
    ASSERT_TRUE(m_handle->SetShaderEffect(4, "Three"));
    IOrvalen3DD3DObject& box = Implementation(m_scene->Cube(2, 2, 2));
    platform::ClearCallTrace();
    Frame([&] { EXPECT_TRUE(box.Render()); });
    EXPECT_EQ(3u, platform::CallsOf("ID3DXEffect::BeginPass").size());
    ASSERT_EQ(3u, platform::DrawnPrimitiveCalls().size());
    EXPECT_EQ(12u, platform::DrawnPrimitiveCalls()[2].primitiveCount);
    ASSERT_TRUE(m_handle->EndShaderEffect(4));

    box.MaterialCount = 0;
    box.DrawFlag = 1;
    platform::ClearCallTrace();
    Frame([&] { EXPECT_TRUE(box.Render()); });
    EXPECT_TRUE(platform::DrawnPrimitiveCalls().empty());
    EXPECT_EQ(0, box.DrawFlag);
    box.MaterialCount = 1;
}

TEST_F(ObjectRenderingTest, RenderWithEffectFeedsTheWorldViewProjectionOfThisVeryDraw) {
    ASSERT_TRUE(test_images::Write("red.png", test_images::Make(4, 4, [](UINT, UINT) { return 0xFFFF0000u; }),
                                   test_images::Format::Png));
    ASSERT_TRUE(m_handle->LoadShaderEffect(ORVALEN_TEST_DATA_DIR "/textured.fx", 1));
    IOrvalen3DD3DObject& box = Implementation(m_scene->Cube(2, 2, 2));
    ASSERT_TRUE(box.LoadTexture("default", "red.png", 0));
    // The body moved since Matrix was last written: the draw and the shader both follow the body.
    const float moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 0, 0, 1};
    dgApiBodySetMatrix(box.Body, moved);
    box.DrawFlag = 1;
    EXPECT_FALSE(box.RenderWithEffect(8));
    EXPECT_EQ(1, box.DrawFlag);
    EXPECT_NE(std::string::npos, NewLog().find("ERROR: SetShaderMatrix Failed - Bad Index 8\n"));

    Frame([&] { EXPECT_TRUE(box.RenderWithEffect(1)); });
    const D3DXMATRIX world = *platform::DeviceTransform(Renderer().Device, D3DTS_WORLD);
    EXPECT_EQ(3.0f, world(3, 0));
    D3DXMATRIX fed;
    ASSERT_EQ(D3D_OK, Renderer().Effects[1]->GetMatrix("worldViewProj", &fed));
    const Matrix4 expected = (Matrix4(world) * Matrix4(Renderer().ViewMatrix) *
                              Matrix4(Renderer().ProjectionMatrix)).Transpose();
    EXPECT_TRUE(expected.ToD3DX() == fed);
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(D3D_OK, Renderer().Effects[1]->GetTexture("Texture0", &bound));
    EXPECT_EQ(static_cast<IDirect3DBaseTexture9*>(box.Textures[0]), bound);
    bound->Release();
}

TEST_F(ObjectRenderingTest, RenderBlendedDrawsTransGroupsLastAndSwitchesBlendingOnceOnAndOff) {
    IOrvalen3DD3DObject& box = Implementation(m_scene->Cube(2, 2, 2));
    SplitIntoTwoGroups(box, "trans", "default");
    platform::ClearCallTrace();
    Frame([&] { EXPECT_TRUE(box.RenderBlended()); });
    std::string order;
    for (const platform::TracedCall& call : platform::CallTrace()) {
        if (call.operation == "IDirect3DDevice9::DrawPrimitive") {
            order += "draw ";
        } else if (call.operation == "IDirect3DDevice9::SetRenderState" && call.arguments[0] == D3DRS_ALPHABLENDENABLE) {
            order += call.arguments[1] != 0 ? "on " : "off ";
        }
    }
    EXPECT_EQ("draw on draw off ", order);
    const std::vector<platform::DrawnPrimitives> draws = platform::DrawnPrimitiveCalls();
    ASSERT_EQ(2u, draws.size());
    // The group drawn last is the first six triangles', the one named "trans".
    float firstCorner[3];
    std::memcpy(firstCorner, draws[1].vertices.data(), sizeof firstCorner);
    EXPECT_EQ(box.Vertices[box.IndexLists[0][0]].x, firstCorner[0]);
}

TEST_F(ObjectRenderingTest, AFailedBufferLockOrDrawLeavesNoBufferAndAStrictResetSucceeds) {
    IOrvalen3DD3DObject& box = Implementation(m_scene->Cube(2, 2, 2));
    for (const char* operation : {"IDirect3DDevice9::CreateVertexBuffer", "IDirect3DVertexBuffer9::Lock",
                                  "IDirect3DDevice9::DrawPrimitive"}) {
        platform::FailCall(operation);
        Frame([&] { EXPECT_FALSE(box.Render()) << operation; });
        EXPECT_EQ(nullptr, box.VertexBuffer);
        EXPECT_EQ(0, platform::LiveObjects("IDirect3DVertexBuffer9")) << operation;
    }
    platform::AdapterConfiguration strict = platform::DefaultAdapter();
    strict.resetRefusesDefaultPool = true;
    platform::ConfigureAdapter(strict);
    Frame([&] { EXPECT_TRUE(box.Render()); });
    ASSERT_TRUE(platform::SetDeviceLoss(Renderer().Device, platform::DeviceLoss::NotReset));
    EXPECT_TRUE(m_handle->CheckDevice());
}

TEST_F(ObjectRenderingTest, ABodylessScaledObjectKeepsItsSizeOverManyDraws) {
    IOrvalen3DD3DObject& box = Implementation(m_scene->Cube(2, 2, 2, true));
    box.SetScale(2, 2, 2);
    box.SetPosition(1, 0, 0);
    for (int draw = 0; draw < 100; ++draw) {
        Frame([&] { EXPECT_TRUE(box.Render()); });
    }
    EXPECT_EQ(1.0f, box.GetMatrix()(0, 0)) << "the matrix keeps no scale";
    const D3DXMATRIX world = *platform::DeviceTransform(Renderer().Device, D3DTS_WORLD);
    EXPECT_EQ(2.0f, world(0, 0));
    EXPECT_EQ(1.0f, world(3, 0));
}

TEST_F(ObjectRenderingTest, IndicesPastTheTablesDrawDefaultCornersWithoutReadingOutOfBounds) {
    IOrvalen3DD3DObject& box = Implementation(m_scene->Cube(2, 2, 2));
    box.IndexLists[0][0] = 1000000;
    box.UseTexCoords[0] = true; // no texture coordinates were ever given
    platform::ClearCallTrace();
    Frame([&] { EXPECT_TRUE(box.Render()); });
    ASSERT_EQ(1u, platform::DrawnPrimitiveCalls().size());
    Vertex3D corners[2];
    std::memcpy(corners, platform::DrawnPrimitiveCalls()[0].vertices.data(), sizeof corners);
    EXPECT_EQ(0.0f, corners[0].x);
    EXPECT_EQ(-1.0f, corners[0].nz);
    EXPECT_EQ(0.0f, corners[1].u0);
    EXPECT_EQ(0.0f, corners[1].v0);
}

// 32,537,632 triangles are 4,294,967,424 bytes of corners: 128 bytes once the size wraps at 32 bits.
TEST_F(ObjectRenderingTest, AGroupTooLargeForOneVertexBufferIsRefusedBeforeACornerIsWritten) {
    constexpr UINT kWrappingTriangles = 32537632;
    IDirect3DVertexBuffer9* buffer = nullptr;
    int fills = 0;
    const auto count = [&](Vertex3D*) { ++fills; };
    EXPECT_FALSE(DrawGroupTriangles(Renderer(), buffer, kWrappingTriangles, false, count));
    EXPECT_EQ(0, fills);
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DVertexBuffer9"));
}
