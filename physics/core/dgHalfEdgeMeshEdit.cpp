#include "physics/core/dgHalfEdgeMesh.h"

#include "physics/core/dgArrayHelpers.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgScratchArray.h"

#include <cstring>

namespace {

// The origins and user values of one ring, read by following next (or prev, reversed).
struct RingCopy {
    dgInt32 m_count = 0;
    dgInt32 m_indices[dgHalfEdgeMesh::kMaxFaceVertices];
    dgUnsigned64 m_userValues[dgHalfEdgeMesh::kMaxFaceVertices];

    // False when the ring is longer than a face may be.
    bool Read(const dgHalfEdge* start, bool reversed) {
        m_count = 0;
        const dgHalfEdge* ptr = start;
        do {
            if (m_count == dgHalfEdgeMesh::kMaxFaceVertices) {
                return false;
            }
            m_indices[m_count] = ptr->m_origin;
            m_userValues[m_count] = ptr->m_userValue;
            m_count++;
            ptr = reversed ? ptr->m_prev : ptr->m_next;
        } while (ptr != start);
        return true;
    }
};

} // namespace

dgHalfEdgeMesh::dgHalfEdgeMesh(const dgHalfEdgeMesh& source)
    : dgTreeBase(EdgeNodePool()), m_baseMark(0), m_markCounter(0), m_faceCounter(0) {
    RingCopy ring;
    for (dgHalfEdgeNode* node = source.GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_face >= 0 && Find(node->GetKey()) == nullptr && ring.Read(node, false)) {
            AddFaceWithUserData(ring.m_count, ring.m_indices, ring.m_userValues);
        }
    }
    EndFace();
}

void dgHalfEdgeMesh::FlipOrientation() {
    dgHalfEdgeMesh copy(*this);
    Clear();
    RingCopy ring;
    const dgUnsigned32 mark = copy.IncrementMarkCounter();
    for (dgHalfEdgeNode* node = copy.GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_face < 0 || node->m_mark == mark) {
            continue;
        }
        dgHalfEdge* ptr = node;
        do {
            ptr->m_mark = mark;
            ptr = ptr->m_next;
        } while (ptr != node);
        if (ring.Read(node, true)) {
            AddFaceWithUserData(ring.m_count, ring.m_indices, ring.m_userValues);
        }
    }
    EndFace();
}

bool dgHalfEdgeMesh::FlipEdge(dgHalfEdge* edge) {
    dgHalfEdge* const twin = edge->m_twin;
    // A border ring of three edges is a hole, not a triangle: turning it would hand face edges to it.
    if (edge->m_face <= 0 || twin->m_face <= 0 || edge->m_next->m_next->m_next != edge ||
        twin->m_next->m_next->m_next != twin) {
        return false;
    }
    // e runs A -> B in the triangle (A, B, E); its twin B -> A in (B, A, D). The new diagonal is D - E.
    dgHalfEdge* const ePrev = edge->m_prev; // E -> A
    dgHalfEdge* const eNext = edge->m_next; // B -> E
    dgHalfEdge* const tPrev = twin->m_prev; // D -> B
    dgHalfEdge* const tNext = twin->m_next; // A -> D
    const dgInt32 e = ePrev->m_origin;
    const dgInt32 d = tPrev->m_origin;
    if (e == d || FindEdge(e, d) != nullptr || FindEdge(d, e) != nullptr) {
        return false;
    }
    ReplaceWithoutCheck(dgHalfEdgeNode::Of(edge), dgMakeEdgeKey(d, e));
    ReplaceWithoutCheck(dgHalfEdgeNode::Of(twin), dgMakeEdgeKey(e, d));
    edge->m_origin = d;
    twin->m_origin = e;
    edge->m_userValue = tPrev->m_userValue;
    twin->m_userValue = ePrev->m_userValue;

    // (D, E, A) keeps edge's face, (E, D, B) twin's.
    edge->m_next = ePrev;
    edge->m_prev = tNext;
    ePrev->m_prev = edge;
    ePrev->m_next = tNext;
    tNext->m_prev = ePrev;
    tNext->m_next = edge;
    tNext->m_face = edge->m_face;

    twin->m_next = tPrev;
    twin->m_prev = eNext;
    tPrev->m_prev = twin;
    tPrev->m_next = eNext;
    eNext->m_prev = tPrev;
    eNext->m_next = twin;
    eNext->m_face = twin->m_face;
    return true;
}

