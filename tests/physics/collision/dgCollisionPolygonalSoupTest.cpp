#include "physics/collision/dgCollisionPolygonalSoup.h"

#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionConvexPolygon.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgTreeCollisionSoup.h"
#include "physics/dynamics/dgBody.h"

#include "CollisionTestShapes.h"
#include "ShapeHolder.h"
#include "support/MathAssertions.h"
#include "support/SoupScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using dgConvexPolygon = dgCollisionPolygonalSoup::dgCollisionConvexPolygon;
using SoupPtr = ShapePtr<dgCollisionPolygonalSoup>;

SoupPtr Tree(const SoupFaceList& faces, dgTreeCollisionFaceCallback faceCallback = nullptr) {
    return SoupPtr(MakeTreeCollision(faces, false, faceCallback));
}

// A user mesh whose callbacks count their calls; the ray-hit answer and normal are the test's.
struct UserMeshProbe {
    static inline int s_rayHits = 0;
    static inline int s_destroyed = 0;
    static inline void* s_destroyedWith = nullptr;
    static inline dgFloat32 s_answer = 0.5f;
    static inline dgInt32 s_attribute = 0;

    static dgFloat32 RayHit(dgPolygonSoupRay* ray) {
        s_rayHits++;
        ray->m_normal = dgVector(0.0f, 0.0f, 1.0f, 0.0f);
        ray->m_attribute = s_attribute;
        return s_answer;
    }
    static void Destroy(void* userData) {
        s_destroyed++;
        s_destroyedWith = userData;
    }
    static void Reset() {
        s_rayHits = 0;
        s_destroyed = 0;
        s_destroyedWith = nullptr;
    }
};

dgUnsigned32 RefuseAll(dgBody*, const dgCollision*, void*) {
    return 0;
}

dgContactPoint Untouched() {
    dgContactPoint contact;
    contact.m_normal = dgVector(7.0f, 7.0f, 7.0f, 7.0f);
    contact.m_attribute = 99;
    return contact;
}

} // namespace

// ---- The soup shape ---------------------------------------------------------------------------------------

TEST(dgCollisionPolygonalSoup, RaysFromOutsideACubeHitItsNearFaceAtTheAnalyticParameterWithItsAttribute) {
    SoupPtr cube = Tree(CubeFaces(1.0f));
    ASSERT_NE(cube, nullptr);
    struct Case {
        dgVector p0, p1, normal;
        dgFloat32 t;
        dgInt64 attribute;
    };
    const Case cases[] = {
        {P(5, 0.2f, 0.3f), P(-5, 0.2f, 0.3f), dgVector(1, 0, 0, 0), 0.4f, 1},
        {P(-3, 0, 0), P(1, 0, 0), dgVector(-1, 0, 0, 0), 0.5f, 2},
        {P(0.5f, 4, -0.5f), P(0.5f, -4, -0.5f), dgVector(0, 1, 0, 0), 0.375f, 3},
        {P(0, -2, 0), P(0, 2, 0), dgVector(0, -1, 0, 0), 0.25f, 4},
        {P(0, 0, 9), P(0, 0, -1), dgVector(0, 0, 1, 0), 0.8f, 5},
        {P(0.1f, 0.1f, -1.5f), P(0.1f, 0.1f, 0.5f), dgVector(0, 0, -1, 0), 0.25f, 6},
    };
    for (const Case& c : cases) {
        dgContactPoint contact = Untouched();
        const dgFloat32 t = cube->RayCast(c.p0, c.p1, contact, nullptr, nullptr, nullptr);
        EXPECT_NEAR(t, c.t, kRoundingTol);
        EXPECT_TRUE(VectorNear(contact.m_normal, c.normal, kRoundingTol));
        EXPECT_EQ(contact.m_attribute, c.attribute);
    }
    // From inside every face is seen from its back; a segment stopping short reaches nothing.
    dgContactPoint contact = Untouched();
    EXPECT_EQ(cube->RayCast(P(0, 0, 0), P(0, 0, 5), contact, nullptr, nullptr, nullptr), 2.0f);
    EXPECT_EQ(cube->RayCast(P(0, 0, 5), P(0, 0, 1.5f), contact, nullptr, nullptr, nullptr), 2.0f);
    EXPECT_EQ(contact.m_attribute, 99);
}

