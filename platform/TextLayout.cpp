#include "platform/TextLayout.h"

namespace {

// Bytes 0x80 to 0x9F of the Western code page; the rest of the page is Latin-1. Unassigned bytes
// keep their own value, which no face draws.
constexpr char32_t kWesternHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsLineBreak(char32_t character) {
    return character == U'\n' || character == U'\r';
}

} // namespace

std::u32string TextLayout::Decode(std::string_view text) {
    std::u32string decoded;
    decoded.reserve(text.size());
    for (const char byte : text) {
        const auto code = static_cast<unsigned char>(byte);
        decoded.push_back(code >= 0x80 && code < 0xA0 ? kWesternHighControls[code - 0x80] : char32_t(code));
    }
    return decoded;
}

std::vector<TextLayout::Line> TextLayout::BreakLines(std::u32string_view text,
                                                     const std::function<int(char32_t)>& advance,
                                                     long maxWidth, bool wordBreak) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = begin;
        while (end < text.size() && !IsLineBreak(text[end])) {
            ++end;
        }
        if (wordBreak) {
            BreakParagraph(text, begin, end, advance, maxWidth, lines);
        } else {
            lines.push_back({begin, end});
        }
        begin = end;
        if (begin < text.size()) {
            const bool pair = text[begin] == U'\r' && begin + 1 < text.size() && text[begin + 1] == U'\n';
            begin += pair ? 2 : 1;
        }
    }
    return lines;
}

void TextLayout::BreakParagraph(std::u32string_view text, std::size_t begin, std::size_t end,
                                const std::function<int(char32_t)>& advance, long maxWidth,
                                std::vector<Line>& lines) {
    // An empty paragraph (two line breaks in a row) is still a line.
    std::size_t lineBegin = begin;
    do {
        long width = 0;
        std::size_t wordEnd = lineBegin; // end of the last whole word on the line; lineBegin while none
        std::size_t next = end;
        for (std::size_t i = lineBegin; i < end; ++i) {
            if (text[i] == U' ') {
                if (i > lineBegin && text[i - 1] != U' ') {
                    wordEnd = i;
                }
            } else if (width + advance(text[i]) > maxWidth && wordEnd > lineBegin) {
                next = wordEnd;
                break;
            }
            width += advance(text[i]);
        }
        if (next == end) {
            lines.push_back({lineBegin, end});
            return;
        }
        lines.push_back({lineBegin, next});
        while (next < end && text[next] == U' ') {
            ++next;
        }
        lineBegin = next;
    } while (lineBegin < end);
}
