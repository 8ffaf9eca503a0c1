// The device's lighting against closed forms, with its defaults (ambient 0, no specular, material
// ambient and emissive 0, diffuse from the vertex colour): directional, point and spot lights, range,
// attenuation, the cone, material sources, normal scaling. Flat shading shows the first vertex's colour.
#include "SceneDeviceFixture.h"

#include <cmath>

namespace {

constexpr int kChannelTolerance = 2;
constexpr float kPi = 3.14159265f;

class DeviceLighting : public SceneDeviceFixture {
protected:
    void SetUp() override {
        SceneDeviceFixture::SetUp();
        UsePixelProjection();
        ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT));
    }

    void Light(const D3DLIGHT9& light) {
        ASSERT_EQ(D3D_OK, m_device->SetLight(0, &light));
        ASSERT_EQ(D3D_OK, m_device->LightEnable(0, TRUE));
    }

    static D3DLIGHT9 White(D3DLIGHTTYPE type) {
        D3DLIGHT9 light{};
        light.Type = type;
        light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        light.Attenuation0 = 1.0f;
        light.Falloff = 1.0f;
        return light;
    }

    /// Red, green and blue of a triangle whose first vertex is at pixel (20, 20), depth 0.5, with
    /// `normal`; the pixel read lies inside the triangle.
    std::array<int, 3> LitAt(D3DVECTOR normal) {
        const SceneVertex first{20, 20, 0.5f, normal.x, normal.y, normal.z};
        EXPECT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
        EXPECT_EQ(D3D_OK, DrawFromBuffer({first, {50, 20, 0.5f}, {20, 50, 0.5f}}));
        const std::uint32_t pixel = Frame().At(26, 26);
        return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                static_cast<int>(pixel & 0xFF)};
    }

    static void ExpectGrey(int level, const std::array<int, 3>& rgb) {
        for (int channel : rgb) {
            EXPECT_NEAR(level, channel, kChannelTolerance);
        }
    }
};

constexpr D3DVECTOR kTowardsViewer{0.0f, 0.0f, -1.0f};

} // namespace

TEST_F(DeviceLighting, DiffuseFollowsTheCosineAndTheVertexColourUnlessTheMaterialIsTheSource) {
    D3DLIGHT9 red = White(D3DLIGHT_DIRECTIONAL);
    red.Diffuse = {1.0f, 0.0f, 0.0f, 1.0f};
    red.Direction = {0.0f, 1.0f, 1.0f}; // 45 degrees off the normal
    Light(red);
    const std::array<int, 3> slanted = LitAt(kTowardsViewer);
    EXPECT_NEAR(180, slanted[0], kChannelTolerance); // 255 cos 45
    EXPECT_EQ(0, slanted[1] + slanted[2]);

    D3DMATERIAL9 blue{};
    blue.Diffuse = {0.0f, 0.0f, 1.0f, 1.0f};
    ASSERT_EQ(D3D_OK, m_device->SetMaterial(&blue));
    D3DLIGHT9 straight = White(D3DLIGHT_DIRECTIONAL);
    straight.Direction = {0.0f, 0.0f, 1.0f};
    Light(straight);
    ExpectGrey(255, LitAt(kTowardsViewer)); // the white vertex colour is the diffuse source
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL));
    const std::array<int, 3> material = LitAt(kTowardsViewer);
    EXPECT_EQ((std::array<int, 3>{0, 0, 255}), material);
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_COLORVERTEX, FALSE));
    EXPECT_EQ(material, LitAt(kTowardsViewer));
}

TEST_F(DeviceLighting, ScaledWorldsScaleNormalsUnlessTheyAreNormalised) {
    D3DLIGHT9 straight = White(D3DLIGHT_DIRECTIONAL);
    straight.Direction = {0.0f, 0.0f, 1.0f};
    Light(straight);
    // A world of scale 2 about the lit vertex: the normal comes out half as long.
    const D3DMATRIX doubled{{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {-20, -20, -0.5f, 1}}};
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_WORLD, &doubled));
    ExpectGrey(128, LitAt(kTowardsViewer));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE));
    ExpectGrey(255, LitAt(kTowardsViewer));
}

