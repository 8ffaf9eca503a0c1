#include "physics/core/dgHalfEdgeMesh.h"

#include "physics/core/dgHeap.h"
#include "physics/core/dgMeshInfo.h"
#include "physics/core/dgQuadric.h"
#include "physics/core/dgScratchArray.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr dgFloat32 kMinCollapseLength2 = 1.0e-6f;
constexpr dgFloat32 kMinFaceNormal2 = 1.0e-24f;
constexpr dgFloat32 kFoldCosine = -0.999f;
// The heap is a max-heap: keys are kCostBase - cost, so the cheapest collapse is on top.
constexpr dgFloat64 kCostBase = 1024.0;
// A queued cost that moved by this much since it was queued is dropped.
constexpr dgFloat64 kCostDrift = 1.0e-5;

// A queued collapse. While a run lasts, each half-edge's user value holds the address of its current
// candidate's list node (0 for none); m_edge is null once the candidate is stale.
struct dgCollapseCandidate {
    dgHalfEdge* m_edge;
};
using dgCandidateList = dgList<dgCollapseCandidate>;
using dgCandidate = dgCandidateList::Node;
using dgCollapseQueue = dgMaxHeap<dgFloat64, dgCandidate*>;

dgCandidate* HandleOf(const dgHalfEdge* edge) {
    return reinterpret_cast<dgCandidate*>(static_cast<std::uintptr_t>(edge->m_userValue));
}

// The edge's candidate becomes stale and the edge forgets it.
void DropHandle(dgHalfEdge* edge) {
    if (dgCandidate* handle = HandleOf(edge)) {
        handle->GetInfo().m_edge = nullptr;
        edge->m_userValue = 0;
    }
}

// One collapse run: quadrics, queue and candidates, released at the end.
class dgCollapseRun {
public:
    dgCollapseRun(dgHalfEdgeMesh& mesh, dgVertexView vertices, dgFloat32 tolerance, const dgMeshInfo& info)
        : m_mesh(mesh), m_vertices(vertices), m_quadrics(info.m_vertexIndexLimit),
          m_queue(2 * (4 * info.m_edgeCount + 64)), m_maxError(tolerance * tolerance * 10.0f) {
        for (dgInt32 i = 0; i < m_quadrics.GetCount(); i++) {
            m_quadrics[i].Clear();
        }
    }
    ~dgCollapseRun() {
        // Candidates still listed leave no handle behind in their edges.
        while (dgCandidate* node = m_candidates.GetFirst()) {
            Destroy(node);
        }
    }
    dgCollapseRun(const dgCollapseRun&) = delete;
    dgCollapseRun& operator=(const dgCollapseRun&) = delete;

    /// Costs every half-edge (clearing its user value first) and queues those below the maximum error.
    void Seed() {
        m_mesh.CalcVertexQuadrics(m_quadrics.GetData(), m_vertices);
        for (dgHalfEdgeNode* node = m_mesh.GetFirst(); node != nullptr;
             node = dgHalfEdgeMesh::GetNext(node)) {
            node->m_userValue = 0;
            const dgFloat64 cost = Cost(node);
            if (cost < m_maxError) {
                Push(node, cost);
            }
        }
    }

    /// Pops the cheapest candidate: false when the queue is empty. edge is null for a stale candidate
    /// and for one whose cost has moved since it was queued.
    bool Pop(dgHalfEdge*& edge) {
        if (m_queue.GetCount() == 0) {
            return false;
        }
        dgCandidate* const handle = m_queue.GetValue(0);
        const dgFloat64 queuedCost = kCostBase - m_queue.GetKey(0);
        m_queue.Pop();
        edge = handle->GetInfo().m_edge;
        Destroy(handle);
        if (edge != nullptr) {
            VertexQuadric(m_quadrics.GetData(), m_vertices, edge);
            if (std::fabs(Cost(edge) - queuedCost) >= kCostDrift) {
                edge = nullptr;
            }
        }
        return true;
    }

