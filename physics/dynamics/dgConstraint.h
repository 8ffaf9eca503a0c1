#pragma once
// Base of the two-body joints that hold a frame in each body: frames, stiffness and the destructor
// callback.

#include "physics/core/dgMatrix.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgJointBase.h"

/// A frame whose front row is the unit pin: up and right complete it (w 0), posit (0, 0, 0, 1).
dgMatrix dgBuildMatrixFromPin(const dgVector& pin);
/// The direction of pin with a length whose square a float holds: pin itself, or, when its squared length
/// overflows, pin over its largest component. w is kept.
dgVector dgPinWithFiniteSquare(const dgVector& pin);

/// A joint with a frame fixed in each body; the frames coincide in the pose the joint was made in.
class dgConstraint : public dgJointBase {
public:
    /// Row-force slots.
    static constexpr dgInt32 kForceSlots = 6;

    dgMatrix m_localMatrix0 = dgGetIdentityMatrix(); ///< joint frame in body0's space: front the pin, posit
                                                     ///< the pivot
    dgMatrix m_localMatrix1 = dgGetIdentityMatrix(); ///< joint frame in body1's space; in world space
                                                     ///< without body1
    dgFloat32 m_stiffness = 1.4f;                    ///< k = 5 - 4s for the user's stiffness s
    dgFloat32 m_forces[kForceSlots] = {}; ///< forces of the last solve of the rows that name a slot
    dgJointDestructorCallback m_destructor = nullptr;

    dgJointDestructorCallback SetJointDestructor(dgJointDestructorCallback callback) override;
    dgFloat32 GetStiffness() const override;
    /// s clamped to [0, 1].
    void SetStiffness(dgFloat32 stiffness) override;
    /// The base's reset, plus identity frames, stiffness 0.9, forces 0 and no destructor callback.
    void Init() override;
    /// Calls the destructor callback once; each class then gives the joint back to its pool.
    void Release(dgWorld* world) override;
    bool JoinsBodies() const override;

    /// Frames from a global pivot and pin; a zero pin takes body0's front axis.
    void CalcPinFrames(const dgVector& pivot, const dgVector& pin);
    /// Frames from a global pivot, the pin and a second direction fixing the up axis; a second pin along
    /// the first takes the pin's own right axis.
    void CalcTwoPinFrames(const dgVector& pivot, const dgVector& pin0, const dgVector& pin1);
    /// Both frames in world space in the present pose and the Euler angles of frame 1 relative to frame 0.
    dgVector& CalcGlobalFrames(dgVector& angles, dgMatrix& matrix0, dgMatrix& matrix1) const;

private:
    const dgMatrix& Body1Matrix() const;
};
