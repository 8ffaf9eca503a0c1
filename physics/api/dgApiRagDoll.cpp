// Ragdoll functions of the flat interface: thin wrappers over the world's ragdoll list and the records.

#include "physics/api/dgApi.h"
#include "physics/api/dgApiHelpers.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgRagDollBone.h"
#include "physics/dynamics/dgWorld.h"

dgRagDoll* dgApiRagDollCreate(dgWorld* world) {
    return world == nullptr ? nullptr : dgCreateOrFail([&] { return world->m_ragdolls.Add(); });
}

void dgApiRagDollDestroy(dgWorld* world, dgRagDoll* ragdoll) {
    if (world != nullptr && ragdoll != nullptr) {
        world->m_ragdolls.Remove(ragdoll);
    }
}

void dgApiRagDollBegin(dgRagDoll* ragdoll) {
    if (ragdoll != nullptr) {
        ragdoll->Begin();
    }
}

void dgApiRagDollEnd(dgRagDoll* ragdoll) {
    if (ragdoll != nullptr) {
        ragdoll->End();
    }
}

void dgApiRagDollSetTransformCallback(dgRagDoll* ragdoll, dgRagDollTransformCallback callback) {
    if (ragdoll != nullptr) {
        ragdoll->SetTransformCallback(callback);
    }
}

void dgApiRagDollSetForceAndTorqueCallback(dgRagDoll* ragdoll, dgBodyForceAndTorqueCallback callback) {
    if (ragdoll != nullptr) {
        ragdoll->SetForceAndTorqueCallback(callback);
    }
}

dgRagDollBone* dgApiRagDollAddBone(dgRagDoll* ragdoll, dgRagDollBone* parent, void* userData, float mass,
                                   const float* matrix, dgCollision* collision, const float* size) {
    if (ragdoll == nullptr || matrix == nullptr || size == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&] {
        return ragdoll->AddBone(parent, userData, mass, dgApiMatrix(matrix), collision, dgApiDirection(size));
    });
}

dgRagDollBone* dgApiRagDollFindBone(dgRagDoll* ragdoll, int id) {
    return ragdoll != nullptr ? ragdoll->FindBone(static_cast<dgUnsigned32>(id)) : nullptr;
}

void dgApiRagDollBoneSetID(dgRagDollBone* bone, int id) {
    if (bone != nullptr) {
        bone->SetNameId(static_cast<dgUnsigned32>(id));
    }
}

void* dgApiRagDollBoneGetUserData(const dgRagDollBone* bone) {
    return bone != nullptr ? bone->GetUserData() : nullptr;
}

dgBody* dgApiRagDollBoneGetBody(const dgRagDollBone* bone) {
    return bone != nullptr ? bone->m_body : nullptr;
}

void dgApiRagDollBoneGetLocalMatrix(const dgRagDollBone* bone, float* matrix) {
    if (bone != nullptr) {
        dgApiWriteMatrix(bone->GetLocalMatrix(), matrix);
    }
}

void dgApiRagDollBoneGetGlobalMatrix(const dgRagDollBone* bone, float* matrix) {
    if (bone != nullptr) {
        dgApiWriteMatrix(bone->GetGlobalMatrix(), matrix);
    }
}

void dgApiRagDollBoneSetLimits(dgRagDollBone* bone, const float* pin, float minAngle, float maxAngle,
                               float twistAngle, const float*, float, float) {
    if (bone != nullptr) {
        bone->SetLimits(dgApiDirection(pin), minAngle, maxAngle, twistAngle,
                        dgVector(1.0f, 0.0f, 0.0f, 0.0f));
    }
}
