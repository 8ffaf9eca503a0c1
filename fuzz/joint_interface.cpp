// The joint functions of the flat interface driven from bytes: bodies, ball, hinge, slider, corkscrew,
// universal, up-vector and user joints between them with raw float bit patterns, limits, pins,
// stiffness, destruction from callbacks, user rows and motor records written from the input's tail,
// the stop helpers, vehicles (tires with raw floats, steering, tire inputs and removals from the tire
// callback), ragdolls (bones of raw floats under any parent, limits, rebuilding and destruction at once
// or from the bones' force and report callbacks, bone bodies destroyed by the host), and steps. Nothing may
// crash; the world's joint count (contact joints aside) must match the harness's own; every body must stay
// finite unless a value above 1e6 was fed; and a second run of the same input must leave exactly as many
// blocks alive as the first (the first may make the engine's process-wide pools, which stay). Picks of a
// joint, vehicle, ragdoll or bone give a null handle now and then, which every function must ignore,
// leaving its outputs untouched.
//
// Layout: byte 0 gives the length of the row script, the input's last bytes; the bytes between are
// operations, one byte of code then its arguments. The stop helpers must never give NaN.

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgRagDoll.h"
#include "physics/dynamics/dgRagDollBone.h"
#include "physics/dynamics/dgWorld.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

constexpr float kWildMagnitude = 1.0e6f;
constexpr std::size_t kMaxBodies = 12;
constexpr std::size_t kMaxRagdolls = 4;
constexpr std::size_t kMaxBones = 16;
constexpr int kMaxSteps = 40;

// A count, not a set of addresses: a container ordered by address would run code that depends on where
// the allocator put the blocks, and that coverage would steer the fuzzer differently from run to run.
std::size_t g_liveBlocks = 0;

void* CountedAllocate(int size) {
    void* block = std::malloc(static_cast<std::size_t>(size));
    if (block != nullptr) {
        g_liveBlocks++;
    }
    return block;
}

void CountedRelease(void* block, int) {
    if (block != nullptr) {
        g_liveBlocks--;
    }
    std::free(block);
}

/// Bytes taken from the front; past the end every read gives zeros.
struct Cursor {
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_at = 0;

    bool Done() const { return m_at >= m_size; }
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    /// A raw float of four bytes.
    float Raw() {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; i++) {
            bits = (bits << 8) | Byte();
        }
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    /// One byte as a value in [-4, 4).
    float Small() { return (static_cast<float>(Byte()) - 128.0f) / 32.0f; }
};

/// A ragdoll of the harness and the bones of its present build.
struct RagDollRecord {
    dgRagDoll* m_ragdoll = nullptr;
    std::vector<dgRagDollBone*> m_bones;
};

/// What a ragdoll callback does to its own ragdoll, once.
enum class RagDollAction : std::uint8_t { kNone, kBegin, kBeginAndAdd, kDestroy };

/// What one run of the harness keeps.
struct Harness {
    dgWorld* m_world = nullptr;
    std::vector<dgBody*> m_bodies;
    std::vector<dgJointBase*> m_joints;
    Cursor m_rows;                        ///< the row script
    dgJointBase* m_doomedJoint = nullptr; ///< destroyed from the next force callback
    dgBody* m_doomedBody = nullptr;
    bool m_wild = false;
    float m_tireInput = 0.0f;            ///< what the tire callback sets
    bool m_removeTireInCallback = false; ///< the tire callback removes the first tire
    std::vector<RagDollRecord> m_ragdolls;
    RagDollAction m_forceAction = RagDollAction::kNone;  ///< done from a bone's force callback
    RagDollAction m_reportAction = RagDollAction::kNone; ///< done from the report of a bone

    /// A float of the script: small (flag clear) or raw (flag set); raw magnitudes above 1e6 make
    /// the run wild.
    float Value(Cursor& cursor, bool raw) {
        const float v = raw ? cursor.Raw() : cursor.Small();
        if (std::fabs(v) > kWildMagnitude) {
            m_wild = true;
        }
        return v;
    }
    void Vector(Cursor& cursor, bool raw, float* out) {
        for (int i = 0; i < 3; i++) {
            out[i] = Value(cursor, raw);
        }
    }
    dgBody* Body(std::uint8_t pick) const {
        return m_bodies.empty() ? nullptr : m_bodies[pick % m_bodies.size()];
    }
    /// A joint of the harness, or null (none, or one pick in eight).
    dgJointBase* Joint(std::uint8_t pick) const {
        return m_joints.empty() || pick % 8 == 7 ? nullptr : m_joints[pick % m_joints.size()];
    }
};

