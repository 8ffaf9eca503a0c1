// Collision functions: the shape cache seen through handles, sphere or ellipsoid, ray casts in the
// caller's space, boxes, continuous collision in seconds, Euler angles.

#include "ApiTestScene.h"

#include <gtest/gtest.h>

#include <numbers>
#include <random>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

/// Rotation of angle about y followed by a translation.
Mat4 TurnedAboutY(float angle, float x, float y, float z) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, x, y, z, 1};
}

class WorldFixture : public ::testing::Test {
protected:
    dgWorld* m_world = dgApiWorldCreate(nullptr, nullptr);
    ~WorldFixture() override { dgApiWorldDestroy(m_world); }
};

using dgApiCollision = WorldFixture;

} // namespace

TEST_F(dgApiCollision, EqualBoxesAreOneHandleThatLivesAsLongAsItsCallersReferences) {
    dgCollision* first = dgApiCollisionCreateBox(m_world, 1.0f, 2.0f, 3.0f, nullptr);
    dgApiConvexCollisionSetUserID(first, 42u);
    dgCollision* second = dgApiCollisionCreateBox(m_world, 1.0f, 2.0f, 3.0f, nullptr);
    EXPECT_EQ(second, first);

    // Three references now: the cache's and one per call. Giving one back keeps the shape cached.
    dgApiCollisionRelease(m_world, first);
    dgCollision* third = dgApiCollisionCreateBox(m_world, 1.0f, 2.0f, 3.0f, nullptr);
    EXPECT_EQ(third, first);
    EXPECT_EQ(dgApiConvexCollisionGetUserID(third), 42u);

    // With only the cache's reference left the shape goes: the next request builds a new one.
    dgApiCollisionRelease(m_world, second);
    dgApiCollisionRelease(m_world, third);
    dgCollision* fresh = dgApiCollisionCreateBox(m_world, 1.0f, 2.0f, 3.0f, nullptr);
    EXPECT_EQ(dgApiConvexCollisionGetUserID(fresh), 0u);

    // Taken out of the cache, a shape stays with its holders while equal requests get another.
    dgApiCollisionRemoveFromCache(m_world, fresh);
    dgCollision* other = dgApiCollisionCreateBox(m_world, 1.0f, 2.0f, 3.0f, nullptr);
    EXPECT_NE(other, fresh);
    EXPECT_NEAR(dgApiConvexCollisionCalculateVolume(fresh), 6.0f, 1.0e-4f);
    dgApiCollisionRelease(m_world, fresh);
    dgApiCollisionRelease(m_world, other);
}

TEST_F(dgApiCollision, NearlyEqualRadiiMakeASphereOthersAnEllipsoid) {
    dgCollision* sphere = dgApiCollisionCreateSphere(m_world, 1.0f, 1.0f, 1.0f, nullptr);
    dgCollision* almost = dgApiCollisionCreateSphere(m_world, 1.0f, 1.0f, 1.000005f, nullptr);
    dgCollision* ellipsoid = dgApiCollisionCreateSphere(m_world, 1.0f, 1.0f, 1.1f, nullptr);
    dgCollision* negative = dgApiCollisionCreateSphere(m_world, -2.0f, 2.0f, 2.0f, nullptr);
    EXPECT_EQ(almost, sphere);
    EXPECT_NE(ellipsoid, sphere);
    // Volumes of the same tessellation scale with the product of the radii.
    const float unitVolume = dgApiConvexCollisionCalculateVolume(sphere);
    EXPECT_NEAR(unitVolume, 4.0f / 3.0f * kPi, 0.03f * 4.0f / 3.0f * kPi);
    EXPECT_NEAR(dgApiConvexCollisionCalculateVolume(ellipsoid) / unitVolume, 1.1f, 1.0e-3f);
    EXPECT_NEAR(dgApiConvexCollisionCalculateVolume(negative) / unitVolume, 8.0f, 8.0e-3f);
    for (dgCollision* shape : {sphere, almost, ellipsoid, negative}) {
        dgApiCollisionRelease(m_world, shape);
    }
}

