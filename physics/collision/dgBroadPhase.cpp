#include "physics/collision/dgBroadPhase.h"

// Placeholder bodies until the cell tree lands; the world links against them.

dgBroadPhase::dgBroadPhase()
    : m_minBox(-1000.0f, -1000.0f, -1000.0f, 0.0f), m_maxBox(1000.0f, 1000.0f, 1000.0f, 0.0f) {}

dgBroadPhase::~dgBroadPhase() = default;

void dgBroadPhase::Init(dgWorld* world) { m_world = world; }

void dgBroadPhase::GetWorldSize(dgVector& minOut, dgVector& maxOut) const {
    minOut = m_minBox;
    maxOut = m_maxBox;
}

void dgBroadPhase::SetWorldSize(const dgVector& min, const dgVector& max) {
    m_minBox = min;
    m_maxBox = max;
}

void dgBroadPhase::Add(dgBody*) {}
void dgBroadPhase::Remove(dgBody*) {}
void dgBroadPhase::UpdateBody(dgBody*) {}
void dgBroadPhase::UpdatePairs() {}
void dgBroadPhase::RayCast(const dgVector&, const dgVector&, dgRayCastFilter, void*, dgRayCastPrefilter) {}
void dgBroadPhase::ForEachBodyInBox(const dgVector&, const dgVector&, dgBodyIterator) {}
