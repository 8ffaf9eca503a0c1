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
constexpr unsigned kSeeds = 32;

/// Within kRelative of the larger value, or of `scale` where a sum cancels to less than its terms.
::testing::AssertionResult Agree(double scalar, double packed, double scale = 0.0) {
    const double size = std::max({std::fabs(scalar), std::fabs(packed), scale});
    if (std::fabs(scalar - packed) <= kRelative * size + kAbsolute) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "scalar " << scalar << " packed " << packed;
}

double LargestOf(const dgFloat32* values, std::size_t n) {
    double largest = 0.0;
    for (std::size_t i = 0; i < n; i++) {
        largest = std::max(largest, static_cast<double>(std::fabs(values[i])));
    }
    return largest;
}

/// A random, well-conditioned island loaded into its own work area, the row matrix built: bodies of mass
/// 1 to 3 turned at random, twice as many as rows (so A's condition number stays small); joints of one to
/// three equality rows, bounded limit rows and contacts (a normal row and up to two friction rows naming
/// it) between random pairs, the static slot on either side; warm starts inside and outside the bounds.
/// Two islands made from the same arguments are identical copies.
struct RandomIsland {
    dgSolverWorkArea area;
    std::vector<dgBody> bodies;
    std::vector<dgFloat32> feedback;
    std::vector<dgFloat32> warmStarts;

    RandomIsland(dgInt32 rowCount, unsigned seed, bool frictionLast = false)
        : bodies(static_cast<std::size_t>(2 * rowCount)), feedback(static_cast<std::size_t>(rowCount)) {
        RandomGeometry random(seed);
        const dgInt32 bodyCount = 2 * rowCount;
        area.Clear();
        area.ReserveBodies(bodyCount + 1);
        area.ReserveRows(rowCount);
        for (dgInt32 b = 1; b <= bodyCount; b++) {
            dgBody& body = bodies[static_cast<std::size_t>(b - 1)];
            body.m_matrix = random.RigidMatrix(0.0f);
            body.m_invMass = dgVector(1.0f / random.Float(0.5f, 2.0f), 1.0f / random.Float(0.5f, 2.0f),
                                      1.0f / random.Float(0.5f, 2.0f), 1.0f / random.Float(1.0f, 3.0f));
            body.m_force = random.Point(-10.0f, 10.0f);
            body.m_torque = random.Point(-10.0f, 10.0f);
            area.m_bodies[b] = &body;
            area.m_invMass[b] = body.m_invMass.w;
            body.CalcInvInertiaMatrix(area.m_invInertia[b]);
        }
        area.m_bodyCount = bodyCount + 1;
        struct Contact {
            dgInt32 normal, i0, i1, frictionRows;
        };
        std::vector<Contact> held; // contacts whose friction rows go behind every other row
        dgInt32 heldRows = 0;
        while (area.m_rowCount + heldRows < rowCount) {
            const dgInt32 room = rowCount - area.m_rowCount - heldRows;
            dgInt32 i0 = 1 + static_cast<dgInt32>(random.Float(0.0f, 0.999f) * static_cast<dgFloat32>(bodyCount));
            dgInt32 i1 = static_cast<dgInt32>(random.Float(0.0f, 0.999f) * static_cast<dgFloat32>(bodyCount + 1));
            i1 = i1 == i0 ? 0 : i1;
            if (random.Float(0.0f, 1.0f) < 0.2f) {
                std::swap(i0, i1);
            }
            const dgInt32 kind = static_cast<dgInt32>(random.Float(0.0f, 2.999f));
            if (kind == 0) {
                for (dgInt32 k = std::min(room, 1 + static_cast<dgInt32>(random.Float(0.0f, 2.999f))); k > 0; k--) {
                    AddRow(random, i0, i1, dgRowBounds::kUnbounded, -1.0e15f, 1.0e15f);
                }
            } else if (kind == 1) {
                const dgFloat32 limit = random.Float(100.0f, 5000.0f);
                AddRow(random, i0, i1, dgRowBounds::kClamped, -limit, limit);
            } else {
                const Contact contact{AddRow(random, i0, i1, dgRowBounds::kNonNegative, 0.0f, 1.0e15f), i0, i1,
                                      std::min(room - 1, static_cast<dgInt32>(random.Float(0.0f, 2.999f)))};
                if (frictionLast) {
                    held.push_back(contact);
                    heldRows += contact.frictionRows;
                } else {
                    AddFriction(random, contact.normal, i0, i1, contact.frictionRows);
                }
            }
        }
        for (const Contact& contact : held) {
            AddFriction(random, contact.normal, contact.i0, contact.i1, contact.frictionRows);
        }
        dgBuildRowMatrix(area);
    }

