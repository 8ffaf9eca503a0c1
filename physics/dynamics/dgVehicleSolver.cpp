#include "physics/dynamics/dgVehicleSolver.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgVehicleTire.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr dgFloat32 kUnbounded = 1.0e15f;
// A tire takes out at most this much penetration, half of it per step.
constexpr dgFloat32 kMaxPenetration = 0.1f;
// The normal row overshoots the approach speed a little so resting tires keep touching.
constexpr dgFloat32 kApproachGain = 1.1f;
// Below this squared length the contact normal runs along the pin and gives no friction directions.
constexpr dgFloat32 kMinFrictionCross2 = 1.0e-4f;
constexpr dgFloat32 kSideFrictionScale = 3.0f;
constexpr dgFloat32 kLongitudinalFrictionScale = 2.0f;
// Share of a touched body's solved reaction it receives at most.
constexpr dgFloat32 kSoftestContact = 0.5f;
constexpr dgFloat32 kMinBrakeFriction = 1.0e-10f;
// Every row's softness has this floor so the system stays definite.
constexpr dgFloat32 kSoftnessFloor = 0.001f;
constexpr dgFloat32 kResidualTolerance = 0.1f;
constexpr dgFloat32 kMinCurvature = 1.0e-16f;
constexpr dgFloat32 kMinResidualProduct = 1.0e-17f;
constexpr dgFloat32 kSpinDecay = 0.9999f;
// Highest tread speed a tire may spin at.
constexpr dgFloat32 kMaxTreadSpeed = 400.0f;

dgVector Direction(const dgVector& v) {
    return dgVector(v.x, v.y, v.z, 0.0f);
}

dgVector Zero() {
    return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
}

dgVector Cross(const dgVector& a, const dgVector& b) {
    return Direction(a.CrossProduct(b));
}

dgVector Normalised(const dgVector& v) {
    return Direction(v.Scale(1.0f / std::sqrt(v.DotProduct(v))));
}

dgFloat32 Dot(const dgVector& linear, const dgVector& angular, const dgVector& a, const dgVector& b) {
    return linear.DotProduct(a) + angular.DotProduct(b);
}

} // namespace

void dgVehicleSolver::Solve(dgVehicleJoint& vehicle, dgFloat32 dt) {
    const dgFloat32 invdt = 1.0f / dt;
    dgBody* const chassis = vehicle.m_body0;
    m_chassis = chassis;
    m_up = Direction(chassis->m_matrix.RotateVector(vehicle.m_upDirection));
    m_chassisOmega = Direction(chassis->m_omega);
    chassis->CalcInvInertiaMatrix(m_chassisInvInertia);
    m_rowCount = 0;
    m_bodies[0] = nullptr;
    m_bodies[1] = chassis;
    for (dgInt32 i = 0; i < kFirstTire; i++) {
        m_veloc[i] = Zero();
        m_omega[i] = Zero();
        m_extForce[i] = Zero();
        m_extTorque[i] = Zero();
    }
    m_bodyCount = kFirstTire;

    dgInt32 tireCount = 0;
    for (auto* node = vehicle.m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        tireCount += node->GetInfo().m_removePending == 0 ? 1 : 0;
    }
    // The suspension rows of all tires together are as soft as one tire's alone would be.
    const dgFloat32 softness = std::exp2(1.0f / static_cast<dgFloat32>(std::max(tireCount, 1))) - 1.0f;
    for (auto* node = vehicle.m_tires.GetFirst(); node != nullptr; node = node->GetNext()) {
        if (node->GetInfo().m_removePending == 0) {
            AddTire(vehicle, node->GetInfo(), dt, softness);
        }
    }
    m_firstTouched = m_bodyCount;
    for (dgInt32 i = kFirstTire; i < m_firstTouched; i++) {
        AddContactRows(i, invdt);
    }

    PrepareRows();
    SolveRows(m_rowCount);
    // Inputs near the end of the float range can overflow the iteration: such a step applies no row forces.
    if (!std::all_of(m_x, m_x + m_rowCount, [](dgFloat32 x) { return std::isfinite(x); })) {
        std::fill(m_x, m_x + m_rowCount, 0.0f);
    }
    ApplyRowForces();
    chassis->m_force = chassis->m_force.Add(m_resultForce[1]);
    chassis->m_torque = chassis->m_torque.Add(m_resultTorque[1]);
    IntegrateTires(dt);
}

