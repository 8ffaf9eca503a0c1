#define GL_GLEXT_PROTOTYPES 1
#include "platform/FaceCuller.h"

#include "platform/D3DXMath.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

/// How far our clip coordinates and the driver's may lie apart, relative to the magnitude of their terms:
/// each comes of two 4-term matrix products and a 4-term dot product in single precision, at most 12 half
/// units in the last place each, so 12 units between them; 32 leaves room for the perspective divide and
/// the viewport.
constexpr float kRounding = 32.0f * std::numeric_limits<float>::epsilon();
/// The driver snaps corners to the nearest 1/256 pixel.
constexpr float kSnap = 1.0f / 512.0f;
/// A corner this deep inside the view volume is inside for the driver too, whatever its rounding.
constexpr float kInside = 1.0f - 1.0f / 1024.0f;

D3DMATRIX Magnitudes(const D3DMATRIX& m) {
    D3DMATRIX magnitudes;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            magnitudes.m[row][column] = std::abs(m.m[row][column]);
        }
    }
    return magnitudes;
}

/// How a draw's corners reach the window, and how far the driver's snapped corners may lie from ours: at
/// most `stray` / w + `steady` pixels along either axis, for a corner of clip-space depth w.
struct View {
    D3DMATRIX toClip;
    float halfWidth;
    float halfHeight;
    float stray;
    float steady;
};

/// x / w strays by at most (dx + |x / w| dw) / w, and |x / w| <= 1 inside the view volume; dx and dw are
/// bounded through the largest magnitude of each coordinate among the draw's positions.
View ViewOf(const D3DMATRIX& world, const D3DMATRIX& view, const D3DMATRIX& projection, float width,
            float height, const std::uint8_t* vertices, UINT stride, std::size_t count) {
    float largest[3] = {};
    for (std::size_t v = 0; v < count; ++v) {
        float p[3];
        std::memcpy(p, vertices + v * stride, sizeof p);
        for (int axis = 0; axis < 3; ++axis) {
            largest[axis] = std::max(largest[axis], std::abs(p[axis]));
        }
    }
    const D3DXMATRIX bound =
        D3DXMATRIX(Magnitudes(world)) * D3DXMATRIX(Magnitudes(view)) * D3DXMATRIX(Magnitudes(projection));
    const auto magnitude = [&](int column) {
        return largest[0] * bound.m[0][column] + largest[1] * bound.m[1][column] +
               largest[2] * bound.m[2][column] + bound.m[3][column];
    };
    View seen{D3DXMATRIX(world) * D3DXMATRIX(view) * D3DXMATRIX(projection), 0.5f * width, 0.5f * height, 0,
              0};
    seen.stray = kRounding * std::max((magnitude(0) + magnitude(3)) * seen.halfWidth,
                                      (magnitude(1) + magnitude(3)) * seen.halfHeight);
    seen.steady = kRounding * (seen.halfWidth + seen.halfHeight) + kSnap;
    return seen;
}

/// A corner in window coordinates (pixels, y up), with a bound on how far the driver's snapped corner
/// may lie from it along either axis.
struct Corner {
    float x = 0.0f;
    float y = 0.0f;
    float error = 0.0f;
    bool inside = false;
};

Corner CornerOf(const std::uint8_t* vertex, const View& seen) {
    float p[3];
    std::memcpy(p, vertex, sizeof p);
    const D3DMATRIX& m = seen.toClip;
    const auto clip = [&](int column) {
        return p[0] * m.m[0][column] + p[1] * m.m[1][column] + p[2] * m.m[2][column] + m.m[3][column];
    };
    const float w = clip(3);
    const float x = clip(0), y = clip(1), z = clip(2);
    Corner corner;
    corner.inside =
        w > 0.0f && std::abs(x) <= kInside * w && std::abs(y) <= kInside * w && std::abs(z) <= kInside * w;
    if (corner.inside) {
        corner.x = (x / w + 1.0f) * seen.halfWidth;
        corner.y = (y / w + 1.0f) * seen.halfHeight;
        corner.error = seen.stray / w + seen.steady;
    }
    return corner;
}

enum class Facing { Front, Back, Uncertain };

/// The side OpenGL sees of a triangle: counter-clockwise in window coordinates is its front. Moving each
/// corner by up to r along each axis moves twice the area by at most 2 r (sum of edge extents) + 8 r^2;
/// the area must clear twice that, and the rounding of its own two products.
Facing FacingOf(const Corner& a, const Corner& b, const Corner& c) {
    if (!a.inside || !b.inside || !c.inside) {
        return Facing::Uncertain;
    }
    const float abx = b.x - a.x, aby = b.y - a.y, acx = c.x - a.x, acy = c.y - a.y;
    const float first = abx * acy, second = acx * aby;
    const float twiceArea = first - second;
    const float r = std::max({a.error, b.error, c.error});
    const float extents = std::abs(abx) + std::abs(aby) + std::abs(acx) + std::abs(acy) +
                          std::abs(c.x - b.x) + std::abs(c.y - b.y);
    const float margin =
        2.0f * (2.0f * r * extents + 8.0f * r * r) + kRounding * (std::abs(first) + std::abs(second));
    if (!(std::abs(twiceArea) > margin)) {
        return Facing::Uncertain;
    }
    return twiceArea > 0.0f ? Facing::Front : Facing::Back;
}

} // namespace

void FaceCuller::Cull(const D3DMATRIX& world, const D3DMATRIX& view, const D3DMATRIX& projection, float width,
                      float height, unsigned culled, const std::uint8_t* vertices, UINT stride,
                      std::size_t triangles) {
    const View seen = ViewOf(world, view, projection, width, height, vertices, stride, 3 * triangles);
    const std::size_t triangleBytes = 3 * std::size_t(stride);
    if (m_kept.size() < triangles * triangleBytes) {
        m_kept.resize(triangles * triangleBytes);
    }
    const Facing dropped = culled == GL_FRONT ? Facing::Front : Facing::Back;
    m_keptTriangles = 0;
    m_leftToOpenGL = false;
    for (std::size_t t = 0; t < triangles; ++t) {
        const std::uint8_t* corners = vertices + t * triangleBytes;
        const Facing facing = FacingOf(CornerOf(corners, seen), CornerOf(corners + stride, seen),
                                       CornerOf(corners + 2 * stride, seen));
        if (facing == dropped) {
            continue;
        }
        m_leftToOpenGL = m_leftToOpenGL || facing == Facing::Uncertain;
        std::memcpy(m_kept.data() + m_keptTriangles * triangleBytes, corners, triangleBytes);
        ++m_keptTriangles;
    }
}
