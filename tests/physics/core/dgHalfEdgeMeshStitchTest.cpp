#include "physics/core/dgHalfEdgeMesh.h"

#include "MeshPassHelpers.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace {

dgVertexView Packed(const std::vector<dgFloat32>& vertices) {
    return dgVertexView::InFloats(vertices.data(), 3);
}

// Unit squares (0, 1, 2, 3) and (4, 5, 6, 7), the second gap to the right of the first, both
// counter-clockwise from +z. Vertices 4 and 7 duplicate 1 and 2 when gap is 0.
std::vector<dgFloat32> TwoSquares(dgFloat32 gap) {
    const dgFloat32 x = 1.0f + gap;
    return {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, x, 0, 0, x + 1.0f, 0, 0, x + 1.0f, 1, 0, x, 1, 0};
}

void BuildTwoSquares(dgHalfEdgeMesh& mesh) {
    const dgInt32 a[4] = {0, 1, 2, 3};
    const dgInt32 b[4] = {4, 5, 6, 7};
    mesh.BeginFace();
    ASSERT_NE(mesh.AddFace(4, a), nullptr);
    ASSERT_NE(mesh.AddFace(4, b), nullptr);
    mesh.EndFace();
}

dgInt32 BorderCount(const dgHalfEdgeMesh& mesh) {
    dgInt32 count = 0;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        count += node->m_face < 0 ? 1 : 0;
    }
    return count;
}

std::set<dgInt32> UsedVertices(const dgHalfEdgeMesh& mesh) {
    std::set<dgInt32> used;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        used.insert(node->m_origin);
    }
    return used;
}

} // namespace

TEST(dgHalfEdgeMeshStitch, DuplicatedSideOfTwoSquaresBecomesOneEdgePair) {
    const std::vector<dgFloat32> xyz = TwoSquares(0.0f);
    dgHalfEdgeMesh mesh;
    BuildTwoSquares(mesh);
    ASSERT_EQ(mesh.GetCount(), 16);
    mesh.StitchBorders(Packed(xyz), 0.001f);
    ASSERT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.GetCount(), 14); // 8 face half-edges, 6 outline borders
    EXPECT_EQ(BorderCount(mesh), 6);
    EXPECT_EQ(mesh.CountOpenRings(), 1);
    EXPECT_EQ(UsedVertices(mesh).size(), 6u);

    // The shared side is a pair of face half-edges, one of each square.
    dgInt32 shared = 0;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face > 0 && node->m_twin->m_face > 0) {
            shared++;
            EXPECT_NE(node->m_face, node->m_twin->m_face);
            EXPECT_EQ(xyz[3 * node->m_origin], 1.0f);
        }
    }
    EXPECT_EQ(shared, 2);
}

TEST(dgHalfEdgeMeshStitch, GapWeldsOnlyWithinTheTolerance) {
    const std::vector<dgFloat32> xyz = TwoSquares(0.01f);
    dgHalfEdgeMesh narrow;
    BuildTwoSquares(narrow);
    narrow.StitchBorders(Packed(xyz), 0.001f);
    EXPECT_TRUE(narrow.IsValid());
    EXPECT_EQ(narrow.GetCount(), 16);

    dgHalfEdgeMesh wide;
    BuildTwoSquares(wide);
    wide.StitchBorders(Packed(xyz), 0.05f);
    EXPECT_TRUE(wide.IsValid());
    EXPECT_EQ(wide.GetCount(), 14);

    dgHalfEdgeMesh negative;
    BuildTwoSquares(negative);
    negative.StitchBorders(Packed(xyz), -0.05f); // the tolerance's magnitude counts
    EXPECT_EQ(negative.GetCount(), 14);
}

