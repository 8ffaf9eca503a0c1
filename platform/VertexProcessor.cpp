#include "platform/VertexProcessor.h"

#include "platform/D3DXMath.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

Vector3 operator+(Vector3 a, Vector3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vector3 operator-(Vector3 a, Vector3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vector3 operator*(Vector3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float Dot(Vector3 a, Vector3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
float Length(Vector3 a) {
    return std::sqrt(Dot(a, a));
}
Vector3 Normalised(Vector3 a) {
    const float length = Length(a);
    return length > 0.0f ? a * (1.0f / length) : a;
}

/// Row vector times the matrix: a point (w = 1) or a direction (w = 0).
Vector3 Transformed(Vector3 v, const D3DMATRIX& m, float w) {
    return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + w * m.m[3][0],
            v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + w * m.m[3][1],
            v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + w * m.m[3][2]};
}

/// Normals of row vectors go through the inverse transpose of the upper 3 x 3 part: n' = n (M^-1)^T,
/// which is the cofactor matrix over the determinant. A singular part flattens every normal to zero.
D3DMATRIX NormalMatrix(const D3DMATRIX& m) {
    const auto a = [&m](int row, int column) { return m.m[row % 3][column % 3]; };
    D3DMATRIX cofactors{};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            cofactors.m[row][column] = a(row + 1, column + 1) * a(row + 2, column + 2) -
                                       a(row + 1, column + 2) * a(row + 2, column + 1);
        }
    }
    const float determinant =
        a(0, 0) * cofactors.m[0][0] + a(0, 1) * cofactors.m[0][1] + a(0, 2) * cofactors.m[0][2];
    const float inverse = determinant != 0.0f ? 1.0f / determinant : 0.0f;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            cofactors.m[row][column] *= inverse;
        }
    }
    return cofactors;
}

/// Each 8-bit channel value over 255, as the division gives it.
constexpr std::array<float, 256> kChannels = [] {
    std::array<float, 256> channels{};
    for (int value = 0; value < 256; ++value) {
        channels[value] = static_cast<float>(value) / 255.0f;
    }
    return channels;
}();

D3DCOLORVALUE ColourOf(DWORD argb) {
    return {kChannels[(argb >> 16) & 0xFF], kChannels[(argb >> 8) & 0xFF], kChannels[argb & 0xFF],
            kChannels[(argb >> 24) & 0xFF]};
}

