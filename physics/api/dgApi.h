#pragma once
// The physics engine's flat public interface: plain functions over opaque handles.
//
// Conventions of every function:
// - The first argument is the handle acted on (the world when bodies, collisions and groups are made).
// - A vector is 3 consecutive floats (x, y, z); a matrix is 16 floats, four rows of four: front, up,
//   right, position. Results go through caller-supplied pointers of the same layouts.
// - Numbers outside their range are clamped, never refused.
// - A null world, body, collision, contact, joint, ragdoll, bone or vehicle handle makes a function do
//   nothing and return 0 or null, leaving its output arrays untouched. Array arguments are not checked:
//   a vector, matrix or output pointer must point at as many floats as the function names (a null one
//   ends the process).
// - Creation functions return null when memory runs out (a memory hook returns null at any of their
//   requests), having undone their work; nothing else is reported. Running out of memory anywhere else
//   (a step, a query, a build) ends the process with "dgMalloc: out of memory (<n> bytes)" on stderr.
// - Destroying a body during dgApiWorldUpdate takes effect at the end of the running sub-step, and from
//   the callback of a query or walk (box query, ray cast, dgApiWorldForEachBodyDo) at the end of that
//   query; a world is never destroyed from inside its own update or query (the call is ignored).
// - Everything that visits bodies in turn visits them in creation order, never in address order, so the
//   same calls give the same results whatever else the process allocated.
// - Callbacks run on the caller's thread, inside the function that triggers them.

#include "physics/dynamics/dgJointMotorDesc.h"

#include <cstdint>

class dgWorld;
class dgBody;
class dgCollision;
class dgContactMaterial;
class dgContactJoint;
class dgJointBase;
class dgRagDoll;
class dgRagDollBone;
/// A vehicle's tire; valid until the tire is removed or its vehicle destroyed.
struct dgVehicleTireHandle;
struct dgPolygonSoupQuery;
struct dgPolygonSoupRay;

/// A material pair: what bodies of two groups do when they touch.
using dgMaterialPair = dgContactMaterial;

// Memory hooks: process-wide, shared by every world.
/// Returns a block of size bytes, or null when memory runs out.
using dgMallocCallback = void* (*)(int size);
/// Releases a block with the size that was asked for it.
using dgFreeCallback = void (*)(void* ptr, int size);

// Body callbacks.
/// After each integration of an active body, with its 16-float matrix.
using dgBodyTransformCallback = void (*)(dgBody* body, const float* matrix);
/// Once per sub-step for each active body: apply forces here.
using dgBodyForceAndTorqueCallback = void (*)(dgBody* body);
/// state 1: the body enters the active set; 0: it leaves it.
using dgBodyAutoActiveCallback = void (*)(dgBody* body, unsigned state);
/// When the body is destroyed.
using dgBodyDestructorCallback = void (*)(dgBody* body);
/// When the broad phase finds the body's box outside the world box.
using dgBodyLeaveWorldCallback = void (*)(dgBody* body);
/// One body of an iteration or a box query.
using dgBodyIteratorCallback = void (*)(dgBody* body);
/// One displayed face: vertexCount points as consecutive (x, y, z) floats in world space.
using dgBodyFaceCallback = void (*)(dgBody* body, int vertexCount, const float* points, int faceId);
/// Fills the fluid plane (normal x, y, z and offset, world space) for a shape of the given user id
/// placed by the 16-float matrix; zero means no plane.
using dgBuoyancyPlaneCallback = int (*)(std::uintptr_t userId, void* context, const float* globalMatrix,
                                        float* globalPlane);

// Joint callbacks.
/// When the joint is released, once.
using dgJointDestructorCallback = void (*)(dgJointBase* joint);
/// At the start of every submit of a ball joint, before its angles are taken.
using dgBallCallback = void (*)(dgJointBase* joint);
/// Each submit of a hinge or slider: fill the motor record (it arrives as (0, -1e15, 1e15, the
/// sub-step)); nonzero asks for the motor row. A record with a value that is not finite, or with
/// minFriction above maxFriction, writes no motor row.
using dgHingeCallback = unsigned (*)(dgJointBase* joint, dgJointMotorDesc* desc);
using dgSliderCallback = unsigned (*)(dgJointBase* joint, dgJointMotorDesc* desc);
/// Each submit of a corkscrew (desc[0] sliding, desc[1] turning) or universal joint (desc[0] about pin 0,
/// desc[1] about pin 1): bit 0 of the result asks for the motor row of desc[0], bit 1 for desc[1].
using dgCorkscrewCallback = unsigned (*)(dgJointBase* joint, dgJointMotorDesc* desc);
using dgUniversalCallback = unsigned (*)(dgJointBase* joint, dgJointMotorDesc* desc);
/// Once per sub-step while the user joint's island is awake: add the joint's rows here.
using dgUserJointSubmitCallback = void (*)(dgJointBase* joint);
/// Once per step of an awake vehicle, after its tires' inputs were reset: set this step's tire inputs.
using dgVehicleTireUpdate = void (*)(dgJointBase* vehicle);

// Ragdoll callbacks.
/// With each bone of a ragdoll that moved, after the sub-step, the bones of each ragdoll in post-order.
using dgRagDollTransformCallback = void (*)(dgRagDollBone* bone);

// World ray cast.
/// One body hit below the current upper parameter: the world-space normal (3 floats), the collision id
/// of the hit and its parameter (0 at the start point, 1 at the end); returns the upper parameter for
/// the rest of the cast.
using dgWorldRayFilterCallback = float (*)(dgBody* body, const float* normal, int collisionId, void* userData,
                                           float t);
