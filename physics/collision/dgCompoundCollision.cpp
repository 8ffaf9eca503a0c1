#include "physics/collision/dgCompoundCollision.h"

#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexCollision.h"
#include "physics/collision/dgIntersections.h"
#include "physics/collision/dgPolyhedraMassIntegrator.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgHeap.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgScratchArray.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"

#include <cstddef>

namespace {

constexpr dgFloat32 kMinInertiaVolume = 0.001f;
constexpr dgFloat32 kVolumeEpsilon = 1.0e-6f;

// Sweep entries: children of the first set by index, of the second by -1 - index.
using SweepHeap = dgMinHeap<dgFloat32, dgInt32>;

const dgCompoundCollision::ChildBox& SweptBox(dgInt32 value, const dgCompoundCollision::ChildBox* boxes0,
                                              const dgCompoundCollision::ChildBox* boxes1) {
    return value >= 0 ? boxes0[value] : boxes1[-1 - value];
}

// The axis along which the box centres spread most: largest n * sum(c^2) - (sum c)^2.
dgInt32 SweepAxis(dgInt32 count0, const dgCompoundCollision::ChildBox* boxes0, dgInt32 count1,
                  const dgCompoundCollision::ChildBox* boxes1) {
    dgFloat64 sum[3] = {0.0, 0.0, 0.0};
    dgFloat64 sum2[3] = {0.0, 0.0, 0.0};
    auto add = [&sum, &sum2](const dgCompoundCollision::ChildBox& box) {
        for (dgInt32 axis = 0; axis < 3; axis++) {
            const dgFloat64 c = 0.5 * (static_cast<dgFloat64>(box.m_min[axis]) + box.m_max[axis]);
            sum[axis] += c;
            sum2[axis] += c * c;
        }
    };
    for (dgInt32 i = 0; i < count0; i++) {
        add(boxes0[i]);
    }
    for (dgInt32 i = 0; i < count1; i++) {
        add(boxes1[i]);
    }
    const dgFloat64 n = static_cast<dgFloat64>(count0) + count1;
    dgInt32 best = 0;
    dgFloat64 bestSpread = n * sum2[0] - sum[0] * sum[0];
    for (dgInt32 axis = 1; axis < 3; axis++) {
        const dgFloat64 spread = n * sum2[axis] - sum[axis] * sum[axis];
        if (spread > bestSpread) {
            bestSpread = spread;
            best = axis;
        }
    }
    return best;
}

std::size_t BlockBytes(dgInt32 capacity) {
    const auto n = static_cast<std::size_t>(capacity);
    return n * (sizeof(dgMatrix) + sizeof(dgCompoundCollision::ChildBox) + sizeof(dgCollision*));
}

} // namespace

dgCompoundCollision::dgCompoundCollision(dgInt32 count, dgCollision* const* children, dgWorld* world)
    : dgCollision(0, dgGetIdentityMatrix(), kCompoundCollision), m_world(world) {
    dgAssert(count >= 0 && (count == 0 || children != nullptr));
    Reserve(count > 0 ? count : 0);
    for (dgInt32 i = 0; i < m_capacity; i++) {
        dgAssert(AcceptsChild(children[i]));
        m_children[i] = children[i];
        m_children[i]->AddRef();
        m_count = i + 1;
        InitEntry(i);
    }
}

dgCompoundCollision::~dgCompoundCollision() {
    for (dgInt32 i = 0; i < m_count; i++) {
        ReleaseChild(m_children[i]);
    }
    dgFree(m_matrices);
}

bool dgCompoundCollision::AcceptsChild(const dgCollision* child) {
    return child != nullptr && child->IsType(dgConvexCollisionClassId);
}

bool dgCompoundCollision::AddCollision(dgCollision* child) {
    if (!AcceptsChild(child)) {
        return false;
    }
    if (m_count == m_capacity) {
        // Doubling alone would keep a compound made empty at no room forever.
        Reserve(m_capacity * 2 > kMinGrowCapacity ? m_capacity * 2 : kMinGrowCapacity);
    }
    m_children[m_count] = child;
    child->AddRef();
    InitEntry(m_count);
    m_count++;
    return true;
}