void dgVehicleSolver::AddTire(const dgVehicleJoint& vehicle, dgVehicleTire& tire, dgFloat32 dt, dgFloat32 softness) {
    const dgBody& chassis = *m_chassis;
    const dgInt32 i = m_bodyCount;
    m_tires[i] = &tire;
    m_bodies[i] = nullptr;
    const dgVector pin = Direction(chassis.m_matrix.RotateVector(tire.m_localMatrix.RotateVector(tire.m_pin)));
    dgVector local = tire.m_localMatrix.posit.Add(vehicle.m_upDirection.Scale(tire.m_suspensionPosition));
    local.w = 1.0f;
    const dgVector centre = chassis.m_matrix.TransformVector(local);
    const dgVector r = Direction(centre.Sub(chassis.m_globalCentreOfMass));
    const dgVector chassisPointVeloc = Direction(chassis.m_veloc.Add(chassis.m_omega.CrossProduct(r)));
    const dgVector roll = Cross(m_up, pin);
    tire.m_sideSpeed = pin.DotProduct(chassis.m_veloc);
    tire.m_longitudinalSpeed = roll.DotProduct(chassis.m_veloc);
    tire.m_solverIndex = i;
    m_tirePin[i] = pin;
    m_tireCentre[i] = centre;
    m_tireArm[i] = r;

    m_extForce[i] = m_up.Scale(tire.m_load);
    m_extTorque[i] = pin.Scale(tire.m_torque);
    m_extTorque[i].w = 1.0f;
    m_veloc[i] = chassisPointVeloc.Add(m_up.Scale(tire.m_suspensionSpeed));
    m_omega[i] = pin.Scale(tire.m_omega).Add(m_chassisOmega);

    AddLinearRow(i, r, roll);
    AddLinearRow(i, r, pin);
    const dgInt32 suspension = AddLinearRow(i, r, m_up);
    const dgFloat32 k = tire.m_suspensionSpring;
    const dgFloat32 damping = k * dt + tire.m_suspensionShock;
    m_softness[suspension] = softness;
    m_rhs[suspension] = (k * tire.m_suspensionPosition + damping * tire.m_suspensionSpeed) / (damping * dt + 1.0f);
    AddAngularRow(i, m_up);
    AddAngularRow(i, roll);
    if (tire.m_brakeMaxFriction > kMinBrakeFriction) {
        const dgInt32 brake = AddAngularRow(i, pin);
        m_rhs[brake] = tire.m_brakeAcceleration;
        m_low[brake] = -tire.m_brakeMaxFriction;
        m_high[brake] = tire.m_brakeMaxFriction;
    }
    m_bodyCount++;
}

dgInt32 dgVehicleSolver::NewRow(dgInt32 body0, dgInt32 body1, const Jacobian& jacobian, dgFloat32 rhs) {
    const dgInt32 row = m_rowCount++;
    dgAssert(row < kMaxRows);
    m_rowBodies[row][0] = body0;
    m_rowBodies[row][1] = body1;
    m_jacobians[row] = jacobian;
    m_rhs[row] = rhs;
    m_softness[row] = 0.0f;
    m_low[row] = -kUnbounded;
    m_high[row] = kUnbounded;
    return row;
}

