#include "physics/core/dgHalfEdgeMesh.h"
#include "physics/core/dgMeshInfo.h"

#include "MeshPassHelpers.h"
#include "support/RandomGeometry.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

namespace {

constexpr dgFloat32 kTolerance = 0.001f;

dgVertexView Packed(const std::vector<dgFloat32>& vertices) {
    return dgVertexView::InFloats(vertices.data(), 3);
}

void BuildTriangles(dgHalfEdgeMesh& mesh, const std::vector<dgInt32>& triangles) {
    mesh.BeginFace();
    for (std::size_t i = 0; i < triangles.size(); i += 3) {
        const dgInt32 ring[3] = {triangles[i], triangles[i + 1], triangles[i + 2]};
        const dgUnsigned64 users[3] = {1000u + dgUnsigned64(ring[0]), 1000u + dgUnsigned64(ring[1]),
                                       1000u + dgUnsigned64(ring[2])};
        ASSERT_NE(mesh.AddFaceWithUserData(3, ring, users), nullptr);
    }
    mesh.EndFace();
}

std::set<dgInt32> UsedVertices(const dgHalfEdgeMesh& mesh) {
    std::set<dgInt32> used;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        used.insert(node->m_origin);
    }
    return used;
}

void ExpectAllUserValuesZero(const dgHalfEdgeMesh& mesh) {
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        EXPECT_EQ(node->m_userValue, 0u);
    }
}

// The closed fan of triangles (a, ring[i], ring[i + 1]) around vertex a.
std::vector<dgInt32> Fan(dgInt32 a, const std::vector<dgInt32>& ring) {
    std::vector<dgInt32> triangles;
    for (std::size_t i = 0; i < ring.size(); i++) {
        triangles.insert(triangles.end(), {a, ring[i], ring[(i + 1) % ring.size()]});
    }
    return triangles;
}

// Vertex 0 at the centre of a regular hexagon of the given radius, rim vertices 1..6.
std::vector<dgFloat32> Hexagon(dgFloat32 radius) {
    std::vector<dgFloat32> xyz = {0, 0, 0};
    for (dgInt32 i = 0; i < 6; i++) {
        const dgFloat64 angle = i * 3.14159265358979 / 3.0;
        xyz.insert(xyz.end(),
                   {dgFloat32(radius * std::cos(angle)), dgFloat32(radius * std::sin(angle)), 0.0f});
    }
    return xyz;
}

} // namespace

TEST(dgMeshInfo, CountsRingsEdgesFansAndBorders) {
    dgHalfEdgeMesh cube;
    BuildUnitCube(cube);
    const dgMeshInfo cubeInfo(cube);
    EXPECT_EQ(cubeInfo.m_faceCount, 6);
    EXPECT_EQ(cubeInfo.m_edgeCount, 24);
    EXPECT_EQ(cubeInfo.m_vertexCount, 8);
    EXPECT_EQ(cubeInfo.m_vertexIndexLimit, 8);
    EXPECT_EQ(cubeInfo.m_openBorders.GetCount(), 0);
    EXPECT_GE(cube.GetMarkCounter(), 8u);
    EXPECT_TRUE(cube.IsValid());

    dgHalfEdgeMesh triangle;
    triangle.BeginFace();
    triangle.AddTriangle(4, 7, 9);
    triangle.EndFace();
    const dgMeshInfo info(triangle);
    EXPECT_EQ(info.m_faceCount, 2); // the face and its border ring
    EXPECT_EQ(info.m_edgeCount, 6);
    EXPECT_EQ(info.m_vertexCount, 3);
    EXPECT_EQ(info.m_vertexIndexLimit, 10);
    ASSERT_EQ(info.m_openBorders.GetCount(), 1);
    EXPECT_LT(info.m_openBorders.GetFirst()->GetInfo()->m_face, 0);
}

