#pragma once
// What the renderer asks of the 3D scene, which is built into the same library: beyond the public
// interfaces, only these calls, which the scene defines. The renderer never sees the scene's classes.

#include "IOrvalen3D.h"
#include "IOrvalen3DLevelObject.h"
#include "IOrvalen3DObject.h"

#include <cstdint>

struct IDirect3DTexture9;

/// Material groups an object or a level holds at most, whatever its count claims.
constexpr std::int32_t kSceneMaxMaterials = 1000;

/// An object's or a level's material groups: their names and textures (null for none), count in use.
struct SceneMaterials {
    std::int32_t count;
    char* const* names;
    IDirect3DTexture9* const* textures;
};

/// A new 3D interface, not yet given its renderer; null when no memory can be had.
IOrvalen3D* NewScene3D();
/// Whether the scene got its physics world (the engine may refuse one).
bool SceneHasWorld(const IOrvalen3D& scene);
SceneMaterials MaterialsOf(const IOrvalen3DObject& object);
SceneMaterials MaterialsOf(const IOrvalen3DLevelObject& level);
