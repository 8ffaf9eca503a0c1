#include "physics/collision/dgPolygonSoupBuilder.h"

#include "physics/core/dgHalfEdgeMesh.h"

#include "SoupTestFaces.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr dgFloat64 kAreaTol = 1.0e-3;

struct Face {
    dgInt32 m_attribute;
    std::vector<dgInt32> m_indices;
};

std::vector<Face> FacesOf(const dgPolygonSoupBuilder& builder) {
    std::vector<Face> faces;
    const dgInt32* words = builder.GetIndices();
    for (dgInt32 f = 0; f < builder.GetFaceCount(); f++) {
        const dgInt32 entry = builder.GetFaceEntries()[f];
        faces.push_back({words[0], std::vector<dgInt32>(words + 1, words + entry)});
        words += entry;
    }
    return faces;
}

dgFloat64 TotalArea(const dgPolygonSoupBuilder& builder) {
    dgFloat64 area = 0.0;
    for (const Face& face : FacesOf(builder)) {
        area += PolygonArea(builder.GetVertices(), face.m_indices.data(), static_cast<dgInt32>(face.m_indices.size()));
    }
    return area;
}

// Every corner turns the same way about the face's normal.
bool IsConvex(const dgPolygonSoupBuilder& builder, const Face& face) {
    const dgInt32 n = static_cast<dgInt32>(face.m_indices.size());
    auto at = [&](dgInt32 i) { return dgVector(builder.GetVertices() + 3 * face.m_indices[(i + n) % n]); };
    dgVector normal;
    for (dgInt32 i = 1; i + 1 < n; i++) {
        normal = normal.Add(at(i).Sub(at(0)).CrossProduct(at(i + 1).Sub(at(0))));
    }
    for (dgInt32 i = 0; i < n; i++) {
        if (at(i).Sub(at(i - 1)).CrossProduct(at(i + 1).Sub(at(i))).DotProduct(normal) <= 0.0f) {
            return false;
        }
    }
    return true;
}

// An n x n grid of unit squares on z = 0, one quad face each, all with attribute 5.
SoupFaces FlatGrid(dgInt32 n) {
    SoupFaces faces;
    for (dgInt32 j = 0; j < n; j++) {
        for (dgInt32 i = 0; i < n; i++) {
            const auto x = static_cast<dgFloat32>(i);
            const auto y = static_cast<dgFloat32>(j);
            faces.Add({P(x, y, 0), P(x + 1, y, 0), P(x + 1, y + 1, 0), P(x, y + 1, 0)}, 5);
        }
    }
    return faces;
}

} // namespace

TEST(dgPolygonSoupBuilder, FaceCleanUpDropsRepeatsAndStraightCorners) {
    dgPolygonSoupBuilder builder;
    builder.Begin();
    SoupFaces faces;
    faces.Add({P(0, 0, 0), P(1, 0, 0), P(1, 1, 0), P(0, 1, 0), P(0, 0, 0)}, 1);       // corner repeated
    faces.Add({P(0, 0, 1), P(1, 0, 1), P(2, 0, 1), P(3, 0, 1)}, 2);                   // all on a line
    faces.Add({P(0, 0, 2), P(1, 0, 2), P(2, 0, 2), P(2, 2, 2), P(0, 2, 2)}, 3);       // straight corner
    faces.Add({P(0, 0, 3), P(0, 0, 3.0001f), P(0, 0, 3.0002f)}, 4);                   // all within 1e-3
    ASSERT_TRUE(faces.AddTo(builder));
    const std::vector<Face> out = FacesOf(builder);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].m_attribute, 1);
    EXPECT_EQ(out[0].m_indices, (std::vector<dgInt32>{0, 1, 2, 3}));
    EXPECT_EQ(out[1].m_attribute, 3);
    EXPECT_EQ(out[1].m_indices, (std::vector<dgInt32>{9, 11, 12, 13}));
}

