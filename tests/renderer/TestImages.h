#pragma once
// Small images written by the tests themselves, in each file format the library reads.

#include "host/Images.h"
#include "platform/control.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <cstdint>
#include <string>
#include <vector>

namespace test_images {

enum class Format { Png, Bmp, Tga, Jpeg };

using images::Make;

/// Quadrants of 8 x 8: red top left, green top right, blue bottom left, white bottom right.
inline platform::Image Quadrants() {
    return Make(16, 16, [](UINT x, UINT y) -> std::uint32_t {
        if (y < 8) {
            return x < 8 ? 0xFFFF0000u : 0xFF00FF00u;
        }
        return x < 8 ? 0xFF0000FFu : 0xFFFFFFFFu;
    });
}

/// Writes `image` as a file of `format`; false when it cannot be written. BMP and JPEG drop alpha.
inline bool Write(const std::string& path, const platform::Image& image, Format format) {
    std::vector<std::uint8_t> rgba(image.pixels.size() * 4);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const std::uint32_t pixel = image.pixels[i];
        rgba[i * 4 + 0] = static_cast<std::uint8_t>(pixel >> 16);
        rgba[i * 4 + 1] = static_cast<std::uint8_t>(pixel >> 8);
        rgba[i * 4 + 2] = static_cast<std::uint8_t>(pixel);
        rgba[i * 4 + 3] = static_cast<std::uint8_t>(pixel >> 24);
    }
    const int w = static_cast<int>(image.width);
    const int h = static_cast<int>(image.height);
    switch (format) {
    case Format::Png:
        return stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4) != 0;
    case Format::Bmp: {
        std::vector<std::uint8_t> rgb;
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
        }
        return stbi_write_bmp(path.c_str(), w, h, 3, rgb.data()) != 0;
    }
    case Format::Tga:
        return stbi_write_tga(path.c_str(), w, h, 4, rgba.data()) != 0;
    case Format::Jpeg:
        return stbi_write_jpg(path.c_str(), w, h, 4, rgba.data(), 100) != 0;
    }
    return false;
}

/// Whether two ARGB colours differ by at most `tolerance` in every channel.
inline bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (difference > tolerance || difference < -tolerance) {
            return false;
        }
    }
    return true;
}

} // namespace test_images
