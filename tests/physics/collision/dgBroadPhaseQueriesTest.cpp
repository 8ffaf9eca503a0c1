#include "physics/collision/dgBroadPhase.h"

#include "physics/collision/dgIntersections.h"
#include "support/BroadPhaseScene.h"
#include "support/SoupScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

dgVector Point(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return dgVector(x, y, z, 1.0f);
}

// What one ray cast saw: the bodies whose shapes were cast against, and the filter's calls in order.
struct RayRecord {
    std::vector<const dgBody*> m_cast;
    std::vector<const dgBody*> m_hits;
    std::vector<dgFloat32> m_params;
    bool m_nearestOnly = false;
};

dgUnsigned32 RecordCast(dgBody* body, const dgCollision*, void* userData) {
    static_cast<RayRecord*>(userData)->m_cast.push_back(body);
    return 1;
}

// Either keeps the nearest hit (answers t) or asks for every hit (answers 1).
dgFloat32 RecordHit(dgBody* body, const dgFloat32*, dgInt32, void* userData, dgFloat32 t) {
    auto* record = static_cast<RayRecord*>(userData);
    record->m_hits.push_back(body);
    record->m_params.push_back(t);
    return record->m_nearestOnly ? t : 1.0f;
}

RayRecord CastRay(BroadPhaseScene& scene, const dgVector& p0, const dgVector& p1, bool nearestOnly) {
    RayRecord record;
    record.m_nearestOnly = nearestOnly;
    scene.BroadPhase().RayCast(p0, p1, RecordHit, &record, RecordCast);
    return record;
}

std::vector<const dgBody*>* g_found = nullptr;

void RecordFound(dgBody* body) {
    g_found->push_back(body);
}

std::vector<const dgBody*> QueryBox(BroadPhaseScene& scene, const dgVector& min, const dgVector& max) {
    std::vector<const dgBody*> found;
    g_found = &found;
    scene.BroadPhase().ForEachBodyInBox(min, max, RecordFound);
    g_found = nullptr;
    return found;
}

dgBody* AddCube(BroadPhaseScene& scene, dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return scene.AddBody(Point(x, y, z), Point(x + 1.0f, y + 1.0f, z + 1.0f), BodyKind::kStatic);
}

// Random boxes inside the world box, from specks to boxes across the root's midlines.
void FillAtRandom(BroadPhaseScene& scene, std::mt19937& random, int count) {
    std::uniform_real_distribution<dgFloat32> corner(-900.0f, 800.0f);
    std::uniform_real_distribution<dgFloat32> unit(0.1f, 1.0f);
    static constexpr dgFloat32 kSizes[] = {0.5f, 4.0f, 30.0f, 150.0f};
    for (int i = 0; i < count; i++) {
        const dgFloat32 size = kSizes[random() % 4];
        const dgVector min = Point(corner(random), corner(random), corner(random));
        scene.AddBody(min, Point(min.x + size * unit(random), min.y + size * unit(random), min.z + size * unit(random)),
                      BodyKind::kStatic);
    }
}

dgVector RandomPoint(std::mt19937& random) {
    std::uniform_real_distribution<dgFloat32> coordinate(-1000.0f, 1000.0f);
    return Point(coordinate(random), coordinate(random), coordinate(random));
}

} // namespace

// ---- Ray cast ------------------------------------------------------------------------------------------

TEST(dgBroadPhaseRayCast, NearestHitStopsTheWalkBeforeCellsBeyondIt) {
    BroadPhaseScene scene;
    std::vector<dgBody*> row;
    for (dgFloat32 x : {-800.0f, -400.0f, 10.0f, 400.0f, 800.0f}) {
        row.push_back(AddCube(scene, x, 0.0f, 0.0f));
    }
    const dgVector p0 = Point(-999.0f, 0.5f, 0.5f);
    const dgVector p1 = Point(999.0f, 0.5f, 0.5f);
    const RayRecord record = CastRay(scene, p0, p1, true);
    ASSERT_EQ(record.m_hits, (std::vector<const dgBody*>{row[0]}));
    EXPECT_FLOAT_EQ(record.m_params[0], (-800.0f - p0.x) / (p1.x - p0.x));
    EXPECT_EQ(record.m_cast, (std::vector<const dgBody*>{row[0]}));
}

