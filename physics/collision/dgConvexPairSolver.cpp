#include "physics/collision/dgConvexPairSolver.h"

#include "physics/collision/dgIntersections.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgHeap.h"
#include "physics/dynamics/dgBody.h"

#include <array>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace {

constexpr dgFloat32 kDegenerateNormal2 = 1.0e-24f;
constexpr dgInt32 kMaxWalkIterations = 128;
constexpr dgInt32 kMaxContinuousIterations = 32;
constexpr dgInt32 kMaxClosestIterations = 128;
constexpr dgInt32 kMaxPairContacts = 16;
// Expansion stops with the best face at hand beyond these, well inside the tables.
constexpr dgInt32 kPointLimit = 123;
constexpr dgInt32 kHalfEdgeLimit = 502;
constexpr dgInt32 kPlaneLimit = 112;
constexpr dgInt32 kHeapLimit = 232;
constexpr dgInt32 kFallbackPointCount = 24;
constexpr dgInt32 kClipCapacity = 2 * dgConvexCollision::kMaxPlaneIntersectionPoints + 8;

// Starting simplex: a second and third point must span this much (squared edge cross product, then
// height off the first plane) or the next search direction is tried; smaller ones give no usable normal.
constexpr dgFloat32 kMinSimplexSpan = 1.0f / 512.0f;
// Tetrahedron walk: a face is the separating one once the support advances less than this; early
// iterations ask for more precision, later ones settle for less so that slow walks end.
constexpr dgInt32 kWalkPreciseIterations = 17;
constexpr dgFloat32 kWalkPreciseAdvance = 1.0e-6f;
constexpr dgFloat32 kWalkCoarseAdvance = 1.0e-4f;
// A small advance that lands on an existing corner (within this squared distance) is no progress.
constexpr dgFloat32 kWalkSmallAdvance = 1.0e-3f;
constexpr dgFloat32 kWalkSameCorner2 = 1.0e-6f;
// After the walk, a last face whose support still advances this much leaves the pair undecided.
constexpr dgFloat32 kWalkUndecidedAdvance = 1.0e-3f;
// Below any real face offset: the first candidate always replaces it.
constexpr dgFloat32 kNoFaceOffset = -1.0e10f;
// Polytope expansion stops once the best face's support advances less than this.
constexpr dgFloat32 kExpansionAdvance = 1.0f / 2048.0f;
// A plane that only grazes a shape is moved this far inside it so the cut has an area.
constexpr dgFloat32 kPlaneCutInset = 1.0f / 256.0f;
// Clipping: two side distances closer than this would divide by (nearly) zero; the step is clamped.
constexpr dgFloat32 kMinCrossingDen = 1.0e-10f;
// Contacts closer than this squared distance are one contact.
constexpr dgFloat32 kDistinctContact2 = 0.002f;
// Closest-point search: at this squared distance the shapes touch and no normal exists.
constexpr dgFloat32 kTouchingDistance2 = 1.0e-12f;
// A search direction this close to the previous one brings no new support point.
constexpr dgFloat32 kSameDirectionCos = 0.9995f;
// The closest-point search has converged once the support advances less than this.
constexpr dgFloat32 kClosestAdvance = 0.0005f;
// Keeps the time-to-face division finite for a face parallel to the motion.
constexpr dgFloat32 kParallelMotionEpsilon = 1.0e-24f;
// The time of impact is pushed this many steps of 1/speed past the face so the shapes overlap.
constexpr dgFloat32 kImpactOvershoot = 256.0f;

constexpr dgVector Unit(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    // Only 1/sqrt(3) and 1 occur: the table's entries are cube corners and axes.
    const dgFloat32 s = (x != 0.0f && y != 0.0f) ? 0.57735026918962576f : 1.0f;
    return dgVector(x * s, y * s, z * s, 0.0f);
}

constexpr std::array<dgVector, dgConvexPairSolver::kSearchDirections> kSearchTable = {
    Unit(1, -1, 1),  Unit(-1, -1, -1), Unit(1, -1, -1), Unit(-1, 1, 1), Unit(1, 1, -1),
    Unit(-1, 1, -1), Unit(-1, -1, 1),  Unit(1, 1, 1),   Unit(0, -1, 0), Unit(0, 1, 0),
    Unit(1, 0, 0),   Unit(-1, 0, 0),   Unit(0, 0, 1),   Unit(0, 0, -1),
};

// Faces of the starting tetrahedron (three corners, then the opposite one), wound outwards while the
// triple product of the tetrahedron is not positive.
constexpr dgInt32 kTetraFaces[4][4] = {{0, 1, 2, 3}, {1, 0, 3, 2}, {0, 2, 3, 1}, {2, 1, 3, 0}};

dgFloat32 Length2(const dgVector& v) {
    return v.DotProduct(v);
}

dgVector Negated(const dgVector& v) {
    return dgVector(-v.x, -v.y, -v.z, v.w);
}

const dgConvexCollision* AsConvex(const dgBody* body) {
    if (body == nullptr || body->m_collision == nullptr ||
        !body->m_collision->IsType(dgConvexCollisionClassId)) {
        return nullptr;
    }
    return static_cast<const dgConvexCollision*>(body->m_collision);
}

// Closest point of the simplex (segment, triangle) to the origin, with barycentric weights; the
// vertices that do not contribute are dropped.
struct Simplex {
    dgInt32 m_count = 0;
    dgInt32 m_index[4] = {};
    dgFloat32 m_weight[4] = {};
    dgVector m_closest;
};

void ReduceTo(Simplex& s, std::initializer_list<std::pair<dgInt32, dgFloat32>> kept) {
    dgInt32 index[4];
    dgFloat32 weight[4];
    dgInt32 n = 0;
    for (const auto& [slot, w] : kept) {
        index[n] = s.m_index[slot];
        weight[n] = w;
        n++;
    }
    for (dgInt32 i = 0; i < n; i++) {
        s.m_index[i] = index[i];
        s.m_weight[i] = weight[i];
    }
    s.m_count = n;
}

