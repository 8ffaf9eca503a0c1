#include "physics/collision/dgCollisionChamferCylinder.h"

#include "physics/collision/dgAngularLattice.h"
#include "physics/collision/dgAxialShapeParts.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexEdgeTable.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"

#include <cmath>

namespace {

constexpr dgInt32 kRingPoints = 8;
constexpr dgInt32 kRings = 5;
constexpr dgInt32 kProfileSteps = 13;
constexpr dgInt32 kDisplaySides = 24;
constexpr dgFloat32 kAxisCos = 0.9998f;
constexpr dgFloat32 kMinCutSpacing2 = 0.00390625f;

const dgConvexEdgeTable& ChamferEdges() {
    static const dgConvexEdgeTable table = dgConvexEdgeTable::RingBand(kRings, kRingPoints, true);
    return table;
}

// Eight unit directions round the x axis, the sampling fan of the plane cut.
const dgVector* CutDirections() {
    static const auto table = [] {
        struct Table {
            dgVector m_dir[kRingPoints];
        } t;
        for (dgInt32 i = 0; i < kRingPoints; i++) {
            const dgFloat32 a = static_cast<dgFloat32>(i) * (6.28318f / static_cast<dgFloat32>(kRingPoints));
            t.m_dir[i] = dgVector(0.0f, std::cos(a), std::sin(a), 1.0f);
        }
        return t;
    }();
    return table.m_dir;
}

} // namespace

dgCollisionChamferCylinder::dgCollisionChamferCylinder(dgUnsigned32 signature, dgFloat32 radius,
                                                       dgFloat32 height, const dgMatrix& offset)
    : dgConvexCollision(signature, offset, kChamferCylinderCollision), m_rimRadius(std::fabs(height * 0.5f)),
      m_coreRadius(0.0f), m_cosStep(0.0f), m_sinStep(0.0f), m_step(0.0f), m_invStep(0.0f),
      m_keyRadius(std::fabs(radius)) {
    const dgFloat32 core = m_keyRadius - m_rimRadius;
    m_coreRadius = core > kMinCoreRadius ? core : kMinCoreRadius;
    m_step = GetAngularStep(m_coreRadius);
    m_invStep = 1.0f / m_step;
    m_cosStep = std::cos(m_step);
    m_sinStep = std::sin(m_step);
    const dgFloat32 alpha = 6.28318f / static_cast<dgFloat32>(kRingPoints);
    for (dgInt32 i = 0; i < kRings; i++) {
        const dgFloat32 phi = static_cast<dgFloat32>(i) * 0.7853975f;
        const dgFloat32 x = -m_rimRadius * std::cos(phi);
        const dgFloat32 r = m_coreRadius + m_rimRadius * std::sin(phi);
        for (dgInt32 j = 0; j < kRingPoints; j++) {
            const dgFloat32 a = static_cast<dgFloat32>(j) * alpha;
            m_vertices[i * kRingPoints + j] = dgVector(x, r * std::sin(a), r * std::cos(a), 1.0f);
        }
    }
    CutDirections();
    const dgConvexEdgeTable& edges = ChamferEdges();
    SetBorrowedPolyhedron(m_vertices, kVertexCount, edges.GetEdges(), edges.GetCount());
    SetVolumeAndCentre();
}

dgUnsigned32 dgCollisionChamferCylinder::GetTypeId() const {
    return dgCollisionChamferCylinderClassId;
}

bool dgCollisionChamferCylinder::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionChamferCylinderClassId || dgConvexCollision::IsType(typeId);
}

dgUnsigned32 dgCollisionChamferCylinder::CalcSignature() const {
    return dgRadiusHeightSignature(kChamferCylinderCollision, m_keyRadius, m_rimRadius * 2.0f,
                                   GetOffsetMatrix());
}

dgVector dgCollisionChamferCylinder::RimPoint(const dgVector& dir) const {
    const dgFloat32 scale = m_coreRadius / std::sqrt(dir.y * dir.y + dir.z * dir.z + 1.0e-14f);
    dgVector p(0.0f, dir.y * scale, dir.z * scale, 0.0f);
    p = p.Add(dir.Scale(m_rimRadius));
    p.w = dir.w;
    return p;
}

