// Tree collisions through the interface: a grid of faces with attributes, serialisation through memory,
// the build's limits, bodies resting on a tree and its faces shown.

#include "ApiTestScene.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <vector>

namespace {

constexpr int kCells = 8; ///< the grid covers x and z in [-4, 4], one unit per cell

int CellAttribute(int i, int k) {
    return 100 + kCells * i + k;
}

/// Height of the uneven terrain at a grid corner.
float TerrainHeight(int i, int k) {
    return 0.3f * std::sin(1.3f * static_cast<float>(i)) * std::cos(0.7f * static_cast<float>(k));
}

/// One quad per cell, wound so that its front faces +y; flat, or over the uneven terrain.
void AddGrid(dgCollision* tree, bool uneven) {
    for (int i = 0; i < kCells; i++) {
        for (int k = 0; k < kCells; k++) {
            const float x = static_cast<float>(i - kCells / 2);
            const float z = static_cast<float>(k - kCells / 2);
            auto y = [&](int di, int dk) { return uneven ? TerrainHeight(i + di, k + dk) : 0.0f; };
            const float quad[4][3] = {{x, y(0, 0), z},
                                      {x, y(0, 1), z + 1.0f},
                                      {x + 1.0f, y(1, 1), z + 1.0f},
                                      {x + 1.0f, y(1, 0), z}};
            if (uneven) {
                // Uneven quads are not flat: two triangles each.
                const float first[3][3] = {{quad[0][0], quad[0][1], quad[0][2]},
                                           {quad[1][0], quad[1][1], quad[1][2]},
                                           {quad[2][0], quad[2][1], quad[2][2]}};
                const float second[3][3] = {{quad[0][0], quad[0][1], quad[0][2]},
                                            {quad[2][0], quad[2][1], quad[2][2]},
                                            {quad[3][0], quad[3][1], quad[3][2]}};
                dgApiTreeCollisionAddFace(tree, 3, &first[0][0], 12, CellAttribute(i, k));
                dgApiTreeCollisionAddFace(tree, 3, &second[0][0], 12, CellAttribute(i, k));
            } else {
                dgApiTreeCollisionAddFace(tree, 4, &quad[0][0], 12, CellAttribute(i, k));
            }
        }
    }
}

dgCollision* MakeGrid(dgWorld* world, bool uneven, int optimize,
                      dgTreeCollisionFaceCallback callback = nullptr) {
    dgCollision* tree = dgApiTreeCollisionCreate(world, callback);
    dgApiTreeCollisionBeginBuild(tree);
    AddGrid(tree, uneven);
    dgApiTreeCollisionEndBuild(tree, optimize);
    return tree;
}

struct Hit {
    float t;
    Vec3 normal;
    int attribute;
};

Hit CastDown(dgCollision* tree, float x, float z) {
    const Vec3 p0 = {x, 5.0f, z};
    const Vec3 p1 = {x, -5.0f, z};
    Hit hit = {0.0f, {}, -1};
    hit.t = dgApiCollisionRayCast(tree, p0.data(), p1.data(), hit.normal.data(), &hit.attribute);
    return hit;
}

class TreeWorld : public ::testing::Test {
protected:
    dgWorld* m_world = dgApiWorldCreate(nullptr, nullptr);
    ~TreeWorld() override { dgApiWorldDestroy(m_world); }
};

using dgApiTreeCollision = TreeWorld;

struct WorldHit {
    int attribute = -1;
    float t = 2.0f;
};
WorldHit g_worldHit;

float KeepNearest(dgBody*, const float*, int collisionId, void*, float t) {
    g_worldHit = {collisionId, t};
    return t;
}

} // namespace

