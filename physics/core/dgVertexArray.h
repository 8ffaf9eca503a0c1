#pragma once
// Bounding box and welding of strided vertex arrays, shared by the shape and soup builders.

#include "physics/core/dgVector.h"

/// Min and max corners of count vertices (x, y, z at the start of every strideInBytes, rounded down to
/// a whole float), both with w = 1.0. A coordinate that is not a number never replaces a corner.
/// count <= 0 gives the zero box.
void dgGetVertexArrayBox(dgVector& minOut, dgVector& maxOut, const dgFloat32* vertices, dgInt32 count,
                         dgInt32 strideInBytes);

/// Merges equal vertices of a strided array in place and returns how many unique ones remain, packed
/// at the start of the array (same stride). indexMap[i] receives the unique index of input vertex i.
/// Two vertices are the same when each of their first fuzzyBytes / 4 floats differ by less than
/// tolerance + 0.0001 and each of the following exactBytes / 4 words is bit-for-bit equal.
/// Returns 0 and touches nothing when count < 1, the stride is below 12 bytes or not a whole number of
/// words, or fuzzyBytes + exactBytes is below 12 or above the stride.
dgInt32 dgWeldVertexList(dgFloat32* vertices, dgInt32 strideInBytes, dgInt32 fuzzyBytes, dgInt32 exactBytes,
                         dgInt32 count, dgInt32* indexMap, dgFloat32 tolerance);
