// Polygon-soup functions of the flat interface: tree collisions built face by face or read from a
// stream, user meshes, and the face attributes of a tree's index lists.

#include "physics/api/dgApi.h"
#include "physics/api/dgApiHelpers.h"
#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/collision/dgTreeCollisionSoup.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgWorld.h"

namespace {

/// Most vertices of one face of a tree collision.
constexpr int kMaxFaceVertices = 1024;

/// The soup shape behind a handle, or null when the handle is some other shape.
dgCollisionPolygonalSoup* AsSoup(dgCollision* collision) {
    if (collision == nullptr || !collision->IsType(dgCollisionPolygonalSoupClassId)) {
        return nullptr;
    }
    return static_cast<dgCollisionPolygonalSoup*>(collision);
}

} // namespace

dgCollision* dgApiTreeCollisionCreate(dgWorld* world, dgTreeCollisionFaceCallback faceCallback) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail(
        [&]() -> dgCollision* { return dgCollisionPolygonalSoup::CreateTreeCollision(world, faceCallback); });
}

dgCollision* dgApiTreeCollisionCreateFromSerialization(dgWorld* world,
                                                       dgTreeCollisionFaceCallback faceCallback,
                                                       dgSoupDeserializeCallback callback, void* userData) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgCollision* {
        return dgCollisionPolygonalSoup::CreateTreeCollisionFromStream(world, faceCallback, callback,
                                                                       userData);
    });
}

dgCollision* dgApiUserMeshCollisionCreate(dgWorld* world, const float* minPoint, const float* maxPoint,
                                          void* userData, dgPolygonSoupCollideCallback collideCallback,
                                          dgPolygonSoupRayHitCallback rayHitCallback,
                                          dgPolygonSoupDestroyCallback destroyCallback) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgCollision* {
        dgCollision* mesh = world->CreateUserMesh(userData, collideCallback, rayHitCallback, destroyCallback);
        if (mesh != nullptr) {
            mesh->SetCollisionBBox(dgApiPoint(minPoint), dgApiPoint(maxPoint));
        }
        return mesh;
    });
}

void dgApiTreeCollisionBeginBuild(dgCollision* treeCollision) {
    if (dgCollisionPolygonalSoup* soup = AsSoup(treeCollision)) {
        soup->BeginTreeBuild();
    }
}

void dgApiTreeCollisionAddFace(dgCollision* treeCollision, int vertexCount, const float* vertices,
                               int strideInBytes, int faceAttribute) {
    dgCollisionPolygonalSoup* soup = AsSoup(treeCollision);
    if (soup == nullptr || vertices == nullptr || vertexCount < 3 || vertexCount > kMaxFaceVertices) {
        return;
    }
    soup->AddTreeFace(vertexCount, vertices, strideInBytes, faceAttribute);
}

void dgApiTreeCollisionEndBuild(dgCollision* treeCollision, int optimize) {
    if (dgCollisionPolygonalSoup* soup = AsSoup(treeCollision)) {
        soup->EndTreeBuild(optimize != 0);
    }
}

void dgApiTreeCollisionSerialize(dgCollision* treeCollision, dgSoupSerializeCallback callback,
                                 void* userData) {
    if (dgCollisionPolygonalSoup* soup = AsSoup(treeCollision)) {
        soup->SerializeTree(callback, userData);
    }
}

int dgApiTreeCollisionGetFaceAtribute(dgCollision*, const int* faceIndexArray) {
    return faceIndexArray != nullptr ? faceIndexArray[-1] : 0;
}

void dgApiTreeCollisionSetFaceAtribute(dgCollision*, int* faceIndexArray, int attribute) {
    if (faceIndexArray != nullptr) {
        faceIndexArray[-1] = attribute;
    }
}
