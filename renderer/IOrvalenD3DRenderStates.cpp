// Render states, fog and texture filters: each setter keeps the host's choice first, so the getters
// answer without the device and a device reset can give every choice back.
#include "renderer/IOrvalenD3D.h"

#include <bit>

namespace {

/// Source factor, destination factor and blend operation (0: left as it is) of a blend mode.
struct BlendMode {
    D3DBLENDOP operation;
    D3DBLEND source;
    D3DBLEND destination;
};

BlendMode BlendModeOf(std::int32_t mode) {
    constexpr auto kKeep = static_cast<D3DBLENDOP>(0);
    switch (mode) {
    case 0:
        return {kKeep, D3DBLEND_SRCALPHA, D3DBLEND_ONE};
    case 1:
        return {kKeep, D3DBLEND_ONE, D3DBLEND_ONE};
    case 2:
        return {kKeep, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR};
    case 3:
        return {kKeep, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR};
    case 4:
        return {kKeep, D3DBLEND_ONE, D3DBLEND_SRCCOLOR};
    case 5:
        return {kKeep, D3DBLEND_SRCCOLOR, D3DBLEND_DESTCOLOR};
    case 6:
        return {D3DBLENDOP_MIN, D3DBLEND_SRCCOLOR, D3DBLEND_DESTCOLOR};
    case 7:
        return {D3DBLENDOP_MAX, D3DBLEND_SRCCOLOR, D3DBLEND_DESTCOLOR};
    default:
        return {kKeep, D3DBLEND_SRCALPHA, D3DBLEND_DESTCOLOR};
    }
}

} // namespace

HRESULT IOrvalenD3D::SetDeviceState(D3DRENDERSTATETYPE state, DWORD value) {
    return Device != nullptr ? Device->SetRenderState(state, value) : D3DERR_INVALIDCALL;
}

HRESULT IOrvalenD3D::SetSampler0(D3DSAMPLERSTATETYPE type, DWORD value) {
    return Device != nullptr ? Device->SetSamplerState(0, type, value) : D3DERR_INVALIDCALL;
}

void IOrvalenD3D::SetZBuffer(bool on) {
    ZBufferEnabled = on;
    SetDeviceState(D3DRS_ZENABLE, on ? D3DZB_TRUE : D3DZB_FALSE);
}

bool IOrvalenD3D::GetZBuffer() {
    return ZBufferEnabled;
}

void IOrvalenD3D::SetCullMode(std::int32_t mode) {
    CullMode = mode;
    SetDeviceState(D3DRS_CULLMODE, mode == 0 ? D3DCULL_NONE : mode == 1 ? D3DCULL_CW : D3DCULL_CCW);
}

std::int32_t IOrvalenD3D::GetCullMode() {
    return CullMode;
}

void IOrvalenD3D::SetShadeMode(std::int32_t mode) {
    ShadeMode = mode;
    if (mode >= 0 && mode <= 2) {
        constexpr D3DSHADEMODE kModes[] = {D3DSHADE_FLAT, D3DSHADE_GOURAUD, D3DSHADE_PHONG};
        SetDeviceState(D3DRS_SHADEMODE, kModes[mode]);
    }
}

std::int32_t IOrvalenD3D::GetShadeMode() {
    // While an effect draws, its shaders decide the shading.
    return CurrentEffect >= 0 ? 9 : ShadeMode;
}

