#include "physics/collision/dgCompoundCollision.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexPairDispatch.h"
#include "physics/collision/dgConvexSoupContacts.h"
#include "physics/collision/dgIntersections.h"
#include "physics/core/dgScratchArray.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgJointLink.h"
#include "physics/dynamics/dgWorld.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Collision flag: contacts of this shape are recomputed every step. A vehicle's chassis carries it: its
// tire points are hidden from the joint's points in use, so last step's could not be kept.
constexpr dgUnsigned32 kRecomputeContacts = dgCollision::kVehicleChassis;
// A kept point may be this deep at most, and its two anchors this far apart (squared), when the bodies
// are not both at rest.
constexpr dgFloat32 kMaxCachedPenetration = 0.0005f;
constexpr dgFloat32 kMaxAnchorDrift2 = 1.0e-6f;
// Points within this distance (squared) of one line cannot hold a body up.
constexpr dgFloat32 kMinLineDistance2 = 1.0e-4f;
// A joint point this near (squared) to a new record is taken at once.
constexpr dgFloat32 kSamePoint2 = 1.0e-6f;
// Below this squared sliding speed the first friction direction comes from the normal alone.
constexpr dgFloat32 kMinSlide2 = 0.01f;
constexpr dgUnsigned32 kMaterialBits = dgContactMaterial::kCollidable | dgContactMaterial::kFriction0 |
                                       dgContactMaterial::kFriction1;
constexpr dgUnsigned32 kAccelerationBits = dgContactMaterial::kTangent0Acceleration |
                                           dgContactMaterial::kTangent1Acceleration |
                                           dgContactMaterial::kNormalAcceleration;

bool IsStatic(const dgBody* body) {
    return body->m_invMass.w == 0.0f;
}

bool AtRest(const dgBody* body) {
    return (body->m_flags & dgBody::kEquilibrium) != 0;
}

bool RecomputesContacts(const dgBody* body) {
    return body->m_collision != nullptr && (body->m_collision->GetFlags() & kRecomputeContacts) != 0;
}

dgFloat32 Distance2(const dgVector& a, const dgVector& b) {
    const dgVector d = a.Sub(b);
    return d.DotProduct(d);
}

dgVector Direction(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return dgVector(x, y, z, 0.0f);
}

dgVector Normalised(const dgVector& v) {
    return v.Scale(1.0f / std::sqrt(v.DotProduct(v)));
}

/// Calls visit(joint, other body) for each joint of the body's ring; stops when visit answers true.
template <class Visit> bool AnyRingJoint(const dgBody* body, Visit visit) {
    dgJointLink* const head = body->m_jointRing;
    if (head == nullptr) {
        return false;
    }
    dgJointLink* link = head;
    do {
        if (visit(link->m_joint, link->m_twin->m_body)) {
            return true;
        }
        link = link->GetNextInRing();
    } while (link != head);
    return false;
}

/// One more reference of an object for the length of a scope.
class ScopedReference {
public:
    explicit ScopedReference(dgRef* object) : m_object(object) { m_object->AddRef(); }
    ~ScopedReference() { dgRefRelease(m_object); }
    ScopedReference(const ScopedReference&) = delete;
    ScopedReference& operator=(const ScopedReference&) = delete;

private:
    dgRef* m_object;
};

/// Velocity of the body's material point at global p.
dgVector PointVelocity(const dgBody* body, const dgVector& p) {
    return body->m_veloc.Add(body->m_omega.CrossProduct(p.Sub(body->m_globalCentreOfMass)));
}

/// The first friction direction: the sliding direction when the bodies slide, else any direction
/// perpendicular to the normal.
dgVector FirstTangent(const dgBody* body0, const dgBody* body1, const dgVector& p, const dgVector& n) {
    dgVector slide = PointVelocity(body0, p).Sub(PointVelocity(body1, p));
    slide = slide.Sub(n.Scale(slide.DotProduct(n)));
    slide.w = 0.0f;
    if (slide.DotProduct(slide) > kMinSlide2) {
        return Normalised(slide);
    }
    const dgVector u = std::fabs(n.z) > 0.577f ? Direction(-n.y, n.z, 0.0f) : Direction(-n.y, n.x, 0.0f);
    dgVector t = n.CrossProduct(u);
    t.w = 0.0f;
    return Normalised(t);
}

