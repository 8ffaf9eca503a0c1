#pragma once
// The allocator interface that every container holds for its nodes.

#include "physics/core/dgTypes.h"

/// Plain allocator over dgMalloc/dgFree; node pools and the stack allocator derive from it.
/// Allocator objects themselves live in dgMalloc memory (or on the stack).
class dgMemoryAllocator {
public:
    dgMemoryAllocator() = default;
    dgMemoryAllocator(const dgMemoryAllocator&) = delete;
    dgMemoryAllocator& operator=(const dgMemoryAllocator&) = delete;
    virtual ~dgMemoryAllocator() = default;

    /// A 16-byte aligned block of at least size bytes.
    virtual void* Malloc(std::size_t size);
    /// Takes back a block that this allocator handed out.
    virtual void Free(void* block);

    static void* operator new(std::size_t size);
    static void operator delete(void* block);
};

/// The process-wide plain allocator, made on first call: the node allocator of every pool's page list
/// and of the node-pool registry. It owns nothing and is destroyed after every pool.
dgMemoryAllocator* dgGetDefaultAllocator();
