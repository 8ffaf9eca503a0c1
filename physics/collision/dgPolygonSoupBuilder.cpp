#include "physics/collision/dgPolygonSoupBuilder.h"

#include "physics/core/dgGrowableArray.h"
#include "physics/core/dgHalfEdgeMesh.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgScratchArray.h"
#include "physics/core/dgStackMemoryAllocator.h"
#include "physics/core/dgTree.h"
#include "physics/core/dgVertexArray.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace {

constexpr dgFloat32 kRepeatDistance2 = 1.0e-6f;
constexpr dgFloat32 kCollinearDot = 0.9999f;
constexpr dgFloat32 kConvexCorner = 1.0e-5f;
constexpr dgFloat32 kWeldTolerance = 0.001f;
constexpr dgInt32 kSplitFaceCount = 4096;
constexpr dgInt32 kMergeRounds = 64;

dgVector Point(const dgFloat32* vertices, dgInt32 index) {
    const dgFloat32* p = vertices + 3 * static_cast<std::ptrdiff_t>(index);
    return dgVector(p[0], p[1], p[2], 0.0f);
}

dgVector Unit(const dgVector& v, dgFloat32 epsilon2) {
    return v.Scale(1.0f / std::sqrt(v.DotProduct(v) + epsilon2));
}

void RemoveAt(dgInt32* indices, dgInt32& count, dgInt32 position) {
    dgMoveBytes(indices + position, indices + position + 1, sizeof(dgInt32) * static_cast<std::size_t>(count - position - 1));
    count--;
}

// Start of each face's block (its attribute word) in the index array.
void FaceStarts(const dgInt32* entries, dgInt32 faceCount, dgInt32* starts) {
    dgInt32 at = 0;
    for (dgInt32 f = 0; f < faceCount; f++) {
        starts[f] = at;
        at += entries[f];
    }
}

} // namespace

template <class T> dgPolygonSoupBuilder::dgSteppedArray<T>::~dgSteppedArray() {
    dgFree(m_data);
}

template <class T> void dgPolygonSoupBuilder::dgSteppedArray<T>::Grow(dgInt32 index) {
    if (index > INT32_MAX - m_step) {
        dgOutOfMemory(sizeof(T) * static_cast<std::size_t>(index));
    }
    const dgInt32 capacity = (index / m_step + 1) * m_step;
    T* data = static_cast<T*>(dgMalloc(sizeof(T) * static_cast<std::size_t>(capacity)));
    if (m_data != nullptr) {
        dgCopyBytes(data, m_data, sizeof(T) * static_cast<std::size_t>(m_capacity));
    }
    dgFree(m_data);
    m_data = data;
    m_capacity = capacity;
}

template <class T> void dgPolygonSoupBuilder::dgSteppedArray<T>::Swap(dgSteppedArray& other) {
    std::swap(m_step, other.m_step);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_data, other.m_data);
}

dgInt32 dgAddFaceRemovingRepeats(dgHalfEdgeMesh& mesh, dgInt32 count, dgInt32* indices) {
    mesh.BeginFace();
    dgInt32 kept = 0;
    for (;;) {
        if (mesh.AddFace(count, indices) != nullptr) {
            kept = count;
            break;
        }
        if (count < 4) {
            break;
        }
        dgInt32 repeat = -1;
        for (dgInt32 i = 0; i < count && repeat < 0; i++) {
            for (dgInt32 j = i + 1; j < count; j++) {
                if (indices[j] == indices[i]) {
                    repeat = j;
                    break;
                }
            }
        }
        if (repeat < 0) {
            break;
        }
        RemoveAt(indices, count, repeat);
    }
    mesh.EndFace();
    return kept;
}

dgPolygonSoupBuilder::dgPolygonSoupBuilder() : m_faceCount(0), m_indexCount(0), m_vertexCount(0) {}

dgPolygonSoupBuilder::~dgPolygonSoupBuilder() = default;

