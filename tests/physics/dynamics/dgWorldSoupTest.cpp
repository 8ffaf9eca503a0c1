// A tree collision in a world: bodies falling onto it through the world's own broad phase and contact
// calculation, and the collision queries against it.

#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/collision/dgCompoundCollision.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"

#include "support/MathAssertions.h"
#include "support/SolverBuilds.h"
#include "support/SoupScenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr dgFloat32 kStep = 1.0f / 60.0f;
constexpr dgFloat32 kGravity = 10.0f;

void Gravity(dgBody* body) {
    body->m_force = dgVector(0.0f, -kGravity * body->m_mass.w, 0.0f, 0.0f);
    body->m_torque = dgVector();
}

dgMatrix At(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    dgMatrix m = dgGetIdentityMatrix();
    m.posit = dgVector(x, y, z, 1.0f);
    return m;
}

/// A world whose floor is a tree collision of triangles on y = 0.
class SoupWorld {
public:
    SoupWorld() : m_world(new dgWorld), m_soup(MakeTreeCollision(FlatGridFaces(8, 2.0f, true))) {
        m_floor = m_world->CreateBody(m_soup);
    }
    ~SoupWorld() {
        delete m_world;
        dgRefRelease(m_soup);
    }
    SoupWorld(const SoupWorld&) = delete;
    SoupWorld& operator=(const SoupWorld&) = delete;

    dgBody* Drop(dgCollision* shape, const dgMatrix& matrix, dgFloat32 mass, dgFloat32 inertia) {
        dgBody* body = m_world->CreateBody(shape);
        m_world->ReleaseCollision(shape);
        body->SetMassMatrix(mass, inertia, inertia, inertia);
        body->SetMatrix(matrix);
        body->m_forceAndTorque = Gravity;
        return body;
    }

    dgWorld* m_world;
    dgCollisionPolygonalSoup* m_soup;
    dgBody* m_floor;
};

} // namespace

BOTH_BUILDS_SUITE(dgWorldSoupStepping);

TEST_P(dgWorldSoupStepping, BoxDroppedOnATreeCollisionFloorComesToRestOnIt) {
    SoupWorld scene;
    dgBody* box = scene.Drop(scene.m_world->CreateBox(1.0f, 1.0f, 1.0f, dgGetIdentityMatrix()),
                             At(0.3f, 1.5f, -0.2f), 1.0f, 1.0f / 6.0f);
    dgFloat32 lowest = 10.0f;
    for (int i = 0; i < 300; i++) {
        scene.m_world->Update(kStep);
        lowest = std::fmin(lowest, box->m_matrix.posit.y);
    }
    // The resting contacts are being tuned: the bounds hold the box on the floor, not its exact sinking.
    EXPECT_GT(lowest, 0.4f);
    EXPECT_NEAR(box->m_matrix.posit.y, 0.5f, 0.05f);
    EXPECT_LT(std::fabs(box->m_veloc.y), 0.05f);
    EXPECT_NEAR(box->m_matrix.posit.x, 0.3f, 0.05f);
    EXPECT_NEAR(box->m_matrix.posit.z, -0.2f, 0.05f);
    EXPECT_GT(box->m_matrix.up.y, 0.999f);
}

