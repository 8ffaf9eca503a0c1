// Face building and editing of the half-edge mesh from arbitrary bytes. Faces over 16 vertex indices
// are added until the bytes for faces run out, then edits run on the closed mesh; the consistency
// check must hold after EndFace and after every edit, and nothing may crash or leak.
//
// Layout: byte 0 = face count; per face one count byte (3..8 vertices) and that many index bytes
// (mod 16); the remaining bytes are edits, two bytes each: operation and argument.

#include "physics/core/dgHalfEdgeMesh.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr dgInt32 kVertexRange = 16;

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

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The argument picks a half-edge by its position in tree order.
dgHalfEdge* PickEdge(const dgHalfEdgeMesh& mesh, dgInt32 argument) {
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

void Edit(dgHalfEdgeMesh& mesh, dgInt32 operation, dgInt32 argument, dgInt32& nextVertex) {
    dgHalfEdge* edge = PickEdge(mesh, argument);
    if (edge == nullptr) {
        return;
    }
    switch (operation % 8) {
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader reader(data, size);
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
        Edit(mesh, operation, reader.Next(), nextVertex);
        Check(mesh.IsValid());
    }
    return 0;
}
