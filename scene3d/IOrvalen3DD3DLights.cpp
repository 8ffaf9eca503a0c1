// The scene's eight light slots: records kept here and given to the device by SetLight, and all of them
// again by ApplyLights, which the renderer calls after a device reset (the reset loses the device's lights).
#include "scene3d/IOrvalen3DD3D.h"

#include "renderer/IOrvalenD3D.h"

#include <new>

namespace {

/// The device light type of a host type (0 directional, 1 spot, 2 point); 0 for any other.
D3DLIGHTTYPE LightTypeOf(std::int32_t hostType) {
    switch (hostType) {
    case 0:
        return D3DLIGHT_DIRECTIONAL;
    case 1:
        return D3DLIGHT_SPOT;
    case 2:
        return D3DLIGHT_POINT;
    default:
        return static_cast<D3DLIGHTTYPE>(0);
    }
}

void AssignColour(D3DCOLORVALUE& colour, float r, float g, float b) {
    colour.r = r;
    colour.g = g;
    colour.b = b;
}

} // namespace

D3DLIGHT9* IOrvalen3DD3D::LightAt(std::int32_t index, const char* operation) const {
    D3DLIGHT9* light = index >= 0 && index < kLights ? Lights[index].get() : nullptr;
    if (light == nullptr) {
        Log("ERROR: %s Failed - Bad Index %d\n", operation, index);
    }
    return light;
}

bool IOrvalen3DD3D::CreateLight(std::int32_t type, std::int32_t index) {
    if (index < 0 || index >= kLights) {
        Log("ERROR: CreateLight Failed - Bad Index %d\n", index);
        return false;
    }
    if (Lights[index] != nullptr) {
        Log("ERROR: CreateLight Failed - Light #%d Already Exists\n", index);
        return false;
    }
    // A light of no valid type would be refused by the device while SetLight reports success.
    const D3DLIGHTTYPE deviceType = LightTypeOf(type);
    if (deviceType == 0) {
        Log("ERROR: CreateLight Failed - Bad Type %d\n", type);
        return false;
    }
    Lights[index].reset(new (std::nothrow) D3DLIGHT9{});
    if (Lights[index] == nullptr) {
        return false;
    }
    Lights[index]->Type = deviceType;
    Lights[index]->Falloff = 1.0f;
    Lights[index]->Attenuation0 = 1.0f;
    return true;
}

void IOrvalen3DD3D::DestroyLight(std::int32_t index) {
    if (index < 0 || index >= kLights || Lights[index] == nullptr) {
        Log("ERROR: DestroyLight Failed - Light #%d Doesn't Exist\n", index);
        return;
    }
    // The device's light of this index stays as it is.
    Lights[index].reset();
}

void IOrvalen3DD3D::SetLightDiffuse(float r, float g, float b, std::int32_t index) {
    if (D3DLIGHT9* light = LightAt(index, "SetLightDiffuse")) {
        AssignColour(light->Diffuse, r, g, b);
    }
}

void IOrvalen3DD3D::SetLightAmbient(float r, float g, float b, std::int32_t index) {
    if (D3DLIGHT9* light = LightAt(index, "SetLightAmbient")) {
        AssignColour(light->Ambient, r, g, b);
    }
}

void IOrvalen3DD3D::SetLightSpecular(float r, float g, float b, std::int32_t index) {
    if (D3DLIGHT9* light = LightAt(index, "SetLightSpecular")) {
        AssignColour(light->Specular, r, g, b);
    }
}

void IOrvalen3DD3D::SetPosition(float x, float y, float z, std::int32_t index) {
    if (D3DLIGHT9* light = LightAt(index, "SetPosition")) {
        light->Position = D3DVECTOR{x, y, z};
    }
}

void IOrvalen3DD3D::SetDirection(float x, float y, float z, std::int32_t index) {
    if (D3DLIGHT9* light = LightAt(index, "SetDirection")) {
        light->Direction = D3DVECTOR{x, y, z};
    }
}

void IOrvalen3DD3D::SetRange(float range, float innerCone, float outerCone, std::int32_t index) {
    if (D3DLIGHT9* light = LightAt(index, "SetRange")) {
        light->Range = range;
        light->Theta = innerCone;
        light->Phi = outerCone;
    }
}

void IOrvalen3DD3D::SetAttenuation(float a0, float a1, float a2, std::int32_t index) {
    if (D3DLIGHT9* light = LightAt(index, "SetAttenuation")) {
        light->Attenuation0 = a0;
        light->Attenuation1 = a1;
        light->Attenuation2 = a2;
    }
}

bool IOrvalen3DD3D::SetLight(std::int32_t index) {
    D3DLIGHT9* light = LightAt(index, "SetLight");
    if (light == nullptr) {
        return false;
    }
    if (Renderer != nullptr && Renderer->Device != nullptr) {
        Renderer->Device->SetLight(static_cast<DWORD>(index), light);
        Renderer->Device->LightEnable(static_cast<DWORD>(index), TRUE);
    }
    Reserved47();
    return true;
}

bool IOrvalen3DD3D::UnsetLight(std::int32_t index) {
    if (LightAt(index, "UnsetLight") == nullptr) {
        return false;
    }
    if (Renderer != nullptr && Renderer->Device != nullptr) {
        Renderer->Device->LightEnable(static_cast<DWORD>(index), FALSE);
    }
    return true;
}

void IOrvalen3DD3D::ApplyLights() {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return;
    }
    IDirect3DDevice9* device = Renderer->Device;
    // Lights the host switched off with UnsetLight come back on too.
    for (int index = 0; index < kLights; ++index) {
        if (Lights[index] != nullptr) {
            device->SetLight(static_cast<DWORD>(index), Lights[index].get());
            device->LightEnable(static_cast<DWORD>(index), TRUE);
        }
    }
}

void IOrvalen3DD3D::Reserved47() {}