TEST_F(dgApiCollision, RayCastOnAnOffsetBoxReportsTheNormalInTheCallersSpace) {
    // A unit box turned a quarter about y and moved to x = 3.
    const Mat4 offset = TurnedAboutY(0.5f * kPi, 3.0f, 0.0f, 0.0f);
    dgCollision* box = dgApiCollisionCreateBox(m_world, 1.0f, 1.0f, 1.0f, offset.data());

    const Vec3 p0 = {0.0f, 0.0f, 0.0f};
    const Vec3 p1 = {10.0f, 0.0f, 0.0f};
    Vec3 normal = {};
    int attribute = -1;
    EXPECT_NEAR(dgApiCollisionRayCast(box, p0.data(), p1.data(), normal.data(), &attribute), 0.25f, 1.0e-5f);
    EXPECT_NEAR(normal[0], -1.0f, 1.0e-5f);
    EXPECT_NEAR(normal[1], 0.0f, 1.0e-5f);
    EXPECT_NEAR(normal[2], 0.0f, 1.0e-5f);
    EXPECT_EQ(attribute, 0);

    const Vec3 above = {3.0f, 5.0f, 0.0f};
    const Vec3 below = {3.0f, -5.0f, 0.0f};
    EXPECT_NEAR(dgApiCollisionRayCast(box, above.data(), below.data(), normal.data(), &attribute), 0.45f,
                1.0e-5f);
    EXPECT_NEAR(normal[1], 1.0f, 1.0e-5f);

    // A miss leaves the outputs alone.
    const Vec3 q0 = {0.0f, 2.0f, 0.0f};
    const Vec3 q1 = {10.0f, 2.0f, 0.0f};
    normal = {7.0f, 7.0f, 7.0f};
    attribute = 9;
    EXPECT_GT(dgApiCollisionRayCast(box, q0.data(), q1.data(), normal.data(), &attribute), 1.0f);
    EXPECT_EQ(normal[0], 7.0f);
    EXPECT_EQ(attribute, 9);
    // So does a segment that ends exactly on a sphere: the sphere answers 1 without filling its record.
    const Mat4 centred = Translation(0.0f, 0.0f, 0.0f);
    dgCollision* ball = dgApiCollisionCreateSphere(m_world, 1.0f, 1.0f, 1.0f, centred.data());
    const Vec3 far = {-3.0f, 0.0f, 0.0f};
    const Vec3 onSurface = {-1.0f, 0.0f, 0.0f};
    EXPECT_EQ(dgApiCollisionRayCast(ball, far.data(), onSurface.data(), normal.data(), &attribute), 1.0f);
    EXPECT_EQ(normal[0], 7.0f);
    EXPECT_EQ(attribute, 9);
    dgApiCollisionRelease(m_world, ball);

    // The box placed by a further translation of 10 in z: offset, then the matrix.
    Vec3 lo;
    Vec3 hi;
    const Mat4 placement = Translation(0.0f, 0.0f, 10.0f);
    dgApiCollisionCalculateAABB(box, placement.data(), lo.data(), hi.data());
    EXPECT_NEAR(lo[0], 2.5f, 1.0e-4f);
    EXPECT_NEAR(hi[0], 3.5f, 1.0e-4f);
    EXPECT_NEAR(lo[2], 9.5f, 1.0e-4f);
    EXPECT_NEAR(hi[2], 10.5f, 1.0e-4f);
    dgApiCollisionRelease(m_world, box);
}

TEST_F(dgApiCollision, ContinuousCollisionGivesTheTimeOfImpactInSeconds) {
    dgCollision* ball = dgApiCollisionCreateSphere(m_world, 0.5f, 0.5f, 0.5f, nullptr);
    const Mat4 atOrigin = Identity();
    const Mat4 ahead = Translation(3.0f, 0.0f, 0.0f);
    const Vec3 fast = {10.0f, 0.0f, 0.0f};
    const Vec3 still = {0.0f, 0.0f, 0.0f};
    float contacts[3 * 4];
    float normals[3 * 4];
    float penetrations[4];
    float timeOfImpact = -1.0f;
    // The gap of 2 closes at 10 m/s after 0.2 s, within a step of 0.5 s.
    const int count = dgApiCollisionCollideContinue(
        m_world, 4, 0.5f, ball, atOrigin.data(), fast.data(), still.data(), ball, ahead.data(), still.data(),
        still.data(), &timeOfImpact, contacts, normals, penetrations);
    ASSERT_GE(count, 1);
    EXPECT_NEAR(timeOfImpact, 0.2f, 0.01f);

    // Too slow to meet within the step: no contact and the whole step as the time of impact.
    const Vec3 slow = {1.0f, 0.0f, 0.0f};
    EXPECT_EQ(dgApiCollisionCollideContinue(m_world, 4, 0.5f, ball, atOrigin.data(), slow.data(),
                                            still.data(), ball, ahead.data(), still.data(), still.data(),
                                            &timeOfImpact, contacts, normals, penetrations),
              0);
    EXPECT_EQ(timeOfImpact, 0.5f);
    dgApiCollisionRelease(m_world, ball);
}

TEST(dgApiAngles, EulerAnglesRoundTripAndZeroIsTheIdentity) {
    Mat4 matrix;
    const Vec3 zero = {};
    dgApiSetEulerAngle(zero.data(), matrix.data());
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(matrix[i], Identity()[i]);
    }

    std::mt19937 random(20);
    std::uniform_real_distribution<float> roll(-3.0f, 3.0f);
    std::uniform_real_distribution<float> pitch(-1.5f, 1.5f);
    for (int i = 0; i < 100; i++) {
        const Vec3 angles = {roll(random), pitch(random), roll(random)};
        dgApiSetEulerAngle(angles.data(), matrix.data());
        Vec3 back;
        dgApiGetEulerAngle(matrix.data(), back.data());
        for (int k = 0; k < 3; k++) {
            EXPECT_NEAR(back[k], angles[k], 1.0e-3f) << i << " " << k;
        }
    }
}
