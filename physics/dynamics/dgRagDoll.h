#pragma once
// A ragdoll: a tree of bones, each a body tied to its parent bone by a ball joint with quarter-turn cone
// and twist limits. The world keeps the records in its ragdoll list and reports moved ones after each
// sub-step.

#include "physics/core/dgList.h"
#include "physics/core/dgMatrix.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgBody.h"

class dgCollision;
class dgRagDollBone;
class dgWorld;

/// Called with each bone of a ragdoll that moved, after the sub-step.
using dgRagDollTransformCallback = void (*)(dgRagDollBone* bone);

/// The value of one node of the world's ragdoll list; releasing the node ends the record and with it
/// the tree. Bones are added only between Begin and End.
class dgRagDoll {
public:
    dgWorld* m_world;
    dgRagDollBone* m_root = nullptr; ///< holds one reference; null when empty
    dgInt32 m_building = 0;          ///< 1 between Begin and End
    dgBodyForceAndTorqueCallback m_forceCallback = nullptr;
    dgRagDollTransformCallback m_transformCallback = nullptr;
    dgListNode<dgRagDoll*>* m_pendingUpdate = nullptr; ///< entry in the world's report queue, or null
    dgListNode<dgRagDoll>* m_listNode = nullptr;       ///< the world's list node holding this record

    explicit dgRagDoll(dgWorld* world) : m_world(world) {}
    ~dgRagDoll();
    dgRagDoll(const dgRagDoll&) = delete;
    dgRagDoll& operator=(const dgRagDoll&) = delete;

    /// Opens a build, letting go of the old tree (see ReleaseTree).
    void Begin();
    /// Closes a build: every bone's body gets the bone as user data, the bone hooks, and freeze
    /// thresholds 16 times larger. Nothing outside a build.
    void End();
    void SetForceAndTorqueCallback(dgBodyForceAndTorqueCallback callback);
    void SetTransformCallback(dgRagDollTransformCallback callback);
    /// A bone whose frame is localMatrix relative to parent's (world space for the root), with a body of
    /// the collision whose origin lies size.x / 2 along the bone's front axis. Null outside a build, for
    /// a second root, a parent that is not a bone of this tree or has lost its body, a null collision,
    /// or a mass, size or matrix that is not finite.
    dgRagDollBone* AddBone(dgRagDollBone* parent, void* userData, dgFloat32 mass, const dgMatrix& localMatrix,
                           dgCollision* collision, const dgVector& size);
    /// The first bone with the id in post-order; null when there is none.
    dgRagDollBone* FindBone(dgUnsigned32 id) const;
    /// Lets go of the tree. Outside an update the bones' bodies and joints are destroyed at once; inside
    /// one, callbacks may still be walking the bones, so the bodies are unhooked at once and destroyed at
    /// the end of the sub-step, and the bones live on while someone holds them.
    void ReleaseTree();

    /// Principal inertias of a box of the full extents size, 0.7 of the solid box's, the two smaller
    /// raised to at least 0.33 of the largest (ties go to the first axis).
    static dgVector BoneInertia(dgFloat32 mass, const dgVector& size);
    /// Body callbacks of finished bones; they reach the bone through the body's bone link.
    static void BoneForceHook(dgBody* body);
    static void BoneTransformHook(dgBody* body, const dgFloat32* matrix);

private:
    bool HoldsBone(const dgRagDollBone* bone) const;
    /// Gives a bone outside the tree its body, placed at global, and its joint to parent; false when
    /// either cannot be made.
    bool PlaceBone(dgRagDollBone* bone, dgRagDollBone* parent, const dgMatrix& global, dgFloat32 mass,
                   dgCollision* collision, const dgVector& size);
};
