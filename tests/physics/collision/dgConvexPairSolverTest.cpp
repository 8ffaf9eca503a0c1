#include "CollisionTestShapes.h"
#include "PairBodies.h"
#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionCone.h"
#include "physics/collision/dgCollisionEllipse.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgConvexPairSolver.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"
#include "physics/core/dgMemory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr dgFloat32 kSkin = 1.0f / 128.0f;
constexpr dgFloat32 kDepthTol = 1.0e-2f;

using BoxBody = ShapeBody<dgCollisionBox>;
using SphereBody = ShapeBody<dgCollisionSphere>;

BoxBody MakeBox(dgFloat32 size, const dgMatrix& m) {
    return BoxBody(MakeShape<dgCollisionBox>(0u, size, size, size, dgGetIdentityMatrix()), m);
}

SphereBody MakeSphere(dgFloat32 radius, const dgMatrix& m) {
    return SphereBody(MakeShape<dgCollisionSphere>(0u, radius, dgGetIdentityMatrix()), m);
}

struct Contacts {
    dgContactPoint m_points[16];
    dgInt32 m_count = 0;
};

Contacts Generic(const dgBody& b0, const dgBody& b1) {
    Contacts c;
    c.m_count = GenericConvexContacts(&b0, &b1, c.m_points);
    return c;
}

// Overlap (> 0) or minus the distance (< 0) of two placed convex shapes: the smallest width of their
// Minkowski difference over sampled directions, refined by local search round the best.
dgFloat32 SampledOverlap(const dgBody& b0, const dgBody& b1) {
    const auto& s0 = static_cast<const dgConvexCollision&>(*b0.m_collision);
    const auto& s1 = static_cast<const dgConvexCollision&>(*b1.m_collision);
    auto width = [&](dgVector n) {
        const dgFloat32 len = std::sqrt(n.DotProduct(n));
        n = n.Scale(1.0f / len);
        n.w = 0.0f;
        const dgVector n0 = b0.m_collisionMatrix.InverseRotateVector(n);
        const dgVector n1 = b1.m_collisionMatrix.InverseRotateVector(dgVector(-n.x, -n.y, -n.z, 0.0f));
        const dgVector p0 =
            b0.m_collisionMatrix.TransformVector(s0.SupportVertex(dgVector(n0.x, n0.y, n0.z, 0.0f)));
        const dgVector p1 =
            b1.m_collisionMatrix.TransformVector(s1.SupportVertex(dgVector(n1.x, n1.y, n1.z, 0.0f)));
        return n.DotProduct(p0.Sub(p1));
    };
    const dgInt32 samples = 6000;
    dgFloat32 best = 1.0e10f;
    dgVector bestDir;
    for (dgInt32 i = 0; i < samples; i++) {
        const dgFloat32 z = 1.0f - 2.0f * (static_cast<dgFloat32>(i) + 0.5f) / samples;
        const dgFloat32 r = std::sqrt(1.0f - z * z);
        const dgFloat32 phi = 2.39996323f * static_cast<dgFloat32>(i);
        const dgVector n(r * std::cos(phi), r * std::sin(phi), z, 0.0f);
        const dgFloat32 w = width(n);
        if (w < best) {
            best = w;
            bestDir = n;
        }
    }
    for (dgFloat32 step = 0.05f; step > 1.0e-4f; step *= 0.5f) {
        for (bool improved = true; improved;) {
            improved = false;
            for (dgInt32 axis = 0; axis < 6; axis++) {
                dgVector n = bestDir;
                n[axis / 2] += axis % 2 ? -step : step;
                const dgFloat32 w = width(n);
                if (w < best) {
                    best = w;
                    bestDir = n.Scale(1.0f / std::sqrt(n.DotProduct(n)));
                    improved = true;
                }
            }
        }
    }
    return best;
}

dgInt32 g_engineAllocations = 0;

void* CountingAlloc(std::size_t size) {
    g_engineAllocations++;
    return dgDefaultMalloc(size);
}

} // namespace

