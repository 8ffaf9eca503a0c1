// Building objects from the host's mesh: material groups and their refusals, the bodies a build ends
// with (none, a convex hull, an ellipsoid, the static triangles themselves, whose faces fire object
// events and never level events), the object limit, and destroying objects whatever the host hands back.
#include "host/BuildMeshes.h"
#include "host/LevelMeshes.h"
#include "support/SceneFixture.h"
#include "support/SceneScenes.h"

#include "physics/api/dgApi.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using scene_scenes::kStep;

/// Resting contacts settle up to 1/128 of a unit into each other; the rest is the solver's slack.
constexpr float kContactTolerance = 1.0f / 128.0f + 0.002f;
/// Ray casts against convex shapes stop within this fraction of the segment.
constexpr double kRayTolerance = 1e-4;

class ObjectBuilding : public SceneFixture {
protected:
    /// Where the ray from `from` to `to` first hits, as a fraction of the segment (1.5 for no hit).
    double Ray(const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
        BodyUserData* hit = nullptr;
        return m_scene->RayCast(&hit, from.x, from.y, from.z, to.x, to.y, to.z);
    }
};

/// The face attributes of the contacts the cube's material group meets.
std::vector<unsigned> g_attributes;

unsigned char RecordAttribute(dgContactMaterial* contact, dgContactJoint*) {
    g_attributes.push_back(dgApiContactGetFaceAttribute(contact));
    return 1;
}

} // namespace

TEST_F(ObjectBuilding, PartsOfOneNameJoinPastTheGroupsLargestIndexAndRefusedCallsKeepNothing) {
    const std::vector<Vertex3D> vertices(8);
    IOrvalen3DObject* object = m_scene->BeginObjectBuild(8, vertices.data());
    ASSERT_NE(nullptr, object);
    IOrvalen3DD3DObject& built = Implementation(object);
    const std::uint32_t first[3] = {0, 1, 2};
    const std::uint32_t bad[3] = {0, 1, 2};
    const std::string longName(256, 'x');
    EXPECT_TRUE(m_scene->AddObjectParts(object, "a", 1, first));
    EXPECT_TRUE(m_scene->AddObjectParts(object, "b", 0, nullptr));
    EXPECT_TRUE(m_scene->AddObjectParts(object, "a", 1, first));
    EXPECT_TRUE(m_scene->AddObjectParts(object, "t", 1, first, first));
    // The next part of "a" is shifted by 6: its index 2 becomes 8, past the eight vertices.
    EXPECT_FALSE(m_scene->AddObjectParts(object, "a", 1, bad));
    EXPECT_FALSE(m_scene->AddObjectParts(object, longName.c_str(), 1, first));
    EXPECT_FALSE(m_scene->AddObjectParts(object, nullptr, 1, first));
    EXPECT_FALSE(m_scene->AddObjectParts(object, "a", 1, first, first));
    EXPECT_FALSE(m_scene->AddObjectParts(object, "t", 1, first));
    EXPECT_FALSE(m_scene->AddObjectParts(nullptr, "a", 1, first));
    ASSERT_EQ(2, built.MaterialCount);
    ASSERT_EQ(2, built.TriangleCounts[0]);
    const std::uint32_t joined[6] = {0, 1, 2, 3, 4, 5};
    EXPECT_EQ(0, std::memcmp(joined, built.IndexLists[0].get(), sizeof joined));
    EXPECT_EQ(1, built.TriangleCounts[1]);
    EXPECT_EQ("ERROR: AddObjectParts Failed - Bad Index 8\n"
              "ERROR: AddObjectParts Failed - Bad Material Name\n"
              "ERROR: AddObjectParts Failed - Bad Material Name\n"
              "ERROR: AddObjectParts Failed\n"
              "ERROR: AddObjectParts Failed\n"
              "ERROR: AddObjectParts Failed - Null Object Passed\n",
              NewLog());
    for (int group = 2; group < IOrvalen3DD3DObject::kMaxMaterials; ++group) {
        ASSERT_TRUE(m_scene->AddObjectParts(object, std::to_string(group).c_str(), 1, first));
    }
    EXPECT_FALSE(m_scene->AddObjectParts(object, "one too many", 1, first));
    EXPECT_TRUE(m_scene->EndObjectBuild(object, true));
    EXPECT_FALSE(m_scene->EndObjectBuild(object, true));
    EXPECT_FALSE(m_scene->EndObjectBuild(nullptr));
    EXPECT_FALSE(m_scene->AddObjectParts(object, "a", 1, first));
    EXPECT_EQ(IOrvalen3DD3DObject::kMaxMaterials, built.MaterialCount);
    EXPECT_EQ(2, built.TriangleCounts[0]);
    EXPECT_NE(std::string::npos, NewLog().find("ERROR: AddObjectParts Failed - Too Many Materials\n"
                                               "ERROR: EndObjectBuild Failed - Object Already Built\n"
                                               "ERROR: EndObjectBuild Failed - Null Object Passed\n"
                                               "ERROR: AddObjectParts Failed - Object Already Built\n"));
}

