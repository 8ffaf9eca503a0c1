// The device's render states as the drawing library sees them. The platform library carries OpenGL,
// so the test looks its query functions up in the process instead of linking them itself; the device's
// context is current on this thread after any call that sets state.
#include "TestDevice.h"
#include "platform/Direct3D9.h"
#include "platform/control.h"

#include <GL/gl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <bit>

namespace {

template <typename Function> Function* Lookup(const char* name) {
    return reinterpret_cast<Function*>(dlsym(RTLD_DEFAULT, name));
}

class FixedFunctionStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPlatform();
        m_window = platform::CreateHostWindow("State Window", 32, 32);
        m_direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_direct3D);
        m_parameters = test_device::Windowed(m_window);
        ASSERT_EQ(D3D_OK, test_device::Create(m_direct3D, m_parameters, &m_device));
        m_isEnabled = Lookup<GLboolean(GLenum)>("glIsEnabled");
        m_getIntegers = Lookup<void(GLenum, GLint*)>("glGetIntegerv");
        m_getFloats = Lookup<void(GLenum, GLfloat*)>("glGetFloatv");
        m_getLight = Lookup<void(GLenum, GLenum, GLfloat*)>("glGetLightfv");
        ASSERT_TRUE(m_isEnabled && m_getIntegers && m_getFloats && m_getLight);
    }

    void TearDown() override {
        m_device->Release();
        m_direct3D->Release();
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal());
    }

    void Set(D3DRENDERSTATETYPE state, DWORD value) {
        ASSERT_EQ(D3D_OK, m_device->SetRenderState(state, value));
    }
    bool Enabled(GLenum capability) const { return m_isEnabled(capability) == GL_TRUE; }
    GLint Integer(GLenum name) const {
        GLint values[4] = {};
        m_getIntegers(name, values);
        return values[0];
    }
    GLfloat Float(GLenum name) const {
        GLfloat values[4] = {};
        m_getFloats(name, values);
        return values[0];
    }

    HWND m_window = nullptr;
    IDirect3D9* m_direct3D = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_parameters{};
    GLboolean (*m_isEnabled)(GLenum) = nullptr;
    void (*m_getIntegers)(GLenum, GLint*) = nullptr;
    void (*m_getFloats)(GLenum, GLfloat*) = nullptr;
    void (*m_getLight)(GLenum, GLenum, GLfloat*) = nullptr;
};

} // namespace

TEST_F(FixedFunctionStateTest, DefaultsTestDepthLessOrEqualCullCounterClockwiseAndLightWithVertexColour) {
    Set(D3DRS_DITHERENABLE, FALSE); // any call makes the device's context current
    EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
    EXPECT_EQ(GL_LEQUAL, Integer(GL_DEPTH_FUNC));
    EXPECT_TRUE(Enabled(GL_CULL_FACE));
    EXPECT_EQ(GL_BACK, Integer(GL_CULL_FACE_MODE))
        << "screen-counter-clockwise faces reach OpenGL as back faces";
    EXPECT_TRUE(Enabled(GL_LIGHTING));
    EXPECT_TRUE(Enabled(GL_COLOR_MATERIAL));
    EXPECT_EQ(GL_DIFFUSE, Integer(GL_COLOR_MATERIAL_PARAMETER));
    EXPECT_FALSE(Enabled(GL_BLEND));
    EXPECT_FALSE(Enabled(GL_FOG));
    EXPECT_FALSE(Enabled(GL_TEXTURE_2D)) << "no texture: the diffuse colour alone";
}