dgInt32 dgVehicleSolver::AddLinearRow(dgInt32 tireIndex, const dgVector& r, const dgVector& dir) {
    const dgVector centripetal = Cross(m_chassisOmega, Cross(m_chassisOmega, r));
    return NewRow(1, tireIndex, {dir, Cross(r, dir), dir.Scale(-1.0f), Zero()}, -centripetal.DotProduct(dir));
}

dgInt32 dgVehicleSolver::AddAngularRow(dgInt32 tireIndex, const dgVector& axis) {
    return NewRow(1, tireIndex, {Zero(), axis, Zero(), axis.Scale(-1.0f)}, 0.0f);
}

dgInt32 dgVehicleSolver::TouchedBodyIndex(dgBody* body) {
    for (dgInt32 i = m_firstTouched; i < m_bodyCount; i++) {
        if (m_bodies[i] == body) {
            return i;
        }
    }
    const dgInt32 i = m_bodyCount++;
    dgAssert(i < kMaxBodies);
    m_bodies[i] = body;
    m_veloc[i] = Direction(body->m_veloc);
    m_omega[i] = Direction(body->m_omega);
    m_extForce[i] = Zero();
    m_extTorque[i] = Zero();
    return i;
}

void dgVehicleSolver::AddContactRows(dgInt32 tireIndex, dgFloat32 invdt) {
    dgVehicleTire& tire = *m_tires[tireIndex];
    tire.m_airborne = 1;
    tire.m_sideSliding = 0;
    tire.m_longitudinalSliding = 0;
    const dgTireCollision* const shape = tire.m_collision;
    const dgVector& pin = m_tirePin[tireIndex];
    const dgVector& centre = m_tireCentre[tireIndex];
    for (dgInt32 c = 0; c < shape->GetContactCount(); c++) {
        const dgTireCollision::Contact& contact = shape->GetContact(c);
        dgBody* const other = contact.m_body0 == m_chassis ? contact.m_body1 : contact.m_body0;
        const dgFloat32 penetration = std::min(contact.m_penetration, kMaxPenetration);
        dgInt32 o = 0;
        dgFloat32 softness = 0.0f;
        if (other != nullptr && other->m_invMass.w != 0.0f) {
            softness = std::min(kSoftestContact, tire.m_mass * other->m_invMass.w);
            o = TouchedBodyIndex(other);
        }
        tire.m_airborne = 0;

        const dgVector n = Direction(contact.m_normal);
        const dgVector rOther =
            other != nullptr ? Direction(contact.m_point.Sub(other->m_globalCentreOfMass)) : Zero();
        const dgVector rTire = Direction(contact.m_point.Sub(centre));
        const dgVector otherVeloc = m_veloc[o].Add(m_omega[o].CrossProduct(rOther));
        const dgVector relVeloc = Direction(m_veloc[tireIndex].Add(m_omega[tireIndex].CrossProduct(rTire)).Sub(otherVeloc));
        const auto contactRow = [&](const dgVector& dir, dgFloat32 rhs) {
            return NewRow(o, tireIndex, {dir, Cross(rOther, dir), dir.Scale(-1.0f), Cross(rTire, dir).Scale(-1.0f)},
                          rhs);
        };

        const dgFloat32 vn = relVeloc.DotProduct(n);
        const dgInt32 normalRow = contactRow(n, (0.5f * penetration * invdt + kApproachGain * vn) * invdt);
        m_softness[normalRow] = softness;
        m_low[normalRow] = 0.0f;

        // The load estimate: the tire's weight and what the suspension pressed on it last step.
        const dgFloat32 load = m_extForce[tireIndex].Sub(tire.m_suspensionForce).DotProduct(n);
        const dgVector cross = Cross(n, pin);
        if (!(load > 0.0f) || !(cross.DotProduct(cross) > kMinFrictionCross2)) {
            continue;
        }
        // The tire rolls along n x pin; the side direction is the pin laid into the contact plane.
        const dgVector along = Normalised(cross);
        const dgVector side = Cross(n, along);
        const dgFloat32 sideSpeed = side.DotProduct(relVeloc);
        const dgInt32 sideRow = contactRow(side, sideSpeed * invdt);
        m_softness[sideRow] = tire.m_sideSlideCoef;
        const bool sideSlides = std::fabs(sideSpeed) >= tire.m_maxSideSlideSpeed;
        tire.m_sideSliding |= sideSlides ? 1 : 0;
        const dgFloat32 sideBound =
            load * (sideSlides ? contact.m_kineticFriction[0] : contact.m_staticFriction[0]) * kSideFrictionScale;
        m_low[sideRow] = -sideBound;
        m_high[sideRow] = sideBound;

        const dgFloat32 alongSpeed = along.DotProduct(relVeloc);
        const dgInt32 alongRow = contactRow(along, alongSpeed * invdt);
        m_softness[alongRow] = tire.m_longitudinalSlideCoef;
        const bool alongSlides = std::fabs(alongSpeed) >= tire.m_maxLongitudinalSlideSpeed;
        tire.m_longitudinalSliding |= alongSlides ? 1 : 0;
        const dgFloat32 alongBound = load *
                                     (alongSlides ? contact.m_kineticFriction[1] : contact.m_staticFriction[1]) *
                                     kLongitudinalFrictionScale;
        m_low[alongRow] = -alongBound;
        m_high[alongRow] = alongBound;
    }
}

