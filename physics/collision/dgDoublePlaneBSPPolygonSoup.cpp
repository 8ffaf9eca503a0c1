#include "physics/collision/dgDoublePlaneBSPPolygonSoup.h"

#include "physics/collision/dgIntersections.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgScratchArray.h"

#include <cmath>
#include <cstring>

namespace {

constexpr dgFloat32 c = 0.707106f;
constexpr dgFloat32 s = 0.866025f;

const dgVector kDirections[dgDoublePlaneBSPPolygonSoup::kDirectionCount] = {
    dgVector(1, 0, 0, 0),     dgVector(0, 1, 0, 0),     dgVector(0, 0, 1, 0),     dgVector(c, c, 0, 0),
    dgVector(c, 0, c, 0),     dgVector(0, c, c, 0),     dgVector(c, -c, 0, 0),    dgVector(c, 0, -c, 0),
    dgVector(0, c, -c, 0),    dgVector(c, -c, 0, 0),    dgVector(c, 0, -c, 0),    dgVector(0, c, -c, 0),
    dgVector(0.5f, s, 0, 0),  dgVector(s, 0.5f, 0, 0),  dgVector(0.5f, 0, s, 0),  dgVector(s, 0, 0.5f, 0),
    dgVector(0, 0.5f, s, 0),  dgVector(0, s, 0.5f, 0),  dgVector(0.5f, -s, 0, 0), dgVector(s, -0.5f, 0, 0),
    dgVector(0.5f, 0, -s, 0), dgVector(s, 0, -0.5f, 0), dgVector(0, -0.5f, s, 0), dgVector(0, -s, 0.5f, 0),
};

bool IsLeaf(dgUnsigned32 link) {
    return (link & 1u) != 0;
}
dgUnsigned32 LeafOffset(dgUnsigned32 link) {
    return link >> 8;
}
dgInt32 LeafCount(dgUnsigned32 link) {
    return static_cast<dgInt32>((link >> 1) & 0x7Fu);
}
dgUnsigned32 ChildIndex(dgUnsigned32 link) {
    return link >> 1;
}

// Node indices waiting to be walked: on the caller's stack while the tree is shallow, on the heap
// when it is deeper, so no tree depth can overrun it.
class NodeStack {
public:
    NodeStack() : m_count(0), m_capacity(kInline), m_data(m_inline) {}
    ~NodeStack() {
        if (m_data != m_inline) {
            dgFree(m_data);
        }
    }
    NodeStack(const NodeStack&) = delete;
    NodeStack& operator=(const NodeStack&) = delete;

    bool IsEmpty() const { return m_count == 0; }
    dgUnsigned32 Pop() { return m_data[--m_count]; }
    void Push(dgUnsigned32 node) {
        if (m_count == m_capacity) {
            Grow();
        }
        m_data[m_count++] = node;
    }

private:
    static constexpr dgInt32 kInline = 128;

    void Grow() {
        const dgInt32 capacity = m_capacity * 2;
        auto* data = static_cast<dgUnsigned32*>(dgMalloc(sizeof(dgUnsigned32) * static_cast<std::size_t>(capacity)));
        dgCopyBytes(data, m_data, sizeof(dgUnsigned32) * static_cast<std::size_t>(m_count));
        if (m_data != m_inline) {
            dgFree(m_data);
        }
        m_data = data;
        m_capacity = capacity;
    }

