#include "physics/core/dgStackMemoryAllocator.h"

#include "physics/core/dgMemory.h"

#include <cstdint>

namespace {
// Fallback blocks carry one link in a 16-byte header so the block after it stays 16-byte aligned.
constexpr std::size_t kOverflowHeader = 16;
} // namespace

dgStackMemoryAllocator::dgStackMemoryAllocator()
    : m_used(0), m_base(nullptr), m_overflow(nullptr), m_overflowCount(0) {
    m_base = m_buffer + 32 - (reinterpret_cast<std::uintptr_t>(m_buffer) & 15);
}

dgStackMemoryAllocator::~dgStackMemoryAllocator() {
    while (m_overflow != nullptr) {
        void* previous = *static_cast<void**>(m_overflow);
        dgFree(m_overflow);
        m_overflow = previous;
    }
}

void* dgStackMemoryAllocator::Malloc(std::size_t size) {
    const std::size_t step = (size + 16) & ~std::size_t(15);
    const std::size_t room = static_cast<std::size_t>(m_buffer + kBufferBytes - m_base);
    if (size <= room && m_used + step <= room - size) {
        m_used += step;
        return m_base + m_used;
    }
    if (size > SIZE_MAX - kOverflowHeader) {
        dgOutOfMemory(size);
    }
    void* block = dgMalloc(size + kOverflowHeader);
    *static_cast<void**>(block) = m_overflow;
    m_overflow = block;
    m_overflowCount++;
    return static_cast<char*>(block) + kOverflowHeader;
}

void dgStackMemoryAllocator::Free(void*) {}