/// Asked before a body's shape is cast; zero skips the shape.
using dgWorldRayPrefilterCallback = unsigned (*)(dgBody* body, const dgCollision* collision, void* userData);

// Material callbacks.
/// Before the contacts of a pair are computed; zero skips the pair for this step.
using dgContactBeginCallback = unsigned char (*)(dgMaterialPair* material, dgBody* body0, dgBody* body1);
/// For each contact point; zero drops the point.
using dgContactProcessCallback = unsigned char (*)(dgContactMaterial* contact, dgContactJoint* joint);
/// After the contacts of a pair.
using dgContactEndCallback = void (*)(dgMaterialPair* material);
/// Before each child pair of a compound; zero skips the child.
using dgCompoundChildCallback = unsigned char (*)(dgMaterialPair* material, dgBody* body0, dgBody* body1);

// Polygon soups.
/// For each face a tree collision hands to a collide query: the two bodies (the soup's first), the
/// soup's vertex array and stride, and the face's vertex indices (its attribute is indices[-1]).
using dgTreeCollisionFaceCallback = void (*)(const dgBody* soupBody, const dgBody* otherBody,
                                             const float* vertices, int strideBytes, int vertexCount,
                                             const int* indices);
/// Writing a stream: consumes byteCount bytes from buffer.
using dgSoupSerializeCallback = void (*)(void* userData, const void* buffer, int byteCount);
/// Reading a stream: fills buffer with byteCount bytes and returns nonzero, or 0 when it cannot.
using dgSoupDeserializeCallback = int (*)(void* userData, void* buffer, int byteCount);
/// A user mesh's faces that may touch the query's box, written into the query.
using dgPolygonSoupCollideCallback = void (*)(dgPolygonSoupQuery* query);
/// A user mesh's nearest ray hit: its parameter (1 or more for none), normal and attribute into the ray.
using dgPolygonSoupRayHitCallback = float (*)(dgPolygonSoupRay* ray);
/// Called with the user mesh's user data when the collision is deleted.
using dgPolygonSoupDestroyCallback = void (*)(void* userData);

// World.
/// 153.
int dgApiGetVersion();
/// The runtime's malloc and free: the hooks used when dgApiWorldCreate is given a null one.
void* dgApiDefaultMalloc(int size);
void dgApiDefaultFree(void* ptr, int size);
/// A world with a box of -100..100 on each axis. Installs the two hooks as the engine's memory hooks
/// (both defaults when either is null). Null when memory runs out, or when another world is alive
/// with different hooks.
dgWorld* dgApiWorldCreate(dgMallocCallback allocate, dgFreeCallback release);
/// Destroys the world with its bodies, joints, groups and cached shapes; null does nothing.
void dgApiWorldDestroy(dgWorld* world);
/// Steps timestep seconds (clamped to 0.001..1/60) in equal sub-steps no longer than the maximum
/// sub-step; a NaN or negative step, or a call from a callback of this world's own update, does
/// nothing.
void dgApiWorldUpdate(dgWorld* world, float timestep);
/// Rate clamped to [59.999996, 999.99994] frames per second; the maximum sub-step becomes 1 / rate.
void dgApiWorldSetMinimumFrameRate(dgWorld* world, float rate);
/// From a callback of an update or query, the box changes when that update's sub-step or the query ends.
void dgApiWorldSetSize(dgWorld* world, const float* minPoint, const float* maxPoint);
/// Calls callback for every body whose box overlaps minPoint..maxPoint. The callback may destroy bodies
/// (they go when the query returns), move them or make new ones (not visited).
void dgApiWorldForEachBodyInAABBDo(dgWorld* world, const float* minPoint, const float* maxPoint,
                                   dgBodyIteratorCallback callback);
/// Casts the segment p0-p1 through the world; nothing happens without a filter. The filter may destroy
/// bodies (they go when the cast returns), move them or make new ones (not hit by this cast).
void dgApiWorldRayCast(dgWorld* world, const float* p0, const float* p1, dgWorldRayFilterCallback filter,
                       void* userData, dgWorldRayPrefilterCallback prefilter);
/// Calls callback with every body of the world, in creation order. The callback may destroy bodies (they
/// go when the walk returns) or make new ones (not visited).
void dgApiWorldForEachBodyDo(dgWorld* world, dgBodyIteratorCallback callback);
/// Resets the world box to -100..100 and destroys every body at once; from a destructor callback, the
/// bodies already being destroyed are left to their destruction. Inside an update or query the bodies go
/// at its end and the box is kept.
void dgApiWorldDestroyAllBodies(dgWorld* world);
/// 0: the scalar solver build; any other value: the packed build where the processor has it.
void dgApiWorldSetSimdMode(dgWorld* world, int mode);
/// Values below 1 are stored as 0.
void dgApiWorldSetSolverModel(dgWorld* world, int model);
void dgApiWorldSetFrictionModel(dgWorld* world, int model);
/// Seconds of the sub-step being run or last run (0 before the first step).
float dgApiWorldGetTimeStep(dgWorld* world);
void dgApiWorldSetBodyLeaveWorldCallback(dgWorld* world, dgBodyLeaveWorldCallback callback);
/// Takes an active body out of the active set (auto-active callback with 0); others are left alone.
void dgApiWorldFreezeBody(dgWorld* world, dgBody* body);
/// Puts a frozen body into the active set (auto-active callback with 1); others are left alone.
void dgApiWorldUnfreezeBody(dgWorld* world, dgBody* body);
void dgApiWorldSetUserData(dgWorld* world, void* userData);
void* dgApiWorldGetUserData(dgWorld* world);