void dgPolygonSoupBuilder::Begin() {
    m_faceCount = 0;
    m_indexCount = 0;
    m_vertexCount = 0;
}

bool dgPolygonSoupBuilder::AddMesh(const dgFloat32* vertices, dgInt32 vertexCount, dgInt32 strideBytes,
                                   dgInt32 faceCount, const dgInt32* faceIndexCounts, const dgInt32* indices,
                                   const dgInt32* attributes, const dgMatrix& matrix) {
    if (vertexCount < 0 || faceCount < 0 || (vertexCount > 0 && vertices == nullptr) || strideBytes < 12 ||
        strideBytes % 4 != 0 ||
        (faceCount > 0 && (faceIndexCounts == nullptr || indices == nullptr || attributes == nullptr))) {
        return false;
    }
    // Pieces of a face take at most its own words plus two per 62 vertices cut off; bound that by
    // twice the words before anything is added.
    dgInt64 words = 0;
    for (dgInt32 f = 0; f < faceCount; f++) {
        words += faceIndexCounts[f] > 0 ? faceIndexCounts[f] + 1 : 0;
    }
    if (m_vertexCount + static_cast<dgInt64>(vertexCount) > kMaxArrayElements / 3 ||
        m_indexCount + 2 * words > kMaxArrayElements || m_faceCount + 2 * words > kMaxArrayElements) {
        return false;
    }
    const dgInt32 base = m_vertexCount;
    if (!AppendVertices(vertices, vertexCount, strideBytes, matrix)) {
        return false;
    }
    m_indices.Reserve(m_indexCount + static_cast<dgInt32>(words));
    m_faceEntries.Reserve(m_faceCount + faceCount);
    dgInt32 face[kMaxFaceVertices];
    const dgInt32* faceIndices = indices;
    for (dgInt32 f = 0; f < faceCount; f++) {
        const dgInt32 count = faceIndexCounts[f];
        if (count <= 0) {
            continue;
        }
        bool inRange = count <= kMaxFaceVertices;
        for (dgInt32 i = 0; inRange && i < count; i++) {
            inRange = faceIndices[i] >= 0 && faceIndices[i] < vertexCount;
            face[i] = base + faceIndices[i];
        }
        if (inRange) {
            AddCleanFace(count, face, attributes[f]);
        }
        faceIndices += count;
    }
    return true;
}

bool dgPolygonSoupBuilder::AppendVertices(const dgFloat32* vertices, dgInt32 count, dgInt32 strideBytes,
                                          const dgMatrix& matrix) {
    if (count == 0) {
        return true;
    }
    m_vertices.Reserve(3 * (m_vertexCount + count));
    dgFloat32* dst = m_vertices.GetData() + 3 * static_cast<std::ptrdiff_t>(m_vertexCount);
    matrix.TransformPointArray(dst, 12, vertices, strideBytes, count);
    for (dgInt32 i = 0; i < 3 * count; i++) {
        if (!std::isfinite(dst[i])) {
            return false;
        }
    }
    m_vertexCount += count;
    return true;
}

