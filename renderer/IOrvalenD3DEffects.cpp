// Shader effects of the renderer: no effect can be loaded yet, so every operation reports failure.
#include "renderer/IOrvalenD3D.h"

bool IOrvalenD3D::LoadShaderEffect(const char*, std::int32_t) {
    return false;
}

void IOrvalenD3D::UnloadShaderEffect(std::int32_t) {}

bool IOrvalenD3D::SetShaderEffect(std::int32_t, const char*) {
    return false;
}

bool IOrvalenD3D::EndShaderEffect(std::int32_t) {
    return false;
}

bool IOrvalenD3D::CheckShaderTechnique(std::int32_t, const char*) {
    return false;
}

bool IOrvalenD3D::SetShaderMatrix(std::int32_t, const char*, D3DXMATRIX) {
    return false;
}

bool IOrvalenD3D::SetShaderTexture(std::int32_t, const char*, IOrvalen3DLevelObject*, const char*) {
    return false;
}

bool IOrvalenD3D::SetShaderTexture(std::int32_t, const char*, IOrvalen3DObject*, const char*) {
    return false;
}

bool IOrvalenD3D::SetShaderTexture(std::int32_t, const char*, std::int32_t) {
    return false;
}

bool IOrvalenD3D::SetShaderVector(std::int32_t, const char*, float, float, float) {
    return false;
}
