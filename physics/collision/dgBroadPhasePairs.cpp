#include "physics/collision/dgBroadPhase.h"

#include "physics/collision/dgBroadPhaseCellStack.h"
#include "physics/collision/dgIntersections.h"
#include "physics/dynamics/dgJointLink.h"
#include "physics/dynamics/dgWorld.h"

#include <bit>

namespace {

// Past this many incremental updates a cell's sums are recomputed from its keys.
constexpr dgInt32 kUpdatesBeforeResum = 10000;

using AxisNode = dgListNode<dgBroadPhaseAxisNode>;

bool IsMoving(const dgBody* body) {
    return (body->m_flags & dgBody::kActive) != 0 && body->m_invMass.w > 0.0f;
}

void Resum(dgBroadPhaseAxisList& list) {
    list.m_sum = 0.0;
    list.m_sumOfSquares = 0.0;
    for (const AxisNode* node = list.GetFirst(); node != nullptr; node = node->GetNext()) {
        const dgFloat64 key = node->GetInfo().m_key;
        list.m_sum += key;
        list.m_sumOfSquares += key * key;
    }
}

// The axis of largest spread, from n * sum(k^2) - (sum k)^2 = n^2 * variance; ties go to x, then z.
void RefreshSortAxis(dgBroadPhaseCell* cell) {
    if (cell->m_updateCounter > kUpdatesBeforeResum) {
        cell->m_updateCounter = 0;
        for (dgBroadPhaseAxisList& list : cell->m_lists) {
            Resum(list);
        }
    }
    const dgFloat32 n = static_cast<dgFloat32>(cell->m_bodyCount);
    dgFloat32 spread[3];
    for (dgInt32 axis = 0; axis < 3; axis++) {
        const dgFloat32 sum = static_cast<dgFloat32>(cell->m_lists[axis].m_sum);
        const dgFloat32 sumOfSquares = static_cast<dgFloat32>(cell->m_lists[axis].m_sumOfSquares);
        spread[axis] = n * sumOfSquares - sum * sum;
    }
    if (spread[0] >= spread[1] && spread[0] >= spread[2]) {
        cell->m_sortAxis = 0;
    } else if (spread[2] >= spread[0] && spread[2] >= spread[1]) {
        cell->m_sortAxis = 2;
    } else {
        cell->m_sortAxis = 1;
    }
}

} // namespace

bool dgBroadPhase::IsSkipped(const dgBody* body) const {
    return body->m_collision == nullptr || body->m_collision->IsType(m_skipTypeId);
}

void dgBroadPhase::TestPair(dgBody* body0, dgBody* body1, const dgStepContext& step) {
    if (!IsMoving(body0) && !IsMoving(body1)) {
        return;
    }
    if (!BoxesOverlap(body0->m_minBox, body0->m_maxBox, body1->m_minBox, body1->m_maxBox)) {
        return;
    }
    if (IsSkipped(body0) || IsSkipped(body1)) {
        return;
    }
    if (m_world != nullptr) {
        m_world->CalculateContacts(body0, body1, step);
    }
}

void dgBroadPhase::UpdatePairs(const dgStepContext& step) {
    m_frameCounter++;
    if (m_movedBodies.GetCount() <= m_movedThreshold) {
        IncrementalSearch(step);
    } else {
        FullSweep(step);
        for (auto* node = m_movedBodies.GetFirst(); node != nullptr; node = node->GetNext()) {
            node->GetInfo()->m_movedNode = nullptr;
        }
        m_movedBodies.RemoveAll();
    }
    // The threshold grows with the logarithm of the body count: beyond it a full sweep is cheaper.
    const dgInt32 bodyCount = m_world != nullptr ? m_world->m_bodyCount : 0;
    const dgInt32 bits = bodyCount > 0 ? std::bit_width(static_cast<dgUnsigned32>(bodyCount)) : 0;
    m_movedThreshold = 2 * (1 + bits);
    if (m_world != nullptr) {
        m_world->FlushTireContacts();
    }
}

// Bodies waiting in the force pass live on the world's work area while it has room, then in the broad
// phase's own growing array, so no push can overrun.
void dgBroadPhase::PushPending(dgBody* body, dgBody** area, dgInt32 capacity, dgInt32& count) {
    if (count < capacity) {
        area[count++] = body;
    } else {
        m_pendingOverflow.Push(body);
    }
}

dgBody* dgBroadPhase::PopPending(dgBody** area, dgInt32& count) {
    if (!m_pendingOverflow.IsEmpty()) {
        return m_pendingOverflow.Pop();
    }
    return count > 0 ? area[--count] : nullptr;
}

