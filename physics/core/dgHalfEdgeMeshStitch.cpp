#include "physics/core/dgHalfEdgeMesh.h"

#include "physics/core/dgGrowableArray.h"
#include "physics/core/dgHeap.h"

#include <cmath>

namespace {

// Sweep keys are kSweepBase - coordinate in a max-heap, so the lowest coordinate is on top.
constexpr dgFloat64 kSweepBase = 1.25e7;
constexpr dgFloat32 kMinTolerance = 0.0001f;
// Border edges whose extents along the sweep axis are further apart than this are never compared.
constexpr dgFloat64 kSweepWindow = 0.5;
constexpr dgInt32 kQueueSlack = 1024;

using dgSweepQueue = dgMaxHeap<dgFloat64, dgHalfEdgeNode*>;

// The extent of a half-edge along the sweep axis.
struct dgSweepExtent {
    dgFloat64 m_min;
    dgFloat64 m_max;
};

dgSweepExtent Extent(const dgHalfEdge* edge, dgVertexView vertices, dgInt32 axis) {
    const dgFloat64 a = vertices[edge->m_origin][axis];
    const dgFloat64 b = vertices[edge->m_twin->m_origin][axis];
    return a < b ? dgSweepExtent{a, b} : dgSweepExtent{b, a};
}

dgFloat64 Distance2(dgVertexView vertices, dgInt32 a, dgInt32 b) {
    const dgVectorDouble d = vertices.PointDouble(a).Sub(vertices.PointDouble(b));
    return d.DotProduct(d);
}

// True when a half-edge leaving the origin of leaving ends at vertex.
bool IsNeighbour(const dgHalfEdge* leaving, dgInt32 vertex, dgInt32 stepLimit) {
    const dgHalfEdge* ptr = leaving;
    dgInt32 steps = 0;
    do {
        if (ptr->m_twin->m_origin == vertex) {
            return true;
        }
        ptr = ptr->m_twin->m_next;
    } while (ptr != leaving && ++steps < stepLimit);
    return false;
}

void RenameFan(dgHalfEdge* leaving, dgInt32 vertex, dgInt32 stepLimit) {
    dgHalfEdge* ptr = leaving;
    dgInt32 steps = 0;
    do {
        ptr->m_origin = vertex;
        ptr = ptr->m_twin->m_next;
    } while (ptr != leaving && ++steps < stepLimit);
}

// The axis along which the border vertices spread most: n Σc² - (Σc)² per axis.
dgInt32 SweepAxis(dgHalfEdgeMesh& mesh, dgVertexView vertices) {
    const dgUnsigned32 mark = mesh.IncrementMarkCounter();
    const dgInt32 stepLimit = mesh.GetCount();
    dgFloat64 sum[3] = {0.0, 0.0, 0.0};
    dgFloat64 sum2[3] = {0.0, 0.0, 0.0};
    dgFloat64 count = 0.0;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_mark == mark || node->m_face >= 1) {
            continue;
        }
        dgHalfEdge* ptr = node;
        dgInt32 steps = 0;
        do {
            ptr->m_mark = mark;
            ptr = ptr->m_twin->m_next;
        } while (ptr != node && ++steps < stepLimit);
        const dgFloat32* p = vertices[node->m_origin];
        for (dgInt32 i = 0; i < 3; i++) {
            sum[i] += p[i];
            sum2[i] += static_cast<dgFloat64>(p[i]) * p[i];
        }
        count += 1.0;
    }
    dgFloat64 spread[3];
    for (dgInt32 i = 0; i < 3; i++) {
        spread[i] = count * sum2[i] - sum[i] * sum[i];
    }
    if (spread[1] > spread[0] && spread[1] > spread[2]) {
        return 1;
    }
    if (spread[2] > spread[0] && spread[2] > spread[1]) {
        return 2;
    }
    return 0;
}

void ReleaseQueued(dgSweepQueue& queue) {
    while (queue.GetCount() > 0) {
        dgHalfEdgeNode* const node = queue.GetValue(0);
        queue.Pop();
        dgRefRelease(node);
    }
}

} // namespace

void dgHalfEdgeMesh::StitchBorders(dgVertexView vertices, dgFloat32 tolerance) {
    if (GetCount() == 0) {
        return;
    }
    const dgInt32 axis = SweepAxis(*this, vertices);
    dgFloat32 t = std::fabs(tolerance);
    if (!(t >= kMinTolerance)) {
        t = kMinTolerance; // also a NaN tolerance
    }
    const dgFloat64 weldLimit2 = t * t;

    // Every border half-edge once, by turning around the origins of border rings.
    dgSweepQueue starts(kQueueSlack);
    dgSweepQueue active(kQueueSlack);
    const dgUnsigned32 mark = IncrementMarkCounter();
    const dgInt32 stepLimit = GetCount();
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_mark == mark || node->m_face >= 1) {
            continue;
        }
        dgHalfEdge* ptr = node;
        dgInt32 steps = 0;
        do {
            if (ptr->m_mark != mark && ptr->m_face < 0) {
                dgHalfEdgeNode* const border = dgHalfEdgeNode::Of(ptr);
                border->AddRef();
                starts.Push(border, kSweepBase - Extent(border, vertices, axis).m_min);
            }
            ptr->m_mark = mark;
            ptr = ptr->m_twin->m_next;
        } while (ptr != node && ++steps < stepLimit);
    }

    // Sweep: each border edge is compared with the edges still open when it starts.
    while (starts.GetCount() > 0) {
        dgHalfEdgeNode* const e1 = starts.GetValue(0);
        if (e1->IsInTree()) {
            const dgFloat64 start = Extent(e1, vertices, axis).m_min;
            while (active.GetCount() > 0) {
                dgHalfEdgeNode* const top = active.GetValue(0);
                if (top->IsInTree() && kSweepBase - active.GetKey(0) >= start - kSweepWindow) {
                    break;
                }
                active.Pop();
                dgRefRelease(top);
            }
            bool welded = false;
            for (dgInt32 i = 0; i < active.GetCount() && !welded; i++) {
                dgHalfEdgeNode* const e2 = active.GetValue(i);
                if (e2->IsInTree() && CanWeld(e1, e2, vertices, weldLimit2)) {
                    Weld(e1, e2);
                    welded = true;
                }
            }
            if (!welded) {
                e1->AddRef();
                active.Push(e1, kSweepBase - Extent(e1, vertices, axis).m_max);
            }
        }
        starts.Pop();
        dgRefRelease(e1);
    }
    ReleaseQueued(active);

    if (RepairKeys()) {
        // Rings joined by removing a duplicate carry several numbers: each keeps the first one met.
        const dgUnsigned32 ringMark = IncrementMarkCounter();
        for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
            if (node->m_mark != ringMark) {
                dgHalfEdge* ptr = node;
                do {
                    ptr->m_mark = ringMark;
                    ptr->m_face = node->m_face;
                    ptr = ptr->m_next;
                } while (ptr != node);
            }
        }
    }
    RemoveBareEdges();
}

