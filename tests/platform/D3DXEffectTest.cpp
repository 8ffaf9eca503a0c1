#include "TestDevice.h"
#include "platform/D3DXEffect.h"
#include "platform/control.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const std::string kTextured = std::string(ORVALEN_TEST_DATA_DIR) + "/textured.fx";
const std::string kGlow = std::string(ORVALEN_TEST_DATA_DIR) + "/glow.fx";

class D3DXEffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPlatform();
        m_window = platform::CreateHostWindow("Effect Window", 64, 64);
        m_direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_direct3D);
        D3DPRESENT_PARAMETERS parameters = test_device::Windowed(m_window, D3DFMT_UNKNOWN);
        ASSERT_EQ(D3D_OK, test_device::Create(m_direct3D, parameters, &m_device));
    }

    void TearDown() override {
        if (m_effect != nullptr) {
            m_effect->Release();
        }
        if (m_device != nullptr) {
            m_device->Release();
        }
        m_direct3D->Release();
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal());
        platform::ResetPlatform();
    }

    ID3DXEffect* Load(const std::string& path) {
        EXPECT_EQ(D3D_OK, D3DXCreateEffectFromFileA(m_device, path.c_str(), nullptr, nullptr, 0, nullptr,
                                                    &m_effect, nullptr));
        return m_effect;
    }

    HWND m_window = nullptr;
    IDirect3D9* m_direct3D = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    ID3DXEffect* m_effect = nullptr;
};

D3DXMATRIX Counting() {
    return D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
}

} // namespace

TEST_F(D3DXEffectTest, ParametersStartAtTheFilesDefaults) {
    ID3DXEffect* effect = Load(kGlow);
    ASSERT_NE(nullptr, effect);
    EXPECT_EQ(1, platform::LiveObjects("ID3DXEffect"));
    D3DXVECTOR4 colour;
    ASSERT_EQ(D3D_OK, effect->GetVector("GlowColour", &colour));
    EXPECT_EQ(D3DXVECTOR4(1.0f, 0.5f, 0.25f, 1.0f), colour);
    D3DXMATRIX colourMatrix;
    ASSERT_EQ(D3D_OK, effect->GetMatrix("ColourMatrix", &colourMatrix));
    EXPECT_EQ(D3DXMATRIX(1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0), colourMatrix);
    float scale = 0.0f;
    ASSERT_EQ(D3D_OK, effect->GetFloat("GlowScale", &scale));
    EXPECT_EQ(1.5f, scale);
}

TEST_F(D3DXEffectTest, ParametersAreSetAndReadByNameAndType) {
    ID3DXEffect* effect = Load(kGlow);
    ASSERT_NE(nullptr, effect);
    const D3DXMATRIX counting = Counting();
    D3DXMATRIX read;
    ASSERT_EQ(D3D_OK, effect->SetMatrix("World", &counting));
    ASSERT_EQ(D3D_OK, effect->GetMatrix("World", &read));
    EXPECT_EQ(counting, read);
    // A 3x3 matrix keeps the top-left block.
    ASSERT_EQ(D3D_OK, effect->SetMatrix("ColourMatrix", &counting));
    ASSERT_EQ(D3D_OK, effect->GetMatrix("ColourMatrix", &read));
    EXPECT_EQ(D3DXMATRIX(1, 2, 3, 0, 5, 6, 7, 0, 9, 10, 11, 0, 0, 0, 0, 0), read);
    // An int drops the fraction; a scalar takes the first component of a vector.
    const D3DXVECTOR4 vector(2.75f, 9.0f, 9.0f, 9.0f);
    ASSERT_EQ(D3D_OK, effect->SetVector("Steps", &vector));
    D3DXVECTOR4 steps;
    ASSERT_EQ(D3D_OK, effect->GetVector("Steps", &steps));
    EXPECT_EQ(D3DXVECTOR4(2.0f, 0.0f, 0.0f, 0.0f), steps);

    const D3DXVECTOR4 colour(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetVector("World", &colour)) << "a matrix is not a vector";
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetMatrix("GlowColour", &counting)) << "a vector is not a matrix";
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetVector("Offsets", &colour)) << "arrays are not set whole";
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetVector("Name", &colour));
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetVector("glowcolour", &colour)) << "names match exactly";
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetFloat("Hidden", 1.0f)) << "static globals are not parameters";
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetMatrix(nullptr, &counting));
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->GetMatrix("World", nullptr));
    D3DXVECTOR4 unchanged;
    ASSERT_EQ(D3D_OK, effect->GetVector("GlowColour", &unchanged));
    EXPECT_EQ(D3DXVECTOR4(1.0f, 0.5f, 0.25f, 1.0f), unchanged);
}

