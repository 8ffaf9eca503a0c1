#include "physics/core/dgTreeBase.h"

void dgTreeNodeBase::DeleteSelf() {
    dgMemoryAllocator* owner = m_owner;
    this->~dgTreeNodeBase();
    owner->Free(this);
}

dgTreeNodeBase* dgTreeBase::Minimum(dgTreeNodeBase* node) {
    if (node != nullptr) {
        while (node->m_left != nullptr) {
            node = node->m_left;
        }
    }
    return node;
}

dgTreeNodeBase* dgTreeBase::Maximum(dgTreeNodeBase* node) {
    if (node != nullptr) {
        while (node->m_right != nullptr) {
            node = node->m_right;
        }
    }
    return node;
}

dgTreeNodeBase* dgTreeBase::Next(dgTreeNodeBase* node) {
    if (node->m_right != nullptr) {
        return Minimum(node->m_right);
    }
    dgTreeNodeBase* parent = node->m_parent;
    while (parent != nullptr && node == parent->m_right) {
        node = parent;
        parent = parent->m_parent;
    }
    return parent;
}

dgTreeNodeBase* dgTreeBase::Prev(dgTreeNodeBase* node) {
    if (node->m_left != nullptr) {
        return Maximum(node->m_left);
    }
    dgTreeNodeBase* parent = node->m_parent;
    while (parent != nullptr && node == parent->m_left) {
        node = parent;
        parent = parent->m_parent;
    }
    return parent;
}

void dgTreeBase::RotateLeft(dgTreeNodeBase* node, dgTreeNodeBase** root) {
    dgTreeNodeBase* pivot = node->m_right;
    node->m_right = pivot->m_left;
    if (pivot->m_left != nullptr) {
        pivot->m_left->m_parent = node;
    }
    pivot->m_parent = node->m_parent;
    if (node->m_parent == nullptr) {
        *root = pivot;
    } else if (node == node->m_parent->m_left) {
        node->m_parent->m_left = pivot;
    } else {
        node->m_parent->m_right = pivot;
    }
    pivot->m_left = node;
    node->m_parent = pivot;
}

void dgTreeBase::RotateRight(dgTreeNodeBase* node, dgTreeNodeBase** root) {
    dgTreeNodeBase* pivot = node->m_left;
    node->m_left = pivot->m_right;
    if (pivot->m_right != nullptr) {
        pivot->m_right->m_parent = node;
    }
    pivot->m_parent = node->m_parent;
    if (node->m_parent == nullptr) {
        *root = pivot;
    } else if (node == node->m_parent->m_right) {
        node->m_parent->m_right = pivot;
    } else {
        node->m_parent->m_left = pivot;
    }
    pivot->m_right = node;
    node->m_parent = pivot;
}

void dgTreeBase::Link(dgTreeNodeBase* node, dgTreeNodeBase* parent, bool left) {
    if (parent == nullptr) {
        m_root = node;
    } else if (left) {
        parent->m_left = node;
    } else {
        parent->m_right = node;
    }
    InsertFixup(node, &m_root);
}

void dgTreeBase::Relink(dgTreeNodeBase* node, dgTreeNodeBase* parent, bool left) {
    dgAssert(!node->IsInTree());
    node->m_left = nullptr;
    node->m_right = nullptr;
    node->m_parent = parent;
    node->m_flags = dgTreeNodeBase::kRed | dgTreeNodeBase::kInTree;
    node->SetMark();
    Link(node, parent, left);
}

void dgTreeBase::InsertFixup(dgTreeNodeBase* node, dgTreeNodeBase** root) {
    while (node != *root && IsRed(node->m_parent)) {
        dgTreeNodeBase* parent = node->m_parent;
        dgTreeNodeBase* grandParent = parent->m_parent; // a red parent is never the root
        if (parent == grandParent->m_left) {
            dgTreeNodeBase* uncle = grandParent->m_right;
            if (IsRed(uncle)) {
                SetBlack(parent);
                SetBlack(uncle);
                SetRed(grandParent);
                node = grandParent;
            } else {
                if (node == parent->m_right) {
                    node = parent;
                    RotateLeft(node, root);
                    parent = node->m_parent;
                }
                SetBlack(parent);
                SetRed(grandParent);
                RotateRight(grandParent, root);
            }
        } else {
            dgTreeNodeBase* uncle = grandParent->m_left;
            if (IsRed(uncle)) {
                SetBlack(parent);
                SetBlack(uncle);
                SetRed(grandParent);
                node = grandParent;
            } else {
                if (node == parent->m_left) {
                    node = parent;
                    RotateRight(node, root);
                    parent = node->m_parent;
                }
                SetBlack(parent);
                SetRed(grandParent);
                RotateLeft(grandParent, root);
            }
        }
    }
    SetBlack(*root);
}

// Puts replacement (possibly null) where node hangs under its parent.
void dgTreeBase::Transplant(dgTreeNodeBase* node, dgTreeNodeBase* replacement, dgTreeNodeBase** root) {
    if (node->m_parent == nullptr) {
        *root = replacement;
    } else if (node == node->m_parent->m_left) {
        node->m_parent->m_left = replacement;
    } else {
        node->m_parent->m_right = replacement;
    }
    if (replacement != nullptr) {
        replacement->m_parent = node->m_parent;
    }
}

