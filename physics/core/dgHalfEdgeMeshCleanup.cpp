#include "physics/core/dgHalfEdgeMesh.h"

#include "physics/core/dgGrowableArray.h"
#include "physics/core/dgHeap.h"
#include "physics/core/dgPlaneDouble.h"

#include <cmath>

namespace {

constexpr dgFloat32 kSmallFaceArea = 0.0001f;
constexpr dgFloat32 kCollapseTolerance = 0.001f;
constexpr dgInt32 kMergeRounds = 2;
// A corner is cut at once when every corner of the face turns left by more than this sine.
constexpr dgFloat32 kConvexCornerSine = 0.1f;
// A vertex blocks an ear unless it lies outside one of the ear's sides by at least this much.
constexpr dgFloat32 kEarBlockMargin = 0.05f;
constexpr dgFloat32 kMinEdgeLength = 1.0e-10f;
constexpr dgFloat32 kMinNormal2 = 1.0e-12f;
constexpr dgFloat32 kCoplanarCosine = 0.9999f;
constexpr dgFloat32 kPlaneDistance = 0.08f;
constexpr dgFloat32 kMergeCornerSine = 0.1f;
// Initial ear-heap room of FindUntriangulableFaces; the heap grows beyond it.
constexpr dgInt32 kUntriangulableHeapEntries = 19584;

dgInt32 StampRing(dgHalfEdge* edge, dgUnsigned32 mark) {
    dgInt32 count = 0;
    dgHalfEdge* ptr = edge;
    do {
        ptr->m_mark = mark;
        count++;
        ptr = ptr->m_next;
    } while (ptr != edge);
    return count;
}

// A half-edge of the ring that DeleteEdge (edge) leaves joined: edge's predecessor, or, when that is
// the twin (edge hangs off a vertex reached by nothing else), the twin's predecessor; null when
// the two form a ring of their own.
dgHalfEdge* SurvivorOfDelete(dgHalfEdge* edge) {
    dgHalfEdge* const twin = edge->m_twin;
    if (edge->m_prev != twin) {
        return edge->m_prev;
    }
    return twin->m_prev != edge ? twin->m_prev : nullptr;
}

void RenumberRing(dgHalfEdge* edge, dgInt32 face) {
    dgHalfEdge* ptr = edge;
    do {
        ptr->m_face = face;
        ptr = ptr->m_next;
    } while (ptr != edge);
}

dgVector UnitOrFloor(const dgVector& v) {
    dgFloat32 length = std::sqrt(v.DotProduct(v));
    if (length < kMinEdgeLength) {
        length = kMinEdgeLength;
    }
    return v.Scale(1.0f / length);
}

// Moves the remaining ring of r (origins and user values) into the reject mesh as one face.
void CopyRingTo(dgHalfEdgeMesh& target, const dgHalfEdge* ring) {
    dgGrowableArray<dgInt32> indices;
    dgGrowableArray<dgUnsigned64> userValues;
    const dgHalfEdge* ptr = ring;
    do {
        indices.Push(ptr->m_origin);
        userValues.Push(ptr->m_userValue);
        ptr = ptr->m_next;
    } while (ptr != ring);
    target.AddFaceWithUserData(indices.GetCount(), indices.GetData(), userValues.GetData());
}

} // namespace

void dgHalfEdgeMesh::Optimize(dgVertexView vertices, dgHalfEdgeMesh* rejectMesh) {
    if (GetCount() == 0) {
        return;
    }
    TriangulateFaces(vertices, rejectMesh);
    RemoveSmallFaces(vertices, kSmallFaceArea);
    SimplifyByEdgeCollapse(vertices, kCollapseTolerance);
    RemoveSmallFaces(vertices, kSmallFaceArea);
    if (GetCount() == 0) {
        return;
    }
    for (dgInt32 round = 0; round < kMergeRounds; round++) {
        if (!MergeCoplanarFaces(vertices)) {
            break;
        }
    }
}

void dgHalfEdgeMesh::TriangulateFaces(dgVertexView vertices, dgHalfEdgeMesh* rejectMesh) {
    dgEarHeap earHeap(GetCount() / 2 + 512);
    const dgUnsigned32 mark = IncrementMarkCounter();
    dgHalfEdgeNode* node = GetFirst();
    while (node != nullptr) {
        if (node->m_mark != mark && node->m_face >= 0 && StampRing(node, mark) > 3) {
            dgHalfEdge* const left = TriangulateFace(node, vertices, earHeap);
            earHeap.Reset();
            if (left != nullptr) {
                if (rejectMesh != nullptr) {
                    CopyRingTo(*rejectMesh, left);
                }
                DeleteFace(left);
                node = GetFirst(); // the walk's node may be gone; stamped faces are skipped
                continue;
            }
        }
        node = GetNext(node);
    }
}

