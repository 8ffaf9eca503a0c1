#include "physics/collision/dgConvexEdgeTable.h"

#include "physics/core/dgHalfEdgeMesh.h"
#include "physics/core/dgMemory.h"

#include <new>

dgConvexEdgeTable::dgConvexEdgeTable(dgInt32 faceCount, const dgInt32* faceSizes, const dgInt32* indices)
    : m_edges(nullptr), m_count(0) {
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    dgInt32 start = 0;
    for (dgInt32 f = 0; f < faceCount; f++) {
        mesh.AddFace(faceSizes[f], &indices[start]);
        start += faceSizes[f];
    }
    mesh.EndFace();
    Build(mesh);
}

dgConvexEdgeTable::dgConvexEdgeTable(dgHalfEdgeMesh& mesh) : m_edges(nullptr), m_count(0) {
    Build(mesh);
}

dgConvexEdgeTable::~dgConvexEdgeTable() {
    dgFree(m_edges);
}

void dgConvexEdgeTable::Build(dgHalfEdgeMesh& mesh) {
    dgInt32 count = 0;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        node->m_userValue = static_cast<dgUnsigned64>(count++);
    }
    m_count = count;
    m_edges = static_cast<dgConvexSimplexEdge*>(
        dgMalloc(sizeof(dgConvexSimplexEdge) * static_cast<std::size_t>(count)));
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        dgConvexSimplexEdge* edge = new (&m_edges[node->m_userValue]) dgConvexSimplexEdge();
        edge->m_vertex = node->m_origin;
        edge->m_twin = &m_edges[node->m_twin->m_userValue];
        edge->m_next = &m_edges[node->m_next->m_userValue];
        edge->m_prev = &m_edges[node->m_prev->m_userValue];
    }
}
