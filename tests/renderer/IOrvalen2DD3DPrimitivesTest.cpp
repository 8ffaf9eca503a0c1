// The primitive drawers: what the device receives from each, and what lands on the screen, in both
// coordinate spaces, thin and thick.
#include "support/AllocationFailure.h"
#include "support/RendererFixture.h"
#include "renderer/IOrvalen2DD3D.h"
#include "support/LitPixels.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr float kPixelTolerance = 0.01f;
constexpr const char* kDraw = "IDirect3DDevice9::DrawPrimitiveUP";

class IOrvalen2DD3DPrimitives : public CameraRendererFixture {
protected:
    void SetUp() override {
        CameraRendererFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_handle->SetLighting(false);
        ASSERT_EQ(1, m_handle->Create2DInterface());
        m_2d = static_cast<IOrvalen2DD3D*>(m_handle->Interface2D);
        ASSERT_TRUE(m_handle->StartRendering());
        m_2d->Begin2D();
        platform::ClearCallTrace();
    }

    void TearDown() override {
        m_handle->EndRendering();
        m_handle->Destroy2DInterface();
        CameraRendererFixture::TearDown();
    }

    platform::Image Frame() { return platform::ReadBackBuffer(Renderer().Device); }
    void ClearFrame() {
        ASSERT_TRUE(m_handle->Clear(true, true, false, 0));
        platform::ClearCallTrace();
    }

    /// The pixel position and depth of a world point.
    D3DXVECTOR3 Pixel(const D3DXVECTOR3& world) {
        D3DXVECTOR3 pixel;
        D3DXVec3Project(&pixel, &world, &Renderer().Viewport, &Renderer().ProjectionMatrix,
                        &Renderer().ViewMatrix, nullptr);
        return pixel;
    }

    /// The pixel positions of the vertices a draw call received.
    std::vector<D3DXVECTOR3> DrawnPixels(const platform::DrawnPrimitives& draw) {
        std::vector<D3DXVECTOR3> pixels;
        for (std::size_t offset = 0; offset + sizeof(Vertex2D) <= draw.vertices.size();
             offset += draw.stride) {
            Vertex2D vertex;
            std::memcpy(&vertex, draw.vertices.data() + offset, sizeof vertex);
            pixels.push_back(Pixel({vertex.Position[0], vertex.Position[1], vertex.Position[2]}));
        }
        return pixels;
    }

    /// A vertex at the world point, or at its pixel in screen space.
    Vertex2D At(float x, float y, bool screen) {
        Vertex2D vertex;
        const D3DXVECTOR3 place = screen ? Pixel({x, y, 0}) : D3DXVECTOR3(x, y, 0);
        vertex.Position[0] = place.x;
        vertex.Position[1] = place.y;
        vertex.Position[2] = place.z;
        vertex.Diffuse = 0xFFFFFFFFu;
        return vertex;
    }

    IOrvalen2DD3D* m_2d = nullptr;
};

void ExpectPixel(float x, float y, const D3DXVECTOR3& pixel) {
    EXPECT_NEAR(x, pixel.x, kPixelTolerance);
    EXPECT_NEAR(y, pixel.y, kPixelTolerance);
}

std::vector<std::string> DrawnTypes() {
    std::vector<std::string> types;
    for (const platform::TracedCall& call : platform::CallsOf(kDraw)) {
        types.push_back(std::to_string(call.arguments[0]) + "x" + std::to_string(call.arguments[1]) +
                        (call.result == D3D_OK ? "" : " failed"));
    }
    return types;
}

} // namespace

