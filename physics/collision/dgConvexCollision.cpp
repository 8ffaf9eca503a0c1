#include "physics/collision/dgConvexCollision.h"

#include "physics/collision/dgInlineArray.h"
#include "physics/collision/dgPolyhedraMassIntegrator.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgHeap.h"

#include <cmath>
#include <utility>

namespace {

// Room kept on the stack by the face passes; larger shapes borrow engine memory.
constexpr dgInt32 kInlineEdges = 256;
constexpr dgInt32 kInlineVertices = 128;

constexpr dgInt32 kSupportTests = 128;
constexpr dgInt32 kCutThinningCount = 64;
constexpr dgInt32 kCutSteps = 512;
constexpr dgFloat32 kCutMerge2 = 1.0e-8f;

dgFloat32 Distance2(const dgVector& a, const dgVector& b) {
    const dgVector d = a.Sub(b);
    return d.DotProduct(d);
}

} // namespace

dgConvexCollision::dgConvexCollision(dgUnsigned32 signature, const dgMatrix& offset, dgCollisionType type)
    : dgCollision(signature, offset, type), m_centreAndVolume(0.0f, 0.0f, 0.0f, 1.0f), m_vertex(nullptr),
      m_simplex(nullptr), m_supportStart{}, m_edgeCount(0), m_vertexCount(0), m_userId(0),
      m_boxSize(0.0f, 0.0f, 0.0f, 1.0f), m_boxOrigin(0.0f, 0.0f, 0.0f, 1.0f), m_ownsPolyhedron(true) {}

dgConvexCollision::~dgConvexCollision() {
    if (m_ownsPolyhedron) {
        dgFree(m_vertex);
        dgFree(m_simplex);
    }
}

dgUnsigned32 dgConvexCollision::GetTypeId() const {
    return dgConvexCollisionClassId;
}

bool dgConvexCollision::IsType(dgUnsigned32 typeId) const {
    return typeId == dgConvexCollisionClassId || dgCollision::IsType(typeId);
}

void dgConvexCollision::SetCollisionBBox(const dgVector&, const dgVector&) {}

std::uintptr_t dgConvexCollision::GetUserId() const {
    return m_userId;
}

void dgConvexCollision::SetUserId(std::uintptr_t userId) {
    m_userId = userId;
}

dgFloat32 dgConvexCollision::GetAngularStep(dgFloat32 radius) {
    const dgFloat32 steps = std::floor(256.0f * radius);
    const dgFloat32 n = steps < 128.0f ? 128.0f : (steps > 1024.0f ? 1024.0f : steps);
    // NaN radii fall through both tests above; keep the coarsest step for them.
    return 6.28318f / (n == n ? n : 128.0f);
}

bool dgConvexCollision::SetPolyhedron(dgVector* vertices, dgInt32 vertexCount, dgConvexSimplexEdge* edges,
                                      dgInt32 edgeCount) {
    if (vertexCount < 0 || vertexCount > kMaxEdgeCount || edgeCount < 0 || edgeCount > kMaxEdgeCount) {
        return false;
    }
    m_vertex = vertices;
    m_simplex = edges;
    m_vertexCount = static_cast<dgUnsigned16>(vertexCount);
    m_edgeCount = static_cast<dgUnsigned16>(edgeCount);
    return true;
}

bool dgConvexCollision::SetBorrowedPolyhedron(dgVector* vertices, dgInt32 vertexCount,
                                              dgConvexSimplexEdge* edges, dgInt32 edgeCount) {
    m_ownsPolyhedron = false;
    return SetPolyhedron(vertices, vertexCount, edges, edgeCount);
}

void dgConvexCollision::DetachPolyhedron() {
    m_vertex = nullptr;
    m_simplex = nullptr;
}

