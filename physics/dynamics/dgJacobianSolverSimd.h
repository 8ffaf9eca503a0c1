#pragma once
// What the solve shares between its two kernel sets beyond dgJacobianSolver.h: the pieces both builds
// run alike, and the packed build's per-row loops that the shared solve calls.

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJacobianSolver.h"

#include <emmintrin.h>

// The kernels' helpers are forced inline: at -O2 the compiler keeps them as calls in the hottest loops.
#define DG_SOLVER_INLINE inline __attribute__((always_inline))

/// Lane k: (v_k.x + v_k.y) + v_k.z, the order a three-term dot product sums its products in. Four-wide adds and multiplies
/// round each lane exactly as the scalar ones do, so the lanes are bit for bit Dot3's results.
DG_SOLVER_INLINE __m128 dgSumXyz(__m128 a, __m128 b, __m128 c, __m128 d) {
    const __m128 abLow = _mm_unpacklo_ps(a, b);
    const __m128 cdLow = _mm_unpacklo_ps(c, d);
    const __m128 abHigh = _mm_unpackhi_ps(a, b);
    const __m128 cdHigh = _mm_unpackhi_ps(c, d);
    const __m128 x = _mm_movelh_ps(abLow, cdLow);
    const __m128 y = _mm_movehl_ps(cdLow, abLow);
    const __m128 z = _mm_movelh_ps(abHigh, cdHigh);
    return _mm_add_ps(_mm_add_ps(x, y), z);
}

/// v += part * s, four lanes.
DG_SOLVER_INLINE void dgAddScaled4(dgFloat32* acc, const dgFloat32* part, __m128 s) {
    _mm_store_ps(acc, _mm_add_ps(_mm_load_ps(acc), _mm_mul_ps(_mm_load_ps(part), s)));
}

/// acc = J^T x per island body (force, torque) over the first n rows; every sum in row order.
void dgSpreadRows(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x);
/// Exchanges rows i and j in every one-word-per-row array (feedback pointers included).
void dgSwapRowScalars(dgSolverWorkArea& area, dgInt32 i, dgInt32 j);
/// z = inverse diagonal x r and p = z over rows begin..end-1, adding z r to zr row by row and keeping the
/// largest |r| in rmax.
void dgStartDirectionRows(dgSolverWorkArea& area, dgInt32 begin, dgInt32 end, dgFloat32& zr, dgFloat32& rmax);
// Row-by-row pieces both builds use (the packed one for the rows left over after its groups of four);
// each keeps the largest |r| in rmax.
/// r = rhs - q over rows begin..end-1.
void dgResidualRows(dgSolverWorkArea& area, dgInt32 begin, dgInt32 end, dgFloat32& rmax);
/// The largest |r| of rows begin..end-1.
void dgMaxResidualRows(const dgSolverWorkArea& area, dgInt32 begin, dgInt32 end, dgFloat32& rmax);
/// lambda += alpha p, r -= alpha q and z of the new r over rows begin..end-1, adding z r to zr row by row.
void dgStepAlongRows(dgSolverWorkArea& area, dgInt32 begin, dgInt32 end, dgFloat32 alpha, dgFloat32& zr,
                     dgFloat32& rmax);

/// add(force or torque, Jacobian part, lambda) for each row's moving bodies, rows in order; slot 0, the
/// static world, is skipped.
template <typename Add>
void dgForEachRowPush(dgSolverWorkArea& area, Add add) {
    constexpr dgInt32 kRowFloats = dgSolverWorkArea::kRowFloats;
    for (dgInt32 i = 0; i < area.m_rowCount; i++) {
        const dgFloat32 lambda = area.m_force[i];
        const dgFloat32* const j = area.m_rowJ + kRowFloats * i;
        const dgInt32 i0 = area.m_bodyPairs[2 * i];
        const dgInt32 i1 = area.m_bodyPairs[2 * i + 1];
        if (i0 != 0) {
            add(area.m_bodies[i0]->m_force, j, lambda);
            add(area.m_bodies[i0]->m_torque, j + 4, lambda);
        }
        if (i1 != 0) {
            add(area.m_bodies[i1]->m_force, j + 8, lambda);
            add(area.m_bodies[i1]->m_torque, j + 12, lambda);
        }
    }
}

#if ORVALEN_PACKED_BUILD
/// y = A x over the first n rows; returns the sum of x y.
dgFloat32 dgMultiplyRowsSumSimd(dgSolverWorkArea& area, dgInt32 n, const dgFloat32* x, dgFloat32* y);
/// z = inverse diagonal x r and p = z over the first n rows; zr = sum of z r, rmax = the largest |r|.
void dgStartDirectionSimd(dgSolverWorkArea& area, dgInt32 n, dgFloat32& zr, dgFloat32& rmax);
/// lambda += alpha p and r -= alpha q over the first n rows, then z of the new r; zr and rmax as above.
void dgStepAlongSimd(dgSolverWorkArea& area, dgInt32 n, dgFloat32 alpha, dgFloat32& zr, dgFloat32& rmax);
/// The largest |r| of the first n rows.
dgFloat32 dgMaxResidualSimd(const dgSolverWorkArea& area, dgInt32 n);
#endif
