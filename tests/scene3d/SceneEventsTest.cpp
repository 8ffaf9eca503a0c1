// Contact and level events on real physics: cubes fall from a known height onto a static floor cube or a
// level under gravity (0, -9.8, 0), stepped at 1/60 s.
#include "host/BuildMeshes.h"
#include "host/LevelMeshes.h"
#include "support/SceneFixture.h"
#include "support/SceneScenes.h"

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgContactJoint.h"
#include "physics/dynamics/dgWorld.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

namespace {

using scene_scenes::kStep;

constexpr float kGravity = 9.8f;
constexpr float kDropHeight = 2.0f; ///< of a cube's underside above the surface
/// Damping and whole steps leave the reached speed 2-6% below the free fall's sqrt(2 g h).
constexpr float kSpeedTolerance = 0.1f;
const float kFreeFallSpeed = std::sqrt(2.0f * kGravity * kDropHeight);
/// A contact point lies within the penetration of the step that found it: under one step's fall.
const float kPointDepth = kFreeFallSpeed * kStep;

bool SameRecord(const EventInfo& a, const EventInfo& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class SceneEvents : public SceneFixture {
protected:
    void SetUp() override {
        SceneFixture::SetUp();
        if (m_scene != nullptr) {
            m_scene->SetGravity(0.0f, -kGravity, 0.0f);
        }
    }

    /// A unit cube whose underside is kDropHeight above y = `surface`.
    IOrvalen3DD3DObject* Dropped(float x, float surface = 0.0f) {
        return scene_scenes::DroppedCube(*m_scene, x, surface + kDropHeight + 0.5f, 0.0f);
    }

    /// Steps until `done` holds, at most `limit` steps; the steps taken.
    int StepUntil(const std::function<bool()>& done, int limit = 180) {
        int steps = 0;
        while (!done() && steps < limit) {
            m_scene->Update(kStep);
            ++steps;
        }
        return steps;
    }

    void Step(int steps) {
        StepUntil([] { return false; }, steps);
    }

    static int ContactPoints(const IOrvalen3DD3DObject* cube, const IOrvalen3DLevelObject* level) {
        const dgContactJoint* joint =
            dgWorld::FindContactJoint(cube->Body, static_cast<const IOrvalen3DD3DLevelObject*>(level)->Body);
        return joint != nullptr ? joint->m_pointCount : 0;
    }
};

} // namespace

TEST_F(SceneEvents, ALandingFiresEveryIdOfThePairWithTheImpactUntilReset) {
    IOrvalen3DD3DObject* floor = scene_scenes::Floor(*m_scene, 20.0f);
    IOrvalen3DD3DObject* cube = Dropped(0.0f);
    ASSERT_TRUE(m_scene->RegisterEvent(floor, cube, 5));
    ASSERT_TRUE(m_scene->RegisterEvent(floor, cube, 9));
    ASSERT_LT(StepUntil([&] { return m_scene->CheckEvent(5); }), 180);
    ASSERT_TRUE(m_scene->CheckEvent(9));
    const EventInfo landing = m_scene->GetEvent(5);
    EXPECT_TRUE(SameRecord(landing, m_scene->GetEvent(9)));
    EXPECT_EQ(0u, landing.IdA) << "registration order";
    EXPECT_EQ(1u, landing.IdB);
    EXPECT_NEAR(0.0f, landing.Position[1], kPointDepth) << "on the floor's top";
    EXPECT_LE(std::fabs(landing.Position[0]), 0.5f) << "under the cube";
    EXPECT_LE(std::fabs(landing.Position[2]), 0.5f);
    EXPECT_NEAR(1.0f, std::fabs(landing.Normal[1]), 1e-4f);
    EXPECT_NEAR(kFreeFallSpeed, landing.NormalSpeed, kSpeedTolerance * kFreeFallSpeed);

    Step(30);
    EXPECT_TRUE(m_scene->CheckEvent(5)) << "stays fired";
    m_scene->ResetEvent(9);
    EXPECT_FALSE(m_scene->CheckEvent(9));
    m_scene->ClearEvents();
    EXPECT_FALSE(m_scene->CheckEvent(5));
    EXPECT_TRUE(SameRecord(EventInfo{}, m_scene->GetEvent(5)));
}

// Two unit spheres whose boxes overlap while the spheres stay 0.26 apart: the engine offers the pair
// every step, yet they never touch. The event stays unfired and empty, and once a real touch has been
// recorded, such a step leaves the record alone.
TEST_F(SceneEvents, APairWhoseBoxesOverlapWithoutTouchingLeavesTheRecordAlone) {
    m_scene->SetGravity(0.0f, 0.0f, 0.0f);
    m_scene->Sphere(1.0f, true); // id 0: the pair's ids are 1 and 2, so a record naming them is not empty
    auto* a = static_cast<IOrvalen3DD3DObject*>(m_scene->Sphere(1.0f));
    auto* b = static_cast<IOrvalen3DD3DObject*>(m_scene->Sphere(1.0f));
    const auto place = [](IOrvalen3DD3DObject* sphere, float x, float y) {
        D3DXMATRIX matrix;
        D3DXMatrixTranslation(&matrix, x, y, 0.0f);
        dgApiBodySetMatrix(sphere->Body, &matrix.m[0][0]);
    };
    place(b, 1.6f, 1.6f);
    ASSERT_TRUE(m_scene->RegisterEvent(a, b, 5));
    Step(5);
    EXPECT_FALSE(m_scene->CheckEvent(5));
    EXPECT_TRUE(SameRecord(EventInfo{}, m_scene->GetEvent(5))) << "never touched";

    place(b, 3.0f, 0.0f);
    b->SetFreeze(false); // the spheres came to rest in the steps before
    b->SetVelocity(-2.0f, 0.0f, 0.0f);
    ASSERT_LT(StepUntil([&] { return m_scene->CheckEvent(5); }), 60);
    const EventInfo touch = m_scene->GetEvent(5);
    ASSERT_GT(touch.NormalSpeed, 1.0f);
    place(b, 1.6f, 1.6f);
    b->SetVelocity(0.0f, 0.0f, 0.0f);
    Step(1);
    EXPECT_TRUE(SameRecord(touch, m_scene->GetEvent(5))) << "a step without contact is no touch";
}

// An object whose build has not ended is not in the scene and has no id: it is not object 0.
TEST_F(SceneEvents, AnObjectNotYetBuiltIsNotTakenForObjectZero) {
    IOrvalen3DObject* unfinished = Octahedron(1.0f).Begin(*m_scene);
    IOrvalen3DD3DObject* floor = scene_scenes::Floor(*m_scene, 20.0f);
    IOrvalen3DD3DObject* cube = Dropped(0.0f);
    ASSERT_EQ(0, floor->ID);
    EXPECT_EQ(-1, unfinished->GetID());
    ASSERT_TRUE(m_scene->RegisterEvent(unfinished, cube, 7));
    Step(90);
    EXPECT_NEAR(0.5f, cube->Position[1], 0.01f) << "it landed on the floor";
    EXPECT_FALSE(m_scene->CheckEvent(7));
    m_scene->DestroyObject(unfinished);
}

TEST_F(SceneEvents, ARegisteredPairWithoutContactsFiresAndPassesThroughWhileOthersCollide) {
    IOrvalen3DD3DObject* floor = scene_scenes::Floor(*m_scene, 20.0f);
    floor->SetCollisionMode(2);
    IOrvalen3DD3DObject* through = Dropped(-3.0f);
    IOrvalen3DD3DObject* held = Dropped(3.0f);
    ASSERT_TRUE(m_scene->RegisterEvent(through, floor, 3));
    Step(90);
    EXPECT_TRUE(m_scene->CheckEvent(3));
    EXPECT_LT(through->Position[1], 0.0f);
    EXPECT_NEAR(0.5f, held->Position[1], 0.01f);
}

TEST_F(SceneEvents, AnObjectMovedIntoANewGroupStillFiresItsEvent) {
    IOrvalen3DD3DObject* floor = scene_scenes::Floor(*m_scene, 20.0f);
    IOrvalen3DD3DObject* cube = Dropped(0.0f);
    const std::int32_t group = m_scene->CreateMaterialID();
    m_scene->SetMaterialPair(group, m_scene->GetDefaultMaterialID(), true, 0.05f, 0.4f, 1.0f, 0.5f);
    cube->SetMaterialGroupID(group);
    ASSERT_TRUE(m_scene->RegisterEvent(cube, floor, 4));
    EXPECT_LT(StepUntil([&] { return m_scene->CheckEvent(4); }), 180);
}

TEST_F(SceneEvents, ASecondSceneTakesOverTheEventsEmpty) {
    IOrvalen3DD3DObject* floor = scene_scenes::Floor(*m_scene, 20.0f);
    IOrvalen3DD3DObject* cube = Dropped(0.0f);
    ASSERT_TRUE(m_scene->RegisterEvent(floor, cube, 6));
    IOrvalen3DD3D second;
    Step(120);
    EXPECT_FALSE(m_scene->CheckEvent(6));
    EXPECT_NEAR(0.5f, cube->Position[1], 0.01f);
}

TEST_F(SceneEvents, BodiesTheSceneDidNotMakeStillCollide) {
    dgCollision* box = dgApiCollisionCreateBox(m_scene->World, 1, 1, 1, nullptr);
    dgBody* ground = dgApiBodyCreate(m_scene->World, box);
    dgBody* falling = dgApiBodyCreate(m_scene->World, box);
    dgApiCollisionRelease(m_scene->World, box);
    dgApiBodySetMassMatrix(falling, 1, 1, 1, 1);
    dgApiBodySetForceAndTorqueCallback(falling, [](dgBody* body) {
        const float weight[3] = {0.0f, -kGravity, 0.0f};
        dgApiBodyAddForce(body, weight);
    });
    float start[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    dgApiBodySetMatrix(ground, start);
    start[13] = 2.0f;
    dgApiBodySetMatrix(falling, start);
    Step(90);
    float matrix[16];
    dgApiBodyGetMatrix(falling, matrix);
    EXPECT_NEAR(1.0f, matrix[13], 0.01f) << "resting on the other";
    dgApiBodyDestroy(m_scene->World, ground);
    dgApiBodyDestroy(m_scene->World, falling);
}

TEST_F(SceneEvents, BadIdsAndMissingObjectsAreRefusedWithTheirLines) {
    LevelMesh mesh;
    mesh.AddCheckerFloor(2, 4.0f, "ice", "rock");
    IOrvalen3DLevelObject* level = mesh.Build(*m_scene);
    IOrvalen3DObject* cube = Dropped(0.0f);
    std::string expected;
    for (const std::int32_t id : {1000, -1}) {
        EXPECT_FALSE(m_scene->RegisterEvent(cube, cube, id));
        EXPECT_FALSE(m_scene->CheckEvent(id));
        m_scene->ResetEvent(id);
        EXPECT_TRUE(SameRecord(EventInfo{}, m_scene->GetEvent(id)));
        EXPECT_FALSE(m_scene->RegisterLevelEvent(level, "ice", 1, id));
        EXPECT_FALSE(m_scene->CheckLevelEvent(id));
        m_scene->ResetLevelEvent(id);
        EXPECT_TRUE(SameRecord(EventInfo{}, m_scene->GetLevelEvent(id)));
        for (const char* operation : {"RegisterEvent", "CheckEvent", "ResetEvent", "GetEvent", "RegisterLevelEvent",
                                      "CheckLevelEvent", "ResetLevelEvent"}) {
            expected += "ERROR: " + std::string(operation) + " Failed - Bad EventID " + std::to_string(id) + "\n";
        }
    }
    EXPECT_TRUE(SameRecord(EventInfo{}, m_scene->GetEvent(7))) << "valid but never fired";
    EXPECT_FALSE(m_scene->RegisterEvent(cube, static_cast<IOrvalen3DObject*>(nullptr), 1));
    EXPECT_FALSE(m_scene->RegisterEvent(static_cast<IOrvalen3DCollisionObject*>(nullptr), cube, 1));
    EXPECT_FALSE(m_scene->RegisterLevelEvent(nullptr, "ice", 1, 1));
    EXPECT_FALSE(m_scene->RegisterLevelEvent(level, nullptr, 1, 1));
    EXPECT_FALSE(m_scene->RegisterLevelEvent(level, "lava", 1, 1));
    const std::string longName(700, 'm'); // the line names it whole, however long
    EXPECT_FALSE(m_scene->RegisterLevelEvent(level, longName.c_str(), 1, 1));
    expected += "ERROR: RegisterEvent Failed - Null Object Passed\n"
                "ERROR: RegisterEvent Failed - Null Object Passed\n"
                "ERROR: RegisterLevelEvent Failed - Null Level Passed\n"
                "ERROR: RegisterLevelEvent Failed - Null Level Passed\n"
                "ERROR: RegisterLevelEvent Failed - Material lava Not Found\n"
                "ERROR: RegisterLevelEvent Failed - Material " + longName + " Not Found\n";
    EXPECT_EQ(expected, NewLog());
    m_scene->DestroyLevel(level);
}

// 1000 groups: 998 far away, then "ice" under one cube and "slush" (group 999, no contacts) under the
// other. Each level event fires once, keeps its first point, and on slush that point is dropped.
TEST_F(SceneEvents, ALevelEventFiresOnceOnItsMaterialAndNoContactMaterialsDropTheFiringPoint) {
    LevelMesh mesh;
    for (int group = 0; group < 998; ++group) {
        const float x = 100.0f + static_cast<float>(group);
        mesh.AddQuad("far" + std::to_string(1000 + group), {{x, 0, 100}, {x, 0, 101}, {x + 1, 0, 101}, {x + 1, 0, 100}},
                     {0, 1, 0});
    }
    mesh.AddQuad("g998 ice", {{-6, 0, -3}, {-6, 0, 3}, {0, 0, 3}, {0, 0, -3}}, {0, 1, 0});
    mesh.AddQuad("g999 slush", {{0, 0, -3}, {0, 0, 3}, {6, 0, 3}, {6, 0, -3}}, {0, 1, 0});
    IOrvalen3DLevelObject* level = mesh.Build(*m_scene);
    ASSERT_NE(nullptr, level);
    level->SetMaterialCollisionMode("g999 slush", 2);
    IOrvalen3DD3DObject* onIce = Dropped(-3.0f);
    IOrvalen3DD3DObject* onSlush = Dropped(3.0f);
    ASSERT_TRUE(m_scene->RegisterLevelEvent(level, "g998 ice", onIce->ID, 1));
    ASSERT_TRUE(m_scene->RegisterLevelEvent(level, "g999 slush", onSlush->ID, 2));
    ASSERT_LT(StepUntil([&] { return m_scene->CheckLevelEvent(1); }), 180);
    ASSERT_TRUE(m_scene->CheckLevelEvent(2)) << "both land in the same step";
    EXPECT_EQ(1, ContactPoints(onIce, level) - ContactPoints(onSlush, level));
    const EventInfo firing = m_scene->GetLevelEvent(1);
    EXPECT_NEAR(0.0f, firing.Position[1], kPointDepth);
    EXPECT_NEAR(-3.0f, firing.Position[0], 0.5f);
    EXPECT_GT(firing.NormalSpeed, 0.0f);

    Step(60);
    EXPECT_TRUE(m_scene->CheckLevelEvent(1));
    EXPECT_TRUE(SameRecord(firing, m_scene->GetLevelEvent(1))) << "later points match nothing";
    EXPECT_NEAR(0.5f, onIce->Position[1], 0.01f);
    EXPECT_NEAR(0.5f, onSlush->Position[1], 0.01f) << "points after the firing one are kept";
    m_scene->ResetLevelEvent(1);
    EXPECT_FALSE(m_scene->CheckLevelEvent(1));
    m_scene->DestroyLevel(level);
}

// A level's materials may be registered before its build ends, while the level's number is not known.
TEST_F(SceneEvents, ALevelEventRegisteredBeforeTheBuildEndsFires) {
    LevelMesh mesh;
    mesh.AddQuad("ice", {{-4, 0, -4}, {-4, 0, 4}, {4, 0, 4}, {4, 0, -4}}, {0, 1, 0});
    m_scene->DestroyLevel(mesh.Build(*m_scene)); // the level below is not the process's first
    IOrvalen3DLevelObject* level = mesh.Build(*m_scene, false);
    IOrvalen3DD3DObject* cube = Dropped(0.0f);
    ASSERT_TRUE(m_scene->RegisterLevelEvent(level, "ice", cube->ID, 4));
    ASSERT_TRUE(m_scene->EndLevelBuild(level));
    EXPECT_LT(StepUntil([&] { return m_scene->CheckLevelEvent(4); }), 180);
    m_scene->DestroyLevel(level);
}

// Registrations hold the level's address, which a level made after it was destroyed may take.
TEST_F(SceneEvents, ADestroyedLevelsRegistrationsNeverMatchALevelMadeAtItsAddress) {
    LevelMesh mesh;
    mesh.AddQuad("ice", {{-4, 0, -4}, {-4, 0, 4}, {4, 0, 4}, {4, 0, -4}}, {0, 1, 0});
    IOrvalen3DLevelObject* first = mesh.Build(*m_scene, false);
    IOrvalen3DD3DObject* cube = Dropped(0.0f);
    ASSERT_TRUE(m_scene->RegisterLevelEvent(first, "ice", cube->ID, 6));
    m_scene->DestroyLevel(first);
    IOrvalen3DLevelObject* second = mesh.Build(*m_scene);
    if (second != first) {
        m_scene->DestroyLevel(second);
        GTEST_SKIP() << "the allocator did not hand the address out again";
    }
    Step(120);
    EXPECT_NEAR(0.5f, cube->Position[1], 0.01f) << "it landed";
    EXPECT_FALSE(m_scene->CheckLevelEvent(6));
    m_scene->DestroyLevel(second);
}

// On a 20 degree ramp of static friction 1.0 a resting cube holds (tan 20 = 0.36); an activated one
// has no friction on level faces and no damping, so it slides with g sin 20.
TEST_F(SceneEvents, ActiveObjectsSlideFrictionlessOnLevelFaces) {
    LevelMesh mesh;
    mesh.AddRamp(0.0f, -5.0f, 10.0f, 20.0f, "ramp");
    IOrvalen3DLevelObject* level = mesh.Build(*m_scene);
    const float angle = 20.0f * 3.14159265f / 180.0f;
    const float along[3] = {std::cos(angle), std::sin(angle), 0.0f};
    const float normal[3] = {-std::sin(angle), std::cos(angle), 0.0f};
    IOrvalen3DD3DObject* cubes[2];
    for (int i = 0; i < 2; ++i) {
        const float s = 10.0f;
        const float z = i == 0 ? -2.0f : 2.0f;
        cubes[i] = scene_scenes::DroppedCube(*m_scene, s * along[0] + 0.51f * normal[0],
                                             s * along[1] + 0.51f * normal[1], z, 0.0f, 0.0f, angle);
    }
    cubes[1]->Activate();
    Step(10);
    const float held[3] = {cubes[0]->Position[0], cubes[0]->Position[1], cubes[0]->Position[2]};
    const D3DXVECTOR3 v0 = cubes[1]->GetVelocity();
    Step(30);
    const D3DXVECTOR3 v1 = cubes[1]->GetVelocity();
    const float acceleration = -((v1.x - v0.x) * along[0] + (v1.y - v0.y) * along[1]) / (30.0f * kStep);
    EXPECT_NEAR(kGravity * std::sin(angle), acceleration, 0.05f * kGravity * std::sin(angle));
    EXPECT_NEAR(held[0], cubes[0]->Position[0], 0.01f);
    EXPECT_NEAR(held[1], cubes[0]->Position[1], 0.01f);
    m_scene->DestroyLevel(level);
}
