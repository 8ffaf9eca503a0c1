#include "physics/core/dgHalfEdgeMesh.h"
#include "physics/core/dgHeap.h"

#include "MeshPassHelpers.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

dgVertexView Packed(const std::vector<dgFloat32>& vertices) {
    return dgVertexView::InFloats(vertices.data(), 3);
}

void BuildFace(dgHalfEdgeMesh& mesh, const std::vector<dgInt32>& ring) {
    mesh.BeginFace();
    ASSERT_NE(mesh.AddFace(static_cast<dgInt32>(ring.size()), ring.data()), nullptr);
    mesh.EndFace();
}

// Sine of the left turn at each corner of the face, about the face's unit normal.
std::vector<dgFloat64> CornerSines(const dgHalfEdge* face, dgVertexView vertices) {
    dgVectorDouble n = dgHalfEdgeMesh::CalcFaceNormalDouble(face, vertices);
    n = n.Scale(1.0 / std::sqrt(n.DotProduct(n)));
    std::vector<dgFloat64> sines;
    const dgHalfEdge* ptr = face;
    do {
        const dgVectorDouble p = vertices.PointDouble(ptr->m_prev->m_origin);
        const dgVectorDouble a = vertices.PointDouble(ptr->m_origin);
        const dgVectorDouble b = vertices.PointDouble(ptr->m_next->m_origin);
        dgVectorDouble in = a.Sub(p);
        dgVectorDouble out = b.Sub(a);
        in = in.Scale(1.0 / std::sqrt(in.DotProduct(in)));
        out = out.Scale(1.0 / std::sqrt(out.DotProduct(out)));
        sines.push_back(in.CrossProduct(out).DotProduct(n));
        ptr = ptr->m_next;
    } while (ptr != face);
    return sines;
}

const std::vector<dgFloat32> kUnitSquare = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};

} // namespace

TEST(dgHalfEdgeMeshTriangulate, ConvexQuadSplitsInTwoAndMergeRestoresTheQuad) {
    const dgVertexView vertices = Packed(kUnitSquare);
    dgHalfEdgeMesh mesh;
    BuildFace(mesh, {0, 1, 2, 3});
    mesh.TriangulateFaces(vertices, nullptr);
    ASSERT_TRUE(mesh.IsValid());
    const std::vector<dgHalfEdge*> triangles = FaceEdges(mesh);
    ASSERT_EQ(triangles.size(), 2u);
    for (const dgHalfEdge* face : triangles) {
        EXPECT_EQ(RingLength(face), 3);
        EXPECT_EQ(face->m_face, 1); // cut triangles keep the face's number
        EXPECT_DOUBLE_EQ(FaceArea(face, vertices), 0.5);
    }
    EXPECT_EQ(mesh.GetCount(), 10);
    // All four corners tie at sine 1. The walk meets the ring first at 3 -> 0 and pushes corners 3, 0,
    // 1, 2; the newest equal key is on top, so the ear is at 2 and the diagonal is 1-3.
    EXPECT_NE(mesh.FindEdge(1, 3), nullptr);

    EXPECT_TRUE(mesh.MergeCoplanarFaces(vertices));
    ASSERT_TRUE(mesh.IsValid());
    const std::vector<dgHalfEdge*> merged = FaceEdges(mesh);
    ASSERT_EQ(merged.size(), 1u);
    std::vector<dgInt32> ring = RingOrigins(merged[0]);
    std::rotate(ring.begin(), std::min_element(ring.begin(), ring.end()), ring.end());
    EXPECT_EQ(ring, (std::vector<dgInt32>{0, 1, 2, 3}));
    EXPECT_EQ(mesh.GetCount(), 8);
}

