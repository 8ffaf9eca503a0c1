#pragma once
// Base of every collision shape: its placement in the body, its cache signature and its type code.

#include "physics/core/dgMatrix.h"
#include "physics/core/dgRef.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

#include <cstdint>

class dgBody;
class dgCollision;
class dgContactPoint;

/// Shape type codes; the narrow phase dispatches on them.
enum dgCollisionType : dgUnsigned32 {
    kBoxCollision = 0,
    kConeCollision = 1,
    kSphereCollision = 2,
    kEllipseCollision = 3,
    kCapsuleCollision = 4,
    kCylinderCollision = 5,
    kCompoundCollision = 6,
    kConvexHullCollision = 7,
    kConvexModifierCollision = 8,
    kChamferCylinderCollision = 9,
    kPolygonSoupCollision = 10,
    kNullCollision = 11,
    kConvexPolygonCollision = 12,
};

/// Receives one displayed face: vertexCount points as consecutive (x, y, z) floats.
using dgCollisionFaceCallback = void (*)(dgBody* body, dgInt32 vertexCount, const dgFloat32* points,
                                         dgInt32 faceId);
/// Asked before a shape is ray cast; zero skips the shape.
using dgRayCastPrefilter = dgUnsigned32 (*)(dgBody* body, const dgCollision* collision, void* userData);
/// Fills the fluid plane (normal x, y, z and w, global space) for a shape of the given user id placed by
/// the 16-float global matrix; zero means no plane (the whole shape counts as submerged).
using dgBuoyancyPlaneCallback = dgInt32 (*)(std::uintptr_t userId, void* context,
                                            const dgFloat32* globalMatrix, dgFloat32* globalPlane);

/// Reference-counted, shared through the world's cache by signature. Every query takes points in the
/// shape's own space unless it says otherwise.
class dgCollision : public dgRef {
public:
    /// Flag bit 0: the offset matrix is not the identity.
    static constexpr dgUnsigned32 kOffsetNotIdentity = 1u << 0;
    /// Flag bit 1: the compound is a vehicle's chassis.
    static constexpr dgUnsigned32 kVehicleChassis = 1u << 1;
    /// Flag bit 2: the shape is a vehicle's tire, whose contacts the vehicle takes over.
    static constexpr dgUnsigned32 kTireShape = 1u << 2;
    /// A ray cast result of this value means no hit.
    static constexpr dgFloat32 kNoHit = 1.2f;

    dgCollision(dgUnsigned32 signature, const dgMatrix& offset, dgCollisionType type);
    ~dgCollision() override;
    dgCollision(const dgCollision&) = delete;

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;

    /// The soup keeps the box of its database here; every other shape ignores it.
    virtual void SetCollisionBBox(const dgVector& p0, const dgVector& p1) = 0;
    /// Reported as the face attribute of ray hits; pointer-wide so a soup can hand out its database.
    virtual std::uintptr_t GetUserId() const;
    virtual void SetUserId(std::uintptr_t userId);
    /// Axis-aligned box of the shape placed by matrix (normally the body's collision matrix).
    virtual void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const = 0;
    /// Hands every face, placed by the offset matrix and then bodyMatrix, to callback; body is only
    /// passed on to callback.
    virtual void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const = 0;
    /// Parameter of the first hit along p0-p1, or kNoHit; a hit fills contactOut's normal (and, where
    /// the shape says so, its attribute).
    virtual dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                              dgRayCastPrefilter preFilter, dgBody* body, void* userData) const = 0;
    virtual dgFloat32 GetVolume() const = 0;
    /// Inertia of the unit-mass shape about its centre of mass, along the body's axes, and that centre;
    /// writes x, y, z of both.
    virtual void CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const = 0;
    /// Centre (x, y, z, global) and volume (w) of the part of the shape placed by matrix that lies below
    /// the plane that callback supplies.
    virtual dgVector CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                          void* context) const = 0;
    virtual dgMatrix GetModifierMatrix() const;
    virtual void SetModifierMatrix(const dgMatrix& matrix);
    /// The signature recomputed from the shape's own fields.
    virtual dgUnsigned32 CalcSignature() const = 0;

    const dgMatrix& GetOffsetMatrix() const { return m_offset; }
    /// Copies the matrix; flag bit 0 tells whether it differs from the identity.
    void SetOffsetMatrix(const dgMatrix& matrix);
    dgUnsigned32 GetSignature() const { return m_signature; }
    dgCollisionType GetCollisionType() const { return m_collisionType; }
    dgUnsigned32 GetFlags() const { return m_flags; }
    /// Sets (on) or clears the given flag bits; SetOffsetMatrix rewrites bit 0 alone.
    void SetFlags(dgUnsigned32 bits, bool on) { m_flags = on ? (m_flags | bits) : (m_flags & ~bits); }

    /// The identity test of SetOffsetMatrix: diagonal entries exactly 1.0, the others equal to 0.0 (so
    /// -0.0 counts and NaN does not).
    static bool IsIdentity(const dgMatrix& matrix);

protected:
    /// The mass properties of a shape without volume: inertia and centre both zero.
    static void ZeroInertia(dgVector& inertiaOut, dgVector& centreOut);
    /// Half extents along the global axes of a box of the given half size placed by matrix (w 0).
    static dgVector PlacedHalfExtent(const dgMatrix& matrix, const dgVector& halfSize);

private:
    dgMatrix m_offset;
    dgUnsigned32 m_signature;
    dgCollisionType m_collisionType;
    dgUnsigned32 m_flags;
};
