#include "physics/core/dgHalfEdgeMesh.h"

#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

std::set<dgEdgeKey> Keys(const dgHalfEdgeMesh& mesh) {
    std::set<dgEdgeKey> keys;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        keys.insert(node->GetKey());
    }
    return keys;
}

// Every face ring (number > 0) as its origins rotated to start at the smallest index.
std::multiset<std::vector<dgInt32>> Faces(const dgHalfEdgeMesh& mesh) {
    std::multiset<std::vector<dgInt32>> faces;
    std::set<const dgHalfEdge*> seen;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face <= 0 || seen.count(node) != 0) {
            continue;
        }
        std::vector<dgInt32> ring;
        const dgHalfEdge* ptr = node;
        do {
            seen.insert(ptr);
            ring.push_back(ptr->m_origin);
            ptr = ptr->m_next;
        } while (ptr != node);
        std::rotate(ring.begin(), std::min_element(ring.begin(), ring.end()), ring.end());
        faces.insert(ring);
    }
    return faces;
}

dgInt32 RingLength(const dgHalfEdge* edge) {
    dgInt32 length = 0;
    const dgHalfEdge* ptr = edge;
    do {
        length++;
        ptr = ptr->m_next;
    } while (ptr != edge);
    return length;
}

void BuildSquareOfTwoTriangles(dgHalfEdgeMesh& mesh) {
    mesh.BeginFace();
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(0, 2, 3);
    mesh.EndFace();
}

} // namespace

TEST(dgHalfEdgeMeshCopy, CopyKeepsFacesAndUserValuesAndRenumbersInTreeOrder) {
    dgHalfEdgeMesh source;
    source.BeginFace();
    for (const auto& quad : kUnitCubeQuads) {
        const dgUnsigned64 users[4] = {dgUnsigned64(quad[0]) * 10, dgUnsigned64(quad[1]) * 10,
                                       dgUnsigned64(quad[2]) * 10, dgUnsigned64(quad[3]) * 10};
        source.AddFaceWithUserData(4, quad, users);
    }
    source.EndFace();
    source.DeleteFace(source.FindEdge(6, 2));

    dgHalfEdgeMesh copy(source);
    EXPECT_TRUE(copy.IsValid());
    EXPECT_EQ(Keys(copy), Keys(source));
    EXPECT_EQ(Faces(copy), Faces(source));
    EXPECT_EQ(copy.GetFaceCounter(), 5);
    std::set<dgInt32> numbers;
    for (dgHalfEdgeNode* node = copy.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face > 0) {
            EXPECT_EQ(node->m_userValue, dgUnsigned64(node->m_origin) * 10);
            numbers.insert(node->m_face);
        }
    }
    EXPECT_EQ(numbers, (std::set<dgInt32>{1, 2, 3, 4, 5}));
    // The first face met in the copy's walk of source is number 1.
    EXPECT_EQ(copy.Find(source.GetFirst()->GetKey())->m_face, source.GetFirst()->m_face >= 0 ? 1 : -1);
}

TEST(dgHalfEdgeMeshCopy, FlipOrientationReversesEveryFaceAndKeepsVertexValues) {
    const std::vector<dgFloat32> vertices = UnitCubeVertices();
    const dgVertexView view = dgVertexView::InFloats(vertices.data(), 3);
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    for (const auto& quad : kUnitCubeQuads) {
        const dgUnsigned64 users[4] = {dgUnsigned64(quad[0]) + 100, dgUnsigned64(quad[1]) + 100,
                                       dgUnsigned64(quad[2]) + 100, dgUnsigned64(quad[3]) + 100};
        mesh.AddFaceWithUserData(4, quad, users);
    }
    mesh.EndFace();
    const std::set<dgEdgeKey> before = Keys(mesh);
    // Outward normals point away from the centre (0.5, 0.5, 0.5).
    const dgVector centre(0.5f, 0.5f, 0.5f, 1.0f);
    mesh.FlipOrientation();
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(Keys(mesh), before); // a closed mesh keeps its key set, each pair reversed
    EXPECT_EQ(mesh.CountFaces(), 6);
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        EXPECT_EQ(node->m_userValue, dgUnsigned64(node->m_origin) + 100);
        const dgVector n = dgHalfEdgeMesh::CalcFaceNormal(node, view);
        const dgVector toFace = view.Point(node->m_origin).Sub(centre);
        EXPECT_LT(n.DotProduct(toFace), 0.0f);
    }
}

