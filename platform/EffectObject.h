#pragma once
// A compiled effect: the parameters an effect file declares, holding their current values, and its
// techniques. Passes draw with the device's fixed-function pipeline.

#include "platform/D3DXEffect.h"
#include "platform/EffectDescription.h"

#include <vector>

class EffectObject final : public ID3DXEffect {
public:
    /// Takes a reference to `device`, which must be live, until the effect is freed.
    EffectObject(IDirect3DDevice9* device, EffectDescription description);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT SetTechnique(D3DXHANDLE technique) override;
    HRESULT ValidateTechnique(D3DXHANDLE technique) override;
    HRESULT Begin(UINT* passes, DWORD flags) override;
    HRESULT BeginPass(UINT pass) override;
    HRESULT EndPass() override;
    HRESULT End() override;
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override;
    HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override;
    HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) override;
    HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) override;
    HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) override;
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) override;

private:
    ~EffectObject() override;
    /// The technique's index; -1 for an unknown or null name.
    int TechniqueIndex(D3DXHANDLE name) const;
    /// The numeric parameter of that name, not an array, that is (or is not) a matrix; null otherwise.
    EffectDescription::Parameter* NumericParameter(D3DXHANDLE name, bool matrix);
    /// The index of the texture parameter of that name, not an array; -1 otherwise.
    int TextureIndex(D3DXHANDLE name) const;
    /// Gives the device's texture stages, from 0 on, the texture parameters in declaration order,
    /// keeping what the stages held.
    void BindPassTextures();
    /// Gives the stages back what they held before the pass.
    void RestoreStages();

    ULONG m_references = 1;
    IDirect3DDevice9* m_device;                     ///< holds one reference
    EffectDescription m_description;                ///< its parameters' values are the current ones
    std::vector<IDirect3DBaseTexture9*> m_textures; ///< by parameter index; one reference each, null for none
    int m_technique = -1;                           ///< the technique Begin starts; -1 when the file has none
    int m_running = -1;                             ///< the technique between Begin and End; -1 outside
    int m_pass = -1;                                ///< the pass between BeginPass and EndPass; -1 outside
    std::vector<IDirect3DBaseTexture9*> m_savedStages; ///< during a pass, by stage; one reference each
};