TEST_F(ObjectBuilding, BodiesAreTheHullTheEllipsoidOrNone) {
    const BuildMesh octahedron = Octahedron(1.0f);
    IOrvalen3DObject* bodiless = octahedron.Begin(*m_scene);
    ASSERT_TRUE(m_scene->EndObjectBuild(bodiless, true));
    EXPECT_EQ(bodiless, m_scene->Objects[0]);
    float contact[3];
    float normal[3];
    EXPECT_FALSE(m_scene->Collide(bodiless, 0, 5, 0, contact, normal));
    bodiless->SetVelocity(1, 2, 3);
    EXPECT_EQ(0.0f, bodiless->GetVelocity().y);
    EXPECT_EQ(1.5, Ray({0, 10, 0}, {0, -10, 0}));

    // Hull faces on |x| + |y| + |z| = 1: down the y axis at y = 1, along the diagonal at (1/3, 1/3, 1/3).
    IOrvalen3DObject* hull = octahedron.Begin(*m_scene);
    ASSERT_TRUE(m_scene->EndObjectBuild(hull));
    ASSERT_NE(nullptr, Implementation(hull).Body);
    EXPECT_NEAR(0.45, Ray({0, 10, 0}, {0, -10, 0}), kRayTolerance);
    EXPECT_NEAR(1.0 - 1.0 / 15.0, Ray({5, 5, 5}, {0, 0, 0}), kRayTolerance);
    // Lit from above, the four upper faces leave the four edges of the equator, two triangles each.
    hull->BuildShadowVolume(0, -1, 0);
    EXPECT_EQ(8, Implementation(hull).ShadowTriangleCount);
    m_scene->DestroyObject(hull);

    IOrvalen3DObject* ellipsoid = Tetrahedron().Begin(*m_scene);
    ASSERT_TRUE(m_scene->EndObjectBuild(ellipsoid, 1, 2, 1));
    EXPECT_NEAR(0.4, Ray({0, 10, 0}, {0, -10, 0}), kRayTolerance);
    EXPECT_NEAR(0.45, Ray({10, 0, 0}, {-10, 0, 0}), kRayTolerance);
    EXPECT_EQ(2, Implementation(ellipsoid).ID);
}

TEST_F(ObjectBuilding, AStaticBuiltBlockCarriesItsIdAndGroupsAndACubeRestsOnIt) {
    m_scene->SetGravity(0, -9.8f, 0);
    IOrvalen3DD3DObject* cube = scene_scenes::DroppedCube(*m_scene, 0.2f, 2.0f, -0.1f);
    IOrvalen3DObject* block = TwoMaterialBox(2, 0.5f, 2).Begin(*m_scene);
    ASSERT_TRUE(m_scene->EndObjectBuild(block, StaticBody{}));
    block->SetPosition(0, -0.5f, 0);
    const int group = m_scene->CreateMaterialID();
    cube->SetMaterialGroupID(group);
    dgApiMaterialSetCollisionCallback(m_scene->World, group, m_scene->GetDefaultMaterialID(), nullptr,
                                      nullptr, RecordAttribute, nullptr);
    g_attributes.clear();
    for (int step = 0; step < 180; ++step) {
        m_scene->Update(kStep);
    }
    EXPECT_NEAR(0.5f, cube->Position[1], kContactTolerance);
    // The block took id 1 in that call; its top face is of group 0, "caps".
    ASSERT_FALSE(g_attributes.empty());
    for (unsigned attribute : g_attributes) {
        ASSERT_EQ(1u * 1000 + 0 + 1, attribute);
    }
    // In the block's own frame, rays onto its top and onto a side meet groups 0 and 1.
    dgCollision* shape = dgApiBodyGetCollision(Implementation(block).Body);
    const float above[3] = {0.5f, 5, 0.2f}, top[3] = {0.5f, 0, 0.2f};
    const float aside[3] = {5, 0.1f, 0.2f}, side[3] = {0, 0.1f, 0.2f};
    float normal[3];
    int attribute = 0;
    EXPECT_LT(dgApiCollisionRayCast(shape, above, top, normal, &attribute), 1.0f);
    EXPECT_EQ(1 * 1000 + 0 + 1, attribute);
    EXPECT_LT(dgApiCollisionRayCast(shape, aside, side, normal, &attribute), 1.0f);
    EXPECT_EQ(1 * 1000 + 1 + 1, attribute);
}