TEST_F(IOrvalen2DD3DPrimitives, ThinDrawersMakeOneCallEachOfTheirPrimitiveType) {
    m_2d->ScreenSpace = true;
    Vertex2D v[12];
    m_2d->MakeRect(10, 10, 50, 30, v);
    m_2d->MakeRect(60, 10, 90, 30, v + 4);
    ASSERT_TRUE(m_2d->DrawPoints(3, v));
    ASSERT_TRUE(m_2d->DrawLines(2, v));
    ASSERT_TRUE(m_2d->DrawRectangles(2, v));
    ASSERT_TRUE(m_2d->DrawFilledRectangles(2, v));
    ASSERT_TRUE(m_2d->DrawTriangles(2, v));
    ASSERT_TRUE(m_2d->DrawFilledTriangles(2, v));
    m_2d->MakeCircle(200, 200, 20, 6, v);
    ASSERT_TRUE(m_2d->DrawCircle(6, v));
    ASSERT_TRUE(m_2d->DrawFilledCircle(6, v));
    // point list, line list, two outlines of four lines, two strips, a triangle list, the rim's four
    // segments and the fan's four triangles
    EXPECT_EQ(
        (std::vector<std::string>{"1x3", "2x2", "3x4", "3x4", "5x2", "5x2", "4x2", "4x2", "3x4", "6x4"}),
        DrawnTypes());
    // The outline runs round the corners c0, c1, c3, c2 and back; the rim skips the centre.
    const std::vector<platform::DrawnPrimitives> draws = platform::DrawnPrimitiveCalls();
    const std::vector<D3DXVECTOR3> outline = DrawnPixels(draws[2]);
    ASSERT_EQ(5u, outline.size());
    ExpectPixel(10, 10, outline[0]);
    ExpectPixel(50, 10, outline[1]);
    ExpectPixel(50, 30, outline[2]);
    ExpectPixel(10, 30, outline[3]);
    ExpectPixel(10, 10, outline[4]);
    const std::vector<D3DXVECTOR3> rim = DrawnPixels(draws[8]);
    ASSERT_EQ(5u, rim.size());
    ExpectPixel(200, 220, rim[0]);
    ExpectPixel(200, 220, rim[4]);
}

TEST_F(IOrvalen2DD3DPrimitives, ScreenPositionsAreUnprojectedOntoTheirPixelAndDepth) {
    m_2d->ScreenSpace = true;
    Vertex2D corner;
    m_2d->MakePoint3D(0, 0, 0, &corner);
    ASSERT_TRUE(m_2d->DrawPoints(1, &corner));
    const platform::DrawnPrimitives draw = platform::DrawnPrimitiveCalls().at(0);
    Vertex2D drawn;
    std::memcpy(&drawn, draw.vertices.data(), sizeof drawn);
    // On the near plane (one unit in front of the camera at z = -10), at the viewport's top left.
    EXPECT_NEAR(-9.0f, drawn.Position[2], 1e-3f);
    const D3DXVECTOR3 pixel = DrawnPixels(draw)[0];
    ExpectPixel(0, 0, pixel);
    EXPECT_NEAR(0.0f, pixel.z, 1e-5f);
    EXPECT_EQ(0xFFFFFFFFu, Frame().At(0, 0));
}

TEST_F(IOrvalen2DD3DPrimitives, ThickScreenLineReachesHalfAPenBeyondEachEndAndToEachSide) {
    m_2d->ScreenSpace = true;
    m_2d->LineWidth = 4;
    Vertex2D ends[2];
    m_2d->MakeLine(10, 10, 110, 10, ends);
    const Vertex2D original[2] = {ends[0], ends[1]};
    ASSERT_TRUE(m_2d->DrawLines(1, ends));
    EXPECT_EQ(0, std::memcmp(original, ends, sizeof ends)); // the caller's array is never written
    const std::vector<D3DXVECTOR3> quad = DrawnPixels(platform::DrawnPrimitiveCalls().at(0));
    ASSERT_EQ(4u, quad.size());
    ExpectPixel(8, 12, quad[0]);
    ExpectPixel(8, 8, quad[1]);
    ExpectPixel(112, 12, quad[2]);
    ExpectPixel(112, 8, quad[3]);
    const LitPixels lit = LitPixels::In(Frame());
    EXPECT_EQ(104 * 4, lit.count);
    EXPECT_EQ(8, lit.left);
    EXPECT_EQ(8, lit.top);
}

