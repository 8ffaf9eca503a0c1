#include "physics/core/dgFileStream.h"

#include "physics/core/dgDataFileLocator.h"

#include <cstdarg>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool IsWordSeparator(int c) {
    return c == '\t' || c == '\r' || c == '\n' || c == '=' || c == ' ';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const std::string& word, const char* keyword) {
    std::size_t i = 0;
    for (; i < word.size() && keyword[i] != '\0'; i++) {
        if (LowerAscii(word[i]) != LowerAscii(keyword[i])) {
            return false;
        }
    }
    return i == word.size() && keyword[i] == '\0';
}

// The file's last-write time, when it can be opened for reading.
bool ReadLastWriteTime(const char* name, fs::file_time_type& time) {
    std::FILE* file = dgOpenDataFile(name != nullptr ? name : "", "r");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    std::error_code error;
    time = fs::last_write_time(name, error);
    return !error;
}

} // namespace

dgFileStream::dgFileStream(const char* name, const char* mode)
    : m_file(nullptr), m_name(name != nullptr ? name : "") {
    OpenLocated(name, mode);
}

dgFileStream::dgFileStream(const char* name, const char* mode, char* buffer, std::size_t bufferSize)
    : dgFileStream(name, mode) {
    if (m_file != nullptr) {
        std::setvbuf(m_file, buffer, _IOFBF, bufferSize);
    }
}

dgFileStream::~dgFileStream() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

void dgFileStream::OpenLocated(const char* name, const char* mode) {
    if (name == nullptr || mode == nullptr) {
        return;
    }
    m_file = dgOpenDataFile(name, mode);
    // Only a read may be served by another file: a write opens exactly the name given, so a failed
    // write-open can never truncate a file found elsewhere.
    if (m_file != nullptr || mode[0] != 'r') {
        return;
    }
    std::error_code error;
    const fs::path current = fs::current_path(error);
    if (error) {
        return;
    }
    std::string path;
    if (dgFindFileInTree(name, current.c_str(), path)) {
        m_file = dgOpenDataFile(path, mode);
        return;
    }
    std::string found;
    if (!dgFindFileInTree(name, dgGetDataFallbackFolder().c_str(), found)) {
        return;
    }
    // A failed copy is not an error by itself: the open of the target decides.
    const std::string target = (current / dgFileBaseName(name)).string();
    dgCopyFileNoOverwrite(found, target);
    m_file = dgOpenDataFile(target, mode);
}

dgInt32 dgFileStream::FindKeyword(const char* keyword) {
    if (m_file == nullptr || keyword == nullptr || std::feof(m_file)) {
        return 0;
    }
    // Only as much of a word as could still equal the keyword is kept, so any length is safe.
    const std::size_t kept = std::char_traits<char>::length(keyword) + 1;
    std::string word;
    for (;;) {
        word.clear();
        bool anyRead = false;
        int c;
        while ((c = std::getc(m_file)) != EOF && !IsWordSeparator(c)) {
            anyRead = true;
            if (word.size() < kept) {
                word.push_back(static_cast<char>(c));
            }
        }
        // A word that ends the file is lost with it: the end is seen before the word is compared.
        if (c == EOF) {
            return 0;
        }
        if (anyRead && EqualIgnoringCase(word, keyword)) {
            std::ungetc(c, m_file);
            return 1;
        }
    }
}

dgInt32 dgFileStream::Scan(const char* format, ...) {
    if (m_file == nullptr) {
        return EOF;
    }
    va_list args;
    va_start(args, format);
    const int result = std::vfscanf(m_file, format, args);
    va_end(args);
    return result;
}

dgInt32 dgFileStream::ScanKeyword(const char* keyword, const char* format, ...) {
    if (!FindKeyword(keyword)) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    const int result = std::vfscanf(m_file, format, args);
    va_end(args);
    return result;
}

dgInt32 dgFileStream::ScanSectionKeyword(const char* section, const char* keyword, const char* format, ...) {
    if (m_file == nullptr) {
        return 0;
    }
    std::rewind(m_file);
    if (!FindKeyword(section) || !FindKeyword(keyword)) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    const int result = std::vfscanf(m_file, format, args);
    va_end(args);
    return result;
}

dgInt32 dgFileStream::Print(const char* format, ...) {
    if (m_file == nullptr) {
        return -1;
    }
    va_list args;
    va_start(args, format);
    const int result = std::vfprintf(m_file, format, args);
    va_end(args);
    return result;
}

bool dgIsFileNewer(const char* firstName, const char* secondName) {
    fs::file_time_type first;
    fs::file_time_type second;
    if (!ReadLastWriteTime(firstName, first) || !ReadLastWriteTime(secondName, second)) {
        return false;
    }
    return second > first;
}
