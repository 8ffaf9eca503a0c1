// The primitive drawers: points, lines, rectangles, triangles and circles, thin or as filled geometry
// of the pen width. Thick geometry is built in pixels, around the given positions in screen space and
// around their projections in world space, so a pen is equally wide in both spaces at any angle.
#include "renderer/IOrvalen2DD3D.h"

#include "renderer/IOrvalenD3D.h"

#include <memory>
#include <new>

namespace {

/// A working array of `count` new vertices; null when no memory can be had.
std::unique_ptr<Vertex2D[]> NewVertices(std::size_t count) {
    return std::unique_ptr<Vertex2D[]>(new (std::nothrow) Vertex2D[count]);
}

D3DXVECTOR3 PositionOf(const Vertex2D& vertex) {
    return {vertex.Position[0], vertex.Position[1], vertex.Position[2]};
}

void SetPosition(Vertex2D& vertex, const D3DXVECTOR3& position) {
    vertex.Position[0] = position.x;
    vertex.Position[1] = position.y;
    vertex.Position[2] = position.z;
}

/// The unit vector from `to` towards `from` in x and y, times `length`; zero for equal points.
D3DXVECTOR3 Towards(const D3DXVECTOR3& from, const D3DXVECTOR3& to, float length) {
    const D3DXVECTOR3 difference(from.x - to.x, from.y - to.y, 0.0f);
    D3DXVECTOR3 unit;
    D3DXVec3Normalize(&unit, &difference);
    return unit * length;
}

/// -1, 0 or +1 as `value` lies below, at or above `centre`.
float SideOf(float value, float centre) {
    return value < centre ? -1.0f : value > centre ? 1.0f : 0.0f;
}

} // namespace

D3DXVECTOR3 IOrvalen2DD3D::PixelOf(const Vertex2D& vertex) const {
    return ScreenSpace ? PositionOf(vertex) : ToScreen(PositionOf(vertex));
}

Vertex2D IOrvalen2DD3D::Prepared(const Vertex2D& vertex) const {
    Vertex2D prepared = vertex;
    if (ScreenSpace) {
        SetPosition(prepared, FromScreen(PositionOf(vertex)));
    }
    return prepared;
}

Vertex2D IOrvalen2DD3D::AtPixel(const Vertex2D& vertex, const D3DXVECTOR3& pixel) const {
    Vertex2D placed = vertex;
    SetPosition(placed, FromScreen(pixel));
    return placed;
}

bool IOrvalen2DD3D::Draw(D3DPRIMITIVETYPE type, UINT primitives, const Vertex2D* vertices) const {
    return Renderer->Device->DrawPrimitiveUP(type, primitives, vertices, sizeof(Vertex2D)) == D3D_OK;
}

bool IOrvalen2DD3D::DrawPrepared(D3DPRIMITIVETYPE type, UINT primitives, std::size_t vertexCount,
                                 const Vertex2D* vertices) const {
    std::unique_ptr<Vertex2D[]> working = NewVertices(vertexCount);
    if (working == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < vertexCount; ++i) {
        working[i] = Prepared(vertices[i]);
    }
    return Draw(type, primitives, working.get());
}

namespace {

/// Whether a drawer can draw `count` items from `vertices` at all: a device, a count that is not
/// negative, and vertices whenever there is something to draw.
bool CanDraw(const IOrvalenD3D* renderer, std::int32_t count, const Vertex2D* vertices) {
    return renderer != nullptr && renderer->Device != nullptr && count >= 0 &&
           (count == 0 || vertices != nullptr);
}

} // namespace

bool IOrvalen2DD3D::DrawPoints(std::int32_t count, const Vertex2D* points) {
    if (!CanDraw(Renderer, count, points)) {
        return false;
    }
    if (LineWidth > 1) {
        return DrawThickPoints(count, points);
    }
    return DrawPrepared(D3DPT_POINTLIST, static_cast<UINT>(count), static_cast<std::size_t>(count), points);
}

bool IOrvalen2DD3D::DrawLines(std::int32_t count, const Vertex2D* ends) {
    if (!CanDraw(Renderer, count, ends)) {
        return false;
    }
    if (LineWidth > 1) {
        return DrawThickLines(count, ends);
    }
    return DrawPrepared(D3DPT_LINELIST, static_cast<UINT>(count), 2 * static_cast<std::size_t>(count), ends);
}

bool IOrvalen2DD3D::DrawRectangles(std::int32_t count, const Vertex2D* corners) {
    if (!CanDraw(Renderer, count, corners)) {
        return false;
    }
    if (Renderer->GetPointMode()) {
        return DrawFilledRectangles(count, corners);
    }
    if (LineWidth > 1) {
        return DrawThickRectangles(count, corners);
    }
    return DrawThinRectangles(count, corners);
}

bool IOrvalen2DD3D::DrawFilledRectangles(std::int32_t count, const Vertex2D* corners) {
    if (!CanDraw(Renderer, count, corners)) {
        return false;
    }
    // In point mode only the corners show, outlined or filled alike; handing over to the outline,
    // which hands point mode back here, would never end.
    if (Renderer->GetWireframe() && !Renderer->GetPointMode()) {
        return DrawRectangles(count, corners);
    }
    return DrawFilledRectanglesDirectly(count, corners);
}

