#pragma once
// The physics world: owns every body, joint, material pair and cached shape of a simulation, the broad
// phase, the object pools and the solver's work area, and runs the step.

#include "physics/collision/dgBroadPhase.h"
#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/core/dgGrowableArray.h"
#include "physics/core/dgList.h"
#include "physics/core/dgRecyclePool.h"
#include "physics/core/dgTree.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgBallJoint.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgCorkscrewJoint.h"
#include "physics/dynamics/dgHingeJoint.h"
#include "physics/dynamics/dgJointLink.h"
#include "physics/dynamics/dgMaterialPair.h"
#include "physics/dynamics/dgRagDollList.h"
#include "physics/dynamics/dgSliderJoint.h"
#include "physics/dynamics/dgUniversalJoint.h"
#include "physics/dynamics/dgUpVectorJoint.h"
#include "physics/dynamics/dgVehicleJoint.h"
#include "physics/dynamics/dgWorldDynamicsUpdate.h"

#include <cstdint>

class dgCollision;
class dgCompoundCollision;
class dgCollisionPoint;
class dgJointBase;
struct dgVehicleWorkspace;

/// A cached shape with the words its signature was hashed from, so two shapes whose signatures
/// collide are never taken for one another. The entry holds the cache's reference of the collision
/// (given back by whoever removes the entry) and owns its key words (freed with the entry).
struct dgCollisionCacheEntry {
    dgCollision* m_collision = nullptr;
    dgUnsigned32* m_keyWords = nullptr; ///< dgMalloc block of m_keyWordCount words
    dgInt32 m_keyWordCount = 0;

    dgCollisionCacheEntry() = default;
    ~dgCollisionCacheEntry();
    dgCollisionCacheEntry(const dgCollisionCacheEntry&) = delete;
    dgCollisionCacheEntry& operator=(const dgCollisionCacheEntry&) = delete;

    /// Takes a copy of the key record.
    void SetKey(const dgUnsigned32* words, dgInt32 wordCount);
    /// True when the entry was keyed by exactly these words.
    bool HasKey(const dgUnsigned32* words, dgInt32 wordCount) const;
};

class dgWorld {
public:
    /// Pages of the body and link pools hold 64 records.
    static constexpr dgInt32 kPoolPageItems = 64;
    /// Most bodies that moving a jointed group takes along.
    static constexpr dgInt32 kMaxLinkedBodies = 512;
    /// Group ids stop here so material-pair keys cannot alias.
    static constexpr dgInt32 kMaxGroupCount = 65535;
    /// Body pointers the work area holds: the broad phase's stack of bodies and the linked-body list.
    static constexpr dgInt32 kWorkAreaBodyCapacity = 1 << 16;
    /// Signature of the world's point probe; never a cache key.
    static constexpr dgUnsigned32 kPointCollisionSignature = 0x12344321u;
    /// Most contacts a collision query gathers or gives out.
    static constexpr dgInt32 kMaxQueryContacts = 128;

    /// A body whose destruction is under way; frames live on the stack and chain outwards when a
    /// destructor callback destroys another body.
    struct DestructionFrame {
        dgBody* m_body;
        DestructionFrame* m_outer;
    };

