#pragma once
// A tire's shape: the unit rounded disc (radius 1, thickness 1) stretched by the tire's width along its
// axis and by its radius across it, so one shape class serves every tire size.

#include "physics/collision/dgCollisionChamferCylinder.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/core/dgGrowableArray.h"
#include "physics/dynamics/dgContactJoint.h"

class dgWorld;
struct dgVehicleTire;

/// Stretched operations work on a unit disc of the tire's own (never cached, never a child), so that no
/// unit-space call can reach a stretched override through a virtual call.
class dgTireCollision : public dgCollisionChamferCylinder {
public:
    /// Most contacts a tire keeps in a step.
    static constexpr dgInt32 kMaxContacts = 6;

    /// A contact the vehicle took from the general solver for this tire.
    struct Contact {
        dgBody* m_body0;
        dgCollision* m_collision0;
        dgBody* m_body1;
        dgCollision* m_collision1;
        dgVector m_point;  ///< world space
        dgVector m_normal; ///< world space
        dgFloat32 m_staticFriction[2];
        dgFloat32 m_kineticFriction[2];
        dgFloat32 m_penetration;
    };

    /// A point of a chassis contact joint made by a tire shape; the tire that takes it clears m_node.
    struct CollectedPoint {
        dgContactJoint* m_joint;
        dgListNode<dgContact>* m_node;
    };
    using CollectedPoints = dgGrowableArray<CollectedPoint>;

    /// Registers itself as the tire's collision and takes the tire's collision user id; matrix places
    /// the shape in the chassis frame.
    dgTireCollision(dgWorld* world, dgVehicleTire* tire, const dgMatrix& matrix);

    void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const override;
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    dgVector SupportVertex(const dgVector& dir) const override;
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point, dgVector* out) const override;

    /// Takes this shape's points out of the collected list and out of their joints' points in use (the
    /// general solver no longer sees them) and keeps the kMaxContacts highest along up, each with its
    /// normal pointing from the tire into the other body.
    void CollectContacts(const dgBody* chassis, const dgVector& up, CollectedPoints& collected);
    void ClearContacts() { m_contactCount = 0; }

    dgVehicleTire* GetTire() const { return m_tire; }
    dgWorld* GetWorld() const { return m_world; }
    /// (width, radius, radius).
    const dgVector& GetScale() const { return m_scale; }
    dgFloat32 GetMaxTreadRadius2() const { return m_maxTreadRadius2; }
    dgInt32 GetContactCount() const { return m_contactCount; }
    const Contact& GetContact(dgInt32 i) const {
        dgAssert(i >= 0 && i < m_contactCount);
        return m_contacts[i];
    }

private:
    dgVector m_scale;
    dgVector m_invScale;
    dgWorld* m_world;
    dgFloat32 m_maxTreadRadius2; ///< (0.75 r)^2: beyond it a contact's normal comes from the centre
    dgInt32 m_contactCount;
    Contact m_contacts[kMaxContacts];
    dgVehicleTire* m_tire;
    dgCollisionChamferCylinder m_unit; ///< radius 1, thickness 1, at the identity
};
