// Triangles crossing the near plane (z < 0) or the far plane (z > w) draw their inside parts: clipped,
// neither dropped nor wrapped round through the eye to the top of the picture.
#include "SceneDeviceFixture.h"
#include "support/LitPixels.h"

namespace {

class DeviceClipping : public SceneDeviceFixture {
protected:
    void SetUp() override {
        SceneDeviceFixture::SetUp();
        ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_LIGHTING, FALSE));
    }

    LitPixels Drawn(const std::vector<SceneVertex>& triangles) {
        EXPECT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
        EXPECT_EQ(D3D_OK, DrawFromBuffer(triangles));
        return LitPixels::In(Frame());
    }
};

/// Edge pixels of a clipped triangle may fall either way.
constexpr int kEdgePixels = 60;

} // namespace

TEST_F(DeviceClipping, AFloorRunningBehindTheEyeShowsOnlyItsPartAheadOfTheNearPlane) {
    // A floor 1 below the eye from z = -10 to 10, 20 wide, under a 90-degree perspective: a floor point
    // at depth z shows at height -1 / z, so the part from the near plane (z = 1) to its far edge
    // (z = 10) fills the rows from 0.1 below the centre to the bottom, across the whole width.
    UsePerspective(1.0f, 100.0f);
    std::vector<SceneVertex> floor = Quad(-10, 10, 10, -10, 0.0f);
    for (SceneVertex& vertex : floor) {
        vertex.z = vertex.y;
        vertex.y = -1.0f;
    }
    const float firstRow = kSide / 2.0f * 1.1f;
    LitPixels lit = Drawn(floor);
    EXPECT_NEAR(kSide * (kSide - firstRow), lit.count, kEdgePixels);
    EXPECT_NEAR(firstRow, lit.top, 1.0f);
    EXPECT_EQ(0, lit.left);
    EXPECT_EQ(static_cast<int>(kSide), lit.right);
    // With the far plane at 5 the rows above 0.2 below the centre go.
    UsePerspective(1.0f, 5.0f);
    lit = Drawn(floor);
    EXPECT_NEAR(kSide * (kSide - kSide / 2.0f * 1.2f), lit.count, kEdgePixels);
    EXPECT_NEAR(kSide / 2.0f * 1.2f, lit.top, 1.0f);
}
