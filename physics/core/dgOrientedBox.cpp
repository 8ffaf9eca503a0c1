#include "physics/core/dgOrientedBox.h"

#include <cmath>

namespace {

// Points of a strided float array; stride in bytes, rounded down to whole floats.
class StridedPoints {
public:
    StridedPoints(const dgFloat32* vertices, dgInt32 strideInBytes, dgInt32 count)
        : m_vertices(vertices), m_strideInFloats(strideInBytes / dgInt32(sizeof(dgFloat32))), m_count(count) {
        dgAssert(strideInBytes >= 0);
    }
    dgInt32 Count() const { return m_count; }
    const dgFloat32* Point(dgInt32 k) const {
        return m_vertices + static_cast<std::ptrdiff_t>(k) * m_strideInFloats;
    }

private:
    const dgFloat32* m_vertices;
    dgInt32 m_strideInFloats;
    dgInt32 m_count;
};

// Points of a strided float array named by an index list.
class IndexedPoints {
public:
    IndexedPoints(const dgFloat32* vertices, dgInt32 strideInBytes, const dgInt32* indices, dgInt32 count)
        : m_vertices(vertices), m_indices(indices),
          m_strideInFloats(strideInBytes / dgInt32(sizeof(dgFloat32))), m_count(count) {
        dgAssert(strideInBytes >= 0);
    }
    dgInt32 Count() const { return m_count; }
    const dgFloat32* Point(dgInt32 k) const {
        dgAssert(m_indices[k] >= 0);
        return m_vertices + static_cast<std::ptrdiff_t>(m_indices[k]) * m_strideInFloats;
    }

private:
    const dgFloat32* m_vertices;
    const dgInt32* m_indices;
    dgInt32 m_strideInFloats;
    dgInt32 m_count;
};

// Sets frame to the eigenvectors of the covariance of the scaled points and returns the
// eigenvalues; the identity when the decomposition does not converge.
template <typename PointSource>
dgVector dgPrincipalAxes(dgMatrix& frame, const dgVector& scale, const PointSource& points) {
    dgFloat64 sx = 0.0, sy = 0.0, sz = 0.0;
    dgFloat64 sxx = 0.0, syy = 0.0, szz = 0.0;
    dgFloat64 sxy = 0.0, sxz = 0.0, syz = 0.0;
    for (dgInt32 k = 0; k < points.Count(); k++) {
        const dgFloat32* v = points.Point(k);
        const dgFloat64 px = v[0] * scale.x;
        const dgFloat64 py = v[1] * scale.y;
        const dgFloat64 pz = v[2] * scale.z;
        sx += px;
        sy += py;
        sz += pz;
        sxx += px * px;
        syy += py * py;
        szz += pz * pz;
        sxy += px * py;
        sxz += px * pz;
        syz += py * pz;
    }
    const dgFloat64 r = 1.0 / points.Count();
    const dgFloat64 mx = sx * r, my = sy * r, mz = sz * r;
    const auto cxx = static_cast<dgFloat32>(sxx * r - mx * mx);
    const auto cyy = static_cast<dgFloat32>(syy * r - my * my);
    const auto czz = static_cast<dgFloat32>(szz * r - mz * mz);
    const auto cxy = static_cast<dgFloat32>(sxy * r - mx * my);
    const auto cxz = static_cast<dgFloat32>(sxz * r - mx * mz);
    const auto cyz = static_cast<dgFloat32>(syz * r - my * mz);
    frame.front = dgVector(cxx, cxy, cxz, 1.0f);
    frame.up = dgVector(cxy, cyy, cyz, 1.0f);
    frame.right = dgVector(cxz, cyz, czz, 1.0f);
    dgVector eigenvalues;
    frame.EigenDecomposition(eigenvalues);
    return eigenvalues;
}

// Smaller over larger magnitude, in 0..1; magnitudes below 1e-12 count as 1e-12.
dgFloat64 dgAbsRatio(dgFloat32 a, dgFloat32 b) {
    const dgFloat32 fa = std::fabs(a);
    const dgFloat32 fb = std::fabs(b);
    const dgFloat32 lo = fa < fb ? fa : fb;
    dgFloat32 hi = fa < fb ? fb : fa;
    if (hi < 1.0e-12) {
        hi = 1.0e-12f;
    }
    return lo / hi;
}

template <typename PointSource>
void dgProjectedExtents(const dgMatrix& frame, const PointSource& points, dgVector& outMin,
                        dgVector& outMax) {
    outMin = dgVector(1.0e10f, 1.0e10f, 1.0e10f, 1.0f);
    outMax = dgVector(-1.0e10f, -1.0e10f, -1.0e10f, 1.0f);
    for (dgInt32 k = 0; k < points.Count(); k++) {
        const dgVector p(points.Point(k));
        const dgVector q = frame.InverseRotateVector(p);
        for (dgInt32 i = 0; i < 3; i++) {
            // Strict comparisons keep NaN coordinates out.
            if (q[i] < outMin[i]) {
                outMin[i] = q[i];
            }
            if (q[i] > outMax[i]) {
                outMax[i] = q[i];
            }
        }
    }
}

} // namespace

