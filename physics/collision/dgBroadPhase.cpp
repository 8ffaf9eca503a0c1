#include "physics/collision/dgBroadPhase.h"

#include "physics/collision/dgIntersections.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgWorld.h"

#include <cmath>
#include <cstdint>
#include <new>
#include <utility>

namespace {

constexpr dgInt32 kNoChild = 4;

void AddKey(dgBroadPhaseAxisList& list, dgFloat32 key) {
    const dgFloat64 value = key;
    list.m_sum += value;
    list.m_sumOfSquares += value * value;
}

void SubtractKey(dgBroadPhaseAxisList& list, dgFloat32 key) {
    const dgFloat64 value = key;
    list.m_sum -= value;
    list.m_sumOfSquares -= value * value;
}

// A new node goes behind the last node whose key is not larger, so equal keys keep their arrival order.
void InsertIntoList(dgBroadPhaseAxisList& list, dgBody* body, dgInt32 axis) {
    const dgFloat32 key = body->m_minBox[axis];
    auto* node = list.Append(dgBroadPhaseAxisNode{body, key});
    body->m_axisNode[axis] = node;
    auto* prev = node->GetPrev();
    while (prev != nullptr && prev->GetInfo().m_key > key) {
        prev = prev->GetPrev();
    }
    if (prev == nullptr) {
        list.MoveToFront(node);
    } else {
        list.MoveAfter(node, prev);
    }
    AddKey(list, key);
}

void RemoveFromList(dgBroadPhaseAxisList& list, dgBody* body, dgInt32 axis) {
    auto* node = body->m_axisNode[axis];
    SubtractKey(list, node->GetInfo().m_key);
    list.Remove(node);
    body->m_axisNode[axis] = nullptr;
}

// The node slides past its neighbours only as far as its new key demands: the cost follows the motion.
void UpdateKey(dgBroadPhaseAxisList& list, dgBody* body, dgInt32 axis) {
    auto* node = body->m_axisNode[axis];
    dgBroadPhaseAxisNode& info = node->GetInfo();
    SubtractKey(list, info.m_key);
    const dgFloat32 key = body->m_minBox[axis];
    info.m_key = key;
    AddKey(list, key);

    if (node->GetNext() != nullptr) {
        auto* next = node->GetNext();
        while (next != nullptr && next->GetInfo().m_key < key) {
            next = next->GetNext();
        }
        if (next == nullptr) {
            list.MoveToEnd(node);
        } else {
            list.MoveBefore(node, next);
        }
    }
    if (node->GetPrev() != nullptr) {
        auto* prev = node->GetPrev();
        while (prev != nullptr && prev->GetInfo().m_key > key) {
            prev = prev->GetPrev();
        }
        if (prev == nullptr) {
            list.MoveToFront(node);
        } else {
            list.MoveAfter(node, prev);
        }
    }
}

// Below kNoChild: the quadrant (bit 0 upper x half, bit 1 upper z half) whose square holds the box whole.
// A box on a midline or reaching out of the cell fits no child.
dgInt32 ChildQuadrant(const dgVector& minBox, const dgVector& maxBox, dgFloat32 x, dgFloat32 z, dgFloat32 h) {
    const dgFloat32 midX = x + h;
    const dgFloat32 midZ = z + h;
    dgInt32 code = 0;
    if (minBox.x >= midX) {
        code |= 1;
    }
    if (minBox.z >= midZ) {
        code |= 2;
    }
    if ((minBox.x < midX && maxBox.x >= midX) || (minBox.z < midZ && maxBox.z >= midZ)) {
        code += 8;
    }
    if (minBox.x < x || maxBox.x > midX + h) {
        code += 8;
    }
    if (minBox.z < z || maxBox.z > midZ + h) {
        code += 8;
    }
    return code;
}

void CountUpdate(dgBroadPhaseCell* cell) {
    if (cell->m_updateCounter < INT16_MAX) {
        cell->m_updateCounter++;
    }
}

// NaN keeps the current coordinate; infinities and huge values would leave the cells without size.
dgFloat32 SaneCoordinate(dgFloat32 value, dgFloat32 current) {
    if (std::isnan(value)) {
        value = current;
    }
    return dgClamp(value, -dgBroadPhase::kMaxWorldCoordinate, dgBroadPhase::kMaxWorldCoordinate);
}

} // namespace

dgBroadPhase::dgBroadPhase()
    : m_minBox(-1000.0f, -1000.0f, -1000.0f, 0.0f), m_maxBox(1000.0f, 1000.0f, 1000.0f, 0.0f) {}

dgBroadPhase::~dgBroadPhase() {
    DeleteSubtree(m_root);
    m_root = nullptr;
    for (auto* node = m_freeCells.GetFirst(); node != nullptr; node = node->GetNext()) {
        DeleteCell(node->GetInfo());
    }
    m_freeCells.RemoveAll();
}

