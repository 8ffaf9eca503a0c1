#include "physics/core/dgNodePool.h"

#include "physics/core/dgNodePoolRegistry.h"
#include "physics/core/dgPageAllocator.h"

dgNodePool* dgNodePool::Create(std::size_t elementSize, dgInt32 pageKb) {
    // The registry must exist before the pool so that it is torn down after every user of the pool.
    dgNodePoolRegistry& registry = dgNodePoolRegistry::Instance();
    dgNodePool* pool = new dgNodePool(elementSize, pageKb);
    // A registry that cannot take the pool (memory ran out) would never free it.
    try {
        registry.Add(pool);
    } catch (...) {
        delete pool;
        throw;
    }
    return pool;
}

dgNodePool::dgNodePool(std::size_t elementSize, dgInt32 pageKb)
    : m_pages(new dgPageAllocator(elementSize, pageKb)) {}

dgNodePool::~dgNodePool() {
    delete m_pages;
}

void* dgNodePool::Malloc(std::size_t size) {
    dgAssert(size <= m_pages->GetBlockSize());
    return m_pages->Allocate();
}

void dgNodePool::Free(void* block) {
    m_pages->Release(block);
}
