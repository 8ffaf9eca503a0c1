#pragma once
// A scalable face found by name through the font configuration and rasterised with FreeType at one
// size. Weights and slants the installed files lack are synthesised: a bold face from the regular
// outlines thickened, an italic one from the upright outlines sheared.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct FT_LibraryRec_;
struct FT_FaceRec_;

class FontFace {
public:
    /// One rasterised character: 8-bit coverage, rows from the top.
    struct Glyph {
        int left = 0;    ///< from the pen position right to the image's first column
        int top = 0;     ///< from the baseline up to the image's first row
        int width = 0;   ///< image columns
        int rows = 0;    ///< image rows
        int advance = 0; ///< pen movement to the next character, pixels
        std::vector<std::uint8_t> coverage;
    };

    /// The face matching `name` (the configuration's default match when no installed face has that
    /// name) at lines of `height` pixels and an average glyph width of `width` pixels (0: the face's
    /// own proportions), of `weight` (100 thin to 900 black; 600 and above are bold). Null when no
    /// scalable face can be loaded.
    static std::unique_ptr<FontFace> Create(const char* name, int height, int width, int weight, bool italic);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    /// Distance between the tops of two lines, pixels.
    int LineHeight() const { return m_lineHeight; }
    /// From the top of a line down to its baseline, pixels.
    int Ascent() const { return m_ascent; }
    /// The glyph of a Unicode character, rasterised on first use and kept until ReleaseGlyphs.
    const Glyph& GlyphOf(char32_t character);
    void ReleaseGlyphs() { m_glyphs.clear(); }

private:
    FontFace(FT_LibraryRec_* library, FT_FaceRec_* face, bool embolden, bool oblique);
    /// Scales the outlines so that a line is `height` pixels and the average glyph `width` wide.
    bool SetSize(int height, int width);
    Glyph Rasterise(char32_t character) const;

    FT_LibraryRec_* m_library; ///< owned
    FT_FaceRec_* m_face;       ///< owned, released before the library
    bool m_embolden;           ///< bold asked for, the file is not
    bool m_oblique;            ///< italic asked for, the file is upright
    int m_lineHeight = 0;
    int m_ascent = 0;
    std::unordered_map<char32_t, Glyph> m_glyphs;
};