// Straight down through every corner, edge middle and square middle of flat grids of quads and of
// triangles (a triangle's square middle lies on its diagonal): corners and edges are shared by up to
// four faces, and each ray must hit the plane once with the plane's unit normal, also for faces of 1 cm.
// On rolling terrain the outer corners belong to a single face, as its second or third vertex.
TEST(dgCollisionPolygonalSoup, RaysDownThroughSharedCornersAndEdgesHitTheSurfaceWithItsNormal) {
    constexpr dgInt32 kCells = 6;
    constexpr dgFloat32 kTop = 5.0f;
    auto castDown = [](const dgCollisionPolygonalSoup& soup, dgFloat32 x, dgFloat32 z, dgContactPoint& contact) {
        return soup.RayCast(P(x, kTop, z), P(x, -kTop, z), contact, nullptr, nullptr, nullptr);
    };
    for (const bool triangles : {false, true}) {
        for (const dgFloat32 size : {0.37f, 0.01f}) {
            SoupPtr grid = Tree(FlatGridFaces(kCells, size, triangles, 0.3f));
            ASSERT_NE(grid, nullptr);
            const dgFloat32 origin = -0.5f * size * kCells;
            for (dgInt32 i = 0; i <= 2 * kCells; i++) {
                for (dgInt32 k = 0; k <= 2 * kCells; k++) {
                    const dgFloat32 x = origin + 0.5f * size * static_cast<dgFloat32>(i);
                    const dgFloat32 z = origin + 0.5f * size * static_cast<dgFloat32>(k);
                    dgContactPoint contact = Untouched();
                    EXPECT_NEAR(castDown(*grid, x, z, contact), (kTop - 0.3f) / (2.0f * kTop), 1.0e-5f)
                        << triangles << " " << size << " at " << i << ", " << k;
                    EXPECT_TRUE(VectorNear(contact.m_normal, dgVector(0, 1, 0, 0), 1.0e-5f));
                }
            }
            dgContactPoint contact = Untouched();
            EXPECT_EQ(castDown(*grid, origin - 1.0e-3f, 0.0f, contact), 2.0f);
        }
    }
    SoupPtr terrain(MakeRollingTerrain(kCells));
    ASSERT_NE(terrain, nullptr);
    for (dgInt32 i = 0; i <= kCells; i++) {
        for (dgInt32 k = 0; k <= kCells; k++) {
            const auto x = static_cast<dgFloat32>(i - kCells / 2);
            const auto z = static_cast<dgFloat32>(k - kCells / 2);
            dgContactPoint contact = Untouched();
            EXPECT_NEAR(castDown(*terrain, x, z, contact), (kTop - RollingTerrainHeight(x, z)) / (2.0f * kTop), 1.0e-5f)
                << "terrain corner " << i << ", " << k;
        }
    }
}

