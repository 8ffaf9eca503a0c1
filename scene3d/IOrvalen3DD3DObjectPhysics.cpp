// The 3D object's physics controls: the family shared with the collision object, on the object's body.
// The up-vector slots wait for the up-vector joint and do nothing yet.
#include "scene3d/BodyControls.h"
#include "scene3d/IOrvalen3DD3DObject.h"

#include <algorithm>
#include <iterator>

using namespace body_controls;

void IOrvalen3DD3DObject::SetMass(float mass, float ix, float iy, float iz) {
    body_controls::SetMass(*this, mass, ix, iy, iz);
}

void IOrvalen3DD3DObject::SetCollisionMode(std::int32_t mode) {
    body_controls::SetCollisionMode(*this, mode);
}

std::int32_t IOrvalen3DD3DObject::GetCollisionMode() {
    return CollisionMode;
}

void IOrvalen3DD3DObject::SetFreeze(bool freeze) {
    body_controls::SetFreeze(*this, freeze);
}

bool IOrvalen3DD3DObject::GetAutoFreeze() {
    return body_controls::GetAutoFreeze(*this);
}

void IOrvalen3DD3DObject::SetFreezeThreshold(float speed, float omega) {
    body_controls::SetFreezeThreshold(*this, speed, omega);
}

void IOrvalen3DD3DObject::CreateUpVector(float, float, float) {}

void IOrvalen3DD3DObject::SetUpVectorPin(float, float, float) {}

D3DXVECTOR3 IOrvalen3DD3DObject::GetUpVectorPin() {
    return {};
}

void IOrvalen3DD3DObject::Activate() {
    body_controls::Activate(*this);
}

void IOrvalen3DD3DObject::SetForce(float x, float y, float z) {
    Assign(Force, x, y, z);
}

D3DXVECTOR3 IOrvalen3DD3DObject::GetForce() {
    return Vector(Force);
}

void IOrvalen3DD3DObject::AddForce(float x, float y, float z) {
    Accumulate(Force, x, y, z);
}

void IOrvalen3DD3DObject::SetTorque(float x, float y, float z) {
    Assign(Torque, x, y, z);
}

D3DXVECTOR3 IOrvalen3DD3DObject::GetTorque() {
    return Vector(Torque);
}

void IOrvalen3DD3DObject::AddTorque(float x, float y, float z) {
    Accumulate(Torque, x, y, z);
}

void IOrvalen3DD3DObject::SetVelocity(float x, float y, float z) {
    SetBodyVector(*this, dgApiBodySetVelocity, x, y, z);
}

D3DXVECTOR3 IOrvalen3DD3DObject::GetVelocity() {
    return BodyVector(*this, dgApiBodyGetVelocity);
}

void IOrvalen3DD3DObject::AddVelocity(float x, float y, float z) {
    AddBodyVector(*this, dgApiBodyGetVelocity, dgApiBodySetVelocity, x, y, z);
}

void IOrvalen3DD3DObject::SetOmega(float x, float y, float z) {
    SetBodyVector(*this, dgApiBodySetOmega, x, y, z);
}

D3DXVECTOR3 IOrvalen3DD3DObject::GetOmega() {
    return BodyVector(*this, dgApiBodyGetOmega);
}

void IOrvalen3DD3DObject::AddOmega(float x, float y, float z) {
    AddBodyVector(*this, dgApiBodyGetOmega, dgApiBodySetOmega, x, y, z);
}

void IOrvalen3DD3DObject::AddImpulse(float px, float py, float pz, float dx, float dy, float dz) {
    body_controls::AddImpulse(*this, px, py, pz, dx, dy, dz);
}

void IOrvalen3DD3DObject::SetCustomParameters(float a, float b, float c, float d, float e, float f, float g) {
    const float values[7] = {a, b, c, d, e, f, g};
    std::copy(std::begin(values), std::end(values), CustomParameters);
}

void IOrvalen3DD3DObject::SetCustomFlag(bool flag) {
    CustomFlag = flag;
}

bool IOrvalen3DD3DObject::GetCustomFlag() {
    return CustomFlag;
}