dgHalfEdge* dgHalfEdgeMesh::SplitEdge(dgInt32 vertex, dgHalfEdge* edge) {
    dgHalfEdge* const twin = edge->m_twin;
    const dgInt32 a = edge->m_origin;
    const dgInt32 b = twin->m_origin;
    if (vertex < 0 || FindEdge(a, vertex) != nullptr || FindEdge(vertex, b) != nullptr ||
        FindEdge(vertex, a) != nullptr || FindEdge(b, vertex) != nullptr) {
        return nullptr;
    }
    dgHalfEdge* const ePrev = edge->m_prev;
    dgHalfEdge* const eNext = edge->m_next;
    dgHalfEdge* const tPrev = twin->m_prev;
    dgHalfEdge* const tNext = twin->m_next;
    const dgInt32 eFace = edge->m_face;
    const dgInt32 tFace = twin->m_face;
    const dgUnsigned64 eUser = edge->m_userValue;
    const dgUnsigned64 tUser = twin->m_userValue;
    DeleteEdge(edge);

    dgHalfEdge* const av = AddHalfEdge(a, vertex);
    dgHalfEdge* const vb = AddHalfEdge(vertex, b);
    dgHalfEdge* const va = AddHalfEdge(vertex, a);
    dgHalfEdge* const bv = AddHalfEdge(b, vertex);
    av->m_twin = va;
    va->m_twin = av;
    vb->m_twin = bv;
    bv->m_twin = vb;
    av->m_face = eFace;
    vb->m_face = eFace;
    bv->m_face = tFace;
    va->m_face = tFace;
    av->m_userValue = eUser;
    bv->m_userValue = tUser;

    // Each side's ring gets two edges for one; where a side ran straight into the other (a dangling
    // edge), the new edges meet each other instead.
    dgHalfEdge* const beforeAv = ePrev == twin ? va : ePrev;
    dgHalfEdge* const afterVb = eNext == twin ? bv : eNext;
    dgHalfEdge* const beforeBv = tPrev == edge ? vb : tPrev;
    dgHalfEdge* const afterVa = tNext == edge ? av : tNext;
    av->m_next = vb;
    vb->m_prev = av;
    bv->m_next = va;
    va->m_prev = bv;
    beforeAv->m_next = av;
    av->m_prev = beforeAv;
    vb->m_next = afterVb;
    afterVb->m_prev = vb;
    beforeBv->m_next = bv;
    bv->m_prev = beforeBv;
    va->m_next = afterVa;
    afterVa->m_prev = va;
    return bv;
}

dgHalfEdge* dgHalfEdgeMesh::SplitEdgeCutCorners(dgInt32 vertex, dgHalfEdge* edge) {
    dgHalfEdge* const result = SplitEdge(vertex, edge);
    if (result == nullptr) {
        return nullptr;
    }
    // The two half-edges arriving at the new vertex, each in one of the two split faces.
    dgHalfEdge* const arriving[2] = {result, result->m_next->m_twin};
    for (dgHalfEdge* h : arriving) {
        if (h->m_face <= 0 || h->m_next->m_next->m_next == h) {
            continue;
        }
        dgHalfEdge* const corner = h->m_prev; // P -> X
        const dgInt32 p = corner->m_origin;
        if (p == vertex || FindEdge(vertex, p) != nullptr || FindEdge(p, vertex) != nullptr) {
            continue;
        }
        dgHalfEdge* const vp = AddHalfEdge(vertex, p);
        dgHalfEdge* const pv = AddHalfEdge(p, vertex);
        vp->m_twin = pv;
        pv->m_twin = vp;
        vp->m_userValue = h->m_next->m_userValue;
        pv->m_userValue = corner->m_userValue;

        // The rest of the ring runs ... -> P -> V -> ...; the triangle is (P -> X, X -> V, V -> P).
        dgHalfEdge* const beforeCorner = corner->m_prev;
        dgHalfEdge* const afterH = h->m_next;
        pv->m_face = h->m_face;
        pv->m_prev = beforeCorner;
        beforeCorner->m_next = pv;
        pv->m_next = afterH;
        afterH->m_prev = pv;

        m_faceCounter++;
        h->m_face = m_faceCounter;
        corner->m_face = m_faceCounter;
        vp->m_face = m_faceCounter;
        h->m_next = vp;
        vp->m_prev = h;
        vp->m_next = corner;
        corner->m_prev = vp;
    }
    return result;
}

