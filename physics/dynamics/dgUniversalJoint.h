#pragma once
// Ties body0 to body1 (or the world) at one point and lets them turn about two pins kept at right
// angles: pin 0 fixed in body0, pin 1 fixed in body1. A user callback may drive either turn.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgConstraint.h"
#include "physics/dynamics/dgJointMotorDesc.h"

/// Fills desc[0] (about pin 0) and desc[1] (about pin 1); bit 0 of the result asks for the pin-0 motor
/// row, bit 1 for the pin-1 one, other bits are ignored.
using dgUniversalCallback = dgUnsigned32 (*)(dgJointBase* joint, dgJointMotorDesc* desc);

// Pin 0 is front0, pin 1 is up1. Rows at the pivot along front0, up1 and c = front0 x up1 (not made
// unit: it vanishes with the bend it measures), and one along front0 at the point 16 out along
// d = unit(c x front0) against 16 out along up1, which keeps pin 1 at right angles to pin 0.
class dgUniversalJoint : public dgConstraint {
public:
    static constexpr dgUnsigned32 kPin0Motor = 1u << 0;
    static constexpr dgUnsigned32 kPin1Motor = 1u << 1;

    dgFloat32 m_angle0 = 0.0f; ///< turn of body0 about pin 0 at the last submit, radians
    dgFloat32 m_angle1 = 0.0f; ///< turn of body1 against body0 about pin 1 at the last submit, radians
    dgUniversalCallback m_userCallback = nullptr;

    /// The pool's reset: a constraint's, then kind 5, six rows, both angles 0, no callback.
    void InitUniversal();
    void SetUserCallback(dgUniversalCallback callback) { m_userCallback = callback; }
    dgFloat32 GetJointAngle0() const { return m_angle0; }
    dgFloat32 GetJointAngle1() const { return m_angle1; }
    /// (omega0 - omega1) about pin 0, rad/s.
    dgFloat32 GetJointOmega0() const;
    /// (omega0 - omega1) about pin 1, rad/s.
    dgFloat32 GetJointOmega1() const;
    /// The angular acceleration that brings angle0 to angle (gain 100 on both sides).
    dgFloat32 CalculateStopAlpha0(dgFloat32 angle, const dgJointMotorDesc* desc) const;
    /// The same for angle1, mirrored: angle1 turns body1 against body0 while omega1 and the motor row
    /// turn body0 against body1, so the rule takes -omega1 and its result is negated.
    dgFloat32 CalculateStopAlpha1(dgFloat32 angle, const dgJointMotorDesc* desc) const;
    /// The force of the four point rows of the last solve, global; the motor rows are left out.
    void GetJointForce(dgVector& force) const;

    /// Hands the joint back to the world's universal pool.
    void Release(dgWorld* world) override;
    /// 4 rows, plus one for each usable motor row the callback asks for.
    dgInt32 SubmitConstraints(dgJointParams& params) override;
};
