#pragma once
// Control of the platform layer by the demo host and the tests: the windows a host owns, the adapter
// the Direct3D object describes, read-back of what devices drew, and tools to make every failure road
// reachable (faults injected into named operations, a trace of the calls made while recording is on,
// live-object counts).
//
// Operation names are "Direct3DCreate9", "FindWindowA", "Sleep", "D3DXCreateFontA",
// "D3DXCreateEffectFromFileA", "D3DXCreateTexture", "D3DXCreateTextureFromFileExA",
// "D3DXGetImageInfoFromFileA", "D3DXCreateRenderToSurface", "IDirect3D9::<Method>",
// "IDirect3DDevice9::<Method>", "IDirect3DTexture9::<Method>", "IDirect3DSurface9::<Method>",
// "IDirect3DVertexBuffer9::<Method>" (Lock, Unlock),
// "ID3DXFont::<Method>", "ID3DXEffect::<Method>" and "ID3DXRenderToSurface::<Method>". The selector argument
// that a fault can be narrowed to is, by operation:
//   IDirect3D9::CheckDepthStencilMatch      the depth-stencil format
//   IDirect3D9::CheckDeviceMultiSampleType  the multisample type
//   IDirect3DDevice9::SetTransform          the transform state (D3DTS_VIEW, D3DTS_PROJECTION, ...)
//   IDirect3DDevice9::SetViewport           none (X, Y, Width, Height are in the trace)
//   IDirect3DDevice9::DrawPrimitiveUP       the primitive type
//   IDirect3DDevice9::DrawPrimitive         the primitive type (start vertex and count are in the trace)
//   IDirect3DDevice9::CreateVertexBuffer    the length in bytes
//   IDirect3DDevice9::SetStreamSource       the stream
//   IDirect3DVertexBuffer9::Lock            the offset (size and flags are in the trace)
//   IDirect3DVertexBuffer9::Unlock          none
//   IDirect3DDevice9::Present, Reset,       none
//     TestCooperativeLevel, BeginScene,
//     EndScene, SetMaterial
//   FindWindowA                             none
//   ID3DXFont::OnLostDevice, OnResetDevice  none
//   any other operation                     its first argument when it is a number, else none

#include "platform/Direct3D9.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// ---- Windows ----

/// Makes a top-level window whose class name and title are both `name`, with a client area of
/// `width` x `height` pixels, all opaque black. Null for an empty name or size.
HWND CreateHostWindow(const char* name, UINT width, UINT height);
/// Destroys a window made by CreateHostWindow; false when `window` is not one.
bool DestroyHostWindow(HWND window);
/// Whether `window` is a live window.
bool IsHostWindow(HWND window);