void ClosestOnSegment(Simplex& s, const dgVector* p) {
    const dgVector& a = p[s.m_index[0]];
    const dgVector& b = p[s.m_index[1]];
    const dgVector ab = b.Sub(a);
    const dgFloat32 den = Length2(ab);
    const dgFloat32 t = den > 0.0f ? -a.DotProduct(ab) / den : 0.0f;
    if (t <= 0.0f) {
        ReduceTo(s, {{0, 1.0f}});
        s.m_closest = a;
    } else if (t >= 1.0f) {
        ReduceTo(s, {{1, 1.0f}});
        s.m_closest = b;
    } else {
        ReduceTo(s, {{0, 1.0f - t}, {1, t}});
        s.m_closest = a.Add(ab.Scale(t));
    }
}

// Voronoi regions of the origin against triangle abc.
void ClosestOnTriangle(Simplex& s, const dgVector* p) {
    const dgVector& a = p[s.m_index[0]];
    const dgVector& b = p[s.m_index[1]];
    const dgVector& c = p[s.m_index[2]];
    const dgVector ab = b.Sub(a);
    const dgVector ac = c.Sub(a);
    const dgVector ap = Negated(a);
    const dgFloat32 d1 = ab.DotProduct(ap);
    const dgFloat32 d2 = ac.DotProduct(ap);
    if (d1 <= 0.0f && d2 <= 0.0f) {
        ReduceTo(s, {{0, 1.0f}});
        s.m_closest = a;
        return;
    }
    const dgVector bp = Negated(b);
    const dgFloat32 d3 = ab.DotProduct(bp);
    const dgFloat32 d4 = ac.DotProduct(bp);
    if (d3 >= 0.0f && d4 <= d3) {
        ReduceTo(s, {{1, 1.0f}});
        s.m_closest = b;
        return;
    }
    const dgFloat32 vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0f && d1 >= 0.0f && d3 <= 0.0f) {
        const dgFloat32 v = d1 / (d1 - d3);
        ReduceTo(s, {{0, 1.0f - v}, {1, v}});
        s.m_closest = a.Add(ab.Scale(v));
        return;
    }
    const dgVector cp = Negated(c);
    const dgFloat32 d5 = ab.DotProduct(cp);
    const dgFloat32 d6 = ac.DotProduct(cp);
    if (d6 >= 0.0f && d5 <= d6) {
        ReduceTo(s, {{2, 1.0f}});
        s.m_closest = c;
        return;
    }
    const dgFloat32 vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0f && d2 >= 0.0f && d6 <= 0.0f) {
        const dgFloat32 w = d2 / (d2 - d6);
        ReduceTo(s, {{0, 1.0f - w}, {2, w}});
        s.m_closest = a.Add(ac.Scale(w));
        return;
    }
    const dgFloat32 va = d3 * d6 - d5 * d4;
    if (va <= 0.0f && (d4 - d3) >= 0.0f && (d5 - d6) >= 0.0f) {
        const dgFloat32 w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        ReduceTo(s, {{1, 1.0f - w}, {2, w}});
        s.m_closest = b.Add(c.Sub(b).Scale(w));
        return;
    }
    const dgFloat32 sum = va + vb + vc;
    const dgFloat32 denom = sum != 0.0f ? 1.0f / sum : 0.0f;
    const dgFloat32 v = vb * denom;
    const dgFloat32 w = vc * denom;
    ReduceTo(s, {{0, 1.0f - v - w}, {1, v}, {2, w}});
    s.m_closest = a.Add(ab.Scale(v)).Add(ac.Scale(w));
}

// True when the origin lies inside the tetrahedron; otherwise the nearest face's answer.
bool ClosestOnTetrahedron(Simplex& s, const dgVector* p) {
    static constexpr dgInt32 kFaces[4][4] = {{0, 1, 2, 3}, {0, 3, 1, 2}, {0, 2, 3, 1}, {1, 3, 2, 0}};
    bool outside = false;
    Simplex best;
    dgFloat32 bestDist2 = 0.0f;
    for (const auto& f : kFaces) {
        const dgVector& a = p[s.m_index[f[0]]];
        const dgVector n = p[s.m_index[f[1]]].Sub(a).CrossProduct(p[s.m_index[f[2]]].Sub(a));
        const dgFloat32 sideOrigin = -n.DotProduct(a);
        const dgFloat32 sideOpposite = n.DotProduct(p[s.m_index[f[3]]].Sub(a));
        if (sideOrigin * sideOpposite >= 0.0f) {
            continue;
        }
        Simplex face;
        face.m_count = 3;
        face.m_index[0] = s.m_index[f[0]];
        face.m_index[1] = s.m_index[f[1]];
        face.m_index[2] = s.m_index[f[2]];
        ClosestOnTriangle(face, p);
        const dgFloat32 dist2 = Length2(face.m_closest);
        if (!outside || dist2 < bestDist2) {
            best = face;
            bestDist2 = dist2;
            outside = true;
        }
    }
    if (!outside) {
        return true;
    }
    s = best;
    return false;
}

} // namespace

void dgConvexPairSolver::InitSearchDirections() {}

const dgVector& dgConvexPairSolver::GetSearchDirection(dgInt32 index) {
    dgAssert(index >= 0 && index < kSearchDirections);
    return kSearchTable[static_cast<std::size_t>(index)];
}

dgConvexPairSolver::dgConvexPairSolver(const dgBody* body0, const dgBody* body1)
    : m_body0(body0), m_body1(body1), m_collision0(AsConvex(body0)), m_collision1(AsConvex(body1)) {
    dgAssert(m_collision0 != nullptr && m_collision1 != nullptr);
    m_global0 = body0->m_collisionMatrix;
    m_global1 = body1->m_collisionMatrix;
    m_matrix = m_global1.Multiply(m_global0.Inverse());
}

