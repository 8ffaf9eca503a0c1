#include "physics/core/dgHalfEdgeMesh.h"

#include "physics/core/dgStackMemoryAllocator.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

namespace {

std::vector<dgInt32> RingOrigins(const dgHalfEdge* start) {
    std::vector<dgInt32> origins;
    const dgHalfEdge* ptr = start;
    do {
        origins.push_back(ptr->m_origin);
        ptr = ptr->m_next;
    } while (ptr != start && origins.size() < 10000);
    return origins;
}

dgInt32 CountBorderEdges(const dgHalfEdgeMesh& mesh) {
    dgInt32 count = 0;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        count += node->m_face < 0 ? 1 : 0;
    }
    return count;
}

} // namespace

TEST(dgEdgeKey, OrdersByDestinationThenOrigin) {
    EXPECT_EQ(dgMakeEdgeKey(3, 5), (dgInt64(5) << 32) + 3);
    EXPECT_LT(dgMakeEdgeKey(9, 1), dgMakeEdgeKey(0, 2));
    EXPECT_LT(dgMakeEdgeKey(1, 4), dgMakeEdgeKey(2, 4));
    EXPECT_EQ(dgMakeEdgeKey(-1, 2), dgInt64(2) * 4294967296LL - 1); // origin sign-extended
    EXPECT_EQ(dgEdgeKeyDestination(dgMakeEdgeKey(-1, 2), -1), 2);
    EXPECT_EQ(dgEdgeKeyDestination(dgMakeEdgeKey(7, 0x7fffffff), 7), 0x7fffffff);
}

TEST(dgHalfEdgeMeshBuild, CubeFromSixQuadsIsClosedAndOrderedByKey) {
    dgHalfEdgeMesh mesh;
    BuildUnitCube(mesh);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.GetCount(), 24);
    EXPECT_EQ(CountBorderEdges(mesh), 0);
    EXPECT_EQ(mesh.GetFaceCounter(), 6);
    std::set<dgInt32> faces;
    dgEdgeKey previous = -1;
    for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr; node = dgHalfEdgeMesh::GetNext(node)) {
        ASSERT_NE(node->m_twin, nullptr);
        EXPECT_EQ(node->m_twin->m_twin, node);
        EXPECT_EQ(node->GetKey(), dgMakeEdgeKey(node->m_origin, node->m_next->m_origin));
        EXPECT_GT(node->GetKey(), previous);
        previous = node->GetKey();
        faces.insert(node->m_face);
    }
    EXPECT_EQ(faces, (std::set<dgInt32>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(mesh.CountFaces(), 6);
    EXPECT_EQ(mesh.CountOpenRings(), 0);
    EXPECT_EQ(mesh.VertexIndexLimit(), 8);
}

TEST(dgHalfEdgeMeshBuild, AddFaceReturnsTheEdgeFromTheFirstIndexAndKeepsUserValuesPerOrigin) {
    dgHalfEdgeMesh mesh;
    const dgInt32 indices[4] = {10, 11, 12, 13};
    const dgUnsigned64 users[4] = {100, 111, 122, 133};
    dgHalfEdge* edge = mesh.AddFaceWithUserData(4, indices, users);
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(edge->m_origin, 10);
    EXPECT_EQ(edge->m_next->m_origin, 11);
    EXPECT_EQ(edge->m_face, 1);
    for (dgInt32 i = 0; i < 4; i++) {
        EXPECT_EQ(mesh.FindEdge(indices[i], indices[(i + 1) % 4])->m_userValue, users[i]);
    }
}

TEST(dgHalfEdgeMeshBuild, LoneTriangleGetsABorderRingRunningTheOtherWay) {
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    dgHalfEdge* face = mesh.AddTriangle(0, 1, 2);
    mesh.EndFace();
    ASSERT_NE(face, nullptr);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.GetCount(), 6);
    EXPECT_EQ(CountBorderEdges(mesh), 3);
    dgHalfEdge* border = mesh.FindEdge(1, 0);
    ASSERT_NE(border, nullptr);
    EXPECT_EQ(border->m_face, -1);
    EXPECT_EQ(RingOrigins(border), (std::vector<dgInt32>{1, 0, 2}));
    EXPECT_EQ(border->m_prev->m_origin, 2);
    EXPECT_EQ(mesh.CountFaces(), 1);
    EXPECT_EQ(mesh.CountOpenRings(), 1);
}