TEST(dgHalfEdgeMeshEdit, FlipEdgeTurnsTheDiagonalAndFlippingBackRestoresIt) {
    dgHalfEdgeMesh mesh;
    BuildSquareOfTwoTriangles(mesh);
    const auto facesBefore = Faces(mesh);
    dgHalfEdge* diagonal = mesh.FindEdge(0, 2);
    ASSERT_TRUE(mesh.FlipEdge(diagonal));
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.FindEdge(0, 2), nullptr);
    EXPECT_EQ(mesh.FindEdge(2, 0), nullptr);
    ASSERT_NE(mesh.FindEdge(1, 3), nullptr);
    ASSERT_NE(mesh.FindEdge(3, 1), nullptr);
    EXPECT_EQ(Faces(mesh), (std::multiset<std::vector<dgInt32>>{{0, 1, 3}, {1, 2, 3}}));

    // Both triangles still face +z.
    const std::vector<dgFloat32> vertices = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    for (dgHalfEdge* edge : {mesh.FindEdge(1, 3), mesh.FindEdge(3, 1)}) {
        EXPECT_GT(dgHalfEdgeMesh::CalcFaceNormal(edge, dgVertexView::InFloats(vertices.data(), 3)).z, 0.0f);
    }
    ASSERT_TRUE(mesh.FlipEdge(mesh.FindEdge(1, 3)));
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(Faces(mesh), facesBefore);
}

TEST(dgHalfEdgeMeshEdit, FlipEdgeRefusesQuadsAndExistingDiagonals) {
    dgHalfEdgeMesh cube;
    BuildUnitCube(cube);
    const auto keys = Keys(cube);
    EXPECT_FALSE(cube.FlipEdge(cube.FindEdge(0, 4)));
    EXPECT_EQ(Keys(cube), keys);
    EXPECT_TRUE(cube.IsValid());

    // A tetrahedron: every flip would create an edge that already exists.
    dgHalfEdgeMesh tetra;
    tetra.AddTriangle(0, 1, 2);
    tetra.AddTriangle(0, 2, 3);
    tetra.AddTriangle(0, 3, 1);
    tetra.AddTriangle(1, 3, 2);
    tetra.EndFace();
    EXPECT_FALSE(tetra.FlipEdge(tetra.FindEdge(0, 2)));
    EXPECT_TRUE(tetra.IsValid());
}

TEST(dgHalfEdgeMeshEdit, FlipEdgeRefusesATriangularHole) {
    dgHalfEdgeMesh mesh;
    mesh.AddTriangle(0, 1, 2);
    mesh.EndFace();
    // The border ring (1, 0, 2) is three edges long, but it is not a face.
    EXPECT_FALSE(mesh.FlipEdge(mesh.FindEdge(0, 1)));
    EXPECT_FALSE(mesh.FlipEdge(mesh.FindEdge(1, 0)));
    EXPECT_TRUE(mesh.IsValid());
}

TEST(dgHalfEdgeMeshEdit, SplitEdgeOfACubeAddsAVertexToBothFaces) {
    dgHalfEdgeMesh mesh;
    BuildUnitCube(mesh);
    dgHalfEdge* edge = mesh.FindEdge(0, 4);
    const dgInt32 faceA = edge->m_face;
    const dgInt32 faceB = edge->m_twin->m_face;
    dgHalfEdge* result = mesh.SplitEdge(8, edge);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->m_origin, 4);
    EXPECT_EQ(result->m_next->m_origin, 8);
    EXPECT_EQ(mesh.GetCount(), 26);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(RingLength(mesh.FindEdge(0, 8)), 5);
    EXPECT_EQ(RingLength(mesh.FindEdge(4, 8)), 5);
    EXPECT_EQ(mesh.FindEdge(0, 8)->m_face, faceA);
    EXPECT_EQ(mesh.FindEdge(8, 4)->m_face, faceA);
    EXPECT_EQ(mesh.FindEdge(4, 8)->m_face, faceB);
    EXPECT_EQ(mesh.FindEdge(8, 0)->m_face, faceB);
}

