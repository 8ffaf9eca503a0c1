#include "physics/collision/dgConvexSoupContacts.h"

#include "physics/collision/dgCollisionConvexPolygon.h"
#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgConvexPairSolver.h"
#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgBody.h"

#include <cmath>

namespace {

using dgConvexPolygon = dgCollisionPolygonalSoup::dgCollisionConvexPolygon;

constexpr dgFloat32 kPruneTolerance = 0.01f;
// The sphere road reports a contact only from this overlap on, and takes the solver's skin off it.
constexpr dgFloat32 kMinOverlap = 1.0f / 256.0f;
// An edge contact this near (squared) to a face contact adds nothing the face contact does not hold.
constexpr dgFloat32 kEdgeReach2 = 0.04f;
// Below this squared speed a body cannot pass through a face within one step.
constexpr dgFloat32 kSlowSpeed2 = 0.5f;
constexpr dgFloat32 kMaxContinuousStep = 1.0f;
// Most records one face can give: the solver's clipped polygon.
constexpr dgInt32 kMaxFaceRecords = 2 * dgConvexCollision::kMaxPlaneIntersectionPoints + 8;

dgCollisionPolygonalSoup& SoupOf(const dgBody* body) {
    return *static_cast<dgCollisionPolygonalSoup*>(body->m_collision);
}

const dgConvexCollision& ConvexOf(const dgBody* body) {
    return *static_cast<const dgConvexCollision*>(body->m_collision);
}

// Places the convex shape in the soup's local space.
dgMatrix ConvexInSoup(const dgBody* convexBody, const dgBody* soupBody) {
    return convexBody->m_collisionMatrix.Multiply(soupBody->m_collisionMatrix.Inverse());
}

dgInt32 Smaller(dgInt32 a, dgInt32 b) {
    return a < b ? a : b;
}

// Asks the soup for the faces touching the box (soup space); false when there are none or the answer
// is unusable.
bool QueryFaces(dgBody* soupBody, dgBody* otherBody, const dgVector& min, const dgVector& max,
                dgPolygonSoupQuery& query) {
    query.m_boxMin = min;
    query.m_boxMax = max;
    query.m_otherBody = otherBody;
    query.m_soupBody = soupBody;
    query.m_vertices = nullptr;
    query.m_attributes = nullptr;
    query.m_indexCounts = nullptr;
    query.m_indices = nullptr;
    SoupOf(soupBody).Collide(query);
    return query.m_faceCount > 0 && query.m_vertices != nullptr && query.m_attributes != nullptr &&
           query.m_indexCounts != nullptr && query.m_indices != nullptr;
}

// Walks the faces of a query: points the proxy at each in turn and calls visit(attribute).
template <class Visit> void ForEachQueryFace(const dgPolygonSoupQuery& query, dgConvexPolygon& proxy, Visit visit) {
    dgInt64 offset = 0;
    for (dgInt32 i = 0; i < query.m_faceCount; i++) {
        const dgInt32 indexCount = query.m_indexCounts[i];
        if (indexCount < 0) {
            return;
        }
        proxy.SetFace(query.m_vertices, query.m_vertexStrideBytes, query.m_indices + offset, indexCount);
        offset += indexCount;
        visit(query.m_attributes[i]);
    }
}

// Moves the proxy's flags into the new records' spare word, where they survive pruning.
void StoreFlags(dgContactPoint* contacts, dgInt32 count, const dgUnsigned8* flags) {
    for (dgInt32 i = 0; i < count; i++) {
        contacts[i].m_unused = flags[i] != 0 ? kSoupEdgeContact : 0;
    }
}

dgInt32 PruneToRoom(dgInt32 count, dgContactPoint* contacts, dgInt32 capacity) {
    // A quarter of the room, but never nothing: a capacity below four would otherwise prune forever.
    const dgInt32 wanted = capacity / 4 > 0 ? capacity / 4 : 1;
    return PruneContacts(count, contacts, wanted, kPruneTolerance);
}

dgInt32 FinishFaceContacts(dgInt32 count, dgContactPoint* contacts) {
    if (count >= 2) {
        count = FilterEdgeContacts(count, contacts);
    }
    for (dgInt32 i = 0; i < count; i++) {
        contacts[i].m_unused = 0;
    }
    return count;
}

bool IsPointProbe(const dgCollision& shape) {
    return shape.IsType(dgCollisionPointClassId);
}

} // namespace

dgInt32 FilterEdgeContacts(dgInt32 count, dgContactPoint* contacts) {
    auto isEdge = [](const dgContactPoint& c) { return (c.m_unused & kSoupEdgeContact) != 0; };
    dgInt32 front = 0;
    dgInt32 back = count - 1;
    while (front <= back) {
        if (!isEdge(contacts[front])) {
            front++;
        } else if (isEdge(contacts[back])) {
            back--;
        } else {
            const dgContactPoint swap = contacts[front];
            contacts[front] = contacts[back];
            contacts[back] = swap;
            front++;
            back--;
        }
    }
    const dgInt32 faceCount = front;
    if (faceCount == 0 || faceCount == count) {
        return count;
    }
    for (dgInt32 i = faceCount; i < count;) {
        bool covered = false;
        for (dgInt32 j = 0; j < faceCount && !covered; j++) {
            const dgVector d = contacts[i].m_point.Sub(contacts[j].m_point);
            covered = d.DotProduct(d) < kEdgeReach2;
        }
        if (covered) {
            contacts[i] = contacts[count - 1];
            count--;
        } else {
            i++;
        }
    }
    return count;
}

