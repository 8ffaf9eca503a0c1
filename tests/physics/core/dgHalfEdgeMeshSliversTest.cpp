#include "physics/core/dgHalfEdgeMesh.h"

#include "MeshPassHelpers.h"
#include "support/RandomGeometry.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

dgVertexView Packed(const std::vector<dgFloat32>& vertices) {
    return dgVertexView::InFloats(vertices.data(), 3);
}

void BuildFaces(dgHalfEdgeMesh& mesh, const std::vector<std::vector<dgInt32>>& faces) {
    mesh.BeginFace();
    for (const std::vector<dgInt32>& face : faces) {
        ASSERT_NE(mesh.AddFace(static_cast<dgInt32>(face.size()), face.data()), nullptr);
    }
    mesh.EndFace();
    ASSERT_TRUE(mesh.IsValid());
}

void BuildGrid(dgHalfEdgeMesh& mesh, dgInt32 n) {
    const std::vector<dgInt32> triangles = GridTriangles(n);
    std::vector<std::vector<dgInt32>> faces;
    for (std::size_t i = 0; i < triangles.size(); i += 3) {
        faces.push_back({triangles[i], triangles[i + 1], triangles[i + 2]});
    }
    BuildFaces(mesh, faces);
}

bool Uses(const dgHalfEdgeMesh& mesh, dgInt32 vertex) {
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_origin == vertex) {
            return true;
        }
    }
    return false;
}

// Squared doubled area, the quantity the sliver pass compares with tolerance².
dgFloat64 DoubledArea2(const dgHalfEdge* face, dgVertexView vertices) {
    const dgVectorDouble n = dgHalfEdgeMesh::CalcFaceNormalDouble(face, vertices);
    return n.DotProduct(n);
}

} // namespace

TEST(dgHalfEdgeMeshSlivers, NeedleBesideANormalTriangleIsCollapsedAndTheTriangleStays) {
    // Vertex 3 sits 0.001 from vertex 2: the needle (1, 3, 2) has a doubled area of 0.0015.
    const std::vector<dgFloat32> xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0.001f, 1.0005f, 0};
    dgHalfEdgeMesh mesh;
    BuildFaces(mesh, {{0, 1, 2}, {1, 3, 2}});
    mesh.RemoveSliverTriangles(Packed(xyz), 0.01f);
    ASSERT_TRUE(mesh.IsValid());
    const std::vector<dgHalfEdge*> faces = FaceEdges(mesh);
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_EQ(RingLength(faces[0]), 3);
    EXPECT_NEAR(FaceArea(faces[0], Packed(xyz)), 0.5, 1e-3);
    EXPECT_TRUE(Uses(mesh, 0) && Uses(mesh, 1));
    EXPECT_NE(Uses(mesh, 2), Uses(mesh, 3)); // the needle's short edge became one vertex
}

TEST(dgHalfEdgeMeshSlivers, IsolatedSliverWhoseCollapsesAreAllRefusedIsDeleted) {
    const std::vector<dgFloat32> xyz = {0, 0, 0, 1, 0, 0, 0.5f, 0.0001f, 0};
    dgHalfEdgeMesh mesh;
    BuildFaces(mesh, {{0, 1, 2}});
    mesh.RemoveSliverTriangles(Packed(xyz), 0.01f);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.GetCount(), 0);
}

TEST(dgHalfEdgeMeshSlivers, QueuedKeyTakenOverByAHealthyTriangleIsNotActedOn) {
    // Slivers T1 (2, 0, 3) and T2 (0, 2, 1) share the short edge 0-2, T2 queued under its edge 1 -> 0.
    // Collapsing T1's edge 2 -> 0 removes T2 too and re-keys the healthy T4's edge 1 -> 2 as 1 -> 0,
    // so T2's queue entry then finds T4, which must stay.
    const std::vector<dgFloat32> xyz = {0, 0, 0,      1, 0.01f, 0, 0.001f, 0, 0, 0.0005f, -0.001f, 0,
                                        0, 1, 0,      1, -1, 0,    2, -1, 0};
    dgHalfEdgeMesh mesh;
    BuildFaces(mesh, {{0, 2, 1}, {2, 0, 3}, {0, 1, 4}, {1, 2, 5}, {2, 3, 6}});
    mesh.RemoveSliverTriangles(Packed(xyz), 0.0001f);
    ASSERT_TRUE(mesh.IsValid());
    const std::vector<dgHalfEdge*> faces = FaceEdges(mesh);
    EXPECT_EQ(faces.size(), 3u);
    EXPECT_FALSE(Uses(mesh, 2));
    ASSERT_NE(mesh.FindEdge(1, 0), nullptr);
    EXPECT_EQ(std::set<dgInt32>({1, 0, 5}), [&] {
        const std::vector<dgInt32> ring = RingOrigins(mesh.FindEdge(1, 0));
        return std::set<dgInt32>(ring.begin(), ring.end());
    }());
}

