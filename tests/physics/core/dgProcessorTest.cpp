#include "physics/core/dgProcessor.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(dgProcessor, ProbeFindsPackedSinglesOnX86_64AndTheOverrideForcesScalar) {
#if defined(__x86_64__)
    EXPECT_TRUE(dgHasSimdSupport()); // SSE is architectural on x86-64
#endif
    dgSetSimdOverride(dgSimdOverride::kForceScalar);
    EXPECT_FALSE(dgHasSimdSupport());
    dgSetSimdOverride(dgSimdOverride::kProbe);
#if defined(__x86_64__)
    EXPECT_TRUE(dgHasSimdSupport());
#endif
}

TEST(dgProcessor, FastInvSqrtConvergesToTheReciprocalRoot) {
    for (dgFloat32 x : {1.0e-30f, 0.25f, 1.0f, 2.0f, 3.0f, 1000.0f, 1.0e30f}) {
        const dgFloat64 exact = 1.0 / std::sqrt(static_cast<dgFloat64>(x));
        EXPECT_NEAR(dgFastInvSqrt(x) / exact, 1.0, 1.0e-6) << "x = " << x;
    }
}
