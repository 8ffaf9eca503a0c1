#pragma once
// Pixel work of texture loading on ARGB images: the colour key, resizing and the mip chain.

#include "platform/control.h"

#include <vector>

class ImageFilter {
public:
    /// Every pixel equal to `key` becomes transparent black; a key of 0 keys nothing.
    static void ApplyColourKey(platform::Image& image, DWORD key);
    /// `image` at `width` x `height` by a D3DX filter: none copies it into the top-left corner and
    /// leaves the rest transparent black, point takes the nearest pixel, the others interpolate.
    static platform::Image Resized(const platform::Image& image, UINT width, UINT height, DWORD filter);
    /// The next mip level (half size, at least 1 x 1): none and point take every other pixel, the
    /// others average each 2 x 2 block.
    static platform::Image HalfSize(const platform::Image& image, DWORD filter);
    /// Levels of a full chain for that size, down to 1 x 1.
    static UINT FullChainLength(UINT width, UINT height);
    /// `top` and the `levels` - 1 levels below it.
    static std::vector<platform::Image> MipChain(platform::Image top, UINT levels, DWORD filter);
    /// Every pixel made opaque, for formats without alpha.
    static void MakeOpaque(platform::Image& image);
};
