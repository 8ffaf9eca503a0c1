#include "physics/core/dgPageAllocator.h"

#include "physics/core/dgMemory.h"

dgPoolPage::~dgPoolPage() {
    dgFree(m_buffer);
}

dgPageAllocator::dgPageAllocator(std::size_t elementSize, dgInt32 pageKb)
    : m_pages(dgGetDefaultAllocator()), m_live(0), m_pageBytes(0), m_blocksPerPage(0), m_blockSize(0),
      m_freeHead(nullptr) {
    dgAssert(pageKb > 0 && elementSize > 0 && elementSize <= (std::size_t(1) << 30));
    const std::size_t pageTarget = static_cast<std::size_t>(pageKb) * 1024;
    m_blockSize = (elementSize + 15) & ~std::size_t(15);
    const std::size_t perPage = pageTarget / m_blockSize;
    m_blocksPerPage = perPage == 0 ? 1 : static_cast<dgInt32>(perPage);
    m_pageBytes = static_cast<std::size_t>(m_blocksPerPage) * m_blockSize;
    if (m_pageBytes < pageTarget) {
        m_pageBytes = pageTarget;
    }
}

dgPageAllocator::~dgPageAllocator() {
    m_pages.RemoveAll();
}

void* dgPageAllocator::Allocate() {
    if (m_freeHead != nullptr) {
        m_live++;
        void* block = m_freeHead;
        m_freeHead = *static_cast<void**>(block);
        return block;
    }
    dgListNode<dgPoolPage>* page = m_pages.GetFirst();
    if (page == nullptr || page->GetInfo().m_used == m_blocksPerPage) {
        void* buffer = dgMalloc(m_pageBytes);
        try {
            page = m_pages.Prepend(buffer);
        } catch (...) {
            dgFree(buffer);
            throw;
        }
    }
    m_live++;
    dgPoolPage& record = page->GetInfo();
    void* block = static_cast<char*>(record.m_buffer) + static_cast<std::size_t>(record.m_used) * m_blockSize;
    record.m_used++;
    return block;
}

void dgPageAllocator::Release(void* block) {
    dgAssert(block != nullptr && m_live > 0);
    *static_cast<void**>(block) = m_freeHead;
    m_freeHead = block;
    m_live--;
    if (m_live == 0) {
        m_pages.RemoveAll();
        m_freeHead = nullptr;
    }
}

void* dgPageAllocator::operator new(std::size_t size) {
    return dgMalloc(size);
}

void dgPageAllocator::operator delete(void* block) {
    dgFree(block);
}
