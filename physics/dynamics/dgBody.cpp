#include "physics/dynamics/dgBody.h"

#include "physics/collision/dgCompoundCollision.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgWorld.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr dgFloat32 kDegreeToRadian = 0.01745328f;
constexpr dgFloat32 kMaxStepAngle = 45.0f * kDegreeToRadian;
// Below this angular speed the rotation is left exactly as it is, so resting bodies never drift.
constexpr dgFloat32 kMinTurnSpeed = 0.0125f * kDegreeToRadian;
constexpr dgFloat32 kInfiniteMass = 1.0e15f;
// Motion of a continuous body up to this fraction of its box size per step needs no wider box.
constexpr dgFloat32 kContinuousSlack = 0.3f;
// The same for the child boxes of a compound shape.
constexpr dgFloat32 kCompoundChildSlack = 0.45f;
constexpr dgFloat32 kMinBuoyantMass = 0.01f;
constexpr dgFloat32 kMinSubmergedVolume = 0.0001f;

// Masses without a finite inverse (zero, negative, NaN, below the smallest normal float) count as
// infinite, like 1e15 and above.
bool IsInfinite(dgFloat32 mass) {
    return !(mass >= std::numeric_limits<dgFloat32>::min()) || mass >= kInfiniteMass;
}

bool IsFinite(const dgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

dgVector ZeroXyz(const dgVector& v) {
    return dgVector(0.0f, 0.0f, 0.0f, v.w);
}

// Scales omega by 0.8 until one step of dt turns by at most 45 degrees. Omega must be finite: its
// square may overflow, but the cuts then bring it back within range.
dgVector LimitStepTurn(dgVector omega, dgFloat32 dt) {
    while (omega.DotProduct(omega) * dt * dt > kMaxStepAngle * kMaxStepAngle) {
        omega = dgVector(omega.x * 0.8f, omega.y * 0.8f, omega.z * 0.8f, omega.w);
    }
    return omega;
}

// Moves one side of the box along an axis by the part of the displacement beyond the slack.
void WidenAxis(dgFloat32 displacement, dgFloat32 slack, dgFloat32& minSide, dgFloat32& maxSide) {
    if (std::fabs(displacement) > slack) {
        if (displacement > 0.0f) {
            maxSide += displacement - slack;
        } else {
            minSide += displacement + slack;
        }
    }
}

// Widens the box along the displacement by what exceeds slackFraction of its size on each axis.
void WidenBox(const dgVector& d, dgFloat32 slackFraction, dgVector& minBox, dgVector& maxBox) {
    WidenAxis(d.x, slackFraction * (maxBox.x - minBox.x), minBox.x, maxBox.x);
    WidenAxis(d.y, slackFraction * (maxBox.y - minBox.y), minBox.y, maxBox.y);
    WidenAxis(d.z, slackFraction * (maxBox.z - minBox.z), minBox.z, maxBox.z);
}

// A body without a world tests against the engine's own class id.
bool HasCompound(const dgBody& body) {
    if (body.m_collision == nullptr) {
        return false;
    }
    const dgUnsigned32 compoundId =
        body.m_world != nullptr ? body.m_world->GetCompoundClassId() : dgCompoundCollisionClassId;
    return body.m_collision->IsType(compoundId);
}

// Drag factor of a fluid of the given viscosity for a body moving at speed squared speed2: a viscous
// fluid drags at least linearly (the floor) and the cap keeps the explicit step of a light body stable;
// a fluid without viscosity does not drag at all.
dgFloat32 DragFactor(dgFloat32 viscosity, dgFloat32 speed2, dgFloat32 scale, dgFloat32 floor, dgFloat32 cap) {
    if (!(viscosity > 0.0f)) {
        return 0.0f;
    }
    const dgFloat32 factor = viscosity * speed2 * scale;
    return std::isfinite(factor) ? std::clamp(factor, floor, cap) : cap;
}

} // namespace

bool dgBody::HasPolygonSoup() const {
    if (m_collision == nullptr) {
        return false;
    }
    const dgUnsigned32 soupId =
        m_world != nullptr ? m_world->GetPolygonSoupClassId() : dgCollisionPolygonalSoupClassId;
    return m_collision->IsType(soupId);
}

