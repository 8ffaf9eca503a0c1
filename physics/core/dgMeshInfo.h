#pragma once
// Statistics of a half-edge mesh: rings, half-edges, vertex fans, the index range and the open borders.

#include "physics/core/dgList.h"

class dgHalfEdge;
class dgHalfEdgeMesh;

/// Taken once from a mesh; not refreshed when the mesh changes. Taking it clears every edge's mark
/// and leaves the mesh's mark counter at least 8.
class dgMeshInfo {
public:
    dgInt32 m_faceCount;               ///< rings: faces and border rings
    dgInt32 m_edgeCount;               ///< half-edges
    dgInt32 m_vertexCount;             ///< distinct vertex fans
    dgInt32 m_vertexIndexLimit;        ///< highest origin index + 1; 0 for an empty mesh
    dgList<dgHalfEdge*> m_openBorders; ///< one half-edge of each ring with a negative face number

    explicit dgMeshInfo(dgHalfEdgeMesh& mesh);
    dgMeshInfo(const dgMeshInfo&) = delete;
    dgMeshInfo& operator=(const dgMeshInfo&) = delete;
};
