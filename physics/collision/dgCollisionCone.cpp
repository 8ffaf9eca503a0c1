#include "physics/collision/dgCollisionCone.h"

#include "physics/collision/dgAxialShapeParts.h"
#include "physics/collision/dgConvexEdgeTable.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"

#include <cmath>

namespace {

constexpr dgInt32 kPyramidSides = 8;

const dgConvexEdgeTable& ConeEdges() {
    // Eight side triangles (previous rim vertex, rim vertex, apex), then the base seen from below.
    static constexpr dgInt32 kFaceSizes[9] = {3, 3, 3, 3, 3, 3, 3, 3, 8};
    static constexpr dgInt32 kFaces[32] = {7, 0, 8, 0, 1, 8, 1, 2, 8, 2, 3, 8, 3, 4, 8, 4,
                                           5, 8, 5, 6, 8, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    static const dgConvexEdgeTable table(9, kFaceSizes, kFaces);
    return table;
}

} // namespace

dgCollisionCone::dgCollisionCone(dgUnsigned32 signature, dgFloat32 radius, dgFloat32 height,
                                 const dgMatrix& offset)
    : dgConvexCollision(signature, offset, kConeCollision), m_halfHeight(std::fabs(height) * 0.5f),
      m_radius(std::fabs(radius)), m_sinAngle(m_radius / std::sqrt(m_radius * m_radius + height * height)),
      m_cosStep(0.0f), m_sinStep(0.0f), m_step(GetAngularStep(m_radius)), m_invStep(1.0f / m_step) {
    m_cosStep = std::cos(m_step);
    m_sinStep = std::sin(m_step);
    const dgFloat32 sideStep = 6.28318f / static_cast<dgFloat32>(kPyramidSides);
    for (dgInt32 i = 0; i < kPyramidSides; i++) {
        const dgFloat32 angle = static_cast<dgFloat32>(i) * sideStep;
        m_vertices[i] = dgVector(-m_halfHeight, m_radius * std::cos(angle), m_radius * std::sin(angle), 1.0f);
    }
    m_vertices[kPyramidSides] = dgVector(m_halfHeight, 0.0f, 0.0f, 1.0f);
    const dgConvexEdgeTable& edges = ConeEdges();
    SetBorrowedPolyhedron(m_vertices, kVertexCount, edges.GetEdges(), edges.GetCount());
    SetVolumeAndCentre();
}

dgUnsigned32 dgCollisionCone::GetTypeId() const {
    return dgCollisionConeClassId;
}

bool dgCollisionCone::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionConeClassId || dgConvexCollision::IsType(typeId);
}

dgUnsigned32 dgCollisionCone::CalcSignature() const {
    const dgFloat32 dims[2] = {m_radius, m_halfHeight};
    return dgShapeSignature(kConeCollision, dims, 2, GetOffsetMatrix());
}

dgVector dgCollisionCone::SupportVertex(const dgVector& dir) const {
    if (dir.x > m_sinAngle) {
        return dgVector(m_halfHeight, 0.0f, 0.0f, 1.0f);
    }
    const dgVector rim = RimPointTowards(dir, m_radius, m_step, m_invStep, m_cosStep, m_sinStep);
    return dgVector(-m_halfHeight, rim.y, rim.z, 1.0f);
}

dgInt32 dgCollisionCone::CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                               dgVector* out) const {
    return CutFacingThePlane(*this, normal, point, out);
}

void dgCollisionCone::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    const dgMatrix matrix = GetOffsetMatrix().Multiply(bodyMatrix);
    const dgFloat32 step = 6.28318f / static_cast<dgFloat32>(kDisplaySides);
    dgVector rim[kDisplaySides];
    for (dgInt32 i = 0; i < kDisplaySides; i++) {
        const dgFloat32 angle = static_cast<dgFloat32>(i) * step;
        rim[i] = matrix.TransformVector(
            dgVector(-m_halfHeight, m_radius * std::cos(angle), m_radius * std::sin(angle), 1.0f));
    }
    const dgVector apex = matrix.TransformVector(dgVector(m_halfHeight, 0.0f, 0.0f, 1.0f));
    for (dgInt32 i = 0; i < kDisplaySides; i++) {
        const dgVector& a = rim[i];
        const dgVector& b = rim[i + 1 == kDisplaySides ? 0 : i + 1];
        const dgFloat32 triangle[9] = {a.x, a.y, a.z, b.x, b.y, b.z, apex.x, apex.y, apex.z};
        callback(body, 3, triangle, 0);
    }
    dgFloat32 base[3 * kDisplaySides];
    for (dgInt32 i = 0; i < kDisplaySides; i++) {
        const dgVector& p = rim[kDisplaySides - 1 - i];
        base[3 * i + 0] = p.x;
        base[3 * i + 1] = p.y;
        base[3 * i + 2] = p.z;
    }
    callback(body, kDisplaySides, base, 0);
}
