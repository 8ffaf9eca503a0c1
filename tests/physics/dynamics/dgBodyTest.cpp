#include "BodyTestShapes.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"
#include "support/MathAssertions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr dgFloat32 kMaxStepAngle = 45.0f * 0.01745328f;
constexpr dgFloat32 kInfinity = std::numeric_limits<dgFloat32>::infinity();
constexpr dgFloat32 kNaN = std::numeric_limits<dgFloat32>::quiet_NaN();

bool IsStatic(const dgBody& body) {
    return body.m_invMass.x == 0.0f && body.m_invMass.y == 0.0f && body.m_invMass.z == 0.0f &&
           body.m_invMass.w == 0.0f && (body.m_flags & dgBody::kEquilibrium) != 0;
}

bool SameRotation(const dgMatrix& a, const dgMatrix& b) {
    return std::memcmp(&a.front, &b.front, sizeof(dgVector)) == 0 &&
           std::memcmp(&a.up, &b.up, sizeof(dgVector)) == 0 &&
           std::memcmp(&a.right, &b.right, sizeof(dgVector)) == 0;
}

dgVector PointVelocity(const dgBody& body, const dgVector& point) {
    return body.m_veloc.Add(body.m_omega.CrossProduct(point.Sub(body.m_globalCentreOfMass)));
}

dgVector LocalAngularMomentum(const dgBody& body) {
    return body.m_matrix.InverseRotateVector(body.m_omega).CompProduct(body.m_mass);
}

} // namespace

// Integration ---------------------------------------------------------------------------------------

TEST(dgBodyIntegration, FreeFallFollowsTheExactDiscreteSolution) {
    // Powers of two keep every product and sum exact, so the float result must equal the closed form
    // of the semi-implicit step: v_n = v0 + n g dt, c_n = c0 + n dt v0 + g dt^2 n (n + 1) / 2.
    StackBody holder;
    dgBody& body = holder.m_body;
    body.m_localCentreOfMass = dgVector(0.25f, 0.5f, 0.0f, 1.0f);
    body.SetMatrix(
        dgMatrix(dgVector(1, 0, 0, 0), dgVector(0, 1, 0, 0), dgVector(0, 0, 1, 0), dgVector(1, 2, 3, 1)));
    body.SetMassMatrix(2.0f, 1.0f, 1.0f, 1.0f);
    const dgVector v0(0.5f, 0.0f, 0.25f, 0.0f);
    body.m_veloc = v0;
    const dgVector c0 = body.m_globalCentreOfMass;
    const dgMatrix start = body.m_matrix;
    const dgFloat32 dt = 1.0f / 64.0f;
    const dgFloat32 g = -8.0f;
    const dgInt32 steps = 64;
    for (dgInt32 i = 0; i < steps; i++) {
        body.m_force = dgVector(0.0f, 2.0f * g, 0.0f, 0.0f);
        body.IntegrateStep(dt);
    }
    const dgFloat32 n = static_cast<dgFloat32>(steps);
    EXPECT_EQ(body.m_veloc.x, v0.x);
    EXPECT_EQ(body.m_veloc.y, n * g * dt);
    EXPECT_EQ(body.m_veloc.z, v0.z);
    const dgFloat32 fall = g * dt * dt * n * (n + 1.0f) * 0.5f;
    EXPECT_EQ(body.m_globalCentreOfMass.x, c0.x + n * dt * v0.x);
    EXPECT_EQ(body.m_globalCentreOfMass.y, c0.y + fall);
    EXPECT_EQ(body.m_globalCentreOfMass.z, c0.z + n * dt * v0.z);
    EXPECT_EQ(body.m_matrix.posit.x, body.m_globalCentreOfMass.x - 0.25f);
    EXPECT_EQ(body.m_matrix.posit.y, body.m_globalCentreOfMass.y - 0.5f);
    EXPECT_TRUE(SameRotation(body.m_matrix, start));
    EXPECT_EQ(body.m_lastForce.y, 2.0f * g);
}