TEST(dgCollisionPolygonalSoup, TreeBuildSetsTheBoxAndTheStreamReadsBackIntoAnEqualShape) {
    SoupPtr cube = Tree(CubeFaces(1.0f));
    ASSERT_NE(cube, nullptr);
    EXPECT_TRUE(VectorNear(cube->GetBoxMin(), P(-1, -1, -1), kRoundingTol));
    EXPECT_TRUE(VectorNear(cube->GetBoxMax(), P(1, 1, 1), kRoundingTol));
    EXPECT_EQ(cube->GetUserId(), reinterpret_cast<std::uintptr_t>(cube->GetTreeSoup()));

    std::vector<unsigned char> bytes;
    auto write = [](void* userData, const void* buffer, dgInt32 count) {
        auto& out = *static_cast<std::vector<unsigned char>*>(userData);
        out.insert(out.end(), static_cast<const unsigned char*>(buffer), static_cast<const unsigned char*>(buffer) + count);
    };
    ASSERT_TRUE(cube->SerializeTree(write, &bytes));

    struct Reader {
        const std::vector<unsigned char>* m_bytes;
        std::size_t m_at;
        std::size_t m_limit;
    };
    auto read = [](void* userData, void* buffer, dgInt32 count) -> dgInt32 {
        auto& r = *static_cast<Reader*>(userData);
        if (r.m_at + static_cast<std::size_t>(count) > r.m_limit) {
            return 0;
        }
        std::memcpy(buffer, r.m_bytes->data() + r.m_at, static_cast<std::size_t>(count));
        r.m_at += static_cast<std::size_t>(count);
        return 1;
    };
    Reader whole{&bytes, 0, bytes.size()};
    SoupPtr copy(dgCollisionPolygonalSoup::CreateTreeCollisionFromStream(nullptr, nullptr, read, &whole));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(VectorNear(copy->GetBoxMin(), P(-1, -1, -1), kRoundingTol));
    EXPECT_TRUE(VectorNear(copy->GetBoxMax(), P(1, 1, 1), kRoundingTol));
    dgContactPoint contact;
    EXPECT_NEAR(copy->RayCast(P(0, 0, 9), P(0, 0, -1), contact, nullptr, nullptr, nullptr), 0.8f, kRoundingTol);
    EXPECT_EQ(contact.m_attribute, 5);

    Reader truncated{&bytes, 0, bytes.size() - 1};
    EXPECT_EQ(dgCollisionPolygonalSoup::CreateTreeCollisionFromStream(nullptr, nullptr, read, &truncated), nullptr);
}

TEST(dgCollisionPolygonalSoup, BuildCallsRefuseUserMeshesAndFacesOutsideAnOpenBuild) {
    SoupPtr mesh(new dgCollisionPolygonalSoup(nullptr, nullptr, nullptr, nullptr));
    const dgVector triangle[3] = {P(0, 0, 0), P(0, 0, 1), P(1, 0, 0)};
    EXPECT_FALSE(mesh->BeginTreeBuild());
    EXPECT_FALSE(mesh->AddTreeFace(3, &triangle[0].x, sizeof(dgVector), 0));
    EXPECT_FALSE(mesh->EndTreeBuild(false));
    EXPECT_FALSE(mesh->SerializeTree([](void*, const void*, dgInt32) {}, nullptr));

    SoupPtr tree(dgCollisionPolygonalSoup::CreateTreeCollision(nullptr, nullptr));
    EXPECT_FALSE(tree->AddTreeFace(3, &triangle[0].x, sizeof(dgVector), 0));
    EXPECT_FALSE(tree->EndTreeBuild(false));
    ASSERT_TRUE(tree->BeginTreeBuild());
    EXPECT_FALSE(tree->AddTreeFace(2, &triangle[0].x, sizeof(dgVector), 0));
    EXPECT_TRUE(tree->AddTreeFace(3, &triangle[0].x, sizeof(dgVector), 0));
    // A build left open is freed with the shape (the sanitizer build sees a leak otherwise).
}

