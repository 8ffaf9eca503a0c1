// The ready-made objects: their generated meshes, counts and index formulas, their bodies, and every
// road on which a make fails.
#include "support/AllocationFailure.h"
#include "support/SceneFixture.h"

#include "physics/api/dgApi.h"

#include <cmath>
#include <cstring>

namespace {

class Primitives : public SceneFixture {
protected:
    static float Mass(const IOrvalen3DD3DObject& object) {
        float mass = 0.0f;
        float inertia[3];
        dgApiBodyGetMassMatrix(object.Body, &mass, &inertia[0], &inertia[1], &inertia[2]);
        return mass;
    }

    static void ExpectAt(const Vertex3D& vertex, float x, float y, float z) {
        EXPECT_NEAR(x, vertex.x, 1e-5f);
        EXPECT_NEAR(y, vertex.y, 1e-5f);
        EXPECT_NEAR(z, vertex.z, 1e-5f);
    }

    static std::uint32_t Index(const IOrvalen3DD3DObject& object, std::size_t i) { return object.IndexLists[0][i]; }
};

} // namespace

TEST_F(Primitives, ACubeHasItsCornersFacesGroupAndBody) {
    IOrvalen3DD3DObject& cube = Implementation(m_scene->Cube(2, 4, 6));
    ASSERT_EQ(24, cube.VertexCount);
    EXPECT_EQ(12, cube.TriangleCounts[0]);
    for (int i = 0; i < 24; ++i) {
        const Vertex3D& v = cube.Vertices[i];
        EXPECT_EQ(1.0f, std::fabs(v.x));
        EXPECT_EQ(2.0f, std::fabs(v.y));
        EXPECT_EQ(3.0f, std::fabs(v.z));
        EXPECT_EQ(0xFFFFFFFFu, v.diffuse);
        // Each vertex lies on the face its normal points out of.
        EXPECT_EQ(1.0f, v.nx * v.x + v.ny * v.y / 2 + v.nz * v.z / 3);
    }
    const Vertex3D& topLeft = cube.Vertices[0];
    ExpectAt(topLeft, -1, 2, -3);
    EXPECT_EQ(-1.0f, topLeft.nz);
    EXPECT_EQ(0.0f, topLeft.u0);
    EXPECT_EQ(0.0f, topLeft.v0);
    const std::uint32_t lastFace[6] = {20, 21, 22, 21, 23, 22};
    EXPECT_EQ(0, std::memcmp(lastFace, &cube.IndexLists[0][30], sizeof lastFace));
    EXPECT_EQ(1, cube.MaterialCount);
    EXPECT_STREQ("default", cube.MaterialNames[0]);
    const D3DCOLORVALUE white{1.0f, 1.0f, 1.0f, 0.0f};
    EXPECT_EQ(0, std::memcmp(&white, &cube.Materials[0].Diffuse, sizeof white));
    EXPECT_EQ(1.0f, Mass(cube));
    float low[3];
    float high[3];
    dgApiBodyGetAABB(cube.Body, low, high);
    EXPECT_NEAR(3.0f, high[2], 0.05f) << "a box of 2 x 4 x 6";
    EXPECT_EQ(&cube, m_scene->Objects[cube.ID]);
}

TEST_F(Primitives, ACylinderTakesItsSegmentsFromTheRadiusAndClosesOntoItsFirstPair) {
    for (const auto& [radius, segments] : {std::pair{0.9f, 10}, {2.7f, 12}, {12.9f, 22}}) {
        IOrvalen3DD3DObject& tube = Implementation(m_scene->Cylinder(radius, 2, true));
        EXPECT_EQ(2 * segments, tube.VertexCount);
        EXPECT_EQ(2 * segments, tube.TriangleCounts[0]);
        EXPECT_EQ(0u, Index(tube, 6 * segments - 5)) << "the last segment closes onto vertices 0 and 1";
    }
    IOrvalen3DD3DObject& tube = Implementation(m_scene->Cylinder(0.5f, 2));
    ExpectAt(tube.Vertices[18], tube.Vertices[0].x, 1, tube.Vertices[0].z);
    ExpectAt(tube.Vertices[19], tube.Vertices[1].x, -1, tube.Vertices[1].z);
    EXPECT_EQ(0.1f, tube.Vertices[2].u0);
    const std::uint32_t segment[6] = {2, 4, 3, 4, 5, 3};
    EXPECT_EQ(0, std::memcmp(segment, &tube.IndexLists[0][6], sizeof segment));
    const D3DMATERIAL9 zero{};
    EXPECT_EQ(0, std::memcmp(&zero, &tube.Materials[0], sizeof zero));
    float low[3];
    float high[3];
    dgApiBodyGetAABB(tube.Body, low, high);
    EXPECT_NEAR(1.0f, high[1], 0.05f) << "the shape stands along y";
    EXPECT_NEAR(0.5f, high[0], 0.05f);
}

