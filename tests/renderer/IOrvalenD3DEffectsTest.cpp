#include "support/RendererFixture.h"

#include <fstream>
#include <string>

namespace {

const std::string kTextured = std::string(ORVALEN_TEST_DATA_DIR) + "/textured.fx";
const std::string kGlow = std::string(ORVALEN_TEST_DATA_DIR) + "/glow.fx";

class IOrvalenD3DEffects : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        m_startLog = LogText();
        platform::ClearCallTrace();
    }

    std::string NewLog() const { return LogText().substr(m_startLog.size()); }

    D3DXVECTOR4 Vector(int slot, const char* parameter) {
        D3DXVECTOR4 vector;
        EXPECT_EQ(D3D_OK, Renderer().Effects[slot]->GetVector(parameter, &vector));
        return vector;
    }

    std::string m_startLog;
};

} // namespace

TEST_F(IOrvalenD3DEffects, EveryOperationRefusesASlotOutsideZeroToSeven) {
    const D3DXMATRIX matrix;
    for (const int index : {-1, 8}) {
        EXPECT_FALSE(m_handle->LoadShaderEffect(kGlow.c_str(), index));
        m_handle->UnloadShaderEffect(index);
        EXPECT_FALSE(m_handle->SetShaderEffect(index, "Glow"));
        EXPECT_FALSE(m_handle->EndShaderEffect(index));
        EXPECT_FALSE(m_handle->CheckShaderTechnique(index, "Glow"));
        EXPECT_FALSE(m_handle->SetShaderMatrix(index, "World", matrix));
        EXPECT_FALSE(m_handle->SetShaderVector(index, "GlowColour", 1, 2, 3));
    }
    EXPECT_EQ("ERROR: LoadShaderEffect Failed - Bad Index -1\n"
              "ERROR: UnloadShaderEffect Failed - Bad Index -1\n"
              "ERROR: SetShaderEffect Failed - Bad Index -1\n"
              "ERROR: EndShaderEffect Failed - Bad Index -1\n"
              "ERROR: CheckShaderTechnique Failed - Bad Index -1\n"
              "ERROR: SetShaderMatrix Failed - Bad Index -1\n"
              "ERROR: SetShaderVector Failed - Bad Index -1\n"
              "ERROR: LoadShaderEffect Failed - Bad Index 8\n"
              "ERROR: UnloadShaderEffect Failed - Bad Index 8\n"
              "ERROR: SetShaderEffect Failed - Bad Index 8\n"
              "ERROR: EndShaderEffect Failed - Bad Index 8\n"
              "ERROR: CheckShaderTechnique Failed - Bad Index 8\n"
              "ERROR: SetShaderMatrix Failed - Bad Index 8\n"
              "ERROR: SetShaderVector Failed - Bad Index 8\n",
              NewLog());
    EXPECT_EQ(0, platform::LiveObjects("ID3DXEffect"));
}

TEST_F(IOrvalenD3DEffects, ABegunTechniqueIsCurrentUntilEnded) {
    ASSERT_TRUE(m_handle->LoadShaderEffect(kGlow.c_str(), 2));
    EXPECT_TRUE(m_handle->CheckShaderTechnique(2, "Plain"));
    EXPECT_FALSE(m_handle->CheckShaderTechnique(2, "Missing"));
    ASSERT_TRUE(m_handle->SetShaderEffect(2, "Glow"));
    EXPECT_EQ(2, Renderer().CurrentEffect);
    EXPECT_EQ(2u, Renderer().EffectPassCount);
    EXPECT_EQ(9, m_handle->GetShadeMode());
    ASSERT_TRUE(m_handle->EndShaderEffect(2));
    EXPECT_EQ(-1, Renderer().CurrentEffect);
    EXPECT_EQ(1, m_handle->GetShadeMode());
    EXPECT_EQ(1u, platform::CallsOf("ID3DXEffect::End").size());
    EXPECT_EQ("", NewLog());
}

