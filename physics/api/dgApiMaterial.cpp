// Material and contact functions of the flat interface: group ids, pair defaults and callbacks, and the
// adjustment of single contact points from inside the process callback.

#include "physics/api/dgApi.h"
#include "physics/api/dgApiHelpers.h"
#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgWorld.h"

#include <cmath>

namespace {

constexpr float kMinCoefficient = 0.01f;
constexpr float kMaxPairSoftness = 1.0f;
constexpr float kMaxContactSoftness = 0.7f;
constexpr float kMaxElasticity = 2.0f;
constexpr float kMaxFriction = 2.0f;
constexpr float kMinRotateCross2 = 1.0e-6f;
constexpr dgUnsigned32 kFrictionBits = dgContactMaterial::kFriction0 | dgContactMaterial::kFriction1;

/// NaN gives lo.
float Clamp(float value, float lo, float hi) {
    return !(value > lo) ? lo : (value > hi ? hi : value);
}

/// Unknown group ids name no pair: the call does nothing.
dgMaterialPair* FindPair(dgWorld* world, int id0, int id1) {
    return world->GetMaterialPair(id0, id1);
}

/// Velocity of the body at a world point: v + w x (p - origin); zero for the fixed world.
dgVector PointVelocity(const dgBody* body, const dgVector& point) {
    if (body == nullptr) {
        return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
    }
    const dgVector arm = point.Sub(body->m_matrix.posit);
    return body->m_veloc.Add(body->m_omega.CrossProduct(arm));
}

/// Velocity of body 1 minus that of body 0 at the contact point.
dgVector RelativeVelocity(const dgContactMaterial* contact, const dgContactJoint* joint) {
    const dgBody* body0 = joint != nullptr ? joint->m_body0 : contact->m_point.m_body0;
    const dgBody* body1 = joint != nullptr ? joint->m_body1 : contact->m_point.m_body1;
    const dgVector& p = contact->m_point.m_point;
    return PointVelocity(body1, p).Sub(PointVelocity(body0, p));
}

} // namespace

int dgApiMaterialGetDefaultGroupId(dgWorld* world) {
    if (world == nullptr) {
        return 0;
    }
    return world->GetDefaultGroupId();
}

int dgApiMaterialCreateGroupId(dgWorld* world) {
    if (world == nullptr) {
        return 0;
    }
    return dgCreateOrFail([&] { return world->CreateGroupId(); }, world->GetDefaultGroupId());
}

void dgApiMaterialDestroyAllGroupId(dgWorld* world) {
    if (world == nullptr) {
        return;
    }
    world->DestroyAllGroupId();
}

void dgApiMaterialSetDefaultCollidable(dgWorld* world, int id0, int id1, int state) {
    if (world == nullptr) {
        return;
    }
    if (dgMaterialPair* pair = FindPair(world, id0, id1)) {
        pair->m_flags = state != 0 ? (pair->m_flags | dgContactMaterial::kCollidable)
                                   : (pair->m_flags & ~dgContactMaterial::kCollidable);
    }
}

void dgApiMaterialSetDefaultSoftness(dgWorld* world, int id0, int id1, float value) {
    if (world == nullptr) {
        return;
    }
    if (dgMaterialPair* pair = FindPair(world, id0, id1)) {
        pair->m_softness = Clamp(value, kMinCoefficient, kMaxPairSoftness);
    }
}

void dgApiMaterialSetDefaultElasticity(dgWorld* world, int id0, int id1, float value) {
    if (world == nullptr) {
        return;
    }
    if (dgMaterialPair* pair = FindPair(world, id0, id1)) {
        pair->m_elasticity = Clamp(value, kMinCoefficient, kMaxElasticity);
    }
}

