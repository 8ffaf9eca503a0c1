#include "CollisionTestShapes.h"

#include "physics/core/dgQuaternion.h"

#include <cmath>

TestPrism::TestPrism(dgInt32 sides, dgFloat32 halfHeight)
    : dgConvexCollision(0, dgGetIdentityMatrix(), kConvexHullCollision), m_sides(sides),
      m_halfHeight(halfHeight) {
    // Vertices 0..n-1 on the top ring, n..2n-1 on the bottom ring.
    for (dgInt32 ring = 0; ring < 2; ring++) {
        for (dgInt32 i = 0; i < sides; i++) {
            const dgFloat64 angle = 2.0 * 3.14159265358979323846 * i / sides;
            m_points.push_back(dgVector(static_cast<dgFloat32>(std::cos(angle)),
                                        ring == 0 ? halfHeight : -halfHeight,
                                        static_cast<dgFloat32>(std::sin(angle)), 1.0f));
        }
    }
    std::vector<dgInt32> sizes;
    std::vector<dgInt32> indices;
    // Seen from +y the ring runs clockwise (x towards z), so the top face lists it backwards.
    sizes.push_back(sides);
    for (dgInt32 i = sides - 1; i >= 0; i--) {
        indices.push_back(i);
    }
    sizes.push_back(sides);
    for (dgInt32 i = 0; i < sides; i++) {
        indices.push_back(sides + i);
    }
    for (dgInt32 i = 0; i < sides; i++) {
        const dgInt32 j = (i + 1) % sides;
        sizes.push_back(4);
        indices.insert(indices.end(), {i, j, sides + j, sides + i});
    }
    m_table =
        std::make_unique<dgConvexEdgeTable>(static_cast<dgInt32>(sizes.size()), sizes.data(), indices.data());
    SetPolyhedron(m_points.data(), 2 * sides, m_table->GetEdges(), m_table->GetCount());
    SetVolumeAndCentre();
}

TestPrism::~TestPrism() {
    DetachPolyhedron();
}

dgFloat32 TestPrism::ExactVolume() const {
    const dgFloat64 area = 0.5 * m_sides * std::sin(2.0 * 3.14159265358979323846 / m_sides);
    return static_cast<dgFloat32>(area * 2.0 * m_halfHeight);
}

DisplayedFaces::DisplayedFaces(const dgCollision& shape, const dgMatrix& bodyMatrix) {
    dgBody body;
    body.m_matrix = bodyMatrix;
    body.m_userData = this;
    shape.ForEachDisplayFace(body.m_matrix, &body, Collect);
}

void DisplayedFaces::Collect(dgBody* body, dgInt32 count, const dgFloat32* points, dgInt32) {
    std::vector<dgVector> face;
    for (dgInt32 i = 0; i < count; i++) {
        face.push_back(dgVector(&points[3 * i]));
    }
    static_cast<DisplayedFaces*>(body->m_userData)->m_faces.push_back(face);
}

RayResult CastRay(const dgCollision& shape, const dgVector& p0, const dgVector& p1) {
    RayResult result;
    result.m_t = shape.RayCast(p0, p1, result.m_contact, nullptr, nullptr, nullptr);
    return result;
}

RayResult CastRayGeneric(const dgConvexCollision& shape, const dgVector& p0, const dgVector& p1) {
    RayResult result;
    result.m_t = shape.dgConvexCollision::RayCast(p0, p1, result.m_contact, nullptr, nullptr, nullptr);
    return result;
}

dgInt32 FixedPlane(std::uintptr_t, void* context, const dgFloat32*, dgFloat32* plane) {
    const dgFloat32* source = static_cast<const dgFloat32*>(context);
    for (dgInt32 i = 0; i < 4; i++) {
        plane[i] = source[i];
    }
    return 1;
}

dgMatrix MakeMatrix(const dgVector& axis, dgFloat32 angle, const dgVector& origin) {
    return dgMatrix::FromQuaternion(dgQuaternion::FromAxisAngle(axis, angle), origin);
}