    dgRecyclePool<dgJointLinkPair> m_jointLinkPool;
    dgBroadPhase m_broadPhase;
    dgBodyTree m_bodies;                                  ///< every body, in creation order
    dgBodyTree m_activeBodies;                            ///< the active set, in creation order
    using dgMaterialPairTree = dgTree<dgMaterialPair, dgUnsigned32>;
    dgMaterialPairTree m_materialPairs; ///< key: larger group id * 65536 + smaller
    dgTree<dgCollisionCacheEntry, dgUnsigned32> m_collisionCache;
    dgRecyclePool<dgBody> m_bodyPool;
    dgContactJointPool m_contactJointPool;
    // One pool per constraint class, in the order ball, hinge, slider, up-vector, corkscrew, universal:
    // the world's destructor has destroyed every joint before the pools go.
    dgRecyclePool<dgBallJoint> m_ballJointPool;
    dgRecyclePool<dgHingeJoint> m_hingeJointPool;
    dgRecyclePool<dgSliderJoint> m_sliderJointPool;
    dgRecyclePool<dgUpVectorJoint> m_upVectorJointPool;
    dgRecyclePool<dgCorkscrewJoint> m_corkscrewJointPool;
    dgRecyclePool<dgUniversalJoint> m_universalJointPool;
    dgRecyclePool<dgVehicleJoint> m_vehiclePool;
    dgTree<dgVehicleJoint*, dgUnsigned64> m_vehicleUpdateSet; ///< every live vehicle, in creation order
    dgFloat32 m_vehicleSubStepRate = 179.0f;                     ///< vehicle sub-steps per second
    dgBodyTree m_tireContactSet; ///< chassis whose tire contacts wait to be gathered, in creation order
    dgVehicleWorkspace* m_vehicleWorkspace = nullptr;  ///< owned; made with the first vehicle
    dgUnsigned64 m_stepStamp = 2;
    dgInt32 m_inStep = 0; ///< 1 while the step's dynamics run
    dgInt32 m_solverModel = 0;
    dgInt32 m_frictionModel = 0;
    dgUnsigned32 m_classIds[13] = {}; ///< box, null, cone, sphere, convex, ellipse, capsule, cylinder, hull,
                                      ///< chamfer cylinder, modifier, compound, polygon soup
    dgInt32 m_groupCount = 0;
    dgInt32 m_jointCount = 0;
    dgInt32 m_bodyCount = 0;
    dgInt32 m_stepContactCount = 0;
    dgInt32 m_defaultGroupId = 0;
    dgUnsigned64 m_bodySerial = 0; ///< serial of the last body made; 64 bits never wrap
    dgUnsigned64 m_jointSerial = 0; ///< serial of the last joint attached
    dgFloat32 m_timeStep = 0.0f;   ///< seconds of the sub-step being run or last run
    dgFloat32 m_invTimeStep = 0.0f;
    dgFloat32 m_defaultFreezeThresholds[4] = {}; ///< speed, omega, then their derived values
    dgFloat32 m_frictionThreshold = 0.25f;
    void* m_userData = nullptr;
    dgInt32 m_simdBuild = 0; ///< 1: the packed solver build runs, 0: the scalar one
    dgBodyLeaveWorldCallback m_leaveWorldCallback = nullptr;
    void* m_workArea = nullptr; ///< GetWorkAreaSize() bytes, owned; null when it could not be had
    dgCollisionPoint* m_pointCollision = nullptr; ///< the world holds one reference
    dgBodyTree m_pendingBodies; ///< destructions asked during an update, done in creation order
    dgTree<dgJointBase*, dgUnsigned64> m_pendingJoints; ///< destructions asked during an update, done in
                                                        ///< attachment order
    dgFloat32 m_maxSubStep = 1.0f / 60.0f;
    dgUnsigned8 m_inUpdate = 0;                 ///< 1 while a sub-step runs: destructions are deferred
    dgInt32 m_queryDepth = 0;                   ///< queries running: destructions are deferred too
    bool m_worldSizePending = false;            ///< a world box asked while the broad phase was walked
    dgVector m_pendingWorldMin;
    dgVector m_pendingWorldMax;
    DestructionFrame* m_destructions = nullptr; ///< innermost body being destroyed
    dgWorldDynamicsUpdate m_dynamicsUpdate;     ///< islands, solver and integration of each sub-step
    dgRagDollList m_ragdolls{this};
    dgList<dgRagDoll*> m_ragdollUpdates; ///< ragdolls that moved in the running sub-step, reported last first

    dgWorld();
    ~dgWorld();
    dgWorld(const dgWorld&) = delete;
    dgWorld& operator=(const dgWorld&) = delete;

