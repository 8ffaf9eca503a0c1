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

/// A corner in window coordinates (pixels, y up), with a bound on how far the driver's snapped corner
/// may lie from it along either axis.
struct Corner {
    float x = 0.0f;
    float y = 0.0f;
    float error = 0.0f;
    bool inside = false;
};

Corner CornerOf(const std::uint8_t* vertex, const D3DMATRIX& toClip, const D3DMATRIX& bound, float halfWidth,
                float halfHeight) {
    float p[3];
    std::memcpy(p, vertex, sizeof p);
    const auto clip = [&](int column) {
        return p[0] * toClip.m[0][column] + p[1] * toClip.m[1][column] + p[2] * toClip.m[2][column] +
               toClip.m[3][column];
    };
    const float w = clip(3);
    const float x = clip(0), y = clip(1), z = clip(2);
    Corner corner;
    corner.inside =
        w > 0.0f && std::abs(x) <= kInside * w && std::abs(y) <= kInside * w && std::abs(z) <= kInside * w;
    if (!corner.inside) {
        return corner;
    }
    const float a[3] = {std::abs(p[0]), std::abs(p[1]), std::abs(p[2])};
    const auto magnitude = [&](int column) {
        return a[0] * bound.m[0][column] + a[1] * bound.m[1][column] + a[2] * bound.m[2][column] +
               bound.m[3][column];
    };
    const float magnitudeW = magnitude(3);
    corner.x = (x / w + 1.0f) * halfWidth;
    corner.y = (y / w + 1.0f) * halfHeight;
    // x / w strays by at most (dx + |x / w| dw) / w, and |x / w| <= 1 inside.
    const float stray =
        kRounding *
        (std::max((magnitude(0) + magnitudeW) * halfWidth, (magnitude(1) + magnitudeW) * halfHeight) / w +
         halfWidth + halfHeight);
    corner.error = stray + kSnap;
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
    const D3DMATRIX toClip = D3DXMATRIX(world) * D3DXMATRIX(view) * D3DXMATRIX(projection);
    const D3DMATRIX bound =
        D3DXMATRIX(Magnitudes(world)) * D3DXMATRIX(Magnitudes(view)) * D3DXMATRIX(Magnitudes(projection));
    const float halfWidth = 0.5f * width, halfHeight = 0.5f * height;
    const std::size_t triangleBytes = 3 * std::size_t(stride);
    if (m_kept.size() < triangles * triangleBytes) {
        m_kept.resize(triangles * triangleBytes);
    }
    const Facing dropped = culled == GL_FRONT ? Facing::Front : Facing::Back;
    m_keptTriangles = 0;
    m_leftToOpenGL = false;
    for (std::size_t t = 0; t < triangles; ++t) {
        const std::uint8_t* corners = vertices + t * triangleBytes;
        const Facing facing = FacingOf(CornerOf(corners, toClip, bound, halfWidth, halfHeight),
                                       CornerOf(corners + stride, toClip, bound, halfWidth, halfHeight),
                                       CornerOf(corners + 2 * stride, toClip, bound, halfWidth, halfHeight));
        if (facing == dropped) {
            continue;
        }
        m_leftToOpenGL = m_leftToOpenGL || facing == Facing::Uncertain;
        std::memcpy(m_kept.data() + m_keptTriangles * triangleBytes, corners, triangleBytes);
        ++m_keptTriangles;
    }
}
