#pragma once
// Test hooks over malloc that record every call and can shift the raw address by 0..15 bytes.

#include "physics/core/dgMemory.h"

#include <cstdlib>
#include <map>
#include <vector>

/// Installs recording hooks for its lifetime, then puts the defaults back. One at a time.
class RecordingMemoryHooks {
public:
    struct Call {
        void* raw;
        std::size_t size;
    };

    explicit RecordingMemoryHooks(std::size_t rawOffset = 0) {
        s_active = this;
        m_rawOffset = rawOffset;
        dgSetMemoryAllocators(Allocate, Release);
    }
    ~RecordingMemoryHooks() {
        dgSetMemoryAllocators(dgDefaultMalloc, dgDefaultFree);
        s_active = nullptr;
    }
    RecordingMemoryHooks(const RecordingMemoryHooks&) = delete;
    RecordingMemoryHooks& operator=(const RecordingMemoryHooks&) = delete;

    /// Raw offset of the following allocations.
    void SetRawOffset(std::size_t offset) { m_rawOffset = offset; }
    /// Number of allocations not yet released.
    std::size_t Outstanding() const { return m_bases.size(); }

    std::vector<Call> m_allocations;
    std::vector<Call> m_releases;

private:
    static void* Allocate(std::size_t size) {
        RecordingMemoryHooks* self = s_active;
        char* base = static_cast<char*>(std::malloc(size + 16));
        char* raw = base + self->m_rawOffset;
        self->m_bases[raw] = base;
        self->m_allocations.push_back({raw, size});
        return raw;
    }
    static void Release(void* raw, std::size_t size) {
        RecordingMemoryHooks* self = s_active;
        self->m_releases.push_back({raw, size});
        auto it = self->m_bases.find(raw);
        if (it == self->m_bases.end()) {
            std::free(raw); // a block made before the hooks were installed
            return;
        }
        std::free(it->second);
        self->m_bases.erase(it);
    }

    static inline RecordingMemoryHooks* s_active = nullptr;
    std::size_t m_rawOffset = 0;
    std::map<void*, char*> m_bases;
};
