// Joint functions of the flat interface: the functions every joint shares, creation, and the ball,
// hinge, slider, corkscrew, universal, up-vector and user-joint functions. A per-type function given a joint of another type does nothing
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

/// The joint as its class when it is of that kind, else null.
template <class Joint, dgUnsigned16 kKind> Joint* As(const dgJointBase* joint) {
    return joint != nullptr && joint->m_kind == kKind ? static_cast<Joint*>(const_cast<dgJointBase*>(joint))
                                                      : nullptr;
}

/// A float getter of the joint's class, or 0 for a joint of another kind.
template <class Joint, dgUnsigned16 kKind> float Read(const dgJointBase* joint, float (Joint::*get)() const) {
    const Joint* typed = As<Joint, kKind>(joint);
    return typed != nullptr ? (typed->*get)() : 0.0f;
}

/// A stop helper of the joint's class, or 0 for a joint of another kind.
template <class Joint, dgUnsigned16 kKind>
float Stop(const dgJointBase* joint, float (Joint::*stop)(float, const dgJointMotorDesc*) const,
           const dgJointMotorDesc* desc, float target) {
    const Joint* typed = As<Joint, kKind>(joint);
    return typed != nullptr ? (typed->*stop)(target, desc) : 0.0f;
}

/// The joint's force of the last step, or zeros for a joint of another kind; nothing for a null joint.
template <class Joint, dgUnsigned16 kKind> void WriteForce(const dgJointBase* joint, float* out) {
    if (joint == nullptr) {
        return;
    }
    dgVector force;
    if (const Joint* typed = As<Joint, kKind>(joint)) {
        typed->GetJointForce(force);
    }
    dgApiWriteVector(force, out);
}

template <class Joint, dgUnsigned16 kKind, class Callback> void SetCallback(dgJointBase* joint, Callback callback) {
    if (Joint* typed = As<Joint, kKind>(joint)) {
        typed->SetUserCallback(callback);
    }
}

constexpr dgUnsigned16 kHinge = dgJointBase::kHingeJoint;
constexpr dgUnsigned16 kSlider = dgJointBase::kSliderJoint;
constexpr dgUnsigned16 kCorkscrew = dgJointBase::kCorkscrewJoint;
constexpr dgUnsigned16 kUniversal = dgJointBase::kUniversalJoint;

/// The pivot and pins as the world takes them; false when a pointer is null.
bool PivotAndPins(const float* pivot, const float* pin0, const float* pin1, dgVector& p, dgVector& d0,
                  dgVector& d1) {
    if (pivot == nullptr || pin0 == nullptr || pin1 == nullptr) {
        return false;
    }
    p = dgApiPoint(pivot);
    d0 = dgApiDirection(pin0);
    d1 = dgApiDirection(pin1);
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

/// Writes the vector a ball getter produced, or zeros for a joint that is no ball; nothing for a null
/// joint.
template <class Get> void WriteBallVector(const dgJointBase* joint, float* out, Get get) {
    if (joint == nullptr) {
        return;
    }
    dgVector v;
    if (const dgBallJoint* ball = AsBall(joint)) {
        (ball->*get)(v);
    }
    dgApiWriteVector(v, out);
}

/// The unit pin and a unit direction across it, from the pin the caller gave.
void ConePinAndReference(const float* given, dgVector& pin, dgVector& reference) {
    dgVector p = dgPinWithFiniteSquare(dgApiDirection(given));
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
    if (joint != nullptr) {
        joint->SetUserData(userData);
    }
}

void* dgApiJointGetUserData(const dgJointBase* joint) {
    return joint != nullptr ? joint->GetUserData() : nullptr;
}

void dgApiJointSetCollisionState(dgJointBase* joint, int state) {
    if (joint != nullptr) {
        joint->m_collisionState = state != 0 ? 1 : 0;
    }
}

int dgApiJointGetCollisionState(const dgJointBase* joint) {
    return joint != nullptr && joint->m_collisionState != 0 ? 1 : 0;
}

void dgApiJointSetStiffness(dgJointBase* joint, float stiffness) {
    if (joint != nullptr) {
        joint->SetStiffness(std::isnan(stiffness) ? 0.0f : stiffness);
    }
}

float dgApiJointGetStiffness(const dgJointBase* joint) {
    return joint != nullptr ? joint->GetStiffness() : 0.0f;
}

void dgApiJointSetDestructor(dgJointBase* joint, dgJointDestructorCallback callback) {
    if (joint != nullptr) {
        joint->SetJointDestructor(callback);
    }
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

dgJointBase* dgApiJointCreateHinge(dgWorld* world, const float* pivot, const float* pin, dgBody* child,
                                   dgBody* parent) {
    dgVector p, d, unused;
    if (world == nullptr || !PivotAndPins(pivot, pin, pin, p, d, unused)) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgJointBase* { return world->CreateHingeJoint(p, d, child, parent); });
}

dgJointBase* dgApiJointCreateSlider(dgWorld* world, const float* pivot, const float* pin, dgBody* child,
                                    dgBody* parent) {
    dgVector p, d, unused;
    if (world == nullptr || !PivotAndPins(pivot, pin, pin, p, d, unused)) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgJointBase* { return world->CreateSliderJoint(p, d, child, parent); });
}

