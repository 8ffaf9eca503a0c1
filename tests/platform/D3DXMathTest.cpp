#include "platform/D3DXMath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kTolerance = 1e-5f;

void ExpectMatrixNear(const D3DXMATRIX& expected, const D3DXMATRIX& actual, float tolerance = kTolerance) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_NEAR(expected(row, column), actual(row, column), tolerance)
                << "element " << row << ", " << column;
        }
    }
}

void ExpectVectorNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, float tolerance = kTolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    return *D3DXMatrixIdentity(&m);
}

} // namespace

TEST(D3DXMath, PerspectiveFovMatchesTheLeftHandedFormula) {
    // fov 90 degrees: cot(45) = 1; aspect 2; near 1, far 11: depth scale 1.1, offset -1.1.
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovLH(&m, D3DX_PI / 2, 2.0f, 1.0f, 11.0f);
    ExpectMatrixNear(D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.1f, 1, 0, 0, -1.1f, 0), m);
}

TEST(D3DXMath, PerspectiveMapsNearPlaneToDepthZeroAndFarPlaneToOne) {
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovLH(&m, 1.0f, 1.5f, 2.0f, 50.0f);
    D3DXVECTOR3 nearPoint{0, 0, 2}, farPoint{0, 0, 50}, projected;
    EXPECT_NEAR(0.0f, D3DXVec3TransformCoord(&projected, &nearPoint, &m)->z, kTolerance);
    EXPECT_NEAR(1.0f, D3DXVec3TransformCoord(&projected, &farPoint, &m)->z, kTolerance);
}

TEST(D3DXMath, LookAtMatchesHandComputedView) {
    // Eye on -z looking at the origin: the view is a plain translation by +10 along z.
    D3DXVECTOR3 eye{0, 0, -10}, at{0, 0, 0}, up{0, 1, 0};
    D3DXMATRIX m;
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    ExpectMatrixNear(D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1), m);

    // Eye on +x looking back at the origin: view z is world -x, view x (up × z) is world +z.
    eye = {5, 0, 0};
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    ExpectMatrixNear(D3DXMATRIX(0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 5, 1), m);
}

TEST(D3DXMath, DegenerateInputGivesZeroNeverNaN) {
    D3DXVECTOR3 zero, normal;
    D3DXVec3Normalize(&normal, &zero);
    EXPECT_EQ(D3DXVECTOR3{}, normal);

    D3DXVECTOR3 eye{1, 2, 3}, up{0, 1, 0};
    D3DXMATRIX m;
    D3DXMatrixLookAtLH(&m, &eye, &eye, &up);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FALSE(std::isnan(m.m[i / 4][i % 4]));
    }
    const D3DXVECTOR3 parallelUp{0, 0, 1}, at{1, 2, 10};
    D3DXMatrixLookAtLH(&m, &eye, &at, &parallelUp);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FALSE(std::isnan(m.m[i / 4][i % 4]));
    }
}

TEST(D3DXMath, NormalizeGivesUnitLength) {
    D3DXVECTOR3 v{3, 4, 12}, n;
    D3DXVec3Normalize(&n, &v);
    ExpectVectorNear({3.0f / 13, 4.0f / 13, 12.0f / 13}, n);
}

TEST(D3DXMath, MultiplyAppliesTheLeftMatrixFirst) {
    D3DXMATRIX scale, translation, both;
    D3DXMatrixScaling(&scale, 2, 3, 4);
    D3DXMatrixTranslation(&translation, 10, 20, 30);
    D3DXMatrixMultiply(&both, &scale, &translation);
    ExpectMatrixNear(D3DXMATRIX(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 10, 20, 30, 1), both);

    D3DXVECTOR4 p;
    const D3DXVECTOR3 point{1, 1, 1};
    D3DXVec3Transform(&p, &point, &both);
    EXPECT_EQ(D3DXVECTOR4(12, 23, 34, 1), p);

    // The result may be written over an operand.
    D3DXMatrixMultiply(&scale, &scale, &translation);
    EXPECT_EQ(both, scale);
}

TEST(D3DXMath, RotationsTurnAxesLeftHanded) {
    // A quarter turn about z takes x to y; about x takes y to z; about y takes z to x.
    struct Case {
        D3DXMATRIX* (*rotate)(D3DXMATRIX*, float);
        D3DXVECTOR3 from, to;
    } cases[] = {{D3DXMatrixRotationZ, {1, 0, 0}, {0, 1, 0}},
                 {D3DXMatrixRotationX, {0, 1, 0}, {0, 0, 1}},
                 {D3DXMatrixRotationY, {0, 0, 1}, {1, 0, 0}}};
    for (const Case& c : cases) {
        D3DXMATRIX m;
        c.rotate(&m, D3DX_PI / 2);
        D3DXVECTOR3 turned;
        ExpectVectorNear(c.to, *D3DXVec3TransformCoord(&turned, &c.from, &m));
    }
}

TEST(D3DXMath, RotationAxisAgreesWithTheAxisRotationsAndNormalisesTheAxis) {
    D3DXMATRIX axis, expected;
    const D3DXVECTOR3 longX{5, 0, 0};
    D3DXMatrixRotationAxis(&axis, &longX, 0.7f);
    ExpectMatrixNear(*D3DXMatrixRotationX(&expected, 0.7f), axis);

    // A third of a turn about (1, 1, 1) cycles the axes x -> y -> z.
    const D3DXVECTOR3 diagonal{1, 1, 1}, x{1, 0, 0};
    D3DXMatrixRotationAxis(&axis, &diagonal, 2 * D3DX_PI / 3);
    D3DXVECTOR3 turned;
    ExpectVectorNear({0, 1, 0}, *D3DXVec3TransformCoord(&turned, &x, &axis));

    const D3DXVECTOR3 zero;
    ExpectMatrixNear(Identity(), *D3DXMatrixRotationAxis(&axis, &zero, 1.0f));
}

