#include "physics/dynamics/dgRagDollBone.h"

#include "physics/dynamics/dgBallJoint.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"

dgRagDollBone::dgRagDollBone(dgRagDoll* ragdoll, const dgVector& offset, void* userData)
    : m_offset(offset), m_ragdoll(ragdoll), m_userData(userData) {}

dgRagDollBone* dgRagDollBone::CreateClone() const {
    return new dgRagDollBone(*this);
}

dgRagDollBone::~dgRagDollBone() {
    // The world clears m_body through ForgetBody while it destroys the body.
    if (m_body != nullptr && m_body->m_bone == this) {
        m_body->m_world->DestroyBodyNow(m_body);
    }
}

dgMatrix dgRagDollBone::GetGlobalMatrix() const {
    if (m_body == nullptr) {
        return dgGetIdentityMatrix();
    }
    dgMatrix matrix = m_body->m_matrix;
    const dgVector shift = matrix.RotateVector(m_offset);
    matrix.posit = dgVector(matrix.posit.x - shift.x, matrix.posit.y - shift.y, matrix.posit.z - shift.z,
                            matrix.posit.w);
    return matrix;
}

dgMatrix dgRagDollBone::GetLocalMatrix() const {
    const dgRagDollBone* parent = GetParentBone();
    const dgMatrix global = GetGlobalMatrix();
    return parent == nullptr ? global : global.Multiply(parent->GetGlobalMatrix().Inverse());
}

void dgRagDollBone::SetLimits(const dgVector& pin, dgFloat32 minAngle, dgFloat32 maxAngle, dgFloat32 twist,
                              const dgVector& reference) {
    if (m_joint != nullptr) {
        m_joint->SetConeLimits(pin, minAngle, maxAngle, twist, reference);
    }
}

void dgRagDollBone::ForgetBody() {
    // The body's joints go with it: the bone's own and each child's.
    m_body = nullptr;
    m_joint = nullptr;
    for (dgBaseNode* child = GetChild(); child != nullptr; child = child->GetSibling()) {
        static_cast<dgRagDollBone*>(child)->m_joint = nullptr;
    }
}

void dgRagDollBone::HandOverBody() {
    dgBody* body = m_body;
    if (body == nullptr) {
        return;
    }
    body->m_bone = nullptr;
    body->m_forceAndTorque = nullptr;
    body->m_transform = nullptr;
    if (body->m_userData == this) {
        body->m_userData = nullptr;
    }
    m_body = nullptr;
    m_joint = nullptr;
    body->m_world->DestroyBody(body);
}
