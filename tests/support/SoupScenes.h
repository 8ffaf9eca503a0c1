#pragma once
// Tree collisions for tests and benchmarks: faces listed as point loops, built through the soup
// shape's own build calls.

#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/core/dgVector.h"

#include <cmath>
#include <utility>
#include <vector>

/// Faces as counter-clockwise point loops (seen from the side the face is hit from) with attributes.
struct SoupFaceList {
    std::vector<std::vector<dgVector>> m_faces;
    std::vector<dgInt32> m_attributes;

    void Add(std::vector<dgVector> points, dgInt32 attribute) {
        m_faces.push_back(std::move(points));
        m_attributes.push_back(attribute);
    }
};

/// A built tree collision holding one reference (the caller's); null when the build failed.
inline dgCollisionPolygonalSoup* MakeTreeCollision(const SoupFaceList& list, bool optimize = false,
                                                   dgTreeCollisionFaceCallback faceCallback = nullptr) {
    dgCollisionPolygonalSoup* soup = dgCollisionPolygonalSoup::CreateTreeCollision(nullptr, faceCallback);
    soup->BeginTreeBuild();
    for (std::size_t i = 0; i < list.m_faces.size(); i++) {
        const std::vector<dgVector>& face = list.m_faces[i];
        soup->AddTreeFace(static_cast<dgInt32>(face.size()), &face[0].x, sizeof(dgVector), list.m_attributes[i]);
    }
    if (!soup->EndTreeBuild(optimize)) {
        dgRefRelease(soup);
        return nullptr;
    }
    return soup;
}

/// The six faces of the cube [-half, half]^3 facing out; attributes 1 to 6 for +x, -x, +y, -y, +z, -z.
inline SoupFaceList CubeFaces(dgFloat32 half) {
    SoupFaceList list;
    const dgFloat32 corners[4][2] = {{-1.0f, -1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}, {-1.0f, 1.0f}};
    for (dgInt32 axis = 0; axis < 3; axis++) {
        for (dgInt32 side = 0; side < 2; side++) {
            const dgFloat32 sign = side == 0 ? 1.0f : -1.0f;
            std::vector<dgVector> points;
            for (const auto& c : corners) {
                dgVector p(0.0f, 0.0f, 0.0f, 1.0f);
                p[axis] = sign * half;
                p[(axis + 1) % 3] = c[0] * half;
                p[(axis + 2) % 3] = c[1] * half;
                points.push_back(p);
            }
            // (u, v) cyclic after the axis winds about +axis; the far side is reversed.
            if (sign < 0.0f) {
                std::swap(points[1], points[3]);
            }
            list.Add(points, 2 * axis + side + 1);
        }
    }
    return list;
}

/// cells x cells squares of side size on the plane y = height(x, z), centred on the origin, facing +y;
/// each square as one quad, or as two triangles when triangles is set. Attribute: the square's index.
template <class Height>
SoupFaceList GridFaces(dgInt32 cells, dgFloat32 size, bool triangles, Height height) {
    SoupFaceList list;
    const dgFloat32 origin = -0.5f * size * static_cast<dgFloat32>(cells);
    auto at = [&](dgInt32 i, dgInt32 k) {
        const dgFloat32 x = origin + size * static_cast<dgFloat32>(i);
        const dgFloat32 z = origin + size * static_cast<dgFloat32>(k);
        return dgVector(x, height(x, z), z, 1.0f);
    };
    for (dgInt32 k = 0; k < cells; k++) {
        for (dgInt32 i = 0; i < cells; i++) {
            const dgVector a = at(i, k);
            const dgVector b = at(i, k + 1);
            const dgVector c = at(i + 1, k + 1);
            const dgVector d = at(i + 1, k);
            const dgInt32 attribute = k * cells + i;
            if (triangles) {
                list.Add({a, b, c}, attribute);
                list.Add({a, c, d}, attribute);
            } else {
                list.Add({a, b, c, d}, attribute);
            }
        }
    }
    return list;
}

inline SoupFaceList FlatGridFaces(dgInt32 cells, dgFloat32 size, bool triangles, dgFloat32 y = 0.0f) {
    return GridFaces(cells, size, triangles, [y](dgFloat32, dgFloat32) { return y; });
}

/// Rolling terrain: cells x cells unit squares of two triangles each, centred on the origin, at height
/// 0.5 sin(0.3 x) cos(0.25 z) (grades up to 0.15 along z = 0).
inline dgFloat32 RollingTerrainHeight(dgFloat32 x, dgFloat32 z) {
    return 0.5f * std::sin(0.3f * x) * std::cos(0.25f * z);
}

inline dgCollisionPolygonalSoup* MakeRollingTerrain(dgInt32 cells) {
    return MakeTreeCollision(GridFaces(cells, 1.0f, true, RollingTerrainHeight));
}
