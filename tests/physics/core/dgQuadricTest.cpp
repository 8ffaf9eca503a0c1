#include "physics/core/dgHalfEdgeMesh.h"
#include "physics/core/dgQuadric.h"

#include "support/RandomGeometry.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr dgFloat64 kDoubleTol = 1.0e-12;

std::vector<dgFloat32> Points(std::initializer_list<dgFloat32> xyz) {
    return std::vector<dgFloat32>(xyz);
}

} // namespace

TEST(dgPlaneDouble, TrianglePlaneIsTheUnitPlaneOfTheCounterClockwiseSide) {
    const auto p = Points({0, 0, 0, 1, 0, 0, 0, 1, 0, 3, 3, 3});
    const dgVertexView view = dgVertexView::InFloats(p.data(), 3);
    const dgPlaneDouble plane = TrianglePlane(0, 1, 2, view);
    EXPECT_NEAR(plane.x, 0.0, kDoubleTol);
    EXPECT_NEAR(plane.y, 0.0, kDoubleTol);
    EXPECT_NEAR(plane.z, 1.0, kDoubleTol);
    EXPECT_NEAR(plane.w, 0.0, kDoubleTol);
    EXPECT_NEAR(plane.Evaluate(view.PointDouble(3)), 3.0, kDoubleTol);

    const dgPlaneDouble degenerate = TrianglePlane(3, 3, 3, view);
    EXPECT_EQ(degenerate.x, 0.0);
    EXPECT_EQ(degenerate.y, 0.0);
    EXPECT_EQ(degenerate.z, 0.0);
    EXPECT_EQ(degenerate.w, 0.0);
}

TEST(dgPlaneDouble, BoundaryPlaneContainsTheEdgeStandsOnTheFaceAndHasLengthTen) {
    const auto p = Points({0, 0, 0, 1, 0, 0, 0, 1, 0});
    const dgPlaneDouble plane = BoundaryPlane(0, 1, 2, dgVertexView::InFloats(p.data(), 3));
    EXPECT_NEAR(plane.x, 0.0, kDoubleTol);
    EXPECT_NEAR(std::fabs(plane.y), 10.0, kDoubleTol);
    EXPECT_NEAR(plane.z, 0.0, kDoubleTol);
    EXPECT_NEAR(plane.w, 0.0, kDoubleTol);
}

TEST(dgHalfEdgeMeshNormal, FanSumIsTwiceTheAreaForAnyPlanarRing) {
    // Square in z = 0 with four floats per vertex, and an L-shaped hexagon (area 3) in x = 2.
    const auto square = Points({0, 0, 0, 9, 1, 0, 0, 9, 1, 1, 0, 9, 0, 1, 0, 9});
    dgHalfEdgeMesh mesh;
    const dgInt32 quad[4] = {0, 1, 2, 3};
    dgHalfEdge* edge = mesh.AddFace(4, quad);
    const dgVectorDouble n =
        dgHalfEdgeMesh::CalcFaceNormalDouble(edge, dgVertexView::InFloats(square.data(), 4));
    EXPECT_EQ(n.x, 0.0);
    EXPECT_EQ(n.y, 0.0);
    EXPECT_EQ(n.z, 2.0);
    EXPECT_EQ(n.w, 0.0);
    const dgVector f = dgHalfEdgeMesh::CalcFaceNormal(edge, dgVertexView::InBytes(square.data(), 16));
    EXPECT_EQ(f.z, 2.0f);
    EXPECT_EQ(f.w, 0.0f);

    const auto ell = Points({2, 0, 0, 2, 2, 0, 2, 2, 1, 2, 1, 1, 2, 1, 2, 2, 0, 2});
    const dgInt32 hexagon[6] = {10, 11, 12, 13, 14, 15};
    std::vector<dgFloat32> shifted(10 * 3, 0.0f);
    shifted.insert(shifted.end(), ell.begin(), ell.end());
    dgHalfEdge* notch = mesh.AddFace(6, hexagon);
    // Seen from +x the ring runs counter-clockwise, so the normal is +x with length 2 x area.
    const dgVectorDouble m = dgHalfEdgeMesh::CalcFaceNormalDouble(notch->m_next->m_next,
                                                                  dgVertexView::InFloats(shifted.data(), 3));
    EXPECT_NEAR(m.x, 6.0, kDoubleTol);
    EXPECT_NEAR(m.y, 0.0, kDoubleTol);
    EXPECT_NEAR(m.z, 0.0, kDoubleTol);
}

TEST(dgQuadric, EvaluatesToTheSquaredDistanceOfItsPlane) {
    const dgQuadric q = dgQuadric::FromPlane(dgPlaneDouble(dgVectorDouble(0, 0, 1, 0), -2.0));
    const dgFloat32 above[3] = {5, 7, 3};
    const dgFloat32 on[3] = {5, 7, 2};
    EXPECT_DOUBLE_EQ(q.Evaluate(above), 1.0);
    EXPECT_DOUBLE_EQ(q.Evaluate(on), 0.0);
    dgQuadric cleared = q;
    cleared.Clear();
    EXPECT_EQ(cleared.Evaluate(above), 0.0);
}

