#pragma once
// Pictures the demo draws pixel by pixel, and the tests too, for textures it saves as PNG files.

#include "platform/control.h"

#include <cstddef>

namespace images {

/// An image of `width` x `height` whose pixel (x, y) is `colour(x, y)` (ARGB).
template <typename Colour> platform::Image Make(UINT width, UINT height, Colour colour) {
    platform::Image image;
    image.width = width;
    image.height = height;
    image.pixels.resize(std::size_t(width) * height);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            image.pixels[std::size_t(y) * width + x] = colour(x, y);
        }
    }
    return image;
}

} // namespace images
