#define GL_GLEXT_PROTOTYPES 1
#include "platform/FontObject.h"

#include "platform/Direct3DDevice.h"
#include "platform/FaultInjector.h"
#include "platform/LiveObjectCounter.h"
#include "platform/TextLayout.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr const char* kInterfaceName = "ID3DXFont";
/// No render target is wider or taller: text beyond it needs no pixels of ours.
constexpr long long kLargestTarget = 16384;

/// Blends an ARGB-coloured coverage image, rows from the top, over pixels [x, x + width) x
/// [y, y + height) of the framebuffer being drawn into, leaving every state of the context as it was.
void BlendIntoRenderTarget(int x, int y, int width, int height, const std::vector<std::uint8_t>& rgba) {
    GLint unpackBuffer = 0;
    GLint program = 0;
    GLint textureUnits = 0;
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &textureUnits);
    // The driver's attribute stack leaves colour sum as it was last set: it is put back by hand.
    const GLboolean colourSum = glIsEnabled(GL_COLOR_SUM);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glUseProgram(0);

    // Text is drawn over everything, untextured and unfogged, whatever the device's states are.
    for (const GLenum capability : {GL_DEPTH_TEST, GL_STENCIL_TEST, GL_ALPHA_TEST, GL_SCISSOR_TEST, GL_FOG,
                                    GL_COLOR_LOGIC_OP, GL_COLOR_SUM}) {
        glDisable(capability);
    }
    for (GLint unit = 0; unit < textureUnits; ++unit) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        for (const GLenum target : {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP}) {
            glDisable(target);
        }
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelZoom(1.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);

    // Window coordinates are the device's pixels: its buffers hold the top row first, so the image's
    // first row lands on row y and the rest below it.
    glWindowPos2i(x, y);
    glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());

    glPopClientAttrib();
    glPopAttrib();
    (colourSum == GL_TRUE ? glEnable : glDisable)(GL_COLOR_SUM);
    glUseProgram(static_cast<GLuint>(program));
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer));
}

} // namespace

FontObject::Area FontObject::Area::Intersect(const Area& other) const {
    return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
            std::min(bottom, other.bottom)};
}

FontObject::Area FontObject::Area::Union(const Area& other) const {
    if (other.Empty()) {
        return *this;
    }
    if (Empty()) {
        return other;
    }
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
}

FontObject::FontObject(IDirect3DDevice9* device, std::unique_ptr<FontFace> face)
    : m_device(device), m_face(std::move(face)) {
    m_device->AddRef();
    LiveObjectCounter::Instance().Born(kInterfaceName);
}

FontObject::~FontObject() {
    LiveObjectCounter::Instance().Died(kInterfaceName);
    m_device->Release();
}

ULONG FontObject::AddRef() {
    return ++m_references;
}