TEST(dgBodyIntegration, OneStepTurnsAtMostFortyFiveDegrees) {
    // dt = 0.5 makes |w|^2 dt^2 exactly the limit's square for |w| = 2a.
    const dgFloat32 dt = 0.5f;
    StackBody exact;
    exact.m_body.m_omega = dgVector(0.0f, 0.0f, 2.0f * kMaxStepAngle, 0.0f);
    exact.m_body.IntegrateVelocityAndMatrix(dt);
    EXPECT_EQ(exact.m_body.m_omega.z, 2.0f * kMaxStepAngle);
    const dgFloat32 c = std::sqrt(0.5f);
    EXPECT_TRUE(VectorNear(exact.m_body.m_matrix.front, dgVector(c, c, 0.0f, 0.0f), kChainTol));

    StackBody fast;
    const dgFloat32 tooFast = 2.0f * kMaxStepAngle / 0.9f;
    fast.m_body.m_omega = dgVector(0.0f, 0.0f, tooFast, 0.0f);
    fast.m_body.IntegrateVelocityAndMatrix(dt);
    EXPECT_EQ(fast.m_body.m_omega.z, tooFast * 0.8f);

    // A huge but finite omega comes down in finitely many cuts; an infinite one is refused.
    StackBody huge;
    huge.m_body.m_omega = dgVector(1.0e30f, -1.0e30f, 0.0f, 0.0f);
    huge.m_body.IntegrateVelocityAndMatrix(dt);
    const dgVector w = huge.m_body.m_omega;
    EXPECT_LE(w.DotProduct(w) * dt * dt, kMaxStepAngle * kMaxStepAngle);
    EXPECT_GT(w.DotProduct(w) * dt * dt, 0.6f * kMaxStepAngle * kMaxStepAngle);
    EXPECT_TRUE(IsRightHandedOrthonormal(huge.m_body.m_matrix, kChainTol));
}

TEST(dgBodyIntegration, ConstantOmegaTurnsByItsSpeedTimesTheTime) {
    StackBody holder;
    dgBody& body = holder.m_body;
    const dgMatrix start = AxisAngleMatrix(dgVector(1, 0, 0, 0), 0.3f, dgVector(4, 5, 6, 1));
    body.SetMatrix(start);
    const dgVector axis(1.0f / 3.0f, 2.0f / 3.0f, 2.0f / 3.0f, 0.0f);
    const dgFloat32 speed = 0.9f;
    body.m_omega = axis.Scale(speed);
    const dgFloat32 dt = 1.0f / 60.0f;
    for (dgInt32 i = 0; i < 100; i++) {
        body.IntegrateStep(dt);
    }
    // Row vectors: the start frame first, then the turn about the global axis.
    const dgMatrix expected = dgMatrix(start.front, start.up, start.right, dgVector(0, 0, 0, 1))
                                  .Multiply(AxisAngleMatrix(axis, speed * 100.0f * dt, dgVector(4, 5, 6, 1)));
    EXPECT_TRUE(MatrixNear(body.m_matrix, expected, kLooseTol));
    EXPECT_TRUE(QuaternionNear(body.m_rotation, dgQuaternion::FromMatrix(expected), kLooseTol));
}

TEST(dgBodyIntegration, PositiveOmegaAboutZTurnsTheFrontAxisTowardY) {
    StackBody holder;
    holder.m_body.m_omega = dgVector(0.0f, 0.0f, 1.0f, 0.0f);
    holder.m_body.IntegrateVelocityAndMatrix(0.1f);
    EXPECT_GT(holder.m_body.m_matrix.front.y, 0.0f);
    EXPECT_TRUE(
        VectorNear(holder.m_body.m_matrix.front, dgVector(std::cos(0.1f), std::sin(0.1f), 0, 0), kChainTol));
    EXPECT_TRUE(
        VectorNear(holder.m_body.m_matrix.up, dgVector(-std::sin(0.1f), std::cos(0.1f), 0, 0), kChainTol));
}

TEST(dgBodyIntegration, ABodyTurningBelowTheRestSpeedKeepsItsRotationExactly) {
    StackBody holder;
    dgBody& body = holder.m_body;
    body.SetMatrix(AxisAngleMatrix(dgVector(0, 1, 0, 0), 0.7f, dgVector(0, 0, 0, 1)));
    const dgMatrix before = body.m_matrix;
    body.m_omega = dgVector(0.0f, 0.01f * 0.01745328f, 0.0f, 0.0f);
    for (dgInt32 i = 0; i < 10; i++) {
        body.IntegrateStep(1.0f / 60.0f);
    }
    EXPECT_TRUE(SameRotation(body.m_matrix, before));
}

