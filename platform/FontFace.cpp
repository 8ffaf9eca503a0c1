#include "platform/FontFace.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int kBoldWeight = 600;

/// The file the font configuration chose and the face's index in it.
struct FaceFile {
    std::string path;
    int index = 0;
};

std::optional<FaceFile> MatchFace(const char* name, int weight, bool italic) {
    // A configuration of our own for each match: nothing of it outlives the call.
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        return std::nullopt;
    }
    FcPattern* pattern = FcPatternCreate();
    if (name != nullptr && name[0] != '\0') {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    }
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::optional<FaceFile> found;
    FcChar8* path = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        FaceFile file;
        file.path = reinterpret_cast<const char*>(path);
        FcPatternGetInteger(match, FC_INDEX, 0, &file.index);
        found = file;
    }
    if (match != nullptr) {
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return found;
}

FT_F26Dot6 ToF26Dot6(double pixels) {
    return static_cast<FT_F26Dot6>(std::lround(pixels * 64.0));
}

} // namespace

std::unique_ptr<FontFace> FontFace::Create(const char* name, int height, int width, int weight, bool italic) {
    const std::optional<FaceFile> file = MatchFace(name, weight, italic);
    if (!file) {
        return nullptr;
    }
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, file->path.c_str(), file->index, &face) != 0) {
        FT_Done_FreeType(library);
        return nullptr;
    }
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
        return nullptr;
    }
    // The match reports the weight and slant asked for, not the file's own: the face itself tells.
    const bool bold = weight >= kBoldWeight;
    const bool fileBold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    const bool fileItalic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    std::unique_ptr<FontFace> made(new FontFace(library, face, bold && !fileBold, italic && !fileItalic));
    if (!made->SetSize(height, width)) {
        return nullptr;
    }
    return made;
}

FontFace::FontFace(FT_LibraryRec_* library, FT_FaceRec_* face, bool embolden, bool oblique)
    : m_library(library), m_face(face), m_embolden(embolden), m_oblique(oblique) {}

FontFace::~FontFace() {
    FT_Done_Face(m_face);
    FT_Done_FreeType(m_library);
}

bool FontFace::SetSize(int height, int width) {
    // A line spans the face's ascender to its descender; the em square is scaled to make that
    // `height` pixels. The average width is the face's own (its OS/2 table) when it gives one.
    const double unitsPerEm = m_face->units_per_EM;
    const double lineUnits = m_face->ascender - m_face->descender > 0
                                 ? static_cast<double>(m_face->ascender - m_face->descender)
                                 : unitsPerEm;
    const double emHeight = height * unitsPerEm / lineUnits;
    double emWidth = emHeight;
    if (width > 0) {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2));
        const double averageUnits =
            os2 != nullptr && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : unitsPerEm * 0.5;
        emWidth = width * unitsPerEm / averageUnits;
    }
    FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_NOMINAL, ToF26Dot6(emWidth), ToF26Dot6(emHeight), 0, 0};
    if (FT_Request_Size(m_face, &request) != 0) {
        return false;
    }
    m_lineHeight = height;
    m_ascent = static_cast<int>(std::lround(height * m_face->ascender / lineUnits));
    return true;
}

const FontFace::Glyph& FontFace::GlyphOf(char32_t character) {
    auto found = m_glyphs.find(character);
    if (found == m_glyphs.end()) {
        found = m_glyphs.emplace(character, Rasterise(character)).first;
    }
    return found->second;
}

FontFace::Glyph FontFace::Rasterise(char32_t character) const {
    Glyph glyph;
    // A character the face lacks loads the face's missing-glyph box, which is what is then drawn.
    if (FT_Load_Char(m_face, character, FT_LOAD_NO_BITMAP) != 0) {
        return glyph;
    }
    FT_GlyphSlot slot = m_face->glyph;
    if (m_embolden) {
        FT_GlyphSlot_Embolden(slot);
    }
    if (m_oblique) {
        FT_GlyphSlot_Oblique(slot);
    }
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0 || slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
        return glyph;
    }
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.rows = static_cast<int>(bitmap.rows);
    glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.rows);
    for (int row = 0; row < glyph.rows; ++row) {
        const unsigned char* source = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        std::copy(source, source + glyph.width,
                  glyph.coverage.begin() + static_cast<std::ptrdiff_t>(row) * glyph.width);
    }
    return glyph;
}
