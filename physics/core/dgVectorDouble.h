#pragma once
// Double-precision twin of dgVector for mesh welding and plane fitting; the same w rules hold.

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

/// Four doubles x, y, z, w.
class dgVectorDouble {
public:
    dgFloat64 x = 0.0;
    dgFloat64 y = 0.0;
    dgFloat64 z = 0.0;
    dgFloat64 w = 0.0;

    dgVectorDouble() = default;
    constexpr dgVectorDouble(dgFloat64 vx, dgFloat64 vy, dgFloat64 vz, dgFloat64 vw)
        : x(vx), y(vy), z(vz), w(vw) {}
    /// Widens a float point: x, y, z converted, w is 1.0.
    explicit dgVectorDouble(const dgVector& v) : x(v.x), y(v.y), z(v.z), w(1.0) {}

    /// Component i: 0 x, 1 y, 2 z, 3 w.
    dgFloat64& operator[](dgInt32 i) {
        dgAssert(i >= 0 && i < 4);
        return i == 0 ? x : i == 1 ? y : i == 2 ? z : w;
    }
    const dgFloat64& operator[](dgInt32 i) const {
        dgAssert(i >= 0 && i < 4);
        return i == 0 ? x : i == 1 ? y : i == 2 ? z : w;
    }

    dgVectorDouble Scale(dgFloat64 s) const { return dgVectorDouble(x * s, y * s, z * s, w); }
    dgVectorDouble Add(const dgVectorDouble& b) const { return dgVectorDouble(x + b.x, y + b.y, z + b.z, w); }
    dgVectorDouble Sub(const dgVectorDouble& b) const { return dgVectorDouble(x - b.x, y - b.y, z - b.z, w); }
    void AddInPlace(const dgVectorDouble& b) {
        x += b.x;
        y += b.y;
        z += b.z;
    }
    /// x, y, z only.
    dgFloat64 DotProduct(const dgVectorDouble& b) const { return x * b.x + y * b.y + z * b.z; }
    dgVectorDouble CrossProduct(const dgVectorDouble& b) const {
        return dgVectorDouble(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x, w);
    }
    /// Component-wise product; w is the right operand's.
    dgVectorDouble CompProduct(const dgVectorDouble& b) const {
        return dgVectorDouble(x * b.x, y * b.y, z * b.z, b.w);
    }
};
