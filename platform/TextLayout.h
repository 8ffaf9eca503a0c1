#pragma once
// Lines of text as the system's text output lays them out in a rectangle: a line feed, carriage
// return or both start a new line; with word breaking, so does a word that would cross the right
// edge (a single word wider than the rectangle stays whole). The spaces at a word break belong to
// neither line.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TextLayout {
public:
    /// Characters [begin, end) of the text, drawn on one line.
    struct Line {
        std::size_t begin = 0;
        std::size_t end = 0;
    };

    /// Unicode characters of single-byte text in the Western code page of the system's text output.
    static std::u32string Decode(std::string_view text);
    /// The lines of `text`, whose characters advance the pen by `advance` pixels each; `maxWidth` is
    /// the rectangle's width. No lines for empty text; a final line break starts no empty line.
    static std::vector<Line> BreakLines(std::u32string_view text, const std::function<int(char32_t)>& advance,
                                        long maxWidth, bool wordBreak);

private:
    /// Appends the lines of one paragraph, [begin, end) of `text`, which holds no line break.
    static void BreakParagraph(std::u32string_view text, std::size_t begin, std::size_t end,
                               const std::function<int(char32_t)>& advance, long maxWidth,
                               std::vector<Line>& lines);
};
