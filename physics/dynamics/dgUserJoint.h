#pragma once
// A joint whose rows the application writes; allocated one by one rather than pooled.

#include "physics/core/dgTypes.h"
#include "physics/dynamics/dgConstraint.h"

#include <cstddef>

/// Base of the application's joints: SubmitConstraints stays the derived class's.
class dgUserJoint : public dgConstraint {
public:
    /// Kind of the first user joint class; a class with offset n has kind kBaseJoint + n.
    static constexpr dgUnsigned16 kUserJointBase = kBaseJoint;

    /// Initialised as a constraint with kind 9 + kindOffset, then attached to the world.
    dgUserJoint(dgWorld* world, dgBody* body0, dgBody* body1, dgUnsigned16 kindOffset);
    ~dgUserJoint() override = default;

    /// Calls the destructor callback, then deletes the joint.
    void Release(dgWorld* world) override;

    /// User joint memory comes from dgMalloc.
    static void* operator new(std::size_t size);
    static void operator delete(void* block);
};