    /// False when construction could not get its work area or point probe; such a world must be
    /// destroyed at once.
    bool IsValid() const;

    /// True while destructions wait for the end of the running sub-step or query.
    bool DefersDestruction() const { return m_inUpdate != 0 || m_queryDepth != 0; }
    /// A box query, ray cast or body walk begins: its callbacks may destroy bodies and joints, which
    /// go when the outermost query ends (or with the sub-step, inside an update).
    void BeginQuery() { m_queryDepth++; }
    void EndQuery();

    // Step.
    /// One sub-step of dt seconds: the dynamics, then the destructions asked during them.
    void Update(dgFloat32 dt);
    /// The step's stages in order: forces and predicted boxes, the pair search and its contacts, the
    /// islands (damping and gyroscopic torque, rows, solve, integration, rest), then stale contacts go.
    void StepDynamics(dgFloat32 dt);
    /// The record a step passes down to its stages; the world keeps the step's time for its getters and
    /// advances the step stamp.
    dgStepContext BeginStep(dgFloat32 dt);

    // Settings.
    /// Sets the broad phase's world box; asked while an update or query walks the broad phase, at its
    /// end (the last request counts).
    void SetWorldSize(const dgVector& minPoint, const dgVector& maxPoint);
    dgInt32 GetDefaultGroupId() const { return m_defaultGroupId; }
    /// 0 selects the scalar build; anything else the packed build where it can run.
    void SetSimdMode(dgInt32 mode);
    /// 1 when the packed solver build can run on this machine.
    static dgInt32 ProbePackedBuild();
    void SetSolverModel(dgInt32 model);
    void SetFrictionModel(dgInt32 model) { m_frictionModel = model; }
    /// Values at or below 0.01, and NaN, are stored as 0.01.
    void SetFrictionThreshold(dgFloat32 threshold);
    /// Bytes of the work area: the larger of what its users need.
    static dgInt32 GetWorkAreaSize();
    void* GetWorkArea() const { return m_workArea; }
    void* GetUserData() const { return m_userData; }
    void SetUserData(void* userData) { m_userData = userData; }
    void SetLeaveWorldCallback(dgBodyLeaveWorldCallback callback) { m_leaveWorldCallback = callback; }
    dgFloat32 GetTimeStep() const { return m_timeStep; }
    dgInt32 GetGroupCount() const { return m_groupCount; }
    dgInt32 GetJointCount() const { return m_jointCount; }
    dgInt32 GetBodyCount() const { return m_bodyCount; }
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
    /// A new static body at the identity holding one reference of collision; null for a null collision.
    /// When memory runs out (dgMemoryExhausted) the world is left as it was.
    dgBody* CreateBody(dgCollision* collision);
    /// Destroys at once, or at the end of the running update.
    void DestroyBody(dgBody* body);
    void DestroyBodyNow(dgBody* body);
    /// Every body, at once or (while destructions are deferred) at the end of the sub-step or query. A
    /// body whose destruction is already under way is left to it.
    void DestroyAllBodies();
    /// Links the joint into the rings of body0 and body1 (null: the fixed world). Its one request of
    /// memory, a link from m_jointLinkPool, comes before it changes anything (none after a Reserve).
    dgJointBase* AttachJoint(dgJointBase* joint, dgBody* body0, dgBody* body1);
    /// Destroys at once, or at the end of the running update.
    void DestroyJoint(dgJointBase* joint);
    void DestroyJointNow(dgJointBase* joint);
    /// True when a joint may tie child to parent (null: the world): both bodies of this world, not
    /// being destroyed, and not the same body.
    bool CanJoin(const dgBody* child, const dgBody* parent) const;
    /// A ball joint pinning child to parent (null: the world) at the global pivot; null for bodies
    /// that cannot be joined or a pivot that is not finite. When memory runs out (dgMemoryExhausted) the
    /// world is left as it was.
    dgBallJoint* CreateBallJoint(const dgVector& pivot, dgBody* child, dgBody* parent);
    /// An up-vector joint holding the body's axis along the global pin (body's front axis for a zero
    /// pin); null for a body that cannot be joined or a pin that is not finite. When memory runs out
    /// (dgMemoryExhausted) the world is left as it was.
    dgUpVectorJoint* CreateUpVectorJoint(const dgVector& pin, dgBody* body);
    /// A hinge letting child turn about the global pin through the global pivot relative to parent
    /// (null: the world); a zero pin takes child's front axis. Null for bodies that cannot be joined or
    /// a pivot or pin that is not finite; the same for the slider and the corkscrew.
    dgHingeJoint* CreateHingeJoint(const dgVector& pivot, const dgVector& pin, dgBody* child, dgBody* parent);
    /// A slider letting child move along the global pin through the pivot.
    dgSliderJoint* CreateSliderJoint(const dgVector& pivot, const dgVector& pin, dgBody* child, dgBody* parent);
    /// A corkscrew letting child move along and turn about the global pin through the pivot.
    dgCorkscrewJoint* CreateCorkscrewJoint(const dgVector& pivot, const dgVector& pin, dgBody* child,
                                           dgBody* parent);
    /// A universal joint at the pivot turning about pin0 (fixed in child) and pin1 made square to it
    /// (fixed in parent; the pin's own right axis when pin1 lies along pin0). Null as for the hinge.
    dgUniversalJoint* CreateUniversalJoint(const dgVector& pivot, const dgVector& pin0, const dgVector& pin1,
                                           dgBody* child, dgBody* parent);
    /// A vehicle on chassis whose up direction (global) is up: the chassis's shape becomes a new
    /// compound flagged as a vehicle's chassis (a compound's children are rewrapped). Null for a body of
    /// another world or one being destroyed, a chassis that already has a vehicle or whose shape cannot
    /// be a compound's child, or an up direction that is zero or not finite.
    dgVehicleJoint* CreateVehicle(const dgVector& up, dgBody* chassis);
    /// Hands the tire contacts of every chassis noted in the step's contact calculation to its tires.
    void FlushTireContacts();
    /// Every joint reached from start over the joint rings of the bodies with mass it links, each once;
    /// each gets the stamp mark, which also tells the walk that it was collected.
    void CollectLinkedJoints(dgJointBase* start, dgUnsigned64 mark, dgGrowableArray<dgJointBase*>& out);
    /// A contact joint from the pool, initialised and in the active list; the caller attaches it.
    dgContactJoint* CreateContactJoint() { return m_contactJointPool.CreateJoint(); }
    void FreezeBody(dgBody* body);
    void UnfreezeBody(dgBody* body);
    /// Moves the body to matrix and every body jointed to it (up to kMaxLinkedBodies) by the same
    /// motion; all of them come to rest, awake.
    void SetBodyMatrixRecursive(dgBody* body, const dgMatrix& matrix);
    /// Bodies reached from start through joints that join bodies, start excluded; the walk goes on
    /// through bodies with mass only. Returns how many were stored (at most capacity).
    dgInt32 CollectLinkedBodies(dgBody* start, dgBody** out, dgInt32 capacity);
    /// Changes the velocity of the global point by velocityChange; static bodies ignore it.
    void AddBodyImpulse(dgBody* body, const dgVector& velocityChange, const dgVector& point);

