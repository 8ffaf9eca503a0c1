#include "physics/core/dgHalfEdgeMesh.h"

#include "MeshPassHelpers.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

// Each face of the mesh as its ring turned to start at the lowest index.
std::multiset<std::vector<dgInt32>> FaceRings(const dgHalfEdgeMesh& mesh) {
    std::multiset<std::vector<dgInt32>> rings;
    for (const dgHalfEdge* face : FaceEdges(mesh)) {
        std::vector<dgInt32> ring = RingOrigins(face);
        std::rotate(ring.begin(), std::min_element(ring.begin(), ring.end()), ring.end());
        rings.insert(ring);
    }
    return rings;
}

// Splits the ordered output back into rings of the given sizes, each turned to its lowest index.
std::multiset<std::vector<dgInt32>> Split(const std::vector<dgInt32>& indices, std::size_t ringSize) {
    std::multiset<std::vector<dgInt32>> rings;
    for (std::size_t i = 0; i + ringSize <= indices.size(); i += ringSize) {
        std::vector<dgInt32> ring(indices.begin() + static_cast<std::ptrdiff_t>(i),
                                  indices.begin() + static_cast<std::ptrdiff_t>(i + ringSize));
        std::rotate(ring.begin(), std::min_element(ring.begin(), ring.end()), ring.end());
        rings.insert(ring);
    }
    return rings;
}

} // namespace

TEST(dgHalfEdgeMeshOrder, SingleTriangleStartsAtTheFirstHalfEdgeOfItsLowestVertex) {
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    ASSERT_NE(mesh.AddTriangle(5, 6, 7), nullptr);
    mesh.EndFace();
    EXPECT_EQ(mesh.OrderFaces(), (std::vector<dgInt32>{5, 6, 7}));
    EXPECT_TRUE(mesh.IsValid());
}

TEST(dgHalfEdgeMeshOrder, TwoTrianglesSharingAnEdgeAreWrittenOneAfterTheOther) {
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    ASSERT_NE(mesh.AddTriangle(0, 1, 2), nullptr);
    ASSERT_NE(mesh.AddTriangle(2, 1, 3), nullptr);
    mesh.EndFace();
    const std::vector<dgInt32> indices = mesh.OrderFaces();
    ASSERT_EQ(indices.size(), 6u);
    EXPECT_EQ(Split(indices, 3), FaceRings(mesh));
    EXPECT_TRUE(mesh.IsValid());
}

TEST(dgHalfEdgeMeshOrder, EmptyMeshWritesNothing) {
    dgHalfEdgeMesh mesh;
    EXPECT_TRUE(mesh.OrderFaces().empty());
}

TEST(dgHalfEdgeMeshOrder, EveryFaceOfACubeIsWrittenOnceWithItsOwnWinding) {
    dgHalfEdgeMesh cube;
    BuildUnitCube(cube);
    const std::vector<dgInt32> indices = cube.OrderFaces();
    ASSERT_EQ(indices.size(), 24u);
    EXPECT_EQ(Split(indices, 4), FaceRings(cube));
    EXPECT_TRUE(cube.IsValid());
}

TEST(dgHalfEdgeMeshOrder, GridFacesFollowRecentlyUsedVertices) {
    // On a connected grid nearly every face shares a vertex with the 16 most recent ones; only a face
    // left stranded when its neighbours are done starts afresh from the lowest vertex.
    const dgInt32 n = 8;
    const std::vector<dgInt32> triangles = GridTriangles(n);
    dgHalfEdgeMesh grid;
    grid.BeginFace();
    for (std::size_t i = 0; i < triangles.size(); i += 3) {
        ASSERT_NE(grid.AddTriangle(triangles[i], triangles[i + 1], triangles[i + 2]), nullptr);
    }
    grid.EndFace();
    const std::vector<dgInt32> indices = grid.OrderFaces();
    ASSERT_EQ(indices.size(), triangles.size());
    EXPECT_EQ(Split(indices, 3), FaceRings(grid));

    std::vector<dgInt32> recent;
    dgInt32 jumps = 0;
    for (std::size_t i = 0; i < indices.size(); i += 3) {
        if (i > 0) {
            const bool shares = std::find(recent.begin(), recent.end(), indices[i]) != recent.end() ||
                                std::find(recent.begin(), recent.end(), indices[i + 1]) != recent.end() ||
                                std::find(recent.begin(), recent.end(), indices[i + 2]) != recent.end();
            jumps += shares ? 0 : 1;
        }
        for (std::size_t k = i; k < i + 3; k++) {
            if (std::find(recent.begin(), recent.end(), indices[k]) == recent.end()) {
                recent.insert(recent.begin(), indices[k]);
                if (recent.size() > 16) {
                    recent.pop_back();
                }
            }
        }
    }
    EXPECT_LE(jumps, n / 4);
    EXPECT_TRUE(grid.IsValid());
}
