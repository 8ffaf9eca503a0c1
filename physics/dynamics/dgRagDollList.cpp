#include "physics/dynamics/dgRagDollList.h"

#include "physics/dynamics/dgRagDollBone.h"
#include "physics/dynamics/dgWorld.h"

dgRagDoll* dgRagDollList::Add() {
    Node* node = Append(m_world);
    node->GetInfo().m_listNode = node;
    return &node->GetInfo();
}

bool dgRagDollList::Remove(dgRagDoll* ragdoll) {
    Node* node = GetFirst();
    while (node != nullptr && &node->GetInfo() != ragdoll) {
        node = node->GetNext();
    }
    if (node == nullptr) {
        return false;
    }
    if (ragdoll->m_pendingUpdate != nullptr) {
        m_world->m_ragdollUpdates.Remove(ragdoll->m_pendingUpdate);
        ragdoll->m_pendingUpdate = nullptr;
    }
    ragdoll->ReleaseTree();
    dgList<dgRagDoll>::Remove(node);
    return true;
}

void dgRagDollList::DestroyAll() {
    while (Node* node = GetFirst()) {
        Remove(&node->GetInfo());
    }
}

void dgRagDollList::UpdateAll() {
    dgList<dgRagDoll*>& queue = m_world->m_ragdollUpdates;
    while (dgListNode<dgRagDoll*>* entry = queue.GetLast()) {
        dgRagDoll* ragdoll = entry->GetInfo();
        Node* holder = ragdoll->m_listNode;
        holder->AddRef();
        Report(ragdoll);
        // A record removed during its report has already left the queue.
        if (ragdoll->m_pendingUpdate != nullptr) {
            queue.Remove(ragdoll->m_pendingUpdate);
            ragdoll->m_pendingUpdate = nullptr;
        }
        dgRefRelease(holder);
    }
}

void dgRagDollList::Report(dgRagDoll* ragdoll) {
    dgRagDollBone* root = ragdoll->m_root;
    if (root == nullptr || ragdoll->m_transformCallback == nullptr) {
        return;
    }
    // Held so that a rebuild or a destruction from the callback leaves the walk something to stand on;
    // the walk ends as soon as the tree is no longer the ragdoll's.
    root->AddRef();
    for (dgBaseNode* node = root->GetFirst(); node != nullptr && ragdoll->m_root == root;) {
        ragdoll->m_transformCallback(static_cast<dgRagDollBone*>(node));
        node = node->GetNext();
    }
    dgRefRelease(root);
}
