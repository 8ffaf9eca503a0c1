#include "physics/core/dgHalfEdgeMesh.h"

#include "physics/core/dgGrowableArray.h"
#include "physics/core/dgHeap.h"

#include <cmath>

namespace {

constexpr dgFloat32 kMinNormal2 = 1.0e-12f;
constexpr dgFloat32 kPatchCosine = 0.9999f;

// Keyed by how far below the limit the triangle is, so the smallest triangles come out first.
using dgSliverQueue = dgMaxHeap<dgFloat32, dgEdgeKey>;

bool IsTriangle(const dgHalfEdge* edge) {
    return edge->m_next->m_next->m_next == edge;
}

// Twice the triangle's area, squared: |(p1 - p0) x (p2 - p0)|², the differences taken in doubles.
dgFloat32 DoubledArea2(const dgHalfEdge* edge, dgVertexView vertices) {
    const dgVectorDouble p0 = vertices.PointDouble(edge->m_origin);
    const dgVectorDouble d1 = vertices.PointDouble(edge->m_next->m_origin).Sub(p0);
    const dgVectorDouble d2 = vertices.PointDouble(edge->m_prev->m_origin).Sub(p0);
    const dgVector u(static_cast<dgFloat32>(d1.x), static_cast<dgFloat32>(d1.y), static_cast<dgFloat32>(d1.z),
                     0.0f);
    const dgVector w(static_cast<dgFloat32>(d2.x), static_cast<dgFloat32>(d2.y), static_cast<dgFloat32>(d2.z),
                     0.0f);
    const dgVector n = u.CrossProduct(w);
    return n.DotProduct(n);
}

dgFloat64 EdgeLength2(const dgHalfEdge* edge, dgVertexView vertices) {
    const dgVectorDouble d =
        vertices.PointDouble(edge->m_next->m_origin).Sub(vertices.PointDouble(edge->m_origin));
    return d.DotProduct(d);
}

void StampRing(dgHalfEdge* edge, dgUnsigned32 mark) {
    dgHalfEdge* ptr = edge;
    do {
        ptr->m_mark = mark;
        ptr = ptr->m_next;
    } while (ptr != edge);
}

// The ring's origins, for adding the ring to another mesh.
void CopyRingOrigins(const dgHalfEdge* edge, dgGrowableArray<dgInt32>& indices) {
    indices.Reset();
    const dgHalfEdge* ptr = edge;
    do {
        indices.Push(ptr->m_origin);
        ptr = ptr->m_next;
    } while (ptr != edge);
}

dgVector UnitNormal(const dgHalfEdge* edge, dgVertexView vertices) {
    const dgVectorDouble normal = dgHalfEdgeMesh::CalcFaceNormalDouble(edge, vertices);
    const dgVector n(static_cast<dgFloat32>(normal.x), static_cast<dgFloat32>(normal.y),
                     static_cast<dgFloat32>(normal.z), 0.0f);
    dgFloat32 n2 = n.DotProduct(n);
    if (n2 < kMinNormal2) {
        n2 = kMinNormal2;
    }
    return n.Scale(1.0f / std::sqrt(n2));
}

// Pushes the twins of f's ring that lie in faces not yet stamped with mark.
void PushNeighbours(dgHalfEdge* face, dgUnsigned32 mark, dgGrowableArray<dgHalfEdge*>& stack) {
    dgHalfEdge* ptr = face;
    do {
        if (ptr->m_twin->m_face > 0 && ptr->m_twin->m_mark != mark) {
            stack.Push(ptr->m_twin);
        }
        ptr = ptr->m_next;
    } while (ptr != face);
}

} // namespace

void dgHalfEdgeMesh::RemoveSliverTriangles(dgVertexView vertices, dgFloat32 tolerance) {
    const dgFloat64 tolerance64 = tolerance;
    const dgFloat32 limit = static_cast<dgFloat32>(tolerance64 * tolerance64);
    dgSliverQueue queue(GetCount() / 6 + 16);
    do {
        queue.Reset();
        const dgUnsigned32 mark = IncrementMarkCounter();
        for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
            if (node->m_mark == mark || node->m_face <= 0) {
                continue;
            }
            StampRing(node, mark);
            // Only triangles are queued: a bigger face would be queued again every round.
            if (!IsTriangle(node)) {
                continue;
            }
            const dgFloat32 area2 = DoubledArea2(node, vertices);
            if (area2 < limit) {
                queue.Push(node->GetKey(), limit - area2);
            }
        }
        const dgInt32 queued = queue.GetCount();

        while (queue.GetCount() > 0) {
            const dgEdgeKey key = queue.GetValue(0);
            queue.Pop();
            // An earlier collapse may have removed the edge or given its key to another half-edge:
            // act only on a triangle that is still a sliver.
            dgHalfEdge* const edge = Find(key);
            if (edge == nullptr || edge->m_face <= 0 || !IsTriangle(edge) ||
                !(DoubledArea2(edge, vertices) < limit)) {
                continue;
            }
            const dgFloat64 l0 = EdgeLength2(edge, vertices);
            const dgFloat64 l1 = EdgeLength2(edge->m_next, vertices);
            const dgFloat64 l2 = EdgeLength2(edge->m_prev, vertices);
            dgHalfEdge* shortest = edge;
            if (l1 < l0 && l1 < l2) {
                shortest = edge->m_next;
            } else if (l2 < l0 && l2 < l1) {
                shortest = edge->m_prev;
            }
            dgHalfEdge* const tries[6] = {shortest,         shortest->m_twin,         shortest->m_next,
                                          shortest->m_next->m_twin, shortest->m_prev, shortest->m_prev->m_twin};
            bool collapsed = false;
            for (dgInt32 i = 0; i < 6 && !collapsed; i++) {
                collapsed = CollapseEdge(tries[i]) != nullptr;
            }
            if (!collapsed) {
                DeleteFace(shortest);
            }
        }
        // Every queued round removes at least its first sliver, so the rounds end.
        if (queued == 0) {
            break;
        }
    } while (true);
}

