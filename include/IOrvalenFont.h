#pragma once
// The font interface the host holds: ten numbered fonts and two ways of writing text with them. The
// host calls it through the virtual table, so the order of the operations below is part of the
// interface; overloads stand next to each other.

#include <cstdint>

class IOrvalenRenderer;

class IOrvalenFont {
public:
    /// 32-bit ARGB colour of all text drawn, of every font; the host sets it, no operation changes it.
    std::uint32_t Colour = 0xFFFFFFFF;

    /// Releases every font.
    virtual ~IOrvalenFont() = default;
    /// Keeps `*renderer`; the fonts are made on its device.
    virtual void SetRenderer(IOrvalenRenderer** renderer) = 0;
    /// Gives each font its device objects back after a device reset; true.
    virtual bool OnResetDevice() = 0;
    /// Lets each font release its device objects before the device is reset.
    virtual void OnLostDevice() = 0;
    /// Makes font slot `index` (0 to 9), replacing the font it held: lines `height` pixels high, glyphs
    /// `width` pixels wide on average (0: the face's own proportions), weight 700 when `bold` else 400,
    /// from the face named `face`. False for a bad index or when the font can't be made (the slot is
    /// then empty).
    virtual bool CreateFont(std::int32_t width, std::int32_t height, bool bold, bool italic, const char* face,
                            std::int32_t index) = 0;
    /// The same, neither bold nor italic.
    virtual bool CreateFont(std::int32_t width, std::int32_t height, const char* face,
                            std::int32_t index) = 0;
    /// Writes `text` in `Colour`, word-wrapped in the box of `width` x `height` pixels whose top-left
    /// corner is (`x`, `y`). False for a bad index, an empty slot or nothing drawn.
    virtual bool DrawText(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          const char* text, std::int32_t index) = 0;
    /// Writes `text` in `Colour` on one line from the top-left point (`x`, `y`). False for a bad index,
    /// an empty slot or nothing drawn.
    virtual bool DrawText(std::int32_t x, std::int32_t y, const char* text, std::int32_t index) = 0;
};