TEST_F(dgApiTreeCollision, VerticalRaysReturnTheFaceAttributeOfTheirCell) {
    dgCollision* tree = MakeGrid(m_world, false, 0);
    for (int i = 0; i < kCells; i++) {
        for (int k = 0; k < kCells; k++) {
            const Hit hit = CastDown(tree, static_cast<float>(i - kCells / 2) + 0.3f,
                                     static_cast<float>(k - kCells / 2) + 0.6f);
            EXPECT_NEAR(hit.t, 0.5f, 1.0e-5f);
            EXPECT_EQ(hit.attribute, CellAttribute(i, k));
            EXPECT_NEAR(hit.normal[1], 1.0f, 1.0e-5f);
        }
    }
    // Outside the grid nothing is hit.
    EXPECT_GT(CastDown(tree, 6.0f, 0.5f).t, 1.0f);

    // Through a body moved up by 2, from the world's ray cast: the attribute is the hit's collision id.
    dgBody* floor = dgApiBodyCreate(m_world, tree);
    const Mat4 raised = Translation(0.0f, 2.0f, 0.0f);
    dgApiBodySetMatrix(floor, raised.data());
    const Vec3 p0 = {-3.5f, 6.0f, 2.5f};
    const Vec3 p1 = {-3.5f, -4.0f, 2.5f};
    g_worldHit = {};
    dgApiWorldRayCast(m_world, p0.data(), p1.data(), KeepNearest, nullptr, nullptr);
    EXPECT_EQ(g_worldHit.attribute, CellAttribute(0, 6));
    EXPECT_NEAR(g_worldHit.t, 0.4f, 1.0e-5f);
    dgApiCollisionRelease(m_world, tree);
}

TEST_F(dgApiTreeCollision, SerialisedThroughMemoryItAnswersRaysIdentically) {
    dgCollision* tree = MakeGrid(m_world, true, 1);
    MemoryStream stream;
    dgApiTreeCollisionSerialize(tree, WriteToMemory, &stream);
    ASSERT_FALSE(stream.bytes.empty());
    dgCollision* copy = dgApiTreeCollisionCreateFromSerialization(m_world, nullptr, ReadFromMemory, &stream);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(stream.readAt, stream.bytes.size());

    std::mt19937 random(18);
    std::uniform_real_distribution<float> across(-4.5f, 4.5f);
    int hits = 0;
    for (int i = 0; i < 100; i++) {
        const Vec3 p0 = {across(random), 3.0f, across(random)};
        const Vec3 p1 = {across(random), -3.0f, across(random)};
        Hit a = {0.0f, {}, -1};
        Hit b = {0.0f, {}, -1};
        a.t = dgApiCollisionRayCast(tree, p0.data(), p1.data(), a.normal.data(), &a.attribute);
        b.t = dgApiCollisionRayCast(copy, p0.data(), p1.data(), b.normal.data(), &b.attribute);
        EXPECT_EQ(a.t, b.t) << i;
        EXPECT_EQ(a.normal, b.normal) << i;
        EXPECT_EQ(a.attribute, b.attribute) << i;
        hits += a.t <= 1.0f ? 1 : 0;
    }
    EXPECT_GT(hits, 50);

    // A stream cut short is refused.
    MemoryStream cut = stream;
    cut.readAt = 0;
    cut.limit = stream.bytes.size() / 2;
    EXPECT_EQ(dgApiTreeCollisionCreateFromSerialization(m_world, nullptr, ReadFromMemory, &cut), nullptr);
    dgApiCollisionRelease(m_world, tree);
    dgApiCollisionRelease(m_world, copy);
}

TEST_F(dgApiTreeCollision, FacesOutsideAnOpenBuildOrAboveTheLimitAreIgnored) {
    dgCollision* tree = dgApiTreeCollisionCreate(m_world, nullptr);
    // A face added before the build opens is ignored.
    const float early[4][3] = {{10, 0, 10}, {10, 0, 11}, {11, 0, 11}, {11, 0, 10}};
    dgApiTreeCollisionAddFace(tree, 4, &early[0][0], 12, 1);
    dgApiTreeCollisionBeginBuild(tree);
    AddGrid(tree, false);
    // A disc of 1025 vertices around x = 20 is beyond the face limit.
    std::vector<float> disc;
    for (int i = 0; i < 1025; i++) {
        const float angle = -6.2831853f * static_cast<float>(i) / 1025.0f;
        disc.insert(disc.end(), {20.0f + std::cos(angle), 0.0f, std::sin(angle)});
    }
    dgApiTreeCollisionAddFace(tree, 1025, disc.data(), 12, 2);
    dgApiTreeCollisionEndBuild(tree, 1);
    // After the build, faces and a second end are ignored; the grid stands.
    const float late[4][3] = {{-10, 0, -10}, {-10, 0, -9}, {-9, 0, -9}, {-9, 0, -10}};
    dgApiTreeCollisionAddFace(tree, 4, &late[0][0], 12, 3);
    dgApiTreeCollisionEndBuild(tree, 0);

    EXPECT_GT(CastDown(tree, 10.5f, 10.5f).t, 1.0f);
    EXPECT_GT(CastDown(tree, 20.0f, 0.0f).t, 1.0f);
    EXPECT_GT(CastDown(tree, -9.5f, -9.5f).t, 1.0f);
    EXPECT_EQ(CastDown(tree, 0.5f, 0.5f).attribute, CellAttribute(4, 4));
    dgApiCollisionRelease(m_world, tree);
}

