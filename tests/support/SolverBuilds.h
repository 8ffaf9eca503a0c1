#pragma once
// Runs a world test in both builds of the dynamics update. A fixture over SolverBuild makes every world
// created while it lives run the build it is given; INSTANTIATE_BOTH_BUILDS(Suite) names the runs
// Suite.Test/scalar and Suite.Test/packed.

#include "physics/core/dgProcessor.h"

#include <gtest/gtest.h>

#include <string>

enum class SolverBuild { kScalar, kPacked };

/// The SIMD mode a world is given for the build.
inline int SimdMode(SolverBuild build) {
    return build == SolverBuild::kScalar ? 0 : 1;
}

/// Mixin of a fixture run in both builds; list it before any base that makes worlds. For the scalar run
/// the processor probe answers "no packed unit", so worlds made inside scene helpers follow as well,
/// whatever SIMD mode they are given; the packed run leaves new worlds at their default.
class RunsInBuild : public ::testing::WithParamInterface<SolverBuild> {
protected:
    RunsInBuild() {
        dgSetSimdOverride(GetParam() == SolverBuild::kScalar ? dgSimdOverride::kForceScalar
                                                             : dgSimdOverride::kProbe);
    }
    ~RunsInBuild() { dgSetSimdOverride(dgSimdOverride::kProbe); }
};

/// The plain fixture of a suite run in both builds.
class BothBuilds : public RunsInBuild, public ::testing::Test {};

struct SolverBuildName {
    std::string operator()(const ::testing::TestParamInfo<SolverBuild>& info) const {
        return info.param == SolverBuild::kScalar ? "scalar" : "packed";
    }
};

#define INSTANTIATE_BOTH_BUILDS(suite)                                                                       \
    INSTANTIATE_TEST_SUITE_P(, suite, ::testing::Values(SolverBuild::kScalar, SolverBuild::kPacked),         \
                             SolverBuildName())

/// A suite of tests that need nothing but the build.
#define BOTH_BUILDS_SUITE(suite)                                                                             \
    class suite : public BothBuilds {};                                                                      \
    INSTANTIATE_BOTH_BUILDS(suite)
