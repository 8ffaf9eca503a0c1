// Collision queries between two shapes placed by matrices: closest points, contacts, and contacts with
// the time of impact of moving shapes. They run the world's narrow phase on bodies built on the stack.

#include "physics/collision/dgCollisionPoint.h"
#include "physics/collision/dgCompoundCollision.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexPairDispatch.h"
#include "physics/collision/dgConvexPairSolver.h"
#include "physics/collision/dgConvexSoupContacts.h"
#include "physics/collision/dgIntersections.h"
#include "physics/core/dgScratchArray.h"
#include "physics/dynamics/dgWorld.h"

namespace {

// Most records one convex pair gives.
constexpr dgInt32 kPairContacts = 16;
// Gathered records are halved once this many have come together.
constexpr dgInt32 kPruneAt = 64;
constexpr dgFloat32 kPruneTolerance = 0.01f;
// Time of impact given out for shapes that never meet, and the start of the closest-point search.
constexpr dgFloat32 kNeverMeet = 1.0e10f;
// Queries test the motion over one unit of time.
constexpr dgFloat32 kQueryWindow = 1.0f;

void PlaceQueryBody(dgBody& body, dgCollision* collision, const dgMatrix& matrix) {
    body.m_collision = collision;
    body.m_matrix = matrix;
    body.m_collisionMatrix = collision->GetOffsetMatrix().Multiply(matrix);
}

// The compound roads place a body's children one by one; this puts the body's own shape back.
class SavedPlacement {
public:
    explicit SavedPlacement(dgBody* body)
        : m_body(body), m_collision(body->m_collision), m_collisionMatrix(body->m_collisionMatrix),
          m_minBox(body->m_minBox), m_maxBox(body->m_maxBox) {}
    ~SavedPlacement() {
        m_body->m_collision = m_collision;
        m_body->m_collisionMatrix = m_collisionMatrix;
        m_body->m_minBox = m_minBox;
        m_body->m_maxBox = m_maxBox;
    }
    SavedPlacement(const SavedPlacement&) = delete;
    SavedPlacement& operator=(const SavedPlacement&) = delete;

    /// The compound's placement, from the body's own matrix.
    dgMatrix CompoundMatrix() const { return m_collision->GetOffsetMatrix().Multiply(m_body->m_matrix); }

private:
    dgBody* m_body;
    dgCollision* m_collision;
    dgMatrix m_collisionMatrix;
    dgVector m_minBox;
    dgVector m_maxBox;
};

void PlaceChild(dgBody* body, dgCollision* child, const dgMatrix& compoundMatrix) {
    body->m_collision = child;
    body->m_collisionMatrix = child->GetOffsetMatrix().Multiply(compoundMatrix);
}

bool IsNullShape(const dgBody* body) {
    return body->m_collision->GetCollisionType() == kNullCollision;
}

// Records of several convex pairs gathered into one array, thinned as they come so that a whole pair
// always fits; keeps the earliest time of impact.
class ContactGatherer {
public:
    ContactGatherer(dgFloat32 window, dgContactPoint* contacts, dgInt32 capacity)
        : m_contacts(contacts), m_capacity(capacity), m_window(window), m_earliest(window) {}

    void AddPair(dgBody* body0, dgBody* body1) { Add(body0, body1, CalculateConvexContacts); }
    /// A convex body0 against the soup of body1.
    void AddSoupPair(dgBody* body0, dgBody* body1) { Add(body0, body1, ConvexSoupContacts); }

    dgInt32 GetCount() const { return m_count; }
    dgFloat32 GetEarliest() const { return m_earliest; }

private:
    using PairContacts = dgInt32 (*)(dgFloat32*, dgBody*, dgBody*, dgContactPoint*, dgInt32);

