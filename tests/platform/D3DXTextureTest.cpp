// Textures loaded from image files: formats, the mip chain and its filters, the colour key, the size
// limit of the device, and the header read without decoding.
#include "TextureFixture.h"
#include "platform/BoundedFileReader.h"
#include "platform/ImageFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using test_images::Format;

constexpr std::uint32_t kMagenta = 0xFFFF00FFu;
/// Red, green, blue and white averaged channel by channel, rounded: (255 + 255 + 2) / 4 = 128.
constexpr std::uint32_t kQuadrantAverage = 0xFF808080u;

D3DSURFACE_DESC LevelDesc(IDirect3DTexture9* texture, UINT level) {
    D3DSURFACE_DESC description{};
    EXPECT_EQ(D3D_OK, texture->GetLevelDesc(level, &description));
    return description;
}

/// Quadrant colours of a square image, sampled at the centre of each quadrant.
void ExpectQuadrants(const platform::Image& image, int tolerance) {
    const UINT a = image.width / 4;
    const UINT b = image.width - 1 - image.width / 4;
    EXPECT_TRUE(test_images::Near(kRed, image.At(a, a), tolerance)) << std::hex << image.At(a, a);
    EXPECT_TRUE(test_images::Near(kGreen, image.At(b, a), tolerance)) << std::hex << image.At(b, a);
    EXPECT_TRUE(test_images::Near(kBlue, image.At(a, b), tolerance)) << std::hex << image.At(a, b);
    EXPECT_TRUE(test_images::Near(kWhite, image.At(b, b), tolerance)) << std::hex << image.At(b, b);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

/// Appends a PNG chunk; the decoder does not check the CRC, left zero.
void AppendChunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
    const auto length = static_cast<std::uint32_t>(data.size());
    png.insert(png.end(), {std::uint8_t(length >> 24), std::uint8_t(length >> 16), std::uint8_t(length >> 8),
                           std::uint8_t(length)});
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    png.insert(png.end(), 4, 0);
}

} // namespace

using D3DXTexture = TextureFixture;

TEST_F(D3DXTexture, EveryFileFormatLoadsWithAFullMipChainOfBoxAverages) {
    struct Case {
        const char* name;
        Format format;
        D3DXIMAGE_FILEFORMAT fileFormat;
        D3DFORMAT textureFormat; ///< formats that keep alpha load with it
        int tolerance;           ///< JPEG is lossy
    };
    const Case cases[] = {{"q.png", Format::Png, D3DXIFF_PNG, D3DFMT_A8R8G8B8, 0},
                          {"q.bmp", Format::Bmp, D3DXIFF_BMP, D3DFMT_X8R8G8B8, 0},
                          {"q.tga", Format::Tga, D3DXIFF_TGA, D3DFMT_A8R8G8B8, 0},
                          {"q.jpg", Format::Jpeg, D3DXIFF_JPG, D3DFMT_X8R8G8B8, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteImage(c.name, test_images::Quadrants(), c.format);
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileA(path.c_str(), &info));
        EXPECT_EQ(16u, info.Width);
        EXPECT_EQ(16u, info.Height);
        EXPECT_EQ(1u, info.Depth);
        EXPECT_EQ(c.fileFormat, info.ImageFileFormat);
        EXPECT_EQ(c.textureFormat, info.Format);

        IDirect3DTexture9* texture = Load(path);
        ASSERT_NE(nullptr, texture);
        // 16, 8, 4, 2, 1.
        ASSERT_EQ(5u, texture->GetLevelCount());
        EXPECT_EQ(c.textureFormat, LevelDesc(texture, 0).Format);
        EXPECT_EQ(D3DPOOL_MANAGED, LevelDesc(texture, 0).Pool);
        for (UINT level = 0; level < 4; ++level) {
            const D3DSURFACE_DESC description = LevelDesc(texture, level);
            EXPECT_EQ(16u >> level, description.Width);
            EXPECT_EQ(16u >> level, description.Height);
            ExpectQuadrants(platform::ReadTextureLevel(texture, level), c.tolerance);
        }
        const platform::Image last = platform::ReadTextureLevel(texture, 4);
        ASSERT_EQ(1u, last.width);
        EXPECT_TRUE(test_images::Near(kQuadrantAverage, last.At(0, 0), c.tolerance))
            << std::hex << last.At(0, 0);
        EXPECT_TRUE(platform::ReadTextureLevel(texture, 5).pixels.empty());
        D3DSURFACE_DESC ignored{};
        EXPECT_EQ(D3DERR_INVALIDCALL, texture->GetLevelDesc(5, &ignored));
        texture->Release();
    }
}

