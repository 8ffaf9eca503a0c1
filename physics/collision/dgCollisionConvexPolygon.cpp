#include "physics/collision/dgCollisionConvexPolygon.h"

#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgIntersections.h"
#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgBody.h"

#include <cmath>

namespace {

constexpr dgUnsigned32 kProxySignature = 0x12341234u;
// Nearest-point search starts beyond any real distance.
constexpr dgFloat32 kFarAway2 = 1.0e20f;
constexpr dgFloat32 kParallelDot = 0.9999f;
constexpr dgFloat32 kCrossingTolerance = 1.0e-8f;
constexpr dgFloat32 kSamePoint2 = 1.0e-8f;

dgVector PointW1(const dgVector& v) {
    return dgVector(v.x, v.y, v.z, 1.0f);
}

dgVector DirectionW0(const dgVector& v) {
    return dgVector(v.x, v.y, v.z, 0.0f);
}

// The shape's farthest point along the soup-space direction, in soup space.
dgVector PlacedSupport(const dgConvexCollision& shape, const dgMatrix& matrix, const dgVector& dir) {
    return matrix.TransformVector(shape.SupportVertex(DirectionW0(matrix.InverseRotateVector(dir))));
}

} // namespace

dgCollisionPolygonalSoup::dgCollisionConvexPolygon::dgCollisionConvexPolygon()
    : dgConvexCollision(kProxySignature, dgGetIdentityMatrix(), kConvexPolygonCollision), m_normal(),
      m_localPoly(), m_count(0), m_stride(0), m_index(nullptr), m_vertex(nullptr) {}

dgUnsigned32 dgCollisionPolygonalSoup::dgCollisionConvexPolygon::GetTypeId() const {
    return dgCollisionConvexPolygonClassId;
}

bool dgCollisionPolygonalSoup::dgCollisionConvexPolygon::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionConvexPolygonClassId || dgConvexCollision::IsType(typeId);
}

void dgCollisionPolygonalSoup::dgCollisionConvexPolygon::SetCollisionBBox(const dgVector&, const dgVector&) {}

dgFloat32 dgCollisionPolygonalSoup::dgCollisionConvexPolygon::RayCast(const dgVector&, const dgVector&,
                                                                      dgContactPoint&, dgRayCastPrefilter,
                                                                      dgBody*, void*) const {
    return kNoHit;
}

dgFloat32 dgCollisionPolygonalSoup::dgCollisionConvexPolygon::GetVolume() const {
    return 0.0f;
}

void dgCollisionPolygonalSoup::dgCollisionConvexPolygon::CalcInertia(dgVector& inertiaOut,
                                                                     dgVector& centreOut) const {
    ZeroInertia(inertiaOut, centreOut);
}

dgUnsigned32 dgCollisionPolygonalSoup::dgCollisionConvexPolygon::CalcSignature() const {
    return kProxySignature;
}

dgVector dgCollisionPolygonalSoup::dgCollisionConvexPolygon::SupportVertex(const dgVector& dir) const {
    if (m_count == 0) {
        return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
    }
    return m_localPoly[FurthestAlong(m_localPoly, m_count, dir)];
}

dgInt32 dgCollisionPolygonalSoup::dgCollisionConvexPolygon::CalcPlaneIntersection(const dgVector& normal,
                                                                                  const dgVector& point,
                                                                                  dgVector* out) const {
    if (m_count < 3) {
        return 0;
    }
    if (std::fabs(normal.DotProduct(m_normal)) >= kParallelDot) {
        return WholeFace(out);
    }
    dgInt32 count = 0;
    bool allBelow = true;
    dgVector p0 = m_localPoly[m_count - 1];
    dgFloat32 d0 = normal.DotProduct(p0.Sub(point));
    for (dgInt32 i = 0; i < m_count && count < kMaxPlaneIntersectionPoints; i++) {
        const dgVector& p1 = m_localPoly[i];
        const dgFloat32 d1 = normal.DotProduct(p1.Sub(point));
        const bool above0 = d0 > -kCrossingTolerance;
        const bool above1 = d1 > -kCrossingTolerance;
        allBelow = allBelow && !above1;
        if (above0 != above1) {
            const dgFloat32 t = d0 / (d0 - d1);
            out[count++] = PointW1(p0.Add(p1.Sub(p0).Scale(t)));
        }
        p0 = p1;
        d0 = d1;
    }
    // A slightly bent face (merged from nearly coplanar triangles) can lie wholly past a plane that is
    // almost parallel to it: all of it is then in the overlap, not none of it.
    if (count == 0 && allBelow && std::fabs(normal.DotProduct(m_normal)) >= kFaceDot) {
        return WholeFace(out);
    }
    if (count >= 2) {
        const dgVector d = out[count - 1].Sub(out[0]);
        if (d.DotProduct(d) < kSamePoint2) {
            count--;
        }
    }
    return count;
}