TEST(dgHalfEdgeMeshEdit, SplitEdgeRefusesAnExistingEdgeBeforeChangingAnything) {
    dgHalfEdgeMesh mesh;
    BuildUnitCube(mesh);
    const auto keys = Keys(mesh);
    EXPECT_EQ(mesh.SplitEdge(1, mesh.FindEdge(0, 4)), nullptr); // 0 -> 1 already exists
    EXPECT_EQ(mesh.SplitEdge(-1, mesh.FindEdge(0, 4)), nullptr);
    EXPECT_EQ(Keys(mesh), keys);
    EXPECT_TRUE(mesh.IsValid());
}

TEST(dgHalfEdgeMeshEdit, SplitEdgeCutCornersLeavesOnlyTrianglesWithFreshFaceNumbers) {
    dgHalfEdgeMesh mesh;
    BuildSquareOfTwoTriangles(mesh);
    ASSERT_NE(mesh.SplitEdgeCutCorners(4, mesh.FindEdge(0, 2)), nullptr);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.CountFaces(), 4);
    std::set<dgInt32> numbers;
    for (const auto& face : Faces(mesh)) {
        EXPECT_EQ(face.size(), 3u);
        EXPECT_EQ(std::count(face.begin(), face.end(), 4), 1);
    }
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        if (node->m_face > 0) {
            numbers.insert(node->m_face);
        }
    }
    EXPECT_EQ(numbers.size(), 4u);
    EXPECT_EQ(mesh.GetFaceCounter(), 4);
}

TEST(dgHalfEdgeMeshEdit, RenameVertexRekeysItsFanOrRefusesWhole) {
    dgHalfEdgeMesh mesh;
    BuildUnitCube(mesh);
    const auto keys = Keys(mesh);
    EXPECT_EQ(mesh.RenameVertex(mesh.FindEdge(0, 4), 3), -1); // 3 -> 1 exists
    EXPECT_EQ(mesh.RenameVertex(mesh.FindEdge(0, 4), 4), -1); // a neighbour
    EXPECT_EQ(mesh.RenameVertex(mesh.FindEdge(0, 4), -2), -1);
    EXPECT_EQ(Keys(mesh), keys);
    EXPECT_TRUE(mesh.IsValid());

    EXPECT_EQ(mesh.RenameVertex(mesh.FindEdge(0, 4), 20), 20);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.FindVertexEdge(0), nullptr);
    for (dgInt32 neighbour : {1, 2, 4}) {
        EXPECT_NE(mesh.FindEdge(20, neighbour), nullptr);
        EXPECT_NE(mesh.FindEdge(neighbour, 20), nullptr);
    }
    EXPECT_EQ(mesh.GetCount(), 24);
}

TEST(dgHalfEdgeMeshEdit, CompactVerticesNumbersInTreeWalkOrderAndCopiesThem) {
    std::vector<dgFloat32> vertices(13 * 4, -1.0f);
    for (dgInt32 i = 0; i < 13; i++) {
        vertices[i * 4 + 0] = static_cast<dgFloat32>(i);
        vertices[i * 4 + 1] = static_cast<dgFloat32>(2 * i);
        vertices[i * 4 + 2] = static_cast<dgFloat32>(3 * i);
        vertices[i * 4 + 3] = static_cast<dgFloat32>(100 + i);
    }
    dgHalfEdgeMesh mesh;
    mesh.AddTriangle(5, 9, 12);
    mesh.EndFace();
    // Ascending keys start at the edges ending at 5: 9 -> 5 first, then 12 -> 5, then 5 -> 9.
    std::vector<dgFloat32> out(3 * 4, 0.0f);
    EXPECT_EQ(mesh.CompactVertices(out.data(), dgVertexView::InBytes(vertices.data(), 16)), 3);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.VertexIndexLimit(), 3);
    const dgInt32 oldOf[3] = {9, 12, 5};
    for (dgInt32 k = 0; k < 3; k++) {
        EXPECT_EQ(out[k * 4 + 0], static_cast<dgFloat32>(oldOf[k]));
        EXPECT_EQ(out[k * 4 + 2], static_cast<dgFloat32>(3 * oldOf[k]));
        EXPECT_EQ(out[k * 4 + 3], static_cast<dgFloat32>(100 + oldOf[k]));
    }
    // The face (5, 9, 12) is now (2, 0, 1).
    EXPECT_EQ(Faces(mesh), (std::multiset<std::vector<dgInt32>>{{0, 1, 2}}));
    EXPECT_NE(mesh.FindEdge(2, 0), nullptr);
    EXPECT_EQ(mesh.FindEdge(2, 0)->m_face, 1);
}

