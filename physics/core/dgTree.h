#pragma once
// The engine's ordered map: a red-black tree of reference-counted nodes holding a value and a key.

#include "physics/core/dgNodePool.h"
#include "physics/core/dgTreeBase.h"

#include <functional>
#include <utility>

template <class T, class Key, dgInt32 kPageKb> class dgTree;

/// One tree element; the key is fixed for the node's life.
template <class T, class Key> class dgTreeNode final : public dgTreeNodeBase {
public:
    dgTreeNode* GetLeft() const { return static_cast<dgTreeNode*>(dgTreeNodeBase::GetLeft()); }
    dgTreeNode* GetRight() const { return static_cast<dgTreeNode*>(dgTreeNodeBase::GetRight()); }
    dgTreeNode* GetParent() const { return static_cast<dgTreeNode*>(dgTreeNodeBase::GetParent()); }
    T& GetInfo() { return m_info; }
    const T& GetInfo() const { return m_info; }
    Key GetKey() const { return m_key; }

private:
    template <class, class, dgInt32> friend class dgTree;

    template <class... Args>
    dgTreeNode(dgMemoryAllocator* owner, dgTreeNodeBase* parent, Key key, Args&&... args)
        : dgTreeNodeBase(owner, parent), m_info(std::forward<Args>(args)...), m_key(key) {}
    ~dgTreeNode() override = default;

    T m_info;
    Key m_key;
};

/// Red-black tree keyed by Key in its own order: signed keys as signed, unsigned as unsigned, pointers
/// by address.
/// Nodes come from the tree's allocator: by default the process-wide node pool of the node type, made
/// on first use with pages of kPageKb KB. Removal relinks nodes, so node addresses stay stable.
template <class T, class Key, dgInt32 kPageKb = 4> class dgTree : public dgTreeBase {
public:
    using Node = dgTreeNode<T, Key>;
    static_assert(alignof(Node) <= 16, "pool blocks are 16-byte aligned");

    dgTree() : dgTreeBase(NodePool()) {}
    /// A tree whose nodes come from the given allocator, which must outlive the tree.
    explicit dgTree(dgMemoryAllocator* allocator) : dgTreeBase(allocator) {}

    Node* GetRoot() const { return static_cast<Node*>(m_root); }
    /// Smallest key's node; null when empty.
    Node* GetFirst() const { return static_cast<Node*>(Minimum(m_root)); }
    /// Largest key's node; null when empty.
    Node* GetLast() const { return static_cast<Node*>(Maximum(m_root)); }
    static Node* GetNext(Node* node) { return static_cast<Node*>(Next(node)); }
    static Node* GetPrev(Node* node) { return static_cast<Node*>(Prev(node)); }

    Node* Find(Key key) const {
        Node* node = GetRoot();
        while (node != nullptr && !(node->m_key == key)) {
            node = Less(key, node->m_key) ? node->GetLeft() : node->GetRight();
        }
        return node;
    }

    /// A new node holding value under key; null when the key is already present.
    Node* Insert(const T& value, Key key) {
        bool existed;
        Node* node = Emplace(key, existed, value);
        return existed ? nullptr : node;
    }

    /// The node of key; when there is none, a new one holding value. existed tells which.
    Node* FindOrInsert(const T& value, Key key, bool& existed) { return Emplace(key, existed, value); }

    /// The node of key; when there is none, a new one holding a default-built value.
    Node* FindOrInsert(Key key, bool& existed) { return Emplace(key, existed); }

    /// Removes the node of key; nothing when absent.
    void RemoveKey(Key key) {
        if (Node* node = Find(key)) {
            RemoveNode(node);
        }
    }

    /// The process-wide pool of this node type.
    static dgMemoryAllocator* NodePool() {
        static dgNodePool* const pool = dgNodePool::Create(sizeof(Node), kPageKb);
        return pool;
    }

private:
    // std::less orders pointer keys totally, which the built-in < does not promise.
    static bool Less(Key a, Key b) { return std::less<Key>()(a, b); }

    template <class... Args> Node* Emplace(Key key, bool& existed, Args&&... args) {
        Node* parent = nullptr;
        bool left = false;
        for (Node* node = GetRoot(); node != nullptr;) {
            if (node->m_key == key) {
                existed = true;
                return node;
            }
            parent = node;
            left = Less(key, node->m_key);
            node = left ? node->GetLeft() : node->GetRight();
        }
        existed = false;
        // A refused allocation (or a value that fails to build) leaves the tree as it was.
        void* memory = m_allocator->Malloc(sizeof(Node));
        Node* node;
        try {
            node = new (memory) Node(m_allocator, parent, key, std::forward<Args>(args)...);
        } catch (...) {
            m_allocator->Free(memory);
            throw;
        }
        m_count++;
        Link(node, parent, left);
        return node;
    }
};
