#include "platform/TextLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

/// Every character advances the pen by ten pixels.
int TenPixels(char32_t) {
    return 10;
}

std::vector<std::u32string> Lines(std::u32string_view text, long maxWidth, bool wordBreak) {
    std::vector<std::u32string> lines;
    for (const TextLayout::Line& line : TextLayout::BreakLines(text, TenPixels, maxWidth, wordBreak)) {
        lines.emplace_back(text.substr(line.begin, line.end - line.begin));
    }
    return lines;
}

using Text = std::vector<std::u32string>;

} // namespace

TEST(TextLayout, EveryKindOfLineBreakStartsOneNewLine) {
    EXPECT_EQ((Text{U"one", U"two", U"three", U"four"}), Lines(U"one\ntwo\r\nthree\rfour", 1000, false));
    EXPECT_EQ((Text{U"a", U"", U"b"}), Lines(U"a\n\nb", 1000, true));
    EXPECT_EQ((Text{U"last"}), Lines(U"last\n", 1000, false)) << "a final break opens no line";
    EXPECT_EQ((Text{U""}), Lines(U"\n", 1000, true));
    EXPECT_TRUE(Lines(U"", 1000, true).empty());
}

TEST(TextLayout, WordBreakEndsALineBeforeTheWordThatWouldCrossTheEdge) {
    // Five characters fill fifty pixels exactly.
    EXPECT_EQ((Text{U"aa bb", U"cc"}), Lines(U"aa bb cc", 50, true));
    EXPECT_EQ((Text{U"aa", U"bb cc"}), Lines(U"aa   bb cc", 50, true)) << "the spaces at a break vanish";
    EXPECT_EQ((Text{U"abcdefgh", U"ij"}), Lines(U"abcdefgh ij", 30, true)) << "a long word stays whole";
    EXPECT_EQ((Text{U"  abcdef"}), Lines(U"  abcdef", 30, true)) << "leading spaces are no word";
    EXPECT_EQ((Text{U"aa bb cc"}), Lines(U"aa bb cc", 50, false));
    EXPECT_EQ((Text{U"aa", U"bb"}), Lines(U"aa bb", 0, true));
}

TEST(TextLayout, HighBytesAreTheWesternCodePage) {
    EXPECT_EQ(U"Caf\u00E9 \u20AC5 \u2014 \u00FF", TextLayout::Decode("Caf\xE9 \x80"
                                                                     "5 \x97 \xFF"));
}