    void Add(dgBody* body0, dgBody* body1, PairContacts pairContacts) {
        while (m_count > 0 && m_capacity - m_count < kPairContacts) {
            m_count = PruneContacts(m_count, m_contacts, m_count / 2, kPruneTolerance);
        }
        dgFloat32 time = m_window;
        const dgInt32 added = pairContacts(&time, body0, body1, m_contacts + m_count, m_capacity - m_count);
        if (added == 0) {
            return;
        }
        // The continuous road leaves the window's end for shapes that already overlap: they touch now.
        if (!(time < m_window)) {
            time = 0.0f;
        }
        if (time < m_earliest) {
            m_earliest = time;
        }
        m_count += added;
        if (m_count >= kPruneAt) {
            m_count = PruneContacts(m_count, m_contacts, m_count / 2, kPruneTolerance);
        }
    }

    dgContactPoint* m_contacts;
    dgInt32 m_capacity;
    dgInt32 m_count = 0;
    dgFloat32 m_window;
    dgFloat32 m_earliest;
};

// Each child of the body's compound placed through the body's own matrix (and widened by its motion when
// the body is continuous), as the body's collision matrix and box would be with that child alone.
void PlaceChildren(dgBody* body, const dgCompoundCollision& compound, dgFloat32 window, dgMatrix* matrices,
                   dgCompoundCollision::ChildBox* boxes) {
    for (dgInt32 i = 0; i < compound.GetChildCount(); i++) {
        body->m_collision = compound.GetChild(i);
        body->UpdateCollisionMatrix(window);
        matrices[i] = body->m_collisionMatrix;
        boxes[i].m_min = body->m_minBox;
        boxes[i].m_max = body->m_maxBox;
    }
}

struct ChildPairQuery {
    dgBody* m_body[2];
    const dgCompoundCollision* m_compound[2];
    const dgMatrix* m_matrices[2];
    ContactGatherer* m_gatherer;
};

void ChildPairContacts(void* context, dgInt32 index0, dgInt32 index1) {
    auto& query = *static_cast<ChildPairQuery*>(context);
    const dgInt32 index[2] = {index0, index1};
    for (dgInt32 k = 0; k < 2; k++) {
        query.m_body[k]->m_collision = query.m_compound[k]->GetChild(index[k]);
        query.m_body[k]->m_collisionMatrix = query.m_matrices[k][index[k]];
    }
    query.m_gatherer->AddPair(query.m_body[0], query.m_body[1]);
}

// Contacts of body0 and body1 with whichever of them is the compound or convex one as body 0.
dgInt32 DispatchQuery(dgWorld& world, dgFloat32* timeOfImpact, dgBody* body0, dgBody* body1,
                      dgContactPoint* contacts, dgInt32 capacity) {
    const dgUnsigned32 compoundId = world.GetCompoundClassId();
    const dgUnsigned32 convexId = world.GetConvexClassId();
    if (body0->m_collision->IsType(compoundId)) {
        return world.CompoundQueryContacts(timeOfImpact, body0, body1, contacts, capacity);
    }
    if (body1->m_collision->IsType(compoundId)) {
        return world.CompoundQueryContacts(timeOfImpact, body1, body0, contacts, capacity);
    }
    if (body0->m_collision->IsType(convexId)) {
        return world.ConvexQueryContacts(timeOfImpact, body0, body1, contacts, capacity);
    }
    if (body1->m_collision->IsType(convexId)) {
        return world.ConvexQueryContacts(timeOfImpact, body1, body0, contacts, capacity);
    }
    return 0;
}

void CopyOut(dgInt32 count, const dgContactPoint* contacts, dgFloat32* points, dgFloat32* normals,
             dgFloat32* penetrations) {
    for (dgInt32 i = 0; i < count; i++) {
        const dgContactPoint& c = contacts[i];
        points[3 * i + 0] = c.m_point.x;
        points[3 * i + 1] = c.m_point.y;
        points[3 * i + 2] = c.m_point.z;
        normals[3 * i + 0] = c.m_normal.x;
        normals[3 * i + 1] = c.m_normal.y;
        normals[3 * i + 2] = c.m_normal.z;
        penetrations[i] = c.m_penetration;
    }
}

} // namespace

