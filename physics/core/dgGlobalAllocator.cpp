#include "physics/core/dgGlobalAllocator.h"

#include "physics/core/dgMemory.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr std::size_t kHeader = 16;

std::size_t BlockSize(const void* block) {
    std::size_t size;
    std::memcpy(&size, static_cast<const char*>(block) - kHeader, sizeof(size));
    return size;
}
} // namespace

dgGlobalAllocator& dgGlobalAllocator::Instance() {
    static dgGlobalAllocator instance;
    return instance;
}

dgGlobalAllocator::dgGlobalAllocator() : m_live(0) {
    // Make the block lists' pool now, so every pool this cache uses outlives it.
    dgList<void*>::NodePool();
}

dgGlobalAllocator::~dgGlobalAllocator() {
    ReleaseCachedBlocks();
}

void dgGlobalAllocator::ReleaseCachedBlocks() {
    for (auto* node = m_sizes.GetFirst(); node != nullptr; node = m_sizes.GetNext(node)) {
        for (auto* block = node->GetInfo().GetFirst(); block != nullptr; block = block->GetNext()) {
            dgFree(static_cast<char*>(block->GetInfo()) - kHeader);
        }
    }
    m_sizes.RemoveAll();
}

void* dgGlobalAllocator::Malloc(std::size_t size) {
    if (auto* node = m_sizes.Find(size)) {
        m_live++;
        dgList<void*>& blocks = node->GetInfo();
        void* block = blocks.GetFirst()->GetInfo();
        blocks.Remove(blocks.GetFirst());
        if (blocks.GetCount() == 0) {
            m_sizes.RemoveNode(node);
        }
        return block;
    }
    if (size > SIZE_MAX - kHeader) {
        dgOutOfMemory(size);
    }
    char* start = static_cast<char*>(dgMalloc(size + kHeader));
    std::memcpy(start, &size, sizeof(size));
    m_live++;
    return start + kHeader;
}

void dgGlobalAllocator::Free(void* block) {
    if (block == nullptr) {
        return;
    }
    dgAssert(m_live > 0);
    m_live--;
    // Caching needs a node or two; when memory is short the block goes straight back instead, so
    // releasing an object never fails (it runs in destructors, and while a failed creation unwinds).
    const dgRecoverableAllocations scope;
    bool existed = true;
    decltype(m_sizes.GetRoot()) node = nullptr;
    try {
        node = m_sizes.FindOrInsert(BlockSize(block), existed);
        node->GetInfo().Append(block);
    } catch (const dgMemoryExhausted&) {
        if (node != nullptr && !existed) {
            m_sizes.RemoveNode(node);
        }
        dgFree(static_cast<char*>(block) - kHeader);
    }
}

dgInt32 dgGlobalAllocator::GetCachedCount(std::size_t size) const {
    const auto* node = m_sizes.Find(size);
    return node != nullptr ? node->GetInfo().GetCount() : 0;
}

void* dgObjectMalloc(std::size_t size) {
    return dgGlobalAllocator::Instance().Malloc(size);
}

void dgObjectFree(void* block) {
    dgGlobalAllocator::Instance().Free(block);
}
