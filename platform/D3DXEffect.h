#pragma once
// Compiled shader effects of the Direct3D utility library. An effect file declares parameters (with
// types and default values) and techniques made of passes; the host picks a technique, sets
// parameters by name, and draws inside Begin/End and BeginPass/EndPass. Shader code is not compiled
// here: a pass draws with the device's fixed-function pipeline, with the effect's textures bound.

#include "platform/D3DXMath.h"
#include "platform/D3DXResults.h"
#include "platform/Direct3D9.h"

/// Names a parameter or technique: here always its name.
using D3DXHANDLE = const char*;

/// Begin flags: without them Begin saves the device state the passes change and End gives it back.
constexpr DWORD D3DXFX_DONOTSAVESTATE = 0x1;

/// A block of bytes made by the utility library, such as a compiler's error text.
struct ID3DXBuffer : IUnknown {
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};

/// Macros and include handlers for the effect compiler; none are used here.
struct D3DXMACRO;
struct ID3DXInclude;
struct ID3DXEffectPool;

/// A compiled effect; holds a reference to its device until it is released. Parameter and technique
/// names are matched exactly; an unknown or null name is refused with D3DERR_INVALIDCALL.
struct ID3DXEffect : IUnknown {
    /// The technique the next Begin starts; the first one of the file until another is set.
    virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;
    /// D3D_OK when the technique exists and its passes can draw on the device.
    virtual HRESULT ValidateTechnique(D3DXHANDLE technique) = 0;
    /// Starts the current technique and writes its pass count. Refused while already begun and for an
    /// effect without techniques.
    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    /// Sets the device up for one pass; refused outside Begin/End, inside another pass, or for a pass
    /// the technique does not have.
    virtual HRESULT BeginPass(UINT pass) = 0;
    virtual HRESULT EndPass() = 0;
    /// Ends the technique (and a pass left open), giving back the saved device state.
    virtual HRESULT End() = 0;

    /// Matrix parameters (floatRxC, matrix): the top-left R x C block of the matrix. GetMatrix fills
    /// the rest of the 4x4 with zeros.
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
    virtual HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) = 0;
    /// Scalar and vector parameters: as many leading components as the parameter has. GetVector
    /// fills the rest with zeros.
    virtual HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) = 0;
    virtual HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) = 0;
    /// Scalar parameters, or the first component of a vector.
    virtual HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) = 0;
    virtual HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) = 0;
    /// Texture parameters: holds a reference to `texture` (null empties the parameter) until it is
    /// replaced or the effect is freed.
    virtual HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) = 0;
    /// Hands out the parameter's texture with a reference added; null when it holds none.
    virtual HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) = 0;
};

/// Reads and compiles the effect file `file` for `device`. Compile errors give D3DXERR_INVALIDDATA
/// and, when `errors` is given, a buffer holding the message ("file(line,column): error: why", zero
/// terminated); a file that cannot be read gives E_FAIL and no buffer. D3DERR_INVALIDCALL for a
/// device that is not live or a null `file` or `effect`. Macros, include handlers, flags and pools are
/// not supported and must be null or 0.
HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, LPCSTR file, const D3DXMACRO* defines,
                                  ID3DXInclude* include, DWORD flags, ID3DXEffectPool* pool,
                                  ID3DXEffect** effect, ID3DXBuffer** errors);