dgInt32 SphereSoupContacts(dgBody* soupBody, dgBody* sphereBody, dgContactPoint* contacts, dgInt32 capacity) {
    const auto& sphere = static_cast<const dgCollisionSphere&>(*sphereBody->m_collision);
    const dgFloat32 r = sphere.GetRadius();
    const dgMatrix& soupMatrix = soupBody->m_collisionMatrix;
    const dgVector c = soupMatrix.InverseTransformVector(sphereBody->m_collisionMatrix.posit);
    const dgVector reach(r, r, r, 0.0f);
    dgPolygonSoupQuery query;
    if (!QueryFaces(soupBody, sphereBody, c.Sub(reach), c.Add(reach), query)) {
        return 0;
    }
    dgConvexPolygon& proxy = *SoupOf(soupBody).GetProxy();
    dgInt32 count = 0;
    ForEachQueryFace(query, proxy, [&](dgInt32 attribute) {
        if (count >= capacity) {
            count = PruneContacts(count, contacts, 1, kPruneTolerance);
            // A one-record array stays full: the faces left find no room.
            if (count >= capacity) {
                return;
            }
        }
        dgVector q;
        if (!proxy.SphereClosestPoint(c, r, q)) {
            return;
        }
        const dgVector d = c.Sub(q);
        const dgFloat32 distance = std::sqrt(d.DotProduct(d));
        const dgFloat32 gap = distance - r;
        if (!(gap < -kMinOverlap)) {
            return;
        }
        // A centre on the face itself has no direction of its own: the face's normal serves.
        const dgVector n = distance > 1.0e-6f ? d.Scale(1.0f / distance) : proxy.GetFaceNormal();
        const dgVector localNormal(n.x, n.y, n.z, 0.0f);
        dgVector point = soupMatrix.TransformVector(c.Sub(localNormal.Scale(r + 0.5f * gap)));
        point.w = 1.0f;
        dgVector normal = soupMatrix.RotateVector(localNormal);
        normal.w = 1.0f;
        const dgFloat32 penetration = std::fabs(gap) - dgConvexPairSolver::kPenetrationSkin;
        dgContactPoint& record = contacts[count];
        record.m_point = point;
        record.m_normal = normal;
        record.m_attribute = attribute;
        record.m_penetration = penetration > 0.0f ? penetration : 0.0f;
        dgUnsigned8 flag = 0;
        if (proxy.FilterContacts(1, &record, soupBody, &flag) == 1) {
            StoreFlags(&record, 1, &flag);
            count++;
        }
    });
    return FinishFaceContacts(count, contacts);
}

dgInt32 ConvexSoupDiscreteContacts(dgBody* soupBody, dgBody* convexBody, dgContactPoint* contacts,
                                   dgInt32 capacity) {
    const dgConvexCollision& shape = ConvexOf(convexBody);
    const dgMatrix matrix = ConvexInSoup(convexBody, soupBody);
    dgVector min;
    dgVector max;
    shape.CalcWorldBox(matrix, min, max);
    dgPolygonSoupQuery query;
    if (!QueryFaces(soupBody, convexBody, min, max, query)) {
        return 0;
    }
    dgConvexPolygon& proxy = *SoupOf(soupBody).GetProxy();
    dgConvexPairSolver solver(convexBody, soupBody, &proxy);
    dgInt32 count = 0;
    ForEachQueryFace(query, proxy, [&](dgInt32 attribute) {
        if (count >= capacity || !proxy.SetupTest(shape, matrix)) {
            return;
        }
        dgContactPoint* added = contacts + count;
        dgUnsigned8 flags[kMaxFaceRecords];
        dgInt32 addedCount = solver.CalculateContacts(added, attribute, Smaller(capacity - count, kMaxFaceRecords));
        addedCount = proxy.FilterContacts(addedCount, added, soupBody, flags);
        StoreFlags(added, addedCount, flags);
        count += addedCount;
        if (capacity - count < 2) {
            count = PruneToRoom(count, contacts, capacity);
        }
    });
    return FinishFaceContacts(count, contacts);
}

dgInt32 ConvexSoupDispatch(dgBody* soupBody, dgBody* convexBody, dgContactPoint* contacts, dgInt32 capacity) {
    const dgCollision& shape = *convexBody->m_collision;
    switch (shape.GetCollisionType()) {
    case kNullCollision:
        return 0;
    case kSphereCollision:
        if (!IsPointProbe(shape)) {
            return SphereSoupContacts(soupBody, convexBody, contacts, capacity);
        }
        return ConvexSoupDiscreteContacts(soupBody, convexBody, contacts, capacity);
    default:
        return ConvexSoupDiscreteContacts(soupBody, convexBody, contacts, capacity);
    }
}

