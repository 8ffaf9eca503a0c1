#include "TestDevice.h"
#include "platform/D3DXFont.h"
#include "platform/control.h"
#include "support/LitPixels.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD kWhite = 0xFFFFFFFF;

class D3DXFontTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPlatform();
        m_window = platform::CreateHostWindow("Font Window", 320, 240);
        m_direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_direct3D);
        D3DPRESENT_PARAMETERS parameters = test_device::Windowed(m_window);
        ASSERT_EQ(D3D_OK, test_device::Create(m_direct3D, parameters, &m_device));
    }

    void TearDown() override {
        for (ID3DXFont* font : m_fonts) {
            font->Release();
        }
        m_device->Release();
        m_direct3D->Release();
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal());
        platform::ResetPlatform();
    }

    ID3DXFont* Font(int height, const char* face = "DejaVu Sans", UINT weight = FW_NORMAL,
                    BOOL italic = FALSE) {
        ID3DXFont* font = nullptr;
        EXPECT_EQ(D3D_OK, D3DXCreateFontA(m_device, height, 0, weight, 1, italic, DEFAULT_CHARSET,
                                          OUT_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, face, &font));
        if (font != nullptr) {
            m_fonts.push_back(font);
        }
        return font;
    }

    int Draw(ID3DXFont* font, const char* text, RECT rect, DWORD format, int count = -1) {
        return font->DrawTextA(nullptr, text, count, &rect, format, kWhite);
    }

    platform::Image Frame() { return platform::ReadBackBuffer(m_device); }

    HWND m_window = nullptr;
    IDirect3D9* m_direct3D = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    std::vector<ID3DXFont*> m_fonts;
};

} // namespace

TEST_F(D3DXFontTest, DrawReturnsTheHeightOfTheLinesWritten) {
    ID3DXFont* font = Font(18);
    EXPECT_EQ(18, Draw(font, "one line", {0, 0, 300, 18}, DT_NOCLIP));
    EXPECT_EQ(54, Draw(font, "three short words", {0, 40, 60, 58}, DT_NOCLIP | DT_WORDBREAK));
    EXPECT_EQ(36, Draw(font, "two\nlines", {0, 120, 300, 138}, DT_NOCLIP));
    EXPECT_EQ(0, Draw(font, "", {0, 200, 300, 218}, DT_NOCLIP));
    EXPECT_EQ(0, Draw(font, "counted", {0, 200, 300, 218}, DT_NOCLIP, 0));
    EXPECT_EQ(0, LitPixels::In(Frame(), 0, 190, 320, 240).count);
    EXPECT_EQ(0, font->DrawTextA(nullptr, nullptr, -1, nullptr, DT_NOCLIP, kWhite));
}

TEST_F(D3DXFontTest, ACountDrawsOnlyThatManyCharacters) {
    ID3DXFont* font = Font(20);
    Draw(font, "iiii", {0, 0, 300, 20}, DT_NOCLIP, 2);
    Draw(font, "ii", {0, 100, 300, 120}, DT_NOCLIP);
    const platform::Image frame = Frame();
    EXPECT_EQ(LitPixels::In(frame, 0, 0, 320, 100).count, LitPixels::In(frame, 0, 100, 320, 240).count);
}

TEST_F(D3DXFontTest, WithoutNoClipNothingIsDrawnOutsideTheRectangle) {
    ID3DXFont* font = Font(30);
    Draw(font, "Clipped text", {20, 20, 80, 40}, 0);
    Draw(font, "Unclipped text", {20, 120, 80, 140}, DT_NOCLIP);
    const platform::Image frame = Frame();
    const LitPixels clipped = LitPixels::In(frame, 0, 0, 320, 100);
    EXPECT_GT(clipped.count, 0);
    EXPECT_GE(clipped.left, 20);
    EXPECT_GE(clipped.top, 20);
    EXPECT_LE(clipped.right, 80);
    EXPECT_LE(clipped.bottom, 40);
    const LitPixels unclipped = LitPixels::In(frame, 0, 100, 320, 240);
    EXPECT_GT(unclipped.right, 120);
    EXPECT_GT(unclipped.bottom, 140);
}

TEST_F(D3DXFontTest, AnUnknownFaceIsTheDefaultMatch) {
    Draw(Font(24, "No Such Face At All"), "Same glyphs", {0, 0, 320, 24}, DT_NOCLIP);
    Draw(Font(24, ""), "Same glyphs", {0, 100, 320, 124}, DT_NOCLIP);
    const platform::Image frame = Frame();
    const LitPixels unknown = LitPixels::In(frame, 0, 0, 320, 100);
    ASSERT_GT(unknown.count, 0);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 320; ++x) {
            ASSERT_EQ(frame.At(x, y), frame.At(x, y + 100)) << x << ", " << y;
        }
    }
}