dgInt32 dgWorld::ClosestPoint(dgCollision* collisionA, const dgMatrix& matrixA, dgCollision* collisionB,
                              const dgMatrix& matrixB, dgVector& pointA, dgVector& pointB, dgVector& normal) {
    if (collisionA == nullptr || collisionB == nullptr) {
        return 0;
    }
    dgBody bodyA;
    dgBody bodyB;
    PlaceQueryBody(bodyA, collisionA, matrixA);
    PlaceQueryBody(bodyB, collisionB, matrixB);
    if (collisionA->IsType(GetCompoundClassId())) {
        return CompoundClosestPoint(&bodyA, &bodyB, pointA, pointB, normal);
    }
    if (collisionB->IsType(GetCompoundClassId())) {
        const dgInt32 found = CompoundClosestPoint(&bodyB, &bodyA, pointB, pointA, normal);
        if (found != 0) {
            normal = dgVector(-normal.x, -normal.y, -normal.z, normal.w);
        }
        return found;
    }
    // A polygon soup on either side has no closest-point road.
    if (!collisionA->IsType(GetConvexClassId()) || !collisionB->IsType(GetConvexClassId()) ||
        IsNullShape(&bodyA) || IsNullShape(&bodyB)) {
        return 0;
    }
    return ConvexClosestPoints(&bodyA, &bodyB, pointA, pointB, normal) ? 1 : 0;
}

dgInt32 dgWorld::PointDistance(const dgVector& point, dgCollision* collision, const dgMatrix& matrix,
                               dgVector& contactOut, dgVector& normalOut) {
    if (m_pointCollision == nullptr) {
        return 0;
    }
    dgMatrix pointMatrix(dgGetIdentityMatrix());
    pointMatrix.posit = dgVector(point.x, point.y, point.z, 1.0f);
    dgVector onPoint;
    return ClosestPoint(collision, matrix, m_pointCollision, pointMatrix, contactOut, onPoint, normalOut);
}

dgInt32 dgWorld::CompoundClosestPoint(dgBody* compoundBody, dgBody* other, dgVector& point0, dgVector& point1,
                                      dgVector& normal) {
    if (compoundBody == nullptr || other == nullptr || compoundBody->m_collision == nullptr ||
        other->m_collision == nullptr || !compoundBody->m_collision->IsType(GetCompoundClassId())) {
        return 0;
    }
    const auto& compound = static_cast<const dgCompoundCollision&>(*compoundBody->m_collision);
    const bool otherCompound = other->m_collision->IsType(GetCompoundClassId());
    if (!otherCompound && !other->m_collision->IsType(GetConvexClassId())) {
        return 0;
    }
    SavedPlacement saved0(compoundBody);
    SavedPlacement saved1(other);
    const dgMatrix matrix0 = saved0.CompoundMatrix();
    const dgMatrix matrix1 = saved1.CompoundMatrix();

    dgFloat32 best = kNeverMeet;
    bool found = false;
    // False once the two shapes are known to overlap: then no points are closest.
    auto tryPair = [&]() {
        if (IsNullShape(compoundBody) || IsNullShape(other)) {
            return true;
        }
        dgVector p0;
        dgVector p1;
        dgVector n;
        if (!ConvexClosestPoints(compoundBody, other, p0, p1, n)) {
            dgContactPoint contacts[kPairContacts];
            dgFloat32 time = 0.0f;
            return CalculateConvexContacts(&time, compoundBody, other, contacts, kPairContacts) == 0;
        }
        const dgVector d = p1.Sub(p0);
        const dgFloat32 distance2 = d.DotProduct(d);
        if (distance2 < best) {
            best = distance2;
            point0 = p0;
            point1 = p1;
            normal = n;
            found = true;
        }
        return true;
    };

    const auto* otherChildren =
        otherCompound ? static_cast<const dgCompoundCollision*>(other->m_collision) : nullptr;
    const dgInt32 otherCount = otherCompound ? otherChildren->GetChildCount() : 1;
    for (dgInt32 i = 0; i < compound.GetChildCount(); i++) {
        PlaceChild(compoundBody, compound.GetChild(i), matrix0);
        for (dgInt32 j = 0; j < otherCount; j++) {
            if (otherCompound) {
                PlaceChild(other, otherChildren->GetChild(j), matrix1);
            }
            if (!tryPair()) {
                return 0;
            }
        }
    }
    return found ? 1 : 0;
}

