#include "physics/collision/dgCollisionSphere.h"

#include "CollisionTestShapes.h"
#include "ShapeHolder.h"
#include "physics/collision/dgCollisionEllipse.h"
#include "physics/collision/dgCollisionPoint.h"
#include "physics/core/dgClassIds.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

const dgMatrix& Identity() {
    return dgGetIdentityMatrix();
}

// Brute-force support of an ellipsoid: the best of a dense latitude-longitude sampling of its surface.
dgFloat32 SampledSupport(const dgVector& radii, const dgVector& dir) {
    constexpr int kSteps = 400;
    dgFloat32 best = -1e30f;
    for (int i = 0; i <= kSteps; i++) {
        const dgFloat64 theta = 3.14159265358979 * i / kSteps;
        for (int j = 0; j < 2 * kSteps; j++) {
            const dgFloat64 phi = 3.14159265358979 * j / kSteps;
            const dgVector p(static_cast<dgFloat32>(radii.x * std::cos(theta)),
                             static_cast<dgFloat32>(radii.y * std::sin(theta) * std::cos(phi)),
                             static_cast<dgFloat32>(radii.z * std::sin(theta) * std::sin(phi)), 1.0f);
            best = std::fmax(best, p.DotProduct(dir));
        }
    }
    return best;
}

} // namespace

TEST(dgCollisionSphere, DisplayVolumeAndInertiaOfTheUnitSphere) {
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 1.0f, Identity());
    // The 512-triangle tessellation, a little smaller than the round sphere's 4.18879.
    EXPECT_NEAR(sphere->GetVolume(), 4.091601f, 1.0e-5f);
    dgVector inertia;
    dgVector centre;
    sphere->CalcInertia(inertia, centre);
    EXPECT_NEAR(inertia.x, 0.393804f, 1.0e-5f);
    EXPECT_NEAR(inertia.y, 0.393804f, 1.0e-5f);
    EXPECT_NEAR(inertia.z, 0.393804f, 1.0e-5f);
    EXPECT_TRUE(VectorNear(centre, dgVector(0, 0, 0, 0), kChainTol));
    EXPECT_EQ(DisplayedFaces(*sphere, Identity()).m_faces.size(), 512u);
}

TEST(dgCollisionSphere, LocalBoxIsTheAnalyticBox) {
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 2.5f, Identity());
    EXPECT_TRUE(Vector4Near(sphere->GetBoxSize(), dgVector(2.5f, 2.5f, 2.5f, 1.0f), kRoundingTol));
    EXPECT_TRUE(Vector4Near(sphere->GetBoxOrigin(), dgVector(0, 0, 0, 1.0f), kRoundingTol));
    dgVector lo;
    dgVector hi;
    sphere->CalcWorldBox(MakeMatrix(dgVector(1, 0, 0, 0), 0.7f, P(1, 2, 3)), lo, hi);
    EXPECT_TRUE(Vector4Near(lo, dgVector(-1.5f, -0.5f, 0.5f, 1.0f), kRoundingTol));
    EXPECT_TRUE(Vector4Near(hi, dgVector(3.5f, 4.5f, 5.5f, 1.0f), kRoundingTol));
}

TEST(dgCollisionSphere, SupportLiesOnTheSphereNearTheDirection) {
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 2.0f, Identity());
    EXPECT_TRUE(VectorNear(sphere->SupportVertex(dgVector(1, 0, 0, 0)), P(2, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(sphere->SupportVertex(dgVector(-1, 0, 0, 0)), P(-2, 0, 0), 0.0f));
    EXPECT_TRUE(VectorNear(sphere->SupportVertex(dgVector(0, 0, 1, 0)), P(0, 0, 2), 1.0e-5f));
    RandomGeometry random(3);
    const dgFloat32 step = dgConvexCollision::GetAngularStep(2.0f);
    for (int i = 0; i < 500; i++) {
        const dgVector dir = random.UnitVector();
        const dgVector s = sphere->SupportVertex(dir);
        EXPECT_NEAR(std::sqrt(s.DotProduct(s)), 2.0f, 1.0e-5f);
        // Within a grid cell of the direction: at most one step off in each angle.
        EXPECT_GT(s.DotProduct(dir), 2.0f * std::cos(1.5f * step));
    }
}

TEST(dgCollisionSphere, RayThroughTheCentreHitsAtTheSurface) {
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 1.0f, Identity());
    const RayResult hit = CastRay(*sphere, P(-3, 0, 0), P(3, 0, 0));
    EXPECT_NEAR(hit.m_t, 1.0f / 3.0f, kRoundingTol);
    EXPECT_TRUE(VectorNear(hit.m_contact.m_normal, dgVector(-1, 0, 0, 0), kRoundingTol));
    EXPECT_FLOAT_EQ(CastRay(*sphere, P(0, 0, 0), P(3, 0, 0)).m_t, 1.2f);
    EXPECT_FLOAT_EQ(CastRay(*sphere, P(-3, 2, 0), P(3, 2, 0)).m_t, 1.2f);
    // Short of the sphere: the parameter comes back as it is, beyond 1.
    EXPECT_NEAR(CastRay(*sphere, P(-3, 0, 0), P(-1.5f, 0, 0)).m_t, 4.0f / 3.0f, kRoundingTol);
}

