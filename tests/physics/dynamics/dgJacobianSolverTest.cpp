#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJacobianSolver.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The solve stops once no residual is above 0.1; light bodies make that a small force error.
constexpr dgFloat32 kBodyMass = 0.001f;

struct RowSpec {
    dgInt32 i0;
    dgInt32 i1;
    dgJacobianPair jacobian;
    dgRowBounds bounds;
    dgFloat32 acceleration;
    dgFloat32 stiffness;
};

/// An island of hand-made bodies and rows loaded into a work area, with a dense copy of its system.
class SyntheticIsland {
public:
    explicit SyntheticIsland(dgInt32 bodyCount) : m_bodies(static_cast<std::size_t>(bodyCount)) {
        m_area.Clear();
        m_area.ReserveBodies(bodyCount + 1);
        for (dgInt32 i = 0; i < bodyCount; i++) {
            dgBody& body = m_bodies[static_cast<std::size_t>(i)];
            body.m_matrix = dgGetIdentityMatrix();
            const dgFloat32 inv = 1.0f / kBodyMass;
            body.m_mass = dgVector(kBodyMass, kBodyMass, kBodyMass, kBodyMass);
            body.m_invMass = dgVector(inv, inv * 0.5f, inv * 2.0f, inv);
            m_area.m_bodies[i + 1] = &body;
            m_area.m_invMass[i + 1] = body.m_invMass.w;
            body.CalcInvInertiaMatrix(m_area.m_invInertia[i + 1]);
        }
        m_area.m_bodyCount = bodyCount + 1;
    }

    void AddRow(const RowSpec& row, dgFloat32 warmStart = 0.0f) {
        m_specs.push_back(row);
        m_feedback.push_back(warmStart);
    }

    /// Loads the rows and builds the row matrix; the feedback slots must not move afterwards.
    void Load() {
        const dgInt32 n = static_cast<dgInt32>(m_specs.size());
        m_area.ReserveRows(n);
        for (dgInt32 i = 0; i < n; i++) {
            const RowSpec& s = m_specs[static_cast<std::size_t>(i)];
            m_area.m_bodyPairs[2 * i] = s.i0;
            m_area.m_bodyPairs[2 * i + 1] = s.i1;
            m_area.m_jacobians[i] = s.jacobian;
            m_area.m_bounds[i] = s.bounds;
            m_area.m_feedback[i] = &m_feedback[static_cast<std::size_t>(i)];
            m_area.m_rhs[i] = s.acceleration;
            m_area.m_regularisation[i] = s.stiffness;
            const dgFloat32 invSum = m_area.m_invMass[s.i0] + m_area.m_invMass[s.i1];
            m_area.m_frictionFloor[i] = m_area.m_frictionThreshold / invSum;
        }
        m_area.m_rowCount = n;
        dgBuildRowMatrix(m_area);
        // Dense copy in gathering order (the solver reorders its arrays).
        m_a.assign(static_cast<std::size_t>(n * n), 0.0);
        m_b.resize(static_cast<std::size_t>(n));
        for (dgInt32 i = 0; i < n; i++) {
            m_b[static_cast<std::size_t>(i)] = m_area.m_rhs[i];
            for (dgInt32 j = 0; j < n; j++) {
                m_a[static_cast<std::size_t>(i * n + j)] = Entry(i, j);
            }
            m_a[static_cast<std::size_t>(i * n + i)] += m_area.m_regularisation[i];
        }
    }

    /// (J_i M^-1 J_j^T) in double.
    double Entry(dgInt32 i, dgInt32 j) const {
        const RowSpec& a = m_specs[static_cast<std::size_t>(i)];
        const RowSpec& b = m_specs[static_cast<std::size_t>(j)];
        double sum = 0.0;
        const dgJacobian* ha[2] = {&a.jacobian.m_jacobian0, &a.jacobian.m_jacobian1};
        const dgJacobian* hb[2] = {&b.jacobian.m_jacobian0, &b.jacobian.m_jacobian1};
        const dgInt32 ia[2] = {a.i0, a.i1};
        const dgInt32 ib[2] = {b.i0, b.i1};
        for (int p = 0; p < 2; p++) {
            for (int q = 0; q < 2; q++) {
                if (ia[p] == 0 || ia[p] != ib[q]) {
                    continue;
                }
                const dgMatrix& inertia = m_area.m_invInertia[ia[p]];
                const dgVector iw = inertia.RotateVector(hb[q]->m_angular);
                sum += static_cast<double>(m_area.m_invMass[ia[p]]) * Dot(ha[p]->m_linear, hb[q]->m_linear) +
                       Dot(ha[p]->m_angular, iw);
            }
        }
        return sum;
    }

