// Building objects, collision objects and levels: not in place yet, so nothing is made.
#include "scene3d/IOrvalen3DD3D.h"

IOrvalen3DObject* IOrvalen3DD3D::Cube(float, float, float, bool) {
    return nullptr;
}

IOrvalen3DObject* IOrvalen3DD3D::Cube(float, float, float) {
    return nullptr;
}

IOrvalen3DObject* IOrvalen3DD3D::Cylinder(float, float, bool) {
    return nullptr;
}

IOrvalen3DObject* IOrvalen3DD3D::Cylinder(float, float) {
    return nullptr;
}

IOrvalen3DObject* IOrvalen3DD3D::Sphere(float, float, float, bool) {
    return nullptr;
}

IOrvalen3DObject* IOrvalen3DD3D::Sphere(float, bool) {
    return nullptr;
}

IOrvalen3DObject* IOrvalen3DD3D::Sphere(float, float, float) {
    return nullptr;
}

IOrvalen3DObject* IOrvalen3DD3D::Sphere(float) {
    return nullptr;
}

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

void IOrvalen3DD3D::DestroyObject(IOrvalen3DObject*, bool) {}

void IOrvalen3DD3D::DestroyObject(IOrvalen3DObject*) {}

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

IOrvalen3DLevelObject* IOrvalen3DD3D::CreateLevel(std::int32_t, const Vertex3D*, float, float, float, float,
                                                  float, float, float, float, float) {
    return nullptr;
}

bool IOrvalen3DD3D::AddLevelParts(IOrvalen3DLevelObject*, const char*, std::int32_t, const std::int32_t*) {
    return false;
}

bool IOrvalen3DD3D::EndLevelBuild(IOrvalen3DLevelObject*, bool) {
    return false;
}

bool IOrvalen3DD3D::EndLevelBuild(IOrvalen3DLevelObject*) {
    return false;
}

void IOrvalen3DD3D::DestroyLevel(IOrvalen3DLevelObject*) {}