dgConvexPairSolver::dgConvexPairSolver(const dgBody* body0, const dgBody* body1,
                                       const dgConvexCollision* shape1)
    : m_body0(body0), m_body1(body1), m_collision0(AsConvex(body0)), m_collision1(shape1) {
    dgAssert(m_collision0 != nullptr && m_collision1 != nullptr);
    m_global0 = body0->m_collisionMatrix;
    m_global1 = body1->m_collisionMatrix;
    m_matrix = m_global1.Multiply(m_global0.Inverse());
}

void dgConvexPairSolver::SupportPoint(const dgVector& plane, dgInt32 index) {
    dgAssert(index >= 0 && index < kMaxPoints);
    const dgVector dir(plane.x, plane.y, plane.z, 0.0f);
    const dgVector p0 = m_collision0->SupportVertex(dir);
    dgVector dir1 = m_matrix.InverseRotateVector(Negated(dir));
    dir1.w = 0.0f;
    const dgVector p1 = m_matrix.TransformVector(m_collision1->SupportVertex(dir1));
    m_diff[index] = dgVector(p0.x - p1.x, p0.y - p1.y, p0.z - p1.z, p0.w);
    m_sum[index] = dgVector(p0.x + p1.x, p0.y + p1.y, p0.z + p1.z, p0.w);
}

void dgConvexPairSolver::CopyPoint(dgInt32 from, dgInt32 to) {
    m_diff[to] = m_diff[from];
    m_sum[to] = m_sum[from];
}

void dgConvexPairSolver::SwapPoints(dgInt32 a, dgInt32 b) {
    std::swap(m_diff[a], m_diff[b]);
    std::swap(m_sum[a], m_sum[b]);
}

dgFloat32 dgConvexPairSolver::TripleProduct() const {
    const dgVector e1 = m_diff[1].Sub(m_diff[0]);
    const dgVector e2 = m_diff[2].Sub(m_diff[0]);
    return m_diff[3].Sub(m_diff[0]).DotProduct(e1.CrossProduct(e2));
}

bool dgConvexPairSolver::ChooseStartPoints() {
    dgInt32 i = 1;
    for (; i < kSearchDirections; i++) {
        SupportPoint(kSearchTable[i], 1);
        if (Length2(m_diff[1].Sub(m_diff[0])) >= 1.0f / 128.0f) {
            break;
        }
    }
    const dgVector e1 = m_diff[1].Sub(m_diff[0]);
    for (i++; i < kSearchDirections; i++) {
        SupportPoint(kSearchTable[i], 2);
        if (Length2(e1.CrossProduct(m_diff[2].Sub(m_diff[0]))) >= kMinSimplexSpan) {
            break;
        }
    }
    const dgVector normal = e1.CrossProduct(m_diff[2].Sub(m_diff[0]));
    for (i++; i < kSearchDirections; i++) {
        SupportPoint(kSearchTable[i], 3);
        if (std::fabs(m_diff[3].Sub(m_diff[0]).DotProduct(normal)) >= kMinSimplexSpan) {
            return true;
        }
    }
    return false;
}

void dgConvexPairSolver::ChooseStartPointsByMaximum() {
    const dgInt32 spare = 4;
    dgFloat32 best = -1.0f;
    for (dgInt32 i = 1; i < kSearchDirections; i++) {
        SupportPoint(kSearchTable[i], spare);
        const dgFloat32 value = Length2(m_diff[spare].Sub(m_diff[0]));
        if (value > best) {
            best = value;
            CopyPoint(spare, 1);
        }
    }
    const dgVector e1 = m_diff[1].Sub(m_diff[0]);
    best = -1.0f;
    for (dgInt32 i = 1; i < kSearchDirections; i++) {
        SupportPoint(kSearchTable[i], spare);
        const dgFloat32 value = Length2(e1.CrossProduct(m_diff[spare].Sub(m_diff[0])));
        if (value > best) {
            best = value;
            CopyPoint(spare, 2);
        }
    }
    const dgVector normal = e1.CrossProduct(m_diff[2].Sub(m_diff[0]));
    best = -1.0f;
    for (dgInt32 i = 1; i < kSearchDirections; i++) {
        SupportPoint(kSearchTable[i], spare);
        const dgFloat32 value = std::fabs(m_diff[spare].Sub(m_diff[0]).DotProduct(normal));
        if (value > best) {
            best = value;
            CopyPoint(spare, 3);
        }
    }
}

void dgConvexPairSolver::LinkTetrahedron() {
    for (dgInt32 f = 0; f < 4; f++) {
        for (dgInt32 k = 0; k < 3; k++) {
            HalfEdge& edge = m_halfEdge[f * 3 + k];
            edge.m_vertex = kTetraFaces[f][k];
            edge.m_next = &m_halfEdge[f * 3 + (k + 1) % 3];
            edge.m_prev = &m_halfEdge[f * 3 + (k + 2) % 3];
            edge.m_twin = nullptr;
            edge.m_plane = f;
            edge.m_inHeap = false;
            edge.m_visible = false;
        }
    }
    for (dgInt32 i = 0; i < 12; i++) {
        HalfEdge& edge = m_halfEdge[i];
        for (dgInt32 j = 0; j < 12; j++) {
            const HalfEdge& other = m_halfEdge[j];
            if (other.m_vertex == edge.m_next->m_vertex && other.m_next->m_vertex == edge.m_vertex) {
                edge.m_twin = &m_halfEdge[j];
            }
        }
        dgAssert(edge.m_twin != nullptr);
    }
    m_halfEdgeCount = 12;
}