    void AddFriction(RandomGeometry& random, dgInt32 normal, dgInt32 i0, dgInt32 i1, dgInt32 count) {
        for (dgInt32 k = 0; k < count; k++) {
            const dgFloat32 mu = random.Float(0.1f, 1.0f);
            AddRow(random, i0, i1, normal, -mu, mu);
        }
    }

    /// Appends a row with the given class and bounds; returns its index.
    dgInt32 AddRow(RandomGeometry& random, dgInt32 i0, dgInt32 i1, dgInt32 rowClass, dgFloat32 lo, dgFloat32 hi) {
        const dgInt32 i = area.m_rowCount++;
        area.m_bodyPairs[2 * i] = i0;
        area.m_bodyPairs[2 * i + 1] = i1;
        area.m_jacobians[i].m_jacobian0 = {random.UnitVector(), random.UnitVector().Scale(random.Float(0.1f, 1.0f))};
        area.m_jacobians[i].m_jacobian1 = {random.UnitVector(), random.UnitVector().Scale(random.Float(0.1f, 1.0f))};
        area.m_bounds[i] = dgRowBounds{lo, hi, rowClass, 0};
        area.m_rhs[i] = random.Float(-1.0e4f, 1.0e4f);
        area.m_regularisation[i] = 0.5f;
        area.m_frictionFloor[i] = area.m_frictionThreshold / (area.m_invMass[i0] + area.m_invMass[i1]);
        feedback[static_cast<std::size_t>(i)] = random.Float(-6.0e3f, 6.0e3f);
        warmStarts.push_back(feedback[static_cast<std::size_t>(i)]);
        area.m_feedback[i] = &feedback[static_cast<std::size_t>(i)];
        area.m_force[i] = std::clamp(feedback[static_cast<std::size_t>(i)], lo, hi);
        area.m_permutation[i] = i;
        return i;
    }
};

/// The scale of an island's forces: a solve moves every force by steps as large as the largest force or
/// warm start, so its rounding is a share of that, not of each force's own size.
double ForceScale(const RandomIsland& island) {
    return std::max(LargestOf(island.area.m_force, island.feedback.size()),
                    LargestOf(island.warmStarts.data(), island.warmStarts.size()));
}

void ExpectRowsAgree(const RandomIsland& scalar, const RandomIsland& packed) {
    const double scale = ForceScale(scalar);
    for (std::size_t i = 0; i < scalar.feedback.size(); i++) {
        SCOPED_TRACE(::testing::Message() << "row " << i);
        EXPECT_EQ(scalar.area.m_permutation[i], packed.area.m_permutation[i]);
        EXPECT_TRUE(Agree(scalar.area.m_force[i], packed.area.m_force[i], scale));
        EXPECT_TRUE(Agree(scalar.feedback[i], packed.feedback[i], scale));
    }
}

