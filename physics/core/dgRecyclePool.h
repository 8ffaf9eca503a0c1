#pragma once
// Pages of 64 constructed items with a list of released ones, reused oldest first.

#include "physics/core/dgList.h"

/// One page of a recycle pool: 64 items built in ascending order when the page is made and destroyed
/// from the last to the first when it goes; used counts the items handed out from it.
template <class T> struct dgRecyclePage {
    static constexpr dgInt32 kItemCount = 64;

    dgRecyclePage() : m_used(0) {}
    dgRecyclePage(const dgRecyclePage&) = delete;
    dgRecyclePage& operator=(const dgRecyclePage&) = delete;

    dgInt32 m_used;
    T m_items[kItemCount];
};

/// Keeps whole items constructed: Alloc hands out the oldest released item as it is, else the next
/// fresh item of the last page (adding a page when it is full). Items are never rebuilt on reuse.
template <class T> class dgRecyclePool {
public:
    using Page = dgRecyclePage<T>;

    dgRecyclePool() { AddPage(); }
    ~dgRecyclePool() {
        m_released.RemoveAll();
        m_pages.RemoveAll();
    }
    dgRecyclePool(const dgRecyclePool&) = delete;
    dgRecyclePool& operator=(const dgRecyclePool&) = delete;

    T* Alloc() {
        Reserve();
        if (dgListNode<T*>* first = m_released.GetFirst()) {
            T* item = first->GetInfo();
            m_released.Remove(first);
            return item;
        }
        Page& page = GetLastPage();
        return &page.m_items[page.m_used++];
    }

    /// Makes sure the next Alloc takes no memory, adding a page when nothing is released and the last
    /// page is full: a creator reserves first so that nothing it must undo comes after a failure.
    void Reserve() {
        if (m_released.GetCount() == 0 && GetLastPage().m_used == Page::kItemCount) {
            AddPage();
        }
    }

    /// Puts an item of this pool at the end of the released list.
    void Release(T* item) { m_released.Append(item); }

    /// Appends a fresh page, which becomes the current one.
    void AddPage() { m_pages.Append(); }

    Page& GetLastPage() { return m_pages.GetLast()->GetInfo(); }
    dgInt32 GetPageCount() const { return m_pages.GetCount(); }
    dgInt32 GetReleasedCount() const { return m_released.GetCount(); }

private:
    dgList<Page> m_pages; ///< the last page is current
    dgList<T*> m_released;
};
