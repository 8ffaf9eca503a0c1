#include "support/RendererFixture.h"
#include "renderer/IOrvalen2DD3D.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr float kTolerance = 1e-5f;

/// Slot of a virtual operation (Itanium ABI: 1 + byte offset in the pointer; the destructor takes two).
template <typename Method> long SlotOf(Method method) {
    struct Representation {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(method) == sizeof(representation));
    std::memcpy(&representation, &method, sizeof representation);
    return static_cast<long>((representation.pointer - 1) / sizeof(void*)) - 1;
}

void ExpectPosition(const Vertex2D& vertex, float x, float y, float z) {
    EXPECT_NEAR(x, vertex.Position[0], kTolerance);
    EXPECT_NEAR(y, vertex.Position[1], kTolerance);
    EXPECT_NEAR(z, vertex.Position[2], kTolerance);
}

D3DXVECTOR3 Transformed(const D3DXMATRIX& m, D3DXVECTOR3 point) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &point, &m);
    return out;
}

/// A 2D interface on its own, handed no renderer: what needs no device.
class IOrvalen2DD3DAlone : public ::testing::Test {
protected:
    std::unique_ptr<IOrvalen2DD3D> m_2d = std::make_unique<IOrvalen2DD3D>();
};

} // namespace

TEST(Vertex2DLayout, NewVerticesFaceTheViewerInTransparentWhite) {
    const Vertex2D vertex;
    const TexturedVertex2D textured;
    for (const float* normal : {vertex.Normal, textured.Normal}) {
        EXPECT_EQ(0.0f, normal[0]);
        EXPECT_EQ(0.0f, normal[1]);
        EXPECT_EQ(-1.0f, normal[2]);
    }
    EXPECT_EQ(0x00FFFFFFu, vertex.Diffuse);
    EXPECT_EQ(0x00FFFFFFu, textured.Diffuse);
    EXPECT_EQ(0x52u, IOrvalen2DD3D::kVertexFormat);
    EXPECT_EQ(0x152u, IOrvalen2DD3D::kTexturedVertexFormat);
}

TEST(IOrvalen2DSlots, OperationsStandInTheirSlots) {
    using I = IOrvalen2D;
    EXPECT_EQ(1, SlotOf(&I::SetRenderer));
    EXPECT_EQ(3, SlotOf(&I::Begin2D));
    EXPECT_EQ(5, SlotOf(&I::MakePoint3D));
    EXPECT_EQ(14, SlotOf(&I::MakeCircle));
    EXPECT_EQ(15, SlotOf(&I::DrawPoints));
    EXPECT_EQ(22, SlotOf(&I::DrawFilledCircle));
    EXPECT_EQ(23, SlotOf(&I::ResetTransform));
    EXPECT_EQ(26, SlotOf(&I::Scale));
    EXPECT_EQ(28,
              SlotOf(static_cast<bool (I::*)(const char*, std::uint32_t, std::int32_t)>(&I::LoadTexture)));
    EXPECT_EQ(33, SlotOf(&I::GetImageInfo));
    EXPECT_EQ(34, SlotOf(static_cast<bool (I::*)(float, float, float, std::int32_t)>(&I::DrawTexture)));
    EXPECT_EQ(37,
              SlotOf(static_cast<bool (I::*)(float, float, float, float, std::int32_t)>(&I::DrawTextureAt)));
    EXPECT_EQ(40, SlotOf(&I::DrawTextureSplit));
    EXPECT_EQ(42, SlotOf(&I::UnsetTexture));
}

TEST_F(IOrvalen2DD3DAlone, StartsInWorldSpaceWithAWhiteOnePixelPenAnIdentityTransformAndNoTextures) {
    EXPECT_EQ(0xFFFFFFFFu, m_2d->Colour);
    EXPECT_EQ(1, m_2d->LineWidth);
    EXPECT_FALSE(m_2d->ScreenSpace);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(identity, m_2d->Transform);
    for (const TextureSlot& slot : m_2d->Textures) {
        ASSERT_EQ(nullptr, slot.Texture);
        ASSERT_EQ(nullptr, slot.RenderToSurface);
        ASSERT_EQ(nullptr, slot.Surface);
    }
}

TEST_F(IOrvalen2DD3DAlone, MakersWritePositionsAndColourButLeaveNormals) {
    m_2d->Colour = 0x80112233u;
    Vertex2D point;
    point.Normal[0] = 0.5f;
    ASSERT_TRUE(m_2d->MakePoint(10, 20, &point));
    ExpectPosition(point, 10, 20, 0.1f);
    EXPECT_EQ(0x80112233u, point.Diffuse);
    EXPECT_EQ(0.5f, point.Normal[0]);

    Vertex2D rect[4];
    ASSERT_TRUE(m_2d->MakeRect(0, 0, 100, 50, rect));
    ExpectPosition(rect[0], 0, 0, 0.1f);
    ExpectPosition(rect[1], 100, 0, 0.1f);
    ExpectPosition(rect[2], 0, 50, 0.1f);
    ExpectPosition(rect[3], 100, 50, 0.1f);
    ASSERT_TRUE(m_2d->MakeRect3D(1, 2, 3, 4, -5, rect));
    ExpectPosition(rect[3], 3, 4, -5);

    Vertex2D line[2];
    ASSERT_TRUE(m_2d->MakeLine3D(1, 2, 3, 4, 5, 6, line));
    ExpectPosition(line[0], 1, 2, 3);
    ExpectPosition(line[1], 4, 5, 6);
    Vertex2D triangle[3];
    ASSERT_TRUE(m_2d->MakeTriangle(1, 2, 3, 4, 5, 6, triangle));
    ExpectPosition(triangle[2], 5, 6, 0.1f);
    for (const Vertex2D& corner : triangle) {
        EXPECT_EQ(0x80112233u, corner.Diffuse);
    }
    EXPECT_FALSE(m_2d->MakePoint(1, 2, nullptr));
}

