#pragma once
// The device's per-vertex fixed-function work, done in C++ where OpenGL's own pipeline follows other
// rules: lighting by lights 0-7 (the range cut-off, the spot cone between Theta and Phi, the material
// colour sources), fog on eye depth or on the distance from the eye, and how far a draw's texture
// coordinates reach. Positions still go through OpenGL's transforms.

#include "platform/FixedFunctionState.h"
#include "platform/VertexFormat.h"

#include <array>
#include <cstdint>
#include <vector>

class VertexProcessor {
public:
    /// Which fog a draw gets: none; a factor per vertex (the vertex modes); a distance per vertex that
    /// the rasteriser turns into a factor per pixel (the table modes, which win over the vertex modes).
    enum class Fog { None, PerVertex, PerPixel };
    static Fog FogOf(const FixedFunctionState& state);

    /// The record OpenGL draws of each of `count` vertices of `format` lying `stride` bytes apart, seen
    /// through `world` and `view`: the position and texture coordinates as they came, the lit (or
    /// unlit) diffuse colour, the specular colour (added after texturing) while SPECULARENABLE is on,
    /// and the fog factor (PerVertex) or fog distance (PerPixel) while fogged. Returns where they lie
    /// in the records, which hold until the next call; their storage only grows.
    GLStateShadow::VertexArrays Process(const FixedFunctionState& state, const D3DMATRIX& world,
                                        const D3DMATRIX& view, const VertexFormat& format,
                                        const std::uint8_t* vertices, UINT stride, int count);
    const std::uint8_t* Records() const { return m_records.data(); }
    /// Whether the u and the v of texture set `set` of `count` vertices of `format`, `stride` bytes
    /// apart, stay within 0..1.
    static std::array<bool, 2> WithinUnit(const VertexFormat& format, DWORD set, const std::uint8_t* vertices,
                                          UINT stride, std::size_t count);

private:
    std::vector<std::uint8_t> m_records; ///< scratch, grown to the largest draw
};
