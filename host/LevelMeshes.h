#pragma once
// Level meshes for the demo, the level tests and the benchmarks: a checker floor in two materials, a
// 20 degree ramp and a wall, as one vertex array and triangles by material name.

#include "IOrvalen3D.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct LevelMesh {
    std::vector<Vertex3D> vertices;
    std::map<std::string, std::vector<std::int32_t>> parts; ///< three indices a triangle, by material

    /// Adds the quad a, b, c, d (clockwise seen from its front, as the device draws front faces) as two
    /// triangles of `material`, texture corners (0, 1), (0, 0), (1, 0), (1, 1).
    void AddQuad(const std::string& material, const float (&corners)[4][3], const float (&normal)[3]) {
        static constexpr float kUV[4][2] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
        const auto first = static_cast<std::int32_t>(vertices.size());
        for (int i = 0; i < 4; ++i) {
            vertices.emplace_back(corners[i][0], corners[i][1], corners[i][2], normal[0], normal[1],
                                  normal[2], 0xFFFFFFFFu, kUV[i][0], kUV[i][1], 0.0f, 0.0f);
        }
        auto& list = parts[material];
        list.insert(list.end(), {first, first + 1, first + 2, first, first + 2, first + 3});
    }

    /// n x n square cells of `cell` units in the plane y = 0, centred on the origin and facing +y; cell
    /// (i, j) belongs to `even` when i + j is even and to `odd` otherwise.
    void AddCheckerFloor(int n, float cell, const std::string& even, const std::string& odd) {
        const float origin = -0.5f * cell * static_cast<float>(n);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const float x0 = origin + cell * static_cast<float>(i);
                const float z0 = origin + cell * static_cast<float>(j);
                const float corners[4][3] = {
                    {x0, 0, z0}, {x0, 0, z0 + cell}, {x0 + cell, 0, z0 + cell}, {x0 + cell, 0, z0}};
                AddQuad((i + j) % 2 == 0 ? even : odd, corners, {0, 1, 0});
            }
        }
    }

    /// A ramp `width` wide rising at 20 degrees along +x from (x, 0, z) over `length` units.
    void AddRamp(float x, float z, float width, float length, const std::string& material) {
        const float angle = 20.0f * 3.14159265f / 180.0f;
        const float top = length * std::sin(angle);
        const float run = length * std::cos(angle);
        const float corners[4][3] = {
            {x, 0, z}, {x, 0, z + width}, {x + run, top, z + width}, {x + run, top, z}};
        AddQuad(material, corners, {-std::sin(angle), std::cos(angle), 0});
    }

    /// A wall in the plane z = `z` facing -z, from x0 to x1 and up to `height`.
    void AddWall(float x0, float x1, float z, float height, const std::string& material) {
        const float corners[4][3] = {{x0, 0, z}, {x0, height, z}, {x1, height, z}, {x1, 0, z}};
        AddQuad(material, corners, {0, 0, -1});
    }

    /// Creates, fills (materials in name order) and, when `finish`, finishes a level of this mesh at its
    /// own coordinates.
    IOrvalen3DLevelObject* Build(IOrvalen3D& scene, bool finish = true) const {
        IOrvalen3DLevelObject* level = scene.CreateLevel(static_cast<std::int32_t>(vertices.size()),
                                                         vertices.data(), 0, 0, 0, 0, 0, 0, 1, 1, 1);
        if (level == nullptr) {
            return nullptr;
        }
        for (const auto& [name, indices] : parts) {
            scene.AddLevelParts(level, name.c_str(), static_cast<std::int32_t>(indices.size() / 3),
                                indices.data());
        }
        if (finish) {
            scene.EndLevelBuild(level);
        }
        return level;
    }
};
