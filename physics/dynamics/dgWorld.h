#pragma once
// The physics world: owns every body, joint, material pair and cached shape of a simulation, the broad
// phase, the object pools and the solver's work area, and runs the step.

#include "physics/collision/dgBroadPhase.h"
#include "physics/core/dgList.h"
#include "physics/core/dgRecyclePool.h"
#include "physics/core/dgTree.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointLink.h"
#include "physics/dynamics/dgMaterialPair.h"

#include <cstdint>

class dgCollision;
class dgCollisionPoint;
class dgJointBase;

/// A cached shape with the words its signature was hashed from, so two shapes whose signatures
/// collide are never taken for one another.
struct dgCollisionCacheEntry {
    dgCollision* m_collision = nullptr;
};

class dgWorld {
public:
    /// Pages of the body and link pools hold 64 records.
    static constexpr dgInt32 kPoolPageItems = 64;
    /// Most bodies that moving a jointed group takes along.
    static constexpr dgInt32 kMaxLinkedBodies = 512;
    /// Group ids stop here so material-pair keys cannot alias.
    static constexpr dgInt32 kMaxGroupCount = 65535;

    dgRecyclePool<dgJointLinkPair> m_jointLinkPool;
    dgBroadPhase m_broadPhase;
    dgTree<dgBody*, std::uintptr_t> m_bodies;
    dgTree<dgBody*, std::uintptr_t> m_activeBodies;
    dgTree<dgMaterialPair, dgUnsigned32> m_materialPairs;
    dgTree<dgCollisionCacheEntry, dgUnsigned32> m_collisionCache;
    dgRecyclePool<dgBody> m_bodyPool;
    dgUnsigned64 m_stepStamp = 2;
    dgInt32 m_inStep = 0;
    dgInt32 m_solverModel = 0;
    dgInt32 m_frictionModel = 0;
    dgUnsigned32 m_classIds[13] = {}; ///< box, null, cone, sphere, convex, ellipse, capsule, cylinder, hull,
                                      ///< chamfer cylinder, modifier, compound, polygon soup
    dgInt32 m_groupCount = 0;
    dgInt32 m_jointCount = 0;
    dgInt32 m_bodyCount = 0;
    dgInt32 m_stepContactCount = 0;
    dgInt32 m_defaultGroupId = 0;
    dgInt32 m_bodySerial = 0;
    dgFloat32 m_timeStep = 0.0f;
    dgFloat32 m_invTimeStep = 0.0f;
    dgFloat32 m_defaultFreezeThresholds[4] = {}; ///< speed, omega, then their derived values
    dgFloat32 m_frictionThreshold = 0.25f;
    void* m_userData = nullptr;
    dgInt32 m_simdBuild = 0;
    dgBodyLeaveWorldCallback m_leaveWorldCallback = nullptr;
    void* m_workArea = nullptr;
    dgCollisionPoint* m_pointCollision = nullptr;
    dgTree<dgBody*, std::uintptr_t> m_pendingBodies;
    dgTree<dgJointBase*, std::uintptr_t> m_pendingJoints;
    dgFloat32 m_maxSubStep = 1.0f / 60.0f;
    dgUnsigned8 m_inUpdate = 0;

    dgWorld();
    ~dgWorld();
    dgWorld(const dgWorld&) = delete;
    dgWorld& operator=(const dgWorld&) = delete;

    /// False when construction could not get its work area or point probe; such a world must be
    /// destroyed at once.
    bool IsValid() const;

    // Step.
    void Update(dgFloat32 dt);
    void StepDynamics(dgFloat32 dt);

    // Settings.
    dgInt32 GetDefaultGroupId() const { return m_defaultGroupId; }
    void SetSimdMode(dgInt32 mode);
    void SetSolverModel(dgInt32 model);
    void SetFrictionThreshold(dgFloat32 threshold);
    static dgInt32 GetWorkAreaSize();
    dgFloat32 GetTimeStep() const { return m_timeStep; }
    dgUnsigned32 GetBoxClassId() const { return m_classIds[0]; }
    dgUnsigned32 GetNullClassId() const { return m_classIds[1]; }
    dgUnsigned32 GetConeClassId() const { return m_classIds[2]; }
    dgUnsigned32 GetSphereClassId() const { return m_classIds[3]; }
    dgUnsigned32 GetConvexClassId() const { return m_classIds[4]; }
    dgUnsigned32 GetEllipseClassId() const { return m_classIds[5]; }
    dgUnsigned32 GetCapsuleClassId() const { return m_classIds[6]; }
    dgUnsigned32 GetCylinderClassId() const { return m_classIds[7]; }
    dgUnsigned32 GetConvexHullClassId() const { return m_classIds[8]; }
    dgUnsigned32 GetChamferCylinderClassId() const { return m_classIds[9]; }
    dgUnsigned32 GetConvexModifierClassId() const { return m_classIds[10]; }
    dgUnsigned32 GetCompoundClassId() const { return m_classIds[11]; }
    dgUnsigned32 GetPolygonSoupClassId() const { return m_classIds[12]; }

    // Bodies and joints.
    dgBody* CreateBody(dgCollision* collision);
    /// Destroys at once, or at the end of the running update.
    void DestroyBody(dgBody* body);
    void DestroyBodyNow(dgBody* body);
    dgJointBase* AttachJoint(dgJointBase* joint, dgBody* body0, dgBody* body1);
    void DestroyJoint(dgJointBase* joint);
    void DestroyJointNow(dgJointBase* joint);
    void FreezeBody(dgBody* body);
    void UnfreezeBody(dgBody* body);
    void SetBodyMatrixRecursive(dgBody* body, const dgMatrix& matrix);
    dgInt32 CollectLinkedBodies(dgBody* start, dgBody** out, dgInt32 capacity);
    void AddBodyImpulse(dgBody* body, const dgVector& velocityChange, const dgVector& point);

    // Material groups.
    dgInt32 CreateGroupId();
    dgMaterialPair* GetMaterialPair(dgInt32 group0, dgInt32 group1);
    dgInt32 DestroyAllGroupId();

    // Collision cache.
    dgCollision* CreateNull();
    dgCollision* CreateBox(dgFloat32 x, dgFloat32 y, dgFloat32 z, const dgMatrix& offset);
    dgCollision* CreateSphere(dgFloat32 radius, const dgMatrix& offset);
    dgCollision* CreateEllipse(dgFloat32 rx, dgFloat32 ry, dgFloat32 rz, const dgMatrix& offset);
    dgCollision* CreateCapsule(dgFloat32 radius, dgFloat32 height, const dgMatrix& offset);
    dgCollision* CreateCone(dgFloat32 radius, dgFloat32 height, const dgMatrix& offset);
    dgCollision* CreateCylinder(dgFloat32 radius, dgFloat32 height, const dgMatrix& offset);
    dgCollision* CreateChamferCylinder(dgFloat32 radius, dgFloat32 height, const dgMatrix& offset);
    /// Null when the points span no volume.
    dgCollision* CreateConvexHull(dgInt32 count, const dgFloat32* points, dgInt32 strideInBytes,
                                  const dgMatrix& offset);
    void ReleaseCollision(dgCollision* collision);
    void RemoveCollisionFromCache(dgCollision* collision);

    /// World memory comes from dgMalloc.
    static void* operator new(std::size_t size);
    static void operator delete(void* block);
};
