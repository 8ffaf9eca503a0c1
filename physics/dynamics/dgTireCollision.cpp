#include "physics/dynamics/dgTireCollision.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgVehicleTire.h"

#include <cmath>

namespace {

dgVector Stretch(const dgVector& v, const dgVector& scale) {
    return dgVector(v.x * scale.x, v.y * scale.y, v.z * scale.z, v.w);
}

dgVector Normalised(const dgVector& v) {
    const dgFloat32 inv = 1.0f / std::sqrt(v.DotProduct(v) + 1.0e-12f);
    return dgVector(v.x * inv, v.y * inv, v.z * inv, v.w);
}

// The rows of matrix scaled by (sx, sy, sz): the stretch applied before the placement.
dgMatrix StretchedRows(const dgMatrix& matrix, const dgVector& scale) {
    return dgMatrix(matrix.front.Scale(scale.x), matrix.up.Scale(scale.y), matrix.right.Scale(scale.z),
                    matrix.posit);
}

} // namespace

dgTireCollision::dgTireCollision(dgWorld* world, dgVehicleTire* tire, const dgMatrix& matrix)
    : dgCollisionChamferCylinder(0u, 1.0f, 1.0f, matrix),
      m_scale(tire->m_width, tire->m_radius, tire->m_radius, 0.0f),
      m_invScale(1.0f / tire->m_width, 1.0f / tire->m_radius, 1.0f / tire->m_radius, 0.0f), m_world(world),
      m_maxTreadRadius2((tire->m_radius * 0.75f) * (tire->m_radius * 0.75f)), m_contactCount(0), m_contacts(),
      m_tire(tire), m_unit(0u, 1.0f, 1.0f, dgGetIdentityMatrix()) {
    tire->m_collision = this;
    SetUserId(tire->m_collisionUserId);
    SetOffsetMatrix(matrix);
    SetFlags(kOffsetNotIdentity | kTireShape, true);
}

dgVector dgTireCollision::SupportVertex(const dgVector& dir) const {
    const dgVector unitDir = Normalised(Stretch(dir, m_scale));
    return Stretch(m_unit.SupportVertex(unitDir), m_scale);
}

dgFloat32 dgTireCollision::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                   dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    const dgFloat32 t =
        m_unit.RayCast(Stretch(p0, m_invScale), Stretch(p1, m_invScale), contactOut, nullptr, body, userData);
    if (t < kNoHit) {
        // A unit normal n maps to the stretched surface as the inverse transpose: S^-1 n.
        const dgFloat32 w = contactOut.m_normal.w;
        contactOut.m_normal = Normalised(Stretch(contactOut.m_normal, m_invScale));
        contactOut.m_normal.w = w;
        contactOut.m_attribute = static_cast<dgInt64>(GetUserId());
    }
    return t;
}

dgInt32 dgTireCollision::CalcPlaneIntersection(const dgVector& normal, const dgVector& point, dgVector* out) const {
    const dgInt32 count =
        m_unit.CalcPlaneIntersection(Normalised(Stretch(normal, m_scale)), Stretch(point, m_invScale), out);
    for (dgInt32 i = 0; i < count; i++) {
        out[i] = Stretch(out[i], m_scale);
    }
    return count;
}

void dgTireCollision::CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const {
    m_unit.CalcWorldBox(StretchedRows(matrix, m_scale), minOut, maxOut);
}

void dgTireCollision::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body,
                                         dgCollisionFaceCallback callback) const {
    m_unit.ForEachDisplayFace(StretchedRows(GetOffsetMatrix(), m_scale).Multiply(bodyMatrix), body, callback);
}

void dgTireCollision::CollectContacts(const dgBody* chassis, const dgVector& up, CollectedPoints& collected) {
    // The kept points, highest first.
    struct Ranked {
        const dgContact* m_contact;
        dgVector m_normal;
        dgFloat32 m_height;
    };
    Ranked kept[kMaxContacts];
    dgInt32 keptCount = 0;
    const dgMatrix& offset = GetOffsetMatrix();
    for (dgInt32 i = 0; i < collected.GetCount(); i++) {
        CollectedPoint& entry = collected[i];
        if (entry.m_node == nullptr) {
            continue;
        }
        const dgContact& contact = entry.m_node->GetInfo();
        const dgContactPoint& point = contact.m_point;
        if (point.m_collision0 != this && point.m_collision1 != this) {
            continue;
        }
        // Joint normals run from body 1 towards body 0: towards the chassis when it is body 0.
        dgVector n = point.m_body0 == chassis ? point.m_normal.Scale(-1.0f) : point.m_normal;
        const dgVector d = offset.InverseTransformVector(chassis->m_matrix.InverseTransformVector(point.m_point));
        if (d.DotProduct(d) + 1.0e-12f > m_maxTreadRadius2) {
            // On the tread the tire pushes from its centre.
            n = chassis->m_matrix.RotateVector(offset.RotateVector(Normalised(d)));
        }
        n.w = 0.0f;
        const dgFloat32 height = -n.DotProduct(up);
        dgInt32 at = keptCount;
        while (at > 0 && kept[at - 1].m_height < height) {
            at--;
        }
        if (at < kMaxContacts) {
            const dgInt32 last = keptCount < kMaxContacts ? keptCount : kMaxContacts - 1;
            for (dgInt32 k = last; k > at; k--) {
                kept[k] = kept[k - 1];
            }
            kept[at] = {&contact, n, height};
            keptCount = last + 1;
        }

        // Kept or not, the general solver no longer sees the point: the points in use stay at the head.
        dgContactJoint* const joint = entry.m_joint;
        if (entry.m_node != joint->m_points.GetLast()) {
            joint->m_points.MoveAfter(entry.m_node, joint->m_points.GetLast());
        }
        joint->SetPointCount(joint->m_pointCount - 1);
        entry.m_node = nullptr;
    }

    m_contactCount = keptCount;
    for (dgInt32 i = 0; i < keptCount; i++) {
        const dgContact& contact = *kept[i].m_contact;
        const dgContactPoint& point = contact.m_point;
        Contact& record = m_contacts[i];
        record.m_body0 = point.m_body0;
        record.m_collision0 = point.m_collision0;
        record.m_body1 = point.m_body1;
        record.m_collision1 = point.m_collision1;
        record.m_point = point.m_point;
        record.m_normal = kept[i].m_normal;
        record.m_normal.w = kept[i].m_height;
        record.m_staticFriction[0] = contact.m_staticFriction0;
        record.m_staticFriction[1] = contact.m_staticFriction1;
        record.m_kineticFriction[0] = contact.m_kineticFriction0;
        record.m_kineticFriction[1] = contact.m_kineticFriction1;
        record.m_penetration = point.m_penetration;
    }
}