Harness* g_harness = nullptr;

void ForgetJoint(dgJointBase* joint) {
    std::vector<dgJointBase*>& joints = g_harness->m_joints;
    joints.erase(std::remove(joints.begin(), joints.end(), joint), joints.end());
    if (g_harness->m_doomedJoint == joint) {
        g_harness->m_doomedJoint = nullptr;
    }
}

void ForgetBody(dgBody* body) {
    std::vector<dgBody*>& bodies = g_harness->m_bodies;
    bodies.erase(std::remove(bodies.begin(), bodies.end(), body), bodies.end());
    if (g_harness->m_doomedBody == body) {
        g_harness->m_doomedBody = nullptr;
    }
}

void ForceAndDestroy(dgBody* body) {
    const float weight[3] = {0.0f, -9.81f, 0.0f};
    dgApiBodyAddForce(body, weight);
    dgApiDestroyJoint(dgApiBodyGetWorld(body), g_harness->m_doomedJoint);
    if (g_harness->m_doomedBody != nullptr) {
        dgApiBodyDestroy(dgApiBodyGetWorld(body), g_harness->m_doomedBody);
    }
}

/// Row commands from the script, from its start at every submit: up to eight per submit.
void ScriptedRows(dgJointBase* joint) {
    Cursor script = g_harness->m_rows;
    script.m_at = 0;
    for (int i = 0; i < 8 && !script.Done(); i++) {
        const std::uint8_t code = script.Byte();
        const bool raw = (code & 0x80) != 0;
        // A row function aimed at another joint, outside that joint's submit, must do nothing.
        dgJointBase* target = (code & 0x40) != 0 ? g_harness->Joint(script.Byte()) : joint;
        float a[3];
        float b[3];
        float c[3];
        switch (code % 10) {
        case 0:
            g_harness->Vector(script, raw, a);
            g_harness->Vector(script, raw, b);
            g_harness->Vector(script, raw, c);
            dgApiUserJointAddLinearRow(target, a, b, c);
            break;
        case 1:
            g_harness->Vector(script, raw, a);
            dgApiUserJointAddAngularRow(target, g_harness->Value(script, raw), a);
            break;
        case 2: {
            float halves[12];
            for (float& v : halves) {
                v = g_harness->Value(script, raw);
            }
            dgApiUserJointAddGeneralRow(target, halves, halves + 6);
            break;
        }
        case 3:
            dgApiUserJointSetRowMaximumFriction(target, g_harness->Value(script, raw));
            break;
        case 4:
            dgApiUserJointSetRowMinimumFriction(target, g_harness->Value(script, raw));
            break;
        case 5:
            dgApiUserJointSetRowAcceleration(target, g_harness->Value(script, raw));
            break;
        case 6:
            dgApiUserJointSetRowSpringDamperAcceleration(target, g_harness->Value(script, raw),
                                                         g_harness->Value(script, raw));
            break;
        case 7:
            dgApiUserJointSetRowStiffness(target, g_harness->Value(script, raw));
            break;
        case 8:
            Check(std::isfinite(dgApiUserJointGetRowForce(target, static_cast<int>(script.Byte()) - 8)) ||
                  g_harness->m_wild);
            break;
        default:
            dgApiJointSetStiffness(joint, g_harness->Value(script, raw));
            break;
        }
    }
}

/// A ball callback that turns the twist limit on or off each submit.
void ToggleTwist(dgJointBase* joint) {
    const float pin[3] = {0.0f, -1.0f, 0.0f};
    dgApiBallSetConeLimits(joint, pin, 0.5f, g_harness->m_world->m_stepStamp % 2 == 0 ? 0.3f : 0.0f);
}

/// Every stop helper with the record; each acts only on its own kind of joint and none may give NaN.
void CheckStops(const dgJointBase* joint, const dgJointMotorDesc* desc, float target) {
    const float stops[] = {dgApiHingeCalculateStopAlpha(joint, desc, target),
                           dgApiSliderCalculateStopAccel(joint, desc, target),
                           dgApiCorkscrewCalculateStopAlpha(joint, desc, target),
                           dgApiCorkscrewCalculateStopAccel(joint, desc, target),
                           dgApiUniversalCalculateStopAlpha0(joint, desc, target),
                           dgApiUniversalCalculateStopAlpha1(joint, desc, target)};
    for (const float stop : stops) {
        Check(!std::isnan(stop));
    }
}

