#pragma once
// The per-body callbacks the scene gives the bodies of its 3D objects and, through the same templates,
// of its collision objects. The engine hands back the body's user data, a BodyUserData whose owner
// holds the fields read here: Position, Force and Renderer.

#include "IOrvalen3D.h"
#include "physics/api/dgApi.h"
#include "renderer/IOrvalenD3D.h"

template <typename Owner> Owner* OwnerOf(const dgBody* body) {
    const auto* record = static_cast<const BodyUserData*>(dgApiBodyGetUserData(body));
    return record != nullptr ? static_cast<Owner*>(record->Owner) : nullptr;
}

/// After the engine moved a body: the owner's Position takes the translation row. Only the position is
/// kept; an object takes its full matrix from its body where it is drawn.
template <typename Owner> void WriteOwnerPosition(dgBody* body, const float* matrix) {
    if (Owner* owner = OwnerOf<Owner>(body)) {
        owner->Position[0] = matrix[12];
        owner->Position[1] = matrix[13];
        owner->Position[2] = matrix[14];
    }
}

/// Once per step: the body's weight under the renderer's gravity plus the owner's own force. A body of
/// infinite mass reports mass 0 and so receives only the owner's force.
template <typename Owner> void ApplyOwnerForce(dgBody* body) {
    const Owner* owner = OwnerOf<Owner>(body);
    if (owner == nullptr) {
        return;
    }
    float mass = 0.0f;
    float inertia[3];
    dgApiBodyGetMassMatrix(body, &mass, &inertia[0], &inertia[1], &inertia[2]);
    static constexpr float kNoGravity[3] = {0.0f, 0.0f, 0.0f};
    const float* gravity = owner->Renderer != nullptr ? owner->Renderer->Gravity : kNoGravity;
    const float force[3] = {gravity[0] * mass + owner->Force[0], gravity[1] * mass + owner->Force[1],
                            gravity[2] * mass + owner->Force[2]};
    dgApiBodyAddForce(body, force);
}

void ObjectTransformCallback(dgBody* body, const float* matrix);
void ObjectForceCallback(dgBody* body);
/// The force callback of a body rebuilt by SetScale; the same force as ObjectForceCallback.
void ObjectRebuildForceCallback(dgBody* body);
void CollisionObjectTransformCallback(dgBody* body, const float* matrix);
void CollisionObjectForceCallback(dgBody* body);

/// A body of `shape` for `owner` with unit mass and the two callbacks, in the engine's order: mass,
/// callbacks, a shape reference given back, then the owner's record as user data. The reference given
/// back is `released`, or `shape` itself when it is null (the body keeps its own); it is given back either
/// way. Null when the engine cannot make the body.
template <typename Owner>
dgBody* MakeOwnedBody(dgWorld* world, dgCollision* shape, Owner& owner, dgBodyTransformCallback transform,
                      dgBodyForceAndTorqueCallback force, dgCollision* released = nullptr) {
    dgBody* body = dgApiBodyCreate(world, shape);
    if (body != nullptr) {
        dgApiBodySetMassMatrix(body, 1.0f, 1.0f, 1.0f, 1.0f);
        dgApiBodySetTransformCallback(body, transform);
        dgApiBodySetForceAndTorqueCallback(body, force);
    }
    dgApiCollisionRelease(world, released != nullptr ? released : shape);
    if (body != nullptr) {
        dgApiBodySetUserData(body, &owner.UserData);
    }
    return body;
}
