// Texture stages of the device: what they take, how their samplers filter, and render to surface
// with its own depth-stencil buffer; resets against default-pool resources.
#include "TextureFixture.h"
#include "platform/D3DXRenderToSurface.h"

namespace {

using test_images::Format;


/// Red channel of a pixel.
int RedOf(std::uint32_t pixel) {
    return static_cast<int>((pixel >> 16) & 0xFF);
}

/// A texture of another kind than the layer's own, as a host might pass.
class ForeignTexture final : public IDirect3DTexture9 {
public:
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetSurfaceLevel(UINT, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
};

class DeviceTextures : public TextureFixture {
protected:
    /// A texture one texel high: black on the left half, white on the right.
    IDirect3DTexture9* BlackWhite() {
        const platform::Image image =
            test_images::Make(2, 1, [](UINT x, UINT) { return x == 0 ? kBlack : kWhite; });
        return Load(WriteImage("bw.png", image, Format::Png), D3DX_FILTER_POINT);
    }

    /// Red channel at pixel 24 of a 64-pixel-wide quad showing BlackWhite with these filters: the
    /// pixel's centre lies at u = 0.375, a quarter of the way from the black texel's centre to the white
    /// one's.
    int RedAtQuarter(D3DTEXTUREFILTERTYPE filter) {
        EXPECT_EQ(D3D_OK, m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter));
        EXPECT_EQ(D3D_OK, m_device->SetSamplerState(0, D3DSAMP_MINFILTER, filter));
        EXPECT_EQ(D3D_OK, m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP));
        EXPECT_EQ(D3D_OK, DrawQuad(0, 0, 64, 16));
        return RedOf(Frame().At(24, 8));
    }
};

} // namespace

TEST_F(DeviceTextures, AQuadShowsItsTextureTopRowFirst) {
    IDirect3DTexture9* texture = Load(WriteImage("q.png", test_images::Quadrants(), Format::Png));
    ASSERT_NE(nullptr, texture);
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, texture));
    ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 32, 32));
    const platform::Image frame = Frame();
    EXPECT_EQ(kRed, frame.At(4, 4));
    EXPECT_EQ(kGreen, frame.At(28, 4));
    EXPECT_EQ(kBlue, frame.At(4, 28));
    EXPECT_EQ(kWhite, frame.At(28, 28));
    EXPECT_EQ(kBlack, frame.At(40, 40)) << "outside the quad";

    // The vertex colour modulates the texture; a stage left empty draws the vertex colour alone.
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, nullptr));
    ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 32, 32));
    EXPECT_EQ(kWhite, Frame().At(4, 4));
    texture->Release();
}

TEST_F(DeviceTextures, SamplerFiltersChooseBetweenNearestAndBlendedTexels) {
    IDirect3DTexture9* texture = BlackWhite();
    ASSERT_NE(nullptr, texture);
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, texture));
    EXPECT_EQ(0, RedAtQuarter(D3DTEXF_POINT));
    // 64 of 255, give or take the rasteriser's rounding.
    EXPECT_NEAR(64, RedAtQuarter(D3DTEXF_LINEAR), 8);
    EXPECT_NEAR(64, RedAtQuarter(D3DTEXF_ANISOTROPIC), 8) << "a quad facing the viewer filters as linear";
    texture->Release();
}

TEST_F(DeviceTextures, StagesTakeOnlyTexturesOfTheirOwnDeviceAndForgetTexturesThatGo) {
    IDirect3DTexture9* texture = BlackWhite();
    ASSERT_NE(nullptr, texture);
    ForeignTexture foreign;
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTexture(0, &foreign));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetTexture(8, texture));
    IDirect3DDevice9* other = MakeDevice();
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(D3DERR_INVALIDCALL, other->SetTexture(0, texture));
    other->Release();

    ASSERT_EQ(D3D_OK, m_device->SetTexture(3, texture));
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetTexture(3, &bound));
    EXPECT_EQ(texture, bound);
    bound->Release();
    texture->Release();
    ASSERT_EQ(D3D_OK, m_device->GetTexture(3, &bound));
    EXPECT_EQ(nullptr, bound) << "the stage let go of the texture that went";
}

