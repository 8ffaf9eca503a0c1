#include "physics/collision/dgCollisionBox.h"

#include "CollisionTestShapes.h"
#include "ShapeHolder.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr dgFloat32 kVolumeTol = 1.0e-5f;

ShapePtr<dgCollisionBox> Box(dgFloat32 x, dgFloat32 y, dgFloat32 z,
                             const dgMatrix& offset = dgGetIdentityMatrix()) {
    return MakeShape<dgCollisionBox>(0u, x, y, z, offset);
}

// Largest |coordinate / half extent|: 1 on the surface, below 1 inside.
dgFloat32 BoxNorm(const dgVector& p, const dgVector& h) {
    return std::fmax(std::fabs(p.x / h.x), std::fmax(std::fabs(p.y / h.y), std::fabs(p.z / h.z)));
}

} // namespace

TEST(dgCollisionBox, VolumeAndInertiaMatchClosedForm) {
    const auto box = Box(1.0f, 2.0f, 3.0f);
    EXPECT_NEAR(box->GetVolume(), 6.0f, kVolumeTol);
    EXPECT_NEAR(box->GetCentreAndVolume().w, 6.0f, kVolumeTol);
    dgVector inertia;
    dgVector centre;
    box->CalcInertia(inertia, centre);
    EXPECT_TRUE(VectorNear(inertia, dgVector(13.0f / 12.0f, 10.0f / 12.0f, 5.0f / 12.0f, 0.0f), kChainTol));
    EXPECT_TRUE(VectorNear(centre, dgVector(0, 0, 0, 0), kChainTol));
    // Negative sizes make the same box.
    const auto mirrored = Box(-1.0f, 2.0f, -3.0f);
    EXPECT_NEAR(mirrored->GetVolume(), 6.0f, kVolumeTol);
    EXPECT_TRUE(Vector4Near(mirrored->GetHalfExtents(), dgVector(0.5f, 1.0f, 1.5f, 1.0f), 0.0f));
}

TEST(dgCollisionBox, MassPropertiesOfAnOffsetBoxAreInTheBodyFrame) {
    // A quarter turn about z swaps the box's x and y extents in the body frame.
    const dgMatrix offset = MakeMatrix(dgVector(0, 0, 1, 0), 1.5707963f, P(1, 2, 3));
    const auto box = Box(1.0f, 2.0f, 3.0f, offset);
    dgVector inertia;
    dgVector centre;
    box->CalcInertia(inertia, centre);
    EXPECT_TRUE(VectorNear(centre, P(1, 2, 3), kLooseTol));
    EXPECT_TRUE(VectorNear(inertia, dgVector(10.0f / 12.0f, 13.0f / 12.0f, 5.0f / 12.0f, 0.0f), kLooseTol));
    EXPECT_NEAR(box->GetVolume(), 6.0f, kLooseTol);
    // The polyhedron's own centre stays in shape space.
    EXPECT_TRUE(VectorNear(box->GetCentreAndVolume(), dgVector(0, 0, 0, 0), kChainTol));
}

TEST(dgCollisionBox, SupportIsTheCornerOnTheDirectionsSide) {
    const auto box = Box(2.0f, 4.0f, 6.0f);
    EXPECT_TRUE(Vector4Near(box->SupportVertex(dgVector(0, 0, 0, 0)), dgVector(1, 2, 3, 0), 0.0f));
    EXPECT_TRUE(Vector4Near(box->SupportVertex(dgVector(-1, 0.1f, -0.1f, 0)), dgVector(-1, 2, -3, 0), 0.0f));
    EXPECT_TRUE(Vector4Near(box->GetBoxSize(), dgVector(1, 2, 3, 1), 0.0f));
    EXPECT_TRUE(Vector4Near(box->GetBoxOrigin(), dgVector(0, 0, 0, 1), 0.0f));
}

TEST(dgCollisionBox, WorldBoxOfARotatedBoxBoundsItsCorners) {
    const auto box = Box(2.0f, 4.0f, 6.0f);
    RandomGeometry random(5);
    for (int i = 0; i < 20; i++) {
        const dgMatrix matrix = random.RigidMatrix(10.0f);
        dgVector lo;
        dgVector hi;
        box->CalcWorldBox(matrix, lo, hi);
        dgVector cornerLo(1e30f, 1e30f, 1e30f, 0);
        dgVector cornerHi(-1e30f, -1e30f, -1e30f, 0);
        for (dgInt32 k = 0; k < 8; k++) {
            const dgVector c = matrix.TransformVector(box->GetVertices()[k]);
            for (dgInt32 j = 0; j < 3; j++) {
                cornerLo[j] = std::fmin(cornerLo[j], c[j]);
                cornerHi[j] = std::fmax(cornerHi[j], c[j]);
            }
        }
        EXPECT_TRUE(VectorNear(lo, cornerLo, kLooseTol));
        EXPECT_TRUE(VectorNear(hi, cornerHi, kLooseTol));
    }
}

