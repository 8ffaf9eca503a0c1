#include "support/RendererFixture.h"

#include <string>

namespace {

// The log of a start-up up to the depth-stencil search, for a given window mode and format line.
std::string StartLines(bool windowed, const char* format) {
    return std::string("Finding Window...\nCreating D3D9...\nOrvalen Initializing...\nWindowed: ") +
           (windowed ? "True" : "False") + "\nWidth: 800, Height: 600\nFormat: " + format + "\n";
}

const std::string kDeviceLines =
    "Retrieving Video Device Capabilities...\nCreating Device...\nVertex Processing: Software\n";

class IOrvalenD3DInitialize : public RendererFixture {
protected:
    void OfferDepthStencil(std::vector<D3DFORMAT> formats) {
        platform::AdapterConfiguration adapter = platform::DefaultAdapter();
        adapter.depthStencilFormats = std::move(formats);
        platform::ConfigureAdapter(adapter);
    }

    int StartFullScreen(std::uint32_t formatFlags) {
        return m_handle->Initialize(kWindowName, 800, 600, formatFlags, true, false, true);
    }
};

} // namespace

TEST_F(IOrvalenD3DInitialize, WindowedStartUpLogsEveryStepAndMakesTheDevice) {
    ASSERT_EQ(1, StartWindowed());
    EXPECT_EQ(
        StartLines(true, "D3DFMT_X8R8G8B8") +
            "Multisample: None\nFinding An Optimal DepthStencil Buffer...\nDepthStencil: D3DFMT_D24S8\n" +
            kDeviceLines,
        LogText());
    IOrvalenD3D& renderer = Renderer();
    EXPECT_EQ(m_window, renderer.WindowHandle);
    EXPECT_TRUE(renderer.UseStencil);
    EXPECT_EQ(D3DFMT_D24S8, renderer.DepthStencilFormat);
    EXPECT_EQ(800u, renderer.Width);
    const D3DPRESENT_PARAMETERS parameters = *platform::DevicePresentParameters(renderer.Device);
    EXPECT_EQ(D3DFMT_X8R8G8B8, parameters.BackBufferFormat);
    EXPECT_EQ(D3DMULTISAMPLE_NONE, parameters.MultiSampleType);
    EXPECT_EQ(m_window, parameters.hDeviceWindow);
    // Until a viewport is made, the renderer's viewport is the whole back buffer.
    EXPECT_EQ(800u, renderer.Viewport.Width);
    EXPECT_EQ(600u, renderer.Viewport.Height);
    EXPECT_EQ(1, platform::CallsOf("IDirect3D9::CreateDevice").size());
    EXPECT_EQ(static_cast<std::int64_t>(D3DCREATE_SOFTWARE_VERTEXPROCESSING),
              platform::CallsOf("IDirect3D9::CreateDevice")[0].arguments[2]);
}

TEST_F(IOrvalenD3DInitialize, DeinitializeReleasesEverythingAndClosesTheLog) {
    ASSERT_EQ(1, StartWindowed());
    m_handle->Deinitialize();
    EXPECT_EQ(0, platform::LiveObjectTotal());
    EXPECT_EQ(nullptr, Renderer().LogFile);
    EXPECT_TRUE(LogText().ends_with(
        kDeviceLines + "Deinitializing...\nD3D9 Device Released\nD3D9 Released\nOrvalen Deinitialized.\n"));
}

TEST_F(IOrvalenD3DInitialize, WindowedWithoutASizeTakesTheWindowSize) {
    ASSERT_EQ(1, m_handle->Initialize(kWindowName, 0, 0, 0, false, true, false));
    EXPECT_EQ(0u, Renderer().Width);
    EXPECT_EQ(800u, Renderer().Viewport.Width);
    EXPECT_EQ(600u, Renderer().Viewport.Height);
    EXPECT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
}