TEST(dgHalfEdgeMeshBuild, RefusedFacesChangeNothing) {
    dgHalfEdgeMesh mesh;
    ASSERT_NE(mesh.AddTriangle(0, 1, 2), nullptr);
    EXPECT_EQ(mesh.AddTriangle(0, 1, 2), nullptr); // same directed edges
    EXPECT_EQ(mesh.AddTriangle(2, 0, 1), nullptr);
    const dgInt32 repeatedPair[4] = {3, 4, 3, 5};
    EXPECT_EQ(mesh.AddFace(4, repeatedPair), nullptr);
    EXPECT_EQ(mesh.AddTriangle(3, 3, 4), nullptr);
    EXPECT_EQ(mesh.AddTriangle(1, 2, 7), nullptr); // 1 -> 2 belongs to the first face
    EXPECT_EQ(mesh.GetFaceCounter(), 1);

    // Sharing 1-2 the other way round is the neighbour; the same way round is refused.
    EXPECT_NE(mesh.AddTriangle(2, 1, 3), nullptr);
    EXPECT_EQ(mesh.AddTriangle(1, 2, 4), nullptr);
    EXPECT_EQ(mesh.GetFaceCounter(), 2);
    EXPECT_EQ(mesh.GetCount(), 6);
    mesh.EndFace();
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.FindEdge(1, 2)->m_twin, mesh.FindEdge(2, 1));
}

TEST(dgHalfEdgeMeshBuild, CountAndIndicesAreCheckedBeforeAnyRead) {
    dgHalfEdgeMesh mesh;
    const dgInt32 indices[3] = {0, 1, 2};
    EXPECT_EQ(mesh.AddFace(0, indices), nullptr);
    EXPECT_EQ(mesh.AddFace(-4, indices), nullptr);
    EXPECT_EQ(mesh.AddFace(2, indices), nullptr);
    EXPECT_EQ(mesh.AddFace(3, nullptr), nullptr);
    EXPECT_EQ(mesh.AddFaceWithUserData(3, indices, nullptr), nullptr);
    EXPECT_EQ(mesh.AddTriangle(0, -1, 2), nullptr);
    EXPECT_EQ(mesh.AddHalfEdge(-3, 2), nullptr);

    std::vector<dgInt32> big(dgHalfEdgeMesh::kMaxFaceVertices + 1);
    for (size_t i = 0; i < big.size(); i++) {
        big[i] = static_cast<dgInt32>(i);
    }
    EXPECT_EQ(mesh.AddFace(static_cast<dgInt32>(big.size()), big.data()), nullptr);
    EXPECT_EQ(mesh.GetCount(), 0);
    EXPECT_EQ(mesh.GetFaceCounter(), 0);
    EXPECT_NE(mesh.AddFace(dgHalfEdgeMesh::kMaxFaceVertices, big.data()), nullptr);
    mesh.EndFace();
    EXPECT_EQ(mesh.GetCount(), 2 * dgHalfEdgeMesh::kMaxFaceVertices);
    EXPECT_TRUE(mesh.IsValid());
}

TEST(dgHalfEdgeMeshBuild, LoneHalfEdgesAreUniqueAndEndFaceTakesTheirDestinationFromTheKey) {
    dgHalfEdgeMesh mesh;
    dgHalfEdge* first = mesh.AddHalfEdge(3, 5);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_face, -1);
    EXPECT_EQ(mesh.AddHalfEdge(3, 5), nullptr);
    EXPECT_EQ(mesh.GetCount(), 1);

    // A lone edge next to a face: EndFace must not read its (missing) next.
    mesh.AddTriangle(0, 1, 2);
    dgHalfEdge* lone = mesh.AddHalfEdge(2, 1);
    mesh.EndFace();
    EXPECT_EQ(lone->m_twin, mesh.FindEdge(1, 2));
    ASSERT_NE(first->m_twin, nullptr);
    EXPECT_EQ(first->m_twin->m_origin, 5);
    EXPECT_EQ(mesh.FindEdge(5, 3), first->m_twin);
}

