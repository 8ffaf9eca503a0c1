#pragma once
// Keeps the front axis of one body's joint frame parallel to a direction fixed in the world (the pin);
// the body stays free to move and to turn about the pin.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgConstraint.h"

// Two angular rows. With a = front0 x front1 and m = |a|: one row turns front0 about a/m through
// asin(m) towards the pin, the other holds it about (a/m) x front1. Parallel axes (m^2 <= 1e-6) take
// the zero-error rows about up0 and right0, so an antiparallel pin holds the body upside down.
class dgUpVectorJoint : public dgConstraint {
public:
    /// The joint's own stiffness: stiffer than the default, since the rows only turn the body.
    static constexpr dgFloat32 kStiffness = 0.995f;

    /// The pool's reset: a constraint's, then kind 4, two rows, stiffness 0.995.
    void InitUpVector();
    /// Both frames aligned now, with the global pin as front axis (body0's front axis for a zero pin).
    void InitPin(const dgVector& pin);
    /// The pin in world space.
    void GetPin(dgVector& pin) const { pin = m_localMatrix1.front; }
    /// A new global pin, made unit; the body turns towards it over the next steps. A zero or non-finite
    /// pin is ignored.
    void SetPin(const dgVector& pin);

    /// Hands the joint back to the world's up-vector pool.
    void Release(dgWorld* world) override;
    /// The joint never groups its body with another.
    bool JoinsBodies() const override;
    dgInt32 SubmitConstraints(dgJointParams& params) override;
};