TEST_F(D3DXTexture, PixelsEqualToTheColourKeyBecomeTransparentBlack) {
    const platform::Image keyed = test_images::Make(
        4, 4, [](UINT x, UINT y) { return (x == 1 && y == 1) || (x == 2 && y == 3) ? kMagenta : kGreen; });
    const std::string path = WriteImage("keyed.bmp", keyed, Format::Bmp);

    IDirect3DTexture9* plain = Load(path);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(D3DFMT_X8R8G8B8, LevelDesc(plain, 0).Format);
    EXPECT_EQ(kMagenta, platform::ReadTextureLevel(plain, 0).At(1, 1));
    plain->Release();

    IDirect3DTexture9* texture = Load(path, D3DX_FILTER_POINT, kMagenta);
    ASSERT_NE(nullptr, texture);
    EXPECT_EQ(D3DFMT_A8R8G8B8, LevelDesc(texture, 0).Format) << "a key needs alpha";
    const platform::Image level = platform::ReadTextureLevel(texture, 0);
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
            EXPECT_EQ(keyed.At(x, y) == kMagenta ? 0u : kGreen, level.At(x, y)) << x << ", " << y;
        }
    }
    texture->Release();

    // A key that differs in alpha alone matches nothing: the file's pixels are opaque.
    IDirect3DTexture9* unkeyed = Load(path, D3DX_FILTER_POINT, 0x00FF00FFu);
    ASSERT_NE(nullptr, unkeyed);
    EXPECT_EQ(kMagenta, platform::ReadTextureLevel(unkeyed, 0).At(1, 1));
    unkeyed->Release();
}

TEST_F(D3DXTexture, FilterNoneMakesLowerLevelsFromEveryOtherPixelAndOthersAverage) {
    const platform::Image checker =
        test_images::Make(4, 4, [](UINT x, UINT y) { return (x + y) % 2 == 0 ? 0xFF000000u : kWhite; });
    const std::string path = WriteImage("checker.png", checker, Format::Png);
    IDirect3DTexture9* unfiltered = Load(path, D3DX_FILTER_NONE);
    IDirect3DTexture9* averaged = Load(path, D3DX_FILTER_BOX);
    ASSERT_NE(nullptr, unfiltered);
    ASSERT_NE(nullptr, averaged);
    const platform::Image picked = platform::ReadTextureLevel(unfiltered, 1);
    const platform::Image mixed = platform::ReadTextureLevel(averaged, 1);
    ASSERT_EQ(2u, picked.width);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(0xFF000000u, picked.pixels[i]);
        EXPECT_EQ(kQuadrantAverage, mixed.pixels[i]);
    }
    unfiltered->Release();
    averaged->Release();
}

TEST_F(D3DXTexture, AnImageBeyondTheDevicesLimitIsHalvedUntilItFits) {
    platform::AdapterConfiguration adapter = platform::DefaultAdapter();
    adapter.caps.MaxTextureWidth = 8;
    adapter.caps.MaxTextureHeight = 8;
    platform::ConfigureAdapter(adapter);
    IDirect3DTexture9* texture = Load(WriteImage("big.png", test_images::Quadrants(), Format::Png));
    ASSERT_NE(nullptr, texture);
    EXPECT_EQ(8u, LevelDesc(texture, 0).Width);
    EXPECT_EQ(4u, texture->GetLevelCount());
    ExpectQuadrants(platform::ReadTextureLevel(texture, 0), 0);
    texture->Release();
}