/// Motor records from the script, from its start at every submit: the answer, then per record a byte
/// whose low four bits pick the fields to overwrite (accel, minimum, maximum, step) and whose top bit
/// makes them raw, the fields, and a target for the stop helpers.
unsigned ScriptedMotors(dgJointBase* joint, dgJointMotorDesc* desc, int count) {
    Cursor script = g_harness->m_rows;
    script.m_at = 0;
    const unsigned answer = script.Byte();
    for (int i = 0; i < count; i++) {
        const std::uint8_t fields = script.Byte();
        const bool raw = (fields & 0x80) != 0;
        float* values[4] = {&desc[i].m_accel, &desc[i].m_minFriction, &desc[i].m_maxFriction,
                            &desc[i].m_timestep};
        for (int f = 0; f < 4; f++) {
            if ((fields & (1 << f)) != 0) {
                *values[f] = g_harness->Value(script, raw);
            }
        }
        CheckStops(joint, &desc[i], g_harness->Value(script, raw));
    }
    return answer;
}

unsigned OneMotor(dgJointBase* joint, dgJointMotorDesc* desc) {
    return ScriptedMotors(joint, desc, 1);
}

unsigned TwoMotors(dgJointBase* joint, dgJointMotorDesc* desc) {
    return ScriptedMotors(joint, desc, 2);
}

dgJointBase* Adopt(Harness& h, dgJointBase* joint) {
    if (joint != nullptr) {
        dgApiJointSetDestructor(joint, ForgetJoint);
        h.m_joints.push_back(joint);
    }
    return joint;
}

bool IsFinite(const dgBody* body) {
    float m[16];
    float v[3];
    float w[3];
    dgApiBodyGetMatrix(body, m);
    dgApiBodyGetVelocity(body, v);
    dgApiBodyGetOmega(body, w);
    return std::all_of(m, m + 16, [](float x) { return std::isfinite(x); }) &&
           std::all_of(v, v + 3, [](float x) { return std::isfinite(x); }) &&
           std::all_of(w, w + 3, [](float x) { return std::isfinite(x); });
}

void CheckWorld(const Harness& h) {
    const dgInt32 contacts = h.m_world->m_contactJointPool.m_activeList.GetCount();
    dgInt32 boneJoints = 0;
    for (const RagDollRecord& record : h.m_ragdolls) {
        for (const dgRagDollBone* bone : record.m_bones) {
            boneJoints += bone->m_joint != nullptr ? 1 : 0;
        }
    }
    Check(h.m_world->GetJointCount() - contacts - boneJoints == static_cast<dgInt32>(h.m_joints.size()));
    for (const dgBody* body : h.m_bodies) {
        Check(h.m_wild || IsFinite(body));
    }
}

void AddBody(Harness& h, Cursor& ops) {
    const std::uint8_t kind = ops.Byte();
    float position[3];
    h.Vector(ops, false, position);
    const float mass = 0.5f + static_cast<float>(ops.Byte() % 8);
    if (h.m_bodies.size() >= kMaxBodies) {
        return;
    }
    dgCollision* shape = kind % 2 == 0 ? dgApiCollisionCreateBox(h.m_world, 0.5f, 0.5f, 0.5f, nullptr)
                                       : dgApiCollisionCreateSphere(h.m_world, 0.3f, 0.3f, 0.3f, nullptr);
    dgBody* body = dgApiBodyCreate(h.m_world, shape);
    dgApiCollisionRelease(h.m_world, shape);
    dgApiBodySetMassMatrix(body, kind % 5 == 4 ? 0.0f : mass, mass, mass, mass);
    const float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, position[0], position[1], position[2], 1};
    dgApiBodySetMatrix(body, matrix);
    dgApiBodySetForceAndTorqueCallback(body, ForceAndDestroy);
    dgApiBodySetDestructorCallback(body, ForgetBody);
    h.m_bodies.push_back(body);
}