void dgTreeBase::Remove(dgTreeNodeBase* node, dgTreeNodeBase** root) {
    node->ClearMark();
    node->m_flags &= ~dgTreeNodeBase::kInTree;

    bool removedBlack = !IsRed(node);
    dgTreeNodeBase* child;       // what takes the place that lost a colour (may be null)
    dgTreeNodeBase* childParent; // its parent, needed when child is null
    if (node->m_left == nullptr) {
        child = node->m_right;
        childParent = node->m_parent;
        Transplant(node, node->m_right, root);
    } else if (node->m_right == nullptr) {
        child = node->m_left;
        childParent = node->m_parent;
        Transplant(node, node->m_left, root);
    } else {
        // The in-order successor moves, as a node, into the removed node's place and takes its colour.
        dgTreeNodeBase* successor = Minimum(node->m_right);
        removedBlack = !IsRed(successor);
        child = successor->m_right;
        if (successor->m_parent == node) {
            childParent = successor;
        } else {
            childParent = successor->m_parent;
            Transplant(successor, successor->m_right, root);
            successor->m_right = node->m_right;
            successor->m_right->m_parent = successor;
        }
        Transplant(node, successor, root);
        successor->m_left = node->m_left;
        successor->m_left->m_parent = successor;
        successor->m_flags =
            (successor->m_flags & ~dgTreeNodeBase::kRed) | (node->m_flags & dgTreeNodeBase::kRed);
    }
    if (removedBlack) {
        RemoveFixup(child, childParent, root);
    }

    node->m_left = nullptr;
    node->m_right = nullptr;
    node->m_parent = nullptr;
    dgRefRelease(node);
}

void dgTreeBase::RemoveFixup(dgTreeNodeBase* node, dgTreeNodeBase* parent, dgTreeNodeBase** root) {
    while (node != *root && !IsRed(node)) {
        if (node == parent->m_left) {
            dgTreeNodeBase* sibling = parent->m_right;
            if (IsRed(sibling)) {
                SetBlack(sibling);
                SetRed(parent);
                RotateLeft(parent, root);
                sibling = parent->m_right;
            }
            if (!IsRed(sibling->m_left) && !IsRed(sibling->m_right)) {
                SetRed(sibling);
                node = parent;
                parent = node->m_parent;
            } else {
                if (!IsRed(sibling->m_right)) {
                    SetBlack(sibling->m_left);
                    SetRed(sibling);
                    RotateRight(sibling, root);
                    sibling = parent->m_right;
                }
                sibling->m_flags =
                    (sibling->m_flags & ~dgTreeNodeBase::kRed) | (parent->m_flags & dgTreeNodeBase::kRed);
                SetBlack(parent);
                SetBlack(sibling->m_right);
                RotateLeft(parent, root);
                node = *root;
            }
        } else {
            dgTreeNodeBase* sibling = parent->m_left;
            if (IsRed(sibling)) {
                SetBlack(sibling);
                SetRed(parent);
                RotateRight(parent, root);
                sibling = parent->m_left;
            }
            if (!IsRed(sibling->m_left) && !IsRed(sibling->m_right)) {
                SetRed(sibling);
                node = parent;
                parent = node->m_parent;
            } else {
                if (!IsRed(sibling->m_left)) {
                    SetBlack(sibling->m_right);
                    SetRed(sibling);
                    RotateLeft(sibling, root);
                    sibling = parent->m_left;
                }
                sibling->m_flags =
                    (sibling->m_flags & ~dgTreeNodeBase::kRed) | (parent->m_flags & dgTreeNodeBase::kRed);
                SetBlack(parent);
                SetBlack(sibling->m_left);
                RotateRight(parent, root);
                node = *root;
            }
        }
    }
    if (node != nullptr) {
        SetBlack(node);
    }
}

void dgTreeBase::RemoveNode(dgTreeNodeBase* node) {
    dgAssert(m_count > 0 && node->IsInTree());
    m_count--;
    Remove(node, &m_root);
}

void dgTreeBase::RemoveAll() {
    if (m_root != nullptr) {
        m_count = 0;
        ReleaseAll(m_root);
        m_root = nullptr;
    }
}

void dgTreeBase::ReleaseAll(dgTreeNodeBase* node) {
    while (node->m_parent != nullptr) {
        node = node->m_parent;
    }
    ReleaseSubtree(node);
}

void dgTreeBase::ReleaseSubtree(dgTreeNodeBase* node) {
    if (node->m_left != nullptr) {
        ReleaseSubtree(node->m_left);
    }
    if (node->m_right != nullptr) {
        ReleaseSubtree(node->m_right);
    }
    ReleaseOne(node);
}

// A node held elsewhere survives with its links cleared, so nothing can walk into freed nodes.
void dgTreeBase::ReleaseOne(dgTreeNodeBase* node) {
    node->m_flags &= ~dgTreeNodeBase::kInTree;
    node->ClearMark();
    node->m_left = nullptr;
    node->m_right = nullptr;
    node->m_parent = nullptr;
    dgRefRelease(node);
}
