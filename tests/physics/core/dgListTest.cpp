#include "physics/core/dgList.h"
#include "physics/core/dgPageAllocator.h"

#include "RecordingMemoryHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <random>
#include <vector>

namespace {

using IntList = dgList<int>;

template <class T> std::vector<T> Forward(const dgList<T>& list) {
    std::vector<T> values;
    for (auto* node = list.GetFirst(); node != nullptr; node = node->GetNext()) {
        values.push_back(node->GetInfo());
    }
    return values;
}

template <class T> std::vector<T> Backward(const dgList<T>& list) {
    std::vector<T> values;
    for (auto* node = list.GetLast(); node != nullptr; node = node->GetPrev()) {
        values.insert(values.begin(), node->GetInfo());
    }
    return values;
}

} // namespace

TEST(dgList, AppendAndPrependLinkBothWays) {
    IntList list;
    auto* a = list.Append(1);
    EXPECT_EQ(list.GetFirst(), a);
    EXPECT_EQ(list.GetLast(), a);
    EXPECT_EQ(a->GetNext(), nullptr);
    EXPECT_EQ(a->GetPrev(), nullptr);
    EXPECT_EQ(a->GetRefWord(), 257u);

    auto* b = list.Prepend(2);
    EXPECT_EQ(list.GetFirst(), b);
    EXPECT_EQ(list.GetLast(), a);
    EXPECT_EQ(b->GetNext(), a);
    EXPECT_EQ(a->GetPrev(), b);
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(dgList, RemovingTheOnlyNodeEmptiesTheList) {
    IntList list;
    list.Remove(list.Append(5));
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetFirst(), nullptr);
    EXPECT_EQ(list.GetLast(), nullptr);
}

TEST(dgList, NodesHeldElsewhereSurviveRemovalUnlinkedAndUnmarked) {
    IntList list;
    auto* a = list.Append(1);
    auto* b = list.Append(2);
    auto* c = list.Append(3);
    a->AddRef();
    c->AddRef();
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetFirst(), nullptr);
    EXPECT_EQ(list.GetLast(), nullptr);
    for (auto* held : {a, c}) {
        EXPECT_EQ(held->GetNext(), nullptr);
        EXPECT_EQ(held->GetPrev(), nullptr);
        EXPECT_FALSE(held->IsMarked());
        EXPECT_EQ(held->GetRefCount(), 1);
        dgRefRelease(held);
    }
    (void)b;

    // A node unlinked by its list now belongs to the caller.
    auto* d = list.Append(4);
    list.Append(5);
    EXPECT_EQ(list.Unlink(d), d);
    EXPECT_EQ(list.GetFirst()->GetInfo(), 5);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(d->GetRefCount(), 1);
    dgRefRelease(d);
}

TEST(dgList, PageRecordNodeHandsItsBufferToFreeExactlyOnce) {
    RecordingMemoryHooks hooks;
    {
        dgList<dgPoolPage> pages(dgGetDefaultAllocator());
        void* buffer = dgMalloc(512);
        void* taken = buffer;
        pages.Append(buffer);
        EXPECT_EQ(buffer, nullptr); // the node took the buffer over
        EXPECT_EQ(pages.GetFirst()->GetInfo().m_buffer, taken);
        const std::size_t releasesBefore = hooks.m_releases.size();
        pages.RemoveAll();
        // One release for the buffer, one for the node itself.
        EXPECT_EQ(hooks.m_releases.size(), releasesBefore + 2);
    }
    EXPECT_EQ(hooks.Outstanding(), 0u);
}

TEST(dgList, MatchesStdListUnderRandomEdits) {
    std::mt19937 random(11);
    IntList list;
    std::list<int> reference;
    std::vector<IntList::Node*> nodes; // parallel to reference's order is not needed: values are unique
    for (int step = 0; step < 20000; step++) {
        const unsigned op = random() % 10;
        if (op < 4) {
            nodes.push_back(list.Append(step));
            reference.push_back(step);
        } else if (op < 7) {
            nodes.push_back(list.Prepend(step));
            reference.push_front(step);
        } else if (op < 9 && !nodes.empty()) {
            const std::size_t index = random() % nodes.size();
            IntList::Node* node = nodes[index];
            reference.remove(node->GetInfo());
            nodes[index] = nodes.back();
            nodes.pop_back();
            list.Remove(node);
        } else if (random() % 50 == 0) {
            list.RemoveAll();
            reference.clear();
            nodes.clear();
        }
        ASSERT_EQ(list.GetCount(), static_cast<dgInt32>(reference.size()));
        if (step % 97 == 0) {
            const std::vector<int> expected(reference.begin(), reference.end());
            ASSERT_EQ(Forward(list), expected);
            ASSERT_EQ(Backward(list), expected);
        }
    }
    const std::vector<int> expected(reference.begin(), reference.end());
    EXPECT_EQ(Forward(list), expected);
    EXPECT_EQ(Backward(list), expected);
}

TEST(dgList, MovesMatchStdListSpliceAndKeepTheCount) {
    IntList list;
    std::list<int> reference;
    std::vector<IntList::Node*> nodes;
    for (int i = 0; i < 8; i++) {
        nodes.push_back(list.Append(i));
        reference.push_back(i);
    }
    const auto at = [&](int value) {
        return std::find(reference.begin(), reference.end(), value);
    };
    std::minstd_rand random(11);
    for (int step = 0; step < 2000; step++) {
        const int a = static_cast<int>(random() % nodes.size());
        const int b = static_cast<int>(random() % nodes.size());
        switch (random() % 4) {
        case 0:
            list.MoveToFront(nodes[a]);
            reference.splice(reference.begin(), reference, at(a));
            break;
        case 1:
            list.MoveToEnd(nodes[a]);
            reference.splice(reference.end(), reference, at(a));
            break;
        case 2:
            if (a != b) {
                list.MoveAfter(nodes[a], nodes[b]);
                reference.splice(std::next(at(b)), reference, at(a));
            }
            break;
        default:
            if (a != b) {
                list.MoveBefore(nodes[a], nodes[b]);
                reference.splice(at(b), reference, at(a));
            }
            break;
        }
        const std::vector<int> expected(reference.begin(), reference.end());
        ASSERT_EQ(Forward(list), expected);
        ASSERT_EQ(Backward(list), expected);
    }
    EXPECT_EQ(list.GetCount(), 8);
}