TEST(dgCollisionBox, RayHitsTheNearestFaceAndReportsItsNormal) {
    const auto box = Box(2.0f, 2.0f, 2.0f);
    const RayResult slab = CastRay(*box, P(-5, 0, 0), P(5, 0, 0));
    EXPECT_FLOAT_EQ(slab.m_t, 0.4f);
    EXPECT_TRUE(Vector4Near(slab.m_contact.m_normal, dgVector(-1, 0, 0, 1), 0.0f));
    const RayResult down = CastRay(*box, P(0.5f, 3, 0.2f), P(0.5f, -1, 0.2f));
    EXPECT_FLOAT_EQ(down.m_t, 0.5f);
    EXPECT_TRUE(VectorNear(down.m_contact.m_normal, dgVector(0, 1, 0, 0), 0.0f));
    // Inside, on a face pointing in, past the box, short of it, or beside it: no hit.
    EXPECT_FLOAT_EQ(CastRay(*box, P(0, 0, 0), P(5, 0, 0)).m_t, 1.2f);
    EXPECT_FLOAT_EQ(CastRay(*box, P(-1, 0, 0), P(5, 0, 0)).m_t, 1.2f);
    EXPECT_FLOAT_EQ(CastRay(*box, P(2, 0, 0), P(5, 0, 0)).m_t, 1.2f);
    EXPECT_FLOAT_EQ(CastRay(*box, P(-5, 0, 0), P(-2, 0, 0)).m_t, 1.2f);
    EXPECT_FLOAT_EQ(CastRay(*box, P(-5, 1.5f, 0), P(5, 1.5f, 0)).m_t, 1.2f);
}

TEST(dgCollisionBox, RejectingPrefilterSkipsTheRay) {
    const auto box = Box(2.0f, 2.0f, 2.0f);
    dgContactPoint contact;
    auto reject = [](dgBody*, const dgCollision*, void*) -> dgUnsigned32 { return 0; };
    EXPECT_FLOAT_EQ(box->RayCast(P(-5, 0, 0), P(5, 0, 0), contact, reject, nullptr, nullptr), 1.2f);
    EXPECT_TRUE(Vector4Near(contact.m_normal, dgVector(0, 0, 0, 0), 0.0f));
}

TEST(dgCollisionBox, MidPlaneCutIsTheFourCornerSection) {
    const auto box = Box(2.0f, 4.0f, 6.0f);
    dgVector points[dgConvexCollision::kMaxPlaneIntersectionPoints];
    const dgInt32 count = box->CalcPlaneIntersection(dgVector(0, 1, 0, 0), P(0, 0, 0), points);
    ASSERT_EQ(count, 4);
    for (dgInt32 i = 0; i < count; i++) {
        EXPECT_FLOAT_EQ(std::fabs(points[i].x), 1.0f);
        EXPECT_FLOAT_EQ(points[i].y, 0.0f);
        EXPECT_FLOAT_EQ(std::fabs(points[i].z), 3.0f);
    }
    // Counter-clockwise about the plane normal.
    const dgVector turn = points[1].Sub(points[0]).CrossProduct(points[2].Sub(points[1]));
    EXPECT_GT(turn.y, 0.0f);
    EXPECT_EQ(box->CalcPlaneIntersection(dgVector(0, 1, 0, 0), P(0, 5, 0), points), 0);
}

TEST(dgCollisionBox, RandomPlaneCutsLieOnTheBoxAndOnThePlane) {
    const auto box = Box(2.0f, 4.0f, 6.0f);
    const dgVector& h = box->GetHalfExtents();
    RandomGeometry random(17);
    for (int i = 0; i < 200; i++) {
        const dgVector normal = random.UnitVector();
        const dgVector point = random.Point(-0.9f, 0.9f);
        dgVector points[dgConvexCollision::kMaxPlaneIntersectionPoints];
        const dgInt32 count = box->CalcPlaneIntersection(normal, point, points);
        ASSERT_GE(count, 3);
        ASSERT_LE(count, 6);
        for (dgInt32 k = 0; k < count; k++) {
            EXPECT_NEAR(BoxNorm(points[k], h), 1.0f, kLooseTol);
            EXPECT_NEAR(normal.DotProduct(points[k].Sub(point)), 0.0f, kLooseTol);
        }
    }
}

TEST(dgCollisionBox, GenericRayCastAgreesWithTheExactOne) {
    const auto box = Box(2.0f, 4.0f, 6.0f);
    RandomGeometry random(23);
    dgInt32 hits = 0;
    for (int i = 0; i < 300; i++) {
        const dgVector p0 = random.Point(-8.0f, 8.0f);
        const dgVector p1 = random.Point(-3.0f, 3.0f).Scale(0.5f);
        const RayResult exact = CastRay(*box, p0, p1);
        const RayResult generic = CastRayGeneric(*box, p0, p1);
        if (BoxNorm(p0, box->GetHalfExtents()) < 1.0f) {
            continue; // the exact cast reports no hit from inside
        }
        ASSERT_EQ(exact.m_t < 1.0f, generic.m_t < 1.0f) << i;
        if (exact.m_t < 1.0f) {
            hits++;
            EXPECT_NEAR(generic.m_t, exact.m_t, 1.0e-4f);
            EXPECT_TRUE(VectorNear(generic.m_contact.m_normal, exact.m_contact.m_normal, 1.0e-3f));
        }
    }
    EXPECT_GT(hits, 100);
}
