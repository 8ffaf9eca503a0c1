#pragma once
// The record a joint fills with its constraint rows and the point pair linear rows are built from.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

class dgWorld;

/// One body's half of a row: the direction the force acts along and its moment arm term (w 0).
struct dgJacobian {
    dgVector m_linear;
    dgVector m_angular;
};

/// The Jacobian of one row for both bodies (16 floats).
struct dgJacobianPair {
    dgJacobian m_jacobian0;
    dgJacobian m_jacobian1;
};

/// Bounds of one row. 16 bytes so the packed solver moves it as one vector; the row's force-feedback
/// pointer lives in a parallel array, which has to be swapped together with this record.
struct dgRowBounds {
    /// Row classes; a class of 0 or more marks a friction row and is the index of its normal row.
    static constexpr dgInt32 kUnbounded = -1;
    static constexpr dgInt32 kNonNegative = -2;
    static constexpr dgInt32 kClamped = -3;

    dgFloat32 m_min; ///< lowest force; for a friction row a coefficient of the normal force
    dgFloat32 m_max; ///< highest force; likewise
    dgInt32 m_class; ///< kUnbounded, kNonNegative, kClamped or a normal row's index
    dgInt32 m_slot;  ///< the row's index when it was written, where its feedback pointer was stored
};

static_assert(sizeof(dgRowBounds) == 16);

/// Filled by a joint's SubmitConstraints, read by the solver.
struct dgJointParams {
    /// Most rows a joint may write.
    static constexpr dgInt32 kMaxRows = 48;
    /// Bounds of a row nothing limits.
    static constexpr dgFloat32 kUnboundedForce = 1.0e15f;

    dgWorld* m_world = nullptr;
    dgFloat32 m_timeStep = 0.0f;    ///< h, seconds
    dgFloat32 m_invTimeStep = 0.0f; ///< 1/h
    dgJacobianPair m_jacobians[kMaxRows];
    dgRowBounds m_bounds[kMaxRows];
    dgFloat32* m_forceFeedback[kMaxRows]; ///< per row: where the solved force goes; null: nowhere
    dgFloat32 m_accelerations[kMaxRows];  ///< per row: the relative acceleration asked along the Jacobian
    dgFloat32 m_stiffness[kMaxRows];      ///< per row: the solver's regularisation weight

    /// The solver's reset before a joint submits: rows 0..count-1 unbounded, no feedback.
    void ResetBounds(dgInt32 count) {
        dgAssert(count >= 0 && count <= kMaxRows);
        for (dgInt32 i = 0; i < count; i++) {
            m_bounds[i] = dgRowBounds{-kUnboundedForce, kUnboundedForce, dgRowBounds::kUnbounded, i};
            m_forceFeedback[i] = nullptr;
        }
    }
};

/// A point p0 fixed in body0 and p1 fixed in body1 with their motion; all global. Body1's terms are zero
/// when the joint has no body1.
struct dgPointParam {
    dgVector m_r0;           ///< p0 - body0's centre of mass
    dgVector m_r1;           ///< p1 - body1's centre of mass
    dgVector m_posit0;       ///< p0
    dgVector m_posit1;       ///< p1
    dgVector m_veloc0;       ///< velocity of p0 on body0
    dgVector m_veloc1;       ///< velocity of p1 on body1
    dgVector m_centripetal0; ///< omega0 x (omega0 x r0)
    dgVector m_centripetal1; ///< omega1 x (omega1 x r1)
    dgFloat32 m_stiffness = 0.0f;
};