dgPlane dgConvexPairSolver::PlaneOfPoints(dgInt32 a, dgInt32 b, dgInt32 c) const {
    const dgVector n = m_diff[b].Sub(m_diff[a]).CrossProduct(m_diff[c].Sub(m_diff[a]));
    const dgFloat32 length2 = Length2(n);
    if (length2 <= kDegenerateNormal2) {
        return dgPlane(dgVector(0.0f, 0.0f, 0.0f, 0.0f), 0.0f);
    }
    const dgVector unit = n.Scale(1.0f / std::sqrt(length2));
    return dgPlane(unit, -unit.DotProduct(m_diff[a]));
}

dgConvexPairSolver::Face dgConvexPairSolver::TetrahedronFace(dgInt32 face) const {
    const dgInt32* v = kTetraFaces[face];
    return Face{PlaneOfPoints(v[0], v[1], v[2]), {v[0], v[1], v[2]}};
}

dgConvexPairSolver::WalkResult dgConvexPairSolver::BuildTetrahedron(const dgVector& point, Face& faceOut) {
    SupportPoint(kSearchTable[0], 0);
    if (!ChooseStartPoints()) {
        ChooseStartPointsByMaximum();
    }
    m_vertexCount = 4;
    if (TripleProduct() > 0.0f) {
        SwapPoints(1, 2);
    }
    LinkTetrahedron();
    return WalkTetrahedron(point, faceOut);
}

dgConvexPairSolver::WalkResult dgConvexPairSolver::WalkTetrahedron(const dgVector& point, Face& faceOut) {
    const dgInt32 spare = 4;
    dgInt32 face = -1;
    for (dgInt32 iteration = 0; iteration < kMaxWalkIterations; iteration++) {
        face = -1;
        Face best{};
        dgFloat32 bestDistance = 0.0f;
        for (dgInt32 f = 0; f < 4; f++) {
            const Face candidate = TetrahedronFace(f);
            if (Length2(candidate.m_plane) == 0.0f) {
                continue;
            }
            const dgFloat32 distance = candidate.m_plane.Evaluate(point);
            if (distance > bestDistance) {
                bestDistance = distance;
                best = candidate;
                face = f;
            }
        }
        if (face < 0) {
            return kInside;
        }
        SupportPoint(best.m_plane, spare);
        const dgFloat32 advance = best.m_plane.DotProduct(m_diff[spare].Sub(m_diff[best.m_vertex[0]]));
        const dgFloat32 tolerance =
            iteration < kWalkPreciseIterations ? kWalkPreciseAdvance : kWalkCoarseAdvance;
        if (advance < tolerance) {
            faceOut = best;
            return kOutside;
        }
        if (advance < kWalkSmallAdvance) {
            for (dgInt32 i = 0; i < 4; i++) {
                if (Length2(m_diff[spare].Sub(m_diff[i])) < kWalkSameCorner2) {
                    faceOut = best;
                    return kOutside;
                }
            }
        }
        // The new point replaces the corner behind the face; swapping two of the face's corners keeps
        // the winding outwards.
        CopyPoint(spare, kTetraFaces[face][3]);
        SwapPoints(kTetraFaces[face][0], kTetraFaces[face][1]);
        if (TripleProduct() > 0.0f) {
            SwapPoints(1, 2);
        }
    }
    if (face < 0) {
        return kInside;
    }
    const Face last = TetrahedronFace(face);
    if (Length2(last.m_plane) == 0.0f) {
        return kUndecided;
    }
    SupportPoint(last.m_plane, spare);
    if (last.m_plane.DotProduct(m_diff[spare].Sub(m_diff[last.m_vertex[0]])) >= kWalkUndecidedAdvance) {
        return kUndecided;
    }
    faceOut = last;
    return kOutside;
}

dgConvexPairSolver::HalfEdge* dgConvexPairSolver::NewHalfEdge() {
    HalfEdge* edge = m_freeHalfEdges;
    if (edge != nullptr) {
        m_freeHalfEdges = edge->m_next;
    } else {
        dgAssert(m_halfEdgeCount < kMaxHalfEdges);
        edge = &m_halfEdge[m_halfEdgeCount++];
    }
    edge->m_inHeap = false;
    edge->m_visible = false;
    return edge;
}

void dgConvexPairSolver::ReleaseHalfEdge(HalfEdge* edge) {
    edge->m_next = m_freeHalfEdges;
    m_freeHalfEdges = edge;
}

dgInt32 dgConvexPairSolver::NewPlane() {
    if (m_freePlaneCount > 0) {
        return m_freePlanes[--m_freePlaneCount];
    }
    dgAssert(m_planeCount < kMaxPlanes);
    return m_planeCount++;
}

dgConvexPairSolver::Face dgConvexPairSolver::FaceOf(const HalfEdge* edge) const {
    return Face{m_facePlane[edge->m_plane], {edge->m_vertex, edge->m_next->m_vertex, edge->m_prev->m_vertex}};
}

void dgConvexPairSolver::MarkFace(HalfEdge* edge, bool visible) {
    edge->m_visible = visible;
    edge->m_next->m_visible = visible;
    edge->m_prev->m_visible = visible;
}

dgInt32 dgConvexPairSolver::FloodVisibleFaces(HalfEdge* seen, dgInt32 point, HalfEdge** visible) {
    // Live faces never outnumber the planes, so the list cannot overflow.
    dgInt32 visibleCount = 0;
    MarkFace(seen, true);
    visible[visibleCount++] = seen;
    for (dgInt32 i = 0; i < visibleCount; i++) {
        HalfEdge* edge = visible[i];
        for (dgInt32 k = 0; k < 3; k++, edge = edge->m_next) {
            HalfEdge* twin = edge->m_twin;
            if (!twin->m_visible && visibleCount < kMaxPlanes &&
                m_facePlane[twin->m_plane].Evaluate(m_diff[point]) > 0.0f) {
                MarkFace(twin, true);
                visible[visibleCount++] = twin;
            }
        }
    }
    return visibleCount;
}

