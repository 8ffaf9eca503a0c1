#pragma once
// Lets body0 slide along and turn about one pin relative to body1 (or the world); a user callback may
// drive the sliding, the turning or both each step.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgConstraint.h"
#include "physics/dynamics/dgJointMotorDesc.h"

/// Fills desc[0] (sliding) and desc[1] (turning); bit 0 of the result asks for the sliding motor row,
/// bit 1 for the turning one, other bits are ignored.
using dgCorkscrewCallback = dgUnsigned32 (*)(dgJointBase* joint, dgJointMotorDesc* desc);

// Rows: posit0 and the far point posit0 + 16 front0 held on body1's pin line across up0 and right0;
// the motor rows, sliding along front0 and then turning about it, follow in the rows after them.
class dgCorkscrewJoint : public dgConstraint {
public:
    static constexpr dgUnsigned32 kSlidingMotor = 1u << 0;
    static constexpr dgUnsigned32 kTurningMotor = 1u << 1;

    dgFloat32 m_angle = 0.0f; ///< turn about the pin at the last submit, radians
    dgFloat32 m_posit = 0.0f; ///< position along the pin at the last submit
    dgCorkscrewCallback m_userCallback = nullptr;

    /// The pool's reset: a constraint's, then kind 6, six rows, angle and position 0, no callback.
    void InitCorkscrew();
    void SetUserCallback(dgCorkscrewCallback callback) { m_userCallback = callback; }
    dgFloat32 GetJointAngle() const { return m_angle; }
    dgFloat32 GetJointPosit() const { return m_posit; }
    /// (omega0 - omega1) about the pin, rad/s.
    dgFloat32 GetJointOmega() const;
    /// (veloc0 - veloc1) along the pin.
    dgFloat32 GetJointVeloc() const;
    /// The angular acceleration that brings the turn to angle (gain 100 on both sides).
    dgFloat32 CalculateStopAlpha(dgFloat32 angle, const dgJointMotorDesc* desc) const;
    /// The acceleration that brings the slide to posit (gain 100 on both sides).
    dgFloat32 CalculateStopAccel(dgFloat32 posit, const dgJointMotorDesc* desc) const;
    /// The force of the four point rows of the last solve, global; the motor rows are left out.
    void GetJointForce(dgVector& force) const;

    /// Hands the joint back to the world's corkscrew pool.
    void Release(dgWorld* world) override;
    /// 4 rows, plus one for each usable motor row the callback asks for.
    dgInt32 SubmitConstraints(dgJointParams& params) override;
};
