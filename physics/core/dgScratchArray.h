#pragma once
// A typed scratch array: a dgScratchBuffer of n entries that remembers n.

#include "physics/core/dgScratchBuffer.h"

#include <type_traits>

/// n uninitialised entries of a trivially copyable type, sized in entries, freed at destruction.
template <class T> class dgScratchArray {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) <= 16);

public:
    explicit dgScratchArray(dgInt32 count) : m_buffer(ByteSize(count)), m_count(count < 0 ? 0 : count) {}

    T& operator[](dgInt32 index) {
        dgAssert(index >= 0 && index < m_count);
        return GetData()[index];
    }
    const T& operator[](dgInt32 index) const {
        dgAssert(index >= 0 && index < m_count);
        return GetData()[index];
    }
    T* GetData() const { return static_cast<T*>(m_buffer.GetData()); }
    dgInt32 GetCount() const { return m_count; }
    std::size_t GetSizeInBytes() const { return static_cast<std::size_t>(m_count) * sizeof(T); }

private:
    static std::size_t ByteSize(dgInt32 count) {
        dgAssert(count >= 0);
        return count < 0 ? 0 : static_cast<std::size_t>(count) * sizeof(T);
    }

    dgScratchBuffer m_buffer;
    dgInt32 m_count;
};