dgHalfEdge* dgHalfEdgeMesh::TriangulateFace(dgHalfEdge* edge, dgVertexView vertices, dgEarHeap& earHeap) {
    dgVector n = CalcFaceNormal(edge, vertices);
    const dgFloat32 n2 = n.DotProduct(n);
    // A NaN corner, or sides so long that the normal overflows, leave no plane to cut the face in.
    if (n2 < kMinNormal2 || !std::isfinite(n2)) {
        return edge;
    }
    n = n.Scale(1.0f / std::sqrt(n2));
    if (edge->m_next->m_next->m_next == edge) {
        return nullptr;
    }

    dgHalfEdge* current = edge;
    do {
        dgHalfEdge* const ear = FindEar(current, vertices, earHeap, n);
        if (ear == nullptr) {
            return current;
        }
        dgHalfEdge* const prev = ear->m_prev;
        dgHalfEdge* const prevPrev = prev->m_prev;
        dgHalfEdge* const next = ear->m_next;
        const dgInt32 p = prev->m_origin;
        const dgInt32 b = next->m_origin;
        if (current == ear || current == prev) {
            current = prevPrev;
        }
        // Both keys are checked before either is inserted: a lone half-edge left in the tree would
        // break every later ring walk.
        if (p == b || FindEdge(b, p) != nullptr || FindEdge(p, b) != nullptr) {
            return current;
        }
        dgHalfEdge* const d1 = AddHalfEdge(b, p);
        dgHalfEdge* const d2 = AddHalfEdge(p, b);
        d1->m_mark = ear->m_mark;
        d1->m_face = ear->m_face;
        d1->m_userValue = next->m_userValue;
        d2->m_mark = ear->m_mark;
        d2->m_face = ear->m_face;
        d2->m_userValue = prev->m_userValue;
        d1->m_twin = d2;
        d2->m_twin = d1;

        // The triangle (prev, ear, d1) is cut off; d2 closes the rest of the ring.
        d2->m_prev = prevPrev;
        d2->m_next = next;
        prevPrev->m_next = d2;
        next->m_prev = d2;
        d1->m_next = prev;
        d1->m_prev = ear;
        prev->m_prev = d1;
        ear->m_next = d1;
        earHeap.Reset();
    } while (current->m_next->m_next->m_next != current);
    return nullptr;
}

dgHalfEdge* dgHalfEdgeMesh::FindEar(dgHalfEdge* edge, dgVertexView vertices, dgEarHeap& earHeap,
                                    const dgVector& n) const {
    dgFloat32 minKey = 10.0f;
    dgHalfEdge* ptr = edge;
    do {
        const dgVector p = vertices.Point(ptr->m_prev->m_origin);
        const dgVector a = vertices.Point(ptr->m_origin);
        const dgVector b = vertices.Point(ptr->m_next->m_origin);
        const dgVector dIn = UnitOrFloor(a.Sub(p));
        const dgVector dOut = UnitOrFloor(b.Sub(a));
        const dgFloat32 key = dIn.CrossProduct(dOut).DotProduct(n);
        if (key >= 0.0f) {
            earHeap.Push(ptr, key);
        }
        if (key < minKey) {
            minKey = key;
        }
        ptr = ptr->m_next;
    } while (ptr != edge);

    // Strictly convex: the corner nearest to a right angle. No corner at all when every turn is NaN.
    if (minKey > kConvexCornerSine) {
        return earHeap.GetCount() > 0 ? earHeap.GetValue(0) : nullptr;
    }
    dgHalfEdge* candidate = nullptr;
    while (earHeap.GetCount() > 0) {
        candidate = earHeap.GetValue(0);
        earHeap.Pop();
        const dgInt32 pIndex = candidate->m_prev->m_origin;
        const dgInt32 bIndex = candidate->m_next->m_origin;
        if (FindEdge(pIndex, bIndex) != nullptr) {
            continue;
        }
        const dgVector p = vertices.Point(pIndex);
        const dgVector a = vertices.Point(candidate->m_origin);
        const dgVector b = vertices.Point(bIndex);
        bool blocked = false;
        for (const dgHalfEdge* q = candidate->m_next->m_next; q != candidate->m_prev && !blocked;
             q = q->m_next) {
            const dgVector point = vertices.Point(q->m_origin);
            blocked = point.Sub(p).CrossProduct(a.Sub(p)).DotProduct(n) < kEarBlockMargin &&
                      point.Sub(a).CrossProduct(b.Sub(a)).DotProduct(n) < kEarBlockMargin &&
                      point.Sub(b).CrossProduct(p.Sub(b)).DotProduct(n) < kEarBlockMargin;
        }
        if (!blocked) {
            return candidate;
        }
    }
    return candidate;
}

