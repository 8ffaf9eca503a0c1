#include "physics/dynamics/dgJacobianSolver.h"

#include "physics/dynamics/dgJacobianSolverSimd.h"

#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgBody.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

constexpr dgFloat32 kRegularisation = 0.001f;
constexpr dgFloat32 kPreSolveResidual = 1.0e-4f;
constexpr dgFloat32 kSolvedResidual = 0.1f;
constexpr dgFloat32 kAtBound = 1.0e-5f;
constexpr dgFloat32 kSmallStep = 1.0e-8f;
constexpr dgFloat32 kMinCurvature = 1.0e-16f;
constexpr dgFloat32 kMinDirection = 1.0e-16f;
constexpr dgFloat32 kMinZr = 1.0e-17f;
constexpr dgInt32 kMaxSolvePasses = 8;
constexpr dgInt32 kMinCapacity = 64;

template <typename T>
void Grow(T*& array, dgInt32 used, dgInt32 capacity) {
    T* grown = static_cast<T*>(dgMalloc(sizeof(T) * static_cast<std::size_t>(capacity)));
    if (array != nullptr) {
        dgCopyBytes(static_cast<void*>(grown), static_cast<const void*>(array),
                    sizeof(T) * static_cast<std::size_t>(used));
        dgFree(array);
    }
    array = grown;
}

constexpr dgInt32 kRowFloats = dgSolverWorkArea::kRowFloats;
constexpr dgInt32 kAccFloats = dgSolverWorkArea::kAccFloats;
/// Rows the ratio test checks at once before it looks at them one by one.
constexpr dgInt32 kRatioBlock = 8;

DG_SOLVER_INLINE dgFloat32 Dot3(const dgFloat32* a, const dgFloat32* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

DG_SOLVER_INLINE void AddScaled(dgVector& acc, const dgFloat32* v, dgFloat32 s) {
    acc.x += v[0] * s;
    acc.y += v[1] * s;
    acc.z += v[2] * s;
}

/// A row dotted with its bodies' force and torque (kAccFloats each), summed in the order body 0
/// linear, body 0 angular, body 1 linear, body 1 angular.
DG_SOLVER_INLINE dgFloat32 RowDot(const dgFloat32* j, const dgFloat32* acc0, const dgFloat32* acc1) {
    return Dot3(j, acc0) + Dot3(j + 4, acc0 + 4) + Dot3(j + 8, acc1) + Dot3(j + 12, acc1 + 4);
}

/// Part k (0, 1 body 0's linear, angular; 2, 3 body 1's) of four consecutive rows dotted with the
/// matching accumulator part, one row per lane. Written out row by row: the compiler keeps a loop here.
DG_SOLVER_INLINE __m128 PartDots(const dgFloat32* jm, const dgFloat32* acc, const dgInt32* pairs, dgInt32 k) {
    const dgInt32 side = k >> 1;
    const dgInt32 offset = 4 * (k & 1);
    const __m128 row0 = _mm_mul_ps(_mm_load_ps(jm + 4 * k), _mm_load_ps(acc + kAccFloats * pairs[side] + offset));
    const __m128 row1 =
        _mm_mul_ps(_mm_load_ps(jm + kRowFloats + 4 * k), _mm_load_ps(acc + kAccFloats * pairs[2 + side] + offset));
    const __m128 row2 = _mm_mul_ps(_mm_load_ps(jm + 2 * kRowFloats + 4 * k),
                                   _mm_load_ps(acc + kAccFloats * pairs[4 + side] + offset));
    const __m128 row3 = _mm_mul_ps(_mm_load_ps(jm + 3 * kRowFloats + 4 * k),
                                   _mm_load_ps(acc + kAccFloats * pairs[6 + side] + offset));
    return dgSumXyz(row0, row1, row2, row3);
}

void Pack(const dgVector& v, dgFloat32* out) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
    out[3] = 0.0f;
}

/// Force, torque of an island body as applied so far (zero for the static slot), kAccFloats floats.
void AppliedForce(const dgSolverWorkArea& area, dgInt32 index, dgFloat32* out) {
    const dgBody* body = area.m_bodies[index];
    if (index == 0 || body == nullptr) {
        std::fill(out, out + kAccFloats, 0.0f);
    } else {
        Pack(body->m_force, out);
        Pack(body->m_torque, out + 4);
    }
}