    static double Dot(const dgVector& a, const dgVector& b) {
        return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
    }

    /// Projected Gauss-Seidel on the dense system to full convergence.
    std::vector<double> Reference() const {
        const std::size_t n = m_specs.size();
        std::vector<double> x(n, 0.0);
        for (int sweep = 0; sweep < 20000; sweep++) {
            for (std::size_t i = 0; i < n; i++) {
                double r = m_b[i];
                for (std::size_t j = 0; j < n; j++) {
                    r -= m_a[i * n + j] * x[j];
                }
                const double next = x[i] + r / m_a[i * n + i];
                x[i] = std::clamp(next, double(m_specs[i].bounds.m_min), double(m_specs[i].bounds.m_max));
            }
        }
        return x;
    }

    /// w = b - A lambda of the forces in the feedback slots.
    std::vector<double> Residual() const {
        const std::size_t n = m_specs.size();
        std::vector<double> r(n);
        for (std::size_t i = 0; i < n; i++) {
            r[i] = m_b[i];
            for (std::size_t j = 0; j < n; j++) {
                r[i] -= m_a[i * n + j] * m_feedback[j];
            }
        }
        return r;
    }

    dgSolverWorkArea m_area;
    std::vector<dgBody> m_bodies;
    std::vector<RowSpec> m_specs;
    std::vector<dgFloat32> m_feedback;
    std::vector<double> m_a;
    std::vector<double> m_b;
};

dgJacobian RandomHalf(RandomGeometry& random) {
    dgJacobian half;
    half.m_linear = random.UnitVector();
    half.m_linear.w = 0.0f;
    half.m_angular = random.UnitVector().Scale(random.Float(0.0f, 1.0f));
    half.m_angular.w = 0.0f;
    return half;
}

RowSpec RandomRow(RandomGeometry& random, dgInt32 bodyCount, dgInt32 rowClass) {
    RowSpec row{};
    row.i0 = 1 + static_cast<dgInt32>(random.Float(0.0f, 0.999f) * static_cast<dgFloat32>(bodyCount));
    row.i1 = static_cast<dgInt32>(random.Float(0.0f, 0.999f) * static_cast<dgFloat32>(bodyCount + 1));
    if (row.i1 == row.i0) {
        row.i1 = 0;
    }
    row.jacobian.m_jacobian0 = RandomHalf(random);
    row.jacobian.m_jacobian1 = RandomHalf(random);
    row.acceleration = random.Float(-2000.0f, 2000.0f);
    row.stiffness = random.Float(0.5f, 1.0f);
    row.bounds = dgRowBounds{-dgJointParams::kUnboundedForce, dgJointParams::kUnboundedForce, rowClass, 0};
    if (rowClass == dgRowBounds::kNonNegative) {
        row.bounds.m_min = 0.0f;
    } else if (rowClass == dgRowBounds::kClamped) {
        row.bounds.m_min = random.Float(-2.0f, -0.2f);
        row.bounds.m_max = random.Float(0.2f, 2.0f);
    }
    return row;
}

/// The forces the solver added to each body equal the sum of J^T times what each row reported.
void ExpectAppliedForcesMatchFeedback(const SyntheticIsland& island) {
    for (std::size_t b = 0; b < island.m_bodies.size(); b++) {
        const dgInt32 index = static_cast<dgInt32>(b) + 1;
        double f[3] = {};
        double t[3] = {};
        for (std::size_t i = 0; i < island.m_specs.size(); i++) {
            const RowSpec& s = island.m_specs[i];
            const double lambda = island.m_feedback[i];
            for (int side = 0; side < 2; side++) {
                if ((side == 0 ? s.i0 : s.i1) != index) {
                    continue;
                }
                const dgJacobian& h = side == 0 ? s.jacobian.m_jacobian0 : s.jacobian.m_jacobian1;
                f[0] += lambda * h.m_linear.x;
                f[1] += lambda * h.m_linear.y;
                f[2] += lambda * h.m_linear.z;
                t[0] += lambda * h.m_angular.x;
                t[1] += lambda * h.m_angular.y;
                t[2] += lambda * h.m_angular.z;
            }
        }
        const dgBody& body = island.m_bodies[b];
        const double tol = 1.0e-3 * (1.0 + std::fabs(f[0]) + std::fabs(f[1]) + std::fabs(f[2]));
        EXPECT_NEAR(body.m_force.x, f[0], tol);
        EXPECT_NEAR(body.m_force.y, f[1], tol);
        EXPECT_NEAR(body.m_force.z, f[2], tol);
        EXPECT_NEAR(body.m_torque.x, t[0], tol);
        EXPECT_NEAR(body.m_torque.y, t[1], tol);
        EXPECT_NEAR(body.m_torque.z, t[2], tol);
    }
}

} // namespace

