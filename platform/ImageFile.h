#pragma once
// Image files as the utility library reads them: BMP, PNG, JPEG and TGA, decoded by stb_image. Files
// come from outside, so sizes are bounded before any pixel is decoded.

#include "platform/D3DXTexture.h"
#include "platform/control.h"

#include <cstddef>
#include <cstdint>
#include <optional>

/// What an image file's header tells.
struct ImageHeader {
    UINT width = 0;
    UINT height = 0;
    bool hasAlpha = false;
    D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
};

class ImageFile {
public:
    static constexpr UINT kMaxSide = 16384;                     ///< pixels along either side
    static constexpr std::uint64_t kMaxPixels = 4096ull * 4096; ///< pixels in all

    /// The header of an image of a supported format within the size bounds; none otherwise.
    static std::optional<ImageHeader> ReadHeader(const std::uint8_t* data, std::size_t size);
    /// The pixels as ARGB, rows from the top; an image without alpha reads opaque. None when the data
    /// is not an image that ReadHeader accepts or does not decode.
    static std::optional<platform::Image> Decode(const std::uint8_t* data, std::size_t size);
};
