#pragma once
// One half-edge of a convex shape's polyhedron; shape classes share one array of them per class.

#include "physics/core/dgTypes.h"

/// From an edge e out of vertex v, e.m_twin->m_next is the next edge out of v; following m_next goes
/// round one face.
class dgConvexSimplexEdge {
public:
    dgInt32 m_vertex = 0; ///< origin vertex index
    dgConvexSimplexEdge* m_twin = nullptr;
    dgConvexSimplexEdge* m_next = nullptr;
    dgConvexSimplexEdge* m_prev = nullptr;
};
