#include "physics/core/dgHalfEdgeMesh.h"

#include "physics/core/dgScratchArray.h"

namespace {
// Longest ring the consistency check follows.
constexpr dgInt32 kMaxCheckedRing = 65536;
} // namespace

dgInt32 dgHalfEdgeMesh::CountFaces() {
    const dgUnsigned32 mark = IncrementMarkCounter();
    dgInt32 count = 0;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_mark != mark && node->m_face >= 0) {
            count++;
            dgHalfEdge* ptr = node;
            do {
                ptr->m_mark = mark;
                ptr = ptr->m_next;
            } while (ptr != nullptr && ptr != node);
        }
    }
    return count;
}

dgInt32 dgHalfEdgeMesh::CountOpenRings() {
    const dgUnsigned32 mark = IncrementMarkCounter();
    dgInt32 count = 0;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_mark != mark && node->m_face <= 0) {
            count++;
            dgHalfEdge* ptr = node;
            do {
                ptr->m_mark = mark;
                ptr = ptr->m_next;
            } while (ptr != nullptr && ptr != node);
        }
    }
    return count;
}

dgInt32 dgHalfEdgeMesh::VertexIndexLimit() const {
    dgInt32 limit = 0;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_origin >= limit) {
            limit = node->m_origin + 1;
        }
    }
    return limit;
}

dgHalfEdge* dgHalfEdgeMesh::FindUnmarkedFaceEdge(const dgList<dgHalfEdge*>& list, dgUnsigned32 mark) {
    for (dgList<dgHalfEdge*>::Node* item = list.GetFirst(); item != nullptr; item = item->GetNext()) {
        dgHalfEdge* const start = item->GetInfo();
        dgHalfEdge* ptr = start;
        do {
            if (ptr->m_face > 0 && ptr->m_mark != mark) {
                return ptr;
            }
            ptr = ptr->m_twin->m_next;
        } while (ptr != start);
    }
    return nullptr;
}

bool dgHalfEdgeMesh::IsEdgeValid(const dgHalfEdgeNode* node, dgInt32* ringOrigins,
                                 dgInt32 ringCapacity) const {
    const dgHalfEdge* edge = node;
    const dgHalfEdge* twin = edge->m_twin;
    if (!node->IsInTree() || !node->IsMarked() || twin == nullptr || edge->m_next == nullptr ||
        edge->m_prev == nullptr) {
        return false;
    }
    if (edge->m_face < 0 && twin->m_face < 0) {
        return false;
    }
    if (edge->m_mark > m_markCounter) {
        return false;
    }
    if (node->GetKey() != dgMakeEdgeKey(edge->m_origin, twin->m_origin)) {
        return false;
    }
    if (twin->m_twin != edge || edge->m_prev->m_next != edge || edge->m_next->m_prev != edge) {
        return false;
    }

    // The fan around the origin: every half-edge leaving it starts there, and the walk comes back.
    const dgInt32 stepLimit = GetCount();
    const dgHalfEdge* ptr = edge;
    dgInt32 steps = 0;
    do {
        if (ptr->m_origin != edge->m_origin || ptr->m_twin == nullptr || ptr->m_twin->m_next == nullptr ||
            ++steps > stepLimit) {
            return false;
        }
        ptr = ptr->m_twin->m_next;
    } while (ptr != edge);

    // The ring forwards, then backwards over the same origins.
    dgInt32 ringCount = 0;
    ptr = edge;
    do {
        if (ptr == nullptr || ptr->m_face != edge->m_face || ringCount >= ringCapacity) {
            return false;
        }
        ringOrigins[ringCount++] = ptr->m_origin;
        ptr = ptr->m_next;
    } while (ptr != edge);
    ptr = edge->m_prev;
    for (dgInt32 i = ringCount - 1; i > 0; i--) {
        if (ptr == nullptr || ptr->m_face != edge->m_face || ptr->m_origin != ringOrigins[i]) {
            return false;
        }
        ptr = ptr->m_prev;
    }
    return ptr == edge;
}

bool dgHalfEdgeMesh::IsValid() const {
    dgScratchArray<dgInt32> ringOrigins(kMaxCheckedRing);
    dgInt32 visited = 0;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (!IsEdgeValid(node, ringOrigins.GetData(), kMaxCheckedRing)) {
            return false;
        }
        visited++;
    }
    return visited == GetCount() && IsValidTree();
}

bool dgHalfEdgeMesh::IsValidSubtree(const dgHalfEdgeNode* node, dgInt32 blackCount, dgInt32 blacksAbove) {
    if (node == nullptr) {
        return blacksAbove == blackCount;
    }
    const dgHalfEdgeNode* left = node->GetLeft();
    const dgHalfEdgeNode* right = node->GetRight();
    if ((left != nullptr && (left->GetKey() > node->GetKey() || left->GetParent() != node)) ||
        (right != nullptr && (right->GetKey() < node->GetKey() || right->GetParent() != node))) {
        return false;
    }
    if (IsRed(node) && (IsRed(left) || IsRed(right))) {
        return false;
    }
    const dgInt32 below = blacksAbove + (IsRed(node) ? 0 : 1);
    return IsValidSubtree(left, blackCount, below) && IsValidSubtree(right, blackCount, below);
}

bool dgHalfEdgeMesh::IsValidTree() const {
    const dgHalfEdgeNode* root = GetRoot();
    if (root == nullptr) {
        return m_count == 0;
    }
    if (IsRed(root) || root->GetParent() != nullptr) {
        return false;
    }
    dgInt32 blackCount = 0;
    for (const dgHalfEdgeNode* node = root; node != nullptr; node = node->GetLeft()) {
        blackCount += IsRed(node) ? 0 : 1;
    }
    return IsValidSubtree(root, blackCount, 0);
}