// Material groups and pairs (a pair is named by two group ids in either order).
int dgApiMaterialGetDefaultGroupId(dgWorld* world);
/// The next group id, with its pairs to every existing group and itself; the default id, with nothing
/// made, when memory runs out or 65535 groups exist.
int dgApiMaterialCreateGroupId(dgWorld* world);
/// Removes every pair and group, then makes the default group 0 again. From a contact callback, the
/// pair in hand still serves the rest of its contacts in that step.
void dgApiMaterialDestroyAllGroupId(dgWorld* world);
void dgApiMaterialSetDefaultCollidable(dgWorld* world, int id0, int id1, int state);
/// Clamped to [0.01, 1].
void dgApiMaterialSetDefaultSoftness(dgWorld* world, int id0, int id1, float value);
/// Clamped to [0.01, 2].
void dgApiMaterialSetDefaultElasticity(dgWorld* world, int id0, int id1, float value);
/// Absolute values; a static friction below 0.01 switches friction off for the pair, otherwise both
/// are held within [0.01, 2] with the static friction at least the kinetic one.
void dgApiMaterialSetDefaultFriction(dgWorld* world, int id0, int id1, float staticFriction,
                                     float kineticFriction);
/// Each callback may be null.
void dgApiMaterialSetCollisionCallback(dgWorld* world, int id0, int id1, void* userData,
                                       dgContactBeginCallback begin, dgContactProcessCallback process,
                                       dgContactEndCallback end);
void dgApiMaterialSetCompoundCollisionCallback(dgWorld* world, int id0, int id1,
                                               dgCompoundChildCallback callback);
void* dgApiMaterialGetUserData(dgWorld* world, int id0, int id1);

// Contact points: valid only inside a dgContactProcessCallback. Index 0 names tangent 0, any other
// index tangent 1.
/// The point is dropped after the callback.
void dgApiContactDisable(dgContactMaterial* contact);
void* dgApiContactGetUserData(const dgContactMaterial* contact);
/// The attribute of the polygon-soup face touched; 0 between convex shapes.
unsigned dgApiContactGetFaceAttribute(const dgContactMaterial* contact);
/// Seconds of the running sub-step.
float dgApiContactGetTimeStep(const dgContactMaterial* contact);
void dgApiContactGetPositionAndNormal(const dgContactMaterial* contact, float* position, float* normal);
void dgApiContactGetTangentDirections(const dgContactMaterial* contact, float* tangent0, float* tangent1);
/// The user id of the convex collision through which body touches; 0 for other shapes.
unsigned dgApiContactGetBodyCollisionId(const dgContactMaterial* contact, const dgBody* body);
/// (velocity of body 1 - velocity of body 0) at the point, along the normal: positive on approach.
float dgApiContactGetNormalSpeed(const dgContactMaterial* contact, const dgContactJoint* joint);
/// (velocity of body 0 - velocity of body 1) at the point, along the tangent.
float dgApiContactGetTangentSpeed(const dgContactMaterial* contact, const dgContactJoint* joint, int index);
/// The force of the last solve on body 0: normal and both friction forces.
void dgApiContactGetForce(const dgContactMaterial* contact, float* force);
/// Clamped to [0.01, 0.7].
void dgApiContactSetSoftness(dgContactMaterial* contact, float value);
/// Clamped to [0.01, 2].
void dgApiContactSetElasticity(dgContactMaterial* contact, float value);
/// Held within [the tangent's kinetic friction, 2].
void dgApiContactSetStaticFriction(dgContactMaterial* contact, float value, int index);
/// Held within [0.01, the tangent's static friction].
void dgApiContactSetKineticFriction(dgContactMaterial* contact, float value, int index);
void dgApiContactSetFrictionState(dgContactMaterial* contact, int state, int index);
/// An acceleration that is not finite is ignored.
void dgApiContactSetNormalAcceleration(dgContactMaterial* contact, float acceleration);
/// A tangent acceleration drives the bodies along the tangent, as a conveyor does; one that is not
/// finite is ignored.
void dgApiContactSetTangentAcceleration(dgContactMaterial* contact, float acceleration, int index);
/// Turns tangent 0 onto the part of direction perpendicular to the normal (a direction along the
/// normal changes nothing).
void dgApiContactRotateTangentDirections(dgContactMaterial* contact, const float* direction);
void dgApiContactNoOp();

// Collision shapes. Solid shapes come from the world's cache: an equal shape already made is returned
// with one more reference. offsetMatrix may be null (the identity). Release every handle made here with
// dgApiCollisionRelease.
dgCollision* dgApiCollisionCreateNull(dgWorld* world);
/// Full edge lengths.
dgCollision* dgApiCollisionCreateBox(dgWorld* world, float dx, float dy, float dz, const float* offsetMatrix);
/// A sphere when the three radii agree within 1e-5, otherwise an ellipsoid.
dgCollision* dgApiCollisionCreateSphere(dgWorld* world, float radiusX, float radiusY, float radiusZ,
                                        const float* offsetMatrix);
dgCollision* dgApiCollisionCreateCone(dgWorld* world, float radius, float height, const float* offsetMatrix);
dgCollision* dgApiCollisionCreateCapsule(dgWorld* world, float radius, float height,
                                         const float* offsetMatrix);
dgCollision* dgApiCollisionCreateCylinder(dgWorld* world, float radius, float height,
                                          const float* offsetMatrix);
