#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJacobianSolver.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#if ORVALEN_PACKED_BUILD
namespace {

// The two builds differ only in the order of their additions.
constexpr double kRelative = 1.0e-5;
constexpr double kAbsolute = 1.0e-6;

/// Within kRelative of the larger value, or of `scale` where a sum cancels to less than its terms.
::testing::AssertionResult Agree(double scalar, double packed, double scale = 0.0) {
    const double size = std::max({std::fabs(scalar), std::fabs(packed), scale});
    if (std::fabs(scalar - packed) <= kRelative * size + kAbsolute) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "scalar " << scalar << " packed " << packed;
}

struct RowSpec {
    dgInt32 i0;
    dgInt32 i1;
    dgJacobianPair jacobian;
    dgRowBounds bounds;
    dgFloat32 acceleration;
    dgFloat32 warmStart;
};

/// A random, well-conditioned island: bodies of mass 1 to 3 turned at random, joints of one to three
/// equality rows, bounded limit rows and contacts (a normal row and up to two friction rows naming it)
/// between random body pairs, the static slot included; warm starts inside and outside their bounds.
struct IslandSpec {
    std::vector<dgMatrix> rotations;
    std::vector<dgVector> invMass; ///< inverse principal inertias, then inverse mass in w
    std::vector<dgVector> applied; ///< force, torque per body
    std::vector<RowSpec> rows;

    IslandSpec(dgInt32 rowCount, unsigned seed, bool frictionLast = false) {
        RandomGeometry random(seed);
        // Rows far fewer than the bodies' freedoms keep A's condition number small.
        const dgInt32 bodies = 2 * rowCount;
        for (dgInt32 b = 0; b < bodies; b++) {
            rotations.push_back(random.RigidMatrix(0.0f));
            const dgFloat32 mass = random.Float(1.0f, 3.0f);
            invMass.emplace_back(1.0f / random.Float(0.5f, 2.0f), 1.0f / random.Float(0.5f, 2.0f),
                                 1.0f / random.Float(0.5f, 2.0f), 1.0f / mass);
            applied.push_back(random.Point(-10.0f, 10.0f));
            applied.push_back(random.Point(-10.0f, 10.0f));
        }
        std::vector<RowSpec> friction;
        while (static_cast<dgInt32>(rows.size() + friction.size()) < rowCount) {
            const dgInt32 room = rowCount - static_cast<dgInt32>(rows.size() + friction.size());
            dgInt32 i0 = 1 + static_cast<dgInt32>(random.Float(0.0f, 0.999f) * static_cast<dgFloat32>(bodies));
            dgInt32 i1 = static_cast<dgInt32>(random.Float(0.0f, 0.999f) * static_cast<dgFloat32>(bodies + 1));
            if (i1 == i0) {
                i1 = 0;
            }
            if (random.Float(0.0f, 1.0f) < 0.2f) {
                std::swap(i0, i1); // the static slot on either side
            }
            const dgInt32 kind = static_cast<dgInt32>(random.Float(0.0f, 2.999f));
            if (kind == 0) {
                const dgInt32 count = std::min(room, 1 + static_cast<dgInt32>(random.Float(0.0f, 2.999f)));
                for (dgInt32 k = 0; k < count; k++) {
                    rows.push_back(Row(random, i0, i1, dgRowBounds::kUnbounded, -1.0e15f, 1.0e15f));
                }
            } else if (kind == 1) {
                const dgFloat32 limit = random.Float(100.0f, 5000.0f);
                rows.push_back(Row(random, i0, i1, dgRowBounds::kClamped, -limit, limit));
            } else {
                const dgInt32 normal = static_cast<dgInt32>(rows.size());
                rows.push_back(Row(random, i0, i1, dgRowBounds::kNonNegative, 0.0f, 1.0e15f));
                const dgInt32 count = std::min(room - 1, static_cast<dgInt32>(random.Float(0.0f, 2.999f)));
                for (dgInt32 k = 0; k < count; k++) {
                    const dgFloat32 mu = random.Float(0.1f, 1.0f);
                    (frictionLast ? friction : rows).push_back(Row(random, i0, i1, normal, -mu, mu));
                }
            }
        }
        rows.insert(rows.end(), friction.begin(), friction.end());
    }

