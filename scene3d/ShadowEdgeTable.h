#pragma once
// Finds an edge of the shadow silhouette in the object's edge list by its two vertex indices, taken
// either way round, so that a shadow build costs time in proportion to its lit triangles rather than to
// their square. The list keeps its order: an edge found again leaves it, the last edge taking its place.

#include <cstddef>
#include <cstdint>
#include <memory>

/// One edge of the shadow-volume silhouette: two vertex indices.
struct ShadowEdge {
    std::uint32_t First = 0;
    std::uint32_t Second = 0;
};

/// Open addressing with linear probing over a power-of-two number of slots, at least twice the edges
/// the list has room for, so a probe meets an empty slot after a slot or two. A slot holds 1 + the
/// position of an edge in the list, 0 when empty; removal shifts the probe run back rather than leaving
/// markers, so the table holds exactly the list's edges and is emptied in time proportional to them.
class ShadowEdgeTable {
public:
    /// Slots for a list of `edges` edges, all empty; false, keeping the table as it was, when no memory
    /// can be had or a position would not fit a slot.
    bool Make(std::size_t edges);
    /// Edges the list may hold: 0 for a table not made.
    std::size_t Room() const { return m_room; }
    /// Appends (a, b) to the `count` edges of `edges`, or removes it when the list holds (a, b) or (b, a),
    /// the last edge moving into its place. The caller sees to room for one more.
    void Toggle(ShadowEdge* edges, std::int32_t& count, std::uint32_t a, std::uint32_t b);
    /// Empties the table, which holds the `count` edges of `edges`.
    void Forget(const ShadowEdge* edges, std::int32_t count);

private:
    /// The first slot probed for the unordered pair {a, b}.
    std::size_t Home(std::uint32_t a, std::uint32_t b) const;
    std::size_t Next(std::size_t slot) const { return (slot + 1) & m_mask; }
    /// Empties `hole`, moving back each later entry of its run whose probe passed through it.
    void Erase(const ShadowEdge* edges, std::size_t hole);

    std::unique_ptr<std::uint32_t[]> m_slots;
    std::size_t m_room = 0;
    std::size_t m_mask = 0;
    int m_shift = 63; ///< 64 - log2 of the slot count: a hash's top bits pick the slot
};
