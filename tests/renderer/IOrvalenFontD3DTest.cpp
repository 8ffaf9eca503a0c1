#include "support/AllocationFailure.h"
#include "support/RendererFixture.h"
#include "renderer/IOrvalenFontD3D.h"
#include "support/LitPixels.h"

#include <algorithm>
#include <memory>

namespace {

constexpr const char* kFace = "DejaVu Sans";

class IOrvalenFontD3DTest : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        m_fonts = std::make_unique<IOrvalenFontD3D>();
        m_fonts->SetRenderer(&m_handle);
        m_startLog = LogText();
        platform::ClearCallTrace();
    }

    void TearDown() override {
        // The fonts hold the device: they go before the renderer.
        m_fonts.reset();
        RendererFixture::TearDown();
    }

    std::string NewLog() const { return LogText().substr(m_startLog.size()); }
    platform::Image Frame() { return platform::ReadBackBuffer(Renderer().Device); }

    std::unique_ptr<IOrvalenFontD3D> m_fonts;
    std::string m_startLog;
};

} // namespace

TEST_F(IOrvalenFontD3DTest, CreatesFontsWithTheAskedHeightWidthWeightAndSlant) {
    ASSERT_TRUE(m_fonts->CreateFont(8, 16, true, true, kFace, 2));
    ASSERT_TRUE(m_fonts->CreateFont(0, 20, kFace, 9));
    const std::vector<platform::TracedCall> calls = platform::CallsOf("D3DXCreateFontA");
    ASSERT_EQ(2u, calls.size());
    // height, width, weight, mip levels, italic, character set, precision, quality, pitch and family
    EXPECT_EQ((std::vector<std::int64_t>{16, 8, 700, 1, 1, 1, 0, 4, 0}), calls[0].arguments);
    EXPECT_EQ((std::vector<std::int64_t>{20, 0, 400, 1, 0, 1, 0, 4, 0}), calls[1].arguments);
    EXPECT_EQ(2, platform::LiveObjects("ID3DXFont"));
    EXPECT_EQ("", NewLog());
}

TEST_F(IOrvalenFontD3DTest, ReplacingAFontReleasesTheOldOneAndAFailedCreateLeavesTheSlotEmpty) {
    ASSERT_TRUE(m_fonts->CreateFont(8, 16, kFace, 0));
    ASSERT_TRUE(m_fonts->CreateFont(10, 24, true, false, kFace, 0));
    EXPECT_EQ(1, platform::LiveObjects("ID3DXFont"));
    EXPECT_TRUE(m_fonts->DrawText(10, 10, "replaced", 0));

    platform::FailCall("D3DXCreateFontA");
    EXPECT_FALSE(m_fonts->CreateFont(8, 16, kFace, 0));
    EXPECT_EQ(0, platform::LiveObjects("ID3DXFont"));
    EXPECT_FALSE(m_fonts->DrawText(10, 50, "gone", 0));
    EXPECT_FALSE(m_fonts->CreateFont(-3, 16, kFace, 0)) << "a negative width is no font";
    EXPECT_FALSE(m_fonts->CreateFont(8, 0, kFace, 0)) << "nor is a zero height";
    EXPECT_EQ(0, platform::LiveObjects("ID3DXFont"));
}

TEST_F(IOrvalenFontD3DTest, BadIndicesAreRefusedAndLoggedAndEmptySlotsRefusedQuietly) {
    EXPECT_FALSE(m_fonts->CreateFont(8, 16, kFace, 10));
    EXPECT_FALSE(m_fonts->CreateFont(8, 16, true, true, kFace, -1));
    EXPECT_FALSE(m_fonts->DrawText(0, 0, "text", 10));
    EXPECT_FALSE(m_fonts->DrawText(0, 0, 100, 100, "text", -2147483647 - 1));
    EXPECT_EQ("ERROR: CreateFont Failed - Bad Index 10\n"
              "ERROR: CreateFont Failed - Bad Index -1\n"
              "ERROR: DrawText Failed - Bad Index 10\n"
              "ERROR: DrawText Failed - Bad Index -2147483648\n",
              NewLog());
    EXPECT_TRUE(platform::CallsOf("D3DXCreateFontA").empty());

    EXPECT_FALSE(m_fonts->DrawText(0, 0, "text", 4));
    EXPECT_FALSE(m_fonts->DrawText(0, 0, 100, 100, "text", 4));
    const std::string log = NewLog();
    EXPECT_EQ(4, std::count(log.begin(), log.end(), '\n')) << "no line for an empty slot";
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
}