TEST(dgConvexPairSolver, SearchDirectionsAreUnitAndInTableOrder) {
    dgConvexPairSolver::InitSearchDirections();
    const dgFloat32 s = 1.0f / std::sqrt(3.0f);
    EXPECT_TRUE(
        VectorNear(dgConvexPairSolver::GetSearchDirection(0), dgVector(s, -s, s, 0.0f), kRoundingTol));
    EXPECT_TRUE(VectorNear(dgConvexPairSolver::GetSearchDirection(7), dgVector(s, s, s, 0.0f), kRoundingTol));
    EXPECT_TRUE(VectorNear(dgConvexPairSolver::GetSearchDirection(13), dgVector(0, 0, -1, 0), kRoundingTol));
    for (dgInt32 i = 0; i < dgConvexPairSolver::kSearchDirections; i++) {
        const dgVector& d = dgConvexPairSolver::GetSearchDirection(i);
        EXPECT_NEAR(d.DotProduct(d), 1.0f, 1.0e-6f);
        EXPECT_EQ(d.w, 0.0f);
    }
}

TEST(dgConvexPairSolver, FaceToFaceBoxesGiveTheOverlapFaceCorners) {
    // Also under a common rigid motion: the answer must not depend on where the pair stands.
    RandomGeometry random(11);
    const dgMatrix frames[] = {dgGetIdentityMatrix(), random.RigidMatrix(5.0f), random.RigidMatrix(5.0f)};
    for (const dgMatrix& frame : frames) {
        BoxBody box0 = MakeBox(1.0f, frame);
        BoxBody box1 = MakeBox(1.0f, Translation(0.9f, 0.0f, 0.0f).Multiply(frame));
        const Contacts c = Generic(box0.m_body, box1.m_body);
        ASSERT_GE(c.m_count, 1);
        EXPECT_LE(c.m_count, 4);
        const dgVector along = frame.RotateVector(dgVector(-1.0f, 0.0f, 0.0f, 0.0f));
        for (dgInt32 i = 0; i < c.m_count; i++) {
            EXPECT_TRUE(VectorNear(c.m_points[i].m_normal, along, kLooseTol));
            EXPECT_NEAR(c.m_points[i].m_penetration, 0.1f - kSkin, 1.0e-4f);
            const dgVector local = frame.InverseTransformVector(c.m_points[i].m_point);
            EXPECT_GE(local.x, 0.4f - 1.0e-4f);
            EXPECT_LE(local.x, 0.5f + 1.0e-4f);
            EXPECT_NEAR(std::fabs(local.y), 0.5f, 1.0e-4f);
            EXPECT_NEAR(std::fabs(local.z), 0.5f, 1.0e-4f);
            for (dgInt32 j = 0; j < i; j++) {
                EXPECT_GE(Distance2(c.m_points[i].m_point, c.m_points[j].m_point), 0.002f);
            }
        }
        EXPECT_EQ(c.m_count, 4);
    }
}

TEST(dgConvexPairSolver, OverlapBelowTheSkinGivesZeroPenetration) {
    BoxBody box0 = MakeBox(1.0f, dgGetIdentityMatrix());
    BoxBody box1 = MakeBox(1.0f, Translation(0.0f, 0.995f, 0.0f));
    const Contacts c = Generic(box0.m_body, box1.m_body);
    ASSERT_GE(c.m_count, 1);
    for (dgInt32 i = 0; i < c.m_count; i++) {
        EXPECT_EQ(c.m_points[i].m_penetration, 0.0f);
        EXPECT_TRUE(VectorNear(c.m_points[i].m_normal, dgVector(0, -1, 0, 1), kLooseTol));
    }
}

