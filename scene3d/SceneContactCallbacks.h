#pragma once
// The contact callbacks the scene gives every material pair it makes. For each touching pair of bodies
// the engine calls ContactBegin, then ContactProcess for each contact point, then ContactEnd, one pair
// at a time: they fire the pair's contact events and the level events of an object on a level's faces,
// drop the points of objects without contacts, and turn friction off for active objects on level faces.

#include "physics/api/dgApi.h"

/// 0 skips the pair for this step.
unsigned char ContactBegin(dgMaterialPair* material, dgBody* body0, dgBody* body1);
/// 0 drops the point.
unsigned char ContactProcess(dgContactMaterial* contact, dgContactJoint* joint);
/// Copies what the pair's registrations recorded into their events' records.
void ContactEnd(dgMaterialPair* material);

/// Installs the three callbacks on the pair (id0, id1) of `world`.
void InstallContactCallbacks(dgWorld* world, int id0, int id1);
