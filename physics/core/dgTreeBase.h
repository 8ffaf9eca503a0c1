#pragma once
// Red-black balancing and walking shared by every dgTree instance, whatever its key and value.

#include "physics/core/dgMemoryAllocator.h"
#include "physics/core/dgRef.h"

/// Links and colour of a tree node. A missing child counts as black.
class dgTreeNodeBase : public dgRef {
public:
    static constexpr dgUnsigned32 kRed = 1;
    static constexpr dgUnsigned32 kInTree = 2;

    dgTreeNodeBase* GetLeft() const { return m_left; }
    dgTreeNodeBase* GetRight() const { return m_right; }
    dgTreeNodeBase* GetParent() const { return m_parent; }
    /// Set while the node belongs to a tree; cleared when the tree removes or releases it.
    bool IsInTree() const { return (m_flags & kInTree) != 0; }

protected:
    dgTreeNodeBase(dgMemoryAllocator* owner, dgTreeNodeBase* parent)
        : m_left(nullptr), m_right(nullptr), m_parent(parent), m_owner(owner), m_flags(kRed | kInTree) {}
    ~dgTreeNodeBase() override = default;

    void DeleteSelf() override;

private:
    friend class dgTreeBase;

    dgTreeNodeBase* m_left;
    dgTreeNodeBase* m_right;
    dgTreeNodeBase* m_parent; ///< null at the root
    dgMemoryAllocator* m_owner;
    dgUnsigned32 m_flags;
};

/// Count, root and node allocator of a red-black tree, with the key-independent operations.
class dgTreeBase {
public:
    dgTreeBase(const dgTreeBase&) = delete;
    dgTreeBase& operator=(const dgTreeBase&) = delete;

    dgInt32 GetCount() const { return m_count; }
    dgMemoryAllocator* GetAllocator() const { return m_allocator; }

    /// Left-most node below node (node itself when it has no left child); null for null.
    static dgTreeNodeBase* Minimum(dgTreeNodeBase* node);
    /// Right-most node below node; null for null.
    static dgTreeNodeBase* Maximum(dgTreeNodeBase* node);
    /// In-order successor, null past the end. Valid across insertions made during a walk.
    static dgTreeNodeBase* Next(dgTreeNodeBase* node);
    /// In-order predecessor, null before the start.
    static dgTreeNodeBase* Prev(dgTreeNodeBase* node);
    static bool IsRed(const dgTreeNodeBase* node) {
        return node != nullptr && (node->m_flags & dgTreeNodeBase::kRed) != 0;
    }

    /// Unlinks node from the tree whose root word is *root, rebalances and drops the tree's reference.
    /// Nodes are relinked, never copied: every other node keeps its address. The count is the caller's.
    static void Remove(dgTreeNodeBase* node, dgTreeNodeBase** root);

    /// Removes a node of this tree.
    void RemoveNode(dgTreeNodeBase* node);
    /// Releases every node; count 0, root null.
    void RemoveAll();

protected:
    explicit dgTreeBase(dgMemoryAllocator* allocator) : m_count(0), m_root(nullptr), m_allocator(allocator) {}
    ~dgTreeBase() { RemoveAll(); }

    /// Links a freshly built red node under its parent (left or right) and rebalances.
    void Link(dgTreeNodeBase* node, dgTreeNodeBase* parent, bool left);
    /// Links again a node that Remove took out: its links, colour and mark start over as for a new node.
    void Relink(dgTreeNodeBase* node, dgTreeNodeBase* parent, bool left);

    dgInt32 m_count;
    dgTreeNodeBase* m_root;
    dgMemoryAllocator* m_allocator;

private:
    static void InsertFixup(dgTreeNodeBase* node, dgTreeNodeBase** root);
    static void RemoveFixup(dgTreeNodeBase* node, dgTreeNodeBase* parent, dgTreeNodeBase** root);
    static void RotateLeft(dgTreeNodeBase* node, dgTreeNodeBase** root);
    static void RotateRight(dgTreeNodeBase* node, dgTreeNodeBase** root);
    static void Transplant(dgTreeNodeBase* node, dgTreeNodeBase* replacement, dgTreeNodeBase** root);
    static void ReleaseAll(dgTreeNodeBase* node);
    static void ReleaseSubtree(dgTreeNodeBase* node);
    static void ReleaseOne(dgTreeNodeBase* node);
    static void SetBlack(dgTreeNodeBase* node) { node->m_flags &= ~dgTreeNodeBase::kRed; }
    static void SetRed(dgTreeNodeBase* node) { node->m_flags |= dgTreeNodeBase::kRed; }
};
