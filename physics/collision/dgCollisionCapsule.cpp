#include "physics/collision/dgCollisionCapsule.h"

#include "physics/collision/dgAngularLattice.h"
#include "physics/collision/dgAxialShapeParts.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexEdgeTable.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"

#include <cmath>
#include <utility>

namespace {

constexpr dgInt32 kRingPoints = 6;
constexpr dgInt32 kRings = 8;
constexpr dgInt32 kDisplayRing = 16;
constexpr dgInt32 kOctantTriangles = 16;
constexpr dgInt32 kCapTriangles = 8 * kOctantTriangles;
constexpr dgFloat32 kAxisCos = 0.9998f;
constexpr dgFloat32 kGrazing = 1.0e-8f;

const dgConvexEdgeTable& CapsuleEdges() {
    static const dgConvexEdgeTable table = dgConvexEdgeTable::RingBand(kRings, kRingPoints, false);
    return table;
}

dgVector Normalised(const dgVector& v) {
    return v.Scale(1.0f / std::sqrt(v.DotProduct(v)));
}

void Subdivide(const dgVector& a, const dgVector& b, const dgVector& c, dgInt32 depth, dgVector*& out) {
    if (depth == 0) {
        *out++ = a;
        *out++ = b;
        *out++ = c;
        return;
    }
    const dgVector ab = Normalised(a.Add(b));
    const dgVector bc = Normalised(b.Add(c));
    const dgVector ca = Normalised(c.Add(a));
    Subdivide(a, ab, ca, depth - 1, out);
    Subdivide(ab, b, bc, depth - 1, out);
    Subdivide(ca, bc, c, depth - 1, out);
    Subdivide(ab, bc, ca, depth - 1, out);
}

} // namespace

dgCollisionCapsule::dgCollisionCapsule(dgUnsigned32 signature, dgFloat32 radius, dgFloat32 height,
                                       const dgMatrix& offset)
    : dgConvexCollision(signature, offset, kCapsuleCollision), m_halfLength(0.0f),
      m_radius(std::fabs(radius)), m_step(GetAngularStep(m_radius)), m_invStep(1.0f / m_step),
      m_cosStep(std::cos(m_step)), m_sinStep(std::sin(m_step)), m_keyHalfHeight(std::fabs(height) * 0.5f) {
    const dgFloat32 straight = m_keyHalfHeight - m_radius;
    m_halfLength = straight > kMinHalfLength ? straight : kMinHalfLength;
    const dgFloat32 angleStep = 6.28318f / static_cast<dgFloat32>(kRingPoints);
    for (dgInt32 k = 0; k < kRings / 2; k++) {
        const dgFloat32 x = static_cast<dgFloat32>(3 - k) * m_radius * 0.25f;
        const dgFloat32 ring = std::sqrt(m_radius * m_radius - x * x);
        for (dgInt32 j = 0; j < kRingPoints; j++) {
            const dgFloat32 a = static_cast<dgFloat32>(j) * angleStep;
            const dgFloat32 y = ring * std::cos(a);
            const dgFloat32 z = ring * std::sin(a);
            m_vertices[k * kRingPoints + j] = dgVector(-(x + m_halfLength), y, z, 1.0f);
            m_vertices[(kRings - 1 - k) * kRingPoints + j] = dgVector(x + m_halfLength, y, z, 1.0f);
        }
    }
    const dgConvexEdgeTable& edges = CapsuleEdges();
    SetBorrowedPolyhedron(m_vertices, kVertexCount, edges.GetEdges(), edges.GetCount());
    SetVolumeAndCentre();
}

dgUnsigned32 dgCollisionCapsule::GetTypeId() const {
    return dgCollisionCapsuleClassId;
}

bool dgCollisionCapsule::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionCapsuleClassId || dgConvexCollision::IsType(typeId);
}

dgUnsigned32 dgCollisionCapsule::CalcSignature() const {
    return dgRadiusHeightSignature(kCapsuleCollision, m_radius, m_keyHalfHeight * 2.0f, GetOffsetMatrix());
}

dgVector dgCollisionCapsule::SupportVertex(const dgVector& dir) const {
    const dgFloat32 side = dir.x >= 0.0f ? 1.0f : -1.0f;
    if (dir.x > kAxisCos) {
        return dgVector(side * m_halfLength + m_radius, 0.0f, 0.0f, 0.0f);
    }
    if (dir.x < -kAxisCos) {
        return dgVector(side * m_halfLength - m_radius, 0.0f, 0.0f, 0.0f);
    }
    dgVector lattice[4];
    LatticePointsAround(dir, m_radius, m_step, m_invStep, m_cosStep, m_sinStep, lattice);
    const dgVector& best = lattice[FurthestAlong(lattice, 4, dir)];
    return dgVector(side * m_halfLength + best.x, best.y, best.z, 1.0f);
}