void dgHalfEdgeMesh::RemoveSmallFaces(dgVertexView vertices, dgFloat32 minArea) {
    dgGrowableArray<dgHalfEdge*> faces(GetCount() / 2 + 100);
    const dgUnsigned32 mark = IncrementMarkCounter();
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_mark != mark && node->m_face > 0) {
            faces.Push(node);
            StampRing(node, mark);
        }
    }
    // |n| is twice the area: area < minArea when n . n < 4 minArea².
    const dgFloat64 area = minArea;
    const dgFloat64 limit = 4.0 * area * area;
    for (dgInt32 i = 0; i < faces.GetCount(); i++) {
        const dgVectorDouble n = CalcFaceNormalDouble(faces[i], vertices);
        if (n.DotProduct(n) < limit) {
            DeleteFace(faces[i]);
        }
    }
}

bool dgHalfEdgeMesh::MergeCoplanarFaces(dgVertexView vertices) {
    dgGrowableArray<dgHalfEdge*> stack(GetCount() / 2 + 100);
    dgGrowableArray<dgHalfEdge*> edges(GetCount() / 2 + 100);
    dgGrowableArray<dgHalfEdgeNode*> regions;
    const dgUnsigned32 mark = IncrementMarkCounter();
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_face >= 0 && static_cast<dgInt32>(node->m_mark) < static_cast<dgInt32>(mark) &&
            GrowCoplanarRegion(node, vertices, stack) > 1) {
            node->AddRef();
            regions.Push(node);
        }
    }
    if (regions.IsEmpty()) {
        return false;
    }
    for (dgInt32 i = 0; i < regions.GetCount(); i++) {
        dgHalfEdgeNode* const node = regions[i];
        if (node->IsInTree()) {
            const dgVector normal = CalcFaceNormal(node, vertices);
            const dgVector n = normal.Scale(1.0f / std::sqrt(normal.DotProduct(normal)));
            const dgInt32 count = CollectRegionEdges(node, stack, edges);
            for (dgInt32 j = 0; j < count; j++) {
                if (!IsBadMergeEdge(edges[j], vertices, n)) {
                    // The joined ring takes one face number: a ring of mixed numbers is no face.
                    dgHalfEdge* const kept = SurvivorOfDelete(edges[j]);
                    DeleteEdge(edges[j]);
                    if (kept != nullptr) {
                        RenumberRing(kept, kept->m_face);
                    }
                }
            }
        }
        dgRefRelease(node);
    }
    return true;
}

dgInt32 dgHalfEdgeMesh::GrowCoplanarRegion(dgHalfEdge* seed, dgVertexView vertices,
                                           dgGrowableArray<dgHalfEdge*>& stack) {
    const dgUnsigned32 region = IncrementMarkCounter(2);
    dgVectorDouble nSeed = CalcFaceNormalDouble(seed, vertices);
    const dgFloat64 seed2 = nSeed.DotProduct(nSeed);
    if (seed2 < static_cast<dgFloat64>(kMinNormal2)) {
        StampRing(seed, region);
        return 1;
    }
    nSeed = nSeed.Scale(1.0 / std::sqrt(seed2));
    const dgPlaneDouble plane(nSeed, -nSeed.DotProduct(vertices.PointDouble(seed->m_origin)));

    stack.Reset();
    stack.Push(seed);
    dgInt32 count = 0;
    while (!stack.IsEmpty()) {
        dgHalfEdge* const face = stack.Pop();
        if (face->m_mark == region) {
            continue;
        }
        dgVector n = CalcFaceNormal(face, vertices);
        dgFloat32 n2 = n.DotProduct(n);
        if (n2 < kMinNormal2) {
            n2 = kMinNormal2;
        }
        n = n.Scale(1.0f / std::sqrt(n2));
        if (dgVectorDouble(n).DotProduct(nSeed) >= static_cast<dgFloat64>(kCoplanarCosine) &&
            IsFaceOnPlane(face, vertices, plane)) {
            dgHalfEdge* ptr = face;
            do {
                ptr->m_mark = region;
                ptr = ptr->m_next;
            } while (ptr != face);
            do {
                if (ptr->m_twin->m_face > 0 && ptr->m_twin->m_mark != region) {
                    stack.Push(ptr->m_twin);
                }
                ptr = ptr->m_next;
            } while (ptr != face);
            count++;
        }
    }
    return count;
}