void CopyMaterial(dgContact& point, const dgMaterialPair& material) {
    point.m_userData = material.m_userData;
    point.m_softness = material.m_softness;
    point.m_elasticity = material.m_elasticity;
    point.m_staticFriction0 = material.m_staticFriction0;
    point.m_staticFriction1 = material.m_staticFriction1;
    point.m_kineticFriction0 = material.m_kineticFriction0;
    point.m_kineticFriction1 = material.m_kineticFriction1;
    point.m_flags = (point.m_flags & ~(kMaterialBits | kAccelerationBits)) | (material.m_flags & kMaterialBits);
}

// Records of a compound pair are thinned to this many once more than kPruneAbove have gathered.
constexpr dgInt32 kPruneAbove = 96;
constexpr dgFloat32 kPruneTolerance = 0.01f;

/// Gathers the records of a compound's child pairs into one array, thinned as they come so that the
/// next pair always has room.
class ChildContacts {
public:
    ChildContacts(dgWorld* world, dgMaterialPair* material, dgFloat32 timeStep)
        : m_world(world), m_material(material), m_timeStep(timeStep) {}

    /// The child callback, then the narrow phase of the two bodies as their shapes stand.
    void Add(dgBody* body0, dgBody* body1) {
        if (m_material->m_compoundChildCallback != nullptr &&
            m_material->m_compoundChildCallback(m_material, body0, body1) == 0) {
            return;
        }
        dgFloat32 timeOfImpact = m_timeStep;
        const dgInt32 room = dgWorld::kMaxPairRecords - m_count;
        m_count += body1->m_collision->IsType(m_world->GetConvexClassId())
                       ? CalculateConvexContacts(&timeOfImpact, body0, body1, GetContacts() + m_count, room)
                       : ConvexSoupContacts(&timeOfImpact, body0, body1, GetContacts() + m_count, room);
        if (m_count > kPruneAbove) {
            m_count = PruneContacts(m_count, GetContacts(), dgWorld::kMaxPairPoints, kPruneTolerance);
        }
    }

    dgContactPoint* GetContacts() { return m_contacts.GetData(); }
    dgInt32 GetCount() const { return m_count; }

private:
    dgWorld* m_world;
    dgMaterialPair* m_material;
    dgFloat32 m_timeStep; ///< the step's, where continuous pairs look for their first touch
    dgInt32 m_count = 0;
    dgContactBuffer<dgWorld::kMaxPairRecords> m_contacts;
};

/// The body's shape and collision matrix, put back when the compound road is done with its children.
class SavedShape {
public:
    explicit SavedShape(dgBody* body)
        : m_body(body), m_collision(body->m_collision), m_collisionMatrix(body->m_collisionMatrix) {}
    ~SavedShape() {
        m_body->m_collision = m_collision;
        m_body->m_collisionMatrix = m_collisionMatrix;
    }
    SavedShape(const SavedShape&) = delete;
    SavedShape& operator=(const SavedShape&) = delete;

private:
    dgBody* m_body;
    dgCollision* m_collision;
    dgMatrix m_collisionMatrix;
};

/// Each child's world matrix and box for this body alone: a compound shared by several bodies caches
/// only the placement of the last one refreshed. A continuous body's child boxes reach over its motion.
struct ChildPlacements {
    const dgCompoundCollision* m_compound;
    dgScratchArray<dgMatrix> m_matrices;
    dgScratchArray<dgCompoundCollision::ChildBox> m_boxes;

