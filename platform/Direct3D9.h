#pragma once
// The Direct3D 9 objects, enumerations and records that the renderer uses: the Direct3D object that
// describes the adapter and makes devices, and the device that draws. Devices keep the Direct3D
// conventions: row-vector matrices, left-handed transforms, depth 0..1, top-left origin.

#include "platform/Win32Types.h"

constexpr UINT D3D_SDK_VERSION = 32;
constexpr UINT D3DADAPTER_DEFAULT = 0;

constexpr HRESULT D3D_OK = S_OK;
constexpr HRESULT D3DERR_NOTFOUND = MakeFailure(0x88760866u);
constexpr HRESULT D3DERR_DEVICELOST = MakeFailure(0x88760868u);
constexpr HRESULT D3DERR_DEVICENOTRESET = MakeFailure(0x88760869u);
constexpr HRESULT D3DERR_NOTAVAILABLE = MakeFailure(0x8876086Au);
constexpr HRESULT D3DERR_INVALIDCALL = MakeFailure(0x8876086Cu);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeFailure(0x8876017Cu);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = MakeFailure(0x88760827u);

/// Pixel formats of surfaces, back buffers and depth-stencil buffers.
enum D3DFORMAT : std::uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_D32 = 71,
    D3DFMT_D15S1 = 73,
    D3DFMT_D24S8 = 75,
    D3DFMT_D24X8 = 77,
    D3DFMT_D24X4S4 = 79,
    D3DFMT_D16 = 80,
};

enum D3DDEVTYPE : std::uint32_t {
    D3DDEVTYPE_HAL = 1,
    D3DDEVTYPE_REF = 2,
    D3DDEVTYPE_SW = 3,
};

/// Samples per pixel of a multisampled surface; 0 is none.
enum D3DMULTISAMPLE_TYPE : std::uint32_t {
    D3DMULTISAMPLE_NONE = 0,
    D3DMULTISAMPLE_NONMASKABLE = 1,
    D3DMULTISAMPLE_2_SAMPLES = 2,
    D3DMULTISAMPLE_3_SAMPLES = 3,
    D3DMULTISAMPLE_4_SAMPLES = 4,
    D3DMULTISAMPLE_5_SAMPLES = 5,
    D3DMULTISAMPLE_6_SAMPLES = 6,
    D3DMULTISAMPLE_7_SAMPLES = 7,
    D3DMULTISAMPLE_8_SAMPLES = 8,
    D3DMULTISAMPLE_16_SAMPLES = 16,
};

enum D3DSWAPEFFECT : std::uint32_t {
    D3DSWAPEFFECT_DISCARD = 1,
    D3DSWAPEFFECT_FLIP = 2,
    D3DSWAPEFFECT_COPY = 3,
};

/// Transform slots of the fixed-function pipeline.
enum D3DTRANSFORMSTATETYPE : std::uint32_t {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_TEXTURE0 = 16,
    D3DTS_TEXTURE7 = 23,
    D3DTS_WORLD = 256,
};

constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
constexpr DWORD D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;

constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0;

struct D3DDISPLAYMODE {
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

/// How a device presents: back-buffer size and format, multisampling, the window, the depth buffer.
/// A windowed device with a zero width or height takes the window's size, written back here.
struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT PresentationInterval;
};

/// Capabilities of an adapter's device type.
struct D3DCAPS9 {
    D3DDEVTYPE DeviceType;
    UINT AdapterOrdinal;
    DWORD MaxTextureWidth;
    DWORD MaxTextureHeight;
    DWORD MaxAnisotropy;
    DWORD MaxSimultaneousTextures;
    DWORD MaxActiveLights;
    DWORD MaxPrimitiveCount;
    DWORD MaxStreams;
};

/// Pixel rectangle of the render target that drawing maps to, and its depth range (0..1).
struct D3DVIEWPORT9 {
    DWORD X;
    DWORD Y;
    DWORD Width;
    DWORD Height;
    float MinZ;
    float MaxZ;
};

/// Row-major 4x4 matrix; points are row vectors multiplied on the left.
struct D3DMATRIX {
    float m[4][4];
};

struct IDirect3DDevice9;

/// The Direct3D object: describes the single adapter and makes devices on it.
struct IDirect3D9 : IUnknown {
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    /// Whether a depth-stencil format can be used with a render-target format on the adapter.
    virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
    /// Whether surfaces of a format can be multisampled so; `qualityLevels` (optional) receives the
    /// number of quality levels.
    virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT surfaceFormat,
                                               BOOL windowed, D3DMULTISAMPLE_TYPE multiSampleType,
                                               DWORD* qualityLevels) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) = 0;
    /// Makes a device drawing into `parameters->hDeviceWindow` (or `focusWindow` when that is null).
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) = 0;
};

/// A device: its back buffer and depth-stencil buffer, and the fixed-function state it draws with.
struct IDirect3DDevice9 : IUnknown {
    /// Fails with D3DERR_INVALIDCALL for an empty rectangle, one that leaves the render target, or a
    /// depth range outside 0..1.
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
};

/// Makes the Direct3D object; null when `sdkVersion` is not the one these declarations describe or
/// no adapter can be had.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);
