#include "renderer/IOrvalenD3D.h"

#include "platform/Win32Window.h"

namespace {

constexpr const char* kLogFileName = "log_OrvalenRender.txt";

const char* FormatName(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_UNKNOWN:
        return "D3DFMT_UNKNOWN";
    case D3DFMT_R8G8B8:
        return "D3DFMT_R8G8B8";
    case D3DFMT_A8R8G8B8:
        return "D3DFMT_A8R8G8B8";
    case D3DFMT_X8R8G8B8:
        return "D3DFMT_X8R8G8B8";
    case D3DFMT_R5G6B5:
        return "D3DFMT_R5G6B5";
    case D3DFMT_X1R5G5B5:
        return "D3DFMT_X1R5G5B5";
    case D3DFMT_A1R5G5B5:
        return "D3DFMT_A1R5G5B5";
    default:
        return "Unrecognized";
    }
}

const char* DepthStencilName(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D24S8:
        return "D3DFMT_D24S8";
    case D3DFMT_D24X4S4:
        return "D3DFMT_D24X4S4";
    case D3DFMT_D15S1:
        return "D3DFMT_D15S1";
    case D3DFMT_D32:
        return "D3DFMT_D32";
    case D3DFMT_D24X8:
        return "D3DFMT_D24X8";
    default:
        return "D3DFMT_D16";
    }
}

} // namespace

IOrvalenD3D::IOrvalenD3D(std::uint32_t hostContext) : HostContext(hostContext) {
    D3DXMatrixIdentity(&ProjectionMatrix);
    D3DXMatrixIdentity(&ViewMatrix);
}

IOrvalenD3D::~IOrvalenD3D() {
    // The renderer owns its interfaces: any the host left open would otherwise be lost with the
    // scene's world and objects and whatever they hold on the device.
    DestroyOpenInterfaces();
    Deinitialize();
}

void IOrvalenD3D::WriteLog(const char* format, va_list arguments) {
    if (LogFile != nullptr) {
        std::vfprintf(LogFile, format, arguments);
        // Flushed line by line, so the log tells how far a host got even if it dies.
        std::fflush(LogFile);
    }
}

void IOrvalenD3D::Log(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WriteLog(format, arguments);
    va_end(arguments);
}

void IOrvalenD3D::LogHardFailure(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WriteLog(format, arguments);
    va_end(arguments);
    CloseLog();
}

void IOrvalenD3D::CloseLog() {
    if (LogFile != nullptr) {
        std::fclose(LogFile);
        LogFile = nullptr;
    }
}

void IOrvalenD3D::SetWindowHandle(HWND window) {
    WindowHandle = window;
}

int IOrvalenD3D::Initialize(const char* windowName, std::uint32_t width, std::uint32_t height,
                            std::uint32_t formatFlags, bool stencil, bool windowed, bool log,
                            std::uint32_t multisample) {
    return Start(windowName, width, height, formatFlags, stencil, windowed, log, &multisample);
}

int IOrvalenD3D::Initialize(const char* windowName, std::uint32_t width, std::uint32_t height,
                            std::uint32_t formatFlags, bool stencil, bool windowed, bool log) {
    return Start(windowName, width, height, formatFlags, stencil, windowed, log, nullptr);
}

D3DFORMAT IOrvalenD3D::FullScreenFormat(std::uint32_t formatFlags) {
    const auto has = [formatFlags](std::uint32_t bits) { return (formatFlags & bits) == bits; };
    if (has(128)) {
        return D3DFMT_A8R8G8B8;
    }
    if (has(64)) {
        return D3DFMT_X8R8G8B8;
    }
    if (has(16 | 1)) {
        return D3DFMT_R5G6B5;
    }
    if (has(16 | 2)) {
        return D3DFMT_X1R5G5B5;
    }
    if (has(32 | 2)) {
        return D3DFMT_A1R5G5B5;
    }
    if (has(16)) {
        return D3DFMT_R5G6B5;
    }
    if (has(32)) {
        return D3DFMT_A1R5G5B5;
    }
    return D3DFMT_UNKNOWN;
}

D3DFORMAT IOrvalenD3D::ChooseDepthStencil(D3DFORMAT backBuffer, bool stencil) {
    static constexpr D3DFORMAT kWithStencil[] = {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D15S1};
    static constexpr D3DFORMAT kWithoutStencil[] = {D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D16};
    for (const D3DFORMAT candidate : stencil ? kWithStencil : kWithoutStencil) {
        if (SUCCEEDED(Direct3D->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backBuffer,
                                                       backBuffer, candidate))) {
            return candidate;
        }
    }
    return D3DFMT_UNKNOWN;
}

int IOrvalenD3D::ChooseMultisample(std::uint32_t requested, D3DFORMAT backBuffer, D3DFORMAT depthStencil,
                                   bool windowed) {
    for (int count = static_cast<int>(requested); count >= 0; count -= 2) {
        const auto type = static_cast<D3DMULTISAMPLE_TYPE>(count);
        const BOOL window = windowed ? TRUE : FALSE;
        if (SUCCEEDED(Direct3D->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backBuffer,
                                                           window, type, nullptr)) &&
            SUCCEEDED(Direct3D->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, depthStencil,
                                                           window, type, nullptr))) {
            return count;
        }
    }
    return -1;
}