void IOrvalenD3D::SetWireframe(bool on) {
    Wireframe = on;
    PointModeSetLast = false;
    SetDeviceState(D3DRS_FILLMODE, on ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
}

bool IOrvalenD3D::GetWireframe() {
    return Wireframe;
}

void IOrvalenD3D::SetPointMode(bool on) {
    PointMode = on;
    PointModeSetLast = true;
    SetDeviceState(D3DRS_FILLMODE, on ? D3DFILL_POINT : D3DFILL_SOLID);
}

bool IOrvalenD3D::GetPointMode() {
    return PointMode;
}

void IOrvalenD3D::SetAntialiasedLines(bool on) {
    AntialiasedLines = on;
    SetDeviceState(D3DRS_ANTIALIASEDLINEENABLE, on ? TRUE : FALSE);
}

bool IOrvalenD3D::GetAntialiasedLines() {
    return AntialiasedLines;
}

void IOrvalenD3D::SetAlphaBlend(bool on, std::int32_t mode) {
    AlphaBlend = on;
    AlphaBlendWithMode = true;
    AlphaBlendMode = mode;
    if (!on) {
        BlendOperation = D3DBLENDOP_ADD;
        ZWriteEnabled = true;
        SetDeviceState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        SetDeviceState(D3DRS_ALPHABLENDENABLE, FALSE);
        SetDeviceState(D3DRS_ZWRITEENABLE, TRUE);
        return;
    }
    // Blended surfaces don't hide what is drawn behind them later.
    ZWriteEnabled = false;
    SetDeviceState(D3DRS_ZWRITEENABLE, FALSE);
    SetDeviceState(D3DRS_ALPHABLENDENABLE, TRUE);
    const BlendMode blend = BlendModeOf(mode);
    if (blend.operation != 0) {
        BlendOperation = blend.operation;
        SetDeviceState(D3DRS_BLENDOP, blend.operation);
    }
    SetDeviceState(D3DRS_SRCBLEND, blend.source);
    SetDeviceState(D3DRS_DESTBLEND, blend.destination);
}

void IOrvalenD3D::SetAlphaBlend(bool on) {
    AlphaBlend = on;
    AlphaBlendWithMode = false;
    if (on) {
        SetDeviceState(D3DRS_ALPHABLENDENABLE, TRUE);
        SetDeviceState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        SetDeviceState(D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR);
    } else {
        ZWriteEnabled = true;
        SetDeviceState(D3DRS_ALPHABLENDENABLE, FALSE);
        SetDeviceState(D3DRS_ZWRITEENABLE, TRUE);
    }
}

bool IOrvalenD3D::GetAlphaBlend() {
    return AlphaBlend;
}

void IOrvalenD3D::SetAlphaTest(bool on) {
    AlphaTest = on;
    SetDeviceState(D3DRS_ALPHAREF, 1);
    SetDeviceState(D3DRS_ALPHATESTENABLE, on ? TRUE : FALSE);
    SetDeviceState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
}

bool IOrvalenD3D::GetAlphaTest() {
    return AlphaTest;
}

bool IOrvalenD3D::SetFog(bool enable, std::int32_t mode, float start, float end, float density,
                         std::uint32_t colour) {
    FogEnabled = enable;
    if (!enable) {
        if (FAILED(SetDeviceState(D3DRS_FOGENABLE, FALSE))) {
            Log("ERROR: SetFog Failed At FogEnable\n");
            return false;
        }
        return true;
    }
    FogMode = mode;
    FogStart = start;
    FogEnd = end;
    FogDensity = density;
    FogColour = colour;
    return EnableFog();
}

bool IOrvalenD3D::EnableFog() {
    struct Step {
        D3DRENDERSTATETYPE state;
        DWORD value;
        const char* failure;
    };
    const Step common[] = {
        {D3DRS_FOGENABLE, TRUE, "ERROR: SetFog Failed At FogEnable\n"},
        {D3DRS_FOGCOLOR, FogColour, "ERROR: SetFog Failed At FogColor\n"},
        {D3DRS_RANGEFOGENABLE, TRUE, "ERROR: SetFog Failed At RangeFogEnable\n"},
        {D3DRS_FOGTABLEMODE, D3DFOG_NONE, "ERROR: SetFog Failed At FogTable\n"},
    };
    const Step linear[] = {
        {D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR, "ERROR: SetFog Failed At FogVertexMode\n"},
        {D3DRS_FOGSTART, std::bit_cast<DWORD>(FogStart), "ERROR: SetFog Failed At FogStart\n"},
        {D3DRS_FOGEND, std::bit_cast<DWORD>(FogEnd), "ERROR: SetFog Failed At FogEnd\n"},
    };
    const Step exponential[] = {
        {D3DRS_FOGVERTEXMODE, D3DFOG_EXP, "ERROR: SetFog Failed At FogVertexMode\n"},
        {D3DRS_FOGDENSITY, std::bit_cast<DWORD>(FogDensity), "ERROR: SetFog Failed At FogDensity\n"},
    };
    const auto run = [this](const auto& steps) {
        for (const Step& step : steps) {
            if (FAILED(SetDeviceState(step.state, step.value))) {
                Log("%s", step.failure);
                return false;
            }
        }
        return true;
    };
    return run(common) && (FogMode == 1 ? run(linear) : run(exponential));
}

bool IOrvalenD3D::GetFog() {
    return FogEnabled;
}

void IOrvalenD3D::SetLighting(bool on) {
    Lighting = on;
    SetDeviceState(D3DRS_LIGHTING, on ? TRUE : FALSE);
}

bool IOrvalenD3D::GetLighting() {
    return Lighting;
}

void IOrvalenD3D::SetRenderFlag(bool on) {
    RenderFlag = on;
}

bool IOrvalenD3D::GetRenderFlag() {
    return RenderFlag;
}

bool IOrvalenD3D::SetFilter(std::int32_t type) {
    struct Filters {
        D3DTEXTUREFILTERTYPE magnification;
        D3DTEXTUREFILTERTYPE minification;
        D3DTEXTUREFILTERTYPE mip;
    };
    static constexpr Filters kFilters[] = {
        {D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE},
        {D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_POINT},
        {D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_POINT},
        {D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_LINEAR},
        {D3DTEXF_ANISOTROPIC, D3DTEXF_ANISOTROPIC, D3DTEXF_ANISOTROPIC},
    };
    FilterType = type;
    SetSampler0(D3DSAMP_MAXMIPLEVEL, 0);
    if (type < 0 || type > 4) {
        Log("ERROR: SetFilter Failed - Filter Type Unrecognized\n");
        return false;
    }
    const Filters& filters = kFilters[type];
    SetSampler0(D3DSAMP_MAGFILTER, filters.magnification);
    SetSampler0(D3DSAMP_MINFILTER, filters.minification);
    SetSampler0(D3DSAMP_MIPFILTER, filters.mip);
    if (type == 4) {
        SetSampler0(D3DSAMP_MAXANISOTROPY, 4);
    }
    return true;
}

std::int32_t IOrvalenD3D::GetFilter() {
    return FilterType;
}

void IOrvalenD3D::ReapplyStates() {
    SetZBuffer(ZBufferEnabled);
    SetCullMode(CullMode);
    SetShadeMode(ShadeMode);
    if (AlphaBlendWithMode) {
        SetAlphaBlend(AlphaBlend, AlphaBlendMode);
    } else {
        SetAlphaBlend(AlphaBlend);
    }
    // A minimum or maximum operation, and depth writing switched off, outlive later blend modes that
    // don't set them; the reset put both back to their defaults.
    const bool modeSetOperation =
        AlphaBlendWithMode && (!AlphaBlend || AlphaBlendMode == 6 || AlphaBlendMode == 7);
    if (!modeSetOperation && BlendOperation != D3DBLENDOP_ADD) {
        SetDeviceState(D3DRS_BLENDOP, BlendOperation);
    }
    if (!ZWriteEnabled && !AlphaBlendWithMode && AlphaBlend) {
        SetDeviceState(D3DRS_ZWRITEENABLE, FALSE);
    }
    SetAlphaTest(AlphaTest);
    SetLighting(Lighting);
    if (PointModeSetLast) {
        SetPointMode(PointMode);
    } else {
        SetWireframe(Wireframe);
    }
    SetAntialiasedLines(AntialiasedLines);
    if (FogEnabled) {
        EnableFog();
    }
}
