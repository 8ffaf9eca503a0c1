#pragma once
// The engine's small file class over the runtime's buffered files, with the data-file locator.

#include "physics/core/dgTypes.h"

#include <cstdio>
#include <string>

/// A stream opened for reading that cannot open its name directly looks for a file of the same base
/// name in the current folder tree, then in the fallback data folder, whose file is copied into the
/// current folder first. A stream opened for writing or appending opens exactly the name given. A
/// stream that found nothing stays closed; every reader then reports nothing read.
class dgFileStream {
public:
    dgFileStream(const char* name, const char* mode);
    /// The same, then the open file reads and writes through the caller's buffer (full buffering);
    /// the buffer must outlive the stream.
    dgFileStream(const char* name, const char* mode, char* buffer, std::size_t bufferSize);
    virtual ~dgFileStream();
    dgFileStream(const dgFileStream&) = delete;
    dgFileStream& operator=(const dgFileStream&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    /// The name as given to the constructor.
    const std::string& GetName() const { return m_name; }

    /// Reads words separated by tabs, line ends, spaces and "=" until one equals keyword ignoring
    /// letter case: 1, the stream standing right after the word. 0 at the end of the file, which a
    /// word with no character after it also meets first.
    dgInt32 FindKeyword(const char* keyword);
    /// Formatted read (fscanf) at the current position; EOF when the stream is closed.
    dgInt32 Scan(const char* format, ...) __attribute__((format(scanf, 2, 3)));
    /// FindKeyword from the current position, then the formatted read; 0 when the keyword is missing.
    dgInt32 ScanKeyword(const char* keyword, const char* format, ...) __attribute__((format(scanf, 3, 4)));
    /// From the start of the file: finds section, then keyword after it, then the formatted read; 0
    /// when either word is missing.
    dgInt32 ScanSectionKeyword(const char* section, const char* keyword, const char* format, ...)
        __attribute__((format(scanf, 4, 5)));
    /// Formatted write (fprintf); a negative result when the stream is closed or the write fails.
    dgInt32 Print(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    void OpenLocated(const char* name, const char* mode);

    std::FILE* m_file; ///< owned; null when not open
    std::string m_name;
};

/// True when the second file was last written later than the first; false when either is missing
/// and when both were written at the same time.
bool dgIsFileNewer(const char* firstName, const char* secondName);
