#include "DeviceCallSequence.h"

#include "platform/D3DXFont.h"
#include "platform/D3DXRenderToSurface.h"
#include "platform/D3DXTexture.h"
#include "platform/Direct3D9.h"
#include "platform/VertexFormat.h"
#include "platform/control.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <sstream>

namespace device_sequence {

std::uint32_t SeededChoices::Below(std::uint32_t count) {
    // A 64-bit linear congruential step, its high bits taken: the same numbers on every machine.
    m_state = m_state * 6364136223846793005u + 1442695040888963407u;
    return static_cast<std::uint32_t>((m_state >> 33) % count);
}

namespace {

constexpr DWORD kFormats[] = {
    D3DFVF_XYZ,
    D3DFVF_XYZ | D3DFVF_DIFFUSE,
    D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR,
    D3DFVF_XYZ | D3DFVF_NORMAL,
    D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1,
    D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_SPECULAR | D3DFVF_TEX1,
    D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2,
    D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | (3u << D3DFVF_TEXCOUNT_SHIFT),
};

/// A render state and how many values it takes from `first` on (0: any 32 bits, handled apart).
struct StateRange {
    D3DRENDERSTATETYPE state;
    DWORD first;
    DWORD count;
};

constexpr StateRange kStates[] = {
    {D3DRS_ZENABLE, 0, 2},
    {D3DRS_FILLMODE, D3DFILL_POINT, 3},
    {D3DRS_SHADEMODE, D3DSHADE_FLAT, 2},
    {D3DRS_ZWRITEENABLE, 0, 2},
    {D3DRS_ALPHATESTENABLE, 0, 2},
    {D3DRS_SRCBLEND, D3DBLEND_ZERO, 11},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO, 11},
    {D3DRS_CULLMODE, D3DCULL_NONE, 3},
    {D3DRS_ZFUNC, D3DCMP_NEVER, 8},
    {D3DRS_ALPHAREF, 0, 256},
    {D3DRS_ALPHAFUNC, D3DCMP_NEVER, 8},
    {D3DRS_DITHERENABLE, 0, 2},
    {D3DRS_ALPHABLENDENABLE, 0, 2},
    {D3DRS_FOGENABLE, 0, 2},
    {D3DRS_SPECULARENABLE, 0, 2},
    {D3DRS_FOGCOLOR, 0, 0},
    {D3DRS_FOGTABLEMODE, D3DFOG_NONE, 4},
    {D3DRS_FOGSTART, 0, 0},
    {D3DRS_FOGEND, 0, 0},
    {D3DRS_FOGDENSITY, 0, 0},
    {D3DRS_RANGEFOGENABLE, 0, 2},
    {D3DRS_STENCILENABLE, 0, 2},
    {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP, 8},
    {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP, 8},
    {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP, 8},
    {D3DRS_STENCILFUNC, D3DCMP_NEVER, 8},
    {D3DRS_STENCILREF, 0, 256},
    {D3DRS_STENCILMASK, 0, 0},
    {D3DRS_STENCILWRITEMASK, 0, 0},
    {D3DRS_TEXTUREFACTOR, 0, 0},
    {D3DRS_LIGHTING, 0, 2},
    {D3DRS_AMBIENT, 0, 0},
    {D3DRS_FOGVERTEXMODE, D3DFOG_NONE, 4},
    {D3DRS_COLORVERTEX, 0, 2},
    {D3DRS_NORMALIZENORMALS, 0, 2},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL, 3},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL, 3},
    {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL, 3},
    {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL, 3},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD, 5},
    {D3DRS_ANTIALIASEDLINEENABLE, 0, 2},
    {D3DRS_TWOSIDEDSTENCILMODE, 0, 2},
    {D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP, 8},
    {D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP, 8},
    {D3DRS_CCW_STENCILPASS, D3DSTENCILOP_KEEP, 8},
    {D3DRS_CCW_STENCILFUNC, D3DCMP_NEVER, 8},
};

constexpr D3DMATRIX kIdentity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

/// What positions the projection set last makes visible.
enum class Space { Clip, Pixels, Perspective };

struct VertexBuffer {
    IDirect3DVertexBuffer9* buffer;
    DWORD fvf;
    UINT stride;
    UINT vertices;
};

struct RenderTarget {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* surface = nullptr;
    ID3DXRenderToSurface* renderer = nullptr;
    UINT side = 0;
};

/// One device and what the sequence knows of it, all of it known the same way in both runs.
struct Device {
    HWND window = nullptr;
    IDirect3DDevice9* device = nullptr;
    D3DPRESENT_PARAMETERS parameters{};
    ID3DXFont* font = nullptr;
    RenderTarget target;
    bool inScene = false;
    bool drawingToTarget = false;
    platform::DeviceLoss loss = platform::DeviceLoss::Operational;
    DWORD fvf = 0;
    Space space = Space::Clip;
    std::vector<IDirect3DTexture9*> textures;
    std::vector<VertexBuffer> buffers;

