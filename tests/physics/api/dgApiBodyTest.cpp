// Body functions: mass clamps, frames made rigid, impulses at a point, damping and freeze clamps, faces.

#include "ApiTestScene.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

int g_wakes = 0;

void CountWakes(dgBody*, unsigned state) {
    g_wakes += static_cast<int>(state);
}

struct MassReport {
    float mass;
    float ixx;
    float iyy;
    float izz;
};

MassReport ReportedMass(const dgBody* body) {
    MassReport r;
    dgApiBodyGetMassMatrix(body, &r.mass, &r.ixx, &r.iyy, &r.izz);
    return r;
}

/// Angular velocity about x after one step under a torque of 1 about x: 1/60 over the dynamic Ixx.
float SpinUpAboutX(FloorWorld& scene, dgBody* body) {
    const Vec3 noDamping = {0.0f, 0.0f, 0.0f};
    dgApiBodySetAngularDamping(body, noDamping.data());
    dgApiBodySetForceAndTorqueCallback(body, [](dgBody* b) {
        const Vec3 torque = {1.0f, 0.0f, 0.0f};
        dgApiBodySetTorque(b, torque.data());
    });
    scene.Step(1);
    Vec3 omega;
    dgApiBodyGetOmega(body, omega.data());
    return omega[0];
}

} // namespace

BOTH_BUILDS_SUITE(dgApiBodyStepping);

TEST_P(dgApiBodyStepping, MassMatrixTakesAbsoluteValuesClampsInertiasAndMakesTinyMassesStatic) {
    FloorWorld scene;
    dgBody* body = scene.AddBox(5.0f);

    dgApiBodySetMassMatrix(body, -2.0f, -1.0f, 1.0f, 1.0f);
    MassReport r = ReportedMass(body);
    EXPECT_EQ(r.mass, 2.0f);
    EXPECT_EQ(r.ixx, 1.0f);
    EXPECT_EQ(r.iyy, 1.0f);
    EXPECT_EQ(r.izz, 1.0f);

    // The dynamics turn the body with Ixx = 10 x 0.01 while the body reports the 0.01 it was given.
    dgApiBodySetMassMatrix(body, 10.0f, 0.01f, 1.0f, 1.0f);
    EXPECT_EQ(ReportedMass(body).ixx, 0.01f);
    EXPECT_NEAR(SpinUpAboutX(scene, body), kStep / 0.1f, 1.0e-3f);

    // Below 0.001 the mass is infinite: reported as zeros, and impulses neither move nor wake it.
    dgApiBodySetMassMatrix(body, 0.0005f, 1.0f, 1.0f, 1.0f);
    r = ReportedMass(body);
    EXPECT_EQ(r.mass, 0.0f);
    EXPECT_EQ(r.ixx, 0.0f);
    dgApiWorldFreezeBody(scene.m_world, body);
    const Vec3 kick = {0.0f, 5.0f, 0.0f};
    const Vec3 centre = BodyPosition(body);
    g_wakes = 0;
    dgApiBodySetAutoactiveCallback(body, CountWakes);
    dgApiBodyAddImpulse(body, kick.data(), centre.data());
    EXPECT_EQ(g_wakes, 0);
    EXPECT_EQ(BodyVelocity(body)[1], 0.0f);
}

