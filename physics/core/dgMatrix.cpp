#include "physics/core/dgMatrix.h"

#include "physics/core/dgQuaternion.h"

#include <cmath>
#include <cstring>

namespace {

constexpr dgInt32 kPointBytes = 3 * sizeof(dgFloat32);

struct Point3 {
    dgFloat32 v[3];
};

Point3 LoadPoint(const unsigned char* at) {
    Point3 p;
    std::memcpy(p.v, at, kPointBytes);
    return p;
}

void StorePoint(unsigned char* at, const Point3& p) {
    std::memcpy(at, p.v, kPointBytes);
}

Point3 TransformPoint(const dgMatrix& m, const Point3& p) {
    const dgVector q = m.TransformVector(dgVector(p.v[0], p.v[1], p.v[2], 1.0f));
    return Point3{{q.x, q.y, q.z}};
}

// One Jacobi rotation on a pair of elements; both are read before either is written.
void Rotate(dgFloat32& x, dgFloat32& y, dgFloat32 s, dgFloat32 tau) {
    const dgFloat32 g = x;
    const dgFloat32 h = y;
    x = g - s * (h + g * tau);
    y = h + s * (g - h * tau);
}

} // namespace

dgMatrix dgMatrix::FromQuaternion(const dgQuaternion& q, const dgVector& position) {
    // Each 2ab is formed as a*b + a*b so the result matches the float rounding of the integrator.
    const dgFloat32 x2 = q.x * q.x + q.x * q.x;
    const dgFloat32 y2 = q.y * q.y + q.y * q.y;
    const dgFloat32 z2 = q.z * q.z + q.z * q.z;
    const dgFloat32 w2 = q.w * q.w + q.w * q.w;
    const dgFloat32 xy = q.x * q.y + q.x * q.y;
    const dgFloat32 xz = q.x * q.z + q.x * q.z;
    const dgFloat32 yz = q.y * q.z + q.y * q.z;
    const dgFloat32 xw = q.x * q.w + q.x * q.w;
    const dgFloat32 yw = q.y * q.w + q.y * q.w;
    const dgFloat32 zw = q.z * q.w + q.z * q.w;
    return dgMatrix(
        dgVector(x2 + w2 - 1.0f, xy + zw, xz - yw, 0.0f), dgVector(xy - zw, y2 + w2 - 1.0f, yz + xw, 0.0f),
        dgVector(xz + yw, yz - xw, z2 + w2 - 1.0f, 0.0f), dgVector(position.x, position.y, position.z, 1.0f));
}

void dgMatrix::TransformPointArray(dgFloat32* dst, dgInt32 dstStrideInBytes, const dgFloat32* src,
                                   dgInt32 srcStrideInBytes, dgInt32 count) const {
    // Byte addressing with memcpy: packed 12-byte points need not be float-aligned.
    auto* out = reinterpret_cast<unsigned char*>(dst);
    const auto* in = reinterpret_cast<const unsigned char*>(src);
    dgInt32 i = 0;
    // Each group is read whole before it is written, so dst may alias src.
    for (; i + 4 <= count; i += 4) {
        Point3 p[4];
        for (dgInt32 k = 0; k < 4; k++) {
            p[k] =
                TransformPoint(*this, LoadPoint(in + static_cast<std::ptrdiff_t>(i + k) * srcStrideInBytes));
        }
        for (dgInt32 k = 0; k < 4; k++) {
            StorePoint(out + static_cast<std::ptrdiff_t>(i + k) * dstStrideInBytes, p[k]);
        }
    }
    for (; i < count; i++) {
        const Point3 p =
            TransformPoint(*this, LoadPoint(in + static_cast<std::ptrdiff_t>(i) * srcStrideInBytes));
        StorePoint(out + static_cast<std::ptrdiff_t>(i) * dstStrideInBytes, p);
    }
}

