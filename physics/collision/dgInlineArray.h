#pragma once
// A temporary array on the stack that moves to engine memory when it outgrows its inline room.

#include "physics/core/dgScratchArray.h"

#include <type_traits>

/// count uninitialised entries of a trivially copyable type: inline up to N, a dgMalloc block beyond.
template <class T, dgInt32 N> class dgInlineArray {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) <= 16);

public:
    explicit dgInlineArray(dgInt32 count)
        : m_heap(count > N ? count : 0),
          m_data(count > N ? m_heap.GetData() : reinterpret_cast<T*>(m_inline)),
          m_count(count < 0 ? 0 : count) {}
    dgInlineArray(const dgInlineArray&) = delete;
    dgInlineArray& operator=(const dgInlineArray&) = delete;

    T& operator[](dgInt32 index) {
        dgAssert(index >= 0 && index < m_count);
        return m_data[index];
    }
    const T& operator[](dgInt32 index) const {
        dgAssert(index >= 0 && index < m_count);
        return m_data[index];
    }
    T* GetData() const { return m_data; }
    dgInt32 GetCount() const { return m_count; }

private:
    alignas(16) unsigned char m_inline[N * sizeof(T)];
    dgScratchArray<T> m_heap;
    T* m_data;
    dgInt32 m_count;
};
