// The world at work through the scene: a cube dropped on a static floor, repeatability, material pairs
// that do not collide, ray casts and point queries.
#include "support/SceneFixture.h"
#include "support/SceneScenes.h"

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgWorld.h"
#include "scene3d/SceneContactCallbacks.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using scene_scenes::kStep;

/// Resting contacts settle up to 1/128 of a unit into each other; the rest is the solver's slack.
constexpr float kContactTolerance = 1.0f / 128.0f + 0.002f;

class SceneSimulation : public SceneFixture {
protected:
    /// Drops a unit cube from 3 units onto a static floor and steps `steps` times; the cube.
    IOrvalen3DD3DObject* DropOnFloor(int steps) {
        m_scene->SetGravity(0.0f, -9.8f, 0.0f);
        scene_scenes::Floor(*m_scene, 20.0f);
        IOrvalen3DD3DObject* cube = scene_scenes::DroppedCube(*m_scene, 0.0f, 3.0f, 0.0f);
        for (int step = 0; step < steps; ++step) {
            m_scene->Update(kStep);
        }
        return cube;
    }
};

unsigned g_lastActiveState = 2;

void RecordActiveState(dgBody*, unsigned state) {
    g_lastActiveState = state;
}

} // namespace

TEST_F(SceneSimulation, ACubeDroppedOnAStaticFloorComesToRestOnItAndFreezes) {
    IOrvalen3DD3DObject* cube = DropOnFloor(180);
    dgApiBodySetAutoactiveCallback(cube->Body, RecordActiveState);
    float lowest = cube->Position[1];
    float highest = cube->Position[1];
    for (int step = 0; step < 120; ++step) {
        m_scene->Update(kStep);
        lowest = std::min(lowest, cube->Position[1]);
        highest = std::max(highest, cube->Position[1]);
    }
    EXPECT_NEAR(0.5f, lowest, kContactTolerance) << "centre half a unit above the floor's top";
    EXPECT_NEAR(0.5f, highest, kContactTolerance);
    EXPECT_LT(highest - lowest, 1e-3f) << "stays for two seconds";
    EXPECT_EQ(0u, g_lastActiveState) << "frozen";
    float angles[3];
    float position[3];
    cube->UpdateFromBody(position, angles);
    EXPECT_NEAR(0.0f, std::sin(2.0f * angles[0]), 1e-3f) << "lies on a face";
    EXPECT_NEAR(0.0f, std::sin(2.0f * angles[2]), 1e-3f);
}

TEST_F(SceneSimulation, TheSameSceneRunTwiceGivesBitIdenticalPositions) {
    std::vector<float> first;
    for (int run = 0; run < 2; ++run) {
        m_scene->ResetWorld();
        m_scene->SetGravity(0.0f, -9.8f, 0.0f);
        scene_scenes::Floor(*m_scene, 20.0f);
        for (int i = 0; i < 8; ++i) {
            scene_scenes::DroppedCube(*m_scene, 0.3f * i, 1.0f + 1.2f * i, 0.1f * i, 0.3f * i, 0.2f, 0.1f);
        }
        for (int step = 0; step < 120; ++step) {
            m_scene->Update(kStep);
        }
        std::vector<float> positions;
        for (std::uint32_t id = 1; id < m_scene->ObjectCount; ++id) {
            positions.insert(positions.end(), m_scene->Objects[id]->Position, m_scene->Objects[id]->Position + 3);
        }
        if (run == 0) {
            first = positions;
        } else {
            ASSERT_EQ(first.size(), positions.size());
            EXPECT_EQ(0, std::memcmp(first.data(), positions.data(), first.size() * sizeof(float)));
        }
    }
}

TEST_F(SceneSimulation, BodiesOfAPairMadeNotCollidableFallThroughEachOther) {
    const std::int32_t floorGroup = m_scene->CreateMaterialID();
    const std::int32_t cubeGroup = m_scene->CreateMaterialID();
    EXPECT_EQ(1, floorGroup);
    EXPECT_EQ(2, cubeGroup);
    m_scene->SetMaterialPair(floorGroup, cubeGroup, false, 0.1f, 0.1f, 0.5f, 0.5f);
    m_scene->SetGravity(0.0f, -9.8f, 0.0f);
    scene_scenes::Floor(*m_scene, 20.0f)->SetMaterialGroupID(floorGroup);
    IOrvalen3DD3DObject* through = scene_scenes::DroppedCube(*m_scene, -3.0f, 2.0f, 0.0f);
    through->SetMaterialGroupID(cubeGroup);
    IOrvalen3DD3DObject* held = scene_scenes::DroppedCube(*m_scene, 3.0f, 2.0f, 0.0f);
    for (int step = 0; step < 90; ++step) {
        m_scene->Update(kStep);
    }
    EXPECT_LT(through->Position[1], -2.0f);
    EXPECT_NEAR(0.5f, held->Position[1], kContactTolerance) << "the default group still meets the floor";
}

TEST_F(SceneSimulation, NewGroupsPairWithEveryGroupThroughTheScenesCallbacks) {
    const std::int32_t a = m_scene->CreateMaterialID();
    const std::int32_t b = m_scene->CreateMaterialID();
    for (const auto& [first, second] : {std::pair{a, 0}, {a, a}, {b, 0}, {b, a}, {b, b}}) {
        const dgMaterialPair* pair = m_scene->World->GetMaterialPair(first, second);
        ASSERT_NE(nullptr, pair);
        EXPECT_EQ(ContactBegin, pair->m_beginCallback);
        EXPECT_EQ(ContactProcess, pair->m_processCallback);
        EXPECT_EQ(ContactEnd, pair->m_endCallback);
    }
}

