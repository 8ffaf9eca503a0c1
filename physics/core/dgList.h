#pragma once
// The engine's doubly linked list; values live inside reference-counted nodes from a per-type pool.

#include "physics/core/dgNodePool.h"
#include "physics/core/dgRef.h"

#include <utility>

template <class T, dgInt32 kPageKb> class dgList;

/// One list element. A list holds one reference of each of its nodes; a node that someone else
/// still holds survives its removal, unlinked and with its mark cleared.
template <class T> class dgListNode final : public dgRef {
public:
    dgListNode* GetNext() const { return m_next; }
    dgListNode* GetPrev() const { return m_prev; }
    T& GetInfo() { return m_info; }
    const T& GetInfo() const { return m_info; }

    /// Joins the neighbours to each other and clears the node's links, without releasing it. The
    /// list's ends and count are the caller's to fix (dgList::Unlink does both).
    dgListNode* Unlink() {
        dgListNode* next = m_next;
        if (m_prev != nullptr) {
            m_prev->m_next = m_next;
        }
        if (m_next != nullptr) {
            m_next->m_prev = m_prev;
        }
        m_next = nullptr;
        m_prev = nullptr;
        return next;
    }

    /// Clears the mark, unlinks the node and drops the list's reference.
    void UnlinkAndRelease() {
        ClearMark();
        Unlink();
        dgRefRelease(this);
    }

private:
    template <class, dgInt32> friend class dgList;

    template <class... Args>
    dgListNode(dgMemoryAllocator* owner, dgListNode* prev, dgListNode* next, Args&&... args)
        : m_next(next), m_prev(prev), m_owner(owner), m_info(std::forward<Args>(args)...) {
        if (prev != nullptr) {
            prev->m_next = this;
        }
        if (next != nullptr) {
            next->m_prev = this;
        }
    }
    ~dgListNode() override = default;

    void DeleteSelf() override {
        dgMemoryAllocator* owner = m_owner;
        this->~dgListNode();
        owner->Free(this);
    }

    dgListNode* m_next;
    dgListNode* m_prev;
    dgMemoryAllocator* m_owner;
    T m_info;
};

/// Doubly linked list. Nodes come from the list's allocator: by default the process-wide node pool
/// of the node type, made on first use with pages of kPageKb KB.
template <class T, dgInt32 kPageKb = 4> class dgList {
public:
    using Node = dgListNode<T>;
    static_assert(alignof(Node) <= 16, "pool blocks are 16-byte aligned");

    dgList() : dgList(NodePool()) {}
    /// A list whose nodes come from the given allocator, which must outlive the list.
    explicit dgList(dgMemoryAllocator* allocator)
        : m_count(0), m_last(nullptr), m_first(nullptr), m_allocator(allocator) {}
    ~dgList() { RemoveAll(); }
    dgList(const dgList&) = delete;
    dgList& operator=(const dgList&) = delete;

    dgInt32 GetCount() const { return m_count; }
    Node* GetFirst() const { return m_first; }
    Node* GetLast() const { return m_last; }
    dgMemoryAllocator* GetAllocator() const { return m_allocator; }

    /// A new last node whose value is built from args.
    template <class... Args> Node* Append(Args&&... args) {
        Node* node = MakeNode(m_last, nullptr, std::forward<Args>(args)...);
        if (m_first == nullptr) {
            m_first = node;
        }
        m_last = node;
        return node;
    }

    /// A new first node whose value is built from args.
    template <class... Args> Node* Prepend(Args&&... args) {
        Node* node = MakeNode(nullptr, m_first, std::forward<Args>(args)...);
        if (m_last == nullptr) {
            m_last = node;
        }
        m_first = node;
        return node;
    }

    /// Takes a node of this list out and releases the list's reference.
    void Remove(Node* node) {
        DetachEnds(node);
        node->UnlinkAndRelease();
    }

    /// Takes a node of this list out without releasing it: the caller now holds the list's reference.
    Node* Unlink(Node* node) {
        DetachEnds(node);
        node->ClearMark();
        node->Unlink();
        return node;
    }

    /// Moves a node of this list to just after anchor, another node of it; the count stays.
    void MoveAfter(Node* node, Node* anchor) {
        dgAssert(node != anchor);
        if (anchor->m_next == node) {
            return;
        }
        TakeOut(node);
        node->m_prev = anchor;
        node->m_next = anchor->m_next;
        if (anchor->m_next != nullptr) {
            anchor->m_next->m_prev = node;
        } else {
            m_last = node;
        }
        anchor->m_next = node;
    }

    /// Moves a node of this list to just before anchor, another node of it; the count stays.
    void MoveBefore(Node* node, Node* anchor) {
        dgAssert(node != anchor);
        if (anchor->m_prev == node) {
            return;
        }
        TakeOut(node);
        node->m_next = anchor;
        node->m_prev = anchor->m_prev;
        if (anchor->m_prev != nullptr) {
            anchor->m_prev->m_next = node;
        } else {
            m_first = node;
        }
        anchor->m_prev = node;
    }

    /// Moves a node of this list to the front.
    void MoveToFront(Node* node) {
        if (node != m_first) {
            MoveBefore(node, m_first);
        }
    }

    /// Moves a node of this list to the end.
    void MoveToEnd(Node* node) {
        if (node != m_last) {
            MoveAfter(node, m_last);
        }
    }

    /// Releases every node from the first to the last.
    void RemoveAll() {
        while (m_first != nullptr) {
            m_count--;
            Node* node = m_first;
            m_first = node->m_next;
            node->UnlinkAndRelease();
        }
        m_last = nullptr;
    }

    /// The process-wide pool of this node type.
    static dgMemoryAllocator* NodePool() {
        static dgNodePool* const pool = dgNodePool::Create(sizeof(Node), kPageKb);
        return pool;
    }

private:
    template <class... Args> Node* MakeNode(Node* prev, Node* next, Args&&... args) {
        // A refused allocation (or a value that fails to build) leaves the list as it was.
        void* memory = m_allocator->Malloc(sizeof(Node));
        Node* node;
        try {
            node = new (memory) Node(m_allocator, prev, next, std::forward<Args>(args)...);
        } catch (...) {
            m_allocator->Free(memory);
            throw;
        }
        m_count++;
        return node;
    }

    // Unlinks a node and fixes the ends, keeping the count: the node is about to go back in.
    void TakeOut(Node* node) {
        if (node == m_first) {
            m_first = node->m_next;
        }
        if (node == m_last) {
            m_last = node->m_prev;
        }
        node->Unlink();
    }

    void DetachEnds(Node* node) {
        dgAssert(m_count > 0);
        m_count--;
        if (node == m_first) {
            m_first = node->m_next;
        }
        if (node == m_last) {
            m_last = node->m_prev;
        }
    }

    dgInt32 m_count;
    Node* m_last;
    Node* m_first;
    dgMemoryAllocator* m_allocator;
};
