#include "physics/collision/dgCollisionSphere.h"

#include "physics/collision/dgAngularLattice.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexEdgeTable.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgHalfEdgeMesh.h"
#include "physics/core/dgVertexArray.h"

#include <cmath>

namespace {

constexpr dgInt32 kPolyhedronTriangles = 32;
constexpr dgInt32 kDisplayLevel = 3;

// The octahedron's faces, counter-clockwise seen from outside.
void OctahedronFaces(dgInt32 level, dgInt32& count, dgVector* out) {
    const dgVector px(1.0f, 0.0f, 0.0f, 0.0f);
    const dgVector nx(-1.0f, 0.0f, 0.0f, 0.0f);
    const dgVector py(0.0f, 1.0f, 0.0f, 0.0f);
    const dgVector ny(0.0f, -1.0f, 0.0f, 0.0f);
    const dgVector pz(0.0f, 0.0f, 1.0f, 0.0f);
    const dgVector nz(0.0f, 0.0f, -1.0f, 0.0f);
    dgCollisionSphere::Tessellate(level, px, py, pz, count, out);
    dgCollisionSphere::Tessellate(level, py, nx, pz, count, out);
    dgCollisionSphere::Tessellate(level, nx, ny, pz, count, out);
    dgCollisionSphere::Tessellate(level, ny, px, pz, count, out);
    dgCollisionSphere::Tessellate(level, py, px, nz, count, out);
    dgCollisionSphere::Tessellate(level, nx, py, nz, count, out);
    dgCollisionSphere::Tessellate(level, ny, nx, nz, count, out);
    dgCollisionSphere::Tessellate(level, px, ny, nz, count, out);
}

// Built for the first sphere and shared by all: the 18 unit vertices with their half-edges, and the
// unit display triangles.
class SphereShared {
public:
    SphereShared() : m_edges(BuildTopology(m_unitVertices)) {
        dgInt32 count = 0;
        OctahedronFaces(kDisplayLevel, count, m_display);
        dgAssert(count == 3 * dgCollisionSphere::kDisplayTriangles);
    }

    const dgVector* UnitVertices() const { return m_unitVertices; }
    const dgConvexEdgeTable& Edges() const { return m_edges; }
    const dgVector* Display() const { return m_display; }

private:
    static dgConvexEdgeTable BuildTopology(dgVector* unitVertices) {
        dgVector points[3 * kPolyhedronTriangles];
        dgInt32 count = 0;
        OctahedronFaces(1, count, points);
        dgInt32 indices[3 * kPolyhedronTriangles];
        const dgInt32 unique = dgWeldVertexList(&points[0].x, sizeof(dgVector), 3 * sizeof(dgFloat32), 0,
                                                count, indices, 0.001f);
        dgAssert(unique == dgCollisionSphere::kVertexCount);
        for (dgInt32 i = 0; i < unique && i < dgCollisionSphere::kVertexCount; i++) {
            unitVertices[i] = dgVector(points[i].x, points[i].y, points[i].z, 1.0f);
        }
        dgHalfEdgeMesh mesh;
        mesh.BeginFace();
        for (dgInt32 i = 0; i < kPolyhedronTriangles; i++) {
            mesh.AddTriangle(indices[3 * i], indices[3 * i + 1], indices[3 * i + 2]);
        }
        mesh.EndFace();
        return dgConvexEdgeTable(mesh);
    }

    dgVector m_unitVertices[dgCollisionSphere::kVertexCount];
    dgConvexEdgeTable m_edges;
    dgVector m_display[3 * dgCollisionSphere::kDisplayTriangles];
};

const SphereShared& Shared() {
    static const SphereShared shared;
    return shared;
}

} // namespace

void dgCollisionSphere::Tessellate(dgInt32 level, const dgVector& p0, const dgVector& p1, const dgVector& p2,
                                   dgInt32& count, dgVector* out) {
    if (level <= 0) {
        out[count++] = p0;
        out[count++] = p1;
        out[count++] = p2;
        return;
    }
    auto midpoint = [](const dgVector& a, const dgVector& b) {
        const dgVector sum = a.Add(b);
        return sum.Scale(1.0f / std::sqrt(sum.DotProduct(sum)));
    };
    const dgVector m01 = midpoint(p0, p1);
    const dgVector m12 = midpoint(p1, p2);
    const dgVector m20 = midpoint(p2, p0);
    Tessellate(level - 1, p0, m01, m20, count, out);
    Tessellate(level - 1, p1, m12, m01, count, out);
    Tessellate(level - 1, p2, m20, m12, count, out);
    Tessellate(level - 1, m01, m12, m20, count, out);
}