void dgBroadPhase::Init(dgWorld* world) {
    m_world = world;
    m_frameCounter = 1;
    m_movedThreshold = 1;
    m_skipTypeId = world != nullptr ? world->GetNullClassId() : 0;
    const dgVector min = m_minBox;
    const dgVector max = m_maxBox;
    SetWorldSize(min, max);
}

void dgBroadPhase::GetWorldSize(dgVector& minOut, dgVector& maxOut) const {
    minOut = m_minBox;
    maxOut = m_maxBox;
}

void dgBroadPhase::SetWorldSize(const dgVector& min, const dgVector& max) {
    dgVector lo = min;
    dgVector hi = max;
    for (dgInt32 axis = 0; axis < 3; axis++) {
        lo[axis] = SaneCoordinate(lo[axis], m_minBox[axis]);
        hi[axis] = SaneCoordinate(hi[axis], m_maxBox[axis]);
        if (lo[axis] > hi[axis]) {
            std::swap(lo[axis], hi[axis]);
        }
    }

    m_frameCounter = 1;
    m_movedThreshold = 1;
    m_minBox = lo;
    m_maxBox = hi;
    for (dgInt32 axis = 0; axis < 3; axis++) {
        m_minBox[axis] = std::floor(lo[axis] * 512.0f) / 512.0f;
    }
    const dgFloat32 extentX = hi.x - m_minBox.x;
    const dgFloat32 extentZ = hi.z - m_minBox.z;
    m_rootSide = std::ceil(extentZ > extentX ? extentZ : extentX);
    m_maxBox.x = m_minBox.x + m_rootSide;
    m_maxBox.z = m_minBox.z + m_rootSide;
    // Square in x and z only: y keeps the caller's span.
    m_minBox.y = lo.y;
    m_maxBox.y = hi.y;

    if (m_world == nullptr) {
        return;
    }
    auto& bodies = m_world->m_bodies;
    for (auto* node = bodies.GetFirst(); node != nullptr; node = bodies.GetNext(node)) {
        Remove(node->GetInfo());
    }
    for (auto* node = bodies.GetFirst(); node != nullptr; node = bodies.GetNext(node)) {
        dgBody* body = node->GetInfo();
        Add(body);
        const dgMatrix matrix = body->m_matrix;
        body->SetMatrix(matrix);
    }
}

dgBroadPhaseCell* dgBroadPhase::NewCell(dgInt32 level, dgBroadPhaseCell* parent) {
    dgBroadPhaseCell* cell;
    if (auto* node = m_freeCells.GetLast()) {
        cell = node->GetInfo();
        m_freeCells.Remove(node);
    } else {
        // The cell's lists may find memory gone as they start; the cell's block then goes back.
        void* memory = dgMalloc(sizeof(dgBroadPhaseCell));
        try {
            cell = new (memory) dgBroadPhaseCell();
        } catch (...) {
            dgFree(memory);
            throw;
        }
    }
    cell->m_level = static_cast<dgUnsigned16>(level);
    cell->m_bodyCount = 0;
    cell->m_childCount = 0;
    cell->m_sortAxis = -1;
    cell->m_updateCounter = 0;
    cell->m_skipTypeId = m_skipTypeId;
    cell->m_frameStamp = 0;
    // A recycled cell's lists are empty; sums left over from incremental updates are rounding residue.
    for (dgBroadPhaseAxisList& list : cell->m_lists) {
        dgAssert(list.GetCount() == 0);
        list.m_sum = 0.0;
        list.m_sumOfSquares = 0.0;
    }
    cell->m_world = m_world;
    cell->m_parent = parent;
    for (dgBroadPhaseCell*& child : cell->m_children) {
        child = nullptr;
    }
    return cell;
}

void dgBroadPhase::DeleteCell(dgBroadPhaseCell* cell) {
    cell->~dgBroadPhaseCell();
    dgFree(cell);
}

// Only a broad phase torn down with bodies still in it has cells here; the bodies are not touched.
void dgBroadPhase::DeleteSubtree(dgBroadPhaseCell* cell) {
    if (cell == nullptr) {
        return;
    }
    for (dgBroadPhaseCell* child : cell->m_children) {
        DeleteSubtree(child);
    }
    DeleteCell(cell);
}

void dgBroadPhase::ReleaseEmptyCells(dgBroadPhaseCell* cell) {
    while (cell != nullptr && cell->m_bodyCount == 0 && cell->m_childCount == 0) {
        dgBroadPhaseCell* parent = cell->m_parent;
        if (cell == m_root) {
            m_root = nullptr;
        }
        if (parent != nullptr) {
            for (dgBroadPhaseCell*& child : parent->m_children) {
                if (child == cell) {
                    child = nullptr;
                }
            }
            parent->m_childCount--;
        }
        m_freeCells.Append(cell);
        cell = parent;
    }
}

