#pragma once
// Fixed-size node allocator: one per node type, kept for the life of the process.

#include "physics/core/dgMemoryAllocator.h"

class dgPageAllocator;

/// Hands out blocks of one size, 16-byte aligned, carved from pages. Pools are made on first use by
/// containers and deleted by the node-pool registry when the process (or library) goes away.
class dgNodePool : public dgMemoryAllocator {
public:
    /// A new pool for elements of elementSize bytes with pages of pageKb KB, entered in the registry.
    static dgNodePool* Create(std::size_t elementSize, dgInt32 pageKb);

    ~dgNodePool() override;

    /// One block of the pool's block size; the size asked must not exceed the element size.
    void* Malloc(std::size_t size) override;
    void Free(void* block) override;

    const dgPageAllocator& GetPages() const { return *m_pages; }

private:
    dgNodePool(std::size_t elementSize, dgInt32 pageKb);

    dgPageAllocator* m_pages; ///< owned, in dgMalloc memory
};
