#include "physics/collision/dgCollisionConvexHull.h"

#include "CollisionTestShapes.h"
#include "ShapeHolder.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

namespace {

ShapePtr<dgCollisionConvexHull> Hull(const std::vector<dgVector>& points) {
    return MakeShape<dgCollisionConvexHull>(0u, static_cast<dgInt32>(points.size()), static_cast<dgInt32>(sizeof(dgVector)),
                                            points.empty() ? nullptr : &points[0].x, dgGetIdentityMatrix());
}

std::vector<dgVector> BoxCorners(dgFloat32 a, dgFloat32 b, dgFloat32 c) {
    std::vector<dgVector> corners;
    for (int i = 0; i < 8; i++) {
        corners.push_back(P((i & 1) ? a * 0.5f : -a * 0.5f, (i & 2) ? b * 0.5f : -b * 0.5f, (i & 4) ? c * 0.5f : -c * 0.5f));
    }
    return corners;
}

// Every half-edge has a twin pointing back, rings close in three steps and faces number V - E/2 + F = 2.
void ExpectClosedTriangleMesh(const dgCollisionConvexHull& hull) {
    const dgConvexSimplexEdge* edges = hull.GetEdges();
    const dgInt32 edgeCount = hull.GetEdgeCount();
    for (dgInt32 i = 0; i < edgeCount; i++) {
        const dgConvexSimplexEdge& e = edges[i];
        ASSERT_NE(e.m_twin, nullptr);
        EXPECT_EQ(e.m_twin->m_twin, &e);
        EXPECT_EQ(e.m_next->m_vertex, e.m_twin->m_vertex);
        EXPECT_EQ(e.m_next->m_next->m_next, &e);
        EXPECT_EQ(e.m_prev->m_next, &e);
    }
    EXPECT_EQ(hull.GetVertexCount() - edgeCount / 2 + hull.GetFaceCount(), 2);
}

// Largest signed distance of point p above any face plane of the hull.
dgFloat32 MaxFaceDistance(const dgCollisionConvexHull& hull, const dgVector& p) {
    const DisplayedFaces faces(hull, dgGetIdentityMatrix());
    dgFloat32 worst = -1.0e10f;
    for (const auto& face : faces.m_faces) {
        const dgPlane plane = dgPlane::FromPolygon(3, face.data());
        worst = std::max(worst, plane.Evaluate(p));
    }
    return worst;
}

} // namespace

TEST(dgCollisionConvexHull, BoxCornersGiveTheBox) {
    const auto hull = Hull(BoxCorners(1.0f, 2.0f, 3.0f));
    ASSERT_FALSE(hull->IsEmpty());
    EXPECT_EQ(hull->GetVertexCount(), 8);
    EXPECT_EQ(hull->GetEdgeCount(), 36);
    EXPECT_EQ(hull->GetFaceCount(), 12);
    ExpectClosedTriangleMesh(*hull);
    // Vertices are de-quantised: a face may sit up to 1 / (2048 scale) inside (1/4096 on x here).
    EXPECT_NEAR(hull->GetVolume(), 6.0f, 6.0f / 4096.0f + 1.0e-4f);
    EXPECT_NEAR(hull->GetCentreAndVolume().w, hull->GetVolume(), 1.0e-5f);
    const DisplayedFaces faces(*hull, dgGetIdentityMatrix());
    ASSERT_EQ(faces.m_faces.size(), 12u);
    for (const auto& face : faces.m_faces) {
        EXPECT_EQ(face.size(), 3u);
    }
    EXPECT_TRUE(VectorNear(hull->SupportVertex(dgVector(1.0f, 1.0f, 1.0f, 0.0f)), P(0.5f, 1.0f, 1.5f), 1.0e-3f));
}

