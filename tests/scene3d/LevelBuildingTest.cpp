// Level building: placement of the host's vertices, material groups and their refusals, the static body
// that objects land on and rays hit, face attributes by level and group, and the level's lifetime.
#include "host/LevelMeshes.h"
#include "support/SceneFixture.h"
#include "support/SceneScenes.h"

#include "physics/api/dgApi.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using scene_scenes::kStep;

/// Resting contacts settle up to 1/128 of a unit into each other; the rest is the solver's slack.
constexpr float kContactTolerance = 1.0f / 128.0f + 0.002f;

class LevelBuilding : public SceneFixture {
protected:
    IOrvalen3DD3DLevelObject& Floor(bool finish = true) {
        LevelMesh mesh;
        // Five cells of 4: the origin lies inside the middle cell, not on a shared corner.
        mesh.AddCheckerFloor(5, 4.0f, "grass", "stone");
        return *static_cast<IOrvalen3DD3DLevelObject*>(mesh.Build(*m_scene, finish));
    }

    void Step(int steps) {
        for (int step = 0; step < steps; ++step) {
            m_scene->Update(kStep);
        }
    }

    /// Cleans up the levels a test made before the fixture tears the scene down.
    void TearDown() override {
        while (m_scene != nullptr && !m_scene->Levels.empty()) {
            m_scene->DestroyLevel(m_scene->Levels.back());
        }
        SceneFixture::TearDown();
    }
};

struct NearestFace {
    float t = 2.0f;
    int attribute = 0;
};

float KeepNearestFace(dgBody*, const float*, int attribute, void* data, float t) {
    auto* nearest = static_cast<NearestFace*>(data);
    if (t < nearest->t) {
        *nearest = {t, attribute};
    }
    return t;
}

/// The face attribute of the nearest face straight below (x, 10, z).
std::uint32_t AttributeBelow(dgWorld* world, float x, float z) {
    NearestFace nearest;
    const float p0[3] = {x, 10, z};
    const float p1[3] = {x, -10, z};
    dgApiWorldRayCast(world, p0, p1, KeepNearestFace, &nearest, nullptr);
    return static_cast<std::uint32_t>(nearest.attribute);
}

} // namespace

TEST_F(LevelBuilding, PlacementScalesTurnsAndMovesPositionsAndCopiesNormals) {
    const Vertex3D vertex(1, 0, 0, 0.6f, 0.8f, 0, 0x11223344u, 0.25f, 0.5f, 0.75f, 1);
    auto* scaled =
        static_cast<IOrvalen3DD3DLevelObject*>(m_scene->CreateLevel(1, &vertex, 0, 10, 0, 0, 0, 0, 2, 2, 2));
    ASSERT_NE(nullptr, scaled);
    Vertex3D expected = vertex;
    expected.x = 2;
    expected.y = 10;
    EXPECT_EQ(0, std::memcmp(&expected, &scaled->Vertices[0], sizeof expected));
    // Yaw pi/2: the yaw matrix's first row is (cos ay, 0, -sin ay).
    auto* turned = static_cast<IOrvalen3DD3DLevelObject*>(
        m_scene->CreateLevel(1, &vertex, 0, 0, 0, 0, 3.14159265f / 2, 0, 1, 1, 1));
    ASSERT_NE(nullptr, turned);
    EXPECT_NEAR(0.0f, turned->Vertices[0].x, 1e-6f);
    EXPECT_NEAR(0.0f, turned->Vertices[0].y, 1e-6f);
    EXPECT_NEAR(-1.0f, turned->Vertices[0].z, 1e-6f);
    EXPECT_EQ(nullptr, m_scene->CreateLevel(-1, &vertex, 0, 0, 0, 0, 0, 0, 1, 1, 1));
    EXPECT_EQ(nullptr, m_scene->CreateLevel(1, nullptr, 0, 0, 0, 0, 0, 0, 1, 1, 1));
    EXPECT_EQ("ERROR: CreateLevel Failed\nERROR: CreateLevel Failed\n", NewLog());
}

