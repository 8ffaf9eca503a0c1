#include "scene3d/SceneContactCallbacks.h"

unsigned char ContactBegin(dgMaterialPair*, dgBody*, dgBody*) {
    return 1;
}

unsigned char ContactProcess(dgContactMaterial*, dgContactJoint*) {
    return 1;
}

void ContactEnd(dgMaterialPair*) {}

void InstallContactCallbacks(dgWorld* world, int id0, int id1) {
    dgApiMaterialSetCollisionCallback(world, id0, id1, nullptr, ContactBegin, ContactProcess, ContactEnd);
}