// ---- Against a dense reference --------------------------------------------------------------------------

// Also the reason pinned rows are re-examined after a solve: without it, 54 of these 200 islands keep a
// row at a bound that the residual pulls back inside (by up to 1371, where 0.1 counts as solved).
TEST(dgJacobianSolver, BoundedIslandsOf3To12RowsMatchADenseReferenceAndAreComplementary) {
    RandomGeometry random(1234);
    for (int trial = 0; trial < 200; trial++) {
        const dgInt32 rows = 3 + trial % 10;
        const dgInt32 bodies = 2 + trial % 3;
        SyntheticIsland island(bodies);
        for (dgInt32 i = 0; i < rows; i++) {
            const dgInt32 rowClass = i % 3 == 0 ? dgRowBounds::kUnbounded
                                   : i % 3 == 1 ? dgRowBounds::kNonNegative
                                                : dgRowBounds::kClamped;
            island.AddRow(RandomRow(random, bodies, rowClass));
        }
        island.Load();
        dgSolveIsland(island.m_area);

        const std::vector<double> reference = island.Reference();
        const std::vector<double> residual = island.Residual();
        for (std::size_t i = 0; i < island.m_specs.size(); i++) {
            SCOPED_TRACE(::testing::Message() << "trial " << trial << " row " << i);
            const dgRowBounds& bounds = island.m_specs[i].bounds;
            const double lambda = island.m_feedback[i];
            EXPECT_NEAR(lambda, reference[i], 1.0e-3);
            EXPECT_GE(lambda, bounds.m_min);
            EXPECT_LE(lambda, bounds.m_max);
            // Inside its bounds a row is satisfied; at a bound it pushes only outwards. A residual counts
            // as met when less than 1e-3 of force on the row alone would remove it.
            const std::size_t n = island.m_specs.size();
            const double kResidualTol = std::max(0.1, 1.0e-3 * island.m_a[i * n + i]);
            if (lambda > bounds.m_min + 1.0e-5 && lambda < bounds.m_max - 1.0e-5) {
                EXPECT_LE(std::fabs(residual[i]), kResidualTol);
            } else if (lambda <= bounds.m_min + 1.0e-5) {
                EXPECT_LE(residual[i], kResidualTol);
            } else {
                EXPECT_GE(residual[i], -kResidualTol);
            }
        }
        ExpectAppliedForcesMatchFeedback(island);
    }
}

TEST(dgJacobianSolver, RandomBoundedSystemsNeverProduceNaN) {
    RandomGeometry random(99);
    for (int trial = 0; trial < 300; trial++) {
        const dgInt32 bodies = 1 + trial % 4;
        SyntheticIsland island(bodies);
        const dgInt32 rows = 1 + trial % 24;
        for (dgInt32 i = 0; i < rows; i++) {
            RowSpec row = RandomRow(random, bodies, -1 - i % 3);
            row.acceleration = random.Float(-1.0e6f, 1.0e6f);
            row.stiffness = random.Float(0.0f, 5.0f);
            if (i % 5 == 4) {
                // A row that moves nothing.
                row.jacobian = dgJacobianPair{};
            }
            island.AddRow(row, random.Float(-1.0e4f, 1.0e4f));
        }
        island.Load();
        dgSolveIsland(island.m_area);
        for (std::size_t i = 0; i < island.m_feedback.size(); i++) {
            EXPECT_TRUE(std::isfinite(island.m_feedback[i])) << "trial " << trial << " row " << i;
        }
        for (const dgBody& body : island.m_bodies) {
            EXPECT_TRUE(std::isfinite(body.m_force.x + body.m_force.y + body.m_force.z));
            EXPECT_TRUE(std::isfinite(body.m_torque.x + body.m_torque.y + body.m_torque.z));
        }
    }
}

