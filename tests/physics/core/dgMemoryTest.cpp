#include "physics/core/dgMemory.h"
#include "physics/core/dgScratchArray.h"
#include "physics/core/dgScratchBuffer.h"
#include "physics/core/dgStackMemoryAllocator.h"

#include "RecordingMemoryHooks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>

namespace {

std::uintptr_t Address(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

template <class T> T ReadWord(const void* at) {
    T value;
    std::memcpy(&value, at, sizeof(value));
    return value;
}

} // namespace

TEST(dgMalloc, SizeZeroIsNullAndNeverCallsTheHook) {
    RecordingMemoryHooks hooks;
    EXPECT_EQ(dgMalloc(0), nullptr);
    dgFree(nullptr);
    EXPECT_TRUE(hooks.m_allocations.empty());
    EXPECT_TRUE(hooks.m_releases.empty());
}

TEST(dgMalloc, NextMallocAfterInstallingHooksAsksThemForSizePlus32) {
    RecordingMemoryHooks hooks;
    void* block = dgMalloc(10);
    ASSERT_EQ(hooks.m_allocations.size(), 1u);
    EXPECT_EQ(hooks.m_allocations[0].size, 42u);
    dgFree(block);
}

TEST(dgMalloc, BlockIsAlignedInsideTheRawBlockWithRawPointerAndSizeInFront) {
    RecordingMemoryHooks hooks;
    for (std::size_t offset = 0; offset < 16; offset++) {
        for (std::size_t size :
             {std::size_t(1), std::size_t(15), std::size_t(16), std::size_t(100), std::size_t(4096)}) {
            hooks.SetRawOffset(offset);
            char* block = static_cast<char*>(dgMalloc(size));
            const RecordingMemoryHooks::Call call = hooks.m_allocations.back();
            EXPECT_EQ(Address(block) % 16, 0u);
            // 17 to 32 bytes past the raw address, and never past raw + size + 32.
            EXPECT_GE(block - static_cast<char*>(call.raw), 17);
            EXPECT_LE(block - static_cast<char*>(call.raw), 32);
            EXPECT_EQ(ReadWord<void*>(block - 8), call.raw);
            EXPECT_EQ(ReadWord<std::size_t>(block - 16), size + 32);
            std::memset(block, 0xAB, size); // the whole block is usable (ASan checks the bounds)

            dgFree(block);
            ASSERT_FALSE(hooks.m_releases.empty());
            EXPECT_EQ(hooks.m_releases.back().raw, call.raw);
            EXPECT_EQ(hooks.m_releases.back().size, size + 32);
        }
    }
    EXPECT_EQ(hooks.Outstanding(), 0u);
}

TEST(dgMalloc, NullHookPairInstallsTheDefaults) {
    RecordingMemoryHooks hooks;
    dgSetMemoryAllocators(nullptr, dgDefaultFree);
    void* block = dgMalloc(64);
    dgFree(block);
    EXPECT_TRUE(hooks.m_allocations.empty());
}

namespace {
void* RefusingHook(std::size_t) {
    return nullptr;
}
} // namespace

TEST(dgMallocDeathTest, FailingHookEndsInTheOutOfMemoryHandler) {
    EXPECT_DEATH(
        {
            dgSetMemoryAllocators(RefusingHook, dgDefaultFree);
            dgMalloc(100);
        },
        "dgMalloc: out of memory \\(100 bytes\\)");
}

TEST(dgMallocDeathTest, SizeThatCannotCarryTheHeaderEndsInTheOutOfMemoryHandler) {
    RecordingMemoryHooks hooks;
    EXPECT_DEATH(dgMalloc(SIZE_MAX - 31), "dgMalloc: out of memory");
    EXPECT_TRUE(hooks.m_allocations.empty());
}

TEST(dgStackMemoryAllocator, HandsOutTheEndOfEachStep) {
    dgStackMemoryAllocator stack;
    char* base = stack.GetBase();
    EXPECT_EQ(Address(base) % 16, 0u);
    EXPECT_EQ(stack.Malloc(80), base + 96);
    EXPECT_EQ(stack.Malloc(80), base + 192);
    // A size of 4 modulo 16 takes the smallest step that still holds it.
    EXPECT_EQ(stack.Malloc(84), base + 192 + 96);
}

TEST(dgStackMemoryAllocator, OverflowFallsBackToHeapBlocksFreedWithTheAllocator) {
    RecordingMemoryHooks hooks;
    {
        dgStackMemoryAllocator stack;
        const std::size_t size = 80;
        // The buffer is 16-byte aligned, so the base lies 32 bytes into it.
        const char* bufferEnd = stack.GetBase() - 32 + dgStackMemoryAllocator::kBufferBytes;
        std::set<char*> blocks;
        dgInt32 inBuffer = 0;
        for (int i = 0; i < 400; i++) {
            char* block = static_cast<char*>(stack.Malloc(size));
            EXPECT_EQ(Address(block) % 16, 0u);
            EXPECT_TRUE(blocks.insert(block).second);
            std::memset(block, i & 0xFF, size); // ASan flags any write past the buffer
            if (block >= stack.GetBase() && block < bufferEnd) {
                EXPECT_LE(block + size, bufferEnd);
                inBuffer++;
            }
            stack.Free(block);
        }
        // Steps of 96 bytes from base; the block at the end of a step must still end inside the buffer.
        EXPECT_EQ(inBuffer, 340);
        EXPECT_EQ(stack.GetOverflowCount(), 60);
        EXPECT_EQ(hooks.Outstanding(), 60u);
    }
    EXPECT_EQ(hooks.Outstanding(), 0u);
}

TEST(dgScratchBuffer, OwnsOneBlockUntilDestroyed) {
    RecordingMemoryHooks hooks;
    {
        dgScratchBuffer scratch(256);
        EXPECT_EQ(Address(scratch.GetData()) % 16, 0u);
        EXPECT_EQ(hooks.Outstanding(), 1u);
        dgScratchArray<dgInt32> array(100);
        EXPECT_EQ(array.GetSizeInBytes(), 400u);
        for (dgInt32 i = 0; i < array.GetCount(); i++) {
            array[i] = i;
        }
        EXPECT_EQ(array[99], 99);
        EXPECT_EQ(hooks.Outstanding(), 2u);
    }
    EXPECT_EQ(hooks.Outstanding(), 0u);
}