/// Every input setter on every tire (steering too) with a value of the step's own, then maybe a removal;
/// the vehicle's solver runs on them in each of its sub-steps.
void VehicleInputs(dgJointBase* vehicle) {
    const float value = g_harness->m_tireInput;
    for (auto* tire = dgApiVehicleGetFirstTireID(vehicle); tire != nullptr;
         tire = dgApiVehicleGetNextTireID(vehicle, tire)) {
        dgApiVehicleSetTireTorque(vehicle, tire, value);
        dgApiVehicleSetTireSteerAngle(vehicle, tire, value);
        dgApiVehicleSetTireBrakeAcceleration(vehicle, tire, value, -value);
        dgApiVehicleSetTireMaxLongitudinalSlideSpeed(vehicle, tire, value);
        dgApiVehicleSetTireMaxSideSlideSpeed(vehicle, tire, -value);
        dgApiVehicleSetTireLongitudinalSlideCoef(vehicle, tire, value);
        dgApiVehicleSetTireSideSlideCoef(vehicle, tire, value);
        Check(std::isfinite(dgApiVehicleGetTireMaxBrakeAcceleration(vehicle, tire)));
    }
    if (g_harness->m_removeTireInCallback) {
        dgApiVehicleRemoveTire(vehicle, dgApiVehicleGetFirstTireID(vehicle));
        Check(dgApiVehicleAddTire(vehicle, nullptr, nullptr, 1, 1, 1, 0, 0, 0, nullptr, 0) == nullptr);
    }
}

/// A vehicle on a body (op 6) or, on a joint (op 7), one of: a tire of raw floats, steering, a removal,
/// the tire callback set or cleared, a reset and every getter.
void RunVehicleOperation(Harness& h, Cursor& ops, int op, bool raw) {
    if (op == 6) {
        dgBody* chassis = h.Body(ops.Byte());
        float up[3];
        h.Vector(ops, raw, up);
        Adopt(h, dgApiVehicleCreate(h.m_world, up, chassis));
        return;
    }
    dgJointBase* vehicle = h.Joint(ops.Byte());
    const std::uint8_t choice = ops.Byte();
    dgVehicleTireHandle* tire = dgApiVehicleGetFirstTireID(vehicle);
    for (int skip = ops.Byte() % 4; skip > 0 && tire != nullptr; skip--) {
        tire = dgApiVehicleGetNextTireID(vehicle, tire);
    }
    switch (choice % 5) {
    case 0: {
        float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        h.Vector(ops, raw, &matrix[12]);
        matrix[0] = h.Value(ops, raw);
        float pin[3];
        h.Vector(ops, raw, pin);
        const float mass = h.Value(ops, raw);
        const float width = h.Value(ops, raw);
        const float radius = h.Value(ops, raw);
        dgApiVehicleAddTire(vehicle, matrix, pin, mass, width, radius, h.Value(ops, raw), h.Value(ops, raw),
                            h.Value(ops, raw), nullptr, ops.Byte());
        break;
    }
    case 1:
        dgApiVehicleSetTireSteerAngle(vehicle, tire, h.Value(ops, raw));
        break;
    case 2:
        dgApiVehicleRemoveTire(vehicle, tire);
        break;
    case 3:
        h.m_tireInput = h.Value(ops, raw);
        h.m_removeTireInCallback = ops.Byte() % 4 == 0;
        dgApiVehicleSetTireCallback(vehicle, choice % 2 == 0 ? VehicleInputs : nullptr);
        break;
    default: {
        dgApiVehicleReset(vehicle);
        float matrix[16] = {};
        dgApiVehicleGetTireMatrix(vehicle, tire, matrix);
        Check(vehicle != nullptr || std::all_of(matrix, matrix + 16, [](float x) { return x == 0.0f; }));
        const float readings[] = {
            dgApiVehicleGetTireSteerAngle(vehicle, tire), dgApiVehicleGetTireOmega(vehicle, tire),
            dgApiVehicleGetTireNormalLoad(vehicle, tire), dgApiVehicleGetTireSideSpeed(vehicle, tire),
            dgApiVehicleGetTireLongitudinalSpeed(vehicle, tire)};
        for (const float reading : readings) {
            Check(h.m_wild || std::isfinite(reading));
        }
        Check(dgApiVehicleTireIsAirborne(vehicle, tire) + dgApiVehicleTireLostTraction(vehicle, tire) +
                  dgApiVehicleTireLostSideGrip(vehicle, tire) >=
              0);
        break;
    }
    }
}