TEST_F(IOrvalenD3DEffects, RefusedTechniquesAreLoggedByName) {
    ASSERT_TRUE(m_handle->LoadShaderEffect(kGlow.c_str(), 0));
    EXPECT_FALSE(m_handle->SetShaderEffect(0, "Missing"));
    platform::FailCall("ID3DXEffect::Begin");
    EXPECT_FALSE(m_handle->SetShaderEffect(0, "Plain"));
    EXPECT_EQ(-1, Renderer().CurrentEffect);
    EXPECT_EQ("ERROR: SetShaderEffect Failed To Set Technique <Missing>\n"
              "ERROR: SetShaderEffect Failed To Begin Shader\n",
              NewLog());
}

TEST_F(IOrvalenD3DEffects, OnlyTheCurrentEffectIsEverBegun) {
    ASSERT_TRUE(m_handle->LoadShaderEffect(kGlow.c_str(), 0));
    ASSERT_TRUE(m_handle->LoadShaderEffect(kTextured.c_str(), 1));
    ASSERT_TRUE(m_handle->SetShaderEffect(0, "Glow"));
    ASSERT_TRUE(m_handle->SetShaderEffect(1, "Textured"));
    EXPECT_TRUE(m_handle->EndShaderEffect(0));
    EXPECT_EQ(1, Renderer().CurrentEffect) << "ending another effect leaves the current one current";
    EXPECT_EQ(9, m_handle->GetShadeMode());
    ASSERT_TRUE(m_handle->EndShaderEffect(1));
    EXPECT_TRUE(m_handle->SetShaderEffect(0, "Plain")) << "ended when effect 1 began";
    EXPECT_TRUE(m_handle->SetShaderEffect(0, "Glow")) << "another technique of the effect in use";
    EXPECT_EQ(0, Renderer().CurrentEffect);
    EXPECT_EQ(2u, Renderer().EffectPassCount);
    EXPECT_EQ("", NewLog());
}

