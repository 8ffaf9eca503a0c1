// The texture table filled from image files and as render targets: what each entry holds, what the
// loaders ask of the library, failure roads and their log lines, and that nothing leaks.
#include "TexturedRendererFixture.h"

#include <filesystem>
#include <sys/stat.h>

namespace {

constexpr const char* kLoad = "D3DXCreateTextureFromFileExA";

/// The arguments after the device and file of the last load: width, height, levels, usage, format,
/// pool, filter, mip filter, colour key.
std::vector<std::int64_t> LastLoadArguments() {
    const std::vector<platform::TracedCall> calls = platform::CallsOf(kLoad);
    return calls.empty() ? std::vector<std::int64_t>{} : calls.back().arguments;
}

constexpr std::int64_t kDefault = 0xFFFFFFFFll;

} // namespace

using IOrvalen2DD3DTextures = TexturedRendererFixture;

TEST_F(IOrvalen2DD3DTextures, LoadersFillTheEntryWithTheFirstLevelsSizeAndFormat) {
    ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), 4));
    const TextureSlot& entry = m_2d->Textures[4];
    ASSERT_NE(nullptr, entry.Texture);
    EXPECT_EQ(16u, entry.Width);
    EXPECT_EQ(16u, entry.Height);
    EXPECT_EQ(D3DFMT_A8R8G8B8, entry.Format);
    EXPECT_EQ((std::vector<std::int64_t>{kDefault, kDefault, kDefault, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                         kDefault, kDefault, 0}),
              LastLoadArguments());

    const std::string bmp = WriteImage("wide.bmp", test_images::Make(20, 6, [](UINT, UINT) { return kBlue; }),
                                       test_images::Format::Bmp);
    ASSERT_TRUE(m_2d->LoadTextureUnfiltered(bmp.c_str(), 0x0000FF00u, 5));
    EXPECT_EQ(20u, m_2d->Textures[5].Width);
    EXPECT_EQ(6u, m_2d->Textures[5].Height);
    EXPECT_EQ(D3DFMT_A8R8G8B8, m_2d->Textures[5].Format) << "keyed textures keep alpha";
    EXPECT_EQ((std::vector<std::int64_t>{kDefault, kDefault, kDefault, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 1,
                                         1, 0xFF00FF00ll}),
              LastLoadArguments());
    EXPECT_EQ("", NewLog());
}

TEST_F(IOrvalen2DD3DTextures, AColourKeyWithoutAlphaKeysTheOpaqueColour) {
    const platform::Image keyed =
        test_images::Make(4, 4, [](UINT x, UINT y) { return x == y ? kMagenta : kGreen; });
    const std::string file = WriteImage("keyed.bmp", keyed, test_images::Format::Bmp);
    ASSERT_TRUE(m_2d->LoadTexture(file.c_str(), 0x00FF00FFu, 1));
    EXPECT_EQ(0xFFFF00FFll, LastLoadArguments()[8]);
    const platform::Image level = platform::ReadTextureLevel(m_2d->Textures[1].Texture, 0);
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
            EXPECT_EQ(x == y ? 0u : kGreen, level.At(x, y)) << x << ", " << y;
        }
    }
}

TEST_F(IOrvalen2DD3DTextures, AFailedLoadKeepsTheEntryAndALoadReplacesWhatItHeld) {
    ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), 7));
    IDirect3DTexture9* first = m_2d->Textures[7].Texture;
    EXPECT_FALSE(m_2d->LoadTexture("missing.png", 7));
    EXPECT_FALSE(m_2d->LoadTexture(nullptr, 7));
    EXPECT_EQ(first, m_2d->Textures[7].Texture);
    EXPECT_EQ(16u, m_2d->Textures[7].Width);
    EXPECT_EQ("", NewLog()) << "a file that cannot be loaded is not logged";

    ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), 0x00FFFFFFu, 7));
    EXPECT_NE(first, m_2d->Textures[7].Texture);
    EXPECT_EQ(1, platform::LiveObjects("IDirect3DTexture9")) << "the first texture was released";

    // Loading into a render target's entry makes it an ordinary texture.
    ASSERT_TRUE(m_2d->CreateRenderTarget(32, 32, 0, 8));
    ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), 8));
    EXPECT_EQ(nullptr, m_2d->Textures[8].RenderToSurface);
    EXPECT_EQ(nullptr, m_2d->Textures[8].Surface);
    EXPECT_EQ(0, platform::LiveObjects("ID3DXRenderToSurface"));
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DSurface9"));
    EXPECT_EQ(2, platform::LiveObjects("IDirect3DTexture9"));
}

