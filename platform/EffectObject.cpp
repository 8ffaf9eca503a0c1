#include "platform/EffectObject.h"

#include "platform/FaultInjector.h"
#include "platform/LiveObjectCounter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kInterfaceName = "ID3DXEffect";

/// A value as a parameter of that type holds it: ints drop their fraction, bools are 0 or 1.
float Converted(EffectDescription::ParameterType type, float value) {
    switch (type) {
    case EffectDescription::ParameterType::Int:
        return std::isfinite(value) ? std::trunc(value) : 0.0f;
    case EffectDescription::ParameterType::Bool:
        return value != 0.0f ? 1.0f : 0.0f;
    default:
        return value;
    }
}

} // namespace

EffectObject::EffectObject(IDirect3DDevice9* device, EffectDescription description)
    : m_device(device), m_description(std::move(description)),
      m_technique(m_description.techniques.empty() ? -1 : 0) {
    m_textures.resize(m_description.parameters.size(), nullptr);
    m_device->AddRef();
    LiveObjectCounter::Instance().Born(kInterfaceName);
}

EffectObject::~EffectObject() {
    RestoreStages();
    for (IDirect3DBaseTexture9* texture : m_textures) {
        if (texture != nullptr) {
            texture->Release();
        }
    }
    LiveObjectCounter::Instance().Died(kInterfaceName);
    m_device->Release();
}

ULONG EffectObject::AddRef() {
    return ++m_references;
}

ULONG EffectObject::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

void EffectObject::BindPassTextures() {
    constexpr DWORD kStages = 8;
    DWORD stage = 0;
    for (std::size_t i = 0; i < m_description.parameters.size() && stage < kStages; ++i) {
        const EffectDescription::Parameter& parameter = m_description.parameters[i];
        if (parameter.type != EffectDescription::ParameterType::Texture || parameter.elements != 0) {
            continue;
        }
        IDirect3DBaseTexture9* previous = nullptr;
        m_device->GetTexture(stage, &previous);
        m_savedStages.push_back(previous);
        // A texture the device cannot take leaves the stage as it was.
        m_device->SetTexture(stage, m_textures[i]);
        ++stage;
    }
}

void EffectObject::RestoreStages() {
    for (std::size_t stage = 0; stage < m_savedStages.size(); ++stage) {
        IDirect3DBaseTexture9* previous = m_savedStages[stage];
        m_device->SetTexture(static_cast<DWORD>(stage), previous);
        if (previous != nullptr) {
            previous->Release();
        }
    }
    m_savedStages.clear();
}

int EffectObject::TechniqueIndex(D3DXHANDLE name) const {
    if (name == nullptr) {
        return -1;
    }
    const std::vector<EffectDescription::Technique>& techniques = m_description.techniques;
    const auto found = std::find_if(
        techniques.begin(), techniques.end(),
        [name](const EffectDescription::Technique& technique) { return technique.name == name; });
    return found == techniques.end() ? -1 : static_cast<int>(found - techniques.begin());
}

EffectDescription::Parameter* EffectObject::NumericParameter(D3DXHANDLE name, bool matrix) {
    if (name == nullptr) {
        return nullptr;
    }
    auto* parameter = const_cast<EffectDescription::Parameter*>(m_description.FindParameter(name));
    if (parameter == nullptr || !parameter->IsNumeric() || parameter->elements != 0 ||
        parameter->isMatrix != matrix) {
        return nullptr;
    }
    return parameter;
}

int EffectObject::TextureIndex(D3DXHANDLE name) const {
    if (name == nullptr) {
        return -1;
    }
    const EffectDescription::Parameter* parameter = m_description.FindParameter(name);
    if (parameter == nullptr || parameter->type != EffectDescription::ParameterType::Texture ||
        parameter->elements != 0) {
        return -1;
    }
    return static_cast<int>(parameter - m_description.parameters.data());
}

HRESULT EffectObject::SetTechnique(D3DXHANDLE technique) {
    TracedOperation call("ID3DXEffect::SetTechnique", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const int index = TechniqueIndex(technique);
    if (index < 0) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_technique = index;
    return call.Return(D3D_OK);
}

HRESULT EffectObject::ValidateTechnique(D3DXHANDLE technique) {
    TracedOperation call("ID3DXEffect::ValidateTechnique", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(E_FAIL));
    }
    // Every pass draws with the fixed-function pipeline, which any device has.
    return call.Return(TechniqueIndex(technique) < 0 ? D3DERR_INVALIDCALL : D3D_OK);
}