TEST(dgCollisionPolygonalSoup, PreFilterAnsweringZeroMissesWithoutAskingTheRayHitCallback) {
    UserMeshProbe::Reset();
    SoupPtr mesh(new dgCollisionPolygonalSoup(nullptr, nullptr, UserMeshProbe::RayHit, nullptr));
    dgContactPoint contact = Untouched();
    EXPECT_EQ(mesh->RayCast(P(0, 0, 1), P(0, 0, -1), contact, RefuseAll, nullptr, nullptr), 1.2f);
    EXPECT_EQ(UserMeshProbe::s_rayHits, 0);
    EXPECT_EQ(contact.m_attribute, 99);

    // Without a ray-hit callback nothing is ever hit.
    SoupPtr blind(new dgCollisionPolygonalSoup(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(blind->RayCast(P(0, 0, 1), P(0, 0, -1), contact, nullptr, nullptr, nullptr), 1.2f);
}

TEST(dgCollisionPolygonalSoup, RayHitAtExactlyOneIsNoHitAndHitsBelowOneFillTheContact) {
    UserMeshProbe::Reset();
    SoupPtr mesh(new dgCollisionPolygonalSoup(nullptr, nullptr, UserMeshProbe::RayHit, nullptr));
    UserMeshProbe::s_answer = 1.0f;
    dgContactPoint contact = Untouched();
    EXPECT_EQ(mesh->RayCast(P(0, 0, 1), P(0, 0, -1), contact, nullptr, nullptr, nullptr), 1.0f);
    EXPECT_EQ(contact.m_attribute, 99);
    EXPECT_EQ(contact.m_normal.x, 7.0f);

    UserMeshProbe::s_answer = 0.5f;
    UserMeshProbe::s_attribute = -1;
    EXPECT_EQ(mesh->RayCast(P(0, 0, 1), P(0, 0, -1), contact, nullptr, nullptr, nullptr), 0.5f);
    EXPECT_TRUE(VectorNear(contact.m_normal, dgVector(0, 0, 1, 0), kRoundingTol));
    // The attribute fills the low word only.
    EXPECT_EQ(contact.m_attribute, dgInt64(0xFFFFFFFF));
    EXPECT_EQ(UserMeshProbe::s_rayHits, 2);
}

TEST(dgCollisionPolygonalSoup, BoxSpansTheCornersAndPlacesByTheAbsoluteRotation) {
    SoupPtr mesh(new dgCollisionPolygonalSoup(nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(VectorNear(mesh->GetBoxMin(), P(0, 0, 0), 0.0f));
    mesh->SetCollisionBBox(P(1, 2, 3), P(-1, 5, 0));
    EXPECT_TRUE(Vector4Near(mesh->GetBoxMin(), P(-1, 2, 0), 0.0f));
    EXPECT_TRUE(Vector4Near(mesh->GetBoxMax(), P(1, 5, 3), 0.0f));
    EXPECT_TRUE(Vector4Near(mesh->GetBoxOrigin(), P(0, 3.5f, 1.5f), 0.0f));
    EXPECT_TRUE(Vector4Near(mesh->GetBoxSize(), P(1, 1.5f, 1.5f), 0.0f));

    // A quarter turn about y swaps the x and z extents.
    const dgMatrix matrix = MakeMatrix(dgVector(0, 1, 0, 0), 1.5707963f, P(10, 0, 0));
    dgVector min;
    dgVector max;
    mesh->CalcWorldBox(matrix, min, max);
    const dgVector centre = matrix.TransformVector(P(0, 3.5f, 1.5f));
    EXPECT_TRUE(VectorNear(min, centre.Sub(dgVector(1.5f, 1.5f, 1.0f, 0.0f)), kChainTol));
    EXPECT_TRUE(VectorNear(max, centre.Add(dgVector(1.5f, 1.5f, 1.0f, 0.0f)), kChainTol));

    // A corner that is not finite leaves the box as it was.
    mesh->SetCollisionBBox(P(0, 0, 0), P(std::nanf(""), 1, 1));
    EXPECT_TRUE(Vector4Near(mesh->GetBoxMax(), P(1, 5, 3), 0.0f));
    EXPECT_EQ(mesh->GetVolume(), 0.0f);
    EXPECT_EQ(mesh->CalcSignature(), 0u);
}

TEST(dgCollisionPolygonalSoup, DestroyingTheShapeCallsTheDestroyCallbackOnceWithTheUserData) {
    UserMeshProbe::Reset();
    int userData = 0;
    auto* mesh = new dgCollisionPolygonalSoup(&userData, nullptr, nullptr, UserMeshProbe::Destroy);
    // The user id is the user data itself, pointer-wide.
    EXPECT_EQ(mesh->GetUserId(), reinterpret_cast<std::uintptr_t>(&userData));
    mesh->AddRef();
    dgRefRelease(mesh);
    EXPECT_EQ(UserMeshProbe::s_destroyed, 0);
    dgRefRelease(mesh);
    EXPECT_EQ(UserMeshProbe::s_destroyed, 1);
    EXPECT_EQ(UserMeshProbe::s_destroyedWith, &userData);
}

TEST(dgCollisionPolygonalSoup, DisplayShowsEveryTreeFacePlacedByTheBodyWithItsAttribute) {
    SoupPtr cube = Tree(CubeFaces(1.0f));
    dgBody body;
    body.m_collision = cube.get();
    body.m_matrix = MakeMatrix(dgVector(0, 0, 1, 0), 0.3f, P(4, 5, 6));
    body.m_collisionMatrix = body.m_matrix;
    static std::vector<std::pair<dgInt32, std::vector<dgVector>>> shown;
    shown.clear();
    auto collect = [](dgBody*, dgInt32 count, const dgFloat32* points, dgInt32 faceId) {
        std::vector<dgVector> face;
        for (dgInt32 i = 0; i < count; i++) {
            face.push_back(P(points[3 * i], points[3 * i + 1], points[3 * i + 2]));
        }
        shown.emplace_back(faceId, face);
    };
    cube->ForEachDisplayFace(body.m_matrix, &body, collect);
    ASSERT_EQ(shown.size(), 6u);
    std::vector<dgInt32> ids;
    for (const auto& [id, face] : shown) {
        ids.push_back(id);
        ASSERT_EQ(face.size(), 4u);
        for (const dgVector& p : face) {
            const dgVector local = body.m_matrix.InverseTransformVector(p);
            EXPECT_NEAR(std::fabs(local.x), 1.0f, kChainTol);
            EXPECT_NEAR(std::fabs(local.y), 1.0f, kChainTol);
            EXPECT_NEAR(std::fabs(local.z), 1.0f, kChainTol);
        }
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<dgInt32>{1, 2, 3, 4, 5, 6}));
}

// ---- Collide queries of a tree collision --------------------------------------------------------------------

namespace {

int g_facesHanded = 0;
void CountFace(const dgBody*, const dgBody*, const dgFloat32*, dgInt32, dgInt32, const dgInt32*) {
    g_facesHanded++;
}

dgPolygonSoupQuery& WholeQuery(const dgCollisionPolygonalSoup& soup, dgPolygonSoupQuery& query) {
    query.m_boxMin = soup.GetBoxMin().Sub(dgVector(1, 1, 1, 0));
    query.m_boxMax = soup.GetBoxMax().Add(dgVector(1, 1, 1, 0));
    soup.Collide(query);
    return query;
}

} // namespace

TEST(dgCollisionPolygonalSoup, CollideQueryStopsAtTheFaceAndIndexRoomAndKeepsWhatItFound) {
    // 2100 separate triangles: the 2049th face stops the query.
    SoupFaceList triangles;
    for (dgInt32 i = 0; i < 2100; i++) {
        const dgFloat32 x = static_cast<dgFloat32>(i % 50) * 2.0f;
        const dgFloat32 z = static_cast<dgFloat32>(i / 50) * 2.0f;
        triangles.Add({P(x, 0, z), P(x, 0, z + 1), P(x + 1, 0, z)}, i);
    }
    g_facesHanded = 0;
    SoupPtr many = Tree(triangles, CountFace);
    ASSERT_NE(many, nullptr);
    auto query = std::make_unique<dgPolygonSoupQuery>();
    WholeQuery(*many, *query);
    EXPECT_EQ(query->m_faceCount, dgPolygonSoupQuery::kMaxFaces);
    EXPECT_EQ(query->m_totalIndexCount, 3 * dgPolygonSoupQuery::kMaxFaces);
    EXPECT_EQ(g_facesHanded, dgPolygonSoupQuery::kMaxFaces);
    EXPECT_EQ(query->m_vertexStrideBytes, 12);
    EXPECT_EQ(query->m_indices, query->m_indexStorage);

    // Octagons: 1023 of them hold 8184 indices; the 1024th would reach 8192 and stops the query.
    SoupFaceList octagons;
    for (dgInt32 i = 0; i < 1100; i++) {
        const dgFloat32 x = static_cast<dgFloat32>(i % 40) * 3.0f;
        const dgFloat32 z = static_cast<dgFloat32>(i / 40) * 3.0f;
        std::vector<dgVector> points;
        for (dgInt32 k = 0; k < 8; k++) {
            const dgFloat32 a = -0.7853982f * static_cast<dgFloat32>(k);
            points.push_back(P(x + std::cos(a), 0, z + std::sin(a)));
        }
        octagons.Add(points, i);
    }
    SoupPtr wide = Tree(octagons);
    ASSERT_NE(wide, nullptr);
    WholeQuery(*wide, *query);
    EXPECT_EQ(query->m_faceCount, 1023);
    EXPECT_EQ(query->m_totalIndexCount, 8184);
    for (dgInt32 i = 0; i < query->m_faceCount; i++) {
        EXPECT_EQ(query->m_indexCounts[i], 8);
    }
}

// ---- The polygon proxy --------------------------------------------------------------------------------------

namespace {

// A large triangle on y = 0 facing +y, as the proxy reads faces: indices into an x, y, z array.
struct ProxyFace {
    std::vector<dgFloat32> m_vertices;
    std::vector<dgInt32> m_indices;

    explicit ProxyFace(const std::vector<dgVector>& points) {
        for (const dgVector& p : points) {
            m_indices.push_back(static_cast<dgInt32>(m_vertices.size() / 3));
            m_vertices.insert(m_vertices.end(), {p.x, p.y, p.z});
        }
    }
    void PointAt(dgConvexPolygon& proxy, dgInt32 count = -1) const {
        proxy.SetFace(m_vertices.data(), 12, m_indices.data(), count < 0 ? static_cast<dgInt32>(m_indices.size()) : count);
    }
};

ProxyFace FloorTriangle() {
    return ProxyFace({P(-10, 0, -10), P(-10, 0, 10), P(10, 0, 0)});
}

std::vector<dgVector> RegularPolygon(dgInt32 sides) {
    std::vector<dgVector> points;
    for (dgInt32 k = 0; k < sides; k++) {
        const dgFloat32 a = -6.2831853f * static_cast<dgFloat32>(k) / static_cast<dgFloat32>(sides);
        points.push_back(P(std::cos(a), 0, std::sin(a)));
    }
    return points;
}

} // namespace

TEST(dgCollisionConvexPolygon, SetupTestAcceptsOnlyShapesReachingIntoTheSlabAroundTheFace) {
    ShapePtr<dgConvexPolygon> proxy = MakeShape<dgConvexPolygon>();
    ShapePtr<dgCollisionBox> box = MakeShape<dgCollisionBox>(0u, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
    const ProxyFace face = FloorTriangle();
    struct Case {
        dgFloat32 centreY;
        bool accepted;
    };
    // The box reaches from centre - 0.5 to centre + 0.5.
    for (const Case c : {Case{0.61f, false}, Case{0.59f, true}, Case{0.3f, true}, Case{-0.59f, true},
                         Case{-0.61f, false}}) {
        face.PointAt(*proxy);
        EXPECT_EQ(proxy->SetupTest(*box, MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(0, c.centreY, 0))), c.accepted)
            << c.centreY;
    }
    EXPECT_TRUE(VectorNear(proxy->GetFaceNormal(), dgVector(0, 1, 0, 0), kRoundingTol));
    EXPECT_TRUE(VectorNear(proxy->SupportVertex(dgVector(1, 0, 0, 0)), P(10, 0, 0), 0.0f));

    // The continuous test refuses only a shape wholly behind the face.
    face.PointAt(*proxy);
    EXPECT_TRUE(proxy->SetupContinuousTest(*box, MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(0, 50, 0))));
    EXPECT_TRUE(proxy->SetupContinuousTest(*box, MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(0, -0.4f, 0))));
    EXPECT_FALSE(proxy->SetupContinuousTest(*box, MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(0, -0.6f, 0))));
}