TEST(dgConvexPairSolver, SeparatedSpheresGiveSurfacePointsAndNoContacts) {
    SphereBody s0 = MakeSphere(1.0f, dgGetIdentityMatrix());
    SphereBody s1 = MakeSphere(1.0f, Translation(3.0f, 0.0f, 0.0f));
    EXPECT_EQ(Generic(s0.m_body, s1.m_body).m_count, 0);
    dgVector p0;
    dgVector p1;
    dgVector normal;
    ASSERT_TRUE(ConvexClosestPoints(&s0.m_body, &s1.m_body, p0, p1, normal));
    EXPECT_TRUE(VectorNear(p0, dgVector(1, 0, 0, 0), 1.0e-3f));
    EXPECT_TRUE(VectorNear(p1, dgVector(2, 0, 0, 0), 1.0e-3f));
    EXPECT_TRUE(VectorNear(normal, dgVector(1, 0, 0, 0), 1.0e-3f));

    // Off the axes the distance still comes out as 1 between surface points.
    const dgVector dir = dgVector(1.0f, 2.0f, -2.0f, 0.0f).Scale(1.0f / 3.0f);
    s1.Place(Translation(dir.x * 3.0f, dir.y * 3.0f, dir.z * 3.0f));
    ASSERT_TRUE(ConvexClosestPoints(&s0.m_body, &s1.m_body, p0, p1, normal));
    EXPECT_NEAR(std::sqrt(Distance2(p0, p1)), 1.0f, 1.0e-2f);
    EXPECT_NEAR(std::sqrt(Distance2(p0, dgVector(0, 0, 0, 0))), 1.0f, 1.0e-3f);

    // Overlapping shapes have no closest points.
    s1.Place(Translation(1.5f, 0.0f, 0.0f));
    EXPECT_FALSE(ConvexClosestPoints(&s0.m_body, &s1.m_body, p0, p1, normal));
}

TEST(dgConvexPairSolver, RandomPairsAgreeWithSampledSupportWidths) {
    RandomGeometry random(2024);
    auto makeShape = [&](dgInt32 kind) -> ShapePtr<dgConvexCollision> {
        switch (kind) {
        case 0:
            return ShapePtr<dgConvexCollision>(
                new dgCollisionBox(0u, random.Float(0.5f, 2.0f), random.Float(0.5f, 2.0f),
                                   random.Float(0.5f, 2.0f), dgGetIdentityMatrix()));
        case 1:
            return ShapePtr<dgConvexCollision>(
                new dgCollisionSphere(0u, random.Float(0.3f, 1.0f), dgGetIdentityMatrix()));
        case 2:
            return ShapePtr<dgConvexCollision>(new dgCollisionCone(
                0u, random.Float(0.3f, 1.0f), random.Float(0.5f, 2.0f), dgGetIdentityMatrix()));
        default:
            return ShapePtr<dgConvexCollision>(
                new dgCollisionEllipse(0u, random.Float(0.3f, 1.0f), random.Float(0.3f, 1.0f),
                                       random.Float(0.3f, 1.0f), dgGetIdentityMatrix()));
        }
    };
    dgInt32 overlapping = 0;
    dgInt32 apart = 0;
    for (dgInt32 trial = 0; trial < 96; trial++) {
        ShapeBody<dgConvexCollision> a(makeShape(trial % 4), random.RigidMatrix(0.0f));
        ShapeBody<dgConvexCollision> b(makeShape((trial / 4) % 4), random.RigidMatrix(1.2f));
        const dgFloat32 truth = SampledOverlap(a.m_body, b.m_body);
        if (std::fabs(truth) < 0.03f) {
            continue;
        }
        dgConvexPairSolver solver(&a.m_body, &b.m_body);
        dgConvexPairSolver::Face face;
        const auto side = solver.BuildTetrahedron(dgVector(0, 0, 0, 0), face);
        SCOPED_TRACE(trial);
        if (truth > 0.0f) {
            overlapping++;
            ASSERT_EQ(side, dgConvexPairSolver::kInside);
            ASSERT_TRUE(solver.ExpandPolytope(face));
            EXPECT_NEAR(-face.m_plane.w, truth, kDepthTol);
            EXPECT_NEAR(face.m_plane.DotProduct(face.m_plane), 1.0f, 1.0e-4f);
            const Contacts c = Generic(a.m_body, b.m_body);
            EXPECT_GE(c.m_count, 1);
            for (dgInt32 i = 0; i < c.m_count; i++) {
                EXPECT_NEAR(c.m_points[i].m_penetration, dgMax(truth - kSkin, 0.0f), kDepthTol);
            }
        } else {
            apart++;
            EXPECT_EQ(Generic(a.m_body, b.m_body).m_count, 0);
            dgVector p0;
            dgVector p1;
            dgVector normal;
            ASSERT_TRUE(ConvexClosestPoints(&a.m_body, &b.m_body, p0, p1, normal));
            EXPECT_NEAR(std::sqrt(Distance2(p0, p1)), -truth, kDepthTol);
        }
    }
    EXPECT_GT(overlapping, 10);
    EXPECT_GT(apart, 10);
}