TEST_F(IOrvalen2DD3DAlone, CircleIsACentreAndAClosedRimStartingOneStepRound) {
    Vertex2D fan[6];
    ASSERT_TRUE(m_2d->MakeCircle(0, 0, 10, 6, fan));
    ExpectPosition(fan[0], 0, 0, 0.1f);
    // Four segments: 90, 180, 270, 360 and again 450 degrees.
    ExpectPosition(fan[1], 0, 10, 0.1f);
    ExpectPosition(fan[2], -10, 0, 0.1f);
    ExpectPosition(fan[3], 0, -10, 0.1f);
    ExpectPosition(fan[4], 10, 0, 0.1f);
    ExpectPosition(fan[5], 0, 10, 0.1f);

    Vertex2D smallest[3];
    ASSERT_TRUE(m_2d->MakeCircle3D(5, 5, 2, 3, 3, smallest));
    ExpectPosition(smallest[1], 8, 5, 2);
    ExpectPosition(smallest[2], 8, 5, 2);
}

TEST_F(IOrvalen2DD3DAlone, CirclesOfFewerThanThreeVerticesAreRefusedUnwritten) {
    Vertex2D fan[2];
    fan[0].Position[0] = 42.0f;
    EXPECT_FALSE(m_2d->MakeCircle(0, 0, 10, 2, fan));
    EXPECT_FALSE(m_2d->MakeCircle(0, 0, 10, 0, fan));
    EXPECT_FALSE(m_2d->MakeCircle3D(0, 0, 0, 10, -4, fan));
    EXPECT_EQ(42.0f, fan[0].Position[0]);
}

TEST_F(IOrvalen2DD3DAlone, RotateAboutZByAQuarterTurnMapsXOntoY) {
    m_2d->ResetTransform();
    m_2d->Rotate(0, 0, 1.5707964f);
    const D3DXVECTOR3 turned = Transformed(m_2d->Transform, {1, 0, 0});
    EXPECT_NEAR(0.0f, turned.x, kTolerance);
    EXPECT_NEAR(1.0f, turned.y, kTolerance);
    EXPECT_NEAR(0.0f, turned.z, kTolerance);
}

TEST_F(IOrvalen2DD3DAlone, RotationsWhoseComponentsSumToZeroChangeNothing) {
    m_2d->Translate(3, 4, 5);
    const D3DXMATRIX before = m_2d->Transform;
    m_2d->Rotate(1, -1, 0);
    m_2d->Rotate(0, 0, 0);
    EXPECT_EQ(before, m_2d->Transform);
}

TEST_F(IOrvalen2DD3DAlone, TranslateThenScaleScalesTheTranslatedPoint) {
    m_2d->ResetTransform();
    m_2d->Translate(5, 0, 0);
    m_2d->Scale(2, 2, 1);
    const D3DXVECTOR3 moved = Transformed(m_2d->Transform, {1, 0, 0});
    EXPECT_NEAR(12.0f, moved.x, kTolerance);
    EXPECT_NEAR(0.0f, moved.y, kTolerance);
    // A rotation about x by its own axis turns y onto z.
    m_2d->ResetTransform();
    m_2d->Rotate(1.5707964f, 0, 0);
    const D3DXVECTOR3 turned = Transformed(m_2d->Transform, {0, 1, 0});
    EXPECT_NEAR(1.0f, turned.z, kTolerance);
}

TEST_F(IOrvalen2DD3DAlone, WithoutARendererNothingIsDrawnAndNothingBreaks) {
    Vertex2D points[1];
    m_2d->Begin2D();
    m_2d->End2D();
    EXPECT_FALSE(m_2d->DrawPoints(1, points));
    EXPECT_FALSE(m_2d->DrawFilledCircle(3, points));
    m_2d->DestroyTexture(-1);
    m_2d->DestroyRenderTarget(1000);
}

namespace {

class IOrvalen2DD3DBegin : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        ASSERT_EQ(1, m_handle->Create2DInterface());
    }
    void TearDown() override {
        m_handle->Destroy2DInterface();
        RendererFixture::TearDown();
    }
};

} // namespace

TEST_F(IOrvalen2DD3DBegin, SetsTheWorldToIdentityAndTheVertexFormatAndLeavesTheInterfaceAlone) {
    IOrvalen2D& twoD = *m_handle->Interface2D;
    D3DXMATRIX moved;
    D3DXMatrixTranslation(&moved, 1, 2, 3);
    ASSERT_EQ(D3D_OK, Renderer().Device->SetTransform(D3DTS_WORLD, &moved));
    twoD.SetScreenSpace(true);
    twoD.Colour = 0xFF00FF00u;
    twoD.LineWidth = 3;
    twoD.Translate(4, 5, 6);
    const D3DXMATRIX transform = static_cast<IOrvalen2DD3D&>(twoD).Transform;

    twoD.Begin2D();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(identity, D3DXMATRIX(*platform::DeviceTransform(Renderer().Device, D3DTS_WORLD)));
    DWORD fvf = 0;
    ASSERT_EQ(D3D_OK, Renderer().Device->GetFVF(&fvf));
    EXPECT_EQ(0x52u, fvf);
    twoD.End2D();
    EXPECT_TRUE(twoD.ScreenSpace);
    EXPECT_EQ(0xFF00FF00u, twoD.Colour);
    EXPECT_EQ(3, twoD.LineWidth);
    EXPECT_EQ(transform, static_cast<IOrvalen2DD3D&>(twoD).Transform);
}