/// Bits of the four rows from `first` that would reach a bound on a step of alpha along p: the test the
/// ratio test makes row by row, in four lanes (ordered compares: a NaN crosses nothing, as there).
DG_SOLVER_INLINE int CrossingRows(const dgSolverWorkArea& area, dgInt32 first, __m128 alpha) {
    const __m128 p = _mm_loadu_ps(area.m_p + first);
    const __m128 next = _mm_add_ps(_mm_loadu_ps(area.m_force + first), _mm_mul_ps(alpha, p));
    // Four min, max, class, slot records: their first two lanes transposed.
    const dgFloat32* const bounds = &area.m_bounds[first].m_min;
    const __m128 low01 = _mm_unpacklo_ps(_mm_load_ps(bounds), _mm_load_ps(bounds + 4));
    const __m128 low23 = _mm_unpacklo_ps(_mm_load_ps(bounds + 8), _mm_load_ps(bounds + 12));
    const __m128 lo = _mm_movelh_ps(low01, low23);
    const __m128 hi = _mm_movehl_ps(low23, low01);
    const __m128 down = _mm_and_ps(_mm_cmplt_ps(p, _mm_set1_ps(-kMinDirection)), _mm_cmple_ps(next, lo));
    const __m128 up = _mm_and_ps(_mm_cmpgt_ps(p, _mm_set1_ps(kMinDirection)), _mm_cmpge_ps(next, hi));
    return _mm_movemask_ps(_mm_or_ps(down, up));
}

/// lambda += alpha p and r -= alpha q over the first n rows, with the preconditioned residual z of the
/// new r, the sum of z r and the largest |r| in the same pass. Four rows at a time; z r is summed row by
/// row in order, and the largest |r| does not depend on the order it is taken in.
void StepAlong(dgSolverWorkArea& area, dgInt32 n, dgFloat32 alpha, dgFloat32& zr, dgFloat32& rmax) {
    dgFloat32 sum = 0.0f;
    const __m128 alpha4 = _mm_set1_ps(alpha);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 largest = _mm_setzero_ps();
    dgInt32 i = 0;
    for (; i + 4 <= n; i += 4) {
        _mm_storeu_ps(area.m_force + i,
                      _mm_add_ps(_mm_loadu_ps(area.m_force + i), _mm_mul_ps(alpha4, _mm_loadu_ps(area.m_p + i))));
        const __m128 r = _mm_sub_ps(_mm_loadu_ps(area.m_residual + i), _mm_mul_ps(alpha4, _mm_loadu_ps(area.m_q + i)));
        _mm_storeu_ps(area.m_residual + i, r);
        // A NaN lane keeps the largest so far, as std::max(largest, NaN) does.
        largest = _mm_max_ps(_mm_and_ps(r, magnitude), largest);
        const __m128 z = _mm_mul_ps(_mm_loadu_ps(area.m_invDiagonal + i), r);
        _mm_storeu_ps(area.m_z + i, z);
        alignas(16) dgFloat32 terms[4];
        _mm_store_ps(terms, _mm_mul_ps(z, r));
        sum = (((sum + terms[0]) + terms[1]) + terms[2]) + terms[3];
    }
    alignas(16) dgFloat32 lanes[4];
    _mm_store_ps(lanes, largest);
    zr = sum;
    rmax = std::max({lanes[0], lanes[1], lanes[2], lanes[3]});
    dgStepAlongRows(area, i, n, alpha, zr, rmax);
}

dgFloat32 MaxResidual(const dgSolverWorkArea& area, dgInt32 n) {
    dgFloat32 rmax = 0.0f;
    dgMaxResidualRows(area, 0, n, rmax);
    return rmax;
}

void WriteFeedback(dgSolverWorkArea& area, dgInt32 begin, dgInt32 end, bool zero) {
    for (dgInt32 i = begin; i < end; i++) {
        if (area.m_feedback[i] != nullptr) {
            *area.m_feedback[i] = zero ? 0.0f : area.m_force[i];
        }
    }
}

/// Rows of the first n whose force sits at a bound with the residual pushing past it leave the active
/// set; the rest start a new search direction. Returns the active count; zr and rmax as out values.
template <typename Kernels>
dgInt32 ScanActiveRows(dgSolverWorkArea& area, dgInt32 n, dgFloat32& zr, dgFloat32& rmax) {
    dgInt32 i = 0;
    while (i < n) {
        const dgRowBounds& bounds = area.m_bounds[i];
        const dgFloat32 lambda = area.m_force[i];
        const dgFloat32 r = area.m_residual[i];
        if (std::fabs(lambda - bounds.m_min) < kAtBound && r < 0.0f) {
            area.m_force[i] = bounds.m_min;
        } else if (std::fabs(lambda - bounds.m_max) < kAtBound && r > 0.0f) {
            area.m_force[i] = bounds.m_max;
        } else {
            i++;
            continue;
        }
        n--;
        Kernels::SwapRows(area, i, n);
    }
    Kernels::StartDirection(area, n, zr, rmax);
    return n;
}