TEST(dgHalfEdgeMeshSimplify, FlatGridLosesInteriorVerticesAndKeepsCornersOutlineAndArea) {
    const std::vector<dgFloat32> xyz = GridVertices(3);
    const dgVertexView vertices = Packed(xyz);
    dgHalfEdgeMesh mesh;
    BuildTriangles(mesh, GridTriangles(3));
    const dgInt32 edgesBefore = mesh.GetCount();
    mesh.SimplifyByEdgeCollapse(vertices, kTolerance);
    ASSERT_TRUE(mesh.IsValid());
    EXPECT_LT(mesh.GetCount(), edgesBefore);
    const std::set<dgInt32> used = UsedVertices(mesh);
    for (const dgInt32 corner : {0, 3, 12, 15}) {
        EXPECT_EQ(used.count(corner), 1u) << "corner " << corner;
    }
    EXPECT_NEAR(TotalArea(mesh, vertices), 9.0, 1e-9);
    // The outline: one border ring, every vertex of it on the square's sides, enclosing area 9.
    const dgMeshInfo info(mesh);
    ASSERT_EQ(info.m_openBorders.GetCount(), 1);
    const dgHalfEdge* border = info.m_openBorders.GetFirst()->GetInfo();
    dgFloat64 enclosed = 0.0;
    const dgHalfEdge* ptr = border;
    do {
        const dgFloat32* p = vertices[ptr->m_origin];
        const dgFloat32* q = vertices[ptr->m_next->m_origin];
        EXPECT_TRUE(p[0] == 0.0f || p[0] == 3.0f || p[1] == 0.0f || p[1] == 3.0f);
        enclosed += 0.5 * (dgFloat64(p[0]) * q[1] - dgFloat64(q[0]) * p[1]);
        ptr = ptr->m_next;
    } while (ptr != border);
    EXPECT_NEAR(std::fabs(enclosed), 9.0, 1e-9);
    for (const dgHalfEdge* face : FaceEdges(mesh)) {
        EXPECT_GT(dgHalfEdgeMesh::CalcFaceNormalDouble(face, vertices).z, 0.0);
    }
    ExpectAllUserValuesZero(mesh);
}

TEST(dgHalfEdgeMeshSimplify, CubeIsUnchangedAndItsUserValuesCleared) {
    const std::vector<dgFloat32> xyz = UnitCubeVertices();
    dgHalfEdgeMesh mesh;
    std::vector<dgInt32> triangles;
    for (const auto& quad : kUnitCubeQuads) {
        triangles.insert(triangles.end(), {quad[0], quad[1], quad[2], quad[0], quad[2], quad[3]});
    }
    BuildTriangles(mesh, triangles);
    const std::set<dgEdgeKey> before = EdgeKeys(mesh);
    mesh.SimplifyByEdgeCollapse(Packed(xyz), kTolerance);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(EdgeKeys(mesh), before);
    ExpectAllUserValuesZero(mesh);
}

TEST(dgHalfEdgeMeshSimplify, EdgesShorterThanAThousandthNeverCollapse) {
    // A flat hexagon fan: the free collapse of the centre happens at radius 1, not at 0.0009.
    const std::vector<dgInt32> fan = Fan(0, {1, 2, 3, 4, 5, 6});
    const std::vector<dgFloat32> large = Hexagon(1.0f);
    dgHalfEdgeMesh mesh;
    BuildTriangles(mesh, fan);
    mesh.SimplifyByEdgeCollapse(Packed(large), kTolerance);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(UsedVertices(mesh).count(0), 0u);

    const std::vector<dgFloat32> tiny = Hexagon(0.0009f);
    dgHalfEdgeMesh small;
    BuildTriangles(small, fan);
    const std::set<dgEdgeKey> before = EdgeKeys(small);
    small.SimplifyByEdgeCollapse(Packed(tiny), kTolerance);
    EXPECT_TRUE(small.IsValid());
    EXPECT_EQ(EdgeKeys(small), before);
    ExpectAllUserValuesZero(small);
}

TEST(dgHalfEdgeMeshSimplify, SingleTriangleIsLeftAlone) {
    const std::vector<dgFloat32> xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    dgHalfEdgeMesh mesh;
    BuildTriangles(mesh, {0, 1, 2});
    mesh.SimplifyByEdgeCollapse(Packed(xyz), kTolerance);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.GetCount(), 6);
    ExpectAllUserValuesZero(mesh);
}

TEST(dgHalfEdgeMeshSimplify, NoisyNearPlanarGridNeverFlipsATriangle) {
    for (unsigned seed = 1; seed <= 6; seed++) {
        RandomGeometry random(seed);
        const dgInt32 n = 12;
        std::vector<dgFloat32> xyz = GridVertices(n);
        for (std::size_t v = 0; v < xyz.size(); v += 3) {
            xyz[v] += random.Float(-0.3f, 0.3f);
            xyz[v + 1] += random.Float(-0.3f, 0.3f);
            xyz[v + 2] = random.Float(-0.0005f, 0.0005f);
        }
        const dgVertexView vertices = Packed(xyz);
        dgHalfEdgeMesh mesh;
        BuildTriangles(mesh, GridTriangles(n));
        const dgInt32 before = mesh.GetCount();
        mesh.SimplifyByEdgeCollapse(vertices, kTolerance);
        ASSERT_TRUE(mesh.IsValid()) << "seed " << seed;
        EXPECT_LT(mesh.GetCount(), before) << "seed " << seed;
        for (const dgHalfEdge* face : FaceEdges(mesh)) {
            const dgVectorDouble normal = dgHalfEdgeMesh::CalcFaceNormalDouble(face, vertices);
            EXPECT_GT(normal.z, 0.0) << "seed " << seed;
        }
        ExpectAllUserValuesZero(mesh);
    }
}

