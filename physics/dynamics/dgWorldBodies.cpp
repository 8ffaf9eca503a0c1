#include "physics/dynamics/dgWorld.h"

#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgJointBase.h"
#include "physics/dynamics/dgRagDollBone.h"

namespace {
constexpr dgFloat32 kDefaultDamping = 0.1045f;
constexpr dgFloat32 kDampingScale = 0.02f;
constexpr dgFloat32 kInfiniteMass = 2.0e15f;
constexpr dgFloat32 kInfiniteInertia = 1.0e15f;
/// Bit of the second solver mark that flags a body met by the linked-body walk.
constexpr dgUnsigned32 kLinkedMark = 1u << 28;

bool HasMass(const dgBody* body) {
    return body->m_invMass.w != 0.0f;
}

/// Calls visit with each link of the body's ring, from its head.
template <class Visit> void ForEachRingLink(dgBody* body, Visit visit) {
    dgJointLink* const head = body->m_jointRing;
    dgJointLink* link = head;
    do {
        dgJointLink* next = link->GetNextInRing();
        visit(link);
        link = next;
    } while (link != head);
}

void SetEquilibriumFromMass(dgBody* body) {
    if (HasMass(body)) {
        body->m_flags &= ~dgBody::kEquilibrium;
    } else {
        body->m_flags |= dgBody::kEquilibrium;
    }
}
} // namespace

dgBody* dgWorld::CreateBody(dgCollision* collision) {
    if (collision == nullptr) {
        return nullptr;
    }
    dgBody* body = m_bodyPool.Alloc();
    *body = dgBody();
    // The serial is taken for good only when the body is made, so a failed creation leaves no trace.
    const dgUnsigned64 serial = m_bodySerial + 1;
    body->m_serial = static_cast<dgUnsigned32>(serial);
    body->m_serialExtra = static_cast<dgUnsigned32>(serial >> 32);
    body->m_world = this;
    body->m_flags = dgBody::kActive | dgBody::kAutoFreeze | dgBody::kEquilibrium | dgBody::kJointPairFilter;
    for (dgInt32 i = 0; i < 4; i++) {
        body->m_freezeThresholds[i] = m_defaultFreezeThresholds[i];
    }
    const dgFloat32 damping = kDefaultDamping * kDampingScale;
    body->m_linearDamping = damping;
    body->m_angularDamping = dgVector(damping, damping, damping, 0.0f);
    body->m_materialGroupId = m_defaultGroupId;
    try {
        m_bodies.Insert(body, body->GetSerialKey());
        body->m_activeNode = m_activeBodies.Insert(body, body->GetSerialKey());
        collision->AddRef();
        body->m_collision = collision;
        body->SetMassMatrix(kInfiniteMass, kInfiniteInertia, kInfiniteInertia, kInfiniteInertia);
        m_broadPhase.Add(body);
        body->SetMatrix(dgGetIdentityMatrix());
    } catch (const dgMemoryExhausted&) {
        DiscardBody(body);
        throw;
    }
    m_bodySerial = serial;
    m_bodyCount++;
    return body;
}

void dgWorld::DiscardBody(dgBody* body) {
    m_broadPhase.Remove(body);
    if (body->m_collision != nullptr) {
        ReleaseCollision(body->m_collision);
        body->m_collision = nullptr;
    }
    if (body->m_activeNode != nullptr) {
        m_activeBodies.RemoveNode(body->m_activeNode);
        body->m_activeNode = nullptr;
    }
    auto* node = m_bodies.Find(body->GetSerialKey());
    if (node != nullptr && node->GetInfo() == body) {
        m_bodies.RemoveNode(node);
    }
    m_bodyPool.Release(body);
}

bool dgWorld::OwnsBody(const dgBody* body) const {
    if (body == nullptr || body->m_world != this) {
        return false;
    }
    const auto* node = m_bodies.Find(body->GetSerialKey());
    return node != nullptr && node->GetInfo() == body;
}

bool dgWorld::IsBeingDestroyed(const dgBody* body) const {
    for (const DestructionFrame* frame = m_destructions; frame != nullptr; frame = frame->m_outer) {
        if (frame->m_body == body) {
            return true;
        }
    }
    return false;
}

void dgWorld::DestroyBody(dgBody* body) {
    if (!OwnsBody(body) || IsBeingDestroyed(body)) {
        return;
    }
    if (DefersDestruction()) {
        bool existed;
        m_pendingBodies.FindOrInsert(body, body->GetSerialKey(), existed);
        return;
    }
    DestroyBodyNow(body);
}

