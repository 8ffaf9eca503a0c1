#pragma once
// The physics controls that the 3D object and the collision object share, written once for both: each
// forwards to the engine on the owner's Body and keeps the values the scene's callbacks read (Force,
// CollisionMode, ActiveFlag). An owner without a body (a legitimate state for a 3D object) keeps its
// stored values; everything that needs the body, or the up-vector joint, does nothing and reads as zero
// or false.
//
// The transform slots that set the public pose members are shared too; Self places the body through
// Transform(matrix) and ResetPlacement().
//
// Self provides Body, CollisionMode, Mass, Inertia, Force, Torque, CustomFlag, CustomParameters,
// ActiveFlag, UpVectorJoint, HasUpVector, Position, Rotation, and two traits: kNoContactsMeansStatic
// (mode 2 gives the body mass 0) and kActivateStopsAutoFreeze.

#include "physics/api/dgApi.h"
#include "platform/D3DXMath.h"
#include "scene3d/BodyPose.h"
#include "scene3d/IOrvalen3DD3D.h"

#include <algorithm>
#include <cstring>
#include <iterator>

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

} // namespace body_controls

template <typename Self, typename Interface> class BodyControls : public Interface {
public:
    /// Position and Rotation 0, Scale 1; Self's ResetPlacement places the body.
    void ResetTransform() override {
        self().ResetPlacement();
        body_controls::Assign(Interface::Position, 0.0f, 0.0f, 0.0f);
        body_controls::Assign(Interface::Rotation, 0.0f, 0.0f, 0.0f);
        body_controls::Assign(Interface::Scale, 1.0f, 1.0f, 1.0f);
    }

    /// Self's Transform takes the translation; Position keeps it.
    void SetPosition(float x, float y, float z) override {
        D3DXMATRIX translation;
        D3DXMatrixTranslation(&translation, x, y, z);
        self().Transform(translation);
        body_controls::Assign(Interface::Position, x, y, z);
    }

    /// Angles about x, y and z: a yaw-pitch-roll rotation with yaw b, pitch a and roll c. Self's Transform
    /// takes it; Rotation keeps the angles.
    void SetRotation(float a, float b, float c) override {
        D3DXMATRIX rotation;
        D3DXMatrixRotationYawPitchRoll(&rotation, b, a, c);
        self().Transform(rotation);
        body_controls::Assign(Interface::Rotation, a, b, c);
    }

    void SetMass(float mass, float ix, float iy, float iz) override {
        if (self().Body != nullptr) {
            dgApiBodySetMassMatrix(self().Body, mass, ix, iy, iz);
        }
        self().Mass = mass;
        body_controls::Assign(self().Inertia, ix, iy, iz);
    }

    /// 0 static (mass 0), 1 dynamic (the kept mass), 2 no contacts; other modes change nothing.
    void SetCollisionMode(std::int32_t mode) override {
        if (mode < 0 || mode > 2) {
            return;
        }
        Self& owner = self();
        owner.CollisionMode = mode;
        if (owner.Body == nullptr) {
            return;
        }
        if (mode == 1) {
            dgApiBodySetMassMatrix(owner.Body, owner.Mass, owner.Inertia[0], owner.Inertia[1],
                                   owner.Inertia[2]);
        } else if (mode == 0 || Self::kNoContactsMeansStatic) {
            dgApiBodySetMassMatrix(owner.Body, 0.0f, 1.0f, 1.0f, 1.0f);
        }
    }

    std::int32_t GetCollisionMode() override { return self().CollisionMode; }

    /// Freezing also brings Position and Rotation to the body's pose.
    void SetFreeze(bool freeze) override {
        Self& owner = self();
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

    bool GetAutoFreeze() override {
        return self().Body != nullptr && dgApiBodyGetAutoFreeze(self().Body) != 0;
    }

    /// The engine takes the thresholds squared.
    void SetFreezeThreshold(float speed, float omega) override {
        if (self().Body != nullptr) {
            dgApiBodySetFreezeThreshold(self().Body, speed * speed, omega * omega, 10);
        }
    }

    /// A second joint leaves the first one working; only the newer handle is kept.
    void CreateUpVector(float x, float y, float z) override {
        Self& owner = self();
        if (owner.Body == nullptr) {
            return;
        }
        const float pin[3] = {x, y, z};
        owner.UpVectorJoint = dgApiJointCreateUpVector(dgApiBodyGetWorld(owner.Body), pin, owner.Body);
        owner.HasUpVector = owner.UpVectorJoint != nullptr;
    }

    void SetUpVectorPin(float x, float y, float z) override {
        if (self().UpVectorJoint != nullptr) {
            const float pin[3] = {x, y, z};
            dgApiUpVectorSetPin(self().UpVectorJoint, pin);
        }
    }

    D3DXVECTOR3 GetUpVectorPin() override {
        float pin[3] = {0.0f, 0.0f, 0.0f};
        if (self().UpVectorJoint != nullptr) {
            dgApiUpVectorGetPin(self().UpVectorJoint, pin);
        }
        return body_controls::Vector(pin);
    }

    /// Wakes the body for good: no auto-freeze (3D objects), no damping.
    void Activate() override {
        Self& owner = self();
        owner.ActiveFlag = true;
        if (owner.Body == nullptr) {
            return;
        }
        if (Self::kActivateStopsAutoFreeze) {
            dgApiBodySetAutoFreeze(owner.Body, 0);
        }
        dgApiWorldUnfreezeBody(dgApiBodyGetWorld(owner.Body), owner.Body);
        dgApiBodySetLinearDamping(owner.Body, 0.0f);
        const float none[3] = {0.0f, 0.0f, 0.0f};
        dgApiBodySetAngularDamping(owner.Body, none);
    }

    void SetForce(float x, float y, float z) override { body_controls::Assign(self().Force, x, y, z); }
    D3DXVECTOR3 GetForce() override { return body_controls::Vector(self().Force); }
    void AddForce(float x, float y, float z) override { body_controls::Accumulate(self().Force, x, y, z); }
    void SetTorque(float x, float y, float z) override { body_controls::Assign(self().Torque, x, y, z); }
    D3DXVECTOR3 GetTorque() override { return body_controls::Vector(self().Torque); }
    void AddTorque(float x, float y, float z) override { body_controls::Accumulate(self().Torque, x, y, z); }

    void SetVelocity(float x, float y, float z) override { SetBodyVector(dgApiBodySetVelocity, x, y, z); }
    D3DXVECTOR3 GetVelocity() override { return BodyVector(dgApiBodyGetVelocity); }
    void AddVelocity(float x, float y, float z) override {
        AddBodyVector(dgApiBodyGetVelocity, dgApiBodySetVelocity, x, y, z);
    }
    void SetOmega(float x, float y, float z) override { SetBodyVector(dgApiBodySetOmega, x, y, z); }
    D3DXVECTOR3 GetOmega() override { return BodyVector(dgApiBodyGetOmega); }
    void AddOmega(float x, float y, float z) override {
        AddBodyVector(dgApiBodyGetOmega, dgApiBodySetOmega, x, y, z);
    }

    /// Velocity change (dx, dy, dz) of the world point (px, py, pz).
    void AddImpulse(float px, float py, float pz, float dx, float dy, float dz) override {
        if (self().Body != nullptr) {
            const float change[3] = {dx, dy, dz};
            const float point[3] = {px, py, pz};
            dgApiBodyAddImpulse(self().Body, change, point);
        }
    }

    void SetCustomParameters(float a, float b, float c, float d, float e, float f, float g) override {
        const float values[7] = {a, b, c, d, e, f, g};
        std::copy(std::begin(values), std::end(values), self().CustomParameters);
    }
    void SetCustomFlag(bool flag) override { self().CustomFlag = flag; }
    bool GetCustomFlag() override { return self().CustomFlag; }

    /// Only ids the scene handed out (the default group's and CreateMaterialID's) are taken.
    void SetMaterialGroupID(std::int32_t id) override {
        dgBody* body = self().Body;
        if (body == nullptr) {
            return;
        }
        const IOrvalen3DD3D* scene = IOrvalen3DD3D::OfBody(body);
        if (scene != nullptr && scene->IsMaterialGroup(id)) {
            dgApiBodySetMaterialGroupId(body, id);
        }
    }
    std::int32_t GetMaterialGroupID() override {
        return self().Body != nullptr ? dgApiBodyGetMaterialGroupId(self().Body) : 0;
    }

    /// The body's translation and its angles about x, y and z as SetRotation takes them; zeros without a
    /// body. The object's own fields are not changed.
    void UpdateFromBody(float* position, float* rotation) override {
        float place[3] = {0.0f, 0.0f, 0.0f};
        float angles[3] = {0.0f, 0.0f, 0.0f};
        if (self().Body != nullptr) {
            ReadBodyPose(self().Body, place, angles);
        }
        if (position != nullptr) {
            std::memcpy(position, place, sizeof place);
        }
        if (rotation != nullptr) {
            std::memcpy(rotation, angles, sizeof angles);
        }
    }

private:
    Self& self() { return static_cast<Self&>(*this); }

    /// Reads one of the body's vectors, zeros without a body.
    D3DXVECTOR3 BodyVector(void (*read)(const dgBody*, float*)) {
        float v[3] = {0.0f, 0.0f, 0.0f};
        if (self().Body != nullptr) {
            read(self().Body, v);
        }
        return body_controls::Vector(v);
    }

    void SetBodyVector(void (*write)(dgBody*, const float*), float x, float y, float z) {
        if (self().Body != nullptr) {
            const float v[3] = {x, y, z};
            write(self().Body, v);
        }
    }

    /// The body's vector read, (x, y, z) added, written back.
    void AddBodyVector(void (*read)(const dgBody*, float*), void (*write)(dgBody*, const float*), float x,
                       float y, float z) {
        if (self().Body != nullptr) {
            float v[3];
            read(self().Body, v);
            body_controls::Accumulate(v, x, y, z);
            write(self().Body, v);
        }
    }
};
