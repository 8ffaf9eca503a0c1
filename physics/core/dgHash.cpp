#include "physics/core/dgHash.h"

#include <cmath>
#include <cstdint>

dgUnsigned32 dgHash(const void* bytes, dgInt32 length, dgUnsigned32 seed) {
    const unsigned char* run = static_cast<const unsigned char*>(bytes);
    dgUnsigned32 h = seed;
    for (dgInt32 i = 0; i < length; i++) {
        h = dgHashDetail::Step(h, run[i]);
    }
    return h;
}

dgUnsigned32 dgHashBuffer(const void* bytes, dgInt32 length) {
    return dgHash(bytes, length, 0);
}

dgInt32 dgFloatToFixed(dgFloat32 x) {
    // Scaling by a power of two is exact (or overflows to infinity), so the range test is exact too.
    const dgFloat32 scaled = x * 1024.0f;
    if (std::isnan(scaled)) {
        return INT32_MIN;
    }
    if (scaled >= 2147483648.0f) {
        return INT32_MAX;
    }
    if (scaled <= -2147483648.0f) {
        return INT32_MIN;
    }
    return static_cast<dgInt32>(scaled);
}