TEST_F(IOrvalen2DD3DPrimitives, ThickWorldLinesHaveThePenWidthAtAnyAngle) {
    m_2d->LineWidth = 9;
    for (const float angle : {0.0f, 0.3f, D3DX_PI / 4, 1.2f, D3DX_PI / 2}) {
        ClearFrame();
        const float dx = 3.0f * std::cos(angle);
        const float dy = 3.0f * std::sin(angle);
        const Vertex2D ends[2] = {At(-dx, -dy, false), At(dx, dy, false)};
        ASSERT_TRUE(m_2d->DrawLines(1, ends));
        // Area over the length between the projected ends (each end reaches half a pen further).
        const D3DXVECTOR3 a = Pixel({-dx, -dy, 0});
        const D3DXVECTOR3 b = Pixel({dx, dy, 0});
        const float length = std::hypot(a.x - b.x, a.y - b.y) + 9.0f;
        const float width = static_cast<float>(LitPixels::In(Frame()).count) / length;
        EXPECT_NEAR(9.0f, width, 1.0f) << "at " << angle << " radians";
    }
}

TEST_F(IOrvalen2DD3DPrimitives, ThickPointsAreSquaresOfThePenWidth) {
    m_2d->ScreenSpace = true;
    m_2d->LineWidth = 3;
    Vertex2D points[3];
    m_2d->MakePoint(20, 20, &points[0]);
    m_2d->MakePoint(100, 40, &points[1]);
    m_2d->MakePoint(300, 300, &points[2]);
    ASSERT_TRUE(m_2d->DrawPoints(3, points));
    const platform::Image frame = Frame();
    for (const auto& [x, y] : {std::pair{20, 20}, {100, 40}, {300, 300}}) {
        const LitPixels square = LitPixels::In(frame, x - 5, y - 5, x + 6, y + 6);
        EXPECT_EQ(9, square.count);
        EXPECT_EQ(x - 1, square.left);
        EXPECT_EQ(y - 1, square.top);
    }
}

TEST_F(IOrvalen2DD3DPrimitives, RectanglesOutlineOrFillTheirCornersThinAndThick) {
    m_2d->ScreenSpace = true;
    Vertex2D rect[4];
    m_2d->MakeRect(10, 10, 50, 30, rect);
    ASSERT_TRUE(m_2d->DrawFilledRectangles(1, rect));
    EXPECT_EQ(40 * 20, LitPixels::In(Frame()).count);
    ClearFrame();
    ASSERT_TRUE(m_2d->DrawRectangles(1, rect));
    platform::Image frame = Frame();
    EXPECT_NEAR(2 * (40 + 20), LitPixels::In(frame).count, 4);
    EXPECT_EQ(0, LitPixels::In(frame, 12, 12, 48, 28).count);

    m_2d->LineWidth = 4;
    ClearFrame();
    ASSERT_TRUE(m_2d->DrawFilledRectangles(1, rect));
    EXPECT_EQ(44 * 24, LitPixels::In(Frame()).count);
    ClearFrame();
    ASSERT_TRUE(m_2d->DrawRectangles(1, rect));
    frame = Frame();
    const LitPixels outline = LitPixels::In(frame);
    EXPECT_EQ(44 * 24 - 36 * 16, outline.count); // every pixel of the frame once, the hole empty
    EXPECT_EQ(8, outline.left);
    EXPECT_EQ(52, outline.right);
    EXPECT_EQ(0, LitPixels::In(frame, 12, 12, 48, 28).count);
}

TEST_F(IOrvalen2DD3DPrimitives, ThickWorldRectanglesGrowByHalfAPenOnEverySide) {
    // Corners given top first, so that the strip is clockwise on the screen and survives culling.
    Vertex2D rect[4];
    m_2d->MakeRect3D(-1, 1, 1, -1, 0, rect);
    ASSERT_TRUE(m_2d->DrawFilledRectangles(1, rect));
    const LitPixels thin = LitPixels::In(Frame());
    ASSERT_LT(0, thin.count);
    m_2d->LineWidth = 6;
    ClearFrame();
    ASSERT_TRUE(m_2d->DrawFilledRectangles(1, rect));
    const LitPixels filled = LitPixels::In(Frame());
    EXPECT_EQ(thin.left - 3, filled.left);
    EXPECT_EQ(thin.right + 3, filled.right);
    EXPECT_EQ(thin.top - 3, filled.top);
    EXPECT_EQ(thin.bottom + 3, filled.bottom);
    ClearFrame();
    ASSERT_TRUE(m_2d->DrawRectangles(1, rect));
    const platform::Image frame = Frame();
    const LitPixels outline = LitPixels::In(frame);
    EXPECT_NEAR(filled.left, outline.left, 1);
    EXPECT_NEAR(filled.right, outline.right, 1);
    EXPECT_NEAR(filled.top, outline.top, 1);
    EXPECT_NEAR(filled.bottom, outline.bottom, 1);
    EXPECT_EQ(0, LitPixels::In(frame, thin.left + 4, thin.top + 4, thin.right - 4, thin.bottom - 4).count);
}