// Removes repeated vertices (within 1e-3) and the middle vertex of straight corners; returns the count
// left, 0 when fewer than three remain. With convex given, also tells whether every corner turns
// left about the face normal.
dgInt32 dgPolygonSoupBuilder::CleanLoop(dgInt32 count, dgInt32* indices, bool* convex) const {
    const dgFloat32* vertices = m_vertices.GetData();
    dgInt32 kept = count > 0 ? 1 : 0;
    for (dgInt32 i = 1; i < count; i++) {
        const dgVector d = Point(vertices, indices[i]).Sub(Point(vertices, indices[kept - 1]));
        if (d.DotProduct(d) >= kRepeatDistance2) {
            indices[kept++] = indices[i];
        }
    }
    while (kept > 1) {
        const dgVector d = Point(vertices, indices[kept - 1]).Sub(Point(vertices, indices[0]));
        if (d.DotProduct(d) >= kRepeatDistance2) {
            break;
        }
        kept--;
    }
    count = kept;
    if (count < 3) {
        return 0;
    }

    const dgVector p0 = Point(vertices, indices[0]);
    dgVector normal;
    for (dgInt32 i = 1; i + 1 < count; i++) {
        normal = normal.Add(Point(vertices, indices[i]).Sub(p0).CrossProduct(Point(vertices, indices[i + 1]).Sub(p0)));
    }
    normal = Unit(normal, 1.0e-10f);

    for (dgInt32 i = 0; i < count && count > 2;) {
        const dgVector a = Point(vertices, indices[(i + count - 1) % count]);
        const dgVector b = Point(vertices, indices[i]);
        const dgVector c = Point(vertices, indices[(i + 1) % count]);
        if (Unit(b.Sub(a), 0.0f).DotProduct(Unit(c.Sub(b), 0.0f)) > kCollinearDot) {
            RemoveAt(indices, count, i);
            i = 0;
            continue;
        }
        i++;
    }
    if (count < 3) {
        return 0;
    }
    if (convex != nullptr) {
        *convex = true;
        for (dgInt32 i = 0; i < count; i++) {
            const dgVector a = Point(vertices, indices[(i + count - 1) % count]);
            const dgVector b = Point(vertices, indices[i]);
            const dgVector c = Point(vertices, indices[(i + 1) % count]);
            if (Unit(b.Sub(a), 0.0f).CrossProduct(Unit(c.Sub(b), 0.0f)).DotProduct(normal) < kConvexCorner) {
                *convex = false;
                break;
            }
        }
    }
    return count;
}

void dgPolygonSoupBuilder::AddCleanFace(dgInt32 count, dgInt32* indices, dgInt32 attribute) {
    dgInt32 loop[kMaxFaceVertices];
    dgCopyBytes(loop, indices, sizeof(dgInt32) * static_cast<std::size_t>(count));
    bool convex = false;
    const dgInt32 kept = CleanLoop(count, loop, &convex);
    if (kept == 0) {
        return;
    }
    if (convex) {
        AppendPiece(kept, loop, attribute);
    } else {
        AddReworkedFace(kept, loop, attribute);
    }
}

// A face that is not convex goes through the mesh clean-up as a whole; each face of the result is a piece.
void dgPolygonSoupBuilder::AddReworkedFace(dgInt32 count, dgInt32* indices, dgInt32 attribute) {
    dgStackMemoryAllocator allocator;
    dgHalfEdgeMesh mesh;
    mesh.SetNodeAllocator(&allocator);
    if (dgAddFaceRemovingRepeats(mesh, count, indices) == 0) {
        return;
    }
    mesh.Optimize(dgVertexView::InBytes(m_vertices.GetData(), 12), nullptr);
    AddMeshFaces(mesh, attribute);
}

void dgPolygonSoupBuilder::AddMeshFaces(dgHalfEdgeMesh& mesh, dgInt32 attribute) {
    dgGrowableArray<dgInt32> ring(64);
    const dgUnsigned32 mark = mesh.IncrementMarkCounter();
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_mark == mark || node->m_face <= 0) {
            continue;
        }
        ring.Reset();
        dgHalfEdge* edge = node;
        do {
            edge->m_mark = mark;
            ring.Push(edge->m_origin);
            edge = edge->m_next;
        } while (edge != node);
        if (ring.GetCount() >= 3) {
            AppendPiece(ring.GetCount(), ring.GetData(), attribute);
        }
    }
}

// A convex face of more than kMaxPieceVertices vertices becomes a fan of convex pieces around its
// first vertex, each sharing an edge with the next.
void dgPolygonSoupBuilder::AppendPiece(dgInt32 count, const dgInt32* indices, dgInt32 attribute) {
    if (count <= kMaxPieceVertices) {
        AppendFace(count, indices, attribute);
        return;
    }
    dgInt32 piece[kMaxPieceVertices];
    piece[0] = indices[0];
    for (dgInt32 start = 1; start + 1 < count;) {
        const dgInt32 take = count - start < kMaxPieceVertices - 1 ? count - start : kMaxPieceVertices - 1;
        dgCopyBytes(piece + 1, indices + start, sizeof(dgInt32) * static_cast<std::size_t>(take));
        AppendFace(take + 1, piece, attribute);
        start += take - 1;
    }
}

