#include "scene3d/SceneContactCallbacks.h"

#include "IOrvalen3D.h"
#include "scene3d/IOrvalen3DD3DCollisionObject.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"
#include "scene3d/IOrvalen3DD3DObject.h"
#include "scene3d/SceneEventTables.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::uint32_t kObjectKind = 0;
constexpr std::uint32_t kCollisionObjectKind = 1;
constexpr std::uint32_t kLevelKind = 2;
constexpr std::int32_t kNoContacts = 2;
/// Face attributes number a level's (or static object's) groups 1 to 1000 above owner id x 1000.
constexpr std::uint32_t kGroupsPerOwner = 1000;

/// What the callbacks read of a 3D object or collision object.
struct ContactParty {
    std::uint32_t Id = 0;
    std::int32_t Mode = 0;
    bool Active = false;
};

template <typename Owner> ContactParty PartyOf(const void* owner) {
    const auto& object = *static_cast<const Owner*>(owner);
    return {static_cast<std::uint32_t>(object.ID), object.CollisionMode, object.ActiveFlag};
}

/// False for a level, or a kind the scene does not make.
bool ReadParty(const BodyUserData& record, ContactParty& party) {
    switch (record.BodyKind) {
    case kObjectKind:
        party = PartyOf<IOrvalen3DD3DObject>(record.Owner);
        return true;
    case kCollisionObjectKind:
        party = PartyOf<IOrvalen3DD3DCollisionObject>(record.Owner);
        return true;
    default:
        return false;
    }
}

/// What ContactBegin found out about the pair, for the points and the end of the same pair.
struct PairState {
    const PairRegistrations* registrations = nullptr; ///< of the pair's two object ids
    bool touching = false;       ///< a contact point of the pair came: its registrations began a touch
    bool noContacts = false;     ///< one of the two objects is in collision mode 2
    bool levelFaces = false;     ///< points on faces with an attribute belong to the level branch
    bool dropLevelFaces = false; ///< a level beside a body the scene did not make
    bool hasObject = false;      ///< `object` is the side touching the level's faces
    ContactParty object;
    const IOrvalen3DD3DLevelObject* level = nullptr; ///< the level touched, null beside a foreign body
    LevelEventRegistration* levelMatches = nullptr;  ///< matched during this pair, through NextMatch
};
PairState g_pair;

/// One contact point as a registration records it.
struct ContactSample {
    float normalSpeed = 0.0f;
    float position[3] = {};
    float normal[3] = {};
    float tangentSpeed = 0.0f;
    float tangent[3] = {};
};

ContactSample Sample(const dgContactMaterial* contact, const dgContactJoint* joint) {
    ContactSample sample;
    sample.normalSpeed = dgApiContactGetNormalSpeed(contact, joint);
    dgApiContactGetPositionAndNormal(contact, sample.position, sample.normal);
    const float speed0 = dgApiContactGetTangentSpeed(contact, joint, 0);
    const float speed1 = dgApiContactGetTangentSpeed(contact, joint, 1);
    float tangents[2][3];
    dgApiContactGetTangentDirections(contact, tangents[0], tangents[1]);
    const int larger = speed1 > speed0 ? 1 : 0;
    sample.tangentSpeed = larger == 1 ? speed1 : speed0;
    std::copy_n(tangents[larger], 3, sample.tangent);
    return sample;
}

/// The normal values follow the strongest point of the touch, the tangent values the last.
void Record(EventRecord& record, const ContactSample& sample) {
    if (sample.normalSpeed > record.NormalSpeed) {
        record.NormalSpeed = sample.normalSpeed;
        std::copy_n(sample.position, 3, record.Position);
        std::copy_n(sample.normal, 3, record.Normal);
    }
    record.TangentSpeed = sample.tangentSpeed;
    std::copy_n(sample.tangent, 3, record.Tangent);
}

void CopyRecord(const EventRecord& record, EventInfo& info) {
    std::copy_n(record.Position, 3, info.Position);
    std::copy_n(record.Normal, 3, info.Normal);
    std::copy_n(record.Tangent, 3, info.Tangent);
    info.NormalSpeed = record.NormalSpeed;
    info.TangentSpeed = record.TangentSpeed;
}

const BodyUserData* RecordOf(const dgBody* body) {
    return static_cast<const BodyUserData*>(dgApiBodyGetUserData(body));
}

/// One side was not made by the scene: the other side's object is taken as touching level faces.
unsigned char BeginBesideForeignBody(const BodyUserData& known) {
    g_pair.levelFaces = true;
    if (known.BodyKind == kLevelKind) {
        g_pair.dropLevelFaces = true;
        return 1;
    }
    if (!ReadParty(known, g_pair.object)) {
        return 0;
    }
    g_pair.hasObject = true;
    return g_pair.object.Mode == kNoContacts ? 0 : 1;
}

/// The object side of a pair with a level is the current object of the level's face points.
unsigned char BeginOnLevel(const BodyUserData& record0, const BodyUserData& record1) {
    const bool levelFirst = record0.BodyKind == kLevelKind;
    g_pair.levelFaces = true;
    g_pair.level = static_cast<const IOrvalen3DD3DLevelObject*>((levelFirst ? record0 : record1).Owner);
    g_pair.hasObject = ReadParty(levelFirst ? record1 : record0, g_pair.object);
    return 1;
}