// Two triangles touching only at vertex 0 give that vertex two separate fans; it still becomes one
// vertex, so the output never needs more room than the index limit.
TEST(dgHalfEdgeMeshEdit, CompactVerticesKeepsAVertexOfTwoFansAsOne) {
    dgHalfEdgeMesh mesh;
    mesh.AddTriangle(7, 8, 9);
    mesh.AddTriangle(7, 10, 11);
    mesh.EndFace();
    ASSERT_TRUE(mesh.IsValid());
    std::vector<dgFloat32> vertices(12 * 3);
    for (size_t i = 0; i < vertices.size(); i++) {
        vertices[i] = static_cast<dgFloat32>(i / 3);
    }
    std::vector<dgFloat32> out(5 * 3, -1.0f);
    EXPECT_EQ(mesh.CompactVertices(out.data(), dgVertexView::InFloats(vertices.data(), 3)), 5);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.VertexIndexLimit(), 5);
    std::multiset<dgFloat32> copied(out.begin(), out.end());
    for (dgFloat32 old : {7.0f, 8.0f, 9.0f, 10.0f, 11.0f}) {
        EXPECT_EQ(copied.count(old), 3u);
    }
}

TEST(dgHalfEdgeMeshInspect, IsValidCatchesACorruptedOriginAndAnEmptyMeshIsValid) {
    dgHalfEdgeMesh empty;
    EXPECT_TRUE(empty.IsValid());
    EXPECT_EQ(empty.VertexIndexLimit(), 0);
    EXPECT_EQ(empty.CountFaces(), 0);

    dgHalfEdgeMesh mesh;
    BuildUnitCube(mesh);
    ASSERT_TRUE(mesh.IsValid());
    dgHalfEdge* edge = mesh.FindEdge(3, 7);
    edge->m_origin = 4;
    EXPECT_FALSE(mesh.IsValid());
    edge->m_origin = 3;
    EXPECT_TRUE(mesh.IsValid());
    edge->m_mark = mesh.GetMarkCounter() + 1;
    EXPECT_FALSE(mesh.IsValid());
    edge->m_mark = 0;
    edge->m_next->m_prev = edge->m_twin;
    EXPECT_FALSE(mesh.IsValid());
    edge->m_next->m_prev = edge;
    edge->m_face = 99;
    EXPECT_FALSE(mesh.IsValid());
}

TEST(dgHalfEdgeMeshInspect, FindUnmarkedFaceEdgeLooksAroundEachListedVertex) {
    dgHalfEdgeMesh mesh;
    mesh.AddTriangle(0, 1, 2);
    mesh.EndFace();
    dgList<dgHalfEdge*> list;
    EXPECT_EQ(dgHalfEdgeMesh::FindUnmarkedFaceEdge(list, 1), nullptr);
    list.Append(mesh.FindEdge(1, 0)); // a border edge leaving 1
    dgHalfEdge* found = dgHalfEdgeMesh::FindUnmarkedFaceEdge(list, 7);
    EXPECT_EQ(found, mesh.FindEdge(1, 2));
    const dgUnsigned32 mark = mesh.IncrementMarkCounter();
    mesh.FindEdge(1, 2)->m_mark = mark;
    EXPECT_EQ(dgHalfEdgeMesh::FindUnmarkedFaceEdge(list, mark), nullptr);
}
