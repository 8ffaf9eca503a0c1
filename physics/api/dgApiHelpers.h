#pragma once
// Conversions between the interface's plain float arrays and the engine's value types.

#include "physics/core/dgMatrix.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgVector.h"

/// A point of 3 floats, w = 1.
inline dgVector dgApiPoint(const float* xyz) {
    return dgVector(xyz[0], xyz[1], xyz[2], 1.0f);
}

/// A direction of 3 floats, w = 0.
inline dgVector dgApiDirection(const float* xyz) {
    return dgVector(xyz[0], xyz[1], xyz[2], 0.0f);
}

inline void dgApiWriteVector(const dgVector& v, float* out) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

/// 16 floats, rows front, up, right, position; null gives the identity.
inline dgMatrix dgApiMatrix(const float* m) {
    if (m == nullptr) {
        return dgGetIdentityMatrix();
    }
    return dgMatrix(dgVector(m[0], m[1], m[2], m[3]), dgVector(m[4], m[5], m[6], m[7]),
                    dgVector(m[8], m[9], m[10], m[11]), dgVector(m[12], m[13], m[14], m[15]));
}

inline void dgApiWriteMatrix(const dgMatrix& matrix, float* out) {
    const dgVector* rows[4] = {&matrix.front, &matrix.up, &matrix.right, &matrix.posit};
    for (int i = 0; i < 4; i++) {
        out[4 * i + 0] = rows[i]->x;
        out[4 * i + 1] = rows[i]->y;
        out[4 * i + 2] = rows[i]->z;
        out[4 * i + 3] = rows[i]->w;
    }
}
