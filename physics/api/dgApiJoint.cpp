// Joint functions of the flat interface: the functions every joint shares, creation, and the ball,
// up-vector and user-joint functions. A per-type function given a joint of another type does nothing
// (its outputs read 0).

#include "physics/api/dgApi.h"
#include "physics/api/dgApiHelpers.h"
#include "physics/api/dgUserConstraint.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgWorld.h"

#include <bit>
#include <cmath>

namespace {

// Short pins are replaced by the x axis.
constexpr float kMinConePin2 = 0.001f;
// Components beyond this leave too little of the pin across the auxiliary axis.
constexpr float kMaxAuxComponent = 0.999f;
// Limits at or below one degree are switched off.
constexpr float kMinLimitAngle = std::bit_cast<float>(0x3C8EFA2Eu); // 0.017453279

bool AllFinite(const float* values, int count) {
    for (int i = 0; i < count; i++) {
        if (!std::isfinite(values[i])) {
            return false;
        }
    }
    return true;
}

dgBallJoint* AsBall(dgJointBase* joint) {
    return joint != nullptr && joint->m_kind == dgJointBase::kBallJoint ? static_cast<dgBallJoint*>(joint)
                                                                        : nullptr;
}

const dgBallJoint* AsBall(const dgJointBase* joint) {
    return AsBall(const_cast<dgJointBase*>(joint));
}

dgUpVectorJoint* AsUpVector(dgJointBase* joint) {
    return joint != nullptr && joint->m_kind == dgJointBase::kUpVectorJoint
               ? static_cast<dgUpVectorJoint*>(joint)
               : nullptr;
}

dgUserConstraint* AsUser(dgJointBase* joint) {
    constexpr dgUnsigned16 kUserKind = dgUserJoint::kUserJointBase + dgUserConstraint::kKindOffset;
    return joint != nullptr && joint->m_kind == kUserKind ? static_cast<dgUserConstraint*>(joint) : nullptr;
}

const dgUserConstraint* AsUser(const dgJointBase* joint) {
    return AsUser(const_cast<dgJointBase*>(joint));
}

/// Writes the vector a ball getter produced, or zeros for a joint that is no ball.
template <class Get> void WriteBallVector(const dgJointBase* joint, float* out, Get get) {
    dgVector v;
    if (const dgBallJoint* ball = AsBall(joint)) {
        (ball->*get)(v);
    }
    dgApiWriteVector(v, out);
}

/// The unit pin and a unit direction across it, from the pin the caller gave.
void ConePinAndReference(const float* given, dgVector& pin, dgVector& reference) {
    dgVector p = dgApiDirection(given);
    if (p.DotProduct(p) < kMinConePin2) {
        p.x = 1.0f;
    }
    pin = p.Scale(1.0f / std::sqrt(p.DotProduct(p)));
    // The first axis the pin is not nearly along; taken from the unit pin so a long pin along x still
    // gets y.
    dgVector aux(0.0f, 0.0f, 1.0f, 0.0f);
    if (std::fabs(pin.x) <= kMaxAuxComponent) {
        aux = dgVector(1.0f, 0.0f, 0.0f, 0.0f);
    } else if (std::fabs(pin.y) <= kMaxAuxComponent) {
        aux = dgVector(0.0f, 1.0f, 0.0f, 0.0f);
    }
    const dgVector cross = aux.CrossProduct(pin);
    reference = cross.Scale(1.0f / std::sqrt(cross.DotProduct(cross)));
}

} // namespace

void dgApiJointSetUserData(dgJointBase* joint, void* userData) {
    joint->SetUserData(userData);
}

void* dgApiJointGetUserData(const dgJointBase* joint) {
    return joint->GetUserData();
}

void dgApiJointSetCollisionState(dgJointBase* joint, int state) {
    joint->m_collisionState = state != 0 ? 1 : 0;
}

int dgApiJointGetCollisionState(const dgJointBase* joint) {
    return joint->m_collisionState != 0 ? 1 : 0;
}

void dgApiJointSetStiffness(dgJointBase* joint, float stiffness) {
    joint->SetStiffness(std::isnan(stiffness) ? 0.0f : stiffness);
}

float dgApiJointGetStiffness(const dgJointBase* joint) {
    return joint->GetStiffness();
}

void dgApiJointSetDestructor(dgJointBase* joint, dgJointDestructorCallback callback) {
    joint->SetJointDestructor(callback);
}

void dgApiDestroyJoint(dgWorld* world, dgJointBase* joint) {
    // Contact joints belong to the contact calculation, which releases them itself.
    if (world == nullptr || joint == nullptr || joint->m_link == nullptr ||
        joint->m_kind == dgJointBase::kContactJoint || joint->m_body0->m_world != world) {
        return;
    }
    world->DestroyJoint(joint);
}

