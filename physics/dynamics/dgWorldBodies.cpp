#include "physics/dynamics/dgWorld.h"

// Placeholder bodies until body and joint management land.

dgBody* dgWorld::CreateBody(dgCollision*) { return nullptr; }
void dgWorld::DestroyBody(dgBody*) {}
void dgWorld::DestroyBodyNow(dgBody*) {}
dgJointBase* dgWorld::AttachJoint(dgJointBase* joint, dgBody*, dgBody*) { return joint; }
void dgWorld::DestroyJoint(dgJointBase*) {}
void dgWorld::DestroyJointNow(dgJointBase*) {}
void dgWorld::FreezeBody(dgBody*) {}
void dgWorld::UnfreezeBody(dgBody*) {}
void dgWorld::SetBodyMatrixRecursive(dgBody*, const dgMatrix&) {}
dgInt32 dgWorld::CollectLinkedBodies(dgBody*, dgBody**, dgInt32) { return 0; }
void dgWorld::AddBodyImpulse(dgBody*, const dgVector&, const dgVector&) {}
dgInt32 dgWorld::CreateGroupId() { return 0; }
dgMaterialPair* dgWorld::GetMaterialPair(dgInt32, dgInt32) { return nullptr; }
dgInt32 dgWorld::DestroyAllGroupId() { return 0; }
