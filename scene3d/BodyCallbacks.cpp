#include "scene3d/BodyCallbacks.h"

#include "scene3d/IOrvalen3DD3DCollisionObject.h"
#include "scene3d/IOrvalen3DD3DObject.h"

void ObjectTransformCallback(dgBody* body, const float* matrix) {
    WriteOwnerPosition<IOrvalen3DD3DObject>(body, matrix);
}

void ObjectForceCallback(dgBody* body) {
    ApplyOwnerForce<IOrvalen3DD3DObject>(body);
}

void ObjectRebuildForceCallback(dgBody* body) {
    ApplyOwnerForce<IOrvalen3DD3DObject>(body);
}

void CollisionObjectTransformCallback(dgBody* body, const float* matrix) {
    WriteOwnerPosition<IOrvalen3DD3DCollisionObject>(body, matrix);
}

void CollisionObjectForceCallback(dgBody* body) {
    ApplyOwnerForce<IOrvalen3DD3DCollisionObject>(body);
}
