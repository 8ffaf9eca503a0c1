#include "renderer/IOrvalenFontD3D.h"

#include "renderer/IOrvalenD3D.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr UINT kMipLevels = 1;
constexpr DWORD kPitchAndFamily = 0;

/// A rectangle edge from a wide sum, held inside the range of an edge.
LONG ToEdge(long long value) {
    return static_cast<LONG>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

} // namespace

IOrvalenFontD3D::~IOrvalenFontD3D() {
    for (ID3DXFont*& font : Fonts) {
        if (font != nullptr) {
            font->Release();
            font = nullptr;
        }
    }
}

void IOrvalenFontD3D::SetRenderer(IOrvalenRenderer** renderer) {
    // The renderer's own Direct3D record is the only implementation of its interface.
    Renderer = renderer != nullptr ? static_cast<IOrvalenD3D*>(*renderer) : nullptr;
}

bool IOrvalenFontD3D::OnResetDevice() {
    for (ID3DXFont* font : Fonts) {
        if (font != nullptr) {
            font->OnResetDevice();
        }
    }
    return true;
}

void IOrvalenFontD3D::OnLostDevice() {
    for (ID3DXFont* font : Fonts) {
        if (font != nullptr) {
            font->OnLostDevice();
        }
    }
}

bool IOrvalenFontD3D::CheckIndex(const char* operation, std::int32_t index) {
    if (index >= 0 && index < kFontSlots) {
        return true;
    }
    if (Renderer != nullptr) {
        Renderer->Log("ERROR: %s Failed - Bad Index %d\n", operation, index);
    }
    return false;
}

bool IOrvalenFontD3D::CreateFont(std::int32_t width, std::int32_t height, bool bold, bool italic,
                                 const char* face, std::int32_t index) {
    if (!CheckIndex("CreateFont", index)) {
        return false;
    }
    if (Fonts[index] != nullptr) {
        Fonts[index]->Release();
        Fonts[index] = nullptr;
    }
    Widths[index] = width;
    Heights[index] = height;
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return false;
    }
    // A negative width turns into one far beyond any font and is refused with the rest.
    const HRESULT result =
        D3DXCreateFontA(Renderer->Device, height, static_cast<UINT>(width), bold ? FW_BOLD : FW_NORMAL,
                        kMipLevels, italic ? TRUE : FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        ANTIALIASED_QUALITY, kPitchAndFamily, face, &Fonts[index]);
    if (FAILED(result)) {
        Fonts[index] = nullptr;
        return false;
    }
    return true;
}

bool IOrvalenFontD3D::CreateFont(std::int32_t width, std::int32_t height, const char* face,
                                 std::int32_t index) {
    return CreateFont(width, height, false, false, face, index);
}

bool IOrvalenFontD3D::DrawText(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                               const char* text, std::int32_t index) {
    if (!CheckIndex("DrawText", index)) {
        return false;
    }
    const RECT box{x, y, ToEdge(static_cast<long long>(x) + width),
                   ToEdge(static_cast<long long>(y) + height)};
    return Write(index, text, box, DT_WORDBREAK | DT_NOCLIP);
}

bool IOrvalenFontD3D::DrawText(std::int32_t x, std::int32_t y, const char* text, std::int32_t index) {
    if (!CheckIndex("DrawText", index)) {
        return false;
    }
    // Room for one character more than the text holds, at the width the font was made with.
    const long long length = text != nullptr ? static_cast<long long>(std::strlen(text)) : 0;
    const RECT box{x, y, ToEdge(x + (length + 1) * Widths[index]),
                   ToEdge(static_cast<long long>(y) + Heights[index])};
    return Write(index, text, box, DT_NOCLIP);
}

bool IOrvalenFontD3D::Write(std::int32_t index, const char* text, RECT rect, DWORD format) {
    if (Fonts[index] == nullptr) {
        return false;
    }
    return Fonts[index]->DrawTextA(nullptr, text, -1, &rect, format, Colour) != 0;
}