DWORD Word(const std::uint8_t* bytes) {
    DWORD word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

Vector3 Floats3(const std::uint8_t* bytes) {
    Vector3 v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

/// A light carried into eye space, where the device lights.
struct EyeLight {
    const D3DLIGHT9* light;
    Vector3 position;
    Vector3 towards;   ///< unit vector towards a directional light
    Vector3 direction; ///< unit direction a spot light shines along
    float cosHalfTheta;
    float cosHalfPhi;
};

/// What one light gives a vertex: attenuation times spot factor, and the unit vector towards it.
/// Zero for a point or spot light beyond its range or outside its outer cone.
float Reach(const EyeLight& eye, Vector3 position, Vector3& towards) {
    const D3DLIGHT9& light = *eye.light;
    if (light.Type == D3DLIGHT_DIRECTIONAL) {
        towards = eye.towards;
        return 1.0f;
    }
    const Vector3 offset = eye.position - position;
    const float distance = Length(offset);
    if (distance > light.Range) {
        return 0.0f;
    }
    towards = Normalised(offset);
    // Attenuation 1 / (a0 + a1 d + a2 d^2); a sum that is not positive lights nothing.
    const float denominator =
        light.Attenuation0 + light.Attenuation1 * distance + light.Attenuation2 * distance * distance;
    if (!(denominator > 0.0f)) {
        return 0.0f;
    }
    float spot = 1.0f;
    if (light.Type == D3DLIGHT_SPOT) {
        // rho = cos of the angle between the spot's axis and the way to the vertex: full inside
        // Theta/2, nothing outside Phi/2, ((rho - cos Phi/2) / (cos Theta/2 - cos Phi/2))^Falloff between.
        const float rho = Dot(eye.direction, towards * -1.0f);
        if (rho <= eye.cosHalfPhi) {
            return 0.0f;
        }
        if (rho <= eye.cosHalfTheta) {
            spot = std::pow((rho - eye.cosHalfPhi) / (eye.cosHalfTheta - eye.cosHalfPhi), light.Falloff);
        }
    }
    return spot / denominator;
}

/// Channel-wise a * b * scale.
Vector3 Product(const D3DCOLORVALUE& a, const D3DCOLORVALUE& b, float scale) {
    return {a.r * b.r * scale, a.g * b.g * scale, a.b * b.b * scale};
}

/// The share of the vertex's own colour at `distance`: linear (end - d) / (end - start), exp e^-(d density),
/// exp2 e^-(d density)^2, within 0..1.
float FogFactor(DWORD mode, float distance, float start, float end, float density) {
    float factor = 1.0f;
    switch (mode) {
    case D3DFOG_LINEAR:
        factor = end != start ? (end - distance) / (end - start) : (distance < end ? 1.0f : 0.0f);
        break;
    case D3DFOG_EXP:
        factor = std::exp(-distance * density);
        break;
    case D3DFOG_EXP2:
        factor = std::exp(-(distance * density) * (distance * density));
        break;
    default:
        break;
    }
    return std::clamp(factor, 0.0f, 1.0f);
}

struct LitColour {
    D3DCOLORVALUE diffuse;
    Vector3 specular;
};

float Saturated(float value) {
    return std::clamp(value, 0.0f, 1.0f);
}

} // namespace

VertexProcessor::Fog VertexProcessor::FogOf(const FixedFunctionState& state) {
    if (state.RenderState(D3DRS_FOGENABLE) == FALSE) {
        return Fog::None;
    }
    if (state.RenderState(D3DRS_FOGTABLEMODE) != D3DFOG_NONE) {
        return Fog::PerPixel;
    }
    return state.RenderState(D3DRS_FOGVERTEXMODE) != D3DFOG_NONE ? Fog::PerVertex : Fog::None;
}

GLStateShadow::VertexArrays VertexProcessor::Process(const FixedFunctionState& state, const D3DMATRIX& world,
                                                     const D3DMATRIX& view, const VertexFormat& format,
                                                     const std::uint8_t* vertices, UINT stride, int count) {
    const auto size = static_cast<std::size_t>(count);
    const Fog fog = FogOf(state);
    const bool specularOn = state.RenderState(D3DRS_SPECULARENABLE) != FALSE;
    const unsigned textureBytes = format.textureSets * 2 * sizeof(float);
    GLStateShadow::VertexArrays arrays;
    arrays.textureSets = format.textureSets;
    arrays.colour = 3 * sizeof(float) + textureBytes;
    arrays.stride = arrays.colour + 4 * sizeof(float);
    if (specularOn) {
        arrays.specular = arrays.stride;
        arrays.stride += 3 * sizeof(float);
    }
    if (fog != Fog::None) {
        arrays.fog = arrays.stride;
        arrays.stride += sizeof(float);
    }
    if (m_records.size() < size * arrays.stride) {
        m_records.resize(size * arrays.stride);
    }
    const bool lighting = state.RenderState(D3DRS_LIGHTING) != FALSE;
    // Unlit and unfogged vertices need nothing of eye space.
    const bool eyeSpace = lighting || fog != Fog::None;
    const D3DMATRIX worldView = eyeSpace ? D3DMATRIX(D3DXMATRIX(world) * D3DXMATRIX(view)) : D3DMATRIX{};
    const D3DMATRIX normalMatrix = lighting ? NormalMatrix(worldView) : D3DMATRIX{};
    const bool normalise = state.RenderState(D3DRS_NORMALIZENORMALS) != FALSE;
    const bool colourVertex = state.RenderState(D3DRS_COLORVERTEX) != FALSE;
    const bool rangeFog = state.RenderState(D3DRS_RANGEFOGENABLE) != FALSE;
    const DWORD fogMode = state.RenderState(D3DRS_FOGVERTEXMODE);
    const float fogStart = std::bit_cast<float>(state.RenderState(D3DRS_FOGSTART));
    const float fogEnd = std::bit_cast<float>(state.RenderState(D3DRS_FOGEND));
    const float fogDensity = std::bit_cast<float>(state.RenderState(D3DRS_FOGDENSITY));
    const D3DCOLORVALUE ambientLight = ColourOf(state.RenderState(D3DRS_AMBIENT));
    const D3DMATERIAL9& material = state.Material();
    // Each material colour comes from the material, or from a vertex colour the format has.
    const auto sourceOf = [&](D3DRENDERSTATETYPE which) {
        const DWORD from = colourVertex ? state.RenderState(which) : D3DMCS_MATERIAL;
        return (from == D3DMCS_COLOR1 && format.diffuse) || (from == D3DMCS_COLOR2 && format.specular)
                   ? from
                   : DWORD(D3DMCS_MATERIAL);
    };
    const DWORD diffuseFrom = sourceOf(D3DRS_DIFFUSEMATERIALSOURCE);
    const DWORD ambientFrom = sourceOf(D3DRS_AMBIENTMATERIALSOURCE);
    const DWORD specularFrom = sourceOf(D3DRS_SPECULARMATERIALSOURCE);
    const DWORD emissiveFrom = sourceOf(D3DRS_EMISSIVEMATERIALSOURCE);

    std::array<const D3DLIGHT9*, FixedFunctionState::kLitLights> enabled{};
    const std::size_t lightCount = lighting ? state.EnabledLights(enabled) : 0;
    std::array<EyeLight, FixedFunctionState::kLitLights> lights{};
    for (std::size_t i = 0; i < lightCount; ++i) {
        const D3DLIGHT9& light = *enabled[i];
        const Vector3 direction =
            Normalised(Transformed({light.Direction.x, light.Direction.y, light.Direction.z}, view, 0.0f));
        lights[i] = {&light,
                     Transformed({light.Position.x, light.Position.y, light.Position.z}, view, 1.0f),
                     direction * -1.0f,
                     direction,
                     std::cos(light.Theta * 0.5f),
                     std::cos(light.Phi * 0.5f)};
    }

    for (std::size_t v = 0; v < size; ++v) {
        const std::uint8_t* vertex = vertices + v * stride;
        const Vector3 eyePosition = eyeSpace ? Transformed(Floats3(vertex), worldView, 1.0f) : Vector3{};
        const D3DCOLORVALUE vertexDiffuse =
            format.diffuse ? ColourOf(Word(vertex + *format.diffuse)) : D3DCOLORVALUE{1, 1, 1, 1};
        const D3DCOLORVALUE vertexSpecular =
            format.specular ? ColourOf(Word(vertex + *format.specular)) : D3DCOLORVALUE{0, 0, 0, 0};
        LitColour lit{vertexDiffuse, {vertexSpecular.r, vertexSpecular.g, vertexSpecular.b}};
        if (lighting) {
            const auto source = [&](DWORD from, const D3DCOLORVALUE& own) {
                return from == D3DMCS_COLOR1 ? vertexDiffuse : from == D3DMCS_COLOR2 ? vertexSpecular : own;
            };
            const D3DCOLORVALUE diffuse = source(diffuseFrom, material.Diffuse);
            const D3DCOLORVALUE ambient = source(ambientFrom, material.Ambient);
            const D3DCOLORVALUE specular = source(specularFrom, material.Specular);
            const D3DCOLORVALUE emissive = source(emissiveFrom, material.Emissive);
            Vector3 normal =
                format.normal ? Transformed(Floats3(vertex + *format.normal), normalMatrix, 0.0f) : Vector3{};
            if (normalise) {
                normal = Normalised(normal);
            }
            const Vector3 toEye = Normalised(eyePosition * -1.0f);
            // colour = emissive + ambient (global + per light) + diffuse per light, each light scaled by
            // its attenuation and spot factor; specular apart, with the half vector of a local viewer.
            Vector3 sum{emissive.r + ambient.r * ambientLight.r, emissive.g + ambient.g * ambientLight.g,
                        emissive.b + ambient.b * ambientLight.b};
            Vector3 shine;
            for (std::size_t i = 0; i < lightCount; ++i) {
                const D3DLIGHT9& light = *lights[i].light;
                Vector3 towards;
                const float reach = Reach(lights[i], eyePosition, towards);
                if (reach == 0.0f) {
                    continue;
                }
                const float facing = std::max(Dot(normal, towards), 0.0f);
                sum = sum + Product(ambient, light.Ambient, reach) +
                      Product(diffuse, light.Diffuse, reach * facing);
                if (specularOn && facing > 0.0f) {
                    const float highlight =
                        std::pow(std::max(Dot(normal, Normalised(towards + toEye)), 0.0f), material.Power);
                    shine = shine + Product(specular, light.Specular, reach * highlight);
                }
            }
            lit = {{Saturated(sum.x), Saturated(sum.y), Saturated(sum.z), diffuse.a},
                   {Saturated(shine.x), Saturated(shine.y), Saturated(shine.z)}};
        }
        std::uint8_t* record = m_records.data() + v * arrays.stride;
        std::memcpy(record, vertex, 3 * sizeof(float));
        std::memcpy(record + 3 * sizeof(float), vertex + format.textureOffset, textureBytes);
        std::memcpy(record + arrays.colour, &lit.diffuse, 4 * sizeof(float));
        if (specularOn) {
            std::memcpy(record + arrays.specular, &lit.specular, 3 * sizeof(float));
        }
        if (fog != Fog::None) {
            const float distance = rangeFog ? Length(eyePosition) : std::abs(eyePosition.z);
            const float coordinate =
                fog == Fog::PerPixel ? distance : FogFactor(fogMode, distance, fogStart, fogEnd, fogDensity);
            std::memcpy(record + arrays.fog, &coordinate, sizeof coordinate);
        }
    }
    return arrays;
}

std::array<bool, 2> VertexProcessor::WithinUnit(const VertexFormat& format, DWORD set,
                                                const std::uint8_t* vertices, UINT stride,
                                                std::size_t count) {
    // A set the format lacks reads the constant (0, 0).
    if (set >= format.textureSets) {
        return {true, true};
    }
    const std::uint8_t* pairs = vertices + format.textureOffset + set * 2 * sizeof(float);
    bool outsideU = false;
    bool outsideV = false;
    for (std::size_t i = 0; i < count; ++i) {
        float uv[2];
        std::memcpy(uv, pairs + i * stride, sizeof uv);
        // Not within when not comparable either (NaN).
        outsideU |= !(uv[0] >= 0.0f) | !(uv[0] <= 1.0f);
        outsideV |= !(uv[1] >= 0.0f) | !(uv[1] <= 1.0f);
    }
    return {!outsideU, !outsideV};
}