void dgVehicleSolver::PrepareRows() {
    const dgBody& chassis = *m_chassis;
    const dgFloat32 chassisInvMass = chassis.m_invMass.w;
    for (dgInt32 k = 0; k < m_rowCount; k++) {
        const Jacobian& j = m_jacobians[k];
        Jacobian& s = m_scaled[k];
        const dgVehicleTire& tire = *m_tires[m_rowBodies[k][1]];
        const dgInt32 b1 = m_rowBodies[k][1];
        // Touched bodies and the static body count as immovable inside this system.
        if (m_rowBodies[k][0] == 1) {
            s.m_linear0 = j.m_linear0.Scale(chassisInvMass);
            s.m_angular0 = Direction(m_chassisInvInertia.RotateVector(j.m_angular0));
            m_rhs[k] -= Dot(s.m_linear0, s.m_angular0, chassis.m_force, chassis.m_torque);
        } else {
            s.m_linear0 = Zero();
            s.m_angular0 = Zero();
        }
        s.m_linear1 = j.m_linear1.Scale(tire.m_invMass);
        s.m_angular1 = j.m_angular1.Scale(tire.m_invInertia);
        m_rhs[k] -= Dot(s.m_linear1, s.m_angular1, m_extForce[b1], m_extTorque[b1]);

        const dgFloat32 diagonal =
            Dot(j.m_linear0, j.m_angular0, s.m_linear0, s.m_angular0) + Dot(j.m_linear1, j.m_angular1, s.m_linear1, s.m_angular1);
        const dgFloat32 softness = m_softness[k] + kSoftnessFloor;
        const dgFloat32 precond = 1.0f / ((softness + 1.0f) * diagonal);
        m_softness[k] = diagonal * softness;
        m_precond[k] = precond;
        m_mask[k] = 1.0f;
        // A row along a vanishing direction (the rolling direction of a pin laid along up) moves nothing,
        // and one whose terms overflowed means nothing; either would poison the whole solve, so it takes
        // no part in it.
        if (!(diagonal > 0.0f) || !std::isfinite(m_softness[k]) || !std::isfinite(precond) || !std::isfinite(m_rhs[k])) {
            DisableRow(k);
        }
    }
}

void dgVehicleSolver::DisableRow(dgInt32 k) {
    m_jacobians[k] = {Zero(), Zero(), Zero(), Zero()};
    m_scaled[k] = m_jacobians[k];
    m_rhs[k] = 0.0f;
    m_softness[k] = 0.0f;
    m_precond[k] = 0.0f;
    m_mask[k] = 0.0f;
}