void dgBody::SetMassMatrix(dgFloat32 mass, dgFloat32 ixx, dgFloat32 iyy, dgFloat32 izz) {
    if (HasPolygonSoup() || IsInfinite(mass)) {
        m_flags |= kEquilibrium;
        m_mass = dgVector(kInfiniteMass, kInfiniteMass, kInfiniteMass, kInfiniteMass);
        m_invMass = dgVector(0.0f, 0.0f, 0.0f, 0.0f);
        UpdateReportedMass(&m_mass.x);
        return;
    }
    m_flags &= ~kEquilibrium;
    const dgVector localOmega = m_matrix.InverseRotateVector(m_omega);
    const dgVector oldInvMass = m_invMass;
    const dgVector oldMass = m_mass;

    // An axis of infinite inertia cannot turn.
    const dgFloat32 inertia[3] = {ixx, iyy, izz};
    dgFloat32 stored[3];
    dgFloat32 inverse[3];
    for (dgInt32 i = 0; i < 3; i++) {
        const bool infinite = IsInfinite(inertia[i]);
        stored[i] = infinite ? kInfiniteMass : inertia[i];
        inverse[i] = infinite ? 0.0f : 1.0f / inertia[i];
    }
    m_mass = dgVector(stored[0], stored[1], stored[2], mass);
    m_invMass = dgVector(inverse[0], inverse[1], inverse[2], 1.0f / mass);

    if ((m_flags & kGyroscopicTorque) != 0) {
        // Keep the local angular momentum I w; an axis that was infinite held none to keep.
        dgFloat32 w[3] = {localOmega.x, localOmega.y, localOmega.z};
        const dgFloat32 oldInertia[3] = {oldMass.x, oldMass.y, oldMass.z};
        const dgFloat32 oldInverse[3] = {oldInvMass.x, oldInvMass.y, oldInvMass.z};
        for (dgInt32 i = 0; i < 3; i++) {
            if (oldInverse[i] > 0.0f) {
                w[i] = w[i] * oldInertia[i] * inverse[i];
            }
        }
        const dgVector omega = m_matrix.RotateVector(dgVector(w[0], w[1], w[2], 0.0f));
        m_omega = dgVector(omega.x, omega.y, omega.z, m_omega.w);
    }
    UpdateReportedMass(&m_mass.x);
}

void dgBody::UpdateReportedMass(const dgFloat32* mass) {
    if (HasPolygonSoup() || IsInfinite(mass[3])) {
        m_reportedMass = dgVector(kInfiniteMass, kInfiniteMass, kInfiniteMass, kInfiniteMass);
        return;
    }
    m_reportedMass = dgVector(mass[0], mass[1], mass[2], mass[3]);
}

void dgBody::SetMatrix(const dgMatrix& matrix) {
    m_matrix = matrix;
    m_rotation = dgQuaternion::FromMatrix(m_matrix);
    m_globalCentreOfMass = m_matrix.TransformVector(m_localCentreOfMass);
    UpdateCollisionMatrix(m_world != nullptr ? m_world->GetTimeStep() : 0.0f);
}

void dgBody::UpdateCollisionMatrix(dgFloat32 dt) {
    if (m_collision == nullptr) {
        m_collisionMatrix = m_matrix;
        m_minBox = m_matrix.posit;
        m_maxBox = m_matrix.posit;
    } else {
        m_collisionMatrix = (m_collision->GetFlags() & dgCollision::kOffsetNotIdentity) != 0
                                ? m_collision->GetOffsetMatrix().Multiply(m_matrix)
                                : m_matrix;
        m_collision->CalcWorldBox(m_collisionMatrix, m_minBox, m_maxBox);
    }

    if ((m_flags & kContinuousCollision) != 0) {
        const dgVector d = m_veloc.Scale(dt).Add(m_force.Scale(m_invMass.w * dt * dt));
        if (IsFinite(d)) {
            WidenBox(d, kContinuousSlack, m_minBox, m_maxBox);
            if (HasCompound(*this)) {
                // The contact code tests the children's boxes against the other body: they move too.
                const auto* compound = static_cast<const dgCompoundCollision*>(m_collision);
                dgCompoundCollision::ChildBox* boxes = compound->GetChildBoxes();
                for (dgInt32 i = 0; i < compound->GetChildCount(); i++) {
                    WidenBox(d, kCompoundChildSlack, boxes[i].m_min, boxes[i].m_max);
                }
            }
        }
    }

    // Bodies built on a stack for queries are never in the broad phase.
    if (m_cell != nullptr && m_world != nullptr) {
        m_world->m_broadPhase.UpdateBody(this);
    }
}

void dgBody::IntegrateStep(dgFloat32 dt) {
    m_lastForce = m_force;
    m_lastTorque = m_torque;
    IntegrateVelocityAndMatrix(dt);
    if (m_transform != nullptr) {
        m_transform(this, &m_matrix.front.x);
    }
    UpdateCollisionMatrix(dt);
}

