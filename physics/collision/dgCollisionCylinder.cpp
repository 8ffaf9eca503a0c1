#include "physics/collision/dgCollisionCylinder.h"

#include "physics/collision/dgAxialShapeParts.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexEdgeTable.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"

#include <cmath>

namespace {

constexpr dgInt32 kPrismSides = 8;

const dgConvexEdgeTable& CylinderEdges() {
    static const dgConvexEdgeTable table = [] {
        dgInt32 sizes[kPrismSides + 2];
        dgInt32 indices[kPrismSides * 4 + 2 * kPrismSides];
        dgInt32 n = 0;
        for (dgInt32 k = 0; k < kPrismSides; k++) {
            const dgInt32 p = k == 0 ? kPrismSides - 1 : k - 1;
            sizes[k] = 4;
            indices[n++] = p;
            indices[n++] = k;
            indices[n++] = k + kPrismSides;
            indices[n++] = p + kPrismSides;
        }
        sizes[kPrismSides] = kPrismSides;
        sizes[kPrismSides + 1] = kPrismSides;
        for (dgInt32 k = kPrismSides - 1; k >= 0; k--) {
            indices[n++] = k;
        }
        for (dgInt32 k = 0; k < kPrismSides; k++) {
            indices[n++] = kPrismSides + k;
        }
        return dgConvexEdgeTable(kPrismSides + 2, sizes, indices);
    }();
    return table;
}

} // namespace

dgCollisionCylinder::dgCollisionCylinder(dgUnsigned32 signature, dgFloat32 radius, dgFloat32 height,
                                         const dgMatrix& offset)
    : dgConvexCollision(signature, offset, kCylinderCollision), m_halfHeight(std::fabs(height * 0.5f)),
      m_radius(std::fabs(radius)), m_cosStep(0.0f), m_sinStep(0.0f), m_step(GetAngularStep(m_radius)),
      m_invStep(1.0f / m_step) {
    m_cosStep = std::cos(m_step);
    m_sinStep = std::sin(m_step);
    FillEndRings(m_vertices, kPrismSides, m_radius, m_halfHeight);
    const dgConvexEdgeTable& edges = CylinderEdges();
    SetBorrowedPolyhedron(m_vertices, kVertexCount, edges.GetEdges(), edges.GetCount());
    SetVolumeAndCentre();
}

dgUnsigned32 dgCollisionCylinder::GetTypeId() const {
    return dgCollisionCylinderClassId;
}

bool dgCollisionCylinder::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionCylinderClassId || dgConvexCollision::IsType(typeId);
}

dgUnsigned32 dgCollisionCylinder::CalcSignature() const {
    const dgFloat32 dims[2] = {m_radius, m_halfHeight};
    return dgShapeSignature(kCylinderCollision, dims, 2, GetOffsetMatrix());
}

dgVector dgCollisionCylinder::SupportVertex(const dgVector& dir) const {
    const dgFloat32 x = dir.x > 0.0f ? m_halfHeight : -m_halfHeight;
    const dgVector rim = RimPointTowards(dir, m_radius, m_step, m_invStep, m_cosStep, m_sinStep);
    return dgVector(x, rim.y, rim.z, 1.0f);
}

dgFloat32 dgCollisionCylinder::CapHit(dgFloat32 capX, const dgVector& p0, const dgVector& p1,
                                      dgContactPoint& contactOut) const {
    const dgFloat32 t = (capX - p0.x) / (p1.x - p0.x);
    const dgVector hit = p0.Add(p1.Sub(p0).Scale(t));
    if (hit.y * hit.y + hit.z * hit.z - m_radius * m_radius < 0.0f) {
        contactOut.m_normal = dgVector(capX > 0.0f ? 1.0f : -1.0f, 0.0f, 0.0f, 1.0f);
        return t;
    }
    return kNoHit;
}

dgFloat32 dgCollisionCylinder::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                       dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    dgFloat32 t = kNoHit;
    const dgFloat32 c = p0.y * p0.y + p0.z * p0.z - m_radius * m_radius;
    if (c > 0.0f) {
        const dgVector d = p1.Sub(p0);
        const dgFloat32 side = SideCrossing(p0, d, c);
        if (side >= 0.0f) {
            const dgVector hit = p0.Add(d.Scale(side));
            if (hit.x >= -m_halfHeight && hit.x <= m_halfHeight) {
                const dgFloat32 inv = 1.0f / std::sqrt(hit.y * hit.y + hit.z * hit.z);
                contactOut.m_normal = dgVector(0.0f, hit.y * inv, hit.z * inv, 0.0f);
                t = side;
            } else if (hit.x < -m_halfHeight) {
                if (p1.x > -m_halfHeight) {
                    t = CapHit(-m_halfHeight, p0, p1, contactOut);
                }
            } else if (p1.x < m_halfHeight) {
                t = CapHit(m_halfHeight, p0, p1, contactOut);
            }
        }
    } else if (p0.x < -m_halfHeight) {
        if (p1.x > -m_halfHeight) {
            t = CapHit(-m_halfHeight, p0, p1, contactOut);
        }
    } else if (p0.x > m_halfHeight) {
        if (p1.x < m_halfHeight) {
            t = CapHit(m_halfHeight, p0, p1, contactOut);
        }
    }
    if (t < kNoHit) {
        contactOut.m_attribute = static_cast<dgInt64>(GetUserId());
    }
    return t;
}

dgInt32 dgCollisionCylinder::CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                                   dgVector* out) const {
    return CutFacingThePlane(*this, normal, point, out);
}

void dgCollisionCylinder::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    constexpr dgInt32 kPoints = 2 * kDisplaySides;
    dgVector points[kPoints];
    FillEndRings(points, kDisplaySides, m_radius, m_halfHeight);
    const dgMatrix matrix = GetOffsetMatrix().Multiply(bodyMatrix);
    dgFloat32 global[3 * kPoints];
    matrix.TransformPointArray(global, 3 * sizeof(dgFloat32), &points[0].x, sizeof(dgVector), kPoints);
    DisplayRingBand(global, kDisplaySides, body, callback);
    dgFloat32 cap[3 * kDisplaySides];
    for (dgInt32 k = 0; k < kDisplaySides; k++) {
        for (dgInt32 j = 0; j < 3; j++) {
            cap[3 * k + j] = global[3 * (kDisplaySides - 1 - k) + j];
        }
    }
    callback(body, kDisplaySides, cap, 0);
    callback(body, kDisplaySides, &global[3 * kDisplaySides], 0);
}