TEST_F(LevelBuilding, PartsOfOneNameFormOneGroupAndRefusedCallsKeepNothing) {
    std::vector<Vertex3D> vertices(4);
    for (int i = 0; i < 4; ++i) {
        vertices[i].x = static_cast<float>(i & 1);
        vertices[i].z = static_cast<float>(i >> 1);
    }
    auto* level = m_scene->CreateLevel(4, vertices.data(), 0, 0, 0, 0, 0, 0, 1, 1, 1);
    auto& built = *static_cast<IOrvalen3DD3DLevelObject*>(level);
    const std::int32_t first[3] = {0, 1, 2};
    const std::int32_t second[6] = {1, 2, 3, 3, 2, 0};
    const std::int32_t bad[6] = {0, 1, 2, 3, 4, 0};
    EXPECT_TRUE(m_scene->AddLevelParts(level, "rock", 1, first));
    EXPECT_TRUE(m_scene->AddLevelParts(level, "Rock", 0, nullptr));
    EXPECT_TRUE(m_scene->AddLevelParts(level, "rock", 2, second));
    EXPECT_TRUE(m_scene->AddLevelParts(level, "Rock", 1, second));
    const std::string longName(256, 'x');
    EXPECT_FALSE(m_scene->AddLevelParts(level, "rock", 2, bad));
    EXPECT_FALSE(m_scene->AddLevelParts(level, longName.c_str(), 1, first));
    EXPECT_FALSE(m_scene->AddLevelParts(level, nullptr, 1, first));
    EXPECT_FALSE(m_scene->AddLevelParts(nullptr, "rock", 1, first));
    EXPECT_FALSE(m_scene->EndLevelBuild(nullptr));
    ASSERT_EQ(2, built.MaterialCount);
    ASSERT_EQ(3, built.TriangleCounts[0]);
    const std::int32_t joined[9] = {0, 1, 2, 1, 2, 3, 3, 2, 0};
    EXPECT_EQ(0, std::memcmp(joined, built.IndexLists[0].get(), sizeof joined));
    EXPECT_EQ(1, built.TriangleCounts[1]);
    EXPECT_EQ("ERROR: AddLevelParts Failed - Bad Index 4\n"
              "ERROR: AddLevelParts Failed - Bad Material Name\n"
              "ERROR: AddLevelParts Failed - Bad Material Name\n"
              "ERROR: AddLevelParts Failed - Null Level Passed\n"
              "ERROR: EndLevelBuild Failed - Null Level Passed\n",
              NewLog());
    // The thousandth group is the last one a level can hold.
    for (int group = 2; group < IOrvalen3DD3DLevelObject::kMaxMaterials; ++group) {
        ASSERT_TRUE(m_scene->AddLevelParts(level, std::to_string(group).c_str(), 1, first));
    }
    EXPECT_FALSE(m_scene->AddLevelParts(level, "one too many", 1, first));
    EXPECT_TRUE(m_scene->AddLevelParts(level, "rock", 1, first));
    EXPECT_EQ(IOrvalen3DD3DLevelObject::kMaxMaterials, built.MaterialCount);
    EXPECT_TRUE(m_scene->EndLevelBuild(level));
    dgBody* body = built.Body;
    EXPECT_FALSE(m_scene->EndLevelBuild(level));
    EXPECT_EQ(body, built.Body);
    EXPECT_NE(std::string::npos, NewLog().find("ERROR: AddLevelParts Failed - Too Many Materials\n"
                                               "ERROR: EndLevelBuild Failed - Level Already Built\n"));
}

TEST_F(LevelBuilding, FaceAttributesNameTheLevelAndTheGroup) {
    IOrvalen3DD3DLevelObject& first = Floor();
    const std::uint32_t firstId = first.LevelID;
    // Cell (0, 0) is grass (group 0), its neighbour along x stone (group 1).
    const std::uint32_t grass = AttributeBelow(m_scene->World, -8, -8);
    EXPECT_EQ(grass + 1, AttributeBelow(m_scene->World, -4, -8));
    EXPECT_EQ(firstId * 1000 + 1, grass);
    m_scene->DestroyLevel(&first);
    IOrvalen3DD3DLevelObject& second = Floor();
    EXPECT_EQ(firstId + 1, second.LevelID);
    EXPECT_EQ(grass + 1000, AttributeBelow(m_scene->World, -8, -8));
}

