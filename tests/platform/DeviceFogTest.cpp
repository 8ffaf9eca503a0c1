// Fog as the device computes it on 3D geometry, seen through a 90-degree perspective from the origin:
// the factor f mixes f C + (1 - f) fog colour, on eye depth, or on the distance from the eye while
// RANGEFOGENABLE is on.
#include "SceneDeviceFixture.h"

#include <cmath>

namespace {

constexpr int kChannelTolerance = 2;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlueFog = 0xFF0000FFu;

class DeviceFog : public SceneDeviceFixture {
protected:
    void SetUp() override {
        SceneDeviceFixture::SetUp();
        UsePerspective(1.0f, 100.0f);
        Set(D3DRS_LIGHTING, FALSE);
        Set(D3DRS_FOGENABLE, TRUE);
        Set(D3DRS_FOGCOLOR, kBlueFog);
        Set(D3DRS_FOGSTART, std::bit_cast<DWORD>(10.0f));
        Set(D3DRS_FOGEND, std::bit_cast<DWORD>(20.0f));
        Set(D3DRS_FOGDENSITY, std::bit_cast<DWORD>(0.1f));
    }

    /// Expects the centre pixel to be f red + (1 - f) blue, after drawing `triangles` red.
    void ExpectFogged(float f, std::vector<SceneVertex> triangles) {
        for (SceneVertex& vertex : triangles) {
            vertex.colour = kRed;
        }
        ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
        ASSERT_EQ(D3D_OK, DrawFromBuffer(triangles));
        const std::uint32_t pixel = Frame().At(kSide / 2, kSide / 2);
        EXPECT_NEAR(255.0f * f, (pixel >> 16) & 0xFF, kChannelTolerance);
        EXPECT_NEAR(255.0f * (1.0f - f), pixel & 0xFF, kChannelTolerance);
    }

    /// A face square to the view at eye depth 15, corners (+-1, +-1, 15).
    static std::vector<SceneVertex> FaceAtDepth15() { return Quad(-1, 1, 1, -1, 15.0f); }

    /// A triangle whose corners all lie 15 from the eye at eye depth 12: (9, 0, 12) and its turns.
    static std::vector<SceneVertex> RingAtRange15() { return {{9, 0, 12}, {0, -9, 12}, {-9, 0, 12}}; }
};

} // namespace

TEST_F(DeviceFog, DepthFogMixesEvenlyHalfWayAndFollowsEachMode) {
    for (const D3DRENDERSTATETYPE road : {D3DRS_FOGVERTEXMODE, D3DRS_FOGTABLEMODE}) {
        SCOPED_TRACE(road == D3DRS_FOGVERTEXMODE ? "vertex fog" : "table fog");
        Set(road, D3DFOG_LINEAR);
        ExpectFogged(0.5f, FaceAtDepth15()); // (20 - 15) / 10
        ExpectFogged(0.8f, RingAtRange15()); // depth 12, not range 15
        Set(road, D3DFOG_EXP);
        ExpectFogged(std::exp(-1.5f), FaceAtDepth15());
        Set(road, D3DFOG_EXP2);
        ExpectFogged(std::exp(-2.25f), FaceAtDepth15());
        Set(road, D3DFOG_NONE);
    }
    ExpectFogged(1.0f, FaceAtDepth15()); // fog enabled without a mode fogs nothing
}

TEST_F(DeviceFog, RangeFogTakesTheDistanceFromTheEye) {
    Set(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    Set(D3DRS_RANGEFOGENABLE, TRUE);
    ExpectFogged(0.5f, RingAtRange15());                                // where depth fog gives 0.8
    ExpectFogged((20.0f - std::sqrt(227.0f)) / 10.0f, FaceAtDepth15()); // 0.493
}