    UINT TargetWidth() const { return drawingToTarget ? target.side : parameters.BackBufferWidth; }
    UINT TargetHeight() const { return drawingToTarget ? target.side : parameters.BackBufferHeight; }
};

UINT VerticesOf(D3DPRIMITIVETYPE type, UINT count) {
    switch (type) {
    case D3DPT_POINTLIST:
        return count;
    case D3DPT_LINELIST:
        return 2 * count;
    case D3DPT_LINESTRIP:
        return count + 1;
    case D3DPT_TRIANGLELIST:
        return 3 * count;
    default:
        return count + 2;
    }
}

class Sequence {
public:
    Sequence(Choices& choices, const std::string& folder) : m_choices(choices), m_folder(folder) {}

    Run Play(int calls) {
        WriteImages();
        m_direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        MakeDevice(m_devices[0], "Sequence Window", 64, 48, D3DFMT_D24S8);
        MakeDevice(m_devices[1], "Second Sequence Window", 40, 30, D3DFMT_D16);
        for (int call = 0; call < calls && !m_choices.Exhausted(); ++call) {
            // The second device acts now and then, between the first one's calls.
            Step(m_devices[Below(8) == 0 ? 1 : 0]);
        }
        // What the last calls left shows too.
        for (Device& device : m_devices) {
            if (device.device != nullptr) {
                ReadBackBuffer(device);
                ReadDepthStencil(device);
            }
            Release(device);
        }
        if (m_direct3D != nullptr) {
            m_direct3D->Release();
        }
        return std::move(m_run);
    }

private:
    std::uint32_t Below(std::uint32_t count) { return m_choices.Below(count); }
    bool Chance(std::uint32_t outOf) { return Below(outOf) == 0; }
    float Uniform(float low, float high) {
        return low + (high - low) * static_cast<float>(Below(1024)) / 1024.0f;
    }
    DWORD Colour() {
        static constexpr DWORD kAlphas[] = {0xFF000000u, 0x80000000u, 0x00000000u, 0x40000000u};
        return kAlphas[Below(4)] | (Below(256) << 16) | (Below(256) << 8) | Below(256);
    }
    D3DCOLORVALUE ColourValue() { return {Uniform(0, 1), Uniform(0, 1), Uniform(0, 1), Uniform(0, 1)}; }

    /// Logs a call and its result, and returns the result.
    HRESULT Log(const Device& device, const std::string& call, HRESULT result) {
        m_run.calls.push_back("device " + std::to_string(&device - m_devices) + ": " + call + " -> " +
                              platform::ResultName(result));
        return result;
    }
    void Read(std::vector<std::uint32_t> values) {
        m_run.readings.push_back({m_run.calls.size() - 1, std::move(values)});
    }

    void WriteImages() {
        platform::Image checker{8, 8, {}};
        platform::Image keyed{4, 4, {}};
        for (UINT i = 0; i < 64; ++i) {
            checker.pixels.push_back(((i % 8 + i / 8) % 2) != 0 ? 0xFFE04010u : 0x8010A0F0u);
        }
        for (UINT i = 0; i < 16; ++i) {
            keyed.pixels.push_back(i % 3 == 0 ? 0xFFFF00FFu : 0xFF20C040u + i);
        }
        m_checker = m_folder + "/checker.png";
        m_keyed = m_folder + "/keyed.png";
        platform::SavePng(checker, m_checker.c_str());
        platform::SavePng(keyed, m_keyed.c_str());
    }