// e1 runs from A to B, e2 from C to D. They weld when D lies on A and C on B, and merging those
// vertices would not put both ends of any edge on one vertex.
bool dgHalfEdgeMesh::CanWeld(const dgHalfEdge* e1, const dgHalfEdge* e2, dgVertexView vertices,
                             dgFloat64 weldLimit2) const {
    if (e1 == e2 || e1->m_twin == e2) {
        return false;
    }
    const dgInt32 a = e1->m_origin;
    const dgInt32 b = e1->m_twin->m_origin;
    const dgInt32 c = e2->m_origin;
    const dgInt32 d = e2->m_twin->m_origin;
    if (Distance2(vertices, a, d) > weldLimit2 || Distance2(vertices, b, c) > weldLimit2) {
        return false;
    }
    const dgInt32 stepLimit = GetCount();
    return (d == a || !IsNeighbour(e2->m_next, a, stepLimit)) && (c == b || !IsNeighbour(e2, b, stepLimit));
}

// D becomes A and C becomes B; the border rings are joined past e1 and e2, which leave the tree, and
// the faces behind them become twins. Keys are repaired afterwards.
void dgHalfEdgeMesh::Weld(dgHalfEdge* e1, dgHalfEdge* e2) {
    const dgInt32 stepLimit = GetCount();
    RenameFan(e2->m_next, e1->m_origin, stepLimit);
    RenameFan(e2, e1->m_twin->m_origin, stepLimit);

    e1->m_prev->m_next = e2->m_next;
    e2->m_next->m_prev = e1->m_prev;
    e1->m_next->m_prev = e2->m_prev;
    e2->m_prev->m_next = e1->m_next;
    e1->m_twin->m_twin = e2->m_twin;
    e2->m_twin->m_twin = e1->m_twin;
    e1->m_twin = nullptr;
    e2->m_twin = nullptr;
    RemoveNode(dgHalfEdgeNode::Of(e1));
    RemoveNode(dgHalfEdgeNode::Of(e2));
}

// Gives every half-edge whose vertices were merged the key of its new vertices. A half-edge that
// already holds that key duplicates it: it is removed with its twin. True when any was removed.
// Every stale node leaves the tree before any goes back: a key can still be held by a stale node
// that is waiting for its own new key (a half-edge and its twin may even have swapped keys), and
// such a holder is no duplicate.
bool dgHalfEdgeMesh::RepairKeys() {
    dgGrowableArray<dgHalfEdgeNode*> stale;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->GetKey() != dgMakeEdgeKey(node->m_origin, node->m_twin->m_origin)) {
            node->AddRef();
            stale.Push(node);
        }
    }
    for (dgInt32 i = 0; i < stale.GetCount(); i++) {
        RemoveNode(stale[i]);
    }
    bool changed = false;
    for (dgInt32 i = 0; i < stale.GetCount(); i++) {
        dgHalfEdgeNode* const node = stale[i];
        // A node without a twin went out with the duplicate it was paired with.
        if (node->m_twin != nullptr) {
            const dgEdgeKey key = dgMakeEdgeKey(node->m_origin, node->m_twin->m_origin);
            if (dgHalfEdgeNode* const other = Find(key)) {
                dgHalfEdgeNode* const otherTwin = dgHalfEdgeNode::Of(other->m_twin);
                SplicePairOut(other);
                RemoveNode(other);
                if (otherTwin->IsInTree()) {
                    RemoveNode(otherTwin);
                }
                changed = true;
            }
            InsertEdgeNode(node, key);
        }
    }
    for (dgInt32 i = 0; i < stale.GetCount(); i++) {
        dgRefRelease(stale[i]);
    }
    return changed;
}

// Deletes every edge pair with no face on either side.
void dgHalfEdgeMesh::RemoveBareEdges() {
    dgGrowableArray<dgHalfEdgeNode*> bare;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_face < 0 && node->m_twin->m_face < 0 &&
            node->GetKey() < dgHalfEdgeNode::Of(node->m_twin)->GetKey()) {
            node->AddRef();
            bare.Push(node);
        }
    }
    for (dgInt32 i = 0; i < bare.GetCount(); i++) {
        if (bare[i]->IsInTree()) {
            DeleteEdge(bare[i]);
        }
        dgRefRelease(bare[i]);
    }
}