TEST(dgHalfEdgeMeshBuild, StackAllocatedScratchMeshHoldsOneFace) {
    dgStackMemoryAllocator stack;
    {
        dgHalfEdgeMesh mesh;
        mesh.SetNodeAllocator(&stack);
        const dgInt32 indices[6] = {0, 1, 2, 3, 4, 5};
        mesh.AddFace(6, indices);
        mesh.EndFace();
        EXPECT_TRUE(mesh.IsValid());
        EXPECT_EQ(mesh.GetCount(), 12);
    }
    EXPECT_EQ(stack.GetOverflowCount(), 0);
}

TEST(dgHalfEdgeMeshLookup, FindVertexEdgeYieldsAnEdgeLeavingTheVertex) {
    dgHalfEdgeMesh mesh;
    BuildUnitCube(mesh);
    for (dgInt32 v = 0; v < 8; v++) {
        dgHalfEdge* edge = mesh.FindVertexEdge(v);
        ASSERT_NE(edge, nullptr);
        EXPECT_EQ(edge->m_origin, v);
    }
    EXPECT_EQ(mesh.FindVertexEdge(8), nullptr);
    EXPECT_EQ(mesh.FindVertexEdge(100), nullptr);
    EXPECT_EQ(mesh.FindGreaterEqual(dgMakeEdgeKey(0, 100)), nullptr);
    EXPECT_EQ(mesh.FindGreaterEqual(dgMakeEdgeKey(0, 0)), mesh.GetFirst());
    EXPECT_EQ(mesh.FindGreaterEqual(mesh.GetLast()->GetKey()), mesh.GetLast());
}

TEST(dgHalfEdgeMeshLookup, DeleteEdgeJoinsTheTwoFacesIntoOneRing) {
    dgHalfEdgeMesh mesh;
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(0, 2, 3);
    mesh.EndFace();
    mesh.DeleteEdge(0, 2);
    EXPECT_EQ(mesh.GetCount(), 8);
    EXPECT_EQ(mesh.FindEdge(2, 0), nullptr);
    dgHalfEdge* edge = mesh.FindEdge(0, 1);
    EXPECT_EQ(RingOrigins(edge), (std::vector<dgInt32>{0, 1, 2, 3}));
    EXPECT_FALSE(mesh.IsValid()); // the joined ring still carries two face numbers
    for (dgHalfEdge* ptr : {edge, edge->m_next, edge->m_next->m_next, edge->m_prev}) {
        ptr->m_face = 1;
    }
    EXPECT_TRUE(mesh.IsValid());
    mesh.DeleteEdge(7, 9); // absent: nothing happens
    EXPECT_EQ(mesh.GetCount(), 8);
}

TEST(dgHalfEdgeMeshLookup, DeleteFaceOfAClosedCubeLeavesAHoleThenRemovesSharedEdges) {
    dgHalfEdgeMesh mesh;
    BuildUnitCube(mesh);
    dgHalfEdge* top = mesh.FindEdge(6, 2);
    ASSERT_EQ(top->m_face, 6);
    mesh.DeleteFace(top);
    EXPECT_EQ(mesh.GetCount(), 24);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(CountBorderEdges(mesh), 4);
    EXPECT_EQ(RingOrigins(top).size(), 4u);
    EXPECT_EQ(mesh.CountFaces(), 5);
    EXPECT_EQ(mesh.CountOpenRings(), 1);

    // Face (0, 1, 3, 2) shares the edge 2-3 with the hole: that pair goes.
    mesh.DeleteFace(mesh.FindEdge(0, 1));
    EXPECT_EQ(mesh.GetCount(), 22);
    EXPECT_EQ(mesh.FindEdge(2, 3), nullptr);
    EXPECT_TRUE(mesh.IsValid());
    mesh.DeleteFace(mesh.FindEdge(1, 0));
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.CountFaces(), 3);
}

