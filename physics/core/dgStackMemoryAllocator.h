#pragma once
// Allocator over a buffer inside the object, for short-lived scratch meshes made on the caller's stack.

#include "physics/core/dgMemoryAllocator.h"

/// Hands out equal-sized blocks from its own 32 KB buffer without touching the heap. Each request takes
/// a step of (size + 16) rounded down to 16 and returns the address at the END of the step, so the first
/// step is never handed out. When the buffer is full, requests fall back to dgMalloc blocks that the
/// destructor frees; Free is a no-op either way.
class dgStackMemoryAllocator : public dgMemoryAllocator {
public:
    static constexpr std::size_t kBufferBytes = 32768;

    dgStackMemoryAllocator();
    ~dgStackMemoryAllocator() override;

    void* Malloc(std::size_t size) override;
    void Free(void* block) override;

    /// (start of the buffer + 32) rounded down to 16; every block lies above it.
    char* GetBase() const { return m_base; }
    /// Number of requests that did not fit the buffer and came from dgMalloc.
    dgInt32 GetOverflowCount() const { return m_overflowCount; }

private:
    std::size_t m_used;
    alignas(16) char m_buffer[kBufferBytes];
    char* m_base;
    void* m_overflow; ///< newest fallback block; each one's header links to the one before
    dgInt32 m_overflowCount;
};