const dgConvexSimplexEdge* dgConvexCollision::ClimbToSupport(const dgConvexSimplexEdge* edge,
                                                             const dgVector& dir, dgInt32 maxTests) const {
    dgFloat32 best = dir.DotProduct(m_vertex[edge->m_vertex]);
    const dgConvexSimplexEdge* ptr = edge;
    dgInt32 tests = 0;
    do {
        const dgConvexSimplexEdge* twin = ptr->m_twin;
        const dgFloat32 value = dir.DotProduct(m_vertex[twin->m_vertex]);
        tests++;
        if (value > best) {
            // Move to the neighbour and walk round it, starting after the edge back to where we came from.
            best = value;
            edge = twin;
            ptr = twin->m_twin->m_next;
        } else {
            ptr = twin->m_next;
        }
    } while (ptr != edge && tests < maxTests);
    return edge;
}

dgVector dgConvexCollision::SupportVertex(const dgVector& dir) const {
    if (m_vertexCount == 0 || m_edgeCount == 0) {
        return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
    }
    const dgConvexSimplexEdge* start = m_simplex;
    dgFloat32 best = 0.0f;
    const dgFloat32 components[6] = {dir.x, -dir.x, dir.y, -dir.y, dir.z, -dir.z};
    for (dgInt32 i = 0; i < 6; i++) {
        if (components[i] > best && m_supportStart[i] != nullptr) {
            best = components[i];
            start = m_supportStart[i];
        }
    }
    return m_vertex[ClimbToSupport(start, dir, kSupportTests)->m_vertex];
}

void dgConvexCollision::SetVolumeAndCentre() {
    if (m_vertexCount == 0 || m_edgeCount == 0) {
        return;
    }
    dgPolyhedraMassIntegrator integrator;
    dgInlineArray<dgUnsigned8, kInlineEdges> visited(m_edgeCount);
    dgInlineArray<dgVector, kInlineEdges> face(m_edgeCount);
    for (dgInt32 i = 0; i < m_edgeCount; i++) {
        visited[i] = 0;
    }
    for (dgInt32 i = 0; i < m_edgeCount; i++) {
        if (visited[i]) {
            continue;
        }
        dgInt32 count = 0;
        const dgConvexSimplexEdge* ptr = &m_simplex[i];
        do {
            visited[static_cast<dgInt32>(ptr - m_simplex)] = 1;
            face[count++] = m_vertex[ptr->m_vertex];
            ptr = ptr->m_next;
        } while (ptr != &m_simplex[i] && count < m_edgeCount);
        if (count >= 3) {
            integrator.AddFaceVolume(count, dgPlane::FromPolygon(count, face.GetData()), face.GetData());
        }
    }
    const dgFloat32 volume = static_cast<dgFloat32>(integrator.GetT0());
    const dgFloat32 scale = 0.5f / dgMax(volume, 0.001f);
    m_centreAndVolume = integrator.GetT1().Scale(scale);
    m_centreAndVolume.w = volume;

    for (dgInt32 axis = 0; axis < 3; axis++) {
        dgVector dir(0.0f, 0.0f, 0.0f, 0.0f);
        dir[axis] = 1.0f;
        m_supportStart[2 * axis] = ClimbToSupport(m_simplex, dir, INT32_MAX);
        dir[axis] = -1.0f;
        m_supportStart[2 * axis + 1] = ClimbToSupport(m_simplex, dir, INT32_MAX);
    }

    dgVector boxMin(0.0f, 0.0f, 0.0f, 1.0f);
    dgVector boxMax(0.0f, 0.0f, 0.0f, 1.0f);
    for (dgInt32 axis = 0; axis < 3; axis++) {
        dgVector dir(0.0f, 0.0f, 0.0f, 0.0f);
        dir[axis] = -1.0f;
        boxMin[axis] = SupportVertex(dir)[axis];
        dir[axis] = 1.0f;
        boxMax[axis] = SupportVertex(dir)[axis];
    }
    m_boxSize = boxMax.Sub(boxMin).Scale(0.5f);
    m_boxSize.w = 1.0f;
    m_boxOrigin = boxMax.Add(boxMin).Scale(0.5f);
    m_boxOrigin.w = 1.0f;
}

