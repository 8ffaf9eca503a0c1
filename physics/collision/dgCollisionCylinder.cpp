#include "physics/collision/dgCollisionCylinder.h"

#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexEdgeTable.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"

#include <cmath>

namespace {

constexpr dgInt32 kPrismSides = 8;
constexpr dgFloat32 kGrazing = 1.0e-8f;

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
    const dgFloat32 sideStep = 6.28318f / static_cast<dgFloat32>(kPrismSides);
    for (dgInt32 k = 0; k < kPrismSides; k++) {
        const dgFloat32 angle = static_cast<dgFloat32>(k) * sideStep;
        const dgFloat32 y = m_radius * std::cos(angle);
        const dgFloat32 z = m_radius * std::sin(angle);
        m_vertices[k] = dgVector(-m_halfHeight, y, z, 1.0f);
        m_vertices[kPrismSides + k] = dgVector(m_halfHeight, y, z, 1.0f);
    }
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
    const dgFloat32 a = std::floor(dgAtan2(dir.y, dir.z) * m_invStep) * m_step;
    const dgFloat32 y0 = m_radius * std::sin(a);
    const dgFloat32 z0 = m_radius * std::cos(a);
    const dgFloat32 y1 = y0 * m_cosStep + z0 * m_sinStep;
    const dgFloat32 z1 = z0 * m_cosStep - y0 * m_sinStep;
    if (y1 * dir.y + z1 * dir.z > y0 * dir.y + z0 * dir.z) {
        return dgVector(x, y1, z1, 1.0f);
    }
    return dgVector(x, y0, z0, 1.0f);
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
        const dgFloat32 a = d.y * d.y + d.z * d.z;
        const dgFloat32 b = 2.0f * (p0.y * d.y + p0.z * d.z);
        const dgFloat32 disc = b * b - 4.0f * a * c;
        if (disc > kGrazing) {
            const dgFloat32 side = (-b - std::sqrt(disc)) * 0.5f / a;
            if (side >= 0.0f && side < 1.0f) {
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
    if (!(std::fabs(normal.x) < 0.999f)) {
        return dgConvexCollision::CalcPlaneIntersection(normal, point, out);
    }
    const dgFloat32 inv = 1.0f / std::sqrt(normal.y * normal.y + normal.z * normal.z);
    const dgFloat32 c = normal.y * inv;
    const dgFloat32 s = normal.z * inv;
    const dgMatrix rotation(dgVector(1.0f, 0.0f, 0.0f, 0.0f), dgVector(0.0f, c, s, 0.0f),
                            dgVector(0.0f, -s, c, 0.0f), dgVector(0.0f, 0.0f, 0.0f, 1.0f));
    dgVector localNormal = rotation.InverseRotateVector(normal);
    localNormal.w = normal.w;
    const dgInt32 count =
        dgConvexCollision::CalcPlaneIntersection(localNormal, rotation.InverseRotateVector(point), out);
    for (dgInt32 i = 0; i < count; i++) {
        const dgFloat32 w = out[i].w;
        out[i] = rotation.RotateVector(out[i]);
        out[i].w = w;
    }
    return count;
}

void dgCollisionCylinder::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    constexpr dgInt32 kPoints = 2 * kDisplaySides;
    dgVector points[kPoints];
    const dgFloat32 step = 6.28318f / static_cast<dgFloat32>(kDisplaySides);
    for (dgInt32 k = 0; k < kDisplaySides; k++) {
        const dgFloat32 angle = static_cast<dgFloat32>(k) * step;
        const dgFloat32 y = m_radius * std::cos(angle);
        const dgFloat32 z = m_radius * std::sin(angle);
        points[k] = dgVector(-m_halfHeight, y, z, 1.0f);
        points[kDisplaySides + k] = dgVector(m_halfHeight, y, z, 1.0f);
    }
    const dgMatrix matrix = GetOffsetMatrix().Multiply(bodyMatrix);
    dgFloat32 global[3 * kPoints];
    matrix.TransformPointArray(global, 3 * sizeof(dgFloat32), &points[0].x, sizeof(dgVector), kPoints);
    for (dgInt32 k = 0; k < kDisplaySides; k++) {
        const dgInt32 prev = k == 0 ? kDisplaySides - 1 : k - 1;
        const dgInt32 order[4] = {prev, k, kDisplaySides + k, kDisplaySides + prev};
        dgFloat32 quad[12];
        for (dgInt32 i = 0; i < 4; i++) {
            for (dgInt32 j = 0; j < 3; j++) {
                quad[3 * i + j] = global[3 * order[i] + j];
            }
        }
        callback(body, 4, quad, 0);
    }
    dgFloat32 cap[3 * kDisplaySides];
    for (dgInt32 k = 0; k < kDisplaySides; k++) {
        for (dgInt32 j = 0; j < 3; j++) {
            cap[3 * k + j] = global[3 * (kDisplaySides - 1 - k) + j];
        }
    }
    callback(body, kDisplaySides, cap, 0);
    callback(body, kDisplaySides, &global[3 * kDisplaySides], 0);
}
