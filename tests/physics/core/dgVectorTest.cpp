#include "physics/core/dgVector.h"
#include "physics/core/dgVectorDouble.h"

#include "support/MathAssertions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const dgVector kA(1.0f, 2.0f, 3.0f, 7.0f);
const dgVector kB(-4.0f, 5.0f, 0.5f, -9.0f);

} // namespace

TEST(dgVector, BinaryOperationsKeepTheLeftOperandsW) {
    EXPECT_EQ(kA.Add(kB).w, 7.0f);
    EXPECT_EQ(kA.Sub(kB).w, 7.0f);
    EXPECT_EQ(kA.Scale(3.0f).w, 7.0f);
    EXPECT_EQ(kA.CrossProduct(kB).w, 7.0f);
    EXPECT_EQ(kB.Add(kA).w, -9.0f);
    EXPECT_EQ(kB.CrossProduct(kA).w, -9.0f);
    dgVector sum = kA;
    sum.AddInPlace(kB);
    EXPECT_EQ(sum.w, 7.0f);
    // Even a NaN w rides along untouched.
    const dgVector nanW(1.0f, 1.0f, 1.0f, std::numeric_limits<dgFloat32>::quiet_NaN());
    EXPECT_TRUE(std::isnan(nanW.Add(kA).w));
}

TEST(dgVector, CompProductTakesTheRightOperandsW) {
    const dgVector p = kA.CompProduct(kB);
    EXPECT_TRUE(Vector4Near(p, dgVector(-4.0f, 10.0f, 1.5f, -9.0f), 0.0f));
}

TEST(dgVector, ArithmeticActsOnXyzOnly) {
    EXPECT_TRUE(VectorNear(kA.Add(kB), dgVector(-3.0f, 7.0f, 3.5f, 0.0f), 0.0f));
    EXPECT_TRUE(VectorNear(kA.Sub(kB), dgVector(5.0f, -3.0f, 2.5f, 0.0f), 0.0f));
    EXPECT_TRUE(VectorNear(kA.Scale(-2.0f), dgVector(-2.0f, -4.0f, -6.0f, 0.0f), 0.0f));
    // w does not enter the dot product: 1*-4 + 2*5 + 3*0.5.
    EXPECT_EQ(kA.DotProduct(kB), 7.5f);
}

TEST(dgVector, CrossProductIsRightHandedAndPerpendicular) {
    const dgVector x(1.0f, 0.0f, 0.0f, 0.0f);
    const dgVector y(0.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_TRUE(VectorNear(x.CrossProduct(y), dgVector(0.0f, 0.0f, 1.0f, 0.0f), 0.0f));
    const dgVector c = kA.CrossProduct(kB);
    EXPECT_EQ(c.DotProduct(kA), 0.0f);
    EXPECT_EQ(c.DotProduct(kB), 0.0f);
}

TEST(dgVector, ConstructionFromThreeFloatsIsAPoint) {
    const dgFloat32 xyz[3] = {1.5f, -2.0f, 4.0f};
    EXPECT_TRUE(Vector4Near(dgVector(xyz), dgVector(1.5f, -2.0f, 4.0f, 1.0f), 0.0f));
    EXPECT_TRUE(Vector4Near(dgVector(), dgVector(0.0f, 0.0f, 0.0f, 0.0f), 0.0f));
}

TEST(dgVectorDouble, MirrorsTheFloatWRules) {
    const dgVectorDouble a(1.0, 2.0, 3.0, 7.0);
    const dgVectorDouble b(-4.0, 5.0, 0.5, -9.0);
    EXPECT_EQ(a.Add(b).w, 7.0);
    EXPECT_EQ(a.Sub(b).w, 7.0);
    EXPECT_EQ(a.CrossProduct(b).w, 7.0);
    EXPECT_EQ(a.CompProduct(b).w, -9.0);
    EXPECT_EQ(a.DotProduct(b), 7.5);
    dgVectorDouble sum = a;
    sum.AddInPlace(b);
    EXPECT_EQ(sum.x, -3.0);
    EXPECT_EQ(sum.w, 7.0);
}

TEST(dgVectorDouble, WidensAFloatVectorAsAPoint) {
    const dgVectorDouble p(dgVector(0.1f, -2.0f, 3.0f, 0.0f));
    EXPECT_EQ(p.x, static_cast<dgFloat64>(0.1f));
    EXPECT_EQ(p.w, 1.0);
}

TEST(dgScalarHelpers, MaxReturnsTheFirstOfEqualValues) {
    EXPECT_EQ(dgMax(1.0f, 2.0f), 2.0f);
    EXPECT_EQ(dgMax(3.0f, 2.0f), 3.0f);
    // +0 and -0 compare equal, so the sign bit shows which operand came back.
    EXPECT_FALSE(std::signbit(dgMax(0.0f, -0.0f)));
    EXPECT_TRUE(std::signbit(dgMax(-0.0f, 0.0f)));
}

TEST(dgScalarHelpers, ClampHoldsValuesInRange) {
    EXPECT_EQ(dgClamp(-5.0f, -1.0f, 1.0f), -1.0f);
    EXPECT_EQ(dgClamp(0.25f, -1.0f, 1.0f), 0.25f);
    EXPECT_EQ(dgClamp(1.0f, -1.0f, 1.0f), 1.0f);
    EXPECT_EQ(dgClamp(5.0f, -1.0f, 1.0f), 1.0f);
}
