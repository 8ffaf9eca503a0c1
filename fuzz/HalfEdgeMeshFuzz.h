#pragma once
// The half-edge mesh fuzz driver shared by the targets that place the vertices differently: faces over
// 16 vertex indices are added until the bytes for faces run out, then edits and passes run on the closed
// mesh; the consistency check must hold after EndFace and after every operation, and nothing may crash
// or leak.
//
// Layout (from where the target hands over the reader): one byte face count; per face one count byte
// (3..8 vertices) and that many index bytes (mod 16); the remaining bytes are edits, two bytes each:
// operation and argument.

#include "physics/core/dgHalfEdgeMesh.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace half_edge_mesh_fuzz {

/// The packed x, y, z positions of vertex indices 0 .. count-1.
using Positions = std::vector<dgFloat32> (*)(dgInt32 count);

inline constexpr dgInt32 kVertexRange = 16;

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size), m_at(0) {}
    bool Empty() const { return m_at >= m_size; }
    dgInt32 Next() { return m_at < m_size ? m_data[m_at++] : 0; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at;
};

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The argument picks a half-edge by its position in tree order.
inline dgHalfEdge* PickEdge(const dgHalfEdgeMesh& mesh, dgInt32 argument) {
    if (mesh.GetCount() == 0) {
        return nullptr;
    }
    dgInt32 steps = argument % mesh.GetCount();
    dgHalfEdgeNode* node = mesh.GetFirst();
    while (steps-- > 0) {
        node = dgHalfEdgeMesh::GetNext(node);
    }
    return node;
}

inline bool Pass(dgHalfEdgeMesh& mesh, dgInt32 operation, dgHalfEdge* edge, Positions positions) {
    const std::vector<dgFloat32> xyz = positions(mesh.VertexIndexLimit());
    const dgVertexView vertices = dgVertexView::InFloats(xyz.data(), 3);
    switch (operation) {
    case 8: {
        dgHalfEdgeMesh reject;
        reject.BeginFace();
        mesh.Optimize(vertices, &reject);
        reject.EndFace();
        Check(reject.IsValid());
        return true;
    }
    case 9:
        mesh.TriangulateFaces(vertices, nullptr);
        return true;
    case 10:
        mesh.SimplifyByEdgeCollapse(vertices, 0.3f);
        for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
            Check(node->m_userValue == 0);
        }
        return true;
    case 11:
        mesh.CollapseEdge(edge);
        return true;
    case 12:
        mesh.MergeCoplanarFaces(vertices);
        return true;
    case 13:
        mesh.RemoveSmallFaces(vertices, 0.6f);
        return true;
    case 14: {
        dgList<dgHalfEdge*> list;
        mesh.FindUntriangulableFaces(list, vertices);
        return true;
    }
    case 15:
        mesh.RemoveSliverTriangles(vertices, 0.7f);
        return true;
    case 16: {
        dgHalfEdgeMesh patch;
        mesh.ExtractCoplanarPatch(edge, patch, vertices);
        Check(patch.IsValid());
        return true;
    }
    case 17: {
        dgList<dgHalfEdge*> list;
        mesh.CollectSmoothRegion(list, edge, vertices, 0.5f);
        return true;
    }
    case 18:
        mesh.StitchBorders(vertices, 0.3f);
        return true;
    case 19: {
        dgInt32 faceEdges = 0;
        for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
            faceEdges += node->m_face > 0 ? 1 : 0;
        }
        Check(static_cast<dgInt32>(mesh.OrderFaces().size()) == faceEdges);
        return true;
    }
    default:
        return false;
    }
}

inline void Edit(dgHalfEdgeMesh& mesh, dgInt32 operation, dgInt32 argument, dgInt32& nextVertex,
                 Positions positions) {
    dgHalfEdge* edge = PickEdge(mesh, argument);
    if (edge == nullptr) {
        return;
    }
    operation %= 20;
    if (Pass(mesh, operation, edge, positions)) {
        return;
    }
    switch (operation) {
    case 0:
        mesh.DeleteFace(edge);
        break;
    case 1:
        mesh.FlipEdge(edge);
        break;
    case 2:
        mesh.SplitEdge(nextVertex++, edge);
        break;
    case 3:
        mesh.SplitEdgeCutCorners(nextVertex++, edge);
        break;
    case 4:
        mesh.RenameVertex(edge, argument % (kVertexRange + 8));
        break;
    case 5: {
        std::vector<dgFloat32> vertices(static_cast<std::size_t>(mesh.VertexIndexLimit()) * 3, 1.0f);
        std::vector<dgFloat32> out(vertices.size());
        const dgInt32 count = mesh.CompactVertices(out.data(), dgVertexView::InFloats(vertices.data(), 3));
        Check(count <= mesh.GetCount() && mesh.VertexIndexLimit() == count);
        nextVertex = count + 1;
        break;
    }
    case 6:
        mesh.FlipOrientation();
        break;
    default: {
        const dgHalfEdgeMesh copy(mesh);
        Check(copy.IsValid());
        break;
    }
    }
}

inline int Run(ByteReader& reader, Positions positions) {
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    const dgInt32 faceCount = reader.Next();
    dgInt32 indices[8];
    for (dgInt32 f = 0; f < faceCount && !reader.Empty(); f++) {
        const dgInt32 count = 3 + reader.Next() % 6;
        for (dgInt32 i = 0; i < count; i++) {
            indices[i] = reader.Next() % kVertexRange;
        }
        mesh.AddFace(count, indices);
    }
    mesh.EndFace();
    Check(mesh.IsValid());

    dgInt32 nextVertex = 100;
    while (!reader.Empty()) {
        const dgInt32 operation = reader.Next();
        Edit(mesh, operation, reader.Next(), nextVertex, positions);
        Check(mesh.IsValid());
    }
    return 0;
}

} // namespace half_edge_mesh_fuzz
