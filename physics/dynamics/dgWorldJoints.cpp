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

/// A joint of the pool with frames from the pivot and one pin, or null as AttachPooled refuses it.
template <class Joint>
Joint* CreatePinned(dgWorld& world, dgRecyclePool<Joint>& pool, void (Joint::*reset)(), const dgVector& pivot,
                    const dgVector& pin, dgBody* child, dgBody* parent) {
    if (!IsFinite(pivot) || !IsFinite(pin)) {
        return nullptr;
    }
    Joint* joint = AttachPooled(world, pool, reset, child, parent);
    if (joint != nullptr) {
        joint->CalcPinFrames(dgVector(pivot.x, pivot.y, pivot.z, 1.0f), dgVector(pin.x, pin.y, pin.z, 0.0f));
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

dgHingeJoint* dgWorld::CreateHingeJoint(const dgVector& pivot, const dgVector& pin, dgBody* child,
                                        dgBody* parent) {
    return CreatePinned(*this, m_hingeJointPool, &dgHingeJoint::InitHinge, pivot, pin, child, parent);
}

dgSliderJoint* dgWorld::CreateSliderJoint(const dgVector& pivot, const dgVector& pin, dgBody* child,
                                          dgBody* parent) {
    return CreatePinned(*this, m_sliderJointPool, &dgSliderJoint::InitSlider, pivot, pin, child, parent);
}

dgCorkscrewJoint* dgWorld::CreateCorkscrewJoint(const dgVector& pivot, const dgVector& pin, dgBody* child,
                                                dgBody* parent) {
    return CreatePinned(*this, m_corkscrewJointPool, &dgCorkscrewJoint::InitCorkscrew, pivot, pin, child,
                        parent);
}

dgUniversalJoint* dgWorld::CreateUniversalJoint(const dgVector& pivot, const dgVector& pin0,
                                                const dgVector& pin1, dgBody* child, dgBody* parent) {
    dgUniversalJoint* joint =
        IsFinite(pivot) && IsFinite(pin0) && IsFinite(pin1)
            ? AttachPooled(*this, m_universalJointPool, &dgUniversalJoint::InitUniversal, child, parent)
            : nullptr;
    if (joint != nullptr) {
        joint->CalcTwoPinFrames(dgVector(pivot.x, pivot.y, pivot.z, 1.0f), dgVector(pin0.x, pin0.y, pin0.z, 0.0f),
                                dgVector(pin1.x, pin1.y, pin1.z, 0.0f));
    }
    return joint;
}
