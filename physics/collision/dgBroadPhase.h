#pragma once
// The world's spatial index: a quad tree of square cells over x and z; each body sits in the smallest
// cell that holds its box whole, kept in three lists sorted by the box minimum on x, y and z.

#include "physics/core/dgGrowableArray.h"
#include "physics/core/dgList.h"
#include "physics/core/dgRef.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgStepContext.h"

class dgWorld;

/// One body's entry in one axis list.
class dgBroadPhaseAxisNode {
public:
    dgBody* m_body = nullptr;
    dgFloat32 m_key = 0.0f; ///< the box minimum on the list's axis at the last update
};

/// Bodies of a cell sorted by key, ascending, with the running sums that choose the sort axis.
class dgBroadPhaseAxisList : public dgList<dgBroadPhaseAxisNode> {
public:
    dgFloat64 m_sum = 0.0;
    dgFloat64 m_sumOfSquares = 0.0;
};

/// A square of the quad tree: covers x..x+side and z..z+side at every y.
class dgBroadPhaseCell {
public:
    dgFloat32 m_x = 0.0f;
    dgFloat32 m_y = 0.0f;
    dgFloat32 m_z = 0.0f;
    dgFloat32 m_side = 0.0f;
    dgUnsigned16 m_level = 0;
    dgInt32 m_bodyCount = 0; ///< 32-bit so a crowded cell cannot wrap
    dgUnsigned16 m_childCount = 0;
    dgInt16 m_sortAxis = -1;
    dgInt16 m_updateCounter = 0; ///< saturates rather than wrapping
    dgUnsigned32 m_skipTypeId = 0;
    dgUnsigned64 m_frameStamp = 0;
    dgBroadPhaseAxisList m_lists[3]; ///< x, y, z
    dgWorld* m_world = nullptr;
    dgBroadPhaseCell* m_parent = nullptr;
    dgBroadPhaseCell* m_children[4] = {}; ///< (upper half in x) + 2 (upper half in z)
};

class dgBroadPhase {
public:
    /// Deepest level of a cell below the root.
    static constexpr dgInt32 kMaxDepth = 9;
    /// The world box is kept within this distance of the origin on each axis.
    static constexpr dgFloat32 kMaxWorldCoordinate = 1.0e10f;

    dgBroadPhase();
    /// Frees every cell, those in use and those kept for reuse.
    ~dgBroadPhase();
    dgBroadPhase(const dgBroadPhase&) = delete;
    dgBroadPhase& operator=(const dgBroadPhase&) = delete;

    /// Binds the world and rebuilds the tree over the box already held.
    void Init(dgWorld* world);
    void GetWorldSize(dgVector& minOut, dgVector& maxOut) const;
    /// Squares the box in x and z (keeping y), then removes and re-adds every body of the world. A NaN
    /// corner coordinate keeps the current one, coordinates are held within kMaxWorldCoordinate and
    /// swapped corners are put in order.
    void SetWorldSize(const dgVector& min, const dgVector& max);

    /// Puts a body into the root cell; its first UpdateBody moves it down.
    void Add(dgBody* body);
    void Remove(dgBody* body);
    /// Called by the body each time its box was recomputed.
    void UpdateBody(dgBody* body);

    /// Once per step, before the pair search: the force callback of every active body and of the bodies
    /// joined to it, each body's box then predicted over the step; each body carries the step's stamp.
    void ApplyForcesAndPredictBoxes(const dgStepContext& step);
    /// Once per step: every overlapping pair with a moving body and no null collision goes to the world's
    /// contact calculation once, the body of the outer walk first.
    void UpdatePairs(const dgStepContext& step);
    /// Casts the segment against the bodies of the cells it enters, nearest cell first, until the filter's
    /// best parameter lies before the next cell.
    void RayCast(const dgVector& p0, const dgVector& p1, dgRayCastFilter filter, void* userData,
                 dgRayCastPrefilter preFilter);
    /// Calls callback once for each body whose box overlaps min..max (strictly).
    void ForEachBodyInBox(const dgVector& min, const dgVector& max, dgBodyIterator callback);

    dgBroadPhaseCell* GetRootCell() const { return m_root; }
    dgInt32 GetMovedThreshold() const { return m_movedThreshold; }
    /// Bodies in the moved-body list, waiting for the next pair search.
    dgInt32 GetMovedCount() const { return m_movedBodies.GetCount(); }
    /// Cells kept for reuse.
    dgInt32 GetFreeCellCount() const { return m_freeCells.GetCount(); }

private:
    dgBroadPhaseCell* NewCell(dgInt32 level, dgBroadPhaseCell* parent);
    static void DeleteCell(dgBroadPhaseCell* cell);
    static void DeleteSubtree(dgBroadPhaseCell* cell);
    /// Returns cell and every ancestor left without bodies and children to the free list.
    void ReleaseEmptyCells(dgBroadPhaseCell* cell);
    /// The deepest cell whose square holds the body's box, made on the way down when missing.
    dgBroadPhaseCell* FindCell(const dgBody* body);
    void InsertIntoCell(dgBody* body, dgBroadPhaseCell* cell);
    void LeaveWorld(dgBody* body);

    void PushPending(dgBody* body, dgBody** area, dgInt32 capacity, dgInt32& count);
    dgBody* PopPending(dgBody** area, dgInt32& count);
    void IncrementalSearch(const dgStepContext& step);
    void FullSweep(const dgStepContext& step);
    void SearchCell(dgBody* body, dgBroadPhaseCell* cell, const dgStepContext& step);
    void SweepList(dgBody* body, dgListNode<dgBroadPhaseAxisNode>* from, dgInt32 axis, const dgStepContext& step);
    void MergeSweep(dgBroadPhaseCell* ancestor, dgBroadPhaseCell* cell, const dgStepContext& step);
    bool IsSkipped(const dgBody* body) const;
    void TestPair(dgBody* body0, dgBody* body1, const dgStepContext& step);

    dgVector m_minBox;
    dgVector m_maxBox;
    dgUnsigned32 m_skipTypeId = 0;
    dgFloat32 m_rootSide = 1000.0f;
    dgWorld* m_world = nullptr;
    dgBroadPhaseCell* m_root = nullptr;
    dgList<dgBroadPhaseCell*> m_freeCells;
    dgUnsigned64 m_frameCounter = 1;
    dgInt32 m_movedThreshold = 1;
    dgList<dgBody*> m_movedBodies;
    dgGrowableArray<dgBody*> m_activeSnapshot; ///< the active set as the force pass found it
    dgGrowableArray<dgBody*> m_pendingOverflow; ///< force-pass bodies beyond the world's work area
};