void dgPolygonSoupBuilder::AppendFace(dgInt32 count, const dgInt32* indices, dgInt32 attribute) {
    m_indices.Reserve(m_indexCount + count + 1);
    dgInt32* out = m_indices.GetData() + m_indexCount;
    out[0] = attribute;
    dgCopyBytes(out + 1, indices, sizeof(dgInt32) * static_cast<std::size_t>(count));
    m_indexCount += count + 1;
    m_faceEntries[m_faceCount] = count + 1;
    m_faceCount++;
}

void dgPolygonSoupBuilder::End() {
    if (m_faceCount != 1) {
        return;
    }
    const dgInt32 words = m_faceEntries[0];
    m_indices.Reserve(2 * words);
    dgCopyBytes(m_indices.GetData() + words, m_indices.GetData(), sizeof(dgInt32) * static_cast<std::size_t>(words));
    m_faceEntries[1] = words;
    m_indexCount = 2 * words;
    m_faceCount = 2;
}

void dgPolygonSoupBuilder::Optimize(bool flag) {
    if (flag && m_faceCount > kSplitFaceCount) {
        SplitInHalves(flag);
        return;
    }
    VertexPass(flag);
}

// Halves along the axis on which the faces' centres spread most (a face counts as spread evenly over
// its width: variance w^2 / 12), split at the mean centre.
void dgPolygonSoupBuilder::SplitInHalves(bool flag) {
    dgScratchArray<dgInt32> starts(m_faceCount);
    FaceStarts(m_faceEntries.GetData(), m_faceCount, starts.GetData());
    dgScratchArray<dgVector> centres(m_faceCount);
    dgFloat64 sum[3] = {0.0, 0.0, 0.0};
    dgFloat64 sumSq[3] = {0.0, 0.0, 0.0};
    const dgFloat32* vertices = m_vertices.GetData();
    for (dgInt32 f = 0; f < m_faceCount; f++) {
        const dgInt32* face = m_indices.GetData() + starts[f] + 1;
        dgVector lo(1e30f, 1e30f, 1e30f, 0.0f);
        dgVector hi(-1e30f, -1e30f, -1e30f, 0.0f);
        for (dgInt32 i = 0; i < m_faceEntries[f] - 1; i++) {
            const dgVector p = Point(vertices, face[i]);
            for (dgInt32 axis = 0; axis < 3; axis++) {
                lo[axis] = p[axis] < lo[axis] ? p[axis] : lo[axis];
                hi[axis] = p[axis] > hi[axis] ? p[axis] : hi[axis];
            }
        }
        centres[f] = lo.Add(hi).Scale(0.5f);
        for (dgInt32 axis = 0; axis < 3; axis++) {
            const dgFloat64 c = centres[f][axis];
            const dgFloat64 w = static_cast<dgFloat64>(hi[axis]) - lo[axis];
            sum[axis] += c;
            sumSq[axis] += c * c + w * w * static_cast<dgFloat64>(0.0833333358f);
        }
    }
    dgInt32 axis = 0;
    dgFloat64 bestSpread = -1.0e300;
    for (dgInt32 i = 0; i < 3; i++) {
        const dgFloat64 spread = m_faceCount * sumSq[i] - sum[i] * sum[i];
        if (spread > bestSpread) {
            bestSpread = spread;
            axis = i;
        }
    }
    const dgFloat64 split = sum[axis] / m_faceCount;
    dgScratchArray<dgUnsigned8> side(m_faceCount);
    dgInt32 leftCount = 0;
    for (dgInt32 f = 0; f < m_faceCount; f++) {
        side[f] = centres[f][axis] <= split ? 0 : 1;
        leftCount += side[f] == 0 ? 1 : 0;
    }
    // All centres on one side (for example all equal): splitting again could never end.
    if (leftCount == 0 || leftCount == m_faceCount) {
        VertexPass(flag);
        return;
    }
    dgPolygonSoupBuilder left;
    dgPolygonSoupBuilder right;
    CopyFacesTo(left, side.GetData(), 0);
    CopyFacesTo(right, side.GetData(), 1);
    left.Optimize(flag);
    right.Optimize(flag);
    Begin();
    left.CopyFacesTo(*this, nullptr, 0);
    right.CopyFacesTo(*this, nullptr, 0);
}