TEST(dgBroadPhaseRayCast, RayThatKeepsGoingMeetsTheBodiesInOrder) {
    BroadPhaseScene scene;
    std::vector<const dgBody*> row;
    for (dgFloat32 x : {800.0f, -400.0f, 10.0f, -800.0f, 400.0f}) {
        row.push_back(AddCube(scene, x, 0.0f, 0.0f));
    }
    std::sort(row.begin(), row.end(), [](const dgBody* a, const dgBody* b) { return a->m_minBox.x < b->m_minBox.x; });
    const RayRecord record = CastRay(scene, Point(-999.0f, 0.5f, 0.5f), Point(999.0f, 0.5f, 0.5f), false);
    EXPECT_EQ(record.m_hits, row);
    EXPECT_TRUE(std::is_sorted(record.m_params.begin(), record.m_params.end()));

    // Backwards, the same bodies in the opposite order.
    std::reverse(row.begin(), row.end());
    EXPECT_EQ(CastRay(scene, Point(999.0f, 0.5f, 0.5f), Point(-999.0f, 0.5f, 0.5f), false).m_hits, row);
}

TEST(dgBroadPhaseRayCast, LongRayThroughOverAThousandCellsMeetsEveryBody) {
    BroadPhaseScene scene;
    // One speck in each of the 512 deepest cells along a line: with their ancestors the ray enters 1023
    // cells, all waiting in the heap at once.
    const dgFloat32 side = 2000.0f / 512.0f;
    for (int i = 0; i < 512; i++) {
        const dgFloat32 x = -1000.0f + side * static_cast<dgFloat32>(i) + 1.0f;
        scene.AddBody(Point(x, 0.0f, 0.25f), Point(x + 0.5f, 0.5f, 0.75f), BodyKind::kStatic);
    }
    const RayRecord record = CastRay(scene, Point(-999.9f, 0.25f, 0.5f), Point(999.9f, 0.25f, 0.5f), false);
    EXPECT_EQ(record.m_hits.size(), 512u);
    EXPECT_TRUE(std::is_sorted(record.m_params.begin(), record.m_params.end()));
}

TEST(dgBroadPhaseRayCast, CellsARayPassesBesideAreNotEntered) {
    BroadPhaseScene scene;
    // The speck's cell, nine levels down, covers x and z from 0 to 3.90625.
    dgBody* speck = scene.AddBody(Point(1.0f, 0.0f, 1.0f), Point(1.5f, 0.5f, 1.5f), BodyKind::kStatic);
    ASSERT_EQ(speck->m_cell->m_level, dgBroadPhase::kMaxDepth);
    const dgFloat32 beside[4][4] = {{-100.0f, -0.5f, 100.0f, -0.5f}, // along x, short of the cell in z
                                    {-100.0f, 4.5f, 100.0f, 4.5f},   // along x, past it in z
                                    {-0.5f, -100.0f, -0.5f, 100.0f}, // along z, short in x
                                    {4.5f, -100.0f, 4.5f, 100.0f}};  // along z, past it in x
    for (const auto& ray : beside) {
        const RayRecord record = CastRay(scene, Point(ray[0], 0.25f, ray[1]), Point(ray[2], 0.25f, ray[3]), false);
        EXPECT_TRUE(record.m_cast.empty()) << ray[0] << " " << ray[1];
    }
    // Starting inside the cell: entered at once.
    const RayRecord inside = CastRay(scene, Point(0.5f, 0.25f, 1.25f), Point(100.0f, 0.25f, 1.25f), true);
    EXPECT_EQ(inside.m_hits, (std::vector<const dgBody*>{speck}));
}