dgInt32 dgCollisionPolygonalSoup::dgCollisionConvexPolygon::WholeFace(dgVector* out) const {
    // The caller's buffer holds kMaxPlaneIntersectionPoints: a larger face loses its flattest corners.
    dgVector face[kMaxVertices];
    for (dgInt32 i = 0; i < m_count; i++) {
        face[i] = m_localPoly[i];
    }
    const dgInt32 count = ReducePolygon(m_count, m_normal, face, kMaxPlaneIntersectionPoints);
    for (dgInt32 i = 0; i < count; i++) {
        out[i] = face[i];
    }
    return count;
}

void dgCollisionPolygonalSoup::dgCollisionConvexPolygon::SetFace(const dgFloat32* vertices, dgInt32 strideBytes,
                                                                 const dgInt32* indices, dgInt32 indexCount) {
    m_vertex = vertices;
    m_stride = strideBytes / static_cast<dgInt32>(sizeof(dgFloat32));
    m_index = indices;
    m_count = indexCount;
}

bool dgCollisionPolygonalSoup::dgCollisionConvexPolygon::HasUsableFace() const {
    // The vertex room holds kMaxVertices; fewer than three vertices make no plane.
    return m_vertex != nullptr && m_index != nullptr && m_stride >= 3 && m_count >= 3 && m_count <= kMaxVertices;
}

dgVector dgCollisionPolygonalSoup::dgCollisionConvexPolygon::FaceVertex(dgInt32 i) const {
    const dgFloat32* p = m_vertex + static_cast<std::ptrdiff_t>(m_index[i]) * m_stride;
    return dgVector(p[0], p[1], p[2], 1.0f);
}

void dgCollisionPolygonalSoup::dgCollisionConvexPolygon::CalcFaceNormal() {
    const dgVector a = FaceVertex(0);
    const dgVector b = FaceVertex(1);
    const dgVector c = FaceVertex(2);
    const dgVector n = b.Sub(a).CrossProduct(c.Sub(b));
    const dgVector unit = n.Scale(1.0f / std::sqrt(n.DotProduct(n) + 1.0e-24f));
    m_normal = PointW1(unit);
}

void dgCollisionPolygonalSoup::dgCollisionConvexPolygon::CopyFace() {
    for (dgInt32 i = 0; i < m_count; i++) {
        m_localPoly[i] = FaceVertex(i);
    }
}

bool dgCollisionPolygonalSoup::dgCollisionConvexPolygon::SetupTest(const dgConvexCollision& shape,
                                                                   const dgMatrix& matrix) {
    if (!HasUsableFace()) {
        return false;
    }
    CalcFaceNormal();
    const dgVector n = DirectionW0(m_normal);
    const dgVector a = FaceVertex(0);
    const dgFloat32 below = n.DotProduct(PlacedSupport(shape, matrix, n.Scale(-1.0f)).Sub(a));
    const dgFloat32 above = n.DotProduct(PlacedSupport(shape, matrix, n).Sub(a));
    if (!(below < kSlab && above > -kSlab)) {
        return false;
    }
    CopyFace();
    return true;
}

bool dgCollisionPolygonalSoup::dgCollisionConvexPolygon::SetupContinuousTest(const dgConvexCollision& shape,
                                                                             const dgMatrix& matrix) {
    if (!HasUsableFace()) {
        return false;
    }
    CalcFaceNormal();
    const dgVector n = DirectionW0(m_normal);
    if (n.DotProduct(PlacedSupport(shape, matrix, n).Sub(FaceVertex(0))) < 0.0f) {
        return false;
    }
    CopyFace();
    return true;
}

bool dgCollisionPolygonalSoup::dgCollisionConvexPolygon::SphereClosestPoint(const dgVector& centre,
                                                                            dgFloat32 radius, dgVector& out) {
    if (!HasUsableFace()) {
        return false;
    }
    const dgVector a = FaceVertex(0);
    dgVector best;
    dgFloat32 bestDistance2 = kFarAway2;
    dgVector b = FaceVertex(1);
    for (dgInt32 i = 2; i < m_count; i++) {
        const dgVector c = FaceVertex(i);
        const dgVector q = ClosestPointOnTriangle(centre, a, b, c);
        const dgVector d = q.Sub(centre);
        const dgFloat32 distance2 = d.DotProduct(d);
        if (distance2 < bestDistance2) {
            bestDistance2 = distance2;
            best = q;
        }
        b = c;
    }
    if (radius * radius < bestDistance2) {
        return false;
    }
    CalcFaceNormal();
    out = PointW1(best);
    return true;
}

dgInt32 dgCollisionPolygonalSoup::dgCollisionConvexPolygon::FilterContacts(dgInt32 count, dgContactPoint* contacts,
                                                                           const dgBody* soupBody,
                                                                           dgUnsigned8* flags) const {
    const dgVector faceNormal = soupBody->m_collisionMatrix.RotateVector(DirectionW0(m_normal));
    for (dgInt32 i = 0; i < count;) {
        const dgFloat32 d = faceNormal.DotProduct(contacts[i].m_normal);
        if (d < kDropDot) {
            contacts[i] = contacts[count - 1];
            count--;
            continue;
        }
        flags[i] = d < kFaceDot ? 1 : 0;
        i++;
    }
    return count;
}
