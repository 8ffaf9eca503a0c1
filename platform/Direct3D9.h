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
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MakeFailure(0x88760818u);

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
    D3DFMT_VERTEXDATA = 100,
};

enum D3DDEVTYPE : std::uint32_t {
    D3DDEVTYPE_HAL = 1,
    D3DDEVTYPE_REF = 2,
    D3DDEVTYPE_SW = 3,
};

/// Where a resource lives: the default pool (device memory, lost with the device on a real adapter),
/// the managed pool (kept by the runtime and restored after a reset), or system memory.
enum D3DPOOL : std::uint32_t {
    D3DPOOL_DEFAULT = 0,
    D3DPOOL_MANAGED = 1,
    D3DPOOL_SYSTEMMEM = 2,
    D3DPOOL_SCRATCH = 3,
};

/// Usage flags of a resource.
constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1; ///< the device can draw into it; default pool only
constexpr DWORD D3DUSAGE_WRITEONLY = 0x8;    ///< the application never reads what it locked

/// Lock flags; taken and not needed, since a locked buffer is always the buffer's own memory.
constexpr DWORD D3DLOCK_READONLY = 0x10;
constexpr DWORD D3DLOCK_NOSYSLOCK = 0x800;
constexpr DWORD D3DLOCK_NOOVERWRITE = 0x1000;
constexpr DWORD D3DLOCK_DISCARD = 0x2000;

enum D3DRESOURCETYPE : std::uint32_t {
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_VOLUME = 2,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VERTEXBUFFER = 6,
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

/// Fixed-function render states; a device starts with the documented defaults noted.
enum D3DRENDERSTATETYPE : std::uint32_t {
    D3DRS_ZENABLE = 7,                  ///< D3DZB_TRUE when made with a depth buffer, else D3DZB_FALSE
    D3DRS_FILLMODE = 8,                 ///< D3DFILL_SOLID
    D3DRS_SHADEMODE = 9,                ///< D3DSHADE_GOURAUD
    D3DRS_ZWRITEENABLE = 14,            ///< TRUE
    D3DRS_ALPHATESTENABLE = 15,         ///< FALSE
    D3DRS_SRCBLEND = 19,                ///< D3DBLEND_ONE
    D3DRS_DESTBLEND = 20,               ///< D3DBLEND_ZERO
    D3DRS_CULLMODE = 22,                ///< D3DCULL_CCW
    D3DRS_ZFUNC = 23,                   ///< D3DCMP_LESSEQUAL
    D3DRS_ALPHAREF = 24,                ///< 0
    D3DRS_ALPHAFUNC = 25,               ///< D3DCMP_ALWAYS
    D3DRS_DITHERENABLE = 26,            ///< FALSE
    D3DRS_ALPHABLENDENABLE = 27,        ///< FALSE
    D3DRS_FOGENABLE = 28,               ///< FALSE
    D3DRS_SPECULARENABLE = 29,          ///< FALSE
    D3DRS_FOGCOLOR = 34,                ///< 0 (ARGB)
    D3DRS_FOGTABLEMODE = 35,            ///< D3DFOG_NONE
    D3DRS_FOGSTART = 36,                ///< 0.0f (float bits)
    D3DRS_FOGEND = 37,                  ///< 1.0f (float bits)
    D3DRS_FOGDENSITY = 38,              ///< 1.0f (float bits)
    D3DRS_RANGEFOGENABLE = 48,          ///< FALSE
    D3DRS_STENCILENABLE = 52,           ///< FALSE
    D3DRS_STENCILFAIL = 53,             ///< D3DSTENCILOP_KEEP
    D3DRS_STENCILZFAIL = 54,            ///< D3DSTENCILOP_KEEP
    D3DRS_STENCILPASS = 55,             ///< D3DSTENCILOP_KEEP
    D3DRS_STENCILFUNC = 56,             ///< D3DCMP_ALWAYS
    D3DRS_STENCILREF = 57,              ///< 0
    D3DRS_STENCILMASK = 58,             ///< 0xFFFFFFFF
    D3DRS_STENCILWRITEMASK = 59,        ///< 0xFFFFFFFF
    D3DRS_TEXTUREFACTOR = 60,           ///< 0xFFFFFFFF
    D3DRS_LIGHTING = 137,               ///< TRUE
    D3DRS_AMBIENT = 139,                ///< 0 (ARGB)
    D3DRS_FOGVERTEXMODE = 140,          ///< D3DFOG_NONE
    D3DRS_COLORVERTEX = 141,            ///< TRUE
    D3DRS_NORMALIZENORMALS = 143,       ///< FALSE
    D3DRS_DIFFUSEMATERIALSOURCE = 145,  ///< D3DMCS_COLOR1
    D3DRS_SPECULARMATERIALSOURCE = 146, ///< D3DMCS_COLOR2
    D3DRS_AMBIENTMATERIALSOURCE = 147,  ///< D3DMCS_MATERIAL
    D3DRS_EMISSIVEMATERIALSOURCE = 148, ///< D3DMCS_MATERIAL
    D3DRS_BLENDOP = 171,                ///< D3DBLENDOP_ADD
    D3DRS_ANTIALIASEDLINEENABLE = 176,  ///< FALSE
    D3DRS_TWOSIDEDSTENCILMODE = 185,    ///< FALSE
    D3DRS_CCW_STENCILFAIL = 186,        ///< D3DSTENCILOP_KEEP
    D3DRS_CCW_STENCILZFAIL = 187,       ///< D3DSTENCILOP_KEEP
    D3DRS_CCW_STENCILPASS = 188,        ///< D3DSTENCILOP_KEEP
    D3DRS_CCW_STENCILFUNC = 189,        ///< D3DCMP_ALWAYS
};

enum D3DZBUFFERTYPE : std::uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1, D3DZB_USEW = 2 };
enum D3DFILLMODE : std::uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DSHADEMODE : std::uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2, D3DSHADE_PHONG = 3 };
/// Which winding is culled; the device's front faces are clockwise on the screen.
enum D3DCULL : std::uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };

