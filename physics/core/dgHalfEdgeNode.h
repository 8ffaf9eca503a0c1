#pragma once
// Node of the half-edge mesh's edge tree: the tree links, then the half-edge record, then its key.

#include "physics/core/dgHalfEdge.h"
#include "physics/core/dgTreeBase.h"

class dgHalfEdgeMesh;

/// A half-edge inside its tree node. The record is a base, so a record that the mesh handed out
/// converts back to its node with dgHalfEdgeNode::Of. Unlike other tree nodes, the mesh re-keys its
/// nodes in place (rename, flip, compaction) without moving them.
class dgHalfEdgeNode final : public dgTreeNodeBase, public dgHalfEdge {
public:
    dgEdgeKey GetKey() const { return m_key; }
    dgHalfEdgeNode* GetLeft() const { return static_cast<dgHalfEdgeNode*>(dgTreeNodeBase::GetLeft()); }
    dgHalfEdgeNode* GetRight() const { return static_cast<dgHalfEdgeNode*>(dgTreeNodeBase::GetRight()); }
    dgHalfEdgeNode* GetParent() const { return static_cast<dgHalfEdgeNode*>(dgTreeNodeBase::GetParent()); }

    /// The node holding a record of a mesh (every dgHalfEdge the mesh hands out lives in one).
    static dgHalfEdgeNode* Of(dgHalfEdge* edge) { return static_cast<dgHalfEdgeNode*>(edge); }
    static const dgHalfEdgeNode* Of(const dgHalfEdge* edge) {
        return static_cast<const dgHalfEdgeNode*>(edge);
    }

private:
    friend class dgHalfEdgeMesh;

    dgHalfEdgeNode(dgMemoryAllocator* owner, dgTreeNodeBase* parent, const dgHalfEdge& record, dgEdgeKey key)
        : dgTreeNodeBase(owner, parent), dgHalfEdge(record), m_key(key) {}
    ~dgHalfEdgeNode() override = default;

    dgEdgeKey m_key;
};