class dgApiTreeCollisionStepping : public RunsInBuild, public TreeWorld {};
INSTANTIATE_BOTH_BUILDS(dgApiTreeCollisionStepping);

TEST_P(dgApiTreeCollisionStepping, AnEmptyTreeBuiltEitherWayHitsNothingAndHoldsABody) {
    for (const int optimize : {0, 1}) {
        dgCollision* tree = dgApiTreeCollisionCreate(m_world, nullptr);
        dgApiTreeCollisionBeginBuild(tree);
        dgApiTreeCollisionEndBuild(tree, optimize);
        EXPECT_GT(CastDown(tree, 0.5f, 0.5f).t, 1.0f) << optimize;
        dgBody* body = dgApiBodyCreate(m_world, tree);
        ASSERT_NE(body, nullptr);
        dgApiWorldUpdate(m_world, kStep);
        dgApiBodyDestroy(m_world, body);
        dgApiCollisionRelease(m_world, tree);
    }
}

namespace {

std::set<int> g_touchedAttributes;
std::set<unsigned> g_contactAttributes;
int g_shownFaces = 0;

void RecordFace(const dgBody*, const dgBody*, const float*, int, int, const int* indices) {
    g_touchedAttributes.insert(dgApiTreeCollisionGetFaceAtribute(nullptr, indices));
}

unsigned char RecordContact(dgContactMaterial* contact, dgContactJoint*) {
    g_contactAttributes.insert(dgApiContactGetFaceAttribute(contact));
    return 1;
}

void CountFace(dgBody*, int vertexCount, const float*, int) {
    g_shownFaces += vertexCount >= 3 ? 1 : 0;
}

} // namespace

TEST_P(dgApiTreeCollisionStepping, ABoxRestsOnTheGridAndItsContactsCarryTheCellsAttribute) {
    dgCollision* tree = MakeGrid(m_world, false, 0, RecordFace);
    dgBody* floor = dgApiBodyCreate(m_world, tree);
    dgApiCollisionRelease(m_world, tree);

    // A half-unit box over the middle of cell (1, 2): x in [-3, -2], z in [-2, -1].
    dgCollision* shape = dgApiCollisionCreateBox(m_world, 0.5f, 0.5f, 0.5f, nullptr);
    dgBody* box = dgApiBodyCreate(m_world, shape);
    dgApiCollisionRelease(m_world, shape);
    dgApiBodySetMassMatrix(box, 1.0f, 0.05f, 0.05f, 0.05f);
    const Mat4 place = Translation(-2.5f, 1.0f, -1.5f);
    dgApiBodySetMatrix(box, place.data());
    dgApiBodySetForceAndTorqueCallback(box, ApplyGravity);
    dgApiMaterialSetCollisionCallback(m_world, 0, 0, nullptr, nullptr, RecordContact, nullptr);

    g_touchedAttributes.clear();
    g_contactAttributes.clear();
    for (int i = 0; i < 120; i++) {
        dgApiWorldUpdate(m_world, kStep);
    }
    EXPECT_NEAR(BodyPosition(box)[1], 0.25f, 0.02f);
    EXPECT_EQ(g_contactAttributes, (std::set<unsigned>{static_cast<unsigned>(CellAttribute(1, 2))}));
    EXPECT_EQ(g_touchedAttributes.count(CellAttribute(1, 2)), 1u);

    g_shownFaces = 0;
    dgApiBodyForEachPolygonDo(floor, CountFace);
    EXPECT_EQ(g_shownFaces, kCells * kCells);
}
