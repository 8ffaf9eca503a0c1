#include "physics/dynamics/dgJointBase.h"

dgFloat32 dgJointBase::GetStiffness() const { return 1.0f; }

void dgJointBase::SetStiffness(dgFloat32) {}

void dgJointBase::Init() {
    m_body0 = nullptr;
    m_body1 = nullptr;
    m_userData = nullptr;
    m_link = nullptr;
    m_maxRows = 6;
    m_kind = kBaseJoint;
    m_collisionState = 0;
    m_staleMark = 0;
}

bool dgJointBase::JoinsBodies() const { return false; }

dgFloat32 dgJointBase::GetExtraParameter() const { return 0.0f; }