TEST(dgHalfEdgeMeshStitch, ZeroToleranceActsAsOneTenThousandth) {
    const std::vector<dgFloat32> close = TwoSquares(0.00005f);
    dgHalfEdgeMesh welded;
    BuildTwoSquares(welded);
    welded.StitchBorders(Packed(close), 0.0f);
    EXPECT_TRUE(welded.IsValid());
    EXPECT_EQ(welded.GetCount(), 14);

    const std::vector<dgFloat32> apart = TwoSquares(0.0002f);
    dgHalfEdgeMesh separate;
    BuildTwoSquares(separate);
    separate.StitchBorders(Packed(apart), 0.0f);
    EXPECT_TRUE(separate.IsValid());
    EXPECT_EQ(separate.GetCount(), 16);
}

TEST(dgHalfEdgeMeshStitch, BorderEdgesHalfAUnitApartAlongTheSweepAxisAreNeverCompared) {
    // With a tolerance of 0.9 both gaps are within reach, but only the 0.4 gap is inside the window.
    const std::vector<dgFloat32> near = TwoSquares(0.4f);
    dgHalfEdgeMesh inside;
    BuildTwoSquares(inside);
    inside.StitchBorders(Packed(near), 0.9f);
    EXPECT_TRUE(inside.IsValid());
    EXPECT_EQ(inside.GetCount(), 14);

    const std::vector<dgFloat32> far = TwoSquares(0.6f);
    dgHalfEdgeMesh outside;
    BuildTwoSquares(outside);
    outside.StitchBorders(Packed(far), 0.9f);
    EXPECT_TRUE(outside.IsValid());
    EXPECT_EQ(outside.GetCount(), 16);
}

TEST(dgHalfEdgeMeshStitch, GridCutAlongARowIsStitchedBackWithNoBorderOnTheSeam) {
    // A 6 x 6 grid whose rows 3..6 are built on copies of their vertices: the seam runs along row 3.
    const dgInt32 n = 6;
    const dgInt32 seamRow = 3;
    const dgInt32 rowSize = n + 1;
    const dgInt32 copyBase = rowSize * rowSize;
    std::vector<dgFloat32> xyz = GridVertices(n);
    const std::vector<dgFloat32> original = xyz;
    xyz.insert(xyz.end(), original.begin(), original.end());

    const std::vector<dgInt32> triangles = GridTriangles(n);
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    for (std::size_t i = 0; i < triangles.size(); i += 3) {
        const dgInt32 lowestRow = std::min({triangles[i], triangles[i + 1], triangles[i + 2]}) / rowSize;
        const dgInt32 offset = lowestRow >= seamRow ? copyBase : 0;
        ASSERT_NE(
            mesh.AddTriangle(triangles[i] + offset, triangles[i + 1] + offset, triangles[i + 2] + offset),
            nullptr);
    }
    mesh.EndFace();
    ASSERT_TRUE(mesh.IsValid());
    ASSERT_EQ(mesh.CountOpenRings(), 2);

    mesh.StitchBorders(Packed(xyz), 0.001f);
    ASSERT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.CountOpenRings(), 1);
    EXPECT_EQ(BorderCount(mesh), 4 * n);
    EXPECT_EQ(UsedVertices(mesh).size(), static_cast<std::size_t>(rowSize * rowSize));
    // No border half-edge lies on the seam's line.
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face < 0) {
            const dgFloat32 y0 = xyz[3 * node->m_origin + 1];
            const dgFloat32 y1 = xyz[3 * node->m_twin->m_origin + 1];
            EXPECT_FALSE(y0 == dgFloat32(seamRow) && y1 == dgFloat32(seamRow));
        }
    }
    // Same total area as the uncut grid.
    EXPECT_NEAR(TotalArea(mesh, Packed(xyz)), n * n, 1e-9);
}

TEST(dgHalfEdgeMeshStitch, ClosedMeshAndEmptyMeshAreLeftAsTheyAre) {
    const std::vector<dgFloat32> xyz = UnitCubeVertices();
    dgHalfEdgeMesh cube;
    BuildUnitCube(cube);
    const std::set<dgEdgeKey> before = EdgeKeys(cube);
    cube.StitchBorders(Packed(xyz), 0.5f);
    EXPECT_TRUE(cube.IsValid());
    EXPECT_EQ(EdgeKeys(cube), before);

    dgHalfEdgeMesh empty;
    empty.StitchBorders(Packed(xyz), 0.5f);
    EXPECT_EQ(empty.GetCount(), 0);
}