TEST(dgConvexPairSolver, DeepOverlapOfRoundShapesStillGivesAUnitNormal) {
    // Round shapes feed the expansion a new point almost every round, so it runs into its table limits.
    RandomGeometry random(7);
    for (dgInt32 trial = 0; trial < 40; trial++) {
        ShapeBody<dgCollisionEllipse> a(
            MakeShape<dgCollisionEllipse>(0u, 1.0f, 2.0f, 1.5f, dgGetIdentityMatrix()),
            random.RigidMatrix(0.2f));
        ShapeBody<dgCollisionEllipse> b(
            MakeShape<dgCollisionEllipse>(0u, 1.5f, 1.0f, 2.0f, dgGetIdentityMatrix()),
            random.RigidMatrix(0.2f));
        const Contacts c = Generic(a.m_body, b.m_body);
        ASSERT_GE(c.m_count, 1);
        for (dgInt32 i = 0; i < c.m_count; i++) {
            const dgVector& n = c.m_points[i].m_normal;
            EXPECT_NEAR(n.DotProduct(n), 1.0f, 1.0e-3f);
            EXPECT_GT(c.m_points[i].m_penetration, 0.5f);
        }
    }
}

TEST(dgConvexPairSolver, ClippingSkipsPointsCloserThanTheMergeDistance) {
    const dgVector normal(0.0f, 1.0f, 0.0f, 1.0f);
    const dgVector square[4] = {P(-1, 0, -1), P(1, 0, -1), P(1, 0, 1), P(-1, 0, 1)};
    // A tiny triangle inside the square: its corners lie within sqrt(0.002) of each other.
    const dgVector tiny[3] = {P(0, 0, 0), P(0.02f, 0, 0), P(0, 0, 0.02f)};
    dgContactPoint contacts[16];
    EXPECT_EQ(dgConvexPairSolver::ClipPolygonContacts(normal, 0, 0.0f, 4, square, 3, tiny, contacts, 16), 1);
    // A segment crossing the square is cut at its sides; the clipped polygon's winding does not matter.
    const dgVector segment[2] = {P(-3, 0, 0.5f), P(3, 0, 0.5f)};
    const dgVector reversed[4] = {square[3], square[2], square[1], square[0]};
    for (const dgVector* clipper : {square, reversed}) {
        const dgInt32 count =
            dgConvexPairSolver::ClipPolygonContacts(normal, 7, 0.25f, 2, segment, 4, clipper, contacts, 16);
        ASSERT_EQ(count, 2);
        EXPECT_NEAR(std::fabs(contacts[0].m_point.x), 1.0f, 1.0e-5f);
        EXPECT_NEAR(std::fabs(contacts[1].m_point.x), 1.0f, 1.0e-5f);
        EXPECT_EQ(contacts[0].m_attribute, 7);
        EXPECT_EQ(contacts[0].m_penetration, 0.25f);
    }
    // Disjoint polygons clip to nothing; two segments are no polygon at all.
    const dgVector far[3] = {P(5, 0, 5), P(6, 0, 5), P(5, 0, 6)};
    EXPECT_EQ(dgConvexPairSolver::ClipPolygonContacts(normal, 0, 0.0f, 4, square, 3, far, contacts, 16), 0);
    EXPECT_EQ(dgConvexPairSolver::ClipPolygonContacts(normal, 0, 0.0f, 2, segment, 2, segment, contacts, 16),
              0);
}

