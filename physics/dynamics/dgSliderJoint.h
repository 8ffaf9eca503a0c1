#pragma once
// Lets body0 slide along one pin relative to body1 (or the world) without turning; a user callback may
// drive or brake the sliding each step.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgConstraint.h"
#include "physics/dynamics/dgJointMotorDesc.h"

/// Fills the motor record; nonzero asks for the motor row.
using dgSliderCallback = dgUnsigned32 (*)(dgJointBase* joint, dgJointMotorDesc* desc);

// Rows: posit0 and the far point posit0 + 16 front0 held on body1's pin line across up0 and right0
// (four rows), a fifth across right0 at posit0 + 16 up0 stops the turn about the pin; the motor row
// along front0 asks the record's acceleration within its force bounds.
class dgSliderJoint : public dgConstraint {
public:
    dgFloat32 m_posit = 0.0f; ///< position along the pin at the last submit, front0 . (posit0 - posit1)
    dgSliderCallback m_userCallback = nullptr;

    /// The pool's reset: a constraint's, then kind 2, six rows, position 0, no callback.
    void InitSlider();
    void SetUserCallback(dgSliderCallback callback) { m_userCallback = callback; }
    dgFloat32 GetJointPosit() const { return m_posit; }
    /// (veloc0 - veloc1) along the pin.
    dgFloat32 GetJointVeloc() const;
    /// The acceleration that brings the slider to posit (gain 100 on both sides); 0 for a record
    /// without a usable step.
    dgFloat32 CalculateStopAccel(dgFloat32 posit, const dgJointMotorDesc* desc) const;
    /// The force of the five point rows of the last solve, global; the motor row is left out.
    void GetJointForce(dgVector& force) const;

    /// Hands the joint back to the world's slider pool.
    void Release(dgWorld* world) override;
    /// 5 rows, 6 when the callback asks for a usable motor row.
    dgInt32 SubmitConstraints(dgJointParams& params) override;
};