TEST_F(FixedFunctionStateTest, CullFillAndShadeModesMapOntoTheirEquivalents) {
    Set(D3DRS_CULLMODE, D3DCULL_CW);
    EXPECT_TRUE(Enabled(GL_CULL_FACE));
    EXPECT_EQ(GL_FRONT, Integer(GL_CULL_FACE_MODE));
    Set(D3DRS_CULLMODE, D3DCULL_NONE);
    EXPECT_FALSE(Enabled(GL_CULL_FACE));

    Set(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    EXPECT_EQ(GL_LINE, Integer(GL_POLYGON_MODE));
    Set(D3DRS_FILLMODE, D3DFILL_POINT);
    EXPECT_EQ(GL_POINT, Integer(GL_POLYGON_MODE));
    Set(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    EXPECT_EQ(GL_FLAT, Integer(GL_SHADE_MODEL));
    Set(D3DRS_ZENABLE, D3DZB_FALSE);
    EXPECT_FALSE(Enabled(GL_DEPTH_TEST));
}

TEST_F(FixedFunctionStateTest, BlendAlphaTestAndFogFollowTheirStates) {
    Set(D3DRS_ALPHABLENDENABLE, TRUE);
    Set(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    Set(D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR);
    Set(D3DRS_BLENDOP, D3DBLENDOP_MIN);
    EXPECT_TRUE(Enabled(GL_BLEND));
    EXPECT_EQ(GL_SRC_ALPHA, Integer(GL_BLEND_SRC_RGB));
    EXPECT_EQ(GL_DST_COLOR, Integer(GL_BLEND_DST_RGB));
    EXPECT_EQ(GL_MIN, Integer(GL_BLEND_EQUATION_RGB));

    Set(D3DRS_ALPHAREF, 51);
    Set(D3DRS_ALPHATESTENABLE, TRUE);
    Set(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    EXPECT_TRUE(Enabled(GL_ALPHA_TEST));
    EXPECT_EQ(GL_GEQUAL, Integer(GL_ALPHA_TEST_FUNC));
    EXPECT_FLOAT_EQ(0.2f, Float(GL_ALPHA_TEST_REF));

    // Fog enabled with neither a vertex nor a table mode fogs nothing.
    Set(D3DRS_FOGENABLE, TRUE);
    EXPECT_FALSE(Enabled(GL_FOG));
    Set(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    Set(D3DRS_FOGSTART, std::bit_cast<DWORD>(4.0f));
    Set(D3DRS_FOGCOLOR, 0xFF336699u);
    EXPECT_TRUE(Enabled(GL_FOG));
    EXPECT_EQ(GL_LINEAR, Integer(GL_FOG_MODE));
    EXPECT_EQ(4.0f, Float(GL_FOG_START));
    GLfloat colour[4] = {};
    m_getFloats(GL_FOG_COLOR, colour);
    EXPECT_FLOAT_EQ(0x33 / 255.0f, colour[0]);
    EXPECT_FLOAT_EQ(0x99 / 255.0f, colour[2]);
}

TEST_F(FixedFunctionStateTest, DirectionalLightShinesAlongItsDirectionInViewSpace) {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
    light.Direction = {0.0f, -1.0f, 0.0f};
    ASSERT_EQ(D3D_OK, m_device->SetLight(4, &light));
    EXPECT_FALSE(Enabled(GL_LIGHT0)) << "set, not yet enabled";
    ASSERT_EQ(D3D_OK, m_device->LightEnable(4, TRUE));
    EXPECT_TRUE(Enabled(GL_LIGHT0));
    GLfloat position[4] = {};
    m_getLight(GL_LIGHT0, GL_POSITION, position);
    EXPECT_EQ(0.0f, position[0]);
    EXPECT_EQ(1.0f, position[1]) << "towards the light";
    EXPECT_EQ(0.0f, position[3]);

    // A view that swaps x and y carries the light with it.
    const D3DMATRIX swap{{{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_VIEW, &swap));
    m_getLight(GL_LIGHT0, GL_POSITION, position);
    EXPECT_EQ(1.0f, position[0]);
    EXPECT_EQ(0.0f, position[1]);

    // A reset puts every state back: no lights, culling and depth testing as at creation.
    Set(D3DRS_CULLMODE, D3DCULL_NONE);
    Set(D3DRS_LIGHTING, FALSE);
    ASSERT_EQ(D3D_OK, m_device->Reset(&m_parameters));
    Set(D3DRS_DITHERENABLE, FALSE);
    EXPECT_FALSE(Enabled(GL_LIGHT0));
    EXPECT_TRUE(Enabled(GL_LIGHTING));
    EXPECT_TRUE(Enabled(GL_CULL_FACE));
}