void dgConvexCollision::CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const {
    const dgVector centre = matrix.TransformVector(m_boxOrigin);
    const dgVector extent = PlacedHalfExtent(matrix, m_boxSize);
    minOut = centre.Sub(extent);
    maxOut = centre.Add(extent);
}

void dgConvexCollision::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    if (m_vertexCount == 0 || m_edgeCount == 0) {
        return;
    }
    const dgMatrix matrix = GetOffsetMatrix().Multiply(bodyMatrix);
    dgInlineArray<dgVector, kInlineVertices> placed(m_vertexCount);
    for (dgInt32 i = 0; i < m_vertexCount; i++) {
        placed[i] = matrix.TransformVector(m_vertex[i]);
    }
    dgInlineArray<dgUnsigned8, kInlineEdges> visited(m_edgeCount);
    dgInlineArray<dgFloat32, 3 * kInlineEdges> points(3 * m_edgeCount);
    for (dgInt32 i = 0; i < m_edgeCount; i++) {
        visited[i] = 0;
    }
    for (dgInt32 i = 0; i < m_edgeCount; i++) {
        if (visited[i]) {
            continue;
        }
        dgInt32 count = 0;
        const dgConvexSimplexEdge* ptr = &m_simplex[i];
        do {
            visited[static_cast<dgInt32>(ptr - m_simplex)] = 1;
            const dgVector& p = placed[ptr->m_vertex];
            points[3 * count + 0] = p.x;
            points[3 * count + 1] = p.y;
            points[3 * count + 2] = p.z;
            count++;
            ptr = ptr->m_next;
        } while (ptr != &m_simplex[i] && count < m_edgeCount);
        callback(body, count, points.GetData(), 0);
    }
}

dgInt32 dgConvexCollision::WalkPlaneCut(const dgConvexSimplexEdge* first, const dgFloat32* distances,
                                        bool strict, dgVector* out, dgInt32 capacity, bool thin,
                                        dgInt32 maxSteps) const {
    auto above = [&](dgInt32 vertex) {
        const dgFloat32 d = distances[vertex];
        return strict ? d > 0.0f : d >= 0.0f;
    };
    dgInt32 count = 0;
    const dgConvexSimplexEdge* edge = first;
    for (dgInt32 step = 0; step < maxSteps; step++) {
        const dgInt32 a = edge->m_vertex;
        const dgInt32 b = edge->m_twin->m_vertex;
        const dgFloat32 da = distances[a];
        dgVector p = m_vertex[a];
        if (da != 0.0f) {
            p = p.Add(m_vertex[b].Sub(m_vertex[a]).Scale(da / (da - distances[b])));
        }
        p.w = 1.0f;
        if (count == 0 || Distance2(p, out[count - 1]) >= kCutMerge2) {
            out[count++] = p;
            if (count == capacity) {
                if (!thin) {
                    break;
                }
                for (dgInt32 i = 0; 2 * i < count; i++) {
                    out[i] = out[2 * i];
                }
                count /= 2;
            }
        }
        // Along the face past the crossing, the first edge that climbs back above the plane: its twin
        // is the crossing of the next face.
        const dgConvexSimplexEdge* ptr = edge->m_next;
        for (dgInt32 guard = 0; !above(ptr->m_twin->m_vertex) && guard < m_edgeCount; guard++) {
            ptr = ptr->m_next;
        }
        edge = ptr->m_twin;
        if (edge == first) {
            break;
        }
    }
    if (count >= 2 && Distance2(out[count - 1], out[0]) < kCutMerge2) {
        count--;
    }
    return count;
}

