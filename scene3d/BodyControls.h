#pragma once
// The physics controls that the 3D object and the collision object share: each forwards to the engine
// on the owner's Body and keeps the values the scene's callbacks read (Force, CollisionMode, ActiveFlag).
// An owner without a body (a legitimate state) keeps its stored values; everything that needs the body
// does nothing and reads as zero or false.
//
// Owner provides Body, CollisionMode, Mass, Inertia, Force, Torque, CustomFlag, CustomParameters,
// ActiveFlag, Position, Rotation, and two traits: kNoContactsMeansStatic (mode 2 gives the body mass 0)
// and kActivateStopsAutoFreeze.

#include "physics/api/dgApi.h"
#include "platform/D3DXMath.h"
#include "scene3d/BodyPose.h"
#include "scene3d/IOrvalen3DD3D.h"

namespace body_controls {

inline D3DXVECTOR3 Vector(const float* v) {
    return {v[0], v[1], v[2]};
}

inline void Assign(float* target, float x, float y, float z) {
    target[0] = x;
    target[1] = y;
    target[2] = z;
}

inline void Accumulate(float* target, float x, float y, float z) {
    target[0] += x;
    target[1] += y;
    target[2] += z;
}

template <typename Owner> void SetMass(Owner& owner, float mass, float ix, float iy, float iz) {
    if (owner.Body != nullptr) {
        dgApiBodySetMassMatrix(owner.Body, mass, ix, iy, iz);
    }
    owner.Mass = mass;
    Assign(owner.Inertia, ix, iy, iz);
}

/// 0 static (mass 0), 1 dynamic (the kept mass), 2 no contacts; other modes change nothing.
template <typename Owner> void SetCollisionMode(Owner& owner, std::int32_t mode) {
    if (mode < 0 || mode > 2) {
        return;
    }
    owner.CollisionMode = mode;
    if (owner.Body == nullptr) {
        return;
    }
    if (mode == 1) {
        dgApiBodySetMassMatrix(owner.Body, owner.Mass, owner.Inertia[0], owner.Inertia[1], owner.Inertia[2]);
    } else if (mode == 0 || Owner::kNoContactsMeansStatic) {
        dgApiBodySetMassMatrix(owner.Body, 0.0f, 1.0f, 1.0f, 1.0f);
    }
}

/// Freezing also brings the owner's Position and Rotation to the body's pose.
template <typename Owner> void SetFreeze(Owner& owner, bool freeze) {
    if (owner.Body == nullptr) {
        return;
    }
    dgWorld* world = dgApiBodyGetWorld(owner.Body);
    if (!freeze) {
        dgApiWorldUnfreezeBody(world, owner.Body);
        return;
    }
    dgApiWorldFreezeBody(world, owner.Body);
    ReadBodyPose(owner.Body, owner.Position, owner.Rotation);
}

template <typename Owner> bool GetAutoFreeze(const Owner& owner) {
    return owner.Body != nullptr && dgApiBodyGetAutoFreeze(owner.Body) != 0;
}

/// The engine takes the thresholds squared.
template <typename Owner> void SetFreezeThreshold(Owner& owner, float speed, float omega) {
    if (owner.Body != nullptr) {
        dgApiBodySetFreezeThreshold(owner.Body, speed * speed, omega * omega, 10);
    }
}

/// Wakes the body for good: no auto-freeze (3D objects), no damping.
template <typename Owner> void Activate(Owner& owner) {
    owner.ActiveFlag = true;
    if (owner.Body == nullptr) {
        return;
    }
    if (Owner::kActivateStopsAutoFreeze) {
        dgApiBodySetAutoFreeze(owner.Body, 0);
    }
    dgApiWorldUnfreezeBody(dgApiBodyGetWorld(owner.Body), owner.Body);
    dgApiBodySetLinearDamping(owner.Body, 0.0f);
    const float none[3] = {0.0f, 0.0f, 0.0f};
    dgApiBodySetAngularDamping(owner.Body, none);
}

/// Reads one of the body's vectors, zeros without a body.
template <typename Owner> D3DXVECTOR3 BodyVector(const Owner& owner, void (*read)(const dgBody*, float*)) {
    float v[3] = {0.0f, 0.0f, 0.0f};
    if (owner.Body != nullptr) {
        read(owner.Body, v);
    }
    return Vector(v);
}

template <typename Owner>
void SetBodyVector(Owner& owner, void (*write)(dgBody*, const float*), float x, float y, float z) {
    if (owner.Body != nullptr) {
        const float v[3] = {x, y, z};
        write(owner.Body, v);
    }
}

/// The body's vector read, (x, y, z) added, written back.
template <typename Owner>
void AddBodyVector(Owner& owner, void (*read)(const dgBody*, float*), void (*write)(dgBody*, const float*),
                   float x, float y, float z) {
    if (owner.Body != nullptr) {
        float v[3];
        read(owner.Body, v);
        Accumulate(v, x, y, z);
        write(owner.Body, v);
    }
}

/// Velocity change (dx, dy, dz) of the world point (px, py, pz).
template <typename Owner>
void AddImpulse(Owner& owner, float px, float py, float pz, float dx, float dy, float dz) {
    if (owner.Body != nullptr) {
        const float change[3] = {dx, dy, dz};
        const float point[3] = {px, py, pz};
        dgApiBodyAddImpulse(owner.Body, change, point);
    }
}

template <typename Owner> std::int32_t GetMaterialGroupID(const Owner& owner) {
    return owner.Body != nullptr ? dgApiBodyGetMaterialGroupId(owner.Body) : 0;
}

/// Only ids the scene handed out (the default group's and CreateMaterialID's) are taken.
template <typename Owner> void SetMaterialGroupID(Owner& owner, std::int32_t id) {
    if (owner.Body == nullptr) {
        return;
    }
    const IOrvalen3DD3D* scene = IOrvalen3DD3D::OfBody(owner.Body);
    if (scene != nullptr && scene->IsMaterialGroup(id)) {
        dgApiBodySetMaterialGroupId(owner.Body, id);
    }
}

} // namespace body_controls
