// Each scene stepped in a scalar world and in a packed world. The builds differ only in the order of
// their additions, so after 120 steps the bodies agree to rounding and every decision is the same: the
// island and row counts each moved body was solved in, its rest and freeze state after each step, and
// the auto-active, transform and tire callbacks in the order they came.

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"
#include "support/JointScenes.h"
#include "support/RagDollScenes.h"
#include "support/SolverBuilds.h"
#include "support/VehicleScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace jointscene;

constexpr int kSteps = 120;
constexpr float kPositionTolerance = 1.0e-4f;
constexpr float kDegree = kPi / 180.0f;

/// What one run leaves to compare.
struct Trace {
    std::vector<std::string> m_log;
    std::vector<Vec3> m_positions;
};

Trace* g_trace = nullptr;
int g_step = 0;

std::string Id(const dgBody* body) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(dgApiBodyGetUserData(body)));
}

void LogTransform(dgBody* body, const float*) {
    if (g_trace == nullptr) {
        return;
    }
    const dgSolverWorkArea& island = dgApiBodyGetWorld(body)->m_dynamicsUpdate.m_area;
    // Slot 1 opens an island: the log holds each step's islands, their sizes and their rows.
    g_trace->m_log.push_back("step " + std::to_string(g_step) + " move " + Id(body) + " slot " +
                             std::to_string(body->m_islandIndex) + " island " +
                             std::to_string(island.m_bodyCount) + " rows " +
                             std::to_string(island.m_rowCount));
}

// The world's teardown wakes bodies too: not logged.
void LogAutoActive(dgBody* body, unsigned state) {
    if (g_trace == nullptr) {
        return;
    }
    g_trace->m_log.push_back("step " + std::to_string(g_step) + (state != 0 ? " wake " : " sleep ") +
                             Id(body));
}

void LogTiresAndDrive(dgJointBase* vehicle) {
    std::string line = "step " + std::to_string(g_step) + " tires";
    for (auto* t = dgApiVehicleGetFirstTireID(vehicle); t != nullptr;
         t = dgApiVehicleGetNextTireID(vehicle, t)) {
        line += " " + std::to_string(dgApiVehicleTireIsAirborne(vehicle, t)) +
                std::to_string(dgApiVehicleTireLostTraction(vehicle, t)) +
                std::to_string(dgApiVehicleTireLostSideGrip(vehicle, t));
    }
    g_trace->m_log.push_back(line);
    vehiclescene::ApplyControls(vehicle);
}

/// A static slab tilted by angle about z, its top face through the origin, and a unit box on it.
void BoxOnSlope(JointWorld& scene, float angle) {
    const float sin = std::sin(angle);
    const float cos = std::cos(angle);
    dgCollision* shape = dgApiCollisionCreateBox(scene.m_world, 40.0f, 1.0f, 40.0f, nullptr);
    dgBody* slab = dgApiBodyCreate(scene.m_world, shape);
    dgApiCollisionRelease(scene.m_world, shape);
    const Mat4 matrix = RotationZ(angle, {0.5f * sin, -0.5f * cos, 0.0f});
    dgApiBodySetMatrix(slab, matrix.data());
    scene.AddBox({1.0f, 1.0f, 1.0f}, 1.0f, RotationZ(angle, {-0.5f * sin, 0.5f * cos, 0.0f}));
}

unsigned SpinUpToFive(dgJointBase* hinge, dgJointMotorDesc* desc) {
    desc->m_accel = (5.0f - dgApiHingeGetJointOmega(hinge)) / desc->m_timestep;
    desc->m_minFriction = -2.0f;
    desc->m_maxFriction = 2.0f;
    return 1;
}

struct Scene {
    const char* m_name;
    void (*m_build)(JointWorld& scene);
};

const Vec3 kOrigin = {0.0f, 0.0f, 0.0f};
const Vec3 kUp = {0.0f, 1.0f, 0.0f};
const Vec3 kUnitBox = {1.0f, 1.0f, 1.0f};