TEST(dgBroadPhaseRayCast, VerticalRayWalksTheXList) {
    BroadPhaseScene scene;
    // All three cross a midline of the root and stay there.
    dgBody* hit = scene.AddBody(Point(-10.0f, -10.0f, -10.0f), Point(10.0f, 10.0f, 10.0f), BodyKind::kStatic);
    dgBody* beside = scene.AddBody(Point(-20.0f, -10.0f, -30.0f), Point(-5.0f, 10.0f, 30.0f), BodyKind::kStatic);
    dgBody* past = scene.AddBody(Point(5.0f, -10.0f, -30.0f), Point(30.0f, 10.0f, 30.0f), BodyKind::kStatic);
    ASSERT_TRUE(hit->m_cell == past->m_cell && beside->m_cell == past->m_cell);
    const RayRecord record = CastRay(scene, Point(0.0f, 500.0f, 0.0f), Point(0.0f, -500.0f, 0.0f), true);
    EXPECT_EQ(record.m_hits, (std::vector<const dgBody*>{hit}));
    EXPECT_FLOAT_EQ(record.m_params[0], 490.0f / 1000.0f);
    // Bodies starting below x = 0 are cast against, in x order; the one starting past it is not.
    EXPECT_EQ(record.m_cast, (std::vector<const dgBody*>{beside, hit}));
}

TEST(dgBroadPhaseRayCast, RayAlongACellSideFindsWhatCastingTheBodyFinds) {
    BroadPhaseScene scene;
    // A level tile over x 0..2 sits in a deep cell whose side is the root's midline x = 0, so its edge
    // there lies on the cell's side and its box starts where a ray down that edge is.
    dgCollisionPolygonalSoup* tile = MakeTreeCollision(FlatGridFaces(2, 1.0f, true));
    ASSERT_NE(tile, nullptr);
    dgBody* body = scene.World()->CreateBody(tile);
    dgRefRelease(tile);
    dgMatrix matrix = dgGetIdentityMatrix();
    matrix.posit = Point(1.0f, 0.0f, 5.0f);
    body->SetMatrix(matrix);
    ASSERT_EQ(body->m_cell->m_level, dgBroadPhase::kMaxDepth);
    const dgVector p0 = Point(0.0f, 10.0f, 4.5f);
    const dgVector p1 = Point(0.0f, -10.0f, 4.5f);
    ASSERT_EQ(body->RayCast(p0, p1, nullptr, nullptr, nullptr, 1.0f), 0.5f);
    const RayRecord record = CastRay(scene, p0, p1, true);
    EXPECT_EQ(record.m_hits, (std::vector<const dgBody*>{body}));
    EXPECT_EQ(record.m_params, (std::vector<dgFloat32>{0.5f}));
}

TEST(dgBroadPhaseRayCast, ABodyJustBeyondTheSegmentsEndIsNotHit) {
    BroadPhaseScene scene;
    dgCollision* ball = scene.World()->CreateSphere(1.0f, dgGetIdentityMatrix());
    scene.World()->CreateBody(ball)->SetMatrix(dgGetIdentityMatrix());
    scene.World()->ReleaseCollision(ball);
    // The surface lies at 1.05 along the segment: past its end, yet below the walk's first bound of 1.1.
    EXPECT_TRUE(CastRay(scene, Point(-3.1f, 0.0f, 0.0f), Point(-1.1f, 0.0f, 0.0f), true).m_hits.empty());
    const RayRecord reaching = CastRay(scene, Point(-3.1f, 0.0f, 0.0f), Point(-0.9f, 0.0f, 0.0f), true);
    ASSERT_EQ(reaching.m_params.size(), 1u);
    EXPECT_NEAR(reaching.m_params[0], 2.1f / 2.2f, 1.0e-5f);
}

TEST(dgBroadPhaseRayCast, WithoutAFilterOrBodiesNothingHappens) {
    BroadPhaseScene scene;
    EXPECT_TRUE(CastRay(scene, Point(-999.0f, 0.5f, 0.5f), Point(999.0f, 0.5f, 0.5f), false).m_cast.empty());
    AddCube(scene, 0.0f, 0.0f, 0.0f);
    RayRecord record;
    scene.BroadPhase().RayCast(Point(-999.0f, 0.5f, 0.5f), Point(999.0f, 0.5f, 0.5f), nullptr, &record, RecordCast);
    EXPECT_TRUE(record.m_cast.empty());
}

