#pragma once
// An invisible physics body of the 3D scene (a sphere or ellipsoid) that the host moves with forces and
// that may carry a 3D object drawn at its place. The scene makes and owns every collision object; the
// host calls it through the virtual table, so the order of the operations below is part of the interface.

#include "IOrvalen3D.h"
#include "platform/D3DXMath.h"

#include <cstdint>

class IOrvalenRenderer;
class IOrvalen3DObject;

class IOrvalen3DCollisionObject {
public:
    float Position[3] = {0.0f, 0.0f, 0.0f}; ///< last translation set, or the body's
    float Rotation[3] = {0.0f, 0.0f, 0.0f}; ///< last angles set about x, y, z (radians)
    float Scale[3] = {0.0f, 0.0f, 0.0f};    ///< product of the scale factors per axis

    /// Destroys the body; a linked object stays the host's.
    virtual ~IOrvalen3DCollisionObject() = default;
    /// Keeps `*renderer`; the force callback reads its gravity.
    virtual void SetRenderer(IOrvalenRenderer** renderer) = 0;
    /// Does nothing and succeeds.
    virtual bool Reserved2(std::int32_t value) = 0;
    /// Draws `object` at this object's place from now on and gives it this object's collision mode. The
    /// host keeps `object` alive as long as the link lasts; only null is refused.
    virtual bool LinkObject(IOrvalen3DObject* object) = 0;
    /// Draws the linked object scaled, turned and moved by Scale, Rotation and Position.
    virtual bool Render() = 0;
    virtual bool RenderBlended() = 0;

    // Transform: SetPosition and SetRotation each replace the body's whole matrix.
    virtual void ResetTransform() = 0;
    virtual void SetPosition(float x, float y, float z) = 0;
    /// Angles about x, y and z in radians.
    virtual void SetRotation(float a, float b, float c) = 0;
    /// Scales the shape by the product of all factors given, and the linked object by these.
    virtual void SetScale(float sx, float sy, float sz) = 0;
    /// The body takes the 16 floats of `matrix`.
    virtual void SetMatrix(const float* matrix) = 0;
    /// The body's translation and angles, three floats each.
    virtual void UpdateFromBody(float* position, float* rotation) = 0;
    /// Scale, then Rotation, then Position as one matrix.
    virtual D3DXMATRIX ComposeMatrix() = 0;

    // Physics body.
    virtual void SetMass(float mass, float ix, float iy, float iz) = 0;
    /// 0 static, 1 dynamic, 2 no contacts (the mass is kept).
    virtual void SetCollisionMode(std::int32_t mode) = 0;
    virtual std::int32_t GetCollisionMode() = 0;
    virtual void SetFreeze(bool freeze) = 0;
    virtual bool GetAutoFreeze() = 0;
    virtual void SetFreezeThreshold(float speed, float omega) = 0;
    /// Keeps the body's axis now along (x, y, z) parallel to that world direction.
    virtual void CreateUpVector(float x, float y, float z) = 0;
    virtual void SetUpVectorPin(float x, float y, float z) = 0;
    virtual D3DXVECTOR3 GetUpVectorPin() = 0;
    virtual void Activate() = 0;
    /// The object's own constant force, added at every step.
    virtual void SetForce(float x, float y, float z) = 0;
    virtual D3DXVECTOR3 GetForce() = 0;
    virtual void AddForce(float x, float y, float z) = 0;
    virtual void SetTorque(float x, float y, float z) = 0;
    virtual D3DXVECTOR3 GetTorque() = 0;
    virtual void AddTorque(float x, float y, float z) = 0;
    virtual void SetVelocity(float x, float y, float z) = 0;
    virtual D3DXVECTOR3 GetVelocity() = 0;
    virtual void AddVelocity(float x, float y, float z) = 0;
    virtual void SetOmega(float x, float y, float z) = 0;
    virtual D3DXVECTOR3 GetOmega() = 0;
    virtual void AddOmega(float x, float y, float z) = 0;
    /// Velocity change (dx, dy, dz) applied at the point (px, py, pz).
    virtual void AddImpulse(float px, float py, float pz, float dx, float dy, float dz) = 0;
    virtual void SetCustomParameters(float a, float b, float c, float d, float e, float f, float g) = 0;
    virtual void SetCustomFlag(bool flag) = 0;
    virtual bool GetCustomFlag() = 0;
    virtual void SetMaterialGroupID(std::int32_t id) = 0;
    virtual std::int32_t GetMaterialGroupID() = 0;
};