TEST_F(D3DXFontTest, ItalicLeansToTheRight) {
    // The mean column of a tall stroke's top rows against its bottom rows.
    const auto lean = [](const platform::Image& frame, int top) {
        const LitPixels stroke = LitPixels::In(frame, 0, top, 320, top + 100);
        const int third = (stroke.bottom - stroke.top) / 3;
        const LitPixels upper = LitPixels::In(frame, 0, stroke.top, 320, stroke.top + third);
        const LitPixels lower = LitPixels::In(frame, 0, stroke.bottom - third, 320, stroke.bottom);
        return (upper.left + upper.right) / 2.0 - (lower.left + lower.right) / 2.0;
    };
    Draw(Font(60), "l", {100, 0, 200, 60}, DT_NOCLIP);
    Draw(Font(60, "DejaVu Sans", FW_NORMAL, TRUE), "l", {100, 100, 200, 160}, DT_NOCLIP);
    const platform::Image frame = Frame();
    EXPECT_NEAR(0.0, lean(frame, 0), 1.0);
    EXPECT_GT(lean(frame, 100), 5.0);
}

TEST_F(D3DXFontTest, BadArgumentsMakeNoFont) {
    ID3DXFont* font = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL,
              D3DXCreateFontA(nullptr, 16, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              ANTIALIASED_QUALITY, 0, "DejaVu Sans", &font));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              D3DXCreateFontA(m_device, 0, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              ANTIALIASED_QUALITY, 0, "DejaVu Sans", &font));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              D3DXCreateFontA(m_device, 16, 0xFFFFFFFFu, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, "DejaVu Sans", &font));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              D3DXCreateFontA(m_device, 16, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              ANTIALIASED_QUALITY, 0, "DejaVu Sans", nullptr));
    EXPECT_EQ(nullptr, font);
    EXPECT_EQ(0, platform::LiveObjects("ID3DXFont"));
}

TEST_F(D3DXFontTest, AFontKeepsItsDeviceAliveUntilItIsReleased) {
    ID3DXFont* font = Font(16);
    m_device->AddRef();
    EXPECT_EQ(2u, m_device->Release()) << "the test's reference and the font's";
    font->AddRef();
    EXPECT_EQ(1u, font->Release());
}

namespace {

/// What the device's OpenGL context holds: switches and values a text draw must give back. The
/// platform library carries OpenGL, so its query functions are looked up in the process.
std::vector<GLint> DrawingState() {
    const auto isEnabled = reinterpret_cast<GLboolean (*)(GLenum)>(dlsym(RTLD_DEFAULT, "glIsEnabled"));
    const auto getIntegers = reinterpret_cast<void (*)(GLenum, GLint*)>(dlsym(RTLD_DEFAULT, "glGetIntegerv"));
    std::vector<GLint> state;
    for (const GLenum capability : {GL_DEPTH_TEST, GL_STENCIL_TEST, GL_ALPHA_TEST, GL_BLEND, GL_FOG,
                                    GL_SCISSOR_TEST, GL_TEXTURE_2D, GL_LIGHTING, GL_CULL_FACE}) {
        state.push_back(isEnabled(capability));
    }
    for (const GLenum name : {GL_DEPTH_FUNC, GL_ALPHA_TEST_FUNC, GL_STENCIL_FUNC, GL_BLEND_SRC, GL_BLEND_DST,
                              GL_BLEND_EQUATION_RGB, GL_ACTIVE_TEXTURE, GL_UNPACK_ALIGNMENT,
                              GL_CURRENT_PROGRAM, GL_DRAW_FRAMEBUFFER_BINDING, GL_MATRIX_MODE}) {
        GLint value = 0;
        getIntegers(name, &value);
        state.push_back(value);
    }
    GLint viewport[4] = {};
    getIntegers(GL_VIEWPORT, viewport);
    state.insert(state.end(), viewport, viewport + 4);
    return state;
}

} // namespace

TEST_F(D3DXFontTest, TextIgnoresTheDevicesStatesAndLeavesThemAsTheyWere) {
    // States under which no ordinary pixel would survive.
    for (const auto& [state, value] : {std::pair{D3DRS_ZENABLE, DWORD(D3DZB_TRUE)},
                                       {D3DRS_ZFUNC, D3DCMP_NEVER},
                                       {D3DRS_ALPHATESTENABLE, TRUE},
                                       {D3DRS_ALPHAFUNC, D3DCMP_NEVER},
                                       {D3DRS_STENCILENABLE, TRUE},
                                       {D3DRS_STENCILFUNC, D3DCMP_NEVER},
                                       {D3DRS_ALPHABLENDENABLE, TRUE},
                                       {D3DRS_SRCBLEND, D3DBLEND_ZERO},
                                       {D3DRS_DESTBLEND, D3DBLEND_ONE},
                                       {D3DRS_FOGENABLE, TRUE}}) {
        ASSERT_EQ(D3D_OK, m_device->SetRenderState(state, value));
    }
    const D3DVIEWPORT9 corner{0, 0, 16, 16, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, m_device->SetViewport(&corner));
    const std::vector<GLint> before = DrawingState();
    EXPECT_EQ(20, Draw(Font(20), "Still here", {100, 100, 300, 120}, DT_NOCLIP));
    EXPECT_EQ(before, DrawingState());
    const LitPixels lit = LitPixels::In(Frame());
    EXPECT_GT(lit.count, 50);
    EXPECT_GE(lit.left, 100) << "text is placed on the render target, not in the viewport";
}
