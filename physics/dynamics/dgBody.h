#pragma once
// The rigid body record. The world pools, creates and destroys bodies; the collision layer reads their
// frames and builds temporary bodies on its own stack for queries and mass integration.

#include "physics/collision/dgCollision.h"
#include "physics/core/dgList.h"
#include "physics/core/dgMatrix.h"
#include "physics/core/dgQuaternion.h"
#include "physics/core/dgTree.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

#include <cstdint>

class dgBody;
class dgBroadPhaseCell;
class dgBroadPhaseAxisNode;
class dgCollision;
class dgJointLink;
class dgRagDollBone;
class dgWorld;

using dgBodyAutoActiveCallback = void (*)(dgBody* body, dgUnsigned32 state);
using dgBodyDestructorCallback = void (*)(dgBody* body);
using dgBodyTransformCallback = void (*)(dgBody* body, const dgFloat32* matrix);
using dgBodyForceAndTorqueCallback = void (*)(dgBody* body);
/// Called for a body whose box left the world box.
using dgBodyLeaveWorldCallback = void (*)(dgBody* body);
/// Called for each body a ray hits with the global normal (3 floats), the face attribute and the hit
/// parameter; returns the new best parameter.
using dgRayCastFilter = dgFloat32 (*)(dgBody* body, const dgFloat32* normal, dgInt32 attribute,
                                      void* userData, dgFloat32 t);
/// Called for each body of a box query.
using dgBodyIterator = void (*)(dgBody* body);
/// The world's body trees are keyed by creation serial, never by address, so every walk over them (and
/// all that follows from it) is the same whatever addresses the allocator hands out.
using dgBodyTree = dgTree<dgBody*, dgUnsigned64>;

/// Rigid body: frame, motion, mass, world box, one collision shape, joints and callbacks.
/// Every field starts zero or null (rotation the identity), so a body built on the stack is fully
/// defined; the world fills in the rest when it creates a body.
class dgBody {
public:
    /// Flag word bits.
    static constexpr dgUnsigned32 kActive = 1u << 0;
    static constexpr dgUnsigned32 kAutoFreeze = 1u << 1;
    static constexpr dgUnsigned32 kEquilibrium = 1u << 2;
    static constexpr dgUnsigned32 kGyroscopicTorque = 1u << 3;
    static constexpr dgUnsigned32 kJointPairFilter = 1u << 4;
    static constexpr dgUnsigned32 kContinuousCollision = 1u << 5;

    dgMatrix m_matrix;          ///< body frame; shape displays read it through the body pointer
    dgMatrix m_collisionMatrix; ///< the shape's offset matrix times m_matrix (a copy when the offset is the
                                ///< identity)
    dgQuaternion m_rotation;    ///< unit quaternion of m_matrix's rotation
    dgVector m_veloc;           ///< linear velocity of the centre of mass, global
    dgVector m_omega;           ///< angular velocity, global
    dgVector m_force;           ///< force accumulated for this step
    dgVector m_torque;          ///< torque accumulated for this step
    dgVector m_mass;            ///< Ixx, Iyy, Izz about the local axes; w the mass
    dgVector m_invMass;         ///< their inverses; all 0 for an infinite-mass body
    dgVector m_localCentreOfMass;
    dgVector m_globalCentreOfMass;
    dgVector m_minBox; ///< world-space box of the collision, possibly widened by motion
    dgVector m_maxBox;
    dgVector m_angularDamping; ///< three coefficients, each the user's value times 0.02
    dgVector m_reportedMass;   ///< Ixx, Iyy, Izz, mass as reported; 1e15 for an infinite mass
    dgVector m_lastForce;      ///< force accumulator at the start of the last integration
    dgVector m_lastTorque;
    dgFloat32 m_freezeThresholds[4] = {}; ///< speed, omega, then 0.1 of each
    dgFloat32 m_linearDamping = 0.0f;     ///< the user's value times 0.02
    dgUnsigned32 m_solverMarks[2] = {};   ///< dynamics bookkeeping; bit 28 of [1] marks the linked-body walk
    dgInt32 m_islandIndex = 0; ///< its slot in the island whose mark m_solverMarks hold while that island is built
    dgUnsigned32 m_serial = 0;            ///< creation serial in its world, low word
    dgUnsigned32 m_serialExtra = 0;       ///< and high word
    dgInt32 m_materialGroupId = 0;
    dgWorld* m_world = nullptr;
    void* m_userData = nullptr;
    dgTreeNode<dgBody*, dgUnsigned64>* m_activeNode =
        nullptr;                        ///< node in the world's active set; null while frozen
    dgCollision* m_collision = nullptr; ///< the body holds one reference
    dgJointLink* m_jointRing = nullptr; ///< head of the ring of the body's joint links; null without joints
    dgRagDollBone* m_bone = nullptr;    ///< the ragdoll bone built on this body; the world unlinks it as the body goes

