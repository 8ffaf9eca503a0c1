#include "physics/core/dgTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

namespace {

using IntTree = dgTree<int, dgInt32>;

// Checks a subtree and returns its black height (missing children count as one black level).
template <class Tree>
int CheckSubtree(typename Tree::Node* node, typename Tree::Node* parent, int& count,
                 ::testing::AssertionResult& result) {
    if (node == nullptr) {
        return 1;
    }
    count++;
    if (node->GetParent() != parent) {
        result = ::testing::AssertionFailure() << "bad parent link at key " << node->GetKey();
    }
    if (!node->IsInTree()) {
        result = ::testing::AssertionFailure() << "in-tree bit clear at key " << node->GetKey();
    }
    if (dgTreeBase::IsRed(node) &&
        (dgTreeBase::IsRed(node->GetLeft()) || dgTreeBase::IsRed(node->GetRight()))) {
        result = ::testing::AssertionFailure() << "red node with a red child at key " << node->GetKey();
    }
    if (node->GetLeft() != nullptr && !(node->GetLeft()->GetKey() < node->GetKey())) {
        result = ::testing::AssertionFailure() << "left child out of order at key " << node->GetKey();
    }
    if (node->GetRight() != nullptr && !(node->GetKey() < node->GetRight()->GetKey())) {
        result = ::testing::AssertionFailure() << "right child out of order at key " << node->GetKey();
    }
    const int left = CheckSubtree<Tree>(node->GetLeft(), node, count, result);
    const int right = CheckSubtree<Tree>(node->GetRight(), node, count, result);
    if (left != right) {
        result = ::testing::AssertionFailure() << "unequal black heights below key " << node->GetKey();
    }
    return left + (dgTreeBase::IsRed(node) ? 0 : 1);
}

// Root black, no red-red, equal black heights, parent links, order, count and in-tree bits.
template <class Tree>::testing::AssertionResult IsValidRedBlackTree(const Tree& tree) {
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    if (dgTreeBase::IsRed(tree.GetRoot())) {
        return ::testing::AssertionFailure() << "red root";
    }
    int count = 0;
    CheckSubtree<Tree>(tree.GetRoot(), nullptr, count, result);
    if (result && count != tree.GetCount()) {
        return ::testing::AssertionFailure() << "count " << tree.GetCount() << " but " << count << " nodes";
    }
    return result;
}

template <class Tree> std::vector<typename Tree::Node*> InOrder(const Tree& tree) {
    std::vector<typename Tree::Node*> nodes;
    for (auto* node = tree.GetFirst(); node != nullptr; node = Tree::GetNext(node)) {
        nodes.push_back(node);
    }
    return nodes;
}

} // namespace

TEST(dgTree, AscendingInsertsStayBalanced) {
    IntTree tree;
    for (int key = 1; key <= 1000; key++) {
        ASSERT_NE(tree.Insert(key * 10, key), nullptr);
    }
    EXPECT_TRUE(IsValidRedBlackTree(tree));
    EXPECT_EQ(tree.GetCount(), 1000);
    EXPECT_EQ(tree.GetFirst()->GetKey(), 1);
    EXPECT_EQ(tree.GetLast()->GetKey(), 1000);
    EXPECT_EQ(tree.Find(500)->GetInfo(), 5000);
    EXPECT_EQ(tree.Find(1001), nullptr);
    // Walking backwards from the last node visits every key in descending order.
    int expected = 1000;
    for (auto* node = tree.GetLast(); node != nullptr; node = IntTree::GetPrev(node)) {
        EXPECT_EQ(node->GetKey(), expected--);
    }
    EXPECT_EQ(expected, 0);
}