/// Orders the rows unbounded first, then bounded, then friction, each block in gathering order, by
/// exchanges (each row moves once). The permutation must be the identity. Returns the non-friction count.
template <typename Kernels>
dgInt32 PartitionRows(dgSolverWorkArea& area) {
    const dgInt32 n = area.m_rowCount;
    dgInt32* order = area.m_rowOrder;
    dgInt32 count = 0;
    for (dgInt32 i = 0; i < n; i++) {
        if (area.m_bounds[i].m_class == dgRowBounds::kUnbounded) {
            order[count++] = i;
        }
    }
    for (dgInt32 i = 0; i < n; i++) {
        const dgInt32 rowClass = area.m_bounds[i].m_class;
        if (rowClass != dgRowBounds::kUnbounded && rowClass < 0) {
            order[count++] = i;
        }
    }
    const dgInt32 normalCount = count;
    for (dgInt32 i = 0; i < n; i++) {
        if (area.m_bounds[i].m_class >= 0) {
            order[count++] = i;
        }
    }
    // where[g]: the position of gathered row g; m_permutation[k]: the gathered row at position k.
    dgInt32* where = area.m_inversePermutation;
    for (dgInt32 i = 0; i < n; i++) {
        where[i] = i;
    }
    for (dgInt32 k = 0; k < n; k++) {
        const dgInt32 from = where[order[k]];
        const dgInt32 displaced = area.m_permutation[k];
        Kernels::SwapRows(area, k, from);
        where[displaced] = from;
        where[order[k]] = k;
    }
    return normalCount;
}

/// True when a row the solve pinned at a bound (positions first..last-1) is pulled back inside it, with
/// the residual of all count rows refreshed.
template <typename Kernels>
bool PinnedRowWantsOut(dgSolverWorkArea& area, dgInt32 first, dgInt32 last, dgInt32 count) {
    Kernels::CalcResidual(area, count);
    for (dgInt32 i = first; i < last; i++) {
        const dgRowBounds& bounds = area.m_bounds[i];
        const dgFloat32 lambda = area.m_force[i];
        const dgFloat32 r = area.m_residual[i];
        if ((std::fabs(lambda - bounds.m_min) < kAtBound && r > kSolvedResidual) ||
            (std::fabs(lambda - bounds.m_max) < kAtBound && r < -kSolvedResidual)) {
            return true;
        }
    }
    return false;
}

/// True when a row held at a bound since the normals-only solve (positions first..count-1) that no
/// friction row depends on (named[gathered index] 0) is pulled back inside it, with the residual refreshed.
template <typename Kernels>
bool HeldFreeRowWantsOut(dgSolverWorkArea& area, dgInt32 first, dgInt32 count, const dgInt32* named) {
    bool any = false;
    for (dgInt32 i = first; i < count && !any; i++) {
        any = named[area.m_permutation[i]] == 0;
    }
    return any && PinnedRowWantsOut<Kernels>(area, first, count, count);
}

/// Solves the first `active` rows with the residual of all `count` rows in place. A row pinned on the
/// way keeps its bound only while the residual presses it there: otherwise the solve runs again, so a
/// bad first guess of the active set does not stay. Returns the active count.
template <typename Kernels>
dgInt32 SolveActiveRows(dgSolverWorkArea& area, dgInt32 active, dgInt32 count) {
    dgInt32 n = Kernels::SolveRows(area, active);
    for (dgInt32 pass = 0; pass < kMaxSolvePasses && n < active &&
                           PinnedRowWantsOut<Kernels>(area, n, active, count);
         pass++) {
        n = Kernels::SolveRows(area, active);
    }
    return n;
}

} // namespace

dgSolverWorkArea::dgSolverWorkArea() = default;

dgSolverWorkArea::~dgSolverWorkArea() {
    dgFree(m_bodies);
    dgFree(m_invMass);
    dgFree(m_invInertia);
    dgFree(m_accumulators);
    dgFree(m_bodyPairs);
    dgFree(m_jacobians);
    dgFree(m_rowJ);
    dgFree(m_rowJMinv);
    dgFree(m_bounds);
    dgFree(m_feedback);
    dgFree(m_invDiagonal);
    dgFree(m_regularisation);
    dgFree(m_rhs);
    dgFree(m_frictionFloor);
    dgFree(m_residual);
    dgFree(m_force);
    dgFree(m_q);
    dgFree(m_z);
    dgFree(m_p);
    dgFree(m_permutation);
    dgFree(m_inversePermutation);
    dgFree(m_rowOrder);
}

void dgSolverWorkArea::ReserveBodies(dgInt32 count) {
    if (count <= m_bodyCapacity) {
        return;
    }
    const dgInt32 capacity = std::max({count, m_bodyCapacity * 2, kMinCapacity});
    Grow(m_bodies, m_bodyCount, capacity);
    Grow(m_invMass, m_bodyCount, capacity);
    Grow(m_invInertia, m_bodyCount, capacity);
    Grow(m_accumulators, kAccFloats * m_bodyCount, kAccFloats * capacity);
    m_bodyCapacity = capacity;
}