TEST(dgHalfEdgeMeshTriangulate, LShapedHexagonIsCutWithoutCoveringTheNotch) {
    // An L of area 3; the corner at (1, 1), vertex 3, is reflex.
    const std::vector<dgFloat32> xyz = {0, 0, 0, 2, 0, 0, 2, 1, 0, 1, 1, 0, 1, 2, 0, 0, 2, 0};
    const dgVertexView vertices = Packed(xyz);
    dgHalfEdgeMesh mesh;
    BuildFace(mesh, {0, 1, 2, 3, 4, 5});
    mesh.TriangulateFaces(vertices, nullptr);
    ASSERT_TRUE(mesh.IsValid());
    const std::vector<dgHalfEdge*> triangles = FaceEdges(mesh);
    ASSERT_EQ(triangles.size(), 4u);
    dgFloat64 area = 0.0;
    for (const dgHalfEdge* face : triangles) {
        EXPECT_EQ(RingLength(face), 3);
        // Counter-clockwise like the face: a triangle over the notch would wind the other way or
        // overlap, and the areas would not add up to 3.
        EXPECT_GT(dgHalfEdgeMesh::CalcFaceNormalDouble(face, vertices).z, 0.0);
        area += FaceArea(face, vertices);
        std::vector<dgInt32> ring = RingOrigins(face);
        std::rotate(ring.begin(), std::min_element(ring.begin(), ring.end()), ring.end());
        EXPECT_NE(ring, (std::vector<dgInt32>{2, 3, 4})) << "the reflex corner was cut as an ear";
    }
    EXPECT_DOUBLE_EQ(area, 3.0);
}

TEST(dgHalfEdgeMeshTriangulate, CollinearFaceGoesWholeToTheRejectMesh) {
    const std::vector<dgFloat32> xyz = {0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0};
    const dgVertexView vertices = Packed(xyz);
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    const dgInt32 ring[4] = {0, 1, 2, 3};
    const dgUnsigned64 users[4] = {10, 11, 12, 13};
    mesh.AddFaceWithUserData(4, ring, users);
    mesh.EndFace();
    dgHalfEdgeMesh reject;
    reject.BeginFace();
    mesh.TriangulateFaces(vertices, &reject);
    reject.EndFace();
    EXPECT_EQ(mesh.GetCount(), 0);
    ASSERT_TRUE(reject.IsValid());
    const std::vector<dgHalfEdge*> faces = FaceEdges(reject);
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_EQ(RingLength(faces[0]), 4);
    const dgHalfEdge* ptr = faces[0];
    do {
        EXPECT_EQ(ptr->m_userValue, dgUnsigned64(ptr->m_origin) + 10);
        ptr = ptr->m_next;
    } while (ptr != faces[0]);
}

TEST(dgHalfEdgeMeshTriangulate, FaceWithoutAFiniteNormalGoesWholeToTheRejectMesh) {
    // A NaN corner, and an L whose float normal overflows (sides of 1e20): neither has a plane to cut in.
    const dgFloat32 nan = std::nanf("");
    const std::vector<dgFloat32> withNaN = {0, 0, 0, 2, 0, 0, 2, 1, 0, nan, 1, 0, 1, 2, 0, 0, 2, 0};
    std::vector<dgFloat32> huge = {0, 0, 0, 2, 0, 0, 2, 1, 0, 1, 1, 0, 1, 2, 0, 0, 2, 0};
    for (dgFloat32& c : huge) {
        c *= 1.0e20f;
    }
    const std::vector<dgFloat32>* const cases[] = {&withNaN, &huge};
    for (const std::vector<dgFloat32>* xyz : cases) {
        dgHalfEdgeMesh mesh;
        BuildFace(mesh, {0, 1, 2, 3, 4, 5});
        dgHalfEdgeMesh reject;
        reject.BeginFace();
        mesh.Optimize(Packed(*xyz), &reject);
        reject.EndFace();
        EXPECT_EQ(mesh.GetCount(), 0);
        ASSERT_EQ(FaceEdges(reject).size(), 1u);
        EXPECT_EQ(RingLength(FaceEdges(reject)[0]), 6);
    }
}

TEST(dgHalfEdgeMeshTriangulate, ExistingDiagonalFailsTheFaceWithoutLeavingALoneHalfEdge) {
    const dgVertexView vertices = Packed(kUnitSquare);
    dgHalfEdgeMesh mesh;
    BuildFace(mesh, {0, 1, 2, 3});
    // Lone half-edges along one direction of each diagonal: every ear finds one of its two keys taken.
    ASSERT_NE(mesh.AddHalfEdge(0, 2), nullptr);
    ASSERT_NE(mesh.AddHalfEdge(1, 3), nullptr);
    const std::set<dgEdgeKey> before = EdgeKeys(mesh);
    dgHalfEdgeMesh::dgEarHeap heap(16);
    dgHalfEdge* const left = mesh.TriangulateFace(mesh.FindEdge(0, 1), vertices, heap);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(RingLength(left), 4);
    EXPECT_EQ(EdgeKeys(mesh), before);
}

