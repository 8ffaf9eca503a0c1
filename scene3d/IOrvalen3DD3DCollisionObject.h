#pragma once
// The Direct3D implementation of the collision object: a body whose shape is a sphere or ellipsoid inside
// a convex modifier (which scales it), the physics controls it shares with the 3D object, and an optional
// linked 3D object drawn at its place. The scene's callbacks read its physics fields, so the fields are
// public and keep their names.

#include "IOrvalen3DCollisionObject.h"
#include "scene3d/BodyControls.h"

#include <cstdint>

class IOrvalenD3D;
class dgBody;
class dgCollision;
class dgJointBase;
class dgWorld;

class IOrvalen3DD3DCollisionObject
    : public BodyControls<IOrvalen3DD3DCollisionObject, IOrvalen3DCollisionObject> {
public:
    // How the physics controls shared with the 3D object differ for a collision object.
    static constexpr bool kNoContactsMeansStatic = false;   ///< mode 2 leaves the body's mass alone
    static constexpr bool kActivateStopsAutoFreeze = false; ///< Activate leaves the auto-freeze as it is

    bool ActiveFlag = false;                  ///< set by Activate; friction off on level faces
    IOrvalen3DObject* LinkedObject = nullptr; ///< drawn at this object's place; the host's, not owned
    dgBody* Body = nullptr;                   ///< owned
    dgCollision* Modifier = nullptr;          ///< the body's shape; one reference, given back in World
    std::int32_t CollisionMode = 1;           ///< 0 static, 1 dynamic, 2 no contacts
    float Mass = 1.0f;
    float Inertia[3] = {1.0f, 1.0f, 1.0f};
    float Force[3] = {0.0f, 0.0f, 0.0f};  ///< added to the body at every step with its weight
    float Torque[3] = {0.0f, 0.0f, 0.0f}; ///< stored only
    bool CustomFlag = false;              ///< stored only
    float CustomParameters[7] = {};       ///< stored only
    dgJointBase* UpVectorJoint = nullptr; ///< lives in the body's world
    bool HasUpVector = false;
    std::int32_t ID = 0;             ///< index in the scene's numbering, shared with 3D objects
    BodyUserData UserData{1, this};  ///< the body's user data: kind 1, this object
    IOrvalenD3D* Renderer = nullptr; ///< null until SetRenderer
    dgWorld* World = nullptr;        ///< the world of Modifier, so it can be given back bodyless

    IOrvalen3DD3DCollisionObject() = default;
    /// Destroys the body, then gives back the modifier, each when there is one.
    ~IOrvalen3DD3DCollisionObject() override;
    IOrvalen3DD3DCollisionObject(const IOrvalen3DD3DCollisionObject&) = delete;
    IOrvalen3DD3DCollisionObject& operator=(const IOrvalen3DD3DCollisionObject&) = delete;

    void SetRenderer(IOrvalenRenderer** renderer) override;
    bool Reserved2(std::int32_t value) override;
    bool LinkObject(IOrvalen3DObject* object) override;
    /// False without a linked object.
    bool Render() override;
    /// True without a linked object.
    bool RenderBlended() override;
    /// Nothing without a modifier.
    void SetScale(float sx, float sy, float sz) override;
    void SetMatrix(const float* matrix) override;
    D3DXMATRIX ComposeMatrix() override;

private:
    friend BodyControls<IOrvalen3DD3DCollisionObject, IOrvalen3DCollisionObject>;
    /// The body, when there is one, takes `matrix` as its whole matrix: a position or a rotation replaces
    /// the other.
    void Transform(const D3DXMATRIX& matrix);
    /// The body's matrix = identity.
    void ResetPlacement();
    /// Places the linked object by Scale, Rotation and Position; false without one.
    bool PlaceLinkedObject();
};