    dgInt32 m_count;
    dgInt32 m_capacity;
    dgUnsigned32* m_data;
    dgUnsigned32 m_inline[kInline];
};

// Smallest and largest projection of a box on every direction: per component, the corner taking the
// minimum where the direction is not negative gives the smallest.
void ProjectBox(const dgVector& min, const dgVector& max, dgFloat32* lo, dgFloat32* hi) {
    for (dgInt32 d = 0; d < dgDoublePlaneBSPPolygonSoup::kDirectionCount; d++) {
        const dgVector& n = kDirections[d];
        const dgVector a(n.x >= 0.0f ? min.x : max.x, n.y >= 0.0f ? min.y : max.y, n.z >= 0.0f ? min.z : max.z, 0.0f);
        const dgVector b(n.x >= 0.0f ? max.x : min.x, n.y >= 0.0f ? max.y : min.y, n.z >= 0.0f ? max.z : min.z, 0.0f);
        lo[d] = n.DotProduct(a);
        hi[d] = n.DotProduct(b);
    }
}

bool FaceBoxTouches(const dgFloat32* vertices, const dgInt32* face, const dgVector& min, const dgVector& max) {
    const dgFloat32* lo = vertices + 3 * face[-3];
    const dgFloat32* hi = vertices + 3 * face[-2];
    return lo[0] <= max.x && hi[0] >= min.x && lo[1] <= max.y && hi[1] >= min.y && lo[2] <= max.z &&
           hi[2] >= min.z;
}

bool AllFinite(const dgFloat32* values, dgInt64 count) {
    for (dgInt64 i = 0; i < count; i++) {
        if (!std::isfinite(values[i])) {
            return false;
        }
    }
    return true;
}

struct RayRecord {
    dgVector m_p0;
    dgVector m_p1;
    dgFloat32 m_best;
};

dgInt32 ClosestHitCallback(void* context, const dgFloat32* vertices, dgInt32 strideBytes, const dgInt32* indices,
                           dgInt32 indexCount) {
    auto* ray = static_cast<RayRecord*>(context);
    dgFloat32 t;
    dgVector normal;
    if (RayPolygonIntersect(ray->m_p0, ray->m_p1, vertices, strideBytes, indices, indexCount, t, normal) &&
        t < ray->m_best) {
        ray->m_best = t;
    }
    return 1;
}

dgInt32 AnyHitCallback(void* context, const dgFloat32* vertices, dgInt32 strideBytes, const dgInt32* indices,
                       dgInt32 indexCount) {
    auto* ray = static_cast<RayRecord*>(context);
    dgFloat32 t;
    dgVector normal;
    if (RayPolygonIntersect(ray->m_p0, ray->m_p1, vertices, strideBytes, indices, indexCount, t, normal) &&
        t < ray->m_best) {
        ray->m_best = t;
        return 0;
    }
    return 1;
}

} // namespace

const dgVector& dgDoublePlaneBSPPolygonSoup::Direction(dgInt32 index) {
    dgAssert(index >= 0 && index < kDirectionCount);
    return kDirections[index];
}

dgDoublePlaneBSPPolygonSoup::dgDoublePlaneBSPPolygonSoup()
    : dgPolygonSoupDatabase(nullptr), m_indexCount(0), m_indices(nullptr), m_nodes(nullptr) {}

dgDoublePlaneBSPPolygonSoup::~dgDoublePlaneBSPPolygonSoup() {
    dgFree(m_indices);
    dgFree(m_nodes);
}

dgUnsigned32 dgDoublePlaneBSPPolygonSoup::GetTypeId() const {
    return dgDoublePlaneBSPPolygonSoupClassId;
}

bool dgDoublePlaneBSPPolygonSoup::IsType(dgUnsigned32 typeId) const {
    return typeId == dgDoublePlaneBSPPolygonSoupClassId || dgPolygonSoupDatabase::IsType(typeId);
}

void dgDoublePlaneBSPPolygonSoup::Clear() {
    dgFree(m_indices);
    dgFree(m_nodes);
    dgFree(m_vertices);
    m_indices = nullptr;
    m_nodes = nullptr;
    m_vertices = nullptr;
    m_indexCount = 0;
    m_vertexCount = 0;
    m_vertexStride = 0;
    m_boxMin = dgVector();
    m_boxMax = dgVector();
}

void dgDoublePlaneBSPPolygonSoup::GetAABB(dgVector& minOut, dgVector& maxOut) const {
    minOut = m_boxMin;
    maxOut = m_boxMax;
}

void dgDoublePlaneBSPPolygonSoup::ForEachPolygonInBox(const dgVector& min, const dgVector& max,
                                                      dgPolygonSoupCallback callback, void* context) const {
    if (m_nodes == nullptr) {
        return;
    }
    dgFloat32 lo[kDirectionCount];
    dgFloat32 hi[kDirectionCount];
    ProjectBox(min, max, lo, hi);

    // A leaf is a face: the callback runs when its box touches the query box.
    auto visit = [&](dgUnsigned32 link, NodeStack& stack) {
        if (!IsLeaf(link)) {
            stack.Push(ChildIndex(link));
            return true;
        }
        const dgInt32* face = m_indices + LeafOffset(link);
        if (FaceBoxTouches(m_vertices, face, min, max)) {
            return callback(context, m_vertices, 12, face, LeafCount(link)) != 0;
        }
        return true;
    };

    NodeStack stack;
    stack.Push(0);
    while (!stack.IsEmpty()) {
        const dgDoublePlaneBSPNode& node = m_nodes[stack.Pop()];
        const dgUnsigned32 d = node.m_direction;
        if (lo[d] < node.m_leftMax && !visit(node.m_left, stack)) {
            return;
        }
        if (node.m_rightMin < hi[d] && !visit(node.m_right, stack)) {
            return;
        }
    }
}

