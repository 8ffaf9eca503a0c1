#pragma once
// The angular lattice on which the round shapes (sphere, capsule, chamfer cylinder) sample their support:
// latitude asin(dir.x) and longitude atan2(dir.y, dir.z), each rounded down to the shape's angular step.

#include "physics/core/dgVector.h"

/// The four lattice points round dir on the sphere of radius radius about the origin, for an angular step
/// with its inverse, cosine and sine: (theta, phi), (theta + step, phi), (theta, phi + step),
/// (theta + step, phi + step), each (radius sin theta, radius cos theta sin phi, radius cos theta cos phi, 1).
void LatticePointsAround(const dgVector& dir, dgFloat32 radius, dgFloat32 step, dgFloat32 invStep,
                         dgFloat32 cosStep, dgFloat32 sinStep, dgVector out[4]);
