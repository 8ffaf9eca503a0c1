// The scene object itself: its physics world, its object tables, its renderer and gravity, the bracket
// of the host's 3D drawing, and teardown.
#include "scene3d/IOrvalen3DD3D.h"

#include "physics/api/dgApi.h"
#include "renderer/IOrvalenD3D.h"
#include "scene3d/IOrvalen3DD3DCollisionObject.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"
#include "scene3d/IOrvalen3DD3DObject.h"
#include "scene3d/SceneContactCallbacks.h"
#include "scene3d/SceneEventTables.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

constexpr float kWorldHalfSize = 10000.0f;
/// XYZ | NORMAL | DIFFUSE | TEX2: the vertex format of Vertex3D.
constexpr DWORD kVertex3DFormat = 0x252;

} // namespace

IOrvalen3DD3D::IOrvalen3DD3D() {
    // The event tables are the process's: a new scene takes them over empty.
    SharedEventTables().ClearAll();
    ResetWorld();
}

IOrvalen3DD3D::~IOrvalen3DD3D() {
    DestroyAllObjects();
    for (IOrvalen3DD3DLevelObject* level : Levels) {
        level->Detach();
    }
    dgApiWorldDestroy(World);
}

void IOrvalen3DD3D::CreateWorld() {
    // The interface's default hooks are the runtime's malloc and free; a host that makes worlds with the
    // same hooks can keep them alive beside the scene's.
    World = dgApiWorldCreate(dgApiDefaultMalloc, dgApiDefaultFree);
    ObjectCount = 0;
    if (World == nullptr) {
        return;
    }
    // The objects reach their scene through their body's world.
    dgApiWorldSetUserData(World, this);
    const int id = dgApiMaterialGetDefaultGroupId(World);
    dgApiMaterialSetDefaultSoftness(World, id, id, 0.05f);
    dgApiMaterialSetDefaultElasticity(World, id, id, 0.4f);
    dgApiMaterialSetDefaultCollidable(World, id, id, 1);
    dgApiMaterialSetDefaultFriction(World, id, id, 1.0f, 0.5f);
    InstallContactCallbacks(World, id, id);
    const float minimum[3] = {-kWorldHalfSize, -kWorldHalfSize, -kWorldHalfSize};
    const float maximum[3] = {kWorldHalfSize, kWorldHalfSize, kWorldHalfSize};
    dgApiWorldSetSize(World, minimum, maximum);
}

void IOrvalen3DD3D::DestroyAllObjects() {
    // Deleted directly: each entry is an object the scene made; an id names a 3D or a collision object.
    for (std::uint32_t id = 0; id < ObjectCount && id < kMaxObjects; ++id) {
        delete Objects[id];
        Objects[id] = nullptr;
        delete CollisionObjects[id];
        CollisionObjects[id] = nullptr;
    }
    ObjectCount = 0;
}

void IOrvalen3DD3D::ResetWorld() {
    if (World == nullptr) {
        CreateWorld();
        return;
    }
    DestroyAllObjects();
}

IOrvalen3DD3D* IOrvalen3DD3D::OfBody(const dgBody* body) {
    return body != nullptr ? static_cast<IOrvalen3DD3D*>(dgApiWorldGetUserData(dgApiBodyGetWorld(body)))
                           : nullptr;
}

bool IOrvalen3DD3D::HasRoomForObject() const {
    if (ObjectCount < kMaxObjects) {
        return true;
    }
    Log("ERROR: Too Many Objects Created\n");
    return false;
}

namespace {

template <typename Object>
void Enter(Object* (&table)[IOrvalen3DD3D::kMaxObjects], std::uint32_t& count, Object* object) {
    table[count] = object;
    object->ID = static_cast<std::int32_t>(count);
    ++count;
}

/// Only the pointers the table holds are read: one the scene never made or already freed changes nothing.
template <typename Object, typename Interface>
void Remove(Object* (&table)[IOrvalen3DD3D::kMaxObjects], std::uint32_t count, const Interface* object) {
    for (std::uint32_t id = 0; id < count && id < IOrvalen3DD3D::kMaxObjects; ++id) {
        if (table[id] != nullptr && table[id] == object) {
            delete table[id];
            table[id] = nullptr;
            return;
        }
    }
}

} // namespace

void IOrvalen3DD3D::DeleteFromTable(IOrvalen3DObject* object) {
    Remove(Objects, ObjectCount, object);
}

void IOrvalen3DD3D::DeleteFromTable(IOrvalen3DCollisionObject* object) {
    Remove(CollisionObjects, ObjectCount, object);
}

void IOrvalen3DD3D::AddToTable(IOrvalen3DD3DObject* object) {
    Enter(Objects, ObjectCount, object);
}

void IOrvalen3DD3D::AddToTable(IOrvalen3DD3DCollisionObject* object) {
    Enter(CollisionObjects, ObjectCount, object);
}

void IOrvalen3DD3D::Log(const char* format, ...) const {
    if (Renderer == nullptr || Renderer->LogFile == nullptr) {
        return;
    }
    // Formatted to its full length: a host's name in a line may be of any length.
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string line(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) {
        std::vsnprintf(line.data(), line.size() + 1, format, arguments);
    }
    va_end(arguments);
    Renderer->Log("%s", line.c_str());
}

void IOrvalen3DD3D::SetRenderer(IOrvalenRenderer** renderer) {
    Renderer = renderer != nullptr ? static_cast<IOrvalenD3D*>(*renderer) : nullptr;
}

void IOrvalen3DD3D::SetGravity(float x, float y, float z) {
    // The scene keeps no copy: the force callbacks read the renderer's vector at every step.
    if (Renderer != nullptr) {
        Renderer->Gravity[0] = x;
        Renderer->Gravity[1] = y;
        Renderer->Gravity[2] = z;
    }
}

void IOrvalen3DD3D::Begin3D() {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return;
    }
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    Renderer->Device->SetTransform(D3DTS_WORLD, &identity);
    Renderer->Device->SetFVF(kVertex3DFormat);
    SavedZBuffer = Renderer->GetZBuffer();
    Renderer->SetZBuffer(true);
}

void IOrvalen3DD3D::End3D() {
    if (Renderer != nullptr) {
        Renderer->SetZBuffer(SavedZBuffer);
    }
}

void IOrvalen3DD3D::SetSolverModel(std::int32_t solverModel, std::int32_t frictionModel) {
    if (World == nullptr) {
        return;
    }
    dgApiWorldSetSolverModel(World, solverModel < 0 ? 0 : solverModel);
    dgApiWorldSetFrictionModel(World, frictionModel < 0 ? 0 : (frictionModel > 1 ? 1 : frictionModel));
}