void dgVehicleSolver::MultiplyMatrix(const dgFloat32* x, dgFloat32* out) {
    for (dgInt32 i = 0; i < m_bodyCount; i++) {
        m_accLinear[i] = Zero();
        m_accAngular[i] = Zero();
    }
    for (dgInt32 k = 0; k < m_rowCount; k++) {
        const Jacobian& j = m_jacobians[k];
        const dgInt32 b0 = m_rowBodies[k][0];
        const dgInt32 b1 = m_rowBodies[k][1];
        m_accLinear[b0] = m_accLinear[b0].Add(j.m_linear0.Scale(x[k]));
        m_accAngular[b0] = m_accAngular[b0].Add(j.m_angular0.Scale(x[k]));
        m_accLinear[b1] = m_accLinear[b1].Add(j.m_linear1.Scale(x[k]));
        m_accAngular[b1] = m_accAngular[b1].Add(j.m_angular1.Scale(x[k]));
    }
    for (dgInt32 k = 0; k < m_rowCount; k++) {
        const Jacobian& s = m_scaled[k];
        const dgInt32 b0 = m_rowBodies[k][0];
        const dgInt32 b1 = m_rowBodies[k][1];
        out[k] = m_softness[k] * x[k] + Dot(s.m_linear0, s.m_angular0, m_accLinear[b0], m_accAngular[b0]) +
                 Dot(s.m_linear1, s.m_angular1, m_accLinear[b1], m_accAngular[b1]);
    }
}

void dgVehicleSolver::SolveRows(dgInt32 count) {
    const auto largestResidual = [&] {
        dgFloat32 largest = 0.0f;
        for (dgInt32 k = 0; k < count; k++) {
            largest = std::max(largest, std::fabs(m_r[k] * m_mask[k]));
        }
        return largest;
    };
    // z = the preconditioned residual of the free rows; returns z . r.
    const auto precondition = [&] {
        dgFloat32 delta = 0.0f;
        for (dgInt32 k = 0; k < count; k++) {
            m_z[k] = m_r[k] * m_precond[k] * m_mask[k];
            delta += m_z[k] * m_r[k];
        }
        return delta;
    };
    const auto step = [&](dgFloat32 alpha) {
        for (dgInt32 k = 0; k < count; k++) {
            m_x[k] += alpha * m_p[k];
            m_r[k] -= alpha * m_q[k];
        }
    };

    for (dgInt32 k = 0; k < count; k++) {
        m_x[k] = 0.0f;
        m_r[k] = m_rhs[k];
    }
    dgFloat32 delta = precondition();
    std::copy(m_z, m_z + count, m_p);
    const dgInt32 limit = static_cast<dgInt32>(std::sqrt(static_cast<dgFloat32>(count))) + 6;
    dgFloat32 residual = 0.2f;
    for (dgInt32 iteration = 0; iteration < limit && residual > kResidualTolerance; iteration++) {
        MultiplyMatrix(m_p, m_q);
        dgFloat32 curvature = 0.0f;
        for (dgInt32 k = 0; k < count; k++) {
            curvature += m_p[k] * m_q[k];
        }
        dgFloat32 alpha = delta / (curvature > kMinCurvature ? curvature : kMinCurvature);
        dgInt32 clamped = -1;
        dgFloat32 bound = 0.0f;
        for (dgInt32 k = 0; k < count; k++) {
            if (m_mask[k] == 0.0f) {
                continue;
            }
            const dgFloat32 next = m_x[k] + alpha * m_p[k];
            if (next < m_low[k] || next > m_high[k]) {
                bound = next < m_low[k] ? m_low[k] : m_high[k];
                alpha = (bound - m_x[k]) / m_p[k];
                clamped = k;
            }
        }
        step(alpha);
        if (clamped >= 0) {
            // The row stays at its bound; the search starts afresh over the free rows.
            m_mask[clamped] = 0.0f;
            delta = precondition();
            std::copy(m_z, m_z + count, m_p);
            residual = largestResidual();
            m_x[clamped] = bound;
            iteration = -1;
            continue;
        }
        residual = largestResidual();
        if (residual <= kResidualTolerance) {
            break;
        }
        const dgFloat32 next = precondition();
        const dgFloat32 beta = next / (delta > kMinResidualProduct ? delta : kMinResidualProduct);
        for (dgInt32 k = 0; k < count; k++) {
            m_p[k] = m_z[k] + beta * m_p[k];
        }
        delta = next;
    }
}

