#pragma once
// The constraint solver of one island: its rows in flat arrays that grow to fit, and the scalar kernels
// (multiply, residual, solve, apply, swap) kept as separate functions so a packed build can mirror them.
//
// The system. Each row i couples two bodies through its Jacobian J_i (linear and angular parts per body);
// lambda_i is the row's force, in the units its joint chose (N along an axis, N m about one):
//
//   A lambda = b,   lo_i <= lambda_i <= hi_i,   A = J M^-1 J^T + R
//
//   M^-1    each body's inverse mass and world-space inverse inertia; slot 0, the static world, is zero.
//   b_i     the relative acceleration the joint asks of the row, less what the forces already applied to
//           the bodies give it: a_i - J_i M^-1 f.
//   R       diag(0.001 k_i d_i), d_i = J_i M^-1 J_i^T and k_i the joint's stiffness value: a soft row
//           gives way in proportion to its own diagonal. A row whose d_i is not above kMinDiagonal moves
//           nothing; it is held at force 0.
//   bounds  unbounded rows are free; bounded rows keep [m_min, m_max]; a friction row's bounds are
//           its coefficients times the force its normal row reached (the normal rows are solved first),
//           and a friction row whose smaller bound falls to its floor is dropped.
//
// Solved by projected conjugate gradients preconditioned by diag(A)^-1 = 1 / ((1 + 0.001 k_i) d_i). The
// projection: a step is cut where the first row reaches a bound, that row is held there and leaves the
// active set, and the search restarts from the residual. It stops when every |b_i - (A lambda)_i| is at
// most 0.1 or the iteration budget is spent. J^T lambda is then added to the bodies' force and torque.

#include "physics/core/dgMatrix.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgJointParams.h"

class dgBody;

/// Everything one island's solve needs: bodies by island index (slot 0 the static world, with zero
/// inverse mass and inertia) and rows in parallel arrays. Capacities grow to fit the island; the row
/// capacity stays a multiple of kRowGroup, and every array starts 16-byte aligned, so the packed kernels
/// load four consecutive rows of a float array as one vector.
class dgSolverWorkArea {
public:
    /// Below this a row's diagonal counts as zero: the row moves nothing and takes no force.
    static constexpr dgFloat32 kMinDiagonal = 1.0e-12f;
    /// Floats of one row's Jacobian: four x y z 0 parts, each one aligned four-float group.
    static constexpr dgInt32 kRowFloats = 16;
    /// Floats of one body's accumulator: force x y z 0, torque x y z 0.
    static constexpr dgInt32 kAccFloats = 8;
    /// Rows the packed kernels take per instruction.
    static constexpr dgInt32 kRowGroup = 4;

    // Per island body (index 0 the static world).
    dgBody** m_bodies = nullptr;
    dgFloat32* m_invMass = nullptr;
    dgMatrix* m_invInertia = nullptr; ///< world-space inverse inertia; zero for slot 0
    dgFloat32* m_accumulators = nullptr; ///< kAccFloats per body (MultiplyRows' scratch)

    // Per row.
    dgInt32* m_bodyPairs = nullptr; ///< two island indices per row
    dgJacobianPair* m_jacobians = nullptr; ///< as gathered; the solve reads the packed copy below
    /// kRowFloats per row: body 0's linear and angular parts, then body 1's (w is always 0).
    dgFloat32* m_rowJ = nullptr;
    dgFloat32* m_rowJMinv = nullptr; ///< J times each body's inverse mass or inverse inertia, packed likewise
    dgRowBounds* m_bounds = nullptr;
    dgFloat32** m_feedback = nullptr; ///< where each row's force goes; null: nowhere
    dgFloat32* m_invDiagonal = nullptr;
    dgFloat32* m_regularisation = nullptr; ///< the joint's stiffness value until the matrix is built
    dgFloat32* m_rhs = nullptr;
    dgFloat32* m_frictionFloor = nullptr;
    dgFloat32* m_residual = nullptr;
    dgFloat32* m_force = nullptr;
    dgFloat32* m_q = nullptr; ///< A p
    dgFloat32* m_z = nullptr; ///< scratch: written before it is read, so it never follows a row exchange
    dgFloat32* m_p = nullptr;
    dgInt32* m_permutation = nullptr; ///< each row's index when it was gathered
    dgInt32* m_inversePermutation = nullptr;
    dgInt32* m_rowOrder = nullptr; ///< partitioning scratch

