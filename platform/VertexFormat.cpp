#include "platform/VertexFormat.h"

std::optional<VertexFormat> VertexFormat::Of(DWORD fvf) {
    constexpr DWORD kKnown =
        D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK;
    const DWORD textureSets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if ((fvf & D3DFVF_XYZ) == 0 || (fvf & ~kKnown) != 0 || textureSets > kMaxTextureSets) {
        return std::nullopt;
    }
    VertexFormat format;
    format.size = 3 * sizeof(float);
    if ((fvf & D3DFVF_NORMAL) != 0) {
        format.normal = format.size;
        format.size += 3 * sizeof(float);
    }
    if ((fvf & D3DFVF_DIFFUSE) != 0) {
        format.diffuse = format.size;
        format.size += sizeof(DWORD);
    }
    if ((fvf & D3DFVF_SPECULAR) != 0) {
        format.specular = format.size;
        format.size += sizeof(DWORD);
    }
    format.textureSets = textureSets;
    format.textureOffset = format.size;
    format.size += textureSets * 2 * sizeof(float);
    return format;
}
