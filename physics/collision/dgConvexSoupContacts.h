#pragma once
// Narrow phase of a convex body against a polygon-soup body: the soup's faces near the convex shape,
// each wrapped in the soup's polygon proxy, through the convex-pair solver (spheres in closed form),
// with contacts on face interiors preferred over contacts on shared edges.

#include "physics/collision/dgContactPoint.h"
#include "physics/core/dgTypes.h"

class dgBody;

/// Contacts of a convex body (body 0 of every record) against a soup body (body 1), normals from the
/// soup towards the convex body. timeOfImpact is in and out: the continuous road (either body flagged
/// continuous) gives out the earliest impact found; the discrete road sets it to 0 when it returns a
/// contact. 0 for a null shape, a non-convex first shape, a second shape that is no soup, or no room.
dgInt32 ConvexSoupContacts(dgFloat32* timeOfImpact, dgBody* convexBody, dgBody* soupBody, dgContactPoint* contacts,
                           dgInt32 capacity);

/// The discrete road: a sphere in closed form, the null shape nothing, any other shape face by face.
dgInt32 ConvexSoupDispatch(dgBody* soupBody, dgBody* convexBody, dgContactPoint* contacts, dgInt32 capacity);
/// A sphere against each face near it: one record per face the sphere overlaps by more than 1/256.
dgInt32 SphereSoupContacts(dgBody* soupBody, dgBody* sphereBody, dgContactPoint* contacts, dgInt32 capacity);
/// The convex shape against each face near it through the convex-pair solver.
dgInt32 ConvexSoupDiscreteContacts(dgBody* soupBody, dgBody* convexBody, dgContactPoint* contacts,
                                   dgInt32 capacity);
/// Slow bodies take the discrete road (time of impact 0); fast ones sweep the faces along their motion
/// over timeOfImpact (clamped to 1.0), which comes out as the earliest impact.
dgInt32 ConvexSoupContinuousContacts(dgFloat32& timeOfImpact, dgBody* convexBody, dgBody* soupBody,
                                     dgContactPoint* contacts, dgInt32 capacity);

/// Record flag of the soup roads, kept in the record's spare word while they run: the contact lies on
/// an edge of its face rather than its interior.
constexpr dgUnsigned32 kSoupEdgeContact = 1;
/// Drops every edge contact within 0.2 of a face contact; records are reordered face contacts first.
/// Returns the new count.
dgInt32 FilterEdgeContacts(dgInt32 count, dgContactPoint* contacts);
