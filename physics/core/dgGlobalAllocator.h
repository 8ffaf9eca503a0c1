#pragma once
// Allocation of engine objects: a process-wide cache of released blocks keyed by their exact size.

#include "physics/core/dgList.h"
#include "physics/core/dgTree.h"

/// Blocks are dgMalloc blocks with a 16-byte header holding the size, so objects stay 16-byte aligned.
/// Released blocks wait in a list per size and are reused oldest first; they go back to dgFree when the
/// cache is flushed (the public interface does so whenever the memory hooks may change) or destroyed
/// (process exit or library unload).
class dgGlobalAllocator {
public:
    /// The process-wide cache, made on first use.
    static dgGlobalAllocator& Instance();

    dgGlobalAllocator();
    ~dgGlobalAllocator();
    dgGlobalAllocator(const dgGlobalAllocator&) = delete;
    dgGlobalAllocator& operator=(const dgGlobalAllocator&) = delete;

    void* Malloc(std::size_t size);
    /// Takes back a block from Malloc; null is ignored.
    void Free(void* block);
    /// Hands every waiting block back to dgFree, so none outlives the memory hooks that made it.
    void ReleaseCachedBlocks();

    /// Blocks handed out and not yet freed.
    dgInt32 GetLiveCount() const { return m_live; }
    /// Released blocks of exactly size bytes waiting for reuse.
    dgInt32 GetCachedCount(std::size_t size) const;
    /// Number of sizes that have released blocks waiting.
    dgInt32 GetSizeCount() const { return m_sizes.GetCount(); }

private:
    dgTree<dgList<void*>, std::size_t> m_sizes;
    dgInt32 m_live;
};

/// Memory of a reference-counted engine object (its class-level new); never null.
void* dgObjectMalloc(std::size_t size);
/// Releases memory from dgObjectMalloc (its class-level delete); null is ignored.
void dgObjectFree(void* block);
