#pragma once
// The polygon database as a binary tree over its faces, each node split along one of 24 fixed
// directions by two planes: the largest extent of its left side and the smallest of its right side.

#include "physics/collision/dgPolygonSoupDatabase.h"

class dgPolygonSoupBuilder;

/// In memory and in the stream: 20 bytes, no padding.
struct dgDoublePlaneBSPNode {
    dgFloat32 m_rightMin;    ///< smallest extent along the direction of any face on the right side
    dgFloat32 m_leftMax;     ///< largest extent along the direction of any face on the left side
    dgUnsigned32 m_direction; ///< row of the direction table, 0..23
    dgUnsigned32 m_left;     ///< link: bit 0 clear = child index x 2; bit 0 set = leaf (see below)
    dgUnsigned32 m_right;
};
static_assert(sizeof(dgDoublePlaneBSPNode) == 20);

/// Face block in the index array: min-corner vertex, max-corner vertex, attribute, then the face's
/// vertex indices. A leaf link is (offset << 8) | (count << 1) | 1 with offset the position of the
/// first vertex index (24 bits) and count the vertex count (7 bits). The corner vertices are welded
/// extra vertices at the end of the vertex array. Node 0 is the root; a database of fewer than two
/// faces has no tree.
class dgDoublePlaneBSPPolygonSoup : public dgPolygonSoupDatabase {
public:
    static constexpr dgInt32 kDirectionCount = 24;
    /// Index words a leaf offset can address.
    static constexpr dgInt64 kMaxIndexWords = 1 << 24;
    /// Largest vertex count a leaf link can carry.
    static constexpr dgInt32 kMaxLeafVertices = 127;

    /// The 24 unit directions (w 0) along which nodes split; rows 9 to 11 repeat rows 6 to 8.
    static const dgVector& Direction(dgInt32 index);

    dgDoublePlaneBSPPolygonSoup();
    ~dgDoublePlaneBSPPolygonSoup() override;

    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;
    void Serialize(dgSoupSerializeCallback callback, void* userData) const override;
    bool Deserialize(dgSoupDeserializeCallback callback, void* userData) override;
    void GetAABB(dgVector& minOut, dgVector& maxOut) const override;
    /// A node's side is entered only when the box reaches strictly past its plane; a face goes to the
    /// callback when its box touches or overlaps the query box.
    void ForEachPolygonInBox(const dgVector& min, const dgVector& max, dgPolygonSoupCallback callback,
                             void* context) const override;
    /// Every face of every side the segment's projection reaches, touching included (a segment across
    /// the direction has no extent and may lie exactly on a plane); right sides first.
    void ForEachPolygonOnRay(const dgVector& p0, const dgVector& p1, dgPolygonSoupCallback callback,
                             void* context) const override;

    /// Fills the database from the builder's faces (at least two). False, leaving it empty, for fewer
    /// faces, a face of more than 127 vertices or a result beyond 2^24 index words.
    bool BuildSoupTree(const dgPolygonSoupBuilder& builder);

    dgInt32 GetIndexCount() const { return m_indexCount; }
    const dgInt32* GetIndices() const { return m_indices; }
    /// Null without a tree.
    const dgDoublePlaneBSPNode* GetNodes() const { return m_nodes; }
    /// Nodes reached from the root; 0 without a tree.
    dgInt32 CountNodes() const;

private:
    void Clear();
    bool IsStreamConsistent(dgInt32 nodeCount) const;
    bool IsLeafValid(dgUnsigned32 link) const;

    dgInt32 m_indexCount;
    dgInt32* m_indices;            ///< owned dgMalloc block
    dgDoublePlaneBSPNode* m_nodes; ///< owned dgMalloc block; null without a tree
    dgVector m_boxMin;
    dgVector m_boxMax;
};

/// Nearest hit parameter of the segment with the database's faces (front sides), 1.1 when none.
dgFloat32 SoupRayCastClosest(const dgDoublePlaneBSPPolygonSoup& database, const dgVector& p0, const dgVector& p1);
/// True when the segment hits any face (front side) below parameter 1.1.
bool SoupRayCastAny(const dgDoublePlaneBSPPolygonSoup& database, const dgVector& p0, const dgVector& p1);
