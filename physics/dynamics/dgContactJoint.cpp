#include "physics/dynamics/dgContactJoint.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"

#include <algorithm>
#include <cmath>

namespace {

// The part of the penetration pushed out per step is softness x this.
constexpr dgFloat32 kPenetrationGain = 10.0f;

dgVector AsDirection(const dgVector& v) {
    return dgVector(v.x, v.y, v.z, 0.0f);
}

dgVector Negated(const dgVector& v) {
    return dgVector(-v.x, -v.y, -v.z, 0.0f);
}

} // namespace

dgContactJoint::dgContactJoint() {
    m_kind = kContactJoint;
    m_collisionState = 1;
    SetPointCount(0);
}

dgJointDestructorCallback dgContactJoint::SetJointDestructor(dgJointDestructorCallback) {
    return nullptr;
}

void dgContactJoint::SetPointCount(dgInt32 count) {
    m_pointCount = std::clamp(count, 0, std::min(m_points.GetCount(), kMaxPoints));
    m_maxRows = static_cast<dgUnsigned16>(3 * m_pointCount);
}

void dgContactJoint::Release(dgWorld* world) {
    m_points.RemoveAll();
    SetPointCount(0);
    world->m_contactJointPool.ReleaseJoint(this);
}

dgInt32 dgContactJoint::SubmitConstraints(dgJointParams& params) {
    const dgInt32 count = std::min({m_pointCount, m_points.GetCount(), kMaxPoints});
    dgInt32 rowCount = std::max(count, 0);
    dgListNode<dgContact>* node = m_points.GetFirst();
    for (dgInt32 i = 0; i < count; i++, node = node->GetNext()) {
        SubmitContactPoint(params, node->GetInfo(), i, rowCount);
    }
    return rowCount;
}

void dgContactJoint::SubmitContactPoint(dgJointParams& params, dgContact& point, dgInt32 i,
                                        dgInt32& rowCount) const {
    const dgContactPoint& contact = point.m_point;
    dgPointParam pp;
    InitPointParam(pp, 1.0f, contact.m_point, contact.m_point);
    BuildJacobianPair(i, params, contact.m_normal, pp);

    const dgVector relativeVeloc = pp.m_veloc1.Sub(pp.m_veloc0);
    dgFloat32 normalSpeed = relativeVeloc.DotProduct(contact.m_normal);
    const dgFloat32 penetration =
        std::min(contact.m_penetration, kMaxPenetration) * point.m_softness * kPenetrationGain;
    // Restitution only while the bodies approach: body0 moves towards body1 along -normal.
    if (normalSpeed > kRestitutionSpeed) {
        normalSpeed *= 1.0f + point.m_elasticity;
    }
    dgFloat32 acceleration = (penetration + normalSpeed) * params.m_invTimeStep;
    if ((point.m_flags & dgContactMaterial::kNormalAcceleration) != 0) {
        acceleration += point.m_normalAcceleration;
    }
    params.m_accelerations[i] = acceleration;
    params.m_stiffness[i] = 1.0f;
    // The maximum is written too: a row past the solver's reset must not keep another joint's bound.
    params.m_bounds[i] = dgRowBounds{0.0f, dgJointParams::kUnboundedForce, dgRowBounds::kNonNegative, i};
    params.m_forceFeedback[i] = &point.m_normalAcceleration;

    if ((point.m_flags & dgContactMaterial::kFriction0) != 0) {
        SubmitFrictionRow(params, pp, point.m_dir0, i, rowCount++,
                          (point.m_flags & dgContactMaterial::kTangent0Acceleration) != 0,
                          point.m_tangent0Acceleration, point.m_staticFriction0, point.m_kineticFriction0,
                          &point.m_tangent0Acceleration);
    }
    if ((point.m_flags & dgContactMaterial::kFriction1) != 0) {
        SubmitFrictionRow(params, pp, point.m_dir1, i, rowCount++,
                          (point.m_flags & dgContactMaterial::kTangent1Acceleration) != 0,
                          point.m_tangent1Acceleration, point.m_staticFriction1, point.m_kineticFriction1,
                          &point.m_tangent1Acceleration);
    }
}

void dgContactJoint::SubmitFrictionRow(dgJointParams& params, const dgPointParam& pp, const dgVector& dir,
                                       dgInt32 normalRow, dgInt32 i, bool accelerationGiven,
                                       dgFloat32 acceleration, dgFloat32 staticFriction,
                                       dgFloat32 kineticFriction, dgFloat32* force) const {
    BuildJacobianPair(i, params, dir, pp);
    const dgFloat32 tangentSpeed = pp.m_veloc1.Sub(pp.m_veloc0).DotProduct(dir);
    params.m_accelerations[i] = accelerationGiven ? acceleration : tangentSpeed * params.m_invTimeStep;
    params.m_stiffness[i] = 1.0f;
    // Coefficients: the solver scales them by the normal row's force.
    const dgFloat32 friction = std::fabs(tangentSpeed) > kKineticSpeed ? kineticFriction : staticFriction;
    params.m_bounds[i] = dgRowBounds{-friction, friction, normalRow, i};
    params.m_forceFeedback[i] = force;
}

void dgContactJoint::BuildJacobianPair(dgInt32 i, dgJointParams& params, const dgVector& dir,
                                       const dgPointParam& pp) const {
    dgAssert(i >= 0 && i < dgJointParams::kMaxRows);
    dgAssert(m_body1 != nullptr);
    dgJacobianPair& row = params.m_jacobians[i];
    row.m_jacobian0.m_linear = AsDirection(dir);
    row.m_jacobian0.m_angular = AsDirection(pp.m_r0.CrossProduct(dir));
    row.m_jacobian1.m_linear = Negated(dir);
    row.m_jacobian1.m_angular = Negated(pp.m_r1.CrossProduct(dir));
}

dgContactJoint* dgContactJointPool::CreateJoint() {
    dgContactJoint* joint = m_joints.Alloc();
    dgAssert(joint->m_points.GetCount() == 0);
    joint->m_activeNode = m_activeList.Append(joint);
    joint->Init();
    joint->m_kind = dgJointBase::kContactJoint;
    joint->m_collisionState = 1;
    joint->m_contactStamp = 0;
    joint->SetPointCount(0);
    return joint;
}

void dgContactJointPool::ReleaseJoint(dgContactJoint* joint) {
    // A joint released twice would be handed out twice.
    if (joint->m_activeNode == nullptr) {
        dgAssert(false);
        return;
    }
    m_activeList.Remove(joint->m_activeNode);
    joint->m_activeNode = nullptr;
    m_joints.Release(joint);
}

void dgContactJointPool::ReleaseContactList(dgWorld* world) {
    while (dgListNode<dgContactJoint*>* node = m_staleList.GetFirst()) {
        dgContactJoint* const joint = node->GetInfo();
        m_staleList.Remove(node);
        world->DestroyJointNow(joint);
    }
}