TEST_F(IOrvalenFontD3DTest, TextAtAPointFillsTheFontsCellsFromThatPoint) {
    ASSERT_TRUE(m_fonts->CreateFont(8, 16, kFace, 3));
    ASSERT_TRUE(m_fonts->DrawText(0, 0, "abc", 3));
    const std::vector<platform::TracedCall> draws = platform::CallsOf("ID3DXFont::DrawTextA");
    ASSERT_EQ(1u, draws.size());
    // count, rectangle left, top, right, bottom, format, colour: one cell more than the text needs
    EXPECT_EQ((std::vector<std::int64_t>{-1, 0, 0, 32, 16, 0x100, 0xFFFFFFFF}), draws[0].arguments);

    const platform::Image frame = Frame();
    const LitPixels lit = LitPixels::In(frame);
    EXPECT_GT(lit.count, 20);
    EXPECT_GE(lit.left, 0);
    EXPECT_LE(lit.right, 32);
    EXPECT_LE(lit.bottom, 16);
    EXPECT_FALSE(m_fonts->DrawText(40, 40, "", 3)) << "empty text draws nothing";
    EXPECT_EQ(lit.count, LitPixels::In(Frame()).count);
}

TEST_F(IOrvalenFontD3DTest, TextIsDrawnInsideItsRectangleInTheColourOfTheMoment) {
    ASSERT_TRUE(m_fonts->CreateFont(0, 40, kFace, 0));
    ASSERT_TRUE(m_fonts->CreateFont(0, 40, true, false, "DejaVu Serif", 1));
    m_fonts->Colour = 0xFF20C040;
    ASSERT_TRUE(m_fonts->DrawText(100, 100, 300, 40, "HIT", 0));
    m_fonts->Colour = 0xFF3050FF;
    ASSERT_TRUE(m_fonts->DrawText(100, 300, 300, 40, "HIT", 1));

    const platform::Image frame = Frame();
    const LitPixels green = LitPixels::In(frame, 0, 0, 800, 200);
    const LitPixels blue = LitPixels::In(frame, 0, 200, 800, 600);
    EXPECT_EQ(green.count + blue.count, LitPixels::In(frame).count);
    for (const auto& [lit, top] : {std::pair{green, 100}, std::pair{blue, 300}}) {
        EXPECT_GE(lit.left, 100);
        EXPECT_LE(lit.right, 400);
        EXPECT_GE(lit.top, top);
        EXPECT_LE(lit.bottom, top + 40);
    }
    // The stems of H, I and T are fully covered: exactly the colour there; edges are the colour
    // scaled by coverage over black.
    int exactGreen = 0;
    int exactBlue = 0;
    for (UINT y = 0; y < frame.height; ++y) {
        for (UINT x = 0; x < frame.width; ++x) {
            const std::uint32_t pixel = frame.At(x, y) & 0x00FFFFFFu;
            if (pixel == 0) {
                continue;
            }
            const std::uint32_t colour = y < 200 ? 0x20C040u : 0x3050FFu;
            exactGreen += pixel == 0x20C040u;
            exactBlue += pixel == 0x3050FFu;
            for (int shift : {0, 8, 16}) {
                EXPECT_LE((pixel >> shift) & 0xFF, (colour >> shift) & 0xFF) << x << ", " << y;
            }
        }
    }
    EXPECT_GT(exactGreen, 100);
    EXPECT_GT(exactBlue, 100);
}

TEST_F(IOrvalenFontD3DTest, BoldTextIsWiderThanRegularText) {
    ASSERT_TRUE(m_fonts->CreateFont(0, 24, kFace, 0));
    ASSERT_TRUE(m_fonts->CreateFont(0, 24, true, false, kFace, 1));
    ASSERT_TRUE(m_fonts->DrawText(10, 10, "Measure this line", 0));
    ASSERT_TRUE(m_fonts->DrawText(10, 110, "Measure this line", 1));
    const platform::Image frame = Frame();
    const LitPixels regular = LitPixels::In(frame, 0, 0, 800, 100);
    const LitPixels bold = LitPixels::In(frame, 0, 100, 800, 200);
    EXPECT_GT(bold.right - bold.left, (regular.right - regular.left) * 21 / 20);
    EXPECT_GT(bold.count, regular.count * 6 / 5);
}