dgInt32 dgConvexPairSolver::TraceHorizon(HalfEdge* const* visible, dgInt32 visibleCount,
                                         HorizonEdge* horizonOut) const {
    HalfEdge* horizon[kMaxHorizon];
    dgInt32 horizonCount = 0;
    for (dgInt32 i = 0; i < visibleCount; i++) {
        HalfEdge* edge = visible[i];
        for (dgInt32 k = 0; k < 3; k++, edge = edge->m_next) {
            if (!edge->m_twin->m_visible) {
                if (horizonCount == kMaxHorizon) {
                    return 0;
                }
                horizon[horizonCount++] = edge;
            }
        }
    }
    if (horizonCount < 3) {
        return 0;
    }
    for (dgInt32 i = 0; i + 1 < horizonCount; i++) {
        const dgInt32 end = horizon[i]->m_next->m_vertex;
        dgInt32 found = -1;
        for (dgInt32 j = i + 1; j < horizonCount && found < 0; j++) {
            found = horizon[j]->m_vertex == end ? j : -1;
        }
        if (found < 0) {
            return 0;
        }
        std::swap(horizon[i + 1], horizon[found]);
    }
    if (horizon[horizonCount - 1]->m_next->m_vertex != horizon[0]->m_vertex) {
        return 0;
    }
    for (dgInt32 i = 0; i < horizonCount; i++) {
        horizonOut[i] = {horizon[i]->m_vertex, horizon[i]->m_next->m_vertex, horizon[i]->m_twin};
    }
    return horizonCount;
}

bool dgConvexPairSolver::RoomForFan(HalfEdge* const* visible, dgInt32 visibleCount, dgInt32 horizonCount,
                                    dgInt32 point, const FaceHeap& heap) const {
    // Three half-edges, a plane and a heap entry per horizon edge.
    dgInt32 freeEdges = kMaxHalfEdges - m_halfEdgeCount;
    for (const HalfEdge* e = m_freeHalfEdges; e != nullptr && freeEdges < 3 * kMaxHorizon; e = e->m_next) {
        freeEdges++;
    }
    for (dgInt32 i = 0; i < visibleCount; i++) {
        const HalfEdge* edge = visible[i];
        for (dgInt32 k = 0; k < 3; k++, edge = edge->m_next) {
            freeEdges += edge->m_inHeap ? 0 : 1;
        }
    }
    const dgInt32 freePlanes = kMaxPlanes - m_planeCount + m_freePlaneCount + visibleCount;
    return freeEdges >= 3 * horizonCount && freePlanes >= horizonCount &&
           heap.GetCount() + horizonCount <= kHeapCapacity && point < kMaxPoints;
}

void dgConvexPairSolver::RemoveFaces(HalfEdge* const* faces, dgInt32 faceCount) {
    for (dgInt32 i = 0; i < faceCount; i++) {
        m_freePlanes[m_freePlaneCount++] = faces[i]->m_plane;
        HalfEdge* faceEdges[3] = {faces[i], faces[i]->m_next, faces[i]->m_prev};
        for (HalfEdge* e : faceEdges) {
            e->m_plane = kRemovedPlane;
            e->m_visible = false;
            // A heap handle stays out of reuse until the heap lets go of it.
            if (!e->m_inHeap) {
                ReleaseHalfEdge(e);
            }
        }
    }
}

void dgConvexPairSolver::FanHorizonTo(dgInt32 point, const HorizonEdge* horizon, dgInt32 horizonCount,
                                      FaceHeap& heap) {
    // Face (a, b, point) for every horizon edge a-b.
    HalfEdge* toPoint[kMaxHorizon];
    HalfEdge* fromPoint[kMaxHorizon];
    for (dgInt32 i = 0; i < horizonCount; i++) {
        HalfEdge* base = NewHalfEdge();
        HalfEdge* up = NewHalfEdge();
        HalfEdge* down = NewHalfEdge();
        base->m_vertex = horizon[i].m_start;
        up->m_vertex = horizon[i].m_end;
        down->m_vertex = point;
        base->m_next = up;
        up->m_next = down;
        down->m_next = base;
        base->m_prev = down;
        up->m_prev = base;
        down->m_prev = up;
        base->m_twin = horizon[i].m_outside;
        horizon[i].m_outside->m_twin = base;
        const dgInt32 plane = NewPlane();
        m_facePlane[plane] = PlaneOfPoints(horizon[i].m_start, horizon[i].m_end, point);
        base->m_plane = plane;
        up->m_plane = plane;
        down->m_plane = plane;
        toPoint[i] = up;
        fromPoint[i] = down;
        if (Length2(m_facePlane[plane]) > 0.0f) {
            base->m_inHeap = true;
            heap.Push(base, m_facePlane[plane].w);
        }
    }
    for (dgInt32 i = 0; i < horizonCount; i++) {
        HalfEdge* next = fromPoint[(i + 1) % horizonCount];
        toPoint[i]->m_twin = next;
        next->m_twin = toPoint[i];
    }
}

bool dgConvexPairSolver::AddPolytopeVertex(HalfEdge* seen, dgInt32 point, FaceHeap& heap) {
    HalfEdge* visible[kMaxPlanes];
    const dgInt32 visibleCount = FloodVisibleFaces(seen, point, visible);
    HorizonEdge horizon[kMaxHorizon];
    const dgInt32 horizonCount = TraceHorizon(visible, visibleCount, horizon);
    if (horizonCount == 0 || !RoomForFan(visible, visibleCount, horizonCount, point, heap)) {
        for (dgInt32 i = 0; i < visibleCount; i++) {
            MarkFace(visible[i], false);
        }
        return false;
    }
    RemoveFaces(visible, visibleCount);
    m_vertexCount = point + 1;
    FanHorizonTo(point, horizon, horizonCount, heap);
    return true;
}