/// Codes 120 to 127 (either raw flag): 0-3 create a hinge, slider, corkscrew or universal joint, 4 sets
/// or clears the motor callbacks of a joint (every kind's setter, only its own acts), 5 reads every
/// getter and stop helper of a joint, 6 and 7 are vehicle operations.
void RunMotorOperation(Harness& h, Cursor& ops, int op, bool raw) {
    if (op >= 6) {
        RunVehicleOperation(h, ops, op, raw);
        return;
    }
    if (op <= 3) {
        dgBody* child = h.Body(ops.Byte());
        const std::uint8_t pick = ops.Byte();
        dgBody* parent = pick % 3 == 0 ? nullptr : h.Body(pick);
        float pivot[3];
        float pin0[3];
        float pin1[3];
        h.Vector(ops, raw, pivot);
        h.Vector(ops, raw, pin0);
        h.Vector(ops, raw, pin1);
        dgJointBase* joint = op == 0   ? dgApiJointCreateHinge(h.m_world, pivot, pin0, child, parent)
                             : op == 1 ? dgApiJointCreateSlider(h.m_world, pivot, pin0, child, parent)
                             : op == 2
                                 ? dgApiJointCreateCorkscrew(h.m_world, pivot, pin0, child, parent)
                                 : dgApiJointCreateUniversal(h.m_world, pivot, pin0, pin1, child, parent);
        Adopt(h, joint);
        return;
    }
    dgJointBase* joint = h.Joint(ops.Byte());
    const std::uint8_t choice = ops.Byte();
    if (op == 4) {
        const bool set = choice % 2 == 0;
        dgApiHingeSetUserCallback(joint, set ? OneMotor : nullptr);
        dgApiSliderSetUserCallback(joint, set ? OneMotor : nullptr);
        dgApiCorkscrewSetUserCallback(joint, set ? TwoMotors : nullptr);
        dgApiUniversalSetUserCallback(joint, set ? TwoMotors : nullptr);
        return;
    }
    const float readings[] = {dgApiHingeGetJointAngle(joint),      dgApiHingeGetJointOmega(joint),
                              dgApiSliderGetJointPosit(joint),     dgApiSliderGetJointVeloc(joint),
                              dgApiCorkscrewGetJointPosit(joint),  dgApiCorkscrewGetJointVeloc(joint),
                              dgApiCorkscrewGetJointAngle(joint),  dgApiCorkscrewGetJointOmega(joint),
                              dgApiUniversalGetJointAngle0(joint), dgApiUniversalGetJointAngle1(joint),
                              dgApiUniversalGetJointOmega0(joint), dgApiUniversalGetJointOmega1(joint)};
    for (const float reading : readings) {
        Check(h.m_wild || std::isfinite(reading));
    }
    void (*const forces[])(const dgJointBase*, float*) = {dgApiHingeGetJointForce, dgApiSliderGetJointForce,
                                                          dgApiCorkscrewGetJointForce,
                                                          dgApiUniversalGetJointForce};
    for (const auto get : forces) {
        float force[3] = {};
        get(joint, force);
        Check(h.m_wild || std::isfinite(force[0] + force[1] + force[2]));
    }
    const dgJointMotorDesc desc = {h.Value(ops, raw), h.Value(ops, raw), h.Value(ops, raw),
                                   h.Value(ops, raw)};
    CheckStops(joint, choice % 4 == 0 ? nullptr : &desc, h.Value(ops, raw));
}

RagDollRecord* RecordOf(Harness& h, const dgRagDoll* ragdoll) {
    for (RagDollRecord& record : h.m_ragdolls) {
        if (record.m_ragdoll == ragdoll) {
            return &record;
        }
    }
    return nullptr;
}

/// A ragdoll of the harness, or null (none, or one pick in five).
RagDollRecord* PickRagDoll(Harness& h, std::uint8_t pick) {
    return h.m_ragdolls.empty() || pick % 5 == 4 ? nullptr : &h.m_ragdolls[pick % h.m_ragdolls.size()];
}

dgRagDoll* RagDollOf(const RagDollRecord* record) {
    return record != nullptr ? record->m_ragdoll : nullptr;
}