TEST(dgHalfEdgeMeshStitch, WeldThatWouldPutBothEndsOfAnEdgeOnOneVertexIsRefused) {
    // A needle whose two long sides lie within the tolerance of each other: welding them would merge
    // the ends of its short side 0-2 into one vertex.
    const std::vector<dgFloat32> xyz = {0, 0, 0, 1, 0, 0, 0, 0.0005f, 0};
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    ASSERT_NE(mesh.AddTriangle(0, 1, 2), nullptr);
    mesh.EndFace();
    const std::set<dgEdgeKey> before = EdgeKeys(mesh);
    mesh.StitchBorders(Packed(xyz), 0.01f);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(EdgeKeys(mesh), before);
}

TEST(dgHalfEdgeMeshStitch, LongSeamWithMoreBorderEdgesThanTheQueuesStartWithIsClosed) {
    // A strip of 600 x 2 unit squares, its upper row built on copies of the middle row's vertices:
    // about 2400 border half-edges, more than the sweep queues' initial room.
    const dgInt32 nx = 600;
    const dgInt32 rowSize = nx + 1;
    std::vector<dgFloat32> xyz;
    for (dgInt32 row : {0, 1, 1, 2}) {
        for (dgInt32 i = 0; i <= nx; i++) {
            xyz.insert(xyz.end(), {dgFloat32(i), dgFloat32(row), 0.0f});
        }
    }
    // Vertex rows: 0 bottom, 1 middle (lower half), 2 middle copy (upper half), 3 top.
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    for (dgInt32 half = 0; half < 2; half++) {
        const dgInt32 bottom = half == 0 ? 0 : 2 * rowSize;
        const dgInt32 top = half == 0 ? rowSize : 3 * rowSize;
        for (dgInt32 i = 0; i < nx; i++) {
            ASSERT_NE(mesh.AddTriangle(bottom + i, bottom + i + 1, top + i + 1), nullptr);
            ASSERT_NE(mesh.AddTriangle(bottom + i, top + i + 1, top + i), nullptr);
        }
    }
    mesh.EndFace();
    ASSERT_EQ(BorderCount(mesh), 4 * nx + 4);

    mesh.StitchBorders(Packed(xyz), 0.001f);
    ASSERT_TRUE(mesh.IsValid());
    EXPECT_EQ(BorderCount(mesh), 2 * nx + 4);
    EXPECT_EQ(mesh.CountOpenRings(), 1);
    EXPECT_EQ(UsedVertices(mesh).size(), static_cast<std::size_t>(3 * rowSize));
}

TEST(dgHalfEdgeMeshStitch, CornersMeetingInClustersOfCoincidentVerticesLeaveAConsistentMesh) {
    // Vertices 0-3 share one point and 5, 8-11 another, so short border edges weld in chains and a
    // half-edge and its twin end up wanting each other's old keys.
    const dgFloat32 e = 0.0001f;
    const std::vector<dgFloat32> xyz = {e, e, e, e, e, e,    e,    e,    e,    e, e, e, e,    0.5f, 0, 0,
                                        0, 0, 0, 0, 3, 0.5f, 2.5f, 0.5f, 0,    0, 0, 0, 0,    0,    0, 0,
                                        0, 0, 0, 0, 0, 2,    3.5f, e,    0.5f, 1, 3, 0, 0.5f, 1,    0, 3};
    const std::vector<std::vector<dgInt32>> faces = {
        {0, 6, 11, 10, 0, 8, 9, 13}, {4, 15, 14, 8, 13, 12}, {5, 9, 11}, {0, 11, 6, 2, 5, 3, 7}};
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    for (const std::vector<dgInt32>& face : faces) {
        ASSERT_NE(mesh.AddFace(static_cast<dgInt32>(face.size()), face.data()), nullptr);
    }
    mesh.EndFace();
    mesh.StitchBorders(Packed(xyz), 0.3f);
    EXPECT_TRUE(mesh.IsValid());
}