    // Contacts of body pairs.
    /// Records the narrow phase of one pair gathers at most.
    static constexpr dgInt32 kMaxPairRecords = 128;
    /// Contact points a pair keeps at most.
    static constexpr dgInt32 kMaxPairPoints = 16;
    /// Turns two bodies whose boxes overlap into the points of their contact joint, which is created,
    /// refreshed or left as it was. Jointed pairs that must not collide, pairs without a collidable
    /// material and pairs whose begin callback answers 0 are skipped.
    void CalculateContacts(dgBody* body0, dgBody* body1, const dgStepContext& step);
    /// The pair of a convex body and a convex or soup body.
    void ConvexContacts(dgBody* convexBody, dgBody* otherBody, dgMaterialPair* material, const dgStepContext& step);
    /// The pair of a compound body and a convex or compound body, child pair by child pair, each child
    /// placed from its own body's matrix.
    void CompoundContacts(dgBody* compoundBody, dgBody* otherBody, dgMaterialPair* material,
                          const dgStepContext& step);
    /// The number of last step's points that may be kept without the narrow phase (0: recompute);
    /// jointOut gets the pair's contact joint, or null, either way.
    dgInt32 ReuseContacts(dgBody* body0, dgBody* body1, dgContactJoint*& jointOut);
    /// Refreshes the material values of the first count points of the joint and stamps it with the step's.
    void ProcessCachedContacts(dgContactJoint* joint, dgMaterialPair* material, dgInt32 count,
                               dgUnsigned64 stamp);
    /// Fills the pair's joint (made and attached when null) from count records, reusing its points by
    /// position; a static body ends up as body 1; the joint gets the step's stamp. Returns the joint's row
    /// count, 3 per kept point.
    dgInt32 ProcessContacts(dgContactJoint* joint, dgBody* body0, dgBody* body1, dgMaterialPair* material,
                            dgInt32 count, dgContactPoint* contacts, dgUnsigned64 stamp);
    /// The first contact joint between the two bodies; null when there is none.
    static dgContactJoint* FindContactJoint(const dgBody* body0, const dgBody* body1);

