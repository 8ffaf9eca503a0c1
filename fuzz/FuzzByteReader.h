#pragma once
// What the fuzz targets share: a failed check ends the run, the fuzzer's bytes are handed to the
// engine's reading callback in the pieces it asks for, or read from the front as bytes and words.

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

/// The input read from the front; zeros past its end, so every layout is complete.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Done() const { return m_at >= m_size; }
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    /// Four bytes, the first the highest.
    std::uint32_t Word() {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = word * 256 + Byte();
        }
        return word;
    }
    /// The bits of a float, any of them (non-finite values included).
    float Float() {
        return Bytes<float>();
    }
    /// A value of trivially copyable type from its bytes, any of them.
    template <typename Value> Value Bytes() {
        std::uint8_t bytes[sizeof(Value)];
        for (std::uint8_t& byte : bytes) {
            byte = Byte();
        }
        Value value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace fuzz_support