void dgBody::IntegrateVelocityAndMatrix(dgFloat32 dt) {
    const dgVector acceleration = m_force.Scale(m_invMass.w);
    m_force = dgVector(acceleration.x, acceleration.y, acceleration.z, m_force.w);
    m_veloc = m_veloc.Add(m_force.Scale(dt));
    // A non-finite velocity would carry NaN into the frame and every contact: the body stops instead.
    if (!IsFinite(m_veloc)) {
        m_veloc = ZeroXyz(m_veloc);
    }
    m_globalCentreOfMass = m_globalCentreOfMass.Add(m_veloc.Scale(dt));

    const dgVector alpha =
        m_matrix.RotateVector(m_matrix.InverseRotateVector(m_torque).CompProduct(m_invMass));
    m_torque = dgVector(alpha.x, alpha.y, alpha.z, m_torque.w);
    m_omega = m_omega.Add(m_torque.Scale(dt));
    if (!IsFinite(m_omega)) {
        m_omega = ZeroXyz(m_omega);
    }
    m_omega = LimitStepTurn(m_omega, dt);

    const dgFloat32 speed2 = m_omega.DotProduct(m_omega);
    if (speed2 > kMinTurnSpeed * kMinTurnSpeed) {
        const dgFloat32 speed = std::sqrt(speed2);
        const dgVector axis = m_omega.Scale(1.0f / speed);
        const dgQuaternion step = dgQuaternion::FromAxisAngle(axis, speed * dt);
        const dgQuaternion q = m_rotation * step;
        const dgFloat32 invLength = 1.0f / std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
        m_rotation = dgQuaternion(q.x * invLength, q.y * invLength, q.z * invLength, q.w * invLength);
        m_matrix = dgMatrix::FromQuaternion(m_rotation, m_matrix.posit);
    }

    const dgVector offset = m_matrix.RotateVector(m_localCentreOfMass);
    m_matrix.posit = m_globalCentreOfMass.Sub(offset);
}

void dgBody::IntegrateVelocity(dgFloat32 dt, dgVector& velocOut, dgVector& omegaOut) const {
    velocOut = m_veloc.Add(m_force.Scale(dt * m_invMass.w));
    velocOut.w = m_veloc.w;
    if (!IsFinite(velocOut)) {
        velocOut = ZeroXyz(velocOut);
    }
    const dgVector alpha =
        m_matrix.RotateVector(m_matrix.InverseRotateVector(m_torque).CompProduct(m_invMass));
    omegaOut = m_omega.Add(alpha.Scale(dt));
    omegaOut.w = m_omega.w;
    if (!IsFinite(omegaOut)) {
        omegaOut = ZeroXyz(omegaOut);
    }
    omegaOut = LimitStepTurn(omegaOut, dt);
}

void dgBody::CalcInvInertiaMatrix(dgMatrix& out) const {
    // R^T D R: row i of the scaled transpose times the rotation rows.
    const dgMatrix& r = m_matrix;
    const dgMatrix scaled(
        dgVector(r.front.x * m_invMass.x, r.up.x * m_invMass.y, r.right.x * m_invMass.z, 0.0f),
        dgVector(r.front.y * m_invMass.x, r.up.y * m_invMass.y, r.right.y * m_invMass.z, 0.0f),
        dgVector(r.front.z * m_invMass.x, r.up.z * m_invMass.y, r.right.z * m_invMass.z, 0.0f),
        dgVector(0.0f, 0.0f, 0.0f, 1.0f));
    const dgMatrix rotation(r.front, r.up, r.right, dgVector(0.0f, 0.0f, 0.0f, 1.0f));
    out = scaled.Multiply(rotation);
}

