#pragma once
// Narrow-phase entry for two convex bodies: picks the continuous road, a closed-form pair or the
// general solver, and stamps the bodies and shapes into every record.

#include "physics/collision/dgContactPoint.h"
#include "physics/core/dgTypes.h"

class dgBody;

/// Contacts of two bodies whose shapes are convex (at most 16 records, normals from body 1 towards
/// body 0). timeOfImpact is in and out: the continuous road writes the time of first touch when it finds
/// one; any other road sets it to 0 when it returns a contact and leaves it otherwise. capacity is the
/// array's length; fewer than 16 records of room is refused with 0. A null shape on either side gives no
/// contact on every road.
dgInt32 CalculateConvexContacts(dgFloat32* timeOfImpact, dgBody* body0, dgBody* body1,
                                dgContactPoint* contacts, dgInt32 capacity);

/// Closed form of two spheres: 0 or 1 record, reported from an overlap of 1/256.
dgInt32 SphereSphereContacts(const dgBody* body0, const dgBody* body1, dgContactPoint* contacts);

/// Closed form of a box (body 0 of the records) and a sphere whose centre lies outside it: 0 or 1
/// record with the normal from the sphere towards the box. A centre inside the box goes to the general
/// solver (up to 16 records).
dgInt32 BoxSphereContacts(const dgBody* boxBody, const dgBody* sphereBody, dgContactPoint* contacts);
