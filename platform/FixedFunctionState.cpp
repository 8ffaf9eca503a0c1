#define GL_GLEXT_PROTOTYPES 1
#include "platform/FixedFunctionState.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

struct StateDefault {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

constexpr DWORD FloatBits(float value) {
    return std::bit_cast<DWORD>(value);
}

constexpr StateDefault kRenderStateDefaults[] = {
    {D3DRS_ZENABLE, D3DZB_TRUE},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_ZWRITEENABLE, TRUE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_DITHERENABLE, FALSE},
    {D3DRS_ALPHABLENDENABLE, FALSE},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_SPECULARENABLE, FALSE},
    {D3DRS_FOGCOLOR, 0},
    {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
    {D3DRS_FOGSTART, FloatBits(0.0f)},
    {D3DRS_FOGEND, FloatBits(1.0f)},
    {D3DRS_FOGDENSITY, FloatBits(1.0f)},
    {D3DRS_RANGEFOGENABLE, FALSE},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_STENCILREF, 0},
    {D3DRS_STENCILMASK, 0xFFFFFFFFu},
    {D3DRS_STENCILWRITEMASK, 0xFFFFFFFFu},
    {D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_AMBIENT, 0},
    {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
    {D3DRS_COLORVERTEX, TRUE},
    {D3DRS_NORMALIZENORMALS, FALSE},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
    {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_ANTIALIASEDLINEENABLE, FALSE},
    {D3DRS_TWOSIDEDSTENCILMODE, FALSE},
    {D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILPASS, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS},
};

constexpr DWORD kSamplerDefaults[11] = {
    0,                // no state 0
    D3DTADDRESS_WRAP, // ADDRESSU
    D3DTADDRESS_WRAP, // ADDRESSV
    D3DTADDRESS_WRAP, // ADDRESSW
    0,                // BORDERCOLOR
    D3DTEXF_POINT,    // MAGFILTER
    D3DTEXF_POINT,    // MINFILTER
    D3DTEXF_NONE,     // MIPFILTER
    0,                // MIPMAPLODBIAS
    0,                // MAXMIPLEVEL
    1,                // MAXANISOTROPY
};

GLenum CompareFunction(DWORD function) {
    switch (function) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLenum BlendFactor(DWORD factor) {
    switch (factor) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    default:
        return GL_ONE;
    }
}

