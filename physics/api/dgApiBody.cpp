// Body functions of the flat interface: creation, placement, motion, mass and callbacks.

#include "physics/api/dgApi.h"
#include "physics/api/dgApiHelpers.h"
#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/dynamics/dgWorld.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

constexpr float kInfiniteMass = 1.5e15f;
constexpr float kMinFiniteMass = 0.001f;
constexpr float kReportedInfiniteMass = 5.0e14f;
constexpr float kDampingScale = 0.02f;
constexpr float kMinFreezeThreshold = std::bit_cast<float>(0x3C23D70Bu); // 0.010000001
constexpr float kDerivedThresholdScale = 0.1f;
constexpr float kInverseEpsilon = 1.0e-8f;

/// NaN and values below 0 give 0, values above 1 give 1.
float ClampUnit(float value) {
    return !(value > 0.0f) ? 0.0f : (value > 1.0f ? 1.0f : value);
}

float Clamp(float value, float lo, float hi) {
    return value < lo ? lo : (value > hi ? hi : value);
}

void SetFlag(dgBody* body, dgUnsigned32 flag, int state) {
    body->m_flags = state != 0 ? (body->m_flags | flag) : (body->m_flags & ~flag);
}

int GetFlag(const dgBody* body, dgUnsigned32 flag) {
    return (body->m_flags & flag) != 0 ? 1 : 0;
}