TEST(dgBodyIntegration, NonFiniteMotionIsZeroedNotSpread) {
    StackBody holder;
    dgBody& body = holder.m_body;
    body.SetMatrix(AxisAngleMatrix(dgVector(0, 0, 1, 0), 0.2f, dgVector(1, 1, 1, 1)));
    body.SetMassMatrix(1.0f, 1.0f, 1.0f, 1.0f);
    body.m_force = dgVector(kNaN, 0.0f, 0.0f, 0.0f);
    body.m_torque = dgVector(0.0f, kInfinity, 0.0f, 0.0f);
    body.IntegrateStep(1.0f / 60.0f);
    EXPECT_TRUE(VectorNear(body.m_veloc, dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(body.m_omega, dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(body.m_matrix.posit, dgVector(1, 1, 1, 1), 0.0f));
    EXPECT_TRUE(IsRightHandedOrthonormal(body.m_matrix, kRoundingTol));
}

namespace {

struct TransformRecord {
    const dgFloat32* m_matrix = nullptr;
    dgVector m_posit;
    dgInt32 m_calls = 0;
};

void RecordTransform(dgBody* body, const dgFloat32* matrix) {
    auto* record = static_cast<TransformRecord*>(body->m_userData);
    record->m_matrix = matrix;
    record->m_posit = dgVector(matrix[12], matrix[13], matrix[14], matrix[15]);
    record->m_calls++;
}

} // namespace

TEST(dgBodyIntegration, StepKeepsTheForceTellsTheHostAndMovesTheBox) {
    ShapeHandle box = MakeBox(2.0f, 2.0f, 2.0f);
    StackBody holder(box.get());
    dgBody& body = holder.m_body;
    body.SetMassMatrix(4.0f, 1.0f, 1.0f, 1.0f);
    TransformRecord record;
    body.m_userData = &record;
    body.m_transform = RecordTransform;
    body.m_veloc = dgVector(6.0f, 0.0f, 0.0f, 0.0f);
    body.m_force = dgVector(0.0f, 8.0f, 0.0f, 0.0f);
    body.m_torque = dgVector(0.0f, 0.0f, 3.0f, 0.0f);
    body.IntegrateStep(0.5f);

    EXPECT_TRUE(Vector4Near(body.m_lastForce, dgVector(0, 8, 0, 0), 0.0f));
    EXPECT_TRUE(Vector4Near(body.m_lastTorque, dgVector(0, 0, 3, 0), 0.0f));
    // The accumulators now hold the accelerations.
    EXPECT_TRUE(VectorNear(body.m_force, dgVector(0, 2, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(body.m_veloc, dgVector(6, 1, 0, 0), 0.0f));
    ASSERT_EQ(record.m_calls, 1);
    EXPECT_EQ(record.m_matrix, &body.m_matrix.front.x);
    EXPECT_TRUE(Vector4Near(record.m_posit, dgVector(3.0f, 0.5f, 0.0f, 1.0f), 0.0f));
    dgVector min;
    dgVector max;
    box->CalcWorldBox(body.m_matrix, min, max);
    EXPECT_TRUE(Vector4Near(body.m_minBox, min, 0.0f));
    EXPECT_TRUE(Vector4Near(body.m_maxBox, max, 0.0f));
}

TEST(dgBodyIntegration, PredictionMatchesTheStepWithoutChangingTheBody) {
    StackBody holder;
    dgBody& body = holder.m_body;
    body.SetMatrix(AxisAngleMatrix(dgVector(0, 0, 1, 0), 0.7f, dgVector(1, 2, 3, 1)));
    body.SetMassMatrix(2.0f, 2.0f, 4.0f, 1.0f);
    body.m_veloc = dgVector(1, 0, 0, 0);
    body.m_omega = dgVector(0, 0, 0.5f, 0);
    body.m_force = dgVector(0, -20, 0, 0);
    body.m_torque = body.m_matrix.RotateVector(dgVector(0, 2, 0, 0));
    const dgBody before = body;
    dgVector v;
    dgVector w;
    body.IntegrateVelocity(0.1f, v, w);
    EXPECT_EQ(std::memcmp(&before, &body, sizeof(dgBody)), 0);
    body.IntegrateVelocityAndMatrix(0.1f);
    EXPECT_TRUE(VectorNear(v, body.m_veloc, kRoundingTol));
    EXPECT_TRUE(VectorNear(w, body.m_omega, kRoundingTol));
    EXPECT_TRUE(VectorNear(v, dgVector(1, -1, 0, 0), kRoundingTol));

    // The prediction obeys the same turn limit and refuses an infinite torque.
    body.m_torque = dgVector(0, 0, 1000, 0);
    body.IntegrateVelocity(0.1f, v, w);
    EXPECT_LE(w.DotProduct(w) * 0.01f, kMaxStepAngle * kMaxStepAngle);
    body.m_torque = dgVector(0, 0, kInfinity, 0);
    body.IntegrateVelocity(0.1f, v, w);
    EXPECT_TRUE(VectorNear(w, dgVector(0, 0, 0, 0), 0.0f));
}

// Mass ----------------------------------------------------------------------------------------------

TEST(dgBodyMass, MassOfOneE15OrNoneMakesTheBodyStatic) {
    const dgFloat32 staticMasses[] = {1.0e15f, 2.0e20f, kInfinity, 0.0f, -3.0f, kNaN, 1.0e-40f};
    for (const dgFloat32 mass : staticMasses) {
        StackBody holder;
        holder.m_body.SetMassMatrix(mass, 1.0f, 1.0f, 1.0f);
        EXPECT_TRUE(IsStatic(holder.m_body)) << mass;
        EXPECT_TRUE(Vector4Near(holder.m_body.m_reportedMass, dgVector(1e15f, 1e15f, 1e15f, 1e15f), 0.0f))
            << mass;
    }
    StackBody heavy;
    heavy.m_body.m_flags = dgBody::kEquilibrium;
    heavy.m_body.SetMassMatrix(9.9e14f, 2.0f, 3.0f, 4.0f);
    EXPECT_GT(heavy.m_body.m_invMass.w, 0.0f);
    EXPECT_EQ(heavy.m_body.m_flags & dgBody::kEquilibrium, 0u);
    EXPECT_TRUE(Vector4Near(heavy.m_body.m_reportedMass, dgVector(2, 3, 4, 9.9e14f), 0.0f));
}

TEST(dgBodyMass, AnInertiaOfNoneLocksOnlyItsAxis) {
    StackBody holder;
    dgBody& body = holder.m_body;
    body.SetMassMatrix(2.0f, 4.0f, 0.0f, kNaN);
    EXPECT_TRUE(Vector4Near(body.m_invMass, dgVector(0.25f, 0.0f, 0.0f, 0.5f), 0.0f));
    body.m_torque = dgVector(1.0f, 1.0f, 1.0f, 0.0f);
    body.IntegrateVelocityAndMatrix(0.5f);
    EXPECT_TRUE(VectorNear(body.m_omega, dgVector(0.125f, 0.0f, 0.0f, 0.0f), 0.0f));
}

TEST(dgBodyMass, APolygonSoupIsStaticWhateverItsMass) {
    ShapeHandle soup(new TestSoupShape);
    StackBody holder(soup.get());
    holder.m_body.SetMassMatrix(10.0f, 1.0f, 2.0f, 3.0f);
    EXPECT_TRUE(IsStatic(holder.m_body));
    EXPECT_TRUE(Vector4Near(holder.m_body.m_reportedMass, dgVector(1e15f, 1e15f, 1e15f, 1e15f), 0.0f));
    const dgFloat32 reported[4] = {1.0f, 2.0f, 3.0f, 10.0f};
    holder.m_body.UpdateReportedMass(reported);
    EXPECT_TRUE(Vector4Near(holder.m_body.m_reportedMass, dgVector(1e15f, 1e15f, 1e15f, 1e15f), 0.0f));

    // A moving body that takes a soup becomes static.
    ShapeHandle box = MakeBox(1.0f, 1.0f, 1.0f);
    StackBody moving(box.get());
    moving.m_body.SetMassMatrix(5.0f, 1.0f, 1.0f, 1.0f);
    moving.m_body.SetCollision(soup.get());
    EXPECT_TRUE(IsStatic(moving.m_body));
}

TEST(dgBodyMass, GyroscopicBodiesKeepAngularMomentumAcrossAMassChange) {
    StackBody holder;
    dgBody& body = holder.m_body;
    body.SetMatrix(AxisAngleMatrix(dgVector(0.6f, 0.8f, 0.0f, 0.0f), 1.1f, dgVector(0, 0, 0, 1)));
    body.SetMassMatrix(2.0f, 1.0f, 2.0f, 3.0f);
    body.m_omega = dgVector(0.3f, -0.7f, 1.1f, 0.0f);
    body.m_flags |= dgBody::kGyroscopicTorque;
    const dgVector momentum = LocalAngularMomentum(body);
    body.SetMassMatrix(2.0f, 4.0f, 5.0f, 6.0f);
    EXPECT_TRUE(VectorNear(LocalAngularMomentum(body), momentum, kChainTol));
    EXPECT_FALSE(VectorNear(body.m_omega, dgVector(0.3f, -0.7f, 1.1f, 0.0f), kLooseTol));

    body.m_flags &= ~dgBody::kGyroscopicTorque;
    const dgVector omega = body.m_omega;
    body.SetMassMatrix(2.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(Vector4Near(body.m_omega, omega, 0.0f));
}

// Impulses ------------------------------------------------------------------------------------------

TEST(dgBodyImpulse, AnOffsetImpulseChangesThatPointsVelocityByTheRequest) {
    StackBody holder;
    dgBody& body = holder.m_body;
    body.m_localCentreOfMass = dgVector(0.1f, 0.0f, 0.2f, 1.0f);
    body.SetMatrix(AxisAngleMatrix(dgVector(0.0f, 0.6f, 0.8f, 0.0f), 0.9f, dgVector(1, -2, 0.5f, 1)));
    body.SetMassMatrix(3.0f, 1.0f, 2.0f, 4.0f);
    body.m_veloc = dgVector(1.0f, 0.0f, 0.0f, 0.0f);
    body.m_omega = dgVector(0.0f, 0.5f, 0.0f, 0.0f);
    const dgVector point(2.0f, 1.0f, -1.0f, 1.0f);
    const dgVector change(0.3f, -0.2f, 0.5f, 0.0f);
    const dgVector before = PointVelocity(body, point);
    body.AddImpulse(change, point);
    EXPECT_TRUE(VectorNear(PointVelocity(body, point).Sub(before), change, kChainTol));
    EXPECT_FALSE(VectorNear(body.m_omega, dgVector(0.0f, 0.5f, 0.0f, 0.0f), kLooseTol));
    EXPECT_EQ(body.m_flags & dgBody::kEquilibrium, 0u);
}

TEST(dgBodyImpulse, AnImpulseAtTheCentreOfMassChangesOnlyTheVelocity) {
    StackBody holder;
    dgBody& body = holder.m_body;
    body.m_localCentreOfMass = dgVector(0.5f, 0.0f, 0.0f, 1.0f);
    body.SetMatrix(AxisAngleMatrix(dgVector(1, 0, 0, 0), 0.4f, dgVector(3, 0, 0, 1)));
    body.SetMassMatrix(5.0f, 1.0f, 2.0f, 3.0f);
    body.m_omega = dgVector(0.1f, 0.2f, 0.3f, 0.0f);
    const dgVector omega = body.m_omega;
    body.AddImpulse(dgVector(1.0f, 2.0f, -3.0f, 0.0f), body.m_globalCentreOfMass);
    EXPECT_TRUE(VectorNear(body.m_veloc, dgVector(1.0f, 2.0f, -3.0f, 0.0f), kRoundingTol));
    EXPECT_TRUE(Vector4Near(body.m_omega, omega, 0.0f));
}

TEST(dgBodyImpulse, StaticBodiesAndNonFiniteRequestsAreIgnored) {
    StackBody still;
    still.m_body.SetMassMatrix(1.0e15f, 1.0f, 1.0f, 1.0f);
    still.m_body.AddImpulse(dgVector(1, 0, 0, 0), dgVector(0, 1, 0, 1));
    EXPECT_TRUE(VectorNear(still.m_body.m_veloc, dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(still.m_body.m_omega, dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_NE(still.m_body.m_flags & dgBody::kEquilibrium, 0u);

    StackBody moving;
    moving.m_body.SetMassMatrix(1.0f, 1.0f, 1.0f, 1.0f);
    moving.m_body.AddImpulse(dgVector(kNaN, 0, 0, 0), dgVector(0, 1, 0, 1));
    moving.m_body.AddImpulse(dgVector(1, 0, 0, 0), dgVector(kInfinity, 1, 0, 1));
    EXPECT_TRUE(VectorNear(moving.m_body.m_veloc, dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(moving.m_body.m_omega, dgVector(0, 0, 0, 0), 0.0f));
}

// Collision matrix, box and collision -----------------------------------------------------------------

TEST(dgBodyCollisionMatrix, TheShapeOffsetPlacesTheBox) {
    ShapeHandle box =
        MakeBox(2.0f, 4.0f, 6.0f, AxisAngleMatrix(dgVector(1, 0, 0, 0), 0.0f, dgVector(1, 0, 0, 1)));
    StackBody holder(box.get(), dgRotationMatrixY(0.5f * 3.14159265f));
    dgBody& body = holder.m_body;
    body.m_localCentreOfMass = dgVector(1.0f, 0.0f, 0.0f, 1.0f);
    dgMatrix placement = dgRotationMatrixY(0.5f * 3.14159265f);
    placement.posit = dgVector(0.0f, 0.0f, 5.0f, 1.0f);
    body.SetMatrix(placement);
    // The local x axis points along -z: the shape's centre and the centre of mass both sit at z = 4.
    EXPECT_TRUE(VectorNear(body.m_collisionMatrix.posit, dgVector(0, 0, 4, 1), kChainTol));
    EXPECT_TRUE(VectorNear(body.m_globalCentreOfMass, dgVector(0, 0, 4, 1), kChainTol));
    EXPECT_TRUE(VectorNear(body.m_minBox, dgVector(-3, -2, 3, 1), kChainTol));
    EXPECT_TRUE(VectorNear(body.m_maxBox, dgVector(3, 2, 5, 1), kChainTol));
    EXPECT_TRUE(QuaternionNear(
        body.m_rotation, dgQuaternion::FromAxisAngle(dgVector(0, 1, 0, 0), 0.5f * 3.14159265f), kChainTol));
}

TEST(dgBodyCollisionMatrix, ContinuousBodiesWidenTheBoxByTheMotionBeyondThirtyPercent) {
    ShapeHandle box = MakeBox(2.0f, 2.0f, 2.0f);
    StackBody holder(box.get());
    dgBody& body = holder.m_body;
    body.SetMassMatrix(2.0f, 1.0f, 1.0f, 1.0f);
    const dgFloat32 dt = 1.0f / 60.0f;

    // 0.5 per step is within 30% of the box size 2.
    body.m_flags |= dgBody::kContinuousCollision;
    body.m_veloc = dgVector(30.0f, 0.0f, 0.0f, 0.0f);
    body.UpdateCollisionMatrix(dt);
    EXPECT_TRUE(VectorNear(body.m_minBox, dgVector(-1, -1, -1, 0), 0.0f));
    EXPECT_TRUE(VectorNear(body.m_maxBox, dgVector(1, 1, 1, 0), 0.0f));

    // +1.0 on x and -1.5 on y from the velocity, +1.0 on z from the force (7200 / 2 * dt^2).
    body.m_veloc = dgVector(60.0f, -90.0f, 0.0f, 0.0f);
    body.m_force = dgVector(0.0f, 0.0f, 7200.0f, 0.0f);
    body.UpdateCollisionMatrix(dt);
    EXPECT_TRUE(VectorNear(body.m_minBox, dgVector(-1.0f, -1.9f, -1.0f, 0), kChainTol));
    EXPECT_TRUE(VectorNear(body.m_maxBox, dgVector(1.4f, 1.0f, 1.4f, 0), kChainTol));

    body.m_flags &= ~dgBody::kContinuousCollision;
    body.UpdateCollisionMatrix(dt);
    EXPECT_TRUE(VectorNear(body.m_maxBox, dgVector(1, 1, 1, 0), 0.0f));

    // Placed without a world the step time is 0: nothing to widen.
    body.m_flags |= dgBody::kContinuousCollision;
    body.SetMatrix(body.m_matrix);
    EXPECT_TRUE(VectorNear(body.m_minBox, dgVector(-1, -1, -1, 0), 0.0f));
    EXPECT_TRUE(VectorNear(body.m_maxBox, dgVector(1, 1, 1, 0), 0.0f));
}

TEST(dgBodyCollisionMatrix, SetMatrixWidensWithTheWorldsStepTime) {
    dgWorld* world = new dgWorld;
    ShapeHandle box = MakeBox(2.0f, 2.0f, 2.0f);
    {
        StackBody holder(box.get());
        dgBody& body = holder.m_body;
        body.m_world = world;
        body.SetMassMatrix(1.0f, 1.0f, 1.0f, 1.0f);
        world->m_timeStep = 0.5f;
        body.m_flags |= dgBody::kContinuousCollision;
        body.m_veloc = dgVector(2.0f, 0.0f, 0.0f, 0.0f);
        body.SetMatrix(dgGetIdentityMatrix());
        EXPECT_TRUE(VectorNear(body.m_maxBox, dgVector(1.4f, 1, 1, 0), kChainTol));
        EXPECT_EQ(body.m_cell, nullptr);
    }
    delete world;
}

TEST(dgBodyCollisionMatrix, OnlyBodiesInTheBroadPhaseAreRefiledThere) {
    dgWorld* world = new dgWorld;
    ShapeHandle box = MakeBox(1.0f, 1.0f, 1.0f);
    {
        dgMatrix placement = dgGetIdentityMatrix();
        placement.posit = dgVector(3.0f, 0.0f, 3.0f, 1.0f);
        // A query body that only knows its world stays out of the broad phase.
        StackBody query(box.get());
        query.m_body.m_world = world;
        query.m_body.SetMatrix(placement);
        EXPECT_EQ(query.m_body.m_cell, nullptr);
        EXPECT_EQ(world->m_broadPhase.GetMovedCount(), 0);

        // A member leaves the root for the small cell that fits its box.
        StackBody member(box.get());
        member.m_body.m_world = world;
        world->m_broadPhase.Add(&member.m_body);
        ASSERT_EQ(member.m_body.m_cell, world->m_broadPhase.GetRootCell());
        member.m_body.SetMatrix(placement);
        ASSERT_NE(member.m_body.m_cell, nullptr);
        EXPECT_GT(member.m_body.m_cell->m_level, 0);
        EXPECT_EQ(world->m_broadPhase.GetMovedCount(), 1);
        world->m_broadPhase.Remove(&member.m_body);
    }
    delete world;
}

TEST(dgBodyCollision, ReplacingTheCollisionReleasesTheOldOne) {
    ShapeHandle first = MakeBox(1.0f, 1.0f, 1.0f);
    ShapeHandle second = MakeBox(4.0f, 4.0f, 4.0f);
    {
        StackBody holder(first.get());
        EXPECT_EQ(first->GetRefCount(), 2);
        // Replacing a shape by itself must not free it.
        holder.m_body.SetCollision(first.get());
        EXPECT_EQ(first->GetRefCount(), 2);
        holder.m_body.SetCollision(second.get());
        EXPECT_EQ(first->GetRefCount(), 1);
        EXPECT_EQ(second->GetRefCount(), 2);
        EXPECT_TRUE(VectorNear(holder.m_body.m_maxBox, dgVector(2, 2, 2, 0), 0.0f));
    }
    EXPECT_EQ(second->GetRefCount(), 1);
}

TEST(dgBodyCollision, AWorldBodyTakingASoupTurnsStaticAndHandsTheOldShapeBack) {
    dgWorld* world = new dgWorld;
    ShapeHandle box = MakeBox(1.0f, 1.0f, 1.0f);
    ShapeHandle soup(new TestSoupShape);
    dgBody* body = world->CreateBody(box.get());
    ASSERT_NE(body, nullptr);
    body->SetMassMatrix(2.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_GT(body->m_invMass.w, 0.0f);
    body->SetCollision(soup.get());
    EXPECT_TRUE(IsStatic(*body));
    EXPECT_EQ(box->GetRefCount(), 1);
    body->SetMassMatrix(2.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(IsStatic(*body));
    delete world;
    EXPECT_EQ(soup->GetRefCount(), 1);
}

// Ray casts -----------------------------------------------------------------------------------------

namespace {

struct FilterRecord {
    std::vector<dgFloat32> m_params;
    dgVector m_normal;
    dgInt32 m_attribute = 0;
};

dgFloat32 RecordHit(dgBody*, const dgFloat32* normal, dgInt32 attribute, void* userData, dgFloat32 t) {
    auto* record = static_cast<FilterRecord*>(userData);
    record->m_params.push_back(t);
    record->m_normal = dgVector(normal[0], normal[1], normal[2], 0.0f);
    record->m_attribute = attribute;
    return 0.5f * t;
}

dgUnsigned32 RejectAll(dgBody*, const dgCollision*, void*) {
    return 0;
}

} // namespace

TEST(dgBodyRayCast, TheFilterSeesOnlyHitsBelowTheBest) {
    ShapeHandle box = MakeBox(2.0f, 2.0f, 2.0f);
    box->SetUserId(77);
    dgMatrix placement = dgRotationMatrixZ(0.5f * 3.14159265f);
    placement.posit = dgVector(5.0f, 0.0f, 0.0f, 1.0f);
    StackBody holder(box.get(), placement);
    dgBody& body = holder.m_body;
    const dgVector p0(5.0f, -10.0f, 0.0f, 1.0f);
    const dgVector p1(5.0f, 10.0f, 0.0f, 1.0f);

    FilterRecord record;
    const dgFloat32 result = body.RayCast(p0, p1, RecordHit, nullptr, &record, 1.0f);
    ASSERT_EQ(record.m_params.size(), 1u);
    EXPECT_NEAR(record.m_params[0], 0.45f, kChainTol);
    EXPECT_EQ(result, 0.5f * record.m_params[0]);
    EXPECT_TRUE(VectorNear(record.m_normal, dgVector(0, -1, 0, 0), kChainTol));
    EXPECT_EQ(record.m_attribute, 77);

    // At or beyond the best, a miss, and a pre-filter refusal: the best comes back untouched.
    EXPECT_EQ(body.RayCast(p0, p1, RecordHit, nullptr, &record, 0.3f), 0.3f);
    EXPECT_EQ(body.RayCast(dgVector(0, -10, 0, 1), dgVector(0, 10, 0, 1), RecordHit, nullptr, &record, 1.0f),
              1.0f);
    EXPECT_EQ(body.RayCast(p0, p1, RecordHit, RejectAll, &record, 1.0f), 1.0f);
    EXPECT_EQ(record.m_params.size(), 1u);
}

// Buoyancy ------------------------------------------------------------------------------------------

namespace {

dgInt32 WaterAtZero(std::uintptr_t, void*, const dgFloat32*, dgFloat32* plane) {
    plane[0] = 0.0f;
    plane[1] = 1.0f;
    plane[2] = 0.0f;
    plane[3] = 0.0f;
    return 1;
}

} // namespace

TEST(dgBodyBuoyancy, HalfSubmergedCubeIsLiftedByTheDisplacedWeight) {
    ShapeHandle box = MakeBox(1.0f, 1.0f, 1.0f);
    StackBody holder(box.get());
    dgBody& body = holder.m_body;
    body.SetMassMatrix(10.0f, 1.0f, 1.0f, 1.0f);
    const dgVector gravity(0.0f, -10.0f, 0.0f, 0.0f);
    body.AddBuoyancyForce(1000.0f, 0.0f, 0.0f, gravity, WaterAtZero, nullptr);
    EXPECT_TRUE(VectorNear(body.m_force, dgVector(0, 5000, 0, 0), 5000 * kLooseTol));
    EXPECT_TRUE(VectorNear(body.m_torque, dgVector(0, 0, 0, 0), kLooseTol));

    // An off-centre mass turns the cube upright.
    body.m_force = dgVector(0, 0, 0, 0);
    body.m_localCentreOfMass = dgVector(0.1f, 0.0f, 0.0f, 1.0f);
    body.SetMatrix(body.m_matrix);
    body.AddBuoyancyForce(1000.0f, 0.0f, 0.0f, gravity, WaterAtZero, nullptr);
    EXPECT_TRUE(VectorNear(body.m_torque, dgVector(0, 0, -500, 0), 500 * kLooseTol));
}

TEST(dgBodyBuoyancy, DragOpposesTheMotionWithinItsLimits) {
    ShapeHandle box = MakeBox(1.0f, 1.0f, 1.0f);
    StackBody holder(box.get());
    dgBody& body = holder.m_body;
    body.SetMassMatrix(10.0f, 1.0f, 1.0f, 1.0f);
    body.m_veloc = dgVector(1.0f, 0.0f, 0.0f, 0.0f);
    body.m_omega = dgVector(0.0f, 0.1f, 0.0f, 0.0f);
    const dgVector noGravity(0, 0, 0, 0);
    // 100 * 0.05 * 1 = 5 lies between the linear limits; 1000 * 1 * 0.01 = 10 is capped at 2.
    body.AddBuoyancyForce(1000.0f, 0.05f, 1.0f, noGravity, WaterAtZero, nullptr);
    EXPECT_TRUE(VectorNear(body.m_force, dgVector(-5, 0, 0, 0), kChainTol));
    EXPECT_TRUE(VectorNear(body.m_torque, dgVector(0, -0.2f, 0, 0), kChainTol));

    // A slow body in a viscous fluid still drags linearly; no viscosity, no drag.
    body.m_force = dgVector(0, 0, 0, 0);
    body.m_veloc = dgVector(0.01f, 0.0f, 0.0f, 0.0f);
    body.AddBuoyancyForce(1000.0f, 0.05f, 0.0f, noGravity, WaterAtZero, nullptr);
    EXPECT_TRUE(VectorNear(body.m_force, dgVector(-0.01f, 0, 0, 0), kRoundingTol));
    body.m_force = dgVector(0, 0, 0, 0);
    body.AddBuoyancyForce(1000.0f, 0.0f, 0.0f, noGravity, WaterAtZero, nullptr);
    EXPECT_TRUE(VectorNear(body.m_force, dgVector(0, 0, 0, 0), 0.0f));
}

TEST(dgBodyBuoyancy, LightOrDryBodiesFeelNothing) {
    ShapeHandle box = MakeBox(1.0f, 1.0f, 1.0f);
    StackBody light(box.get());
    light.m_body.SetMassMatrix(0.01f, 1.0f, 1.0f, 1.0f);
    light.m_body.AddBuoyancyForce(1000.0f, 1.0f, 1.0f, dgVector(0, -10, 0, 0), WaterAtZero, nullptr);
    EXPECT_TRUE(VectorNear(light.m_body.m_force, dgVector(0, 0, 0, 0), 0.0f));

    StackBody dry(box.get(), AxisAngleMatrix(dgVector(1, 0, 0, 0), 0.0f, dgVector(0, 3, 0, 1)));
    dry.m_body.SetMassMatrix(5.0f, 1.0f, 1.0f, 1.0f);
    dry.m_body.AddBuoyancyForce(1000.0f, 1.0f, 1.0f, dgVector(0, -10, 0, 0), WaterAtZero, nullptr);
    EXPECT_TRUE(VectorNear(dry.m_body.m_force, dgVector(0, 0, 0, 0), 0.0f));
}