/// A bone of any ragdoll of the harness, or null.
dgRagDollBone* PickBone(Harness& h, std::uint8_t pick) {
    std::vector<dgRagDollBone*> all;
    for (const RagDollRecord& record : h.m_ragdolls) {
        all.insert(all.end(), record.m_bones.begin(), record.m_bones.end());
    }
    return all.empty() || pick % 5 == 0 ? nullptr : all[pick % all.size()];
}

/// A bone of a box or sphere under any parent (another ragdoll's bone too), with the script's values.
void AddRagDollBone(Harness& h, Cursor& ops, bool raw) {
    RagDollRecord* record = PickRagDoll(h, ops.Byte());
    dgRagDollBone* parent = PickBone(h, ops.Byte());
    const std::uint8_t kind = ops.Byte();
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    h.Vector(ops, raw, &matrix[12]);
    matrix[kind % 3] = h.Value(ops, raw);
    float size[3];
    h.Vector(ops, raw, size);
    const float mass = h.Value(ops, raw);
    if (record == nullptr) {
        Check(dgApiRagDollAddBone(nullptr, parent, nullptr, mass, matrix, nullptr, size) == nullptr);
        return;
    }
    if (record->m_bones.size() >= kMaxBones) {
        return;
    }
    dgCollision* shape = kind % 2 == 0 ? dgApiCollisionCreateBox(h.m_world, 0.4f, 0.1f, 0.1f, nullptr)
                                       : dgApiCollisionCreateSphere(h.m_world, 0.1f, 0.1f, 0.1f, nullptr);
    dgRagDollBone* bone = dgApiRagDollAddBone(record->m_ragdoll, parent, nullptr, mass, matrix,
                                              kind % 7 == 6 ? nullptr : shape, size);
    dgApiCollisionRelease(h.m_world, shape);
    if (bone != nullptr) {
        dgApiRagDollBoneSetID(bone, kind);
        record->m_bones.push_back(bone);
    }
}

/// Begin forgets the old bones; destruction forgets the record as well.
void ActOnRagDoll(Harness& h, dgRagDoll* ragdoll, RagDollAction action) {
    RagDollRecord* record = RecordOf(h, ragdoll);
    if (record == nullptr || action == RagDollAction::kNone) {
        return;
    }
    if (action == RagDollAction::kDestroy) {
        dgApiRagDollDestroy(h.m_world, ragdoll);
        h.m_ragdolls.erase(h.m_ragdolls.begin() + (record - h.m_ragdolls.data()));
        return;
    }
    dgApiRagDollBegin(ragdoll);
    record->m_bones.clear();
    if (action == RagDollAction::kBeginAndAdd) {
        dgCollision* shape = dgApiCollisionCreateBox(h.m_world, 0.4f, 0.1f, 0.1f, nullptr);
        const float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 2, 0, 1};
        const float size[3] = {0.4f, 0.1f, 0.1f};
        if (dgRagDollBone* bone = dgApiRagDollAddBone(ragdoll, nullptr, nullptr, 1.0f, matrix, shape, size)) {
            record->m_bones.push_back(bone);
        }
        dgApiCollisionRelease(h.m_world, shape);
        dgApiRagDollEnd(ragdoll);
    }
}

void RagDollWeight(dgBody* body) {
    const float weight[3] = {0.0f, -9.81f, 0.0f};
    dgApiBodyAddForce(body, weight);
    const RagDollAction action = g_harness->m_forceAction;
    g_harness->m_forceAction = RagDollAction::kNone;
    ActOnRagDoll(*g_harness, body->m_bone->m_ragdoll, action);
}

void RagDollReport(dgRagDollBone* bone) {
    float matrix[16];
    dgApiRagDollBoneGetGlobalMatrix(bone, matrix);
    Check(g_harness->m_wild || std::all_of(matrix, matrix + 16, [](float x) { return std::isfinite(x); }));
    const RagDollAction action = g_harness->m_reportAction;
    g_harness->m_reportAction = RagDollAction::kNone;
    ActOnRagDoll(*g_harness, bone->m_ragdoll, action);
}

