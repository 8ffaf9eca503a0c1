#include "scene3d/ShadowEdgeTable.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

bool ShadowEdgeTable::Make(std::size_t edges) {
    // Positions are stored plus one in 32 bits, and the list counts its edges in a signed 32-bit int.
    if (edges > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return false;
    }
    const std::size_t slots = std::bit_ceil(std::max<std::size_t>(2 * edges, 2));
    std::unique_ptr<std::uint32_t[]> made(new (std::nothrow) std::uint32_t[slots]());
    if (made == nullptr) {
        return false;
    }
    m_slots = std::move(made);
    m_room = edges;
    m_mask = slots - 1;
    m_shift = 64 - std::countr_zero(slots);
    return true;
}

std::size_t ShadowEdgeTable::Home(std::uint32_t a, std::uint32_t b) const {
    // A 64-bit mix of the pair, lower index first: mesh indices come in runs, which the top bits must
    // spread.
    std::uint64_t key = (std::uint64_t(std::min(a, b)) << 32) | std::max(a, b);
    key = (key ^ (key >> 30)) * 0xBF58476D1CE4E5B9ull;
    key = (key ^ (key >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::size_t>(key >> m_shift);
}

void ShadowEdgeTable::Toggle(ShadowEdge* edges, std::int32_t& count, std::uint32_t a, std::uint32_t b) {
    std::size_t slot = Home(a, b);
    for (; m_slots[slot] != 0; slot = Next(slot)) {
        const std::uint32_t position = m_slots[slot] - 1;
        const ShadowEdge& edge = edges[position];
        if ((edge.First == a && edge.Second == b) || (edge.First == b && edge.Second == a)) {
            Erase(edges, slot);
            const std::uint32_t last = static_cast<std::uint32_t>(count - 1);
            if (position != last) {
                std::size_t moved = Home(edges[last].First, edges[last].Second);
                while (m_slots[moved] != last + 1) {
                    moved = Next(moved);
                }
                m_slots[moved] = position + 1;
                edges[position] = edges[last];
            }
            --count;
            return;
        }
    }
    m_slots[slot] = static_cast<std::uint32_t>(count) + 1;
    edges[count++] = ShadowEdge{a, b};
}

void ShadowEdgeTable::Erase(const ShadowEdge* edges, std::size_t hole) {
    for (std::size_t slot = Next(hole); m_slots[slot] != 0; slot = Next(slot)) {
        const ShadowEdge& edge = edges[m_slots[slot] - 1];
        const std::size_t home = Home(edge.First, edge.Second);
        // The entry may fill the hole when the hole lies on its probe path, from its home to its slot.
        if (((slot - home) & m_mask) >= ((slot - hole) & m_mask)) {
            m_slots[hole] = m_slots[slot];
            hole = slot;
        }
    }
    m_slots[hole] = 0;
}

void ShadowEdgeTable::Forget(const ShadowEdge* edges, std::int32_t count) {
    // Past an eighth of the slots a sequential wipe beats visiting each edge's slot in hash order, and
    // still costs no more than eight slots an edge.
    if (static_cast<std::size_t>(count) > m_mask / 8) {
        std::fill(m_slots.get(), m_slots.get() + m_mask + 1, 0u);
        return;
    }
    // Every slot from an entry's home to the entry itself is taken, so emptying each home's run up to
    // the first empty slot reaches every entry, and a slot once emptied stops the later runs through it.
    for (std::int32_t i = 0; i < count; ++i) {
        for (std::size_t slot = Home(edges[i].First, edges[i].Second); m_slots[slot] != 0;
             slot = Next(slot)) {
            m_slots[slot] = 0;
        }
    }
}