TEST(dgBroadPhaseRayCast, RandomRaysFindWhatCastingEveryBodyFinds) {
    BroadPhaseScene scene;
    std::mt19937 random(5);
    FillAtRandom(scene, random, 1000);
    int hits = 0;
    for (int ray = 0; ray < 300; ray++) {
        const dgVector p0 = RandomPoint(random);
        dgVector p1 = RandomPoint(random);
        if (ray % 10 == 0) {
            p1.x = p0.x;
            p1.z = p0.z;
        }
        std::set<const dgBody*> expected;
        dgFloat32 nearest = 1.0f;
        for (dgBody* body : scene.Bodies()) {
            const dgFloat32 t = body->RayCast(p0, p1, nullptr, nullptr, nullptr, 1.0f);
            if (t < 1.0f) {
                expected.insert(body);
                nearest = std::min(nearest, t);
            }
        }
        const RayRecord all = CastRay(scene, p0, p1, false);
        const std::set<const dgBody*> found(all.m_hits.begin(), all.m_hits.end());
        ASSERT_EQ(found.size(), all.m_hits.size()) << "a body was hit twice, ray " << ray;
        ASSERT_EQ(found, expected) << "ray " << ray;

        const RayRecord first = CastRay(scene, p0, p1, true);
        const dgFloat32 best = first.m_params.empty() ? 1.0f : first.m_params.back();
        ASSERT_EQ(best, nearest) << "ray " << ray;
        hits += static_cast<int>(expected.size());
    }
    EXPECT_GT(hits, 100);
}

// ---- Box query -----------------------------------------------------------------------------------------

TEST(dgBroadPhaseBoxQuery, FindsBodiesAtAnyHeight) {
    BroadPhaseScene scene;
    dgBody* high = AddCube(scene, 100.0f, 5000.0f, 100.0f); // above the world box: still in the tree
    dgBody* low = AddCube(scene, 100.5f, -5000.0f, 100.5f);
    dgBody* level = AddCube(scene, 99.5f, 0.0f, 99.5f);
    AddCube(scene, -300.0f, 0.0f, 100.0f);
    std::vector<const dgBody*> found = QueryBox(scene, Point(99.0f, -1e9f, 99.0f), Point(102.0f, 1e9f, 102.0f));
    std::sort(found.begin(), found.end());
    std::vector<const dgBody*> expected{high, low, level};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
    EXPECT_EQ(QueryBox(scene, Point(99.0f, 4000.0f, 99.0f), Point(102.0f, 6000.0f, 102.0f)),
              (std::vector<const dgBody*>{high}));
    // Touching is not overlapping.
    EXPECT_TRUE(QueryBox(scene, Point(101.5f, -10.0f, 90.0f), Point(110.0f, 10.0f, 110.0f)).empty());
}

TEST(dgBroadPhaseBoxQuery, RandomQueriesFindEachOverlappingBodyOnce) {
    BroadPhaseScene scene;
    std::mt19937 random(9);
    FillAtRandom(scene, random, 400);
    std::uniform_real_distribution<dgFloat32> size(1.0f, 400.0f);
    for (int query = 0; query < 200; query++) {
        const dgVector min = RandomPoint(random);
        const dgVector max = Point(min.x + size(random), min.y + size(random), min.z + size(random));
        std::multiset<const dgBody*> expected;
        for (const dgBody* body : scene.Bodies()) {
            if (BoxesOverlap(body->m_minBox, body->m_maxBox, min, max)) {
                expected.insert(body);
            }
        }
        const std::vector<const dgBody*> found = QueryBox(scene, min, max);
        ASSERT_EQ(std::multiset<const dgBody*>(found.begin(), found.end()), expected) << "query " << query;
    }
}