int IOrvalenD3D::Start(const char* windowName, std::uint32_t width, std::uint32_t height,
                       std::uint32_t formatFlags, bool stencil, bool windowed, bool log,
                       const std::uint32_t* multisample) {
    // A renderer started again lets go of the log, device and Direct3D of its earlier start first.
    CloseLog();
    ReleaseDeviceObjects(false);

    if (log) {
        LogFile = std::fopen(kLogFileName, "w");
        if (LogFile == nullptr) {
            return -1;
        }
    }

    Log("Finding Window...\n");
    WindowHandle = windowName != nullptr ? FindWindowA(windowName, windowName) : nullptr;
    if (WindowHandle == nullptr) {
        LogHardFailure("ERROR: Couldn't Find Window Handle\n");
        return -1;
    }

    Log("Creating D3D9...\n");
    Direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (Direct3D == nullptr) {
        LogHardFailure("ERROR: Couldn't Create Direct3D 9\n");
        return -2;
    }

    Log("Orvalen Initializing...\n");
    UseStencil = stencil;
    PresentParameters = {};
    PresentParameters.Windowed = windowed ? TRUE : FALSE;
    PresentParameters.BackBufferCount = 1;
    PresentParameters.BackBufferWidth = width;
    PresentParameters.BackBufferHeight = height;
    Width = width;
    Height = height;
    Log("Windowed: %s\nWidth: %d, Height: %d\n", windowed ? "True" : "False", static_cast<int>(width),
        static_cast<int>(height));

    D3DFORMAT backBuffer = D3DFMT_UNKNOWN;
    if (windowed) {
        D3DDISPLAYMODE mode{};
        if (FAILED(Direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) {
            LogHardFailure("ERROR: Couldn't Retrieve Adapter Display Mode\n");
            return -1;
        }
        backBuffer = mode.Format;
    } else {
        backBuffer = FullScreenFormat(formatFlags);
        if (backBuffer == D3DFMT_UNKNOWN) {
            LogHardFailure("Format: Unrecognized\nERROR: Mode Not Supported\n");
            return 0;
        }
    }
    PresentParameters.BackBufferFormat = backBuffer;
    Log("Format: %s\n", FormatName(backBuffer));

    if (multisample == nullptr) {
        Log("Multisample: None\n");
    }
    PresentParameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    PresentParameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    PresentParameters.hDeviceWindow = WindowHandle;
    PresentParameters.EnableAutoDepthStencil = TRUE;
    Log("Finding An Optimal DepthStencil Buffer...\n");

    const D3DFORMAT depthStencil = ChooseDepthStencil(backBuffer, stencil);
    if (depthStencil == D3DFMT_UNKNOWN) {
        LogHardFailure("ERROR: A DepthStencil Match Not Found\n");
        return 0;
    }
    PresentParameters.AutoDepthStencilFormat = depthStencil;
    Log("DepthStencil: %s\n", DepthStencilName(depthStencil));

    if (multisample != nullptr) {
        const bool known = *multisample <= 8 && *multisample % 2 == 0;
        const int count = known ? ChooseMultisample(*multisample, backBuffer, depthStencil, windowed) : -1;
        if (count < 0) {
            LogHardFailure(
                "ERROR: Bad Multisample Format %d. Should be one of the following: 0, 2, 4, 6, 8\n",
                static_cast<int>(*multisample));
            return 0;
        }
        PresentParameters.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(count);
        PresentParameters.MultiSampleQuality = 0;
        if (count == 0) {
            Log("Multisample: None\n");
        } else {
            Log("Multisample: %d\n", count);
        }
    }

    DepthStencilFormat = depthStencil;
    PresentParameters.Flags = 0;
    PresentParameters.FullScreen_RefreshRateInHz = 0;
    PresentParameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    Log("Retrieving Video Device Capabilities...\n");
    D3DCAPS9 caps{};
    if (FAILED(Direct3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps))) {
        LogHardFailure("ERROR: Couldn't Get Capabilities\n");
        return -1;
    }

    Log("Creating Device...\n");
    if (FAILED(Direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, WindowHandle,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &PresentParameters, &Device))) {
        Device = nullptr;
        LogHardFailure("ERROR: Couldn't Create Device\n");
        return -1;
    }
    Log("Vertex Processing: Software\n");
    // Until the host makes a viewport, the device draws into the whole back buffer.
    Viewport = {0, 0, PresentParameters.BackBufferWidth, PresentParameters.BackBufferHeight, 0.0f, 1.0f};
    return 1;
}

void IOrvalenD3D::ReleaseDeviceObjects(bool log) {
    if (Device != nullptr) {
        Device->Release();
        Device = nullptr;
        if (log) {
            Log("D3D9 Device Released\n");
        }
    }
    if (Direct3D != nullptr) {
        Direct3D->Release();
        Direct3D = nullptr;
        if (log) {
            Log("D3D9 Released\n");
        }
    }
    for (std::int32_t index = 0; index < kEffectSlots; ++index) {
        ReleaseEffect(index);
    }
}

void IOrvalenD3D::Deinitialize() {
    Log("Deinitializing...\n");
    ReleaseDeviceObjects(true);
    Log("Orvalen Deinitialized.\n");
    CloseLog();
}
