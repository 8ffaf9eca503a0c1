#pragma once
// A convex child shape presented through a general 4x4 matrix (rotation, scale, shear, translation)
// that can change at any time: every query is carried into the child's space, answered there and
// carried back.

#include "physics/collision/dgConvexCollision.h"

class dgWorld;

/// Gives the modifier's reference of its child back; the world hands in its own release so the child
/// leaves its shape cache too.
using dgCollisionReleaseCallback = void (*)(dgWorld* world, dgCollision* collision);

class dgCollisionConvexModifier : public dgConvexCollision {
public:
    /// Below this |determinant| a modifier matrix is refused as singular.
    static constexpr dgFloat32 kMinDeterminant = 1.0e-6f;

    /// Takes one reference of child. release (null: dgRefRelease) gives it back on destruction.
    dgCollisionConvexModifier(dgConvexCollision* child, dgWorld* world,
                              dgCollisionReleaseCallback release = nullptr);
    ~dgCollisionConvexModifier() override;

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void SetCollisionBBox(const dgVector& p0, const dgVector& p1) override;
    /// Exact box of the deformed shape from six support queries.
    void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const override;
    /// The child's faces through the modifier matrix; a mirroring matrix has their order reversed so
    /// they still face out.
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// The child's hit of the segment carried into its space; t is unchanged and the normal comes back
    /// through the inverse transpose, normalised.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    /// The child's volume times |determinant|.
    dgFloat32 GetVolume() const override;
    dgVector CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                  void* context) const override;
    dgMatrix GetModifierMatrix() const override;
    /// Keeps the previous matrix when the new one is singular (see TrySetModifierMatrix).
    void SetModifierMatrix(const dgMatrix& matrix) override;
    /// Always 0: a modifier is never shared through the cache.
    dgUnsigned32 CalcSignature() const override;
    dgVector SupportVertex(const dgVector& dir) const override;
    dgInt32 CalcPlaneIntersection(const dgVector& normal, const dgVector& point,
                                  dgVector* out) const override;

    /// Stores matrix with its inverse and determinant; false, keeping the previous matrix, when
    /// |determinant| is below kMinDeterminant or not a number.
    bool TrySetModifierMatrix(const dgMatrix& matrix);
    const dgConvexCollision* GetChild() const { return m_child; }
    dgFloat32 GetDeterminant() const { return m_det; }

private:
    /// p M (rotation rows and position row).
    dgVector ToModified(const dgVector& p) const;
    /// d M^T: a direction of the modified space into the child's.
    dgVector DirectionToChild(const dgVector& d) const;

    dgMatrix m_modifier;
    dgMatrix m_inverse;
    dgWorld* m_world;
    dgConvexCollision* m_child;
    dgFloat32 m_det;
    dgCollisionReleaseCallback m_release;
};