    ChildPlacements(const dgBody* body, dgFloat32 dt)
        : m_compound(static_cast<const dgCompoundCollision*>(body->m_collision)),
          m_matrices(m_compound->GetChildCount()), m_boxes(m_compound->GetChildCount()) {
        m_compound->CalcChildPlacements(body->m_collisionMatrix, m_matrices.GetData(), m_boxes.GetData());
        if ((body->m_flags & dgBody::kContinuousCollision) == 0) {
            return;
        }
        const dgVector d = body->m_veloc.Scale(dt).Add(body->m_force.Scale(body->m_invMass.w * dt * dt));
        if (!std::isfinite(d.x) || !std::isfinite(d.y) || !std::isfinite(d.z)) {
            return;
        }
        for (dgInt32 i = 0; i < m_boxes.GetCount(); i++) {
            for (dgInt32 axis = 0; axis < 3; axis++) {
                m_boxes[i].m_min[axis] += std::min(d[axis], 0.0f);
                m_boxes[i].m_max[axis] += std::max(d[axis], 0.0f);
            }
        }
    }

    /// Makes the child the body's shape, placed for this body.
    void Place(dgBody* body, dgInt32 index) const {
        body->m_collision = m_compound->GetChild(index);
        body->m_collisionMatrix = m_matrices[index];
    }
};

struct ChildPairContext {
    dgBody* m_body0;
    dgBody* m_body1;
    const ChildPlacements* m_placements0;
    const ChildPlacements* m_placements1;
    ChildContacts* m_contacts;
};

void ChildPairContacts(void* context, dgInt32 index0, dgInt32 index1) {
    const auto& pair = *static_cast<const ChildPairContext*>(context);
    pair.m_placements0->Place(pair.m_body0, index0);
    pair.m_placements1->Place(pair.m_body1, index1);
    pair.m_contacts->Add(pair.m_body0, pair.m_body1);
}

/// The point in the body's own frame, w 1.
dgVector LocalPoint(const dgBody* body, const dgVector& p) {
    dgVector local = body->m_matrix.InverseTransformVector(p);
    local.w = 1.0f;
    return local;
}

} // namespace

dgContactJoint* dgWorld::FindContactJoint(const dgBody* body0, const dgBody* body1) {
    dgContactJoint* found = nullptr;
    AnyRingJoint(body0, [&](dgJointBase* joint, const dgBody* other) {
        if (other == body1 && joint->m_kind == dgJointBase::kContactJoint) {
            found = static_cast<dgContactJoint*>(joint);
            return true;
        }
        return false;
    });
    return found;
}

void dgWorld::CalculateContacts(dgBody* body0, dgBody* body1, const dgStepContext& step) {
    // Jointed pairs: either everything the dynamic body's joints hold together, or only the pairs whose
    // own joints turned collision off.
    dgBody* const dynamic = IsStatic(body0) ? body1 : body0;
    dgBody* const other = dynamic == body0 ? body1 : body0;
    if (((body0->m_flags | body1->m_flags) & dgBody::kJointPairFilter) == 0) {
        dgBody* linked[kMaxLinkedBodies];
        const dgInt32 count = CollectLinkedBodies(dynamic, linked, kMaxLinkedBodies);
        for (dgInt32 i = 0; i < count; i++) {
            if (linked[i] == other) {
                return;
            }
        }
    } else if (AnyRingJoint(dynamic, [other](const dgJointBase* joint, const dgBody* partner) {
                   return partner == other && joint->m_kind != dgJointBase::kContactJoint &&
                          joint->m_collisionState == 0;
               })) {
        return;
    }

    auto* const pairNode = FindMaterialPairNode(body0->m_materialGroupId, body1->m_materialGroupId);
    if (pairNode == nullptr || (pairNode->GetInfo().m_flags & dgContactMaterial::kCollidable) == 0) {
        return;
    }
    // A callback may remove every group: the pair stays readable until this pair's contacts are done.
    const ScopedReference holdPair(pairNode);
    dgMaterialPair* const material = &pairNode->GetInfo();
    if (material->m_beginCallback != nullptr && material->m_beginCallback(material, body0, body1) == 0) {
        return;
    }

    // Continuous collision only where the pair's material allows it, for this pair alone.
    const dgUnsigned32 continuous0 = body0->m_flags & dgBody::kContinuousCollision;
    const dgUnsigned32 continuous1 = body1->m_flags & dgBody::kContinuousCollision;
    if ((material->m_flags & dgContactMaterial::kContinuousCollision) == 0) {
        body0->m_flags &= ~dgBody::kContinuousCollision;
        body1->m_flags &= ~dgBody::kContinuousCollision;
    }

    const dgUnsigned32 convexId = GetConvexClassId();
    const dgUnsigned32 compoundId = GetCompoundClassId();
    if (body0->m_collision->IsType(compoundId)) {
        CompoundContacts(body0, body1, material, step);
    } else if (body1->m_collision->IsType(compoundId)) {
        CompoundContacts(body1, body0, material, step);
    } else if (body0->m_collision->IsType(convexId)) {
        ConvexContacts(body0, body1, material, step);
    } else if (body1->m_collision->IsType(convexId)) {
        ConvexContacts(body1, body0, material, step);
    }

    if (material->m_endCallback != nullptr) {
        material->m_endCallback(material);
    }
    body0->m_flags = (body0->m_flags & ~dgBody::kContinuousCollision) | continuous0;
    body1->m_flags = (body1->m_flags & ~dgBody::kContinuousCollision) | continuous1;
}

