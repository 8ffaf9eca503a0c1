// Stepping, queries, materials, events and drawing of the scene: not in place yet, so nothing moves,
// nothing is hit, no event fires and nothing is drawn.
#include "scene3d/IOrvalen3DD3D.h"

void IOrvalen3DD3D::Render() {}

bool IOrvalen3DD3D::Update(float) {
    return false;
}

double IOrvalen3DD3D::RayCast(BodyUserData** hit, float, float, float, float, float, float) {
    if (hit != nullptr) {
        *hit = nullptr;
    }
    // Any fraction above 1 means nothing was hit.
    return 1.5;
}

bool IOrvalen3DD3D::Collide(IOrvalen3DObject*, float, float, float, float*, float*) {
    return false;
}

std::int32_t IOrvalen3DD3D::GetDefaultMaterialID() {
    return 0;
}

std::int32_t IOrvalen3DD3D::CreateMaterialID() {
    return 0;
}

void IOrvalen3DD3D::SetMaterialPair(std::int32_t, std::int32_t, bool, float, float, float, float) {}

bool IOrvalen3DD3D::RegisterEvent(IOrvalen3DCollisionObject*, IOrvalen3DCollisionObject*, std::int32_t) {
    return false;
}

bool IOrvalen3DD3D::RegisterEvent(IOrvalen3DCollisionObject*, IOrvalen3DObject*, std::int32_t) {
    return false;
}

bool IOrvalen3DD3D::RegisterEvent(IOrvalen3DObject*, IOrvalen3DCollisionObject*, std::int32_t) {
    return false;
}

bool IOrvalen3DD3D::RegisterEvent(IOrvalen3DObject*, IOrvalen3DObject*, std::int32_t) {
    return false;
}

void IOrvalen3DD3D::ClearEvents() {}

bool IOrvalen3DD3D::CheckEvent(std::int32_t) {
    return false;
}

void IOrvalen3DD3D::ResetEvent(std::int32_t) {}

EventInfo IOrvalen3DD3D::GetEvent(std::int32_t) {
    return {};
}

bool IOrvalen3DD3D::RegisterLevelEvent(IOrvalen3DLevelObject*, const char*, std::int32_t, std::int32_t) {
    return false;
}

void IOrvalen3DD3D::ClearLevelEvents() {}

bool IOrvalen3DD3D::CheckLevelEvent(std::int32_t) {
    return false;
}

void IOrvalen3DD3D::ResetLevelEvent(std::int32_t) {}

EventInfo IOrvalen3DD3D::GetLevelEvent(std::int32_t) {
    return {};
}