ULONG FontObject::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT FontObject::OnLostDevice() {
    TracedOperation call("ID3DXFont::OnLostDevice", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    m_lost = true;
    m_face->ReleaseGlyphs();
    return call.Return(D3D_OK);
}

HRESULT FontObject::OnResetDevice() {
    TracedOperation call("ID3DXFont::OnResetDevice", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    m_lost = false;
    return call.Return(D3D_OK);
}

int FontObject::DrawTextA(ID3DXSprite*, LPCSTR text, int count, RECT* rect, DWORD format, D3DCOLOR colour) {
    const RECT shown = rect != nullptr ? *rect : RECT{};
    TracedOperation call("ID3DXFont::DrawTextA",
                         {count, shown.left, shown.top, shown.right, shown.bottom, format, colour});
    if (call.Faulted()) {
        call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
        return 0;
    }
    Direct3DDevice* device = Direct3DDevice::FromInterface(m_device);
    if (text == nullptr || rect == nullptr || m_lost || device == nullptr) {
        call.Return(D3DERR_INVALIDCALL);
        return 0;
    }
    const std::size_t length = count < 0 ? std::strlen(text) : strnlen(text, static_cast<std::size_t>(count));
    const std::u32string characters = TextLayout::Decode({text, length});
    const auto advance = [this](char32_t character) { return m_face->GlyphOf(character).advance; };
    const std::vector<TextLayout::Line> lines = TextLayout::BreakLines(
        characters, advance, static_cast<long>(rect->right) - rect->left, (format & DT_WORDBREAK) != 0);

    // Line by line, so that no more than one line's pixels are composed at a time.
    Area clip{0, 0, kLargestTarget, kLargestTarget};
    if ((format & DT_NOCLIP) == 0) {
        clip = clip.Intersect({rect->left, rect->top, rect->right, rect->bottom});
    }
    const std::u32string_view all(characters);
    long long lineTop = rect->top;
    for (const TextLayout::Line& line : lines) {
        DrawLine(all.substr(line.begin, line.end - line.begin), rect->left, lineTop + m_face->Ascent(), clip,
                 colour, *device);
        lineTop += m_face->LineHeight();
    }
    call.Return(D3D_OK);
    return static_cast<int>(std::min<long long>(lineTop - rect->top, INT_MAX));
}

void FontObject::DrawLine(std::u32string_view characters, long long penX, long long baseline,
                          const Area& clip, D3DCOLOR colour, Direct3DDevice& device) {
    const Area area = LineExtent(characters, penX, baseline).Intersect(clip);
    if (area.Empty()) {
        return;
    }
    const auto width = static_cast<std::size_t>(area.right - area.left);
    const auto height = static_cast<std::size_t>(area.bottom - area.top);
    std::vector<std::uint8_t> coverage(width * height, 0);
    CoverLine(characters, penX, baseline, area, coverage);
    // Straight (not premultiplied) colour; the coverage scales the colour's own alpha.
    const std::uint32_t alpha = colour >> 24;
    std::vector<std::uint8_t> rgba(coverage.size() * 4);
    for (std::size_t i = 0; i < coverage.size(); ++i) {
        rgba[4 * i + 0] = static_cast<std::uint8_t>(colour >> 16);
        rgba[4 * i + 1] = static_cast<std::uint8_t>(colour >> 8);
        rgba[4 * i + 2] = static_cast<std::uint8_t>(colour);
        rgba[4 * i + 3] = static_cast<std::uint8_t>((coverage[i] * alpha + 127) / 255);
    }
    device.MakeCurrent();
    BlendIntoRenderTarget(static_cast<int>(area.left), static_cast<int>(area.top), static_cast<int>(width),
                          static_cast<int>(height), rgba);
}

FontObject::Area FontObject::LineExtent(std::u32string_view characters, long long penX, long long baseline) {
    Area extent;
    for (const char32_t character : characters) {
        const FontFace::Glyph& glyph = m_face->GlyphOf(character);
        const Area box{penX + glyph.left, baseline - glyph.top, penX + glyph.left + glyph.width,
                       baseline - glyph.top + glyph.rows};
        extent = extent.Union(box);
        penX += glyph.advance;
    }
    return extent;
}

void FontObject::CoverLine(std::u32string_view characters, long long penX, long long baseline,
                           const Area& area, std::vector<std::uint8_t>& coverage) {
    const long long areaWidth = area.right - area.left;
    for (const char32_t character : characters) {
        const FontFace::Glyph& glyph = m_face->GlyphOf(character);
        const Area box{penX + glyph.left, baseline - glyph.top, penX + glyph.left + glyph.width,
                       baseline - glyph.top + glyph.rows};
        const Area visible = box.Intersect(area);
        // Neighbouring glyphs may share an edge pixel; the larger coverage keeps it from darkening twice.
        for (long long y = visible.top; y < visible.bottom; ++y) {
            for (long long x = visible.left; x < visible.right; ++x) {
                const std::uint8_t source =
                    glyph.coverage[static_cast<std::size_t>((y - box.top) * glyph.width + (x - box.left))];
                std::uint8_t& target =
                    coverage[static_cast<std::size_t>((y - area.top) * areaWidth + (x - area.left))];
                target = std::max(target, source);
            }
        }
        penX += glyph.advance;
    }
}