    // Material groups.
    /// A new group id with its pairs to every group so far; the default id once kMaxGroupCount exist.
    dgInt32 CreateGroupId();
    /// Null unless both ids name existing groups.
    dgMaterialPair* GetMaterialPair(dgInt32 group0, dgInt32 group1);
    /// The tree node of the pair; null unless both ids name existing groups.
    dgMaterialPairTree::Node* FindMaterialPairNode(dgInt32 group0, dgInt32 group1) const;
    /// Removes every group and pair, makes group 0 again and returns it as the new default.
    dgInt32 DestroyAllGroupId();
    /// Key of the unordered pair of group ids.
    static dgUnsigned32 MaterialPairKey(dgUnsigned32 group0, dgUnsigned32 group1);

    // Compound shape and collision queries between shapes placed by matrices (no bodies needed).
    /// A compound holding one reference of each of count convex children; never cached. Null for a
    /// negative count, a missing array or child, or a child that is not convex.
    dgCompoundCollision* CreateCompound(dgInt32 count, dgCollision* const* children);
    /// Closest points of the two placed shapes and the unit normal from A towards B; 0 when they overlap,
    /// when no answer was reached, or for a polygon soup on either side.
    dgInt32 ClosestPoint(dgCollision* collisionA, const dgMatrix& matrixA, dgCollision* collisionB,
                         const dgMatrix& matrixB, dgVector& pointA, dgVector& pointB, dgVector& normal);
    /// Contacts of the two placed shapes, at most wanted (and at most kMaxQueryContacts): per contact the
    /// point and the normal (3 floats each) and the penetration. 0 for wanted <= 0. Normals run from B
    /// towards A, or from A towards B when B alone is the compound (B is then handled first).
    dgInt32 Collide(dgCollision* collisionA, const dgMatrix& matrixA, dgCollision* collisionB,
                    const dgMatrix& matrixB, dgFloat32* points, dgFloat32* normals, dgFloat32* penetrations,
                    dgInt32 wanted);
    /// Collide for shapes moving over one unit of time (velocities are displacements per unit): the
    /// contacts at the first touch and its time, 0 for shapes that already overlap; 1e10 and no
    /// contacts when they never meet.
    dgInt32 CollideContinue(dgCollision* collisionA, const dgMatrix& matrixA, const dgVector& velocA,
                            const dgVector& omegaA, dgCollision* collisionB, const dgMatrix& matrixB,
                            const dgVector& velocB, const dgVector& omegaB, dgFloat32& timeOfImpact,
                            dgFloat32* points, dgFloat32* normals, dgFloat32* penetrations, dgInt32 wanted);
    /// Closest point of the placed collision to a global point, and the unit normal from the shape
    /// towards the point; 0 when the point is inside, for a soup, or when the world has no point probe.
    dgInt32 PointDistance(const dgVector& point, dgCollision* collision, const dgMatrix& matrix,
                          dgVector& contactOut, dgVector& normalOut);
    /// ClosestPoint with compoundBody's compound child by child against the other body's shape.
    dgInt32 CompoundClosestPoint(dgBody* compoundBody, dgBody* other, dgVector& point0, dgVector& point1,
                                 dgVector& normal);
    /// Contacts of body0's compound against body1's shape, each child placed from body0's own matrix;
    /// timeOfImpact is the time window in and the earliest touch out. For bodies outside the broad phase.
    dgInt32 CompoundQueryContacts(dgFloat32* timeOfImpact, dgBody* body0, dgBody* body1,
                                  dgContactPoint* contacts, dgInt32 capacity);
    /// Contacts of body0's convex shape against body1's, reduced to at most capacity.
    dgInt32 ConvexQueryContacts(dgFloat32* timeOfImpact, dgBody* body0, dgBody* body1,
                                dgContactPoint* contacts, dgInt32 capacity);

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
    /// A modifier around a convex child the caller holds (the modifier takes its own reference and
    /// gives it back through ReleaseCollision); never cached. Null for a null child, a child that is not
    /// convex, a compound or the null shape.
    dgCollision* CreateConvexModifier(dgCollision* child);
    /// A polygon soup over the application's callbacks (one reference, the caller's); never cached.
    dgCollision* CreateUserMesh(void* userData, dgPolygonSoupCollideCallback collide,
                                dgPolygonSoupRayHitCallback rayHit, dgPolygonSoupDestroyCallback destroy);
    /// Drops one reference; a cached shape left with only the cache's reference leaves the cache and
    /// is deleted. Null is ignored.
    void ReleaseCollision(dgCollision* collision);
    /// Takes this very shape out of the cache (dropping the cache's reference); its other holders keep
    /// it, and the next equal request builds a new one.
    void RemoveCollisionFromCache(dgCollision* collision);

