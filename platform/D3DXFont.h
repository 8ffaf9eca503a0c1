#pragma once
// Fonts of the Direct3D utility library: a face chosen by name, height, weight and slant, drawn into
// the device's render target in one colour.

#include "platform/Direct3D9.h"

/// 32-bit ARGB colour.
using D3DCOLOR = DWORD;

/// Text format flags of DrawTextA; any other flag is ignored.
constexpr DWORD DT_WORDBREAK = 0x10; ///< break lines between words that would leave the rectangle
constexpr DWORD DT_NOCLIP = 0x100;   ///< draw beyond the rectangle instead of clipping to it

constexpr UINT FW_NORMAL = 400;
constexpr UINT FW_BOLD = 700;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD ANTIALIASED_QUALITY = 4;

/// Batches textured quads; fonts draw without one here.
struct ID3DXSprite;

/// A font made on a device; holds a reference to the device until it is released.
struct ID3DXFont : IUnknown {
    /// Writes `count` characters of `text` (-1: up to its terminating zero) into `rect` of the
    /// device's current render target in `colour`: lines start at the rectangle's left edge, the first
    /// at its top; a line feed starts a new line, and with DT_WORDBREAK so does a word that would
    /// cross the right edge. Without DT_NOCLIP nothing is drawn outside `rect`. Returns the height of
    /// the text in pixels; 0 when there is nothing to draw or the font is lost.
    virtual int DrawTextA(ID3DXSprite* sprite, LPCSTR text, int count, RECT* rect, DWORD format,
                          D3DCOLOR colour) = 0;
    /// Releases what the font keeps on the device before the device is reset; the font draws nothing
    /// until OnResetDevice. Calling it again changes nothing.
    virtual HRESULT OnLostDevice() = 0;
    /// Makes the font usable again after a device reset; calling it again changes nothing.
    virtual HRESULT OnResetDevice() = 0;
};

/// Makes a font of `height` pixels per line whose glyphs are `width` pixels wide on average (0: the
/// face's own proportions), `weight` (0 is FW_NORMAL; 600 and above are bold), upright or `italic`, from the
/// face named `faceName` (the default face when no face of that name is installed). D3DERR_INVALIDCALL for a
/// device that is not live, a null `font`, or a height or width out of range (height 1 to 1024, width up to
/// 1024).
HRESULT D3DXCreateFontA(IDirect3DDevice9* device, int height, UINT width, UINT weight, UINT mipLevels,
                        BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                        DWORD pitchAndFamily, LPCSTR faceName, ID3DXFont** font);