bool IOrvalen2DD3D::DrawTriangles(std::int32_t count, const Vertex2D* corners) {
    if (!CanDraw(Renderer, count, corners)) {
        return false;
    }
    if (Renderer->GetPointMode()) {
        return DrawFilledTriangles(count, corners);
    }
    if (LineWidth > 1) {
        return DrawThickTriangles(count, corners);
    }
    const bool wireframe = Renderer->GetWireframe();
    std::unique_ptr<Vertex2D[]> working = NewVertices(3 * static_cast<std::size_t>(count));
    if (working == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < 3 * static_cast<std::size_t>(count); ++i) {
        working[i] = Prepared(corners[i]);
    }
    Renderer->SetWireframe(true);
    const bool drawn = Draw(D3DPT_TRIANGLELIST, static_cast<UINT>(count), working.get());
    Renderer->SetWireframe(wireframe);
    return drawn;
}

bool IOrvalen2DD3D::DrawFilledTriangles(std::int32_t count, const Vertex2D* corners) {
    if (!CanDraw(Renderer, count, corners)) {
        return false;
    }
    if (LineWidth > 1) {
        return DrawGrownTriangles(count, corners);
    }
    return DrawPrepared(D3DPT_TRIANGLELIST, static_cast<UINT>(count), 3 * static_cast<std::size_t>(count),
                        corners);
}

bool IOrvalen2DD3D::DrawCircle(std::int32_t count, const Vertex2D* fan) {
    // A fan of fewer than three vertices has no rim segment.
    if (!CanDraw(Renderer, count, fan) || count < 3) {
        return false;
    }
    if (Renderer->GetPointMode()) {
        return DrawFilledCircle(count, fan);
    }
    std::unique_ptr<Vertex2D[]> working = NewVertices(static_cast<std::size_t>(count));
    if (working == nullptr) {
        return false;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        working[i] = Prepared(fan[i]);
    }
    return Draw(D3DPT_LINESTRIP, static_cast<UINT>(count - 2), working.get() + 1);
}

bool IOrvalen2DD3D::DrawFilledCircle(std::int32_t count, const Vertex2D* fan) {
    if (!CanDraw(Renderer, count, fan) || count < 3) {
        return false;
    }
    return DrawPrepared(D3DPT_TRIANGLEFAN, static_cast<UINT>(count - 2), static_cast<std::size_t>(count),
                        fan);
}

bool IOrvalen2DD3D::DrawThinRectangles(std::int32_t count, const Vertex2D* corners) {
    std::unique_ptr<Vertex2D[]> working = NewVertices(4 * static_cast<std::size_t>(count));
    if (working == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < 4 * static_cast<std::size_t>(count); ++i) {
        working[i] = Prepared(corners[i]);
    }
    for (std::int32_t item = 0; item < count; ++item) {
        const Vertex2D* c = &working[4 * static_cast<std::size_t>(item)];
        const Vertex2D outline[] = {c[0], c[1], c[3], c[2], c[0]};
        if (!Draw(D3DPT_LINESTRIP, 4, outline)) {
            return false;
        }
    }
    return true;
}

bool IOrvalen2DD3D::DrawFilledRectanglesDirectly(std::int32_t count, const Vertex2D* corners) {
    std::unique_ptr<Vertex2D[]> working = NewVertices(4 * static_cast<std::size_t>(count));
    if (working == nullptr) {
        return false;
    }
    // Without a pen width the corners stay where they are; with one each moves outwards by half the
    // width in pixels, away from the centre of the rectangle as it shows on the screen (or, for a
    // rectangle shrunk to a point, as the corner's place in the strip says).
    const float h = LineWidth > 1 ? HalfWidth() : 0.0f;
    constexpr float kStripSideX[4] = {-1.0f, 1.0f, -1.0f, 1.0f};
    constexpr float kStripSideY[4] = {-1.0f, -1.0f, 1.0f, 1.0f};
    for (std::int32_t item = 0; item < count; ++item) {
        const std::size_t first = 4 * static_cast<std::size_t>(item);
        const Vertex2D* c = corners + first;
        if (h == 0.0f) {
            for (std::size_t i = 0; i < 4; ++i) {
                working[first + i] = Prepared(c[i]);
            }
        } else {
            D3DXVECTOR3 pixels[4];
            D3DXVECTOR3 centre;
            for (std::size_t i = 0; i < 4; ++i) {
                pixels[i] = PixelOf(c[i]);
                centre = centre + pixels[i] * 0.25f;
            }
            for (std::size_t i = 0; i < 4; ++i) {
                float sideX = SideOf(pixels[i].x, centre.x);
                float sideY = SideOf(pixels[i].y, centre.y);
                sideX = sideX != 0.0f ? sideX : kStripSideX[i];
                sideY = sideY != 0.0f ? sideY : kStripSideY[i];
                working[first + i] = AtPixel(c[i], pixels[i] + D3DXVECTOR3(sideX * h, sideY * h, 0.0f));
            }
        }
        if (!Draw(D3DPT_TRIANGLESTRIP, 2, &working[first])) {
            return false;
        }
    }
    return true;
}

