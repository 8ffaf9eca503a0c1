#pragma once
// Where each component of a flexible-vertex-format vertex lies, and the vertex's size.

#include "platform/Direct3D9.h"

#include <optional>

struct VertexFormat {
    static constexpr DWORD kMaxTextureSets = 8;

    DWORD size = 0;              ///< bytes of one vertex
    std::optional<DWORD> normal; ///< byte offset of each component present
    std::optional<DWORD> diffuse;
    std::optional<DWORD> specular;
    DWORD textureSets = 0;   ///< pairs of texture coordinates, 2 floats each, after a specular colour
    DWORD textureOffset = 0; ///< byte offset of the first pair

    /// The layout of `fvf`; none unless it has a position and only the components listed above.
    static std::optional<VertexFormat> Of(DWORD fvf);
};