dgOrientedBox::dgOrientedBox() : m_frame(dgGetIdentityMatrix()), m_size{0.0f, 0.0f, 0.0f}, m_radius(0.0f) {}

dgOrientedBox::dgOrientedBox(const dgQuaternion& rotation, const dgVector& position, const dgVector& size)
    : m_frame(dgMatrix::FromQuaternion(rotation, position)) {
    SetDimensions(size.x, size.y, size.z);
}

dgOrientedBox::dgOrientedBox(const dgMatrix& frame, const dgVector& size) : m_frame(frame) {
    SetDimensions(size.x, size.y, size.z);
}

void dgOrientedBox::SetDimensions(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    m_size[0] = std::fabs(x);
    m_size[1] = std::fabs(y);
    m_size[2] = std::fabs(z);
    const dgFloat64 dx = x, dy = y, dz = z;
    m_radius = static_cast<dgFloat32>(std::sqrt(dx * dx + dy * dy + dz * dz));
}

void dgOrientedBox::FitToVertices(const dgFloat32* vertices, dgInt32 strideInBytes, dgInt32 count,
                                  const dgMatrix* axes) {
    Fit(StridedPoints(vertices, strideInBytes, count), axes);
}

void dgOrientedBox::FitToVertices(const dgFloat32* vertices, dgInt32 strideInBytes, const dgInt32* indices,
                                  dgInt32 indexCount, const dgMatrix* axes) {
    Fit(IndexedPoints(vertices, strideInBytes, indices, indexCount), axes);
}

template <typename PointSource> void dgOrientedBox::Fit(const PointSource& points, const dgMatrix* axes) {
    // An empty cloud has neither a covariance nor extents.
    if (points.Count() <= 0) {
        return;
    }
    if (axes) {
        m_frame = *axes;
    } else {
        // Near-equal eigenvalues leave their eigenvectors arbitrary: stretch the cloud along one
        // world axis (for the covariance only) until the axes separate.
        constexpr dgInt32 kMaxRetries = 6;
        constexpr dgInt32 kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
        dgVector scale(1.0f, 1.0f, 1.0f, 1.0f);
        dgVector eigenvalues = dgPrincipalAxes(m_frame, scale, points);
        for (dgInt32 retry = 0; retry < kMaxRetries; retry++) {
            dgInt32 close = -1;
            for (const auto& pair : kPairs) {
                if (static_cast<dgFloat32>(dgAbsRatio(eigenvalues[pair[0]], eigenvalues[pair[1]])) > 0.9) {
                    close = pair[0];
                    break;
                }
            }
            if (close < 0) {
                break;
            }
            scale[close] *= 2.0f;
            eigenvalues = dgPrincipalAxes(m_frame, scale, points);
        }
    }
    dgVector lo;
    dgVector hi;
    dgProjectedExtents(m_frame, points, lo, hi);
    const dgVector centre((hi.x + lo.x) * 0.5f, (hi.y + lo.y) * 0.5f, (hi.z + lo.z) * 0.5f, 1.0f);
    m_frame.posit.AddInPlace(m_frame.RotateVector(centre));
    constexpr dgFloat32 kMargin = 0.002f;
    SetDimensions((hi.x - lo.x) * 0.5f + kMargin, (hi.y - lo.y) * 0.5f + kMargin,
                  (hi.z - lo.z) * 0.5f + kMargin);
}

const dgOrientedBox& dgGetIdentityOrientedBox() {
    static const dgOrientedBox identity;
    return identity;
}
