// Collision objects: CollisionSphere, the three reserved slots of the group, and their DestroyObject.
#include "scene3d/IOrvalen3DD3D.h"

#include "physics/api/dgApi.h"
#include "scene3d/BodyCallbacks.h"
#include "scene3d/IOrvalen3DD3DCollisionObject.h"

#include <memory>
#include <new>

IOrvalen3DCollisionObject* IOrvalen3DD3D::CollisionReserved1(std::uint32_t, std::uint32_t, std::uint32_t) {
    return nullptr;
}

IOrvalen3DCollisionObject* IOrvalen3DD3D::CollisionReserved2(std::uint32_t, std::uint32_t) {
    return nullptr;
}

IOrvalen3DCollisionObject* IOrvalen3DD3D::CollisionSphere(float radiusX, float radiusY, float radiusZ) {
    if (!HasRoomForObject()) {
        return nullptr;
    }
    std::unique_ptr<IOrvalen3DD3DCollisionObject> object(new (std::nothrow) IOrvalen3DD3DCollisionObject());
    if (object == nullptr) {
        return nullptr;
    }
    IOrvalenRenderer* renderer = Renderer;
    object->SetRenderer(&renderer);
    // Whatever was made before a failure is given back by the object's destructor.
    dgCollision* sphere =
        World != nullptr ? dgApiCollisionCreateSphere(World, radiusX, radiusY, radiusZ, nullptr) : nullptr;
    if (sphere != nullptr) {
        object->World = World;
        object->Modifier = dgApiCollisionCreateConvexModifier(World, sphere);
        if (object->Modifier == nullptr) {
            dgApiCollisionRelease(World, sphere);
        } else {
            // The modifier holds the sphere; the object holds the modifier.
            object->Body = MakeOwnedBody(World, object->Modifier, *object, CollisionObjectTransformCallback,
                                         CollisionObjectForceCallback, sphere);
        }
    }
    if (object->Body == nullptr) {
        Log("ERROR: CollisionSphere Failed\n");
        return nullptr;
    }
    IOrvalen3DD3DCollisionObject* made = object.release();
    AddToTable(made);
    return made;
}

IOrvalen3DCollisionObject* IOrvalen3DD3D::CollisionReserved3(std::uint32_t, std::uint32_t) {
    return nullptr;
}

void IOrvalen3DD3D::DestroyObject(IOrvalen3DCollisionObject* object) {
    if (object == nullptr) {
        Log("ERROR: DestroyObject Failed - Null Object Passed\n");
        return;
    }
    DeleteFromTable(object);
}