dgInt32 dgConvexCollision::CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                                 dgVector* out) const {
    if (m_vertexCount == 0 || m_edgeCount == 0) {
        return 0;
    }
    const dgPlane plane(normal, -normal.DotProduct(point));
    dgInlineArray<dgFloat32, kInlineVertices> d(m_vertexCount);
    for (dgInt32 i = 0; i < m_vertexCount; i++) {
        d[i] = plane.Evaluate(m_vertex[i]);
    }

    dgInt32 axis = 0;
    for (dgInt32 i = 1; i < 3; i++) {
        if (std::fabs(normal[i]) > std::fabs(normal[axis])) {
            axis = i;
        }
    }
    const dgConvexSimplexEdge* plus = m_supportStart[2 * axis];
    const dgConvexSimplexEdge* minus = m_supportStart[2 * axis + 1];
    if (plus == nullptr || minus == nullptr) {
        return 0;
    }
    const dgConvexSimplexEdge* edge =
        std::fabs(d[plus->m_vertex]) < std::fabs(d[minus->m_vertex]) ? plus : minus;
    dgFloat32 dv = d[edge->m_vertex];
    if (!(dv != 0.0f)) {
        return 0;
    }

    // Descend (or climb) towards the plane until a neighbour lies on its other side.
    const bool below = dv < 0.0f;
    const dgConvexSimplexEdge* crossing = nullptr;
    for (dgInt32 tests = 0; crossing == nullptr && tests < 4 * m_edgeCount;) {
        bool moved = false;
        const dgConvexSimplexEdge* ptr = edge;
        do {
            const dgConvexSimplexEdge* twin = ptr->m_twin;
            const dgFloat32 du = d[twin->m_vertex];
            tests++;
            if (below ? du >= 0.0f : du < 0.0f) {
                crossing = below ? twin : ptr;
                break;
            }
            if (below ? du > dv : du < dv) {
                edge = twin;
                dv = du;
                moved = true;
                break;
            }
            ptr = twin->m_next;
        } while (ptr != edge);
        if (!moved && crossing == nullptr) {
            return 0;
        }
    }
    if (crossing == nullptr) {
        return 0;
    }

    dgVector points[kCutThinningCount];
    dgInt32 count = WalkPlaneCut(crossing, d.GetData(), false, points, kCutThinningCount, true, kCutSteps);
    if (count > kMaxPlaneIntersectionPoints) {
        count = ReducePolygon(count, normal, points, kMaxPlaneIntersectionPoints);
    }
    for (dgInt32 i = 0; i < count; i++) {
        out[i] = points[i];
    }
    return count;
}

dgInt32 dgConvexCollision::ReducePolygon(dgInt32 count, const dgVector& normal, dgVector* points,
                                         dgInt32 maxCount) {
    using Heap = dgMinHeap<dgFloat32, dgInt32>;
    constexpr dgInt32 kInlineHeap = 256;
    if (maxCount < 0) {
        maxCount = 0;
    }
    dgInlineArray<Heap::Entry, kInlineHeap> entries(count);
    dgInlineArray<dgUnsigned8, kInlineHeap> marked(count);
    while (count > maxCount) {
        Heap heap(entries.GetData(), count);
        for (dgInt32 i = 0; i < count; i++) {
            const dgVector& prev = points[i == 0 ? count - 1 : i - 1];
            const dgVector& next = points[i + 1 == count ? 0 : i + 1];
            const dgFloat32 area =
                std::fabs(points[i].Sub(prev).CrossProduct(next.Sub(prev)).DotProduct(normal));
            heap.Push(i, area);
            marked[i] = 0;
        }
        dgInt32 toMark = count - maxCount;
        while (toMark > 0 && heap.GetCount() != 0) {
            const dgInt32 i = heap.GetValue(0);
            heap.Pop();
            const dgInt32 prev = i == 0 ? count - 1 : i - 1;
            const dgInt32 next = i + 1 == count ? 0 : i + 1;
            if (!marked[prev] && !marked[next]) {
                marked[i] = 1;
                toMark--;
            }
        }
        dgInt32 kept = 0;
        for (dgInt32 i = 0; i < count; i++) {
            if (!marked[i]) {
                points[kept++] = points[i];
            }
        }
        count = kept;
    }
    return count;
}
