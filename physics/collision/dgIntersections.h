#pragma once
// Stateless geometric tests on dgVector points (x, y, z; w only where said) shared by the broad
// phase, the contact code and the polygon-soup ray casts.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

/// True when the boxes overlap with positive depth on all three axes; touching is no overlap.
bool BoxesOverlap(const dgVector& min0, const dgVector& max0, const dgVector& min1, const dgVector& max1);

/// The point of segment p0-p1 nearest to point; w is p0's. A degenerate segment gives p0.
dgVector ClosestPointOnSegment(const dgVector& point, const dgVector& p0, const dgVector& p1);

/// The nearest pair of points, outA on segment a0-a1 and outB on b0-b1; parallel segments give
/// their midpoints.
void ClosestPointsOfSegments(const dgVector& a0, const dgVector& a1, const dgVector& b0, const dgVector& b1,
                             dgVector& outA, dgVector& outB);

/// The point of triangle c0 c1 c2 nearest to point (Voronoi regions; ties go to corners and edges).
dgVector ClosestPointOnTriangle(const dgVector& point, const dgVector& c0, const dgVector& c1,
                                const dgVector& c2);

/// Nearest point of the indexed polygon (a fan from its first vertex; vertex i at indices[i] x
/// strideBytes) to point; true, with out (w 1.0), when it lies within maxDistance. Fewer than three
/// indices is no polygon: false.
bool ClosestPointOnPolygon(const dgVector& point, const dgFloat32* vertices, dgInt32 strideBytes,
                           const dgInt32* indices, dgInt32 indexCount, dgFloat32 maxDistance, dgVector& out);

/// Clips segment a-b in place to the box; false as soon as both ends lie beyond one face plane.
bool ClipSegmentToBox(dgVector& a, dgVector& b, const dgVector& boxMin, const dgVector& boxMax);

/// True when segment p0-p1 enters the indexed polygon from its front, the side that the normal
/// (c1 - c0) x (c2 - c0) of its first three vertices points to. tOut is the hit parameter along p0-p1 and
/// normalOut the unnormalised face normal. Fewer than three indices is no polygon: false.
bool RayPolygonIntersect(const dgVector& p0, const dgVector& p1, const dgFloat32* vertices,
                         dgInt32 strideBytes, const dgInt32* indices, dgInt32 indexCount, dgFloat32& tOut,
                         dgVector& normalOut);