TEST(dgHalfEdgeMeshSlivers, TrianglesAtOrAboveTheLimitAndBiggerFacesAreLeftAlone) {
    const std::vector<dgFloat32> cube = UnitCubeVertices();
    dgHalfEdgeMesh quads;
    BuildUnitCube(quads);
    // A tolerance far above every face: the quads are not triangles, so nothing is queued or lost.
    quads.RemoveSliverTriangles(Packed(cube), 10.0f);
    EXPECT_TRUE(quads.IsValid());
    EXPECT_EQ(quads.GetCount(), 24);

    const std::vector<dgFloat32> grid = GridVertices(3);
    dgHalfEdgeMesh mesh;
    BuildGrid(mesh, 3);
    const std::set<dgEdgeKey> before = EdgeKeys(mesh);
    // Each grid triangle has a doubled area of exactly 1: a limit of 1 is not strictly above it.
    mesh.RemoveSliverTriangles(Packed(grid), 1.0f);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(EdgeKeys(mesh), before);
}

TEST(dgHalfEdgeMeshSlivers, JitteredGridEndsWithNoSliverAndStaysValid) {
    // Grid vertices pulled towards neighbours make chains of slivers whose queued keys go stale as
    // earlier collapses re-key the edges around them.
    for (dgUnsigned32 seed = 1; seed <= 20; seed++) {
        RandomGeometry random(seed);
        const dgInt32 n = 6;
        std::vector<dgFloat32> xyz = GridVertices(n);
        for (dgInt32 v = 0; v < (n + 1) * (n + 1); v++) {
            if (random.Float(0.0f, 1.0f) < 0.4f) {
                xyz[3 * v] += random.Float(0.0f, 1.0f) < 0.5f ? 0.999f : -0.999f;
                xyz[3 * v + 1] += random.Float(-0.001f, 0.001f);
            }
        }
        dgHalfEdgeMesh mesh;
        BuildGrid(mesh, n);
        const dgFloat32 tolerance = 0.1f;
        mesh.RemoveSliverTriangles(Packed(xyz), tolerance);
        ASSERT_TRUE(mesh.IsValid()) << "seed " << seed;
        for (const dgHalfEdge* face : FaceEdges(mesh)) {
            if (RingLength(face) == 3) {
                EXPECT_GE(DoubledArea2(face, Packed(xyz)), 0.01 * (1.0 - 1e-5)) << "seed " << seed;
            }
        }
    }
}

TEST(dgHalfEdgeMeshCoplanarPatch, CubeFaceIsCopiedAlone) {
    const std::vector<dgFloat32> xyz = UnitCubeVertices();
    dgHalfEdgeMesh cube;
    BuildUnitCube(cube);
    dgHalfEdgeMesh patch;
    cube.ExtractCoplanarPatch(cube.FindEdge(0, 4), patch, Packed(xyz));
    ASSERT_TRUE(patch.IsValid());
    ASSERT_TRUE(cube.IsValid());
    EXPECT_EQ(patch.GetCount(), 8);
    const std::vector<dgHalfEdge*> faces = FaceEdges(patch);
    ASSERT_EQ(faces.size(), 1u);
    std::vector<dgInt32> ring = RingOrigins(faces[0]);
    std::rotate(ring.begin(), std::find(ring.begin(), ring.end(), 0), ring.end());
    EXPECT_EQ(ring, (std::vector<dgInt32>{0, 4, 5, 1}));
}