bool IOrvalen2DD3D::DrawThickPoints(std::int32_t count, const Vertex2D* points) {
    std::unique_ptr<Vertex2D[]> squares = NewVertices(4 * static_cast<std::size_t>(count));
    if (squares == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < 4 * static_cast<std::size_t>(count); ++i) {
        squares[i] = points[i / 4];
    }
    return DrawFilledRectangles(count, squares.get());
}

bool IOrvalen2DD3D::DrawThickLines(std::int32_t count, const Vertex2D* ends) {
    const float h = HalfWidth();
    for (std::int32_t item = 0; item < count; ++item) {
        const Vertex2D& p0 = ends[2 * static_cast<std::size_t>(item)];
        const Vertex2D& p1 = ends[2 * static_cast<std::size_t>(item) + 1];
        const D3DXVECTOR3 s0 = PixelOf(p0);
        const D3DXVECTOR3 s1 = PixelOf(p1);
        // Along the segment from p1 to p0, and across it: the quad reaches h beyond both ends and h to
        // each side, its triangles clockwise on the screen whichever way the segment runs.
        const D3DXVECTOR3 d = Towards(s0, s1, h);
        const D3DXVECTOR3 n(d.y, -d.x, 0.0f);
        const Vertex2D quad[] = {AtPixel(p0, s0 + d + n), AtPixel(p0, s0 + d - n), AtPixel(p1, s1 - d + n),
                                 AtPixel(p1, s1 - d - n)};
        if (!Draw(D3DPT_TRIANGLESTRIP, 2, quad)) {
            return false;
        }
    }
    return true;
}

bool IOrvalen2DD3D::DrawThickRectangles(std::int32_t count, const Vertex2D* corners) {
    std::unique_ptr<Vertex2D[]> segments = NewVertices(8 * static_cast<std::size_t>(count));
    if (segments == nullptr) {
        return false;
    }
    // Top and bottom edges stop half a pen short of the corners, which the sides' ends cover, so that
    // no corner pixel is drawn twice. Positions stay in the caller's space for DrawLines.
    const float h = HalfWidth();
    const auto shortened = [&](const Vertex2D& from, const Vertex2D& to) {
        const D3DXVECTOR3 pixel = PixelOf(from);
        const D3DXVECTOR3 moved = pixel + Towards(PixelOf(to), pixel, h);
        Vertex2D vertex = from;
        SetPosition(vertex, ScreenSpace ? moved : FromScreen(moved));
        return vertex;
    };
    for (std::int32_t item = 0; item < count; ++item) {
        const Vertex2D* c = corners + 4 * static_cast<std::size_t>(item);
        Vertex2D* s = &segments[8 * static_cast<std::size_t>(item)];
        s[0] = shortened(c[0], c[1]);
        s[1] = shortened(c[1], c[0]);
        s[2] = c[1];
        s[3] = c[3];
        s[4] = shortened(c[3], c[2]);
        s[5] = shortened(c[2], c[3]);
        s[6] = c[2];
        s[7] = c[0];
    }
    return DrawLines(4 * count, segments.get());
}

bool IOrvalen2DD3D::DrawThickTriangles(std::int32_t count, const Vertex2D* corners) {
    std::unique_ptr<Vertex2D[]> edges = NewVertices(6 * static_cast<std::size_t>(count));
    if (edges == nullptr) {
        return false;
    }
    for (std::int32_t item = 0; item < count; ++item) {
        const Vertex2D* c = corners + 3 * static_cast<std::size_t>(item);
        Vertex2D* e = &edges[6 * static_cast<std::size_t>(item)];
        e[0] = c[0];
        e[1] = c[1];
        e[2] = c[1];
        e[3] = c[2];
        e[4] = c[2];
        e[5] = c[0];
    }
    return DrawLines(3 * count, edges.get());
}

bool IOrvalen2DD3D::DrawGrownTriangles(std::int32_t count, const Vertex2D* corners) {
    const float h = HalfWidth();
    for (std::int32_t item = 0; item < count; ++item) {
        const Vertex2D* c = corners + 3 * static_cast<std::size_t>(item);
        const D3DXVECTOR3 s0 = PixelOf(c[0]);
        const D3DXVECTOR3 s1 = PixelOf(c[1]);
        const D3DXVECTOR3 s2 = PixelOf(c[2]);
        // Each corner moves away from the other two.
        const D3DXVECTOR3 e01 = Towards(s0, s1, h);
        const D3DXVECTOR3 e12 = Towards(s1, s2, h);
        const D3DXVECTOR3 e20 = Towards(s2, s0, h);
        const Vertex2D grown[] = {AtPixel(c[0], s0 + e01 - e20), AtPixel(c[1], s1 + e12 - e01),
                                  AtPixel(c[2], s2 + e20 - e12)};
        if (!Draw(D3DPT_TRIANGLELIST, 1, grown)) {
            return false;
        }
    }
    return true;
}
