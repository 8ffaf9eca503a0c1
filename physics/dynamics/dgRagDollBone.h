#pragma once
// One bone of a ragdoll: a rigid body whose frame has its origin at the joint to its parent bone.

#include "physics/core/dgBaseNode.h"
#include "physics/core/dgMatrix.h"
#include "physics/core/dgVector.h"

class dgBallJoint;
class dgBody;
class dgRagDoll;

/// The bone's name id is its id; its parent (or, for the root, its ragdoll) holds its one reference.
/// The body is the bone's own while the body's bone link points back at it: the last release of the
/// bone destroys only such a body, so a clone, which shares the body, never does.
class dgRagDollBone : public dgBaseNode {
public:
    dgVector m_offset;        ///< (length / 2, 0, 0, 1): from the bone's origin to its body's, bone space
    dgBody* m_body = nullptr; ///< null once the body is gone or handed to deferred destruction
    dgRagDoll* m_ragdoll = nullptr; ///< owner
    dgBallJoint* m_joint = nullptr; ///< to the parent bone; null for the root and once either body went
    void* m_userData = nullptr;

    dgRagDollBone(dgRagDoll* ragdoll, const dgVector& offset, void* userData);
    /// Shares body, joint, ragdoll and user data with this bone; the subtree is cloned.
    dgRagDollBone* CreateClone() const override;
    ~dgRagDollBone() override;

    /// The bone's frame in world space; the identity once its body is gone.
    dgMatrix GetGlobalMatrix() const;
    /// The bone's frame relative to its parent's (world space for the root).
    dgMatrix GetLocalMatrix() const;
    /// The joint's cone and twist limits (radians); nothing for the root or a bone without its joint.
    void SetLimits(const dgVector& pin, dgFloat32 minAngle, dgFloat32 maxAngle, dgFloat32 twist,
                   const dgVector& reference);
    void* GetUserData() const { return m_userData; }
    dgRagDollBone* GetParentBone() const { return static_cast<dgRagDollBone*>(GetParent()); }

    /// Called by the world as the bone's body goes: the bone and its children lose the joints on it.
    void ForgetBody();
    /// Unhooks the body from the ragdoll (no more callbacks, no bone link) and asks the world to destroy
    /// it at the end of the running update.
    void HandOverBody();

private:
    dgRagDollBone(const dgRagDollBone& source) = default;
};