bool IsFiniteVector(const dgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

dgBody* dgApiBodyCreate(dgWorld* world, dgCollision* collision) {
    if (world == nullptr || collision == nullptr) {
        return nullptr;
    }
    return dgCreateOrFail([&] { return world->CreateBody(collision); });
}

void dgApiBodyDestroy(dgWorld* world, dgBody* body) {
    if (world == nullptr || body == nullptr) {
        return;
    }
    world->DestroyBody(body);
}

void dgApiBodySetUserData(dgBody* body, void* userData) {
    if (body == nullptr) {
        return;
    }
    body->m_userData = userData;
}

void* dgApiBodyGetUserData(const dgBody* body) {
    if (body == nullptr) {
        return nullptr;
    }
    return body->m_userData;
}

dgWorld* dgApiBodyGetWorld(const dgBody* body) {
    if (body == nullptr) {
        return nullptr;
    }
    return body->m_world;
}

void dgApiBodySetTransformCallback(dgBody* body, dgBodyTransformCallback callback) {
    if (body == nullptr) {
        return;
    }
    body->m_transform = callback;
}

void dgApiBodySetForceAndTorqueCallback(dgBody* body, dgBodyForceAndTorqueCallback callback) {
    if (body == nullptr) {
        return;
    }
    body->m_forceAndTorque = callback;
}

dgBodyForceAndTorqueCallback dgApiBodyGetForceAndTorqueCallback(const dgBody* body) {
    if (body == nullptr) {
        return nullptr;
    }
    return body->m_forceAndTorque;
}

void dgApiBodySetDestructorCallback(dgBody* body, dgBodyDestructorCallback callback) {
    if (body == nullptr) {
        return;
    }
    body->m_destructor = callback;
}

void dgApiBodySetAutoactiveCallback(dgBody* body, dgBodyAutoActiveCallback callback) {
    if (body == nullptr) {
        return;
    }
    body->m_autoActive = callback;
    if (callback != nullptr) {
        callback(body, body->m_flags & dgBody::kActive);
    }
}

void dgApiBodyGetMatrix(const dgBody* body, float* matrix) {
    if (body == nullptr) {
        return;
    }
    dgApiWriteMatrix(body->m_matrix, matrix);
}

void dgApiBodyGetForce(const dgBody* body, float* force) {
    if (body == nullptr) {
        return;
    }
    dgApiWriteVector(body->m_lastForce, force);
}

void dgApiBodyGetTorque(const dgBody* body, float* torque) {
    if (body == nullptr) {
        return;
    }
    dgApiWriteVector(body->m_lastTorque, torque);
}

void dgApiBodyGetCentreOfMass(const dgBody* body, float* com) {
    if (body == nullptr) {
        return;
    }
    dgApiWriteVector(body->m_localCentreOfMass, com);
}

void dgApiBodyGetVelocity(const dgBody* body, float* velocity) {
    if (body == nullptr) {
        return;
    }
    dgApiWriteVector(body->m_veloc, velocity);
}

void dgApiBodyGetOmega(const dgBody* body, float* omega) {
    if (body == nullptr) {
        return;
    }
    dgApiWriteVector(body->m_omega, omega);
}

void dgApiBodyGetAABB(const dgBody* body, float* minPoint, float* maxPoint) {
    if (body == nullptr) {
        return;
    }
    dgApiWriteVector(body->m_minBox, minPoint);
    dgApiWriteVector(body->m_maxBox, maxPoint);
}

dgCollision* dgApiBodyGetCollision(const dgBody* body) {
    if (body == nullptr) {
        return nullptr;
    }
    return body->m_collision;
}

void dgApiBodySetMaterialGroupId(dgBody* body, int id) {
    if (body == nullptr) {
        return;
    }
    body->m_materialGroupId = id;
}

int dgApiBodyGetMaterialGroupId(const dgBody* body) {
    if (body == nullptr) {
        return 0;
    }
    return body->m_materialGroupId;
}

void dgApiBodySetForce(dgBody* body, const float* force) {
    if (body == nullptr) {
        return;
    }
    body->m_force = dgApiPoint(force);
}

void dgApiBodySetTorque(dgBody* body, const float* torque) {
    if (body == nullptr) {
        return;
    }
    body->m_torque = dgApiPoint(torque);
}

void dgApiBodyAddForce(dgBody* body, const float* force) {
    if (body == nullptr) {
        return;
    }
    body->m_force.x += force[0];
    body->m_force.y += force[1];
    body->m_force.z += force[2];
}

void dgApiBodyAddTorque(dgBody* body, const float* torque) {
    if (body == nullptr) {
        return;
    }
    body->m_torque.x += torque[0];
    body->m_torque.y += torque[1];
    body->m_torque.z += torque[2];
}

void dgApiBodySetVelocity(dgBody* body, const float* velocity) {
    if (body == nullptr) {
        return;
    }
    body->m_veloc = dgApiPoint(velocity);
    body->m_flags &= ~dgBody::kEquilibrium;
}

void dgApiBodySetOmega(dgBody* body, const float* omega) {
    if (body == nullptr) {
        return;
    }
    body->m_omega = dgApiPoint(omega);
    body->m_flags &= ~dgBody::kEquilibrium;
}

void dgApiBodySetGyroscopicForces(dgBody* body, int state) {
    if (body == nullptr) {
        return;
    }
    SetFlag(body, dgBody::kGyroscopicTorque, state);
}

void dgApiBodySetContinuousCollisionMode(dgBody* body, int state) {
    if (body == nullptr) {
        return;
    }
    SetFlag(body, dgBody::kContinuousCollision, state);
}

int dgApiBodyGetContinuousCollisionMode(const dgBody* body) {
    if (body == nullptr) {
        return 0;
    }
    return GetFlag(body, dgBody::kContinuousCollision);
}

void dgApiBodySetLinkedCollision(dgBody* body, int state) {
    if (body == nullptr) {
        return;
    }
    SetFlag(body, dgBody::kJointPairFilter, state);
}

int dgApiBodyGetLinkedCollision(const dgBody* body) {
    if (body == nullptr) {
        return 0;
    }
    return GetFlag(body, dgBody::kJointPairFilter);
}

void dgApiBodySetAutoFreeze(dgBody* body, int state) {
    if (body == nullptr) {
        return;
    }
    SetFlag(body, dgBody::kAutoFreeze, state);
}

int dgApiBodyGetAutoFreeze(const dgBody* body) {
    if (body == nullptr) {
        return 0;
    }
    return GetFlag(body, dgBody::kAutoFreeze);
}

void dgApiBodySetMassMatrix(dgBody* body, float mass, float Ixx, float Iyy, float Izz) {
    if (body == nullptr) {
        return;
    }
    mass = std::fabs(mass);
    const float inertia[3] = {std::fabs(Ixx), std::fabs(Iyy), std::fabs(Izz)};
    // Inertias far out of proportion with the mass make the solver ring: hold them within a factor 100.
    const float lo = mass * 0.01f;
    const float hi = mass * 100.0f;
    float clamped[3];
    for (int i = 0; i < 3; i++) {
        clamped[i] = Clamp(inertia[i], lo, hi);
    }
    const float dynamicMass = mass < kMinFiniteMass ? kInfiniteMass : mass;
    body->SetMassMatrix(dynamicMass, clamped[0], clamped[1], clamped[2]);
    const float reported[4] = {inertia[0], inertia[1], inertia[2], dynamicMass};
    body->UpdateReportedMass(reported);
}

void dgApiBodyGetMassMatrix(const dgBody* body, float* mass, float* Ixx, float* Iyy, float* Izz) {
    if (body == nullptr) {
        return;
    }
    const dgVector& reported = body->m_reportedMass;
    const bool infinite = reported.w > kReportedInfiniteMass;
    *mass = infinite ? 0.0f : reported.w;
    *Ixx = infinite ? 0.0f : reported.x;
    *Iyy = infinite ? 0.0f : reported.y;
    *Izz = infinite ? 0.0f : reported.z;
}

void dgApiBodyGetInvMass(const dgBody* body, float* invMass, float* invIxx, float* invIyy, float* invIzz) {
    if (body == nullptr) {
        return;
    }
    const dgVector& reported = body->m_reportedMass;
    *invMass = 1.0f / (reported.w + kInverseEpsilon);
    *invIxx = 1.0f / (reported.x + kInverseEpsilon);
    *invIyy = 1.0f / (reported.y + kInverseEpsilon);
    *invIzz = 1.0f / (reported.z + kInverseEpsilon);
}

void dgApiBodySetMatrix(dgBody* body, const float* matrix) {
    if (body == nullptr) {
        return;
    }
    dgMatrix m = dgApiMatrix(matrix);
    // Only a rigid frame may reach the body: front normalised, right = front x up, up = right x front.
    const float frontLength = std::sqrt(m.front.DotProduct(m.front));
    m.front = m.front.Scale(1.0f / frontLength);
    m.right = m.front.CrossProduct(m.up);
    const float rightLength = std::sqrt(m.right.DotProduct(m.right));
    m.right = m.right.Scale(1.0f / rightLength);
    m.up = m.right.CrossProduct(m.front);
    m.front.w = 0.0f;
    m.up.w = 0.0f;
    m.right.w = 0.0f;
    m.posit.w = 1.0f;
    // A zero or parallel front and up, or non-finite entries, span no frame: the body keeps its own.
    if (!IsFiniteVector(m.front) || !IsFiniteVector(m.right) || !IsFiniteVector(m.up) ||
        !IsFiniteVector(m.posit)) {
        return;
    }
    body->SetMatrix(m);
}

void dgApiBodySetMatrixRecursive(dgBody* body, const float* matrix) {
    if (body == nullptr) {
        return;
    }
    // Entries that are not finite would reach every body jointed to this one: they all keep their own.
    if (!std::all_of(matrix, matrix + 16, [](float v) { return std::isfinite(v); })) {
        return;
    }
    body->m_world->SetBodyMatrixRecursive(body, dgApiMatrix(matrix));
}

void dgApiBodySetCollision(dgBody* body, dgCollision* collision) {
    if (body == nullptr || collision == nullptr) {
        return;
    }
    body->SetCollision(collision);
}

void dgApiBodySetCentreOfMass(dgBody* body, const float* com) {
    // The body's position is taken back from its centre each step: one that is no number would make it NaN.
    if (body == nullptr || !IsFiniteVector(dgApiPoint(com))) {
        return;
    }
    body->m_localCentreOfMass = dgApiPoint(com);
    body->m_globalCentreOfMass = body->m_matrix.TransformVector(body->m_localCentreOfMass);
}

void dgApiBodySetLinearDamping(dgBody* body, float linearDamp) {
    if (body == nullptr) {
        return;
    }
    body->m_linearDamping = ClampUnit(linearDamp) * kDampingScale;
}

float dgApiBodyGetLinearDamping(const dgBody* body) {
    if (body == nullptr) {
        return 0;
    }
    return body->m_linearDamping / kDampingScale;
}

void dgApiBodySetAngularDamping(dgBody* body, const float* angularDamp) {
    if (body == nullptr) {
        return;
    }
    body->m_angularDamping.x = ClampUnit(angularDamp[0]) * kDampingScale;
    body->m_angularDamping.y = ClampUnit(angularDamp[1]) * kDampingScale;
    body->m_angularDamping.z = ClampUnit(angularDamp[2]) * kDampingScale;
}

void dgApiBodyGetAngularDamping(const dgBody* body, float* angularDamp) {
    if (body == nullptr) {
        return;
    }
    angularDamp[0] = body->m_angularDamping.x / kDampingScale;
    angularDamp[1] = body->m_angularDamping.y / kDampingScale;
    angularDamp[2] = body->m_angularDamping.z / kDampingScale;
}

void dgApiBodySetFreezeThreshold(dgBody* body, float freezeSpeed, float freezeOmega, int) {
    if (body == nullptr) {
        return;
    }
    const float thresholds[4] = {freezeSpeed, freezeOmega, freezeSpeed * kDerivedThresholdScale,
                                 freezeOmega * kDerivedThresholdScale};
    for (int i = 0; i < 4; i++) {
        body->m_freezeThresholds[i] =
            !(thresholds[i] >= kMinFreezeThreshold) ? kMinFreezeThreshold : thresholds[i];
    }
}

void dgApiBodyGetFreezeThreshold(const dgBody* body, float* freezeSpeed, float* freezeOmega) {
    if (body == nullptr) {
        return;
    }
    *freezeSpeed = body->m_freezeThresholds[2] * 10.0f;
    *freezeOmega = body->m_freezeThresholds[3] * 10.0f;
}

void dgApiBodyAddImpulse(dgBody* body, const float* velocityChange, const float* point) {
    if (body == nullptr) {
        return;
    }
    body->m_world->AddBodyImpulse(body, dgApiDirection(velocityChange), dgApiPoint(point));
}

void dgApiBodyAddBuoyancyForce(dgBody* body, float fluidDensity, float fluidLinearViscosity,
                               float fluidAngularViscosity, const float* gravity,
                               dgBuoyancyPlaneCallback planeCallback, void* context) {
    if (body == nullptr) {
        return;
    }
    body->AddBuoyancyForce(fluidDensity, fluidLinearViscosity, fluidAngularViscosity, dgApiDirection(gravity),
                           planeCallback, context);
}

void dgApiBodyForEachPolygonDo(dgBody* body, dgBodyFaceCallback callback) {
    if (body == nullptr || callback == nullptr) {
        return;
    }
    // A user mesh's faces are the application's own: it shows none of them here.
    dgCollision* collision = body->m_collision;
    if (collision->IsType(body->m_world->GetPolygonSoupClassId()) &&
        static_cast<dgCollisionPolygonalSoup*>(collision)->GetTreeSoup() == nullptr) {
        return;
    }
    collision->ForEachDisplayFace(body->m_matrix, body, callback);
}