    void MakeDevice(Device& device, const char* name, UINT width, UINT height, D3DFORMAT depth) {
        device.window = platform::CreateHostWindow(name, width, height);
        if (m_direct3D == nullptr) {
            return;
        }
        device.parameters.BackBufferWidth = width;
        device.parameters.BackBufferHeight = height;
        device.parameters.Windowed = TRUE;
        device.parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        device.parameters.hDeviceWindow = device.window;
        device.parameters.EnableAutoDepthStencil = TRUE;
        device.parameters.AutoDepthStencilFormat = depth;
        D3DPRESENT_PARAMETERS parameters = device.parameters;
        Log(device, "CreateDevice",
            m_direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, device.window,
                                     D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device.device));
        if (device.device == nullptr) {
            return;
        }
        Log(device, "D3DXCreateFontA",
            D3DXCreateFontA(device.device, 12, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            ANTIALIASED_QUALITY, 0, "DejaVu Sans", &device.font));
        device.target.side = 16;
        Log(device, "D3DXCreateTexture(render target)",
            D3DXCreateTexture(device.device, 16, 16, 0, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                              D3DPOOL_DEFAULT, &device.target.texture));
        if (device.target.texture != nullptr) {
            device.target.texture->GetSurfaceLevel(0, &device.target.surface);
            device.textures.push_back(device.target.texture);
            device.target.texture->AddRef();
        }
        Log(device, "D3DXCreateRenderToSurface",
            D3DXCreateRenderToSurface(device.device, 16, 16, D3DFMT_A8R8G8B8, TRUE, D3DFMT_D24S8,
                                      &device.target.renderer));
    }

    void Release(Device& device) {
        if (device.drawingToTarget) {
            device.target.renderer->EndScene(D3DX_FILTER_NONE);
        }
        for (IDirect3DTexture9* texture : device.textures) {
            texture->Release();
        }
        for (const VertexBuffer& buffer : device.buffers) {
            buffer.buffer->Release();
        }
        for (IUnknown* object :
             {static_cast<IUnknown*>(device.target.renderer), static_cast<IUnknown*>(device.target.surface),
              static_cast<IUnknown*>(device.target.texture), static_cast<IUnknown*>(device.font),
              static_cast<IUnknown*>(device.device)}) {
            if (object != nullptr) {
                object->Release();
            }
        }
        platform::DestroyHostWindow(device.window);
    }

    void Step(Device& device) {
        if (device.device == nullptr || device.font == nullptr) {
            return;
        }
        // A lost device comes back within a few calls.
        if (device.loss != platform::DeviceLoss::Operational && Chance(6)) {
            return ChangeLoss(device);
        }
        switch (Below(24)) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            // States change in bursts, as between the objects of a frame.
            for (std::uint32_t count = 1 + Below(3); count > 0; --count) {
                SetRenderState(device);
            }
            return;
        case 6:
            return SetSamplerState(device);
        case 7:
            return SetTexture(device);
        case 8:
            return SetTransform(device);
        case 9:
            return Chance(2) ? SetViewport(device) : SetMaterial(device);
        case 10:
            return SetLight(device);
        case 11:
            return SetFormat(device);
        case 12:
        case 13:
        case 14:
        case 15:
            return DrawFromMemory(device);
        case 16:
            return DrawFromBuffer(device);
        case 17:
            return Chance(2) ? MakeTexture(device) : ReleaseTexture(device);
        case 18:
            return Chance(2) ? ToggleScene(device) : ToggleRenderTarget(device);
        case 19:
            return Clear(device);
        case 20:
            return DrawText(device);
        case 21:
            return ReadBack(device);
        default:
            return Chance(8) ? ChangeLoss(device) : Present(device);
        }
    }

    void SetRenderState(Device& device) {
        // Half the changes go to the states whose OpenGL side draws send only when they change.
        static constexpr D3DRENDERSTATETYPE kDrawnStates[] = {
            D3DRS_FILLMODE,       D3DRS_CULLMODE,      D3DRS_STENCILENABLE,       D3DRS_STENCILFUNC,
            D3DRS_STENCILPASS,    D3DRS_STENCILREF,    D3DRS_TWOSIDEDSTENCILMODE, D3DRS_CCW_STENCILPASS,
            D3DRS_FOGENABLE,      D3DRS_FOGVERTEXMODE, D3DRS_FOGTABLEMODE,        D3DRS_FOGCOLOR,
            D3DRS_SPECULARENABLE, D3DRS_LIGHTING};
        const D3DRENDERSTATETYPE drawn = kDrawnStates[Below(std::size(kDrawnStates))];
        const StateRange& range =
            Chance(2) ? *std::find_if(std::begin(kStates), std::end(kStates),
                                      [drawn](const StateRange& known) { return known.state == drawn; })
                      : kStates[Below(std::size(kStates))];
        DWORD value = range.first + (range.count > 0 ? Below(range.count) : 0);
        if (range.count == 0) {
            switch (range.state) {
            case D3DRS_FOGSTART:
            case D3DRS_FOGEND:
                value = std::bit_cast<DWORD>(Uniform(-0.5f, 8.0f));
                break;
            case D3DRS_FOGDENSITY:
                value = std::bit_cast<DWORD>(Uniform(0.0f, 3.0f));
                break;
            case D3DRS_STENCILMASK:
            case D3DRS_STENCILWRITEMASK: {
                static constexpr DWORD kMasks[] = {0xFFFFFFFFu, 0xFFu, 0x0Fu, 0xF0u, 0x01u, 0u};
                value = kMasks[Below(std::size(kMasks))];
                break;
            }
            default:
                value = Colour();
            }
        }
        Log(device, "SetRenderState(" + std::to_string(range.state) + ", " + std::to_string(value) + ")",
            device.device->SetRenderState(range.state, value));
    }

    void SetSamplerState(Device& device) {
        const DWORD stage = Below(4);
        const auto type = static_cast<D3DSAMPLERSTATETYPE>(D3DSAMP_ADDRESSU + Below(10));
        DWORD value = 0;
        switch (type) {
        case D3DSAMP_ADDRESSU:
        case D3DSAMP_ADDRESSV:
        case D3DSAMP_ADDRESSW:
            value = D3DTADDRESS_WRAP + Below(4);
            break;
        case D3DSAMP_BORDERCOLOR:
            value = Colour();
            break;
        case D3DSAMP_MAGFILTER:
        case D3DSAMP_MINFILTER:
            value = D3DTEXF_POINT + Below(3);
            break;
        case D3DSAMP_MIPFILTER:
            value = Below(3);
            break;
        case D3DSAMP_MIPMAPLODBIAS:
            value = std::bit_cast<DWORD>(Uniform(-1.0f, 2.0f));
            break;
        case D3DSAMP_MAXMIPLEVEL:
            value = Below(4);
            break;
        default:
            value = 1 + Below(16);
        }
        Log(device,
            "SetSamplerState(" + std::to_string(stage) + ", " + std::to_string(type) + ", " +
                std::to_string(value) + ")",
            device.device->SetSamplerState(stage, type, value));
    }

    void SetTexture(Device& device) {
        const DWORD stage = Below(4);
        const std::size_t pick = Below(static_cast<std::uint32_t>(device.textures.size() + 1));
        IDirect3DTexture9* texture = pick < device.textures.size() ? device.textures[pick] : nullptr;
        Log(device, "SetTexture(" + std::to_string(stage) + ", texture " + std::to_string(pick) + ")",
            device.device->SetTexture(stage, texture));
    }

    D3DMATRIX Placement() {
        const float angle = Uniform(-3.2f, 3.2f);
        const float scale = Uniform(0.5f, 1.5f);
        const float c = std::cos(angle) * scale;
        const float s = std::sin(angle) * scale;
        switch (Below(4)) {
        case 0:
            return kIdentity;
        case 1:
            return {{{1, 0, 0, 0},
                     {0, 1, 0, 0},
                     {0, 0, 1, 0},
                     {Uniform(-4, 4), Uniform(-4, 4), Uniform(-0.2f, 2), 1}}};
        case 2:
            // About the view axis, around the middle of a pixel target.
            return {{{c, s, 0, 0},
                     {-s, c, 0, 0},
                     {0, 0, 1, 0},
                     {32 - 32 * c + 24 * s, 24 - 32 * s - 24 * c, 0, 1}}};
        default:
            return {{{c, 0, -s, 0}, {0, scale, 0, 0}, {s, 0, c, 0}, {0, 0, Uniform(0, 2), 1}}};
        }
    }

    void SetTransform(Device& device) {
        const std::uint32_t which = Below(5);
        D3DTRANSFORMSTATETYPE state = D3DTS_PROJECTION;
        D3DMATRIX matrix = kIdentity;
        if (which == 0) {
            // Pixels of the target drawn into, the clip cube, or a perspective along +z.
            const std::uint32_t kind = Below(3);
            device.space = static_cast<Space>(kind);
            if (device.space == Space::Pixels) {
                const float w = static_cast<float>(device.TargetWidth());
                const float h = static_cast<float>(device.TargetHeight());
                matrix = {{{2 / w, 0, 0, 0}, {0, -2 / h, 0, 0}, {0, 0, 1, 0}, {-1, 1, 0, 1}}};
            } else if (device.space == Space::Perspective) {
                const float nearPlane = Uniform(0.1f, 1.0f);
                const float q = 20.0f / (20.0f - nearPlane);
                matrix = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, q, 1}, {0, 0, -nearPlane * q, 0}}};
            }
        } else {
            state = which == 1   ? D3DTS_VIEW
                    : which == 2 ? D3DTS_WORLD
                                 : static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + Below(8));
            matrix = Placement();
        }
        Log(device, "SetTransform(" + std::to_string(state) + ")",
            device.device->SetTransform(state, &matrix));
    }

    void SetViewport(Device& device) {
        const UINT width = device.TargetWidth();
        const UINT height = device.TargetHeight();
        D3DVIEWPORT9 viewport{0, 0, width, height, 0.0f, 1.0f};
        if (Chance(2)) {
            viewport.X = Below(width);
            viewport.Y = Below(height);
            viewport.Width = 1 + Below(width - viewport.X);
            viewport.Height = 1 + Below(height - viewport.Y);
            viewport.MinZ = Uniform(0.0f, 0.5f);
            viewport.MaxZ = Uniform(0.5f, 1.0f);
        }
        Log(device,
            "SetViewport(" + std::to_string(viewport.X) + ", " + std::to_string(viewport.Y) + ", " +
                std::to_string(viewport.Width) + ", " + std::to_string(viewport.Height) + ")",
            device.device->SetViewport(&viewport));
    }

    void SetMaterial(Device& device) {
        const D3DMATERIAL9 material{ColourValue(), ColourValue(), ColourValue(), ColourValue(),
                                    Uniform(0, 40)};
        Log(device, "SetMaterial", device.device->SetMaterial(&material));
    }

    void SetLight(Device& device) {
        const DWORD index = Below(10);
        if (Chance(3)) {
            const BOOL on = Below(3) != 0 ? TRUE : FALSE;
            Log(device, "LightEnable(" + std::to_string(index) + ", " + std::to_string(on) + ")",
                device.device->LightEnable(index, on));
            return;
        }
        D3DLIGHT9 light{};
        light.Type = static_cast<D3DLIGHTTYPE>(D3DLIGHT_POINT + Below(3));
        light.Diffuse = ColourValue();
        light.Specular = ColourValue();
        light.Ambient = ColourValue();
        const bool pixels = device.space == Space::Pixels;
        light.Position = {Uniform(-2, 2) * (pixels ? 20.0f : 1.0f), Uniform(-2, 2) * (pixels ? 20.0f : 1.0f),
                          Uniform(-2, 3)};
        light.Direction = {Uniform(-1, 1), Uniform(-1, 1), Uniform(0.1f, 1)};
        light.Range = Uniform(0.5f, 100.0f);
        light.Falloff = Uniform(0, 2);
        light.Attenuation0 = Uniform(0.2f, 1);
        light.Attenuation1 = Uniform(0, 0.2f);
        light.Attenuation2 = Uniform(0, 0.05f);
        light.Phi = Uniform(0.2f, 2.5f);
        light.Theta = light.Phi * Uniform(0, 1);
        Log(device, "SetLight(" + std::to_string(index) + ", type " + std::to_string(light.Type) + ")",
            device.device->SetLight(index, &light));
    }

    void SetFormat(Device& device, DWORD fvf) {
        if (SUCCEEDED(Log(device, "SetFVF(" + std::to_string(fvf) + ")", device.device->SetFVF(fvf)))) {
            device.fvf = fvf;
        }
    }
    void SetFormat(Device& device) { SetFormat(device, kFormats[Below(std::size(kFormats))]); }

    void Position(const Device& device, float* xyz) {
        switch (device.space) {
        case Space::Pixels:
            xyz[0] = Uniform(-8.0f, static_cast<float>(device.TargetWidth()) + 8.0f);
            xyz[1] = Uniform(-8.0f, static_cast<float>(device.TargetHeight()) + 8.0f);
            xyz[2] = Uniform(-0.1f, 1.1f);
            break;
        case Space::Perspective:
            xyz[0] = Uniform(-3, 3);
            xyz[1] = Uniform(-3, 3);
            xyz[2] = Uniform(-0.5f, 6.0f);
            break;
        default:
            xyz[0] = Uniform(-1.3f, 1.3f);
            xyz[1] = Uniform(-1.3f, 1.3f);
            xyz[2] = Uniform(-0.1f, 1.1f);
        }
    }

    /// `count` vertices of `fvf`, `stride` bytes apart, near one another so that triangles are seen.
    std::vector<std::uint8_t> Vertices(const Device& device, DWORD fvf, UINT stride, UINT count) {
        std::vector<std::uint8_t> bytes(std::size_t(stride) * count);
        float centre[3];
        Position(device, centre);
        const float reach = device.space == Space::Pixels ? 24.0f : 1.0f;
        const VertexFormat format = *VertexFormat::Of(fvf);
        for (UINT v = 0; v < count; ++v) {
            std::uint8_t* vertex = bytes.data() + std::size_t(v) * stride;
            float position[3];
            Position(device, position);
            if (!Chance(4)) {
                for (int axis = 0; axis < 2; ++axis) {
                    position[axis] = centre[axis] + Uniform(-reach, reach);
                }
            }
            std::memcpy(vertex, position, sizeof position);
            if (format.normal) {
                const float normal[3] = {Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 0.2f)};
                std::memcpy(vertex + *format.normal, normal, sizeof normal);
            }
            for (const std::optional<DWORD>& colour : {format.diffuse, format.specular}) {
                if (colour) {
                    const DWORD value = Colour();
                    std::memcpy(vertex + *colour, &value, sizeof value);
                }
            }
            for (UINT set = 0; set < format.textureSets; ++set) {
                // Within 0..1 mostly, so that wrapping matters only now and then.
                const float reachOut = Chance(3) ? 2.0f : 1.0f;
                const float uv[2] = {Uniform(0, reachOut), Uniform(0, reachOut)};
                std::memcpy(vertex + format.textureOffset + set * sizeof uv, uv, sizeof uv);
            }
        }
        return bytes;
    }

    D3DPRIMITIVETYPE PrimitiveType() { return static_cast<D3DPRIMITIVETYPE>(D3DPT_POINTLIST + Below(6)); }

    /// Most draws find the device inside a scene and with a vertex format.
    void PrepareDraw(Device& device) {
        if (!device.inScene && !Chance(4)) {
            ToggleScene(device);
        }
        if (device.fvf == 0) {
            SetFormat(device);
        }
    }

    void DrawFromMemory(Device& device) {
        PrepareDraw(device);
        const D3DPRIMITIVETYPE type = PrimitiveType();
        const UINT count = 1 + Below(type == D3DPT_POINTLIST ? 12 : 6);
        const UINT stride = VertexFormat::Of(device.fvf)->size + 4 * Below(3);
        const std::vector<std::uint8_t> vertices =
            Vertices(device, device.fvf, stride, VerticesOf(type, count));
        Log(device, "DrawPrimitiveUP(" + std::to_string(type) + ", " + std::to_string(count) + ")",
            device.device->DrawPrimitiveUP(type, count, vertices.data(), stride));
    }

    void DrawFromBuffer(Device& device) {
        PrepareDraw(device);
        // A buffer of the draw's format when there is one, else a new one of any pool.
        auto found = std::find_if(device.buffers.begin(), device.buffers.end(),
                                  [&](const VertexBuffer& buffer) { return buffer.fvf == device.fvf; });
        if (found == device.buffers.end() || Chance(4)) {
            VertexBuffer made{nullptr, device.fvf, VertexFormat::Of(device.fvf)->size + 4 * Below(2),
                              12 + Below(12)};
            const auto pool = static_cast<D3DPOOL>(D3DPOOL_DEFAULT + Below(3));
            if (FAILED(Log(device, "CreateVertexBuffer(pool " + std::to_string(pool) + ")",
                           device.device->CreateVertexBuffer(made.stride * made.vertices, D3DUSAGE_WRITEONLY,
                                                             made.fvf, pool, &made.buffer, nullptr)))) {
                return;
            }
            const std::vector<std::uint8_t> vertices = Vertices(device, made.fvf, made.stride, made.vertices);
            void* data = nullptr;
            if (SUCCEEDED(made.buffer->Lock(0, 0, &data, 0))) {
                std::memcpy(data, vertices.data(), vertices.size());
                made.buffer->Unlock();
            }
            device.buffers.push_back(made);
            found = device.buffers.end() - 1;
        }
        const VertexBuffer buffer = *found;
        Log(device, "SetStreamSource", device.device->SetStreamSource(0, buffer.buffer, 0, buffer.stride));
        const D3DPRIMITIVETYPE type = PrimitiveType();
        const UINT first = Below(4);
        const UINT room = buffer.vertices - first;
        UINT count = 1;
        while (VerticesOf(type, count + 1) <= room && !Chance(4)) {
            ++count;
        }
        Log(device,
            "DrawPrimitive(" + std::to_string(type) + ", " + std::to_string(first) + ", " +
                std::to_string(count) + ")",
            device.device->DrawPrimitive(type, first, count));
        if (Chance(3)) {
            // Released while bound to the stream.
            buffer.buffer->Release();
            device.buffers.erase(found);
            Log(device, "Release(vertex buffer)", D3D_OK);
        }
    }

    void MakeTexture(Device& device) {
        if (device.textures.size() >= 8) {
            return;
        }
        IDirect3DTexture9* texture = nullptr;
        const auto pool = Chance(2) ? D3DPOOL_MANAGED : D3DPOOL_DEFAULT;
        HRESULT result = D3D_OK;
        switch (Below(3)) {
        case 0:
            result = Log(device, "D3DXCreateTextureFromFileExA(checker)",
                         D3DXCreateTextureFromFileExA(device.device, m_checker.c_str(), D3DX_DEFAULT,
                                                      D3DX_DEFAULT, Chance(2) ? 1 : D3DX_DEFAULT, 0,
                                                      D3DFMT_UNKNOWN, pool, D3DX_FILTER_POINT,
                                                      D3DX_FILTER_BOX, 0, nullptr, nullptr, &texture));
            break;
        case 1:
            result = Log(device, "D3DXCreateTextureFromFileExA(keyed)",
                         D3DXCreateTextureFromFileExA(
                             device.device, m_keyed.c_str(), 8, 8, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, pool,
                             D3DX_FILTER_LINEAR, D3DX_FILTER_BOX, 0xFFFF00FFu, nullptr, nullptr, &texture));
            break;
        default:
            result = Log(device, "D3DXCreateTexture",
                         D3DXCreateTexture(device.device, 4, 2, 0, 0, D3DFMT_A8R8G8B8, pool, &texture));
        }
        if (SUCCEEDED(result)) {
            device.textures.push_back(texture);
        }
    }

    void ReleaseTexture(Device& device) {
        // The render target's texture stays for the target's surface; any other may go while bound.
        if (device.textures.size() < 2) {
            return;
        }
        const std::size_t pick = 1 + Below(static_cast<std::uint32_t>(device.textures.size() - 1));
        device.textures[pick]->Release();
        device.textures.erase(device.textures.begin() + static_cast<std::ptrdiff_t>(pick));
        Log(device, "Release(texture " + std::to_string(pick) + ")", D3D_OK);
    }

    void ToggleScene(Device& device) {
        if (device.drawingToTarget) {
            return;
        }
        if (device.inScene) {
            if (SUCCEEDED(Log(device, "EndScene", device.device->EndScene()))) {
                device.inScene = false;
            }
        } else if (SUCCEEDED(Log(device, "BeginScene", device.device->BeginScene()))) {
            device.inScene = true;
        }
    }

    void ToggleRenderTarget(Device& device) {
        RenderTarget& target = device.target;
        if (target.renderer == nullptr || target.surface == nullptr) {
            return;
        }
        if (device.drawingToTarget) {
            const DWORD filter = Chance(2) ? D3DX_FILTER_NONE : D3DX_FILTER_BOX;
            Log(device, "ID3DXRenderToSurface::EndScene(" + std::to_string(filter) + ")",
                target.renderer->EndScene(filter));
            device.drawingToTarget = false;
            device.inScene = false;
            for (UINT level = 0; level < 2; ++level) {
                Log(device, "ReadTextureLevel(" + std::to_string(level) + ")", D3D_OK);
                Read(platform::ReadTextureLevel(target.texture, level).pixels);
            }
            return;
        }
        // The device's own scene ends first: a target is drawn into between scenes.
        if (device.inScene) {
            ToggleScene(device);
        }
        const D3DVIEWPORT9 part{2, 3, 10, 9, 0.0f, 1.0f};
        if (SUCCEEDED(Log(device, "ID3DXRenderToSurface::BeginScene",
                          target.renderer->BeginScene(target.surface, Chance(2) ? &part : nullptr)))) {
            device.drawingToTarget = true;
            device.inScene = true;
        }
    }

    void Clear(Device& device) {
        std::vector<D3DRECT> rects(Below(4));
        for (D3DRECT& rect : rects) {
            rect.x1 = static_cast<LONG>(Below(device.TargetWidth() + 8)) - 4;
            rect.y1 = static_cast<LONG>(Below(device.TargetHeight() + 8)) - 4;
            rect.x2 = rect.x1 + static_cast<LONG>(Below(40));
            rect.y2 = rect.y1 + static_cast<LONG>(Below(40));
        }
        const DWORD flags = 1 + Below(7);
        Log(device, "Clear(" + std::to_string(rects.size()) + " rects, flags " + std::to_string(flags) + ")",
            device.device->Clear(static_cast<DWORD>(rects.size()), rects.empty() ? nullptr : rects.data(),
                                 flags, Colour(), Uniform(0, 1), Below(256)));
    }

    void DrawText(Device& device) {
        static constexpr const char* kTexts[] = {"Ag", "Hello", "x\ny", "W W W W W", "."};
        static constexpr DWORD kTextFormats[] = {0, DT_NOCLIP, DT_WORDBREAK, DT_WORDBREAK | DT_NOCLIP};
        RECT rect{static_cast<LONG>(Below(40)) - 8, static_cast<LONG>(Below(30)) - 8, 0, 0};
        rect.right = rect.left + static_cast<LONG>(Below(48));
        rect.bottom = rect.top + static_cast<LONG>(Below(32));
        const int height = device.font->DrawTextA(nullptr, kTexts[Below(std::size(kTexts))], -1, &rect,
                                                  kTextFormats[Below(std::size(kTextFormats))], Colour());
        Log(device, "DrawTextA -> height " + std::to_string(height), D3D_OK);
    }

    void ReadBackBuffer(Device& device) {
        Log(device, "ReadBackBuffer", D3D_OK);
        Read(platform::ReadBackBuffer(device.device).pixels);
    }

    void ReadDepthStencil(Device& device) {
        const platform::DepthStencilImage image = platform::ReadDepthStencil(device.device);
        std::vector<std::uint32_t> values(image.stencil.begin(), image.stencil.end());
        for (const float depth : image.depth) {
            values.push_back(std::bit_cast<std::uint32_t>(depth));
        }
        Log(device, "ReadDepthStencil", D3D_OK);
        Read(std::move(values));
    }

    void ReadBack(Device& device) {
        switch (Below(5)) {
        case 0:
        case 1:
            return ReadBackBuffer(device);
        case 2:
        case 3:
            return ReadDepthStencil(device);
        default:
            if (device.textures.size() > 1) {
                Log(device, "ReadTextureLevel(texture 1)", D3D_OK);
                Read(platform::ReadTextureLevel(device.textures[1], 0).pixels);
            }
        }
    }

    void Present(Device& device) {
        if (SUCCEEDED(Log(device, "Present", device.device->Present(nullptr, nullptr, nullptr, nullptr)))) {
            Read(platform::ReadWindowPixels(device.window).pixels);
        }
    }

    /// Lost, then ready to be reset, then reset (its scene ended first), as the display takes it away and
    /// gives it back.
    void ChangeLoss(Device& device) {
        if (device.loss == platform::DeviceLoss::Operational) {
            device.loss = platform::DeviceLoss::Lost;
            platform::SetDeviceLoss(device.device, device.loss);
            Log(device, "lost", device.device->TestCooperativeLevel());
            return;
        }
        if (device.loss == platform::DeviceLoss::Lost) {
            device.loss = platform::DeviceLoss::NotReset;
            platform::SetDeviceLoss(device.device, device.loss);
            Log(device, "ready to reset", device.device->TestCooperativeLevel());
            return;
        }
        if (device.drawingToTarget) {
            ToggleRenderTarget(device);
        }
        if (device.inScene) {
            ToggleScene(device);
        }
        Log(device, "ID3DXFont::OnLostDevice", device.font->OnLostDevice());
        D3DPRESENT_PARAMETERS parameters = device.parameters;
        if (SUCCEEDED(Log(device, "Reset", device.device->Reset(&parameters)))) {
            device.loss = platform::DeviceLoss::Operational;
            device.fvf = 0;
            device.space = Space::Clip;
        }
        Log(device, "ID3DXFont::OnResetDevice", device.font->OnResetDevice());
    }

    Choices& m_choices;
    std::string m_folder;
    std::string m_checker;
    std::string m_keyed;
    IDirect3D9* m_direct3D = nullptr;
    Device m_devices[2];
    Run m_run;
};

} // namespace