dgJointBase* dgApiJointCreateBall(dgWorld* world, const float* pivot, dgBody* child, dgBody* parent) {
    if (world == nullptr || pivot == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail(
        [&]() -> dgJointBase* { return world->CreateBallJoint(dgApiPoint(pivot), child, parent); });
}

dgJointBase* dgApiJointCreateUpVector(dgWorld* world, const float* pin, dgBody* body) {
    if (world == nullptr || pin == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail(
        [&]() -> dgJointBase* { return world->CreateUpVectorJoint(dgApiDirection(pin), body); });
}

dgJointBase* dgApiJointCreateUser(dgWorld* world, int maxRows, dgUserJointSubmitCallback callback,
                                  dgBody* child, dgBody* parent) {
    if (world == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail(
        [&]() -> dgJointBase* { return dgUserConstraint::Create(world, maxRows, callback, child, parent); });
}

void dgApiBallSetUserCallback(dgJointBase* ball, dgBallCallback callback) {
    if (dgBallJoint* joint = AsBall(ball)) {
        joint->SetUserCallback(callback);
    }
}

void dgApiBallGetJointAngle(const dgJointBase* ball, float* angle) {
    WriteBallVector(ball, angle, &dgBallJoint::GetJointAngle);
}

void dgApiBallGetJointOmega(const dgJointBase* ball, float* omega) {
    WriteBallVector(ball, omega, &dgBallJoint::GetJointOmega);
}

void dgApiBallGetJointForce(const dgJointBase* ball, float* force) {
    WriteBallVector(ball, force, &dgBallJoint::GetJointForce);
}

void dgApiBallSetConeLimits(dgJointBase* ball, const float* pin, float maxConeAngle, float maxTwistAngle) {
    dgBallJoint* joint = AsBall(ball);
    if (joint == nullptr || !AllFinite(pin, 3) || !std::isfinite(maxConeAngle) ||
        !std::isfinite(maxTwistAngle)) {
        return;
    }
    dgVector unitPin;
    dgVector reference;
    ConePinAndReference(pin, unitPin, reference);
    const float cone = std::fabs(maxConeAngle);
    const float twist = std::fabs(maxTwistAngle);
    joint->SetConeLimitState(cone > kMinLimitAngle);
    joint->SetTwistLimitState(twist > kMinLimitAngle);
    joint->SetThirdLimitState(false);
    joint->SetConeLimits(unitPin, -cone, cone, twist, reference);
}

void dgApiUpVectorGetPin(const dgJointBase* upVector, float* pin) {
    dgVector v;
    if (const dgUpVectorJoint* joint = AsUpVector(const_cast<dgJointBase*>(upVector))) {
        joint->GetPin(v);
    }
    dgApiWriteVector(v, pin);
}

void dgApiUpVectorSetPin(dgJointBase* upVector, const float* pin) {
    if (dgUpVectorJoint* joint = AsUpVector(upVector)) {
        joint->SetPin(dgApiDirection(pin));
    }
}

void dgApiUserJointAddLinearRow(dgJointBase* joint, const float* pivot0, const float* pivot1,
                                const float* dir) {
    if (dgUserConstraint* user = AsUser(joint)) {
        user->AddLinearRow(dgApiPoint(pivot0), dgApiPoint(pivot1), dgApiDirection(dir));
    }
}

void dgApiUserJointAddAngularRow(dgJointBase* joint, float relativeAngle, const float* dir) {
    if (dgUserConstraint* user = AsUser(joint)) {
        user->AddAngularRow(relativeAngle, dgApiDirection(dir));
    }
}

void dgApiUserJointAddGeneralRow(dgJointBase* joint, const float* jacobian0, const float* jacobian1) {
    if (dgUserConstraint* user = AsUser(joint)) {
        user->AddGeneralRow(jacobian0, jacobian1);
    }
}

void dgApiUserJointSetRowMaximumFriction(dgJointBase* joint, float friction) {
    if (dgUserConstraint* user = AsUser(joint)) {
        user->SetRowMaximumFriction(friction);
    }
}

void dgApiUserJointSetRowMinimumFriction(dgJointBase* joint, float friction) {
    if (dgUserConstraint* user = AsUser(joint)) {
        user->SetRowMinimumFriction(friction);
    }
}

void dgApiUserJointSetRowAcceleration(dgJointBase* joint, float acceleration) {
    if (dgUserConstraint* user = AsUser(joint)) {
        user->SetRowAcceleration(acceleration);
    }
}

void dgApiUserJointSetRowSpringDamperAcceleration(dgJointBase* joint, float springK, float springD) {
    if (dgUserConstraint* user = AsUser(joint)) {
        user->SetRowSpringDamperAcceleration(springK, springD);
    }
}

void dgApiUserJointSetRowStiffness(dgJointBase* joint, float stiffness) {
    if (dgUserConstraint* user = AsUser(joint)) {
        user->SetRowStiffness(stiffness);
    }
}

float dgApiUserJointGetRowForce(const dgJointBase* joint, int row) {
    const dgUserConstraint* user = AsUser(joint);
    return user != nullptr ? user->GetRowForce(row) : 0.0f;
}