enum D3DBLEND : std::uint32_t {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
};

enum D3DBLENDOP : std::uint32_t {
    D3DBLENDOP_ADD = 1,
    D3DBLENDOP_SUBTRACT = 2,
    D3DBLENDOP_REVSUBTRACT = 3,
    D3DBLENDOP_MIN = 4,
    D3DBLENDOP_MAX = 5,
};

enum D3DCMPFUNC : std::uint32_t {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};

enum D3DSTENCILOP : std::uint32_t {
    D3DSTENCILOP_KEEP = 1,
    D3DSTENCILOP_ZERO = 2,
    D3DSTENCILOP_REPLACE = 3,
    D3DSTENCILOP_INCRSAT = 4,
    D3DSTENCILOP_DECRSAT = 5,
    D3DSTENCILOP_INVERT = 6,
    D3DSTENCILOP_INCR = 7,
    D3DSTENCILOP_DECR = 8,
};

enum D3DFOGMODE : std::uint32_t { D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3 };

/// Where lighting takes a material colour from: the material, or the vertex's diffuse or specular.
enum D3DMATERIALCOLORSOURCE : std::uint32_t { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };

/// Sampler states; every sampler starts with the defaults noted.
enum D3DSAMPLERSTATETYPE : std::uint32_t {
    D3DSAMP_ADDRESSU = 1,       ///< D3DTADDRESS_WRAP
    D3DSAMP_ADDRESSV = 2,       ///< D3DTADDRESS_WRAP
    D3DSAMP_ADDRESSW = 3,       ///< D3DTADDRESS_WRAP
    D3DSAMP_BORDERCOLOR = 4,    ///< 0
    D3DSAMP_MAGFILTER = 5,      ///< D3DTEXF_POINT
    D3DSAMP_MINFILTER = 6,      ///< D3DTEXF_POINT
    D3DSAMP_MIPFILTER = 7,      ///< D3DTEXF_NONE
    D3DSAMP_MIPMAPLODBIAS = 8,  ///< 0
    D3DSAMP_MAXMIPLEVEL = 9,    ///< 0: the largest level may be used
    D3DSAMP_MAXANISOTROPY = 10, ///< 1
};

enum D3DTEXTUREADDRESS : std::uint32_t {
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
};

enum D3DTEXTUREFILTERTYPE : std::uint32_t {
    D3DTEXF_NONE = 0,
    D3DTEXF_POINT = 1,
    D3DTEXF_LINEAR = 2,
    D3DTEXF_ANISOTROPIC = 3,
};

/// How a draw call reads its vertices.
enum D3DPRIMITIVETYPE : std::uint32_t {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

// Flexible vertex format: the components of a vertex, in this order in memory.
constexpr DWORD D3DFVF_XYZ = 0x002;      ///< position, 3 floats
constexpr DWORD D3DFVF_NORMAL = 0x010;   ///< 3 floats
constexpr DWORD D3DFVF_DIFFUSE = 0x040;  ///< ARGB
constexpr DWORD D3DFVF_SPECULAR = 0x080; ///< ARGB
constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xF00;
constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
constexpr DWORD D3DFVF_TEX1 = 0x100; ///< one pair of texture coordinates, 2 floats each
constexpr DWORD D3DFVF_TEX2 = 0x200;

constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
constexpr DWORD D3DCLEAR_STENCIL = 0x4;

/// A rectangle of a render target in pixels, right and bottom exclusive.
struct D3DRECT {
    LONG x1;
    LONG y1;
    LONG x2;
    LONG y2;
};

/// Colour with float channels, 0..1 for the usual range.
struct D3DCOLORVALUE {
    float r;
    float g;
    float b;
    float a;
};

struct D3DVECTOR {
    float x;
    float y;
    float z;
};

enum D3DLIGHTTYPE : std::uint32_t {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
};

/// A fixed-function light; position and direction in world space, angles in radians.
struct D3DLIGHT9 {
    D3DLIGHTTYPE Type;
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Ambient;
    D3DVECTOR Position;
    D3DVECTOR Direction;
    float Range;
    float Falloff;
    float Attenuation0;
    float Attenuation1;
    float Attenuation2;
    float Theta; ///< inner cone angle
    float Phi;   ///< outer cone angle
};

/// Material colours of the fixed-function lighting; `Power` is the specular exponent.
struct D3DMATERIAL9 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

/// A region of a window; Present accepts only none.
struct RGNDATA;

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

/// What a surface (or one level of a texture) is: its format, kind, usage, pool and size.
struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    UINT Width;
    UINT Height;
};

