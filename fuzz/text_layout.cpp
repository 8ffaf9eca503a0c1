// Text a host writes is laid out into lines: whatever the bytes, the lines lie in order inside the
// text, hold no line break, and with word breaking a line wider than its box is one word alone.
#include "platform/TextLayout.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

int Advance(char32_t character) {
    return static_cast<int>(character % 13);
}

long Width(std::u32string_view line) {
    while (!line.empty() && line.back() == U' ') {
        line.remove_suffix(1);
    }
    long width = 0;
    for (const char32_t character : line) {
        width += Advance(character);
    }
    return width;
}

bool IsOneWord(std::u32string_view line) {
    const std::size_t first = line.find_first_not_of(U' ');
    const std::size_t last = line.find_last_not_of(U' ');
    return first == std::u32string_view::npos ||
           line.substr(first, last - first + 1).find(U' ') == std::u32string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const long maxWidth = data[0];
    const bool wordBreak = (data[1] & 1) != 0;
    const std::u32string text =
        TextLayout::Decode(std::string_view(reinterpret_cast<const char*>(data + 2), size - 2));
    const std::u32string_view all(text);
    std::size_t previousEnd = 0;
    for (const TextLayout::Line& line : TextLayout::BreakLines(all, Advance, maxWidth, wordBreak)) {
        if (line.begin < previousEnd || line.end < line.begin || line.end > text.size()) {
            std::abort();
        }
        const std::u32string_view characters = all.substr(line.begin, line.end - line.begin);
        if (characters.find_first_of(U"\r\n") != std::u32string_view::npos) {
            std::abort();
        }
        if (wordBreak && Width(characters) > maxWidth && !IsOneWord(characters)) {
            std::abort();
        }
        previousEnd = line.end;
    }
    return 0;
}