    dgInt32 m_bodyCapacity = 0;
    dgInt32 m_rowCapacity = 0;
    dgInt32 m_rowCount = 0;
    dgInt32 m_bodyCount = 0; ///< island bodies plus the static slot
    dgInt32 m_solverModel = 0;
    dgInt32 m_frictionModel = 0;
    dgFloat32 m_frictionThreshold = 0.25f;

    /// Empty: the first island allocates.
    dgSolverWorkArea();
    ~dgSolverWorkArea();
    dgSolverWorkArea(const dgSolverWorkArea&) = delete;
    dgSolverWorkArea& operator=(const dgSolverWorkArea&) = delete;

    /// Room for count island entries (slot 0 included); what is stored is kept.
    void ReserveBodies(dgInt32 count);
    /// Room for count rows; what is stored is kept.
    void ReserveRows(dgInt32 count);
    /// Sets slot 0 to the static world and forgets every row and body.
    void Clear();
};

/// J M^-1, the right-hand side net of the applied forces, the diagonal and its regularisation per row.
/// A row whose diagonal is not above kMinDiagonal becomes a row held at force 0.
void dgBuildRowMatrix(dgSolverWorkArea& area);
/// Conjugate-gradient iterations allowed for n active rows under the solver model.
dgInt32 dgGetIterationBudget(const dgSolverWorkArea& area, dgInt32 n);

// Two kernel sets over the same work area. The scalar one sums every row and every reduction in row
// order; the packed one (the Simd twins, where the processor has them) sums a row's four Jacobian parts
// lane by lane and keeps four partial sums in its reductions, so the two agree up to the order of their
// additions. The partitions, active sets and row order they leave are the same.

/// Solves the rows, writes each solved row's force to its feedback slot and adds the forces to the bodies.
void dgSolveIsland(dgSolverWorkArea& area);
/// y = A x over the first n rows.
void dgMultiplyRows(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x, dgFloat32* y);
/// r = rhs - A lambda over the first n rows; returns the largest |r|.
dgFloat32 dgCalcResidual(dgSolverWorkArea& area, dgInt32 n);
/// Projected preconditioned conjugate gradient over the first n rows; returns how many stay active.
dgInt32 dgSolveRows(dgSolverWorkArea& area, dgInt32 n);
/// Adds each row's force along its Jacobian to its bodies' force and torque accumulators.
void dgApplyRowForces(dgSolverWorkArea& area);
/// Exchanges rows i and j in every per-row array the solve reads after an exchange.
void dgSwapRows(dgSolverWorkArea& area, dgInt32 i, dgInt32 j);
/// Friction rows from `first` on (their class already a position) take their bounds from their normal
/// row's force and are clamped into them; one whose smaller bound is not above its floor is dropped
/// behind the row count.
void dgBoundFrictionRows(dgSolverWorkArea& area, dgInt32 first);

#if ORVALEN_PACKED_BUILD
void dgSolveIslandSimd(dgSolverWorkArea& area);
void dgMultiplyRowsSimd(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x, dgFloat32* y);
dgFloat32 dgCalcResidualSimd(dgSolverWorkArea& area, dgInt32 n);
dgInt32 dgSolveRowsSimd(dgSolverWorkArea& area, dgInt32 n);
void dgApplyRowForcesSimd(dgSolverWorkArea& area);
void dgSwapRowsSimd(dgSolverWorkArea& area, dgInt32 i, dgInt32 j);
void dgBoundFrictionRowsSimd(dgSolverWorkArea& area, dgInt32 first);
#endif
