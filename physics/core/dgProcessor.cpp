#include "physics/core/dgProcessor.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

dgSimdOverride g_simdOverride = dgSimdOverride::kProbe;

// Feature flags stand in for trying the instructions: SSE is leaf 1, EDX bit 25.
bool ProbeSse() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return false;
    }
    return (edx & bit_SSE) != 0;
#else
    return false;
#endif
}

} // namespace

bool dgHasSimdSupport() {
    if (g_simdOverride == dgSimdOverride::kForceScalar) {
        return false;
    }
    return ProbeSse();
}

void dgSetSimdOverride(dgSimdOverride mode) {
    g_simdOverride = mode;
}

dgFloat32 dgFastInvSqrt(dgFloat32 x) {
    dgUnsigned32 i;
    std::memcpy(&i, &x, sizeof(i));
    const dgUnsigned32 guessBits = (0xBE6EB508u - i) >> 1;
    const dgUnsigned32 halfBits = i - 0x800000u; // exponent minus one: x / 2 for a normal x
    dgFloat32 guess;
    dgFloat32 half;
    std::memcpy(&guess, &guessBits, sizeof(guess));
    std::memcpy(&half, &halfBits, sizeof(half));
    long double y = guess;
    const long double h = half;
    for (dgInt32 step = 0; step < 3; step++) {
        y = y * (1.5L - h * y * y);
    }
    return static_cast<dgFloat32>(y);
}
