#pragma once
// Storage of the engine's binary heaps: (key, value) entries over a caller's array or an owned one.

#include "physics/core/dgMemory.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

/// Entries in array order; entry 0 is the top. Sized in entries, never in bytes. A heap over a
/// caller's array is fixed: pushing past its capacity is a programmer error that asserts and never
/// writes out of bounds. A heap that owns its array grows when full.
template <class Key, class Value> class dgHeapBase {
public:
    struct Entry {
        Key m_key;
        Value m_value;
    };
    static_assert(std::is_trivially_copyable_v<Entry>);

    dgHeapBase(const dgHeapBase&) = delete;
    dgHeapBase& operator=(const dgHeapBase&) = delete;

    dgInt32 GetCount() const { return m_count; }
    dgInt32 GetCapacity() const { return m_capacity; }
    bool IsFull() const { return m_count == m_capacity; }
    /// Empties the heap; the array stays.
    void Reset() { m_count = 0; }

    /// Key of the entry at array position index (0 is the top).
    Key GetKey(dgInt32 index) const {
        dgAssert(index >= 0 && index < m_count);
        return m_entries[index].m_key;
    }
    Value& GetValue(dgInt32 index) {
        dgAssert(index >= 0 && index < m_count);
        return m_entries[index].m_value;
    }
    const Value& GetValue(dgInt32 index) const {
        dgAssert(index >= 0 && index < m_count);
        return m_entries[index].m_value;
    }

protected:
    /// Fixed heap over the caller's array of capacity entries; the array stays the caller's.
    dgHeapBase(Entry* entries, dgInt32 capacity)
        : m_count(0), m_capacity(capacity), m_owned(false), m_entries(entries) {
        dgAssert(capacity >= 0);
    }
    /// Growable heap owning an array of capacity entries (at least one).
    explicit dgHeapBase(dgInt32 capacity)
        : m_count(0), m_capacity(capacity < 1 ? 1 : capacity), m_owned(true),
          m_entries(static_cast<Entry*>(dgMalloc(sizeof(Entry) * static_cast<std::size_t>(m_capacity)))) {}
    ~dgHeapBase() {
        if (m_owned) {
            dgFree(m_entries);
        }
    }

    /// Room for one more entry: grows an owned array; false for a full fixed one.
    bool MakeRoom() {
        if (m_count < m_capacity) {
            return true;
        }
        if (!m_owned) {
            dgAssert(!"push on a full fixed-capacity heap");
            return false;
        }
        if (m_capacity > INT32_MAX / 2) {
            dgOutOfMemory(sizeof(Entry) * static_cast<std::size_t>(m_capacity) * 2);
        }
        const dgInt32 capacity = m_capacity * 2;
        Entry* entries = static_cast<Entry*>(dgMalloc(sizeof(Entry) * static_cast<std::size_t>(capacity)));
        dgCopyBytes(static_cast<void*>(entries), m_entries,
                    sizeof(Entry) * static_cast<std::size_t>(m_count));
        dgFree(m_entries);
        m_entries = entries;
        m_capacity = capacity;
        return true;
    }

    // Positions counted from 1 as in the sift loops: position i lives at m_entries[i - 1].
    Entry& At(dgInt32 position) { return m_entries[position - 1]; }

    dgInt32 m_count;
    dgInt32 m_capacity;
    bool m_owned;
    Entry* m_entries;
};