TEST(dgHalfEdgeMeshCollapse, SiblingTriangleOfTheEdgesFaceStillBlocksAFold) {
    // Vertex 0 inside the fan 1..5; moving it onto 1 turns triangle (0, 2, 3) over, since the line
    // through 2 and 3 passes between vertices 0 and 1. That triangle shares the number of the edge's
    // face, as triangles cut from one face do.
    const std::vector<dgFloat32> folding = {0,    0, 0, 2,  0, 0, 0.5f, 0.5f, 0,
                                            0.2f, 1, 0, -1, 0, 0, 0.5f, -1,   0};
    const std::vector<dgFloat32> safe = {0, 0, 0, 2, 0, 0, 1, 1, 0, 0.2f, 1, 0, -1, 0, 0, 0.5f, -1, 0};
    dgHalfEdgeMesh mesh;
    BuildTriangles(mesh, Fan(0, {1, 2, 3, 4, 5}));
    dgHalfEdge* const edge = mesh.FindEdge(0, 1);
    dgHalfEdge* const sibling = mesh.FindEdge(0, 2); // in (0, 2, 3)
    dgHalfEdge* ptr = sibling;
    do {
        ptr->m_face = edge->m_face;
        ptr = ptr->m_next;
    } while (ptr != sibling);
    ASSERT_TRUE(mesh.IsValid());
    EXPECT_TRUE(mesh.IsBadCollapse(edge, Packed(folding)));
    EXPECT_FALSE(mesh.IsBadCollapse(edge, Packed(safe)));
}

TEST(dgHalfEdgeMeshCollapse, KeyClashIsRefusedBeforeAnyChange) {
    // Quad (1, 0, 2, 3) and triangle (0, 1, 4) share the edge 0-1; triangle (1, 2, 5) already owns
    // the key 1 -> 2 that collapsing 0 onto 1 would give the quad's edge 0 -> 2.
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    const dgInt32 quad[4] = {1, 0, 2, 3};
    mesh.AddFace(4, quad);
    mesh.AddTriangle(0, 1, 4);
    mesh.AddTriangle(1, 2, 5);
    mesh.EndFace();
    ASSERT_TRUE(mesh.IsValid());
    const std::set<dgEdgeKey> before = EdgeKeys(mesh);
    EXPECT_EQ(mesh.CollapseEdge(mesh.FindEdge(0, 1)), nullptr);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(EdgeKeys(mesh), before);
}

TEST(dgHalfEdgeMeshCollapse, CollapseMovesTheOriginOntoTheDestination) {
    const std::vector<dgInt32> fan = Fan(0, {1, 2, 3, 4, 5, 6});
    dgHalfEdgeMesh mesh;
    BuildTriangles(mesh, fan);
    dgHalfEdge* const kept = mesh.CollapseEdge(mesh.FindEdge(0, 1));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->m_origin, 1);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(UsedVertices(mesh), (std::set<dgInt32>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(FaceEdges(mesh).size(), 4u); // the two triangles at the edge are gone
    // Outside a simplification run the user values are the caller's and stay.
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face > 0) {
            EXPECT_GE(node->m_userValue, 1000u);
        }
    }
}

TEST(dgHalfEdgeMeshCollapse, CollapseThatWouldLeaveAFacelessEdgeIsRefused) {
    // Two triangles over the diagonal 1-3 of a quad: collapsing the diagonal would remove both and
    // leave border half-edges twinned with each other. A lone triangle has no collapse either.
    dgHalfEdgeMesh strip;
    strip.BeginFace();
    strip.AddTriangle(1, 3, 5);
    strip.AddTriangle(3, 1, 100);
    strip.EndFace();
    const std::set<dgEdgeKey> before = EdgeKeys(strip);
    EXPECT_EQ(strip.CollapseEdge(strip.FindEdge(3, 1)), nullptr);
    EXPECT_EQ(strip.CollapseEdge(strip.FindEdge(1, 3)), nullptr);
    EXPECT_TRUE(strip.IsValid());
    EXPECT_EQ(EdgeKeys(strip), before);

    dgHalfEdgeMesh lone;
    BuildTriangles(lone, {0, 1, 2});
    for (dgHalfEdgeNode* node = lone.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        EXPECT_EQ(lone.CollapseEdge(node), nullptr);
    }
    EXPECT_EQ(lone.GetCount(), 6);
}