    static RowSpec Row(RandomGeometry& random, dgInt32 i0, dgInt32 i1, dgInt32 rowClass, dgFloat32 lo, dgFloat32 hi) {
        RowSpec row{};
        row.i0 = i0;
        row.i1 = i1;
        row.jacobian.m_jacobian0 = {random.UnitVector(), random.UnitVector().Scale(random.Float(0.1f, 1.0f))};
        row.jacobian.m_jacobian1 = {random.UnitVector(), random.UnitVector().Scale(random.Float(0.1f, 1.0f))};
        row.bounds = dgRowBounds{lo, hi, rowClass, 0};
        row.acceleration = random.Float(-1.0e4f, 1.0e4f);
        row.warmStart = random.Float(-6.0e3f, 6.0e3f);
        return row;
    }
};

/// One build's copy of an island: its own bodies, feedback slots and work area, the row matrix built.
struct IslandCopy {
    dgSolverWorkArea area;
    std::vector<dgBody> bodies;
    std::vector<dgFloat32> feedback;

    explicit IslandCopy(const IslandSpec& spec) : bodies(spec.rotations.size()) {
        const dgInt32 bodyCount = static_cast<dgInt32>(bodies.size());
        area.Clear();
        area.ReserveBodies(bodyCount + 1);
        for (dgInt32 b = 0; b < bodyCount; b++) {
            dgBody& body = bodies[static_cast<std::size_t>(b)];
            body.m_matrix = spec.rotations[static_cast<std::size_t>(b)];
            body.m_invMass = spec.invMass[static_cast<std::size_t>(b)];
            body.m_force = spec.applied[static_cast<std::size_t>(2 * b)];
            body.m_torque = spec.applied[static_cast<std::size_t>(2 * b + 1)];
            area.m_bodies[b + 1] = &body;
            area.m_invMass[b + 1] = body.m_invMass.w;
            body.CalcInvInertiaMatrix(area.m_invInertia[b + 1]);
        }
        area.m_bodyCount = bodyCount + 1;
        const dgInt32 n = static_cast<dgInt32>(spec.rows.size());
        feedback.resize(spec.rows.size());
        area.ReserveRows(n);
        for (dgInt32 i = 0; i < n; i++) {
            const RowSpec& row = spec.rows[static_cast<std::size_t>(i)];
            feedback[static_cast<std::size_t>(i)] = row.warmStart;
            area.m_bodyPairs[2 * i] = row.i0;
            area.m_bodyPairs[2 * i + 1] = row.i1;
            area.m_jacobians[i] = row.jacobian;
            area.m_bounds[i] = row.bounds;
            area.m_feedback[i] = &feedback[static_cast<std::size_t>(i)];
            area.m_rhs[i] = row.acceleration;
            area.m_regularisation[i] = 0.5f;
            area.m_frictionFloor[i] = area.m_frictionThreshold / (area.m_invMass[row.i0] + area.m_invMass[row.i1]);
            area.m_force[i] = std::clamp(row.warmStart, row.bounds.m_min, row.bounds.m_max);
            area.m_permutation[i] = i;
        }
        area.m_rowCount = n;
        dgBuildRowMatrix(area);
    }
};

/// The largest magnitude of the first n values.
double LargestOf(const dgFloat32* values, dgInt32 n) {
    double largest = 0.0;
    for (dgInt32 i = 0; i < n; i++) {
        largest = std::max(largest, static_cast<double>(std::fabs(values[i])));
    }
    return largest;
}

/// The scale of an island's forces: a solve moves every force by steps as large as the largest force
/// or warm start, so its rounding is a share of that, not of each force's own size.
double ForceScale(const IslandSpec& spec, const IslandCopy& copy) {
    double scale = LargestOf(copy.area.m_force, static_cast<dgInt32>(spec.rows.size()));
    for (const RowSpec& row : spec.rows) {
        scale = std::max(scale, static_cast<double>(std::fabs(row.warmStart)));
    }
    return scale;
}

void ExpectRowsAgree(const IslandSpec& spec, const IslandCopy& scalar, const IslandCopy& packed) {
    const double scale = ForceScale(spec, scalar);
    for (dgInt32 i = 0; i < static_cast<dgInt32>(spec.rows.size()); i++) {
        SCOPED_TRACE(::testing::Message() << "row " << i);
        EXPECT_EQ(scalar.area.m_permutation[i], packed.area.m_permutation[i]);
        EXPECT_TRUE(Agree(scalar.area.m_force[i], packed.area.m_force[i], scale));
        EXPECT_TRUE(Agree(scalar.feedback[static_cast<std::size_t>(i)], packed.feedback[static_cast<std::size_t>(i)], scale));
    }
}

void ExpectBodiesAgree(const IslandSpec& spec, const IslandCopy& scalar, const IslandCopy& packed) {
    // A body's force is its applied force plus every row's push: the terms set the scale.
    double scale = ForceScale(spec, scalar);
    for (const dgBody& body : scalar.bodies) {
        scale = std::max({scale, LargestOf(&body.m_force.x, 3), LargestOf(&body.m_torque.x, 3)});
    }
    for (std::size_t b = 0; b < scalar.bodies.size(); b++) {
        for (dgInt32 k = 0; k < 3; k++) {
            EXPECT_TRUE(Agree(scalar.bodies[b].m_force[k], packed.bodies[b].m_force[k], scale)) << "body " << b;
            EXPECT_TRUE(Agree(scalar.bodies[b].m_torque[k], packed.bodies[b].m_torque[k], scale)) << "body " << b;
        }
    }
}

constexpr unsigned kSeeds = 32;

class dgJacobianSolverPacked : public ::testing::TestWithParam<dgInt32> {};

TEST_P(dgJacobianSolverPacked, RowProductsAndResidualsAgree) {
    for (unsigned seed = 0; seed < kSeeds; seed++) {
        const IslandSpec spec(GetParam(), seed);
        IslandCopy scalar(spec);
        IslandCopy packed(spec);
        const dgInt32 n = scalar.area.m_rowCount;
        std::vector<dgFloat32> ys(static_cast<std::size_t>(n));
        std::vector<dgFloat32> yp(static_cast<std::size_t>(n));
        dgMultiplyRows(scalar.area, n, scalar.area.m_force, ys.data());
        dgMultiplyRowsSimd(packed.area, n, packed.area.m_force, yp.data());
        const dgFloat32 rmax = dgCalcResidual(scalar.area, n);
        EXPECT_TRUE(Agree(rmax, dgCalcResidualSimd(packed.area, n)));
        // A row's product sums terms as large as the largest product.
        const dgFloat32 scale = std::max(rmax, *std::max_element(ys.begin(), ys.end(), [](dgFloat32 a, dgFloat32 b) {
            return std::fabs(a) < std::fabs(b);
        }));
        for (dgInt32 i = 0; i < n; i++) {
            EXPECT_TRUE(Agree(ys[static_cast<std::size_t>(i)], yp[static_cast<std::size_t>(i)], std::fabs(scale)));
            EXPECT_TRUE(Agree(scalar.area.m_residual[i], packed.area.m_residual[i], std::fabs(scale)));
        }
    }
}

TEST_P(dgJacobianSolverPacked, SolvedRowsKeepTheSameActiveSetAndForces) {
    for (unsigned seed = 0; seed < kSeeds; seed++) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        const IslandSpec spec(GetParam(), seed);
        IslandCopy scalar(spec);
        IslandCopy packed(spec);
        const dgInt32 n = scalar.area.m_rowCount;
        dgCalcResidual(scalar.area, n);
        dgCalcResidualSimd(packed.area, n);
        EXPECT_EQ(dgSolveRows(scalar.area, n), dgSolveRowsSimd(packed.area, n));
        ExpectRowsAgree(spec, scalar, packed);
    }
}

