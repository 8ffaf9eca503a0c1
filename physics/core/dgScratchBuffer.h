#pragma once
// Owner of one dgMalloc block for a temporary array whose length is known only at run time.

#include "physics/core/dgTypes.h"

/// Takes a dgMalloc block at construction and frees it at destruction.
class dgScratchBuffer {
public:
    explicit dgScratchBuffer(std::size_t bytes);
    ~dgScratchBuffer();
    dgScratchBuffer(const dgScratchBuffer&) = delete;
    dgScratchBuffer& operator=(const dgScratchBuffer&) = delete;

    /// 16-byte aligned start of the block; null for a size of 0.
    void* GetData() const { return m_data; }

private:
    void* m_data;
};