void dgSolverWorkArea::ReserveRows(dgInt32 count) {
    if (count <= m_rowCapacity) {
        return;
    }
    const dgInt32 wanted = std::max({count, m_rowCapacity * 2, kMinCapacity});
    // Whole groups, so a packed loop's last group of four stays inside every array.
    const dgInt32 capacity = (wanted + kRowGroup - 1) / kRowGroup * kRowGroup;
    const dgInt32 used = m_rowCount;
    Grow(m_bodyPairs, 2 * used, 2 * capacity);
    Grow(m_jacobians, used, capacity);
    Grow(m_rowJ, kRowFloats * used, kRowFloats * capacity);
    Grow(m_rowJMinv, kRowFloats * used, kRowFloats * capacity);
    Grow(m_bounds, used, capacity);
    Grow(m_feedback, used, capacity);
    Grow(m_invDiagonal, used, capacity);
    Grow(m_regularisation, used, capacity);
    Grow(m_rhs, used, capacity);
    Grow(m_frictionFloor, used, capacity);
    Grow(m_residual, used, capacity);
    Grow(m_force, used, capacity);
    Grow(m_q, used, capacity);
    Grow(m_z, used, capacity);
    Grow(m_p, used, capacity);
    Grow(m_permutation, used, capacity);
    Grow(m_inversePermutation, used, capacity);
    Grow(m_rowOrder, used, capacity);
    m_rowCapacity = capacity;
}

void dgSolverWorkArea::Clear() {
    ReserveBodies(1);
    m_rowCount = 0;
    m_bodyCount = 1;
    m_bodies[0] = nullptr;
    m_invMass[0] = 0.0f;
    m_invInertia[0] = dgGetZeroMatrix();
}

void dgBuildRowMatrix(dgSolverWorkArea& area) {
    area.m_invInertia[0] = dgGetZeroMatrix();
    area.m_invMass[0] = 0.0f;
    for (dgInt32 i = 0; i < area.m_rowCount; i++) {
        const dgInt32 i0 = area.m_bodyPairs[2 * i];
        const dgInt32 i1 = area.m_bodyPairs[2 * i + 1];
        const dgJacobianPair& j = area.m_jacobians[i];
        dgFloat32* const rowJ = area.m_rowJ + kRowFloats * i;
        dgFloat32* const jm = area.m_rowJMinv + kRowFloats * i;
        Pack(j.m_jacobian0.m_linear, rowJ);
        Pack(j.m_jacobian0.m_angular, rowJ + 4);
        Pack(j.m_jacobian1.m_linear, rowJ + 8);
        Pack(j.m_jacobian1.m_angular, rowJ + 12);
        Pack(j.m_jacobian0.m_linear.Scale(area.m_invMass[i0]), jm);
        Pack(area.m_invInertia[i0].RotateVector(j.m_jacobian0.m_angular), jm + 4);
        Pack(j.m_jacobian1.m_linear.Scale(area.m_invMass[i1]), jm + 8);
        Pack(area.m_invInertia[i1].RotateVector(j.m_jacobian1.m_angular), jm + 12);

        dgFloat32 applied0[kAccFloats];
        dgFloat32 applied1[kAccFloats];
        AppliedForce(area, i0, applied0);
        AppliedForce(area, i1, applied1);
        area.m_rhs[i] -= RowDot(jm, applied0, applied1);

        const dgFloat32 d = Dot3(rowJ, jm) + Dot3(rowJ + 4, jm + 4) + Dot3(rowJ + 8, jm + 8) + Dot3(rowJ + 12, jm + 12);
        const dgFloat32 k = area.m_regularisation[i];
        if (!(d > dgSolverWorkArea::kMinDiagonal)) {
            // Nothing this row acts on can move: an infinite inverse would turn the island into NaN.
            area.m_regularisation[i] = 0.0f;
            area.m_invDiagonal[i] = 0.0f;
            area.m_rhs[i] = 0.0f;
            area.m_bounds[i].m_min = 0.0f;
            area.m_bounds[i].m_max = 0.0f;
            area.m_bounds[i].m_class = dgRowBounds::kClamped;
            continue;
        }
        area.m_regularisation[i] = kRegularisation * k * d;
        area.m_invDiagonal[i] = 1.0f / ((kRegularisation * k + 1.0f) * d);
    }
}

