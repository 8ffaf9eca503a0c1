#pragma once
// The fixed-function state of one device (render states, sampler states, lights and material) as the
// device reports it, and its translation into the OpenGL state of the device's context. The context
// must be current whenever a state is set. Draws take their lighting and fog from the device's own
// vertex processor, which reads the lights, material and fog states kept here.

#include "platform/Direct3D9.h"
#include "platform/GLStateShadow.h"

#include <array>
#include <map>
#include <optional>

class FixedFunctionState {
public:
    static constexpr DWORD kSamplers = 16;
    static constexpr DWORD kLitLights = 8; ///< lights that can be enabled at once

    static bool IsRenderState(DWORD state);
    static bool IsSamplerState(DWORD sampler, DWORD type);

    /// Lighting, fog and culling, which draws change too, go to OpenGL through `shadow`.
    explicit FixedFunctionState(GLStateShadow& shadow) : m_shadow(shadow) {}

    /// Every state back to the device's default, given to OpenGL; no lights. Depth testing starts on
    /// only when the device has a depth buffer.
    void Reset(bool hasDepthBuffer);

    DWORD RenderState(D3DRENDERSTATETYPE state) const { return m_renderStates[state]; }
    void SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    DWORD SamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) const { return m_samplers[sampler][type]; }
    void SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value);

    /// The light kept at `index`; none when it was never set or enabled.
    std::optional<D3DLIGHT9> Light(DWORD index) const;
    void SetLight(DWORD index, const D3DLIGHT9& light);
    /// False when more than kLitLights lights would be on.
    bool EnableLight(DWORD index, bool enable);
    std::optional<bool> LightEnabled(DWORD index) const;
    /// The lights switched on, in index order, into `lights`; returns how many there are.
    std::size_t EnabledLights(std::array<const D3DLIGHT9*, kLitLights>& lights) const;
    const D3DMATERIAL9& Material() const { return m_material; }
    void SetMaterial(const D3DMATERIAL9& material);
    /// Lights are given in world space: OpenGL places them with the view matrix current at the time.
    void SetViewMatrix(const D3DMATRIX& view);
    /// The stencil test of OpenGL's front faces (the screen-clockwise ones) or of its back faces: with
    /// two-sided stencil off, both take the clockwise states. Drawing sends them, since only the faces a
    /// draw does not cull need theirs.
    GLStateShadow::StencilFace StencilTest(bool back) const;
    /// The fog parameters of the fog states: the table fog's mode if there is one, the vertex fog's
    /// otherwise, and the fragment's depth as the fog coordinate.
    GLStateShadow::Fog FogParameters() const;

private:
    struct LightSlot {
        D3DLIGHT9 light;
        bool enabled = false;
    };

    void Apply(D3DRENDERSTATETYPE state);
    void ApplyDepth();
    void ApplyCull();
    void ApplyAlphaTest();
    void ApplyBlend();
    DWORD FogMode() const;
    void ApplyFog();
    void ApplyStencil();
    void ApplyColorMaterial();
    void ApplyMaterial();
    void ApplyLights();

    GLStateShadow& m_shadow;
    std::array<DWORD, 256> m_renderStates{};
    std::array<std::array<DWORD, 11>, kSamplers> m_samplers{};
    std::map<DWORD, LightSlot> m_lights;
    D3DMATERIAL9 m_material{};
    D3DMATRIX m_view{};
    bool m_hasDepthBuffer = false;
};