    /// New quadrics for the kept vertex and its neighbours, then new costs over its two-ring.
    void Recost(dgHalfEdge* kept) {
        VertexQuadric(m_quadrics.GetData(), m_vertices, kept);
        dgHalfEdge* ptr = kept;
        do {
            VertexQuadric(m_quadrics.GetData(), m_vertices, ptr->m_twin);
            ptr = ptr->m_twin->m_next;
        } while (ptr != kept);

        const dgUnsigned32 mark = m_mesh.IncrementMarkCounter();
        ptr = kept;
        do {
            ptr->m_mark = mark;
            Requeue(ptr);
            ptr = ptr->m_twin->m_next;
        } while (ptr != kept);

        ptr = kept;
        do {
            dgHalfEdge* const first = ptr->m_twin;
            dgHalfEdge* around = first;
            do {
                if (around->m_mark != mark) {
                    around->m_mark = mark;
                    Requeue(around);
                }
                if (around->m_twin->m_mark != mark) {
                    around->m_twin->m_mark = mark;
                    Requeue(around->m_twin);
                }
                around = around->m_twin->m_next;
            } while (around != first);
            ptr = ptr->m_twin->m_next;
        } while (ptr != kept);
    }

private:
    // Quadric error of moving edge's origin onto its destination; a bad collapse costs the maximum
    // error more, which keeps it out of the queue.
    dgFloat64 Cost(const dgHalfEdge* edge) const {
        const dgInt32 origin = edge->m_origin;
        const dgInt32 destination = edge->m_twin->m_origin;
        dgFloat64 cost = m_quadrics[origin].Evaluate(m_vertices[destination]);
        if (cost < m_maxError && m_mesh.IsBadCollapse(edge, m_vertices)) {
            cost += m_maxError;
        }
        return cost;
    }

    void Push(dgHalfEdge* edge, dgFloat64 cost) {
        DropHandle(edge);
        dgCandidate* const handle = m_candidates.Prepend(dgCollapseCandidate{edge});
        edge->m_userValue = static_cast<dgUnsigned64>(reinterpret_cast<std::uintptr_t>(handle));
        m_queue.Push(handle, kCostBase - cost);
    }

    void Destroy(dgCandidate* handle) {
        dgHalfEdge* const edge = handle->GetInfo().m_edge;
        if (edge != nullptr && HandleOf(edge) == handle) {
            edge->m_userValue = 0;
        }
        m_candidates.Remove(handle);
    }

    void Requeue(dgHalfEdge* edge) {
        const dgFloat64 cost = Cost(edge);
        if (cost < m_maxError) {
            Push(edge, cost);
        } else {
            DropHandle(edge);
        }
    }

    dgHalfEdgeMesh& m_mesh;
    dgVertexView m_vertices;
    // Collapses never add a vertex, so one quadric per index below the index limit is enough.
    dgScratchArray<dgQuadric> m_quadrics;
    dgCollapseQueue m_queue;
    dgCandidateList m_candidates;
    dgFloat32 m_maxError;
};

bool InRing(const dgHalfEdge* ring, const dgHalfEdge* edge) {
    const dgHalfEdge* ptr = ring;
    do {
        if (ptr == edge) {
            return true;
        }
        ptr = ptr->m_next;
    } while (ptr != ring);
    return false;
}

bool IsTriangle(const dgHalfEdge* edge) {
    return edge->m_next == edge->m_prev->m_prev;
}

bool LeavesBareEdge(const dgHalfEdge* side) {
    return IsTriangle(side) && side->m_next->m_twin->m_face < 0 && side->m_prev->m_twin->m_face < 0;
}

} // namespace

void dgHalfEdgeMesh::SimplifyByEdgeCollapse(dgVertexView vertices, dgFloat32 tolerance) {
    const dgMeshInfo info(*this);
    dgCollapseRun run(*this, vertices, tolerance, info);
    run.Seed();
    dgHalfEdge* edge;
    while (run.Pop(edge)) {
        if (edge != nullptr) {
            if (dgHalfEdge* const kept = CollapseEdge(edge, true)) {
                run.Recost(kept);
            }
        }
    }
}

void dgHalfEdgeMesh::CalcVertexQuadrics(dgQuadric* quadrics, dgVertexView vertices) {
    const dgUnsigned32 mark = IncrementMarkCounter();
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_mark == mark) {
            continue;
        }
        if (node->m_face > 0) {
            const dgQuadric q = dgQuadric::FromPlane(
                TrianglePlane(node->m_origin, node->m_next->m_origin, node->m_prev->m_origin, vertices));
            dgHalfEdge* ptr = node;
            do {
                ptr->m_mark = mark;
                quadrics[ptr->m_origin].Add(q);
                ptr = ptr->m_next;
            } while (ptr != node);
        } else {
            // The plane through the border edge, upright on the face inside it: weight 10.
            node->m_mark = mark;
            const dgHalfEdge* twin = node->m_twin;
            const dgQuadric q = dgQuadric::FromPlane(
                BoundaryPlane(twin->m_origin, twin->m_next->m_origin, twin->m_prev->m_origin, vertices));
            quadrics[node->m_origin].Add(q);
            quadrics[twin->m_origin].Add(q);
        }
    }
}

