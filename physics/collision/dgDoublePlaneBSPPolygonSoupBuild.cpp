// Building the double-plane tree over the faces of a polygon-soup builder.

#include "physics/collision/dgDoublePlaneBSPPolygonSoup.h"
#include "physics/collision/dgPolygonSoupBuilder.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgScratchArray.h"
#include "physics/core/dgVertexArray.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr dgInt32 kDirections = dgDoublePlaneBSPPolygonSoup::kDirectionCount;
constexpr dgInt32 kMedianSplitFaces = 64;
constexpr dgInt32 kNoCost = 2147483647;
constexpr dgFloat32 kRunTolerance = 0.0001f;
constexpr dgFloat32 kCornerWeldTolerance = 1.0e-6f;

struct dgSoupFaceRecord {
    dgInt32 m_offset; ///< start of the face's block in the output index array
    dgInt32 m_length; ///< vertex count + 3
    dgFloat32 m_extents[kDirections][2];

    dgFloat32 Min(dgInt32 d) const { return m_extents[d][0]; }
    dgFloat32 Max(dgInt32 d) const { return m_extents[d][1]; }
    dgUnsigned32 LeafLink() const {
        return (static_cast<dgUnsigned32>(m_offset + 3) << 8) | (static_cast<dgUnsigned32>(m_length - 3) << 1) | 1u;
    }
};

struct SplitResult {
    dgInt32 m_leftCount;
    dgInt32 m_direction;
    dgFloat32 m_leftMax;
    dgFloat32 m_rightMin;
};

// Extra cost of a right face reaching o past the split value into the left side.
dgInt32 OverlapPenalty(dgFloat32 o) {
    static constexpr dgFloat32 kSteps[] = {16.0f, 8.0f, 4.0f, 2.0f, 1.0f, 0.5f, 0.25f};
    for (dgInt32 i = 0; i < 7; i++) {
        if (o > kSteps[i]) {
            return 7 - i;
        }
    }
    return 0;
}

// Cheapest split of the run along d: balance counts twice, each right face reaching into the left side
// counts one plus its overlap penalty. Counting stops once a candidate cannot beat the bound.
std::pair<dgInt32, dgFloat32> SplitCost(const dgSoupFaceRecord* faces, dgInt32 n, dgInt32 d, dgInt32 bound) {
    std::pair<dgFloat32, dgInt32> sorted[kMedianSplitFaces];
    for (dgInt32 i = 0; i < n; i++) {
        sorted[i] = {faces[i].Max(d), i};
    }
    std::sort(sorted, sorted + n);
    dgInt32 bestCost = kNoCost;
    dgFloat32 bestSplit = 0.0f;
    for (dgInt32 i = 0; i < n;) {
        const dgFloat32 split = sorted[i].first;
        dgInt32 end = i + 1;
        while (end < n && sorted[end].first <= split + kRunTolerance) {
            end++;
        }
        const dgInt32 limit = std::min(bound, bestCost);
        dgInt32 cost = 2 * std::abs(end - (n - end));
        for (dgInt32 j = end; j < n && cost <= limit; j++) {
            const dgFloat32 min = faces[sorted[j].second].Min(d);
            if (min < split) {
                cost += 1 + OverlapPenalty(split - min);
            }
        }
        if (cost < bestCost) {
            bestCost = cost;
            bestSplit = split;
        }
        i = end;
    }
    return {bestCost, bestSplit};
}

// Moves the faces whose maximum along d is at most split to the front; returns how many moved.
dgInt32 Partition(dgSoupFaceRecord* faces, dgInt32 n, dgInt32 d, dgFloat32 split) {
    dgInt32 left = 0;
    for (dgInt32 i = 0; i < n; i++) {
        if (faces[i].Max(d) <= split) {
            std::swap(faces[i], faces[left]);
            left++;
        }
    }
    return left;
}

dgFloat32 RightMinimum(const dgSoupFaceRecord* faces, dgInt32 n, dgInt32 leftCount, dgInt32 d) {
    dgFloat32 rightMin = 1.0e20f;
    for (dgInt32 i = leftCount; i < n; i++) {
        rightMin = std::min(rightMin, faces[i].Min(d));
    }
    return rightMin;
}

