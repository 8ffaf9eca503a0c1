#include "physics/core/dgHalfEdgeMesh.h"

#include "physics/core/dgTree.h"

namespace {

constexpr dgInt32 kHistoryLimit = 16;

// The most recently emitted vertices, newest first, each as a half-edge leaving it.
class dgVertexHistory {
public:
    /// Prepends edge unless its origin is already listed; the oldest entry drops out past the limit.
    /// True when edge was added.
    bool Add(dgHalfEdge* edge) {
        for (dgList<dgHalfEdge*>::Node* node = m_list.GetFirst(); node != nullptr; node = node->GetNext()) {
            if (node->GetInfo()->m_origin == edge->m_origin) {
                return false;
            }
        }
        m_list.Prepend(edge);
        if (m_list.GetCount() > kHistoryLimit) {
            m_list.Remove(m_list.GetLast());
        }
        return true;
    }

    /// Weight of vertex: history count + 2 - k for the entry k steps from the oldest, 0 when absent, so
    /// the vertices about to drop out weigh most.
    dgInt32 Weight(dgInt32 vertex) const {
        dgInt32 k = 0;
        for (dgList<dgHalfEdge*>::Node* node = m_list.GetLast(); node != nullptr; node = node->GetPrev()) {
            if (node->GetInfo()->m_origin == vertex) {
                return m_list.GetCount() + 2 - k;
            }
            k++;
        }
        return 0;
    }

    const dgList<dgHalfEdge*>& GetList() const { return m_list; }

private:
    dgList<dgHalfEdge*> m_list;
};

// Around the origin of start, the first half-edge of a face not yet emitted; null when none.
dgHalfEdge* FindOpenFace(dgHalfEdge* start, dgUnsigned32 mark) {
    dgHalfEdge* ptr = start;
    do {
        if (ptr->m_face > 0 && ptr->m_mark != mark) {
            return ptr;
        }
        ptr = ptr->m_twin->m_next;
    } while (ptr != start);
    return nullptr;
}

} // namespace

std::vector<dgInt32> dgHalfEdgeMesh::OrderFaces() {
    std::vector<dgInt32> indices;
    dgTree<dgHalfEdge*, dgInt32> vertexTree;
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        vertexTree.Insert(node, node->m_origin);
    }

    const dgUnsigned32 mark = IncrementMarkCounter();
    dgVertexHistory history;
    for (;;) {
        // A start around the oldest recent vertex that still has a face, else around the lowest
        // vertex index that has one; vertices with nothing left leave the tree.
        dgHalfEdge* start = nullptr;
        for (dgList<dgHalfEdge*>::Node* node = history.GetList().GetLast(); node != nullptr && start == nullptr;
             node = node->GetPrev()) {
            start = FindOpenFace(node->GetInfo(), mark);
        }
        while (start == nullptr && vertexTree.GetCount() > 0) {
            dgTree<dgHalfEdge*, dgInt32>::Node* const vertex = vertexTree.GetFirst();
            start = FindOpenFace(vertex->GetInfo(), mark);
            if (start == nullptr) {
                vertexTree.RemoveNode(vertex);
            }
        }
        if (start == nullptr) {
            break;
        }

        // The face around the start's vertex whose other corners weigh most in the history.
        dgHalfEdge* best = start;
        dgInt32 bestScore = -1;
        dgHalfEdge* ptr = start;
        do {
            if (ptr->m_face > 0 && ptr->m_mark != mark) {
                const dgInt32 score =
                    history.Weight(ptr->m_next->m_origin) + history.Weight(ptr->m_prev->m_origin);
                if (score > bestScore) {
                    bestScore = score;
                    best = ptr;
                }
            }
            ptr = ptr->m_twin->m_next;
        } while (ptr != start);

        ptr = best;
        do {
            indices.push_back(ptr->m_origin);
            history.Add(ptr);
            ptr->m_mark = mark;
            ptr = ptr->m_next;
        } while (ptr != best);
    }

    // Faces no vertex fan reaches (none in a consistent mesh) still go out, in tree order.
    for (dgHalfEdgeNode* node = GetFirst(); node != nullptr; node = GetNext(node)) {
        if (node->m_face > 0 && node->m_mark != mark) {
            dgHalfEdge* ptr = node;
            do {
                indices.push_back(ptr->m_origin);
                ptr->m_mark = mark;
                ptr = ptr->m_next;
            } while (ptr != node);
        }
    }
    return indices;
}
