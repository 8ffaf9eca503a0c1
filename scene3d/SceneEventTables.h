#pragma once
// The contact and level event tables every scene of the process shares: registrations, fired flags and
// the records the host reads, for 1000 event ids and 1000 level event ids. A scene's construction
// clears them, so a second scene takes over the first one's events.
//
// Besides the per-id lists, registrations are indexed by what the contact callbacks know of a touching
// pair (the two object ids; the object id and face attribute), so a touch costs one lookup however
// many ids are registered. Each index entry lists its registrations by ascending event id and, within
// an id, in registration order: the order a walk over all ids and lists would meet them.

#include "IOrvalen3D.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class IOrvalen3DD3DLevelObject;

/// The strongest contact of a registration's current touch, copied into the event's record at the end
/// of the pair.
struct EventRecord {
    float Position[3] = {0.0f, 0.0f, 0.0f};
    float Normal[3] = {0.0f, 0.0f, 0.0f};
    float Tangent[3] = {0.0f, 0.0f, 0.0f}; ///< of the larger tangent speed of the last point
    float NormalSpeed = 0.0f;              ///< the largest of the touch's points
    float TangentSpeed = 0.0f;             ///< the larger of the last point's two
};

/// Two objects registered under one event id; matched by the ids they had when registered.
struct EventRegistration : EventRecord {
    std::uint8_t Touched = 0; ///< 1 once the pair began a contact
    std::uint32_t IdA = 0;
    std::uint32_t IdB = 0;
    std::int32_t EventId = 0;
};

/// An object id registered on one material of one level under a level event id.
struct LevelEventRegistration : EventRecord {
    std::uint8_t Touched = 0;       ///< 1 once a point of the pair matched it
    std::uint32_t FaceAttribute = 0; ///< LevelID x 1000 + group + 1; 0 for an unknown material (never matches)
    const IOrvalen3DD3DLevelObject* Level = nullptr; ///< compared only; null once the level is destroyed
    std::uint32_t ObjectId = 0;
    std::int32_t EventId = 0;
    bool Unnumbered = false; ///< made before the level's build ended; the attribute takes its number then
    LevelEventRegistration* NextMatch = nullptr; ///< the contact callbacks' list of this pair's matches
};

using PairRegistrations = std::vector<EventRegistration*>;
using LevelRegistrations = std::vector<LevelEventRegistration*>;

class SceneEventTables {
public:
    static constexpr std::int32_t kEventIds = 1000;
    /// A level's face attributes: its number x 1000 + group + 1.
    static constexpr std::uint32_t kGroupsPerLevel = 1000;

    // Records are all zeros until a touch makes them, as GetEvent reports an id that never fired.
    std::vector<std::unique_ptr<EventRegistration>> EventRegistrations[kEventIds];
    bool EventFired[kEventIds] = {};
    EventInfo EventInfos[kEventIds] = {};
    std::vector<std::unique_ptr<LevelEventRegistration>> LevelEventRegistrations[kEventIds];
    bool LevelEventFired[kEventIds] = {};
    EventInfo LevelEventInfos[kEventIds] = {};

    static bool IsEventId(std::int32_t id) { return id >= 0 && id < kEventIds; }

    /// Appends a registration of the pair (idA, idB) to `id`'s list; false when memory runs out.
    bool AddPair(std::int32_t id, std::uint32_t idA, std::uint32_t idB);
    /// Appends a level registration to `id`'s list; it matches once given an attribute by
    /// IndexLevelRegistration. Null when memory runs out.
    LevelEventRegistration* AddLevel(std::int32_t id, const IOrvalen3DD3DLevelObject* level);
    /// Makes `registration`, with its attribute and object id set, findable by the contact callbacks;
    /// false when memory runs out (it then stays in its list and never matches).
    bool IndexLevelRegistration(LevelEventRegistration& registration);

    /// Registrations made on `level` before its build ended name its groups as if its number were 0: they
    /// take `levelId` now and are found under the attributes its faces carry.
    void NumberLevel(const IOrvalen3DD3DLevelObject* level, std::uint32_t levelId);
    /// The registrations on `level`, which is going, name no level any more: a level made later at the
    /// same address is not the one they were made for.
    void ForgetLevel(const IOrvalen3DD3DLevelObject* level);

    /// The registrations of the pair of object ids in either order, null when there are none.
    const PairRegistrations* Pair(std::uint32_t idA, std::uint32_t idB) const;
    /// The level registrations of an object id on a face attribute, null when there are none.
    const LevelRegistrations* ObjectOnFace(std::uint32_t objectId, std::uint32_t attribute) const;

    /// Registrations and records of every id go; the flags are left to the caller.
    void ClearPairs();
    void ClearLevels();
    /// Both kinds with their flags, as a new scene finds them.
    void ClearAll();

private:
    std::unordered_map<std::uint64_t, PairRegistrations> m_byPair;
    std::unordered_map<std::uint64_t, LevelRegistrations> m_byObjectOnFace;
};

/// The process's tables, made on first use and freed at exit.
SceneEventTables& SharedEventTables();