void dgWorld::ConvexContacts(dgBody* convexBody, dgBody* otherBody, dgMaterialPair* material,
                             const dgStepContext& step) {
    dgContactJoint* joint = nullptr;
    const dgInt32 kept = ReuseContacts(convexBody, otherBody, joint);
    if (kept > 0) {
        ProcessCachedContacts(joint, material, kept, step.m_stamp);
        return;
    }
    dgContactBuffer<kMaxPairRecords> buffer;
    dgContactPoint* const contacts = buffer.GetData();
    dgFloat32 timeOfImpact = step.m_timeStep;
    dgInt32 count = otherBody->m_collision->IsType(GetConvexClassId())
                        ? CalculateConvexContacts(&timeOfImpact, convexBody, otherBody, contacts, kMaxPairRecords)
                        : ConvexSoupContacts(&timeOfImpact, convexBody, otherBody, contacts, kMaxPairRecords);
    if (count == 0) {
        return;
    }
    count = ReduceContacts(count, contacts, kMaxPairPoints);
    ProcessContacts(joint, convexBody, otherBody, material, count, contacts, step.m_stamp);
}

void dgWorld::CompoundContacts(dgBody* compoundBody, dgBody* otherBody, dgMaterialPair* material,
                               const dgStepContext& step) {
    // A vehicle's chassis hands its tire points to its tires once the pairs are done.
    for (dgBody* body : {compoundBody, otherBody}) {
        if ((body->m_collision->GetFlags() & dgCollision::kVehicleChassis) != 0) {
            bool noted = false;
            m_tireContactSet.FindOrInsert(body, body->GetSerialKey(), noted);
        }
    }
    dgContactJoint* joint = nullptr;
    const dgInt32 kept = ReuseContacts(compoundBody, otherBody, joint);
    if (kept > 0) {
        ProcessCachedContacts(joint, material, kept, step.m_stamp);
        return;
    }
    const bool otherCompound = otherBody->m_collision->IsType(GetCompoundClassId());

    ChildContacts gathered(this, material, step.m_timeStep);
    {
        SavedShape saved0(compoundBody);
        SavedShape saved1(otherBody);
        const ChildPlacements placements0(compoundBody, step.m_timeStep);
        if (otherCompound) {
            const ChildPlacements placements1(otherBody, step.m_timeStep);
            ChildPairContext context{compoundBody, otherBody, &placements0, &placements1, &gathered};
            dgCompoundCollision::ForEachOverlappingChildPair(
                placements0.m_boxes.GetCount(), placements0.m_boxes.GetData(), placements1.m_boxes.GetCount(),
                placements1.m_boxes.GetData(), ChildPairContacts, &context);
        } else {
            for (dgInt32 i = 0; i < placements0.m_boxes.GetCount(); i++) {
                const dgCompoundCollision::ChildBox& box = placements0.m_boxes[i];
                if (BoxesOverlap(box.m_min, box.m_max, otherBody->m_minBox, otherBody->m_maxBox)) {
                    placements0.Place(compoundBody, i);
                    gathered.Add(compoundBody, otherBody);
                }
            }
        }
    }
    dgInt32 count = gathered.GetCount();
    if (count == 0) {
        return;
    }
    count = ReduceContacts(count, gathered.GetContacts(), kMaxPairPoints);
    ProcessContacts(joint, compoundBody, otherBody, material, count, gathered.GetContacts(), step.m_stamp);
}

