#pragma once
// Where something was drawn onto a black image: how many pixels are not black, and their bounding box.

#include "platform/control.h"

#include <algorithm>
#include <climits>

struct LitPixels {
    int count = 0;
    int left = INT_MAX; ///< the box is [left, right) x [top, bottom); empty while count is 0
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;

    /// The lit pixels of `image` within [left, right) x [top, bottom), clipped to the image.
    static LitPixels In(const platform::Image& image, int left = 0, int top = 0, int right = INT_MAX,
                        int bottom = INT_MAX) {
        LitPixels lit;
        const int width = static_cast<int>(image.width);
        const int height = static_cast<int>(image.height);
        for (int y = std::max(top, 0); y < std::min(bottom, height); ++y) {
            for (int x = std::max(left, 0); x < std::min(right, width); ++x) {
                if ((image.At(static_cast<UINT>(x), static_cast<UINT>(y)) & 0x00FFFFFFu) != 0) {
                    ++lit.count;
                    lit.left = std::min(lit.left, x);
                    lit.top = std::min(lit.top, y);
                    lit.right = std::max(lit.right, x + 1);
                    lit.bottom = std::max(lit.bottom, y + 1);
                }
            }
        }
        return lit;
    }
};