TEST(dgHalfEdgeMeshTree, ReplaceEdgeKeyOntoAnExistingKeyIsRefusedAndKeepsTheNode) {
    dgHalfEdgeMesh mesh;
    BuildUnitCube(mesh);
    dgHalfEdgeNode* node = dgHalfEdgeNode::Of(mesh.FindEdge(0, 4));
    const dgEdgeKey taken = dgMakeEdgeKey(4, 5);
    EXPECT_EQ(mesh.ReplaceEdgeKey(node, taken), nullptr);
    EXPECT_TRUE(node->IsInTree());
    EXPECT_EQ(mesh.GetCount(), 24);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.ReplaceEdgeKey(node, node->GetKey()), node);

    // A free key moves the node; moving it back restores the mesh.
    const dgEdgeKey original = node->GetKey();
    EXPECT_EQ(mesh.ReplaceEdgeKey(node, dgMakeEdgeKey(40, 50)), node);
    EXPECT_EQ(mesh.Find(dgMakeEdgeKey(40, 50)), node);
    EXPECT_EQ(mesh.Find(original), nullptr);
    EXPECT_EQ(mesh.GetCount(), 24);
    EXPECT_TRUE(mesh.IsValidTree());
    EXPECT_EQ(mesh.ReplaceEdgeKey(node, original), node);
    EXPECT_TRUE(mesh.IsValid());
}

TEST(dgHalfEdgeMeshTree, InsertEdgeNodeRelinksARemovedNodeWithItsMarkSet) {
    dgHalfEdgeMesh mesh;
    BuildUnitCube(mesh);
    dgHalfEdgeNode* node = dgHalfEdgeNode::Of(mesh.FindEdge(0, 4));
    const dgEdgeKey key = node->GetKey();
    node->AddRef();
    mesh.RemoveNode(node);
    EXPECT_FALSE(node->IsMarked());
    EXPECT_EQ(mesh.InsertEdgeNode(node, dgMakeEdgeKey(4, 5)), nullptr); // taken
    EXPECT_EQ(mesh.InsertEdgeNode(node, key), node);
    EXPECT_TRUE(node->IsMarked());
    EXPECT_TRUE(node->IsInTree());
    EXPECT_EQ(node->GetRefCount(), 2);
    dgRefRelease(node);
    EXPECT_TRUE(mesh.IsValid());

    bool existed = false;
    dgHalfEdge record;
    EXPECT_EQ(mesh.InsertEdge(record, key, existed), node);
    EXPECT_TRUE(existed);
}

// Random subsets of a triangle grid, added in random order, then torn down face by face: the
// consistency check holds after every step, and the half-edge count matches a count from scratch.
TEST(dgHalfEdgeMeshProperty, RandomGridBuildsAndDeletionsStayValid) {
    const dgInt32 n = 7;
    const std::vector<dgInt32> triangles = GridTriangles(n);
    const dgInt32 triangleCount = static_cast<dgInt32>(triangles.size() / 3);
    for (unsigned seed = 1; seed <= 30; seed++) {
        std::mt19937 rng(seed);
        std::vector<dgInt32> order(triangleCount);
        for (dgInt32 i = 0; i < triangleCount; i++) {
            order[i] = i;
        }
        std::shuffle(order.begin(), order.end(), rng);
        order.resize(std::uniform_int_distribution<size_t>(1, order.size())(rng));

        dgHalfEdgeMesh mesh;
        mesh.BeginFace();
        for (dgInt32 t : order) {
            ASSERT_NE(mesh.AddTriangle(triangles[3 * t], triangles[3 * t + 1], triangles[3 * t + 2]),
                      nullptr);
        }
        mesh.EndFace();
        ASSERT_TRUE(mesh.IsValid()) << "seed " << seed;
        EXPECT_EQ(mesh.CountFaces(), static_cast<dgInt32>(order.size()));

        while (mesh.GetCount() > 0) {
            std::vector<dgHalfEdge*> faceEdges;
            for (dgHalfEdgeNode* node = mesh.GetFirst(); node != nullptr;
                 node = dgHalfEdgeMesh::GetNext(node)) {
                if (node->m_face > 0) {
                    faceEdges.push_back(node);
                }
            }
            ASSERT_FALSE(faceEdges.empty()) << "only borders left, seed " << seed;
            const dgInt32 facesBefore = mesh.CountFaces();
            mesh.DeleteFace(faceEdges[std::uniform_int_distribution<size_t>(0, faceEdges.size() - 1)(rng)]);
            ASSERT_TRUE(mesh.IsValid()) << "seed " << seed;
            ASSERT_EQ(mesh.CountFaces(), facesBefore - 1);
        }
    }
}