TEST(dgPolygonSoupBuilder, BadInputIsRefusedOrSkipped) {
    dgPolygonSoupBuilder builder;
    builder.Begin();
    const dgFloat32 vertices[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const dgInt32 counts[] = {3, 3};
    const dgInt32 indices[] = {0, 1, 2, 0, 1, 3};
    const dgInt32 attributes[] = {1, 2};
    EXPECT_FALSE(builder.AddMesh(vertices, 3, 8, 1, counts, indices, attributes, dgGetIdentityMatrix()));
    EXPECT_FALSE(builder.AddMesh(nullptr, 3, 12, 1, counts, indices, attributes, dgGetIdentityMatrix()));
    EXPECT_FALSE(builder.AddMesh(vertices, -1, 12, 0, counts, indices, attributes, dgGetIdentityMatrix()));
    const dgFloat32 nan[] = {0, 0, 0, 1, 0, 0, 0, std::nanf(""), 0};
    EXPECT_FALSE(builder.AddMesh(nan, 3, 12, 1, counts, indices, attributes, dgGetIdentityMatrix()));
    EXPECT_EQ(builder.GetVertexCount(), 0);
    // The second face names vertex 3 of three: it is skipped, the first stays.
    EXPECT_TRUE(builder.AddMesh(vertices, 3, 12, 2, counts, indices, attributes, dgGetIdentityMatrix()));
    EXPECT_EQ(builder.GetFaceCount(), 1);
}

TEST(dgPolygonSoupBuilder, EndDoublesASingleFaceSoTheTreeBuilds) {
    SoupFaces faces;
    faces.Add({P(0, 0, 0), P(1, 0, 0), P(0, 1, 0)}, 8);
    dgPolygonSoupBuilder builder;
    builder.Begin();
    faces.AddTo(builder);
    builder.End();
    ASSERT_EQ(builder.GetFaceCount(), 2);
    EXPECT_EQ(FacesOf(builder)[1].m_attribute, 8);
    EXPECT_EQ(FacesOf(builder)[1].m_indices, FacesOf(builder)[0].m_indices);
    auto* soup = new dgDoublePlaneBSPPolygonSoup();
    EXPECT_TRUE(soup->BuildSoupTree(builder));
    EXPECT_EQ(soup->CountNodes(), 1);
    dgRefRelease(soup);
}

TEST(dgPolygonSoupBuilder, VertexPassWeldsWithinAThousandth) {
    for (const auto& [gap, welded] : {std::pair{0.0005f, true}, std::pair{0.002f, false}}) {
        SoupFaces faces;
        faces.Add({P(0, 0, 0), P(1, 0, 0), P(0, 1, 0)}, 1);
        faces.Add({P(1 + gap, 0, 0), P(1, 1, 0), P(0, 1 + gap, 0)}, 1);
        dgPolygonSoupBuilder builder;
        builder.Begin();
        faces.AddTo(builder);
        builder.Optimize(false);
        EXPECT_EQ(builder.GetVertexCount(), welded ? 4 : 6) << gap;
        EXPECT_EQ(builder.GetFaceCount(), 2);
    }
}

TEST(dgPolygonSoupBuilder, LShapedFaceBecomesConvexPiecesOfEqualArea) {
    SoupFaces faces;
    faces.Add({P(0, 0, 0), P(2, 0, 0), P(2, 1, 0), P(1, 1, 0), P(1, 2, 0), P(0, 2, 0)}, 4);
    dgPolygonSoupBuilder builder;
    builder.Begin();
    faces.AddTo(builder);
    ASSERT_GE(builder.GetFaceCount(), 2);
    for (const Face& face : FacesOf(builder)) {
        EXPECT_EQ(face.m_attribute, 4);
        EXPECT_TRUE(IsConvex(builder, face));
    }
    EXPECT_NEAR(TotalArea(builder), 3.0, kAreaTol);
}

TEST(dgPolygonSoupBuilder, FacesBeyondSixtyFourVerticesAreCutIntoConvexPieces) {
    // A regular 200-gon of radius 10 (larger than a leaf's 127).
    std::vector<dgVector> ring;
    for (dgInt32 i = 0; i < 200; i++) {
        const dgFloat32 a = 6.2831853f * static_cast<dgFloat32>(i) / 200.0f;
        ring.push_back(P(10.0f * std::cos(a), 10.0f * std::sin(a), 0));
    }
    SoupFaces faces;
    faces.Add(ring, 6);
    dgPolygonSoupBuilder builder;
    builder.Begin();
    faces.AddTo(builder);
    dgFloat64 area = 0.0;
    for (const Face& face : FacesOf(builder)) {
        EXPECT_LE(face.m_indices.size(), 64u);
        EXPECT_TRUE(IsConvex(builder, face));
        area += PolygonArea(builder.GetVertices(), face.m_indices.data(), static_cast<dgInt32>(face.m_indices.size()));
    }
    EXPECT_EQ(builder.GetFaceCount(), 4); // 198 fan triangles in pieces of at most 62
    EXPECT_NEAR(area, 0.5 * 200 * 100 * std::sin(6.283185307 / 200), 1e-2);
    auto* soup = new dgDoublePlaneBSPPolygonSoup();
    EXPECT_TRUE(soup->BuildSoupTree(builder));
    dgRefRelease(soup);
}

TEST(dgPolygonSoupBuilder, LargeCoplanarGridMergesIntoFewFacesOfEqualArea) {
    // 10000 faces: optimised in halves, each half's merge mesh far beyond the stack allocator's buffer.
    const SoupFaces grid = FlatGrid(100);
    dgPolygonSoupBuilder builder;
    builder.Begin();
    grid.AddTo(builder);
    builder.Optimize(true);
    EXPECT_LT(builder.GetFaceCount(), 200);
    EXPECT_GT(builder.GetFaceCount(), 0);
    EXPECT_NEAR(TotalArea(builder), 10000.0, 0.5);
    for (const Face& face : FacesOf(builder)) {
        EXPECT_EQ(face.m_attribute, 5);
        EXPECT_LE(face.m_indices.size(), 64u);
    }
}

TEST(dgPolygonSoupBuilder, MergeKeepsAttributesApartAndLosesNoFace) {
    // Two attributes on one plane, and a face repeated so the merge mesh refuses its copy.
    SoupFaces faces = FlatGrid(4);
    faces.Add({P(10, 0, 0), P(11, 0, 0), P(11, 1, 0)}, 9);
    faces.Add({P(10, 0, 0), P(11, 0, 0), P(11, 1, 0)}, 9);
    dgPolygonSoupBuilder builder;
    builder.Begin();
    faces.AddTo(builder);
    builder.Optimize(true);
    dgFloat64 areas[2] = {0.0, 0.0};
    for (const Face& face : FacesOf(builder)) {
        ASSERT_TRUE(face.m_attribute == 5 || face.m_attribute == 9);
        areas[face.m_attribute == 9] +=
            PolygonArea(builder.GetVertices(), face.m_indices.data(), static_cast<dgInt32>(face.m_indices.size()));
    }
    EXPECT_NEAR(areas[0], 16.0, kAreaTol);
    EXPECT_NEAR(areas[1], 1.0, kAreaTol);
}

TEST(dgPolygonSoupBuilder, LargeSetWithCoincidentCentresStopsSplitting) {
    // 5000 copies of one face: every centre equals the split value, so a half would never shrink.
    SoupFaces faces;
    for (dgInt32 i = 0; i < 5000; i++) {
        faces.Add({P(0, 0, 0), P(1, 0, 0), P(0, 1, 0)}, 2);
    }
    dgPolygonSoupBuilder builder;
    builder.Begin();
    faces.AddTo(builder);
    builder.Optimize(true);
    EXPECT_EQ(builder.GetFaceCount(), 5000);
    EXPECT_EQ(builder.GetVertexCount(), 3);
}

TEST(dgPolygonSoupBuilder, AddFaceRemovingRepeatsDropsLaterRepeats) {
    dgHalfEdgeMesh mesh;
    dgInt32 indices[] = {0, 1, 2, 1, 3};
    EXPECT_EQ(dgAddFaceRemovingRepeats(mesh, 5, indices), 4);
    EXPECT_EQ(indices[3], 3);
    dgHalfEdgeMesh other;
    dgInt32 line[] = {0, 1, 0};
    EXPECT_EQ(dgAddFaceRemovingRepeats(other, 3, line), 0);
}

TEST(dgPolygonSoupBuilder, BuildPastTheLeafOffsetRangeIsRefused) {
    // 260000 faces of 64 vertices over one shared ring: 67 words a face pass 2^24 index words.
    std::vector<dgFloat32> vertices;
    for (dgInt32 i = 0; i < 64; i++) {
        const dgFloat32 a = 6.2831853f * static_cast<dgFloat32>(i) / 64.0f;
        vertices.insert(vertices.end(), {std::cos(a), std::sin(a), 0.0f});
    }
    const dgInt32 faceCount = 260000;
    std::vector<dgInt32> counts(faceCount, 64);
    std::vector<dgInt32> attributes(faceCount, 1);
    std::vector<dgInt32> indices(static_cast<std::size_t>(faceCount) * 64);
    for (std::size_t i = 0; i < indices.size(); i++) {
        indices[i] = static_cast<dgInt32>(i % 64);
    }
    dgPolygonSoupBuilder builder;
    builder.Begin();
    ASSERT_TRUE(builder.AddMesh(vertices.data(), 64, 12, faceCount, counts.data(), indices.data(), attributes.data(),
                                dgGetIdentityMatrix()));
    ASSERT_EQ(builder.GetFaceCount(), faceCount);
    auto* soup = new dgDoublePlaneBSPPolygonSoup();
    EXPECT_FALSE(soup->BuildSoupTree(builder));
    EXPECT_EQ(soup->GetNodes(), nullptr);
    EXPECT_EQ(soup->GetIndexCount(), 0);
    dgRefRelease(soup);
}