dgVector dgCollisionChamferCylinder::CoreSupport(const dgVector& dir) const {
    const dgFloat32 inv = m_coreRadius / std::sqrt(dir.y * dir.y + dir.z * dir.z + 1.0e-12f);
    return dgVector(dir.x <= 0.0f ? -m_rimRadius : m_rimRadius, dir.y * inv, dir.z * inv, 1.0f);
}

bool dgCollisionChamferCylinder::InsideCore(const dgVector& p) const {
    return std::fabs(p.x) < m_rimRadius && p.y * p.y + p.z * p.z < m_coreRadius * m_coreRadius;
}

dgVector dgCollisionChamferCylinder::SupportVertex(const dgVector& dir) const {
    if (dir.x > kAxisCos) {
        return dgVector(m_rimRadius, 0.0f, m_coreRadius, 0.0f);
    }
    if (dir.x < -kAxisCos) {
        return dgVector(-m_rimRadius, 0.0f, m_coreRadius, 0.0f);
    }
    // The lattice's unit directions, each carried to the rounded rim.
    dgVector rim[4];
    LatticePointsAround(dir, 1.0f, m_step, m_invStep, m_cosStep, m_sinStep, rim);
    for (dgVector& point : rim) {
        point = RimPoint(point);
    }
    return rim[FurthestAlong(rim, 4, dir)];
}

dgFloat32 dgCollisionChamferCylinder::RayCast(const dgVector& p0, const dgVector& p1,
                                              dgContactPoint& contactOut, dgRayCastPrefilter preFilter,
                                              dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    const dgFloat32 r2 = m_coreRadius * m_coreRadius;
    if (p0.x > m_rimRadius && p1.x < m_rimRadius) {
        const dgFloat32 t = (m_rimRadius - p0.x) / (p1.x - p0.x);
        const dgVector hit = p0.Add(p1.Sub(p0).Scale(t));
        if (hit.y * hit.y + hit.z * hit.z < r2) {
            contactOut.m_normal = dgVector(1.0f, 0.0f, 0.0f, 1.0f);
            contactOut.m_attribute = static_cast<dgInt64>(GetUserId());
            return t;
        }
    }
    if (p0.x < -m_rimRadius && p1.x > -m_rimRadius) {
        const dgFloat32 t = (-m_rimRadius - p0.x) / (p1.x - p0.x);
        const dgVector hit = p0.Add(p1.Sub(p0).Scale(t));
        if (hit.y * hit.y + hit.z * hit.z < r2) {
            contactOut.m_normal = dgVector(-1.0f, 0.0f, 0.0f, 1.0f);
            contactOut.m_attribute = static_cast<dgInt64>(GetUserId());
            return t;
        }
    }
    return dgConvexCollision::RayCast(p0, p1, contactOut, nullptr, nullptr, nullptr);
}

bool dgCollisionChamferCylinder::ClipToCore(const dgVector& origin, const dgVector& dir,
                                            dgVector& out) const {
    if (!InsideCore(origin)) {
        return false;
    }
    const dgFloat32 a = dir.y * dir.y + dir.z * dir.z;
    if (a <= 1.0e-10f) {
        const dgFloat32 x = dir.x > 0.0f ? m_rimRadius : -m_rimRadius;
        out = origin.Add(dir.Scale((x - origin.x) / dir.x));
        out.x = x;
        out.w = 1.0f;
        return true;
    }
    const dgFloat32 b = 2.0f * (dir.y * origin.y + dir.z * origin.z);
    const dgFloat32 c = origin.y * origin.y + origin.z * origin.z - m_coreRadius * m_coreRadius;
    const dgFloat32 t = (std::sqrt(b * b - 4.0f * a * c) - b) * 0.5f / a;
    out = origin.Add(dir.Scale(t));
    if (out.x >= m_rimRadius) {
        out = origin.Add(dir.Scale((m_rimRadius - origin.x) / dir.x));
    } else if (out.x <= -m_rimRadius) {
        out = origin.Add(dir.Scale((-m_rimRadius - origin.x) / dir.x));
    }
    out.w = 1.0f;
    return true;
}