void dgDoublePlaneBSPPolygonSoup::ForEachPolygonOnRay(const dgVector& p0, const dgVector& p1,
                                                      dgPolygonSoupCallback callback, void* context) const {
    if (m_nodes == nullptr) {
        return;
    }
    dgFloat32 lo[kDirectionCount];
    dgFloat32 hi[kDirectionCount];
    for (dgInt32 d = 0; d < kDirectionCount; d++) {
        const dgFloat32 a = kDirections[d].DotProduct(p0);
        const dgFloat32 b = kDirections[d].DotProduct(p1);
        lo[d] = a < b ? a : b;
        hi[d] = a < b ? b : a;
    }

    // Every face reached goes to the callback, which decides hits.
    auto visit = [&](dgUnsigned32 link, NodeStack& stack) {
        if (!IsLeaf(link)) {
            stack.Push(ChildIndex(link));
            return true;
        }
        return callback(context, m_vertices, 12, m_indices + LeafOffset(link), LeafCount(link)) != 0;
    };

    NodeStack stack;
    stack.Push(0);
    while (!stack.IsEmpty()) {
        const dgDoublePlaneBSPNode& node = m_nodes[stack.Pop()];
        const dgUnsigned32 d = node.m_direction;
        if (node.m_rightMin <= hi[d] && !visit(node.m_right, stack)) {
            return;
        }
        if (lo[d] <= node.m_leftMax && !visit(node.m_left, stack)) {
            return;
        }
    }
}

dgInt32 dgDoublePlaneBSPPolygonSoup::CountNodes() const {
    if (m_nodes == nullptr) {
        return 0;
    }
    dgInt32 count = 0;
    NodeStack stack;
    stack.Push(0);
    while (!stack.IsEmpty()) {
        const dgDoublePlaneBSPNode& node = m_nodes[stack.Pop()];
        count++;
        if (!IsLeaf(node.m_left)) {
            stack.Push(ChildIndex(node.m_left));
        }
        if (!IsLeaf(node.m_right)) {
            stack.Push(ChildIndex(node.m_right));
        }
    }
    return count;
}

void dgDoublePlaneBSPPolygonSoup::Serialize(dgSoupSerializeCallback callback, void* userData) const {
    const dgInt32 nodeCount = CountNodes();
    callback(userData, &m_vertexCount, sizeof(dgInt32));
    callback(userData, &m_indexCount, sizeof(dgInt32));
    callback(userData, &nodeCount, sizeof(dgInt32));
    callback(userData, &nodeCount, sizeof(dgInt32));
    callback(userData, &m_boxMin, 16);
    callback(userData, &m_boxMax, 16);
    callback(userData, m_vertices, m_vertexCount * 12);
    callback(userData, m_indices, m_indexCount * 4);
    callback(userData, m_nodes, nodeCount * 20);
}