TEST(dgTree, InsertOfAnExistingKeyReturnsTheExistingNode) {
    IntTree tree;
    auto* first = tree.Insert(1, 7);
    EXPECT_EQ(tree.Insert(2, 7), nullptr);
    bool existed = false;
    EXPECT_EQ(tree.FindOrInsert(3, 7, existed), first);
    EXPECT_TRUE(existed);
    EXPECT_EQ(first->GetInfo(), 1);
    EXPECT_EQ(tree.GetCount(), 1);
    auto* second = tree.FindOrInsert(8, existed);
    EXPECT_FALSE(existed);
    EXPECT_EQ(second->GetInfo(), 0);
    EXPECT_EQ(tree.GetCount(), 2);
}

TEST(dgTree, RemovingANodeWithTwoChildrenKeepsEveryOtherAddress) {
    IntTree tree;
    std::map<int, IntTree::Node*> addresses;
    for (int key = 0; key < 64; key++) {
        addresses[key] = tree.Insert(key, key);
    }
    IntTree::Node* root = tree.GetRoot();
    ASSERT_NE(root->GetLeft(), nullptr);
    ASSERT_NE(root->GetRight(), nullptr);
    const int removedKey = root->GetKey();
    tree.RemoveNode(root);
    addresses.erase(removedKey);
    EXPECT_TRUE(IsValidRedBlackTree(tree));
    const auto nodes = InOrder(tree);
    ASSERT_EQ(nodes.size(), addresses.size());
    auto expected = addresses.begin();
    for (IntTree::Node* node : nodes) {
        EXPECT_EQ(node->GetKey(), expected->first);
        EXPECT_EQ(node, expected->second);
        EXPECT_EQ(node->GetInfo(), expected->first); // values stay with their nodes
        ++expected;
    }
}

TEST(dgTree, RemoveKeyOfAnAbsentKeyChangesNothing) {
    IntTree tree;
    for (int key = 0; key < 10; key++) {
        tree.Insert(key, key * 2);
    }
    const auto before = InOrder(tree);
    tree.RemoveKey(5);
    EXPECT_EQ(tree.GetCount(), 10);
    EXPECT_EQ(InOrder(tree), before);
    tree.RemoveKey(4);
    EXPECT_EQ(tree.GetCount(), 9);
    EXPECT_EQ(tree.Find(4), nullptr);
}

TEST(dgTree, UnsignedKeysCompareAsUnsigned) {
    dgTree<int, dgUnsigned32> tree;
    tree.Insert(1, 0x80000000u);
    tree.Insert(2, 0x7FFFFFFFu);
    EXPECT_EQ(tree.GetFirst()->GetKey(), 0x7FFFFFFFu);
    EXPECT_EQ(tree.GetLast()->GetKey(), 0x80000000u);

    dgTree<int, dgInt32> signedTree;
    signedTree.Insert(1, -1);
    signedTree.Insert(2, 1);
    EXPECT_EQ(signedTree.GetFirst()->GetKey(), -1);
}

TEST(dgTree, PointerKeysOrderByAddress) {
    int bodies[32];
    std::vector<int*> shuffled;
    for (int& body : bodies) {
        shuffled.push_back(&body);
    }
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(9));
    dgTree<int, int*> tree;
    for (int* body : shuffled) {
        tree.Insert(0, body);
    }
    int* expected = bodies;
    for (auto* node = tree.GetFirst(); node != nullptr; node = tree.GetNext(node)) {
        EXPECT_EQ(node->GetKey(), expected++);
    }
    EXPECT_EQ(expected, bodies + 32);
    EXPECT_TRUE(IsValidRedBlackTree(tree));
}

TEST(dgTree, RemoveAllReleasesEveryNodeAndLeavesHeldOnesUnlinked) {
    IntTree empty;
    empty.RemoveAll();
    EXPECT_EQ(empty.GetCount(), 0);

    IntTree tree;
    for (int key = 0; key < 20; key++) {
        tree.Insert(key, key);
    }
    IntTree::Node* held = tree.Find(9);
    held->AddRef();
    tree.RemoveAll();
    EXPECT_EQ(tree.GetCount(), 0);
    EXPECT_EQ(tree.GetRoot(), nullptr);
    EXPECT_FALSE(held->IsInTree());
    EXPECT_FALSE(held->IsMarked());
    EXPECT_EQ(held->GetParent(), nullptr);
    EXPECT_EQ(held->GetRefCount(), 1);
    dgRefRelease(held);
}