TEST_F(IOrvalenD3DInitialize, WindowedTakesTheDesktopFormatWhateverTheFlags) {
    platform::AdapterConfiguration adapter = platform::DefaultAdapter();
    adapter.desktopMode.Format = D3DFMT_R5G6B5;
    platform::ConfigureAdapter(adapter);
    ASSERT_EQ(1, m_handle->Initialize(kWindowName, 800, 600, 128, true, true, true));
    EXPECT_EQ(StartLines(true, "D3DFMT_R5G6B5"),
              LogText().substr(0, StartLines(true, "D3DFMT_R5G6B5").size()));
}

TEST_F(IOrvalenD3DInitialize, FullScreenFlagsChooseTheBackBufferFormat) {
    struct Case {
        std::uint32_t flags;
        D3DFORMAT format;
        const char* name;
    } cases[] = {
        {128 | 64, D3DFMT_A8R8G8B8, "D3DFMT_A8R8G8B8"}, {64 | 16, D3DFMT_X8R8G8B8, "D3DFMT_X8R8G8B8"},
        {16 | 1, D3DFMT_R5G6B5, "D3DFMT_R5G6B5"},       {16 | 2, D3DFMT_X1R5G5B5, "D3DFMT_X1R5G5B5"},
        {32 | 2, D3DFMT_A1R5G5B5, "D3DFMT_A1R5G5B5"},   {16 | 32, D3DFMT_R5G6B5, "D3DFMT_R5G6B5"},
        {32, D3DFMT_A1R5G5B5, "D3DFMT_A1R5G5B5"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        ASSERT_EQ(1, StartFullScreen(c.flags));
        EXPECT_EQ(c.format, platform::DevicePresentParameters(Renderer().Device)->BackBufferFormat);
        EXPECT_EQ(FALSE, platform::DevicePresentParameters(Renderer().Device)->Windowed);
        EXPECT_EQ(StartLines(false, c.name), LogText().substr(0, StartLines(false, c.name).size()));
    }
}

TEST_F(IOrvalenD3DInitialize, FullScreenWithoutAFormatFlagFailsWithZero) {
    EXPECT_EQ(0, StartFullScreen(0));
    EXPECT_EQ(0, StartFullScreen(1 | 2 | 4 | 8));
    EXPECT_EQ(StartLines(false, "Unrecognized") + "ERROR: Mode Not Supported\n", LogText());
    EXPECT_EQ(nullptr, Renderer().LogFile);
    EXPECT_EQ(nullptr, Renderer().Device);
}

TEST_F(IOrvalenD3DInitialize, DepthStencilFallsBackInOrder) {
    struct Case {
        bool stencil;
        std::vector<D3DFORMAT> offered;
        const char* chosen;
    } cases[] = {{true, {D3DFMT_D24X4S4, D3DFMT_D15S1}, "D3DFMT_D24X4S4"},
                 {true, {D3DFMT_D15S1, D3DFMT_D32}, "D3DFMT_D15S1"},
                 {false, {D3DFMT_D32, D3DFMT_D24X8}, "D3DFMT_D32"},
                 {false, {D3DFMT_D24X8, D3DFMT_D16, D3DFMT_D24S8}, "D3DFMT_D24X8"},
                 {false, {D3DFMT_D16}, "D3DFMT_D16"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        OfferDepthStencil(c.offered);
        ASSERT_EQ(1, m_handle->Initialize(kWindowName, 800, 600, 0, c.stencil, true, true));
        EXPECT_NE(std::string::npos, LogText().find(std::string("\nDepthStencil: ") + c.chosen + "\n"));
        EXPECT_EQ(c.stencil, Renderer().UseStencil);
    }
}

TEST_F(IOrvalenD3DInitialize, NoDepthStencilMatchFailsWithZero) {
    OfferDepthStencil({D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D16});
    EXPECT_EQ(0, StartWindowed());
    EXPECT_EQ(StartLines(true, "D3DFMT_X8R8G8B8") +
                  "Multisample: None\nFinding An Optimal DepthStencil Buffer...\n"
                  "ERROR: A DepthStencil Match Not Found\n",
              LogText());
}

TEST_F(IOrvalenD3DInitialize, MultisampleTakesTheLargestCountBothFormatsOffer) {
    platform::AdapterConfiguration adapter = platform::DefaultAdapter();
    const std::vector<D3DMULTISAMPLE_TYPE> upToFour{D3DMULTISAMPLE_2_SAMPLES, D3DMULTISAMPLE_4_SAMPLES};
    adapter.multisampleOffers = {{D3DFMT_X8R8G8B8, upToFour}, {D3DFMT_D24S8, upToFour}};
    platform::ConfigureAdapter(adapter);
    ASSERT_EQ(1, m_handle->Initialize(kWindowName, 800, 600, 0, true, true, true, 8));
    EXPECT_EQ(StartLines(true, "D3DFMT_X8R8G8B8") +
                  "Finding An Optimal DepthStencil Buffer...\nDepthStencil: D3DFMT_D24S8\nMultisample: 4\n" +
                  kDeviceLines,
              LogText());
    EXPECT_EQ(D3DMULTISAMPLE_4_SAMPLES,
              platform::DevicePresentParameters(Renderer().Device)->MultiSampleType);

    // The depth-stencil format offering less pulls the count down with it.
    adapter.multisampleOffers = {{D3DFMT_X8R8G8B8, upToFour}, {D3DFMT_D24S8, {D3DMULTISAMPLE_2_SAMPLES}}};
    platform::ConfigureAdapter(adapter);
    ASSERT_EQ(1, m_handle->Initialize(kWindowName, 800, 600, 0, true, true, true, 6));
    EXPECT_NE(std::string::npos, LogText().find("Multisample: 2\n"));

    ASSERT_EQ(1, m_handle->Initialize(kWindowName, 800, 600, 0, true, true, true, 0));
    EXPECT_NE(std::string::npos, LogText().find("DepthStencil: D3DFMT_D24S8\nMultisample: None\n"));
}

TEST_F(IOrvalenD3DInitialize, UnknownMultisampleCountFailsWithZeroNamingIt) {
    for (const std::uint32_t count : {3u, 10u, 0xFFFFFFFFu}) {
        EXPECT_EQ(0, m_handle->Initialize(kWindowName, 800, 600, 0, true, true, true, count));
    }
    EXPECT_EQ(0, m_handle->Initialize(kWindowName, 800, 600, 0, true, true, true, 3));
    EXPECT_TRUE(LogText().ends_with("DepthStencil: D3DFMT_D24S8\nERROR: Bad Multisample Format 3. Should be "
                                    "one of the following: 0, 2, 4, 6, 8\n"));

    // Every count down to "none" refused ends the same way, naming the count asked for.
    platform::InjectFault({"IDirect3D9::CheckDeviceMultiSampleType", 1, 0, std::nullopt, 0});
    EXPECT_EQ(0, m_handle->Initialize(kWindowName, 800, 600, 0, true, true, true, 2));
    EXPECT_TRUE(LogText().ends_with(
        "ERROR: Bad Multisample Format 2. Should be one of the following: 0, 2, 4, 6, 8\n"));
}

TEST_F(IOrvalenD3DInitialize, EachFailingStepReturnsItsCodeAndClosesTheLog) {
    struct Case {
        const char* operation;
        int result;
        std::string logTail;
    } cases[] = {
        {"FindWindowA", -1, "Finding Window...\nERROR: Couldn't Find Window Handle\n"},
        {"Direct3DCreate9", -2, "Creating D3D9...\nERROR: Couldn't Create Direct3D 9\n"},
        {"IDirect3D9::GetAdapterDisplayMode", -1,
         "Width: 800, Height: 600\nERROR: Couldn't Retrieve Adapter Display Mode\n"},
        {"IDirect3D9::GetDeviceCaps", -1,
         "Retrieving Video Device Capabilities...\nERROR: Couldn't Get Capabilities\n"},
        {"IDirect3D9::CreateDevice", -1, "Creating Device...\nERROR: Couldn't Create Device\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        platform::FailCall(c.operation);
        EXPECT_EQ(c.result, StartWindowed());
        EXPECT_TRUE(LogText().ends_with(c.logTail)) << LogText();
        EXPECT_EQ(nullptr, Renderer().LogFile);
        EXPECT_EQ(nullptr, Renderer().Device);
    }
}

TEST_F(IOrvalenD3DInitialize, MissingWindowOrNameFails) {
    EXPECT_EQ(-1, m_handle->Initialize("No Such Window", 800, 600, 0, true, true, true));
    EXPECT_EQ("Finding Window...\nERROR: Couldn't Find Window Handle\n", LogText());
    // A null name finds no window rather than any window.
    EXPECT_EQ(-1, m_handle->Initialize(nullptr, 800, 600, 0, true, true, true));
    EXPECT_EQ("Finding Window...\nERROR: Couldn't Find Window Handle\n", LogText());
    EXPECT_EQ(0, platform::CallsOf("FindWindowA").size() - 1);
}

TEST_F(IOrvalenD3DInitialize, AfterAHardFailureNothingMoreIsLogged) {
    platform::FailCall("IDirect3D9::CreateDevice");
    ASSERT_EQ(-1, StartWindowed());
    const std::string closed = LogText();
    EXPECT_FALSE(m_handle->CreateViewport(0, 0, 800, 600));
    EXPECT_FALSE(m_handle->SetProjection(1.0f, 1.0f, 100.0f));
    m_handle->Deinitialize();
    EXPECT_EQ(closed, LogText());
    EXPECT_EQ(0, platform::LiveObjectTotal()); // the failed start-up's Direct3D was released

    // A later start-up with logging opens the log again, from scratch.
    ASSERT_EQ(1, StartWindowed());
    EXPECT_TRUE(LogText().starts_with("Finding Window...\n"));
    EXPECT_TRUE(LogText().ends_with(kDeviceLines));
}

TEST_F(IOrvalenD3DInitialize, WithoutLoggingNoFileIsWrittenAndCodesAreTheSame) {
    EXPECT_EQ(1, StartWindowed(false));
    EXPECT_EQ(0, m_handle->Initialize(kWindowName, 800, 600, 0, true, false, false));
    platform::FailCall("Direct3DCreate9");
    EXPECT_EQ(-2, StartWindowed(false));
    EXPECT_FALSE(m_handle->SelectViewport(9));
    m_handle->Deinitialize();
    EXPECT_FALSE(LogExists());
}

TEST_F(IOrvalenD3DInitialize, LogThatCannotBeOpenedFailsWithMinusOne) {
    std::filesystem::create_directory(kLogName); // a folder where the file would go
    EXPECT_EQ(-1, StartWindowed());
    EXPECT_EQ(0, platform::CallsOf("FindWindowA").size());
    std::filesystem::remove(kLogName);
}

TEST_F(IOrvalenD3DInitialize, SecondStartUpReleasesWhatTheFirstHeld) {
    ASSERT_EQ(1, StartWindowed());
    ASSERT_EQ(1, StartWindowed());
    EXPECT_EQ(1, platform::LiveObjects("IDirect3DDevice9"));
    EXPECT_EQ(1, platform::LiveObjects("IDirect3D9"));
    // The log was closed and opened afresh: it holds one start-up only.
    EXPECT_EQ(
        StartLines(true, "D3DFMT_X8R8G8B8") +
            "Multisample: None\nFinding An Optimal DepthStencil Buffer...\nDepthStencil: D3DFMT_D24S8\n" +
            kDeviceLines,
        LogText());
}

TEST_F(IOrvalenD3DInitialize, DestroyingTheRendererDeinitializesIt) {
    ASSERT_EQ(1, StartWindowed());
    ASSERT_EQ(1, DestroyOrvalenRenderer(&m_handle));
    EXPECT_EQ(0, platform::LiveObjectTotal());
    EXPECT_TRUE(LogText().ends_with(
        "Deinitializing...\nD3D9 Device Released\nD3D9 Released\nOrvalen Deinitialized.\n"));
}