void dgBroadPhase::InsertIntoCell(dgBody* body, dgBroadPhaseCell* cell) {
    cell->m_bodyCount++;
    CountUpdate(cell);
    for (dgInt32 axis = 0; axis < 3; axis++) {
        InsertIntoList(cell->m_lists[axis], body, axis);
    }
    body->m_cell = cell;
}

void dgBroadPhase::Add(dgBody* body) {
    dgAssert(body->m_cell == nullptr);
    if (body->m_cell != nullptr) {
        return;
    }
    if (m_root == nullptr) {
        m_root = NewCell(0, nullptr);
        m_root->m_x = m_minBox.x;
        m_root->m_y = m_minBox.y;
        m_root->m_z = m_minBox.z;
        m_root->m_side = m_rootSide;
    }
    InsertIntoCell(body, m_root);
}

void dgBroadPhase::Remove(dgBody* body) {
    dgBroadPhaseCell* cell = body->m_cell;
    if (cell == nullptr) {
        return;
    }
    if (body->m_movedNode != nullptr) {
        m_movedBodies.Remove(body->m_movedNode);
        body->m_movedNode = nullptr;
    }
    cell->m_bodyCount--;
    CountUpdate(cell);
    for (dgInt32 axis = 0; axis < 3; axis++) {
        RemoveFromList(cell->m_lists[axis], body, axis);
    }
    body->m_cell = nullptr;
    ReleaseEmptyCells(cell);
    body->m_pairStamp = 0;
}

dgBroadPhaseCell* dgBroadPhase::FindCell(const dgBody* body) {
    dgBroadPhaseCell* cell = m_root;
    dgFloat32 h = m_rootSide * 0.5f;
    dgInt32 code = ChildQuadrant(body->m_minBox, body->m_maxBox, cell->m_x, cell->m_z, h);
    for (dgInt32 steps = 1; code < kNoChild && steps <= kMaxDepth; steps++) {
        dgBroadPhaseCell* child = cell->m_children[code];
        if (child == nullptr) {
            child = NewCell(steps, cell);
            cell->m_childCount++;
            child->m_x = (code & 1) != 0 ? cell->m_x + h : cell->m_x;
            child->m_y = cell->m_y;
            child->m_z = (code & 2) != 0 ? cell->m_z + h : cell->m_z;
            child->m_side = h;
            cell->m_children[code] = child;
        }
        cell = child;
        h *= 0.5f;
        code = ChildQuadrant(body->m_minBox, body->m_maxBox, cell->m_x, cell->m_z, h);
    }
    return cell;
}

void dgBroadPhase::UpdateBody(dgBody* body) {
    dgBroadPhaseCell* current = body->m_cell;
    dgAssert(current != nullptr && m_root != nullptr);
    if (current == nullptr) {
        return;
    }
    dgBroadPhaseCell* cell = FindCell(body);
    if (cell == current) {
        CountUpdate(cell);
        for (dgInt32 axis = 0; axis < 3; axis++) {
            UpdateKey(cell->m_lists[axis], body, axis);
        }
    } else {
        // The borrowed child keeps the removal's clean-up from releasing the new cell or its ancestors.
        cell->m_childCount++;
        Remove(body);
        cell->m_childCount--;
        InsertIntoCell(body, cell);
    }

    if (m_movedBodies.GetCount() < 2 * m_movedThreshold && body->m_movedNode == nullptr) {
        body->m_movedNode = m_movedBodies.Append(body);
    }

    if (!BoxesOverlap(body->m_minBox, body->m_maxBox, m_minBox, m_maxBox)) {
        LeaveWorld(body);
    }
}

// The body is inactive before the callback runs; one that the callback brings back inside gets its state
// back.
void dgBroadPhase::LeaveWorld(dgBody* body) {
    constexpr dgUnsigned32 kActivity = dgBody::kActive | dgBody::kAutoFreeze;
    const dgUnsigned32 kept = body->m_flags & kActivity;
    if (body->m_activeNode != nullptr && m_world != nullptr) {
        m_world->m_activeBodies.RemoveNode(body->m_activeNode);
        body->m_activeNode = nullptr;
    }
    if (body->m_autoActive != nullptr && (kept & dgBody::kActive) != 0) {
        body->m_autoActive(body, 0);
    }
    body->m_flags &= ~kActivity;

    if (m_world == nullptr || m_world->m_leaveWorldCallback == nullptr) {
        return;
    }
    {
        // Host code: a failure inside it must not unwind through it into a creator.
        const dgFatalAllocations fatal;
        m_world->m_leaveWorldCallback(body);
    }
    if (BoxesOverlap(body->m_minBox, body->m_maxBox, m_minBox, m_maxBox)) {
        body->m_flags |= kept;
        if (body->m_activeNode == nullptr) {
            body->m_activeNode = m_world->m_activeBodies.Insert(body, body->GetSerialKey());
        }
    }
}