dgCollision* dgApiCollisionCreateChamferCylinder(dgWorld* world, float radius, float height,
                                                 const float* offsetMatrix);
/// Null when the points span no volume.
dgCollision* dgApiCollisionCreateConvexHull(dgWorld* world, int count, const float* vertices,
                                            int strideInBytes, const float* offsetMatrix);
/// Not cached; null unless convexCollision is convex (a compound or the null shape is not).
dgCollision* dgApiCollisionCreateConvexModifier(dgWorld* world, dgCollision* convexCollision);
/// Not cached; holds a reference of each child.
dgCollision* dgApiCollisionCreateCompound(dgWorld* world, int count, dgCollision* const* collisions);
/// An empty tree collision (static polygon soup), to be filled between BeginBuild and EndBuild.
dgCollision* dgApiTreeCollisionCreate(dgWorld* world, dgTreeCollisionFaceCallback faceCallback);
/// A tree collision read from a stream written by dgApiTreeCollisionSerialize; null for a stream the
/// reader refuses.
dgCollision* dgApiTreeCollisionCreateFromSerialization(dgWorld* world,
                                                       dgTreeCollisionFaceCallback faceCallback,
                                                       dgSoupDeserializeCallback callback, void* userData);
/// A polygon soup over the application's own faces, with its box minPoint..maxPoint.
dgCollision* dgApiUserMeshCollisionCreate(dgWorld* world, const float* minPoint, const float* maxPoint,
                                          void* userData, dgPolygonSoupCollideCallback collideCallback,
                                          dgPolygonSoupRayHitCallback rayHitCallback,
                                          dgPolygonSoupDestroyCallback destroyCallback);

// Tree collision building.
void dgApiTreeCollisionBeginBuild(dgCollision* treeCollision);
/// One face, its vertices in the given order; faces of fewer than 3 or more than 1024 vertices, and
/// calls with no build open, are ignored.
void dgApiTreeCollisionAddFace(dgCollision* treeCollision, int vertexCount, const float* vertices,
                               int strideInBytes, int faceAttribute);
/// Builds the tree (optimize nonzero also merges coplanar faces); ignored with no build open.
void dgApiTreeCollisionEndBuild(dgCollision* treeCollision, int optimize);
void dgApiTreeCollisionSerialize(dgCollision* treeCollision, dgSoupSerializeCallback callback,
                                 void* userData);
/// The attribute word stored just before a face's index list.
int dgApiTreeCollisionGetFaceAtribute(dgCollision* treeCollision, const int* faceIndexArray);
void dgApiTreeCollisionSetFaceAtribute(dgCollision* treeCollision, int* faceIndexArray, int attribute);

// Shape properties.
/// Ignored by shapes that are not convex.
void dgApiConvexCollisionSetUserID(dgCollision* convexCollision, unsigned id);
/// 0 for shapes without one.
unsigned dgApiConvexCollisionGetUserID(dgCollision* convexCollision);
float dgApiConvexCollisionCalculateVolume(dgCollision* convexCollision);
/// Principal inertia of the unit-mass shape and its centre of mass.
void dgApiConvexCollisionCalculateInertialMatrix(dgCollision* convexCollision, float* inertia, float* origin);
/// The identity for shapes other than the convex modifier.
void dgApiConvexModifierGetMatrix(dgCollision* convexCollision, float* matrix);
/// Ignored by shapes other than the convex modifier.
void dgApiConvexModifierSetMatrix(dgCollision* convexCollision, const float* matrix);
/// Hit parameter along p0-p1 (above 1: no hit, normal and attribute untouched); the normal is in the
/// caller's space, that of p0 and p1.
float dgApiCollisionRayCast(dgCollision* collision, const float* p0, const float* p1, float* normal,
                            int* attribute);
/// Box of the shape placed by matrix.
void dgApiCollisionCalculateAABB(dgCollision* collision, const float* matrix, float* minPoint,
                                 float* maxPoint);

// Queries between placed shapes (no bodies needed).
/// Closest point of the placed shape to point and the normal from the shape towards it; 0 when the
/// point is inside.
int dgApiCollisionPointDistance(dgWorld* world, const float* point, dgCollision* collision,
                                const float* matrix, float* contact, float* normal);
/// Closest points and the unit normal from A towards B; 0 when the shapes overlap.
int dgApiCollisionClosestPoint(dgWorld* world, dgCollision* collisionA, const float* matrixA,
                               dgCollision* collisionB, const float* matrixB, float* contactA,
                               float* contactB, float* normalAB);
/// At most maxSize contacts: points and normals 3 floats each, penetrations one each. Returns the count.
int dgApiCollisionCollide(dgWorld* world, int maxSize, dgCollision* collisionA, const float* matrixA,
                          dgCollision* collisionB, const float* matrixB, float* contacts, float* normals,
                          float* penetration);
/// Contacts at the first touch of the two moving shapes within timestep; timeOfImpact starts as
/// timestep. Returns the count.
int dgApiCollisionCollideContinue(dgWorld* world, int maxSize, float timestep, dgCollision* collisionA,
                                  const float* matrixA, const float* velocA, const float* omegaA,
                                  dgCollision* collisionB, const float* matrixB, const float* velocB,
                                  const float* omegaB, float* timeOfImpact, float* contacts, float* normals,
                                  float* penetration);
/// The next equal request builds a new shape; holders of this one keep it.
void dgApiCollisionRemoveFromCache(dgWorld* world, dgCollision* collision);
/// Drops one reference; at zero the shape leaves the cache and is deleted.
void dgApiCollisionRelease(dgWorld* world, dgCollision* collision);

