#include "physics/collision/dgConvexPairDispatch.h"

#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgConvexPairSolver.h"
#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgBody.h"

#include <cmath>

namespace {

constexpr dgInt32 kMaxPairContacts = 16;
// Closed-form pairs report a contact only from this overlap on.
constexpr dgFloat32 kMinOverlap = 1.0f / 256.0f;

dgFloat32 Penetration(dgFloat32 gap) {
    const dgFloat32 p = std::fabs(gap) - dgConvexPairSolver::kPenetrationSkin;
    return p > 0.0f ? p : 0.0f;
}

// The point probe reports the sphere's type code but is a single point: the closed forms would take it
// for a unit sphere.
bool IsPointProbe(const dgCollision& shape) {
    return shape.IsType(dgCollisionPointClassId);
}

void WriteRecord(dgContactPoint& contact, const dgVector& point, const dgVector& normal,
                 dgFloat32 penetration) {
    contact.m_point = point;
    contact.m_normal = normal;
    contact.m_attribute = 0;
    contact.m_penetration = penetration;
}

} // namespace

dgInt32 SphereSphereContacts(const dgBody* body0, const dgBody* body1, dgContactPoint* contacts) {
    const auto& sphere0 = static_cast<const dgCollisionSphere&>(*body0->m_collision);
    const auto& sphere1 = static_cast<const dgCollisionSphere&>(*body1->m_collision);
    const dgVector& c0 = body0->m_collisionMatrix.posit;
    const dgVector& c1 = body1->m_collisionMatrix.posit;
    const dgFloat32 r0 = sphere0.GetRadius();
    const dgFloat32 r1 = sphere1.GetRadius();
    const dgVector d = c1.Sub(c0);
    const dgFloat32 distance2 = d.DotProduct(d);
    if (distance2 < 1.0e-4f) {
        // Concentric: any direction separates them; up is as good as another.
        const dgVector normal(0.0f, 1.0f, 0.0f, 1.0f);
        WriteRecord(contacts[0], c0.Add(normal.Scale(r0)), normal, 0.01f);
        return 1;
    }
    const dgFloat32 distance = std::sqrt(distance2);
    const dgFloat32 gap = distance - (r0 + r1);
    if (gap > -kMinOverlap) {
        return 0;
    }
    const dgFloat32 penetration = Penetration(gap);
    const dgVector towards0 = c0.Sub(c1).Scale(1.0f / distance);
    const dgVector normal(towards0.x, towards0.y, towards0.z, c1.w);
    const dgVector point = c0.Sub(normal.Scale(r0 - 0.5f * penetration));
    WriteRecord(contacts[0], point, normal, penetration);
    return 1;
}

dgInt32 BoxSphereContacts(const dgBody* boxBody, const dgBody* sphereBody, dgContactPoint* contacts) {
    const auto& box = static_cast<const dgCollisionBox&>(*boxBody->m_collision);
    const auto& sphere = static_cast<const dgCollisionSphere&>(*sphereBody->m_collision);
    const dgMatrix& boxMatrix = boxBody->m_collisionMatrix;
    const dgVector c = boxMatrix.InverseTransformVector(sphereBody->m_collisionMatrix.posit);
    const dgVector& e = box.GetHalfExtents();
    const dgFloat32 r = sphere.GetRadius();

    // Nearest point of the box: c clamped; the axes on which c lies within the box add nothing to d.
    dgVector d(0.0f, 0.0f, 0.0f, 0.0f);
    bool inside = true;
    for (dgInt32 i = 0; i < 3; i++) {
        if (c[i] < -e[i]) {
            d[i] = c[i] + e[i];
            inside = false;
        } else if (c[i] > e[i]) {
            d[i] = c[i] - e[i];
            inside = false;
        }
    }
    if (inside) {
        return GenericConvexContacts(boxBody, sphereBody, contacts);
    }
    const dgFloat32 distance = std::sqrt(d.DotProduct(d));
    const dgFloat32 gap = distance - r;
    if (gap > -kMinOverlap) {
        return 0;
    }
    const dgVector unit = d.Scale(1.0f / distance);
    const dgVector localNormal(-unit.x, -unit.y, -unit.z, 1.0f);
    const dgVector localPoint = c.Sub(unit.Scale(r + 0.5f * gap));
    dgVector normal = boxMatrix.RotateVector(localNormal);
    normal.w = 1.0f;
    WriteRecord(contacts[0], boxMatrix.TransformVector(localPoint), normal, Penetration(gap));
    return 1;
}

dgInt32 CalculateConvexContacts(dgFloat32* timeOfImpact, dgBody* body0, dgBody* body1,
                                dgContactPoint* contacts, dgInt32 capacity) {
    if (timeOfImpact == nullptr || body0 == nullptr || body1 == nullptr || contacts == nullptr ||
        capacity < kMaxPairContacts || body0->m_collision == nullptr || body1->m_collision == nullptr) {
        return 0;
    }
    const dgCollisionType t0 = body0->m_collision->GetCollisionType();
    const dgCollisionType t1 = body1->m_collision->GetCollisionType();
    const bool closedForm = !IsPointProbe(*body0->m_collision) && !IsPointProbe(*body1->m_collision);
    // A null shape touches nothing, whichever road the bodies would take.
    if (t0 == kNullCollision || t1 == kNullCollision) {
        return 0;
    }
    dgInt32 count = 0;
    if ((body0->m_flags | body1->m_flags) & dgBody::kContinuousCollision) {
        count = ContinuousConvexContacts(*timeOfImpact, body0, body1, contacts);
    } else {
        if (!closedForm) {
            count = GenericConvexContacts(body0, body1, contacts);
        } else if (t0 == kBoxCollision && t1 == kSphereCollision) {
            count = BoxSphereContacts(body0, body1, contacts);
        } else if (t0 == kSphereCollision && t1 == kBoxCollision) {
            count = BoxSphereContacts(body1, body0, contacts);
            for (dgInt32 i = 0; i < count; i++) {
                contacts[i].m_normal = dgVector(-contacts[i].m_normal.x, -contacts[i].m_normal.y,
                                                -contacts[i].m_normal.z, contacts[i].m_normal.w);
            }
        } else if (t0 == kSphereCollision && t1 == kSphereCollision) {
            count = SphereSphereContacts(body0, body1, contacts);
        } else {
            count = GenericConvexContacts(body0, body1, contacts);
        }
        if (count > 0) {
            *timeOfImpact = 0.0f;
        }
    }
    for (dgInt32 i = 0; i < count; i++) {
        CompleteRecord(contacts[i], body0, body1);
        contacts[i].m_unused = 0;
    }
    return count;
}