GLenum BlendEquation(DWORD operation) {
    switch (operation) {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum StencilOperation(DWORD operation) {
    switch (operation) {
    case D3DSTENCILOP_ZERO:
        return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
        return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
        return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
        return GL_DECR;
    case D3DSTENCILOP_INVERT:
        return GL_INVERT;
    case D3DSTENCILOP_INCR:
        return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
        return GL_DECR_WRAP;
    default:
        return GL_KEEP;
    }
}

void Toggle(GLenum capability, bool on) {
    if (on) {
        glEnable(capability);
    } else {
        glDisable(capability);
    }
}

/// ARGB colour as OpenGL's RGBA floats.
std::array<GLfloat, 4> Rgba(DWORD argb) {
    return {((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
            ((argb >> 24) & 0xFF) / 255.0f};
}

void Colour(GLenum face, GLenum parameter, const D3DCOLORVALUE& colour) {
    const GLfloat rgba[4] = {colour.r, colour.g, colour.b, colour.a};
    glMaterialfv(face, parameter, rgba);
}

void LightColour(GLenum light, GLenum parameter, const D3DCOLORVALUE& colour) {
    const GLfloat rgba[4] = {colour.r, colour.g, colour.b, colour.a};
    glLightfv(light, parameter, rgba);
}

float Degrees(float radians) {
    return radians * 57.29577951f;
}

/// The light a device lights with at an index that was enabled but never set: white, along +z.
D3DLIGHT9 DefaultLight() {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    return light;
}

} // namespace

bool FixedFunctionState::IsRenderState(DWORD state) {
    return std::any_of(std::begin(kRenderStateDefaults), std::end(kRenderStateDefaults),
                       [state](const StateDefault& known) { return known.state == state; });
}

bool FixedFunctionState::IsSamplerState(DWORD sampler, DWORD type) {
    return sampler < kSamplers && type >= D3DSAMP_ADDRESSU && type <= D3DSAMP_MAXANISOTROPY;
}

void FixedFunctionState::Reset(bool hasDepthBuffer) {
    m_hasDepthBuffer = hasDepthBuffer;
    for (const StateDefault& known : kRenderStateDefaults) {
        m_renderStates[known.state] = known.value;
    }
    m_renderStates[D3DRS_ZENABLE] = hasDepthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    for (auto& sampler : m_samplers) {
        std::copy(std::begin(kSamplerDefaults), std::end(kSamplerDefaults), sampler.begin());
    }
    m_lights.clear();
    m_material = {};
    m_material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    m_view = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

    // Conventions that no render state changes: the first vertex of a flat-shaded triangle gives its
    // colour, specular light is added after texturing, the viewer is at the eye, stage 0 modulates.
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    for (const StateDefault& known : kRenderStateDefaults) {
        Apply(known.state);
    }
    ApplyMaterial();
    ApplyLights();
}

void FixedFunctionState::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    m_renderStates[state] = value;
    Apply(state);
}

void FixedFunctionState::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    // Textures take their sampler's filters and addressing when they are bound for drawing.
    m_samplers[sampler][type] = value;
}

void FixedFunctionState::Apply(D3DRENDERSTATETYPE state) {
    const DWORD value = m_renderStates[state];
    switch (state) {
    case D3DRS_ZENABLE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ZFUNC:
        ApplyDepth();
        break;
    case D3DRS_FILLMODE:
        glPolygonMode(GL_FRONT_AND_BACK, value == D3DFILL_POINT       ? GL_POINT
                                         : value == D3DFILL_WIREFRAME ? GL_LINE
                                                                      : GL_FILL);
        break;
    case D3DRS_SHADEMODE:
        glShadeModel(value == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);
        break;
    case D3DRS_CULLMODE:
        ApplyCull();
        break;
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
        ApplyAlphaTest();
        break;
    case D3DRS_DITHERENABLE:
        Toggle(GL_DITHER, value != FALSE);
        break;
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_BLENDOP:
        ApplyBlend();
        break;
    case D3DRS_FOGENABLE:
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_RANGEFOGENABLE:
        ApplyFog();
        break;
    case D3DRS_STENCILENABLE:
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
    case D3DRS_STENCILWRITEMASK:
    case D3DRS_TWOSIDEDSTENCILMODE:
    case D3DRS_CCW_STENCILFAIL:
    case D3DRS_CCW_STENCILZFAIL:
    case D3DRS_CCW_STENCILPASS:
    case D3DRS_CCW_STENCILFUNC:
        ApplyStencil();
        break;
    case D3DRS_LIGHTING:
        m_shadow.Enable(GL_LIGHTING, value != FALSE);
        break;
    case D3DRS_AMBIENT: {
        const std::array<GLfloat, 4> ambient = Rgba(value);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient.data());
        break;
    }
    case D3DRS_SPECULARENABLE:
        ApplyMaterial();
        break;
    case D3DRS_COLORVERTEX:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
        ApplyColorMaterial();
        break;
    case D3DRS_NORMALIZENORMALS:
        Toggle(GL_NORMALIZE, value != FALSE);
        break;
    case D3DRS_ANTIALIASEDLINEENABLE:
        Toggle(GL_LINE_SMOOTH, value != FALSE);
        break;
    case D3DRS_TEXTUREFACTOR:
        // Read by the texture stages when they are set up for drawing.
        break;
    }
}

void FixedFunctionState::ApplyDepth() {
    Toggle(GL_DEPTH_TEST, m_hasDepthBuffer && m_renderStates[D3DRS_ZENABLE] != D3DZB_FALSE);
    glDepthMask(m_renderStates[D3DRS_ZWRITEENABLE] != FALSE ? GL_TRUE : GL_FALSE);
    glDepthFunc(CompareFunction(m_renderStates[D3DRS_ZFUNC]));
}

void FixedFunctionState::ApplyCull() {
    // Screen-clockwise triangles reach OpenGL counter-clockwise (its front faces): culling clockwise
    // ones culls OpenGL's front faces, culling counter-clockwise ones its back faces.
    const DWORD mode = m_renderStates[D3DRS_CULLMODE];
    m_shadow.Enable(GL_CULL_FACE, mode == D3DCULL_CW || mode == D3DCULL_CCW);
    m_shadow.CullFace(mode == D3DCULL_CW ? GL_FRONT : GL_BACK);
}

void FixedFunctionState::ApplyAlphaTest() {
    Toggle(GL_ALPHA_TEST, m_renderStates[D3DRS_ALPHATESTENABLE] != FALSE);
    glAlphaFunc(CompareFunction(m_renderStates[D3DRS_ALPHAFUNC]),
                static_cast<GLclampf>(m_renderStates[D3DRS_ALPHAREF] & 0xFF) / 255.0f);
}

void FixedFunctionState::ApplyBlend() {
    Toggle(GL_BLEND, m_renderStates[D3DRS_ALPHABLENDENABLE] != FALSE);
    glBlendFunc(BlendFactor(m_renderStates[D3DRS_SRCBLEND]), BlendFactor(m_renderStates[D3DRS_DESTBLEND]));
    glBlendEquation(BlendEquation(m_renderStates[D3DRS_BLENDOP]));
}