void dgApiMaterialSetDefaultFriction(dgWorld* world, int id0, int id1, float staticFriction,
                                     float kineticFriction) {
    if (world == nullptr) {
        return;
    }
    dgMaterialPair* pair = FindPair(world, id0, id1);
    if (pair == nullptr) {
        return;
    }
    float s = std::fabs(staticFriction);
    float k = std::fabs(kineticFriction);
    if (!(s >= kMinCoefficient)) {
        pair->m_flags &= ~kFrictionBits;
        return;
    }
    s = s < kMaxFriction ? s : kMaxFriction;
    k = Clamp(k, kMinCoefficient, kMaxFriction);
    // Static friction never below kinetic friction.
    if (k > s) {
        s = k;
    }
    pair->m_staticFriction0 = s;
    pair->m_staticFriction1 = s;
    pair->m_kineticFriction0 = k;
    pair->m_kineticFriction1 = k;
}

void dgApiMaterialSetCollisionCallback(dgWorld* world, int id0, int id1, void* userData,
                                       dgContactBeginCallback begin, dgContactProcessCallback process,
                                       dgContactEndCallback end) {
    if (world == nullptr) {
        return;
    }
    if (dgMaterialPair* pair = FindPair(world, id0, id1)) {
        pair->m_userData = userData;
        pair->m_beginCallback = begin;
        pair->m_processCallback = process;
        pair->m_endCallback = end;
    }
}

void dgApiMaterialSetCompoundCollisionCallback(dgWorld* world, int id0, int id1,
                                               dgCompoundChildCallback callback) {
    if (world == nullptr) {
        return;
    }
    if (dgMaterialPair* pair = FindPair(world, id0, id1)) {
        pair->m_compoundChildCallback = callback;
    }
}

void* dgApiMaterialGetUserData(dgWorld* world, int id0, int id1) {
    if (world == nullptr) {
        return nullptr;
    }
    const dgMaterialPair* pair = FindPair(world, id0, id1);
    return pair != nullptr ? pair->m_userData : nullptr;
}

void dgApiContactDisable(dgContactMaterial* contact) {
    if (contact == nullptr) {
        return;
    }
    contact->m_flags &= ~dgContactMaterial::kCollidable;
}

void* dgApiContactGetUserData(const dgContactMaterial* contact) {
    if (contact == nullptr) {
        return nullptr;
    }
    return contact->m_userData;
}

unsigned dgApiContactGetFaceAttribute(const dgContactMaterial* contact) {
    if (contact == nullptr) {
        return 0;
    }
    return static_cast<unsigned>(contact->m_point.m_attribute);
}

float dgApiContactGetTimeStep(const dgContactMaterial* contact) {
    if (contact == nullptr) {
        return 0;
    }
    return contact->m_point.m_body0->m_world->GetTimeStep();
}

void dgApiContactGetPositionAndNormal(const dgContactMaterial* contact, float* position, float* normal) {
    if (contact == nullptr) {
        return;
    }
    dgApiWriteVector(contact->m_point.m_point, position);
    dgApiWriteVector(contact->m_point.m_normal, normal);
}

void dgApiContactGetTangentDirections(const dgContactMaterial* contact, float* tangent0, float* tangent1) {
    if (contact == nullptr) {
        return;
    }
    dgApiWriteVector(contact->m_dir0, tangent0);
    dgApiWriteVector(contact->m_dir1, tangent1);
}

unsigned dgApiContactGetBodyCollisionId(const dgContactMaterial* contact, const dgBody* body) {
    if (contact == nullptr) {
        return 0;
    }
    const dgCollision* collision =
        body == contact->m_point.m_body1 ? contact->m_point.m_collision1 : contact->m_point.m_collision0;
    if (collision == nullptr || !collision->IsType(dgConvexCollisionClassId)) {
        return 0;
    }
    return static_cast<unsigned>(collision->GetUserId());
}

float dgApiContactGetNormalSpeed(const dgContactMaterial* contact, const dgContactJoint* joint) {
    if (contact == nullptr) {
        return 0;
    }
    return RelativeVelocity(contact, joint).DotProduct(contact->m_point.m_normal);
}

float dgApiContactGetTangentSpeed(const dgContactMaterial* contact, const dgContactJoint* joint, int index) {
    if (contact == nullptr) {
        return 0;
    }
    const dgVector& tangent = index == 0 ? contact->m_dir0 : contact->m_dir1;
    return -RelativeVelocity(contact, joint).DotProduct(tangent);
}