namespace {

/// acc = J^T x per island body over the first n rows.
DG_SOLVER_INLINE void SpreadRows(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x) {
    dgFloat32* const acc = area.m_accumulators;
    std::fill(acc, acc + kAccFloats * area.m_bodyCount, 0.0f);
    const dgInt32* const pairs = area.m_bodyPairs;
    const dgFloat32* const rowJ = area.m_rowJ;
    // Consecutive rows of one body pair (a joint's rows) add into registers: the same sums in the same
    // order, without waiting on each row's store before the next row's load.
    for (dgInt32 i = 0; i < n;) {
        const dgInt32 i0 = pairs[2 * i];
        const dgInt32 i1 = pairs[2 * i + 1];
        dgFloat32* const acc0 = acc + kAccFloats * i0;
        dgFloat32* const acc1 = acc + kAccFloats * i1;
        if (i0 == i1) {
            const dgFloat32* const j = rowJ + kRowFloats * i;
            const __m128 s = _mm_set1_ps(x[i]);
            dgAddScaled4(acc0, j, s);
            dgAddScaled4(acc0 + 4, j + 4, s);
            dgAddScaled4(acc1, j + 8, s);
            dgAddScaled4(acc1 + 4, j + 12, s);
            i++;
            continue;
        }
        __m128 force0 = _mm_load_ps(acc0);
        __m128 torque0 = _mm_load_ps(acc0 + 4);
        __m128 force1 = _mm_load_ps(acc1);
        __m128 torque1 = _mm_load_ps(acc1 + 4);
        do {
            const dgFloat32* const j = rowJ + kRowFloats * i;
            const __m128 s = _mm_set1_ps(x[i]);
            force0 = _mm_add_ps(force0, _mm_mul_ps(_mm_load_ps(j), s));
            torque0 = _mm_add_ps(torque0, _mm_mul_ps(_mm_load_ps(j + 4), s));
            force1 = _mm_add_ps(force1, _mm_mul_ps(_mm_load_ps(j + 8), s));
            torque1 = _mm_add_ps(torque1, _mm_mul_ps(_mm_load_ps(j + 12), s));
            i++;
        } while (i < n && pairs[2 * i] == i0 && pairs[2 * i + 1] == i1);
        _mm_store_ps(acc0, force0);
        _mm_store_ps(acc0 + 4, torque0);
        _mm_store_ps(acc1, force1);
        _mm_store_ps(acc1 + 4, torque1);
    }
}

/// y = A x over the first n rows; returns the sum of x y, taken row by row as y is formed.
DG_SOLVER_INLINE dgFloat32 MultiplyRows(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x, dgFloat32* y) {
    SpreadRows(area, n, x);
    const dgFloat32* const acc = area.m_accumulators;
    const dgInt32* const pairs = area.m_bodyPairs;
    const dgFloat32* const rowJMinv = area.m_rowJMinv;
    const dgFloat32* const regularisation = area.m_regularisation;
    dgFloat32 xy = 0.0f;
    dgInt32 i = 0;
    // Four rows at a time: each of a row's four parts is multiplied lane by lane, the four rows' parts
    // transposed so that every lane sums one row in RowDot's order.
    for (; i + 4 <= n; i += 4) {
        const dgFloat32* const jm = rowJMinv + kRowFloats * i;
        const dgInt32* const rowPairs = pairs + 2 * i;
        const __m128 part0 = PartDots(jm, acc, rowPairs, 0);
        const __m128 part1 = PartDots(jm, acc, rowPairs, 1);
        const __m128 part2 = PartDots(jm, acc, rowPairs, 2);
        const __m128 part3 = PartDots(jm, acc, rowPairs, 3);
        const __m128 xi = _mm_loadu_ps(x + i);
        const __m128 dot = _mm_add_ps(_mm_add_ps(_mm_add_ps(part0, part1), part2), part3);
        const __m128 yi = _mm_add_ps(dot, _mm_mul_ps(_mm_loadu_ps(regularisation + i), xi));
        _mm_storeu_ps(y + i, yi);
        alignas(16) dgFloat32 terms[4];
        _mm_store_ps(terms, _mm_mul_ps(xi, yi));
        xy = (((xy + terms[0]) + terms[1]) + terms[2]) + terms[3];
    }
    for (; i < n; i++) {
        const dgFloat32* const acc0 = acc + kAccFloats * pairs[2 * i];
        const dgFloat32* const acc1 = acc + kAccFloats * pairs[2 * i + 1];
        const dgFloat32 yi = RowDot(rowJMinv + kRowFloats * i, acc0, acc1) + regularisation[i] * x[i];
        y[i] = yi;
        xy += x[i] * yi;
    }
    return xy;
}

/// The step's largest clipped alpha along p and the row that clips it (-1: none); stalled when a clip
/// fell below kSmallStep, where the test ends at once.
struct RatioTest {
    dgFloat32 alpha;
    dgInt32 hit;
    dgFloat32 hitValue;
    bool stalled;
};

RatioTest ClipStep(const dgSolverWorkArea& area, dgInt32 n, dgFloat32 alpha) {
    RatioTest test{alpha, -1, 0.0f, false};
    for (dgInt32 block = 0; block < n; block += kRatioBlock) {
        const dgInt32 end = std::min(block + kRatioBlock, n);
        // The same test the rows below make, at the same alpha: a block none of whose rows crosses
        // a bound holds no hit, and alpha only changes at a hit. A short last block is scanned.
        if (end - block == kRatioBlock) {
            const __m128 alpha4 = _mm_set1_ps(test.alpha);
            if ((CrossingRows(area, block, alpha4) | CrossingRows(area, block + 4, alpha4)) == 0) {
                continue;
            }
        }
        for (dgInt32 i = block; i < end; i++) {
            const dgFloat32 p = area.m_p[i];
            const dgFloat32 lambda = area.m_force[i];
            const dgFloat32 next = lambda + test.alpha * p;
            const dgRowBounds& bounds = area.m_bounds[i];
            if (p < -kMinDirection && next <= bounds.m_min) {
                test.alpha = (bounds.m_min - lambda) / p;
                test.hitValue = bounds.m_min;
            } else if (p > kMinDirection && next >= bounds.m_max) {
                test.alpha = (bounds.m_max - lambda) / p;
                test.hitValue = bounds.m_max;
            } else {
                continue;
            }
            test.hit = i;
            if (test.alpha < kSmallStep) {
                test.stalled = true;
                return test;
            }
        }
    }
    return test;
}

template <typename Kernels>
dgInt32 SolveRows(dgSolverWorkArea& area, dgInt32 n) {
    dgFloat32 zr = 0.0f;
    dgFloat32 rmax = 0.0f;
    n = ScanActiveRows<Kernels>(area, n, zr, rmax);
    dgInt32 budget = dgGetIterationBudget(area, n);
    dgInt32 iteration = 0;
    while (iteration < budget && rmax > kSolvedResidual) {
        const dgFloat32 pq = std::max(Kernels::MultiplyRows(area, n, area.m_p, area.m_q), kMinCurvature);
        const RatioTest test = ClipStep(area, n, zr / pq);
        const dgFloat32 alpha = test.alpha;
        if (test.hit < 0 && alpha != 0.0f) {
            dgFloat32 zrNext = 0.0f;
            Kernels::StepAlong(area, n, alpha, zrNext, rmax);
            if (rmax > kSolvedResidual) {
                const dgFloat32 beta = zrNext / std::max(zr, kMinZr);
                for (dgInt32 i = 0; i < n; i++) {
                    area.m_p[i] = area.m_z[i] + beta * area.m_p[i];
                }
                zr = zrNext;
            }
            iteration++;
        } else if (test.hit >= 0 && alpha != 0.0f && !test.stalled) {
            // Step to the bound the hit row reaches, which then leaves the active set.
            n--;
            Kernels::SwapRows(area, test.hit, n);
            area.m_force[n] = test.hitValue;
            Kernels::StepAlong(area, n, alpha, zr, rmax);
            std::copy(area.m_z, area.m_z + n, area.m_p);
            budget = dgGetIterationBudget(area, n);
            iteration = 0;
        } else if (test.hit >= 0) {
            n--;
            Kernels::SwapRows(area, test.hit, n);
            area.m_force[n] = test.hitValue;
            n = ScanActiveRows<Kernels>(area, n, zr, rmax);
            budget = dgGetIterationBudget(area, n);
            iteration = 0;
        } else {
            break;
        }
    }
    return n;
}

template <typename Kernels>
void SolveIsland(dgSolverWorkArea& area) {
    // Warm start from last step's forces; bounded rows start inside their bounds.
    for (dgInt32 i = 0; i < area.m_rowCount; i++) {
        dgFloat32 force = area.m_feedback[i] != nullptr ? *area.m_feedback[i] : 0.0f;
        if (!std::isfinite(force)) {
            force = 0.0f;
        }
        const dgRowBounds& bounds = area.m_bounds[i];
        if (bounds.m_class == dgRowBounds::kNonNegative || bounds.m_class == dgRowBounds::kClamped) {
            force = std::clamp(force, bounds.m_min, bounds.m_max);
        }
        area.m_force[i] = force;
        area.m_permutation[i] = i;
    }

    // Unbounded rows first, then bounded ones, then friction, each block in gathering order.
    const dgInt32 normalCount = PartitionRows<Kernels>(area);

    dgInt32 active = normalCount;
    if (area.m_frictionModel == 0) {
        if (Kernels::CalcResidual(area, normalCount) > kPreSolveResidual) {
            active = SolveActiveRows<Kernels>(area, normalCount, normalCount);
        }
    }
    if (normalCount == area.m_rowCount) {
        WriteFeedback(area, 0, area.m_rowCount, false);
        Kernels::ApplyRowForces(area);
        return;
    }

    // Friction rows name their normal row by gathering index: map it to where that row is now.
    dgInt32* inverse = area.m_inversePermutation;
    for (dgInt32 i = 0; i < area.m_rowCount; i++) {
        inverse[area.m_permutation[i]] = i;
    }
    // named[g]: some friction row takes its bounds from gathered row g.
    dgInt32* named = area.m_rowOrder;
    std::fill(named, named + area.m_rowCount, 0);
    for (dgInt32 i = normalCount; i < area.m_rowCount; i++) {
        named[area.m_bounds[i].m_class] = 1;
    }
    for (dgInt32 i = normalCount; i < area.m_rowCount; i++) {
        area.m_bounds[i].m_class = inverse[area.m_bounds[i].m_class];
    }

    const dgInt32 gathered = area.m_rowCount;
    Kernels::BoundFrictionRows(area, normalCount);

    if (area.m_frictionModel == 0) {
        // Normal rows the first solve left at a bound go behind the friction rows.
        const dgInt32 fixed = normalCount - active;
        const dgInt32 friction = area.m_rowCount - normalCount;
        if (friction >= fixed) {
            for (dgInt32 k = 0; k < fixed; k++) {
                Kernels::SwapRows(area, active + k, area.m_rowCount - 1 - k);
            }
        } else {
            for (dgInt32 k = 0; k < friction; k++) {
                Kernels::SwapRows(area, active + k, normalCount + k);
            }
        }
        active = area.m_rowCount - fixed;
    } else {
        active = area.m_rowCount;
    }

    // The residual counts the rows held at a bound too, so their forces are not forgotten.
    Kernels::CalcResidual(area, area.m_rowCount);
    if (Kernels::MaxResidual(area, active) > kPreSolveResidual) {
        SolveActiveRows<Kernels>(area, active, area.m_rowCount);
    }
    // The normals-only solve holds a row at its bound so the friction bounds rest on the normal forces;
    // a row no friction depends on (a joint limit) must still push once the friction has changed what
    // it holds back, or the limit gives way.
    if (active < area.m_rowCount && HeldFreeRowWantsOut<Kernels>(area, active, area.m_rowCount, named)) {
        SolveActiveRows<Kernels>(area, area.m_rowCount, area.m_rowCount);
    }

    // Every solved row reports its own force, wherever partitioning moved it; dropped friction rows push
    // nothing, so they report 0.
    WriteFeedback(area, 0, area.m_rowCount, false);
    WriteFeedback(area, area.m_rowCount, gathered, true);
    Kernels::ApplyRowForces(area);
}

/// The scalar build: every sum in row order.
struct ScalarKernels {
    static dgFloat32 MultiplyRows(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x, dgFloat32* y) {
        return ::MultiplyRows(area, n, x, y);
    }
    static dgFloat32 CalcResidual(dgSolverWorkArea& area, dgInt32 n) { return dgCalcResidual(area, n); }
    static dgFloat32 MaxResidual(const dgSolverWorkArea& area, dgInt32 n) { return ::MaxResidual(area, n); }
    static void StartDirection(dgSolverWorkArea& area, dgInt32 n, dgFloat32& zr, dgFloat32& rmax) {
        zr = 0.0f;
        rmax = 0.0f;
        dgStartDirectionRows(area, 0, n, zr, rmax);
    }
    static void StepAlong(dgSolverWorkArea& area, dgInt32 n, dgFloat32 alpha, dgFloat32& zr, dgFloat32& rmax) {
        ::StepAlong(area, n, alpha, zr, rmax);
    }
    static dgInt32 SolveRows(dgSolverWorkArea& area, dgInt32 n) { return ::SolveRows<ScalarKernels>(area, n); }
    static void SwapRows(dgSolverWorkArea& area, dgInt32 i, dgInt32 j) { dgSwapRows(area, i, j); }
    static void BoundFrictionRows(dgSolverWorkArea& area, dgInt32 first) { dgBoundFrictionRows(area, first); }
    static void ApplyRowForces(dgSolverWorkArea& area) { dgApplyRowForces(area); }
};

#if ORVALEN_PACKED_BUILD
/// The packed build: four rows per instruction, four partial sums per reduction.
struct PackedKernels {
    static dgFloat32 MultiplyRows(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x, dgFloat32* y) {
        return dgMultiplyRowsSumSimd(area, n, x, y);
    }
    static dgFloat32 CalcResidual(dgSolverWorkArea& area, dgInt32 n) { return dgCalcResidualSimd(area, n); }
    static dgFloat32 MaxResidual(const dgSolverWorkArea& area, dgInt32 n) { return dgMaxResidualSimd(area, n); }
    static void StartDirection(dgSolverWorkArea& area, dgInt32 n, dgFloat32& zr, dgFloat32& rmax) {
        dgStartDirectionSimd(area, n, zr, rmax);
    }
    static void StepAlong(dgSolverWorkArea& area, dgInt32 n, dgFloat32 alpha, dgFloat32& zr, dgFloat32& rmax) {
        dgStepAlongSimd(area, n, alpha, zr, rmax);
    }
    static dgInt32 SolveRows(dgSolverWorkArea& area, dgInt32 n) { return ::SolveRows<PackedKernels>(area, n); }
    static void SwapRows(dgSolverWorkArea& area, dgInt32 i, dgInt32 j) { dgSwapRowsSimd(area, i, j); }
    static void BoundFrictionRows(dgSolverWorkArea& area, dgInt32 first) { dgBoundFrictionRowsSimd(area, first); }
    static void ApplyRowForces(dgSolverWorkArea& area) { dgApplyRowForcesSimd(area); }
};
#endif

} // namespace