const Scene kScenes[] = {
    {"resting_boxes",
     [](JointWorld& s) {
         ragdollscene::AddFloor(s.m_world);
         s.AddBox(kUnitBox, 1.0f, JointWorld::Translation({0.0f, 0.5f, 0.0f}));
         s.AddBox(kUnitBox, 2.0f, JointWorld::Translation({3.0f, 0.6f, 0.0f}));
     }},
    {"ball_pendulum",
     [](JointWorld& s) {
         dgBody* bob = s.AddSphere(0.05f, 1.0f, {std::sin(0.5f), -std::cos(0.5f), 0.0f});
         dgApiJointCreateBall(s.m_world, kOrigin.data(), bob, nullptr);
     }},
    {"motor_hinge",
     [](JointWorld& s) {
         dgBody* wheel = s.AddBox(kUnitBox, 1.0f, JointWorld::Translation(kOrigin));
         dgApiHingeSetUserCallback(
             dgApiJointCreateHinge(s.m_world, kOrigin.data(), kUp.data(), wheel, nullptr), SpinUpToFive);
     }},
    {"ball_chain_5", [](JointWorld& s) { Chain(s, 5, kOrigin); }},
    {"slope_slide",
     [](JointWorld& s) {
         dgApiMaterialSetDefaultFriction(s.m_world, 0, 0, 0.4f, 0.3f);
         BoxOnSlope(s, 45.0f * kDegree);
     }},
    {"up_vector_return",
     [](JointWorld& s) {
         dgApiJointCreateUpVector(s.m_world, kUp.data(), s.AddBox(kUnitBox, 1.0f, RotationZ(0.5f, kOrigin)));
     }},
    {"car_accelerating",
     [](JointWorld& s) {
         ragdollscene::AddFloor(s.m_world);
         vehiclescene::g_controls = {};
         vehiclescene::g_controls.m_rearTorque = 300.0f;
         dgJointBase* car = vehiclescene::AddReferenceCar(s, {0.0f, vehiclescene::kDropHeight, 0.0f},
                                                          &vehiclescene::g_controls.m_chassis);
         dgApiVehicleSetTireCallback(car, LogTiresAndDrive);
     }},
};

/// The scene stepped in a world of the build; every body is numbered in creation order, static ones
/// are taken out of the active set first (their equilibrium bit is one the builds handle apart).
Trace RunScene(const Scene& scene, SolverBuild build) {
    Trace trace;
    g_trace = &trace;
    g_step = -1;
    JointWorld world;
    dgApiWorldSetSimdMode(world.m_world, SimdMode(build));
    scene.m_build(world);
    static std::vector<dgBody*> s_all;
    s_all.clear();
    dgApiWorldForEachBodyDo(world.m_world, [](dgBody* b) { s_all.push_back(b); });
    std::vector<dgBody*> bodies;
    for (std::size_t i = 0; i < s_all.size(); i++) {
        dgBody* b = s_all[i];
        dgApiBodySetUserData(b, reinterpret_cast<void*>(static_cast<std::uintptr_t>(i)));
        if (b->m_invMass.w == 0.0f) {
            dgApiWorldFreezeBody(world.m_world, b);
            continue;
        }
        dgApiBodySetAutoFreeze(b, 1);
        dgApiBodySetTransformCallback(b, LogTransform);
        dgApiBodySetAutoactiveCallback(b, LogAutoActive);
        bodies.push_back(b);
    }
    for (g_step = 0; g_step < kSteps; g_step++) {
        world.Step();
        for (const dgBody* b : bodies) {
            trace.m_log.push_back("step " + std::to_string(g_step) + " body " + Id(b) + " active " +
                                  std::to_string(b->m_flags & dgBody::kActive) + " frozen " +
                                  std::to_string(b->m_activeNode == nullptr) + " equilibrium " +
                                  std::to_string(b->m_flags & dgBody::kEquilibrium));
        }
    }
    for (const dgBody* b : bodies) {
        trace.m_positions.push_back(Position(b));
    }
    g_trace = nullptr;
    return trace;
}

class dgApiPackedScenes : public ::testing::TestWithParam<Scene> {};

INSTANTIATE_TEST_SUITE_P(, dgApiPackedScenes, ::testing::ValuesIn(kScenes),
                         [](const ::testing::TestParamInfo<Scene>& info) {
                             return std::string(info.param.m_name);
                         });

TEST_P(dgApiPackedScenes, BuildsAgreeOnPositionsAndEveryDecision) {
    const Trace scalar = RunScene(GetParam(), SolverBuild::kScalar);
    const Trace packed = RunScene(GetParam(), SolverBuild::kPacked);
    for (std::size_t i = 0; i < std::min(scalar.m_log.size(), packed.m_log.size()); i++) {
        ASSERT_EQ(scalar.m_log[i], packed.m_log[i]) << "first difference, entry " << i;
    }
    ASSERT_EQ(scalar.m_log.size(), packed.m_log.size());
    ASSERT_EQ(scalar.m_positions.size(), packed.m_positions.size());
    for (std::size_t i = 0; i < scalar.m_positions.size(); i++) {
        EXPECT_LT(Length(Sub(scalar.m_positions[i], packed.m_positions[i])), kPositionTolerance)
            << "body " << i;
    }
}

} // namespace