TEST(dgCollisionConvexPolygon, FacesOutsideThreeToSixtyFourVerticesAreRefusedByEveryTest) {
    ShapePtr<dgConvexPolygon> proxy = MakeShape<dgConvexPolygon>();
    ShapePtr<dgCollisionBox> box = MakeShape<dgCollisionBox>(0u, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
    const dgMatrix touching = MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(0, 0.4f, 0));
    dgVector q;
    for (const dgInt32 sides : {64, 65}) {
        const ProxyFace face(RegularPolygon(sides));
        const bool fits = sides <= dgConvexPolygon::kMaxVertices;
        face.PointAt(*proxy);
        EXPECT_EQ(proxy->SetupTest(*box, touching), fits);
        face.PointAt(*proxy);
        EXPECT_EQ(proxy->SetupContinuousTest(*box, touching), fits);
        face.PointAt(*proxy);
        EXPECT_EQ(proxy->SphereClosestPoint(P(0, 0.5f, 0), 1.0f, q), fits);
    }
    const ProxyFace face = FloorTriangle();
    face.PointAt(*proxy, 2);
    EXPECT_FALSE(proxy->SetupTest(*box, touching));
    EXPECT_FALSE(proxy->SphereClosestPoint(P(0, 0.5f, 0), 1.0f, q));
}

