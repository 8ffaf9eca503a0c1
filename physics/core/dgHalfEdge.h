#pragma once
// The half-edge record of dgHalfEdgeMesh and the 64-bit key that orders it in the mesh's edge tree.

#include "physics/core/dgTypes.h"

/// Tree key of the half-edge from origin a to destination b: the signed 64-bit value b * 2^32 + a,
/// a sign-extended. For the non-negative indices the mesh accepts, the high word is the destination
/// and the low word the origin, so ascending keys sort by destination, then by origin.
using dgEdgeKey = dgInt64;

constexpr dgEdgeKey dgMakeEdgeKey(dgInt32 origin, dgInt32 destination) {
    // Modular arithmetic on the unsigned form: the exact value wherever it fits, and never overflow.
    return static_cast<dgEdgeKey>((static_cast<dgUnsigned64>(static_cast<dgInt64>(destination)) << 32) +
                                  static_cast<dgUnsigned64>(static_cast<dgInt64>(origin)));
}

/// The origin encoded in a key: its low word, signed.
constexpr dgInt32 dgEdgeKeyOrigin(dgEdgeKey key) {
    return static_cast<dgInt32>(static_cast<dgUnsigned32>(static_cast<dgUnsigned64>(key) & 0xffffffffu));
}

/// The destination encoded in the key of a half-edge that starts at origin.
constexpr dgInt32 dgEdgeKeyDestination(dgEdgeKey key, dgInt32 origin) {
    return static_cast<dgInt32>(
        (static_cast<dgUnsigned64>(key) - static_cast<dgUnsigned64>(static_cast<dgInt64>(origin))) >> 32);
}

/// One directed edge of a polygon ring. Vertices are indices into an array the caller keeps.
class dgHalfEdge {
public:
    dgUnsigned64 m_userValue = 0; ///< free for the caller; faces built with user values give each
                                  ///< half-edge the value of its origin vertex
    dgHalfEdge* m_twin = nullptr; ///< same two vertices, opposite direction; never null after EndFace
    dgHalfEdge* m_next = nullptr; ///< following half-edge of the ring; its origin is this one's destination
    dgHalfEdge* m_prev = nullptr; ///< preceding half-edge of the ring
    dgUnsigned32 m_mark = 0;      ///< visit stamp, compared with the mesh's mark counter
    dgInt32 m_face = -1;          ///< face number from 1; -1 for a border, a deleted face or a lone edge
    dgInt32 m_origin = 0;         ///< vertex index where the half-edge starts
};
