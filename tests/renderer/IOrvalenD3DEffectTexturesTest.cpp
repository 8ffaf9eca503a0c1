// Texture parameters fed by material name from a 3D object's groups and a level's materials; the
// object and the level are stand-ins holding only the tables the renderer reads.
#include "support/RendererFixture.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"
#include "scene3d/IOrvalen3DD3DObject.h"

#include <string>
#include <vector>

namespace {

const std::string kTextured = std::string(ORVALEN_TEST_DATA_DIR) + "/textured.fx";

/// A texture that only counts its references.
class CountedTexture final : public IDirect3DTexture9 {
public:
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetSurfaceLevel(UINT, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
    ULONG references = 1;
};

/// The material tables of an object or level: names and textures, 1000 entries each.
template <typename Base> class MaterialTables : public Base {
public:
    MaterialTables(const std::vector<std::string>& names, const std::vector<IDirect3DTexture9*>& textures)
        : m_names(names), m_nameTable(Base::kMaxMaterials, nullptr),
          m_textureTable(Base::kMaxMaterials, nullptr) {
        for (std::size_t group = 0; group < m_names.size(); ++group) {
            m_nameTable[group] = m_names[group].data();
            m_textureTable[group] = textures[group];
        }
        Base::MaterialNames = m_nameTable.data();
        Base::Textures = m_textureTable.data();
        Base::MaterialCount = static_cast<std::int32_t>(m_names.size());
    }
    // The tables are this stand-in's, not the object's to free.
    ~MaterialTables() override {
        Base::MaterialNames = nullptr;
        Base::Textures = nullptr;
        Base::MaterialCount = 0;
    }

private:
    std::vector<std::string> m_names;
    std::vector<char*> m_nameTable;
    std::vector<IDirect3DTexture9*> m_textureTable;
};

class MaterialObject final : public MaterialTables<IOrvalen3DD3DObject> {
public:
    using MaterialTables::MaterialTables;
    std::int32_t GetID() override { return 0; }
    void SetRenderer(IOrvalenRenderer**) override {}
    bool Render() override { return false; }
    bool RenderBlended() override { return false; }
    bool RenderWithEffect(std::int32_t) override { return false; }
    bool RenderShadowVolume() override { return false; }
    void BuildShadowVolume(float, float, float) override {}
    void ResetTransform() override {}
    void SetPosition(float, float, float) override {}
    void SetRotation(float, float, float) override {}
    void SetScale(float, float, float) override {}
    void SetMatrix(const float*) override {}
    void UpdateFromBody(float*, float*) override {}
    D3DXMATRIX GetMatrix() override { return {}; }
    bool CreateAnimation(std::int32_t, Vertex3D**) override { return false; }
    bool AddAnimation(std::int32_t, std::int32_t, const char*) override { return false; }
    void SetAnimationSpeed(float) override {}
    float GetAnimationSpeed() override { return 0.0f; }
    void SetLooping(bool) override {}
    bool IsLooping() override { return false; }
    bool SetAnimation(const char*) override { return false; }
    bool UpdateAnimation(float) override { return false; }
    void SetAnimationTime(float) override {}
    float GetAnimationTime() override { return 0.0f; }
    bool StartAnimation(const char*) override { return false; }
    void PauseAnimation() override {}
    void PlayAnimation() override {}
    void RewindAnimation() override {}
    bool IsAnimationFinished() override { return false; }
    void SetObjectFlag(bool) override {}
    void SetMaterialDiffuse(const char*, float, float, float) override {}
    void SetMaterialAmbient(const char*, float, float, float) override {}
    void SetMaterialSpecular(const char*, float, float, float, float) override {}
    void SetMaterialEmissive(const char*, float, float, float) override {}
    bool LoadTexture(const char*, const char*, std::uint32_t) override { return false; }
    void SetTexCoords(std::int32_t, const float*) override {}
    void SetMass(float, float, float, float) override {}
    void SetCollisionMode(std::int32_t) override {}
    std::int32_t GetCollisionMode() override { return 0; }
    void SetFreeze(bool) override {}
    bool GetAutoFreeze() override { return false; }
    void SetFreezeThreshold(float, float) override {}
    void CreateUpVector(float, float, float) override {}
    void SetUpVectorPin(float, float, float) override {}
    D3DXVECTOR3 GetUpVectorPin() override { return {}; }
    void Activate() override {}
    void SetForce(float, float, float) override {}
    D3DXVECTOR3 GetForce() override { return {}; }
    void AddForce(float, float, float) override {}
    void SetTorque(float, float, float) override {}
    D3DXVECTOR3 GetTorque() override { return {}; }
    void AddTorque(float, float, float) override {}
    void SetVelocity(float, float, float) override {}
    D3DXVECTOR3 GetVelocity() override { return {}; }
    void AddVelocity(float, float, float) override {}
    void SetOmega(float, float, float) override {}
    D3DXVECTOR3 GetOmega() override { return {}; }
    void AddOmega(float, float, float) override {}
    void AddImpulse(float, float, float, float, float, float) override {}
    void SetCustomParameters(float, float, float, float, float, float, float) override {}
    void SetCustomFlag(bool) override {}
    bool GetCustomFlag() override { return false; }
    void SetMaterialGroupID(std::int32_t) override {}
    std::int32_t GetMaterialGroupID() override { return 0; }
};

class MaterialLevel final : public MaterialTables<IOrvalen3DD3DLevelObject> {
public:
    using MaterialTables::MaterialTables;
    void SetRenderer(IOrvalenRenderer**) override {}
    bool Render() override { return false; }
    bool RenderWithEffect(std::int32_t) override { return false; }
    void SetMaterialDiffuse(const char*, float, float, float) override {}
    void SetMaterialAmbient(const char*, float, float, float) override {}
    void SetMaterialSpecular(const char*, float, float, float, float) override {}
    void SetMaterialEmissive(const char*, float, float, float) override {}
    bool LoadTexture(const char*, const char*, std::uint32_t) override { return false; }
    void SetMaterialCollisionMode(const char*, std::int32_t) override {}
    std::int32_t GetMaterialCollisionMode(const char*) override { return -1; }
    void SetMaterialAttribute(const char*, std::uint32_t) override {}
};

class IOrvalenD3DEffectTextures : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        ASSERT_TRUE(m_handle->LoadShaderEffect(kTextured.c_str(), 1));
        m_startLog = LogText();
    }