// Appends the faces whose selected entry equals side (every face when selected is null) to target,
// with only the vertices they use.
void dgPolygonSoupBuilder::CopyFacesTo(dgPolygonSoupBuilder& target, const dgUnsigned8* selected,
                                       dgUnsigned8 side) const {
    dgScratchArray<dgInt32> remap(m_vertexCount);
    for (dgInt32 i = 0; i < m_vertexCount; i++) {
        remap[i] = -1;
    }
    const dgInt32* entries = m_faceEntries.GetData();
    const dgInt32* words = m_indices.GetData();
    const dgFloat32* vertices = m_vertices.GetData();
    dgInt32 at = 0;
    dgInt32 face[kMaxPieceVertices];
    for (dgInt32 f = 0; f < m_faceCount; at += entries[f], f++) {
        if (selected != nullptr && selected[f] != side) {
            continue;
        }
        const dgInt32 count = entries[f] - 1;
        dgAssert(count <= kMaxPieceVertices);
        for (dgInt32 i = 0; i < count; i++) {
            const dgInt32 v = words[at + 1 + i];
            if (remap[v] < 0) {
                remap[v] = target.m_vertexCount;
                target.m_vertices.Reserve(3 * (target.m_vertexCount + 1));
                dgCopyBytes(target.m_vertices.GetData() + 3 * static_cast<std::ptrdiff_t>(target.m_vertexCount),
                            vertices + 3 * static_cast<std::ptrdiff_t>(v), 12);
                target.m_vertexCount++;
            }
            face[i] = remap[v];
        }
        target.AppendFace(count, face, words[at]);
    }
}

void dgPolygonSoupBuilder::VertexPass(bool flag) {
    WeldVertices();
    Compact();
    if (flag) {
        MergeCoplanarFaces();
        Compact();
    }
}

void dgPolygonSoupBuilder::WeldVertices() {
    if (m_vertexCount == 0) {
        return;
    }
    dgScratchArray<dgInt32> remap(m_vertexCount);
    m_vertexCount = dgWeldVertexList(m_vertices.GetData(), 12, 12, 0, m_vertexCount, remap.GetData(), kWeldTolerance);
    dgInt32 at = 0;
    dgInt32* words = m_indices.GetData();
    for (dgInt32 f = 0; f < m_faceCount; f++) {
        for (dgInt32 i = 1; i < m_faceEntries[f]; i++) {
            words[at + i] = remap[words[at + i]];
        }
        at += m_faceEntries[f];
    }
}

// Cleans every face again in place and closes up the arrays over faces that fall below three vertices.
void dgPolygonSoupBuilder::Compact() {
    dgInt32* words = m_indices.GetData();
    dgInt32 read = 0;
    dgInt32 write = 0;
    dgInt32 faces = 0;
    dgInt32 loop[kMaxPieceVertices];
    for (dgInt32 f = 0; f < m_faceCount; f++) {
        const dgInt32 entry = m_faceEntries[f];
        dgAssert(entry - 1 <= kMaxPieceVertices);
        const dgInt32 attribute = words[read];
        dgCopyBytes(loop, words + read + 1, sizeof(dgInt32) * static_cast<std::size_t>(entry - 1));
        read += entry;
        const dgInt32 count = CleanLoop(entry - 1, loop, nullptr);
        if (count == 0) {
            continue;
        }
        words[write] = attribute;
        dgCopyBytes(words + write + 1, loop, sizeof(dgInt32) * static_cast<std::size_t>(count));
        write += count + 1;
        m_faceEntries[faces++] = count + 1;
    }
    m_indexCount = write;
    m_faceCount = faces;
}