dgInt32 dgWorld::ConvexQueryContacts(dgFloat32* timeOfImpact, dgBody* body0, dgBody* body1,
                                     dgContactPoint* contacts, dgInt32 capacity) {
    if (timeOfImpact == nullptr || body0 == nullptr || body1 == nullptr || contacts == nullptr ||
        body0->m_collision == nullptr || body1->m_collision == nullptr ||
        !body0->m_collision->IsType(GetConvexClassId())) {
        return 0;
    }
    if (!body1->m_collision->IsType(GetConvexClassId())) {
        dgInt32 count = ConvexSoupContacts(timeOfImpact, body0, body1, contacts, capacity);
        if (count > 0) {
            count = ReduceContacts(count, contacts, capacity);
        }
        return count;
    }
    ContactGatherer gatherer(*timeOfImpact, contacts, capacity);
    gatherer.AddPair(body0, body1);
    dgInt32 count = gatherer.GetCount();
    if (count > 0) {
        *timeOfImpact = gatherer.GetEarliest();
        count = ReduceContacts(count, contacts, capacity);
    }
    return count;
}

dgInt32 dgWorld::CompoundQueryContacts(dgFloat32* timeOfImpact, dgBody* body0, dgBody* body1,
                                       dgContactPoint* contacts, dgInt32 capacity) {
    if (timeOfImpact == nullptr || body0 == nullptr || body1 == nullptr || contacts == nullptr ||
        capacity < kPairContacts || body0->m_collision == nullptr || body1->m_collision == nullptr ||
        !body0->m_collision->IsType(GetCompoundClassId())) {
        return 0;
    }
    // Placing children refreshes the bodies' boxes, which must not reach the broad phase.
    dgAssert(body0->m_cell == nullptr && body1->m_cell == nullptr);
    const auto& compound0 = static_cast<const dgCompoundCollision&>(*body0->m_collision);
    const bool otherCompound = body1->m_collision->IsType(GetCompoundClassId());
    const bool otherSoup = body1->m_collision->IsType(GetPolygonSoupClassId());
    const dgFloat32 window = *timeOfImpact;
    ContactGatherer gatherer(window, contacts, capacity);
    SavedPlacement saved0(body0);
    SavedPlacement saved1(body1);
    const dgInt32 count0 = compound0.GetChildCount();
    if (otherCompound) {
        const auto& compound1 = static_cast<const dgCompoundCollision&>(*body1->m_collision);
        const dgInt32 count1 = compound1.GetChildCount();
        dgScratchArray<dgMatrix> matrices0(count0);
        dgScratchArray<dgMatrix> matrices1(count1);
        dgScratchArray<dgCompoundCollision::ChildBox> boxes0(count0);
        dgScratchArray<dgCompoundCollision::ChildBox> boxes1(count1);
        PlaceChildren(body0, compound0, window, matrices0.GetData(), boxes0.GetData());
        PlaceChildren(body1, compound1, window, matrices1.GetData(), boxes1.GetData());
        ChildPairQuery query{
            {body0, body1}, {&compound0, &compound1}, {matrices0.GetData(), matrices1.GetData()}, &gatherer};
        dgCompoundCollision::ForEachOverlappingChildPair(count0, boxes0.GetData(), count1, boxes1.GetData(),
                                                         ChildPairContacts, &query);
    } else {
        body1->UpdateCollisionMatrix(window);
        for (dgInt32 i = 0; i < count0; i++) {
            body0->m_collision = compound0.GetChild(i);
            body0->UpdateCollisionMatrix(window);
            if (otherSoup) {
                gatherer.AddSoupPair(body0, body1);
            } else if (BoxesOverlap(body0->m_minBox, body0->m_maxBox, body1->m_minBox, body1->m_maxBox)) {
                gatherer.AddPair(body0, body1);
            }
        }
    }
    if (gatherer.GetCount() > 0) {
        *timeOfImpact = gatherer.GetEarliest();
    }
    return gatherer.GetCount();
}

