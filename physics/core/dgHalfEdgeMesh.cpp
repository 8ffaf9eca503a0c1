#include "physics/core/dgHalfEdgeMesh.h"

#include "physics/core/dgMemory.h"
#include "physics/core/dgNodePool.h"
#include "physics/core/dgScratchArray.h"

namespace {
// Pages of 16 KB: meshes are built and torn down in bulk, so the edge pool takes bigger pages.
constexpr dgInt32 kEdgeNodePageKb = 16;
} // namespace

dgMemoryAllocator* dgHalfEdgeMesh::EdgeNodePool() {
    static dgNodePool* const pool = dgNodePool::Create(sizeof(dgHalfEdgeNode), kEdgeNodePageKb);
    return pool;
}

dgHalfEdgeMesh::dgHalfEdgeMesh()
    : dgTreeBase(EdgeNodePool()), m_baseMark(0), m_markCounter(0), m_faceCounter(0) {}

dgHalfEdgeMesh::~dgHalfEdgeMesh() {
    RemoveAll();
}

void* dgHalfEdgeMesh::operator new(std::size_t size) {
    return dgMalloc(size);
}

void dgHalfEdgeMesh::operator delete(void* block) {
    dgFree(block);
}

void dgHalfEdgeMesh::Clear() {
    m_baseMark = 0;
    m_markCounter = 0;
    m_faceCounter = 0;
    RemoveAll();
}

void dgHalfEdgeMesh::SetNodeAllocator(dgMemoryAllocator* allocator) {
    dgAssert(m_count == 0 && allocator != nullptr);
    if (m_count == 0 && allocator != nullptr) {
        m_allocator = allocator;
    }
}

bool dgHalfEdgeMesh::IsRingAcceptable(dgInt32 count, const dgInt32* indices) const {
    // Each undirected vertex pair once per face: both directions of every ring edge go in the set.
    dgEdgeKey localKeys[2 * kMaxFaceVertices];
    dgInt32 localCount = 0;
    dgInt32 prev = indices[count - 1];
    for (dgInt32 i = 0; i < count; i++) {
        const dgInt32 cur = indices[i];
        if (cur < 0 || prev == cur) {
            return false;
        }
        const dgEdgeKey forward = dgMakeEdgeKey(prev, cur);
        const dgEdgeKey reverse = dgMakeEdgeKey(cur, prev);
        for (dgInt32 j = 0; j < localCount; j++) {
            if (localKeys[j] == forward || localKeys[j] == reverse) {
                return false;
            }
        }
        localKeys[localCount++] = forward;
        localKeys[localCount++] = reverse;
        if (Find(forward) != nullptr) {
            return false;
        }
        prev = cur;
    }
    return true;
}

dgHalfEdge* dgHalfEdgeMesh::AddRing(dgInt32 count, const dgInt32* indices, const dgUnsigned64* userValues) {
    if (indices == nullptr || count < 3 || count > kMaxFaceVertices || !IsRingAcceptable(count, indices)) {
        return nullptr;
    }
    m_faceCounter++;
    dgHalfEdge record;
    record.m_face = m_faceCounter;

    bool existed;
    dgHalfEdge* first = nullptr;
    dgHalfEdge* last = nullptr;
    dgInt32 prev = indices[count - 1];
    for (dgInt32 i = 0; i < count; i++) {
        const dgInt32 slot = (i + count - 1) % count; // the edge leaving indices[slot]
        record.m_origin = prev;
        record.m_userValue = userValues != nullptr ? userValues[slot] : 0;
        dgHalfEdge* edge = InsertEdge(record, dgMakeEdgeKey(prev, indices[i]), existed);
        dgAssert(!existed);
        if (last == nullptr) {
            first = edge;
        } else {
            last->m_next = edge;
            edge->m_prev = last;
        }
        last = edge;
        prev = indices[i];
    }
    first->m_prev = last;
    last->m_next = first;
    return first->m_next;
}

dgHalfEdge* dgHalfEdgeMesh::AddFaceWithUserData(dgInt32 count, const dgInt32* indices,
                                                const dgUnsigned64* userValues) {
    if (userValues == nullptr) {
        return nullptr;
    }
    return AddRing(count, indices, userValues);
}

dgHalfEdge* dgHalfEdgeMesh::AddFace(dgInt32 count, const dgInt32* indices) {
    return AddRing(count, indices, nullptr);
}

dgHalfEdge* dgHalfEdgeMesh::AddTriangle(dgInt32 i0, dgInt32 i1, dgInt32 i2) {
    const dgInt32 indices[3] = {i0, i1, i2};
    return AddRing(3, indices, nullptr);
}

dgHalfEdge* dgHalfEdgeMesh::AddHalfEdge(dgInt32 origin, dgInt32 destination) {
    if (origin < 0 || destination < 0) {
        return nullptr;
    }
    dgHalfEdge record;
    record.m_origin = origin;
    bool existed;
    dgHalfEdgeNode* node = InsertEdge(record, dgMakeEdgeKey(origin, destination), existed);
    return existed ? nullptr : node;
}

