#pragma once
// 4x4 float matrix kept as four rows. Row-vector convention: a point p maps to
// front*p.x + up*p.y + right*p.z + posit. For a rigid transform front, up and right are the
// local unit axes in the parent frame (w 0) and posit is the local origin (w 1).

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

class dgQuaternion;

/// Four dgVector rows: front, up, right, posit (16 floats, row-major).
class dgMatrix {
public:
    dgVector front;
    dgVector up;
    dgVector right;
    dgVector posit;

    /// All sixteen entries zero.
    dgMatrix() = default;
    dgMatrix(const dgVector& f, const dgVector& u, const dgVector& r, const dgVector& p)
        : front(f), up(u), right(r), posit(p) {}

    /// Row i: 0 front, 1 up, 2 right, 3 posit.
    dgVector& operator[](dgInt32 i) {
        dgAssert(i >= 0 && i < 4);
        return i == 0 ? front : i == 1 ? up : i == 2 ? right : posit;
    }
    const dgVector& operator[](dgInt32 i) const {
        dgAssert(i >= 0 && i < 4);
        return i == 0 ? front : i == 1 ? up : i == 2 ? right : posit;
    }

    /// Rotation of a unit quaternion with the given position as posit (w 1.0).
    static dgMatrix FromQuaternion(const dgQuaternion& rotation, const dgVector& position);

    /// front*v.x + up*v.y + right*v.z; w 1.0.
    dgVector RotateVector(const dgVector& v) const {
        return dgVector(front.x * v.x + up.x * v.y + right.x * v.z,
                        front.y * v.x + up.y * v.y + right.y * v.z,
                        front.z * v.x + up.z * v.y + right.z * v.z, 1.0f);
    }
    /// The transposed 3x3 part applied to v: (front.v, up.v, right.v); w 1.0.
    dgVector InverseRotateVector(const dgVector& v) const {
        return dgVector(front.DotProduct(v), up.DotProduct(v), right.DotProduct(v), 1.0f);
    }
    /// RotateVector(v) + posit; w is posit.w.
    dgVector TransformVector(const dgVector& v) const {
        return dgVector(front.x * v.x + up.x * v.y + right.x * v.z + posit.x,
                        front.y * v.x + up.y * v.y + right.y * v.z + posit.y,
                        front.z * v.x + up.z * v.y + right.z * v.z + posit.z, posit.w);
    }
    /// InverseRotateVector(v - posit); w 1.0.
    dgVector InverseTransformVector(const dgVector& v) const { return InverseRotateVector(v.Sub(posit)); }

    /// The full 4x4 product this * n: row i is the sum over k of this[i][k] * n[k].
    dgMatrix Multiply(const dgMatrix& n) const {
        return dgMatrix(MultiplyRow(front, n), MultiplyRow(up, n), MultiplyRow(right, n),
                        MultiplyRow(posit, n));
    }

    /// Inverse of a rigid transform: the transposed rotation (rows w 0) and the origin brought back.
    dgMatrix Inverse() const {
        return dgMatrix(
            dgVector(front.x, up.x, right.x, 0.0f), dgVector(front.y, up.y, right.y, 0.0f),
            dgVector(front.z, up.z, right.z, 0.0f),
            dgVector(-posit.DotProduct(front), -posit.DotProduct(up), -posit.DotProduct(right), 1.0f));
    }

    /// Transforms count points of three floats; strides in bytes. dst may be src; only the three
    /// floats of each destination point are written.
    void TransformPointArray(dgFloat32* dst, dgInt32 dstStrideInBytes, const dgFloat32* src,
                             dgInt32 srcStrideInBytes, dgInt32 count) const;
    /// Box of the eight transformed corners of the local box p0 (min) .. p1 (max); w 1.0.
    void TransformBBox(const dgVector& p0, const dgVector& p1, dgVector& outMin, dgVector& outMax) const;
    /// Angles (x, y, z, 0) in radians; the pitch sine is clamped to +-0.999999.
    dgVector GetEulerAngles() const;

    /// Inverse of the 3x3 part read as a symmetric matrix (posit (0, 0, 0, 1)); the zero 3x3 when the
    /// inverse does not exist or overflows.
    dgMatrix SymmetricInverse3x3() const;
    /// Cyclic Jacobi on the symmetric 3x3 part: this becomes the right-handed basis of unit
    /// eigenvectors (row i for eigenvalue i), eigenvalues go to x, y, z (w 1.0), unsorted.
    /// Without convergence in 50 sweeps this becomes the identity.
    void EigenDecomposition(dgVector& eigenvalues);

private:
    static dgVector MultiplyRow(const dgVector& row, const dgMatrix& n) {
        return dgVector(row.x * n.front.x + row.y * n.up.x + row.z * n.right.x + row.w * n.posit.x,
                        row.x * n.front.y + row.y * n.up.y + row.z * n.right.y + row.w * n.posit.y,
                        row.x * n.front.z + row.y * n.up.z + row.z * n.right.z + row.w * n.posit.z,
                        row.x * n.front.w + row.y * n.up.w + row.z * n.right.w + row.w * n.posit.w);
    }
};

static_assert(sizeof(dgMatrix) == 64);

/// Rotation about x: up (0, c, s), right (0, -s, c); posit (0, 0, 0, 1).
dgMatrix dgRotationMatrixX(dgFloat32 angle);
/// Rotation about y: front (c, 0, -s), right (s, 0, c).
dgMatrix dgRotationMatrixY(dgFloat32 angle);
/// Rotation about z: front (c, s, 0), up (-s, c, 0).
dgMatrix dgRotationMatrixZ(dgFloat32 angle);

/// The shared identity matrix, built on first use.
const dgMatrix& dgGetIdentityMatrix();
/// The shared all-zero matrix, built on first use.
const dgMatrix& dgGetZeroMatrix();