TEST_P(dgJacobianSolverPacked, FrictionBoundsAndAppliedForcesAgree) {
    for (unsigned seed = 0; seed < kSeeds; seed++) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        const IslandSpec spec(GetParam(), seed, true);
        IslandCopy scalar(spec);
        IslandCopy packed(spec);
        dgInt32 first = 0;
        while (first < scalar.area.m_rowCount && scalar.area.m_bounds[first].m_class < 0) {
            first++;
        }
        // Normal forces around 0, so some friction rows are dropped and some kept.
        for (dgInt32 i = 0; i < first; i++) {
            scalar.area.m_force[i] = packed.area.m_force[i] = spec.rows[static_cast<std::size_t>(i)].warmStart;
        }
        dgBoundFrictionRows(scalar.area, first);
        dgBoundFrictionRowsSimd(packed.area, first);
        ASSERT_EQ(scalar.area.m_rowCount, packed.area.m_rowCount);
        for (dgInt32 i = 0; i < scalar.area.m_rowCount; i++) {
            EXPECT_EQ(scalar.area.m_bounds[i].m_min, packed.area.m_bounds[i].m_min);
            EXPECT_EQ(scalar.area.m_bounds[i].m_max, packed.area.m_bounds[i].m_max);
        }
        ExpectRowsAgree(spec, scalar, packed);
        dgApplyRowForces(scalar.area);
        dgApplyRowForcesSimd(packed.area);
        ExpectBodiesAgree(spec, scalar, packed);
    }
}

TEST_P(dgJacobianSolverPacked, WholeIslandsGiveTheSamePartitionForcesAndBodyForces) {
    for (unsigned seed = 0; seed < kSeeds; seed++) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        const IslandSpec spec(GetParam(), seed);
        IslandCopy scalar(spec);
        IslandCopy packed(spec);
        dgSolveIsland(scalar.area);
        dgSolveIslandSimd(packed.area);
        EXPECT_EQ(scalar.area.m_rowCount, packed.area.m_rowCount);
        ExpectRowsAgree(spec, scalar, packed);
        ExpectBodiesAgree(spec, scalar, packed);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, dgJacobianSolverPacked, ::testing::Values(1, 2, 3, 4, 5, 7, 8, 9, 16, 17, 63, 100));

