// The host's side of contact and level events: registrations under event ids 0-999, the fired flags
// it polls and the records of the strongest contact it reads. The contact callbacks fill them.
#include "scene3d/IOrvalen3DD3D.h"

#include "scene3d/IOrvalen3DD3DCollisionObject.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"
#include "scene3d/IOrvalen3DD3DObject.h"
#include "scene3d/SceneEventTables.h"

namespace {

/// Logs and refuses a bad id or a missing object; the registration may go ahead when false.
bool RefusedRegistration(const IOrvalen3DD3D& scene, std::int32_t id, const void* a, const void* b) {
    if (!SceneEventTables::IsEventId(id)) {
        scene.Log("ERROR: RegisterEvent Failed - Bad EventID %d\n", id);
        return true;
    }
    if (a == nullptr || b == nullptr) {
        scene.Log("ERROR: RegisterEvent Failed - Null Object Passed\n");
        return true;
    }
    return false;
}

/// Logs "<operation> Failed - Bad EventID" for an id outside 0-999.
bool BadEventId(const IOrvalen3DD3D& scene, std::int32_t id, const char* operation) {
    if (SceneEventTables::IsEventId(id)) {
        return false;
    }
    scene.Log("ERROR: %s Failed - Bad EventID %d\n", operation, id);
    return true;
}

using FiredFlags = bool[SceneEventTables::kEventIds];

bool IsFired(const IOrvalen3DD3D& scene, const FiredFlags& fired, std::int32_t id, const char* operation) {
    return !BadEventId(scene, id, operation) && fired[id];
}

void Unfire(const IOrvalen3DD3D& scene, FiredFlags& fired, std::int32_t id, const char* operation) {
    if (!BadEventId(scene, id, operation)) {
        fired[id] = false;
    }
}

std::uint32_t IdOf(IOrvalen3DObject* object) {
    return static_cast<std::uint32_t>(static_cast<IOrvalen3DD3DObject*>(object)->ID);
}

std::uint32_t IdOf(IOrvalen3DCollisionObject* object) {
    return static_cast<std::uint32_t>(static_cast<IOrvalen3DD3DCollisionObject*>(object)->ID);
}

/// The four forms alike: the pair of ids under `id`, matched whichever body comes first.
template <typename A, typename B> bool RegisterPair(const IOrvalen3DD3D& scene, A* a, B* b, std::int32_t id) {
    if (RefusedRegistration(scene, id, a, b)) {
        return false;
    }
    if (!SharedEventTables().AddPair(id, IdOf(a), IdOf(b))) {
        scene.Log("ERROR: RegisterEvent Failed\n");
        return false;
    }
    return true;
}

} // namespace

bool IOrvalen3DD3D::RegisterEvent(IOrvalen3DCollisionObject* a, IOrvalen3DCollisionObject* b,
                                  std::int32_t id) {
    return RegisterPair(*this, a, b, id);
}

bool IOrvalen3DD3D::RegisterEvent(IOrvalen3DCollisionObject* a, IOrvalen3DObject* b, std::int32_t id) {
    return RegisterPair(*this, a, b, id);
}

bool IOrvalen3DD3D::RegisterEvent(IOrvalen3DObject* a, IOrvalen3DCollisionObject* b, std::int32_t id) {
    return RegisterPair(*this, a, b, id);
}

bool IOrvalen3DD3D::RegisterEvent(IOrvalen3DObject* a, IOrvalen3DObject* b, std::int32_t id) {
    return RegisterPair(*this, a, b, id);
}

void IOrvalen3DD3D::ClearEvents() {
    SharedEventTables().ClearPairs();
    for (std::int32_t id = 0; id < SceneEventTables::kEventIds; ++id) {
        ResetEvent(id);
    }
}

bool IOrvalen3DD3D::CheckEvent(std::int32_t id) {
    return IsFired(*this, SharedEventTables().EventFired, id, "CheckEvent");
}

void IOrvalen3DD3D::ResetEvent(std::int32_t id) {
    Unfire(*this, SharedEventTables().EventFired, id, "ResetEvent");
}

EventInfo IOrvalen3DD3D::GetEvent(std::int32_t id) {
    return BadEventId(*this, id, "GetEvent") ? EventInfo{} : SharedEventTables().EventInfos[id];
}

bool IOrvalen3DD3D::RegisterLevelEvent(IOrvalen3DLevelObject* level, const char* material, std::int32_t objectId,
                                       std::int32_t id) {
    if (BadEventId(*this, id, "RegisterLevelEvent")) {
        return false;
    }
    if (level == nullptr || material == nullptr) {
        Log("ERROR: RegisterLevelEvent Failed - Null Level Passed\n");
        return false;
    }
    const auto* target = static_cast<const IOrvalen3DD3DLevelObject*>(level);
    SceneEventTables& tables = SharedEventTables();
    LevelEventRegistration* registration = tables.AddLevel(id, target);
    if (registration == nullptr) {
        Log("ERROR: RegisterLevelEvent Failed\n");
        return false;
    }
    // An unknown name leaves the registration in its list, with attribute 0 it never matches.
    const std::int32_t group = target->FindMaterial(material);
    if (group < 0) {
        Log("ERROR: RegisterLevelEvent Failed - Material %s Not Found\n", material);
        return false;
    }
    registration->FaceAttribute =
        target->LevelID * SceneEventTables::kGroupsPerLevel + static_cast<std::uint32_t>(group) + 1;
    registration->ObjectId = static_cast<std::uint32_t>(objectId);
    registration->Unnumbered = target->Body == nullptr;
    if (!tables.IndexLevelRegistration(*registration)) {
        Log("ERROR: RegisterLevelEvent Failed\n");
        return false;
    }
    return true;
}

void IOrvalen3DD3D::ClearLevelEvents() {
    SharedEventTables().ClearLevels();
    for (std::int32_t id = 0; id < SceneEventTables::kEventIds; ++id) {
        ResetLevelEvent(id);
    }
}

bool IOrvalen3DD3D::CheckLevelEvent(std::int32_t id) {
    return IsFired(*this, SharedEventTables().LevelEventFired, id, "CheckLevelEvent");
}

void IOrvalen3DD3D::ResetLevelEvent(std::int32_t id) {
    Unfire(*this, SharedEventTables().LevelEventFired, id, "ResetLevelEvent");
}

EventInfo IOrvalen3DD3D::GetLevelEvent(std::int32_t id) {
    return SceneEventTables::IsEventId(id) ? SharedEventTables().LevelEventInfos[id] : EventInfo{};
}
