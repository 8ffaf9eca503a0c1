#include "physics/core/dgQuaternion.h"

#include "physics/core/dgMatrix.h"

#include <cmath>

namespace {

// Slerp results whose squared length strays further than this from 1 are renormalised.
constexpr dgFloat32 kUnitLengthTolerance = 1.0e-6f;
// The largest float below 1e-10: smaller squared sines of the half angle are no rotation.
constexpr dgFloat32 kMinRotationSine2 = 0x1.b7cdfcp-34f;

dgFloat32 DotProduct(const dgQuaternion& a, const dgQuaternion& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

dgQuaternion Blend(const dgQuaternion& a, dgFloat32 sa, const dgQuaternion& b, dgFloat32 sb) {
    return dgQuaternion(a.x * sa + b.x * sb, a.y * sa + b.y * sb, a.z * sa + b.z * sb, a.w * sa + b.w * sb);
}

} // namespace

dgQuaternion dgQuaternion::FromAxisAngle(const dgVector& unitAxis, dgFloat32 angle) {
    const dgFloat32 half = angle * 0.5f;
    const dgFloat32 s = std::sin(half);
    return dgQuaternion(unitAxis.x * s, unitAxis.y * s, unitAxis.z * s, std::cos(half));
}

dgQuaternion dgQuaternion::FromMatrix(const dgMatrix& m) {
    dgFloat32 q[3];
    dgFloat32 qw;
    const dgFloat32 trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0.0f) {
        const dgFloat32 s = std::sqrt(trace + 1.0f);
        qw = 0.5f * s;
        const dgFloat32 r = 0.5f / s;
        q[0] = (m[2][1] - m[1][2]) * r;
        q[1] = (m[0][2] - m[2][0]) * r;
        q[2] = (m[1][0] - m[0][1]) * r;
    } else {
        // Build from the largest diagonal entry so the square root stays well away from zero.
        constexpr dgInt32 kNext[3] = {1, 2, 0};
        dgInt32 i = 0;
        if (m[1][1] > m[0][0]) {
            i = 1;
        }
        if (m[2][2] > m[i][i]) {
            i = 2;
        }
        const dgInt32 j = kNext[i];
        const dgInt32 k = kNext[j];
        const dgFloat32 s = std::sqrt(m[i][i] + 1.0f - m[j][j] - m[k][k]);
        q[i] = 0.5f * s;
        const dgFloat32 r = 0.5f / s;
        qw = (m[k][j] - m[j][k]) * r;
        q[j] = (m[j][i] + m[i][j]) * r;
        q[k] = (m[k][i] + m[i][k]) * r;
    }
    // The differences above are those of the transposed (column-vector) matrix.
    return dgQuaternion(-q[0], -q[1], -q[2], qw);
}

dgQuaternion dgQuaternion::Slerp(const dgQuaternion& q1, dgFloat32 t) const {
    const dgQuaternion& q0 = *this;
    const dgFloat32 d = DotProduct(q0, q1);
    dgQuaternion result;
    if (d + 1.0f <= 1.0e-5f) {
        // Nearly opposite: q1's direction is undefined, so turn through a quaternion perpendicular to q0.
        const dgQuaternion perpendicular(-q0.y, q0.x, -q0.w, q0.z);
        const dgFloat32 a = std::sin((1.0f - t) * 1.570795f);
        const dgFloat32 b = std::sin(t * 1.570795f);
        result = Blend(q0, a, perpendicular, b);
    } else if (d >= 0.99999f) {
        result = Blend(q0, 1.0f - t, q1, t);
    } else {
        const dgFloat32 theta = std::acos(d);
        const dgFloat32 invSin = 1.0f / std::sin(theta);
        result = Blend(q0, std::sin((1.0f - t) * theta) * invSin, q1, std::sin(t * theta) * invSin);
    }
    const dgFloat32 len2 = DotProduct(result, result);
    if (std::fabs(len2 - 1.0f) > kUnitLengthTolerance) {
        const dgFloat32 len = std::sqrt(len2);
        result = dgQuaternion(result.x / len, result.y / len, result.z / len, result.w / len);
    }
    return result;
}

dgVector dgQuaternion::AngularVelocity(const dgQuaternion& q1, dgFloat32 dt) const {
    const dgQuaternion d = Conjugate() * q1;
    const dgFloat32 l2 = d.x * d.x + d.y * d.y + d.z * d.z;
    if (l2 < kMinRotationSine2) {
        return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
    }
    const dgFloat32 l = std::sqrt(l2);
    const dgFloat32 theta = std::atan2(l, d.w);
    const dgFloat32 k = (2.0f * theta / dt) / l;
    return dgVector(k * d.x, k * d.y, k * d.z, 1.0f);
}