// Angles (radians).
void dgApiGetEulerAngle(const float* matrix, float* angles);
/// Rotation Rx(angles[0]) Ry(angles[1]) Rz(angles[2]), position (0, 0, 0).
void dgApiSetEulerAngle(const float* angles, float* matrix);

// Bodies.
/// A static body at the identity holding its own reference of collision; null when memory runs out.
dgBody* dgApiBodyCreate(dgWorld* world, dgCollision* collision);
void dgApiBodyDestroy(dgWorld* world, dgBody* body);
void dgApiBodySetUserData(dgBody* body, void* userData);
void* dgApiBodyGetUserData(const dgBody* body);
dgWorld* dgApiBodyGetWorld(const dgBody* body);
void dgApiBodySetTransformCallback(dgBody* body, dgBodyTransformCallback callback);
void dgApiBodySetForceAndTorqueCallback(dgBody* body, dgBodyForceAndTorqueCallback callback);
dgBodyForceAndTorqueCallback dgApiBodyGetForceAndTorqueCallback(const dgBody* body);
void dgApiBodySetDestructorCallback(dgBody* body, dgBodyDestructorCallback callback);
/// Stores the callback and, when it is not null, calls it at once with the body's active state.
void dgApiBodySetAutoactiveCallback(dgBody* body, dgBodyAutoActiveCallback callback);
void dgApiBodyGetMatrix(const dgBody* body, float* matrix);
/// The force and torque applied in the last step.
void dgApiBodyGetForce(const dgBody* body, float* force);
void dgApiBodyGetTorque(const dgBody* body, float* torque);
/// Local centre of mass.
void dgApiBodyGetCentreOfMass(const dgBody* body, float* com);
void dgApiBodyGetVelocity(const dgBody* body, float* velocity);
void dgApiBodyGetOmega(const dgBody* body, float* omega);
/// World-space box.
void dgApiBodyGetAABB(const dgBody* body, float* minPoint, float* maxPoint);
dgCollision* dgApiBodyGetCollision(const dgBody* body);
void dgApiBodySetMaterialGroupId(dgBody* body, int id);
int dgApiBodyGetMaterialGroupId(const dgBody* body);
/// Replace the force / torque accumulator.
void dgApiBodySetForce(dgBody* body, const float* force);
void dgApiBodySetTorque(dgBody* body, const float* torque);
/// Add to the force / torque accumulator.
void dgApiBodyAddForce(dgBody* body, const float* force);
void dgApiBodyAddTorque(dgBody* body, const float* torque);
/// Replace the velocity / angular velocity; the body is no longer taken to be at rest.
void dgApiBodySetVelocity(dgBody* body, const float* velocity);
void dgApiBodySetOmega(dgBody* body, const float* omega);
/// Nonzero: each step subtracts omega x (I omega) from the body's torque.
void dgApiBodySetGyroscopicForces(dgBody* body, int state);
/// Nonzero: the body's box is widened by its motion and its contacts are found continuously.
void dgApiBodySetContinuousCollisionMode(dgBody* body, int state);
int dgApiBodyGetContinuousCollisionMode(const dgBody* body);
/// Nonzero: jointed pairs collide unless one of their own joints turns collision off.
void dgApiBodySetLinkedCollision(dgBody* body, int state);
int dgApiBodyGetLinkedCollision(const dgBody* body);
/// Nonzero: the body may leave the active set when it comes to rest.
void dgApiBodySetAutoFreeze(dgBody* body, int state);
int dgApiBodyGetAutoFreeze(const dgBody* body);
/// Absolute values; each inertia held within [mass / 100, mass * 100]; a mass below 0.001 is infinite
/// (a static body, reported as mass 0).
void dgApiBodySetMassMatrix(dgBody* body, float mass, float Ixx, float Iyy, float Izz);
/// All four 0 for a body of infinite mass.
void dgApiBodyGetMassMatrix(const dgBody* body, float* mass, float* Ixx, float* Iyy, float* Izz);
void dgApiBodyGetInvMass(const dgBody* body, float* invMass, float* invIxx, float* invIyy, float* invIzz);
/// The rotation is made orthonormal (front, then right = front x up, then up); scale never reaches the
/// body.
void dgApiBodySetMatrix(dgBody* body, const float* matrix);
/// Moves the body and every body jointed to it by the same motion; a matrix with an entry that is not
/// finite moves nothing.
void dgApiBodySetMatrixRecursive(dgBody* body, const float* matrix);
/// The body takes a reference of collision and gives back its old one.
void dgApiBodySetCollision(dgBody* body, dgCollision* collision);
/// A centre with an entry that is not finite is ignored.
void dgApiBodySetCentreOfMass(dgBody* body, const float* com);
/// Clamped to [0, 1].
void dgApiBodySetLinearDamping(dgBody* body, float linearDamp);
float dgApiBodyGetLinearDamping(const dgBody* body);
/// Each clamped to [0, 1].
void dgApiBodySetAngularDamping(dgBody* body, const float* angularDamp);
void dgApiBodyGetAngularDamping(const dgBody* body, float* angularDamp);
/// Speed and omega below which the body counts as at rest (each at least 0.010000001); the last
/// argument is not used.
void dgApiBodySetFreezeThreshold(dgBody* body, float freezeSpeed, float freezeOmega, int framesCount);
void dgApiBodyGetFreezeThreshold(const dgBody* body, float* freezeSpeed, float* freezeOmega);
/// Wakes a body of finite mass and changes the velocity of the world-space point by velocityChange;
/// a body of infinite mass is left alone.
void dgApiBodyAddImpulse(dgBody* body, const float* velocityChange, const float* point);
void dgApiBodyAddBuoyancyForce(dgBody* body, float fluidDensity, float fluidLinearViscosity,
                               float fluidAngularViscosity, const float* gravity,
                               dgBuoyancyPlaneCallback planeCallback, void* context);
