#include "renderer/SceneHooks.h"

#include "scene3d/IOrvalen3DD3D.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"
#include "scene3d/IOrvalen3DD3DObject.h"

#include <new>

static_assert(kSceneMaxMaterials == IOrvalen3DD3DObject::kMaxMaterials);
static_assert(kSceneMaxMaterials == IOrvalen3DD3DLevelObject::kMaxMaterials);

IOrvalen3D* NewScene3D() {
    return new (std::nothrow) IOrvalen3DD3D();
}

bool SceneHasWorld(const IOrvalen3D& scene) {
    return static_cast<const IOrvalen3DD3D&>(scene).World != nullptr;
}

SceneMaterials MaterialsOf(const IOrvalen3DObject& object) {
    const auto& materials = static_cast<const IOrvalen3DD3DObject&>(object);
    return {materials.MaterialCount, materials.MaterialNames, materials.Textures};
}

SceneMaterials MaterialsOf(const IOrvalen3DLevelObject& level) {
    const auto& materials = static_cast<const IOrvalen3DD3DLevelObject&>(level);
    return {materials.MaterialCount, materials.MaterialNames, materials.Textures};
}
