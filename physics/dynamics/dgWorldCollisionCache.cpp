#include "physics/dynamics/dgWorld.h"

#include "physics/core/dgRef.h"

// Placeholder bodies until the collision cache lands.

dgCollision* dgWorld::CreateNull() { return nullptr; }
dgCollision* dgWorld::CreateBox(dgFloat32, dgFloat32, dgFloat32, const dgMatrix&) { return nullptr; }
dgCollision* dgWorld::CreateSphere(dgFloat32, const dgMatrix&) { return nullptr; }
dgCollision* dgWorld::CreateEllipse(dgFloat32, dgFloat32, dgFloat32, const dgMatrix&) { return nullptr; }
dgCollision* dgWorld::CreateCapsule(dgFloat32, dgFloat32, const dgMatrix&) { return nullptr; }
dgCollision* dgWorld::CreateCone(dgFloat32, dgFloat32, const dgMatrix&) { return nullptr; }
dgCollision* dgWorld::CreateCylinder(dgFloat32, dgFloat32, const dgMatrix&) { return nullptr; }
dgCollision* dgWorld::CreateChamferCylinder(dgFloat32, dgFloat32, const dgMatrix&) { return nullptr; }
dgCollision* dgWorld::CreateConvexHull(dgInt32, const dgFloat32*, dgInt32, const dgMatrix&) { return nullptr; }
void dgWorld::ReleaseCollision(dgCollision* collision) { dgRefRelease(collision); }
void dgWorld::RemoveCollisionFromCache(dgCollision*) {}
