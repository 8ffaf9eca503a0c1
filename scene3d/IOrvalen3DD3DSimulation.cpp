// Stepping, ray casts, point queries and material groups of the scene.
#include "scene3d/IOrvalen3DD3D.h"

#include "physics/api/dgApi.h"
#include "scene3d/IOrvalen3DD3DCollisionObject.h"
#include "scene3d/IOrvalen3DD3DObject.h"
#include "scene3d/SceneContactCallbacks.h"

#include <algorithm>

namespace {

/// Any fraction above 1 means nothing was hit.
constexpr double kNoHit = 1.5;

/// The nearest accepted hit of the ray cast running now; ray casts do not overlap.
struct RayCastState {
    double nearest = kNoHit;
    dgBody* body = nullptr;
};
RayCastState g_rayCast;

unsigned RayCastPrefilter(dgBody*, const dgCollision*, void*) {
    return 1;
}

/// Keeps the nearest hit on a body that takes contacts: objects in collision mode 2 are transparent,
/// levels are always hit, and a body the scene did not make is hit without a record.
float RayCastFilter(dgBody* body, const float*, int, void*, float t) {
    const auto* record = static_cast<const BodyUserData*>(dgApiBodyGetUserData(body));
    std::int32_t mode = 0;
    if (record != nullptr) {
        switch (record->BodyKind) {
        case 0:
            mode = static_cast<const IOrvalen3DD3DObject*>(record->Owner)->CollisionMode;
            break;
        case 1:
            mode = static_cast<const IOrvalen3DD3DCollisionObject*>(record->Owner)->CollisionMode;
            break;
        case 2:
            break;
        default:
            return 0.0f;
        }
    }
    if (g_rayCast.nearest > static_cast<double>(t) && mode != 2) {
        g_rayCast.nearest = t;
        g_rayCast.body = record != nullptr ? body : nullptr;
        return t;
    }
    return static_cast<float>(kNoHit);
}

} // namespace

bool IOrvalen3DD3D::Update(float timeStep) {
    if (World == nullptr) {
        return false;
    }
    dgApiWorldUpdate(World, timeStep);
    for (std::uint32_t id = 0; id < ObjectCount && id < kMaxObjects; ++id) {
        if (Objects[id] != nullptr && Objects[id]->Playing) {
            Objects[id]->UpdateAnimation(timeStep);
        }
    }
    return true;
}

double IOrvalen3DD3D::RayCast(BodyUserData** hit, float x0, float y0, float z0, float x1, float y1, float z1) {
    g_rayCast = RayCastState{};
    if (World == nullptr) {
        return kNoHit;
    }
    const float p0[3] = {x0, y0, z0};
    const float p1[3] = {x1, y1, z1};
    dgApiWorldRayCast(World, p0, p1, RayCastFilter, hit, RayCastPrefilter);
    if (hit != nullptr && g_rayCast.body != nullptr) {
        *hit = static_cast<BodyUserData*>(dgApiBodyGetUserData(g_rayCast.body));
    }
    return g_rayCast.nearest;
}

bool IOrvalen3DD3D::Collide(IOrvalen3DObject* object, float x, float y, float z, float* contact, float* normal) {
    auto* target = static_cast<IOrvalen3DD3DObject*>(object);
    if (World == nullptr || target == nullptr || target->Body == nullptr || contact == nullptr ||
        normal == nullptr) {
        return false;
    }
    // Placed by the body's own matrix: Matrix is refreshed only where the object is drawn, and then
    // carries the draw's scale, which a hull rebuilt by SetScale already has.
    const float point[3] = {x, y, z};
    float placement[16];
    dgApiBodyGetMatrix(target->Body, placement);
    return dgApiCollisionPointDistance(World, point, dgApiBodyGetCollision(target->Body), placement, contact,
                                       normal) != 0;
}

std::int32_t IOrvalen3DD3D::GetDefaultMaterialID() {
    return World != nullptr ? dgApiMaterialGetDefaultGroupId(World) : 0;
}

std::int32_t IOrvalen3DD3D::CreateMaterialID() {
    if (World == nullptr) {
        return 0;
    }
    // The engine gives the new group's pairs no callbacks; without the scene's, objects in the group
    // would lose their events and collision modes.
    const std::int32_t id = dgApiMaterialCreateGroupId(World);
    for (std::int32_t other = 0; other <= id; ++other) {
        InstallContactCallbacks(World, id, other);
    }
    // At the engine's group limit the default id comes back; the ids handed out stay as they were.
    m_lastMaterialGroup = std::max(m_lastMaterialGroup, id);
    return id;
}

bool IOrvalen3DD3D::IsMaterialGroup(std::int32_t id) const {
    return World != nullptr && id >= 0 && id <= m_lastMaterialGroup;
}

void IOrvalen3DD3D::SetMaterialPair(std::int32_t id0, std::int32_t id1, bool collidable, float softness,
                                    float elasticity, float staticFriction, float kineticFriction) {
    if (World == nullptr) {
        return;
    }
    dgApiMaterialSetDefaultCollidable(World, id0, id1, collidable ? 1 : 0);
    dgApiMaterialSetDefaultFriction(World, id0, id1, staticFriction, kineticFriction);
    dgApiMaterialSetDefaultElasticity(World, id0, id1, elasticity);
    dgApiMaterialSetDefaultSoftness(World, id0, id1, softness);
}