dgInt32 dgWorld::ReuseContacts(dgBody* body0, dgBody* body1, dgContactJoint*& jointOut) {
    dgContactJoint* const joint = FindContactJoint(body0, body1);
    jointOut = joint;
    bool recompute = false;
    for (dgBody* body : {body0, body1}) {
        if (RecomputesContacts(body)) {
            body->m_flags &= ~dgBody::kEquilibrium;
            recompute = true;
        }
    }
    if (recompute || joint == nullptr) {
        return 0;
    }

    const dgInt32 count = joint->m_pointCount;
    const bool bothAtRest = AtRest(body0) && AtRest(body1);
    if (count < 3 || joint->m_points.GetCount() == 0) {
        return bothAtRest ? count : 0;
    }
    if (bothAtRest) {
        return count;
    }

    // Each point must still be shallow and its two anchors must still meet.
    const dgBody* const anchor0 = joint->m_body0;
    const dgBody* const anchor1 = joint->m_body1;
    dgListNode<dgContact>* node = joint->m_points.GetFirst();
    for (dgInt32 i = 0; i < count; i++, node = node->GetNext()) {
        dgContactPoint& point = node->GetInfo().m_point;
        if (point.m_penetration > kMaxCachedPenetration) {
            return 0;
        }
        const dgVector p0 = anchor0->m_matrix.TransformVector(point.m_reserved[0]);
        const dgVector p1 = anchor1->m_matrix.TransformVector(point.m_reserved[1]);
        point.m_point = p0.Add(p1).Scale(0.5f);
        point.m_point.w = 1.0f;
        if (Distance2(p0, p1) > kMaxAnchorDrift2) {
            return 0;
        }
    }

    // Points along one line let the body roll over them.
    const dgVector origin = joint->m_points.GetFirst()->GetInfo().m_point.m_point;
    dgVector farthest = origin;
    dgFloat32 farthest2 = -1.0f;
    node = joint->m_points.GetFirst();
    for (dgInt32 i = 0; i < count; i++, node = node->GetNext()) {
        const dgFloat32 d2 = Distance2(node->GetInfo().m_point.m_point, origin);
        if (d2 > farthest2) {
            farthest2 = d2;
            farthest = node->GetInfo().m_point.m_point;
        }
    }
    const dgVector axis = Direction(farthest.x - origin.x, farthest.y - origin.y, farthest.z - origin.z);
    const dgFloat32 axis2 = axis.DotProduct(axis);
    node = joint->m_points.GetFirst();
    for (dgInt32 i = 0; i < count; i++, node = node->GetNext()) {
        const dgVector& p = node->GetInfo().m_point.m_point;
        const dgVector d = Direction(p.x - origin.x, p.y - origin.y, p.z - origin.z);
        const dgFloat32 along = axis2 > 0.0f ? d.DotProduct(axis) / axis2 : 0.0f;
        const dgVector off = d.Sub(axis.Scale(along));
        if (off.DotProduct(off) > kMinLineDistance2) {
            return count;
        }
    }
    return 0;
}

