#pragma once
// Face culling of a triangle list done before OpenGL sees it, for the triangles where OpenGL is certain
// to decide the same. A triangle is decided here only when its corners lie inside the view volume, so
// that OpenGL clips nothing of it, and its area on the screen is far enough from zero that neither the
// rounding of the two computations nor OpenGL's snapping of corners to 1/256 pixel can change its sign.
// Every other triangle is kept for OpenGL's own culling, which keeps every triangle kept here as well. A
// draw whose triangles were all decided here needs no culling from OpenGL: a pass that changes the cull
// mode between draws, with the stencil test of the faces it culls, then hands the driver one state for
// all of them.

#include "platform/Direct3D9.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class FaceCuller {
public:
    /// Sorts the `triangles` triangles of a list, whose corners are `stride` bytes apart with their
    /// position first, seen through `toClip` (world, view and OpenGL projection) onto a viewport of
    /// `width` x `height` pixels, and drops those facing `culled` (GL_FRONT or GL_BACK) where certain.
    void Cull(const D3DMATRIX& world, const D3DMATRIX& view, const D3DMATRIX& projection, float width,
              float height, unsigned culled, const std::uint8_t* vertices, UINT stride,
              std::size_t triangles);
    /// The corners of the kept triangles, back to back, `stride` bytes each.
    const std::uint8_t* Kept() const { return m_kept.data(); }
    std::size_t KeptTriangles() const { return m_keptTriangles; }
    /// Whether some kept triangle is left to OpenGL's culling.
    bool LeftToOpenGL() const { return m_leftToOpenGL; }

private:
    std::vector<std::uint8_t> m_kept; ///< scratch, grown to the largest draw
    std::size_t m_keptTriangles = 0;
    bool m_leftToOpenGL = false;
};