TEST_F(IOrvalen2DD3DTextures, AnUnreadableDescriptionFailsTheLoadWithoutALeak) {
    platform::FailCall("IDirect3DTexture9::GetLevelDesc");
    EXPECT_FALSE(m_2d->LoadTexture(m_quadrants.c_str(), 2));
    EXPECT_EQ(nullptr, m_2d->Textures[2].Texture);
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DTexture9"));
    EXPECT_EQ("ERROR: LoadTexture Failed - Couldn't Describe Texture\n", NewLog());
}

TEST_F(IOrvalen2DD3DTextures, SlotsOutsideTheTableAreRefusedWithALogLine) {
    EXPECT_FALSE(m_2d->LoadTexture(m_quadrants.c_str(), 1000));
    EXPECT_FALSE(m_2d->LoadTexture(m_quadrants.c_str(), 0xFF00FF, -1));
    EXPECT_FALSE(m_2d->LoadTextureUnfiltered(m_quadrants.c_str(), 0, 5000));
    EXPECT_FALSE(m_2d->CreateRenderTarget(16, 16, 0, 1000));
    EXPECT_FALSE(m_2d->SetTexture(-2));
    m_2d->DestroyTexture(1000);
    m_2d->DestroyRenderTarget(-1);
    EXPECT_FALSE(m_2d->DrawTexture(8, 8, 1000));
    EXPECT_EQ("ERROR: LoadTexture Failed - Bad Index 1000\n"
              "ERROR: LoadTexture Failed - Bad Index -1\n"
              "ERROR: LoadTextureUnfiltered Failed - Bad Index 5000\n"
              "ERROR: CreateRenderTarget Failed - Bad Index 1000\n"
              "ERROR: SetTexture Failed - Bad Index -2\n"
              "ERROR: DestroyTexture Failed - Bad Index 1000\n"
              "ERROR: DestroyRenderTarget Failed - Bad Index -1\n"
              "ERROR: DrawTexture Failed - Bad Index 1000\n",
              NewLog());
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DTexture9"));
}

TEST_F(IOrvalen2DD3DTextures, ARenderTargetGetsThePerspectiveOfItsAspect) {
    ASSERT_TRUE(m_2d->CreateRenderTarget(512, 256, 99, 3));
    const TextureSlot& entry = m_2d->Textures[3];
    ASSERT_NE(nullptr, entry.Texture);
    ASSERT_NE(nullptr, entry.Surface);
    ASSERT_NE(nullptr, entry.RenderToSurface);
    D3DXMATRIX expected;
    D3DXMatrixPerspectiveFovLH(&expected, Renderer().FieldOfView, 2.0f, Renderer().NearPlane,
                               Renderer().FarPlane);
    EXPECT_EQ(0, std::memcmp(&expected, &entry.Projection, sizeof expected));
    D3DSURFACE_DESC description{};
    ASSERT_EQ(D3D_OK, entry.Surface->GetDesc(&description));
    EXPECT_EQ(512u, description.Width);
    EXPECT_EQ(256u, description.Height);
    EXPECT_EQ(D3DUSAGE_RENDERTARGET, description.Usage);
    EXPECT_EQ(D3DPOOL_DEFAULT, description.Pool);
    const std::vector<platform::TracedCall> made = platform::CallsOf("D3DXCreateRenderToSurface");
    ASSERT_EQ(1u, made.size());
    EXPECT_EQ((std::vector<std::int64_t>{512, 256, D3DFMT_A8R8G8B8, 1, Renderer().DepthStencilFormat}),
              made[0].arguments);

    m_2d->DestroyRenderTarget(3);
    EXPECT_EQ(nullptr, entry.Texture);
    EXPECT_EQ(nullptr, entry.Surface);
    EXPECT_EQ(nullptr, entry.RenderToSurface);
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DTexture9"));
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DSurface9"));
    EXPECT_EQ(0, platform::LiveObjects("ID3DXRenderToSurface"));
    m_2d->DestroyRenderTarget(3);
    EXPECT_EQ("", NewLog());
}

TEST_F(IOrvalen2DD3DTextures, EachRenderTargetFailureIsLoggedAndLeavesTheEntryAsItWas) {
    struct Road {
        const char* operation;
        const char* line;
    };
    const Road roads[] = {
        {"D3DXCreateTexture", "ERROR: CreateRenderTarget Failed - Couldn't Create RenderTarget\n"},
        {"IDirect3DTexture9::GetSurfaceLevel", "ERROR: CreateRenderTarget Failed - Couldn't Get Surface\n"},
        {"IDirect3DSurface9::GetDesc", "ERROR: CreateRenderTarget Failed - Couldn't Describe Surface\n"},
        {"D3DXCreateRenderToSurface", "ERROR: CreateRenderTarget Failed - Couldn't Create RenderToSurface\n"},
    };
    ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), 6));
    IDirect3DTexture9* loaded = m_2d->Textures[6].Texture;
    for (const Road& road : roads) {
        SCOPED_TRACE(road.operation);
        const std::string before = LogText();
        platform::FailCall(road.operation);
        EXPECT_FALSE(m_2d->CreateRenderTarget(64, 64, 0, 6));
        EXPECT_EQ(road.line, LogText().substr(before.size()));
        EXPECT_EQ(loaded, m_2d->Textures[6].Texture);
        EXPECT_EQ(nullptr, m_2d->Textures[6].RenderToSurface);
        EXPECT_EQ(1, platform::LiveObjects("IDirect3DTexture9"));
        EXPECT_EQ(0, platform::LiveObjects("IDirect3DSurface9"));
    }
    const std::string before = LogText();
    EXPECT_FALSE(m_2d->CreateRenderTarget(0, 64, 0, 6)) << "a side of 0 has no aspect";
    EXPECT_EQ("ERROR: CreateRenderTarget Failed - Couldn't Create RenderTarget\n",
              LogText().substr(before.size()));
}

