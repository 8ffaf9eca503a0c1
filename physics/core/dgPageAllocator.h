#pragma once
// The engine of one node pool: equal blocks carved from pages, with a free list threaded through them.

#include "physics/core/dgList.h"

/// One page of a page allocator: how many blocks were carved from it, and its buffer (owned).
struct dgPoolPage {
    /// Takes the buffer over from the holder and clears the holder's pointer.
    explicit dgPoolPage(void*& buffer) : m_used(0), m_buffer(buffer) { buffer = nullptr; }
    ~dgPoolPage();
    dgPoolPage(const dgPoolPage&) = delete;
    dgPoolPage& operator=(const dgPoolPage&) = delete;

    dgInt32 m_used;
    void* m_buffer;
};

/// Block size = element size rounded up to 16; blocks per page = page bytes / block size (at least 1);
/// a page is at least pageKb KB. The newest page is first in the page list and is the one being carved.
/// When the last live block is freed every page goes back to dgFree.
class dgPageAllocator {
public:
    dgPageAllocator(std::size_t elementSize, dgInt32 pageKb);
    ~dgPageAllocator();
    dgPageAllocator(const dgPageAllocator&) = delete;
    dgPageAllocator& operator=(const dgPageAllocator&) = delete;

    void* Allocate();
    void Release(void* block);

    std::size_t GetBlockSize() const { return m_blockSize; }
    dgInt32 GetBlocksPerPage() const { return m_blocksPerPage; }
    std::size_t GetPageBytes() const { return m_pageBytes; }
    dgInt32 GetLiveCount() const { return m_live; }
    const dgList<dgPoolPage>& GetPageList() const { return m_pages; }

    static void* operator new(std::size_t size);
    static void operator delete(void* block);

private:
    dgList<dgPoolPage> m_pages; ///< nodes from the default allocator
    dgInt32 m_live;
    std::size_t m_pageBytes;
    dgInt32 m_blocksPerPage;
    std::size_t m_blockSize;
    void* m_freeHead; ///< most recently freed block; each free block's first word links to the next
};