void dgCompoundCollision::RemoveCollision(dgCollision* child) {
    for (dgInt32 i = 0; i < m_count; i++) {
        if (m_children[i] == child) {
            const dgInt32 last = m_count - 1;
            m_children[i] = m_children[last];
            m_matrices[i] = m_matrices[last];
            m_boxes[i] = m_boxes[last];
            m_count = last;
            // Released after the entry is gone: the release may delete the child.
            ReleaseChild(child);
            return;
        }
    }
}

void dgCompoundCollision::Reserve(dgInt32 capacity) {
    dgAssert(capacity >= m_count);
    auto* block = static_cast<unsigned char*>(dgMalloc(BlockBytes(capacity)));
    const auto n = static_cast<std::size_t>(capacity);
    auto* matrices = reinterpret_cast<dgMatrix*>(block);
    auto* boxes = reinterpret_cast<ChildBox*>(block + n * sizeof(dgMatrix));
    auto* children = reinterpret_cast<dgCollision**>(block + n * (sizeof(dgMatrix) + sizeof(ChildBox)));
    for (dgInt32 i = 0; i < m_count; i++) {
        matrices[i] = m_matrices[i];
        boxes[i] = m_boxes[i];
        children[i] = m_children[i];
    }
    dgFree(m_matrices);
    m_matrices = matrices;
    m_boxes = boxes;
    m_children = children;
    m_capacity = capacity;
}

void dgCompoundCollision::InitEntry(dgInt32 index) {
    const dgCollision* child = m_children[index];
    m_matrices[index] = child->GetOffsetMatrix();
    child->CalcWorldBox(m_matrices[index], m_boxes[index].m_min, m_boxes[index].m_max);
}

void dgCompoundCollision::ReleaseChild(dgCollision* child) const {
    if (m_world != nullptr) {
        m_world->ReleaseCollision(child);
    } else {
        dgRefRelease(child);
    }
}

dgUnsigned32 dgCompoundCollision::GetTypeId() const {
    return dgCompoundCollisionClassId;
}

bool dgCompoundCollision::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCompoundCollisionClassId || dgCollision::IsType(typeId);
}

void dgCompoundCollision::SetCollisionBBox(const dgVector&, const dgVector&) {}

dgUnsigned32 dgCompoundCollision::CalcSignature() const {
    return 0;
}

void dgCompoundCollision::CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const {
    dgVector minBox = matrix.posit;
    dgVector maxBox = matrix.posit;
    for (dgInt32 i = 0; i < m_count; i++) {
        m_matrices[i] = m_children[i]->GetOffsetMatrix().Multiply(matrix);
        ChildBox& box = m_boxes[i];
        m_children[i]->CalcWorldBox(m_matrices[i], box.m_min, box.m_max);
        for (dgInt32 axis = 0; axis < 3; axis++) {
            if (box.m_min[axis] < minBox[axis]) {
                minBox[axis] = box.m_min[axis];
            }
            if (box.m_max[axis] > maxBox[axis]) {
                maxBox[axis] = box.m_max[axis];
            }
        }
    }
    minOut = minBox;
    maxOut = maxBox;
}

void dgCompoundCollision::CalcChildPlacements(const dgMatrix& matrix, dgMatrix* matricesOut,
                                              ChildBox* boxesOut) const {
    for (dgInt32 i = 0; i < m_count; i++) {
        matricesOut[i] = m_children[i]->GetOffsetMatrix().Multiply(matrix);
        m_children[i]->CalcWorldBox(matricesOut[i], boxesOut[i].m_min, boxesOut[i].m_max);
    }
}