void dgWorld::DestroyBodyNow(dgBody* body) {
    if (!OwnsBody(body) || IsBeingDestroyed(body)) {
        return;
    }
    m_pendingBodies.RemoveKey(body->GetSerialKey());
    DestructionFrame frame{body, m_destructions};
    m_destructions = &frame;

    if (body->m_destructor != nullptr) {
        body->m_destructor(body);
    }
    // Nothing reaches the host about this body after its destructor callback.
    body->m_autoActive = nullptr;
    if (body->m_bone != nullptr) {
        body->m_bone->ForgetBody();
        body->m_bone = nullptr;
    }
    m_broadPhase.Remove(body);
    m_bodyCount--;
    while (body->m_jointRing != nullptr) {
        DestroyJointNow(body->m_jointRing->m_joint);
    }
    ReleaseCollision(body->m_collision);
    body->m_collision = nullptr;
    if (body->m_activeNode != nullptr) {
        m_activeBodies.RemoveNode(body->m_activeNode);
        body->m_activeNode = nullptr;
    }
    m_bodies.RemoveKey(body->GetSerialKey());
    m_bodyPool.Release(body);

    m_destructions = frame.m_outer;
}

void dgWorld::DestroyAllBodies() {
    if (DefersDestruction()) {
        for (auto* node = m_bodies.GetFirst(); node != nullptr; node = dgBodyTree::GetNext(node)) {
            DestroyBody(node->GetInfo());
        }
        return;
    }
    // Destructor callbacks may destroy other bodies (or all of them, from a destructor already running
    // further out): look for the first body not under way each time.
    for (;;) {
        auto* node = m_bodies.GetFirst();
        while (node != nullptr && IsBeingDestroyed(node->GetInfo())) {
            node = dgBodyTree::GetNext(node);
        }
        if (node == nullptr) {
            return;
        }
        DestroyBodyNow(node->GetInfo());
    }
}

void dgWorld::LinkIntoRing(dgJointLink* link) {
    dgBody* body = link->m_body;
    dgJointLink* head = body->m_jointRing;
    if (head == nullptr) {
        body->m_jointRing = link;
        return;
    }
    head->m_prev->m_next = link;
    link->m_prev = head->m_prev;
    head->m_prev = link->m_twin;
    link->m_twin->m_next = head;
}

dgJointBase* dgWorld::AttachJoint(dgJointBase* joint, dgBody* body0, dgBody* body1) {
    dgAssert(joint != nullptr && joint->m_link == nullptr);
    dgAssert(body0 != nullptr && body0 != body1);
    dgJointLinkPair* pair = m_jointLinkPool.Alloc();
    dgJointLink* first = &pair->m_first;
    dgJointLink* second = &pair->m_second;
    *first = dgJointLink{second, second, second, body0, joint};
    *second = dgJointLink{first, first, first, body1, joint};

    joint->m_stamp = 0;
    joint->m_serial = ++m_jointSerial;
    joint->m_staleMark = 0;
    joint->m_link = first;
    joint->m_body0 = body0;
    joint->m_body1 = body1;

    SetEquilibriumFromMass(body0);
    LinkIntoRing(first);
    if (body1 != nullptr) {
        SetEquilibriumFromMass(body1);
        LinkIntoRing(second);
    }
    m_jointCount++;
    return joint;
}

void dgWorld::DestroyJoint(dgJointBase* joint) {
    if (joint == nullptr || joint->m_link == nullptr) {
        return;
    }
    if (DefersDestruction()) {
        bool existed;
        m_pendingJoints.FindOrInsert(joint, joint->m_serial, existed);
        return;
    }
    DestroyJointNow(joint);
}

void dgWorld::AdvanceRingHead(dgJointLink* link) {
    dgBody* body = link->m_body;
    if (body->m_jointRing == link) {
        dgJointLink* next = link->GetNextInRing();
        body->m_jointRing = next == link ? nullptr : next;
    }
}

void dgWorld::DestroyJointNow(dgJointBase* joint) {
    // A joint that is not attached (already destroyed, or destroyed again from its own callback)
    // has nothing to undo.
    if (joint == nullptr || joint->m_link == nullptr) {
        return;
    }
    m_pendingJoints.RemoveKey(joint->m_serial);
    m_jointCount--;

    dgJointLink* first = joint->m_link;
    dgJointLink* second = first->m_twin;
    for (dgBody* body : {joint->m_body0, joint->m_body1}) {
        if (body == nullptr) {
            continue;
        }
        SetEquilibriumFromMass(body);
        if ((body->m_flags & dgBody::kAutoFreeze) != 0 && body->m_activeNode == nullptr &&
            !IsBeingDestroyed(body)) {
            ActivateBody(body);
        }
    }
    AdvanceRingHead(first);
    if (second->m_body != nullptr) {
        AdvanceRingHead(second);
    }

    first->m_joint = nullptr;
    second->m_joint = nullptr;
    first->m_next->m_prev = second->m_prev;
    first->m_prev->m_next = second->m_next;
    second->m_next->m_prev = first->m_prev;
    second->m_prev->m_next = first->m_next;
    m_jointLinkPool.Release(dgJointLinkPair::FromFirst(first));
    joint->m_link = nullptr;

    joint->Release(this);
}