bool dgConvexPairSolver::ExpandPolytope(Face& faceOut) {
    FaceHeap::Entry entries[kHeapCapacity];
    FaceHeap heap(entries, kHeapCapacity);

    m_halfEdgeCount = 12;
    m_planeCount = 0;
    m_freePlaneCount = 0;
    m_freeHalfEdges = nullptr;
    for (dgInt32 f = 0; f < 4; f++) {
        HalfEdge* edge = &m_halfEdge[f * 3];
        const dgInt32 plane = NewPlane();
        m_facePlane[plane] = PlaneOfPoints(edge->m_vertex, edge->m_next->m_vertex, edge->m_prev->m_vertex);
        for (dgInt32 k = 0; k < 3; k++) {
            m_halfEdge[f * 3 + k].m_plane = plane;
            m_halfEdge[f * 3 + k].m_inHeap = false;
        }
        if (Length2(m_facePlane[plane]) > 0.0f) {
            edge->m_inHeap = true;
            heap.Push(edge, m_facePlane[plane].w);
        }
    }

    Face fallback{};
    bool haveFallback = false;
    dgFloat32 bestOffset = kNoFaceOffset;
    while (heap.GetCount() > 0) {
        HalfEdge* edge = heap.GetValue(0);
        heap.Pop();
        edge->m_inHeap = false;
        if (edge->m_plane == kRemovedPlane) {
            ReleaseHalfEdge(edge);
            continue;
        }
        const Face face = FaceOf(edge);
        const dgInt32 point = m_vertexCount;
        SupportPoint(face.m_plane, point);
        const dgFloat32 advance = face.m_plane.DotProduct(m_diff[point]) + face.m_plane.w;

        if (m_vertexCount > kFallbackPointCount && face.m_plane.w < 0.0f && face.m_plane.w >= bestOffset) {
            bestOffset = face.m_plane.w;
            fallback = face;
            haveFallback = true;
        }
        const bool limited = m_vertexCount > kPointLimit || m_halfEdgeCount > kHalfEdgeLimit ||
                             m_planeCount > kPlaneLimit || heap.GetCount() > kHeapLimit;
        if (limited) {
            faceOut = haveFallback ? fallback : face;
            return true;
        }
        if (advance < kExpansionAdvance) {
            faceOut = face;
            return true;
        }
        if (!AddPolytopeVertex(edge, point, heap)) {
            faceOut = haveFallback ? fallback : face;
            return true;
        }
    }
    return false;
}

dgInt32 dgConvexPairSolver::PlaneCut(const dgConvexCollision& shape, const dgVector& normal,
                                     const dgVector& point, const dgVector& supportDir, dgVector* out) const {
    dgInt32 count = shape.CalcPlaneIntersection(normal, point, out);
    if (count > 0) {
        return count;
    }
    // The plane misses the shape (it only touches or is a hair away): cut just inside the shape's
    // extreme point instead and carry the polygon back onto the plane.
    const dgVector inner = shape.SupportVertex(supportDir).Add(normal.Scale(kPlaneCutInset));
    count = shape.CalcPlaneIntersection(normal, dgVector(inner.x, inner.y, inner.z, 1.0f), out);
    for (dgInt32 i = 0; i < count; i++) {
        const dgFloat32 distance = normal.DotProduct(out[i].Sub(point));
        out[i] = out[i].Sub(normal.Scale(distance));
    }
    return count;
}

dgInt32 dgConvexPairSolver::ContactsFromFace(const Face& face, dgInt32 attribute, dgContactPoint* contacts,
                                             dgInt32 wanted) {
    const dgVector n(face.m_plane.x, face.m_plane.y, face.m_plane.z, 0.0f);
    const dgFloat32 depth = -face.m_plane.w;
    const dgVector planePoint = n.Scale(0.5f * n.DotProduct(m_sum[face.m_vertex[0]]));
    const dgVector point0(planePoint.x, planePoint.y, planePoint.z, 1.0f);

    dgVector polygon0[dgConvexCollision::kMaxPlaneIntersectionPoints];
    dgVector polygon1[dgConvexCollision::kMaxPlaneIntersectionPoints];
    const dgInt32 count0 = PlaneCut(*m_collision0, Negated(n), point0, n, polygon0);
    const dgVector n1 = m_matrix.InverseRotateVector(n);
    const dgVector normal1(n1.x, n1.y, n1.z, 0.0f);
    const dgVector point1 = m_matrix.InverseTransformVector(point0);
    const dgInt32 count1 = PlaneCut(*m_collision1, normal1, point1, Negated(normal1), polygon1);
    if (count0 == 0 || count1 == 0 || wanted <= 0) {
        return 0;
    }

    dgFloat32 penetration = depth - kPenetrationSkin;
    penetration = penetration > 0.0f ? penetration : 0.0f;
    // The face normal points from shape 0 into shape 1; contacts report the direction that separates
    // body 0, from body 1 towards body 0.
    dgVector normal = m_global0.RotateVector(Negated(n));
    normal.w = 1.0f;

    dgInt32 count = 0;
    if (count0 == 1 || count1 == 1 || (count0 == 2 && count1 == 2)) {
        dgVector point;
        if (count0 == 1) {
            point = m_global0.TransformVector(polygon0[0]);
        } else if (count1 == 1) {
            point = m_global1.TransformVector(polygon1[0]);
        } else {
            dgVector a;
            dgVector b;
            ClosestPointsOfSegments(
                m_global0.TransformVector(polygon0[0]), m_global0.TransformVector(polygon0[1]),
                m_global1.TransformVector(polygon1[0]), m_global1.TransformVector(polygon1[1]), a, b);
            point = a.Add(b).Scale(0.5f);
        }
        point.w = m_global0.posit.w;
        contacts[0].m_point = point;
        contacts[0].m_normal = normal;
        contacts[0].m_attribute = attribute;
        contacts[0].m_penetration = penetration;
        count = 1;
    } else {
        for (dgInt32 i = 0; i < count0; i++) {
            polygon0[i] = m_global0.TransformVector(polygon0[i]);
        }
        for (dgInt32 i = 0; i < count1; i++) {
            polygon1[i] = m_global1.TransformVector(polygon1[i]);
        }
        count = ClipPolygonContacts(normal, attribute, penetration, count0, polygon0, count1, polygon1,
                                    contacts, wanted);
    }
    return count;
}

