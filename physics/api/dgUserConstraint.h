#pragma once
// The flat interface's own joint: the application writes its rows from a callback, one row function
// call per row.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgUserJoint.h"

/// Called with the joint once per sub-step while its island is awake; it adds the joint's rows.
using dgUserJointSubmitCallback = void (*)(dgJointBase* joint);

/// Rows are appended to the solver's buffer only while the joint's own submit runs: row functions
/// called from anywhere else find no buffer and do nothing. Rows beyond the maximum row count, and rows
/// whose Jacobian or acceleration is not finite, are not added.
class dgUserConstraint : public dgUserJoint {
public:
    /// Kind offset of this class: kind kBaseJoint + 1.
    static constexpr dgUnsigned16 kKindOffset = 1;

    dgUserJointSubmitCallback m_submitCallback = nullptr; ///< null: the joint submits no rows
    dgInt32 m_rowCount = 0;                               ///< rows added in the current or last submit
    dgFloat32 m_rowForces[dgJointParams::kMaxRows] = {};  ///< per row, the force of the last solve
    dgJointParams* m_rows = nullptr;                      ///< the solver's buffer during the submit only
    dgFloat32 m_lastAngle = 0.0f;                         ///< angle of the last angular row, else 0
    dgVector m_lastPoint0;                                ///< points of the last linear row, else 0
    dgVector m_lastPoint1;

    /// A joint of child to parent (null: the world) taking at most maxRows rows (clamped to [0, 48]),
    /// attached; null when the bodies cannot be joined or its block cannot be had. When attaching runs out
    /// of memory (dgMemoryExhausted) the block is given back.
    static dgUserConstraint* Create(dgWorld* world, dgInt32 maxRows, dgUserJointSubmitCallback callback,
                                    dgBody* child, dgBody* parent);

    // Row functions: each adds the next row with the force slot of its index.
    /// Drives (p1 - p0) . dir to zero; p0 fixed in body0, p1 in body1, all global.
    void AddLinearRow(const dgVector& p0, const dgVector& p1, const dgVector& dir);
    /// Drives the relative angle about the global dir to zero.
    void AddAngularRow(dgFloat32 angle, const dgVector& dir);
    /// A row from two Jacobian halves of six floats (linear, then angular), asking no acceleration.
    void AddGeneralRow(const dgFloat32* jacobian0, const dgFloat32* jacobian1);

    // Setters of the last row added in this submit; without one, or with a value that is not finite,
    // they do nothing.
    /// Upper bound, clamped to [0.05, 1e15]; the row becomes bounded.
    void SetRowMaximumFriction(dgFloat32 force);
    /// Lower bound, clamped to [-1e15, -0.05]; the row becomes bounded.
    void SetRowMinimumFriction(dgFloat32 force);
    void SetRowAcceleration(dgFloat32 acceleration);
    /// The acceleration of a spring ks and damper kd over the row's points or angle.
    void SetRowSpringDamperAcceleration(dgFloat32 ks, dgFloat32 kd);
    /// s clamped to [0, 1], stored as the regularisation 100 - 99 s.
    void SetRowStiffness(dgFloat32 stiffness);
    /// The force of row index in the last solve; 0 outside [0, rowCount).
    dgFloat32 GetRowForce(dgInt32 index) const;

    dgInt32 SubmitConstraints(dgJointParams& params) override;

private:
    dgUserConstraint(dgWorld* world, dgBody* child, dgBody* parent, dgInt32 maxRows,
                     dgUserJointSubmitCallback callback);
    bool CanAddRow() const { return m_rows != nullptr && m_rowCount < m_maxRows; }
    /// Counts row m_rowCount, just written, when it is finite; remembers its points and angle.
    void CommitRow(const dgVector& p0, const dgVector& p1, dgFloat32 angle);
    /// Index of the last row added in this submit, or -1.
    dgInt32 LastRow() const { return m_rows != nullptr && m_rowCount > 0 ? m_rowCount - 1 : -1; }
};