TEST(dgApiBody, SetMatrixStoresAnOrthonormalFrameFromAScaledSkewedMatrix) {
    FloorWorld scene;
    dgBody* body = scene.AddBox(5.0f);
    // Front of length 2 along x, up leaning towards x, right scaled by 3, position (1, 2, 3).
    const Mat4 skewed = {2, 0, 0, 5, 1, 1, 0, 5, 0, 0, 3, 5, 1, 2, 3, 7};
    dgApiBodySetMatrix(body, skewed.data());
    Mat4 stored;
    dgApiBodyGetMatrix(body, stored.data());
    const Vec3 front = Row(stored, 0);
    const Vec3 up = Row(stored, 1);
    const Vec3 right = Row(stored, 2);
    EXPECT_NEAR(Length(front), 1.0f, 1.0e-6f);
    EXPECT_NEAR(Length(up), 1.0f, 1.0e-6f);
    EXPECT_NEAR(Length(right), 1.0f, 1.0e-6f);
    EXPECT_NEAR(Dot(front, up), 0.0f, 1.0e-6f);
    EXPECT_NEAR(Dot(front, right), 0.0f, 1.0e-6f);
    EXPECT_NEAR(Dot(up, right), 0.0f, 1.0e-6f);
    const Vec3 handed = Cross(front, up);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(handed[i], right[i], 1.0e-6f);
    }
    // The front keeps its direction and the up row stays on the side it leaned from.
    EXPECT_NEAR(front[0], 1.0f, 1.0e-6f);
    EXPECT_NEAR(up[1], 1.0f, 1.0e-6f);
    EXPECT_EQ(stored[3], 0.0f);
    EXPECT_EQ(stored[15], 1.0f);
    EXPECT_EQ(Row(stored, 3), (Vec3{1.0f, 2.0f, 3.0f}));

    // A front along up spans no frame: the body keeps the one it had.
    const Mat4 degenerate = {0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 9, 9, 9, 1};
    dgApiBodySetMatrix(body, degenerate.data());
    EXPECT_EQ(BodyPosition(body), (Vec3{1.0f, 2.0f, 3.0f}));

    // Nor do entries that are not finite, alone or moving what is jointed to the body.
    Mat4 notFinite = Translation(std::nanf(""), 0.0f, 0.0f);
    dgApiBodySetMatrix(body, notFinite.data());
    dgApiBodySetMatrixRecursive(body, notFinite.data());
    notFinite = Identity();
    notFinite[5] = INFINITY;
    dgApiBodySetMatrixRecursive(body, notFinite.data());
    dgApiBodyGetMatrix(body, stored.data());
    EXPECT_EQ(Row(stored, 3), (Vec3{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(Row(stored, 1), up);
}

TEST(dgApiBody, ACentreOfMassThatIsNotFiniteIsIgnored) {
    Vec3 fallen[2];
    for (int run = 0; run < 2; run++) {
        FloorWorld scene;
        dgBody* body = scene.AddBox(3.0f);
        const Vec3 centre = {run == 0 ? 0.0f : std::nanf(""), 0.0f, 0.0f};
        dgApiBodySetCentreOfMass(body, centre.data());
        scene.Step(10);
        fallen[run] = BodyPosition(body);
    }
    EXPECT_LT(fallen[0][1], 3.0f);
    EXPECT_EQ(fallen[1], fallen[0]);
}

TEST(dgApiBody, ImpulseAtAnOffsetPointChangesThatPointsVelocityByTheGivenAmount) {
    FloorWorld scene;
    dgBody* body = scene.AddBox(5.0f, 2.0f, {1.0f, 2.0f, 3.0f});
    // Principal inertias of a 1 x 2 x 3 box of mass 2: m (b^2 + c^2) / 12 and so on.
    const float inertia[3] = {2.0f * (4.0f + 9.0f) / 12.0f, 2.0f * (1.0f + 9.0f) / 12.0f,
                              2.0f * (1.0f + 4.0f) / 12.0f};
    dgApiBodySetMassMatrix(body, 2.0f, inertia[0], inertia[1], inertia[2]);
    const Vec3 change = {0.0f, 0.0f, 1.0f};
    const Vec3 arm = {0.5f, 0.3f, 0.0f};
    const Vec3 point = {arm[0], 5.0f + arm[1], arm[2]};
    dgApiBodyAddImpulse(body, change.data(), point.data());

    const Vec3 v = BodyVelocity(body);
    Vec3 omega;
    dgApiBodyGetOmega(body, omega.data());
    const Vec3 spin = Cross(omega, arm);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(v[i] + spin[i], change[i], 1.0e-5f);
    }
    // The impulse J along z: v = J / m, omega = I^-1 (r x J), both determined by the one unknown J.
    const float impulse = v[2] * 2.0f;
    EXPECT_NEAR(omega[0], arm[1] * impulse / inertia[0], 1.0e-5f);
    EXPECT_NEAR(omega[1], -arm[0] * impulse / inertia[1], 1.0e-5f);
    EXPECT_NEAR(omega[2], 0.0f, 1.0e-6f);
}

TEST(dgApiBody, DampingAndFreezeThresholdsAreClamped) {
    FloorWorld scene;
    dgBody* body = scene.AddBox(5.0f);
    dgApiBodySetLinearDamping(body, 2.0f);
    EXPECT_EQ(dgApiBodyGetLinearDamping(body), 1.0f);
    dgApiBodySetLinearDamping(body, -1.0f);
    EXPECT_EQ(dgApiBodyGetLinearDamping(body), 0.0f);
    const Vec3 angular = {-1.0f, 0.5f, 7.0f};
    dgApiBodySetAngularDamping(body, angular.data());
    Vec3 stored;
    dgApiBodyGetAngularDamping(body, stored.data());
    EXPECT_EQ(stored[0], 0.0f);
    EXPECT_NEAR(stored[1], 0.5f, 1.0e-6f);
    EXPECT_EQ(stored[2], 1.0f);

    // The derived thresholds (a tenth of each) are raised to 0.010000001; reported times 10.
    dgApiBodySetFreezeThreshold(body, 0.05f, 0.05f, 0);
    float speed;
    float omega;
    dgApiBodyGetFreezeThreshold(body, &speed, &omega);
    EXPECT_FLOAT_EQ(speed, 0.10000001f);
    EXPECT_FLOAT_EQ(omega, 0.10000001f);
}

namespace {

std::vector<std::vector<Vec3>> g_faces;

void CollectFace(dgBody*, int vertexCount, const float* points, int) {
    std::vector<Vec3>& face = g_faces.emplace_back();
    for (int i = 0; i < vertexCount; i++) {
        face.push_back({points[3 * i], points[3 * i + 1], points[3 * i + 2]});
    }
}

} // namespace

TEST(dgApiBody, PolygonsOfABoxComeInWorldSpace) {
    FloorWorld scene;
    dgBody* body = scene.AddBox(5.0f);
    g_faces.clear();
    dgApiBodyForEachPolygonDo(body, CollectFace);
    ASSERT_EQ(g_faces.size(), 6u);
    for (const auto& face : g_faces) {
        ASSERT_EQ(face.size(), 4u);
        for (const Vec3& p : face) {
            EXPECT_NEAR(std::fabs(p[0]), 0.5f, 1.0e-5f);
            EXPECT_NEAR(std::fabs(p[1] - 5.0f), 0.5f, 1.0e-5f);
            EXPECT_NEAR(std::fabs(p[2]), 0.5f, 1.0e-5f);
        }
    }
}
