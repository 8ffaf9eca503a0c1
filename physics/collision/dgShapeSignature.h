#pragma once
// The cache keys of the shapes the world shares. The world's cached creators and each shape's
// CalcSignature both build them here, so a shape's signature and its cache key never disagree.

#include "physics/collision/dgCollision.h"

/// Words in the key record of a primitive shape.
inline constexpr dgInt32 kShapeKeyWords = 32;

/// Fills the primitive key record: zeroed, then the type code, each dimension quantised by
/// dgFloatToFixed, then the 16 raw floats of the offset matrix. At most 15 dimensions.
void dgShapeKeyRecord(dgCollisionType type, const dgFloat32* dimensions, dgInt32 dimensionCount,
                      const dgMatrix& offset, dgUnsigned32 (&record)[kShapeKeyWords]);

/// dgHashBuffer of the primitive key record.
dgUnsigned32 dgShapeSignature(dgCollisionType type, const dgFloat32* dimensions, dgInt32 dimensionCount,
                              const dgMatrix& offset);

/// Key of a box of full sizes x, y, z (signs dropped): its half extents are the dimensions.
dgUnsigned32 dgBoxSignature(dgFloat32 x, dgFloat32 y, dgFloat32 z, const dgMatrix& offset);
dgUnsigned32 dgSphereSignature(dgFloat32 radius, const dgMatrix& offset);
dgUnsigned32 dgEllipseSignature(dgFloat32 rx, dgFloat32 ry, dgFloat32 rz, const dgMatrix& offset);
/// Key of the round shapes made from a radius and a full height (cone, capsule, cylinder, chamfer
/// cylinder): radius and half height are the dimensions.
dgUnsigned32 dgRadiusHeightSignature(dgCollisionType type, dgFloat32 radius, dgFloat32 height,
                                     const dgMatrix& offset);
/// The null shape's key is its class id: every null shape of a world is one object.
dgUnsigned32 dgNullSignature();

/// Words in the key record of a hull of pointCount points: 3 n + 17 (type code, three quantised
/// coordinates per point, 16 matrix floats). 0 when pointCount is negative or the record's byte size
/// would not fit 32 bits.
dgInt32 dgConvexHullKeyWordCount(dgInt32 pointCount);

/// Fills the hull key record of dgConvexHullKeyWordCount(pointCount) words. Point i starts at byte
/// i * (strideInBytes rounded down to a multiple of 4); coordinates keep their signs.
void dgConvexHullKeyRecord(dgInt32 pointCount, const dgFloat32* points, dgInt32 strideInBytes,
                           const dgMatrix& offset, dgUnsigned32* record);

/// dgHashBuffer of a key record of wordCount words.
dgUnsigned32 dgKeyRecordSignature(const dgUnsigned32* record, dgInt32 wordCount);