    /// World memory comes from dgMalloc.
    static void* operator new(std::size_t size);
    static void operator delete(void* block);

private:
    /// Everything construction does beyond building the members.
    void ConstructParts();
    /// What the ended sub-step or query deferred: destructions, then a new world box.
    void FinishDeferredWork();
    void DestroyPendingObjects();
    bool IsBeingDestroyed(const dgBody* body) const;
    /// Undoes a creation that ran out of memory part way: no callbacks, no trace.
    void DiscardBody(dgBody* body);
    bool OwnsBody(const dgBody* body) const;
    /// Active set entry, auto-active callback and flag bit 0 of a body that wakes.
    void ActivateBody(dgBody* body);
    /// Puts the link into its body's ring just before the ring's head, or makes it the head.
    static void LinkIntoRing(dgJointLink* link);
    /// Moves the body's ring head off link, when it is there, to the next link of the ring.
    static void AdvanceRingHead(dgJointLink* link);
    void MoveBodyAtRest(dgBody* body, const dgMatrix& matrix);
};

/// Holds a world's query open for its scope; a null world is allowed (a broad phase on its own).
class dgWorldQueryScope {
public:
    explicit dgWorldQueryScope(dgWorld* world) : m_world(world) {
        if (m_world != nullptr) {
            m_world->BeginQuery();
        }
    }
    ~dgWorldQueryScope() {
        if (m_world != nullptr) {
            m_world->EndQuery();
        }
    }
    dgWorldQueryScope(const dgWorldQueryScope&) = delete;
    dgWorldQueryScope& operator=(const dgWorldQueryScope&) = delete;

private:
    dgWorld* m_world;
};