DWORD FixedFunctionState::FogMode() const {
    // Pixel (table) fog wins over vertex fog.
    const DWORD table = m_renderStates[D3DRS_FOGTABLEMODE];
    return table != D3DFOG_NONE ? table : m_renderStates[D3DRS_FOGVERTEXMODE];
}

GLStateShadow::Fog FixedFunctionState::FogParameters() const {
    const DWORD mode = FogMode();
    return {GL_FRAGMENT_DEPTH,
            mode == D3DFOG_LINEAR ? GL_LINEAR
            : mode == D3DFOG_EXP2 ? GL_EXP2
                                  : GL_EXP,
            std::bit_cast<float>(m_renderStates[D3DRS_FOGSTART]),
            std::bit_cast<float>(m_renderStates[D3DRS_FOGEND]),
            std::bit_cast<float>(m_renderStates[D3DRS_FOGDENSITY]),
            Rgba(m_renderStates[D3DRS_FOGCOLOR])};
}

void FixedFunctionState::ApplyFog() {
    // With neither mode chosen, enabling fog fogs nothing.
    m_shadow.Enable(GL_FOG, m_renderStates[D3DRS_FOGENABLE] != FALSE && FogMode() != D3DFOG_NONE);
    m_shadow.SetFog(FogParameters());
}

void FixedFunctionState::ApplyStencil() {
    Toggle(GL_STENCIL_TEST, m_renderStates[D3DRS_STENCILENABLE] != FALSE);
    glStencilMask(m_renderStates[D3DRS_STENCILWRITEMASK]);
}

GLStateShadow::StencilFace FixedFunctionState::StencilTest(bool back) const {
    // Screen-clockwise faces are OpenGL's front faces; with two-sided stencil the counter-clockwise
    // states serve the others.
    const bool ccw = back && m_renderStates[D3DRS_TWOSIDEDSTENCILMODE] != FALSE;
    const auto state = [&](D3DRENDERSTATETYPE clockwise, D3DRENDERSTATETYPE counterClockwise) {
        return m_renderStates[ccw ? counterClockwise : clockwise];
    };
    return {static_cast<int>(CompareFunction(state(D3DRS_STENCILFUNC, D3DRS_CCW_STENCILFUNC))),
            static_cast<int>(m_renderStates[D3DRS_STENCILREF] & 0xFF),
            m_renderStates[D3DRS_STENCILMASK],
            static_cast<int>(StencilOperation(state(D3DRS_STENCILFAIL, D3DRS_CCW_STENCILFAIL))),
            static_cast<int>(StencilOperation(state(D3DRS_STENCILZFAIL, D3DRS_CCW_STENCILZFAIL))),
            static_cast<int>(StencilOperation(state(D3DRS_STENCILPASS, D3DRS_CCW_STENCILPASS)))};
}

void FixedFunctionState::ApplyColorMaterial() {
    // OpenGL follows the vertex colour with one material colour (or ambient and diffuse together).
    const auto fromVertex = [this](D3DRENDERSTATETYPE source) {
        return m_renderStates[D3DRS_COLORVERTEX] != FALSE && m_renderStates[source] == D3DMCS_COLOR1;
    };
    const bool diffuse = fromVertex(D3DRS_DIFFUSEMATERIALSOURCE);
    const bool ambient = fromVertex(D3DRS_AMBIENTMATERIALSOURCE);
    GLenum tracked = GL_NONE;
    if (diffuse && ambient) {
        tracked = GL_AMBIENT_AND_DIFFUSE;
    } else if (diffuse) {
        tracked = GL_DIFFUSE;
    } else if (ambient) {
        tracked = GL_AMBIENT;
    } else if (fromVertex(D3DRS_EMISSIVEMATERIALSOURCE)) {
        tracked = GL_EMISSION;
    } else if (fromVertex(D3DRS_SPECULARMATERIALSOURCE)) {
        tracked = GL_SPECULAR;
    }
    if (tracked != GL_NONE) {
        glColorMaterial(GL_FRONT_AND_BACK, tracked);
        glEnable(GL_COLOR_MATERIAL);
    } else {
        glDisable(GL_COLOR_MATERIAL);
    }
    // Colours tracked before keep the last vertex colour; the material gives them back.
    ApplyMaterial();
}

void FixedFunctionState::ApplyMaterial() {
    const bool tracking = glIsEnabled(GL_COLOR_MATERIAL) == GL_TRUE;
    glDisable(GL_COLOR_MATERIAL);
    Colour(GL_FRONT_AND_BACK, GL_DIFFUSE, m_material.Diffuse);
    Colour(GL_FRONT_AND_BACK, GL_AMBIENT, m_material.Ambient);
    const bool specular = m_renderStates[D3DRS_SPECULARENABLE] != FALSE;
    Colour(GL_FRONT_AND_BACK, GL_SPECULAR, specular ? m_material.Specular : D3DCOLORVALUE{0, 0, 0, 0});
    Colour(GL_FRONT_AND_BACK, GL_EMISSION, m_material.Emissive);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(m_material.Power, 0.0f, 128.0f));
    if (tracking) {
        glEnable(GL_COLOR_MATERIAL);
    }
}