dgInt32 dgHalfEdgeMesh::CollectRegionEdges(dgHalfEdge* start, dgGrowableArray<dgHalfEdge*>& stack,
                                           dgGrowableArray<dgHalfEdge*>& edges) {
    // Each ring visited is stamped region - 1, so an interior edge is listed by the first of its two
    // faces and the region's outline, whose twins carry other marks, never is.
    const dgUnsigned32 region = start->m_mark;
    stack.Reset();
    edges.Reset();
    stack.Push(start);
    while (!stack.IsEmpty()) {
        dgHalfEdge* const face = stack.Pop();
        if (face->m_mark != region) {
            continue;
        }
        dgHalfEdge* ptr = face;
        do {
            if (ptr->m_twin->m_mark == region) {
                if (ptr->m_mark == region) {
                    edges.Push(ptr);
                }
                stack.Push(ptr->m_twin);
            }
            ptr->m_mark = region - 1;
            ptr = ptr->m_next;
        } while (ptr != face);
    }
    return edges.GetCount();
}

bool dgHalfEdgeMesh::IsFaceOnPlane(const dgHalfEdge* edge, dgVertexView vertices,
                                   const dgVectorDouble& plane) {
    const dgFloat64 limit = kPlaneDistance;
    const dgHalfEdge* ptr = edge;
    do {
        const dgFloat64 distance = plane.DotProduct(vertices.PointDouble(ptr->m_origin)) + plane.w;
        if (std::fabs(distance) > limit) {
            return false;
        }
        ptr = ptr->m_next;
    } while (ptr != edge);
    return true;
}

bool dgHalfEdgeMesh::IsBadMergeCorner(const dgHalfEdge* edge, dgVertexView vertices, const dgVector& n) {
    // Once edge and its twin are gone, the corner at A runs from P into F.
    const dgVector a = vertices.Point(edge->m_origin);
    const dgVector p = vertices.Point(edge->m_prev->m_origin);
    const dgVector f = vertices.Point(edge->m_twin->m_next->m_twin->m_origin);
    dgVector u = f.Sub(a);
    dgVector w = p.Sub(a);
    const dgFloat32 u2 = u.DotProduct(u);
    const dgFloat32 w2 = w.DotProduct(w);
    if (u2 < kMinNormal2 || w2 < kMinNormal2) {
        return false;
    }
    u = u.Scale(1.0f / std::sqrt(u2));
    w = w.Scale(1.0f / std::sqrt(w2));
    return u.CrossProduct(w).DotProduct(n) <= kMergeCornerSine;
}

bool dgHalfEdgeMesh::IsBadMergeEdge(const dgHalfEdge* edge, dgVertexView vertices, const dgVector& n) {
    return IsBadMergeCorner(edge, vertices, n) || IsBadMergeCorner(edge->m_twin, vertices, n);
}

void dgHalfEdgeMesh::FindUntriangulableFaces(dgList<dgHalfEdge*>& list, dgVertexView vertices) {
    dgHalfEdgeMesh copy(*this);
    dgEarHeap earHeap(kUntriangulableHeapEntries);
    const dgUnsigned32 mark = copy.IncrementMarkCounter();
    for (dgHalfEdgeNode* node = copy.GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_mark == mark || node->m_face < 0 || StampRing(node, mark) <= 3) {
            continue;
        }
        const dgEdgeKey seedKey = node->GetKey();
        dgHalfEdge* const left = copy.TriangulateFace(node, vertices, earHeap);
        earHeap.Reset();
        if (left == nullptr) {
            continue;
        }
        // The failing edge may be a diagonal cut in the copy only; the face's seed edge exists here.
        dgHalfEdge* const own = Find(seedKey);
        if (own == nullptr) {
            continue;
        }
        StampRing(own, mark);
        list.Append(own);
    }
    // Keep the stamp below this mesh's counter, so a later pass's fresh mark never equals it.
    if (m_markCounter < mark) {
        m_markCounter = mark;
    }
}