void dgBody::AddImpulse(const dgVector& velocityChange, const dgVector& point) {
    if (m_invMass.w == 0.0f || !IsFinite(velocityChange) || !IsFinite(point)) {
        return;
    }
    dgMatrix invInertia;
    CalcInvInertiaMatrix(invInertia);
    const dgVector r = point.Sub(m_globalCentreOfMass);

    // The point's velocity changes by K j with K = (1/m) E - S I^-1 S, S the cross product with r.
    const dgMatrix skew(dgVector(0.0f, -r.z, r.y, 0.0f), dgVector(r.z, 0.0f, -r.x, 0.0f),
                        dgVector(-r.y, r.x, 0.0f, 0.0f), dgVector(0.0f, 0.0f, 0.0f, 0.0f));
    const dgMatrix sIs = skew.Multiply(invInertia).Multiply(skew);
    const dgFloat32 invMass = m_invMass.w;
    const dgMatrix k(dgVector(invMass - sIs.front.x, -sIs.front.y, -sIs.front.z, 0.0f),
                     dgVector(-sIs.up.x, invMass - sIs.up.y, -sIs.up.z, 0.0f),
                     dgVector(-sIs.right.x, -sIs.right.y, invMass - sIs.right.z, 0.0f),
                     dgVector(0.0f, 0.0f, 0.0f, 1.0f));
    // K is symmetric, so the row-vector product with its inverse is the plain one.
    const dgVector impulse = k.SymmetricInverse3x3().RotateVector(velocityChange);

    const dgVector dv = impulse.Scale(invMass);
    m_veloc = dgVector(m_veloc.x + dv.x, m_veloc.y + dv.y, m_veloc.z + dv.z, m_veloc.w);
    const dgVector dw = invInertia.RotateVector(r.CrossProduct(impulse));
    m_omega = dgVector(m_omega.x + dw.x, m_omega.y + dw.y, m_omega.z + dw.z, m_omega.w);
    m_flags &= ~kEquilibrium;
}

void dgBody::AddBuoyancyForce(dgFloat32 density, dgFloat32 linearViscosity, dgFloat32 angularViscosity,
                              const dgVector& gravity, dgBuoyancyPlaneCallback planeCallback, void* context) {
    if (!(m_mass.w > kMinBuoyantMass) || m_collision == nullptr) {
        return;
    }
    const dgVector submerged = m_collision->CalcVolumeUnderPlane(m_collisionMatrix, planeCallback, context);
    const dgFloat32 volume = submerged.w;
    if (!(volume > kMinSubmergedVolume)) {
        return;
    }
    const dgVector buoyancy = gravity.Scale(-(volume * density));
    const dgVector centre(submerged.x, submerged.y, submerged.z, 0.0f);
    const dgVector buoyancyTorque = centre.Sub(m_globalCentreOfMass).CrossProduct(buoyancy);

    const dgFloat32 linearDrag =
        DragFactor(linearViscosity, m_veloc.DotProduct(m_veloc), 100.0f, 1.0f, 10.0f);
    const dgFloat32 angularDrag =
        DragFactor(angularViscosity, m_omega.DotProduct(m_omega), 1000.0f, 0.25f, 2.0f);
    const dgVector force = buoyancy.Sub(m_veloc.Scale(linearDrag));
    const dgVector torque = buoyancyTorque.Sub(m_omega.Scale(angularDrag));
    m_force = dgVector(m_force.x + force.x, m_force.y + force.y, m_force.z + force.z, m_force.w);
    m_torque = dgVector(m_torque.x + torque.x, m_torque.y + torque.y, m_torque.z + torque.z, m_torque.w);
}

dgFloat32 dgBody::RayCast(const dgVector& p0, const dgVector& p1, dgRayCastFilter filter,
                          dgRayCastPrefilter preFilter, void* userData, dgFloat32 maxT) {
    if (m_collision == nullptr) {
        return maxT;
    }
    const dgVector localP0 = m_collisionMatrix.InverseTransformVector(p0);
    const dgVector localP1 = m_collisionMatrix.InverseTransformVector(p1);
    dgContactPoint contact;
    const dgFloat32 t = m_collision->RayCast(localP0, localP1, contact, preFilter, this, userData);
    // Shapes may answer a parameter of 1 or a little more (past the segment's end) without a normal; the
    // walk's first bound of 1.1 must not let that through as a hit.
    if (!(t < maxT) || !(t < 1.0f)) {
        return maxT;
    }
    if (filter == nullptr) {
        return t;
    }
    const dgVector normal = m_collisionMatrix.RotateVector(contact.m_normal);
    const dgFloat32 globalNormal[3] = {normal.x, normal.y, normal.z};
    return filter(this, globalNormal, static_cast<dgInt32>(contact.m_attribute), userData, t);
}

void dgBody::SetCollision(dgCollision* collision) {
    dgAssert(collision != nullptr);
    if (collision == nullptr) {
        return;
    }
    // Take the new reference first: replacing a shape by itself must not free it.
    collision->AddRef();
    dgCollision* old = m_collision;
    m_collision = collision;
    if (old != nullptr) {
        if (m_world != nullptr) {
            m_world->ReleaseCollision(old);
        } else {
            dgRefRelease(old);
        }
    }
    if (HasPolygonSoup()) {
        SetMassMatrix(m_mass.w, m_mass.x, m_mass.y, m_mass.z);
    }
    SetMatrix(m_matrix);
}
