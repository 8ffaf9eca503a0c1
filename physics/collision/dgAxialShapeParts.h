#pragma once
// Pieces of the shapes that are round about their x axis (cone, cylinder, capsule): their rim support,
// their cut taken in a frame turned to face the plane, their side ray test and their displayed side.

#include "physics/collision/dgCollision.h"
#include "physics/core/dgMatrix.h"

class dgConvexCollision;

/// Of the rim circle of radius radius about x, the point of the angular grid (step, its inverse, cosine
/// and sine) at or below dir's angle atan2(dir.y, dir.z), or the next one up when that reaches strictly
/// further along (dir.y, dir.z). Returns (0, y, z, 0).
dgVector RimPointTowards(const dgVector& dir, dgFloat32 radius, dgFloat32 step, dgFloat32 invStep,
                         dgFloat32 cosStep, dgFloat32 sinStep);

/// The turn about x whose up row is the normal's (y, z) part made unit: in its frame the normal has no z
/// part. The (y, z) part must not vanish.
dgMatrix TurnAboutXToFace(const dgVector& normal);

/// Points found in the frame of turn carried back into the shape's frame, their w kept.
void TurnBack(const dgMatrix& turn, dgVector* points, dgInt32 count);

/// The polyhedral cut of a shape round about x: steep planes (|normal.x| at least 0.999) directly, the
/// others in the frame turned to face them, so that where round the axis the plane faces does not change
/// the cut's shape.
dgInt32 CutFacingThePlane(const dgConvexCollision& shape, const dgVector& normal, const dgVector& point,
                          dgVector* out);

/// Where the segment from p0 along d, with p0 outside the infinite cylinder of radius r about x
/// (c = p0.y^2 + p0.z^2 - r^2 > 0), first crosses its side; a negative answer when it grazes the side
/// (discriminant 1e-8 or less) or the crossing lies outside [0, 1).
dgFloat32 SideCrossing(const dgVector& p0, const dgVector& d, dgFloat32 c);

/// Two rings of count points of radius radius, angle step 2 pi / count from 0: at x = -halfLength into
/// points[0, count), at x = +halfLength into points[count, 2 count).
void FillEndRings(dgVector* points, dgInt32 count, dgFloat32 radius, dgFloat32 halfLength);

/// Hands callback the quadrilateral of the four (x, y, z) triples of global named by order, in that order.
void DisplayQuad(const dgFloat32* global, const dgInt32 (&order)[4], dgBody* body, dgCollisionFaceCallback callback);

/// The count quadrilaterals between the two rings of FillEndRings, placed as (x, y, z) triples in
/// global: (-x ring at k - 1, at k, +x ring at k, at k - 1), each handed to callback.
void DisplayRingBand(const dgFloat32* global, dgInt32 count, dgBody* body, dgCollisionFaceCallback callback);