TEST_F(D3DXTexture, ImageInfoReadsTheHeaderWithoutDecodingThePixels) {
    const platform::Image large = test_images::Make(640, 480, [](UINT, UINT) { return kBlue; });
    const std::string path = WriteImage("large.png", large, Format::Png);
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileA(path.c_str(), &info));
    EXPECT_EQ(640u, info.Width);
    EXPECT_EQ(480u, info.Height);
    EXPECT_EQ(1u, info.Depth);

    // Cut after the header: the size is still known, the pixels are gone.
    std::filesystem::resize_file(path, 40);
    ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileA(path.c_str(), &info));
    EXPECT_EQ(640u, info.Width);
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXERR_INVALIDDATA,
              D3DXCreateTextureFromFileExA(m_device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                           0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           nullptr, nullptr, &texture));
    EXPECT_EQ(nullptr, texture);
}

TEST_F(D3DXTexture, MissingAndForeignFilesAreRefused) {
    const std::string missing = (m_folder / "missing.png").string();
    const std::string text = (m_folder / "notes.txt").string();
    std::ofstream(text) << "this is not an image\n";
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(D3DERR_NOTAVAILABLE, D3DXGetImageInfoFromFileA(missing.c_str(), &info));
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileA(text.c_str(), &info));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXGetImageInfoFromFileA(nullptr, &info));
    EXPECT_EQ(nullptr, Load(missing));
    EXPECT_EQ(nullptr, Load(text));
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DTexture9"));
}

TEST_F(D3DXTexture, FilesClaimingMorePixelsThanTheyHoldAreRefusedBeforeTheDecoderAsksForMemory) {
    std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases;
    // Found by fuzzing: 83 bytes whose second image-data chunk declares 0x56000000 bytes.
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AppendChunk(png, "IHDR", {0, 0, 0, 16, 0, 0, 0, 16, 8, 6, 0, 0, 0});
    AppendChunk(png, "IDAT", {0x78, 0x9C, 0x63, 0x60, 0x18, 0x05, 0xA3, 0x60});
    png.insert(png.end(), {0x56, 0, 0, 0, 'I', 'D', 'A', 'T'});
    png.resize(83, 0x00);
    cases.emplace_back("chunk.png", png);
    // A JPEG's frame header saying 16384 x 1024 (within the pixel limit) in a few hundred bytes.
    std::vector<std::uint8_t> jpeg = ReadBytes(WriteImage("q.jpg", test_images::Quadrants(), Format::Jpeg));
    const std::uint8_t frameMarker[] = {0xFF, 0xC0};
    const auto frame = std::search(jpeg.begin(), jpeg.end(), std::begin(frameMarker), std::end(frameMarker));
    ASSERT_NE(jpeg.end(), frame);
    const std::uint8_t heightThenWidth[] = {0x04, 0x00, 0x40, 0x00};
    std::copy_n(heightThenWidth, 4, frame + 5);
    cases.emplace_back("frame.jpg", jpeg);
    // A BMP of 4096 x 4096 pixels with the 16 x 16 picture's pixels behind it.
    std::vector<std::uint8_t> bmp = ReadBytes(WriteImage("q.bmp", test_images::Quadrants(), Format::Bmp));
    const std::uint8_t widthThenHeight[] = {0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00};
    std::copy_n(widthThenHeight, 8, bmp.begin() + 18);
    cases.emplace_back("header.bmp", bmp);
    // An uncompressed 32-bit TGA of 16384 x 1024 pixels with 64 bytes of them.
    std::vector<std::uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x40, 0x00, 0x04, 32, 8};
    tga.resize(tga.size() + 64, 0x7F);
    cases.emplace_back("header.tga", tga);

    IDirect3DTexture9* texture = Load(WriteImage("q.tga", test_images::Quadrants(), Format::Tga));
    ASSERT_NE(nullptr, texture);
    texture->Release();
    EXPECT_GE(platform::TakeLargestImageDecoderRequest(), 16u * 16 * 4) << "the counter sees the pixels";
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const std::string path = (m_folder / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileA(path.c_str(), &info));
        EXPECT_EQ(nullptr, Load(path));
        EXPECT_LE(platform::TakeLargestImageDecoderRequest(), ImageFile::kDecoderWorkspace);
    }
}

