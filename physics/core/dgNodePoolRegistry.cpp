#include "physics/core/dgNodePoolRegistry.h"

#include "physics/core/dgNodePool.h"

dgNodePoolRegistry& dgNodePoolRegistry::Instance() {
    static dgNodePoolRegistry instance;
    return instance;
}

dgNodePoolRegistry::dgNodePoolRegistry() : m_pools(dgGetDefaultAllocator()) {}

dgNodePoolRegistry::~dgNodePoolRegistry() {
    for (dgListNode<dgNodePool*>* node = m_pools.GetFirst(); node != nullptr; node = node->GetNext()) {
        delete node->GetInfo();
    }
    m_pools.RemoveAll();
}

void dgNodePoolRegistry::Add(dgNodePool* pool) {
    m_pools.Prepend(pool);
}
