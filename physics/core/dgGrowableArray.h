#pragma once
// A scratch array on engine memory that grows when full: stacks, lists and queues of mesh passes.

#include "physics/core/dgMemory.h"

#include <cstring>
#include <type_traits>

/// Trivially copyable entries; doubles its block when full, so pushes never overrun. Freed at
/// destruction.
template <class T> class dgGrowableArray {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) <= 16);

public:
    /// Starts with room for capacity entries (at least one).
    explicit dgGrowableArray(dgInt32 capacity = 64)
        : m_count(0), m_capacity(capacity < 1 ? 1 : capacity),
          m_data(static_cast<T*>(dgMalloc(sizeof(T) * static_cast<std::size_t>(m_capacity)))) {}
    ~dgGrowableArray() { dgFree(m_data); }
    dgGrowableArray(const dgGrowableArray&) = delete;
    dgGrowableArray& operator=(const dgGrowableArray&) = delete;

    dgInt32 GetCount() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    void Reset() { m_count = 0; }
    T* GetData() const { return m_data; }

    T& operator[](dgInt32 index) {
        dgAssert(index >= 0 && index < m_count);
        return m_data[index];
    }
    const T& operator[](dgInt32 index) const {
        dgAssert(index >= 0 && index < m_count);
        return m_data[index];
    }

    void Push(const T& value) {
        if (m_count == m_capacity) {
            Grow();
        }
        m_data[m_count++] = value;
    }
    /// Removes and returns the last entry.
    T Pop() {
        dgAssert(m_count > 0);
        return m_data[--m_count];
    }

private:
    void Grow() {
        if (m_capacity > INT32_MAX / 2) {
            dgOutOfMemory(sizeof(T) * static_cast<std::size_t>(m_capacity) * 2);
        }
        const dgInt32 capacity = m_capacity * 2;
        T* data = static_cast<T*>(dgMalloc(sizeof(T) * static_cast<std::size_t>(capacity)));
        dgCopyBytes(static_cast<void*>(data), m_data, sizeof(T) * static_cast<std::size_t>(m_count));
        dgFree(m_data);
        m_data = data;
        m_capacity = capacity;
    }

    dgInt32 m_count;
    dgInt32 m_capacity;
    T* m_data;
};