TEST_F(IOrvalen2DD3DPrimitives, EachKindDrawsAlikeInWorldAndScreenSpace) {
    using Drawer = bool (IOrvalen2D::*)(std::int32_t, const Vertex2D*);
    struct Kind {
        const char* name;
        Drawer draw;
        std::int32_t count; ///< items, or vertices of a circle
        std::vector<std::pair<float, float>> corners;
    };
    const std::vector<Kind> kinds = {
        {"points", &IOrvalen2D::DrawPoints, 2, {{0, 0}, {1, 1}}},
        {"lines", &IOrvalen2D::DrawLines, 1, {{-2, -1}, {2, 1}}},
        {"rectangles", &IOrvalen2D::DrawRectangles, 1, {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}}},
        {"filled rectangles", &IOrvalen2D::DrawFilledRectangles, 1, {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}}},
        {"triangles", &IOrvalen2D::DrawTriangles, 1, {{-1, 1}, {1, 1}, {-1, -1}}},
        {"filled triangles", &IOrvalen2D::DrawFilledTriangles, 1, {{-1, 1}, {1, 1}, {-1, -1}}},
        {"circle", &IOrvalen2D::DrawCircle, 6, {{0, 0}, {0, 2}, {-2, 0}, {0, -2}, {2, 0}, {0, 2}}},
        {"filled circle",
         &IOrvalen2D::DrawFilledCircle,
         6,
         {{0, 0}, {0, 2}, {2, 0}, {0, -2}, {-2, 0}, {0, 2}}},
    };
    for (const std::int32_t width : {1, 5}) {
        m_2d->LineWidth = width;
        for (const Kind& kind : kinds) {
            LitPixels lit[2];
            for (const bool screen : {false, true}) {
                std::vector<Vertex2D> vertices;
                for (const auto& [x, y] : kind.corners) {
                    vertices.push_back(At(x, y, screen));
                }
                ClearFrame();
                m_2d->ScreenSpace = screen;
                ASSERT_TRUE((m_2d->*kind.draw)(kind.count, vertices.data())) << kind.name;
                lit[screen] = LitPixels::In(Frame());
            }
            SCOPED_TRACE(std::string(kind.name) + " of width " + std::to_string(width));
            EXPECT_LT(0, lit[0].count);
            EXPECT_NEAR(lit[0].count, lit[1].count, 2 + lit[0].count / 50);
            EXPECT_NEAR(lit[0].left, lit[1].left, 1);
            EXPECT_NEAR(lit[0].top, lit[1].top, 1);
            EXPECT_NEAR(lit[0].right, lit[1].right, 1);
            EXPECT_NEAR(lit[0].bottom, lit[1].bottom, 1);
        }
    }
}

TEST_F(IOrvalen2DD3DPrimitives, TrianglesAreOutlinedWithWireframeSwitchedOnForTheDrawOnly) {
    m_2d->ScreenSpace = true;
    Vertex2D triangle[3];
    m_2d->MakeTriangle(100, 100, 200, 100, 100, 200, triangle);
    ASSERT_TRUE(m_2d->DrawTriangles(1, triangle));
    EXPECT_FALSE(m_handle->GetWireframe());
    const platform::Image frame = Frame();
    EXPECT_NEAR(100 + 100 + 100, LitPixels::In(frame).count, 8); // a diagonal lights a pixel a column
    EXPECT_EQ(0, LitPixels::In(frame, 110, 110, 140, 140).count);
    const std::vector<platform::TracedCall> fills = platform::CallsOf("IDirect3DDevice9::SetRenderState");
    ASSERT_EQ(2u, fills.size());
    EXPECT_EQ((std::vector<std::int64_t>{D3DRS_FILLMODE, D3DFILL_WIREFRAME}), fills[0].arguments);
    EXPECT_EQ((std::vector<std::int64_t>{D3DRS_FILLMODE, D3DFILL_SOLID}), fills[1].arguments);

    // A refused draw still gives the fill mode back; so does a wireframe already on.
    platform::FailCall(kDraw);
    EXPECT_FALSE(m_2d->DrawTriangles(1, triangle));
    EXPECT_FALSE(m_handle->GetWireframe());
    m_handle->SetWireframe(true);
    ASSERT_TRUE(m_2d->DrawTriangles(1, triangle));
    EXPECT_TRUE(m_handle->GetWireframe());
}