SplitResult PlaneSearch(dgSoupFaceRecord* faces, dgInt32 n) {
    dgInt32 bestCost = kNoCost;
    dgInt32 bestDirection = 0;
    dgFloat32 bestSplit = 0.0f;
    for (dgInt32 d = 0; d < kDirections; d++) {
        const auto [cost, split] = SplitCost(faces, n, d, bestCost);
        if (cost < bestCost) {
            bestCost = cost;
            bestDirection = d;
            bestSplit = split;
        }
    }
    SplitResult result{Partition(faces, n, bestDirection, bestSplit), bestDirection, bestSplit, 0.0f};
    // Every face on one side (faces alike along every direction): cut the run in halves.
    if (result.m_leftCount == n || result.m_leftCount == 0) {
        result.m_leftCount = n / 2;
        result.m_leftMax = -1.0e20f;
        for (dgInt32 i = 0; i < n / 2; i++) {
            result.m_leftMax = std::max(result.m_leftMax, faces[i].Max(bestDirection));
        }
    }
    result.m_rightMin = RightMinimum(faces, n, result.m_leftCount, bestDirection);
    return result;
}

// Large runs: split at the median maximum along the axis on which the face centres spread most.
SplitResult MedianSplit(dgSoupFaceRecord* faces, dgInt32 n) {
    dgFloat32 sum[3] = {0.0f, 0.0f, 0.0f};
    dgFloat32 sumSq[3] = {0.0f, 0.0f, 0.0f};
    for (dgInt32 i = 0; i < n; i++) {
        for (dgInt32 axis = 0; axis < 3; axis++) {
            const dgFloat32 centre = (faces[i].Min(axis) + faces[i].Max(axis)) * 0.5f;
            sum[axis] += centre;
            sumSq[axis] += centre * centre;
        }
    }
    dgInt32 axis = 0;
    dgFloat32 bestSpread = -1.0e20f;
    for (dgInt32 i = 0; i < 3; i++) {
        const dgFloat32 spread = static_cast<dgFloat32>(n) * sumSq[i] - sum[i] * sum[i];
        if (spread > bestSpread) {
            bestSpread = spread;
            axis = i;
        }
    }
    dgScratchArray<dgFloat32> maxima(n);
    for (dgInt32 i = 0; i < n; i++) {
        maxima[i] = faces[i].Max(axis);
    }
    dgFloat32* median = maxima.GetData() + (n / 2 - 1);
    std::nth_element(maxima.GetData(), median, maxima.GetData() + n);
    const dgFloat32 split = *median;
    SplitResult result{Partition(faces, n, axis, split), axis, split, 0.0f};
    if (result.m_leftCount == n || result.m_leftCount == 0) {
        result.m_leftCount = n / 2;
    }
    result.m_rightMin = RightMinimum(faces, n, result.m_leftCount, axis);
    return result;
}

class TreeBuilder {
public:
    explicit TreeBuilder(dgDoublePlaneBSPNode* nodes) : m_nodes(nodes), m_nextNode(1) {}

    // Node index takes the run of n >= 2 faces; the right child continues in the loop, so the call
    // depth follows the left sides only.
    void Build(dgInt32 index, dgSoupFaceRecord* faces, dgInt32 n) {
        for (;;) {
            dgAssert(n >= 2);
            const SplitResult split = n < kMedianSplitFaces ? PlaneSearch(faces, n) : MedianSplit(faces, n);
            const dgInt32 leftCount = split.m_leftCount;
            const dgInt32 rightCount = n - leftCount;
            dgDoublePlaneBSPNode& node = m_nodes[index];
            node.m_rightMin = split.m_rightMin;
            node.m_leftMax = split.m_leftMax;
            node.m_direction = static_cast<dgUnsigned32>(split.m_direction);
            const dgInt32 leftChild = leftCount > 1 ? m_nextNode++ : -1;
            const dgInt32 rightChild = rightCount > 1 ? m_nextNode++ : -1;
            node.m_left = leftChild >= 0 ? static_cast<dgUnsigned32>(leftChild) << 1 : faces[0].LeafLink();
            node.m_right = rightChild >= 0 ? static_cast<dgUnsigned32>(rightChild) << 1 : faces[leftCount].LeafLink();
            if (leftChild >= 0) {
                Build(leftChild, faces, leftCount);
            }
            if (rightChild < 0) {
                return;
            }
            index = rightChild;
            faces += leftCount;
            n = rightCount;
        }
    }

private:
    dgDoublePlaneBSPNode* m_nodes;
    dgInt32 m_nextNode;
};

} // namespace

