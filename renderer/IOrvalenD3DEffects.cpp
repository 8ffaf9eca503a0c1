// Shader effects of the renderer: eight slots of compiled effect files, the technique begun on one of
// them, and the parameters the host feeds them by name.
#include "renderer/IOrvalenD3D.h"

#include "renderer/SceneHooks.h"
#include "renderer/TextureSlot.h"

#include <algorithm>
#include <cstring>

namespace {

/// A name for a log line; hosts may pass null.
const char* Printable(const char* text) {
    return text != nullptr ? text : "(null)";
}

} // namespace

bool IOrvalenD3D::IsEffectSlot(const char* operation, std::int32_t index) {
    if (index < 0 || index >= kEffectSlots) {
        Log("ERROR: %s Failed - Bad Index %d\n", operation, index);
        return false;
    }
    return true;
}

ID3DXEffect* IOrvalenD3D::LoadedEffect(const char* operation, std::int32_t index) {
    if (!IsEffectSlot(operation, index)) {
        return nullptr;
    }
    if (Effects[index] == nullptr) {
        Log("ERROR: %s Failed - No Effect In Slot %d\n", operation, index);
    }
    return Effects[index];
}

void IOrvalenD3D::EndCurrentEffect() {
    if (CurrentEffect >= 0 && Effects[CurrentEffect] != nullptr) {
        Effects[CurrentEffect]->End();
    }
    CurrentEffect = -1;
    EffectPassCount = 0;
}

void IOrvalenD3D::ReleaseEffect(std::int32_t index) {
    if (Effects[index] == nullptr) {
        return;
    }
    // An effect is not left begun behind the drawing code's back, nor named once it is gone.
    if (CurrentEffect == index) {
        EndCurrentEffect();
    }
    Effects[index]->Release();
    Effects[index] = nullptr;
}

bool IOrvalenD3D::LoadShaderEffect(const char* file, std::int32_t index) {
    if (!IsEffectSlot("LoadShaderEffect", index)) {
        return false;
    }
    if (file == nullptr) {
        Log("ERROR: LoadShaderEffect Failed - No File Name\n");
        return false;
    }
    // Compiled into a local: a failed load leaves the slot's effect as it was.
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT result =
        D3DXCreateEffectFromFileA(Device, file, nullptr, nullptr, 0, nullptr, &effect, &errors);
    if (FAILED(result)) {
        if (errors != nullptr) {
            Log("ERROR: ShaderEffect Failed - FX Compile Error <%s>\n",
                static_cast<const char*>(errors->GetBufferPointer()));
            errors->Release();
        } else {
            Log("ERROR: LoadShaderEffect Failed - Couldn't Read <%s>\n", file);
        }
        return false;
    }
    if (errors != nullptr) {
        errors->Release();
    }
    ReleaseEffect(index);
    Effects[index] = effect;
    return true;
}

void IOrvalenD3D::UnloadShaderEffect(std::int32_t index) {
    if (IsEffectSlot("UnloadShaderEffect", index)) {
        ReleaseEffect(index);
    }
}

bool IOrvalenD3D::SetShaderEffect(std::int32_t index, const char* technique) {
    ID3DXEffect* effect = LoadedEffect("SetShaderEffect", index);
    if (effect == nullptr) {
        return false;
    }
    if (FAILED(effect->SetTechnique(technique))) {
        Log("ERROR: SetShaderEffect Failed To Set Technique <%s>\n", Printable(technique));
        return false;
    }
    // Only the current effect is begun: one left begun behind it could never be begun again, and the
    // drawing code would not know to end its passes.
    EndCurrentEffect();
    if (FAILED(effect->Begin(&EffectPassCount, 0))) {
        Log("ERROR: SetShaderEffect Failed To Begin Shader\n");
        return false;
    }
    CurrentEffect = index;
    return true;
}

bool IOrvalenD3D::EndShaderEffect(std::int32_t index) {
    ID3DXEffect* effect = LoadedEffect("EndShaderEffect", index);
    if (effect == nullptr) {
        return false;
    }
    effect->End();
    if (CurrentEffect == index) {
        CurrentEffect = -1;
    }
    return true;
}

bool IOrvalenD3D::CheckShaderTechnique(std::int32_t index, const char* technique) {
    ID3DXEffect* effect = LoadedEffect("CheckShaderTechnique", index);
    return effect != nullptr && SUCCEEDED(effect->ValidateTechnique(technique));
}

bool IOrvalenD3D::SetShaderMatrix(std::int32_t index, const char* parameter, D3DXMATRIX matrix) {
    ID3DXEffect* effect = LoadedEffect("SetShaderMatrix", index);
    return effect != nullptr && SUCCEEDED(effect->SetMatrix(parameter, &matrix));
}

bool IOrvalenD3D::BindMaterialTexture(ID3DXEffect* effect, const char* parameter, std::int32_t count,
                                      char* const* names, IDirect3DTexture9* const* textures,
                                      const char* material) {
    // The tables hold 1000 groups whatever the count claims.
    count = std::min(count, kSceneMaxMaterials);
    if (material != nullptr && names != nullptr) {
        for (std::int32_t group = 0; group < count; ++group) {
            if (names[group] != nullptr && std::strcmp(names[group], material) == 0) {
                IDirect3DTexture9* texture = textures != nullptr ? textures[group] : nullptr;
                return SUCCEEDED(effect->SetTexture(parameter, texture));
            }
        }
    }
    Log("ERROR: SetShaderTexture Error - Material <%s> Wasn't Found\n", Printable(material));
    return false;
}

bool IOrvalenD3D::SetShaderTexture(std::int32_t index, const char* parameter, IOrvalen3DLevelObject* level,
                                   const char* material) {
    ID3DXEffect* effect = LoadedEffect("SetShaderTexture", index);
    if (effect == nullptr) {
        return false;
    }
    if (level == nullptr) {
        Log("ERROR: SetShaderTexture Failed - No Level\n");
        return false;
    }
    const SceneMaterials materials = MaterialsOf(*level);
    return BindMaterialTexture(effect, parameter, materials.count, materials.names, materials.textures,
                               material);
}

bool IOrvalenD3D::SetShaderTexture(std::int32_t index, const char* parameter, IOrvalen3DObject* object,
                                   const char* material) {
    ID3DXEffect* effect = LoadedEffect("SetShaderTexture", index);
    if (effect == nullptr) {
        return false;
    }
    if (object == nullptr) {
        Log("ERROR: SetShaderTexture Failed - No Object\n");
        return false;
    }
    const SceneMaterials materials = MaterialsOf(*object);
    return BindMaterialTexture(effect, parameter, materials.count, materials.names, materials.textures,
                               material);
}

bool IOrvalenD3D::SetShaderTexture(std::int32_t index, const char* parameter, std::int32_t textureSlot) {
    ID3DXEffect* effect = LoadedEffect("SetShaderTexture", index);
    if (effect == nullptr) {
        return false;
    }
    const TextureSlot* entry = TextureEntry("SetShaderTexture", textureSlot);
    return entry != nullptr && SUCCEEDED(effect->SetTexture(parameter, entry->Texture));
}

bool IOrvalenD3D::SetShaderVector(std::int32_t index, const char* parameter, float x, float y, float z) {
    ID3DXEffect* effect = LoadedEffect("SetShaderVector", index);
    const D3DXVECTOR4 vector(x, y, z, 1.0f);
    return effect != nullptr && SUCCEEDED(effect->SetVector(parameter, &vector));
}