void dgCompoundCollision::ForEachOverlappingChildPair(dgInt32 count0, const ChildBox* boxes0, dgInt32 count1,
                                                      const ChildBox* boxes1, ChildPairCallback callback,
                                                      void* context) {
    if (count0 <= 0 || count1 <= 0 || callback == nullptr) {
        return;
    }
    const dgInt32 axis = SweepAxis(count0, boxes0, count1, boxes1);
    const dgInt32 total = count0 + count1;
    dgScratchArray<SweepHeap::Entry> entries(2 * total);
    SweepHeap pending(entries.GetData(), total);
    SweepHeap active(entries.GetData() + total, total);
    for (dgInt32 i = 0; i < count0; i++) {
        pending.Push(i, boxes0[i].m_min[axis]);
    }
    for (dgInt32 i = 0; i < count1; i++) {
        pending.Push(-1 - i, boxes1[i].m_min[axis]);
    }
    while (pending.GetCount() > 0) {
        const dgInt32 value = pending.GetValue(0);
        const dgFloat32 lower = pending.GetKey(0);
        pending.Pop();
        // Boxes that end before this one starts can meet no later box either.
        while (active.GetCount() > 0 && active.GetKey(0) < lower) {
            active.Pop();
        }
        const ChildBox& box = SweptBox(value, boxes0, boxes1);
        for (dgInt32 k = 0; k < active.GetCount(); k++) {
            const dgInt32 other = active.GetValue(k);
            if ((other >= 0) == (value >= 0)) {
                continue;
            }
            const ChildBox& otherBox = SweptBox(other, boxes0, boxes1);
            if (BoxesOverlap(box.m_min, box.m_max, otherBox.m_min, otherBox.m_max)) {
                if (value >= 0) {
                    callback(context, value, -1 - other);
                } else {
                    callback(context, other, -1 - value);
                }
            }
        }
        active.Push(value, box.m_max[axis]);
    }
}

void dgCompoundCollision::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body, dgCollisionFaceCallback callback) const {
    dgCollision* const own = body->m_collision;
    for (dgInt32 i = 0; i < m_count; i++) {
        body->m_collision = m_children[i];
        m_children[i]->ForEachDisplayFace(bodyMatrix, body, callback);
    }
    body->m_collision = own;
}

dgFloat32 dgCompoundCollision::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                       dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    dgFloat32 best = kNoHit;
    for (dgInt32 i = 0; i < m_count; i++) {
        if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
            continue;
        }
        const dgCollision* child = m_children[i];
        const dgMatrix& offset = child->GetOffsetMatrix();
        dgVector q0 = offset.InverseTransformVector(p0);
        dgVector q1 = offset.InverseTransformVector(p1);
        q0.w = 1.0f;
        q1.w = 1.0f;
        dgContactPoint local;
        const dgFloat32 t = child->RayCast(q0, q1, local, nullptr, nullptr, nullptr);
        if (t < best) {
            best = t;
            contactOut = local;
            contactOut.m_normal = offset.RotateVector(local.m_normal);
            contactOut.m_normal.w = 1.0f;
        }
    }
    return best;
}

dgFloat32 dgCompoundCollision::GetVolume() const {
    dgFloat32 volume = 0.0f;
    for (dgInt32 i = 0; i < m_count; i++) {
        volume += m_children[i]->GetVolume();
    }
    return volume;
}

void dgCompoundCollision::CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const {
    dgFloat32 volume = 0.0f;
    dgVector diagonal(0.0f, 0.0f, 0.0f, 0.0f);
    dgVector firstMoments(0.0f, 0.0f, 0.0f, 0.0f);
    for (dgInt32 i = 0; i < m_count; i++) {
        dgVector childDiagonal;
        dgVector childProducts;
        dgVector childMoments;
        const auto* child = static_cast<const dgConvexCollision*>(m_children[i]);
        volume += child->CalcMassProperties(childDiagonal, childProducts, childMoments);
        diagonal = diagonal.Add(childDiagonal);
        firstMoments = firstMoments.Add(childMoments);
    }
    dgInertiaFromMoments(volume, diagonal, firstMoments, kMinInertiaVolume, inertiaOut, centreOut);
}

dgVector dgCompoundCollision::CalcVolumeUnderPlane(const dgMatrix& matrix, dgBuoyancyPlaneCallback callback,
                                                   void* context) const {
    dgVector weighted(0.0f, 0.0f, 0.0f, 0.0f);
    dgFloat32 volume = 0.0f;
    for (dgInt32 i = 0; i < m_count; i++) {
        const dgCollision* child = m_children[i];
        const dgMatrix childMatrix = child->GetOffsetMatrix().Multiply(matrix);
        const dgVector part = child->CalcVolumeUnderPlane(childMatrix, callback, context);
        weighted = weighted.Add(part.Scale(part.w));
        volume += part.w;
    }
    const dgFloat32 scale = 1.0f / (volume + kVolumeEpsilon);
    return dgVector(weighted.x * scale, weighted.y * scale, weighted.z * scale, volume);
}
