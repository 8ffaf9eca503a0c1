#include "physics/dynamics/dgJacobianSolverSimd.h"

#include "physics/dynamics/dgBody.h"

#include <algorithm>
#include <cmath>

// The packed build's kernels. Per-row float arrays are taken four rows to a vector (they start 16-byte
// aligned and their capacity is whole groups of four); a reduction keeps one partial result per lane,
// combines the lanes, then takes the rows left over one at a time. Only the order of additions differs
// from the scalar kernels: compares are the same ordered ones, so a NaN stops neither build's loop
// where the other would go on.

namespace {

constexpr dgInt32 kRowFloats = dgSolverWorkArea::kRowFloats;
constexpr dgInt32 kAccFloats = dgSolverWorkArea::kAccFloats;
constexpr dgInt32 kGroup = dgSolverWorkArea::kRowGroup;

/// |v| per lane: the sign bit cleared.
DG_SOLVER_INLINE __m128 Magnitude(__m128 v) {
    const __m128 signClear = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    return _mm_and_ps(v, signClear);
}

/// (l0 + l2) + (l1 + l3).
DG_SOLVER_INLINE dgFloat32 SumLanes(__m128 v) {
    const __m128 halves = _mm_add_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_add_ss(halves, _mm_shuffle_ps(halves, halves, 1)));
}

/// The largest lane; the lanes hold no NaN (every lane maximum keeps its old value against one).
DG_SOLVER_INLINE dgFloat32 MaxLanes(__m128 v) {
    const __m128 halves = _mm_max_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_max_ss(halves, _mm_shuffle_ps(halves, halves, 1)));
}

/// Running largest |r|: max(|r|, largest) keeps largest when r is NaN, as std::max(largest, |r|) does.
DG_SOLVER_INLINE __m128 Largest(__m128 r, __m128 largest) {
    return _mm_max_ps(Magnitude(r), largest);
}

/// A row's four Jacobian parts times its bodies' accumulator parts, summed lane by lane:
/// x, y, z lanes each hold one component of the row's product, w is left out by the caller.
DG_SOLVER_INLINE __m128 RowProducts(const dgFloat32* jm, const dgFloat32* acc, const dgInt32* pair) {
    const dgFloat32* const acc0 = acc + kAccFloats * pair[0];
    const dgFloat32* const acc1 = acc + kAccFloats * pair[1];
    const __m128 body0 =
        _mm_add_ps(_mm_mul_ps(_mm_load_ps(jm), _mm_load_ps(acc0)), _mm_mul_ps(_mm_load_ps(jm + 4), _mm_load_ps(acc0 + 4)));
    const __m128 body1 = _mm_add_ps(_mm_mul_ps(_mm_load_ps(jm + 8), _mm_load_ps(acc1)),
                                    _mm_mul_ps(_mm_load_ps(jm + 12), _mm_load_ps(acc1 + 4)));
    return _mm_add_ps(body0, body1);
}

DG_SOLVER_INLINE void SwapVector(dgFloat32* a, dgFloat32* b) {
    const __m128 va = _mm_load_ps(a);
    _mm_store_ps(a, _mm_load_ps(b));
    _mm_store_ps(b, va);
}

/// v += part * s on a body's force or torque as whole vectors, w lane included (the Jacobian's w is 0).
DG_SOLVER_INLINE void AddToBody(dgVector& v, const dgFloat32* part, __m128 s) {
    _mm_store_ps(&v.x, _mm_add_ps(_mm_load_ps(&v.x), _mm_mul_ps(_mm_load_ps(part), s)));
}

} // namespace

dgFloat32 dgMultiplyRowsSumSimd(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x, dgFloat32* y) {
    dgSpreadRows(area, n, x);
    const dgFloat32* const acc = area.m_accumulators;
    const dgInt32* const pairs = area.m_bodyPairs;
    const dgFloat32* const rowJMinv = area.m_rowJMinv;
    const dgFloat32* const regularisation = area.m_regularisation;
    __m128 xy4 = _mm_setzero_ps();
    dgInt32 i = 0;
    for (; i + kGroup <= n; i += kGroup) {
        const dgFloat32* const jm = rowJMinv + kRowFloats * i;
        const __m128 dot = dgSumXyz(RowProducts(jm, acc, pairs + 2 * i),
                                    RowProducts(jm + kRowFloats, acc, pairs + 2 * i + 2),
                                    RowProducts(jm + 2 * kRowFloats, acc, pairs + 2 * i + 4),
                                    RowProducts(jm + 3 * kRowFloats, acc, pairs + 2 * i + 6));
        const __m128 xi = _mm_loadu_ps(x + i);
        const __m128 yi = _mm_add_ps(dot, _mm_mul_ps(_mm_load_ps(regularisation + i), xi));
        _mm_storeu_ps(y + i, yi);
        xy4 = _mm_add_ps(xy4, _mm_mul_ps(xi, yi));
    }
    dgFloat32 xy = SumLanes(xy4);
    const __m128 zero = _mm_setzero_ps();
    for (; i < n; i++) {
        const __m128 products = RowProducts(rowJMinv + kRowFloats * i, acc, pairs + 2 * i);
        const dgFloat32 yi = _mm_cvtss_f32(dgSumXyz(products, zero, zero, zero)) + regularisation[i] * x[i];
        y[i] = yi;
        xy += x[i] * yi;
    }
    return xy;
}

void dgMultiplyRowsSimd(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x, dgFloat32* y) {
    dgMultiplyRowsSumSimd(area, n, x, y);
}