dgCollisionSphere::dgCollisionSphere(dgUnsigned32 signature, dgFloat32 radius, const dgMatrix& offset)
    : dgCollisionSphere(signature, radius, offset, kSphereCollision) {}

dgCollisionSphere::dgCollisionSphere(dgUnsigned32 signature, dgFloat32 radius, const dgMatrix& offset,
                                     dgCollisionType type)
    : dgConvexCollision(signature, offset, type), m_radius(radius), m_step(GetAngularStep(radius)),
      m_invStep(1.0f / m_step), m_cosStep(std::cos(m_step)), m_sinStep(std::sin(m_step)) {
    const SphereShared& shared = Shared();
    for (dgInt32 i = 0; i < kVertexCount; i++) {
        const dgVector& unit = shared.UnitVertices()[i];
        m_vertices[i] = dgVector(unit.x * radius, unit.y * radius, unit.z * radius, 1.0f);
    }
    SetBorrowedPolyhedron(m_vertices, kVertexCount, shared.Edges().GetEdges(), shared.Edges().GetCount());
    SetVolumeAndCentre();
}

dgUnsigned32 dgCollisionSphere::GetTypeId() const {
    return dgCollisionSphereClassId;
}

bool dgCollisionSphere::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionSphereClassId || dgConvexCollision::IsType(typeId);
}

dgUnsigned32 dgCollisionSphere::CalcSignature() const {
    return dgShapeSignature(kSphereCollision, &m_radius, 1, GetOffsetMatrix());
}

dgVector dgCollisionSphere::SupportVertex(const dgVector& dir) const {
    if (dir.x > 0.9998f) {
        return dgVector(m_radius, 0.0f, 0.0f, 1.0f);
    }
    if (dir.x < -0.9998f) {
        return dgVector(-m_radius, 0.0f, 0.0f, 1.0f);
    }
    dgVector lattice[4];
    LatticePointsAround(dir, m_radius, m_step, m_invStep, m_cosStep, m_sinStep, lattice);
    return lattice[FurthestAlong(lattice, 4, dir)];
}

void dgCollisionSphere::CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const {
    const dgVector r(m_radius, m_radius, m_radius, 0.0f);
    minOut = matrix.posit.Sub(r);
    maxOut = matrix.posit.Add(r);
    minOut.w = 1.0f;
    maxOut.w = 1.0f;
}

dgFloat32 dgCollisionSphere::RaySphere(const dgVector& p0, const dgVector& p1,
                                       dgContactPoint& contactOut) const {
    const dgVector d = p1.Sub(p0);
    const dgFloat32 a = d.DotProduct(d);
    const dgFloat32 b = 2.0f * p0.DotProduct(d);
    const dgFloat32 c = p0.DotProduct(p0) - m_radius * m_radius;
    const dgFloat32 disc = b * b - 4.0f * a * c;
    if (!(disc > 0.0f)) {
        return kNoHit;
    }
    const dgFloat32 root = std::sqrt(disc);
    const dgFloat32 t0 = (-b - root) / (2.0f * a);
    const dgFloat32 t1 = (root - b) / (2.0f * a);
    const dgFloat32 t = t0 < t1 ? t0 : t1;
    if (t < 0.0f) {
        return kNoHit;
    }
    if (t < 1.0f) {
        const dgVector hit = p0.Add(d.Scale(t));
        dgVector normal = hit.Scale(1.0f / std::sqrt(hit.DotProduct(hit)));
        normal.w = p0.w;
        contactOut.m_normal = normal;
    }
    return t;
}

dgFloat32 dgCollisionSphere::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                     dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    return RaySphere(p0, p1, contactOut);
}

dgInt32 dgCollisionSphere::CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                                 dgVector* out) const {
    out[0] = normal.Scale(normal.DotProduct(point));
    return 1;
}

void dgCollisionSphere::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    DisplayTessellation(bodyMatrix, body, callback, GetOffsetMatrix(), m_radius);
}

void dgCollisionSphere::DisplayTessellation(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback,
                                            const dgMatrix& offset, dgFloat32 radius) const {
    const dgMatrix matrix = offset.Multiply(bodyMatrix);
    const dgVector* unit = Shared().Display();
    for (dgInt32 i = 0; i < kDisplayTriangles; i++) {
        dgFloat32 points[9];
        for (dgInt32 j = 0; j < 3; j++) {
            const dgVector& u = unit[3 * i + j];
            const dgVector p =
                matrix.TransformVector(dgVector(u.x * radius, u.y * radius, u.z * radius, 1.0f));
            points[3 * j + 0] = p.x;
            points[3 * j + 1] = p.y;
            points[3 * j + 2] = p.z;
        }
        callback(body, 3, points, 0);
    }
}