TEST(dgConvexPairSolver, ContinuousSphereReachesTheBoxAtGapOverSpeed) {
    SphereBody sphere = MakeSphere(0.5f, dgGetIdentityMatrix());
    BoxBody box = MakeBox(1.0f, Translation(2.0f, 0.0f, 0.0f)); // faces 1 apart
    sphere.m_body.m_veloc = dgVector(10.0f, 0.0f, 0.0f, 0.0f);
    Contacts c;
    dgFloat32 time = 1.0f;
    c.m_count = ContinuousConvexContacts(time, &sphere.m_body, &box.m_body, c.m_points);
    ASSERT_GE(c.m_count, 1);
    EXPECT_NEAR(time, 0.1f, 1.0f / 256.0f);
    EXPECT_TRUE(VectorNear(c.m_points[0].m_normal, dgVector(-1, 0, 0, 1), kLooseTol));
    // The meeting point is reported halfway across the gap between the shapes as they stand now.
    EXPECT_NEAR(c.m_points[0].m_point.x, 1.0f, 1.0e-2f);

    // Moving away, or too slowly to close the gap within the step: nothing, and the time is kept.
    for (const dgVector v : {dgVector(-10, 0, 0, 0), dgVector(0.5f, 0, 0, 0), dgVector(0, 0, 0, 0)}) {
        sphere.m_body.m_veloc = v;
        time = 1.0f;
        EXPECT_EQ(ContinuousConvexContacts(time, &sphere.m_body, &box.m_body, c.m_points), 0);
        EXPECT_EQ(time, 1.0f);
    }
    // The motion is the end-of-step velocity: a force of 20 on unit mass over a step of 1 gives 20,
    // which closes the gap at t = 1 / 20.
    sphere.m_body.m_veloc = dgVector(0, 0, 0, 0);
    sphere.m_body.m_force = dgVector(20.0f, 0, 0, 0);
    sphere.m_body.m_invMass = dgVector(1, 1, 1, 1);
    time = 1.0f;
    ASSERT_GE(ContinuousConvexContacts(time, &sphere.m_body, &box.m_body, c.m_points), 1);
    EXPECT_NEAR(time, 0.05f, 1.0f / 256.0f);
}

TEST(dgConvexPairSolver, ContinuousOnOverlappingShapesGivesDiscreteContactsAndKeepsTheTime) {
    BoxBody box0 = MakeBox(1.0f, dgGetIdentityMatrix());
    BoxBody box1 = MakeBox(1.0f, Translation(0.9f, 0.0f, 0.0f));
    box1.m_body.m_veloc = dgVector(-5.0f, 0, 0, 0);
    Contacts c;
    dgFloat32 time = 0.5f;
    c.m_count = ContinuousConvexContacts(time, &box0.m_body, &box1.m_body, c.m_points);
    EXPECT_EQ(c.m_count, 4);
    EXPECT_EQ(time, 0.5f);
}

TEST(dgConvexPairSolver, PairQueriesTakeNothingFromTheEngineAllocator) {
    ShapeBody<dgCollisionCone> cone(MakeShape<dgCollisionCone>(0u, 0.5f, 1.0f, dgGetIdentityMatrix()),
                                    MakeMatrix(dgVector(0, 0, 1, 0), 0.3f, P(0, 0, 0)));
    BoxBody box = MakeBox(1.0f, Translation(0.6f, 0.1f, 0.0f));
    SphereBody sphere = MakeSphere(0.5f, Translation(3.0f, 0.0f, 0.0f));
    sphere.m_body.m_veloc = dgVector(-20.0f, 0, 0, 0);
    g_engineAllocations = 0;
    dgSetMemoryAllocators(CountingAlloc, dgDefaultFree);
    Contacts c = Generic(cone.m_body, box.m_body);
    dgFloat32 time = 1.0f;
    const dgInt32 continuous = ContinuousConvexContacts(time, &sphere.m_body, &box.m_body, c.m_points);
    dgVector p0;
    dgVector p1;
    dgVector n;
    const bool apart = ConvexClosestPoints(&sphere.m_body, &box.m_body, p0, p1, n);
    dgSetMemoryAllocators(nullptr, nullptr);
    EXPECT_GE(c.m_count, 1);
    EXPECT_GE(continuous, 1);
    EXPECT_TRUE(apart);
    EXPECT_EQ(g_engineAllocations, 0);
}