TEST_F(DeviceTextures, RenderToSurfaceDrawsIntoTheTextureWithItsOwnDepthBuffer) {
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTexture(m_device, 32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                        D3DPOOL_DEFAULT, &target));
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(D3D_OK, target->GetSurfaceLevel(0, &surface));
    ID3DXRenderToSurface* renderer = nullptr;
    ASSERT_EQ(D3D_OK,
              D3DXCreateRenderToSurface(m_device, 32, 16, D3DFMT_A8R8G8B8, TRUE, D3DFMT_D24S8, &renderer));

    ASSERT_EQ(D3D_OK, renderer->BeginScene(surface, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, renderer->BeginScene(surface, nullptr)) << "already drawing";
    const D3DVIEWPORT9 whole = *platform::DeviceViewport(m_device);
    EXPECT_EQ(32u, whole.Width);
    EXPECT_EQ(16u, whole.Height);
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kRed,
                                      1.0f, 0));
    const D3DMATRIX targetPixels = PixelProjection(32, 16);
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &targetPixels));
    // The near quad first: the far one behind it fails the depth test of the target's own buffer.
    const TexturedVertex nearQuad[4] = {{0, 0, 0.2f, 0, 0, -1, kGreen},
                                        {16, 0, 0.2f, 0, 0, -1, kGreen},
                                        {0, 16, 0.2f, 0, 0, -1, kGreen},
                                        {16, 16, 0.2f, 0, 0, -1, kGreen}};
    const TexturedVertex farQuad[4] = {{0, 0, 0.8f, 0, 0, -1, kBlue},
                                       {32, 0, 0.8f, 0, 0, -1, kBlue},
                                       {0, 16, 0.8f, 0, 0, -1, kBlue},
                                       {32, 16, 0.8f, 0, 0, -1, kBlue}};
    ASSERT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, nearQuad, sizeof(TexturedVertex)));
    ASSERT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, farQuad, sizeof(TexturedVertex)));
    ASSERT_EQ(D3D_OK, renderer->EndScene(0));
    EXPECT_EQ(D3DERR_INVALIDCALL, renderer->EndScene(0));
    const D3DMATRIX backBufferPixels = PixelProjection(kWidth, kHeight);
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &backBufferPixels));
    EXPECT_EQ(kWidth, platform::DeviceViewport(m_device)->Width) << "the device's viewport is back";

    const platform::Image drawn = platform::ReadTextureLevel(target, 0);
    EXPECT_EQ(kGreen, drawn.At(4, 8));
    EXPECT_EQ(kBlue, drawn.At(28, 8));
    EXPECT_EQ(kBlack, Frame().At(4, 8)) << "nothing reached the back buffer";

    // The picture drawn into the target is a texture like any other.
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, target));
    ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 64, 32));
    EXPECT_EQ(kGreen, Frame().At(8, 16));
    EXPECT_EQ(kBlue, Frame().At(56, 16));

    renderer->Release();
    surface->Release();
    target->Release();
}

TEST_F(DeviceTextures, RenderToSurfaceRefusesScenesItCannotDraw) {
    IDirect3DTexture9* target = nullptr;
    IDirect3DTexture9* small = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTexture(m_device, 32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                        D3DPOOL_DEFAULT, &target));
    ASSERT_EQ(D3D_OK, D3DXCreateTexture(m_device, 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                        D3DPOOL_DEFAULT, &small));
    IDirect3DTexture9* loaded = BlackWhite();
    IDirect3DSurface9* surface = nullptr;
    IDirect3DSurface9* smallSurface = nullptr;
    IDirect3DSurface9* loadedSurface = nullptr;
    ASSERT_EQ(D3D_OK, target->GetSurfaceLevel(0, &surface));
    ASSERT_EQ(D3D_OK, small->GetSurfaceLevel(0, &smallSurface));
    ASSERT_EQ(D3D_OK, loaded->GetSurfaceLevel(0, &loadedSurface));
    ID3DXRenderToSurface* renderer = nullptr;
    ASSERT_EQ(D3D_OK,
              D3DXCreateRenderToSurface(m_device, 32, 16, D3DFMT_A8R8G8B8, TRUE, D3DFMT_D24S8, &renderer));

    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, renderer->BeginScene(surface, nullptr)) << "inside the device's scene";
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, renderer->BeginScene(smallSurface, nullptr)) << "another size";
    EXPECT_EQ(D3DERR_INVALIDCALL, renderer->BeginScene(loadedSurface, nullptr)) << "not a render target";
    EXPECT_EQ(D3DERR_INVALIDCALL, renderer->BeginScene(nullptr, nullptr));
    const D3DVIEWPORT9 outside{16, 0, 32, 16, 0.0f, 1.0f};
    EXPECT_EQ(D3DERR_INVALIDCALL, renderer->BeginScene(surface, &outside));
    EXPECT_EQ(kWidth, platform::DeviceViewport(m_device)->Width);
    ID3DXRenderToSurface* refused = nullptr;
    EXPECT_EQ(D3DERR_NOTAVAILABLE,
              D3DXCreateRenderToSurface(m_device, 32, 16, D3DFMT_R5G6B5, TRUE, D3DFMT_D24S8, &refused));
    EXPECT_EQ(nullptr, refused);
    EXPECT_EQ(1, platform::LiveObjects("ID3DXRenderToSurface"));

    for (IUnknown* object : std::initializer_list<IUnknown*>{renderer, surface, smallSurface, loadedSurface,
                                                             target, small, loaded}) {
        object->Release();
    }
}

TEST_F(DeviceTextures, AResetEmptiesTheStagesAndCanBeRefusedWhileDefaultPoolResourcesLive) {
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTexture(m_device, 32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                        D3DPOOL_DEFAULT, &target));
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, target));
    D3DPRESENT_PARAMETERS parameters = *platform::DevicePresentParameters(m_device);
    ASSERT_EQ(D3D_OK, m_device->Reset(&parameters));
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetTexture(0, &bound));
    EXPECT_EQ(nullptr, bound);

    platform::AdapterConfiguration strict = platform::DefaultAdapter();
    strict.resetRefusesDefaultPool = true;
    platform::ConfigureAdapter(strict);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(&parameters));
    target->Release();
    EXPECT_EQ(D3D_OK, m_device->Reset(&parameters)) << "nothing of the default pool is left";

    // A managed texture does not stand in the way.
    IDirect3DTexture9* managed = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTexture(m_device, 8, 8, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, &managed));
    EXPECT_EQ(4u, managed->GetLevelCount());
    EXPECT_EQ(D3D_OK, m_device->Reset(&parameters));
    managed->Release();
}