dgJointBase* dgApiJointCreateCorkscrew(dgWorld* world, const float* pivot, const float* pin, dgBody* child,
                                       dgBody* parent) {
    dgVector p, d, unused;
    if (world == nullptr || !PivotAndPins(pivot, pin, pin, p, d, unused)) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgJointBase* { return world->CreateCorkscrewJoint(p, d, child, parent); });
}

dgJointBase* dgApiJointCreateUniversal(dgWorld* world, const float* pivot, const float* pin0, const float* pin1,
                                       dgBody* child, dgBody* parent) {
    dgVector p, d0, d1;
    if (world == nullptr || !PivotAndPins(pivot, pin0, pin1, p, d0, d1)) {
        return nullptr;
    }
    return dgCreateOrFail([&]() -> dgJointBase* { return world->CreateUniversalJoint(p, d0, d1, child, parent); });
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

void dgApiHingeSetUserCallback(dgJointBase* hinge, dgHingeCallback callback) {
    SetCallback<dgHingeJoint, kHinge>(hinge, callback);
}

float dgApiHingeGetJointAngle(const dgJointBase* hinge) {
    return Read<dgHingeJoint, kHinge>(hinge, &dgHingeJoint::GetJointAngle);
}

float dgApiHingeGetJointOmega(const dgJointBase* hinge) {
    return Read<dgHingeJoint, kHinge>(hinge, &dgHingeJoint::GetJointOmega);
}

float dgApiHingeCalculateStopAlpha(const dgJointBase* hinge, const dgJointMotorDesc* desc, float angle) {
    return Stop<dgHingeJoint, kHinge>(hinge, &dgHingeJoint::CalculateStopAlpha, desc, angle);
}

void dgApiHingeGetJointForce(const dgJointBase* hinge, float* force) {
    WriteForce<dgHingeJoint, kHinge>(hinge, force);
}

void dgApiSliderSetUserCallback(dgJointBase* slider, dgSliderCallback callback) {
    SetCallback<dgSliderJoint, kSlider>(slider, callback);
}

float dgApiSliderGetJointPosit(const dgJointBase* slider) {
    return Read<dgSliderJoint, kSlider>(slider, &dgSliderJoint::GetJointPosit);
}

float dgApiSliderGetJointVeloc(const dgJointBase* slider) {
    return Read<dgSliderJoint, kSlider>(slider, &dgSliderJoint::GetJointVeloc);
}

float dgApiSliderCalculateStopAccel(const dgJointBase* slider, const dgJointMotorDesc* desc, float position) {
    return Stop<dgSliderJoint, kSlider>(slider, &dgSliderJoint::CalculateStopAccel, desc, position);
}

void dgApiSliderGetJointForce(const dgJointBase* slider, float* force) {
    WriteForce<dgSliderJoint, kSlider>(slider, force);
}

void dgApiCorkscrewSetUserCallback(dgJointBase* corkscrew, dgCorkscrewCallback callback) {
    SetCallback<dgCorkscrewJoint, kCorkscrew>(corkscrew, callback);
}

float dgApiCorkscrewGetJointPosit(const dgJointBase* corkscrew) {
    return Read<dgCorkscrewJoint, kCorkscrew>(corkscrew, &dgCorkscrewJoint::GetJointPosit);
}

float dgApiCorkscrewGetJointVeloc(const dgJointBase* corkscrew) {
    return Read<dgCorkscrewJoint, kCorkscrew>(corkscrew, &dgCorkscrewJoint::GetJointVeloc);
}

float dgApiCorkscrewGetJointAngle(const dgJointBase* corkscrew) {
    return Read<dgCorkscrewJoint, kCorkscrew>(corkscrew, &dgCorkscrewJoint::GetJointAngle);
}

float dgApiCorkscrewGetJointOmega(const dgJointBase* corkscrew) {
    return Read<dgCorkscrewJoint, kCorkscrew>(corkscrew, &dgCorkscrewJoint::GetJointOmega);
}

float dgApiCorkscrewCalculateStopAlpha(const dgJointBase* corkscrew, const dgJointMotorDesc* desc, float angle) {
    return Stop<dgCorkscrewJoint, kCorkscrew>(corkscrew, &dgCorkscrewJoint::CalculateStopAlpha, desc, angle);
}

float dgApiCorkscrewCalculateStopAccel(const dgJointBase* corkscrew, const dgJointMotorDesc* desc,
                                       float position) {
    return Stop<dgCorkscrewJoint, kCorkscrew>(corkscrew, &dgCorkscrewJoint::CalculateStopAccel, desc, position);
}

void dgApiCorkscrewGetJointForce(const dgJointBase* corkscrew, float* force) {
    WriteForce<dgCorkscrewJoint, kCorkscrew>(corkscrew, force);
}

void dgApiUniversalSetUserCallback(dgJointBase* universal, dgUniversalCallback callback) {
    SetCallback<dgUniversalJoint, kUniversal>(universal, callback);
}

float dgApiUniversalGetJointAngle0(const dgJointBase* universal) {
    return Read<dgUniversalJoint, kUniversal>(universal, &dgUniversalJoint::GetJointAngle0);
}

float dgApiUniversalGetJointAngle1(const dgJointBase* universal) {
    return Read<dgUniversalJoint, kUniversal>(universal, &dgUniversalJoint::GetJointAngle1);
}

float dgApiUniversalGetJointOmega0(const dgJointBase* universal) {
    return Read<dgUniversalJoint, kUniversal>(universal, &dgUniversalJoint::GetJointOmega0);
}

float dgApiUniversalGetJointOmega1(const dgJointBase* universal) {
    return Read<dgUniversalJoint, kUniversal>(universal, &dgUniversalJoint::GetJointOmega1);
}

float dgApiUniversalCalculateStopAlpha0(const dgJointBase* universal, const dgJointMotorDesc* desc, float angle) {
    return Stop<dgUniversalJoint, kUniversal>(universal, &dgUniversalJoint::CalculateStopAlpha0, desc, angle);
}

float dgApiUniversalCalculateStopAlpha1(const dgJointBase* universal, const dgJointMotorDesc* desc, float angle) {
    return Stop<dgUniversalJoint, kUniversal>(universal, &dgUniversalJoint::CalculateStopAlpha1, desc, angle);
}

void dgApiUniversalGetJointForce(const dgJointBase* universal, float* force) {
    WriteForce<dgUniversalJoint, kUniversal>(universal, force);
}

void dgApiUpVectorGetPin(const dgJointBase* upVector, float* pin) {
    if (upVector == nullptr) {
        return;
    }
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