HRESULT EffectObject::Begin(UINT* passes, DWORD flags) {
    TracedOperation call("ID3DXEffect::Begin", {flags});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (passes == nullptr || m_running >= 0 || m_technique < 0) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_running = m_technique;
    *passes = static_cast<UINT>(m_description.techniques[static_cast<std::size_t>(m_running)].passes.size());
    return call.Return(D3D_OK);
}

HRESULT EffectObject::BeginPass(UINT pass) {
    TracedOperation call("ID3DXEffect::BeginPass", {pass});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (m_running < 0 || m_pass >= 0 ||
        pass >= m_description.techniques[static_cast<std::size_t>(m_running)].passes.size()) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_pass = static_cast<int>(pass);
    BindPassTextures();
    return call.Return(D3D_OK);
}

HRESULT EffectObject::EndPass() {
    TracedOperation call("ID3DXEffect::EndPass", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (m_pass < 0) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    RestoreStages();
    m_pass = -1;
    return call.Return(D3D_OK);
}

HRESULT EffectObject::End() {
    TracedOperation call("ID3DXEffect::End", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (m_running < 0) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    RestoreStages();
    m_pass = -1;
    m_running = -1;
    return call.Return(D3D_OK);
}

HRESULT EffectObject::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    TracedOperation call("ID3DXEffect::SetMatrix", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    EffectDescription::Parameter* target = NumericParameter(parameter, true);
    if (target == nullptr || matrix == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    for (int row = 0; row < target->rows; ++row) {
        for (int column = 0; column < target->columns; ++column) {
            target->values[static_cast<std::size_t>(row * target->columns + column)] =
                Converted(target->type, matrix->m[row][column]);
        }
    }
    return call.Return(D3D_OK);
}

HRESULT EffectObject::GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) {
    TracedOperation call("ID3DXEffect::GetMatrix", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const EffectDescription::Parameter* source = NumericParameter(parameter, true);
    if (source == nullptr || matrix == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *matrix = D3DXMATRIX();
    for (int row = 0; row < source->rows; ++row) {
        for (int column = 0; column < source->columns; ++column) {
            matrix->m[row][column] = source->values[static_cast<std::size_t>(row * source->columns + column)];
        }
    }
    return call.Return(D3D_OK);
}

HRESULT EffectObject::SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) {
    TracedOperation call("ID3DXEffect::SetVector", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    EffectDescription::Parameter* target = NumericParameter(parameter, false);
    if (target == nullptr || vector == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    const float components[4] = {vector->x, vector->y, vector->z, vector->w};
    for (std::size_t i = 0; i < target->values.size(); ++i) {
        target->values[i] = Converted(target->type, components[i]);
    }
    return call.Return(D3D_OK);
}

HRESULT EffectObject::GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) {
    TracedOperation call("ID3DXEffect::GetVector", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const EffectDescription::Parameter* source = NumericParameter(parameter, false);
    if (source == nullptr || vector == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    float components[4] = {};
    std::copy(source->values.begin(), source->values.end(), components);
    *vector = D3DXVECTOR4(components[0], components[1], components[2], components[3]);
    return call.Return(D3D_OK);
}

HRESULT EffectObject::SetFloat(D3DXHANDLE parameter, FLOAT value) {
    TracedOperation call("ID3DXEffect::SetFloat", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    EffectDescription::Parameter* target = NumericParameter(parameter, false);
    if (target == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    target->values[0] = Converted(target->type, value);
    return call.Return(D3D_OK);
}

HRESULT EffectObject::GetFloat(D3DXHANDLE parameter, FLOAT* value) {
    TracedOperation call("ID3DXEffect::GetFloat", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const EffectDescription::Parameter* source = NumericParameter(parameter, false);
    if (source == nullptr || value == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *value = source->values[0];
    return call.Return(D3D_OK);
}

HRESULT EffectObject::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    TracedOperation call("ID3DXEffect::SetTexture", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const int index = TextureIndex(parameter);
    if (index < 0) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    // Referenced before the old one goes, in case they are the same texture.
    if (texture != nullptr) {
        texture->AddRef();
    }
    IDirect3DBaseTexture9*& held = m_textures[static_cast<std::size_t>(index)];
    if (held != nullptr) {
        held->Release();
    }
    held = texture;
    return call.Return(D3D_OK);
}

HRESULT EffectObject::GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) {
    TracedOperation call("ID3DXEffect::GetTexture", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const int index = TextureIndex(parameter);
    if (index < 0 || texture == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *texture = m_textures[static_cast<std::size_t>(index)];
    if (*texture != nullptr) {
        (*texture)->AddRef();
    }
    return call.Return(D3D_OK);
}
