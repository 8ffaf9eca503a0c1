#include "physics/dynamics/dgRagDoll.h"

#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgRagDollBone.h"
#include "physics/dynamics/dgWorld.h"

#include <cmath>

namespace {
// Bones are boxes less dense at their ends than a solid one.
constexpr dgFloat32 kBoneInertiaScale = 0.7f / 12.0f;
// No principal inertia is less than this part of the largest, so thin bones do not spin freely.
constexpr dgFloat32 kMinInertiaRatio = 0.33f;
// 0.15 as the interface's damping setter takes it, stored times 0.02 like every body's.
constexpr dgFloat32 kBoneAngularDamping = 0.15f * 0.02f;
// Jointed bones jitter more than free bodies before they rest.
constexpr dgFloat32 kBoneFreezeScale = 16.0f;
// A little less than a quarter turn: the neutral limits of a new joint.
constexpr dgFloat32 kQuarterTurn = 1.570795f;

bool IsFinite(const dgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

bool IsFinite(const dgMatrix& m) {
    return IsFinite(m.front) && IsFinite(m.up) && IsFinite(m.right) && IsFinite(m.posit);
}

template <class Visit> void ForEachBone(dgRagDollBone* root, Visit visit) {
    for (dgBaseNode* node = root->GetFirst(); node != nullptr; node = node->GetNext()) {
        visit(static_cast<dgRagDollBone*>(node));
    }
}
} // namespace

dgRagDoll::~dgRagDoll() {
    ReleaseTree();
}

void dgRagDoll::Begin() {
    m_building = 1;
    ReleaseTree();
}

void dgRagDoll::ReleaseTree() {
    dgRagDollBone* root = m_root;
    if (root == nullptr) {
        return;
    }
    m_root = nullptr;
    if (m_world->m_inUpdate != 0) {
        ForEachBone(root, [](dgRagDollBone* bone) { bone->HandOverBody(); });
    }
    dgRefRelease(root);
}

void dgRagDoll::SetForceAndTorqueCallback(dgBodyForceAndTorqueCallback callback) {
    if (m_building != 0) {
        m_forceCallback = callback;
    }
}

void dgRagDoll::SetTransformCallback(dgRagDollTransformCallback callback) {
    if (m_building != 0) {
        m_transformCallback = callback;
    }
}

bool dgRagDoll::HoldsBone(const dgRagDollBone* bone) const {
    bool found = false;
    if (m_root != nullptr) {
        ForEachBone(m_root, [&](dgRagDollBone* node) { found = found || node == bone; });
    }
    return found;
}

dgVector dgRagDoll::BoneInertia(dgFloat32 mass, const dgVector& size) {
    const dgFloat32 x2 = size.x * size.x;
    const dgFloat32 y2 = size.y * size.y;
    const dgFloat32 z2 = size.z * size.z;
    const dgFloat32 k = mass * kBoneInertiaScale;
    dgFloat32 inertia[3] = {(y2 + z2) * k, (x2 + z2) * k, (x2 + y2) * k};
    dgInt32 largest = 2;
    if (inertia[0] >= inertia[1] && inertia[0] >= inertia[2]) {
        largest = 0;
    } else if (inertia[1] >= inertia[0] && inertia[1] >= inertia[2]) {
        largest = 1;
    }
    const dgFloat32 floor = inertia[largest] * kMinInertiaRatio;
    for (dgFloat32& value : inertia) {
        value = value < floor ? floor : value;
    }
    return dgVector(inertia[0], inertia[1], inertia[2], mass);
}

dgRagDollBone* dgRagDoll::AddBone(dgRagDollBone* parent, void* userData, dgFloat32 mass,
                                  const dgMatrix& localMatrix, dgCollision* collision, const dgVector& size) {
    if (m_building == 0 || collision == nullptr || !std::isfinite(mass) ||
        !IsFinite(dgVector(size.x, size.y, size.z, 0.0f)) || !IsFinite(localMatrix)) {
        return nullptr;
    }
    // One root per build; a parent must be a living bone of this very tree.
    if (parent == nullptr ? m_root != nullptr : !HoldsBone(parent) || parent->m_body == nullptr) {
        return nullptr;
    }
    const dgMatrix global = parent == nullptr ? localMatrix : localMatrix.Multiply(parent->GetGlobalMatrix());
    if (!IsFinite(global)) {
        return nullptr;
    }
    // Until the bone joins the tree its own reference is the only one: releasing it undoes everything,
    // body and joint included, when memory runs out on the way.
    auto* bone = new dgRagDollBone(this, dgVector(size.x * 0.5f, 0.0f, 0.0f, 1.0f), userData);
    try {
        if (!PlaceBone(bone, parent, global, mass, collision, size)) {
            dgRefRelease(bone);
            return nullptr;
        }
    } catch (const dgMemoryExhausted&) {
        dgRefRelease(bone);
        throw;
    }
    if (parent != nullptr) {
        bone->Attach(parent);
        dgRefRelease(bone);
    } else {
        m_root = bone;
    }
    return bone;
}

bool dgRagDoll::PlaceBone(dgRagDollBone* bone, dgRagDollBone* parent, const dgMatrix& global, dgFloat32 mass,
                          dgCollision* collision, const dgVector& size) {
    dgBody* body = m_world->CreateBody(collision);
    if (body == nullptr) {
        return false;
    }
    bone->m_body = body;
    body->m_bone = bone;
    const dgVector inertia = BoneInertia(mass, size);
    body->SetMassMatrix(mass, inertia.x, inertia.y, inertia.z);
    body->m_forceAndTorque = m_forceCallback;
    body->m_angularDamping = dgVector(kBoneAngularDamping, kBoneAngularDamping, kBoneAngularDamping, 0.0f);

    dgMatrix bodyMatrix = global;
    const dgVector shift = global.RotateVector(bone->m_offset);
    bodyMatrix.posit =
        dgVector(global.posit.x + shift.x, global.posit.y + shift.y, global.posit.z + shift.z, 1.0f);
    body->SetMatrix(bodyMatrix);
    if (parent == nullptr) {
        return true;
    }
    // The pose at creation is the joint's neutral pose.
    bone->m_joint = m_world->CreateBallJoint(global.posit, parent->m_body, body);
    if (bone->m_joint == nullptr) {
        return false;
    }
    bone->m_joint->SetConeLimitState(true);
    bone->m_joint->SetTwistLimitState(true);
    bone->m_joint->SetThirdLimitState(false);
    bone->m_joint->SetConeLimits(global.front, -kQuarterTurn, kQuarterTurn, kQuarterTurn, global.right);
    return true;
}

void dgRagDoll::End() {
    if (m_building == 0) {
        return;
    }
    m_building = 0;
    if (m_root == nullptr) {
        return;
    }
    ForEachBone(m_root, [](dgRagDollBone* bone) {
        dgBody* body = bone->m_body;
        if (body == nullptr) {
            return;
        }
        body->m_userData = bone;
        body->m_transform = BoneTransformHook;
        body->m_forceAndTorque = BoneForceHook;
        for (dgFloat32& threshold : body->m_freezeThresholds) {
            threshold *= kBoneFreezeScale;
        }
    });
}

dgRagDollBone* dgRagDoll::FindBone(dgUnsigned32 id) const {
    return m_root == nullptr ? nullptr : static_cast<dgRagDollBone*>(m_root->Find(id));
}

void dgRagDoll::BoneForceHook(dgBody* body) {
    const dgRagDollBone* bone = body->m_bone;
    if (bone != nullptr && bone->m_ragdoll->m_forceCallback != nullptr) {
        bone->m_ragdoll->m_forceCallback(body);
    }
}

void dgRagDoll::BoneTransformHook(dgBody* body, const dgFloat32*) {
    const dgRagDollBone* bone = body->m_bone;
    if (bone == nullptr) {
        return;
    }
    dgRagDoll* ragdoll = bone->m_ragdoll;
    if (ragdoll->m_pendingUpdate == nullptr) {
        ragdoll->m_pendingUpdate = ragdoll->m_world->m_ragdollUpdates.Append(ragdoll);
    }
}
