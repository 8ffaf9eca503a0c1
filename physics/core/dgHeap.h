#pragma once
// Binary heap over an order: the order's top key is on top.

#include "physics/core/dgHeapBase.h"

/// Smallest key on top. Each predicate is the exact comparison the sift loops rely on.
struct dgHeapMinOrder {
    /// A pushed entry stops rising below a parent that is strictly above it.
    template <class Key> static bool StaysAbove(Key parent, Key key) { return parent < key; }
    /// The right child is taken only when strictly above the left.
    template <class Key> static bool Precedes(Key right, Key left) { return right < left; }
    /// The entry moved down from the end settles above a child it ties with.
    template <class Key> static bool SettlesAbove(Key last, Key child) { return last <= child; }
};

/// Largest key on top.
struct dgHeapMaxOrder {
    template <class Key> static bool StaysAbove(Key parent, Key key) { return !(parent <= key); }
    template <class Key> static bool Precedes(Key right, Key left) { return right > left; }
    template <class Key> static bool SettlesAbove(Key last, Key child) { return !(last < child); }
};

/// Among equal keys the newest entry is nearer the top.
template <class Key, class Value, class Order> class dgHeap : public dgHeapBase<Key, Value> {
    using Base = dgHeapBase<Key, Value>;

public:
    using Entry = typename Base::Entry;

    /// Fixed heap over the caller's array of capacity entries.
    dgHeap(Entry* entries, dgInt32 capacity) : Base(entries, capacity) {}
    /// Growable heap owning its array, starting with room for capacity entries.
    explicit dgHeap(dgInt32 capacity) : Base(capacity) {}

    /// Inserts (key, value); the new entry rises above every entry it ties with.
    void Push(const Value& value, Key key) {
        if (!this->MakeRoom()) {
            return;
        }
        dgInt32 i = ++this->m_count;
        while (i > 1) {
            const dgInt32 parent = i / 2;
            if (Order::StaysAbove(this->At(parent).m_key, key)) {
                break;
            }
            this->At(i) = this->At(parent);
            i = parent;
        }
        this->At(i) = Entry{key, value};
    }

    /// Removes the top entry; read it first.
    void Pop() {
        dgAssert(this->m_count > 0);
        if (this->m_count <= 0) {
            return;
        }
        const dgInt32 count = --this->m_count;
        const Entry last = this->At(count + 1);
        if (count < 2) {
            this->At(1) = last;
            return;
        }
        dgInt32 i = 1;
        do {
            dgInt32 j = 2 * i;
            if (j < count && Order::Precedes(this->At(j + 1).m_key, this->At(j).m_key)) {
                j++;
            }
            if (Order::SettlesAbove(last.m_key, this->At(j).m_key)) {
                break;
            }
            this->At(i) = this->At(j);
            i = j;
        } while (i <= count / 2);
        this->At(i) = last;
    }
};

/// Binary heap with the smallest key on top (a class, so that headers can declare it ahead).
template <class Key, class Value> class dgMinHeap : public dgHeap<Key, Value, dgHeapMinOrder> {
public:
    using dgHeap<Key, Value, dgHeapMinOrder>::dgHeap;
};

/// Binary heap with the largest key on top.
template <class Key, class Value> class dgMaxHeap : public dgHeap<Key, Value, dgHeapMaxOrder> {
public:
    using dgHeap<Key, Value, dgHeapMaxOrder>::dgHeap;
};