bool dgDoublePlaneBSPPolygonSoup::Deserialize(dgSoupDeserializeCallback callback, void* userData) {
    Clear();
    dgInt32 vertexCount = 0;
    dgInt32 indexCount = 0;
    dgInt32 nodeCount = 0;
    dgInt32 nodeCountAgain = 0;
    dgFloat32 boxMin[4];
    dgFloat32 boxMax[4];
    if (!callback(userData, &vertexCount, 4) || !callback(userData, &indexCount, 4) ||
        !callback(userData, &nodeCount, 4) || !callback(userData, &nodeCountAgain, 4) ||
        !callback(userData, boxMin, 16) || !callback(userData, boxMax, 16)) {
        return false;
    }
    // Counts are checked before anything is allocated: every face block is at least six words and a
    // tree of n nodes has n + 1 faces.
    if (vertexCount < 0 || indexCount < 0 || nodeCount < 0 || nodeCount != nodeCountAgain ||
        indexCount > kMaxIndexWords || vertexCount > kMaxIndexWords ||
        (nodeCount > 0 && (static_cast<dgInt64>(nodeCount) + 1) * 6 > indexCount) || !AllFinite(boxMin, 4) ||
        !AllFinite(boxMax, 4)) {
        return false;
    }
    m_vertexCount = vertexCount;
    m_vertexStride = 12;
    m_indexCount = indexCount;
    m_boxMin = dgVector(boxMin[0], boxMin[1], boxMin[2], boxMin[3]);
    m_boxMax = dgVector(boxMax[0], boxMax[1], boxMax[2], boxMax[3]);
    m_vertices = static_cast<dgFloat32*>(dgMalloc(static_cast<std::size_t>(vertexCount) * 12));
    m_indices = static_cast<dgInt32*>(dgMalloc(static_cast<std::size_t>(indexCount) * 4));
    m_nodes = static_cast<dgDoublePlaneBSPNode*>(dgMalloc(static_cast<std::size_t>(nodeCount) * 20));
    const bool read = (vertexCount == 0 || callback(userData, m_vertices, vertexCount * 12)) &&
                      (indexCount == 0 || callback(userData, m_indices, indexCount * 4)) &&
                      (nodeCount == 0 || callback(userData, m_nodes, nodeCount * 20));
    if (!read || !AllFinite(m_vertices, static_cast<dgInt64>(vertexCount) * 3) || !IsStreamConsistent(nodeCount)) {
        Clear();
        return false;
    }
    return true;
}

bool dgDoublePlaneBSPPolygonSoup::IsLeafValid(dgUnsigned32 link) const {
    const dgInt64 offset = LeafOffset(link);
    const dgInt32 count = LeafCount(link);
    if (offset < 3 || count < 3 || offset + count > m_indexCount) {
        return false;
    }
    for (dgInt64 i = offset - 3; i < offset + count; i++) {
        if (i == offset - 1) {
            continue; // the attribute is the user's
        }
        if (m_indices[i] < 0 || m_indices[i] >= m_vertexCount) {
            return false;
        }
    }
    return true;
}

// A tree: every direction in the table, every child in range, every node but the root referenced
// exactly once and all of them reached from the root; every leaf a face inside the arrays.
bool dgDoublePlaneBSPPolygonSoup::IsStreamConsistent(dgInt32 nodeCount) const {
    if (nodeCount == 0) {
        return true;
    }
    dgScratchArray<dgUnsigned8> referenced(nodeCount);
    dgZeroBytes(referenced.GetData(), static_cast<std::size_t>(nodeCount));
    dgInt64 leaves = 0;
    for (dgInt32 i = 0; i < nodeCount; i++) {
        const dgDoublePlaneBSPNode& node = m_nodes[i];
        if (node.m_direction >= kDirectionCount || !std::isfinite(node.m_leftMax) ||
            !std::isfinite(node.m_rightMin)) {
            return false;
        }
        for (const dgUnsigned32 link : {node.m_left, node.m_right}) {
            if (IsLeaf(link)) {
                if (!IsLeafValid(link)) {
                    return false;
                }
                leaves++;
                continue;
            }
            const dgUnsigned32 child = ChildIndex(link);
            if (child == 0 || child >= static_cast<dgUnsigned32>(nodeCount) || referenced[child] != 0) {
                return false;
            }
            referenced[child] = 1;
        }
    }
    // Each node is referenced at most once, so the walk from the root ends; it must reach them all.
    return leaves == static_cast<dgInt64>(nodeCount) + 1 && CountNodes() == nodeCount;
}

dgFloat32 SoupRayCastClosest(const dgDoublePlaneBSPPolygonSoup& database, const dgVector& p0, const dgVector& p1) {
    RayRecord ray{p0, p1, 1.1f};
    database.ForEachPolygonOnRay(p0, p1, ClosestHitCallback, &ray);
    return ray.m_best;
}

bool SoupRayCastAny(const dgDoublePlaneBSPPolygonSoup& database, const dgVector& p0, const dgVector& p1) {
    RayRecord ray{p0, p1, 1.1f};
    database.ForEachPolygonOnRay(p0, p1, AnyHitCallback, &ray);
    return ray.m_best < 1.1f;
}