    std::string NewLog() const { return LogText().substr(m_startLog.size()); }

    /// The texture slot 1's "Texture0" holds, without the reference GetTexture adds.
    IDirect3DBaseTexture9* Bound() {
        IDirect3DBaseTexture9* texture = nullptr;
        EXPECT_EQ(D3D_OK, Renderer().Effects[1]->GetTexture("Texture0", &texture));
        if (texture != nullptr) {
            texture->Release();
        }
        return texture;
    }

    CountedTexture m_stone;
    CountedTexture m_grass;
    CountedTexture m_water;
    std::string m_startLog;
};

} // namespace

TEST_F(IOrvalenD3DEffectTextures, AnObjectsMaterialIsFoundByExactName) {
    MaterialObject object({"stone", "grass", "grass", "bare"}, {&m_stone, &m_grass, &m_water, nullptr});
    ASSERT_TRUE(m_handle->SetShaderTexture(1, "Texture0", &object, "grass"));
    EXPECT_EQ(&m_grass, Bound()) << "the first of two equal names";
    EXPECT_EQ(2u, m_grass.references) << "the effect holds its own reference";
    ASSERT_TRUE(m_handle->SetShaderTexture(1, "Texture0", &object, "bare"));
    EXPECT_EQ(nullptr, Bound()) << "a material without a texture passes null";
    EXPECT_EQ(1u, m_grass.references);

    EXPECT_FALSE(m_handle->SetShaderTexture(1, "Texture0", &object, "Stone"));
    EXPECT_FALSE(m_handle->SetShaderTexture(1, "Missing", &object, "stone"));
    EXPECT_FALSE(m_handle->SetShaderTexture(1, "Texture0", static_cast<IOrvalen3DObject*>(nullptr), "stone"));
    EXPECT_EQ("ERROR: SetShaderTexture Error - Material <Stone> Wasn't Found\n"
              "ERROR: SetShaderTexture Failed - No Object\n",
              NewLog());
}

TEST_F(IOrvalenD3DEffectTextures, ALevelsMaterialIsFoundByName) {
    MaterialLevel level({"floor", "wall"}, {&m_stone, &m_water});
    ASSERT_TRUE(m_handle->SetShaderTexture(1, "Texture0", &level, "wall"));
    EXPECT_EQ(&m_water, Bound());
    // Only the groups in use are searched, and a count beyond the tables is not followed.
    level.MaterialCount = 1;
    EXPECT_FALSE(m_handle->SetShaderTexture(1, "Texture0", &level, "wall"));
    level.MaterialCount = 1 << 30;
    EXPECT_FALSE(m_handle->SetShaderTexture(1, "Texture0", &level, "ceiling"));
    EXPECT_FALSE(m_handle->SetShaderTexture(1, "Texture0", &level, nullptr));
    EXPECT_EQ("ERROR: SetShaderTexture Error - Material <wall> Wasn't Found\n"
              "ERROR: SetShaderTexture Error - Material <ceiling> Wasn't Found\n"
              "ERROR: SetShaderTexture Error - Material <(null)> Wasn't Found\n",
              NewLog());
    m_handle->UnloadShaderEffect(1);
    EXPECT_EQ(1u, m_water.references) << "the released effect let its texture go";
}

TEST_F(IOrvalenD3DEffectTextures, BadAndEmptySlotsAreRefused) {
    MaterialObject object({"stone"}, {&m_stone});
    MaterialLevel level({"stone"}, {&m_stone});
    EXPECT_FALSE(m_handle->SetShaderTexture(8, "Texture0", &object, "stone"));
    EXPECT_FALSE(m_handle->SetShaderTexture(-1, "Texture0", &level, "stone"));
    EXPECT_FALSE(m_handle->SetShaderTexture(2, "Texture0", &object, "stone"));
    EXPECT_EQ("ERROR: SetShaderTexture Failed - Bad Index 8\n"
              "ERROR: SetShaderTexture Failed - Bad Index -1\n"
              "ERROR: SetShaderTexture Failed - No Effect In Slot 2\n",
              NewLog());
    EXPECT_EQ(1u, m_stone.references);
}
