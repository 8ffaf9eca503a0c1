#include "physics/api/dgUserConstraint.h"

#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgWorld.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr dgFloat32 kMinFrictionBound = 0.05f;
constexpr dgFloat32 kMaxFrictionBound = 1.0e15f;
// Regularisation of a row of stiffness s: 100 - 99 s, from 100 (soft) down to 1 (stiff).
constexpr dgFloat32 kSoftestRow = 100.0f;
constexpr dgFloat32 kStiffnessRange = 99.0f;

bool IsFinite(const dgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool IsFinite(const dgJacobianPair& row) {
    return IsFinite(row.m_jacobian0.m_linear) && IsFinite(row.m_jacobian0.m_angular) &&
           IsFinite(row.m_jacobian1.m_linear) && IsFinite(row.m_jacobian1.m_angular);
}

} // namespace

dgUserConstraint::dgUserConstraint(dgWorld* world, dgBody* child, dgBody* parent, dgInt32 maxRows,
                                   dgUserJointSubmitCallback callback)
    : dgUserJoint(world, child, parent, kKindOffset) {
    m_maxRows = static_cast<dgUnsigned16>(std::clamp(maxRows, 0, dgJointParams::kMaxRows));
    m_submitCallback = callback;
}

dgUserConstraint* dgUserConstraint::Create(dgWorld* world, dgInt32 maxRows,
                                           dgUserJointSubmitCallback callback, dgBody* child,
                                           dgBody* parent) {
    if (!world->CanJoin(child, parent)) {
        return nullptr;
    }
    void* block = dgTryMalloc(sizeof(dgUserConstraint));
    if (block == nullptr) {
        return nullptr;
    }
    try {
        return ::new (block) dgUserConstraint(world, child, parent, maxRows, callback);
    } catch (const dgMemoryExhausted&) {
        dgFree(block);
        throw;
    }
}

dgInt32 dgUserConstraint::SubmitConstraints(dgJointParams& params) {
    m_rowCount = 0;
    if (m_submitCallback == nullptr) {
        return 0;
    }
    m_rows = &params;
    m_submitCallback(this);
    m_rows = nullptr;
    return m_rowCount;
}

void dgUserConstraint::CommitRow(const dgVector& p0, const dgVector& p1, dgFloat32 angle) {
    // One row that is not finite would turn the whole island into NaN.
    if (!IsFinite(m_rows->m_jacobians[m_rowCount]) || !std::isfinite(m_rows->m_accelerations[m_rowCount])) {
        return;
    }
    m_lastPoint0 = p0;
    m_lastPoint1 = p1;
    m_lastAngle = angle;
    m_rowCount++;
}

void dgUserConstraint::AddLinearRow(const dgVector& p0, const dgVector& p1, const dgVector& dir) {
    if (!CanAddRow() || !IsFinite(p0) || !IsFinite(p1)) {
        return;
    }
    dgPointParam pp;
    InitPointParam(pp, m_stiffness, p0, p1);
    dgJointBase::AddLinearRow(m_rowCount, *m_rows, dir, pp, &m_rowForces[m_rowCount]);
    CommitRow(p0, p1, 0.0f);
}

void dgUserConstraint::AddAngularRow(dgFloat32 angle, const dgVector& dir) {
    if (!CanAddRow()) {
        return;
    }
    dgJointBase::AddAngularRow(m_rowCount, *m_rows, dir, m_stiffness, angle, &m_rowForces[m_rowCount]);
    CommitRow(dgVector(), dgVector(), angle);
}

void dgUserConstraint::AddGeneralRow(const dgFloat32* jacobian0, const dgFloat32* jacobian1) {
    if (!CanAddRow()) {
        return;
    }
    dgJointBase::AddGeneralRow(m_rowCount, *m_rows, jacobian0, jacobian1, &m_rowForces[m_rowCount]);
    CommitRow(dgVector(), dgVector(), 0.0f);
}

void dgUserConstraint::SetRowMaximumFriction(dgFloat32 force) {
    const dgInt32 i = LastRow();
    if (i < 0 || !std::isfinite(force)) {
        return;
    }
    m_rows->m_bounds[i].m_max = dgClamp(force, kMinFrictionBound, kMaxFrictionBound);
    m_rows->m_bounds[i].m_class = dgRowBounds::kClamped;
}

void dgUserConstraint::SetRowMinimumFriction(dgFloat32 force) {
    const dgInt32 i = LastRow();
    if (i < 0 || !std::isfinite(force)) {
        return;
    }
    m_rows->m_bounds[i].m_min = dgClamp(force, -kMaxFrictionBound, -kMinFrictionBound);
    m_rows->m_bounds[i].m_class = dgRowBounds::kClamped;
}

void dgUserConstraint::SetRowAcceleration(dgFloat32 acceleration) {
    const dgInt32 i = LastRow();
    if (i < 0 || !std::isfinite(acceleration)) {
        return;
    }
    m_rows->m_accelerations[i] = acceleration;
}

void dgUserConstraint::SetRowSpringDamperAcceleration(dgFloat32 ks, dgFloat32 kd) {
    const dgInt32 i = LastRow();
    if (i < 0 || !std::isfinite(ks) || !std::isfinite(kd)) {
        return;
    }
    const dgFloat32 acceleration =
        CalcSpringDamperAcceleration(i, *m_rows, m_lastAngle, m_lastPoint0, m_lastPoint1, ks, kd);
    if (std::isfinite(acceleration)) {
        m_rows->m_accelerations[i] = acceleration;
    }
}

void dgUserConstraint::SetRowStiffness(dgFloat32 stiffness) {
    const dgInt32 i = LastRow();
    if (i < 0 || !std::isfinite(stiffness)) {
        return;
    }
    const dgFloat32 s = dgClamp(stiffness, 0.0f, 1.0f);
    m_rows->m_stiffness[i] = kSoftestRow - kStiffnessRange * s;
}

dgFloat32 dgUserConstraint::GetRowForce(dgInt32 index) const {
    return index >= 0 && index < m_rowCount ? m_rowForces[index] : 0.0f;
}
