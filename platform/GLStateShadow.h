#pragma once
// What one device last handed its OpenGL context of the states its draws change: the switches the draw
// sets (lighting, fog, colour sum, culling), the fog parameters, the culled face, each face's stencil
// test, the texture units and the vertex arrays. A setter sends its value only when it differs from the
// one kept, so back-to-back draws pay for what changed between them. Anything else that changes these
// states in the context and does not put them back must call Forget; everything is then sent again.
// Textures are known here by their OpenGL name only, never by object: a texture that goes takes its
// units' entries with it (ForgetTexture), since OpenGL unbinds it and may give its name to the next
// texture made.

#include <array>
#include <cstdint>
#include <optional>

class GLStateShadow {
public:
    static constexpr unsigned kUnits = 8;

    /// The fixed-function fog of a draw, as OpenGL takes it.
    struct Fog {
        int coordinateSource = 0;
        int mode = 0;
        float start = 0.0f;
        float end = 0.0f;
        float density = 0.0f;
        std::array<float, 4> colour{};
    };

    /// One face's stencil test, as OpenGL takes it.
    struct StencilFace {
        int function = 0;
        int reference = 0;
        unsigned mask = 0;
        int fail = 0;
        int depthFail = 0;
        int pass = 0;
        bool operator==(const StencilFace&) const = default;
    };

    /// The vertex arrays of a draw, in the bound array buffer: one record of `stride` bytes per vertex,
    /// the position's 3 floats at its start, then `textureSets` pairs of texture coordinates, then the
    /// colours (byte offsets within the record).
    struct VertexArrays {
        unsigned stride = 0;
        unsigned textureSets = 0;
        unsigned colour = 0;   ///< 4 floats, RGBA
        unsigned specular = 0; ///< 3 floats, RGB; 0 when the draw has none
        unsigned fog = 0;      ///< 1 float; 0 when the draw has none
        bool operator==(const VertexArrays&) const = default;
    };

    /// Every state unknown: the next setter of each sends it.
    void Forget();
    /// Units that had texture `name` bound hold nothing known any more.
    void ForgetTexture(unsigned name);

    /// glEnable or glDisable of GL_LIGHTING, GL_FOG, GL_COLOR_SUM or GL_CULL_FACE.
    void Enable(unsigned capability, bool on);
    /// The face culling drops while it is enabled: GL_FRONT or GL_BACK.
    void CullFace(unsigned face);
    /// The stencil test of `face`, GL_FRONT or GL_BACK.
    void SetStencilFace(unsigned face, const StencilFace& test);
    /// Enables the arrays of `arrays`, disables the others and points them into the bound array buffer.
    /// Pointers that stay put from draw to draw keep the driver's vertex setup: draws differ by their
    /// first vertex only.
    void PointArrays(const VertexArrays& arrays);
    /// The fog parameters; whether fog is on is a switch of its own.
    void SetFog(const Fog& fog);
    /// Texture `name` bound to `unit` and enabled, modulating; 0 disables texturing on the unit.
    void BindTexture(unsigned unit, unsigned name);
    /// Makes `unit` the one texture parameters go to; its texture stays as bound.
    void SelectUnit(unsigned unit);
    /// Binds `name` as the array buffer; arrays pointed before point into the buffer bound then.
    void BindArrayBuffer(unsigned name);

private:
    enum Switch {
        kLighting,
        kFog,
        kColourSum,
        kCullFace,
        kVertexArray,
        kColourArray,
        kSecondaryArray,
        kFogArray,
        kSwitches
    };
    /// The switch of a capability or client array this shadow keeps.
    static Switch SwitchOf(unsigned capability);
    void EnableArray(unsigned array, bool on);
    void EnableTextureCoordinates(unsigned unit, bool on);
    void SelectClientUnit(unsigned unit);

    /// Known switch states; empty when unknown.
    std::array<std::optional<bool>, kSwitches> m_switches{};
    std::array<std::optional<bool>, kUnits> m_textureCoordinates{};
    std::array<std::optional<unsigned>, kUnits> m_textures{}; ///< 0: texturing off on the unit
    std::optional<unsigned> m_activeUnit;
    std::optional<unsigned> m_clientUnit;
    std::optional<unsigned> m_arrayBuffer;
    std::optional<VertexArrays> m_arrays; ///< as pointed into m_arrayBuffer
    std::optional<Fog> m_fog;
    std::optional<unsigned> m_culledFace;
    std::array<std::optional<StencilFace>, 2> m_stencilFaces; ///< front, back
};
