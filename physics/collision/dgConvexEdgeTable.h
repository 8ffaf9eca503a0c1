#pragma once
// The shared half-edge array of a convex shape class, built once from the class's face list.

#include "physics/collision/dgConvexSimplexEdge.h"

class dgHalfEdgeMesh;

/// Owns an array of dgConvexSimplexEdge numbered in the edge order of the dgHalfEdgeMesh it was built
/// from (ascending edge key: destination, then origin), so edge 0 is the one with the smallest key.
/// Shape classes keep one as a function-local static; instances point into it and never change it.
class dgConvexEdgeTable {
public:
    /// faceCount faces of faceSizes[f] vertex indices each, listed back to back in indices, every face
    /// counter-clockwise seen from outside.
    dgConvexEdgeTable(dgInt32 faceCount, const dgInt32* faceSizes, const dgInt32* indices);
    /// The closed band of a shape of revolution: rings of ringPoints vertices each, numbered ring after
    /// ring, joined by quads, closed by the first and last rings as caps. The capsule's rings run one
    /// way round its axis and the chamfer cylinder's the other: reversedRings turns every face over.
    static dgConvexEdgeTable RingBand(dgInt32 rings, dgInt32 ringPoints, bool reversedRings);
    /// From a closed mesh whose faces are all built.
    explicit dgConvexEdgeTable(dgHalfEdgeMesh& mesh);
    ~dgConvexEdgeTable();
    dgConvexEdgeTable(const dgConvexEdgeTable&) = delete;
    dgConvexEdgeTable& operator=(const dgConvexEdgeTable&) = delete;

    dgConvexSimplexEdge* GetEdges() const { return m_edges; }
    dgInt32 GetCount() const { return m_count; }

private:
    void Build(dgHalfEdgeMesh& mesh);

    dgConvexSimplexEdge* m_edges;
    dgInt32 m_count;
};
