// Keyword scanning of arbitrary files. The input's first line is the keyword list (separated by
// spaces), the rest is the file. Each keyword is looked for again and again until the end of the
// file, and the number of hits must equal that of a plain in-memory tokeniser.

#include "physics/core/dgFileStream.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool IsSeparator(char c) {
    return c == '\t' || c == '\r' || c == '\n' || c == '=' || c == ' ';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); i++) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Words equal to keyword with at least one character after them: the end of the file hides the last.
int ExpectedHits(const std::string& text, const std::string& keyword) {
    int hits = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = i;
        while (end < text.size() && !IsSeparator(text[end])) {
            end++;
        }
        if (end < text.size() && end > i && SameIgnoringCase(text.substr(i, end - i), keyword)) {
            hits++;
        }
        i = end + 1;
    }
    return hits;
}

const std::string& ScratchFile() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("orvalen-fuzz-keywords-" + std::to_string(::getpid())))
            .string();
    static const bool registered = std::atexit([] { std::remove(path.c_str()); }) == 0;
    (void)registered;
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    if (lineEnd == std::string::npos) {
        return 0;
    }
    const std::string text = input.substr(lineEnd + 1);
    std::vector<std::string> keywords;
    for (std::size_t i = 0; i <= lineEnd;) {
        const std::size_t end = std::min(input.find(' ', i), lineEnd);
        const std::string word = input.substr(i, end - i);
        if (!word.empty() && word.find('\0') == std::string::npos && keywords.size() < 4) {
            keywords.push_back(word);
        }
        i = end + 1;
    }

    const std::string& path = ScratchFile();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);

    for (const std::string& keyword : keywords) {
        dgFileStream stream(path.c_str(), "rb");
        if (!stream.IsOpen()) {
            std::abort();
        }
        int hits = 0;
        while (stream.FindKeyword(keyword.c_str()) == 1) {
            hits++;
        }
        if (hits != ExpectedHits(text, keyword)) {
            std::abort();
        }
    }
    // The formatted readers on the same bytes must stay within their destinations.
    dgFileStream stream(path.c_str(), "rb");
    int number = 0;
    float real = 0;
    char word[32];
    if (!keywords.empty()) {
        stream.ScanSectionKeyword(keywords[0].c_str(), keywords.back().c_str(), "%d", &number);
        stream.ScanKeyword(keywords[0].c_str(), "%f", &real);
        stream.ScanKeyword(keywords.back().c_str(), "%31s", word);
    }
    return 0;
}