TEST(dgJacobianSolver, ARowThatMovesNothingIsHeldAtZeroForce) {
    SyntheticIsland island(1);
    RowSpec solid{};
    solid.i0 = 1;
    solid.jacobian.m_jacobian0.m_linear = dgVector(0, 1, 0, 0);
    solid.acceleration = 10.0f;
    solid.stiffness = 1.0f;
    solid.bounds = dgRowBounds{-1e15f, 1e15f, dgRowBounds::kUnbounded, 0};
    RowSpec empty = solid;
    empty.jacobian = dgJacobianPair{};
    island.AddRow(solid);
    island.AddRow(empty, 5.0f);
    island.Load();
    EXPECT_EQ(island.m_area.m_invDiagonal[1], 0.0f);
    dgSolveIsland(island.m_area);
    EXPECT_EQ(island.m_feedback[1], 0.0f);
    // The real row gives the body its acceleration: f = m a, less the small regularisation.
    EXPECT_NEAR(island.m_feedback[0], 10.0f * kBodyMass / 1.001f, 0.1f * kBodyMass);
}

// ---- Friction ------------------------------------------------------------------------------------------

namespace {

/// A body resting on the world: a normal row along y and a friction row along x naming it.
void AddContact(SyntheticIsland& island, dgInt32 body, dgFloat32 normalAccel, dgFloat32 slideAccel,
                dgFloat32 mu) {
    const dgInt32 base = static_cast<dgInt32>(island.m_specs.size());
    RowSpec normal{};
    normal.i0 = body;
    normal.jacobian.m_jacobian0.m_linear = dgVector(0, 1, 0, 0);
    normal.acceleration = normalAccel;
    normal.stiffness = 1.0f;
    normal.bounds = dgRowBounds{0.0f, 1e15f, dgRowBounds::kNonNegative, 0};
    RowSpec friction = normal;
    friction.jacobian.m_jacobian0.m_linear = dgVector(1, 0, 0, 0);
    friction.acceleration = slideAccel;
    friction.bounds = dgRowBounds{-mu, mu, base, 0};
    island.AddRow(normal);
    island.AddRow(friction);
}

} // namespace

TEST(dgJacobianSolver, FrictionIsBoundedByItsCoefficientTimesTheNormalForce) {
    for (dgInt32 model = 0; model < 2; model++) {
        SyntheticIsland island(1);
        island.m_area.m_frictionModel = model;
        // Pressed down by 10 m/s^2 worth of weight, pushed sideways far harder than friction can hold.
        AddContact(island, 1, 10.0f, 100.0f, 0.5f);
        island.m_feedback[0] = 10.0f * kBodyMass; // model 1 takes its bounds from last step's normal force
        island.Load();
        dgSolveIsland(island.m_area);
        const dgFloat32 normal = island.m_feedback[0];
        // Solved to a residual of 0.1 m/s^2 on a body of 1/kBodyMass.
        EXPECT_NEAR(normal, 10.0f * kBodyMass / 1.001f, 0.1f * kBodyMass);
        EXPECT_NEAR(island.m_feedback[1], 0.5f * normal, 1.0e-6f) << "model " << model;
        ExpectAppliedForcesMatchFeedback(island);
    }
}

TEST(dgJacobianSolver, FrictionOfAContactWithoutNormalForceIsDroppedAndReportsZero) {
    SyntheticIsland island(1);
    AddContact(island, 1, -5.0f, 3.0f, 0.9f);
    island.m_feedback[1] = 7.0f; // last step's friction
    island.Load();
    dgSolveIsland(island.m_area);
    EXPECT_EQ(island.m_feedback[0], 0.0f);
    EXPECT_EQ(island.m_feedback[1], 0.0f);
    EXPECT_EQ(island.m_bodies[0].m_force.x, 0.0f);
}

TEST(dgJacobianSolver, FrictionRowsMovedBelowTheNormalsReportTheForceTheyApplied) {
    // Contact 0 separates (its normal stays at 0); contact 1 holds: its friction row takes the place of
    // the pinned normal row and must still report its own force.
    SyntheticIsland island(2);
    AddContact(island, 1, -5.0f, 0.0f, 0.9f);
    AddContact(island, 2, 10.0f, 3.0f, 0.9f);
    island.m_feedback[3] = 123.0f; // stale warm start, far outside the bounds
    island.Load();
    dgSolveIsland(island.m_area);
    EXPECT_EQ(island.m_feedback[0], 0.0f);
    EXPECT_GT(island.m_feedback[2], 0.0f);
    EXPECT_NEAR(island.m_feedback[3], 3.0f * kBodyMass / 1.001f, 0.1f * kBodyMass);
    ExpectAppliedForcesMatchFeedback(island);
}