TEST_F(IOrvalen2DD3DPrimitives, FilledShapesCoverTheirArea) {
    m_2d->ScreenSpace = true;
    Vertex2D v[34];
    m_2d->MakeTriangle(100, 100, 200, 100, 100, 200, v);
    ASSERT_TRUE(m_2d->DrawFilledTriangles(1, v));
    EXPECT_NEAR(100 * 100 / 2, LitPixels::In(Frame()).count, 100);
    // Grown by half a pen of 10 away from each edge: the legs move 5 out, the corners further.
    m_2d->LineWidth = 10;
    ClearFrame();
    ASSERT_TRUE(m_2d->DrawFilledTriangles(1, v));
    const LitPixels grown = LitPixels::In(Frame());
    EXPECT_LT(100 * 100 / 2 + 100 * 5, grown.count);
    EXPECT_NEAR(95, grown.left, 1);
    EXPECT_NEAR(95, grown.top, 1);

    // A 32-sided polygon of radius 50: n/2 r^2 sin(2 pi / n), whatever the pen.
    ClearFrame();
    ASSERT_TRUE(m_2d->MakeCircle(400, 300, 50, 34, v));
    ASSERT_TRUE(m_2d->DrawFilledCircle(34, v));
    const double polygon = 16.0 * 2500.0 * std::sin(D3DX_PI / 16.0);
    EXPECT_NEAR(polygon, LitPixels::In(Frame()).count, polygon * 0.01);
    ClearFrame();
    m_2d->LineWidth = 1;
    ASSERT_TRUE(m_2d->DrawCircle(34, v));
    const LitPixels rim = LitPixels::In(Frame());
    EXPECT_NEAR(2 * D3DX_PI * 50, rim.count, 2 * D3DX_PI * 50 * 0.1);
    EXPECT_EQ(350, rim.left);
    EXPECT_EQ(451, rim.right);
}

TEST_F(IOrvalen2DD3DPrimitives, FansAndRimsOfFewerThanThreeVerticesAndNegativeCountsAreRefused) {
    Vertex2D v[4];
    m_2d->MakeRect(0, 0, 10, 10, v);
    EXPECT_FALSE(m_2d->DrawCircle(2, v));
    EXPECT_FALSE(m_2d->DrawFilledCircle(0, v));
    EXPECT_FALSE(m_2d->DrawFilledCircle(-1, v));
    EXPECT_FALSE(m_2d->DrawPoints(-1, v));
    EXPECT_FALSE(m_2d->DrawRectangles(-3, v));
    EXPECT_FALSE(m_2d->DrawLines(1, nullptr));
    EXPECT_TRUE(platform::CallsOf(kDraw).empty());
}

TEST_F(IOrvalen2DD3DPrimitives, NothingToDrawIsDrawnPerItemOrHandedToTheDeviceOnce) {
    EXPECT_TRUE(m_2d->DrawRectangles(0, nullptr));
    EXPECT_TRUE(m_2d->DrawFilledRectangles(0, nullptr));
    EXPECT_TRUE(platform::CallsOf(kDraw).empty());
    EXPECT_TRUE(m_2d->DrawPoints(0, nullptr));
    EXPECT_TRUE(m_2d->DrawFilledTriangles(0, nullptr));
    EXPECT_EQ((std::vector<std::string>{"1x0", "4x0"}), DrawnTypes());
    m_2d->LineWidth = 3;
    platform::ClearCallTrace();
    EXPECT_TRUE(m_2d->DrawLines(0, nullptr));
    EXPECT_TRUE(m_2d->DrawPoints(0, nullptr));
    EXPECT_TRUE(platform::CallsOf(kDraw).empty());
}