dgInt32 dgHalfEdgeMesh::RenameVertex(dgHalfEdge* edge, dgInt32 newIndex) {
    const dgInt32 oldIndex = edge->m_origin;
    if (newIndex < 0) {
        return -1;
    }
    if (newIndex == oldIndex) {
        return newIndex;
    }
    // Every key is checked before any is changed, so a refused rename leaves the mesh as it was.
    dgInt32 fanCount = 0;
    dgHalfEdge* ptr = edge;
    do {
        if (ptr->m_twin == nullptr || ptr->m_twin->m_next == nullptr || ++fanCount > GetCount()) {
            return -1;
        }
        const dgInt32 neighbour = ptr->m_twin->m_origin;
        if (neighbour == newIndex || FindEdge(newIndex, neighbour) != nullptr ||
            FindEdge(neighbour, newIndex) != nullptr) {
            return -1;
        }
        ptr = ptr->m_twin->m_next;
    } while (ptr != edge);

    dgScratchArray<dgHalfEdge*> fan(fanCount);
    ptr = edge;
    for (dgInt32 i = 0; i < fanCount; i++) {
        fan[i] = ptr;
        ptr = ptr->m_twin->m_next;
    }
    for (dgInt32 i = 0; i < fanCount; i++) {
        dgHalfEdge* const h = fan[i];
        const dgInt32 neighbour = h->m_twin->m_origin;
        ReplaceWithoutCheck(dgHalfEdgeNode::Of(h), dgMakeEdgeKey(newIndex, neighbour));
        ReplaceWithoutCheck(dgHalfEdgeNode::Of(h->m_twin), dgMakeEdgeKey(neighbour, newIndex));
        h->m_origin = newIndex;
    }
    return newIndex;
}

dgInt32 dgHalfEdgeMesh::CompactVertices(dgFloat32* outVertices, dgVertexView vertices) {
    const dgUnsigned32 mark = IncrementMarkCounter();
    const dgInt32 count = GetCount();
    dgScratchArray<dgHalfEdgeNode*> nodes(count);
    dgInt32 held = 0;
    dgInt32 limit = 0;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        node->AddRef();
        nodes[held++] = node;
        const dgInt32 destination = dgEdgeKeyDestination(node->GetKey(), node->m_origin);
        limit = dgMaxInt32(limit, dgMaxInt32(node->m_origin, destination) + 1);
    }

    // One new index per old index, even where a vertex joins separate fans: the result never has
    // more vertices than indices in use, which is what the caller sizes outVertices by.
    dgScratchArray<dgInt32> newIndex(limit);
    for (dgInt32 i = 0; i < limit; i++) {
        newIndex[i] = -1;
    }
    dgInt32 vertexCount = 0;
    const auto number = [&](dgInt32 old) {
        if (newIndex[old] < 0) {
            const std::size_t stride = static_cast<std::size_t>(vertices.GetStrideInFloats());
            dgCopyBytes(outVertices + vertexCount * stride, vertices[old], sizeof(dgFloat32) * stride);
            newIndex[old] = vertexCount++;
        }
    };
    for (dgInt32 i = 0; i < held; i++) {
        number(nodes[i]->m_origin);
    }
    for (dgInt32 i = 0; i < held; i++) {
        number(dgEdgeKeyDestination(nodes[i]->GetKey(), nodes[i]->m_origin)); // only lone half-edges add any
    }

    // Held nodes survive the emptied tree and go back under their new keys, which stay unique
    // because the renumbering is one to one.
    RemoveAll();
    for (dgInt32 i = 0; i < held; i++) {
        dgHalfEdgeNode* const node = nodes[i];
        const dgInt32 destination = newIndex[dgEdgeKeyDestination(node->GetKey(), node->m_origin)];
        node->m_origin = newIndex[node->m_origin];
        node->m_mark = mark;
        dgHalfEdgeNode* const inserted = InsertEdgeNode(node, dgMakeEdgeKey(node->m_origin, destination));
        dgAssert(inserted == node);
        dgRefRelease(node);
    }
    return vertexCount;
}
