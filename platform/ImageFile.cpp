#include "platform/ImageFile.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

/// What the decoder may ask for at once, raised for the image being decoded, and the largest request
/// it made, refused or not.
struct DecoderMemory {
    std::size_t budget = ImageFile::kDecoderWorkspace;
    std::size_t largestRequest = 0;
} g_decoderMemory;

void* DecoderAllocate(void* block, std::size_t bytes) {
    g_decoderMemory.largestRequest = std::max(g_decoderMemory.largestRequest, bytes);
    return bytes <= g_decoderMemory.budget ? std::realloc(block, bytes) : nullptr;
}

} // namespace

// Only the four formats the library reads; the decoder is given memory, never a file, and takes its
// blocks through the budget of the image it decodes. Its functions are this file's own, so that a
// program with a decoder of its own cannot stand in for this one.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 16384
#define STBI_MALLOC(bytes) DecoderAllocate(nullptr, bytes)
#define STBI_REALLOC(block, bytes) DecoderAllocate(block, bytes)
#define STBI_FREE(block) std::free(block)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

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

/// Huffman tables a JPEG has defined so far, one bit for each class (DC, AC) and slot (0 to 3).
using JpegTableSet = unsigned;

constexpr JpegTableSet JpegTable(unsigned tableClass, unsigned slot) {
    return tableClass <= 1 && slot <= 3 ? 1u << (tableClass * 4 + slot) : 0u;
}

/// Whether the tables of a table-definition segment [at, end) fit the 256 codes a table can have (the
/// decoder trusts the counts and writes past its tables otherwise); adds them to `defined`.
bool HuffmanTablesFit(const std::uint8_t* data, std::size_t at, std::size_t end, JpegTableSet& defined) {
    for (std::size_t table = at; table < end;) {
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
        defined |= JpegTable(data[table] >> 4, data[table] & 15);
        table += 17 + codes;
    }
    return true;
}

/// Whether a scan header [at, end) uses only tables defined before it: the decoder reads an undefined
/// table from memory it never filled and indexes its symbols with what it finds there.
bool ScanTablesDefined(const std::uint8_t* data, std::size_t at, std::size_t end, JpegTableSet defined) {
    if (at >= end) {
        return true; // the decoder refuses a scan header this short itself
    }
    const std::size_t components = data[at];
    const std::size_t spectrum = at + 1 + 2 * components; // start, end, approximation
    if (spectrum + 3 > end) {
        return true;
    }
    // DC coefficients are Huffman coded in a scan that starts at 0 and is not a refinement; AC ones
    // in a scan that ends past 0.
    const bool usesDc = data[spectrum] == 0 && (data[spectrum + 2] >> 4) == 0;
    const bool usesAc = data[spectrum + 1] > 0;
    for (std::size_t i = 0; i < components; ++i) {
        const std::uint8_t tables = data[at + 2 + 2 * i];
        const JpegTableSet needed = (usesDc ? JpegTable(0, tables >> 4) : 0u) | (usesAc ? JpegTable(1, tables & 15) : 0u);
        if ((needed & defined) != needed) {
            return false;
        }
    }
    return true;
}

/// Whether every segment of a JPEG lies inside the file, its Huffman tables fit and its scans use
/// only tables it defined.
bool JpegSegmentsFit(const std::uint8_t* data, std::size_t size) {
    JpegTableSet defined = 0;
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
        const std::size_t end = at + 2 + BigEndian16(data + at + 2);
        if (end > size || (marker == 0xC4 && !HuffmanTablesFit(data, at + 4, end, defined)) ||
            (marker == 0xDA && !ScanTablesDefined(data, at + 4, end, defined))) {
            return false;
        }
        at = std::max(end, at + 2);
    }
    return true;
}

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
    return (BigEndian16(bytes) << 16) | BigEndian16(bytes + 2);
}

/// Whether the data of every PNG chunk up to the end chunk lies inside the file (the decoder grows its
/// buffer to a chunk's declared length before it reads), and the first image-data chunk holds data
/// (the decoder copies an empty first chunk into a buffer it has not made yet).
bool PngChunksFit(const std::uint8_t* data, std::size_t size) {
    bool seenImageData = false;
    for (std::size_t at = 8; at + 8 <= size;) {
        const std::uint32_t length = BigEndian32(data + at);
        if (length > size - at - 8) {
            return false;
        }
        const bool imageData = std::memcmp(data + at + 4, "IDAT", 4) == 0;
        if (imageData && !seenImageData && length == 0) {
            return false;
        }
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) {
            return true;
        }
        seenImageData = seenImageData || imageData;
        at += 12 + std::size_t(length);
    }
    return true;
}

/// The most pixels a file of `size` bytes can describe: formats whose readers pad a short file with
/// zeros would otherwise make a few bytes claim a picture of gigabytes.
std::uint64_t MostPixels(D3DXIMAGE_FILEFORMAT format, const std::uint8_t* data, std::size_t size) {
    constexpr std::uint64_t kDeflateBestRatio = 1032; // 258 bytes from one 2-bit code
    switch (format) {
    case D3DXIFF_PNG:
        return 8 * kDeflateBestRatio * size; // 1-bit pixels
    case D3DXIFF_JPG:
        return 64 * 8 * size; // one bit at least for each 8 x 8 block
    case D3DXIFF_BMP:
        return 8 * std::uint64_t(size); // 1-bit pixels, no run-length coding
    default:
        // A run packet of a run-length TGA repeats one pixel of a byte or more up to 128 times.
        return size > 2 && (data[2] & 8) != 0 ? 64 * std::uint64_t(size) : size;
    }
}

/// What the decoder may ask for at once for an image: its pixels at 16 bits a channel for a block-sized
/// margin, or the file's compressed data gathered twice over by doubling, with its workspace.
std::size_t DecodeBudget(const ImageHeader& header, std::size_t size) {
    constexpr std::uint64_t kBlockMargin = 32;
    return static_cast<std::size_t>(8 * (header.width + kBlockMargin) * (header.height + kBlockMargin) +
                                    2 * std::uint64_t(size) + ImageFile::kDecoderWorkspace);
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
    if ((format == D3DXIFF_JPG && !JpegSegmentsFit(data, size)) ||
        (format == D3DXIFF_PNG && !PngChunksFit(data, size))) {
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
    const std::uint64_t pixels = std::uint64_t(w) * h;
    if (w > kMaxSide || h > kMaxSide || pixels > kMaxPixels || pixels > MostPixels(format, data, size)) {
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
    g_decoderMemory.budget = DecodeBudget(*header, size);
    const std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &components, 4));
    g_decoderMemory.budget = kDecoderWorkspace;
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

std::size_t ImageFile::TakeLargestDecoderRequest() {
    return std::exchange(g_decoderMemory.largestRequest, 0);
}