/// What a vertex buffer is: its size in bytes, usage, pool and the vertex format it was made for.
struct D3DVERTEXBUFFER_DESC {
    D3DFORMAT Format; ///< D3DFMT_VERTEXDATA
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Size;
    DWORD FVF;
};

struct IDirect3DDevice9;

/// Vertices in memory of the device, read by stream draws.
struct IDirect3DVertexBuffer9 : IUnknown {
    /// Hands out the bytes from `offset` on, `size` of them (0: to the end). Refused with
    /// D3DERR_INVALIDCALL for a null `data`, a range past the end, or a buffer already locked.
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    /// Refused with D3DERR_INVALIDCALL when the buffer is not locked.
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* description) = 0;
};

/// A texture of any kind, as the device's texture stages and effects take it.
struct IDirect3DBaseTexture9 : IUnknown {
    /// Number of mip levels, the largest first.
    virtual DWORD GetLevelCount() = 0;
};

/// A surface: one level of a texture, a back buffer or a depth-stencil buffer.
struct IDirect3DSurface9 : IUnknown {
    virtual HRESULT GetDesc(D3DSURFACE_DESC* description) = 0;
};

/// A two-dimensional texture with its mip levels.
struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
    /// D3DERR_INVALIDCALL for a level the texture does not have or a null `description`.
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* description) = 0;
    /// Hands out the level's surface with a reference added; the surface keeps the texture alive.
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
};

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

    /// D3D_OK while the device works; D3DERR_DEVICELOST while it is lost and cannot be reset yet;
    /// D3DERR_DEVICENOTRESET once it can be reset.
    virtual HRESULT TestCooperativeLevel() = 0;
    /// Makes the device anew with `parameters` (completed as at creation): new buffers, every state
    /// back to its default, no lights. Refused with D3DERR_DEVICELOST while the device cannot be reset.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
    /// Shows the back buffer in the device window (or `overrideWindow`), stretched to its size. Only
    /// whole-surface presents are taken: rectangles and regions must be null. D3DERR_DEVICELOST while
    /// the device is lost.
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND overrideWindow,
                            const RGNDATA* dirtyRegion) = 0;
    /// Fills the target, depth and stencil buffers named by `flags` within the viewport (and within
    /// each of the `count` rectangles when given).
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, DWORD colour, float z,
                          DWORD stencil) = 0;
    /// Brackets drawing; a BeginScene inside a scene and an EndScene outside one are refused.
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;

    /// Float states take the bits of the float. An unknown state is refused with D3DERR_INVALIDCALL.
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    /// Samplers 0 to 15.
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    /// Keeps the light of any index; the first eight indices can be lit at once.
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT9* light) = 0;
    /// Enabling an index never set gives it the default light (white, directional along +z).
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL9* material) = 0;
    /// The vertex format of later draws: position (required), then normal, diffuse, specular and up to
    /// eight pairs of texture coordinates. Another component is refused with D3DERR_INVALIDCALL.
    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT GetFVF(DWORD* fvf) = 0;
    /// Draws `primitiveCount` primitives from vertices of the current vertex format that lie `stride`
    /// bytes apart, through the world, view and projection transforms, clipping and the viewport.
    /// Refused outside a scene, without a vertex format, and for a stride shorter than the format's
    /// vertex; drawing nothing is not refused.
    /// Afterwards stream 0 has no buffer.
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                    UINT stride) = 0;
    /// Makes a vertex buffer of `length` bytes. Refused with D3DERR_INVALIDCALL for a length of 0, a
    /// null `buffer` or a non-null `shared` (no resource sharing).
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, void** shared) = 0;
    /// Binds `buffer` (null: none) to stream 0 to 15, its vertices `stride` bytes apart from byte
    /// `offset` on. The device holds no reference: a buffer that goes is unbound.
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                    UINT stride) = 0;
    /// Hands out the stream's buffer with a reference added (null when none), its offset and stride.
    virtual HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                    UINT* stride) = 0;
    /// Draws as DrawPrimitiveUP does, from the vertices of stream 0 starting at `startVertex`. Refused
    /// also without a buffer on stream 0, while it is locked, and when the vertices needed run past its
    /// end.
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    /// Binds a texture of this device to texture stage 0 to 7 (null: none); later draws sample it
    /// with the stage's sampler states and modulate the vertex colour by it. The device holds no
    /// reference: a texture that goes is unbound.
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
    /// Hands out the stage's texture with a reference added; null when none is bound.
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) = 0;
};

/// Makes the Direct3D object; null when `sdkVersion` is not the one these declarations describe or
/// no adapter can be had.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);
