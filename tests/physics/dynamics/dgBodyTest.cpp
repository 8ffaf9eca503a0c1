#include "physics/dynamics/dgBody.h"
#include "support/MathAssertions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

TEST(dgBody, IntegrateVelocityPredictsTheEndOfStepWithoutChangingTheBody) {
    dgBody body;
    body.m_matrix = dgRotationMatrixZ(0.7f);
    body.m_matrix.posit = dgVector(1, 2, 3, 1);
    body.m_veloc = dgVector(1, 0, 0, 0);
    body.m_omega = dgVector(0, 0, 0.5f, 0);
    body.m_force = dgVector(0, -20, 0, 0);
    body.m_invMass = dgVector(0.5f, 0.25f, 1.0f, 0.5f);
    // A torque about the body's local y axis turns it at 0.25 rad/s^2 per unit.
    body.m_torque = body.m_matrix.RotateVector(dgVector(0, 2, 0, 0));
    dgBody before = body;
    dgVector v;
    dgVector w;
    body.IntegrateVelocity(0.1f, v, w);
    EXPECT_TRUE(VectorNear(v, dgVector(1, -1, 0, 0), kRoundingTol));
    const dgVector expected = body.m_omega.Add(body.m_matrix.RotateVector(dgVector(0, 0.05f, 0, 0)));
    EXPECT_TRUE(VectorNear(w, dgVector(expected.x, expected.y, expected.z, 0), kRoundingTol));
    EXPECT_EQ(std::memcmp(&before, &body, sizeof(dgBody)), 0);
}

TEST(dgBody, IntegrateVelocityHoldsOneStepsTurnBelowFortyFiveDegrees) {
    dgBody body;
    body.m_matrix = dgGetIdentityMatrix();
    body.m_invMass = dgVector(1, 1, 1, 1);
    body.m_torque = dgVector(0, 0, 1000, 0);
    dgVector v;
    dgVector w;
    const dgFloat32 dt = 0.1f;
    body.IntegrateVelocity(dt, v, w);
    const dgFloat32 limit = 45.0f * 0.01745328f;
    EXPECT_LE(std::sqrt(w.DotProduct(w)) * dt, limit);
    // Each cut is by 0.8: the result lies within one cut of the limit.
    EXPECT_GT(std::sqrt(w.DotProduct(w)) * dt, 0.8f * limit);

    // An infinite torque must not hang the prediction.
    body.m_torque = dgVector(0, 0, std::numeric_limits<dgFloat32>::infinity(), 0);
    body.IntegrateVelocity(dt, v, w);
    EXPECT_FALSE(std::isfinite(w.z));
}