TEST(D3DXMath, YawPitchRollTurnsRollThenPitchThenYaw) {
    D3DXMATRIX m, r, p, y;
    D3DXMatrixRotationYawPitchRoll(&m, 0.3f, -0.5f, 1.1f);
    D3DXMatrixRotationZ(&r, 1.1f);
    D3DXMatrixRotationX(&p, -0.5f);
    D3DXMatrixRotationY(&y, 0.3f);
    ExpectMatrixNear(r * p * y, m);

    // Roll of a quarter turn alone: rows (0, 1, 0), (-1, 0, 0), (0, 0, 1).
    D3DXMatrixRotationYawPitchRoll(&m, 0, 0, 1.5707964f);
    ExpectMatrixNear(D3DXMATRIX(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1), m);
}

TEST(D3DXMath, InverseTimesMatrixIsIdentityAndSingularIsRefused) {
    const D3DXMATRIX m(2, 1, 0, 0, 0, 3, 1, 0, 1, 0, 4, 0, 5, -6, 7, 1);
    D3DXMATRIX inverse;
    float determinant = 0;
    ASSERT_NE(nullptr, D3DXMatrixInverse(&inverse, &determinant, &m));
    EXPECT_NEAR(25.0f, determinant, kTolerance); // 2*12 - 1*(-1) = 25
    ExpectMatrixNear(Identity(), m * inverse);
    ExpectMatrixNear(Identity(), inverse * m);

    const D3DXMATRIX singular(1, 2, 3, 0, 2, 4, 6, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    D3DXMATRIX untouched = Identity();
    EXPECT_EQ(nullptr, D3DXMatrixInverse(&untouched, &determinant, &singular));
    EXPECT_EQ(Identity(), untouched);
    EXPECT_EQ(0.0f, determinant);
}

TEST(D3DXMath, DecomposeRecoversScaleRotationAndTranslation) {
    D3DXMATRIX s, r, t;
    D3DXMatrixScaling(&s, 2, 3, 4);
    D3DXMatrixRotationY(&r, D3DX_PI / 3);
    D3DXMatrixTranslation(&t, -1, 5, 9);
    const D3DXMATRIX m = s * r * t;
    D3DXVECTOR3 scale, translation;
    D3DXQUATERNION rotation;
    ASSERT_EQ(D3D_OK, D3DXMatrixDecompose(&scale, &rotation, &translation, &m));
    ExpectVectorNear({2, 3, 4}, scale);
    ExpectVectorNear({-1, 5, 9}, translation);
    // A turn by a about y: (0, sin(a/2), 0, cos(a/2)).
    EXPECT_NEAR(0.0f, rotation.x, kTolerance);
    EXPECT_NEAR(0.5f, rotation.y, kTolerance);
    EXPECT_NEAR(0.0f, rotation.z, kTolerance);
    EXPECT_NEAR(std::sqrt(3.0f) / 2, rotation.w, kTolerance);

    const D3DXMATRIX flat(0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXMatrixDecompose(&scale, &rotation, &translation, &flat));
}

TEST(D3DXMath, ProjectGivesPixelsFromTopLeftAndUnprojectReturnsThePoint) {
    const D3DVIEWPORT9 viewport{100, 50, 800, 600, 0.0f, 1.0f};
    D3DXMATRIX projection, view;
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, 800.0f / 600.0f, 1.0f, 100.0f);
    const D3DXVECTOR3 eye{0, 0, -10}, at{0, 0, 0}, up{0, 1, 0};
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);

    D3DXVECTOR3 centre, screen;
    const D3DXVECTOR3 origin;
    ASSERT_NE(nullptr, D3DXVec3Project(&centre, &origin, &viewport, &projection, &view, nullptr));
    // The looked-at point lies in the middle of the viewport; depth from z = 10 of 1..100.
    ExpectVectorNear({500, 350, 100.0f / 99.0f * (1.0f - 1.0f / 10.0f)}, centre, 1e-3f);

    const D3DXVECTOR3 above{0, 1, 0};
    D3DXVec3Project(&screen, &above, &viewport, &projection, &view, nullptr);
    EXPECT_LT(screen.y, centre.y); // up in the world is up on the screen, rows count down

    const D3DXVECTOR3 point{1.5f, -2.0f, 3.0f};
    D3DXVECTOR3 back;
    D3DXVec3Project(&screen, &point, &viewport, &projection, &view, nullptr);
    ASSERT_NE(nullptr, D3DXVec3Unproject(&back, &screen, &viewport, &projection, &view, nullptr));
    ExpectVectorNear(point, back, 1e-3f);
}

TEST(D3DXMath, ProjectAndUnprojectRefuseWhatHasNoAnswer) {
    const D3DVIEWPORT9 empty{0, 0, 0, 0, 0.0f, 1.0f};
    const D3DXVECTOR3 point{1, 2, 3};
    D3DXVECTOR3 out{9, 9, 9};
    EXPECT_EQ(nullptr, D3DXVec3Unproject(&out, &point, &empty, nullptr, nullptr, nullptr));
    EXPECT_EQ(D3DXVECTOR3{}, out);

    const D3DVIEWPORT9 viewport{0, 0, 640, 480, 0.0f, 1.0f};
    const D3DXMATRIX singular{};
    out = {9, 9, 9};
    EXPECT_EQ(nullptr, D3DXVec3Unproject(&out, &point, &viewport, &singular, nullptr, nullptr));
    EXPECT_EQ(D3DXVECTOR3{}, out);
    EXPECT_EQ(nullptr, D3DXVec3Project(&out, &point, &viewport, &singular, nullptr, nullptr));
}