/// Pixels of an image as 32-bit ARGB, rows from the top.
struct Image {
    UINT width = 0;
    UINT height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t At(UINT x, UINT y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

/// What the window shows: the last frame presented into it. Empty image for a dead window.
Image ReadWindowPixels(HWND window);
/// The device's back buffer (resolved when multisampled); alpha reads 0xFF for formats without it.
/// Empty image for a null device.
Image ReadBackBuffer(IDirect3DDevice9* device);
/// Depth (0..1) and 8-bit stencil count of every pixel of a depth-stencil buffer, rows from the top;
/// stencil counts read 0 for formats without stencil bits.
struct DepthStencilImage {
    UINT width = 0;
    UINT height = 0;
    std::vector<float> depth;
    std::vector<std::uint8_t> stencil;

    float DepthAt(UINT x, UINT y) const { return depth[static_cast<std::size_t>(y) * width + x]; }
    int StencilAt(UINT x, UINT y) const { return stencil[static_cast<std::size_t>(y) * width + x]; }
};
/// The device's automatic depth-stencil buffer (resolved when multisampled). Empty for a null device
/// or one made without a depth-stencil buffer.
DepthStencilImage ReadDepthStencil(IDirect3DDevice9* device);
/// Writes an image as an 8-bit RGBA PNG file; false when the file cannot be written or the image is empty.
bool SavePng(const Image& image, const char* path);

// ---- Device state as the device holds it ----

std::optional<D3DVIEWPORT9> DeviceViewport(IDirect3DDevice9* device);
std::optional<D3DMATRIX> DeviceTransform(IDirect3DDevice9* device, D3DTRANSFORMSTATETYPE state);
/// The presentation parameters the device was made with (window size and formats filled in).
std::optional<D3DPRESENT_PARAMETERS> DevicePresentParameters(IDirect3DDevice9* device);
/// Number of devices alive.
int LiveDeviceCount();
/// The pixels of one mip level of a texture as ARGB, rows from the top (alpha 0xFF for formats
/// without it). Empty image for a texture of another layer or a level it does not have.
Image ReadTextureLevel(IDirect3DTexture9* texture, UINT level);

/// A device's standing: working; lost (presents fail, reset refused); lost and ready to be reset.
enum class DeviceLoss { Operational, Lost, NotReset };
/// Moves a device to a standing, as the display would (focus lost, mode changed, focus back). A
/// successful Reset makes it operational. False for a dead device.
bool SetDeviceLoss(IDirect3DDevice9* device, DeviceLoss loss);
std::optional<DeviceLoss> DeviceLossOf(IDirect3DDevice9* device);

// ---- Kernel ----

/// While on, Sleep returns at once; its call (operation "Sleep", argument the milliseconds) is in the
/// trace while recording is on. Off in a fresh process and after ResetPlatform.
void RecordSleepsOnly(bool on);

// ---- Adapter ----

/// Multisample types offered for one surface format (no multisampling is always offered).
struct MultisampleOffer {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    std::vector<D3DMULTISAMPLE_TYPE> types;
};

/// What the single adapter offers. Devices draw with whatever the drawing library provides, so
/// offering a format or sample count here makes the device accept it, not necessarily store it exactly.
struct AdapterConfiguration {
    D3DDISPLAYMODE desktopMode{1024, 768, 60, D3DFMT_X8R8G8B8};
    /// Back-buffer formats accepted for full-screen devices.
    std::vector<D3DFORMAT> fullScreenFormats{D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                                             D3DFMT_A1R5G5B5};
    /// Depth-stencil formats CheckDepthStencilMatch accepts (with any render-target format).
    std::vector<D3DFORMAT> depthStencilFormats{D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32};
    /// Per format; a format not listed offers 2 and 4 samples.
    std::vector<MultisampleOffer> multisampleOffers;
    D3DCAPS9 caps{D3DDEVTYPE_HAL, 0, 4096, 4096, 16, 8, 8, 0xFFFFF, 16};
    /// Whether Reset refuses (D3DERR_INVALIDCALL) while default-pool resources of the device live, as
    /// a strict runtime does; off, they survive the reset with their contents.
    bool resetRefusesDefaultPool = false;
};

/// The adapter a fresh process has.
AdapterConfiguration DefaultAdapter();
/// Takes effect for every later call of the Direct3D objects (existing devices keep their buffers).
void ConfigureAdapter(const AdapterConfiguration& configuration);
const AdapterConfiguration& CurrentAdapter();

// ---- Faults ----

/// Makes calls of `operation` fail: counting only calls whose selector equals `argument` (when given),
/// the `nth` such call from now (1: the next one) fails, and with it the `count - 1` that follow
/// (`count` 0: every one from then on). A failing call returns `result` (0: the operation's own
/// failure code; pointer results are null) and has no other effect.
struct Fault {
    std::string operation;
    int nth = 1;
    int count = 1;
    std::optional<std::int64_t> argument;
    HRESULT result = 0;
};
void InjectFault(const Fault& fault);
/// Convenience: the `nth` next call of `operation` fails once.
void FailCall(const char* operation, int nth = 1);
void ClearFaults();

// ---- Call trace ----

/// While on, every traced call is kept in the trace and every draw a device accepts in the drawn
/// primitives, with the vertices it read. Both grow with every frame drawn, so they are for tests: off
/// in a fresh process and after ResetPlatform, nothing is kept (faults are claimed all the same).
/// Switching it off keeps what was recorded until ClearCallTrace.
void RecordCalls(bool on);

/// While on, as in a fresh process and after ResetPlatform, a device hands OpenGL only the states that
/// changed since its draw before and culls some triangles itself first. Off, every draw hands OpenGL
/// the device's whole state and leaves all culling to it: a reference for tests, which must read back
/// the same pixels either way.
void UseCheaperDrawPath(bool on);

/// One call of a traced operation.
struct TracedCall {
    std::string operation;
    std::vector<std::int64_t> arguments;
    HRESULT result = 0;
    bool injected = false; ///< the result came from an injected fault

    /// "IDirect3D9::CheckDepthStencilMatch(0, 1, 22, 22, 75) -> D3D_OK"
    std::string Text() const;
};
std::vector<TracedCall> CallTrace();
/// The trace as text, one call per line.
std::string CallTraceText();
/// Calls of `operation` in the trace.
std::vector<TracedCall> CallsOf(const char* operation);
void ClearCallTrace();

/// One draw call as a device took it: what it drew and the vertices it read, `stride` bytes each.
struct DrawnPrimitives {
    D3DPRIMITIVETYPE type = D3DPT_POINTLIST;
    UINT primitiveCount = 0;
    DWORD fvf = 0;
    UINT stride = 0;
    std::vector<std::uint8_t> vertices;
};
/// The draw calls devices accepted while recording since the trace was last cleared, in order:
/// user-pointer draws and stream draws alike, each with the vertices it read.
std::vector<DrawnPrimitives> DrawnPrimitiveCalls();

// ---- Input ----
//
// The keyboard and the mouse that DirectInput devices read. Operation names: "GetModuleHandleA",
// "DirectInput8Create", "IDirectInput8::CreateDevice" and "IDirectInputDevice8::<Method>"; the selector
// of the device operations is the device type (DI8DEVTYPE_KEYBOARD, DI8DEVTYPE_MOUSE), that of
// DirectInput8Create the version, GetModuleHandleA has none.

/// Presses or releases the key with DirectInput key code `key`.
void SetKey(std::uint8_t key, bool down);
/// Presses or releases mouse button 0 to 3; false for another button.
bool SetMouseButton(int button, bool down);
/// Moves the mouse by (dx, dy) counts; every acquired mouse device reports it at its next read.
void MoveMouse(LONG dx, LONG dy);
/// Turns the wheel by `dz` counts (120 a notch), reported like motion.
void TurnMouseWheel(LONG dz);
/// Whether the host's windows hold the input focus. Taking it away, as another program's window
/// coming to the front does, makes every acquired foreground device lose its acquisition.
void SetInputFocus(bool focused);

// ---- Image decoding ----

/// The largest block the image decoder asked for since the last call (0 when none), in bytes, whether
/// it was given or refused.
std::size_t TakeLargestImageDecoderRequest();

// ---- Objects ----

/// Reference-counted objects alive, by interface name ("IDirect3D9", "IDirect3DDevice9", ...).
int LiveObjects(const char* interfaceName);
/// All reference-counted objects alive.
int LiveObjectTotal();

/// Default adapter, no faults, empty trace, recording off, the cheaper draw path, real sleeps, no key or
/// button down, input focus held. Windows and objects are left alone.
void ResetPlatform();

/// Readable name of a result code ("D3D_OK", "D3DERR_INVALIDCALL", ...), or its hexadecimal value.
std::string ResultName(HRESULT result);

} // namespace platform