    // Owned by the broad phase; all null while the body is outside it.
    dgBroadPhaseCell* m_cell = nullptr;
    dgListNode<dgBroadPhaseAxisNode>* m_axisNode[3] = {}; ///< x, y, z
    dgListNode<dgBody*>* m_movedNode = nullptr;
    dgUnsigned64 m_pairStamp = 0;
    dgUnsigned64 m_stepStamp = 0;

    dgBodyAutoActiveCallback m_autoActive = nullptr;
    dgBodyDestructorCallback m_destructor = nullptr;
    dgBodyTransformCallback m_transform = nullptr;
    dgBodyForceAndTorqueCallback m_forceAndTorque = nullptr;
    dgUnsigned32 m_flags = 0;

    dgBody() = default;

    /// The key of the body in its world's body trees: its creation serial.
    dgUnsigned64 GetSerialKey() const { return (dgUnsigned64(m_serialExtra) << 32) | m_serial; }

    /// Mass 1e15 or more or without a finite inverse (0, negative, NaN), or a polygon-soup collision,
    /// makes the body static; such an inertia locks its axis.
    void SetMassMatrix(dgFloat32 mass, dgFloat32 ixx, dgFloat32 iyy, dgFloat32 izz);
    /// Ixx, Iyy, Izz, mass.
    void UpdateReportedMass(const dgFloat32* mass);
    /// Stores the frame and refreshes rotation, centre of mass, collision matrix and box.
    void SetMatrix(const dgMatrix& matrix);
    /// Collision matrix and box after the body matrix changed; tells the broad phase when the body is in it.
    void UpdateCollisionMatrix(dgFloat32 dt);
    /// One integration of a moving body, then its transform callback and box.
    void IntegrateStep(dgFloat32 dt);
    void IntegrateVelocityAndMatrix(dgFloat32 dt);
    /// Velocity and omega at the end of a step of dt under the accumulated force and torque, the turn
    /// of one step held below 45 degrees (a non-finite prediction comes out zero); the body is not changed.
    void IntegrateVelocity(dgFloat32 dt, dgVector& velocOut, dgVector& omegaOut) const;
    /// World-space inverse inertia R^T D R in the 3x3 part; posit (0, 0, 0, 1).
    void CalcInvInertiaMatrix(dgMatrix& out) const;
    /// The impulse that changes the velocity of the global point by exactly velocityChange. A body of
    /// infinite mass, and non-finite arguments, are left alone.
    void AddImpulse(const dgVector& velocityChange, const dgVector& point);
    void AddBuoyancyForce(dgFloat32 density, dgFloat32 linearViscosity, dgFloat32 angularViscosity,
                          const dgVector& gravity, dgBuoyancyPlaneCallback planeCallback, void* context);
    /// The filter's answer for a hit below maxT (without a filter the hit parameter), else maxT.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgRayCastFilter filter,
                      dgRayCastPrefilter preFilter, void* userData, dgFloat32 maxT);
    /// Takes a reference of collision and gives the old one back to the world (or releases it when the
    /// body has no world).
    void SetCollision(dgCollision* collision);

private:
    /// Asks the world for the soup's class id; a body without a world uses the engine's constant.
    bool HasPolygonSoup() const;
};
