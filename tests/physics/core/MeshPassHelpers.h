#pragma once
// Measurements of half-edge meshes shared by the clean-up and simplification tests.

#include "physics/core/dgHalfEdgeMesh.h"

#include <cmath>
#include <set>
#include <vector>

/// One half-edge of every face ring (number > 0), in tree order.
inline std::vector<dgHalfEdge*> FaceEdges(const dgHalfEdgeMesh& mesh) {
    std::vector<dgHalfEdge*> faces;
    std::set<const dgHalfEdge*> seen;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face <= 0 || seen.count(node) != 0) {
            continue;
        }
        const dgHalfEdge* ptr = node;
        do {
            seen.insert(ptr);
            ptr = ptr->m_next;
        } while (ptr != node);
        faces.push_back(node);
    }
    return faces;
}

inline dgInt32 RingLength(const dgHalfEdge* edge) {
    dgInt32 length = 0;
    const dgHalfEdge* ptr = edge;
    do {
        length++;
        ptr = ptr->m_next;
    } while (ptr != edge);
    return length;
}

inline std::vector<dgInt32> RingOrigins(const dgHalfEdge* edge) {
    std::vector<dgInt32> origins;
    const dgHalfEdge* ptr = edge;
    do {
        origins.push_back(ptr->m_origin);
        ptr = ptr->m_next;
    } while (ptr != edge);
    return origins;
}

inline dgFloat64 FaceArea(const dgHalfEdge* edge, dgVertexView vertices) {
    const dgVectorDouble n = dgHalfEdgeMesh::CalcFaceNormalDouble(edge, vertices);
    return 0.5 * std::sqrt(n.DotProduct(n));
}

inline dgFloat64 TotalArea(const dgHalfEdgeMesh& mesh, dgVertexView vertices) {
    dgFloat64 area = 0.0;
    for (const dgHalfEdge* face : FaceEdges(mesh)) {
        area += FaceArea(face, vertices);
    }
    return area;
}

inline std::set<dgEdgeKey> EdgeKeys(const dgHalfEdgeMesh& mesh) {
    std::set<dgEdgeKey> keys;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        keys.insert(node->GetKey());
    }
    return keys;
}
