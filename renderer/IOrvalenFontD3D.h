#pragma once
// The font interface over the Direct3D utility library's fonts: ten slots the host fills by number and
// writes text with, all in the one colour the host sets.

#include "IOrvalenFont.h"
#include "platform/D3DXFont.h"

#include <cstdint>

class IOrvalenD3D;

class IOrvalenFontD3D : public IOrvalenFont {
public:
    static constexpr std::int32_t kFontSlots = 10;

    IOrvalenD3D* Renderer = nullptr;       ///< set by SetRenderer; fonts are made on its device
    ID3DXFont* Fonts[kFontSlots] = {};     ///< one reference each, owned; null for an empty slot
    std::int32_t Widths[kFontSlots] = {};  ///< the width each slot was last created with
    std::int32_t Heights[kFontSlots] = {}; ///< the height each slot was last created with

    IOrvalenFontD3D() = default;
    ~IOrvalenFontD3D() override;
    IOrvalenFontD3D(const IOrvalenFontD3D&) = delete;
    IOrvalenFontD3D& operator=(const IOrvalenFontD3D&) = delete;

    void SetRenderer(IOrvalenRenderer** renderer) override;
    bool OnResetDevice() override;
    void OnLostDevice() override;
    bool CreateFont(std::int32_t width, std::int32_t height, bool bold, bool italic, const char* face,
                    std::int32_t index) override;
    bool CreateFont(std::int32_t width, std::int32_t height, const char* face, std::int32_t index) override;
    bool DrawText(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, const char* text,
                  std::int32_t index) override;
    bool DrawText(std::int32_t x, std::int32_t y, const char* text, std::int32_t index) override;

private:
    /// Whether `index` names a slot; a bad one is logged against `operation`.
    bool CheckIndex(const char* operation, std::int32_t index);
    /// Writes `text` with the font of a slot known to be valid; false for an empty slot or nothing drawn.
    bool Write(std::int32_t index, const char* text, RECT rect, DWORD format);
};
