#pragma once
// Face lists for polygon-soup tests: faces over their own vertices, fed to a builder in one AddMesh.

#include "physics/collision/dgDoublePlaneBSPPolygonSoup.h"
#include "physics/collision/dgPolygonSoupBuilder.h"

#include "CollisionTestShapes.h"

#include <cmath>
#include <initializer_list>
#include <vector>

struct SoupFaces {
    std::vector<dgFloat32> m_vertices;
    std::vector<dgInt32> m_counts;
    std::vector<dgInt32> m_indices;
    std::vector<dgInt32> m_attributes;

    void Add(std::initializer_list<dgVector> points, dgInt32 attribute) { Add(std::vector<dgVector>(points), attribute); }
    void Add(const std::vector<dgVector>& points, dgInt32 attribute) {
        for (const dgVector& p : points) {
            m_indices.push_back(static_cast<dgInt32>(m_vertices.size() / 3));
            m_vertices.insert(m_vertices.end(), {p.x, p.y, p.z});
        }
        m_counts.push_back(static_cast<dgInt32>(points.size()));
        m_attributes.push_back(attribute);
    }
    bool AddTo(dgPolygonSoupBuilder& builder) const {
        return builder.AddMesh(m_vertices.data(), static_cast<dgInt32>(m_vertices.size() / 3), 12,
                               static_cast<dgInt32>(m_counts.size()), m_counts.data(), m_indices.data(),
                               m_attributes.data(), dgGetIdentityMatrix());
    }
};

/// Begin, AddMesh, optionally Optimize, End, then the tree build.
inline bool BuildSoup(dgDoublePlaneBSPPolygonSoup& soup, const SoupFaces& faces, bool optimize = false) {
    dgPolygonSoupBuilder builder;
    builder.Begin();
    faces.AddTo(builder);
    if (optimize) {
        builder.Optimize(true);
    }
    builder.End();
    return soup.BuildSoupTree(builder);
}

/// Area of a planar polygon of count indices over x, y, z triples.
inline dgFloat64 PolygonArea(const dgFloat32* vertices, const dgInt32* indices, dgInt32 count) {
    dgFloat64 n[3] = {0.0, 0.0, 0.0};
    const dgFloat32* a = vertices + 3 * indices[0];
    for (dgInt32 i = 1; i + 1 < count; i++) {
        const dgFloat32* b = vertices + 3 * indices[i];
        const dgFloat32* c = vertices + 3 * indices[i + 1];
        const dgFloat64 u[3] = {dgFloat64(b[0]) - a[0], dgFloat64(b[1]) - a[1], dgFloat64(b[2]) - a[2]};
        const dgFloat64 v[3] = {dgFloat64(c[0]) - a[0], dgFloat64(c[1]) - a[1], dgFloat64(c[2]) - a[2]};
        n[0] += u[1] * v[2] - u[2] * v[1];
        n[1] += u[2] * v[0] - u[0] * v[2];
        n[2] += u[0] * v[1] - u[1] * v[0];
    }
    return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}