// Per attribute, in the order attributes first appear: the group's faces go through the mesh clean-up,
// again on its own result until the face count stops changing. Faces the mesh refuses (they repeat
// a directed edge of the group) are kept as they are.
void dgPolygonSoupBuilder::MergeCoplanarFaces() {
    dgPolygonSoupBuilder merged;
    merged.m_vertices.Reserve(3 * m_vertexCount);
    dgCopyBytes(merged.m_vertices.GetData(), m_vertices.GetData(), 12 * static_cast<std::size_t>(m_vertexCount));
    merged.m_vertexCount = m_vertexCount;

    dgScratchArray<dgInt32> starts(m_faceCount);
    FaceStarts(m_faceEntries.GetData(), m_faceCount, starts.GetData());
    const dgVertexView view = dgVertexView::InBytes(m_vertices.GetData(), 12);
    dgTree<dgInt32, dgInt32> seen;
    dgGrowableArray<dgInt32> group(1024);
    for (dgInt32 f = 0; f < m_faceCount; f++) {
        const dgInt32 attribute = m_indices[starts[f]];
        if (seen.Insert(attribute, attribute) == nullptr) {
            continue;
        }
        // The group as (count, indices...) records.
        group.Reset();
        dgInt32 groupFaces = 0;
        for (dgInt32 g = f; g < m_faceCount; g++) {
            if (m_indices[starts[g]] != attribute) {
                continue;
            }
            group.Push(m_faceEntries[g] - 1);
            for (dgInt32 i = 1; i < m_faceEntries[g]; i++) {
                group.Push(m_indices[starts[g] + i]);
            }
            groupFaces++;
        }
        for (dgInt32 round = 0; round < kMergeRounds; round++) {
            dgPolygonSoupBuilder result;
            dgStackMemoryAllocator allocator;
            dgHalfEdgeMesh mesh;
            mesh.SetNodeAllocator(&allocator);
            mesh.BeginFace();
            for (dgInt32 at = 0; at < group.GetCount(); at += group[at] + 1) {
                if (mesh.AddFace(group[at], &group[at + 1]) == nullptr) {
                    merged.AppendFace(group[at], &group[at + 1], attribute);
                }
            }
            mesh.EndFace();
            mesh.Optimize(view, nullptr);
            result.AddMeshFaces(mesh, attribute);
            group.Reset();
            for (dgInt32 g = 0, at = 0; g < result.m_faceCount; at += result.m_faceEntries[g], g++) {
                group.Push(result.m_faceEntries[g] - 1);
                for (dgInt32 i = 1; i < result.m_faceEntries[g]; i++) {
                    group.Push(result.m_indices[at + i]);
                }
            }
            const bool settled = result.m_faceCount == groupFaces;
            groupFaces = result.m_faceCount;
            if (settled) {
                break;
            }
        }
        for (dgInt32 at = 0; at < group.GetCount(); at += group[at] + 1) {
            merged.AppendFace(group[at], &group[at + 1], attribute);
        }
    }
    merged.VertexPass(false);
    Swap(merged);
}

void dgPolygonSoupBuilder::Swap(dgPolygonSoupBuilder& other) {
    std::swap(m_faceCount, other.m_faceCount);
    std::swap(m_indexCount, other.m_indexCount);
    std::swap(m_vertexCount, other.m_vertexCount);
    m_faceEntries.Swap(other.m_faceEntries);
    m_indices.Swap(other.m_indices);
    m_vertices.Swap(other.m_vertices);
}