TEST_F(D3DXTexture, OnlyRegularFilesUpToTheCapAreRead) {
    const std::string folder = (m_folder / "folder.png").string();
    const std::string pipe = (m_folder / "pipe.png").string();
    const std::string huge = (m_folder / "huge.png").string();
    std::filesystem::create_directory(folder);
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    std::ofstream(huge, std::ios::binary) << 'x';
    std::filesystem::resize_file(huge, BoundedFileReader::kMostBytes + 1); // sparse: nothing is written
    for (const std::string& path : {folder, pipe, huge, std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(D3DERR_NOTAVAILABLE, D3DXGetImageInfoFromFileA(path.c_str(), &info));
        EXPECT_EQ(nullptr, Load(path));
    }
}

TEST_F(D3DXTexture, RenderTargetsLiveInTheDefaultPoolAndTheirSurfacesHoldThem) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTexture(m_device, 32, 16, 1, D3DUSAGE_RENDERTARGET,
                                                    D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTexture(m_device, 8192, 16, 1, D3DUSAGE_RENDERTARGET,
                                                    D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture));
    ASSERT_EQ(D3D_OK, D3DXCreateTexture(m_device, 32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                        D3DPOOL_DEFAULT, &texture));
    EXPECT_EQ(1u, texture->GetLevelCount());
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &surface));
    D3DSURFACE_DESC description{};
    ASSERT_EQ(D3D_OK, surface->GetDesc(&description));
    EXPECT_EQ(32u, description.Width);
    EXPECT_EQ(16u, description.Height);
    EXPECT_EQ(D3DFMT_A8R8G8B8, description.Format);
    EXPECT_EQ(D3DUSAGE_RENDERTARGET, description.Usage);
    EXPECT_EQ(D3DPOOL_DEFAULT, description.Pool);
    texture->Release();
    EXPECT_EQ(1, platform::LiveObjects("IDirect3DTexture9")) << "the surface holds its texture";
    surface->Release();
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DTexture9"));
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DSurface9"));
}

TEST(ImageFile, FilesThatWouldMisleadTheDecoderAreRefusedBeforeItSeesThem) {
    // Found by fuzzing. A Huffman table whose counts add up to more than its 256 codes, behind fill
    // bytes that a JPEG may have before its start marker.
    std::vector<std::uint8_t> jpeg(32, 0xFF);
    const std::uint8_t header[] = {0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x13, 0x00};
    jpeg.insert(jpeg.end(), std::begin(header), std::end(header));
    jpeg.insert(jpeg.end(), 16, 0x20);
    EXPECT_FALSE(ImageFile::ReadHeader(jpeg.data(), jpeg.size()));
    EXPECT_FALSE(ImageFile::Decode(jpeg.data(), jpeg.size()));

    // A PNG whose first image-data chunk is empty, ahead of the real one.
    platform::Image image = test_images::Quadrants();
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("orvalen_empty_idat_" + std::to_string(::getpid()) + ".png"))
                                 .string();
    ASSERT_TRUE(test_images::Write(path, image, test_images::Format::Png));
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> png((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    ASSERT_TRUE(ImageFile::Decode(png.data(), png.size()));
    const std::uint8_t emptyChunk[] = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
    const std::size_t afterHeader = 8 + 12 + 13; // signature, then the header chunk
    png.insert(png.begin() + afterHeader, std::begin(emptyChunk), std::end(emptyChunk));
    EXPECT_FALSE(ImageFile::ReadHeader(png.data(), png.size()));

    // Found by fuzzing: a scan whose first component takes its AC codes from table 2, never defined.
    ASSERT_TRUE(test_images::Write(path, image, test_images::Format::Jpeg));
    std::vector<std::uint8_t> scanned = ReadBytes(path);
    std::filesystem::remove(path);
    const std::uint8_t scanMarker[] = {0xFF, 0xDA};
    const auto scan = std::search(scanned.begin(), scanned.end(), std::begin(scanMarker), std::end(scanMarker));
    ASSERT_NE(scanned.end(), scan);
    ASSERT_TRUE(ImageFile::ReadHeader(scanned.data(), scanned.size()));
    scan[6] = 0x02; // length, count, first component's id, then its DC and AC table numbers
    EXPECT_FALSE(ImageFile::ReadHeader(scanned.data(), scanned.size()));
}
