#pragma once
// A non-convex shape made of convex children, each placed by its own offset matrix in the compound's
// space. Per child it caches the world matrix and world box of the last world-box query.

#include "physics/collision/dgCollision.h"
#include "physics/core/dgMatrix.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

class dgWorld;

class dgCompoundCollision : public dgCollision {
public:
    /// A child's world box at the last world-box query.
    struct ChildBox {
        dgVector m_min;
        dgVector m_max;
    };

    /// Called for one overlapping pair of a box of the first set (index0) and one of the second (index1).
    using ChildPairCallback = void (*)(void* context, dgInt32 index0, dgInt32 index1);

    /// Capacity given to a compound that must grow from no room at all.
    static constexpr dgInt32 kMinGrowCapacity = 4;

    /// Takes one reference of each of the count children, which must all pass AcceptsChild; world (may
    /// be null: children then go back through dgRefRelease) gets them back on destruction.
    dgCompoundCollision(dgInt32 count, dgCollision* const* children, dgWorld* world);
    ~dgCompoundCollision() override;

    /// Children must be convex: nested compounds and polygon soups would reach code written for convex
    /// shapes only.
    static bool AcceptsChild(const dgCollision* child);

    /// Appends child with one reference of its own; its cache entry starts as the child's placement in
    /// the compound's space until the next world-box query. False, with nothing changed, for a child
    /// that AcceptsChild refuses.
    bool AddCollision(dgCollision* child);
    /// Releases the first entry holding child and moves the last entry into its place; a child that is
    /// not held is ignored.
    void RemoveCollision(dgCollision* child);

    dgInt32 GetChildCount() const { return m_count; }
    dgInt32 GetCapacity() const { return m_capacity; }
    dgCollision* GetChild(dgInt32 index) const {
        dgAssert(index >= 0 && index < m_count);
        return m_children[index];
    }
    /// The child's world matrix (its offset times the compound's matrix) at the last world-box query.
    const dgMatrix& GetChildMatrix(dgInt32 index) const {
        dgAssert(index >= 0 && index < m_count);
        return m_matrices[index];
    }
    /// The cache of child world boxes, GetChildCount() entries; a continuous body widens them in place.
    ChildBox* GetChildBoxes() const { return m_boxes; }
    /// Each child's world matrix and box for the compound placed by matrix, into the caller's arrays of
    /// GetChildCount() entries. The cache is left alone, so a compound shared by several bodies can be
    /// placed for each of them.
    void CalcChildPlacements(const dgMatrix& matrix, dgMatrix* matricesOut, ChildBox* boxesOut) const;

    /// Sweep and prune along the axis on which the boxes' centres spread most: calls callback for every
    /// pair of a box of boxes0 and one of boxes1 that overlap (BoxesOverlap), each pair once. Its heaps
    /// take scratch memory sized from the two counts.
    static void ForEachOverlappingChildPair(dgInt32 count0, const ChildBox* boxes0, dgInt32 count1,
                                            const ChildBox* boxes1, ChildPairCallback callback,
                                            void* context);

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void SetCollisionBBox(const dgVector& p0, const dgVector& p1) override;
    /// Union of the children's boxes placed by matrix (starting from matrix's position), refreshing
    /// every child's cached matrix and box.
    void CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const override;
    /// Each child's faces in turn, with the body's collision set to that child meanwhile.
    void ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const override;
    /// The nearest hit over the children; its normal comes back into the compound's space.
    dgFloat32 RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                      dgRayCastPrefilter preFilter, dgBody* body, void* userData) const override;
    dgFloat32 GetVolume() const override;
    /// Sums the children's integrals, so overlapping children count twice.
    void CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const override;
    /// Each child placed by its offset times matrix, so a compound shared by several bodies answers for
    /// the body that asks.
    dgVector CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                  void* context) const override;
    /// Always 0: a compound is never shared through the cache.
    dgUnsigned32 CalcSignature() const override;

private:
    /// Moves the entries into one new block of capacity entries.
    void Reserve(dgInt32 capacity);
    /// Cache entry of a child not yet placed by a world-box query: the compound at the identity.
    void InitEntry(dgInt32 index);
    void ReleaseChild(dgCollision* child) const;

    dgInt32 m_count = 0;
    dgInt32 m_capacity = 0;
    ChildBox* m_boxes = nullptr;
    dgWorld* m_world;
    dgCollision** m_children = nullptr;
    dgMatrix* m_matrices = nullptr; ///< the one dgMalloc block: matrices, then boxes, then child pointers
};
