#include "physics/core/dgNodePool.h"
#include "physics/core/dgNodePoolRegistry.h"
#include "physics/core/dgPageAllocator.h"
#include "physics/core/dgRecyclePool.h"
#include "physics/core/dgGlobalAllocator.h"
#include "physics/core/dgTree.h"

#include "RecordingMemoryHooks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <vector>

namespace {
std::uintptr_t Address(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}
} // namespace

TEST(dgPageAllocator, PageArithmeticRoundsBlocksTo16AndFillsPages) {
    dgPageAllocator small(36, 4);
    EXPECT_EQ(small.GetBlockSize(), 48u);
    EXPECT_EQ(small.GetBlocksPerPage(), 85);
    EXPECT_EQ(small.GetPageBytes(), 4096u);

    // An element larger than a page gets pages of exactly one block.
    dgPageAllocator large(16432, 4);
    EXPECT_EQ(large.GetBlockSize(), 16432u);
    EXPECT_EQ(large.GetBlocksPerPage(), 1);
    EXPECT_EQ(large.GetPageBytes(), 16432u);

    dgPageAllocator mesh(40, 16);
    EXPECT_EQ(mesh.GetBlockSize(), 48u);
    EXPECT_EQ(mesh.GetBlocksPerPage(), 341);
    EXPECT_EQ(mesh.GetPageBytes(), 16384u);
}

TEST(dgPageAllocator, CarvesThePageInOrderAndPutsTheNewPageFirst) {
    dgPageAllocator pages(36, 4);
    std::vector<char*> blocks;
    for (int i = 0; i < 85; i++) {
        blocks.push_back(static_cast<char*>(pages.Allocate()));
    }
    ASSERT_EQ(pages.GetPageList().GetCount(), 1);
    char* firstBuffer = static_cast<char*>(pages.GetPageList().GetFirst()->GetInfo().m_buffer);
    for (int i = 0; i < 85; i++) {
        EXPECT_EQ(blocks[i], firstBuffer + 48 * i);
    }
    char* block86 = static_cast<char*>(pages.Allocate());
    ASSERT_EQ(pages.GetPageList().GetCount(), 2);
    EXPECT_EQ(pages.GetPageList().GetFirst()->GetInfo().m_buffer, block86);
    EXPECT_EQ(pages.GetPageList().GetLast()->GetInfo().m_buffer, firstBuffer);
    EXPECT_EQ(pages.GetLiveCount(), 86);
    for (char* block : blocks) {
        pages.Release(block);
    }
    pages.Release(block86);
}

TEST(dgPageAllocator, FreedBlockComesBackFirst) {
    dgPageAllocator pages(24, 4);
    void* keep = pages.Allocate();
    void* a = pages.Allocate();
    void* b = pages.Allocate();
    pages.Release(a);
    pages.Release(b);
    EXPECT_EQ(pages.Allocate(), b);
    EXPECT_EQ(pages.Allocate(), a);
    pages.Release(a);
    pages.Release(b);
    pages.Release(keep);
}

TEST(dgPageAllocator, FreeingTheLastBlockReturnsEveryPage) {
    RecordingMemoryHooks hooks;
    dgPageAllocator pages(100, 1);
    std::vector<void*> blocks;
    for (int i = 0; i < 50; i++) {
        blocks.push_back(pages.Allocate());
    }
    const dgInt32 pageCount = pages.GetPageList().GetCount();
    EXPECT_EQ(pageCount, (50 + 8) / 9); // 112-byte blocks, 9 per 1 KB page
    for (void* block : blocks) {
        pages.Release(block);
    }
    EXPECT_EQ(pages.GetPageList().GetCount(), 0);
    EXPECT_EQ(hooks.Outstanding(), 0u);
    // The next request starts again from an empty page list.
    void* again = pages.Allocate();
    EXPECT_EQ(pages.GetPageList().GetCount(), 1);
    pages.Release(again);
}