TEST(dgCollisionConvexHull, DuplicatesWeldAndInteriorPointsAreNeverVertices) {
    std::vector<dgVector> points = BoxCorners(2.0f, 2.0f, 2.0f);
    const std::vector<dgVector> corners = points;
    for (const dgVector& c : corners) {
        points.push_back(c);
        points.push_back(c.Add(dgVector(1.0e-4f, -1.0e-4f, 0.0f, 0.0f)));
    }
    RandomGeometry random(21);
    for (int i = 0; i < 50; i++) {
        points.push_back(random.Point(-0.9f, 0.9f));
    }
    const auto hull = Hull(points);
    EXPECT_EQ(hull->GetVertexCount(), 8);
    EXPECT_EQ(hull->GetFaceCount(), 12);
    for (dgInt32 i = 0; i < hull->GetVertexCount(); i++) {
        const dgVector& v = hull->GetVertices()[i];
        EXPECT_NEAR(std::fabs(v.x), 1.0f, 1.0e-3f);
        EXPECT_NEAR(std::fabs(v.y), 1.0f, 1.0e-3f);
        EXPECT_NEAR(std::fabs(v.z), 1.0f, 1.0e-3f);
    }
}

TEST(dgCollisionConvexHull, DegenerateCloudsLeaveAnEmptyShape) {
    EXPECT_TRUE(Hull({})->IsEmpty());
    EXPECT_TRUE(Hull({P(0, 0, 0), P(1, 0, 0), P(0, 1, 0)})->IsEmpty());
    // Seven copies of two points weld to two.
    EXPECT_TRUE(Hull({P(0, 0, 0), P(0, 0, 0), P(0, 0, 0), P(1, 1, 1), P(1, 1, 1), P(1, 1, 1), P(1, 1, 1)})->IsEmpty());
    std::vector<dgVector> line;
    std::vector<dgVector> plane;
    RandomGeometry random(4);
    for (int i = 0; i < 40; i++) {
        const dgFloat32 t = random.Float(-3.0f, 3.0f);
        line.push_back(P(t, 2.0f * t, -t));
        plane.push_back(P(random.Float(-2.0f, 2.0f), 0.5f, random.Float(-2.0f, 2.0f)));
    }
    for (const auto& cloud : {line, plane}) {
        const auto hull = Hull(cloud);
        EXPECT_TRUE(hull->IsEmpty());
        EXPECT_EQ(hull->GetEdgeCount(), 0);
        EXPECT_EQ(hull->GetFaceCount(), 0);
        EXPECT_FLOAT_EQ(hull->GetVolume(), 0.0f);
    }
    // Non-finite points are left out rather than poisoning the box.
    const float inf = INFINITY;
    std::vector<dgVector> box = BoxCorners(1.0f, 1.0f, 1.0f);
    box.push_back(P(inf, 0.0f, NAN));
    EXPECT_EQ(Hull(box)->GetVertexCount(), 8);
    // A cloud whose extent overflows the float range has no hull.
    EXPECT_TRUE(Hull({P(-3.0e38f, 0, 0), P(3.0e38f, 0, 0), P(0, 3.0e38f, 0), P(0, 0, -3.0e38f)})->IsEmpty());
}

TEST(dgCollisionConvexHull, RandomCloudsLieInsideEveryFacePlane) {
    RandomGeometry random(99);
    for (int round = 0; round < 5; round++) {
        std::vector<dgVector> points;
        const int count = 50 + 100 * round;
        for (int i = 0; i < count; i++) {
            points.push_back(random.Point(-3.0f, 3.0f));
        }
        const auto hull = Hull(points);
        ASSERT_FALSE(hull->IsEmpty());
        ExpectClosedTriangleMesh(*hull);
        for (const dgVector& p : points) {
            EXPECT_LT(MaxFaceDistance(*hull, p), 5.0e-3f);
        }
    }
}

TEST(dgCollisionConvexHull, PointsOnASphereGiveItsVolume) {
    RandomGeometry random(1);
    std::vector<dgVector> points;
    for (int i = 0; i < 500; i++) {
        dgVector p = random.UnitVector();
        p.w = 1.0f;
        points.push_back(p);
    }
    const auto hull = Hull(points);
    ExpectClosedTriangleMesh(*hull);
    EXPECT_GT(hull->GetVertexCount(), 400);
    const dgFloat32 sphere = 4.0f / 3.0f * 3.14159265f;
    EXPECT_LT(hull->GetVolume(), sphere);
    EXPECT_NEAR(hull->GetVolume(), sphere, 0.05f * sphere);
}
