// Render states, fog and texture filters of the renderer: the getters answer the cached values of
// construction; the setters change nothing yet, and the two with a result report failure.
#include "renderer/IOrvalenD3D.h"

void IOrvalenD3D::SetZBuffer(bool) {}

bool IOrvalenD3D::GetZBuffer() {
    return ZBufferEnabled;
}

void IOrvalenD3D::SetCullMode(std::int32_t) {}

std::int32_t IOrvalenD3D::GetCullMode() {
    return CullMode;
}

void IOrvalenD3D::SetShadeMode(std::int32_t) {}

std::int32_t IOrvalenD3D::GetShadeMode() {
    return ShadeMode;
}

void IOrvalenD3D::SetWireframe(bool) {}

bool IOrvalenD3D::GetWireframe() {
    return Wireframe;
}

void IOrvalenD3D::SetPointMode(bool) {}

bool IOrvalenD3D::GetPointMode() {
    return PointMode;
}

void IOrvalenD3D::SetAntialiasedLines(bool) {}

bool IOrvalenD3D::GetAntialiasedLines() {
    return AntialiasedLines;
}

void IOrvalenD3D::SetAlphaBlend(bool, std::int32_t) {}

void IOrvalenD3D::SetAlphaBlend(bool) {}

bool IOrvalenD3D::GetAlphaBlend() {
    return AlphaBlend;
}

void IOrvalenD3D::SetAlphaTest(bool) {}

bool IOrvalenD3D::GetAlphaTest() {
    return AlphaTest;
}

bool IOrvalenD3D::SetFog(bool, std::int32_t, float, float, float, std::uint32_t) {
    return false;
}

bool IOrvalenD3D::GetFog() {
    return FogEnabled;
}

void IOrvalenD3D::SetLighting(bool) {}

bool IOrvalenD3D::GetLighting() {
    return Lighting;
}

void IOrvalenD3D::SetRenderFlag(bool) {}

bool IOrvalenD3D::GetRenderFlag() {
    return RenderFlag;
}

bool IOrvalenD3D::SetFilter(std::int32_t) {
    return false;
}

std::int32_t IOrvalenD3D::GetFilter() {
    return FilterType;
}
