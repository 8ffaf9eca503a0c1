#pragma once
// Whole files read into memory for the loaders of the utility library. Only regular files are read,
// and none larger than a cap: a folder, a device or a pipe named by the host is a failed load, never
// an exception or a read without end.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class BoundedFileReader {
public:
    /// The largest file a loader reads: a 4096 x 4096 picture of 32-bit pixels stored plainly, with
    /// room to spare for headers and metadata.
    static constexpr std::size_t kMostBytes = std::size_t(128) << 20;

    /// The file's bytes; none when it is not a regular file, is larger than kMostBytes or cannot be read.
    static std::optional<std::vector<std::uint8_t>> Read(const char* path);
};