dgInt32 ConvexSoupContinuousContacts(dgFloat32& timeOfImpact, dgBody* convexBody, dgBody* soupBody,
                                     dgContactPoint* contacts, dgInt32 capacity) {
    const dgConvexCollision& shape = ConvexOf(convexBody);
    const dgMatrix matrix = ConvexInSoup(convexBody, soupBody);
    const dgMatrix& soupMatrix = soupBody->m_collisionMatrix;
    const dgFloat32 dt = timeOfImpact < kMaxContinuousStep ? timeOfImpact : kMaxContinuousStep;

    dgVector veloc0;
    dgVector omega0;
    dgVector veloc1;
    dgVector omega1;
    convexBody->IntegrateVelocity(dt, veloc0, omega0);
    soupBody->IntegrateVelocity(dt, veloc1, omega1);
    dgVector v = soupMatrix.InverseRotateVector(veloc0.Sub(veloc1));
    v.w = 0.0f;
    const dgFloat32 speed2 = v.DotProduct(v);
    bool slow = !(dt > 0.0f) || !(speed2 > kSlowSpeed2);
    if (!slow) {
        // Travel within a quarter of the body's own extent along its motion cannot skip a face.
        const dgFloat32 speed = std::sqrt(speed2);
        const dgVector unit = v.Scale(1.0f / speed);
        const dgVector forward = matrix.TransformVector(shape.SupportVertex(matrix.InverseRotateVector(unit)));
        const dgVector backward =
            matrix.TransformVector(shape.SupportVertex(matrix.InverseRotateVector(unit.Scale(-1.0f))));
        slow = speed * dt <= 0.25f * unit.DotProduct(forward.Sub(backward));
    }
    if (slow) {
        timeOfImpact = 0.0f;
        return ConvexSoupDispatch(soupBody, convexBody, contacts, capacity);
    }

    convexBody->m_flags &= ~dgBody::kEquilibrium;
    const dgFloat32 omegaW = convexBody->m_omega.w;
    convexBody->m_omega = convexBody->m_omega.Scale(0.9f);
    convexBody->m_omega.w = omegaW;

    // The box reaches over the whole travel of the step.
    dgVector min;
    dgVector max;
    shape.CalcWorldBox(matrix, min, max);
    const dgVector travel = v.Scale(dt);
    for (dgInt32 axis = 0; axis < 3; axis++) {
        if (travel[axis] < 0.0f) {
            min[axis] += travel[axis];
        } else {
            max[axis] += travel[axis];
        }
    }
    dgPolygonSoupQuery query;
    if (!QueryFaces(soupBody, convexBody, min, max, query)) {
        return 0;
    }
    dgConvexPolygon& proxy = *SoupOf(soupBody).GetProxy();
    dgFloat32 time = dt;
    dgInt32 count = 0;
    ForEachQueryFace(query, proxy, [&](dgInt32 attribute) {
        if (count >= capacity || !proxy.SetupContinuousTest(shape, matrix)) {
            return;
        }
        // The solver moves its copy of the proxy to the impact: each face gets a fresh one.
        dgConvexPairSolver solver(convexBody, soupBody, &proxy);
        count += solver.CalculateContinuousContacts(time, contacts + count, attribute,
                                                    Smaller(capacity - count, kMaxFaceRecords));
        if (capacity - count < 2) {
            count = PruneToRoom(count, contacts, capacity);
        }
    });
    for (dgInt32 i = 0; i < count; i++) {
        contacts[i].m_unused = 0;
    }
    timeOfImpact = time;
    return count;
}

dgInt32 ConvexSoupContacts(dgFloat32* timeOfImpact, dgBody* convexBody, dgBody* soupBody, dgContactPoint* contacts,
                           dgInt32 capacity) {
    if (timeOfImpact == nullptr || convexBody == nullptr || soupBody == nullptr || contacts == nullptr ||
        capacity <= 0 || convexBody->m_collision == nullptr || soupBody->m_collision == nullptr ||
        !convexBody->m_collision->IsType(dgConvexCollisionClassId) ||
        !soupBody->m_collision->IsType(dgCollisionPolygonalSoupClassId) ||
        soupBody->m_collision->GetCollisionType() != kPolygonSoupCollision ||
        convexBody->m_collision->GetCollisionType() == kNullCollision) {
        return 0;
    }
    dgInt32 count = 0;
    if ((convexBody->m_flags | soupBody->m_flags) & dgBody::kContinuousCollision) {
        count = ConvexSoupContinuousContacts(*timeOfImpact, convexBody, soupBody, contacts, capacity);
    } else {
        count = ConvexSoupDispatch(soupBody, convexBody, contacts, capacity);
        if (count > 0) {
            *timeOfImpact = 0.0f;
        }
    }
    for (dgInt32 i = 0; i < count; i++) {
        CompleteRecord(contacts[i], convexBody, soupBody);
    }
    return count;
}
