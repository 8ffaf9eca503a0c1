#include "physics/core/dgMemory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Room asked of the hook beyond the caller's size: up to 15 bytes to reach a 16-byte boundary, the
// 16-byte header, and the rest so the block never passes raw + size + 32.
constexpr std::size_t kHookOverhead = 32;
constexpr std::size_t kAlignment = 16;

dgMemAllocHook g_allocate = dgDefaultMalloc;
dgMemFreeHook g_release = dgDefaultFree;
// Open dgRecoverableAllocations scopes; process-wide like the hooks, since the engine has no threads.
int g_recoverableDepth = 0;

} // namespace

void* dgDefaultMalloc(std::size_t size) {
    return std::malloc(size);
}

void dgDefaultFree(void* ptr, std::size_t) {
    std::free(ptr);
}

void dgSetMemoryAllocators(dgMemAllocHook allocate, dgMemFreeHook release) {
    if (allocate == nullptr || release == nullptr) {
        allocate = dgDefaultMalloc;
        release = dgDefaultFree;
    }
    g_allocate = allocate;
    g_release = release;
}

dgRecoverableAllocations::dgRecoverableAllocations() {
    g_recoverableDepth++;
}

dgRecoverableAllocations::~dgRecoverableAllocations() {
    g_recoverableDepth--;
}

dgFatalAllocations::dgFatalAllocations() : m_savedDepth(g_recoverableDepth) {
    g_recoverableDepth = 0;
}

dgFatalAllocations::~dgFatalAllocations() {
    g_recoverableDepth = m_savedDepth;
}

void dgOutOfMemory(std::size_t size) {
    if (g_recoverableDepth > 0) {
        throw dgMemoryExhausted{};
    }
    std::fprintf(stderr, "dgMalloc: out of memory (%zu bytes)\n", size);
    std::abort();
}

void* dgTryMalloc(std::size_t size) {
    if (size == 0 || size > SIZE_MAX - kHookOverhead) {
        return nullptr;
    }
    const std::size_t asked = size + kHookOverhead;
    void* raw = g_allocate(asked);
    if (raw == nullptr) {
        return nullptr;
    }
    // block = raw rounded down to 16, plus 32: 17 to 32 bytes past raw.
    const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(raw) & (kAlignment - 1);
    char* block = static_cast<char*>(raw) + (kHookOverhead - misalignment);
    std::memcpy(block - 16, &asked, sizeof(asked));
    std::memcpy(block - 8, &raw, sizeof(raw));
    return block;
}

void* dgMalloc(std::size_t size) {
    if (size == 0) {
        return nullptr;
    }
    void* block = dgTryMalloc(size);
    if (block == nullptr) {
        dgOutOfMemory(size);
    }
    return block;
}

void dgFree(void* block) {
    if (block == nullptr) {
        return;
    }
    const char* bytes = static_cast<const char*>(block);
    std::size_t asked;
    void* raw;
    std::memcpy(&asked, bytes - 16, sizeof(asked));
    std::memcpy(&raw, bytes - 8, sizeof(raw));
    g_release(raw, asked);
}