dgFloat32 dgCollisionCapsule::SphereHit(const dgVector& centre, const dgVector& p0, const dgVector& p1,
                                        dgContactPoint& contactOut) const {
    const dgVector rel = p0.Sub(centre);
    const dgFloat32 c = rel.DotProduct(rel) - m_radius * m_radius;
    if (c <= 0.0f) {
        return kNoHit;
    }
    const dgVector d = p1.Sub(p0);
    const dgFloat32 a = d.DotProduct(d);
    const dgFloat32 b = 2.0f * rel.DotProduct(d);
    const dgFloat32 disc = b * b - 4.0f * a * c;
    if (disc <= kGrazing) {
        return kNoHit;
    }
    const dgFloat32 t = (-b - std::sqrt(disc)) * 0.5f / a;
    // Roots past the segment's end are misses too, not hits beyond p1.
    if (t < 0.0f || t >= 1.0f) {
        return kNoHit;
    }
    dgVector normal = p0.Add(d.Scale(t)).Sub(centre);
    normal = Normalised(normal);
    normal.w = 0.0f;
    contactOut.m_normal = normal;
    return t;
}

dgFloat32 dgCollisionCapsule::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    const dgVector top(m_halfLength, 0.0f, 0.0f, 1.0f);
    const dgVector bottom(-m_halfLength, 0.0f, 0.0f, 1.0f);
    dgFloat32 t = kNoHit;
    const dgFloat32 c = p0.y * p0.y + p0.z * p0.z - m_radius * m_radius;
    if (c > 0.0f) {
        const dgVector d = p1.Sub(p0);
        const dgFloat32 side = SideCrossing(p0, d, c);
        if (side >= 0.0f) {
            const dgVector hit = p0.Add(d.Scale(side));
            if (hit.x > m_halfLength) {
                t = SphereHit(top, p0, p1, contactOut);
            } else if (hit.x < -m_halfLength) {
                t = SphereHit(bottom, p0, p1, contactOut);
            } else {
                contactOut.m_normal = Normalised(dgVector(0.0f, hit.y, hit.z, 0.0f));
                t = side;
            }
        }
    } else if (p0.x > m_halfLength) {
        t = SphereHit(top, p0, p1, contactOut);
    } else if (p0.x < -m_halfLength) {
        t = SphereHit(bottom, p0, p1, contactOut);
    }
    if (t < kNoHit) {
        contactOut.m_attribute = static_cast<dgInt64>(GetUserId());
    }
    return t;
}

dgInt32 dgCollisionCapsule::CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                                  dgVector* out) const {
    const dgFloat32 mag2 = normal.y * normal.y + normal.z * normal.z;
    const dgMatrix rotation = mag2 > 1.0e-6f ? TurnAboutXToFace(normal) : dgGetIdentityMatrix();
    dgVector n = rotation.InverseRotateVector(normal);
    n.w = normal.w;
    dgVector p = rotation.InverseRotateVector(point);
    p.w = point.w;
    dgInt32 count = 0;
    if (std::fabs(n.x) < 0.5f) {
        count = dgConvexCollision::CalcPlaneIntersection(n, p, out);
    } else {
        const dgVector centres[2] = {dgVector(m_halfLength, 0.0f, 0.0f, 1.0f),
                                     dgVector(-m_halfLength, 0.0f, 0.0f, 1.0f)};
        for (const dgVector& centre : centres) {
            const dgFloat32 delta = -centre.Sub(p).DotProduct(n);
            if (std::fabs(delta) < m_radius) {
                out[0] = centre.Add(n.Scale(delta));
                out[0].w = 1.0f;
                count = 1;
                break;
            }
        }
    }
    TurnBack(rotation, out, count);
    return count;
}

void dgCollisionCapsule::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    constexpr dgInt32 kPoints = 2 * kDisplayRing + 3 * kCapTriangles;
    dgVector points[kPoints];
    FillEndRings(points, kDisplayRing, m_radius, m_halfLength);
    dgVector* cap = &points[2 * kDisplayRing];
    for (dgInt32 octant = 0; octant < 8; octant++) {
        const dgFloat32 sx = (octant & 1) ? -1.0f : 1.0f;
        const dgFloat32 sy = (octant & 2) ? -1.0f : 1.0f;
        const dgFloat32 sz = (octant & 4) ? -1.0f : 1.0f;
        const dgVector a(sx, 0.0f, 0.0f, 0.0f);
        dgVector b(0.0f, sy, 0.0f, 0.0f);
        dgVector c(0.0f, 0.0f, sz, 0.0f);
        if (sx * sy * sz < 0.0f) {
            std::swap(b, c);
        }
        dgVector* first = cap;
        Subdivide(a, b, c, 2, cap);
        const dgVector shift(sx * m_halfLength, 0.0f, 0.0f, 1.0f);
        for (dgVector* p = first; p != cap; p++) {
            *p = p->Scale(m_radius).Add(shift);
            p->w = 1.0f;
        }
    }
    const dgMatrix matrix = GetOffsetMatrix().Multiply(bodyMatrix);
    dgFloat32 global[3 * kPoints];
    matrix.TransformPointArray(global, 3 * sizeof(dgFloat32), &points[0].x, sizeof(dgVector), kPoints);
    DisplayRingBand(global, kDisplayRing, body, callback);
    for (dgInt32 i = 0; i < kCapTriangles; i++) {
        callback(body, 3, &global[3 * (2 * kDisplayRing + 3 * i)], 0);
    }
}