void ExpectBodiesAgree(const RandomIsland& scalar, const RandomIsland& packed) {
    // A body's force is its applied force plus every row's push: the terms set the scale.
    double scale = ForceScale(scalar);
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

class dgJacobianSolverPacked : public ::testing::TestWithParam<dgInt32> {};

TEST_P(dgJacobianSolverPacked, ProductsResidualsAndSolvedRowsAgree) {
    for (unsigned seed = 0; seed < kSeeds; seed++) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        RandomIsland scalar(GetParam(), seed);
        RandomIsland packed(GetParam(), seed);
        const dgInt32 n = GetParam();
        std::vector<dgFloat32> ys(static_cast<std::size_t>(n));
        std::vector<dgFloat32> yp(static_cast<std::size_t>(n));
        dgMultiplyRows(scalar.area, n, scalar.area.m_force, ys.data());
        dgMultiplyRowsSimd(packed.area, n, packed.area.m_force, yp.data());
        const dgFloat32 rmax = dgCalcResidual(scalar.area, n);
        EXPECT_TRUE(Agree(rmax, dgCalcResidualSimd(packed.area, n)));
        // A row's product sums terms as large as the largest product.
        const double scale = std::max(static_cast<double>(rmax), LargestOf(ys.data(), ys.size()));
        for (dgInt32 i = 0; i < n; i++) {
            EXPECT_TRUE(Agree(ys[static_cast<std::size_t>(i)], yp[static_cast<std::size_t>(i)], scale));
            EXPECT_TRUE(Agree(scalar.area.m_residual[i], packed.area.m_residual[i], scale));
        }
        EXPECT_EQ(dgSolveRows(scalar.area, n), dgSolveRowsSimd(packed.area, n));
        ExpectRowsAgree(scalar, packed);
    }
}

TEST_P(dgJacobianSolverPacked, FrictionBoundsAndAppliedForcesAgree) {
    for (unsigned seed = 0; seed < kSeeds; seed++) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        RandomIsland scalar(GetParam(), seed, true);
        RandomIsland packed(GetParam(), seed, true);
        dgInt32 first = 0;
        while (first < GetParam() && scalar.area.m_bounds[first].m_class < 0) {
            first++;
        }
        // Normal forces around 0 (the warm starts), so some friction rows are dropped and some kept.
        std::copy(scalar.warmStarts.begin(), scalar.warmStarts.begin() + first, scalar.area.m_force);
        std::copy(packed.warmStarts.begin(), packed.warmStarts.begin() + first, packed.area.m_force);
        dgBoundFrictionRows(scalar.area, first);
        dgBoundFrictionRowsSimd(packed.area, first);
        ASSERT_EQ(scalar.area.m_rowCount, packed.area.m_rowCount);
        for (dgInt32 i = 0; i < scalar.area.m_rowCount; i++) {
            EXPECT_EQ(scalar.area.m_bounds[i].m_min, packed.area.m_bounds[i].m_min);
            EXPECT_EQ(scalar.area.m_bounds[i].m_max, packed.area.m_bounds[i].m_max);
        }
        ExpectRowsAgree(scalar, packed);
        dgApplyRowForces(scalar.area);
        dgApplyRowForcesSimd(packed.area);
        ExpectBodiesAgree(scalar, packed);
    }
}

TEST_P(dgJacobianSolverPacked, WholeIslandsGiveTheSamePartitionForcesAndBodyForces) {
    for (unsigned seed = 0; seed < kSeeds; seed++) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        RandomIsland scalar(GetParam(), seed);
        RandomIsland packed(GetParam(), seed);
        dgSolveIsland(scalar.area);
        dgSolveIslandSimd(packed.area);
        EXPECT_EQ(scalar.area.m_rowCount, packed.area.m_rowCount);
        ExpectRowsAgree(scalar, packed);
        ExpectBodiesAgree(scalar, packed);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, dgJacobianSolverPacked, ::testing::Values(1, 2, 3, 4, 5, 7, 8, 9, 16, 17, 63, 100));