void dgWorld::ActivateBody(dgBody* body) {
    body->m_activeNode = m_activeBodies.Insert(body, body->GetSerialKey());
    if (body->m_autoActive != nullptr && (body->m_flags & dgBody::kActive) == 0) {
        body->m_autoActive(body, 1);
    }
    body->m_flags |= dgBody::kActive;
}

void dgWorld::UnfreezeBody(dgBody* body) {
    if (body->m_activeNode == nullptr) {
        ActivateBody(body);
    }
}

void dgWorld::FreezeBody(dgBody* body) {
    if (body->m_activeNode == nullptr) {
        return;
    }
    m_activeBodies.RemoveNode(body->m_activeNode);
    body->m_activeNode = nullptr;
    if (body->m_autoActive != nullptr && (body->m_flags & dgBody::kActive) != 0) {
        body->m_autoActive(body, 0);
    }
    body->m_flags &= ~dgBody::kActive;
}

dgInt32 dgWorld::CollectLinkedBodies(dgBody* start, dgBody** out, dgInt32 capacity) {
    if (start->m_jointRing == nullptr || capacity <= 0) {
        return 0;
    }
    // Breadth first, with out as the queue: the start body's ring, then the ring of each body stored in
    // turn. A static body is stored (it is linked) but not walked through, so two doors hinged on one
    // wall are not linked to each other.
    const auto walkedBody = [&](dgInt32 index) -> dgBody* {
        if (index < 0) {
            return start;
        }
        return HasMass(out[index]) ? out[index] : nullptr;
    };
    dgInt32 count = 0;
    start->m_solverMarks[1] |= kLinkedMark;
    for (dgInt32 index = -1; index < count; index++) {
        if (dgBody* body = walkedBody(index)) {
            ForEachRingLink(body, [&](dgJointLink* link) {
                dgBody* other = link->m_twin->m_body;
                if (other == nullptr || (other->m_solverMarks[1] & kLinkedMark) != 0) {
                    return;
                }
                if (link->m_joint->JoinsBodies() && count < capacity) {
                    out[count++] = other;
                }
                other->m_solverMarks[1] |= kLinkedMark;
            });
        }
    }

    // Every mark was set on the start body or on a neighbour in a walked ring: clear them the same way.
    start->m_solverMarks[1] &= ~kLinkedMark;
    for (dgInt32 index = -1; index < count; index++) {
        if (dgBody* body = walkedBody(index)) {
            ForEachRingLink(body, [](dgJointLink* link) {
                if (dgBody* other = link->m_twin->m_body) {
                    other->m_solverMarks[1] &= ~kLinkedMark;
                }
            });
        }
    }
    return count;
}

void dgWorld::MoveBodyAtRest(dgBody* body, const dgMatrix& matrix) {
    // The move itself neither wakes nor freezes: flags 0 and 1 and the callback are put back.
    const dgUnsigned32 keptFlags = body->m_flags & (dgBody::kActive | dgBody::kAutoFreeze);
    const dgBodyAutoActiveCallback autoActive = body->m_autoActive;
    body->m_autoActive = nullptr;
    body->SetMatrix(matrix);
    body->m_flags = (body->m_flags & ~(dgBody::kActive | dgBody::kAutoFreeze)) | keptFlags;
    body->m_autoActive = autoActive;
    if (body->m_activeNode == nullptr) {
        body->m_activeNode = m_activeBodies.Insert(body, body->GetSerialKey());
    }
    body->m_flags &= ~dgBody::kEquilibrium;
    body->m_veloc = dgVector(0.0f, 0.0f, 0.0f, 0.0f);
    body->m_omega = dgVector(0.0f, 0.0f, 0.0f, 0.0f);
}

void dgWorld::SetBodyMatrixRecursive(dgBody* body, const dgMatrix& matrix) {
    const dgBodyLeaveWorldCallback leaveWorld = m_leaveWorldCallback;
    m_leaveWorldCallback = nullptr;

    dgBody* linked[kMaxLinkedBodies];
    const dgInt32 count = CollectLinkedBodies(body, linked, kMaxLinkedBodies);
    const dgMatrix delta = body->m_matrix.Inverse().Multiply(matrix);
    MoveBodyAtRest(body, matrix);
    for (dgInt32 i = 0; i < count; i++) {
        MoveBodyAtRest(linked[i], linked[i]->m_matrix.Multiply(delta));
    }

    m_leaveWorldCallback = leaveWorld;
}

void dgWorld::AddBodyImpulse(dgBody* body, const dgVector& velocityChange, const dgVector& point) {
    if (body->m_invMass.w > 0.0f) {
        UnfreezeBody(body);
        body->AddImpulse(velocityChange, point);
    }
}