/// Hands every face of the body's collision, in world space, to callback (user meshes hand none).
void dgApiBodyForEachPolygonDo(dgBody* body, dgBodyFaceCallback callback);

// Joints. Creation returns null, attaching nothing, for a null world or child, a child equal to its
// parent, a body of another world, a point or pin that is not finite, or when memory runs out. A null
// parent ties the child to the world.
void dgApiJointSetUserData(dgJointBase* joint, void* userData);
void* dgApiJointGetUserData(const dgJointBase* joint);
/// Nonzero: the two joined bodies collide with each other (stored as 1); 0: their contacts are skipped.
void dgApiJointSetCollisionState(dgJointBase* joint, int state);
int dgApiJointGetCollisionState(const dgJointBase* joint);
/// Clamped to [0, 1] (NaN as 0).
void dgApiJointSetStiffness(dgJointBase* joint, float stiffness);
float dgApiJointGetStiffness(const dgJointBase* joint);
void dgApiJointSetDestructor(dgJointBase* joint, dgJointDestructorCallback callback);
/// At once, or at the end of the running sub-step; a null joint, a joint of another world and a contact
/// joint are ignored.
void dgApiDestroyJoint(dgWorld* world, dgJointBase* joint);
/// Pins the child's point at the world-space pivot to the parent.
dgJointBase* dgApiJointCreateBall(dgWorld* world, const float* pivot, dgBody* child, dgBody* parent);
/// Lets the child turn about the world-space pin through the pivot (a zero pin: its front axis).
dgJointBase* dgApiJointCreateHinge(dgWorld* world, const float* pivot, const float* pin, dgBody* child,
                                   dgBody* parent);
/// Lets the child slide along the world-space pin through the pivot.
dgJointBase* dgApiJointCreateSlider(dgWorld* world, const float* pivot, const float* pin, dgBody* child,
                                    dgBody* parent);
/// Lets the child slide along and turn about the world-space pin through the pivot.
dgJointBase* dgApiJointCreateCorkscrew(dgWorld* world, const float* pivot, const float* pin, dgBody* child,
                                       dgBody* parent);
/// Ties the child at the pivot, free to turn about pin0 (fixed in the child) and pin1 made square to it
/// (fixed in the parent).
dgJointBase* dgApiJointCreateUniversal(dgWorld* world, const float* pivot, const float* pin0, const float* pin1,
                                       dgBody* child, dgBody* parent);
/// Holds the body's axis now along pin (its front axis for a zero pin) parallel to the pin.
dgJointBase* dgApiJointCreateUpVector(dgWorld* world, const float* pin, dgBody* body);
/// A joint whose rows callback adds, at most maxRows of them (clamped to [0, 48]); a null callback adds
/// none.
dgJointBase* dgApiJointCreateUser(dgWorld* world, int maxRows, dgUserJointSubmitCallback callback,
                                  dgBody* child, dgBody* parent);

// Ball joints; given another kind of joint these do nothing (getters write zeros).
void dgApiBallSetUserCallback(dgJointBase* ball, dgBallCallback callback);
/// The joint angles of the last submit (radians, about front, up, right of the child's frame).
void dgApiBallGetJointAngle(const dgJointBase* ball, float* angle);
/// Angular velocity of the child relative to the parent on the child's joint axes.
void dgApiBallGetJointOmega(const dgJointBase* ball, float* omega);
/// The world-space force the joint's point rows applied in the last step.
void dgApiBallGetJointForce(const dgJointBase* ball, float* force);
/// The pin swings at most maxConeAngle from the world-space pin as it lies now and twists at most
/// maxTwistAngle about it (absolute values, radians; each clamped to [5, 175] and [5, 90] degrees); an
/// angle at or below one degree switches its limit off. A pin shorter than 0.03 takes x = 1.
void dgApiBallSetConeLimits(dgJointBase* ball, const float* pin, float maxConeAngle, float maxTwistAngle);

// Hinge, slider, corkscrew and universal joints; given another kind of joint these do nothing (getters
// read 0). Angles in radians, speeds relative: the child's minus the parent's. The stop functions give
// the acceleration a motor row asks to bring the joint to the angle or position; they read the
// record's timestep and give 0 for a null record or a step that is not positive and finite.
void dgApiHingeSetUserCallback(dgJointBase* hinge, dgHingeCallback callback);
float dgApiHingeGetJointAngle(const dgJointBase* hinge);
float dgApiHingeGetJointOmega(const dgJointBase* hinge);
float dgApiHingeCalculateStopAlpha(const dgJointBase* hinge, const dgJointMotorDesc* desc, float angle);
/// The world-space force of the joint's rows other than the motor's in the last step.
void dgApiHingeGetJointForce(const dgJointBase* hinge, float* force);
void dgApiSliderSetUserCallback(dgJointBase* slider, dgSliderCallback callback);
float dgApiSliderGetJointPosit(const dgJointBase* slider);
float dgApiSliderGetJointVeloc(const dgJointBase* slider);
float dgApiSliderCalculateStopAccel(const dgJointBase* slider, const dgJointMotorDesc* desc, float position);
void dgApiSliderGetJointForce(const dgJointBase* slider, float* force);
void dgApiCorkscrewSetUserCallback(dgJointBase* corkscrew, dgCorkscrewCallback callback);
float dgApiCorkscrewGetJointPosit(const dgJointBase* corkscrew);
float dgApiCorkscrewGetJointVeloc(const dgJointBase* corkscrew);
float dgApiCorkscrewGetJointAngle(const dgJointBase* corkscrew);
float dgApiCorkscrewGetJointOmega(const dgJointBase* corkscrew);
float dgApiCorkscrewCalculateStopAlpha(const dgJointBase* corkscrew, const dgJointMotorDesc* desc, float angle);
float dgApiCorkscrewCalculateStopAccel(const dgJointBase* corkscrew, const dgJointMotorDesc* desc,
                                       float position);