TEST(dgWorldSoup, CollideQueriesReportNormalsFromTheSoupWhicheverSideItIsGiven) {
    SoupWorld scene;
    dgWorld& world = *scene.m_world;
    dgCollision* box = world.CreateBox(1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
    dgFloat32 points[3 * 16];
    dgFloat32 normals[3 * 16];
    dgFloat32 depths[16];
    const dgMatrix boxAt = At(0.5f, 0.48f, 0.5f);
    for (int order = 0; order < 2; order++) {
        const dgInt32 count = order == 0 ? world.Collide(box, boxAt, scene.m_soup, dgGetIdentityMatrix(), points,
                                                         normals, depths, 16)
                                         : world.Collide(scene.m_soup, dgGetIdentityMatrix(), box, boxAt, points,
                                                         normals, depths, 16);
        ASSERT_GE(count, 4) << order;
        for (dgInt32 i = 0; i < count; i++) {
            EXPECT_GT(normals[3 * i + 1], 0.999f);
            EXPECT_NEAR(depths[i], 0.02f - 1.0f / 128.0f, 1.0e-3f);
        }
    }
    EXPECT_EQ(world.Collide(box, At(0, 0.6f, 0), scene.m_soup, dgGetIdentityMatrix(), points, normals, depths, 16),
              0);
    dgVector a;
    dgVector b;
    dgVector n;
    EXPECT_EQ(world.ClosestPoint(box, At(0, 3, 0), scene.m_soup, dgGetIdentityMatrix(), a, b, n), 0);

    // A sphere of radius 1 from y = 5 at 100 per unit of time meets the floor at 0.04.
    dgCollision* ball = world.CreateSphere(1.0f, dgGetIdentityMatrix());
    const dgVector still(0, 0, 0, 0);
    dgFloat32 time = 0.0f;
    const dgInt32 count = world.CollideContinue(ball, At(0.3f, 5, 0.3f), dgVector(0, -100, 0, 0), still, scene.m_soup,
                                                dgGetIdentityMatrix(), still, still, time, points, normals, depths, 4);
    ASSERT_GE(count, 1);
    EXPECT_NEAR(time, 0.04f, 1.0e-3f);
    EXPECT_GT(normals[1], 0.9f);

    // A compound of two boxes resting on the floor touches it with both.
    dgCollision* children[2] = {world.CreateBox(1, 1, 1, At(-1, 0, 0)), world.CreateBox(1, 1, 1, At(1, 0, 0))};
    dgCollision* pair = world.CreateCompound(2, children);
    const dgInt32 touching =
        world.Collide(pair, At(0.1f, 0.48f, 0.1f), scene.m_soup, dgGetIdentityMatrix(), points, normals, depths, 16);
    EXPECT_GE(touching, 8);
    dgFloat32 minX = 10.0f;
    dgFloat32 maxX = -10.0f;
    for (dgInt32 i = 0; i < touching; i++) {
        EXPECT_GT(normals[3 * i + 1], 0.999f);
        minX = std::fmin(minX, points[3 * i]);
        maxX = std::fmax(maxX, points[3 * i]);
    }
    EXPECT_LT(minX, -0.8f);
    EXPECT_GT(maxX, 1.0f);
    for (dgCollision* shape : {box, ball, children[0], children[1], pair}) {
        world.ReleaseCollision(shape);
    }
}

TEST_P(dgWorldSoupStepping, BoxesAndSpheresRainingOnTerrainStayAboveIt) {
    SoupWorld scene;
    std::vector<dgBody*> bodies;
    for (int i = 0; i < 12; i++) {
        const dgFloat32 x = static_cast<dgFloat32>(i % 4) * 2.5f - 3.75f;
        const dgFloat32 z = static_cast<dgFloat32>(i / 4) * 2.5f - 2.5f;
        dgCollision* shape = (i % 2) == 0 ? scene.m_world->CreateBox(0.8f, 0.8f, 0.8f, dgGetIdentityMatrix())
                                          : scene.m_world->CreateSphere(0.5f, dgGetIdentityMatrix());
        bodies.push_back(scene.Drop(shape, At(x, 2.0f + 0.3f * static_cast<dgFloat32>(i), z), 1.0f, 0.1f));
    }
    for (int i = 0; i < 240; i++) {
        scene.m_world->Update(kStep);
    }
    for (const dgBody* body : bodies) {
        EXPECT_GT(body->m_matrix.posit.y, 0.3f);
        EXPECT_LT(body->m_matrix.posit.y, 0.6f);
    }
}

namespace {

// A user mesh of one quad on y = 0 over [-5, 5]^2, answered from the test's own arrays.
struct QuadMesh {
    static inline const dgFloat32 s_vertices[12] = {-5, 0, -5, -5, 0, 5, 5, 0, 5, 5, 0, -5};
    static inline const dgInt32 s_indices[4] = {0, 1, 2, 3};
    static inline const dgInt32 s_counts[1] = {4};
    static inline const dgInt32 s_attributes[1] = {42};
    static inline int s_queries = 0;

    static void Collide(dgPolygonSoupQuery* query) {
        s_queries++;
        query->m_faceCount = 1;
        query->m_vertices = s_vertices;
        query->m_vertexStrideBytes = 12;
        query->m_attributes = s_attributes;
        query->m_indexCounts = s_counts;
        query->m_indices = s_indices;
        query->m_totalIndexCount = 4;
    }
};

} // namespace

TEST_P(dgWorldSoupStepping, CompoundAndUserMeshBodiesRestOnSoups) {
    SoupWorld scene;
    dgWorld& world = *scene.m_world;
    dgCollision* children[2] = {world.CreateBox(1, 1, 1, At(-1, 0, 0)), world.CreateBox(1, 1, 1, At(1, 0, 0))};
    dgBody* pair = scene.Drop(world.CreateCompound(2, children), At(0.2f, 1.5f, 0.4f), 2.0f, 1.0f);
    world.ReleaseCollision(children[0]);
    world.ReleaseCollision(children[1]);

    QuadMesh::s_queries = 0;
    dgCollision* mesh = world.CreateUserMesh(nullptr, QuadMesh::Collide, nullptr, nullptr);
    mesh->SetCollisionBBox(dgVector(-5, 0, -5, 1), dgVector(5, 0, 5, 1));
    dgBody* slab = world.CreateBody(mesh);
    slab->SetMatrix(At(30, 0, 0));
    world.ReleaseCollision(mesh);
    dgBody* box = scene.Drop(world.CreateBox(1, 1, 1, dgGetIdentityMatrix()), At(30.5f, 1.0f, 0), 1.0f, 1.0f / 6.0f);

    for (int i = 0; i < 240; i++) {
        world.Update(kStep);
    }
    EXPECT_NEAR(pair->m_matrix.posit.y, 0.5f, 0.05f);
    EXPECT_GT(pair->m_matrix.up.y, 0.999f);
    EXPECT_NEAR(box->m_matrix.posit.y, 0.5f, 0.05f);
    EXPECT_GT(QuadMesh::s_queries, 0);
    const dgContactJoint* joint = dgWorld::FindContactJoint(box, slab);
    ASSERT_NE(joint, nullptr);
    ASSERT_GT(joint->m_pointCount, 0);
    EXPECT_EQ(joint->m_points.GetFirst()->GetInfo().m_point.m_attribute, 42);
}