TEST(dgTree, RemovedNodeHeldElsewhereReadsAsOutOfTheTree) {
    IntTree tree;
    for (int key = 0; key < 20; key++) {
        tree.Insert(key, key);
    }
    IntTree::Node* node = tree.Find(3);
    EXPECT_TRUE(node->IsInTree());
    EXPECT_TRUE(node->IsMarked());
    node->AddRef();
    tree.RemoveNode(node);
    EXPECT_FALSE(node->IsInTree());
    EXPECT_FALSE(node->IsMarked());
    EXPECT_EQ(node->GetRefCount(), 1);
    EXPECT_EQ(node->GetKey(), 3);
    EXPECT_TRUE(IsValidRedBlackTree(tree));
    dgRefRelease(node);
}

TEST(dgTree, NextStaysValidWhenKeysAreInsertedDuringAWalk) {
    IntTree tree;
    for (int key = 0; key < 200; key += 2) {
        tree.Insert(key, key);
    }
    std::vector<int> visited;
    for (auto* node = tree.GetFirst(); node != nullptr; node = IntTree::GetNext(node)) {
        visited.push_back(node->GetKey());
        // Each even key below 100 makes its odd neighbour, which the walk must meet next.
        if (node->GetKey() % 2 == 0 && node->GetKey() < 100) {
            tree.Insert(node->GetKey() + 1, node->GetKey() + 1);
        }
    }
    std::vector<int> expected;
    for (int key = 0; key < 100; key++) {
        expected.push_back(key);
    }
    for (int key = 100; key < 200; key += 2) {
        expected.push_back(key);
    }
    EXPECT_EQ(visited, expected);
    EXPECT_TRUE(IsValidRedBlackTree(tree));
}

TEST(dgTree, MatchesStdMapUnderRandomEditsWithStableAddresses) {
    std::mt19937 random(5);
    dgTree<dgUnsigned32, dgUnsigned64> tree;
    std::map<dgUnsigned64, std::pair<dgUnsigned32, decltype(tree)::Node*>> reference;
    for (int step = 0; step < 40000; step++) {
        const dgUnsigned64 key = (dgUnsigned64(random() % 64) << 32) | (random() % 64); // dense: many hits
        const unsigned op = random() % 10;
        if (op < 5) {
            bool existed;
            auto* node = tree.FindOrInsert(static_cast<dgUnsigned32>(step), key, existed);
            auto it = reference.find(key);
            ASSERT_EQ(existed, it != reference.end());
            if (existed) {
                ASSERT_EQ(node, it->second.second);
            } else {
                reference[key] = {static_cast<dgUnsigned32>(step), node};
            }
        } else if (op < 9) {
            auto it = reference.find(key);
            ASSERT_EQ(tree.Find(key) != nullptr, it != reference.end());
            if (op < 7) {
                tree.RemoveKey(key);
            } else if (auto* node = tree.Find(key)) {
                tree.RemoveNode(node);
            }
            if (it != reference.end()) {
                reference.erase(it);
            }
        } else if (random() % 200 == 0) {
            tree.RemoveAll();
            reference.clear();
        }
        ASSERT_EQ(tree.GetCount(), static_cast<dgInt32>(reference.size()));
        if (step % 101 == 0) {
            ASSERT_TRUE(IsValidRedBlackTree(tree)) << "after step " << step;
            const auto nodes = InOrder(tree);
            ASSERT_EQ(nodes.size(), reference.size());
            auto expected = reference.begin();
            for (auto* node : nodes) {
                ASSERT_EQ(node->GetKey(), expected->first);
                ASSERT_EQ(node->GetInfo(), expected->second.first);
                ASSERT_EQ(node, expected->second.second);
                ++expected;
            }
        }
    }
}