void dgSpreadRows(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x) {
    SpreadRows(area, n, x);
}

void dgMultiplyRows(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x, dgFloat32* y) {
    MultiplyRows(area, n, x, y);
}

dgFloat32 dgCalcResidual(dgSolverWorkArea& area, dgInt32 n) {
    MultiplyRows(area, n, area.m_force, area.m_q);
    dgFloat32 rmax = 0.0f;
    dgResidualRows(area, 0, n, rmax);
    return rmax;
}

dgInt32 dgGetIterationBudget(const dgSolverWorkArea& area, dgInt32 n) {
    if (area.m_solverModel == 0) {
        return n;
    }
    if (area.m_solverModel == 1) {
        const dgInt32 extra = static_cast<dgInt32>(std::sqrt(static_cast<dgFloat32>(std::max(n - 16, 0))));
        return std::min(n, extra + 16);
    }
    return std::min(area.m_solverModel, n);
}

dgInt32 dgSolveRows(dgSolverWorkArea& area, dgInt32 n) {
    return SolveRows<ScalarKernels>(area, n);
}

void dgApplyRowForces(dgSolverWorkArea& area) {
    dgForEachRowPush(area, [](dgVector& v, const dgFloat32* part, dgFloat32 lambda) { AddScaled(v, part, lambda); });
}