TEST_F(IOrvalenFontD3DTest, WordBreakWrapsOntoTheNextLineWhileTextAtAPointStaysOnOne) {
    ASSERT_TRUE(m_fonts->CreateFont(0, 20, kFace, 5));
    // "Wrapped" alone is narrower than the box; with " words" it is not.
    ASSERT_TRUE(m_fonts->DrawText(20, 20, 90, 20, "Wrapped words", 5));
    ASSERT_TRUE(m_fonts->DrawText(20, 300, "Wrapped words", 5));
    const platform::Image frame = Frame();
    const LitPixels firstLine = LitPixels::In(frame, 0, 0, 800, 40);
    const LitPixels secondLine = LitPixels::In(frame, 0, 40, 800, 60);
    EXPECT_LE(firstLine.right, 110);
    EXPECT_GT(secondLine.count, 30) << "the second word starts a line of its own";
    EXPECT_LE(secondLine.right, 110);
    EXPECT_EQ(firstLine.count + secondLine.count, LitPixels::In(frame, 0, 0, 800, 200).count);

    const LitPixels oneLine = LitPixels::In(frame, 0, 280, 800, 600);
    EXPECT_LE(oneLine.bottom, 320);
    EXPECT_GT(oneLine.right, 110);
}

TEST_F(IOrvalenFontD3DTest, LostFontsDrawNothingUntilTheDeviceIsReset) {
    ASSERT_TRUE(m_fonts->CreateFont(0, 20, kFace, 0));
    ASSERT_TRUE(m_fonts->CreateFont(0, 20, kFace, 7));
    m_fonts->OnLostDevice();
    m_fonts->OnLostDevice();
    EXPECT_EQ(4u, platform::CallsOf("ID3DXFont::OnLostDevice").size()) << "each font, each time";
    EXPECT_FALSE(m_fonts->DrawText(0, 0, "lost", 0));
    EXPECT_EQ(0, LitPixels::In(Frame()).count);

    EXPECT_TRUE(m_fonts->OnResetDevice());
    EXPECT_TRUE(m_fonts->OnResetDevice());
    EXPECT_EQ(4u, platform::CallsOf("ID3DXFont::OnResetDevice").size());
    EXPECT_TRUE(m_fonts->DrawText(0, 0, "back", 0));
    EXPECT_TRUE(m_fonts->DrawText(0, 100, "back", 7));
    EXPECT_GT(LitPixels::In(Frame()).count, 50);
}

TEST(IOrvalenFontD3DWithoutRenderer, CreatesNothingAndLogsNothing) {
    IOrvalenFontD3D fonts;
    EXPECT_EQ(0xFFFFFFFFu, fonts.Colour);
    EXPECT_FALSE(fonts.CreateFont(8, 16, kFace, 0));
    EXPECT_FALSE(fonts.CreateFont(8, 16, kFace, 12));
    EXPECT_FALSE(fonts.DrawText(0, 0, "text", 0));
    EXPECT_TRUE(fonts.OnResetDevice());
    fonts.OnLostDevice();
}

namespace {

class FontInterfaceFactory : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        m_startLog = LogText();
    }

    std::string NewLog() const { return LogText().substr(m_startLog.size()); }
    IOrvalenFontD3D* Fonts() { return static_cast<IOrvalenFontD3D*>(m_handle->FontInterface); }

    std::string m_startLog;
};

} // namespace

TEST_F(FontInterfaceFactory, MakesAFontInterfaceOnThisRendererAndDestroysIt) {
    ASSERT_EQ(1, m_handle->CreateFontInterface());
    ASSERT_NE(nullptr, m_handle->FontInterface);
    EXPECT_EQ(&Renderer(), Fonts()->Renderer);
    EXPECT_TRUE(m_handle->FontInterface->CreateFont(0, 16, kFace, 0));
    EXPECT_TRUE(m_handle->FontInterface->DrawText(0, 0, "made", 0));

    m_handle->DestroyFontInterface();
    EXPECT_EQ(nullptr, m_handle->FontInterface);
    EXPECT_EQ(0, platform::LiveObjects("ID3DXFont"));
    m_handle->DestroyFontInterface();
    EXPECT_EQ("Destroying Font Interface...\nDestroying Font Interface...\n", NewLog());
}

TEST_F(FontInterfaceFactory, ASecondCreateReplacesTheFirstInterfaceAndItsFonts) {
    ASSERT_EQ(1, m_handle->CreateFontInterface());
    ASSERT_TRUE(m_handle->FontInterface->CreateFont(0, 16, kFace, 4));
    ASSERT_EQ(1, m_handle->CreateFontInterface());
    EXPECT_EQ(0, platform::LiveObjects("ID3DXFont"));
    EXPECT_EQ(nullptr, Fonts()->Fonts[4]);
    m_handle->DestroyFontInterface();
}

TEST_F(FontInterfaceFactory, NoMemoryForTheInterfaceIsLoggedAndLeavesNone) {
    FailNextNothrowAllocation();
    EXPECT_EQ(-1, m_handle->CreateFontInterface());
    EXPECT_EQ(nullptr, m_handle->FontInterface);
    EXPECT_EQ("ERROR: Couldn't Create Font Interface\n", NewLog());
}
