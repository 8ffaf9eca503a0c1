#include "physics/collision/dgCollisionBox.h"

#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexEdgeTable.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"

#include <cmath>

namespace {

constexpr dgInt32 kBoxVertexCount = 8;
// Only the edges of the +z face and the four vertical edges: every plane that cuts a box crosses one.
constexpr dgInt32 kBoxCutStartEdges = 12;
constexpr dgInt32 kBoxCutSteps = 24;

const dgConvexEdgeTable& BoxEdges() {
    static constexpr dgInt32 kFaceSizes[6] = {4, 4, 4, 4, 4, 4};
    static constexpr dgInt32 kFaces[24] = {0, 4, 5, 1, 0, 1, 3, 2, 1, 5, 7, 3,
                                           5, 4, 6, 7, 4, 0, 2, 6, 6, 2, 3, 7};
    static const dgConvexEdgeTable table(6, kFaceSizes, kFaces);
    return table;
}

} // namespace

dgCollisionBox::dgCollisionBox(dgUnsigned32 signature, dgFloat32 x, dgFloat32 y, dgFloat32 z,
                               const dgMatrix& offset)
    : dgConvexCollision(signature, offset, kBoxCollision),
      m_halfExtents(std::fabs(x) * 0.5f, std::fabs(y) * 0.5f, std::fabs(z) * 0.5f, 1.0f) {
    for (dgInt32 k = 0; k < kBoxVertexCount; k++) {
        m_vertices[k] = dgVector((k & 1) ? -m_halfExtents.x : m_halfExtents.x,
                                 (k & 2) ? -m_halfExtents.y : m_halfExtents.y,
                                 (k & 4) ? -m_halfExtents.z : m_halfExtents.z, 1.0f);
    }
    const dgConvexEdgeTable& edges = BoxEdges();
    SetPolyhedron(m_vertices, kBoxVertexCount, edges.GetEdges(), edges.GetCount());
    SetVolumeAndCentre();
}

dgCollisionBox::~dgCollisionBox() {
    DetachPolyhedron();
}

dgUnsigned32 dgCollisionBox::GetTypeId() const {
    return dgCollisionBoxClassId;
}

bool dgCollisionBox::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionBoxClassId || dgConvexCollision::IsType(typeId);
}

void dgCollisionBox::SetCollisionBBox(const dgVector&, const dgVector&) {}

dgUnsigned32 dgCollisionBox::CalcSignature() const {
    const dgFloat32 half[3] = {m_halfExtents.x, m_halfExtents.y, m_halfExtents.z};
    return dgShapeSignature(kBoxCollision, half, 3, GetOffsetMatrix());
}

dgVector dgCollisionBox::SupportVertex(const dgVector& dir) const {
    return dgVector(dir.x < 0.0f ? -m_halfExtents.x : m_halfExtents.x,
                    dir.y < 0.0f ? -m_halfExtents.y : m_halfExtents.y,
                    dir.z < 0.0f ? -m_halfExtents.z : m_halfExtents.z, 0.0f);
}

void dgCollisionBox::CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const {
    const dgVector extent = PlacedHalfExtent(matrix, m_halfExtents);
    minOut = matrix.posit.Sub(extent);
    maxOut = matrix.posit.Add(extent);
}

dgFloat32 dgCollisionBox::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                  dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    struct FacePlane {
        dgInt32 axis;
        dgFloat32 sign;
    };
    static constexpr FacePlane kPlanes[6] = {{0, 1.0f},  {0, -1.0f}, {2, 1.0f},
                                             {2, -1.0f}, {1, 1.0f},  {1, -1.0f}};
    const dgVector segment = p1.Sub(p0);
    dgVector a = p0;
    dgVector b = p1;
    dgFloat32 best = 0.0f;
    bool hit = false;
    for (const FacePlane& plane : kPlanes) {
        const dgInt32 axis = plane.axis;
        const dgFloat32 h = m_halfExtents[axis] * plane.sign;
        const bool aOutside = plane.sign > 0.0f ? a[axis] >= h : a[axis] <= h;
        const bool bOutside = plane.sign > 0.0f ? b[axis] >= h : b[axis] <= h;
        if (aOutside && bOutside) {
            return kNoHit;
        }
        if (aOutside) {
            const dgFloat32 t = (h - p0[axis]) / segment[axis];
            if (t > best) {
                best = t;
                hit = true;
                dgVector normal(0.0f, 0.0f, 0.0f, 1.0f);
                normal[axis] = plane.sign;
                contactOut.m_normal = normal;
                contactOut.m_attribute = static_cast<dgInt64>(GetUserId());
            }
            a = p0.Add(segment.Scale(t));
            a[axis] = h;
        } else if (bOutside) {
            b = p0.Add(segment.Scale((h - p0[axis]) / segment[axis]));
            b[axis] = h;
        }
    }
    return hit ? best : kNoHit;
}

dgInt32 dgCollisionBox::CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                              dgVector* out) const {
    const dgPlane plane(normal, -normal.DotProduct(point));
    dgFloat32 d[kBoxVertexCount];
    for (dgInt32 i = 0; i < kBoxVertexCount; i++) {
        d[i] = plane.Evaluate(m_vertices[i]);
    }
    const dgConvexSimplexEdge* edges = GetEdges();
    const dgConvexSimplexEdge* first = nullptr;
    for (dgInt32 i = 0; i < kBoxCutStartEdges && first == nullptr; i++) {
        const dgConvexSimplexEdge* edge = &edges[i];
        if (d[edge->m_vertex] * d[edge->m_twin->m_vertex] < 0.0f) {
            first = d[edge->m_vertex] > 0.0f ? edge : edge->m_twin;
        }
    }
    if (first == nullptr) {
        return 0;
    }
    dgVector points[kBoxCutSteps];
    const dgInt32 count = WalkPlaneCut(first, d, true, points, kBoxCutSteps, false, kBoxCutSteps);
    for (dgInt32 i = 0; i < count && i < kMaxPlaneIntersectionPoints; i++) {
        out[i] = points[i];
    }
    return count < kMaxPlaneIntersectionPoints ? count : kMaxPlaneIntersectionPoints;
}
