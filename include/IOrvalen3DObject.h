#pragma once
// A drawable mesh of the 3D scene with its material groups, transform, key-frame animation and an
// optional physics body. The scene makes and owns every object; the host calls it through the virtual
// table, so the order of the operations below is part of the interface.

#include "IOrvalen3D.h"
#include "platform/D3DXMath.h"

#include <cstdint>

class IOrvalenRenderer;

class IOrvalen3DObject {
public:
    float Position[3] = {0.0f, 0.0f, 0.0f}; ///< last translation set, or the body's
    float Rotation[3] = {0.0f, 0.0f, 0.0f}; ///< last angles set about x, y, z (radians)
    float Scale[3] = {0.0f, 0.0f, 0.0f};    ///< product of the scale factors per axis
    std::int32_t DrawFlag = 0;              ///< set by the host to have the scene's Render draw the object
    std::int32_t ShadowFlag = 0;            ///< set by the host to have the scene draw the shadow volume

    virtual ~IOrvalen3DObject() = default;
    /// The object's index in the scene's object table; -1 while its build has not ended.
    virtual std::int32_t GetID() = 0;
    /// Keeps `*renderer`; drawing and logging go through it.
    virtual void SetRenderer(IOrvalenRenderer** renderer) = 0;

    // Drawing.
    virtual bool Render() = 0;
    /// As Render, with the groups named "trans" drawn last under alpha blending.
    virtual bool RenderBlended() = 0;
    /// Draws with effect slot `effect` fed with the world-view-projection matrix and each group's texture.
    virtual bool RenderWithEffect(std::int32_t effect) = 0;
    virtual bool RenderShadowVolume() = 0;
    /// Extrudes the silhouette seen along the light direction (x, y, z) into a shadow volume.
    virtual void BuildShadowVolume(float x, float y, float z) = 0;

    // Transform; the body, when there is one, follows.
    virtual void ResetTransform() = 0;
    virtual void SetPosition(float x, float y, float z) = 0;
    /// Angles about x, y and z in radians, multiplied onto the matrix.
    virtual void SetRotation(float a, float b, float c) = 0;
    virtual void SetScale(float sx, float sy, float sz) = 0;
    /// Multiplies the 16 floats of `matrix` onto the object's matrix.
    virtual void SetMatrix(const float* matrix) = 0;
    /// The body's translation and angles, three floats each.
    virtual void UpdateFromBody(float* position, float* rotation) = 0;
    virtual D3DXMATRIX GetMatrix() = 0;

    // Key-frame animation.
    /// `frames` holds `frameCount` vertex arrays as long as the object's own.
    virtual bool CreateAnimation(std::int32_t frameCount, Vertex3D** frames) = 0;
    virtual bool AddAnimation(std::int32_t start, std::int32_t end, const char* name) = 0;
    virtual void SetAnimationSpeed(float framesPerSecond) = 0;
    virtual float GetAnimationSpeed() = 0;
    virtual void SetLooping(bool looping) = 0;
    virtual bool IsLooping() = 0;
    virtual bool SetAnimation(const char* name) = 0;
    /// Advances by `elapsed` seconds.
    virtual bool UpdateAnimation(float elapsed) = 0;
    virtual void SetAnimationTime(float time) = 0;
    virtual float GetAnimationTime() = 0;
    virtual bool StartAnimation(const char* name) = 0;
    virtual void PauseAnimation() = 0;
    virtual void PlayAnimation() = 0;
    virtual void RewindAnimation() = 0;
    virtual bool IsAnimationFinished() = 0;

    // Materials, by group name.
    virtual void SetObjectFlag(bool value) = 0;
    virtual void SetMaterialDiffuse(const char* name, float r, float g, float b) = 0;
    virtual void SetMaterialAmbient(const char* name, float r, float g, float b) = 0;
    virtual void SetMaterialSpecular(const char* name, float r, float g, float b, float power) = 0;
    virtual void SetMaterialEmissive(const char* name, float r, float g, float b) = 0;
    /// Loads an image file as the group's texture; the third argument is not read.
    virtual bool LoadTexture(const char* name, const char* file, std::uint32_t unused) = 0;
    /// `count` pairs (u, v) for the groups built with texture-coordinate indices.
    virtual void SetTexCoords(std::int32_t count, const float* uv) = 0;

    // Physics body.
    virtual void SetMass(float mass, float ix, float iy, float iz) = 0;
    /// 0 static, 1 dynamic, 2 no contacts.
    virtual void SetCollisionMode(std::int32_t mode) = 0;
    virtual std::int32_t GetCollisionMode() = 0;
    virtual void SetFreeze(bool freeze) = 0;
    virtual bool GetAutoFreeze() = 0;
    virtual void SetFreezeThreshold(float speed, float omega) = 0;
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