bool dgDoublePlaneBSPPolygonSoup::BuildSoupTree(const dgPolygonSoupBuilder& builder) {
    Clear();
    const dgInt32 faceCount = builder.GetFaceCount();
    const dgInt32 vertexCount = builder.GetVertexCount();
    const dgInt32* entries = builder.GetFaceEntries();
    if (faceCount < 2 || builder.GetIndexCount() + 2 * static_cast<dgInt64>(faceCount) > kMaxIndexWords) {
        return false;
    }
    for (dgInt32 f = 0; f < faceCount; f++) {
        if (entries[f] - 1 < 3 || entries[f] - 1 > kMaxLeafVertices) {
            return false;
        }
    }
    const dgInt32 cornerCount = 2 * faceCount;
    dgScratchArray<dgFloat32> buffer(3 * (vertexCount + cornerCount));
    dgScratchArray<dgSoupFaceRecord> records(faceCount);
    dgScratchArray<dgInt32> remap(cornerCount);
    m_indexCount = builder.GetIndexCount() + cornerCount;
    m_indices = static_cast<dgInt32*>(dgMalloc(sizeof(dgInt32) * static_cast<std::size_t>(m_indexCount)));
    m_nodes = static_cast<dgDoublePlaneBSPNode*>(dgMalloc(sizeof(dgDoublePlaneBSPNode) * static_cast<std::size_t>(faceCount - 1)));

    dgFloat32* vertices = buffer.GetData();
    dgCopyBytes(vertices, builder.GetVertices(), 12 * static_cast<std::size_t>(vertexCount));
    dgVector boxMin(1.0e20f, 1.0e20f, 1.0e20f, 0.0f);
    dgVector boxMax(-1.0e20f, -1.0e20f, -1.0e20f, 0.0f);
    for (dgInt32 i = 0; i < vertexCount; i++) {
        for (dgInt32 axis = 0; axis < 3; axis++) {
            boxMin[axis] = std::min(boxMin[axis], vertices[3 * i + axis]);
            boxMax[axis] = std::max(boxMax[axis], vertices[3 * i + axis]);
        }
    }
    m_boxMin = boxMin;
    m_boxMax = boxMax;

    const dgInt32* in = builder.GetIndices();
    dgInt32 out = 0;
    for (dgInt32 f = 0; f < faceCount; f++) {
        const dgInt32 count = entries[f] - 1;
        const dgInt32* face = in + 1;
        dgSoupFaceRecord& record = records[f];
        record.m_offset = out;
        record.m_length = count + 3;
        for (dgInt32 d = 0; d < kDirections; d++) {
            record.m_extents[d][0] = 1.0e20f;
            record.m_extents[d][1] = -1.0e20f;
        }
        for (dgInt32 i = 0; i < count; i++) {
            const dgVector p(vertices + 3 * static_cast<std::ptrdiff_t>(face[i]));
            for (dgInt32 d = 0; d < kDirections; d++) {
                const dgFloat32 t = Direction(d).DotProduct(p);
                record.m_extents[d][0] = std::min(record.m_extents[d][0], t);
                record.m_extents[d][1] = std::max(record.m_extents[d][1], t);
            }
        }
        dgFloat32* corners = vertices + 3 * static_cast<std::ptrdiff_t>(vertexCount + 2 * f);
        for (dgInt32 axis = 0; axis < 3; axis++) {
            corners[axis] = record.m_extents[axis][0];
            corners[3 + axis] = record.m_extents[axis][1];
        }
        m_indices[out] = vertexCount + 2 * f;
        m_indices[out + 1] = vertexCount + 2 * f + 1;
        m_indices[out + 2] = in[0];
        dgCopyBytes(m_indices + out + 3, face, sizeof(dgInt32) * static_cast<std::size_t>(count));
        out += count + 3;
        in += count + 1;
    }

    TreeBuilder(m_nodes).Build(0, records.GetData(), faceCount);

    // Faces whose boxes share corners share the corner vertices.
    const dgInt32 distinct = dgWeldVertexList(vertices + 3 * static_cast<std::ptrdiff_t>(vertexCount), 12, 12, 0,
                                              cornerCount, remap.GetData(), kCornerWeldTolerance);
    for (dgInt32 f = 0; f < faceCount; f++) {
        dgInt32* block = m_indices + records[f].m_offset;
        block[0] = vertexCount + remap[block[0] - vertexCount];
        block[1] = vertexCount + remap[block[1] - vertexCount];
    }
    m_vertexCount = vertexCount + distinct;
    m_vertexStride = 12;
    m_vertices = static_cast<dgFloat32*>(dgMalloc(12 * static_cast<std::size_t>(m_vertexCount)));
    dgCopyBytes(m_vertices, vertices, 12 * static_cast<std::size_t>(m_vertexCount));
    return true;
}
