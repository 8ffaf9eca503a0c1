#pragma once
// Image files as the utility library reads them: BMP, PNG, JPEG and TGA, decoded by stb_image. Files
// come from outside, so sizes are bounded before any pixel is decoded: by fixed limits, and by what a
// file of its length can hold.

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
    /// What the decoder may ask for before it knows an image's size: its own records (the JPEG
    /// decoder's is about 18 KiB) and first buffers.
    static constexpr std::size_t kDecoderWorkspace = std::size_t(64) << 10;

    /// The header of an image of a supported format within the size bounds; none otherwise.
    static std::optional<ImageHeader> ReadHeader(const std::uint8_t* data, std::size_t size);
    /// The pixels as ARGB, rows from the top; an image without alpha reads opaque. None when the data
    /// is not an image that ReadHeader accepts or does not decode.
    static std::optional<platform::Image> Decode(const std::uint8_t* data, std::size_t size);
    /// The largest block the decoder asked for since the last call, in bytes.
    static std::size_t TakeLargestDecoderRequest();
};