void dgHalfEdgeMesh::EndFace() {
    // Twins. The destination comes from the key: a lone half-edge has no next to ask.
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_twin == nullptr) {
            const dgInt32 destination = dgEdgeKeyDestination(node->GetKey(), node->m_origin);
            dgHalfEdgeNode* twin = Find(dgMakeEdgeKey(destination, node->m_origin));
            if (twin != nullptr && twin->m_twin == nullptr && twin != node) {
                node->m_twin = twin;
                twin->m_twin = node;
            }
        }
    }

    // Boundary half-edges for every open side. Nodes inserted during the walk already have a twin.
    dgScratchArray<dgHalfEdge*> boundaries(GetCount() * 2 + 100);
    dgInt32 boundaryCount = 0;
    dgHalfEdge record;
    record.m_face = -1;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_twin != nullptr) {
            continue;
        }
        const dgInt32 destination = dgEdgeKeyDestination(node->GetKey(), node->m_origin);
        record.m_origin = destination;
        bool existed;
        dgHalfEdgeNode* boundary = InsertEdge(record, dgMakeEdgeKey(destination, node->m_origin), existed);
        if (existed || boundary == node) {
            continue;
        }
        boundary->m_twin = node;
        node->m_twin = boundary;
        boundaries[boundaryCount++] = boundary;
    }

    const dgInt32 stepLimit = GetCount();
    for (dgInt32 i = 0; i < boundaryCount; i++) {
        LinkBoundaryRing(boundaries[i], stepLimit);
    }
}

// Turns around the boundary's origin over the faces that meet there, from its twin on, to the first
// half-edge without a next: the boundary edge arriving at that vertex, which is its predecessor.
void dgHalfEdgeMesh::LinkBoundaryRing(dgHalfEdge* boundary, dgInt32 stepLimit) {
    dgHalfEdge* arriving = boundary->m_twin;
    if (arriving->m_next == nullptr) {
        return; // a lone half-edge: there is no fan to turn around
    }
    for (dgInt32 step = 0; step <= stepLimit; step++) {
        dgHalfEdge* leaving = arriving->m_next;
        if (leaving == nullptr) {
            arriving->m_next = boundary;
            boundary->m_prev = arriving;
            return;
        }
        arriving = leaving->m_twin;
        if (arriving == nullptr) {
            return;
        }
    }
}

dgHalfEdge* dgHalfEdgeMesh::FindEdge(dgInt32 origin, dgInt32 destination) const {
    return Find(dgMakeEdgeKey(origin, destination));
}

dgHalfEdge* dgHalfEdgeMesh::FindVertexEdge(dgInt32 vertex) const {
    dgHalfEdgeNode* node = FindGreaterEqual(dgMakeEdgeKey(0, vertex));
    if (node != nullptr && node->m_twin != nullptr && node->m_twin->m_origin == vertex) {
        return node->m_twin;
    }
    return nullptr;
}

void dgHalfEdgeMesh::SplicePairOut(dgHalfEdge* edge) {
    dgHalfEdge* const twin = edge->m_twin;
    // Join the two rings: what came before each side now runs into what followed the other.
    if (edge->m_prev != nullptr) {
        edge->m_prev->m_next = twin->m_next;
    }
    if (twin->m_next != nullptr) {
        twin->m_next->m_prev = edge->m_prev;
    }
    if (edge->m_next != nullptr) {
        edge->m_next->m_prev = twin->m_prev;
    }
    if (twin->m_prev != nullptr) {
        twin->m_prev->m_next = edge->m_next;
    }
    twin->m_twin = nullptr;
    edge->m_twin = nullptr;
}

void dgHalfEdgeMesh::DeleteEdge(dgHalfEdge* edge) {
    dgHalfEdge* twin = edge->m_twin;
    if (twin != nullptr) {
        SplicePairOut(edge);
        RemoveNode(dgHalfEdgeNode::Of(twin));
    } else {
        if (edge->m_prev != nullptr) {
            edge->m_prev->m_next = edge->m_next;
        }
        if (edge->m_next != nullptr) {
            edge->m_next->m_prev = edge->m_prev;
        }
    }
    edge->m_twin = nullptr;
    RemoveNode(dgHalfEdgeNode::Of(edge));
}

void dgHalfEdgeMesh::DeleteEdge(dgInt32 origin, dgInt32 destination) {
    if (dgHalfEdge* edge = FindEdge(origin, destination)) {
        DeleteEdge(edge);
    }
}