TEST_F(DeviceLighting, PointLightsAttenuateAndStopAtTheirRange) {
    D3DLIGHT9 point = White(D3DLIGHT_POINT);
    point.Attenuation1 = 0.0f;
    point.Attenuation2 = 0.0625f;
    point.Range = 5.0f;
    point.Position = {20.0f, 20.0f, 0.5f - 4.0f};
    Light(point);
    ExpectGrey(128, LitAt(kTowardsViewer)); // 255 / (1 + 0.0625 * 16)
    point.Position.z = 0.5f - 6.0f;
    Light(point);
    ExpectGrey(0, LitAt(kTowardsViewer));
    // A light as the scene makes it has range 0: it lights nothing until the host gives it one.
    point.Range = 0.0f;
    point.Position.z = 0.5f - 1.0f;
    Light(point);
    ExpectGrey(0, LitAt(kTowardsViewer));
}

TEST_F(DeviceLighting, SpotLightsAreFullInsideThetaDarkOutsidePhiAndFallOffByThePowerBetween) {
    D3DLIGHT9 spot = White(D3DLIGHT_SPOT);
    spot.Range = 100.0f;
    spot.Direction = {0.0f, 0.0f, 1.0f};
    spot.Theta = 30.0f * kPi / 180.0f;
    spot.Phi = 60.0f * kPi / 180.0f;
    const float cosTheta = std::cos(spot.Theta / 2.0f);
    const float cosPhi = std::cos(spot.Phi / 2.0f);
    for (const float falloff : {1.0f, 2.0f}) {
        for (const float degrees : {10.0f, 22.5f, 29.0f, 35.0f}) {
            // The light sits 4 units from the vertex, `degrees` off its axis, and the vertex faces it. At
            // 22.5 degrees with fall-off 1 the vertex gets 0.579 of the light (148), not a linear ramp's 128.
            const float alpha = degrees * kPi / 180.0f;
            const float rho = std::cos(alpha);
            spot.Falloff = falloff;
            spot.Position = {20.0f - 4.0f * std::sin(alpha), 20.0f, 0.5f - 4.0f * rho};
            Light(spot);
            const float expected = rho > cosTheta  ? 1.0f
                                   : rho <= cosPhi ? 0.0f
                                                   : std::pow((rho - cosPhi) / (cosTheta - cosPhi), falloff);
            SCOPED_TRACE(testing::Message() << degrees << " degrees, fall-off " << falloff);
            ExpectGrey(static_cast<int>(std::lround(255.0f * expected)),
                       LitAt({-std::sin(alpha), 0.0f, -rho}));
        }
    }
}

TEST_F(DeviceLighting, SpecularUsesTheHalfVectorOfAViewerAtTheEyeAndShowsOnlyWhileEnabled) {
    D3DLIGHT9 green = White(D3DLIGHT_DIRECTIONAL);
    green.Diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
    green.Specular = {0.0f, 1.0f, 0.0f, 1.0f};
    green.Direction = {0.0f, 0.0f, 1.0f};
    Light(green);
    D3DMATERIAL9 shiny{};
    shiny.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    shiny.Power = 4.0f;
    ASSERT_EQ(D3D_OK, m_device->SetMaterial(&shiny));
    ExpectGrey(0, LitAt(kTowardsViewer));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_SPECULARENABLE, TRUE));
    // N = L = (0, 0, -1), V = -P / |P| for P = (20, 20, 0.5): (N.H)^4 with H = (L + V) / |L + V|.
    const float p = std::sqrt(800.25f);
    const float h[3] = {-20.0f / p, -20.0f / p, -0.5f / p - 1.0f};
    const float nDotH = -h[2] / std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
    EXPECT_NEAR(255.0f * std::pow(nDotH, 4.0f), LitAt(kTowardsViewer)[1], kChannelTolerance);
}