TEST_F(D3DXEffectTest, TechniquesRunTheirPassesInOrder) {
    ID3DXEffect* effect = Load(kGlow);
    ASSERT_NE(nullptr, effect);
    UINT passes = 0;
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->BeginPass(0)) << "outside Begin";
    ASSERT_EQ(D3D_OK, effect->Begin(&passes, 0));
    EXPECT_EQ(2u, passes) << "the first technique is current until another is set";
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->Begin(&passes, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->BeginPass(2));
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->EndPass());
    ASSERT_EQ(D3D_OK, effect->BeginPass(0));
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->BeginPass(1)) << "inside another pass";
    EXPECT_EQ(D3D_OK, effect->EndPass());
    EXPECT_EQ(D3D_OK, effect->BeginPass(1));
    EXPECT_EQ(D3D_OK, effect->End()) << "ends the open pass too";
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->EndPass());
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->End());

    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetTechnique("Missing"));
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->ValidateTechnique("Missing"));
    EXPECT_EQ(D3D_OK, effect->ValidateTechnique("Glow"));
    ASSERT_EQ(D3D_OK, effect->SetTechnique("Plain"));
    ASSERT_EQ(D3D_OK, effect->Begin(&passes, 0));
    EXPECT_EQ(1u, passes);
    EXPECT_EQ(D3D_OK, effect->End());
}

TEST_F(D3DXEffectTest, CompileErrorsComeAsTextWithTheirLine) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("orvalen_broken_" + std::to_string(::getpid()) + ".fx");
    std::ofstream(path)
        << "float4 Colour = {1, 0, 0, 1};\ntechnique T\n{\n    pass P0 { Lighting TRUE; }\n}\n";
    ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateEffectFromFileA(m_device, path.c_str(), nullptr, nullptr, 0,
                                                             nullptr, &m_effect, &errors));
    std::filesystem::remove(path);
    EXPECT_EQ(nullptr, m_effect);
    ASSERT_NE(nullptr, errors);
    const std::string text = static_cast<const char*>(errors->GetBufferPointer());
    EXPECT_EQ(path.string() + "(4,24): error: expected '=' but found 'TRUE'", text);
    EXPECT_EQ(text.size() + 1, errors->GetBufferSize());
    errors->Release();
}

TEST_F(D3DXEffectTest, UnreadableFilesAndBadArgumentsAreRefused) {
    ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(E_FAIL, D3DXCreateEffectFromFileA(m_device, "no_such_effect.fx", nullptr, nullptr, 0, nullptr,
                                                &m_effect, &errors));
    EXPECT_EQ(nullptr, errors);
    EXPECT_EQ(nullptr, m_effect);
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateEffectFromFileA(nullptr, kGlow.c_str(), nullptr, nullptr, 0,
                                                            nullptr, &m_effect, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              D3DXCreateEffectFromFileA(m_device, nullptr, nullptr, nullptr, 0, nullptr, &m_effect, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateEffectFromFileA(m_device, kGlow.c_str(), nullptr, nullptr, 0,
                                                            nullptr, nullptr, nullptr));
    EXPECT_EQ(0, platform::LiveObjects("ID3DXEffect"));
}

TEST_F(D3DXEffectTest, AnEffectKeepsItsDeviceAlive) {
    ASSERT_NE(nullptr, Load(kTextured));
    m_device->Release();
    m_device = nullptr;
    EXPECT_EQ(1, platform::LiveDeviceCount());
    m_effect->Release();
    m_effect = nullptr;
    EXPECT_EQ(0, platform::LiveDeviceCount());
}

TEST_F(D3DXEffectTest, TextureParametersHoldAReference) {
    class CountedTexture final : public IDirect3DTexture9 {
    public:
        ULONG AddRef() override { return ++references; }
        ULONG Release() override { return --references; }
        DWORD GetLevelCount() override { return 1; }
        HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC*) override { return D3DERR_INVALIDCALL; }
        HRESULT GetSurfaceLevel(UINT, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
        ULONG references = 1;
    };
    CountedTexture first;
    CountedTexture second;
    ID3DXEffect* effect = Load(kTextured);
    ASSERT_NE(nullptr, effect);
    IDirect3DBaseTexture9* held = &first;
    ASSERT_EQ(D3D_OK, effect->GetTexture("Texture0", &held));
    EXPECT_EQ(nullptr, held) << "no texture until one is set";
    ASSERT_EQ(D3D_OK, effect->SetTexture("Texture0", &first));
    ASSERT_EQ(D3D_OK, effect->SetTexture("Texture0", &first));
    EXPECT_EQ(2u, first.references);
    ASSERT_EQ(D3D_OK, effect->SetTexture("Texture0", &second));
    EXPECT_EQ(1u, first.references);
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetTexture("Sampler0", &first)) << "a sampler is not a texture";
    EXPECT_EQ(D3DERR_INVALIDCALL, effect->SetTexture("worldViewProj", &first));
    ASSERT_EQ(D3D_OK, effect->GetTexture("Texture0", &held));
    EXPECT_EQ(&second, held);
    EXPECT_EQ(3u, second.references);
    held->Release();
    m_effect->Release();
    m_effect = nullptr;
    EXPECT_EQ(1u, second.references) << "released with the effect";
}