void dgHalfEdgeMesh::DeleteFace(dgHalfEdge* edge) {
    if (edge->m_face < 0) {
        return;
    }
    // Count the ring first so the list of edges to remove has room for all of them.
    dgInt32 ringCount = 0;
    dgHalfEdge* ptr = edge;
    do {
        ringCount++;
        ptr = ptr->m_next;
    } while (ptr != edge && ptr != nullptr && ringCount <= GetCount());

    dgScratchArray<dgHalfEdgeNode*> doomed(ringCount);
    dgInt32 doomedCount = 0;
    ptr = edge;
    for (dgInt32 i = 0; i < ringCount && ptr != nullptr; i++) {
        ptr->m_face = -1;
        if (ptr->m_twin != nullptr && ptr->m_twin->m_face < 0) {
            dgHalfEdgeNode* node = dgHalfEdgeNode::Of(ptr);
            node->AddRef();
            doomed[doomedCount++] = node;
        }
        ptr = ptr->m_next;
    }
    // A twin listed earlier in this loop may already be gone with its partner.
    for (dgInt32 i = 0; i < doomedCount; i++) {
        if (doomed[i]->IsInTree()) {
            DeleteEdge(doomed[i]);
        }
        dgRefRelease(doomed[i]);
    }
}

dgHalfEdgeNode* dgHalfEdgeMesh::Find(dgEdgeKey key) const {
    dgHalfEdgeNode* node = GetRoot();
    while (node != nullptr && node->m_key != key) {
        node = key < node->m_key ? node->GetLeft() : node->GetRight();
    }
    return node;
}

dgHalfEdgeNode* dgHalfEdgeMesh::FindGreaterEqual(dgEdgeKey key) const {
    dgHalfEdgeNode* best = nullptr;
    dgHalfEdgeNode* node = GetRoot();
    while (node != nullptr) {
        if (node->m_key == key) {
            return node;
        }
        if (key < node->m_key) {
            best = node;
            node = node->GetLeft();
        } else {
            node = node->GetRight();
        }
    }
    return best;
}

dgHalfEdgeNode* dgHalfEdgeMesh::InsertEdge(const dgHalfEdge& record, dgEdgeKey key, bool& existed) {
    dgHalfEdgeNode* parent = nullptr;
    bool left = false;
    for (dgHalfEdgeNode* node = GetRoot(); node != nullptr;) {
        if (node->m_key == key) {
            existed = true;
            return node;
        }
        parent = node;
        left = key < node->m_key;
        node = left ? node->GetLeft() : node->GetRight();
    }
    existed = false;
    m_count++;
    void* memory = m_allocator->Malloc(sizeof(dgHalfEdgeNode));
    dgHalfEdgeNode* node = new (memory) dgHalfEdgeNode(m_allocator, parent, record, key);
    Link(node, parent, left);
    return node;
}

dgHalfEdgeNode* dgHalfEdgeMesh::InsertEdgeNode(dgHalfEdgeNode* node, dgEdgeKey key) {
    dgAssert(!node->IsInTree());
    dgHalfEdgeNode* parent = nullptr;
    bool left = false;
    for (dgHalfEdgeNode* ptr = GetRoot(); ptr != nullptr;) {
        if (ptr->m_key == key) {
            return nullptr;
        }
        parent = ptr;
        left = key < ptr->m_key;
        ptr = left ? ptr->GetLeft() : ptr->GetRight();
    }
    node->AddRef();
    node->m_key = key;
    m_count++;
    Relink(node, parent, left);
    return node;
}

// The caller has made sure that no other node holds key.
void dgHalfEdgeMesh::ReplaceWithoutCheck(dgHalfEdgeNode* node, dgEdgeKey key) {
    node->AddRef();
    RemoveNode(node);
    dgHalfEdgeNode* inserted = InsertEdgeNode(node, key);
    dgAssert(inserted == node);
    dgRefRelease(node);
}

dgHalfEdgeNode* dgHalfEdgeMesh::ReplaceEdgeKey(dgHalfEdgeNode* node, dgEdgeKey key) {
    dgAssert(node->IsInTree());
    if (node->m_key == key) {
        return node;
    }
    // Checked first: a node removed and then refused would be destroyed while its ring and twin
    // still point at it.
    if (Find(key) != nullptr) {
        return nullptr;
    }
    ReplaceWithoutCheck(node, key);
    return node;
}

dgVectorDouble dgHalfEdgeMesh::CalcFaceNormalDouble(const dgHalfEdge* edge, dgVertexView vertices) {
    // A fan from the ring's first vertex: the sum of the fan triangles' cross products is the area
    // normal of any planar polygon, convex or not.
    const dgVectorDouble p0 = vertices.PointDouble(edge->m_origin);
    dgVectorDouble normal(0.0, 0.0, 0.0, 0.0);
    const dgHalfEdge* ptr = edge->m_next;
    dgVectorDouble e0 = vertices.PointDouble(ptr->m_origin).Sub(p0);
    for (ptr = ptr->m_next; ptr != edge; ptr = ptr->m_next) {
        const dgVectorDouble e1 = vertices.PointDouble(ptr->m_origin).Sub(p0);
        normal.AddInPlace(e0.CrossProduct(e1));
        e0 = e1;
    }
    normal.w = 0.0;
    return normal;
}

dgVector dgHalfEdgeMesh::CalcFaceNormal(const dgHalfEdge* edge, dgVertexView vertices) {
    const dgVectorDouble n = CalcFaceNormalDouble(edge, vertices);
    return dgVector(static_cast<dgFloat32>(n.x), static_cast<dgFloat32>(n.y), static_cast<dgFloat32>(n.z),
                    0.0f);
}
