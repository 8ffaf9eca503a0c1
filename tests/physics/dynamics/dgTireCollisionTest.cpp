#include "physics/dynamics/dgTireCollision.h"

#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgVehicleTire.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr dgFloat32 kWidth = 0.4f;
constexpr dgFloat32 kRadius = 0.35f;
constexpr dgFloat32 kNormalTolerance = 1.0e-4f;

dgVector P(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    return dgVector(x, y, z, 1.0f);
}

dgVector Stretch(const dgVector& v, dgFloat32 sx, dgFloat32 sr) {
    return dgVector(v.x * sx, v.y * sr, v.z * sr, v.w);
}

// A tire record and its shape under the identity placement; the record owns one reference.
struct TireFixture {
    TireFixture() {
        m_tire.m_width = kWidth;
        m_tire.m_radius = kRadius;
        m_tire.m_collisionUserId = (std::uintptr_t{1} << 40) + 7;
        new dgTireCollision(nullptr, &m_tire, dgGetIdentityMatrix());
    }
    ~TireFixture() { dgRefRelease(m_tire.m_collision); }
    const dgTireCollision& Shape() const { return *m_tire.m_collision; }

    dgVehicleTire m_tire;
    dgCollisionChamferCylinder m_unit{0u, 1.0f, 1.0f, dgGetIdentityMatrix()};
};

// Volume enclosed by the displayed faces (divergence theorem over each face's triangle fan).
dgFloat32 DisplayedVolume(const dgCollision& shape) {
    dgBody body;
    dgFloat64 volume = 0.0;
    body.m_userData = &volume;
    shape.ForEachDisplayFace(dgGetIdentityMatrix(), &body, [](dgBody* b, dgInt32 count, const dgFloat32* p, dgInt32) {
        const dgVector a(&p[0]);
        for (dgInt32 i = 1; i + 1 < count; i++) {
            const dgVector b1(&p[3 * i]);
            const dgVector c(&p[3 * i + 3]);
            *static_cast<dgFloat64*>(b->m_userData) += a.DotProduct(b1.CrossProduct(c)) / 6.0;
        }
    });
    return static_cast<dgFloat32>(std::fabs(volume));
}

} // namespace

TEST(dgTireCollision, SupportAndWorldBoxAreTheUnitShapesStretched) {
    const TireFixture f;
    for (const dgVector& dir : {dgVector(1, 0, 0, 0), dgVector(-1, 0, 0, 0), dgVector(0, 1, 0, 0)}) {
        const dgVector expected = Stretch(f.m_unit.SupportVertex(dir), kWidth, kRadius);
        const dgVector s = f.Shape().SupportVertex(dir);
        EXPECT_NEAR(s.x, expected.x, 1.0e-6f);
        EXPECT_NEAR(s.y, expected.y, 1.0e-6f);
        EXPECT_NEAR(s.z, expected.z, 1.0e-6f);
    }
    dgVector unitMin, unitMax, min, max;
    f.m_unit.CalcWorldBox(dgGetIdentityMatrix(), unitMin, unitMax);
    f.Shape().CalcWorldBox(dgGetIdentityMatrix(), min, max);
    for (dgInt32 i = 0; i < 3; i++) {
        const dgFloat32 s = i == 0 ? kWidth : kRadius;
        EXPECT_NEAR(min[i], unitMin[i] * s, 1.0e-6f);
        EXPECT_NEAR(max[i], unitMax[i] * s, 1.0e-6f);
    }
}

TEST(dgTireCollision, RaysHitAtTheUnitParameterWithTheStretchedSurfacesNormal) {
    const TireFixture f;
    struct Ray {
        dgVector m_p0, m_p1;
    };
    // Through each flat face, across the rim, and onto the rounded shoulder (unit y 0.857 > core 0.5).
    const Ray rays[] = {{P(1, 0.1f, 0), P(-1, 0.1f, 0)}, {P(-1, 0, 0.1f), P(1, 0, 0.1f)},
                        {P(0, 2, 0), P(0, -2, 0)},       {P(1, 0.3f, 0), P(-1, 0.3f, 0)},
                        {P(0.8f, 0.8f, 0.2f), P(-0.2f, -0.1f, 0)}};
    // On the flat faces the normal is exact; elsewhere the unit shape's support lattice sets it.
    const dgVector kFaceNormals[2] = {dgVector(1, 0, 0, 0), dgVector(-1, 0, 0, 0)};
    for (const Ray& ray : rays) {
        dgContactPoint unitHit, hit;
        const dgFloat32 unitT = f.m_unit.RayCast(Stretch(ray.m_p0, 1 / kWidth, 1 / kRadius),
                                                 Stretch(ray.m_p1, 1 / kWidth, 1 / kRadius), unitHit, nullptr,
                                                 nullptr, nullptr);
        const dgFloat32 t = f.Shape().RayCast(ray.m_p0, ray.m_p1, hit, nullptr, nullptr, nullptr);
        ASSERT_LT(unitT, dgCollision::kNoHit);
        EXPECT_FLOAT_EQ(t, unitT);
        // The stretched surface's normal is the unit one through the inverse transpose, S^-1 n.
        dgVector n = Stretch(unitHit.m_normal, 1 / kWidth, 1 / kRadius);
        n = n.Scale(1.0f / std::sqrt(n.DotProduct(n)));
        EXPECT_NEAR(hit.m_normal.x, n.x, kNormalTolerance);
        EXPECT_NEAR(hit.m_normal.y, n.y, kNormalTolerance);
        EXPECT_NEAR(hit.m_normal.z, n.z, kNormalTolerance);
        if (&ray - rays < 2) {
            EXPECT_NEAR(hit.m_normal.DotProduct(kFaceNormals[&ray - rays]), 1.0f, kNormalTolerance);
        }
        EXPECT_EQ(hit.m_attribute, static_cast<dgInt64>(f.m_tire.m_collisionUserId));
    }
}

TEST(dgTireCollision, DisplayIsStretchedAndLeavesTheOffsetUntouched) {
    dgVehicleTire tire;
    tire.m_width = kWidth;
    tire.m_radius = kRadius;
    dgMatrix placed = dgGetIdentityMatrix();
    placed.posit = P(1.3f, -0.5f, 0.9f);
    const auto* shape = new dgTireCollision(nullptr, &tire, placed);
    const dgMatrix before = shape->GetOffsetMatrix();
    const dgCollisionChamferCylinder unit(0u, 1.0f, 1.0f, dgGetIdentityMatrix());
    EXPECT_NEAR(DisplayedVolume(*shape), DisplayedVolume(unit) * kWidth * kRadius * kRadius,
                1.0e-4f * DisplayedVolume(unit) * kWidth * kRadius * kRadius);
    EXPECT_EQ(std::memcmp(&before, &shape->GetOffsetMatrix(), sizeof(dgMatrix)), 0);
    const dgUnsigned32 flags = shape->GetFlags();
    EXPECT_EQ(flags & (dgCollision::kOffsetNotIdentity | dgCollision::kTireShape),
              dgCollision::kOffsetNotIdentity | dgCollision::kTireShape);
    EXPECT_EQ(flags & dgCollision::kVehicleChassis, 0u);
    EXPECT_TRUE(shape->IsType(dgCollisionChamferCylinderClassId));
    EXPECT_TRUE(shape->IsType(dgConvexCollisionClassId));
    dgRefRelease(tire.m_collision);
}
