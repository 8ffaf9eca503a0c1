#pragma once
// A started renderer of 800 x 600 with a camera at z = -10 looking at the origin, lighting off, point
// filtering and a 2D interface; image files are written into the test's own folder.

#include "support/RendererFixture.h"
#include "TestImages.h"
#include "renderer/IOrvalen2DD3D.h"

#include <cstring>
#include <string>
#include <vector>

class TexturedRendererFixture : public CameraRendererFixture {
protected:
    static constexpr std::uint32_t kBlack = 0xFF000000u;
    static constexpr std::uint32_t kRed = 0xFFFF0000u;
    static constexpr std::uint32_t kGreen = 0xFF00FF00u;
    static constexpr std::uint32_t kBlue = 0xFF0000FFu;
    static constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
    static constexpr std::uint32_t kMagenta = 0xFFFF00FFu;

    void SetUp() override {
        CameraRendererFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_handle->SetLighting(false);
        ASSERT_TRUE(m_handle->SetFilter(0));
        ASSERT_EQ(1, m_handle->Create2DInterface());
        m_2d = static_cast<IOrvalen2DD3D*>(m_handle->Interface2D);
        m_quadrants = WriteImage("quadrants.png", test_images::Quadrants(), test_images::Format::Png);
        m_startLog = LogText();
    }

    void TearDown() override {
        if (m_handle != nullptr && m_handle->Interface2D != nullptr) {
            m_handle->Destroy2DInterface();
        }
        CameraRendererFixture::TearDown();
    }

    /// Writes `image` into the working folder; the file's name.
    static std::string WriteImage(const char* name, const platform::Image& image,
                                  test_images::Format format) {
        EXPECT_TRUE(test_images::Write(name, image, format));
        return name;
    }

    /// What the log gained since the fixture was set up.
    std::string NewLog() const { return LogText().substr(m_startLog.size()); }

    IDirect3DDevice9* Device() { return Renderer().Device; }
    platform::Image Frame() { return platform::ReadBackBuffer(Device()); }

    /// The texture bound to stage 0 now, without the reference GetTexture adds.
    IDirect3DBaseTexture9* Stage0() {
        IDirect3DBaseTexture9* texture = nullptr;
        EXPECT_EQ(D3D_OK, Device()->GetTexture(0, &texture));
        if (texture != nullptr) {
            texture->Release();
        }
        return texture;
    }

    /// The pixel position and depth of a world point.
    D3DXVECTOR3 Pixel(const D3DXVECTOR3& world) {
        D3DXVECTOR3 pixel;
        D3DXVec3Project(&pixel, &world, &Renderer().Viewport, &Renderer().ProjectionMatrix,
                        &Renderer().ViewMatrix, nullptr);
        return pixel;
    }

    /// The vertices of a draw of TexturedVertex2D.
    static std::vector<TexturedVertex2D> Vertices(const platform::DrawnPrimitives& draw) {
        std::vector<TexturedVertex2D> vertices;
        for (std::size_t offset = 0; offset + sizeof(TexturedVertex2D) <= draw.vertices.size();
             offset += draw.stride) {
            TexturedVertex2D vertex;
            std::memcpy(&vertex, draw.vertices.data() + offset, sizeof vertex);
            vertices.push_back(vertex);
        }
        return vertices;
    }

    IOrvalen2DD3D* m_2d = nullptr;
    std::string m_quadrants; ///< a 16 x 16 image of red, green, blue and white quadrants
    std::string m_startLog;
};
