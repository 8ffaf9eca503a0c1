#pragma once
// Lets body0 turn about one pin relative to body1 (or the world) and nothing else; a user callback may
// drive or brake the turning each step.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgConstraint.h"
#include "physics/dynamics/dgJointMotorDesc.h"

/// Fills the motor record; nonzero asks for the motor row.
using dgHingeCallback = dgUnsigned32 (*)(dgJointBase* joint, dgJointMotorDesc* desc);

// Rows: three at the pivot along front0, up0, right0 and two at the far point posit0 + 16 front0
// across the pin, so only the turn about the pin stays free; the motor row about front0 asks the
// record's acceleration within its force bounds.
class dgHingeJoint : public dgConstraint {
public:
    dgFloat32 m_angle = 0.0f; ///< turn of body0 about the pin at the last submit, radians
    dgHingeCallback m_userCallback = nullptr;

    /// The pool's reset: a constraint's, then kind 1, six rows, angle 0, no callback.
    void InitHinge();
    void SetUserCallback(dgHingeCallback callback) { m_userCallback = callback; }
    dgFloat32 GetJointAngle() const { return m_angle; }
    /// (omega0 - omega1) about the pin, rad/s.
    dgFloat32 GetJointOmega() const;
    /// The angular acceleration that brings the hinge to angle: the stop rule with gain 100 above the
    /// target and 1600 below it; 0 for a record without a usable step.
    dgFloat32 CalculateStopAlpha(dgFloat32 angle, const dgJointMotorDesc* desc) const;
    /// The force of the five point rows of the last solve, global; the motor row is left out.
    void GetJointForce(dgVector& force) const;

    /// Hands the joint back to the world's hinge pool.
    void Release(dgWorld* world) override;
    /// 5 rows, 6 when the callback asks for a usable motor row.
    dgInt32 SubmitConstraints(dgJointParams& params) override;
};