TEST_F(ObjectBuilding, ACubeOnAStaticBuiltBlockFiresTheirEventButNoLevelEventOfTheSameAttributes) {
    m_scene->SetGravity(0, -9.8f, 0);
    IOrvalen3DD3DObject* cube = scene_scenes::DroppedCube(*m_scene, 0.2f, 2.0f, -0.1f);
    IOrvalen3DObject* block = TwoMaterialBox(2, 0.5f, 2).Begin(*m_scene);
    ASSERT_TRUE(m_scene->EndObjectBuild(block, StaticBody{}));
    block->SetPosition(0, -0.5f, 0);
    // A wall far off taking the block's id as its level id: its group 0 carries the block top's attributes.
    const std::uint32_t saved = IOrvalen3DD3DLevelObject::LevelCounter;
    IOrvalen3DD3DLevelObject::LevelCounter = static_cast<std::uint32_t>(block->GetID());
    LevelMesh wall;
    wall.AddWall(100, 101, 100, 1, "caps");
    auto* level = static_cast<IOrvalen3DD3DLevelObject*>(wall.Build(*m_scene));
    IOrvalen3DD3DLevelObject::LevelCounter = std::max(saved, IOrvalen3DD3DLevelObject::LevelCounter);
    ASSERT_EQ(static_cast<std::uint32_t>(block->GetID()), level->LevelID);
    ASSERT_TRUE(m_scene->RegisterEvent(cube, block, 3));
    ASSERT_TRUE(m_scene->RegisterLevelEvent(level, "caps", cube->GetID(), 4));
    for (int step = 0; step < 120; ++step) {
        m_scene->Update(kStep);
    }
    EXPECT_TRUE(m_scene->CheckEvent(3));
    EXPECT_EQ(static_cast<std::uint32_t>(block->GetID()), m_scene->GetEvent(3).IdB);
    EXPECT_FALSE(m_scene->CheckLevelEvent(4));
    m_scene->DestroyLevel(level);
}

TEST_F(ObjectBuilding, TheLimitRefusesNewAndEndingBuildsAndDestroyingTouchesOnlyWhatTheSceneHolds) {
    const BuildMesh mesh = Tetrahedron();
    IOrvalen3DObject* first = mesh.Begin(*m_scene);
    ASSERT_TRUE(m_scene->EndObjectBuild(first));
    IOrvalen3DObject* unfinished = mesh.Begin(*m_scene);
    IOrvalen3DObject* late = mesh.Begin(*m_scene);
    // Never ended: freed by itself, object 0 untouched.
    m_scene->DestroyObject(unfinished);
    EXPECT_EQ(first, m_scene->Objects[0]);
    m_scene->ObjectCount = IOrvalen3DD3D::kMaxObjects;
    EXPECT_EQ(nullptr, mesh.Begin(*m_scene));
    EXPECT_FALSE(m_scene->EndObjectBuild(late));
    m_scene->ObjectCount = 1;
    m_scene->DestroyObject(late);
    m_scene->DestroyObject(first);
    EXPECT_EQ(nullptr, m_scene->Objects[0]);
    m_scene->DestroyObject(first);
    int foreign = 0;
    m_scene->DestroyObject(reinterpret_cast<IOrvalen3DObject*>(&foreign));
    m_scene->DestroyObject(static_cast<IOrvalen3DObject*>(nullptr));
    EXPECT_EQ("ERROR: Too Many Objects Created\nERROR: Too Many Objects Created\n"
              "ERROR: DestroyObject Failed - Null Object Passed\n",
              NewLog());
}