TEST_F(SceneSimulation, SolverModelsAreClampedOnTheWayToTheWorld) {
    m_scene->SetSolverModel(-3, 5);
    EXPECT_EQ(0, m_scene->World->m_solverModel);
    EXPECT_EQ(1, m_scene->World->m_frictionModel);
    m_scene->SetSolverModel(2, -1);
    EXPECT_EQ(2, m_scene->World->m_solverModel);
    EXPECT_EQ(0, m_scene->World->m_frictionModel);
}

TEST_F(SceneSimulation, ARayThatHitsNothingReturnsOneAndAHalfAndLeavesTheRecord) {
    m_scene->Cube(1, 1, 1);
    BodyUserData untouched;
    BodyUserData* hit = &untouched;
    EXPECT_EQ(1.5, m_scene->RayCast(&hit, 5, 5, 5, 6, 6, 6));
    EXPECT_EQ(&untouched, hit);
}

TEST_F(SceneSimulation, AnObjectWithoutContactsIsTransparentToRays) {
    IOrvalen3DObject* front = scene_scenes::DroppedCube(*m_scene, 0, 0, 0);
    IOrvalen3DObject* behind = scene_scenes::DroppedCube(*m_scene, 0, 0, 5);
    front->SetCollisionMode(2);
    BodyUserData* hit = nullptr;
    EXPECT_NEAR(14.5 / 20.0, m_scene->RayCast(&hit, 0, 0, -10, 0, 0, 10), 1e-5);
    ASSERT_NE(nullptr, hit);
    EXPECT_EQ(0u, hit->BodyKind);
    EXPECT_EQ(behind, hit->Owner);
}

TEST_F(SceneSimulation, TheNearestHitWinsWhicheverTheEngineReportsFirst) {
    for (const bool nearFirst : {true, false}) {
        m_scene->ResetWorld();
        IOrvalen3DObject* near = nullptr;
        if (nearFirst) {
            near = scene_scenes::DroppedCube(*m_scene, 3.5f, 0, 0);
            scene_scenes::DroppedCube(*m_scene, 7.5f, 0, 0);
        } else {
            scene_scenes::DroppedCube(*m_scene, 7.5f, 0, 0);
            near = scene_scenes::DroppedCube(*m_scene, 3.5f, 0, 0);
        }
        BodyUserData* hit = nullptr;
        EXPECT_NEAR(0.3, m_scene->RayCast(&hit, 0, 0, 0, 10, 0, 0), 1e-6);
        ASSERT_NE(nullptr, hit);
        EXPECT_EQ(near, hit->Owner);
    }
}

TEST_F(SceneSimulation, CollideGivesTheClosestPointOfTheObjectsShapeAndItsNormal) {
    IOrvalen3DObject* cube = scene_scenes::DroppedCube(*m_scene, 1, 2, 3);
    float contact[3];
    float normal[3];
    ASSERT_TRUE(m_scene->Collide(cube, 1, 4, 3, contact, normal));
    EXPECT_NEAR(1.0f, contact[0], 1e-5f);
    EXPECT_NEAR(2.5f, contact[1], 1e-5f);
    EXPECT_NEAR(3.0f, contact[2], 1e-5f);
    EXPECT_NEAR(0.0f, normal[0], 1e-5f);
    EXPECT_NEAR(1.0f, normal[1], 1e-5f);
    EXPECT_NEAR(0.0f, normal[2], 1e-5f);

    float untouched[3] = {7, 7, 7};
    EXPECT_FALSE(m_scene->Collide(m_scene->Cube(1, 1, 1, true), 0, 2, 0, untouched, untouched));
    EXPECT_EQ(7.0f, untouched[0]);
}

// The shape is measured where its body is: after the physics moved it without a draw, and, once drawn,
// without the draw's scale on top of a hull that SetScale already built scaled.
TEST_F(SceneSimulation, CollideMeasuresTheShapeWhereItsBodyIs) {
    IOrvalen3DD3DObject* cube = DropOnFloor(180);
    float contact[3];
    float normal[3];
    ASSERT_TRUE(m_scene->Collide(cube, 0, 5, 0, contact, normal));
    EXPECT_NEAR(1.0f, contact[1], kContactTolerance) << "the top of the cube resting on the floor";

    auto* scaled = static_cast<IOrvalen3DD3DObject*>(m_scene->Cube(1, 1, 1));
    scaled->SetPosition(6, 3, 0);
    scaled->SetScale(2, 2, 2);
    ASSERT_TRUE(m_handle->StartRendering());
    m_scene->Begin3D();
    EXPECT_TRUE(scaled->Render());
    m_scene->End3D();
    m_handle->EndRendering();
    ASSERT_TRUE(m_scene->Collide(scaled, 6, 10, 0, contact, normal));
    EXPECT_NEAR(4.0f, contact[1], 1e-4f) << "half the scaled height above the centre";
    EXPECT_NEAR(1.0f, normal[1], 1e-4f);
}