void dgMatrix::TransformBBox(const dgVector& p0, const dgVector& p1, dgVector& outMin,
                             dgVector& outMax) const {
    dgVector corners[8];
    for (dgInt32 i = 0; i < 8; i++) {
        corners[i] = dgVector((i & 1) ? p1.x : p0.x, (i & 2) ? p1.y : p0.y, (i & 4) ? p1.z : p0.z, 1.0f);
    }
    TransformPointArray(&corners[0].x, sizeof(dgVector), &corners[0].x, sizeof(dgVector), 8);
    dgVector lo = corners[0];
    dgVector hi = corners[0];
    for (dgInt32 i = 1; i < 8; i++) {
        lo = dgVector(std::fmin(lo.x, corners[i].x), std::fmin(lo.y, corners[i].y),
                      std::fmin(lo.z, corners[i].z), 1.0f);
        hi = dgVector(std::fmax(hi.x, corners[i].x), std::fmax(hi.y, corners[i].y),
                      std::fmax(hi.z, corners[i].z), 1.0f);
    }
    outMin = dgVector(lo.x, lo.y, lo.z, 1.0f);
    outMax = dgVector(hi.x, hi.y, hi.z, 1.0f);
}

dgVector dgMatrix::GetEulerAngles() const {
    const dgFloat32 s = dgClamp(front.z, -0.999999f, 0.999999f);
    const dgFloat32 pitch = dgAsin(-s);
    // Near the poles roll and yaw share one axis: put the whole turn into x.
    if (front.z >= 0.99995f) {
        return dgVector(-dgAtan2(up.x, up.y), pitch, 0.0f, 0.0f);
    }
    if (front.z <= -0.99995f) {
        return dgVector(dgAtan2(up.x, up.y), pitch, 0.0f, 0.0f);
    }
    return dgVector(dgAtan2(up.z, right.z), pitch, dgAtan2(front.y, front.x), 0.0f);
}

dgMatrix dgMatrix::SymmetricInverse3x3() const {
    const dgMatrix& m = *this;
    const dgFloat64 a00 = m.front.x;
    const dgFloat64 a01 = m.front.y;
    const dgFloat64 a02 = m.front.z;
    const dgFloat64 a11 = m.up.y;
    const dgFloat64 a12 = m.up.z;
    const dgFloat64 a22 = m.right.z;
    const dgFloat64 det =
        2.0 * a01 * a02 * a12 + a00 * a11 * a22 - a02 * a02 * a11 - a01 * a01 * a22 - a12 * a12 * a00;
    const dgVector lastRow(0.0f, 0.0f, 0.0f, 1.0f);
    // A singular tensor (a static or constrained body) has no inverse: zero means infinite inertia.
    const dgMatrix singular(dgVector(), dgVector(), dgVector(), lastRow);
    if (det == 0.0) {
        return singular;
    }
    const dgFloat64 r = 1.0 / det;
    auto element = [r](dgFloat32 cofactor) { return static_cast<dgFloat32>(cofactor * r); };
    const dgFloat32 r00 = element(m.up.y * m.right.z - m.up.z * m.up.z);
    const dgFloat32 r11 = element(m.front.x * m.right.z - m.front.z * m.front.z);
    const dgFloat32 r22 = element(m.front.x * m.up.y - m.front.y * m.front.y);
    const dgFloat32 r01 = element(m.up.z * m.right.x - m.right.z * m.up.x);
    const dgFloat32 r02 = element(m.right.y * m.up.x - m.right.x * m.up.y);
    const dgFloat32 r12 = element(m.right.x * m.front.y - m.front.x * m.right.y);
    const dgMatrix inverse(dgVector(r00, r01, r02, 0.0f), dgVector(r01, r11, r12, 0.0f),
                           dgVector(r02, r12, r22, 0.0f), lastRow);
    for (dgInt32 i = 0; i < 3; i++) {
        if (!std::isfinite(inverse[i].x) || !std::isfinite(inverse[i].y) || !std::isfinite(inverse[i].z)) {
            return singular;
        }
    }
    return inverse;
}

