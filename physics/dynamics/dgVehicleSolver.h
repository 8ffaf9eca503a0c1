#pragma once
// The small system of one vehicle: its chassis, its tires and the bodies the tires touch, solved at the
// acceleration level on its own. The chassis gets the result as force and torque for the world's own
// integration; the tires integrate their suspension and spin here.

#include "physics/core/dgGrowableArray.h"
#include "physics/core/dgMatrix.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgTireCollision.h"
#include "physics/dynamics/dgVehicleJoint.h"

class dgBody;
class dgJointLink;
struct dgVehicleTire;

class dgVehicleSolver {
public:
    /// Solver body 0 stands for everything immovable, 1 is the chassis, then the tires.
    static constexpr dgInt32 kFirstTire = 2;
    /// Rows between the chassis and one tire: rolling, side, suspension, two angular and the brake.
    static constexpr dgInt32 kTireRows = 6;
    /// Rows of one kept contact: normal, side and longitudinal.
    static constexpr dgInt32 kContactRows = 3;
    static constexpr dgInt32 kMaxTireContacts = dgTireCollision::kMaxContacts;
    /// Sized for the worst case the tire limit allows, so no body or row can overflow.
    static constexpr dgInt32 kMaxBodies =
        kFirstTire + dgVehicleJoint::kMaxTires + dgVehicleJoint::kMaxTires * kMaxTireContacts;
    static constexpr dgInt32 kMaxRows = dgVehicleJoint::kMaxTires * (kTireRows + kMaxTireContacts * kContactRows);
    static_assert(kMaxBodies == 212 && kMaxRows == 720, "the context covers every tire and contact");

    struct Jacobian {
        dgVector m_linear0;
        dgVector m_angular0;
        dgVector m_linear1;
        dgVector m_angular1;
    };

    /// Builds and solves the vehicle's system for a step of dt and writes the results back: forces into
    /// the chassis's and the touched bodies' accumulators, suspension, spin and flags into the tires.
    void Solve(dgVehicleJoint& vehicle, dgFloat32 dt);

    /// Touched bodies and their result force and torque, in solver order, after Solve.
    dgInt32 GetFirstTouchedIndex() const { return m_firstTouched; }
    dgInt32 GetBodyCount() const { return m_bodyCount; }
    dgInt32 GetRowCount() const { return m_rowCount; }
    dgBody* GetBody(dgInt32 index) const { return m_bodies[index]; }
    const dgVector& GetResultForce(dgInt32 index) const { return m_resultForce[index]; }
    const dgVector& GetResultTorque(dgInt32 index) const { return m_resultTorque[index]; }
    const dgFloat32* GetRowForces() const { return m_x; }

    /// A row along dir between the chassis (body 0) and a tire whose centre is at arm r from the chassis's
    /// centre of mass: the tire follows the chassis point's centripetal acceleration. Returns the row.
    dgInt32 AddLinearRow(dgInt32 tireIndex, const dgVector& r, const dgVector& dir);
    /// A row holding the tire's turn about axis to the chassis's. Returns the row.
    dgInt32 AddAngularRow(dgInt32 tireIndex, const dgVector& axis);
    /// out = A x over the rows: the row coupling through the bodies plus each row's softness.
    void MultiplyMatrix(const dgFloat32* x, dgFloat32* out);
    /// Preconditioned conjugate gradients with bounds: a row that reaches a bound stays there.
    void SolveRows(dgInt32 count);

private:
    void AddTire(const dgVehicleJoint& vehicle, dgVehicleTire& tire, dgFloat32 dt, dgFloat32 softness);
    void AddContactRows(dgInt32 tireIndex, dgFloat32 invdt);
    dgInt32 TouchedBodyIndex(dgBody* body);
    /// A row between solver bodies body0 and body1 (a tire), unbounded and rigid.
    dgInt32 NewRow(dgInt32 body0, dgInt32 body1, const Jacobian& jacobian, dgFloat32 rhs);
    void PrepareRows();
    /// Takes row k out of the solve: no force, no coupling, no residual.
    void DisableRow(dgInt32 k);
    void ApplyRowForces();
    void IntegrateTires(dgFloat32 dt);

    dgBody* m_chassis = nullptr;
    dgVector m_up;
    dgVector m_chassisOmega;
    dgMatrix m_chassisInvInertia;
    dgInt32 m_rowCount = 0;
    dgInt32 m_bodyCount = 0;
    dgInt32 m_firstTouched = 0;

    // Per solver body.
    dgBody* m_bodies[kMaxBodies] = {};
    dgVehicleTire* m_tires[kFirstTire + dgVehicleJoint::kMaxTires] = {};
    dgVector m_tireArm[kFirstTire + dgVehicleJoint::kMaxTires];    ///< centre from the chassis's centre of mass
    dgVector m_tireCentre[kFirstTire + dgVehicleJoint::kMaxTires]; ///< global
    dgVector m_tirePin[kFirstTire + dgVehicleJoint::kMaxTires];    ///< global spin axis
    dgVector m_extForce[kMaxBodies];
    dgVector m_extTorque[kMaxBodies];
    dgVector m_veloc[kMaxBodies];
    dgVector m_omega[kMaxBodies];
    dgVector m_accLinear[kMaxBodies];
    dgVector m_accAngular[kMaxBodies];
    dgVector m_resultForce[kMaxBodies];
    dgVector m_resultTorque[kMaxBodies];

    // Per row.
    Jacobian m_jacobians[kMaxRows];
    Jacobian m_scaled[kMaxRows];
    dgInt32 m_rowBodies[kMaxRows][2] = {};
    dgFloat32 m_x[kMaxRows] = {};
    dgFloat32 m_rhs[kMaxRows] = {};
    dgFloat32 m_p[kMaxRows] = {};
    dgFloat32 m_q[kMaxRows] = {};
    dgFloat32 m_z[kMaxRows] = {};
    dgFloat32 m_r[kMaxRows] = {};
    dgFloat32 m_softness[kMaxRows] = {};
    dgFloat32 m_precond[kMaxRows] = {};
    dgFloat32 m_mask[kMaxRows] = {};
    dgFloat32 m_low[kMaxRows] = {};
    dgFloat32 m_high[kMaxRows] = {};
};

/// What the vehicles of one world share: made with the world's first vehicle, so worlds without vehicles
/// carry none of it.
struct dgVehicleWorkspace {
    dgVehicleSolver m_solver;
    dgTireCollision::CollectedPoints m_collected;
    dgGrowableArray<dgJointBase*> m_linkedJoints; ///< the joints linked to the vehicle being sub-stepped
    dgGrowableArray<dgJointLink*> m_linkStack;
};
