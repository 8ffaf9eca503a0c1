#include "physics/core/dgTypes.h"

#include <gtest/gtest.h>

#if defined(DG_ENABLE_ASSERTS)
TEST(dgTypesDeathTest, FailedAssertAbortsWithTheExpression) {
    EXPECT_DEATH(dgAssert(1 + 1 == 3), "1 \\+ 1 == 3");
}
#endif