void dgStartDirectionRows(dgSolverWorkArea& area, dgInt32 begin, dgInt32 end, dgFloat32& zr, dgFloat32& rmax) {
    for (dgInt32 i = begin; i < end; i++) {
        const dgFloat32 r = area.m_residual[i];
        const dgFloat32 z = area.m_invDiagonal[i] * r;
        area.m_z[i] = z;
        area.m_p[i] = z;
        zr += z * r;
        rmax = std::max(rmax, std::fabs(r));
    }
}

void dgSwapRows(dgSolverWorkArea& area, dgInt32 i, dgInt32 j) {
    if (i == j) {
        return;
    }
    std::swap(area.m_bodyPairs[2 * i], area.m_bodyPairs[2 * j]);
    std::swap(area.m_bodyPairs[2 * i + 1], area.m_bodyPairs[2 * j + 1]);
    std::swap_ranges(area.m_rowJ + kRowFloats * i, area.m_rowJ + kRowFloats * (i + 1), area.m_rowJ + kRowFloats * j);
    std::swap_ranges(area.m_rowJMinv + kRowFloats * i, area.m_rowJMinv + kRowFloats * (i + 1),
                     area.m_rowJMinv + kRowFloats * j);
    std::swap(area.m_bounds[i], area.m_bounds[j]);
    dgSwapRowScalars(area, i, j);
}