TEST(dgCollisionSphere, GenericRayCastAgreesWithTheExactOne) {
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 1.0f, Identity());
    const dgFloat32 step = dgConvexCollision::GetAngularStep(1.0f);
    RandomGeometry random(29);
    dgInt32 hits = 0;
    for (int i = 0; i < 300; i++) {
        const dgVector p0 = random.UnitVector().Scale(4.0f);
        const dgVector p1 = random.Point(-0.5f, 0.5f);
        const dgVector start(p0.x, p0.y, p0.z, 1.0f);
        const RayResult exact = CastRay(*sphere, start, p1);
        const RayResult generic = CastRayGeneric(*sphere, start, p1);
        ASSERT_LT(exact.m_t, 1.0f);
        ASSERT_LT(generic.m_t, 1.0f);
        hits++;
        // The support is resolved to the angular step: the generic hit lies on the polytope of grid
        // points, within 1 - cos(step) of the round surface and never outside it.
        const dgVector point = start.Add(p1.Sub(start).Scale(generic.m_t));
        const dgFloat32 radius = std::sqrt(point.DotProduct(point));
        EXPECT_LE(radius, 1.0f + kChainTol);
        EXPECT_GE(radius, std::cos(step) - kChainTol);
        EXPECT_GE(generic.m_t, exact.m_t - kChainTol);
        EXPECT_LT(generic.m_t - exact.m_t, 1.0e-4f);
    }
    EXPECT_EQ(hits, 300);
}

TEST(dgCollisionSphere, PlaneCutIsTheFootOfTheCentre) {
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 1.0f, Identity());
    dgVector out[dgConvexCollision::kMaxPlaneIntersectionPoints];
    ASSERT_EQ(sphere->CalcPlaneIntersection(dgVector(0, 1, 0, 0), P(3, 0.5f, -2), out), 1);
    EXPECT_TRUE(VectorNear(out[0], P(0, 0.5f, 0), 0.0f));
}

TEST(dgCollisionEllipse, EqualRadiiBehaveLikeTheSphere) {
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 1.5f, Identity());
    const auto ellipse = MakeShape<dgCollisionEllipse>(0u, 1.5f, 1.5f, 1.5f, Identity());
    RandomGeometry random(31);
    for (int i = 0; i < 100; i++) {
        const dgVector dir = random.UnitVector();
        // The ellipse resolves its support at the unit sphere's step, so compare values, not points.
        EXPECT_NEAR(ellipse->SupportVertex(dir).DotProduct(dir), sphere->SupportVertex(dir).DotProduct(dir),
                    2.0e-3f);
        const dgVector p0 = random.Point(-5, 5);
        const RayResult a = CastRay(*sphere, p0, P(0.1f, 0.2f, 0.3f));
        const RayResult b = CastRay(*ellipse, p0, P(0.1f, 0.2f, 0.3f));
        EXPECT_NEAR(a.m_t, b.m_t, kChainTol);
    }
    dgVector lo[2];
    dgVector hi[2];
    // The ellipse boxes its unit sphere's local box, which is tight only while the axes stay aligned.
    const dgMatrix placement = MakeMatrix(dgVector(0, 1, 0, 0), 0.0f, P(1, 2, 3));
    sphere->CalcWorldBox(placement, lo[0], hi[0]);
    ellipse->CalcWorldBox(placement, lo[1], hi[1]);
    EXPECT_TRUE(VectorNear(lo[0], lo[1], kChainTol));
    EXPECT_TRUE(VectorNear(hi[0], hi[1], kChainTol));
    dgVector a[1];
    dgVector b[1];
    sphere->CalcPlaneIntersection(dgVector(0, 0, 1, 0), P(4, 4, 0.7f), a);
    ellipse->CalcPlaneIntersection(dgVector(0, 0, 1, 0), P(4, 4, 0.7f), b);
    EXPECT_TRUE(VectorNear(a[0], b[0], kRoundingTol));
}

TEST(dgCollisionEllipse, SupportMatchesADenseSamplingOfTheSurface) {
    const dgVector radii(2.0f, 0.5f, 1.2f, 1.0f);
    const auto ellipse = MakeShape<dgCollisionEllipse>(0u, radii.x, radii.y, radii.z, Identity());
    RandomGeometry random(37);
    for (int i = 0; i < 40; i++) {
        const dgVector dir = random.UnitVector();
        const dgVector s = ellipse->SupportVertex(dir);
        // On the surface.
        EXPECT_NEAR(s.x * s.x / 4.0f + s.y * s.y / 0.25f + s.z * s.z / 1.44f, 1.0f, 1.0e-4f);
        EXPECT_NEAR(s.DotProduct(dir), SampledSupport(radii, dir), 2.0e-3f);
    }
}