void dgApiCorkscrewGetJointForce(const dgJointBase* corkscrew, float* force);
void dgApiUniversalSetUserCallback(dgJointBase* universal, dgUniversalCallback callback);
/// The child's turn about pin 0.
float dgApiUniversalGetJointAngle0(const dgJointBase* universal);
/// The parent's turn against the child about pin 1.
float dgApiUniversalGetJointAngle1(const dgJointBase* universal);
float dgApiUniversalGetJointOmega0(const dgJointBase* universal);
float dgApiUniversalGetJointOmega1(const dgJointBase* universal);
float dgApiUniversalCalculateStopAlpha0(const dgJointBase* universal, const dgJointMotorDesc* desc, float angle);
float dgApiUniversalCalculateStopAlpha1(const dgJointBase* universal, const dgJointMotorDesc* desc, float angle);
void dgApiUniversalGetJointForce(const dgJointBase* universal, float* force);

// Up-vector joints; given another kind of joint these do nothing (the getter writes zeros).
void dgApiUpVectorGetPin(const dgJointBase* upVector, float* pin);
/// The body turns towards the new pin over the next steps; made unit; a zero pin keeps the old one.
void dgApiUpVectorSetPin(dgJointBase* upVector, const float* pin);

// User joint rows: they act only inside the joint's own submit callback, on its rows of this submit. A
// row past the joint's maximum, or with a value that is not finite, is not added; the row setters act
// on the last row added and do nothing before the first or with a value that is not finite.
/// Drives (pivot1 - pivot0) . dir to zero; pivot0 moves with the child, pivot1 with the parent.
void dgApiUserJointAddLinearRow(dgJointBase* joint, const float* pivot0, const float* pivot1,
                                const float* dir);
/// Drives the relative angle about dir to zero.
void dgApiUserJointAddAngularRow(dgJointBase* joint, float relativeAngle, const float* dir);
/// A row from 6 floats per body (linear, then angular) asking no acceleration.
void dgApiUserJointAddGeneralRow(dgJointBase* joint, const float* jacobian0, const float* jacobian1);
/// Clamped to [0.05, 1e15]; the row becomes bounded.
void dgApiUserJointSetRowMaximumFriction(dgJointBase* joint, float friction);
/// Clamped to [-1e15, -0.05]; the row becomes bounded.
void dgApiUserJointSetRowMinimumFriction(dgJointBase* joint, float friction);
void dgApiUserJointSetRowAcceleration(dgJointBase* joint, float acceleration);
/// The acceleration of a spring springK and damper springD over the row's stretch or angle.
void dgApiUserJointSetRowSpringDamperAcceleration(dgJointBase* joint, float springK, float springD);
/// Clamped to [0, 1]; 1 is the stiffest.
void dgApiUserJointSetRowStiffness(dgJointBase* joint, float stiffness);
/// The force of the row in the last step, at any time; 0 for an index outside the rows last added.
float dgApiUserJointGetRowForce(const dgJointBase* joint, int row);

// Ragdolls: a tree of bones, each a box-inertia body tied to its parent bone by a ball joint with
// quarter-turn cone and twist limits around the pose at which it was added. Bones are added between
// dgApiRagDollBegin and dgApiRagDollEnd only; outside that window the building functions do nothing.
// Begin on a built ragdoll and dgApiRagDollDestroy destroy its bodies and joints, at once outside an
// update; inside one (from a callback) the bodies stop calling back at once and go at the end of the
// sub-step. A bone whose body the host destroyed reads the identity and its limits do nothing.
dgRagDoll* dgApiRagDollCreate(dgWorld* world);
/// A null ragdoll, or one not of this world, is ignored.
void dgApiRagDollDestroy(dgWorld* world, dgRagDoll* ragdoll);
/// Starts a build, letting the old bones go.
void dgApiRagDollBegin(dgRagDoll* ragdoll);
/// Finishes a build: the bone bodies get their bone as user data, the ragdoll's callbacks, and freeze
/// thresholds 16 times larger.
void dgApiRagDollEnd(dgRagDoll* ragdoll);
void dgApiRagDollSetTransformCallback(dgRagDoll* ragdoll, dgRagDollTransformCallback callback);
/// Called with each bone's body in the force pass.
void dgApiRagDollSetForceAndTorqueCallback(dgRagDoll* ragdoll, dgBodyForceAndTorqueCallback callback);
/// A bone whose frame is matrix relative to parent's (world space for the root, parent null), with a
/// body of the collision centred size[0] / 2 along the bone's front axis. A bone of mass 0 or below is
/// static: it stays where it was added and holds the figure there. Null for a second root, a parent that
/// is not a bone of this ragdoll, a null collision, or a mass, size or matrix that is not finite.
dgRagDollBone* dgApiRagDollAddBone(dgRagDoll* ragdoll, dgRagDollBone* parent, void* userData, float mass,
                                   const float* matrix, dgCollision* collision, const float* size);
