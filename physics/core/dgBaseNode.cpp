#include "physics/core/dgBaseNode.h"

#include "physics/core/dgClassIds.h"
#include "physics/core/dgFileStream.h"

dgBaseNode::dgBaseNode() : m_parent(nullptr), m_child(nullptr), m_sibling(nullptr) {}

dgBaseNode::dgBaseNode(const dgBaseNode& source)
    : dgRef(source), m_parent(nullptr), m_child(nullptr), m_sibling(nullptr) {
    dgBaseNode* last = nullptr;
    for (const dgBaseNode* child = source.m_child; child != nullptr; child = child->m_sibling) {
        dgBaseNode* clone = child->CreateClone();
        if (clone == nullptr) {
            continue;
        }
        // The clone's creation reference becomes this node's reference.
        clone->m_parent = this;
        if (last == nullptr) {
            m_child = clone;
        } else {
            last->m_sibling = clone;
        }
        last = clone;
    }
}

dgBaseNode::~dgBaseNode() {
    dgBaseNode* child = m_child;
    m_child = nullptr;
    ReleaseChain(child);
    dgBaseNode* sibling = m_sibling;
    m_sibling = nullptr;
    ReleaseChain(sibling);
}

void dgBaseNode::ReleaseChain(dgBaseNode* node) {
    while (node != nullptr) {
        dgBaseNode* next = node->m_sibling;
        node->m_sibling = nullptr;
        if (node->GetRefCount() > 1) {
            // Held elsewhere: it survives on its own, keeping its children.
            node->ClearMark();
            node->m_parent = nullptr;
        }
        dgRefRelease(node);
        node = next;
    }
}

dgBaseNode* dgBaseNode::CreateClone() const {
    return new dgBaseNode(*this);
}

dgUnsigned32 dgBaseNode::GetTypeId() const {
    return dgBaseNodeClassId;
}

bool dgBaseNode::IsType(dgUnsigned32 typeId) const {
    return typeId == dgBaseNodeClassId || dgRef::IsType(typeId);
}

dgInt32 dgBaseNode::VisitClonePairs(dgBaseNode& clone) {
    dgInt32 result = 0;
    dgBaseNode* counterpart = clone.m_child;
    // A clone with fewer children than this node ends the walk instead of being read past its end.
    for (dgBaseNode* child = m_child; child != nullptr && counterpart != nullptr; child = child->m_sibling) {
        result = child->VisitClonePairs(*counterpart);
        counterpart = counterpart->m_sibling;
    }
    return result;
}

void dgBaseNode::PrintHierarchy(dgFileStream& file, const std::string& indentation) const {
    const std::string deeper = indentation + "   ";
    for (const dgBaseNode* child = m_child; child != nullptr; child = child->m_sibling) {
        child->PrintHierarchy(file, deeper);
    }
}

bool dgBaseNode::PrintToFile(const char* fileName) const {
    dgFileStream file(fileName, "w");
    if (!file.IsOpen()) {
        return false;
    }
    PrintHierarchy(file, std::string());
    return true;
}

void dgBaseNode::Attach(dgBaseNode* parent, bool asFirst) {
    dgAssert(parent != nullptr);
    // A node placed below itself would make a cycle that no release could ever break.
    for (const dgBaseNode* ancestor = parent; ancestor != nullptr; ancestor = ancestor->m_parent) {
        dgAssert(ancestor != this);
    }
    if (m_parent != nullptr) {
        Unlink();
    } else {
        AddRef();
    }
    m_parent = parent;
    if (parent->m_child == nullptr || asFirst) {
        m_sibling = parent->m_child;
        parent->m_child = this;
    } else {
        m_sibling = nullptr;
        parent->GetLastChild()->m_sibling = this;
    }
}

void dgBaseNode::Detach() {
    if (m_parent == nullptr) {
        return;
    }
    Unlink();
    dgRefRelease(this);
}

void dgBaseNode::Unlink() {
    dgAssert(m_parent != nullptr);
    if (m_parent->m_child == this) {
        m_parent->m_child = m_sibling;
    } else {
        GetPrevSibling()->m_sibling = m_sibling;
    }
    m_parent = nullptr;
    m_sibling = nullptr;
}

dgBaseNode* dgBaseNode::GetLastChild() const {
    dgBaseNode* last = m_child;
    while (last != nullptr && last->m_sibling != nullptr) {
        last = last->m_sibling;
    }
    return last;
}

dgBaseNode* dgBaseNode::GetPrevSibling() const {
    if (m_parent == nullptr || m_parent->m_child == this) {
        return nullptr;
    }
    dgBaseNode* prev = m_parent->m_child;
    while (prev->m_sibling != this) {
        prev = prev->m_sibling;
    }
    return prev;
}

dgBaseNode* dgBaseNode::GetRoot() const {
    const dgBaseNode* node = this;
    while (node->m_parent != nullptr) {
        node = node->m_parent;
    }
    return const_cast<dgBaseNode*>(node);
}

dgBaseNode* dgBaseNode::GetFirst() const {
    const dgBaseNode* node = this;
    while (node->m_child != nullptr) {
        node = node->m_child;
    }
    return const_cast<dgBaseNode*>(node);
}

dgBaseNode* dgBaseNode::GetNext() const {
    if (m_sibling != nullptr) {
        return m_sibling->GetFirst();
    }
    return m_parent;
}

dgBaseNode* dgBaseNode::GetPrev() const {
    if (m_child != nullptr) {
        return GetLastChild();
    }
    for (const dgBaseNode* node = this; node != nullptr; node = node->m_parent) {
        if (dgBaseNode* prev = node->GetPrevSibling()) {
            return prev;
        }
    }
    return nullptr;
}

dgBaseNode* dgBaseNode::Find(dgUnsigned32 nameId) const {
    for (dgBaseNode* node = GetFirst(); node != nullptr; node = node->GetNext()) {
        if (node->GetNameId() == nameId) {
            return node;
        }
    }
    return nullptr;
}