dgInt32 dgWorld::Collide(dgCollision* collisionA, const dgMatrix& matrixA, dgCollision* collisionB,
                         const dgMatrix& matrixB, dgFloat32* points, dgFloat32* normals,
                         dgFloat32* penetrations, dgInt32 wanted) {
    if (wanted <= 0 || collisionA == nullptr || collisionB == nullptr || points == nullptr ||
        normals == nullptr || penetrations == nullptr) {
        return 0;
    }
    if (wanted > kMaxQueryContacts) {
        wanted = kMaxQueryContacts;
    }
    dgBody body0;
    dgBody body1;
    PlaceQueryBody(body0, collisionA, matrixA);
    PlaceQueryBody(body1, collisionB, matrixB);
    dgContactPoint contacts[kMaxQueryContacts];
    dgFloat32 time = kQueryWindow;
    dgInt32 count = DispatchQuery(*this, &time, &body0, &body1, contacts, kMaxQueryContacts);
    if (count > wanted) {
        count = PruneContacts(count, contacts, wanted, kPruneTolerance);
    }
    CopyOut(count, contacts, points, normals, penetrations);
    return count;
}

dgInt32 dgWorld::CollideContinue(dgCollision* collisionA, const dgMatrix& matrixA, const dgVector& velocA,
                                 const dgVector& omegaA, dgCollision* collisionB, const dgMatrix& matrixB,
                                 const dgVector& velocB, const dgVector& omegaB, dgFloat32& timeOfImpact,
                                 dgFloat32* points, dgFloat32* normals, dgFloat32* penetrations,
                                 dgInt32 wanted) {
    timeOfImpact = kNeverMeet;
    if (collisionA == nullptr || collisionB == nullptr) {
        return 0;
    }
    dgBody body0;
    dgBody body1;
    PlaceQueryBody(body0, collisionA, matrixA);
    PlaceQueryBody(body1, collisionB, matrixB);
    body0.m_veloc = velocA;
    body0.m_omega = omegaA;
    body1.m_veloc = velocB;
    body1.m_omega = omegaB;
    body0.m_flags |= dgBody::kContinuousCollision;
    body1.m_flags |= dgBody::kContinuousCollision;
    dgContactPoint contacts[kMaxQueryContacts];
    dgFloat32 time = kQueryWindow;
    dgInt32 count = DispatchQuery(*this, &time, &body0, &body1, contacts, kMaxQueryContacts);
    if (count == 0) {
        return 0;
    }
    timeOfImpact = time;
    if (wanted <= 0 || points == nullptr || normals == nullptr || penetrations == nullptr) {
        return 0;
    }
    if (wanted > kMaxQueryContacts) {
        wanted = kMaxQueryContacts;
    }
    if (count > wanted) {
        count = ReduceContacts(count, contacts, wanted);
        // Short arrays are only cleared of near-duplicates: the caller's room still bounds the count.
        if (count > wanted) {
            count = PruneContacts(count, contacts, wanted, kPruneTolerance);
        }
    }
    CopyOut(count, contacts, points, normals, penetrations);
    return count;
}
