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

dgConvexEdgeTable dgConvexEdgeTable::RingBand(dgInt32 rings, dgInt32 ringPoints, bool reversedRings) {
    dgAssert(rings >= 2 && ringPoints >= 3);
    const dgInt32 quads = (rings - 1) * ringPoints;
    // Freed once the table is built from them (the table is returned unnamed, so it is never copied).
    struct FaceList {
        dgInt32* m_sizes;
        dgInt32* m_indices;
        ~FaceList() {
            dgFree(m_indices);
            dgFree(m_sizes);
        }
    } faces{static_cast<dgInt32*>(dgMalloc(sizeof(dgInt32) * static_cast<std::size_t>(quads + 2))),
            static_cast<dgInt32*>(
                dgMalloc(sizeof(dgInt32) * static_cast<std::size_t>(quads * 4 + 2 * ringPoints)))};
    dgInt32* sizes = faces.m_sizes;
    dgInt32* indices = faces.m_indices;
    dgInt32 n = 0;
    for (dgInt32 ring = 0; ring < rings - 1; ring++) {
        for (dgInt32 j = 0; j < ringPoints; j++) {
            const dgInt32 c = ring * ringPoints + j;
            const dgInt32 p = ring * ringPoints + (j == 0 ? ringPoints - 1 : j - 1);
            sizes[ring * ringPoints + j] = 4;
            const dgInt32 first = reversedRings ? c : p;
            const dgInt32 second = reversedRings ? p : c;
            indices[n++] = first;
            indices[n++] = second;
            indices[n++] = second + ringPoints;
            indices[n++] = first + ringPoints;
        }
    }
    sizes[quads] = ringPoints;
    sizes[quads + 1] = ringPoints;
    const dgInt32 last = (rings - 1) * ringPoints;
    for (dgInt32 j = 0; j < ringPoints; j++) {
        indices[n++] = reversedRings ? j : ringPoints - 1 - j;
    }
    for (dgInt32 j = 0; j < ringPoints; j++) {
        indices[n++] = last + (reversedRings ? ringPoints - 1 - j : j);
    }
    return dgConvexEdgeTable(quads + 2, sizes, indices);
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
