#pragma once
// The list of every node pool ever made, which deletes them all when the process (or library) ends.

#include "physics/core/dgList.h"

class dgNodePool;

/// Process-wide; made by the first dgNodePool::Create. Its list's nodes come from the default
/// allocator, which it touches first so that the default allocator outlives it.
class dgNodePoolRegistry {
public:
    static dgNodePoolRegistry& Instance();

    /// Enters a pool at the front: the newest pool is deleted first.
    void Add(dgNodePool* pool);
    dgInt32 GetCount() const { return m_pools.GetCount(); }

private:
    dgNodePoolRegistry();
    ~dgNodePoolRegistry();

    dgList<dgNodePool*> m_pools;
};