TEST(dgHalfEdgeMeshTriangulate, FindUntriangulableFacesListsTheFailingFaceAndChangesNothing) {
    // Quad 0-3 is flat and fine; quad 4-7 is collinear.
    const std::vector<dgFloat32> xyz = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0,
                                        5, 0, 0, 6, 0, 0, 7, 0, 0, 8, 0, 0};
    const dgVertexView vertices = Packed(xyz);
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    const dgInt32 good[4] = {0, 1, 2, 3};
    const dgInt32 bad[4] = {4, 5, 6, 7};
    mesh.AddFace(4, good);
    mesh.AddFace(4, bad);
    mesh.EndFace();
    const std::set<dgEdgeKey> before = EdgeKeys(mesh);
    dgList<dgHalfEdge*> list;
    mesh.FindUntriangulableFaces(list, vertices);
    EXPECT_EQ(EdgeKeys(mesh), before);
    ASSERT_EQ(list.GetCount(), 1);
    const dgHalfEdge* listed = list.GetFirst()->GetInfo();
    EXPECT_GE(listed->m_origin, 4);
    EXPECT_EQ(RingLength(listed), 4);
    // The stamp stays below the counter: a later pass's fresh mark cannot mistake the face as visited.
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.CountFaces(), 2);
}

TEST(dgHalfEdgeMeshCleanup, SmallFacesBelowTheAreaAreDeletedAndLargerOnesKept) {
    // Right triangles of area 0.00005 and 0.0002.
    const std::vector<dgFloat32> xyz = {0, 0, 0, 0.01f, 0, 0, 0, 0.01f, 0, 5, 0, 0, 5.02f, 0, 0, 5, 0.02f, 0};
    const dgVertexView vertices = Packed(xyz);
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(3, 4, 5);
    mesh.EndFace();
    mesh.RemoveSmallFaces(vertices, 0.0001f);
    ASSERT_TRUE(mesh.IsValid());
    const std::vector<dgHalfEdge*> faces = FaceEdges(mesh);
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_GE(faces[0]->m_origin, 3);
    EXPECT_EQ(mesh.GetCount(), 6);
}

TEST(dgHalfEdgeMeshMerge, MergedFacesShareOneFaceNumber) {
    // Two faces added separately (numbers 1 and 2) over the square's diagonal 0-2.
    const dgVertexView vertices = Packed(kUnitSquare);
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(0, 2, 3);
    mesh.EndFace();
    EXPECT_TRUE(mesh.MergeCoplanarFaces(vertices));
    ASSERT_TRUE(mesh.IsValid());
    const std::vector<dgHalfEdge*> faces = FaceEdges(mesh);
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_EQ(RingLength(faces[0]), 4);
    EXPECT_EQ(mesh.CountFaces(), 1);
}

TEST(dgHalfEdgeMeshMerge, ConcaveQuadKeepsItsDiagonal) {
    // Triangles (0, 1, 2) and (0, 2, 3) over the diagonal 0-2; without it the quad 0, 1, 2, 3 is a dart
    // whose corner at 2 is reflex.
    const std::vector<dgFloat32> xyz = {0, 0, 0, 2, 0, 0, 0.5f, 0.5f, 0, 0, 2, 0};
    const dgVertexView vertices = Packed(xyz);
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(0, 2, 3);
    mesh.EndFace();
    const std::set<dgEdgeKey> before = EdgeKeys(mesh);
    EXPECT_TRUE(mesh.MergeCoplanarFaces(vertices)); // one coplanar region of two faces
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(EdgeKeys(mesh), before);
}

TEST(dgHalfEdgeMeshMerge, FoldOfAFewDegreesIsNotMerged) {
    // Two triangles over the diagonal 0-2 of a unit square, vertex 3 lifted by 0.05 (about 4 degrees).
    const std::vector<dgFloat32> xyz = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.05f};
    const dgVertexView vertices = Packed(xyz);
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(0, 2, 3);
    mesh.EndFace();
    EXPECT_FALSE(mesh.MergeCoplanarFaces(vertices));
    EXPECT_EQ(FaceEdges(mesh).size(), 2u);
}