void dgVehicleSolver::ApplyRowForces() {
    for (dgInt32 i = kFirstTire; i < m_firstTouched; i++) {
        m_tires[i]->m_suspensionForce = Zero();
    }
    for (dgInt32 i = 0; i < m_bodyCount; i++) {
        m_resultForce[i] = Zero();
        m_resultTorque[i] = Zero();
    }
    for (dgInt32 k = 0; k < m_rowCount; k++) {
        const Jacobian& j = m_jacobians[k];
        const dgFloat32 f = m_x[k];
        const dgInt32 b0 = m_rowBodies[k][0];
        const dgInt32 b1 = m_rowBodies[k][1];
        m_resultForce[b0] = m_resultForce[b0].Add(j.m_linear0.Scale(f));
        m_resultTorque[b0] = m_resultTorque[b0].Add(j.m_angular0.Scale(f));
        m_extForce[b1] = m_extForce[b1].Add(j.m_linear1.Scale(f));
        m_extTorque[b1] = m_extTorque[b1].Add(j.m_angular1.Scale(f));
        if (b0 == 1) {
            dgVehicleTire& tire = *m_tires[b1];
            tire.m_suspensionForce = tire.m_suspensionForce.Sub(j.m_linear1.Scale(f));
        }
    }
}

void dgVehicleSolver::IntegrateTires(dgFloat32 dt) {
    const dgBody& chassis = *m_chassis;
    const dgVector a = Direction(chassis.m_force.Scale(chassis.m_invMass.w));
    const dgVector alpha = Direction(m_chassisInvInertia.RotateVector(chassis.m_torque));
    for (dgInt32 i = kFirstTire; i < m_firstTouched; i++) {
        dgVehicleTire& tire = *m_tires[i];
        const dgVector& r = m_tireArm[i];
        const dgVector pointAcceleration =
            a.Add(Cross(alpha, r)).Add(Cross(m_chassisOmega, Cross(m_chassisOmega, r)));
        const dgVector relative = Direction(m_extForce[i].Scale(tire.m_invMass).Sub(pointAcceleration));
        tire.m_suspensionSpeed += relative.DotProduct(m_up) * dt;
        tire.m_suspensionPosition += tire.m_suspensionSpeed * dt;

        // Half the spin's change before the clamp and the angle, half after; neither half may be more than
        // the highest spin, so a torque near the end of the float range leaves the spin finite.
        const dgFloat32 maxSpin = kMaxTreadSpeed / tire.m_radius;
        dgFloat32 half = m_tirePin[i].DotProduct(m_extTorque[i].Scale(tire.m_invInertia)) * dt * 0.5f;
        if (!(std::fabs(half) <= maxSpin)) {
            half = std::copysign(maxSpin, half);
        }
        tire.m_omega = (tire.m_omega + half) * kSpinDecay;
        if (std::fabs(tire.m_omega * tire.m_radius) > kMaxTreadSpeed) {
            tire.m_omega = std::copysign(maxSpin, tire.m_omega);
        }
        tire.m_spinAngle = std::fmod(dt * tire.m_omega + tire.m_spinAngle, dgVehicleJoint::kSpinWrap);
        tire.m_omega += half;
    }
}
