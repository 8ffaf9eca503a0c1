#pragma once
// Meshes the demo builds objects from, and the object-building tests too: an octahedron, a
// tetrahedron and a box in two materials, as one vertex array and triangles by material name in order.

#include "IOrvalen3D.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct BuildMesh {
    std::vector<Vertex3D> vertices;
    std::vector<std::pair<std::string, std::vector<std::uint32_t>>> parts; ///< groups in the order made

    /// Adds the triangle a, b, c to `material`, turned so that it faces away from the origin (front
    /// faces clockwise seen from outside, as the device draws them).
    void AddFace(const std::string& material, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        const Vertex3D &p = vertices[a], &q = vertices[b], &r = vertices[c];
        const float u[3] = {q.x - p.x, q.y - p.y, q.z - p.z};
        const float v[3] = {r.x - p.x, r.y - p.y, r.z - p.z};
        const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const bool outward =
            n[0] * (p.x + q.x + r.x) + n[1] * (p.y + q.y + r.y) + n[2] * (p.z + q.z + r.z) > 0;
        auto part = parts.begin();
        while (part != parts.end() && part->first != material) {
            ++part;
        }
        if (part == parts.end()) {
            part = parts.insert(parts.end(), {material, {}});
        }
        part->second.insert(part->second.end(), {a, outward ? b : c, outward ? c : b});
    }

    std::uint32_t AddVertex(float x, float y, float z, float nx, float ny, float nz) {
        vertices.emplace_back(x, y, z, nx, ny, nz, 0xFFFFFFFFu, 0.5f + 0.5f * x, 0.5f - 0.5f * y, 0.0f, 0.0f);
        return static_cast<std::uint32_t>(vertices.size() - 1);
    }

    /// BeginObjectBuild with the vertices, then one AddObjectParts per material; null when refused.
    IOrvalen3DObject* Begin(IOrvalen3D& scene) const {
        IOrvalen3DObject* object =
            scene.BeginObjectBuild(static_cast<std::uint32_t>(vertices.size()), vertices.data());
        for (const auto& [name, indices] : parts) {
            if (object != nullptr) {
                scene.AddObjectParts(object, name.c_str(), static_cast<std::int32_t>(indices.size() / 3),
                                     indices.data());
            }
        }
        return object;
    }
};

/// Corners at distance `r` on the axes: its faces lie on the planes |x| + |y| + |z| = r.
inline BuildMesh Octahedron(float r) {
    BuildMesh mesh;
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {1.0f, -1.0f}) {
            float p[3] = {0, 0, 0};
            p[axis] = sign;
            mesh.AddVertex(r * p[0], r * p[1], r * p[2], p[0], p[1], p[2]);
        }
    }
    for (std::uint32_t x = 0; x < 2; ++x) {
        for (std::uint32_t y = 2; y < 4; ++y) {
            for (std::uint32_t z = 4; z < 6; ++z) {
                mesh.AddFace("default", x, y, z);
            }
        }
    }
    return mesh;
}

/// Four corners of the cube of half size 1, no two on one edge of it.
inline BuildMesh Tetrahedron() {
    BuildMesh mesh;
    const float corners[4][3] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
    for (const auto& c : corners) {
        mesh.AddVertex(c[0], c[1], c[2], c[0], c[1], c[2]);
    }
    mesh.AddFace("default", 0, 1, 2);
    mesh.AddFace("default", 0, 1, 3);
    mesh.AddFace("default", 0, 2, 3);
    mesh.AddFace("default", 1, 2, 3);
    return mesh;
}

/// A box of half extents (hx, hy, hz) centred on the origin, four vertices a face with the face's
/// normal: the top and bottom faces are "caps" (group 0), the four sides "sides" (group 1).
inline BuildMesh TwoMaterialBox(float hx, float hy, float hz) {
    BuildMesh mesh;
    const float half[3] = {hx, hy, hz};
    for (int axis : {1, 0, 2}) {
        for (float sign : {1.0f, -1.0f}) {
            const int a = (axis + 1) % 3, b = (axis + 2) % 3;
            std::uint32_t first = 0;
            for (int corner = 0; corner < 4; ++corner) {
                float p[3];
                float n[3] = {0, 0, 0};
                p[axis] = sign * half[axis];
                p[a] = (corner & 1 ? 1.0f : -1.0f) * half[a];
                p[b] = (corner & 2 ? 1.0f : -1.0f) * half[b];
                n[axis] = sign;
                const std::uint32_t made = mesh.AddVertex(p[0], p[1], p[2], n[0], n[1], n[2]);
                first = corner == 0 ? made : first;
            }
            const std::string material = axis == 1 ? "caps" : "sides";
            mesh.AddFace(material, first, first + 1, first + 3);
            mesh.AddFace(material, first, first + 3, first + 2);
        }
    }
    return mesh;
}
