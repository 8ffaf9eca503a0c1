// Creation of the world's pooled joints: take one from its class's pool, reset it, attach it, then
// give it its geometry in the present pose.

#include "physics/dynamics/dgWorld.h"

#include "physics/core/dgMemory.h"

#include <cmath>

namespace {

bool IsFinite(const dgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

/// A joint of the pool, reset and attached to child and parent; null when they cannot be joined. When
/// memory runs out (dgMemoryExhausted) the joint goes back to its pool unattached.
template <class Joint>
Joint* AttachPooled(dgWorld& world, dgRecyclePool<Joint>& pool, void (Joint::*reset)(), dgBody* child,
                    dgBody* parent) {
    if (!world.CanJoin(child, parent)) {
        return nullptr;
    }
    Joint* joint = pool.Alloc();
    try {
        (joint->*reset)();
        world.AttachJoint(joint, child, parent);
    } catch (const dgMemoryExhausted&) {
        pool.Release(joint);
        throw;
    }
    return joint;
}

} // namespace

bool dgWorld::CanJoin(const dgBody* child, const dgBody* parent) const {
    if (!OwnsBody(child) || IsBeingDestroyed(child) || child == parent) {
        return false;
    }
    return parent == nullptr || (OwnsBody(parent) && !IsBeingDestroyed(parent));
}

dgBallJoint* dgWorld::CreateBallJoint(const dgVector& pivot, dgBody* child, dgBody* parent) {
    dgBallJoint* joint = IsFinite(pivot)
                             ? AttachPooled(*this, m_ballJointPool, &dgBallJoint::InitBall, child, parent)
                             : nullptr;
    if (joint != nullptr) {
        joint->SetPivot(dgVector(pivot.x, pivot.y, pivot.z, 1.0f));
    }
    return joint;
}

dgUpVectorJoint* dgWorld::CreateUpVectorJoint(const dgVector& pin, dgBody* body) {
    dgUpVectorJoint* joint = IsFinite(pin) ? AttachPooled(*this, m_upVectorJointPool,
                                                          &dgUpVectorJoint::InitUpVector, body, nullptr)
                                           : nullptr;
    if (joint != nullptr) {
        joint->InitPin(dgVector(pin.x, pin.y, pin.z, 0.0f));
    }
    return joint;
}
