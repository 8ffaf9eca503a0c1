#pragma once
// The cache keys of the primitive shapes. The world's cached creators and each shape's CalcSignature
// both build them here, so a shape's signature and its cache key never disagree.

#include "physics/collision/dgCollision.h"

/// dgHashBuffer of a 32-word record, zeroed, holding the type code, each dimension quantised by
/// dgFloatToFixed, then the 16 raw floats of the offset matrix. At most 15 dimensions.
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