void dgMatrix::EigenDecomposition(dgVector& eigenvalues) {
    dgMatrix& m = *this;
    dgMatrix v = dgGetIdentityMatrix();
    dgFloat32 b[3] = {m.front.x, m.up.y, m.right.z};
    dgFloat32 d[3] = {b[0], b[1], b[2]};
    dgFloat32 z[3] = {0.0f, 0.0f, 0.0f};
    constexpr dgInt32 kMaxSweeps = 50;
    constexpr dgInt32 kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};

    for (dgInt32 sweep = 0; sweep < kMaxSweeps; sweep++) {
        const dgFloat32 sm = std::fabs(m.front.y) + std::fabs(m.front.z) + std::fabs(m.up.z);
        if (sm < 1.0e-10f) {
            // Converged: the columns of v are the eigenvectors. Negating the third one keeps it an
            // eigenvector and makes the basis right-handed.
            if (v.front.CrossProduct(v.up).DotProduct(v.right) < 0.0f) {
                v.front.z = -v.front.z;
                v.up.z = -v.up.z;
                v.right.z = -v.right.z;
            }
            eigenvalues = dgVector(d[0], d[1], d[2], 1.0f);
            m = v.Inverse();
            return;
        }
        const dgFloat32 threshold = sweep < 3 ? 0.022222223f * sm : 0.0f;
        for (const auto& pair : kPairs) {
            const dgInt32 p = pair[0];
            const dgInt32 q = pair[1];
            dgFloat32& apq = m[p][q];
            const dgFloat32 g = 100.0f * std::fabs(apq);
            if (sweep >= 4 && std::fabs(d[p]) + g == std::fabs(d[p]) &&
                std::fabs(d[q]) + g == std::fabs(d[q])) {
                apq = 0.0f;
                continue;
            }
            if (!(std::fabs(apq) > threshold)) {
                continue;
            }
            dgFloat32 h = d[q] - d[p];
            dgFloat32 t;
            if (std::fabs(h) + g == std::fabs(h)) {
                t = apq / h;
            } else {
                const dgFloat32 theta = 0.5f * h / apq;
                t = 1.0f / (std::fabs(theta) + std::sqrt(1.0f + theta * theta));
                if (theta < 0.0f) {
                    t = -t;
                }
            }
            const dgFloat32 c = 1.0f / std::sqrt(1.0f + t * t);
            const dgFloat32 s = t * c;
            const dgFloat32 tau = s / (1.0f + c);
            h = t * apq;
            z[p] -= h;
            z[q] += h;
            d[p] -= h;
            d[q] += h;
            apq = 0.0f;
            if (p == 0 && q == 1) {
                Rotate(m.front.z, m.up.z, s, tau);
            } else if (p == 0) {
                Rotate(m.front.y, m.up.z, s, tau);
            } else {
                Rotate(m.front.y, m.front.z, s, tau);
            }
            for (dgInt32 j = 0; j < 3; j++) {
                Rotate(v[j][p], v[j][q], s, tau);
            }
        }
        for (dgInt32 i = 0; i < 3; i++) {
            b[i] += z[i];
            d[i] = b[i];
            z[i] = 0.0f;
        }
    }
    eigenvalues = dgVector(d[0], d[1], d[2], 1.0f);
    m = dgGetIdentityMatrix();
}

dgMatrix dgRotationMatrixX(dgFloat32 angle) {
    const dgFloat32 s = std::sin(angle);
    const dgFloat32 c = std::cos(angle);
    return dgMatrix(dgVector(1.0f, 0.0f, 0.0f, 0.0f), dgVector(0.0f, c, s, 0.0f), dgVector(0.0f, -s, c, 0.0f),
                    dgVector(0.0f, 0.0f, 0.0f, 1.0f));
}

dgMatrix dgRotationMatrixY(dgFloat32 angle) {
    const dgFloat32 s = std::sin(angle);
    const dgFloat32 c = std::cos(angle);
    return dgMatrix(dgVector(c, 0.0f, -s, 0.0f), dgVector(0.0f, 1.0f, 0.0f, 0.0f), dgVector(s, 0.0f, c, 0.0f),
                    dgVector(0.0f, 0.0f, 0.0f, 1.0f));
}

dgMatrix dgRotationMatrixZ(dgFloat32 angle) {
    const dgFloat32 s = std::sin(angle);
    const dgFloat32 c = std::cos(angle);
    return dgMatrix(dgVector(c, s, 0.0f, 0.0f), dgVector(-s, c, 0.0f, 0.0f), dgVector(0.0f, 0.0f, 1.0f, 0.0f),
                    dgVector(0.0f, 0.0f, 0.0f, 1.0f));
}

const dgMatrix& dgGetIdentityMatrix() {
    static const dgMatrix identity(dgVector(1.0f, 0.0f, 0.0f, 0.0f), dgVector(0.0f, 1.0f, 0.0f, 0.0f),
                                   dgVector(0.0f, 0.0f, 1.0f, 0.0f), dgVector(0.0f, 0.0f, 0.0f, 1.0f));
    return identity;
}

const dgMatrix& dgGetZeroMatrix() {
    static const dgMatrix zero;
    return zero;
}
