#include "platform/ImageFilter.h"

#include "platform/D3DXTexture.h"

#include <algorithm>
#include <cmath>

namespace {

/// The low byte of a filter selects it; the higher bits (dithering, mirroring) change nothing here.
DWORD FilterKind(DWORD filter) {
    return filter == D3DX_DEFAULT ? D3DX_FILTER_TRIANGLE : (filter & 0xFF);
}

std::uint32_t Channel(std::uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

/// Rounded average of the four pixels, channel by channel.
std::uint32_t Average(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t sum =
            Channel(a, shift) + Channel(b, shift) + Channel(c, shift) + Channel(d, shift);
        result |= ((sum + 2) / 4) << shift;
    }
    return result;
}

/// Channel-wise interpolation of four pixels around a point with fractions fx, fy.
std::uint32_t Bilinear(std::uint32_t p00, std::uint32_t p10, std::uint32_t p01, std::uint32_t p11, float fx,
                       float fy) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const float top = static_cast<float>(Channel(p00, shift)) * (1.0f - fx) + Channel(p10, shift) * fx;
        const float bottom = static_cast<float>(Channel(p01, shift)) * (1.0f - fx) + Channel(p11, shift) * fx;
        const float value = top * (1.0f - fy) + bottom * fy;
        result |= static_cast<std::uint32_t>(std::clamp(std::lround(value), 0L, 255L)) << shift;
    }
    return result;
}

platform::Image Blank(UINT width, UINT height) {
    platform::Image image;
    image.width = width;
    image.height = height;
    image.pixels.assign(std::size_t(width) * height, 0u);
    return image;
}

} // namespace

void ImageFilter::ApplyColourKey(platform::Image& image, DWORD key) {
    if (key == 0) {
        return;
    }
    std::replace(image.pixels.begin(), image.pixels.end(), key, 0u);
}

void ImageFilter::MakeOpaque(platform::Image& image) {
    for (std::uint32_t& pixel : image.pixels) {
        pixel |= 0xFF000000u;
    }
}

platform::Image ImageFilter::Resized(const platform::Image& image, UINT width, UINT height, DWORD filter) {
    if (width == image.width && height == image.height) {
        return image;
    }
    platform::Image result = Blank(width, height);
    const DWORD kind = FilterKind(filter);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            std::uint32_t& pixel = result.pixels[std::size_t(y) * width + x];
            if (kind == D3DX_FILTER_NONE) {
                pixel = x < image.width && y < image.height ? image.At(x, y) : 0u;
                continue;
            }
            // The pixel's centre in the source's pixels.
            const float sx = (static_cast<float>(x) + 0.5f) * image.width / width - 0.5f;
            const float sy = (static_cast<float>(y) + 0.5f) * image.height / height - 0.5f;
            if (kind == D3DX_FILTER_POINT) {
                const auto nx = static_cast<UINT>(std::clamp(std::lround(sx), 0L, long(image.width) - 1));
                const auto ny = static_cast<UINT>(std::clamp(std::lround(sy), 0L, long(image.height) - 1));
                pixel = image.At(nx, ny);
                continue;
            }
            const float fx0 = std::clamp(std::floor(sx), 0.0f, static_cast<float>(image.width - 1));
            const float fy0 = std::clamp(std::floor(sy), 0.0f, static_cast<float>(image.height - 1));
            const auto x0 = static_cast<UINT>(fx0);
            const auto y0 = static_cast<UINT>(fy0);
            const UINT x1 = std::min(x0 + 1, image.width - 1);
            const UINT y1 = std::min(y0 + 1, image.height - 1);
            pixel = Bilinear(image.At(x0, y0), image.At(x1, y0), image.At(x0, y1), image.At(x1, y1),
                             std::clamp(sx - fx0, 0.0f, 1.0f), std::clamp(sy - fy0, 0.0f, 1.0f));
        }
    }
    return result;
}

platform::Image ImageFilter::HalfSize(const platform::Image& image, DWORD filter) {
    const UINT width = std::max(1u, image.width / 2);
    const UINT height = std::max(1u, image.height / 2);
    platform::Image result = Blank(width, height);
    const DWORD kind = FilterKind(filter);
    for (UINT y = 0; y < height; ++y) {
        const UINT y0 = std::min(2 * y, image.height - 1);
        const UINT y1 = std::min(2 * y + 1, image.height - 1);
        for (UINT x = 0; x < width; ++x) {
            const UINT x0 = std::min(2 * x, image.width - 1);
            const UINT x1 = std::min(2 * x + 1, image.width - 1);
            result.pixels[std::size_t(y) * width + x] =
                kind == D3DX_FILTER_NONE || kind == D3DX_FILTER_POINT
                    ? image.At(x0, y0)
                    : Average(image.At(x0, y0), image.At(x1, y0), image.At(x0, y1), image.At(x1, y1));
        }
    }
    return result;
}

UINT ImageFilter::FullChainLength(UINT width, UINT height) {
    UINT levels = 1;
    for (UINT side = std::max(width, height); side > 1; side /= 2) {
        ++levels;
    }
    return levels;
}

std::vector<platform::Image> ImageFilter::MipChain(platform::Image top, UINT levels, DWORD filter) {
    std::vector<platform::Image> chain;
    chain.reserve(levels);
    chain.push_back(std::move(top));
    while (chain.size() < levels) {
        chain.push_back(HalfSize(chain.back(), filter));
    }
    return chain;
}