bool dgHalfEdgeMesh::IsBadCollapse(const dgHalfEdge* edge, dgVertexView vertices) const {
    const dgHalfEdge* const twin = edge->m_twin;
    const dgVector a = vertices.Point(edge->m_origin);
    const dgVector b = vertices.Point(edge->m_next->m_origin);
    const dgVector ab = b.Sub(a);
    if (ab.DotProduct(ab) < kMinCollapseLength2) {
        return true;
    }

    if (edge->m_face > 0 && twin->m_face > 0) {
        dgVector nEdge = CalcFaceNormal(edge, vertices);
        dgVector nTwin = CalcFaceNormal(twin, vertices);
        const dgFloat32 edge2 = nEdge.DotProduct(nEdge);
        const dgFloat32 twin2 = nTwin.DotProduct(nTwin);
        if (edge2 < kMinFaceNormal2 || twin2 < kMinFaceNormal2) {
            return true;
        }
        nEdge = nEdge.Scale(1.0f / std::sqrt(edge2));
        nTwin = nTwin.Scale(1.0f / std::sqrt(twin2));
        if (nEdge.DotProduct(nTwin) < kFoldCosine) {
            return true;
        }
        const dgHalfEdge* ptr = edge;
        do {
            if (ptr->m_face < 1 || ptr->m_twin->m_face < 1) {
                return true; // A lies on a border
            }
            ptr = ptr->m_twin->m_next;
        } while (ptr != edge);
    }

    // Every other face around A must keep its orientation and a fair share of its area. The two faces
    // at the edge go by identity: triangles cut from one face share its number.
    const dgVectorDouble pa = vertices.PointDouble(edge->m_origin);
    const dgVectorDouble pb = vertices.PointDouble(edge->m_next->m_origin);
    bool tested = false;
    const dgHalfEdge* leaving = edge;
    do {
        const dgHalfEdge* const arriving = leaving->m_twin;
        if (arriving->m_face >= 0 && !InRing(arriving, edge) && !InRing(arriving, twin)) {
            const dgVectorDouble x = vertices.PointDouble(arriving->m_origin);
            const dgVectorDouble y = vertices.PointDouble(arriving->m_prev->m_origin);
            const dgVectorDouble nOld = x.Sub(pa).CrossProduct(y.Sub(pa));
            const dgVectorDouble nNew = x.Sub(pb).CrossProduct(y.Sub(pb));
            const dgFloat64 magOld = std::sqrt(nOld.DotProduct(nOld));
            const dgFloat64 magNew = std::sqrt(nNew.DotProduct(nNew));
            if (magNew * magOld / 64.0 >= nNew.DotProduct(nOld) || magOld > 16.0 * magNew) {
                return true;
            }
            tested = true;
        }
        leaving = arriving->m_next;
    } while (leaving != edge);
    return !tested;
}

dgHalfEdge* dgHalfEdgeMesh::CollapseEdge(dgHalfEdge* edge) {
    return CollapseEdge(edge, false);
}

// True when every surviving half-edge at A can take its key with B in A's place: a key now held by a
// half-edge the collapse removes counts as free.
bool dgHalfEdgeMesh::CollapseKeysAreFree(const dgHalfEdge* edge) const {
    const dgHalfEdge* const twin = edge->m_twin;
    const dgHalfEdge* removed[6] = {edge, twin, nullptr, nullptr, nullptr, nullptr};
    if (IsTriangle(twin)) {
        removed[2] = twin->m_next;
        removed[3] = twin->m_prev;
    }
    if (IsTriangle(edge)) {
        removed[4] = edge->m_next;
        removed[5] = edge->m_prev;
    }
    auto isRemoved = [&removed](const dgHalfEdge* e) {
        for (const dgHalfEdge* r : removed) {
            if (r == e) {
                return true;
            }
        }
        return false;
    };
    auto isFree = [this, &isRemoved](dgInt32 origin, dgInt32 destination) {
        const dgHalfEdge* holder = FindEdge(origin, destination);
        return holder == nullptr || isRemoved(holder);
    };

    const dgInt32 b = twin->m_origin;
    const dgInt32 stepLimit = GetCount();
    dgInt32 steps = 0;
    const dgHalfEdge* ptr = edge;
    do {
        const dgInt32 x = ptr->m_twin->m_origin;
        if ((!isRemoved(ptr) && !isFree(b, x)) || (!isRemoved(ptr->m_twin) && !isFree(x, b)) ||
            ++steps > stepLimit) {
            return false;
        }
        ptr = ptr->m_twin->m_next;
    } while (ptr != edge);
    return true;
}