TEST_F(IOrvalen2DD3DPrimitives, PointModeAndWireframeHandOverToTheTwin) {
    m_2d->ScreenSpace = true;
    Vertex2D v[6];
    m_2d->MakeRect(10, 10, 50, 30, v);
    const auto drawnBy = [&](auto draw) {
        platform::ClearCallTrace();
        EXPECT_TRUE(draw());
        return DrawnTypes();
    };
    const std::vector<std::string> filled = drawnBy([&] { return m_2d->DrawFilledRectangles(1, v); });
    const std::vector<std::string> outlined = drawnBy([&] { return m_2d->DrawRectangles(1, v); });
    m_handle->SetPointMode(true);
    EXPECT_EQ(filled, drawnBy([&] { return m_2d->DrawRectangles(1, v); }));
    m_handle->SetPointMode(false);
    m_handle->SetWireframe(true);
    EXPECT_EQ(outlined, drawnBy([&] { return m_2d->DrawFilledRectangles(1, v); }));
    // Both on: no endless hand-over; in point mode rectangles are drawn filled.
    m_handle->SetPointMode(true);
    EXPECT_EQ(filled, drawnBy([&] { return m_2d->DrawRectangles(1, v); }));
    EXPECT_EQ(filled, drawnBy([&] { return m_2d->DrawFilledRectangles(1, v); }));
    m_handle->SetWireframe(false);

    m_2d->MakeCircle(100, 100, 10, 6, v);
    EXPECT_EQ((std::vector<std::string>{"6x4"}), drawnBy([&] { return m_2d->DrawCircle(6, v); }));
    EXPECT_EQ((std::vector<std::string>{"4x2"}), drawnBy([&] { return m_2d->DrawTriangles(2, v); }));
    // The filled twin's failure is the outline's failure.
    platform::FailCall(kDraw);
    EXPECT_FALSE(m_2d->DrawTriangles(2, v));
    m_handle->SetPointMode(false);
}

TEST_F(IOrvalen2DD3DPrimitives, AFailedDrawStopsAtItsItemAndIsReported) {
    m_2d->ScreenSpace = true;
    Vertex2D v[12];
    m_2d->MakeRect(10, 10, 50, 30, v);
    m_2d->MakeRect(60, 10, 90, 30, v + 4);
    m_2d->MakeRect(100, 10, 130, 30, v + 8);
    platform::FailCall(kDraw, 2);
    EXPECT_FALSE(m_2d->DrawFilledRectangles(3, v));
    EXPECT_EQ((std::vector<std::string>{"5x2", "5x2 failed"}), DrawnTypes());
    EXPECT_EQ(800, LitPixels::In(Frame()).count); // the first stays drawn

    // The thick forms report their inner draw's failure.
    m_2d->LineWidth = 3;
    using Drawer = bool (IOrvalen2D::*)(std::int32_t, const Vertex2D*);
    for (const Drawer draw :
         {static_cast<Drawer>(&IOrvalen2D::DrawPoints), static_cast<Drawer>(&IOrvalen2D::DrawLines),
          static_cast<Drawer>(&IOrvalen2D::DrawRectangles), static_cast<Drawer>(&IOrvalen2D::DrawTriangles),
          static_cast<Drawer>(&IOrvalen2D::DrawFilledTriangles)}) {
        platform::ClearCallTrace();
        platform::FailCall(kDraw, 2);
        EXPECT_FALSE((m_2d->*draw)(3, v));
        EXPECT_EQ(2u, platform::CallsOf(kDraw).size());
    }
}

TEST_F(IOrvalen2DD3DPrimitives, NoMemoryForTheWorkingArrayDrawsNothing) {
    Vertex2D v[4];
    m_2d->MakeRect(10, 10, 50, 30, v);
    FailNextNothrowAllocation();
    EXPECT_FALSE(m_2d->DrawFilledRectangles(1, v));
    m_2d->LineWidth = 3;
    FailNextNothrowAllocation();
    EXPECT_FALSE(m_2d->DrawPoints(1, v));
    EXPECT_TRUE(platform::CallsOf(kDraw).empty());
}