/// Codes 112 to 119 (either raw flag): 0 creates a ragdoll and begins its build, 1 adds a bone, 2 ends a
/// build, 3 sets a bone's limits, 4 begins, rebuilds or destroys a ragdoll at once, 5 arms an action for
/// the next force or report callback, 6 destroys a bone's body as a host may, 7 reads a bone back.
void RunRagDollOperation(Harness& h, Cursor& ops, int op, bool raw) {
    switch (op) {
    case 0: {
        // Past the limit the calls go to a null ragdoll.
        dgRagDoll* ragdoll = h.m_ragdolls.size() < kMaxRagdolls ? dgApiRagDollCreate(h.m_world) : nullptr;
        if (ragdoll != nullptr) {
            h.m_ragdolls.push_back({ragdoll, {}});
        }
        dgApiRagDollBegin(ragdoll);
        const std::uint8_t hooks = ops.Byte();
        dgApiRagDollSetForceAndTorqueCallback(ragdoll, hooks % 2 == 0 ? RagDollWeight : nullptr);
        dgApiRagDollSetTransformCallback(ragdoll, hooks % 3 == 0 ? nullptr : RagDollReport);
        break;
    }
    case 1:
        AddRagDollBone(h, ops, raw);
        break;
    case 2:
        dgApiRagDollEnd(RagDollOf(PickRagDoll(h, ops.Byte())));
        break;
    case 3: {
        dgRagDollBone* bone = PickBone(h, ops.Byte());
        float pin[3];
        h.Vector(ops, raw, pin);
        const float minAngle = h.Value(ops, raw);
        const float maxAngle = h.Value(ops, raw);
        const float twist = h.Value(ops, raw);
        dgApiRagDollBoneSetLimits(bone, pin, minAngle, maxAngle, twist, nullptr, 0.0f, 0.0f);
        break;
    }
    case 4: {
        RagDollRecord* record = PickRagDoll(h, ops.Byte());
        const auto action = static_cast<RagDollAction>(1 + ops.Byte() % 3);
        if (record != nullptr) {
            ActOnRagDoll(h, record->m_ragdoll, action);
        } else {
            dgApiRagDollBegin(nullptr);
            dgApiRagDollEnd(nullptr);
        }
        break;
    }
    case 5: {
        const std::uint8_t choice = ops.Byte();
        (choice % 2 == 0 ? h.m_forceAction : h.m_reportAction) = static_cast<RagDollAction>(choice / 2 % 4);
        break;
    }
    case 6:
        if (dgBody* body = dgApiRagDollBoneGetBody(PickBone(h, ops.Byte()))) {
            dgApiBodyDestroy(h.m_world, body);
        }
        break;
    default: {
        // A null bone reads nothing and leaves the matrix as it was; a null ragdoll finds no bone.
        dgRagDollBone* bone = PickBone(h, ops.Byte());
        float matrix[16] = {};
        dgApiRagDollBoneGetLocalMatrix(bone, matrix);
        Check(h.m_wild || std::all_of(matrix, matrix + 16, [](float x) { return std::isfinite(x); }));
        Check(bone != nullptr || std::all_of(matrix, matrix + 16, [](float x) { return x == 0.0f; }));
        Check(bone != nullptr || dgApiRagDollBoneGetUserData(bone) == nullptr);
        RagDollRecord* record = bone != nullptr ? RecordOf(h, bone->m_ragdoll) : nullptr;
        Check(bone == nullptr || record != nullptr);
        const dgRagDollBone* found = dgApiRagDollFindBone(RagDollOf(record), ops.Byte());
        Check(found == nullptr ||
              (record != nullptr &&
               std::find(record->m_bones.begin(), record->m_bones.end(), found) != record->m_bones.end()));
        break;
    }
    }
}