dgHalfEdge* dgHalfEdgeMesh::CollapseEdge(dgHalfEdge* edge, bool releaseHandles) {
    dgHalfEdge* const twin = edge->m_twin;
    const dgInt32 a = edge->m_origin;
    const dgInt32 b = twin->m_origin;

    // Valence: B must keep a half-edge that survives.
    dgHalfEdge* kept = twin->m_prev->m_twin;
    if (kept == twin->m_next || kept == twin) {
        return nullptr;
    }
    if (kept == edge->m_next) {
        kept = edge->m_prev->m_twin;
        if (kept == twin->m_next || kept == twin) {
            return nullptr;
        }
    }

    // Link condition: a neighbour of A that is also a neighbour of B (other than the corners of the
    // faces at the edge) would end up on an edge shared by more than two faces.
    const dgHalfEdge* start = twin->m_face >= 0 ? twin->m_next->m_twin->m_next : twin->m_next;
    const dgHalfEdge* stop = (edge->m_face < 0 && twin->m_face >= 0) ? edge : edge->m_prev->m_twin;
    const dgInt32 stepLimit = GetCount();
    dgInt32 steps = 0;
    for (const dgHalfEdge* ptr = start; ptr != stop; ptr = ptr->m_twin->m_next) {
        if (FindEdge(b, ptr->m_twin->m_origin) != nullptr || ++steps > stepLimit) {
            return nullptr;
        }
    }
    // A removed triangle whose two other sides are both on borders would leave an edge with no face on
    // either side.
    if (LeavesBareEdge(twin) || LeavesBareEdge(edge)) {
        return nullptr;
    }
    // Every new key is checked before any surgery: a clash while re-keying would lose a node that
    // rings still point at.
    if (!CollapseKeysAreFree(edge)) {
        return nullptr;
    }

    auto removeFace = [this, releaseHandles](dgHalfEdge* side) {
        if (IsTriangle(side)) {
            dgHalfEdge* const next = side->m_next;
            dgHalfEdge* const prev = side->m_prev;
            prev->m_twin->m_twin = next->m_twin;
            next->m_twin->m_twin = prev->m_twin;
            if (releaseHandles) {
                DropHandle(next);
                DropHandle(prev);
            }
            RemoveNode(dgHalfEdgeNode::Of(next));
            RemoveNode(dgHalfEdgeNode::Of(prev));
        } else {
            side->m_next->m_prev = side->m_prev;
            side->m_prev->m_next = side->m_next;
        }
    };
    removeFace(twin);
    removeFace(edge);
    if (releaseHandles) {
        DropHandle(twin);
        DropHandle(edge);
    }
    RemoveNode(dgHalfEdgeNode::Of(twin));
    RemoveNode(dgHalfEdgeNode::Of(edge));

    // Around the merged fan, half-edges still keyed from A, and twins still keyed towards A (a twin
    // joined across a removed triangle may already point at B), take B in A's place.
    dgHalfEdge* ptr = kept;
    do {
        dgHalfEdge* const back = ptr->m_twin;
        const dgInt32 y = back->m_origin;
        if (ptr->m_origin == a) {
            ptr->m_origin = b;
            ReplaceWithoutCheck(dgHalfEdgeNode::Of(ptr), dgMakeEdgeKey(b, y));
        }
        if (dgHalfEdgeNode::Of(back)->GetKey() == dgMakeEdgeKey(y, a)) {
            ReplaceWithoutCheck(dgHalfEdgeNode::Of(back), dgMakeEdgeKey(y, b));
        }
        ptr = back->m_next;
    } while (ptr != kept);
    return kept;
}