TEST_F(Primitives, ASphereOfOneRadiusDrawsEveryCellAndWrapsOntoTheFirstEntryAfterTheGrid) {
    IOrvalen3DD3DObject& sphere = Implementation(m_scene->Sphere(1.0f));
    ASSERT_EQ(242, sphere.VertexCount);
    EXPECT_EQ(242, sphere.TriangleCounts[0]);
    EXPECT_EQ(121u, Index(sphere, 6 * 121 - 1)) << "the last cell's k + 1";
    ExpectAt(sphere.Vertices[10], 0, 0, -1);
    for (int k = 0; k < 121; ++k) {
        const Vertex3D& v = sphere.Vertices[k];
        EXPECT_NEAR(1.0f, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1e-5f);
    }
    const Vertex3D unset;
    for (int k = 121; k < 242; ++k) {
        EXPECT_EQ(0, std::memcmp(&unset, &sphere.Vertices[k], sizeof unset)) << k;
    }
}

TEST_F(Primitives, ASphereOfThreeRadiiLeavesTheLastColumnUndrawn) {
    IOrvalen3DD3DObject& sphere = Implementation(m_scene->Sphere(1, 1, 1));
    EXPECT_EQ(242, sphere.VertexCount);
    EXPECT_EQ(220, sphere.TriangleCounts[0]);
    // Cell (9, 0) wraps onto column 0 modulo 110.
    EXPECT_EQ(0u, Index(sphere, 6 * 99 + 1));
    IOrvalen3DD3DObject& ellipsoid = Implementation(m_scene->Sphere(3, 1, 2));
    EXPECT_EQ(2 * 13 * 13, ellipsoid.VertexCount) << "N from the first radius";
    ExpectAt(ellipsoid.Vertices[0], 0, 0, 2);
    float low[3];
    float high[3];
    dgApiBodyGetAABB(ellipsoid.Body, low, high);
    EXPECT_NEAR(3.0f, high[0], 0.05f);
    EXPECT_NEAR(1.0f, high[1], 0.05f);
}

TEST_F(Primitives, WithTheFlagAnObjectHasNoBodyAndIsStillEntered) {
    IOrvalen3DD3DObject& sphere = Implementation(m_scene->Sphere(2, true));
    EXPECT_EQ(nullptr, sphere.Body);
    EXPECT_EQ(&sphere, m_scene->Objects[0]);
}

TEST_F(Primitives, RadiiThatCannotBeTessellatedAreRefusedWithTheMakersLine) {
    EXPECT_EQ(nullptr, m_scene->Sphere(-9.0f));
    EXPECT_EQ(nullptr, m_scene->Sphere(NAN, 1, 1));
    EXPECT_EQ(nullptr, m_scene->Sphere(1, INFINITY, 1));
    EXPECT_EQ(nullptr, m_scene->Sphere(1439.5f)); // 2 x 1449^2 vertices
    EXPECT_EQ(nullptr, m_scene->Cylinder(-9.5f, 1));
    EXPECT_EQ(nullptr, m_scene->Cylinder(3e9f, 1));
    EXPECT_EQ(nullptr, m_scene->Cube(1, NAN, 1));
    EXPECT_EQ(0u, m_scene->ObjectCount);
    EXPECT_EQ("ERROR: Sphere Failed\nERROR: Sphere Failed\nERROR: Sphere Failed\nERROR: Sphere Failed\n"
              "ERROR: Cylinder Failed\nERROR: Cylinder Failed\nERROR: Cube Failed\n",
              NewLog());
    EXPECT_NE(nullptr, m_scene->Sphere(-8.5f)) << "two segments";
}

TEST_F(Primitives, EveryAllocationThatFailsFailsTheMakeAndReleasesWhatWasMade) {
    int failures = 0;
    for (int successes = 0;; ++successes) {
        m_startLog = LogText();
        FailNothrowAllocationAfter(successes);
        IOrvalen3DObject* sphere = m_scene->Sphere(1.0f);
        FailNothrowAllocationAfter(-1);
        if (sphere != nullptr) {
            break;
        }
        ++failures;
        EXPECT_EQ(successes == 0 ? "ERROR: Couldn't Create New Sphere\n" : "ERROR: Sphere Failed\n", NewLog());
    }
    EXPECT_EQ(14, failures) << "object, six arrays, the edge lookup, the counts, material, two tables, name";
    EXPECT_EQ(1u, m_scene->ObjectCount);
}
