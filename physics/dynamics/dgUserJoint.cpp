#include "physics/dynamics/dgUserJoint.h"

#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgWorld.h"

dgUserJoint::dgUserJoint(dgWorld* world, dgBody* body0, dgBody* body1, dgUnsigned16 kindOffset) {
    dgConstraint::Init();
    m_kind = static_cast<dgUnsigned16>(kUserJointBase + kindOffset);
    m_body0 = body0;
    m_body1 = body1;
    world->AttachJoint(this, body0, body1);
}

void dgUserJoint::Release(dgWorld* world) {
    dgConstraint::Release(world);
    delete this;
}

void* dgUserJoint::operator new(std::size_t size) {
    return dgMalloc(size);
}

void dgUserJoint::operator delete(void* block) {
    dgFree(block);
}
