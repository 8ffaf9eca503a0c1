#include "scene3d/SceneEventTables.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

namespace {

std::uint64_t Key(std::uint32_t high, std::uint32_t low) {
    return (std::uint64_t{high} << 32) | low;
}

/// Keeps the entry ordered by event id, a registration after those of its id made before it.
template <typename Registration>
void InsertInIdOrder(std::vector<Registration*>& entry, Registration* registration) {
    const auto after = std::upper_bound(
        entry.begin(), entry.end(), registration->EventId,
        [](std::int32_t id, const Registration* other) { return id < other->EventId; });
    entry.insert(after, registration);
}

template <typename Registration>
const std::vector<Registration*>* Find(const std::unordered_map<std::uint64_t, std::vector<Registration*>>& index,
                                       std::uint64_t key) {
    if (index.empty()) {
        return nullptr;
    }
    const auto found = index.find(key);
    return found != index.end() ? &found->second : nullptr;
}

template <typename Registration>
void Clear(std::vector<std::unique_ptr<Registration>> (&lists)[SceneEventTables::kEventIds],
           EventInfo (&records)[SceneEventTables::kEventIds]) {
    for (std::int32_t id = 0; id < SceneEventTables::kEventIds; ++id) {
        lists[id].clear();
        lists[id].shrink_to_fit();
        records[id] = EventInfo{};
    }
}

} // namespace

bool SceneEventTables::AddPair(std::int32_t id, std::uint32_t idA, std::uint32_t idB) {
    try {
        auto registration = std::make_unique<EventRegistration>();
        registration->IdA = idA;
        registration->IdB = idB;
        registration->EventId = id;
        PairRegistrations& entry = m_byPair[Key(std::min(idA, idB), std::max(idA, idB))];
        entry.reserve(entry.size() + 1);
        EventRegistrations[id].push_back(std::move(registration));
        InsertInIdOrder(entry, EventRegistrations[id].back().get());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

LevelEventRegistration* SceneEventTables::AddLevel(std::int32_t id, const IOrvalen3DD3DLevelObject* level) {
    try {
        auto registration = std::make_unique<LevelEventRegistration>();
        registration->Level = level;
        registration->EventId = id;
        LevelEventRegistrations[id].push_back(std::move(registration));
        return LevelEventRegistrations[id].back().get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool SceneEventTables::IndexLevelRegistration(LevelEventRegistration& registration) {
    try {
        InsertInIdOrder(m_byObjectOnFace[Key(registration.ObjectId, registration.FaceAttribute)], &registration);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void SceneEventTables::NumberLevel(const IOrvalen3DD3DLevelObject* level, std::uint32_t levelId) {
    for (auto& list : LevelEventRegistrations) {
        for (const auto& registration : list) {
            if (registration->Level != level || !registration->Unnumbered) {
                continue;
            }
            registration->Unnumbered = false;
            LevelRegistrations& entry =
                m_byObjectOnFace[Key(registration->ObjectId, registration->FaceAttribute)];
            entry.erase(std::remove(entry.begin(), entry.end(), registration.get()), entry.end());
            registration->FaceAttribute += levelId * kGroupsPerLevel;
            // Out of memory the registration stays out of the index and never matches.
            IndexLevelRegistration(*registration);
        }
    }
}

void SceneEventTables::ForgetLevel(const IOrvalen3DD3DLevelObject* level) {
    for (auto& list : LevelEventRegistrations) {
        for (const auto& registration : list) {
            if (registration->Level == level) {
                registration->Level = nullptr;
            }
        }
    }
}

const PairRegistrations* SceneEventTables::Pair(std::uint32_t idA, std::uint32_t idB) const {
    return Find(m_byPair, Key(std::min(idA, idB), std::max(idA, idB)));
}

const LevelRegistrations* SceneEventTables::ObjectOnFace(std::uint32_t objectId, std::uint32_t attribute) const {
    return Find(m_byObjectOnFace, Key(objectId, attribute));
}

void SceneEventTables::ClearPairs() {
    m_byPair.clear();
    Clear(EventRegistrations, EventInfos);
}

void SceneEventTables::ClearLevels() {
    m_byObjectOnFace.clear();
    Clear(LevelEventRegistrations, LevelEventInfos);
}

void SceneEventTables::ClearAll() {
    ClearPairs();
    ClearLevels();
    std::fill(std::begin(EventFired), std::end(EventFired), false);
    std::fill(std::begin(LevelEventFired), std::end(LevelEventFired), false);
}

SceneEventTables& SharedEventTables() {
    static SceneEventTables tables;
    return tables;
}