void RunOperation(Harness& h, Cursor& ops, int& steps) {
    const std::uint8_t code = ops.Byte();
    const bool raw = (code & 0x80) != 0;
    constexpr int kFirstRagDollCode = 112;
    constexpr int kFirstMotorCode = 120;
    if ((code & 0x7F) >= kFirstMotorCode) {
        RunMotorOperation(h, ops, (code & 0x7F) - kFirstMotorCode, raw);
        return;
    }
    if ((code & 0x7F) >= kFirstRagDollCode) {
        RunRagDollOperation(h, ops, (code & 0x7F) - kFirstRagDollCode, raw);
        return;
    }
    float a[3];
    switch (code % 13) {
    case 0:
        AddBody(h, ops);
        break;
    case 1: {
        dgBody* child = h.Body(ops.Byte());
        const std::uint8_t pick = ops.Byte();
        h.Vector(ops, raw, a);
        Adopt(h, dgApiJointCreateBall(h.m_world, a, child, pick % 3 == 0 ? nullptr : h.Body(pick)));
        break;
    }
    case 2: {
        dgBody* body = h.Body(ops.Byte());
        h.Vector(ops, raw, a);
        Adopt(h, dgApiJointCreateUpVector(h.m_world, a, body));
        break;
    }
    case 3: {
        dgBody* child = h.Body(ops.Byte());
        const std::uint8_t pick = ops.Byte();
        const int rows = static_cast<int>(static_cast<std::int16_t>(ops.Byte() << 8 | ops.Byte()));
        Adopt(h, dgApiJointCreateUser(h.m_world, rows, pick % 5 == 0 ? nullptr : ScriptedRows, child,
                                      pick % 3 == 0 ? nullptr : h.Body(pick)));
        break;
    }
    case 4: {
        dgJointBase* joint = h.Joint(ops.Byte());
        h.Vector(ops, raw, a);
        const float cone = h.Value(ops, raw);
        const float twist = h.Value(ops, raw);
        dgApiBallSetConeLimits(joint, a, cone, twist);
        break;
    }
    case 5: {
        dgJointBase* joint = h.Joint(ops.Byte());
        h.Vector(ops, raw, a);
        dgApiUpVectorSetPin(joint, a);
        dgApiUpVectorGetPin(joint, a);
        break;
    }
    case 6: {
        dgJointBase* joint = h.Joint(ops.Byte());
        const float stiffness = h.Value(ops, raw);
        dgApiJointSetStiffness(joint, stiffness);
        Check(dgApiJointGetStiffness(joint) >= 0.0f && dgApiJointGetStiffness(joint) <= 1.0f);
        const int state = ops.Byte() % 2;
        dgApiJointSetCollisionState(joint, state);
        dgApiJointSetUserData(joint, &h);
        Check(dgApiJointGetCollisionState(joint) == (joint != nullptr ? state : 0));
        Check(dgApiJointGetUserData(joint) == (joint != nullptr ? &h : nullptr));
        break;
    }
    case 7:
        dgApiDestroyJoint(h.m_world, h.Joint(ops.Byte()));
        break;
    case 8:
        if (dgBody* body = h.Body(ops.Byte())) {
            dgApiBodyDestroy(h.m_world, body);
        }
        break;
    case 9:
        h.m_doomedJoint = h.Joint(ops.Byte());
        break;
    case 10:
        h.m_doomedBody = h.Body(ops.Byte());
        break;
    case 11: {
        dgJointBase* joint = h.Joint(ops.Byte());
        dgApiBallSetUserCallback(joint, ToggleTwist);
        float out[3] = {};
        dgApiBallGetJointAngle(joint, out);
        dgApiBallGetJointOmega(joint, out);
        dgApiBallGetJointForce(joint, out);
        Check(joint != nullptr || (out[0] == 0.0f && out[1] == 0.0f && out[2] == 0.0f));
        break;
    }
    default: {
        const float dt = raw ? ops.Raw() : static_cast<float>(ops.Byte()) / 4096.0f;
        if (steps < kMaxSteps) {
            steps++;
            dgApiWorldUpdate(h.m_world, dt);
            CheckWorld(h);
        }
        break;
    }
    }
}

/// One run of the input in a world of its own under the counting hooks.
void Run(const std::uint8_t* data, std::size_t size) {
    Harness h;
    g_harness = &h;
    const std::size_t scriptSize = std::min<std::size_t>(data[0], size - 1);
    h.m_rows = Cursor{data + size - scriptSize, scriptSize, 0};
    Cursor ops{data + 1, size - 1 - scriptSize, 0};
    h.m_world = dgApiWorldCreate(CountedAllocate, CountedRelease);
    Check(h.m_world != nullptr);
    int steps = 0;
    while (!ops.Done()) {
        RunOperation(h, ops, steps);
    }
    if (steps < kMaxSteps) {
        dgApiWorldUpdate(h.m_world, 1.0f / 60.0f);
        CheckWorld(h);
    }
    dgApiWorldDestroy(h.m_world);
    Check(h.m_joints.empty() && h.m_bodies.empty());
    g_harness = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    Run(data, size);
    const std::size_t afterFirst = g_liveBlocks;
    Run(data, size);
    Check(g_liveBlocks == afterFirst);
    return 0;
}