dgFloat32 dgCalcResidualSimd(dgSolverWorkArea& area, dgInt32 n) {
    dgMultiplyRowsSumSimd(area, n, area.m_force, area.m_q);
    __m128 largest = _mm_setzero_ps();
    dgInt32 i = 0;
    for (; i + kGroup <= n; i += kGroup) {
        const __m128 r = _mm_sub_ps(_mm_load_ps(area.m_rhs + i), _mm_load_ps(area.m_q + i));
        _mm_store_ps(area.m_residual + i, r);
        largest = Largest(r, largest);
    }
    dgFloat32 rmax = MaxLanes(largest);
    dgResidualRows(area, i, n, rmax);
    return rmax;
}

dgFloat32 dgMaxResidualSimd(const dgSolverWorkArea& area, dgInt32 n) {
    __m128 largest = _mm_setzero_ps();
    dgInt32 i = 0;
    for (; i + kGroup <= n; i += kGroup) {
        largest = Largest(_mm_load_ps(area.m_residual + i), largest);
    }
    dgFloat32 rmax = MaxLanes(largest);
    dgMaxResidualRows(area, i, n, rmax);
    return rmax;
}

void dgStartDirectionSimd(dgSolverWorkArea& area, dgInt32 n, dgFloat32& zr, dgFloat32& rmax) {
    __m128 zr4 = _mm_setzero_ps();
    __m128 largest = _mm_setzero_ps();
    dgInt32 i = 0;
    for (; i + kGroup <= n; i += kGroup) {
        const __m128 r = _mm_load_ps(area.m_residual + i);
        const __m128 z = _mm_mul_ps(_mm_load_ps(area.m_invDiagonal + i), r);
        _mm_store_ps(area.m_z + i, z);
        _mm_store_ps(area.m_p + i, z);
        zr4 = _mm_add_ps(zr4, _mm_mul_ps(z, r));
        largest = Largest(r, largest);
    }
    zr = SumLanes(zr4);
    rmax = MaxLanes(largest);
    dgStartDirectionRows(area, i, n, zr, rmax);
}

void dgStepAlongSimd(dgSolverWorkArea& area, dgInt32 n, dgFloat32 alpha, dgFloat32& zr, dgFloat32& rmax) {
    const __m128 alpha4 = _mm_set1_ps(alpha);
    __m128 zr4 = _mm_setzero_ps();
    __m128 largest = _mm_setzero_ps();
    dgInt32 i = 0;
    for (; i + kGroup <= n; i += kGroup) {
        _mm_store_ps(area.m_force + i,
                     _mm_add_ps(_mm_load_ps(area.m_force + i), _mm_mul_ps(alpha4, _mm_load_ps(area.m_p + i))));
        const __m128 r = _mm_sub_ps(_mm_load_ps(area.m_residual + i), _mm_mul_ps(alpha4, _mm_load_ps(area.m_q + i)));
        _mm_store_ps(area.m_residual + i, r);
        const __m128 z = _mm_mul_ps(_mm_load_ps(area.m_invDiagonal + i), r);
        _mm_store_ps(area.m_z + i, z);
        zr4 = _mm_add_ps(zr4, _mm_mul_ps(z, r));
        largest = Largest(r, largest);
    }
    zr = SumLanes(zr4);
    rmax = MaxLanes(largest);
    dgStepAlongRows(area, i, n, alpha, zr, rmax);
}

void dgApplyRowForcesSimd(dgSolverWorkArea& area) {
    dgForEachRowPush(area, [](dgVector& v, const dgFloat32* part, dgFloat32 lambda) {
        AddToBody(v, part, _mm_set1_ps(lambda));
    });
}

void dgSwapRowsSimd(dgSolverWorkArea& area, dgInt32 i, dgInt32 j) {
    if (i == j) {
        return;
    }
    std::swap(area.m_bodyPairs[2 * i], area.m_bodyPairs[2 * j]);
    std::swap(area.m_bodyPairs[2 * i + 1], area.m_bodyPairs[2 * j + 1]);
    for (dgInt32 k = 0; k < kRowFloats; k += 4) {
        SwapVector(area.m_rowJ + kRowFloats * i + k, area.m_rowJ + kRowFloats * j + k);
        SwapVector(area.m_rowJMinv + kRowFloats * i + k, area.m_rowJMinv + kRowFloats * j + k);
    }
    SwapVector(&area.m_bounds[i].m_min, &area.m_bounds[j].m_min);
    dgSwapRowScalars(area, i, j);
}

void dgBoundFrictionRowsSimd(dgSolverWorkArea& area, dgInt32 first) {
    const __m128 zero = _mm_setzero_ps();
    dgInt32 i = first;
    while (i < area.m_rowCount) {
        dgRowBounds& bounds = area.m_bounds[i];
        // maxss and minss answer their second operand on NaN: the operand order keeps std::max(f, 0),
        // std::min(hi, -lo) and std::clamp's answers.
        const __m128 normal = _mm_max_ss(zero, _mm_set_ss(area.m_force[bounds.m_class]));
        const __m128 lo = _mm_mul_ss(normal, _mm_set_ss(bounds.m_min));
        const __m128 hi = _mm_mul_ss(normal, _mm_set_ss(bounds.m_max));
        const dgFloat32 smaller = _mm_cvtss_f32(_mm_min_ss(_mm_sub_ss(zero, lo), hi));
        if (!(area.m_frictionFloor[i] < smaller)) {
            area.m_rowCount--;
            dgSwapRowsSimd(area, i, area.m_rowCount);
            continue;
        }
        bounds.m_min = _mm_cvtss_f32(lo);
        bounds.m_max = _mm_cvtss_f32(hi);
        area.m_force[i] = _mm_cvtss_f32(_mm_min_ss(hi, _mm_max_ss(lo, _mm_set_ss(area.m_force[i]))));
        i++;
    }
}
