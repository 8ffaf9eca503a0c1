#pragma once
// Class ids of the engine classes: the hash of each class-name string, fixed at compile time so no
// start-up order can observe them unset.

#include "physics/core/dgHash.h"

inline constexpr dgUnsigned32 dgCollisionPolygonalSoupClassId = dgTypeIdFromName("dgCollisionPolygonalSoup");
inline constexpr dgUnsigned32 dgCollisionConvexPolygonClassId =
    dgTypeIdFromName("dgCollisionPolygonalSoup::dgCollisionConvexPolygon");
inline constexpr dgUnsigned32 dgRefClassId = dgTypeIdFromName("dgRef");
inline constexpr dgUnsigned32 dgCollisionClassId = dgTypeIdFromName("dgCollision");
inline constexpr dgUnsigned32 dgConvexCollisionClassId = dgTypeIdFromName("dgConvexCollision");
inline constexpr dgUnsigned32 dgDoublePlaneBSPPolygonSoupClassId =
    dgTypeIdFromName("dgDoublePlaneBSPPolygonSoup");
inline constexpr dgUnsigned32 dgPolygonSoupDatabaseClassId = dgTypeIdFromName("dgPolygonSoupDatabase");
inline constexpr dgUnsigned32 dgCollisionBoxClassId = dgTypeIdFromName("dgCollisionBox");
inline constexpr dgUnsigned32 dgCollisionNullClassId = dgTypeIdFromName("dgCollisionNull");
inline constexpr dgUnsigned32 dgCollisionConeClassId = dgTypeIdFromName("dgCollisionCone");
inline constexpr dgUnsigned32 dgCollisionSphereClassId = dgTypeIdFromName("dgCollisionSphere");
/// The point probe's own id: it reports the sphere's, but answers this one to IsType.
inline constexpr dgUnsigned32 dgCollisionPointClassId = dgTypeIdFromName("dgCollisionPoint");
inline constexpr dgUnsigned32 dgCollisionEllipseClassId = dgTypeIdFromName("dgCollisionEllipse");
inline constexpr dgUnsigned32 dgCollisionCapsuleClassId = dgTypeIdFromName("dgCollisionCapsule");
inline constexpr dgUnsigned32 dgCollisionCylinderClassId = dgTypeIdFromName("dgCollisionCylinder");
inline constexpr dgUnsigned32 dgCompoundCollisionClassId = dgTypeIdFromName("dgCompoundCollision");
inline constexpr dgUnsigned32 dgCollisionConvexHullClassId = dgTypeIdFromName("dgCollisionConvexHull");
inline constexpr dgUnsigned32 dgCollisionConvexModifierClassId =
    dgTypeIdFromName("dgCollisionConvexModifier");
inline constexpr dgUnsigned32 dgCollisionChamferCylinderClassId =
    dgTypeIdFromName("dgCollisionChamferCylinder");
inline constexpr dgUnsigned32 dgBaseNodeClassId = dgTypeIdFromName("dgBaseNode");