TEST(dgJacobianSolverPackedRows, SwapsKeepEveryPerRowArrayInStep) {
    constexpr dgInt32 n = 17;
    RandomIsland scalar(n, 5);
    RandomIsland packed(n, 5);
    // Row i carries tag i in every array the solve reads after an exchange, its feedback slot included.
    auto floatArrays = [](const dgSolverWorkArea& a) {
        return std::vector<dgFloat32*>{a.m_invDiagonal, a.m_regularisation, a.m_rhs, a.m_frictionFloor,
                                       a.m_residual, a.m_force, a.m_q, a.m_p};
    };
    for (RandomIsland* island : {&scalar, &packed}) {
        dgSolverWorkArea& a = island->area;
        for (dgInt32 i = 0; i < n; i++) {
            a.m_bodyPairs[2 * i] = i;
            a.m_bodyPairs[2 * i + 1] = -i;
            std::fill(a.m_rowJ + 16 * i, a.m_rowJ + 16 * (i + 1), static_cast<dgFloat32>(i));
            std::fill(a.m_rowJMinv + 16 * i, a.m_rowJMinv + 16 * (i + 1), static_cast<dgFloat32>(-i));
            a.m_bounds[i] = dgRowBounds{static_cast<dgFloat32>(i), static_cast<dgFloat32>(i), i, i};
            for (dgFloat32* array : floatArrays(a)) {
                array[i] = static_cast<dgFloat32>(i);
            }
        }
    }
    RandomGeometry random(3);
    for (int k = 0; k < 200; k++) {
        const dgInt32 i = static_cast<dgInt32>(random.Float(0.0f, 0.999f) * n);
        const dgInt32 j = static_cast<dgInt32>(random.Float(0.0f, 0.999f) * n);
        dgSwapRows(scalar.area, i, j);
        dgSwapRowsSimd(packed.area, i, j);
    }
    for (RandomIsland* island : {&scalar, &packed}) {
        const dgSolverWorkArea& a = island->area;
        for (dgInt32 k = 0; k < n; k++) {
            const dgInt32 tag = a.m_permutation[k];
            const auto is = [tag](dgFloat32 v) { return v == static_cast<dgFloat32>(tag); };
            EXPECT_EQ(tag, scalar.area.m_permutation[k]);
            EXPECT_EQ(a.m_bodyPairs[2 * k] + a.m_bodyPairs[2 * k + 1], 0);
            EXPECT_EQ(a.m_bodyPairs[2 * k], tag);
            EXPECT_TRUE(std::all_of(a.m_rowJ + 16 * k, a.m_rowJ + 16 * (k + 1), is));
            EXPECT_TRUE(std::all_of(a.m_rowJMinv + 16 * k, a.m_rowJMinv + 16 * (k + 1),
                                    [tag](dgFloat32 v) { return v == static_cast<dgFloat32>(-tag); }));
            EXPECT_TRUE(a.m_bounds[k].m_class == tag && a.m_bounds[k].m_slot == tag && is(a.m_bounds[k].m_max));
            EXPECT_EQ(a.m_feedback[k], &island->feedback[static_cast<std::size_t>(tag)]);
            for (const dgFloat32* array : floatArrays(a)) {
                EXPECT_TRUE(is(array[k]));
            }
        }
    }
}

TEST(dgJacobianSolverPackedRows, FiveRowsRunAsOneGroupOfFourAndOneLeftOverRow) {
    RandomIsland scalar(8, 11);
    RandomIsland packed(8, 11);
    constexpr dgFloat32 kUntouched = 12345.0f;
    std::fill(scalar.area.m_residual, scalar.area.m_residual + 8, kUntouched);
    std::fill(packed.area.m_residual, packed.area.m_residual + 8, kUntouched);
    EXPECT_TRUE(Agree(dgCalcResidual(scalar.area, 5), dgCalcResidualSimd(packed.area, 5)));
    for (dgInt32 i = 0; i < 8; i++) {
        EXPECT_EQ(packed.area.m_residual[i] == kUntouched, i >= 5) << "row " << i;
        EXPECT_TRUE(Agree(scalar.area.m_residual[i], packed.area.m_residual[i])) << "row " << i;
    }
}

} // namespace
#endif
