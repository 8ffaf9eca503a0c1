// Texture parameters fed from the 2D interface's table, and passes that draw with them bound.
#include "TexturedRendererFixture.h"

namespace {

const std::string kTextured = std::string(ORVALEN_TEST_DATA_DIR) + "/textured.fx";

class IOrvalenD3DEffectSlotTextures : public TexturedRendererFixture {
protected:
    void SetUp() override {
        TexturedRendererFixture::SetUp();
        ASSERT_TRUE(m_handle->LoadShaderEffect(kTextured.c_str(), 1));
        ASSERT_TRUE(m_2d->LoadTexture(m_quadrants.c_str(), 4));
        m_startLog = LogText();
    }

    /// What the effect in slot 1 holds in "Texture0", without the reference GetTexture adds.
    IDirect3DBaseTexture9* Parameter() {
        IDirect3DBaseTexture9* texture = nullptr;
        EXPECT_EQ(D3D_OK, Renderer().Effects[1]->GetTexture("Texture0", &texture));
        if (texture != nullptr) {
            texture->Release();
        }
        return texture;
    }
};

} // namespace

TEST_F(IOrvalenD3DEffectSlotTextures, AnEntrysTextureFeedsTheParameter) {
    ASSERT_TRUE(m_handle->SetShaderTexture(1, "Texture0", 4));
    EXPECT_EQ(m_2d->Textures[4].Texture, Parameter());
    ASSERT_TRUE(m_handle->SetShaderTexture(1, "Texture0", 5));
    EXPECT_EQ(nullptr, Parameter()) << "an empty entry empties the parameter";
    EXPECT_FALSE(m_handle->SetShaderTexture(1, "Missing", 4));
    EXPECT_EQ("", NewLog());
}

TEST_F(IOrvalenD3DEffectSlotTextures, BadSlotsAndAMissing2DInterfaceAreRefused) {
    EXPECT_FALSE(m_handle->SetShaderTexture(1, "Texture0", 1000));
    EXPECT_FALSE(m_handle->SetShaderTexture(9, "Texture0", 4));
    EXPECT_FALSE(m_handle->SetShaderTexture(2, "Texture0", 4));
    m_handle->Destroy2DInterface();
    EXPECT_FALSE(m_handle->SetShaderTexture(1, "Texture0", 4));
    EXPECT_EQ("ERROR: SetShaderTexture Failed - Bad Index 1000\n"
              "ERROR: SetShaderTexture Failed - Bad Index 9\n"
              "ERROR: SetShaderTexture Failed - No Effect In Slot 2\n"
              "Destroying 2D Interface...\n"
              "ERROR: SetShaderTexture Failed - No 2D Interface\n",
              NewLog());
}

TEST_F(IOrvalenD3DEffectSlotTextures, APassDrawsWithTheEffectsTextureBound) {
    ASSERT_TRUE(m_handle->SetShaderTexture(1, "Texture0", 4));
    ASSERT_TRUE(m_handle->SetShaderEffect(1, "Textured"));
    ASSERT_EQ(1u, Renderer().EffectPassCount);
    ID3DXEffect* effect = Renderer().Effects[1];
    ASSERT_TRUE(m_handle->StartRendering());
    ASSERT_EQ(D3D_OK, effect->BeginPass(0));
    EXPECT_EQ(m_2d->Textures[4].Texture, Stage0());

    // The pass draws with the fixed-function pipeline: a quad of the texture coordinates shows it.
    m_2d->SetScreenSpace(true);
    TexturedVertex2D quad[4];
    const float corners[4][2] = {{100, 100}, {164, 100}, {100, 164}, {164, 164}};
    for (int i = 0; i < 4; ++i) {
        const D3DXVECTOR3 pixel(corners[i][0], corners[i][1], 0.1f);
        D3DXVECTOR3 world;
        D3DXVec3Unproject(&world, &pixel, &Renderer().Viewport, &Renderer().ProjectionMatrix,
                          &Renderer().ViewMatrix, nullptr);
        quad[i].Position[0] = world.x;
        quad[i].Position[1] = world.y;
        quad[i].Position[2] = world.z;
        quad[i].Diffuse = kWhite;
        quad[i].U = i % 2 == 0 ? 0.0f : 1.0f;
        quad[i].V = i < 2 ? 0.0f : 1.0f;
    }
    ASSERT_EQ(D3D_OK, Device()->SetFVF(IOrvalen2DD3D::kTexturedVertexFormat));
    ASSERT_EQ(D3D_OK, Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex2D)));
    ASSERT_EQ(D3D_OK, effect->EndPass());
    EXPECT_EQ(nullptr, Stage0()) << "the stage is given back what it held";
    ASSERT_TRUE(m_handle->EndRendering());
    ASSERT_TRUE(m_handle->EndShaderEffect(1));
    const platform::Image frame = Frame();
    EXPECT_EQ(kRed, frame.At(110, 110));
    EXPECT_EQ(kGreen, frame.At(154, 110));
    EXPECT_EQ(kBlue, frame.At(110, 154));
    EXPECT_EQ(kWhite, frame.At(154, 154));
}

TEST_F(IOrvalenD3DEffectSlotTextures, UnloadingTheEffectInsideAPassGivesTheStageBack) {
    ASSERT_TRUE(m_2d->SetTexture(4));
    ASSERT_TRUE(m_handle->SetShaderTexture(1, "Texture0", 5));
    ASSERT_TRUE(m_handle->SetShaderEffect(1, "Textured"));
    ASSERT_EQ(D3D_OK, Renderer().Effects[1]->BeginPass(0));
    EXPECT_EQ(nullptr, Stage0()) << "the parameter is empty";
    m_handle->UnloadShaderEffect(1);
    EXPECT_EQ(m_2d->Textures[4].Texture, Stage0());
    ASSERT_TRUE(m_2d->UnsetTexture());
}