// The normals-only solve leaves the limit row at 0 (alone it need not push); the friction then drags the
// body against it, and a limit no friction depends on must come back in and hold.
TEST(dgJacobianSolver, AUnilateralRowNoFrictionNamesHoldsAgainstTheFriction) {
    SyntheticIsland island(1);
    // Pressed down by 10 m/s^2, friction 0.5 dragging along -x at up to 5 m/s^2.
    AddContact(island, 1, 10.0f, -100.0f, 0.5f);
    RowSpec limit = island.m_specs[0];
    limit.jacobian.m_jacobian0.m_linear = dgVector(1, 0, 0, 0);
    limit.acceleration = -1.0f; // lets the body go at most 1 m/s^2 along -x
    island.AddRow(limit);
    island.Load();
    dgSolveIsland(island.m_area);
    EXPECT_NEAR(island.m_feedback[1], -0.5f * island.m_feedback[0], 1.0e-6f);
    EXPECT_NEAR(island.m_feedback[2], 4.0f * kBodyMass / 1.001f, 0.1f * kBodyMass);
    EXPECT_NEAR(island.m_bodies[0].m_force.x / kBodyMass, -1.0f, 0.1f);
    ExpectAppliedForcesMatchFeedback(island);
}

// ---- Kernels -------------------------------------------------------------------------------------------

TEST(dgJacobianSolver, IterationBudgetFollowsTheSolverModel) {
    dgSolverWorkArea area;
    area.m_solverModel = 0;
    EXPECT_EQ(dgGetIterationBudget(area, 80), 80);
    area.m_solverModel = 1;
    EXPECT_EQ(dgGetIterationBudget(area, 80), 24);
    EXPECT_EQ(dgGetIterationBudget(area, 10), 10);
    EXPECT_EQ(dgGetIterationBudget(area, 16), 16);
    area.m_solverModel = 5;
    EXPECT_EQ(dgGetIterationBudget(area, 3), 3);
    EXPECT_EQ(dgGetIterationBudget(area, 30), 5);
}

TEST(dgJacobianSolver, MultiplyRowsIsTheDenseProductAndSwapKeepsRowsWhole) {
    RandomGeometry random(7);
    SyntheticIsland island(3);
    for (dgInt32 i = 0; i < 9; i++) {
        island.AddRow(RandomRow(random, 3, dgRowBounds::kUnbounded));
    }
    island.Load();
    std::vector<dgFloat32> x(9);
    std::vector<dgFloat32> y(9);
    for (dgFloat32& v : x) {
        v = random.Float(-1.0f, 1.0f);
    }
    dgMultiplyRows(island.m_area, 9, x.data(), y.data());
    for (std::size_t i = 0; i < 9; i++) {
        double expected = 0.0;
        for (std::size_t j = 0; j < 9; j++) {
            expected += island.m_a[i * 9 + j] * x[j];
        }
        EXPECT_NEAR(y[i], expected, 1.0e-3 * (1.0 + std::fabs(expected)));
    }

    // Swapping two rows and their inputs permutes the product and nothing else.
    dgSwapRows(island.m_area, 2, 7);
    std::swap(x[2], x[7]);
    std::vector<dgFloat32> swapped(9);
    dgMultiplyRows(island.m_area, 9, x.data(), swapped.data());
    std::swap(swapped[2], swapped[7]);
    for (std::size_t i = 0; i < 9; i++) {
        EXPECT_NEAR(swapped[i], y[i], 1.0e-3 * (1.0 + std::fabs(y[i])));
    }
    EXPECT_EQ(island.m_area.m_feedback[2], &island.m_feedback[7]);
}

TEST(dgJacobianSolver, WorkAreaGrowsPastTheOldCapacitiesKeepingItsContents) {
    dgSolverWorkArea area;
    area.ReserveRows(10);
    area.m_rowCount = 10;
    for (dgInt32 i = 0; i < 10; i++) {
        area.m_rhs[i] = static_cast<dgFloat32>(i);
    }
    area.ReserveRows(20000);
    area.ReserveBodies(600);
    EXPECT_GE(area.m_rowCapacity, 20000);
    EXPECT_GE(area.m_bodyCapacity, 600);
    for (dgInt32 i = 0; i < 10; i++) {
        EXPECT_EQ(area.m_rhs[i], static_cast<dgFloat32>(i));
    }
    area.m_rhs[19999] = 1.0f;
}
