#pragma once
// Unit quaternions for body orientation. The matrix conversions pair with dgMatrix's row-vector
// convention: FromMatrix(dgMatrix::FromQuaternion(q, p)) gives q back (or -q, the same rotation).

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

class dgMatrix;

/// Vector part x, y, z, then the scalar w; 16 bytes. Nothing here normalises its inputs.
class dgQuaternion {
public:
    dgFloat32 x = 0.0f;
    dgFloat32 y = 0.0f;
    dgFloat32 z = 0.0f;
    dgFloat32 w = 1.0f;

    /// The identity rotation (0, 0, 0, 1).
    dgQuaternion() = default;
    constexpr dgQuaternion(dgFloat32 qx, dgFloat32 qy, dgFloat32 qz, dgFloat32 qw)
        : x(qx), y(qy), z(qz), w(qw) {}

    /// Rotation by angle (radians) about a unit axis; the axis is not normalised.
    static dgQuaternion FromAxisAngle(const dgVector& unitAxis, dgFloat32 angle);
    /// The quaternion of the 3x3 rotation part of m.
    static dgQuaternion FromMatrix(const dgMatrix& m);

    dgQuaternion Conjugate() const { return dgQuaternion(-x, -y, -z, w); }

    /// Product with vector part a.w*b + b.w*a - a x b; not normalised.
    dgQuaternion operator*(const dgQuaternion& b) const {
        const dgQuaternion& a = *this;
        return dgQuaternion(
            a.w * b.x + b.w * a.x - a.y * b.z + b.y * a.z, b.w * a.y + b.y * a.w + a.x * b.z - a.z * b.x,
            a.w * b.z - b.y * a.x + a.z * b.w + a.y * b.x, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
    }

    /// Spherical interpolation from this (t = 0) to q1 (t = 1), unit length; q1 is used as given,
    /// so the path is the shorter arc only when the caller chose q1's sign that way.
    dgQuaternion Slerp(const dgQuaternion& q1, dgFloat32 t) const;
    /// Angular velocity (x, y, z; w 1.0) turning this into q1 over dt seconds; (0, 0, 0, 0) when
    /// the two are the same rotation.
    dgVector AngularVelocity(const dgQuaternion& q1, dgFloat32 dt) const;
};

static_assert(sizeof(dgQuaternion) == 16);
