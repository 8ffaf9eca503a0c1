#pragma once
// Reference-counted node of a named tree: the base of the ragdoll and its bones.

#include "physics/core/dgRef.h"

#include <string>

class dgFileStream;

/// A node holds one reference of each of its children, so releasing the root of a hierarchy that
/// nobody else holds deletes the whole tree. The name id of the dgRef header is the node's name.
class dgBaseNode : public dgRef {
public:
    dgBaseNode();
    /// Deep copy of source's subtree: one reference, mark set, source's name id, no parent or sibling,
    /// and a clone of each child (made with the child's CreateClone) in the same order.
    dgBaseNode(const dgBaseNode& source);
    /// Releases the children; those held elsewhere are cut loose (no parent, no sibling, mark cleared).
    ~dgBaseNode() override;

    /// A copy of this node with clones of its whole subtree; derived classes return their own type.
    dgBaseNode* CreateClone() const override;
    dgUnsigned32 GetTypeId() const override;
    bool IsType(dgUnsigned32 typeId) const override;

    /// Walks this node's children and clone's children side by side and calls VisitClonePairs on each
    /// pair; returns the last child's result (0 when there is none). Derived classes match the nodes
    /// of a clone with their originals through it.
    virtual dgInt32 VisitClonePairs(dgBaseNode& clone);
    /// Calls PrintHierarchy of every child with the indentation deepened by three spaces. The base
    /// node writes nothing; derived classes write their own line first.
    virtual void PrintHierarchy(dgFileStream& file, const std::string& indentation) const;
    /// Writes the hierarchy below this node to the named file (opened for writing, mode "w"). False
    /// when the file cannot be opened.
    bool PrintToFile(const char* fileName) const;

    /// Makes this node a child of parent: the first one when asFirst is set or parent has none, the
    /// last one otherwise. A node that already has a parent is moved: it leaves its old chain and the
    /// old parent's reference passes to the new one; a fresh node gives parent one more reference.
    void Attach(dgBaseNode* parent, bool asFirst = false);
    /// Unlinks the node from its parent, which drops its reference (deleting the node if it was the
    /// last). Nothing happens to a root.
    void Detach();

    dgBaseNode* GetParent() const { return m_parent; }
    dgBaseNode* GetChild() const { return m_child; }
    dgBaseNode* GetSibling() const { return m_sibling; }
    dgBaseNode* GetRoot() const;
    /// The deepest first child below this node (itself when it has none): where the post-order walk
    /// of its subtree starts.
    dgBaseNode* GetFirst() const;
    /// The post-order successor: the sibling's deepest first child, else the parent (null at the root).
    dgBaseNode* GetNext() const;
    /// The post-order predecessor, so that GetPrev undoes GetNext (null before the first node).
    dgBaseNode* GetPrev() const;
    /// The first node with nameId on the post-order walk from GetFirst of this node. The walk does not
    /// stop at this node: it goes on to its ancestors and their later subtrees, up to the root.
    dgBaseNode* Find(dgUnsigned32 nameId) const;

private:
    /// Releases a sibling chain. A node that dies has its sibling link cut first, so the chain is
    /// walked here rather than down nested destructors, whatever its length.
    static void ReleaseChain(dgBaseNode* node);
    /// Takes the node out of its parent's child chain; references are untouched.
    void Unlink();
    dgBaseNode* GetLastChild() const;
    dgBaseNode* GetPrevSibling() const;

    dgBaseNode* m_parent;  ///< not owned; null at a root
    dgBaseNode* m_child;   ///< first child; this node holds one reference of each child
    dgBaseNode* m_sibling; ///< next child of the same parent
};