TEST(dgHalfEdgeMeshOptimize, RandomPlanarPolygonSetsComeOutConvexPlanarAndKeepTheirArea) {
    for (unsigned seed = 1; seed <= 12; seed++) {
        RandomGeometry random(seed);
        // A jittered n x n grid in the plane z = 0; each row's cells grouped into runs of 1 to 3 cells,
        // each run one polygon with the in-between grid vertices on its long sides.
        const dgInt32 n = 8;
        std::vector<dgFloat32> xyz;
        for (dgInt32 j = 0; j <= n; j++) {
            for (dgInt32 i = 0; i <= n; i++) {
                const bool border = i == 0 || j == 0 || i == n || j == n;
                const dgFloat32 jitter = border ? 0.0f : 0.25f;
                xyz.insert(xyz.end(), {dgFloat32(i) + random.Float(-jitter, jitter),
                                       dgFloat32(j) + random.Float(-jitter, jitter), 0.0f});
            }
        }
        // Rotate the whole set: the passes must not depend on the plane being z = 0.
        const dgMatrix pose = random.RigidMatrix(10.0f);
        for (std::size_t v = 0; v < xyz.size(); v += 3) {
            const dgVector p = pose.TransformVector(dgVector(&xyz[v]));
            xyz[v] = p.x;
            xyz[v + 1] = p.y;
            xyz[v + 2] = p.z;
        }
        const dgVertexView vertices = Packed(xyz);
        dgHalfEdgeMesh mesh;
        mesh.BeginFace();
        for (dgInt32 j = 0; j < n; j++) {
            for (dgInt32 i = 0; i < n;) {
                const dgInt32 run =
                    std::min<dgInt32>(n - i, 1 + static_cast<dgInt32>(random.Float(0.0f, 2.999f)));
                std::vector<dgInt32> ring;
                for (dgInt32 k = 0; k <= run; k++) {
                    ring.push_back(j * (n + 1) + i + k);
                }
                for (dgInt32 k = run; k >= 0; k--) {
                    ring.push_back((j + 1) * (n + 1) + i + k);
                }
                ASSERT_NE(mesh.AddFace(static_cast<dgInt32>(ring.size()), ring.data()), nullptr);
                i += run;
            }
        }
        mesh.EndFace();
        const dgFloat64 area = TotalArea(mesh, vertices);

        dgHalfEdgeMesh reject;
        reject.BeginFace();
        mesh.Optimize(vertices, &reject);
        reject.EndFace();
        ASSERT_TRUE(mesh.IsValid()) << "seed " << seed;
        EXPECT_EQ(reject.GetCount(), 0) << "seed " << seed;
        EXPECT_NEAR(TotalArea(mesh, vertices), area, 1e-3 * area) << "seed " << seed;
        for (const dgHalfEdge* face : FaceEdges(mesh)) {
            for (const dgFloat64 sine : CornerSines(face, vertices)) {
                EXPECT_GT(sine, -1e-6) << "seed " << seed;
            }
            dgVectorDouble normal = dgHalfEdgeMesh::CalcFaceNormalDouble(face, vertices);
            normal = normal.Scale(1.0 / std::sqrt(normal.DotProduct(normal)));
            const dgFloat64 d = normal.DotProduct(vertices.PointDouble(face->m_origin));
            const dgHalfEdge* ptr = face;
            do {
                EXPECT_LE(std::fabs(normal.DotProduct(vertices.PointDouble(ptr->m_origin)) - d), 0.08);
                ptr = ptr->m_next;
            } while (ptr != face);
        }
    }
}

TEST(dgHalfEdgeMeshOptimize, EmptyMeshStaysEmpty) {
    dgHalfEdgeMesh mesh;
    dgHalfEdgeMesh reject;
    mesh.Optimize(Packed(kUnitSquare), &reject);
    EXPECT_EQ(mesh.GetCount(), 0);
    EXPECT_EQ(mesh.GetMarkCounter(), 0u);
}
