#pragma once
// What the stream-reading fuzz targets share: a failed check ends the run, and the fuzzer's bytes are
// handed to the engine's reading callback in the pieces it asks for.

#include "physics/core/dgTypes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace fuzz_support {

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

/// The fuzzer's bytes as a stream; a read past the end delivers nothing and reports it.
struct ByteReader {
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at;

    static dgInt32 Read(void* userData, void* buffer, dgInt32 byteCount) {
        auto* self = static_cast<ByteReader*>(userData);
        if (byteCount < 0 || self->m_size - self->m_at < static_cast<std::size_t>(byteCount)) {
            return 0;
        }
        std::memcpy(buffer, self->m_data + self->m_at, static_cast<std::size_t>(byteCount));
        self->m_at += static_cast<std::size_t>(byteCount);
        return 1;
    }
};

} // namespace fuzz_support
