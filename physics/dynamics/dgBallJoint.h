#pragma once
// Ball and socket: a point of body0 pinned to a point of body1 (or of the world), with an optional cone
// for the swing of the pin and a symmetric range for the twist about it.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgConstraint.h"

/// Called with the joint at the start of every submit; the joint's limits and frames may be changed.
using dgBallCallback = void (*)(dgJointBase* joint);

// Rows: three linear rows hold posit0 on posit1 along the axes of frame 0. A limit turns its angular
// error into a linear one at a point kLimitLever out along a frame axis and asks for
//   a = (kLimitLever err + s) / h,  force >= 0,
// where s is the relative speed of that point along the row, so one step closes the error.
class dgBallJoint : public dgConstraint {
public:
    static constexpr dgUnsigned32 kConeLimit = 1u << 0;
    static constexpr dgUnsigned32 kTwistLimit = 1u << 1;
    static constexpr dgUnsigned32 kThirdLimit = 1u << 2; ///< stored and read back; drives nothing
    /// Distance out along a frame axis at which limit rows act.
    static constexpr dgFloat32 kLimitLever = 16.0f;

    dgVector m_angles;             ///< -(Euler angles of frame 1 relative to frame 0) at the last submit
    dgUnsigned32 m_limitFlags = 0; ///< kConeLimit, kTwistLimit, kThirdLimit
    dgFloat32 m_coneAngle = 0.0f;  ///< half-angle of the swing cone, radians
    dgFloat32 m_twistAngle = 0.0f; ///< largest twist each way, radians
    dgFloat32 m_coneCos = 1.0f;    ///< cos(m_coneAngle)
    dgBallCallback m_userCallback = nullptr;

    /// The pool's reset: a constraint's, then kind 0, six rows, no limits, no callback.
    void InitBall();

    /// Frames with the pin from body0's origin through the global pivot (body0's front axis when the
    /// pivot is at the origin), both coinciding now; default limits, all switched off.
    void SetPivot(const dgVector& pivot);
    /// Re-bases both frames on the present pose with the global pin as front axis and the plane of the
    /// pin and reference as front-right plane; the cone is half of (max - min), centred by rolling the
    /// frames by (min + max) / 2. Angles in radians. A pin shorter than 1e-3, or anything not finite,
    /// changes nothing.
    void SetConeLimits(const dgVector& pin, dgFloat32 minAngle, dgFloat32 maxAngle, dgFloat32 twist,
                       const dgVector& reference);
    void SetConeLimitState(bool state) { SetFlag(kConeLimit, state); }
    void SetTwistLimitState(bool state) { SetFlag(kTwistLimit, state); }
    void SetThirdLimitState(bool state) { SetFlag(kThirdLimit, state); }
    dgInt32 GetConeLimitState() const { return (m_limitFlags & kConeLimit) != 0 ? 1 : 0; }
    dgInt32 GetTwistLimitState() const { return (m_limitFlags & kTwistLimit) != 0 ? 1 : 0; }
    dgInt32 GetThirdLimitState() const { return (m_limitFlags & kThirdLimit) != 0 ? 1 : 0; }
    void SetUserCallback(dgBallCallback callback) { m_userCallback = callback; }

    void GetJointAngle(dgVector& angles) const { angles = m_angles; }
    /// omega0 - omega1 on the axes of frame 0 (front, up, right), w 1.
    void GetJointOmega(dgVector& omega) const;
    /// The force of the three point rows of the last solve, global.
    void GetJointForce(dgVector& force) const;

    /// Turn of frame 1 about front0 once the swing that carries front0 onto front1 by the shortest arc
    /// is taken out, radians in (-pi, pi]; defined at any swing short of a half turn.
    static dgFloat32 TwistAngle(const dgMatrix& matrix0, const dgMatrix& matrix1);

    /// Hands the joint back to the world's ball pool.
    void Release(dgWorld* world) override;
    /// Three point rows, then a twist row and the cone pair when their limits are on and passed.
    dgInt32 SubmitConstraints(dgJointParams& params) override;

private:
    void SetFlag(dgUnsigned32 flag, bool state) {
        m_limitFlags = state ? (m_limitFlags | flag) : (m_limitFlags & ~flag);
    }
    dgInt32 SubmitTwistLimit(dgJointParams& params, dgInt32 n, const dgMatrix& matrix0,
                             const dgMatrix& matrix1);
    dgInt32 SubmitConeLimit(dgJointParams& params, dgInt32 n, const dgMatrix& matrix0,
                            const dgMatrix& matrix1);
    /// A one-sided row along dir at the point of pp that closes err in one step.
    void AddLimitRow(dgJointParams& params, dgInt32 n, const dgPointParam& pp, const dgVector& dir,
                     dgFloat32 err, dgFloat32* force) const;
};