dgInt32 dgConvexPairSolver::ClipPolygonContacts(const dgVector& normal, dgInt32 attribute,
                                                dgFloat32 penetration, dgInt32 count0,
                                                const dgVector* polygon0, dgInt32 count1,
                                                const dgVector* polygon1, dgContactPoint* contacts,
                                                dgInt32 wanted) {
    if ((count0 < 3 && count1 < 3) || wanted <= 0) {
        return 0;
    }
    const bool clipFirst = count0 < 3;
    const dgInt32 clipperCount = clipFirst ? count1 : count0;
    const dgVector* clipper = clipFirst ? polygon1 : polygon0;
    dgInt32 subjectCount = clipFirst ? count0 : count1;
    if (subjectCount > kClipCapacity / 2 || clipperCount > kClipCapacity / 2) {
        return 0;
    }
    dgVector buffers[2][kClipCapacity];
    dgVector* subject = buffers[0];
    dgVector* output = buffers[1];
    for (dgInt32 i = 0; i < subjectCount; i++) {
        subject[i] = clipFirst ? polygon0[i] : polygon1[i];
    }
    // Side planes must face out of the clipper whichever way the shape wound it.
    const dgVector winding = dgPlane::FromPolygon(clipperCount, clipper);
    const dgFloat32 side = winding.DotProduct(normal) >= 0.0f ? 1.0f : -1.0f;

    auto crossing = [](const dgVector& a, const dgVector& b, dgFloat32 da, dgFloat32 db) {
        dgFloat32 den = da - db;
        if (std::fabs(den) < kMinCrossingDen) {
            den = den < 0.0f ? -kMinCrossingDen : kMinCrossingDen;
        }
        return a.Add(b.Sub(a).Scale(da / den));
    };
    for (dgInt32 i = 0, prev = clipperCount - 1; i < clipperCount && subjectCount > 0; prev = i, i++) {
        const dgVector edge = clipper[i].Sub(clipper[prev]);
        const dgVector planeNormal = edge.CrossProduct(normal).Scale(side);
        const dgPlane plane(planeNormal, -planeNormal.DotProduct(clipper[prev]));
        dgInt32 outCount = 0;
        if (subjectCount == 2) {
            const dgFloat32 d0 = plane.Evaluate(subject[0]);
            const dgFloat32 d1 = plane.Evaluate(subject[1]);
            if (d0 > 0.0f && d1 > 0.0f) {
                subjectCount = 0;
                break;
            }
            if (d0 > 0.0f) {
                output[outCount++] = crossing(subject[0], subject[1], d0, d1);
                output[outCount++] = subject[1];
            } else {
                output[outCount++] = subject[0];
                output[outCount++] = d1 > 0.0f ? crossing(subject[0], subject[1], d0, d1) : subject[1];
            }
        } else {
            for (dgInt32 j = 0, k = subjectCount - 1; j < subjectCount; k = j, j++) {
                const dgFloat32 dk = plane.Evaluate(subject[k]);
                const dgFloat32 dj = plane.Evaluate(subject[j]);
                if ((dk > 0.0f) != (dj > 0.0f) && outCount < kClipCapacity) {
                    output[outCount++] = crossing(subject[k], subject[j], dk, dj);
                }
                if (dj <= 0.0f && outCount < kClipCapacity) {
                    output[outCount++] = subject[j];
                }
            }
            if (outCount < 3) {
                outCount = 0;
            }
        }
        subjectCount = outCount;
        std::swap(subject, output);
    }

    dgInt32 count = 0;
    for (dgInt32 i = 0; i < subjectCount && count < wanted; i++) {
        bool distinct = true;
        for (dgInt32 j = 0; j < count && distinct; j++) {
            distinct = Length2(contacts[j].m_point.Sub(subject[i])) >= kDistinctContact2;
        }
        if (distinct) {
            contacts[count].m_point = subject[i];
            contacts[count].m_normal = normal;
            contacts[count].m_attribute = attribute;
            contacts[count].m_penetration = penetration;
            count++;
        }
    }
    return count;
}

dgInt32 dgConvexPairSolver::CalculateContacts(dgContactPoint* contacts, dgInt32 attribute, dgInt32 wanted) {
    Face face;
    if (BuildTetrahedron(dgVector(0.0f, 0.0f, 0.0f, 0.0f), face) != kInside) {
        return 0;
    }
    if (!ExpandPolytope(face)) {
        return 0;
    }
    return ContactsFromFace(face, attribute, contacts, wanted);
}

