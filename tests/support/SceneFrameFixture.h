#pragma once
// A 3D scene drawn as a host draws it: cleared frames bracketed by StartRendering/Begin3D and
// End3D/EndRendering, read back as pixels and stencil counts, and world points projected to pixels.

#include "support/SceneFixture.h"

#include <cstdlib>

class SceneFrameFixture : public SceneFixture {
protected:
    /// Draws one frame onto black, cleared depth and stencil; `draw` runs inside the host's frame.
    template <typename Draw> void Frame(Draw draw) {
        ASSERT_TRUE(m_handle->Clear(true, true, true, 0xFF000000u));
        ASSERT_TRUE(m_handle->StartRendering());
        m_scene->Begin3D();
        draw();
        m_scene->End3D();
        ASSERT_TRUE(m_handle->EndRendering());
    }

    platform::Image Pixels() { return platform::ReadBackBuffer(Renderer().Device); }
    platform::DepthStencilImage DepthStencil() { return platform::ReadDepthStencil(Renderer().Device); }

    /// The pixel a world point projects to through the renderer's viewport, projection and view.
    D3DXVECTOR3 ScreenOf(float x, float y, float z) {
        const D3DXVECTOR3 world(x, y, z);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        D3DXVECTOR3 screen;
        D3DXVec3Project(&screen, &world, &Renderer().Viewport, &Renderer().ProjectionMatrix,
                        &Renderer().ViewMatrix, &identity);
        return screen;
    }

    static int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

    /// Whether `pixel` reads (r, g, b) within `tolerance` per channel.
    static ::testing::AssertionResult Reads(std::uint32_t pixel, int r, int g, int b, int tolerance) {
        if (std::abs(Channel(pixel, 16) - r) <= tolerance && std::abs(Channel(pixel, 8) - g) <= tolerance &&
            std::abs(Channel(pixel, 0) - b) <= tolerance) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "reads (" << Channel(pixel, 16) << ", " << Channel(pixel, 8) << ", "
                                             << Channel(pixel, 0) << "), not (" << r << ", " << g << ", " << b << ")";
    }
};