TEST(dgCollisionConvexPolygon, SphereAtExactlyItsRadiusFromTheFaceIsAccepted) {
    ShapePtr<dgConvexPolygon> proxy = MakeShape<dgConvexPolygon>();
    const ProxyFace face = FloorTriangle();
    face.PointAt(*proxy);
    dgVector q;
    EXPECT_TRUE(proxy->SphereClosestPoint(P(0.25f, 2, 0.25f), 2.0f, q));
    EXPECT_TRUE(Vector4Near(q, P(0.25f, 0, 0.25f), 0.0f));
    EXPECT_FALSE(proxy->SphereClosestPoint(P(0.25f, 2, 0.25f), 1.999f, q));
    // Beyond the face's corner the nearest point is the corner.
    EXPECT_TRUE(proxy->SphereClosestPoint(P(12, 0, 0), 2.5f, q));
    EXPECT_TRUE(VectorNear(q, P(10, 0, 0), kRoundingTol));
}

TEST(dgCollisionConvexPolygon, FilterKeepsFaceContactsFlagsEdgeContactsAndDropsSideways) {
    ShapePtr<dgConvexPolygon> proxy = MakeShape<dgConvexPolygon>();
    ShapePtr<dgCollisionBox> box = MakeShape<dgCollisionBox>(0u, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
    const ProxyFace face = FloorTriangle();
    face.PointAt(*proxy);
    ASSERT_TRUE(proxy->SetupTest(*box, MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(0, 0.45f, 0))));

    // The soup body is turned a quarter about z: the face normal is -x in the world.
    dgBody soupBody;
    soupBody.m_collisionMatrix = MakeMatrix(dgVector(0, 0, 1, 0), 1.5707963f, P(0, 0, 0));
    const dgVector up = soupBody.m_collisionMatrix.RotateVector(dgVector(0, 1, 0, 0));
    const dgVector side = soupBody.m_collisionMatrix.RotateVector(dgVector(0, 0, 1, 0));
    auto tilted = [&](dgFloat32 dot) { return up.Scale(dot).Add(side.Scale(std::sqrt(1.0f - dot * dot))); };
    dgContactPoint contacts[4];
    const dgFloat32 dots[4] = {0.05f, 1.0f, 0.5f, 0.9995f};
    for (int i = 0; i < 4; i++) {
        contacts[i].m_normal = tilted(dots[i]);
        contacts[i].m_penetration = static_cast<dgFloat32>(i);
    }
    dgUnsigned8 flags[4] = {9, 9, 9, 9};
    const dgInt32 kept = proxy->FilterContacts(4, contacts, &soupBody, flags);
    ASSERT_EQ(kept, 3);
    // The dropped record's slot takes the last record and is examined again.
    EXPECT_EQ(contacts[0].m_penetration, 3.0f);
    EXPECT_EQ(flags[0], 0);
    EXPECT_EQ(contacts[1].m_penetration, 1.0f);
    EXPECT_EQ(flags[1], 0);
    EXPECT_EQ(contacts[2].m_penetration, 2.0f);
    EXPECT_EQ(flags[2], 1);
}