void dgSwapRowScalars(dgSolverWorkArea& area, dgInt32 i, dgInt32 j) {
    std::swap(area.m_feedback[i], area.m_feedback[j]);
    std::swap(area.m_invDiagonal[i], area.m_invDiagonal[j]);
    std::swap(area.m_regularisation[i], area.m_regularisation[j]);
    std::swap(area.m_rhs[i], area.m_rhs[j]);
    std::swap(area.m_frictionFloor[i], area.m_frictionFloor[j]);
    std::swap(area.m_residual[i], area.m_residual[j]);
    std::swap(area.m_force[i], area.m_force[j]);
    std::swap(area.m_q[i], area.m_q[j]);
    std::swap(area.m_p[i], area.m_p[j]);
    std::swap(area.m_permutation[i], area.m_permutation[j]);
}

void dgBoundFrictionRows(dgSolverWorkArea& area, dgInt32 first) {
    dgInt32 i = first;
    while (i < area.m_rowCount) {
        dgRowBounds& bounds = area.m_bounds[i];
        const dgFloat32 normal = std::max(area.m_force[bounds.m_class], 0.0f);
        const dgFloat32 lo = normal * bounds.m_min;
        const dgFloat32 hi = normal * bounds.m_max;
        if (!(std::min(hi, -lo) > area.m_frictionFloor[i])) {
            area.m_rowCount--;
            dgSwapRows(area, i, area.m_rowCount);
            continue;
        }
        bounds.m_min = lo;
        bounds.m_max = hi;
        area.m_force[i] = std::clamp(area.m_force[i], lo, hi);
        i++;
    }
}

void dgSolveIsland(dgSolverWorkArea& area) {
    SolveIsland<ScalarKernels>(area);
}

#if ORVALEN_PACKED_BUILD
dgInt32 dgSolveRowsSimd(dgSolverWorkArea& area, dgInt32 n) {
    return SolveRows<PackedKernels>(area, n);
}

void dgSolveIslandSimd(dgSolverWorkArea& area) {
    SolveIsland<PackedKernels>(area);
}
#endif

void dgResidualRows(dgSolverWorkArea& area, dgInt32 begin, dgInt32 end, dgFloat32& rmax) {
    for (dgInt32 i = begin; i < end; i++) {
        const dgFloat32 r = area.m_rhs[i] - area.m_q[i];
        area.m_residual[i] = r;
        rmax = std::max(rmax, std::fabs(r));
    }
}

void dgMaxResidualRows(const dgSolverWorkArea& area, dgInt32 begin, dgInt32 end, dgFloat32& rmax) {
    for (dgInt32 i = begin; i < end; i++) {
        rmax = std::max(rmax, std::fabs(area.m_residual[i]));
    }
}

void dgStepAlongRows(dgSolverWorkArea& area, dgInt32 begin, dgInt32 end, dgFloat32 alpha, dgFloat32& zr,
                     dgFloat32& rmax) {
    for (dgInt32 i = begin; i < end; i++) {
        area.m_force[i] += alpha * area.m_p[i];
        const dgFloat32 r = area.m_residual[i] - alpha * area.m_q[i];
        area.m_residual[i] = r;
        const dgFloat32 z = area.m_invDiagonal[i] * r;
        area.m_z[i] = z;
        zr += z * r;
        rmax = std::max(rmax, std::fabs(r));
    }
}
