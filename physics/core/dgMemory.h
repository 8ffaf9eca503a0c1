#pragma once
// The engine's memory hooks and its 16-byte aligned blocks. Every byte the physics uses comes through here.

#include "physics/core/dgTypes.h"

#include <cstring>
#include <utility>

/// Allocation hook: returns a block of at least size bytes, or null when memory runs out.
using dgMemAllocHook = void* (*)(std::size_t size);
/// Release hook: receives exactly the pointer and the size that the allocation hook handled.
using dgMemFreeHook = void (*)(void* ptr, std::size_t size);

/// The runtime's malloc; the hook installed at load.
void* dgDefaultMalloc(std::size_t size);
/// The runtime's free; the size is ignored.
void dgDefaultFree(void* ptr, std::size_t size);

/// Replaces both hooks process-wide; the last pair wins. When either is null the default pair is
/// installed, so the engine never calls through a null hook.
void dgSetMemoryAllocators(dgMemAllocHook allocate, dgMemFreeHook release);

/// A 16-byte aligned block of at least size bytes, null for size 0. The allocation hook is asked for
/// size + 32 bytes; the 16 bytes in front of the block hold the asked size (block - 16) and the raw
/// pointer (block - 8). A hook that fails, or a size that cannot carry the header, ends in
/// dgOutOfMemory: the engine never writes through a null block.
void* dgMalloc(std::size_t size);

/// As dgMalloc, but a request the hook refuses gives null instead of ending in dgOutOfMemory; for the
/// few large blocks whose owner reports the failure itself.
void* dgTryMalloc(std::size_t size);

/// memcpy, memmove and memset for a length known only at run time. An empty array's block is null
/// (dgMalloc(0)), and those calls must never be handed a null pointer, even to copy nothing.
inline void dgCopyBytes(void* to, const void* from, std::size_t bytes) {
    if (bytes != 0) {
        std::memcpy(to, from, bytes);
    }
}
inline void dgMoveBytes(void* to, const void* from, std::size_t bytes) {
    if (bytes != 0) {
        std::memmove(to, from, bytes);
    }
}
inline void dgZeroBytes(void* to, std::size_t bytes) {
    if (bytes != 0) {
        std::memset(to, 0, bytes);
    }
}

/// Hands a dgMalloc block back to the release hook with the raw pointer and asked size; null is ignored.
void dgFree(void* block);

/// Thrown by dgOutOfMemory while a dgRecoverableAllocations is alive; never leaves the engine.
struct dgMemoryExhausted {};

/// The one out-of-memory handler. While a dgRecoverableAllocations is alive it throws
/// dgMemoryExhausted, which the creator that opened the scope turns into a null result after undoing
/// its work; otherwise it writes "dgMalloc: out of memory (<n> bytes)" to stderr and aborts. Callers of
/// dgMalloc therefore never see null for a non-zero size.
[[noreturn]] void dgOutOfMemory(std::size_t size);

/// Opened by a creator of the flat interface around its work: a refused allocation unwinds to it
/// instead of ending the process. Scopes nest.
class dgRecoverableAllocations {
public:
    dgRecoverableAllocations();
    ~dgRecoverableAllocations();
    dgRecoverableAllocations(const dgRecoverableAllocations&) = delete;
    dgRecoverableAllocations& operator=(const dgRecoverableAllocations&) = delete;
};

/// Makes refused allocations fatal again while alive (the world step, and host callbacks run from a
/// creator, where no caller could take the failure), whatever scopes enclose it.
class dgFatalAllocations {
public:
    dgFatalAllocations();
    ~dgFatalAllocations();
    dgFatalAllocations(const dgFatalAllocations&) = delete;
    dgFatalAllocations& operator=(const dgFatalAllocations&) = delete;

private:
    int m_savedDepth;
};

/// Runs create() under a dgRecoverableAllocations: its result, or fallback (null by default) when memory
/// ran out, by which time create has undone its own work.
template <class Create, class Result = decltype(std::declval<Create&>()())>
Result dgCreateOrFail(Create create, Result fallback = Result{}) {
    const dgRecoverableAllocations scope;
    try {
        return create();
    } catch (const dgMemoryExhausted&) {
        return fallback;
    }
}