TEST(dgHalfEdgeMeshCoplanarPatch, FlatGridBecomesOneRingAroundTheWholeGrid) {
    const dgInt32 n = 4;
    const std::vector<dgFloat32> xyz = GridVertices(n);
    dgHalfEdgeMesh grid;
    BuildGrid(grid, n);
    dgHalfEdgeMesh patch;
    grid.ExtractCoplanarPatch(grid.GetFirst()->m_face > 0 ? grid.GetFirst() : grid.GetFirst()->m_twin, patch,
                              Packed(xyz));
    ASSERT_TRUE(patch.IsValid());
    const std::vector<dgHalfEdge*> faces = FaceEdges(patch);
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_EQ(RingLength(faces[0]), 4 * n);   // every outline vertex, no interior one
    EXPECT_EQ(patch.GetCount(), 2 * 4 * n);   // the outline and its border twins
    EXPECT_NEAR(FaceArea(faces[0], Packed(xyz)), n * n, 1e-9);
    EXPECT_EQ(patch.CountOpenRings(), 1);
}

TEST(dgHalfEdgeMeshCoplanarPatch, SeedWithAZeroNormalIsCopiedAloneAndClosed) {
    // A collinear triangle beside a flat one.
    const std::vector<dgFloat32> xyz = {0, 0, 0, 1, 0, 0, 2, 0, 0, 1, -1, 0};
    dgHalfEdgeMesh mesh;
    BuildFaces(mesh, {{0, 1, 2}, {1, 0, 3}});
    dgHalfEdgeMesh patch;
    mesh.ExtractCoplanarPatch(mesh.FindEdge(0, 1), patch, Packed(xyz));
    EXPECT_TRUE(patch.IsValid()); // closed with EndFace: every half-edge has a twin
    EXPECT_EQ(patch.GetCount(), 6);
    EXPECT_EQ(FaceEdges(patch).size(), 1u);
}

TEST(dgHalfEdgeMeshCoplanarPatch, BorderSeedCopiesNothing) {
    const std::vector<dgFloat32> xyz = GridVertices(1);
    dgHalfEdgeMesh mesh;
    BuildGrid(mesh, 1);
    dgHalfEdge* border = nullptr;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face < 0) {
            border = node;
        }
    }
    ASSERT_NE(border, nullptr);
    dgHalfEdgeMesh patch;
    mesh.ExtractCoplanarPatch(border, patch, Packed(xyz));
    EXPECT_EQ(patch.GetCount(), 0);
}

TEST(dgHalfEdgeMeshSmoothRegion, CubeListsTheSeedAloneAtCosineNineTenthsAndAllFacesAtMinusOne) {
    const std::vector<dgFloat32> xyz = UnitCubeVertices();
    dgHalfEdgeMesh cube;
    BuildUnitCube(cube);
    dgList<dgHalfEdge*> list;
    cube.CollectSmoothRegion(list, cube.FindEdge(0, 4), Packed(xyz), 0.9f);
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetFirst()->GetInfo()->m_face, cube.FindEdge(0, 4)->m_face);

    dgList<dgHalfEdge*> all;
    cube.CollectSmoothRegion(all, cube.FindEdge(0, 4), Packed(xyz), -1.0f);
    std::set<dgInt32> faces;
    for (auto* node = all.GetFirst(); node != nullptr; node = node->GetNext()) {
        faces.insert(node->GetInfo()->m_face);
    }
    EXPECT_EQ(all.GetCount(), 6);
    EXPECT_EQ(faces.size(), 6u);
    EXPECT_TRUE(cube.IsValid());
}

TEST(dgHalfEdgeMeshSmoothRegion, BorderSeedStartsFromItsFaceAndLargeMeshesNeedNoPresetStack) {
    const dgInt32 n = 30;
    const std::vector<dgFloat32> xyz = GridVertices(n);
    dgHalfEdgeMesh grid;
    BuildGrid(grid, n);
    dgHalfEdge* border = nullptr;
    for (dgHalfEdgeNode* node = grid.GetFirst(); node != nullptr && border == nullptr;
         node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face < 0) {
            border = node;
        }
    }
    ASSERT_NE(border, nullptr);
    dgList<dgHalfEdge*> list;
    grid.CollectSmoothRegion(list, border, Packed(xyz), 0.99f);
    EXPECT_EQ(list.GetCount(), 2 * n * n);
    EXPECT_TRUE(grid.IsValid());
}