void dgBroadPhase::ApplyForcesAndPredictBoxes(const dgStepContext& step) {
    if (m_world == nullptr) {
        return;
    }
    const dgUnsigned64 stamp = step.m_stamp;

    // A box refresh can take the body, or one joined to it, out of the active set: walk a copy.
    m_activeSnapshot.Reset();
    auto& active = m_world->m_activeBodies;
    for (auto* node = active.GetFirst(); node != nullptr; node = active.GetNext(node)) {
        m_activeSnapshot.Push(node->GetInfo());
    }

    dgBody** area = static_cast<dgBody**>(m_world->m_workArea);
    const dgInt32 capacity =
        area != nullptr ? dgWorld::GetWorkAreaSize() / static_cast<dgInt32>(sizeof(dgBody*)) : 0;
    dgInt32 count = 0;
    m_pendingOverflow.Reset();
    for (dgInt32 i = 0; i < m_activeSnapshot.GetCount(); i++) {
        dgBody* start = m_activeSnapshot[i];
        if (start->m_activeNode == nullptr || start->m_invMass.w == 0.0f || start->m_stepStamp >= stamp) {
            continue;
        }
        start->m_stepStamp = stamp;
        PushPending(start, area, capacity, count);
        while (dgBody* body = PopPending(area, count)) {
            body->m_force = dgVector(0.0f, 0.0f, 0.0f, 0.0f);
            body->m_torque = dgVector(0.0f, 0.0f, 0.0f, 0.0f);
            if (body->m_forceAndTorque != nullptr) {
                body->m_forceAndTorque(body);
            }
            body->UpdateCollisionMatrix(step.m_timeStep);
            dgJointLink* head = body->m_jointRing;
            if (head == nullptr) {
                continue;
            }
            dgJointLink* link = head;
            do {
                dgBody* other = link->m_twin->m_body;
                if (other != nullptr && other->m_stepStamp != stamp) {
                    if (other->m_invMass.w > 0.0f) {
                        PushPending(other, area, capacity, count);
                    }
                    other->m_stepStamp = stamp;
                }
                link = link->m_twin->m_next;
            } while (link != head);
        }
    }
}

void dgBroadPhase::IncrementalSearch(const dgStepContext& step) {
    while (auto* node = m_movedBodies.GetFirst()) {
        dgBody* body = node->GetInfo();
        m_movedBodies.Remove(node);
        body->m_movedNode = nullptr;
        if (body->m_pairStamp >= m_frameCounter) {
            continue;
        }
        body->m_pairStamp = m_frameCounter;
        for (dgBroadPhaseCell* cell = body->m_cell->m_parent; cell != nullptr; cell = cell->m_parent) {
            if (cell->m_bodyCount > 0) {
                SearchCell(body, cell, step);
            }
        }
        dgBroadPhaseCellStack stack;
        stack.Push(body->m_cell);
        while (dgBroadPhaseCell* cell = stack.Pop()) {
            if (cell->m_bodyCount > 0) {
                SearchCell(body, cell, step);
            }
            stack.PushChildren(cell);
        }
    }
}

// Bodies already searched this frame found their pairs with this one then.
void dgBroadPhase::SearchCell(dgBody* body, dgBroadPhaseCell* cell, const dgStepContext& step) {
    if (cell->m_frameStamp < m_frameCounter) {
        RefreshSortAxis(cell);
    }
    cell->m_frameStamp = m_frameCounter;
    const dgInt32 axis = cell->m_sortAxis;
    const dgFloat32 end = body->m_maxBox[axis];
    for (AxisNode* node = cell->m_lists[axis].GetFirst(); node != nullptr && node->GetInfo().m_key < end;
         node = node->GetNext()) {
        dgBody* other = node->GetInfo().m_body;
        if (other != body && other->m_pairStamp != m_frameCounter) {
            TestPair(body, other, step);
        }
    }
}

void dgBroadPhase::SweepList(dgBody* body, AxisNode* from, dgInt32 axis, const dgStepContext& step) {
    const dgFloat32 end = body->m_maxBox[axis];
    for (AxisNode* node = from; node != nullptr && node->GetInfo().m_key < end; node = node->GetNext()) {
        TestPair(body, node->GetInfo().m_body, step);
    }
}

// The two lists merged by key along the ancestor's axis: each body is swept against the other list's
// bodies that start after it, so every cross pair is tested once.
void dgBroadPhase::MergeSweep(dgBroadPhaseCell* ancestor, dgBroadPhaseCell* cell, const dgStepContext& step) {
    const dgInt32 axis = ancestor->m_sortAxis;
    AxisNode* up = ancestor->m_lists[axis].GetFirst();
    AxisNode* down = cell->m_lists[axis].GetFirst();
    while (up != nullptr && down != nullptr) {
        if (up->GetInfo().m_key < down->GetInfo().m_key) {
            SweepList(up->GetInfo().m_body, down, axis, step);
            up = up->GetNext();
        } else {
            SweepList(down->GetInfo().m_body, up, axis, step);
            down = down->GetNext();
        }
    }
}

// Pre-order walk: an ancestor's sort axis is refreshed before any descendant merges against it.
void dgBroadPhase::FullSweep(const dgStepContext& step) {
    dgBroadPhaseCellStack stack;
    stack.Push(m_root);
    while (dgBroadPhaseCell* cell = stack.Pop()) {
        if (cell->m_bodyCount > 0) {
            RefreshSortAxis(cell);
            const dgInt32 axis = cell->m_sortAxis;
            for (AxisNode* node = cell->m_lists[axis].GetFirst(); node != nullptr; node = node->GetNext()) {
                SweepList(node->GetInfo().m_body, node->GetNext(), axis, step);
            }
            for (dgBroadPhaseCell* ancestor = cell->m_parent; ancestor != nullptr; ancestor = ancestor->m_parent) {
                if (ancestor->m_bodyCount > 0) {
                    MergeSweep(ancestor, cell, step);
                }
            }
        }
        stack.PushChildren(cell);
    }
}
