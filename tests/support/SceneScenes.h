#pragma once
// Scenes of the 3D scene written once for its tests and benchmarks: a static floor of scene cubes and
// cubes dropped above it.

#include "scene3d/IOrvalen3DD3D.h"
#include "scene3d/IOrvalen3DD3DObject.h"

namespace scene_scenes {

constexpr float kStep = 1.0f / 60.0f;

/// A static Cube(size, 1, size) whose top face is y = 0.
inline IOrvalen3DD3DObject* Floor(IOrvalen3DD3D& scene, float size) {
    auto* floor = static_cast<IOrvalen3DD3DObject*>(scene.Cube(size, 1.0f, size));
    if (floor != nullptr) {
        floor->SetCollisionMode(0);
        floor->SetPosition(0.0f, -0.5f, 0.0f);
    }
    return floor;
}

/// A unit cube turned by the angles (about x, y, z) about its centre, which is at (x, y, z).
inline IOrvalen3DD3DObject* DroppedCube(IOrvalen3DD3D& scene, float x, float y, float z, float a = 0.0f,
                                        float b = 0.0f, float c = 0.0f) {
    auto* cube = static_cast<IOrvalen3DD3DObject*>(scene.Cube(1.0f, 1.0f, 1.0f));
    if (cube != nullptr) {
        // Turned first: the matrix takes each operation after the ones before.
        cube->SetRotation(a, b, c);
        cube->SetPosition(x, y, z);
    }
    return cube;
}

/// 1000 unit cubes in a 10 x 10 x 10 grid 2 units apart, each turned a little differently, the lowest
/// layer 2 units above a floor of 200 x 200 (made first): the physics benchmarks' rain through the scene.
inline void Rain(IOrvalen3DD3D& scene) {
    Floor(scene, 200.0f);
    for (int i = 0; i < 10; i++) {
        for (int j = 0; j < 10; j++) {
            for (int k = 0; k < 10; k++) {
                const float turn = 0.1f * static_cast<float>((i + 2 * j + 3 * k) % 7);
                auto* cube = static_cast<IOrvalen3DD3DObject*>(scene.Cube(1.0f, 1.0f, 1.0f));
                if (cube != nullptr) {
                    // The unit box's own inertia, as the physics benchmark gives its boxes.
                    cube->SetMass(1.0f, 1.0f / 6.0f, 1.0f / 6.0f, 1.0f / 6.0f);
                    cube->SetRotation(turn, 0.0f, 0.0f);
                    cube->SetRotation(0.0f, 0.0f, 0.5f * turn);
                    cube->SetPosition(2.0f * static_cast<float>(i) - 9.0f, 2.0f + 2.0f * static_cast<float>(k),
                                      2.0f * static_cast<float>(j) - 9.0f);
                }
            }
        }
    }
}

} // namespace scene_scenes
