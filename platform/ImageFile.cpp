#include "platform/ImageFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

// Only the four formats the library reads; the decoder is given memory, never a file.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 16384
#include <stb/stb_image.h>

namespace {

bool StartsWith(const std::uint8_t* data, std::size_t size, const char* signature, std::size_t length) {
    return size >= length && std::memcmp(data, signature, length) == 0;
}

/// TGA files have no signature: whatever the decoder accepted that is none of the others is one.
D3DXIMAGE_FILEFORMAT FormatOf(const std::uint8_t* data, std::size_t size) {
    if (StartsWith(data, size, "\x89PNG", 4)) {
        return D3DXIFF_PNG;
    }
    // The decoder takes fill bytes before a JPEG's start-of-image marker.
    if (StartsWith(data, size, "\xFF", 1)) {
        return D3DXIFF_JPG;
    }
    if (StartsWith(data, size, "BM", 2)) {
        return D3DXIFF_BMP;
    }
    return D3DXIFF_TGA;
}

std::uint32_t BigEndian16(const std::uint8_t* bytes) {
    return (std::uint32_t(bytes[0]) << 8) | bytes[1];
}

/// Whether every Huffman table a JPEG defines fits the 256 codes a table can have. The decoder
/// trusts the counts and writes past its tables otherwise.
bool HuffmanTablesFit(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    while (at + 1 < size) {
        if (data[at] != 0xFF) {
            // Entropy-coded data: skip to the next marker that is not a stuffed byte or restart.
            ++at;
            continue;
        }
        const std::uint8_t marker = data[at + 1];
        if (marker == 0x00 || marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            at += marker == 0xFF ? 1 : 2;
            continue;
        }
        if (marker == 0xD9) {
            return true;
        }
        if (at + 4 > size) {
            return true; // the decoder finds the end itself
        }
        const std::size_t length = BigEndian16(data + at + 2);
        const std::size_t end = std::min(size, at + 2 + length);
        if (marker == 0xC4) {
            for (std::size_t table = at + 4; table < end;) {
                if (table + 17 > end) {
                    return false;
                }
                std::size_t codes = 0;
                for (std::size_t i = 1; i <= 16; ++i) {
                    codes += data[table + i];
                }
                if (codes > 256) {
                    return false;
                }
                table += 17 + codes;
            }
        }
        at = std::max(end, at + 2);
    }
    return true;
}

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
    return (BigEndian16(bytes) << 16) | BigEndian16(bytes + 2);
}

/// Whether a PNG's first image-data chunk holds data: the decoder copies an empty first chunk into
/// a buffer it has not made yet.
bool FirstImageDataFilled(const std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 8; at + 8 <= size;) {
        const std::uint32_t length = BigEndian32(data + at);
        if (std::memcmp(data + at + 4, "IDAT", 4) == 0) {
            return length > 0;
        }
        if (std::memcmp(data + at + 4, "IEND", 4) == 0 || length > size) {
            return true;
        }
        at += 12 + std::size_t(length);
    }
    return true;
}

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

} // namespace

std::optional<ImageHeader> ImageFile::ReadHeader(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > static_cast<std::size_t>(INT_MAX)) {
        return std::nullopt;
    }
    // Checked before the decoder sees the data: its header reader already builds the tables.
    const D3DXIMAGE_FILEFORMAT format = FormatOf(data, size);
    if ((format == D3DXIFF_JPG && !HuffmanTablesFit(data, size)) ||
        (format == D3DXIFF_PNG && !FirstImageDataFilled(data, size))) {
        return std::nullopt;
    }
    int width = 0;
    int height = 0;
    int components = 0;
    if (stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &components) == 0 ||
        width <= 0 || height <= 0) {
        return std::nullopt;
    }
    const auto w = static_cast<UINT>(width);
    const auto h = static_cast<UINT>(height);
    if (w > kMaxSide || h > kMaxSide || std::uint64_t(w) * h > kMaxPixels) {
        return std::nullopt;
    }
    return ImageHeader{w, h, components == 2 || components == 4, format};
}

std::optional<platform::Image> ImageFile::Decode(const std::uint8_t* data, std::size_t size) {
    const std::optional<ImageHeader> header = ReadHeader(data, size);
    if (!header) {
        return std::nullopt;
    }
    int width = 0;
    int height = 0;
    int components = 0;
    const std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &components, 4));
    // The header and the decoded image must agree, or the header lied about the pixel count.
    if (rgba == nullptr || static_cast<UINT>(width) != header->width ||
        static_cast<UINT>(height) != header->height) {
        return std::nullopt;
    }
    platform::Image image;
    image.width = header->width;
    image.height = header->height;
    image.pixels.resize(std::size_t(image.width) * image.height);
    const stbi_uc* source = rgba.get();
    for (std::uint32_t& pixel : image.pixels) {
        pixel = (std::uint32_t(source[3]) << 24) | (std::uint32_t(source[0]) << 16) |
                (std::uint32_t(source[1]) << 8) | source[2];
        source += 4;
    }
    return image;
}
