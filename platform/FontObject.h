#pragma once
// A font of the Direct3D utility library: lays text out in a rectangle and blends the glyphs'
// coverage, in the text's colour, straight into whatever the device is drawing into.

#include "platform/D3DXFont.h"
#include "platform/FontFace.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class Direct3DDevice;

class FontObject final : public ID3DXFont {
public:
    /// Takes a reference to `device`, which must be live, until the font is freed.
    FontObject(IDirect3DDevice9* device, std::unique_ptr<FontFace> face);

    ULONG AddRef() override;
    ULONG Release() override;
    int DrawTextA(ID3DXSprite* sprite, LPCSTR text, int count, RECT* rect, DWORD format,
                  D3DCOLOR colour) override;
    HRESULT OnLostDevice() override;
    HRESULT OnResetDevice() override;

private:
    /// Pixels [left, right) x [top, bottom) of the render target.
    struct Area {
        long long left = 0;
        long long top = 0;
        long long right = 0;
        long long bottom = 0;

        bool Empty() const { return right <= left || bottom <= top; }
        Area Intersect(const Area& other) const;
        /// The smallest area holding both; an empty area adds nothing.
        Area Union(const Area& other) const;
    };

    ~FontObject() override;
    /// Blends one line's glyphs, the first with its pen at (`penX`, `baseline`), within `clip`.
    void DrawLine(std::u32string_view characters, long long penX, long long baseline, const Area& clip,
                  D3DCOLOR colour, Direct3DDevice& device);
    /// Writes the coverage of one line's glyphs, the first with its pen at (`penX`, `baseline`), into
    /// `coverage`, which holds the pixels of `area`.
    void CoverLine(std::u32string_view characters, long long penX, long long baseline, const Area& area,
                   std::vector<std::uint8_t>& coverage);
    /// The pixels the glyphs of one line reach, the first with its pen at (`penX`, `baseline`).
    Area LineExtent(std::u32string_view characters, long long penX, long long baseline);

    ULONG m_references = 1;
    IDirect3DDevice9* m_device; ///< holds one reference
    std::unique_ptr<FontFace> m_face;
    bool m_lost = false; ///< between OnLostDevice and OnResetDevice
};