TEST_F(IOrvalen2DD3DTextures, GetImageInfoReadsTheSizeAndLeavesOutputsAloneOnFailure) {
    const std::string file = WriteImage(
        "large.png", test_images::Make(640, 480, [](UINT, UINT) { return kRed; }), test_images::Format::Png);
    std::uint32_t width = 1;
    std::uint32_t height = 2;
    std::uint32_t depth = 3;
    EXPECT_FALSE(m_2d->GetImageInfo("missing.png", &width, &height, &depth));
    EXPECT_EQ(1u, width);
    EXPECT_EQ(2u, height);
    EXPECT_EQ(3u, depth);
    EXPECT_FALSE(m_2d->GetImageInfo(file.c_str(), &width, nullptr, &depth));
    EXPECT_EQ(1u, width);
    ASSERT_TRUE(m_2d->GetImageInfo(file.c_str(), &width, &height, &depth));
    EXPECT_EQ(640u, width);
    EXPECT_EQ(480u, height);
    EXPECT_EQ(1u, depth);
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DTexture9"));
}

TEST_F(IOrvalen2DD3DTextures, FoldersDevicesAndPipesAreFailedLoadsNotEndlessReads) {
    std::filesystem::create_directory("folder.png");
    ASSERT_EQ(0, mkfifo("pipe.png", 0600));
    std::uint32_t width = 1;
    std::uint32_t height = 2;
    std::uint32_t depth = 3;
    for (const char* path : {"folder.png", "/dev/zero", "pipe.png"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(m_2d->LoadTexture(path, 5));
        EXPECT_FALSE(m_2d->GetImageInfo(path, &width, &height, &depth));
        EXPECT_FALSE(m_handle->LoadShaderEffect(path, 2));
    }
    EXPECT_EQ(1u, width);
    EXPECT_EQ(nullptr, m_2d->Textures[5].Texture);
    EXPECT_EQ("ERROR: LoadShaderEffect Failed - Couldn't Read <folder.png>\n"
              "ERROR: LoadShaderEffect Failed - Couldn't Read </dev/zero>\n"
              "ERROR: LoadShaderEffect Failed - Couldn't Read <pipe.png>\n",
              NewLog()) << "a texture that cannot be loaded is not logged";
}

TEST_F(IOrvalen2DD3DTextures, SetTextureBindsTheEntrysTextureAndAnEmptyEntryBindsNone) {
    ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), 9));
    ASSERT_TRUE(m_2d->SetTexture(9));
    EXPECT_EQ(m_2d->Textures[9].Texture, Stage0());
    ASSERT_TRUE(m_2d->SetTexture(10));
    EXPECT_EQ(nullptr, Stage0());
    ASSERT_TRUE(m_2d->SetTexture(9));
    ASSERT_TRUE(m_2d->UnsetTexture());
    EXPECT_EQ(nullptr, Stage0());
    platform::FailCall("IDirect3DDevice9::SetTexture");
    EXPECT_FALSE(m_2d->SetTexture(9));
    platform::FailCall("IDirect3DDevice9::SetTexture");
    EXPECT_FALSE(m_2d->UnsetTexture());
}

TEST_F(IOrvalen2DD3DTextures, DestroyTextureOnARenderTargetLeavesItARenderTarget) {
    ASSERT_TRUE(m_2d->CreateRenderTarget(32, 32, 0, 3));
    m_2d->DestroyTexture(3);
    EXPECT_EQ(nullptr, m_2d->Textures[3].Texture);
    ASSERT_NE(nullptr, m_2d->Textures[3].RenderToSurface);
    EXPECT_EQ(1, platform::LiveObjects("IDirect3DTexture9")) << "its surface holds it";
    EXPECT_TRUE(m_handle->StartRenderToTexture(3));
    EXPECT_TRUE(m_handle->EndRenderToTexture(3));
    m_2d->DestroyRenderTarget(3);
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DTexture9"));
}
