#include "support/RendererFixture.h"
#include "renderer/IOrvalen2DD3D.h"

#include <memory>

namespace {

/// A texture or surface that only counts how often it is released.
template <typename Interface> struct CountedRelease : Interface {
    int released = 0;
    ULONG AddRef() override { return 1; }
    ULONG Release() override {
        ++released;
        return 0;
    }
};

struct CountedTexture : CountedRelease<IDirect3DTexture9> {
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetSurfaceLevel(UINT, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
};
struct CountedSurface : CountedRelease<IDirect3DSurface9> {
    HRESULT GetDesc(D3DSURFACE_DESC*) override { return D3DERR_INVALIDCALL; }
};
struct CountedRenderToSurface : CountedRelease<ID3DXRenderToSurface> {
    HRESULT BeginScene(IDirect3DSurface9*, const D3DVIEWPORT9*) override { return D3DERR_INVALIDCALL; }
    HRESULT EndScene(DWORD) override { return D3DERR_INVALIDCALL; }
};

} // namespace

TEST(IOrvalen2DD3DTextureSlots, DestroyTextureReleasesOnlyTheTextureAndDestroyRenderTargetEverything) {
    CountedTexture texture;
    CountedSurface surface;
    CountedRenderToSurface target;
    auto twoD = std::make_unique<IOrvalen2DD3D>();
    TextureSlot& slot = twoD->Textures[7];
    slot.Texture = &texture;
    slot.Surface = &surface;
    slot.RenderToSurface = &target;
    twoD->DestroyTexture(7);
    EXPECT_EQ(1, texture.released);
    EXPECT_EQ(nullptr, slot.Texture);
    EXPECT_EQ(&target, slot.RenderToSurface); // still a render target
    twoD->DestroyTexture(7);
    EXPECT_EQ(1, texture.released);
    twoD->DestroyRenderTarget(7);
    EXPECT_EQ(1, surface.released);
    EXPECT_EQ(1, target.released);
    EXPECT_EQ(nullptr, slot.Surface);
    EXPECT_EQ(nullptr, slot.RenderToSurface);
    // Numbers outside the table change nothing.
    twoD->DestroyTexture(1000);
    twoD->DestroyRenderTarget(-1);
}

TEST(IOrvalen2DD3DTextureSlots, DestroyingTheInterfaceReleasesEveryEntryOnce) {
    CountedTexture first;
    CountedTexture last;
    CountedSurface surface;
    auto twoD = std::make_unique<IOrvalen2DD3D>();
    twoD->Textures[0].Texture = &first;
    twoD->Textures[999].Texture = &last;
    twoD->Textures[999].Surface = &surface;
    twoD.reset();
    EXPECT_EQ(1, first.released);
    EXPECT_EQ(1, last.released);
    EXPECT_EQ(1, surface.released);
}

using IOrvalen2DD3DReplaced = RendererFixture;

TEST_F(IOrvalen2DD3DReplaced, ASecondCreateDestroysTheFirstInterfaceWithItsTextures) {
    CountedTexture texture;
    ASSERT_EQ(1, m_handle->Create2DInterface());
    static_cast<IOrvalen2DD3D*>(m_handle->Interface2D)->Textures[3].Texture = &texture;
    ASSERT_EQ(1, m_handle->Create2DInterface());
    EXPECT_EQ(1, texture.released);
    EXPECT_EQ(nullptr, static_cast<IOrvalen2DD3D*>(m_handle->Interface2D)->Textures[3].Texture);
    m_handle->Destroy2DInterface();
    EXPECT_EQ(1, texture.released);
}