TEST(dgJacobianSolverPackedRows, SwapsKeepEveryPerRowArrayInStep) {
    const IslandSpec spec(17, 5);
    IslandCopy scalar(spec);
    IslandCopy packed(spec);
    const dgInt32 n = scalar.area.m_rowCount;
    // Row i carries tag i in every array the solve reads after an exchange.
    for (IslandCopy* copy : {&scalar, &packed}) {
        dgSolverWorkArea& a = copy->area;
        for (dgInt32 i = 0; i < n; i++) {
            const dgFloat32 tag = static_cast<dgFloat32>(i);
            a.m_bodyPairs[2 * i] = i;
            a.m_bodyPairs[2 * i + 1] = -i;
            std::fill(a.m_rowJ + 16 * i, a.m_rowJ + 16 * (i + 1), tag);
            std::fill(a.m_rowJMinv + 16 * i, a.m_rowJMinv + 16 * (i + 1), -tag);
            a.m_bounds[i] = dgRowBounds{tag, tag, i, i};
            a.m_feedback[i] = &copy->feedback[static_cast<std::size_t>(i)];
            for (dgFloat32* array : {a.m_invDiagonal, a.m_regularisation, a.m_rhs, a.m_frictionFloor, a.m_residual,
                                     a.m_force, a.m_q, a.m_p}) {
                array[i] = tag;
            }
            a.m_permutation[i] = i;
        }
    }
    RandomGeometry random(3);
    for (int k = 0; k < 200; k++) {
        const dgInt32 i = static_cast<dgInt32>(random.Float(0.0f, 0.999f) * static_cast<dgFloat32>(n));
        const dgInt32 j = static_cast<dgInt32>(random.Float(0.0f, 0.999f) * static_cast<dgFloat32>(n));
        dgSwapRows(scalar.area, i, j);
        dgSwapRowsSimd(packed.area, i, j);
    }
    for (IslandCopy* copy : {&scalar, &packed}) {
        const dgSolverWorkArea& a = copy->area;
        for (dgInt32 k = 0; k < n; k++) {
            const dgInt32 tag = a.m_permutation[k];
            const dgFloat32 t = static_cast<dgFloat32>(tag);
            EXPECT_EQ(a.m_permutation[k], scalar.area.m_permutation[k]);
            EXPECT_EQ(a.m_bodyPairs[2 * k], tag);
            EXPECT_EQ(a.m_bodyPairs[2 * k + 1], -tag);
            EXPECT_TRUE(std::all_of(a.m_rowJ + 16 * k, a.m_rowJ + 16 * (k + 1), [t](dgFloat32 v) { return v == t; }));
            EXPECT_TRUE(std::all_of(a.m_rowJMinv + 16 * k, a.m_rowJMinv + 16 * (k + 1),
                                    [t](dgFloat32 v) { return v == -t; }));
            EXPECT_EQ(a.m_bounds[k].m_class, tag);
            EXPECT_EQ(a.m_bounds[k].m_slot, tag);
            EXPECT_EQ(a.m_feedback[k], &copy->feedback[static_cast<std::size_t>(tag)]);
            for (const dgFloat32* array : {a.m_invDiagonal, a.m_regularisation, a.m_rhs, a.m_frictionFloor,
                                           a.m_residual, a.m_force, a.m_q, a.m_p}) {
                EXPECT_EQ(array[k], t);
            }
        }
    }
}

TEST(dgJacobianSolverPackedRows, FiveRowsRunAsOneGroupOfFourAndOneLeftOverRow) {
    const IslandSpec spec(8, 11);
    IslandCopy scalar(spec);
    IslandCopy packed(spec);
    constexpr dgFloat32 kUntouched = 12345.0f;
    for (IslandCopy* copy : {&scalar, &packed}) {
        std::fill(copy->area.m_residual, copy->area.m_residual + 8, kUntouched);
    }
    EXPECT_TRUE(Agree(dgCalcResidual(scalar.area, 5), dgCalcResidualSimd(packed.area, 5)));
    for (dgInt32 i = 0; i < 8; i++) {
        EXPECT_EQ(packed.area.m_residual[i] == kUntouched, i >= 5) << "row " << i;
        EXPECT_TRUE(Agree(scalar.area.m_residual[i], packed.area.m_residual[i])) << "row " << i;
    }
}

} // namespace
#endif
