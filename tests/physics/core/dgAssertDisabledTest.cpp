// A build without assertions, as the demo's: this file turns them off for itself.
#undef DG_ENABLE_ASSERTS
#undef DG_ENABLE_VALIDATE
#include "physics/core/dgTypes.h"

#include <gtest/gtest.h>

// A name only an assertion uses must still count as used: otherwise such a build warns, and with
// warnings as errors it fails.
#pragma GCC diagnostic error "-Wunused-variable"
#pragma GCC diagnostic error "-Wunused-but-set-variable"

namespace {

bool Counted(int& evaluations) {
    evaluations++;
    return true;
}

} // namespace

TEST(dgAssertDisabled, NamesItsExpressionWithoutEvaluatingIt) {
    int evaluations = 0;
    const int onlyAsserted = evaluations + 1;
    int onlyValidated = 0;
    onlyValidated = evaluations + 2;
    dgAssert(onlyAsserted == 1 && Counted(evaluations));
    dgValidate(onlyValidated == 2 && Counted(evaluations));
    EXPECT_EQ(evaluations, 0);
}
