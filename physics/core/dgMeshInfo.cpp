#include "physics/core/dgMeshInfo.h"

#include "physics/core/dgHalfEdgeMesh.h"

namespace {
// Marks serve as bit flags while the statistics are taken.
constexpr dgUnsigned32 kBorderSeen = 1;
constexpr dgUnsigned32 kVertexSeen = 2;
constexpr dgUnsigned32 kRingSeen = 4;
// The counter is left at least here, so later passes' stamps never equal a flag combination.
constexpr dgUnsigned32 kFlagCeiling = 8;

void FlagRing(dgHalfEdge* edge, dgUnsigned32 flag) {
    dgHalfEdge* ptr = edge;
    do {
        ptr->m_mark |= flag;
        ptr = ptr->m_next;
    } while (ptr != edge);
}
} // namespace

dgMeshInfo::dgMeshInfo(dgHalfEdgeMesh& mesh)
    : m_faceCount(0), m_edgeCount(0), m_vertexCount(0), m_vertexIndexLimit(0) {
    const dgUnsigned32 restored = mesh.GetMarkCounter() > kFlagCeiling ? mesh.GetMarkCounter() : kFlagCeiling;
    mesh.SetMarkCounter(kFlagCeiling);
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        node->m_mark = 0;
        m_edgeCount++;
        if (node->m_origin >= m_vertexIndexLimit) {
            m_vertexIndexLimit = node->m_origin + 1;
        }
    }
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face < 0 && (node->m_mark & kBorderSeen) == 0) {
            m_openBorders.Append(node);
            FlagRing(node, kBorderSeen);
        }
        if ((node->m_mark & kVertexSeen) == 0) {
            m_vertexCount++;
            dgHalfEdge* ptr = node;
            do {
                ptr->m_mark |= kVertexSeen;
                ptr = ptr->m_twin->m_next;
            } while (ptr != node);
        }
        if ((node->m_mark & kRingSeen) == 0) {
            m_faceCount++;
            FlagRing(node, kRingSeen);
        }
    }
    mesh.SetMarkCounter(restored);
}
