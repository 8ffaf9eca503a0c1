#pragma once
// One contact between two bodies as the narrow phase reports it, and the thinning of contact arrays.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

#include <new>

class dgBody;
class dgCollision;

/// Contact record; arrays of them are plain contiguous arrays owned by the caller.
class dgContactPoint {
public:
    dgVector m_point;       ///< world space; w from the posit row of the shape matrix that produced it
    dgVector m_normal;      ///< unit, world space, from body 1 towards body 0
    dgVector m_reserved[2]; ///< the point in body 0's and body 1's local space once it joins a contact joint
    dgBody* m_body0 = nullptr;
    dgBody* m_body1 = nullptr;
    dgCollision* m_collision0 = nullptr; ///< the shape of body 0 that made the contact (a compound's child)
    dgCollision* m_collision1 = nullptr;
    dgInt64 m_attribute = 0;        ///< 0 between convex shapes; a soup polygon's attribute sign-extended
    dgFloat32 m_penetration = 0.0f; ///< never negative
    dgUnsigned32 m_unused = 0;
};

static_assert(sizeof(dgContactPoint) == 112);

/// Room for kCount records that start unset: the narrow phase writes every field of each record it
/// reports, so a pair does not clear a whole array (128 records, 14 kB) before every calculation.
template <dgInt32 kCount>
class dgContactBuffer {
public:
    dgContactBuffer() {}
    dgContactBuffer(const dgContactBuffer&) = delete;
    dgContactBuffer& operator=(const dgContactBuffer&) = delete;

    dgContactPoint* GetData() { return std::launder(reinterpret_cast<dgContactPoint*>(m_bytes)); }

private:
    // The record is an aggregate, so the byte array holds records without constructing them.
    alignas(dgContactPoint) unsigned char m_bytes[kCount * sizeof(dgContactPoint)];
};

/// Fills what the narrow phase leaves to its entry: the bodies, their shapes and the unused local points.
void CompleteRecord(dgContactPoint& contact, dgBody* body0, dgBody* body1);

/// Removes records until exactly wanted remain, merging the closest first: a sweep along x marks a record
/// that lies within the window of a kept one, and the window doubles until enough are gone. Survivors
/// keep their order, compacted to the front. Returns the new count: 0 for wanted <= 0, count when count
/// <= wanted. Only x, y, z of the points are read.
dgInt32 PruneContacts(dgInt32 count, dgContactPoint* contacts, dgInt32 wanted, dgFloat32 tolerance);

/// Drops near-duplicates (closer than 0.005); arrays of nine or more are first pruned to wanted.
/// Survivors are compacted to the front; returns their number.
dgInt32 ReduceContacts(dgInt32 count, dgContactPoint* contacts, dgInt32 wanted);
