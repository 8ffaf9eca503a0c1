// Creation of vehicles: a pooled vehicle joint on the chassis, whose shape is rewrapped into a compound
// that the tires' shapes join.

#include "physics/dynamics/dgWorld.h"

#include "physics/collision/dgCompoundCollision.h"
#include "physics/collision/dgInlineArray.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointLink.h"
#include "physics/dynamics/dgVehicleSolver.h"

#include <new>

#include <cmath>

namespace {

// Below this squared length an up direction gives no axis.
constexpr dgFloat32 kMinUpLength2 = 1.0e-12f;
// Children gathered on the stack before the list moves to the heap.
constexpr dgInt32 kInlineChildren = 64;

} // namespace

dgVehicleJoint* dgWorld::CreateVehicle(const dgVector& givenUp, dgBody* chassis) {
    const dgVector up = dgPinWithFiniteSquare(givenUp);
    const dgFloat32 length2 = up.x * up.x + up.y * up.y + up.z * up.z;
    if (!std::isfinite(length2) || length2 < kMinUpLength2 || !CanJoin(chassis, nullptr) ||
        chassis->m_collision == nullptr || dgVehicleJoint::FindOnBody(chassis) != nullptr) {
        return nullptr;
    }
    if (m_vehicleWorkspace == nullptr) {
        void* const block = dgMalloc(sizeof(dgVehicleWorkspace));
        try {
            m_vehicleWorkspace = new (block) dgVehicleWorkspace();
        } catch (const dgMemoryExhausted&) {
            dgFree(block);
            throw;
        }
    }
    // A compound is rewrapped into a new one, so a compound that other bodies share is never flagged.
    dgCollision* shape = chassis->m_collision;
    const bool isCompound = shape->GetCollisionType() == kCompoundCollision;
    const dgInt32 count = isCompound ? static_cast<dgCompoundCollision*>(shape)->GetChildCount() : 1;
    dgInlineArray<dgCollision*, kInlineChildren> children(count);
    for (dgInt32 i = 0; i < count; i++) {
        children[i] = isCompound ? static_cast<dgCompoundCollision*>(shape)->GetChild(i) : shape;
    }
    dgCompoundCollision* compound = CreateCompound(count, children.GetData());
    if (compound == nullptr) {
        return nullptr;
    }
    // Whatever may run out of memory comes first, so that undoing needs none (handing a joint back to
    // its pool would): the joint and its link are reserved, and the update set's entry is made under the
    // serial the attachment will give, which solves vehicles in creation order.
    const dgUnsigned64 serial = m_jointSerial + 1;
    decltype(m_vehicleUpdateSet)::Node* entry = nullptr;
    try {
        m_vehiclePool.Reserve();
        m_jointLinkPool.Reserve();
        entry = m_vehicleUpdateSet.Insert(nullptr, serial);
    } catch (const dgMemoryExhausted&) {
        ReleaseCollision(compound);
        throw;
    }
    dgVehicleJoint* const vehicle = m_vehiclePool.Alloc();
    vehicle->InitVehicle(this);
    AttachJoint(vehicle, chassis, nullptr);
    dgAssert(vehicle->m_serial == serial);
    entry->GetInfo() = vehicle;
    const dgFloat32 inv = 1.0f / std::sqrt(length2);
    vehicle->m_upDirection = chassis->m_matrix.InverseRotateVector(dgVector(up.x * inv, up.y * inv, up.z * inv, 0.0f));
    vehicle->m_upDirection.w = 1.0f;
    compound->SetFlags(dgCollision::kVehicleChassis, true);
    chassis->SetCollision(compound);
    ReleaseCollision(compound);
    return vehicle;
}

void dgWorld::FlushTireContacts() {
    while (auto* node = m_tireContactSet.GetFirst()) {
        dgBody* const chassis = node->GetInfo();
        m_tireContactSet.RemoveNode(node);
        if (dgVehicleJoint* const vehicle = dgVehicleJoint::FindOnBody(chassis)) {
            vehicle->CollectTireContacts();
        }
    }
}

void dgWorld::CollectLinkedJoints(dgJointBase* start, dgUnsigned64 mark, dgGrowableArray<dgJointBase*>& out) {
    out.Reset();
    dgGrowableArray<dgJointLink*>& stack = m_vehicleWorkspace->m_linkStack;
    stack.Reset();
    start->m_stamp = mark;
    out.Push(start);
    for (dgBody* body : {start->m_body0, start->m_body1}) {
        if (body != nullptr && body->m_invMass.w != 0.0f && body->m_jointRing != nullptr) {
            stack.Push(body->m_jointRing);
        }
    }
    while (!stack.IsEmpty()) {
        dgJointLink* const head = stack.Pop();
        dgJointLink* link = head;
        do {
            dgJointBase* const joint = link->m_joint;
            if (joint->m_stamp != mark) {
                joint->m_stamp = mark;
                out.Push(joint);
                dgBody* const other = link->m_twin->m_body;
                // Static bodies hold everything on them still: the walk stops there.
                if (other != nullptr && other->m_invMass.w != 0.0f) {
                    stack.Push(link->m_twin);
                }
            }
            link = link->GetNextInRing();
        } while (link != head);
    }
}
