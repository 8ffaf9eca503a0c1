#pragma once
// The engine's four-float vector. x, y and z are geometric; w rides along: every binary
// operation keeps the left operand's w, except CompProduct, which takes the right one's.

#include "physics/core/dgTypes.h"

#include <cmath>

/// Four floats x, y, z, w, 16 bytes, 16-byte aligned (arrays have a 16-byte stride).
class alignas(16) dgVector {
public:
    dgFloat32 x = 0.0f;
    dgFloat32 y = 0.0f;
    dgFloat32 z = 0.0f;
    dgFloat32 w = 0.0f;

    /// All four components zero.
    dgVector() = default;
    constexpr dgVector(dgFloat32 vx, dgFloat32 vy, dgFloat32 vz, dgFloat32 vw) : x(vx), y(vy), z(vz), w(vw) {}
    /// A point from an array of three floats: w is 1.0.
    explicit dgVector(const dgFloat32* xyz) : x(xyz[0]), y(xyz[1]), z(xyz[2]), w(1.0f) {}

    /// Component i: 0 x, 1 y, 2 z, 3 w.
    dgFloat32& operator[](dgInt32 i) {
        dgAssert(i >= 0 && i < 4);
        return i == 0 ? x : i == 1 ? y : i == 2 ? z : w;
    }
    const dgFloat32& operator[](dgInt32 i) const {
        dgAssert(i >= 0 && i < 4);
        return i == 0 ? x : i == 1 ? y : i == 2 ? z : w;
    }

    dgVector Scale(dgFloat32 s) const { return dgVector(x * s, y * s, z * s, w); }
    dgVector Add(const dgVector& b) const { return dgVector(x + b.x, y + b.y, z + b.z, w); }
    dgVector Sub(const dgVector& b) const { return dgVector(x - b.x, y - b.y, z - b.z, w); }
    void AddInPlace(const dgVector& b) {
        x += b.x;
        y += b.y;
        z += b.z;
    }
    /// x, y, z only.
    dgFloat32 DotProduct(const dgVector& b) const { return x * b.x + y * b.y + z * b.z; }
    dgVector CrossProduct(const dgVector& b) const {
        return dgVector(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x, w);
    }
    /// Component-wise product; w is the right operand's.
    dgVector CompProduct(const dgVector& b) const { return dgVector(x * b.x, y * b.y, z * b.z, b.w); }
};

static_assert(sizeof(dgVector) == 16 && alignof(dgVector) == 16);

/// The larger of two floats; a when they are equal.
inline dgFloat32 dgMax(dgFloat32 a, dgFloat32 b) {
    return a >= b ? a : b;
}

/// lo when v < lo, v when v <= hi, hi otherwise.
inline dgFloat32 dgClamp(dgFloat32 v, dgFloat32 lo, dgFloat32 hi) {
    return v < lo ? lo : (v <= hi ? v : hi);
}

inline dgFloat32 dgAsin(dgFloat32 v) {
    return static_cast<dgFloat32>(std::asin(static_cast<dgFloat64>(v)));
}

inline dgFloat32 dgAtan2(dgFloat32 yv, dgFloat32 xv) {
    return static_cast<dgFloat32>(std::atan2(static_cast<dgFloat64>(yv), static_cast<dgFloat64>(xv)));
}
