#pragma once
// Approximate comparisons of engine maths types for GoogleTest, with named tolerances.
// Use as EXPECT_TRUE(VectorNear(actual, expected, kRoundingTol)).

#include "physics/core/dgMatrix.h"
#include "physics/core/dgQuaternion.h"
#include "physics/core/dgVector.h"

#include <gtest/gtest.h>

#include <ostream>

/// A few float ulps of values near 1: the result of one or two float operations.
inline constexpr dgFloat32 kRoundingTol = 1.0e-6f;
/// Short chains of float operations (a transform and its inverse, a quaternion round trip).
inline constexpr dgFloat32 kChainTol = 1.0e-5f;
/// Iterative or ill-conditioned results (eigen decomposition, small-angle formulas).
inline constexpr dgFloat32 kLooseTol = 1.0e-4f;

/// x, y and z agree within tol (absolute); w is ignored.
::testing::AssertionResult VectorNear(const dgVector& actual, const dgVector& expected, dgFloat32 tol);
/// All four components agree within tol.
::testing::AssertionResult Vector4Near(const dgVector& actual, const dgVector& expected, dgFloat32 tol);
/// All sixteen entries agree within tol.
::testing::AssertionResult MatrixNear(const dgMatrix& actual, const dgMatrix& expected, dgFloat32 tol);
/// The same rotation: actual is within tol of expected or of -expected, component-wise.
::testing::AssertionResult QuaternionNear(const dgQuaternion& actual, const dgQuaternion& expected,
                                          dgFloat32 tol);
/// Rows front, up, right are unit, mutually perpendicular and right-handed, within tol.
::testing::AssertionResult IsRightHandedOrthonormal(const dgMatrix& m, dgFloat32 tol);

void PrintTo(const dgVector& v, std::ostream* os);
void PrintTo(const dgMatrix& m, std::ostream* os);
void PrintTo(const dgQuaternion& q, std::ostream* os);