dgInt32 dgCollisionChamferCylinder::CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                                          dgVector* out) const {
    const dgVector n(normal.x, normal.y, normal.z, 0.0f);
    const dgVector s1 = CoreSupport(n);
    const dgVector s2 = CoreSupport(n.Scale(-1.0f));
    const dgFloat32 d = -n.DotProduct(point);
    const dgFloat32 e1 = n.DotProduct(s1) + d;
    const dgFloat32 e2 = n.DotProduct(s2) + d;
    if (e1 * e2 >= 0.0f) {
        const dgFloat32 radial2 = point.y * point.y + point.z * point.z;
        if (radial2 < m_coreRadius * m_coreRadius) {
            return 0;
        }
        const dgFloat32 scale = m_coreRadius / std::sqrt(radial2);
        const dgVector q(0.0f, point.y * scale, point.z * scale, 1.0f);
        const dgVector gap = point.Sub(q);
        if (gap.DotProduct(gap) < m_rimRadius * m_rimRadius) {
            out[0] = point;
            return 1;
        }
        return 0;
    }
    // A frame in the plane: any axis not along n gives the first tangent.
    const dgVector helper =
        std::fabs(n.x) < 0.577f ? dgVector(1.0f, 0.0f, 0.0f, 0.0f) : dgVector(0.0f, 1.0f, 0.0f, 0.0f);
    dgVector t1 = helper.CrossProduct(n);
    t1 = t1.Scale(1.0f / std::sqrt(t1.DotProduct(t1)));
    const dgVector t2 = n.CrossProduct(t1);
    dgVector origin = s1.Sub(n.Scale(e1));
    const dgVector other = s2.Sub(n.Scale(e2));
    if (!InsideCore(origin) && InsideCore(other)) {
        origin = other;
    }
    origin.w = 1.0f;
    const dgVector* table = CutDirections();
    dgInt32 count = 0;
    for (dgInt32 i = 0; i < kRingPoints; i++) {
        const dgVector dir = t1.Scale(table[i].y).Add(t2.Scale(table[i].z));
        dgVector p;
        if (!ClipToCore(origin, dir, p)) {
            continue;
        }
        if (count == 0) {
            out[count++] = p;
        } else {
            const dgVector gap = p.Sub(out[count - 1]);
            if (gap.DotProduct(gap) > kMinCutSpacing2) {
                out[count++] = p;
            }
        }
    }
    return count;
}

void dgCollisionChamferCylinder::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    constexpr dgInt32 kPoints = kProfileSteps * kDisplaySides;
    dgVector points[kPoints];
    const dgFloat32 step = 6.28318f / static_cast<dgFloat32>(kDisplaySides);
    for (dgInt32 k = 0; k < kProfileSteps; k++) {
        const dgFloat32 phi = static_cast<dgFloat32>(k) * 0.2617992f;
        const dgFloat32 x = -m_rimRadius * std::cos(phi);
        const dgFloat32 r = m_coreRadius + m_rimRadius * std::sin(phi);
        for (dgInt32 j = 0; j < kDisplaySides; j++) {
            const dgFloat32 a = static_cast<dgFloat32>(j) * step;
            points[k * kDisplaySides + j] = dgVector(x, r * std::sin(a), r * std::cos(a), 1.0f);
        }
    }
    const dgMatrix matrix = GetOffsetMatrix().Multiply(bodyMatrix);
    dgFloat32 global[3 * kPoints];
    matrix.TransformPointArray(global, 3 * sizeof(dgFloat32), &points[0].x, sizeof(dgVector), kPoints);
    for (dgInt32 band = 0; band < kProfileSteps - 1; band++) {
        for (dgInt32 j = 0; j < kDisplaySides; j++) {
            const dgInt32 k = band * kDisplaySides + j;
            const dgInt32 p = band * kDisplaySides + (j == 0 ? kDisplaySides - 1 : j - 1);
            DisplayQuad(global, {k, p, p + kDisplaySides, k + kDisplaySides}, body, callback);
        }
    }
    callback(body, kDisplaySides, global, 0);
    dgFloat32 face[3 * kDisplaySides];
    const dgInt32 last = (kProfileSteps - 1) * kDisplaySides;
    for (dgInt32 j = 0; j < kDisplaySides; j++) {
        for (dgInt32 c = 0; c < 3; c++) {
            face[3 * j + c] = global[3 * (last + kDisplaySides - 1 - j) + c];
        }
    }
    callback(body, kDisplaySides, face, 0);
}
