#pragma once
// The stack of the broad phase's depth-first walks over its cells.

#include "physics/collision/dgBroadPhase.h"

/// Popping a cell pushes at most its four children, so a walk of a tree kMaxDepth + 1 levels deep holds
/// at most 3 per level plus 4 cells: the capacity is never reached.
class dgBroadPhaseCellStack {
public:
    static constexpr dgInt32 kCapacity = 4 * (dgBroadPhase::kMaxDepth + 1);

    void Push(dgBroadPhaseCell* cell) {
        dgAssert(m_count < kCapacity);
        if (cell != nullptr && m_count < kCapacity) {
            m_cells[m_count++] = cell;
        }
    }
    /// The existing children in index order 0 to 3, so child 3 comes out first.
    void PushChildren(const dgBroadPhaseCell* cell) {
        for (dgBroadPhaseCell* child : cell->m_children) {
            if (child != nullptr) {
                Push(child);
            }
        }
    }
    /// Null when empty.
    dgBroadPhaseCell* Pop() { return m_count > 0 ? m_cells[--m_count] : nullptr; }

private:
    dgBroadPhaseCell* m_cells[kCapacity];
    dgInt32 m_count = 0;
};