// The sum of many planes' forms, built with AddPlane and with Add, is the sum of squared distances.
TEST(dgQuadric, SumOfFormsEqualsSumOfSquaredDistances) {
    RandomGeometry random(11);
    for (dgInt32 trial = 0; trial < 50; trial++) {
        dgQuadric byPlanes;
        dgQuadric byForms;
        std::vector<dgPlaneDouble> planes;
        for (dgInt32 i = 0; i < 6; i++) {
            const dgVector n = random.UnitVector();
            const dgPlaneDouble plane(dgVectorDouble(n.x, n.y, n.z, 0.0), random.Float(-5.0f, 5.0f));
            planes.push_back(plane);
            byPlanes.AddPlane(plane);
            byForms.Add(dgQuadric::FromPlane(plane));
        }
        const dgVector p = random.Point(-10.0f, 10.0f);
        const dgFloat32 xyz[3] = {p.x, p.y, p.z};
        dgFloat64 expected = 0.0;
        for (const dgPlaneDouble& plane : planes) {
            const dgFloat64 d = plane.Evaluate(dgVectorDouble(p));
            expected += d * d;
        }
        EXPECT_NEAR(byPlanes.Evaluate(xyz), expected, 1.0e-9 * (1.0 + expected));
        EXPECT_NEAR(byForms.Evaluate(xyz), expected, 1.0e-9 * (1.0 + expected));
    }
}

TEST(dgQuadric, VertexQuadricOfACubeCornerSumsItsThreeFacePlanes) {
    const std::vector<dgFloat32> vertices = UnitCubeVertices();
    const dgVertexView view = dgVertexView::InFloats(vertices.data(), 3);
    dgHalfEdgeMesh mesh;
    mesh.BeginFace();
    // Triangulated cube: each quad cut along its first diagonal.
    for (const auto& quad : kUnitCubeQuads) {
        mesh.AddTriangle(quad[0], quad[1], quad[2]);
        mesh.AddTriangle(quad[0], quad[2], quad[3]);
    }
    mesh.EndFace();
    ASSERT_TRUE(mesh.IsValid());
    std::vector<dgQuadric> quadrics(8);
    VertexQuadric(quadrics.data(), view, mesh.FindVertexEdge(0));
    // Corner 0 meets the planes x = 0, y = 0, z = 0, the first two twice (two triangles each at 0).
    RandomGeometry random(3);
    for (dgInt32 i = 0; i < 10; i++) {
        const dgVector p = random.Point(-2.0f, 2.0f);
        const dgFloat32 xyz[3] = {p.x, p.y, p.z};
        dgFloat64 expected = 0.0;
        dgHalfEdge* start = mesh.FindVertexEdge(0);
        dgHalfEdge* ptr = start;
        do {
            const dgPlaneDouble plane = TrianglePlane(0, ptr->m_next->m_origin, ptr->m_prev->m_origin, view);
            const dgFloat64 d = plane.Evaluate(dgVectorDouble(p));
            expected += d * d;
            ptr = ptr->m_twin->m_next;
        } while (ptr != start);
        EXPECT_NEAR(quadrics[0].Evaluate(xyz), expected, 1.0e-9 * (1.0 + expected));
    }
    EXPECT_NEAR(quadrics[0].Evaluate(&vertices[0]), 0.0, kDoubleTol);
}

TEST(dgQuadric, BorderCornerIsHeldOnBothBorderLinesWithWeightHundred) {
    const std::vector<dgFloat32> vertices = GridVertices(1);
    const std::vector<dgInt32> triangles = GridTriangles(1);
    dgHalfEdgeMesh mesh;
    mesh.AddTriangle(triangles[0], triangles[1], triangles[2]);
    mesh.AddTriangle(triangles[3], triangles[4], triangles[5]);
    mesh.EndFace();
    std::vector<dgQuadric> quadrics(4);
    VertexQuadric(quadrics.data(), dgVertexView::InFloats(vertices.data(), 3), mesh.FindVertexEdge(0));
    // Two faces in z = 0 and the border lines x = 0 and y = 0 scaled by 10: 2 z² + 100 x² + 100 y².
    const dgFloat32 p[3] = {0.5f, 0.25f, 0.1f};
    const dgFloat64 x = p[0];
    const dgFloat64 y = p[1];
    const dgFloat64 z = p[2];
    EXPECT_NEAR(quadrics[0].Evaluate(p), 2.0 * z * z + 100.0 * x * x + 100.0 * y * y, 1.0e-9);
}
