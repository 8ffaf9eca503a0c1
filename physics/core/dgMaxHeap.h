#pragma once
// Binary heap with the largest key on top.

#include "physics/core/dgHeapBase.h"

/// Among equal keys the newest entry is nearer the top.
template <class Key, class Value> class dgMaxHeap : public dgHeapBase<Key, Value> {
    using Base = dgHeapBase<Key, Value>;

public:
    using Entry = typename Base::Entry;

    /// Fixed heap over the caller's array of capacity entries.
    dgMaxHeap(Entry* entries, dgInt32 capacity) : Base(entries, capacity) {}
    /// Growable heap owning its array, starting with room for capacity entries.
    explicit dgMaxHeap(dgInt32 capacity) : Base(capacity) {}

    /// Inserts (key, value); the new entry rises while its parent's key is less than or equal to it.
    void Push(const Value& value, Key key) {
        if (!this->MakeRoom()) {
            return;
        }
        dgInt32 i = ++this->m_count;
        while (i > 1) {
            const dgInt32 parent = i / 2;
            if (!(this->At(parent).m_key <= key)) {
                break;
            }
            this->At(i) = this->At(parent);
            i = parent;
        }
        this->At(i) = Entry{key, value};
    }

    /// Removes the top entry; read it first. The right child is taken only when strictly larger.
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
            if (j<count&& this->At(j + 1).m_key> this->At(j).m_key) {
                j++;
            }
            if (!(last.m_key < this->At(j).m_key)) {
                break;
            }
            this->At(i) = this->At(j);
            i = j;
        } while (i <= count / 2);
        this->At(i) = last;
    }
};