TEST(dgCollisionEllipse, DisplayIntegratesTheEllipsoidAndLeavesTheOffsetAlone) {
    const dgMatrix offset = MakeMatrix(dgVector(0, 0, 1, 0), 0.4f, P(0.5f, 0, 0));
    const auto unit = MakeShape<dgCollisionSphere>(0u, 1.0f, Identity());
    const auto ellipse = MakeShape<dgCollisionEllipse>(0u, 1.0f, 2.0f, 3.0f, offset);
    dgMatrix before = ellipse->GetOffsetMatrix();
    EXPECT_NEAR(ellipse->GetVolume(), unit->GetVolume() * 6.0f, 1.0e-4f);
    EXPECT_EQ(std::memcmp(&before, &ellipse->GetOffsetMatrix(), sizeof(dgMatrix)), 0);
    dgVector inertia;
    dgVector centre;
    ellipse->CalcInertia(inertia, centre);
    EXPECT_TRUE(VectorNear(centre, P(0.5f, 0, 0), kLooseTol));
}

TEST(dgCollisionEllipse, RayNormalIsTheTrueSurfaceNormal) {
    const auto ellipse = MakeShape<dgCollisionEllipse>(0u, 2.0f, 1.0f, 1.0f, Identity());
    // The ray down the y axis at x = 1 meets the surface at (1, sqrt(0.75), 0).
    const RayResult hit = CastRay(*ellipse, P(1, 3, 0), P(1, -3, 0));
    const dgFloat32 y = std::sqrt(0.75f);
    EXPECT_NEAR(hit.m_t, (3.0f - y) / 6.0f, kChainTol);
    const dgVector gradient(1.0f / 4.0f, y, 0.0f, 0.0f);
    const dgVector expected = gradient.Scale(1.0f / std::sqrt(gradient.DotProduct(gradient)));
    EXPECT_TRUE(VectorNear(hit.m_contact.m_normal, expected, kChainTol));
}

TEST(dgCollisionEllipse, VolumeUnderAPlaneScalesWithTheRadii) {
    const auto ellipse = MakeShape<dgCollisionEllipse>(0u, 2.0f, 1.0f, 1.0f, Identity());
    const dgFloat32 unitVolume = ellipse->GetCentreAndVolume().w; // the unit sphere's polyhedron
    dgFloat32 plane[4] = {1.0f, 0.0f, 0.0f, 0.0f};                // below means x < 0
    const dgVector half = ellipse->CalcVolumeUnderPlane(Identity(), FixedPlane, plane);
    EXPECT_NEAR(half.w, unitVolume, 1.0e-4f); // half of 2 x unitVolume
    EXPECT_LT(half.x, -0.5f);
    EXPECT_NEAR(half.y, 0.0f, kChainTol);
    // The same plane through a sphere's polyhedron scaled by two along x: twice the sphere's half.
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 1.0f, Identity());
    const dgVector sphereHalf = sphere->CalcVolumeUnderPlane(Identity(), FixedPlane, plane);
    EXPECT_NEAR(half.x, 2.0f * sphereHalf.x, kLooseTol);
    const dgVector whole = ellipse->CalcVolumeUnderPlane(Identity(), nullptr, nullptr);
    EXPECT_NEAR(whole.w, 2.0f * unitVolume, 1.0e-4f);
}

TEST(dgCollisionPoint, AnswersAsASinglePoint) {
    const auto point = MakeShape<dgCollisionPoint>(0u, Identity());
    EXPECT_TRUE(
        Vector4Near(point->SupportVertex(dgVector(0.3f, -0.2f, 0.9f, 0)), dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_EQ(point->GetVolume(), 0.0f);
    dgVector inertia(9, 9, 9, 7);
    dgVector centre(9, 9, 9, 7);
    point->CalcInertia(inertia, centre);
    EXPECT_TRUE(Vector4Near(inertia, dgVector(0, 0, 0, 7), 0.0f));
    EXPECT_TRUE(Vector4Near(centre, dgVector(0, 0, 0, 7), 0.0f));
    // It reports the sphere's id, yet a sphere is never taken for the probe.
    const auto sphere = MakeShape<dgCollisionSphere>(0u, 1.0f, Identity());
    EXPECT_EQ(point->GetTypeId(), dgCollisionSphereClassId);
    EXPECT_TRUE(point->IsType(dgCollisionPointClassId) && !sphere->IsType(dgCollisionPointClassId));
}
