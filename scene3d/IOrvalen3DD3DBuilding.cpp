// Building objects from the host's mesh and collision objects: not in place yet, so nothing is
// made. Destroying 3D objects is in place for the primitives.
#include "scene3d/IOrvalen3DD3D.h"

#include "scene3d/IOrvalen3DD3DObject.h"

IOrvalen3DObject* IOrvalen3DD3D::BeginObjectBuild(std::uint32_t, const Vertex3D*, bool) {
    return nullptr;
}

IOrvalen3DObject* IOrvalen3DD3D::BeginObjectBuild(std::uint32_t, const Vertex3D*) {
    return nullptr;
}

bool IOrvalen3DD3D::AddObjectParts(IOrvalen3DObject*, const char*, std::int32_t, const std::uint32_t*,
                                   const std::uint32_t*, bool) {
    return false;
}

bool IOrvalen3DD3D::AddObjectParts(IOrvalen3DObject*, const char*, std::int32_t, const std::uint32_t*, bool) {
    return false;
}

bool IOrvalen3DD3D::AddObjectParts(IOrvalen3DObject*, const char*, std::int32_t, const std::uint32_t*,
                                   const std::uint32_t*) {
    return false;
}

bool IOrvalen3DD3D::AddObjectParts(IOrvalen3DObject*, const char*, std::int32_t, const std::uint32_t*) {
    return false;
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject*, float, float, float, bool) {
    return false;
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject*, bool) {
    return false;
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject*, float, float, float) {
    return false;
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject*) {
    return false;
}

void IOrvalen3DD3D::DestroyObject(IOrvalen3DObject* object, bool) {
    if (object == nullptr) {
        Log("ERROR: DestroyObject Failed - Null Object Passed\n");
        return;
    }
    // Only the table's own entry is deleted: an object that was never entered is not the scene's.
    const std::int32_t id = static_cast<IOrvalen3DD3DObject*>(object)->ID;
    if (id < 0 || id >= kMaxObjects || Objects[id] != object) {
        return;
    }
    delete Objects[id];
    Objects[id] = nullptr;
}

void IOrvalen3DD3D::DestroyObject(IOrvalen3DObject* object) {
    DestroyObject(object, false);
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject*, StaticBody) {
    return false;
}

IOrvalen3DCollisionObject* IOrvalen3DD3D::CollisionReserved1(std::uint32_t, std::uint32_t, std::uint32_t) {
    return nullptr;
}

IOrvalen3DCollisionObject* IOrvalen3DD3D::CollisionReserved2(std::uint32_t, std::uint32_t) {
    return nullptr;
}

IOrvalen3DCollisionObject* IOrvalen3DD3D::CollisionSphere(float, float, float) {
    return nullptr;
}

IOrvalen3DCollisionObject* IOrvalen3DD3D::CollisionReserved3(std::uint32_t, std::uint32_t) {
    return nullptr;
}

void IOrvalen3DD3D::DestroyObject(IOrvalen3DCollisionObject*) {}
