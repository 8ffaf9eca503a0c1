#include "physics/core/dgArrayHelpers.h"
#include "physics/core/dgHeap.h"

#include "RecordingMemoryHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

namespace {
using MinHeap = dgMinHeap<dgFloat32, dgInt32>;
using MaxHeap = dgMaxHeap<dgFloat32, dgInt32>;
} // namespace

TEST(dgHeap, PopsInKeyOrder) {
    MinHeap::Entry minBuffer[8];
    MinHeap minHeap(minBuffer, 8);
    MaxHeap::Entry maxBuffer[8];
    MaxHeap maxHeap(maxBuffer, 8);
    for (dgFloat32 key : {3.0f, 1.0f, 2.0f}) {
        minHeap.Push(static_cast<dgInt32>(key), key);
        maxHeap.Push(static_cast<dgInt32>(key), key);
    }
    std::vector<dgFloat32> minKeys;
    std::vector<dgFloat32> maxKeys;
    for (int i = 0; i < 3; i++) {
        minKeys.push_back(minHeap.GetKey(0));
        maxKeys.push_back(maxHeap.GetKey(0));
        minHeap.Pop();
        maxHeap.Pop();
    }
    EXPECT_EQ(minKeys, (std::vector<dgFloat32>{1, 2, 3}));
    EXPECT_EQ(maxKeys, (std::vector<dgFloat32>{3, 2, 1}));
    EXPECT_EQ(minHeap.GetCount(), 0);
}

TEST(dgHeap, NewEntryRisesAboveEqualKeys) {
    MinHeap::Entry buffer[4];
    MinHeap minHeap(buffer, 4);
    minHeap.Push(1, 5.0f);
    minHeap.Push(2, 5.0f);
    EXPECT_EQ(minHeap.GetValue(0), 2);

    MaxHeap maxHeap(4);
    maxHeap.Push(1, 5.0f);
    maxHeap.Push(2, 5.0f);
    EXPECT_EQ(maxHeap.GetValue(0), 2);
}

TEST(dgHeap, PopTakesTheRightChildOnlyWhenStrictlyBetter) {
    // [a 1, b 5, c 5, d 9]: after the pop, b (the left child) must be on top, not c.
    MinHeap minHeap(4);
    minHeap.Push('a', 1.0f);
    minHeap.Push('b', 5.0f);
    minHeap.Push('c', 5.0f);
    minHeap.Push('d', 9.0f);
    ASSERT_EQ(minHeap.GetValue(1), 'b');
    ASSERT_EQ(minHeap.GetValue(2), 'c');
    minHeap.Pop();
    EXPECT_EQ(minHeap.GetValue(0), 'b');
    EXPECT_EQ(minHeap.GetValue(1), 'd');
    EXPECT_EQ(minHeap.GetValue(2), 'c');

    MaxHeap maxHeap(4);
    maxHeap.Push('a', 9.0f);
    maxHeap.Push('b', 5.0f);
    maxHeap.Push('c', 5.0f);
    maxHeap.Push('d', 1.0f);
    maxHeap.Pop();
    EXPECT_EQ(maxHeap.GetValue(0), 'b');
}

TEST(dgHeap, SmallPopsNeedNoComparison) {
    MinHeap heap(2);
    heap.Push(1, 1.0f);
    heap.Pop();
    EXPECT_EQ(heap.GetCount(), 0);
    // Two entries: the other one moves up even though it is not compared.
    heap.Push(1, 1.0f);
    heap.Push(2, 2.0f);
    heap.Pop();
    EXPECT_EQ(heap.GetCount(), 1);
    EXPECT_EQ(heap.GetValue(0), 2);
}

TEST(dgHeap, ManyDuplicateKeysPopSortedAndEveryPushOfATopKeyLandsOnTop) {
    std::mt19937 random(3);
    for (int round = 0; round < 20; round++) {
        MinHeap minHeap(1); // grows as needed
        MaxHeap::Entry maxBuffer[600];
        MaxHeap maxHeap(maxBuffer, 600);
        std::vector<dgFloat32> keys;
        for (int i = 0; i < 500; i++) {
            const dgFloat32 key = static_cast<dgFloat32>(random() % 8);
            const bool minTie = minHeap.GetCount() > 0 && key <= minHeap.GetKey(0);
            const bool maxTie = maxHeap.GetCount() > 0 && key >= maxHeap.GetKey(0);
            minHeap.Push(i, key);
            maxHeap.Push(i, key);
            if (minTie) {
                ASSERT_EQ(minHeap.GetValue(0), i);
            }
            if (maxTie) {
                ASSERT_EQ(maxHeap.GetValue(0), i);
            }
            keys.push_back(key);
        }
        std::vector<dgFloat32> minPopped;
        std::vector<dgFloat32> maxPopped;
        while (minHeap.GetCount() > 0) {
            minPopped.push_back(minHeap.GetKey(0));
            minHeap.Pop();
            maxPopped.push_back(maxHeap.GetKey(0));
            maxHeap.Pop();
        }
        std::sort(keys.begin(), keys.end());
        ASSERT_EQ(minPopped, keys);
        std::reverse(keys.begin(), keys.end());
        ASSERT_EQ(maxPopped, keys);
    }
}

TEST(dgHeap, CallersBufferIsNeverFreedAndOwnedArraysAre) {
    RecordingMemoryHooks hooks;
    {
        MinHeap::Entry buffer[16];
        MinHeap fixed(buffer, 16);
        fixed.Push(1, 1.0f);
        dgMaxHeap<dgFloat64, void*> owned(2);
        for (int i = 0; i < 100; i++) {
            owned.Push(nullptr, i);
        }
        EXPECT_GE(owned.GetCapacity(), 100);
        EXPECT_EQ(owned.GetKey(0), 99.0);
    }
    EXPECT_EQ(hooks.Outstanding(), 0u);
    EXPECT_EQ(hooks.m_releases.size(), hooks.m_allocations.size());
}

#if defined(DG_ENABLE_ASSERTS)
TEST(dgHeapDeathTest, PushOnAFullFixedHeapAsserts) {
    MinHeap::Entry buffer[2];
    MinHeap heap(buffer, 2);
    heap.Push(1, 1.0f);
    heap.Push(2, 2.0f);
    EXPECT_DEATH(heap.Push(3, 3.0f), "full fixed-capacity heap");
}
#endif

TEST(dgArrayHelpers, ComparatorsSortSignedKeys) {
    dgInt32 keys[] = {5, -3, 0, 2147483647, -2147483647 - 1, 5};
    std::qsort(keys, 6, sizeof(dgInt32), dgCompareInt32Ascending);
    EXPECT_EQ(std::vector<dgInt32>(keys, keys + 6),
              (std::vector<dgInt32>{-2147483647 - 1, -3, 0, 5, 5, 2147483647}));
    std::qsort(keys, 6, sizeof(dgInt32), dgCompareInt32Descending);
    EXPECT_EQ(keys[0], 2147483647);
    EXPECT_EQ(dgMaxInt32(-1, 1), 1);
    EXPECT_EQ(dgMinInt32(-1, 1), -1);
}
