#include "physics/collision/dgBroadPhase.h"

#include "physics/collision/dgBroadPhaseCellStack.h"
#include "physics/collision/dgInlineArray.h"
#include "physics/collision/dgIntersections.h"
#include "physics/core/dgHeap.h"
#include "physics/dynamics/dgWorld.h"

#include <cmath>

namespace {

using AxisNode = dgListNode<dgBroadPhaseAxisNode>;

constexpr dgFloat32 kFirstBest = 1.1f;
constexpr dgFloat32 kMissed = 1.2f;
// Room for a long ray through deep cells without growing; the heap grows beyond it.
constexpr dgInt32 kRayHeapStart = 520;
// Cells reach this far up and down in y, so the box query finds bodies at any height.
constexpr dgFloat32 kCellHeight = 1.0e10f;

// One side of the square at coordinate `side` of axis `axis` (x or z), the outside where the coordinate
// times `outward` exceeds side times it. The start point, once moved onto the side, makes the crossing
// parameter of the unclipped segment the entry parameter when that is later.
bool ClipToSide(dgVector& a, dgVector& b, const dgVector& q0, const dgVector& q1, dgInt32 axis, dgFloat32 side,
                dgFloat32 outward, dgFloat32& entry) {
    const dgFloat32 limit = side * outward;
    const dgFloat32 aOut = a[axis] * outward;
    const dgFloat32 bOut = b[axis] * outward;
    // A segment lying on the side still touches the square: bodies may reach the side.
    if (aOut > limit && bOut > limit) {
        return false;
    }
    if (aOut > limit || bOut > limit) {
        const dgFloat32 t = (side - q0[axis]) / (q1[axis] - q0[axis]);
        const dgVector onSide = q0.Add(q1.Sub(q0).Scale(t));
        if (aOut > limit) {
            a = onSide;
            entry = dgMax(entry, t);
        } else {
            b = onSide;
        }
    }
    return true;
}

// Where the segment enters the cell's square in x and z (0 when it starts inside); kMissed when it does
// not enter it. y plays no part.
dgFloat32 EntryParameter(const dgBroadPhaseCell* cell, const dgVector& p0, const dgVector& p1) {
    const dgFloat32 h = cell->m_side * 0.5f;
    const dgVector centre(cell->m_x + h, 0.0f, cell->m_z + h, 0.0f);
    const dgVector q0 = p0.Sub(centre);
    const dgVector q1 = p1.Sub(centre);
    dgVector a = q0;
    dgVector b = q1;
    dgFloat32 entry = 0.0f;
    const bool enters = ClipToSide(a, b, q0, q1, 0, h, 1.0f, entry) && ClipToSide(a, b, q0, q1, 0, -h, -1.0f, entry) &&
                        ClipToSide(a, b, q0, q1, 2, h, 1.0f, entry) && ClipToSide(a, b, q0, q1, 2, -h, -1.0f, entry);
    return enters ? entry : kMissed;
}

// The axis along which the segment moves least; ties go to x, then y.
dgInt32 WalkAxis(const dgVector& p0, const dgVector& p1) {
    const dgVector d = p1.Sub(p0);
    const dgFloat32 extent[3] = {std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)};
    dgInt32 axis = 0;
    if (extent[1] < extent[axis]) {
        axis = 1;
    }
    if (extent[2] < extent[axis]) {
        axis = 2;
    }
    return axis;
}

// Bodies of one cell list copied before any callback runs: no more than this many without engine memory.
constexpr dgInt32 kInlineCellBodies = 64;

// Calls visit with each body of the list from first while the key does not pass end: a body starting
// exactly where the segment ends can still be touched by it. The bodies are copied first: a callback may
// move bodies, which relinks the list. (Destructions wait for the query's end.)
template <class Visit> void VisitCellBodies(AxisNode* first, dgFloat32 end, Visit visit) {
    dgInt32 count = 0;
    for (AxisNode* node = first; node != nullptr && node->GetInfo().m_key <= end; node = node->GetNext()) {
        count++;
    }
    dgInlineArray<dgBody*, kInlineCellBodies> bodies(count);
    AxisNode* node = first;
    for (dgInt32 i = 0; i < count; i++, node = node->GetNext()) {
        bodies[i] = node->GetInfo().m_body;
    }
    for (dgInt32 i = 0; i < count; i++) {
        visit(bodies[i]);
    }
}

} // namespace

void dgBroadPhase::RayCast(const dgVector& p0, const dgVector& p1, dgRayCastFilter filter, void* userData,
                           dgRayCastPrefilter preFilter) {
    if (filter == nullptr || m_root == nullptr) {
        return;
    }
    const dgInt32 axis = WalkAxis(p0, p1);
    const dgFloat32 end = dgMax(p0[axis], p1[axis]);

    // Every cell the segment enters, nearest entry on top.
    dgMinHeap<dgFloat32, dgBroadPhaseCell*> heap(kRayHeapStart);
    dgBroadPhaseCellStack stack;
    stack.Push(m_root);
    while (dgBroadPhaseCell* cell = stack.Pop()) {
        const dgFloat32 entry = EntryParameter(cell, p0, p1);
        if (entry < 1.0f) {
            heap.Push(cell, entry);
            stack.PushChildren(cell);
        }
    }

    const dgWorldQueryScope query(m_world);
    dgFloat32 best = kFirstBest;
    while (heap.GetCount() > 0 && heap.GetKey(0) < best) {
        dgBroadPhaseCell* cell = heap.GetValue(0);
        heap.Pop();
        VisitCellBodies(cell->m_lists[axis].GetFirst(), end, [&](dgBody* body) {
            best = body->RayCast(p0, p1, filter, preFilter, userData, best);
        });
    }
}

void dgBroadPhase::ForEachBodyInBox(const dgVector& min, const dgVector& max, dgBodyIterator callback) {
    if (callback == nullptr || m_root == nullptr) {
        return;
    }
    const dgWorldQueryScope query(m_world);
    dgBroadPhaseCellStack stack;
    stack.Push(m_root);
    while (dgBroadPhaseCell* cell = stack.Pop()) {
        const dgVector cellMin(cell->m_x, -kCellHeight, cell->m_z, 0.0f);
        const dgVector cellMax(cell->m_x + cell->m_side, kCellHeight, cell->m_z + cell->m_side, 0.0f);
        if (!BoxesOverlap(cellMin, cellMax, min, max)) {
            continue;
        }
        // The x list is sorted by box minimum: past the query's maximum nothing can overlap.
        stack.PushChildren(cell);
        VisitCellBodies(cell->m_lists[0].GetFirst(), max.x, [&](dgBody* body) {
            if (BoxesOverlap(body->m_minBox, body->m_maxBox, min, max)) {
                callback(body);
            }
        });
    }
}