Run RunSequence(Choices& choices, int calls, const std::string& folder) {
    return Sequence(choices, folder).Play(calls);
}

std::string FirstDifference(const Run& cheaper, const Run& reference) {
    std::ostringstream text;
    const auto callsUpTo = [&](std::size_t last) {
        const std::size_t first = last >= 40 ? last - 40 : 0;
        text << "\nthe calls up to it:\n";
        for (std::size_t i = first; i <= last && i < cheaper.calls.size(); ++i) {
            text << "  " << i << ": " << cheaper.calls[i] << "\n";
        }
    };
    const std::size_t calls = std::min(cheaper.calls.size(), reference.calls.size());
    for (std::size_t i = 0; i < calls; ++i) {
        if (cheaper.calls[i] != reference.calls[i]) {
            text << "call " << i << " answers \"" << cheaper.calls[i] << "\" with the cheaper path and \""
                 << reference.calls[i] << "\" without it";
            callsUpTo(i);
            return text.str();
        }
    }
    if (cheaper.calls.size() != reference.calls.size() ||
        cheaper.readings.size() != reference.readings.size()) {
        return "the runs made different numbers of calls or read-backs";
    }
    for (std::size_t r = 0; r < cheaper.readings.size(); ++r) {
        const std::vector<std::uint32_t>& a = cheaper.readings[r].values;
        const std::vector<std::uint32_t>& b = reference.readings[r].values;
        if (a == b) {
            continue;
        }
        std::size_t differing = 0;
        std::size_t first = a.size();
        for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
            if (a[i] != b[i]) {
                first = std::min(first, i);
                ++differing;
            }
        }
        text << "read-back " << r << " (call " << cheaper.readings[r].call << ") differs in " << differing
             << " of " << a.size() << " values; the first, at " << first << ": " << std::hex
             << (first < a.size() ? a[first] : 0) << " with the cheaper path, "
             << (first < b.size() ? b[first] : 0) << " without" << std::dec;
        callsUpTo(cheaper.readings[r].call);
        return text.str();
    }
    return {};
}

} // namespace device_sequence