TEST(dgCollisionConvexPolygon, PlaneCutGivesTheFaceForParallelPlanesAndEdgeCrossingsOtherwise) {
    ShapePtr<dgConvexPolygon> proxy = MakeShape<dgConvexPolygon>();
    ShapePtr<dgCollisionBox> box = MakeShape<dgCollisionBox>(0u, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
    const dgMatrix touching = MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(0, 0.4f, 0));
    dgVector out[dgConvexCollision::kMaxPlaneIntersectionPoints];

    const ProxyFace square({P(-1, 0, -1), P(-1, 0, 1), P(1, 0, 1), P(1, 0, -1)});
    square.PointAt(*proxy);
    ASSERT_TRUE(proxy->SetupTest(*box, touching));
    ASSERT_EQ(proxy->CalcPlaneIntersection(dgVector(0, -1, 0, 0), P(0, 0.2f, 0), out), 4);
    EXPECT_TRUE(Vector4Near(out[2], P(1, 0, 1), 0.0f));
    ASSERT_EQ(proxy->CalcPlaneIntersection(dgVector(1, 0, 0, 0), P(0.5f, 0, 0), out), 2);
    EXPECT_NEAR(out[0].x, 0.5f, kRoundingTol);
    EXPECT_NEAR(out[1].x, 0.5f, kRoundingTol);
    EXPECT_NEAR(std::fabs(out[0].z - out[1].z), 2.0f, kRoundingTol);
    EXPECT_EQ(proxy->CalcPlaneIntersection(dgVector(1, 0, 0, 0), P(3, 0, 0), out), 0);

    // A bent quad (as merged from nearly coplanar triangles) wholly past a cut almost parallel to it is
    // all in the overlap: a box sunk into it must still find the face.
    const ProxyFace bent({P(-1, 0, -1), P(-1, 0, 1), P(1, 0.02f, 1), P(1, 0.05f, -1)});
    bent.PointAt(*proxy);
    ASSERT_TRUE(proxy->SetupTest(*box, touching));
    const dgVector nearlyDown = dgVector(0.02f, -1, 0.02f, 0).Scale(1.0f / std::sqrt(1.0008f));
    EXPECT_EQ(proxy->CalcPlaneIntersection(nearlyDown, P(0, -0.2f, 0), out), 4);
    EXPECT_EQ(proxy->CalcPlaneIntersection(nearlyDown, P(0, 0.3f, 0), out), 0);

    // A face of more corners than the caller's buffer holds comes back thinned to fit.
    const ProxyFace wide(RegularPolygon(40));
    wide.PointAt(*proxy);
    ASSERT_TRUE(proxy->SetupTest(*box, touching));
    EXPECT_EQ(proxy->CalcPlaneIntersection(dgVector(0, 1, 0, 0), P(0, 0, 0), out),
              dgConvexCollision::kMaxPlaneIntersectionPoints);

    dgContactPoint contact;
    EXPECT_EQ(proxy->RayCast(P(0, 1, 0), P(0, -1, 0), contact, nullptr, nullptr, nullptr), 1.2f);
}