void FixedFunctionState::SetMaterial(const D3DMATERIAL9& material) {
    // OpenGL holds the material kept here: the same one again changes nothing there.
    if (std::memcmp(&m_material, &material, sizeof material) == 0) {
        return;
    }
    m_material = material;
    ApplyMaterial();
}

std::optional<D3DLIGHT9> FixedFunctionState::Light(DWORD index) const {
    const auto found = m_lights.find(index);
    return found != m_lights.end() ? std::optional(found->second.light) : std::nullopt;
}

void FixedFunctionState::SetLight(DWORD index, const D3DLIGHT9& light) {
    m_lights[index].light = light;
    ApplyLights();
}

bool FixedFunctionState::EnableLight(DWORD index, bool enable) {
    auto slot = m_lights.find(index);
    if (slot == m_lights.end()) {
        slot = m_lights.emplace(index, LightSlot{DefaultLight(), false}).first;
    }
    if (enable && !slot->second.enabled) {
        const auto lit = std::count_if(m_lights.begin(), m_lights.end(),
                                       [](const auto& entry) { return entry.second.enabled; });
        if (lit >= static_cast<long>(kLitLights)) {
            return false;
        }
    }
    slot->second.enabled = enable;
    ApplyLights();
    return true;
}

std::optional<bool> FixedFunctionState::LightEnabled(DWORD index) const {
    const auto found = m_lights.find(index);
    return found != m_lights.end() ? std::optional(found->second.enabled) : std::nullopt;
}

std::size_t FixedFunctionState::EnabledLights(std::array<const D3DLIGHT9*, kLitLights>& lights) const {
    std::size_t count = 0;
    for (const auto& [index, slot] : m_lights) {
        if (slot.enabled && count < kLitLights) {
            lights[count++] = &slot.light;
        }
    }
    return count;
}

void FixedFunctionState::SetViewMatrix(const D3DMATRIX& view) {
    m_view = view;
    ApplyLights();
}

void FixedFunctionState::ApplyLights() {
    // OpenGL takes light positions through the modelview matrix at the time they are given: the view
    // alone carries world-space lights into eye space.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixf(&m_view.m[0][0]);
    GLenum next = GL_LIGHT0;
    for (const auto& [index, slot] : m_lights) {
        if (!slot.enabled) {
            continue;
        }
        const D3DLIGHT9& light = slot.light;
        const GLenum target = next++;
        glEnable(target);
        LightColour(target, GL_DIFFUSE, light.Diffuse);
        LightColour(target, GL_SPECULAR, light.Specular);
        LightColour(target, GL_AMBIENT, light.Ambient);
        if (light.Type == D3DLIGHT_DIRECTIONAL) {
            // OpenGL's directional position points towards the light, against its direction of travel.
            const GLfloat towards[4] = {-light.Direction.x, -light.Direction.y, -light.Direction.z, 0.0f};
            glLightfv(target, GL_POSITION, towards);
            glLightf(target, GL_CONSTANT_ATTENUATION, 1.0f);
            glLightf(target, GL_LINEAR_ATTENUATION, 0.0f);
            glLightf(target, GL_QUADRATIC_ATTENUATION, 0.0f);
            glLightf(target, GL_SPOT_CUTOFF, 180.0f);
            continue;
        }
        const GLfloat position[4] = {light.Position.x, light.Position.y, light.Position.z, 1.0f};
        glLightfv(target, GL_POSITION, position);
        glLightf(target, GL_CONSTANT_ATTENUATION, light.Attenuation0);
        glLightf(target, GL_LINEAR_ATTENUATION, light.Attenuation1);
        glLightf(target, GL_QUADRATIC_ATTENUATION, light.Attenuation2);
        if (light.Type == D3DLIGHT_SPOT) {
            const GLfloat direction[3] = {light.Direction.x, light.Direction.y, light.Direction.z};
            glLightfv(target, GL_SPOT_DIRECTION, direction);
            // The outer cone bounds the light; the fall-off between the cones is approximated by an
            // exponent that grows with the fall-off factor.
            glLightf(target, GL_SPOT_CUTOFF, std::clamp(Degrees(light.Phi) * 0.5f, 0.0f, 90.0f));
            glLightf(target, GL_SPOT_EXPONENT, std::clamp(light.Falloff, 0.0f, 128.0f));
        } else {
            glLightf(target, GL_SPOT_CUTOFF, 180.0f);
        }
    }
    for (GLenum unused = next; unused < GL_LIGHT0 + kLitLights; ++unused) {
        glDisable(unused);
    }
    glPopMatrix();
}