/// The first bone with the id in post-order (children before their parent); null when there is none.
dgRagDollBone* dgApiRagDollFindBone(dgRagDoll* ragdoll, int id);
void dgApiRagDollBoneSetID(dgRagDollBone* bone, int id);
void* dgApiRagDollBoneGetUserData(const dgRagDollBone* bone);
/// Null once the body was destroyed.
dgBody* dgApiRagDollBoneGetBody(const dgRagDollBone* bone);
/// The bone's frame relative to its parent's (the world's for the root).
void dgApiRagDollBoneGetLocalMatrix(const dgRagDollBone* bone, float* matrix);
void dgApiRagDollBoneGetGlobalMatrix(const dgRagDollBone* bone, float* matrix);
/// The joint to the parent: the pin swings within (maxAngle - minAngle) / 2 of the world-space pin as it
/// lies now, the cone rolled by (minAngle + maxAngle) / 2 about it, and twists at most twistAngle
/// (radians). unused, extra0 and extra1 are not read. Nothing happens for the root.
void dgApiRagDollBoneSetLimits(dgRagDollBone* bone, const float* pin, float minAngle, float maxAngle,
                               float twistAngle, const float* unused, float extra0, float extra1);

// Vehicles. The vehicle is a joint on its chassis, destroyed with dgApiDestroyJoint or with the chassis.
// Tire functions given a null tire, a removed tire or another vehicle's tire do nothing (getters read 0).
/// A vehicle on chassis whose up direction is up (world space): the chassis's collision becomes a
/// compound that the tires' shapes join. Null for a null world, chassis or up, a chassis of another world,
/// a chassis that already has a vehicle, or an up direction that is zero or not finite.
dgJointBase* dgApiVehicleCreate(dgWorld* world, const float* up, dgBody* chassis);
/// A tire placed by localMatrix (chassis frame) spinning about pin (its own frame); mass, width, radius
/// and the suspension values are taken as absolute values. Null for the 31st tire, a mass, width or
/// radius that is not finite or below 0.001 in size, a matrix or pin that is not finite, a zero pin, a
/// call during the world's update or query, or when memory runs out.
dgVehicleTireHandle* dgApiVehicleAddTire(dgJointBase* vehicle, const float* localMatrix, const float* pin,
                                         float mass, float width, float radius, float suspensionShock,
                                         float suspensionSpring, float suspensionLength, void* userData,
                                         unsigned collisionId);
/// During the world's update the tire goes at the end of the running sub-step.
void dgApiVehicleRemoveTire(dgJointBase* vehicle, dgVehicleTireHandle* tire);
void dgApiVehicleSetTireCallback(dgJointBase* vehicle, dgVehicleTireUpdate callback);
/// Suspension position and speed, spin angle and rate of every tire back to 0.
void dgApiVehicleReset(dgJointBase* vehicle);
/// Tires in the order they were added; null at the end.
dgVehicleTireHandle* dgApiVehicleGetFirstTireID(const dgJointBase* vehicle);
dgVehicleTireHandle* dgApiVehicleGetNextTireID(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
void* dgApiVehicleGetTireUserData(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
/// The wheel's world matrix (16 floats), its front row the spin axis's frame as the tire was placed.
void dgApiVehicleGetTireMatrix(const dgJointBase* vehicle, const dgVehicleTireHandle* tire, float* matrix);
/// Turns the tire by angle (radians) about up from its rotation at addition.
void dgApiVehicleSetTireSteerAngle(dgJointBase* vehicle, dgVehicleTireHandle* tire, float angle);
float dgApiVehicleGetTireSteerAngle(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
float dgApiVehicleGetTireOmega(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
/// The suspension's force of the last step along the vehicle's up.
float dgApiVehicleGetTireNormalLoad(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
/// The deceleration that stops the tire within the vehicle's last step; 0 before its first step.
float dgApiVehicleGetTireMaxBrakeAcceleration(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
float dgApiVehicleGetTireSideSpeed(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
float dgApiVehicleGetTireLongitudinalSpeed(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
// Tire inputs: reset before every tire callback, so they are meant to be set from it.
void dgApiVehicleSetTireTorque(dgJointBase* vehicle, dgVehicleTireHandle* tire, float torque);
/// Stores the acceleration and the absolute value of the maximum friction.
void dgApiVehicleSetTireBrakeAcceleration(dgJointBase* vehicle, dgVehicleTireHandle* tire, float acceleration,
                                          float maxFriction);
/// Absolute value, at least 0.5.
void dgApiVehicleSetTireMaxLongitudinalSlideSpeed(dgJointBase* vehicle, dgVehicleTireHandle* tire, float speed);
void dgApiVehicleSetTireMaxSideSlideSpeed(dgJointBase* vehicle, dgVehicleTireHandle* tire, float speed);
/// min(absolute value, 1) x 0.25; a NaN stores 0.
void dgApiVehicleSetTireLongitudinalSlideCoef(dgJointBase* vehicle, dgVehicleTireHandle* tire, float coef);
void dgApiVehicleSetTireSideSlideCoef(dgJointBase* vehicle, dgVehicleTireHandle* tire, float coef);
/// 1 when the tire had no contact in the last step, else 0.
int dgApiVehicleTireIsAirborne(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
int dgApiVehicleTireLostTraction(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
int dgApiVehicleTireLostSideGrip(const dgJointBase* vehicle, const dgVehicleTireHandle* tire);