bool dgConvexPairSolver::ClosestPoints(dgVector& point0Out, dgVector& point1Out, dgVector& normalOut) {
    Face face;
    if (BuildTetrahedron(dgVector(0.0f, 0.0f, 0.0f, 0.0f), face) != kOutside) {
        return false;
    }
    // The simplex lives in slots 0..4; a new point takes a slot the simplex does not use.
    Simplex simplex;
    simplex.m_count = 3;
    for (dgInt32 i = 0; i < 3; i++) {
        simplex.m_index[i] = face.m_vertex[i];
    }
    ClosestOnTriangle(simplex, m_diff);
    dgVector previous(0.0f, 0.0f, 0.0f, 0.0f);
    for (dgInt32 iteration = 0; iteration < kMaxClosestIterations; iteration++) {
        const dgFloat32 distance2 = Length2(simplex.m_closest);
        if (distance2 < kTouchingDistance2) {
            return false;
        }
        const dgVector dir = Negated(simplex.m_closest).Scale(1.0f / std::sqrt(distance2));
        dgFloat32 advance = 0.0f;
        dgInt32 slot = 0;
        if (dir.DotProduct(previous) < kSameDirectionCos) {
            for (dgInt32 i = 0; i < simplex.m_count; i++) {
                if (simplex.m_index[i] == slot) {
                    slot++;
                    i = -1;
                }
            }
            SupportPoint(dir, slot);
            advance = m_diff[slot].Sub(simplex.m_closest).DotProduct(dir);
        }
        if (advance < kClosestAdvance) {
            dgVector p0(0.0f, 0.0f, 0.0f, 0.0f);
            dgVector p1(0.0f, 0.0f, 0.0f, 0.0f);
            for (dgInt32 i = 0; i < simplex.m_count; i++) {
                const dgInt32 k = simplex.m_index[i];
                const dgFloat32 w = 0.5f * simplex.m_weight[i];
                p0 = p0.Add(m_sum[k].Add(m_diff[k]).Scale(w));
                p1 = p1.Add(m_sum[k].Sub(m_diff[k]).Scale(w));
            }
            point0Out = m_global0.TransformVector(p0);
            point1Out = m_global0.TransformVector(p1);
            normalOut = m_global0.RotateVector(dir);
            normalOut.w = 0.0f;
            return true;
        }
        previous = dir;
        simplex.m_index[simplex.m_count++] = slot;
        if (simplex.m_count == 4) {
            if (ClosestOnTetrahedron(simplex, m_diff)) {
                return false;
            }
        } else if (simplex.m_count == 3) {
            ClosestOnTriangle(simplex, m_diff);
        } else {
            ClosestOnSegment(simplex, m_diff);
        }
    }
    return false;
}

dgInt32 dgConvexPairSolver::CalculateContinuousContacts(dgFloat32& timeStep, dgContactPoint* contacts,
                                                        dgInt32 attribute, dgInt32 wanted) {
    Face face;
    const WalkResult start = BuildTetrahedron(dgVector(0.0f, 0.0f, 0.0f, 0.0f), face);
    if (start == kInside) {
        return ExpandPolytope(face) ? ContactsFromFace(face, attribute, contacts, wanted) : 0;
    }
    if (start != kOutside) {
        return 0;
    }
    const dgFloat32 maxTime = timeStep;
    dgVector veloc0;
    dgVector omega0;
    dgVector veloc1;
    dgVector omega1;
    m_body0->IntegrateVelocity(maxTime, veloc0, omega0);
    m_body1->IntegrateVelocity(maxTime, veloc1, omega1);
    dgVector v = m_global0.InverseRotateVector(veloc1.Sub(veloc0));
    v.w = 0.0f;

    // The origin travels along v relative to the difference; each separating face bounds the time
    // at which it can cross into it.
    auto timeToFace = [&v](const Face& f) {
        return -f.m_plane.w / (f.m_plane.DotProduct(v) + kParallelMotionEpsilon);
    };
    dgFloat32 time = timeToFace(face);
    dgFloat32 previous = 0.0f;
    for (dgInt32 i = 0; i < kMaxContinuousIterations && time < maxTime && time > previous; i++) {
        previous = time;
        Face next;
        if (WalkTetrahedron(v.Scale(time), next) != kOutside) {
            break;
        }
        face = next;
        time = timeToFace(face);
    }
    if (!(time < maxTime) || !(time > 0.0f)) {
        return 0;
    }

    const dgFloat32 speed = std::sqrt(Length2(v));
    const dgVector travel = v.Scale(time + 1.0f / (kImpactOvershoot * speed));
    for (dgInt32 k = 0; k < 3; k++) {
        const dgInt32 index = face.m_vertex[k];
        m_diff[index] = m_diff[index].Sub(travel);
        m_sum[index] = m_sum[index].Add(travel);
    }
    Face impact{PlaneOfPoints(face.m_vertex[0], face.m_vertex[1], face.m_vertex[2]),
                {face.m_vertex[0], face.m_vertex[1], face.m_vertex[2]}};
    if (impact.m_plane.DotProduct(v) > 0.0f) {
        impact.m_plane = dgPlane(Negated(impact.m_plane), -impact.m_plane.w);
        std::swap(impact.m_vertex[1], impact.m_vertex[2]);
    }
    // Shape 1 as it stands at the time of impact, in the solver's copies only.
    const dgVector worldTravel = m_global0.RotateVector(travel);
    m_matrix.posit = m_matrix.posit.Add(travel);
    m_global1.posit = m_global1.posit.Add(worldTravel);
    const dgInt32 count = ContactsFromFace(impact, attribute, contacts, wanted);
    const dgVector halfBack = worldTravel.Scale(0.5f);
    for (dgInt32 i = 0; i < count; i++) {
        contacts[i].m_point = contacts[i].m_point.Sub(halfBack);
    }
    timeStep = time;
    return count;
}

dgInt32 GenericConvexContacts(const dgBody* body0, const dgBody* body1, dgContactPoint* contacts) {
    if (AsConvex(body0) == nullptr || AsConvex(body1) == nullptr || contacts == nullptr) {
        return 0;
    }
    dgConvexPairSolver solver(body0, body1);
    return solver.CalculateContacts(contacts, 0, kMaxPairContacts);
}

dgInt32 ContinuousConvexContacts(dgFloat32& timeStep, const dgBody* body0, const dgBody* body1,
                                 dgContactPoint* contacts) {
    if (AsConvex(body0) == nullptr || AsConvex(body1) == nullptr || contacts == nullptr) {
        return 0;
    }
    dgConvexPairSolver solver(body0, body1);
    return solver.CalculateContinuousContacts(timeStep, contacts, 0, kMaxPairContacts);
}

bool ConvexClosestPoints(const dgBody* body0, const dgBody* body1, dgVector& point0Out, dgVector& point1Out,
                         dgVector& normalOut) {
    if (AsConvex(body0) == nullptr || AsConvex(body1) == nullptr) {
        return false;
    }
    dgConvexPairSolver solver(body0, body1);
    return solver.ClosestPoints(point0Out, point1Out, normalOut);
}
