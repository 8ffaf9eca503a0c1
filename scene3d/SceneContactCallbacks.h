#pragma once
// The contact callbacks the scene gives every material pair it makes. Contact and level events are not
// in place yet, so every pair and every point is kept.

#include "physics/api/dgApi.h"

unsigned char ContactBegin(dgMaterialPair* material, dgBody* body0, dgBody* body1);
unsigned char ContactProcess(dgContactMaterial* contact, dgContactJoint* joint);
void ContactEnd(dgMaterialPair* material);

/// Installs the three callbacks on the pair (id0, id1) of `world`.
void InstallContactCallbacks(dgWorld* world, int id0, int id1);