TEST_F(LevelBuilding, ACubeRestsOnTheLevelAndRaysHitIt) {
    m_scene->SetGravity(0.0f, -9.8f, 0.0f);
    IOrvalen3DD3DLevelObject& unfinished = Floor(false);
    BodyUserData* hit = nullptr;
    EXPECT_EQ(1.5, m_scene->RayCast(&hit, 0, 10, 0, 0, -10, 0));
    IOrvalen3DD3DLevelObject& level = Floor();
    EXPECT_NEAR(0.5, m_scene->RayCast(&hit, 0, 10, 0, 0, -10, 0), 1e-6);
    ASSERT_NE(nullptr, hit);
    EXPECT_EQ(2u, hit->BodyKind);
    EXPECT_EQ(&level, hit->Owner);
    EXPECT_EQ(&level.UserData, hit);
    EXPECT_EQ(nullptr, unfinished.Body);
    // Twice: ResetWorld takes the objects and leaves the level where it was.
    for (int round = 0; round < 2; ++round) {
        IOrvalen3DD3DObject* cube = scene_scenes::DroppedCube(*m_scene, 0.3f, 3.0f, 0.2f);
        Step(180);
        EXPECT_NEAR(0.5f, cube->Position[1], kContactTolerance) << round;
        m_scene->ResetWorld();
    }
}

TEST_F(LevelBuilding, OnlyTheSceneThatMadeALevelFinishesItAndALevelOutlivingItsSceneIsFreedCleanly) {
    // Finished elsewhere, the body would go into that scene's world while the level stayed on its maker's
    // list: whichever scene died first would leave a freed body for the level to read.
    IOrvalen3DD3DLevelObject& level = Floor(false);
    IOrvalen3DD3DLevelObject& orphan = Floor(false);
    {
        IOrvalen3DD3D other;
        IOrvalenRenderer* renderer = m_handle;
        other.SetRenderer(&renderer);
        EXPECT_FALSE(other.EndLevelBuild(&level));
    }
    EXPECT_TRUE(m_scene->EndLevelBuild(&level));
    m_handle->Destroy3DInterface();
    EXPECT_EQ(nullptr, level.Body);
    // The new scene may take the old one's address: it still did not make the orphan.
    ASSERT_EQ(1, m_handle->Create3DInterface());
    EXPECT_FALSE(static_cast<IOrvalen3DD3D*>(m_handle->Interface3D)->EndLevelBuild(&orphan));
    ASSERT_EQ(1, m_handle->Create3DInterface());
    m_scene = static_cast<IOrvalen3DD3D*>(m_handle->Interface3D);
    m_scene->DestroyLevel(&level);
    m_scene->DestroyLevel(&orphan);
    m_scene->DestroyLevel(nullptr);
    EXPECT_EQ("ERROR: EndLevelBuild Failed - Level Not Made By This Scene\n"
              "Destroying 3D Interface...\n"
              "ERROR: EndLevelBuild Failed - Level Not Made By This Scene\n"
              "ERROR: DestroyLevel Failed - Null Level Passed\n",
              NewLog());
}

TEST_F(LevelBuilding, ABuildWhoseAttributesWouldPassThirtyTwoBitsIsRefused) {
    const std::uint32_t saved = IOrvalen3DD3DLevelObject::LevelCounter;
    // 4294967 x 1000 + 295 is 2^32 - 1: one group still fits, 296 do not.
    IOrvalen3DD3DLevelObject::LevelCounter = 4294967;
    IOrvalen3DD3DLevelObject& last = Floor();
    EXPECT_EQ(4294967001u, AttributeBelow(m_scene->World, -8, -8));
    LevelMesh mesh;
    for (int group = 0; group < 296; ++group) {
        mesh.AddWall(0, 1, static_cast<float>(group), 1, std::to_string(1000 + group));
    }
    IOrvalen3DLevelObject* crowded = mesh.Build(*m_scene, false);
    IOrvalen3DD3DLevelObject::LevelCounter = 4294967;
    EXPECT_FALSE(m_scene->EndLevelBuild(crowded));
    IOrvalen3DD3DLevelObject::LevelCounter = 4294968;
    IOrvalen3DD3DLevelObject& past = Floor();
    EXPECT_EQ(nullptr, past.Body);
    EXPECT_EQ(nullptr, static_cast<IOrvalen3DD3DLevelObject*>(crowded)->Body);
    EXPECT_EQ(4294968u, IOrvalen3DD3DLevelObject::LevelCounter);
    EXPECT_EQ(4294967u, last.LevelID);
    EXPECT_EQ("ERROR: EndLevelBuild Failed\nERROR: EndLevelBuild Failed\n", NewLog());
    IOrvalen3DD3DLevelObject::LevelCounter = saved;
}