void dgApiContactGetForce(const dgContactMaterial* contact, float* force) {
    if (contact == nullptr) {
        return;
    }
    // After a solve the acceleration slots hold the normal and the two friction forces.
    const dgVector f = contact->m_point.m_normal.Scale(contact->m_normalAcceleration)
                           .Add(contact->m_dir0.Scale(contact->m_tangent0Acceleration))
                           .Add(contact->m_dir1.Scale(contact->m_tangent1Acceleration));
    dgApiWriteVector(f, force);
}

void dgApiContactSetSoftness(dgContactMaterial* contact, float value) {
    if (contact == nullptr) {
        return;
    }
    contact->m_softness = Clamp(value, kMinCoefficient, kMaxContactSoftness);
}

void dgApiContactSetElasticity(dgContactMaterial* contact, float value) {
    if (contact == nullptr) {
        return;
    }
    contact->m_elasticity = Clamp(value, kMinCoefficient, kMaxElasticity);
}

void dgApiContactSetStaticFriction(dgContactMaterial* contact, float value, int index) {
    if (contact == nullptr) {
        return;
    }
    float& staticFriction = index == 0 ? contact->m_staticFriction0 : contact->m_staticFriction1;
    const float kinetic = index == 0 ? contact->m_kineticFriction0 : contact->m_kineticFriction1;
    staticFriction = Clamp(value, kinetic, kMaxFriction);
}

void dgApiContactSetKineticFriction(dgContactMaterial* contact, float value, int index) {
    if (contact == nullptr) {
        return;
    }
    float& kineticFriction = index == 0 ? contact->m_kineticFriction0 : contact->m_kineticFriction1;
    const float staticFriction = index == 0 ? contact->m_staticFriction0 : contact->m_staticFriction1;
    const float raised = !(value > kMinCoefficient) ? kMinCoefficient : value;
    kineticFriction = raised > staticFriction ? staticFriction : raised;
}

void dgApiContactSetFrictionState(dgContactMaterial* contact, int state, int index) {
    if (contact == nullptr) {
        return;
    }
    const dgUnsigned32 bit = index == 0 ? dgContactMaterial::kFriction0 : dgContactMaterial::kFriction1;
    contact->m_flags = state != 0 ? (contact->m_flags | bit) : (contact->m_flags & ~bit);
}

void dgApiContactSetNormalAcceleration(dgContactMaterial* contact, float acceleration) {
    // A row asking for an acceleration that is no number would hold nothing: the bodies would pass
    // through each other.
    if (contact == nullptr || !std::isfinite(acceleration)) {
        return;
    }
    contact->m_normalAcceleration = acceleration;
    contact->m_flags |= dgContactMaterial::kNormalAcceleration;
}

void dgApiContactSetTangentAcceleration(dgContactMaterial* contact, float acceleration, int index) {
    if (contact == nullptr || !std::isfinite(acceleration)) {
        return;
    }
    if (index == 0) {
        contact->m_tangent0Acceleration = acceleration;
        contact->m_flags |= dgContactMaterial::kTangent0Acceleration;
    } else {
        contact->m_tangent1Acceleration = acceleration;
        contact->m_flags |= dgContactMaterial::kTangent1Acceleration;
    }
}

void dgApiContactRotateTangentDirections(dgContactMaterial* contact, const float* direction) {
    if (contact == nullptr) {
        return;
    }
    const dgVector& normal = contact->m_point.m_normal;
    const dgVector cross = normal.CrossProduct(dgApiDirection(direction));
    const float length2 = cross.DotProduct(cross);
    if (!(length2 > kMinRotateCross2)) {
        return;
    }
    contact->m_dir1 = cross.Scale(1.0f / std::sqrt(length2));
    contact->m_dir1.w = normal.w;
    contact->m_dir0 = contact->m_dir1.CrossProduct(normal);
}

void dgApiContactNoOp() {}