void dgHalfEdgeMesh::ExtractCoplanarPatch(dgHalfEdge* seed, dgHalfEdgeMesh& outMesh, dgVertexView vertices) {
    if (seed->m_face <= 0) {
        return;
    }
    const dgUnsigned32 mark = IncrementMarkCounter(2);
    dgGrowableArray<dgInt32> indices;
    outMesh.BeginFace();

    dgVector nSeed = CalcFaceNormal(seed, vertices);
    const dgFloat32 seed2 = nSeed.DotProduct(nSeed);
    if (seed2 < kMinNormal2) {
        CopyRingOrigins(seed, indices);
        StampRing(seed, mark);
        outMesh.AddFace(indices.GetCount(), indices.GetData());
        outMesh.EndFace();
        return;
    }
    nSeed = nSeed.Scale(1.0f / std::sqrt(seed2));

    dgGrowableArray<dgHalfEdge*> stack;
    stack.Push(seed);
    while (!stack.IsEmpty()) {
        dgHalfEdge* const face = stack.Pop();
        if (face->m_mark == mark || UnitNormal(face, vertices).DotProduct(nSeed) < kPatchCosine) {
            continue;
        }
        CopyRingOrigins(face, indices);
        StampRing(face, mark);
        PushNeighbours(face, mark, stack);
        outMesh.AddFace(indices.GetCount(), indices.GetData());
    }
    outMesh.EndFace();
    outMesh.DissolveSharedEdges();
}

// Removes every edge pair between two faces; the joined rings each take one face number.
void dgHalfEdgeMesh::DissolveSharedEdges() {
    dgGrowableArray<dgHalfEdgeNode*> shared;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        // Each pair once: from the half-edge with the smaller key.
        if (node->m_face > 0 && node->m_twin->m_face > 0 &&
            node->GetKey() < dgHalfEdgeNode::Of(node->m_twin)->GetKey()) {
            node->AddRef();
            shared.Push(node);
        }
    }
    for (dgInt32 i = 0; i < shared.GetCount(); i++) {
        DeleteEdge(shared[i]);
        dgRefRelease(shared[i]);
    }
    // A ring joined from several faces carries several numbers; it keeps the first one met.
    const dgUnsigned32 mark = IncrementMarkCounter();
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_mark != mark && node->m_face > 0) {
            dgHalfEdge* ptr = node;
            do {
                ptr->m_mark = mark;
                ptr->m_face = node->m_face;
                ptr = ptr->m_next;
            } while (ptr != node);
        }
    }
}

void dgHalfEdgeMesh::CollectSmoothRegion(dgList<dgHalfEdge*>& list, dgHalfEdge* seed, dgVertexView vertices,
                                         dgFloat32 cosLimit) {
    if (GetCount() == 0) {
        return;
    }
    if (seed->m_face < 0) {
        seed = seed->m_twin;
        if (seed->m_face < 0) {
            return;
        }
    }
    const dgUnsigned32 mark = IncrementMarkCounter();
    dgVectorDouble nSeed(CalcFaceNormal(seed, vertices));
    const dgFloat64 seed2 = nSeed.DotProduct(nSeed);
    if (seed2 < static_cast<dgFloat64>(kMinNormal2)) {
        StampRing(seed, mark);
        list.Append(seed);
        return;
    }
    nSeed = nSeed.Scale(1.0 / std::sqrt(seed2));

    dgGrowableArray<dgHalfEdge*> stack(GetCount() / 2 + 1);
    stack.Push(seed);
    while (!stack.IsEmpty()) {
        dgHalfEdge* const face = stack.Pop();
        if (face->m_mark == mark) {
            continue;
        }
        dgVector n = CalcFaceNormal(face, vertices);
        const dgFloat32 n2 = n.DotProduct(n);
        if (n2 > kMinNormal2) {
            n = n.Scale(1.0f / std::sqrt(n2));
        }
        const dgFloat32 cosine = static_cast<dgFloat32>(dgVectorDouble(n).DotProduct(nSeed));
        // A face that fails stays unstamped: another neighbour may reach it again.
        if (cosLimit <= cosine) {
            StampRing(face, mark);
            PushNeighbours(face, mark, stack);
            list.Append(face);
        }
    }
}