TEST(dgNodePool, RandomAllocFreeNeverHandsOutALiveBlockAndKeepsBlocksAligned) {
    dgNodePool* pool = dgNodePool::Create(40, 4);
    const dgInt32 registered = dgNodePoolRegistry::Instance().GetCount();
    EXPECT_GE(registered, 1);
    std::mt19937 random(7);
    std::vector<char*> live;
    std::set<char*> liveSet;
    for (int step = 0; step < 20000; step++) {
        const bool allocate = live.empty() || random() % 100 < 55;
        if (allocate) {
            char* block = static_cast<char*>(pool->Malloc(40));
            ASSERT_EQ(Address(block) % 16, 0u);
            ASSERT_TRUE(liveSet.insert(block).second) << "block handed out twice";
            std::memset(block, step & 0xFF, 40);
            live.push_back(block);
        } else {
            const std::size_t index = random() % live.size();
            char* block = live[index];
            live[index] = live.back();
            live.pop_back();
            liveSet.erase(block);
            pool->Free(block);
        }
        EXPECT_EQ(pool->GetPages().GetLiveCount(), static_cast<dgInt32>(live.size()));
    }
    for (char* block : live) {
        pool->Free(block);
    }
    EXPECT_EQ(pool->GetPages().GetPageList().GetCount(), 0);
}

namespace {

// Records construction and destruction order of recycle-pool items.
struct TrackedItem {
    static inline std::vector<const TrackedItem*> s_constructed;
    static inline std::vector<const TrackedItem*> s_destroyed;
    TrackedItem() { s_constructed.push_back(this); }
    ~TrackedItem() { s_destroyed.push_back(this); }
    int m_payload = 0;
};

} // namespace

TEST(dgRecyclePool, BuildsPagesOf64InOrderAndDestroysThemInReverse) {
    TrackedItem::s_constructed.clear();
    TrackedItem::s_destroyed.clear();
    {
        dgRecyclePool<TrackedItem> pool;
        ASSERT_EQ(TrackedItem::s_constructed.size(), 64u);
        for (std::size_t i = 1; i < 64; i++) {
            EXPECT_EQ(TrackedItem::s_constructed[i], TrackedItem::s_constructed[i - 1] + 1);
        }
        std::vector<TrackedItem*> items;
        for (int i = 0; i < 64; i++) {
            items.push_back(pool.Alloc());
            EXPECT_EQ(items.back(), TrackedItem::s_constructed[i]);
        }
        EXPECT_EQ(pool.GetPageCount(), 1);
        items.push_back(pool.Alloc()); // the 65th adds a page
        EXPECT_EQ(pool.GetPageCount(), 2);
        EXPECT_EQ(TrackedItem::s_constructed.size(), 128u);

        // Released items come back oldest first, as they were: never rebuilt.
        items[3]->m_payload = 33;
        pool.Release(items[3]);
        pool.Release(items[10]);
        EXPECT_EQ(pool.Alloc(), items[3]);
        EXPECT_EQ(items[3]->m_payload, 33);
        EXPECT_EQ(pool.Alloc(), items[10]);
        EXPECT_EQ(TrackedItem::s_constructed.size(), 128u);
        EXPECT_TRUE(TrackedItem::s_destroyed.empty());
    }
    ASSERT_EQ(TrackedItem::s_destroyed.size(), 128u);
    // Each page destroys its items from the last to the first.
    for (std::size_t page = 0; page < 2; page++) {
        for (std::size_t i = 1; i < 64; i++) {
            EXPECT_EQ(TrackedItem::s_destroyed[page * 64 + i],
                      TrackedItem::s_destroyed[page * 64 + i - 1] - 1);
        }
    }
}

namespace {

// A process-wide holder of containers of node types nothing else uses, made after the pools' registry:
// it must be torn down before the registry deletes the pools under it.
struct LateStaticContainers {
    dgList<double> m_list;
    dgTree<dgList<double>, dgInt64> m_tree;
};

void UseEverySingletonThenExit() {
    static LateStaticContainers holder;
    holder.m_list.Append(1.0);
    bool existed;
    holder.m_tree.FindOrInsert(-5, existed)->GetInfo().Append(2.0);
    dgRef* named = new dgRef();
    named->SetName("exit-order check");
    dgRefRelease(named);
    void* cached = dgObjectMalloc(40);
    dgObjectFree(cached);
    std::exit(0);
}

} // namespace

TEST(dgNodePoolRegistryDeathTest, SingletonsTearDownAtExitAfterTheirUsers) {
    EXPECT_EXIT(UseEverySingletonThenExit(), ::testing::ExitedWithCode(0), "");
}