/// Every registration of the pair starts a new touch; its event's record names the pair in the
/// registration's order. Only a contact point begins a touch: the engine offers a pair as soon as their
/// boxes overlap, and a pair that does not touch must not wipe the record of its last touch.
void BeginTouch(const PairRegistrations& registrations) {
    SceneEventTables& tables = SharedEventTables();
    for (EventRegistration* registration : registrations) {
        registration->NormalSpeed = 0.0f;
        registration->TangentSpeed = 0.0f;
        registration->Touched = 1;
        EventInfo& info = tables.EventInfos[registration->EventId];
        info.IdA = registration->IdA;
        info.IdB = registration->IdB;
    }
}

/// A point on a level face: the first point of an object on a registered material fires the level
/// event, is recorded, and is dropped when the object or the material takes no contacts. Fired events
/// are not matched again until the host resets them.
unsigned char ProcessLevelFace(dgContactMaterial* contact, const dgContactJoint* joint, std::uint32_t attribute) {
    if (g_pair.dropLevelFaces) {
        return 0;
    }
    if (!g_pair.hasObject) {
        return 1;
    }
    if (g_pair.object.Active) {
        dgApiContactSetFrictionState(contact, 0, 0);
        dgApiContactSetFrictionState(contact, 0, 1);
    }
    SceneEventTables& tables = SharedEventTables();
    const LevelRegistrations* candidates =
        g_pair.level != nullptr ? tables.ObjectOnFace(g_pair.object.Id, attribute) : nullptr;
    if (candidates == nullptr) {
        return 1;
    }
    bool matched = false;
    std::int32_t firedHere = -1;
    ContactSample sample;
    for (LevelEventRegistration* registration : *candidates) {
        const std::int32_t id = registration->EventId;
        // An id fired by this very point still matches its later registrations.
        if (registration->Level != g_pair.level || (tables.LevelEventFired[id] && id != firedHere)) {
            continue;
        }
        if (!matched) {
            sample = Sample(contact, joint);
            matched = true;
        }
        tables.LevelEventFired[id] = true;
        firedHere = id;
        registration->NormalSpeed = 0.0f;
        registration->TangentSpeed = 0.0f;
        registration->Touched = 1;
        registration->NextMatch = g_pair.levelMatches;
        g_pair.levelMatches = registration;
        Record(*registration, sample);
    }
    if (!matched) {
        return 1;
    }
    const std::uint32_t group = (attribute - 1) % kGroupsPerOwner;
    return g_pair.object.Mode == kNoContacts || g_pair.level->MaterialCollisionModes[group] == kNoContacts ? 0 : 1;
}

} // namespace

unsigned char ContactBegin(dgMaterialPair*, dgBody* body0, dgBody* body1) {
    g_pair = PairState{};
    const BodyUserData* record0 = RecordOf(body0);
    const BodyUserData* record1 = RecordOf(body1);
    if (record0 == nullptr || record1 == nullptr) {
        const BodyUserData* known = record0 != nullptr ? record0 : record1;
        return known != nullptr ? BeginBesideForeignBody(*known) : 1;
    }
    if (record0->BodyKind == kLevelKind || record1->BodyKind == kLevelKind) {
        return BeginOnLevel(*record0, *record1);
    }
    ContactParty a;
    ContactParty b;
    if (!ReadParty(*record0, a) || !ReadParty(*record1, b)) {
        return 0;
    }
    g_pair.noContacts = a.Mode == kNoContacts || b.Mode == kNoContacts;
    g_pair.registrations = SharedEventTables().Pair(a.Id, b.Id);
    return 1;
}

unsigned char ContactProcess(dgContactMaterial* contact, dgContactJoint* joint) {
    // Static built objects carry face attributes too; only a level pair reads them as level faces.
    const std::uint32_t attribute = dgApiContactGetFaceAttribute(contact);
    if (attribute != 0 && g_pair.levelFaces) {
        return ProcessLevelFace(contact, joint, attribute);
    }
    if (g_pair.registrations == nullptr || g_pair.registrations->empty()) {
        return 1;
    }
    if (!g_pair.touching) {
        g_pair.touching = true;
        BeginTouch(*g_pair.registrations);
    }
    SceneEventTables& tables = SharedEventTables();
    for (const EventRegistration* registration : *g_pair.registrations) {
        tables.EventFired[registration->EventId] = true;
    }
    if (g_pair.noContacts) {
        return 0;
    }
    const ContactSample sample = Sample(contact, joint);
    for (EventRegistration* registration : *g_pair.registrations) {
        Record(*registration, sample);
    }
    return 1;
}

void ContactEnd(dgMaterialPair*) {
    SceneEventTables& tables = SharedEventTables();
    if (g_pair.touching) {
        for (const EventRegistration* registration : *g_pair.registrations) {
            CopyRecord(*registration, tables.EventInfos[registration->EventId]);
        }
    }
    for (const LevelEventRegistration* match = g_pair.levelMatches; match != nullptr; match = match->NextMatch) {
        CopyRecord(*match, tables.LevelEventInfos[match->EventId]);
    }
}

void InstallContactCallbacks(dgWorld* world, int id0, int id1) {
    dgApiMaterialSetCollisionCallback(world, id0, id1, nullptr, ContactBegin, ContactProcess, ContactEnd);
}