TEST_F(IOrvalenD3DEffects, ParametersAreFedByName) {
    ASSERT_TRUE(m_handle->LoadShaderEffect(kGlow.c_str(), 5));
    const D3DXMATRIX matrix(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    ASSERT_TRUE(m_handle->SetShaderMatrix(5, "World", matrix));
    D3DXMATRIX read;
    ASSERT_EQ(D3D_OK, Renderer().Effects[5]->GetMatrix("World", &read));
    EXPECT_EQ(matrix, read);
    ASSERT_TRUE(m_handle->SetShaderVector(5, "GlowColour", 0.25f, 0.5f, 0.75f));
    EXPECT_EQ(D3DXVECTOR4(0.25f, 0.5f, 0.75f, 1.0f), Vector(5, "GlowColour")) << "w is always 1";
    EXPECT_FALSE(m_handle->SetShaderMatrix(5, "Missing", matrix));
    EXPECT_FALSE(m_handle->SetShaderVector(5, "World", 1, 2, 3));
    EXPECT_EQ("", NewLog()) << "a refused parameter is not logged";
}

TEST_F(IOrvalenD3DEffects, CompileErrorsAreLoggedWithTheCompilersText) {
    std::ofstream("broken.fx") << "float a;\nfloat a;\n";
    EXPECT_FALSE(m_handle->LoadShaderEffect("broken.fx", 1));
    EXPECT_FALSE(m_handle->LoadShaderEffect("missing.fx", 1));
    EXPECT_FALSE(m_handle->LoadShaderEffect(nullptr, 1));
    EXPECT_EQ(nullptr, Renderer().Effects[1]);
    EXPECT_EQ("ERROR: ShaderEffect Failed - FX Compile Error <broken.fx(2,7): error: redefinition of 'a'>\n"
              "ERROR: LoadShaderEffect Failed - Couldn't Read <missing.fx>\n"
              "ERROR: LoadShaderEffect Failed - No File Name\n",
              NewLog());
    EXPECT_EQ(0, platform::LiveObjects("ID3DXBuffer"));
}

TEST_F(IOrvalenD3DEffects, EmptySlotsAreRefusedWithALogLine) {
    const D3DXMATRIX matrix;
    EXPECT_FALSE(m_handle->SetShaderEffect(3, "Glow"));
    EXPECT_FALSE(m_handle->EndShaderEffect(3));
    EXPECT_FALSE(m_handle->CheckShaderTechnique(3, "Glow"));
    EXPECT_FALSE(m_handle->SetShaderMatrix(3, "World", matrix));
    EXPECT_FALSE(m_handle->SetShaderVector(3, "GlowColour", 1, 2, 3));
    m_handle->UnloadShaderEffect(3);
    EXPECT_EQ("ERROR: SetShaderEffect Failed - No Effect In Slot 3\n"
              "ERROR: EndShaderEffect Failed - No Effect In Slot 3\n"
              "ERROR: CheckShaderTechnique Failed - No Effect In Slot 3\n"
              "ERROR: SetShaderMatrix Failed - No Effect In Slot 3\n"
              "ERROR: SetShaderVector Failed - No Effect In Slot 3\n",
              NewLog());
}

TEST_F(IOrvalenD3DEffects, UnloadingTheCurrentEffectEndsItFirst) {
    ASSERT_TRUE(m_handle->LoadShaderEffect(kGlow.c_str(), 4));
    ASSERT_TRUE(m_handle->SetShaderEffect(4, "Glow"));
    m_handle->UnloadShaderEffect(4);
    EXPECT_EQ(nullptr, Renderer().Effects[4]);
    EXPECT_EQ(-1, Renderer().CurrentEffect);
    EXPECT_NE(9, m_handle->GetShadeMode());
    EXPECT_EQ(1u, platform::CallsOf("ID3DXEffect::End").size());
    EXPECT_EQ(0, platform::LiveObjects("ID3DXEffect"));
}

TEST_F(IOrvalenD3DEffects, ReloadingASlotReleasesOnlyOnSuccess) {
    ASSERT_TRUE(m_handle->LoadShaderEffect(kGlow.c_str(), 6));
    ASSERT_TRUE(m_handle->SetShaderEffect(6, "Glow"));
    std::ofstream("broken.fx") << "technique {";
    EXPECT_FALSE(m_handle->LoadShaderEffect("broken.fx", 6));
    EXPECT_EQ(6, Renderer().CurrentEffect) << "a failed load changes nothing";
    EXPECT_TRUE(m_handle->CheckShaderTechnique(6, "Glow"));

    ASSERT_TRUE(m_handle->LoadShaderEffect(kTextured.c_str(), 6));
    EXPECT_EQ(1, platform::LiveObjects("ID3DXEffect")) << "the replaced effect was released";
    EXPECT_EQ(-1, Renderer().CurrentEffect) << "the replaced effect was ended";
    EXPECT_EQ(1u, platform::CallsOf("ID3DXEffect::End").size());
    EXPECT_TRUE(m_handle->CheckShaderTechnique(6, "Textured"));
}

TEST_F(IOrvalenD3DEffects, DeinitializeEndsAndReleasesEveryEffect) {
    ASSERT_TRUE(m_handle->LoadShaderEffect(kGlow.c_str(), 0));
    ASSERT_TRUE(m_handle->LoadShaderEffect(kTextured.c_str(), 7));
    ASSERT_TRUE(m_handle->SetShaderEffect(7, "Textured"));
    m_handle->Deinitialize();
    EXPECT_EQ(1u, platform::CallsOf("ID3DXEffect::End").size());
    EXPECT_EQ(-1, Renderer().CurrentEffect);
    EXPECT_EQ(nullptr, Renderer().Effects[0]);
    EXPECT_EQ(nullptr, Renderer().Effects[7]);
    EXPECT_EQ(0, platform::LiveObjects("ID3DXEffect"));
    EXPECT_EQ(0, platform::LiveDeviceCount());
}