void dgWorld::ProcessCachedContacts(dgContactJoint* joint, dgMaterialPair* material, dgInt32 count,
                                    dgUnsigned64 stamp) {
    joint->SetPointCount(count);
    joint->m_contactStamp = stamp;
    dgListNode<dgContact>* node = joint->m_points.GetFirst();
    for (dgInt32 i = 0; i < joint->m_pointCount; i++, node = node->GetNext()) {
        dgContact& point = node->GetInfo();
        CopyMaterial(point, *material);
        if (material->m_processCallback != nullptr) {
            material->m_processCallback(&point, joint);
        }
    }
}

dgInt32 dgWorld::ProcessContacts(dgContactJoint* joint, dgBody* body0, dgBody* body1, dgMaterialPair* material,
                                 dgInt32 count, dgContactPoint* contacts, dgUnsigned64 stamp) {
    // The records' normals run from body 1 towards body 0; the joint's must run from its body 1 towards
    // its body 0, and a static body is always body 1 of a new joint.
    bool flip = false;
    if (IsStatic(body0)) {
        std::swap(body0, body1);
        flip = true;
    }
    if (joint != nullptr && joint->m_body0 != body0) {
        std::swap(body0, body1);
        flip = !flip;
    }
    if (joint == nullptr) {
        joint = CreateContactJoint();
        AttachJoint(joint, body0, body1);
    }
    joint->SetPointCount(0);
    joint->m_contactStamp = stamp;
    if (count <= 0) {
        return 0;
    }

    // Points in use sit at the head of the list, in the order their records came; the rest follow.
    dgInt32 used = 0;
    dgListNode<dgContact>* firstUnused = joint->m_points.GetFirst();
    for (dgInt32 i = 0; i < count; i++) {
        const dgContactPoint& record = contacts[i];
        dgListNode<dgContact>* chosen = nullptr;
        dgFloat32 best2 = std::numeric_limits<dgFloat32>::infinity();
        for (dgListNode<dgContact>* node = firstUnused; node != nullptr; node = node->GetNext()) {
            const dgFloat32 d2 = Distance2(node->GetInfo().m_point.m_point, record.m_point);
            if (d2 < best2) {
                best2 = d2;
                chosen = node;
                if (d2 < kSamePoint2) {
                    break;
                }
            }
        }
        if (chosen == nullptr) {
            chosen = joint->m_points.Append();
            if (firstUnused == nullptr) {
                firstUnused = chosen;
            }
        }

        dgContact& point = chosen->GetInfo();
        dgContactPoint& target = point.m_point;
        target.m_point = record.m_point;
        target.m_normal = record.m_normal;
        target.m_body0 = body0;
        target.m_body1 = body1;
        target.m_collision0 = flip ? record.m_collision1 : record.m_collision0;
        target.m_collision1 = flip ? record.m_collision0 : record.m_collision1;
        if (flip) {
            target.m_normal = dgVector(-record.m_normal.x, -record.m_normal.y, -record.m_normal.z, record.m_normal.w);
        }
        target.m_attribute = record.m_attribute;
        target.m_penetration = record.m_penetration;
        point.m_dir0 = FirstTangent(body0, body1, target.m_point, target.m_normal);
        point.m_dir1 = target.m_normal.CrossProduct(point.m_dir0);
        point.m_dir1.w = 0.0f;
        CopyMaterial(point, *material);

        if (material->m_processCallback != nullptr && material->m_processCallback(&point, joint) == 0) {
            continue;
        }
        if ((point.m_flags & dgContactMaterial::kCollidable) == 0) {
            continue;
        }
        target.m_reserved[0] = LocalPoint(body0, target.m_point);
        target.m_reserved[1] = LocalPoint(body1, target.m_point);
        if (chosen == firstUnused) {
            firstUnused = chosen->GetNext();
        } else {
            joint->m_points.MoveBefore(chosen, firstUnused);
        }
        used++;
    }
    joint->SetPointCount(used);
    return 3 * joint->m_pointCount;
}
