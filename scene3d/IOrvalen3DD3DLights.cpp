// The scene's eight light slots. Only ApplyLights, which the renderer calls after a device reset, is
// in place; making and changing lights is not, so every other operation reports failure.
#include "scene3d/IOrvalen3DD3D.h"

#include "renderer/IOrvalenD3D.h"

void IOrvalen3DD3D::ApplyLights() {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return;
    }
    IDirect3DDevice9* device = Renderer->Device;
    for (int index = 0; index < kLights; ++index) {
        if (Lights[index] != nullptr) {
            device->SetLight(static_cast<DWORD>(index), Lights[index].get());
            device->LightEnable(static_cast<DWORD>(index), TRUE);
        }
    }
}

bool IOrvalen3DD3D::CreateLight(std::int32_t, std::int32_t) {
    return false;
}

void IOrvalen3DD3D::DestroyLight(std::int32_t) {}

void IOrvalen3DD3D::SetLightDiffuse(float, float, float, std::int32_t) {}

void IOrvalen3DD3D::SetLightAmbient(float, float, float, std::int32_t) {}

void IOrvalen3DD3D::SetLightSpecular(float, float, float, std::int32_t) {}

void IOrvalen3DD3D::SetPosition(float, float, float, std::int32_t) {}

void IOrvalen3DD3D::SetDirection(float, float, float, std::int32_t) {}

void IOrvalen3DD3D::SetRange(float, float, float, std::int32_t) {}

void IOrvalen3DD3D::SetAttenuation(float, float, float, std::int32_t) {}

bool IOrvalen3DD3D::SetLight(std::int32_t) {
    return false;
}

bool IOrvalen3DD3D::UnsetLight(std::int32_t) {
    return false;
}

void IOrvalen3DD3D::Reserved47() {}
