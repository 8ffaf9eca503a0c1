#include "physics/core/dgGlobalAllocator.h"

#include "RecordingMemoryHooks.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(dgGlobalAllocator, ReleasedBlocksComeBackOnlyForTheirExactSize) {
    dgGlobalAllocator cache;
    void* a = cache.Malloc(24);
    void* b = cache.Malloc(24);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 16, 0u);
    cache.Free(a);
    void* c = cache.Malloc(28);
    EXPECT_NE(c, a);
    EXPECT_EQ(cache.Malloc(24), a);
    EXPECT_EQ(cache.GetLiveCount(), 3);
    cache.Free(a);
    cache.Free(b);
    cache.Free(c);
    EXPECT_EQ(cache.GetLiveCount(), 0);
}

TEST(dgGlobalAllocator, BlocksOfOneSizeAreReusedOldestFirst) {
    dgGlobalAllocator cache;
    void* a = cache.Malloc(64);
    void* b = cache.Malloc(64);
    cache.Free(a);
    cache.Free(b);
    EXPECT_EQ(cache.GetCachedCount(64), 2);
    EXPECT_EQ(cache.Malloc(64), a);
    EXPECT_EQ(cache.Malloc(64), b);
    // Taking the last cached block of a size drops that size from the tree.
    EXPECT_EQ(cache.GetSizeCount(), 0);
    cache.Free(a);
    cache.Free(b);
}

TEST(dgGlobalAllocator, DestroyingTheCacheGivesEveryCachedBlockBack) {
    RecordingMemoryHooks hooks;
    std::size_t objectAllocations = 0;
    {
        dgGlobalAllocator cache;
        void* blocks[5];
        for (void*& block : blocks) {
            block = cache.Malloc(200);
        }
        for (void* block : blocks) {
            cache.Free(block);
        }
        for (const auto& call : hooks.m_allocations) {
            objectAllocations += call.size == 200 + 16 + 32;
        }
    }
    std::size_t objectReleases = 0;
    for (const auto& call : hooks.m_releases) {
        objectReleases += call.size == 200 + 16 + 32;
    }
    EXPECT_EQ(objectAllocations, 5u);
    EXPECT_EQ(objectReleases, 5u);
}
