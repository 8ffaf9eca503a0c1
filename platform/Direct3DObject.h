#pragma once
// The Direct3D object: answers for the single adapter from its configuration and makes devices.

#include "platform/Direct3D9.h"

class Direct3DObject final : public IDirect3D9 {
public:
    Direct3DObject();

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT surfaceFormat,
                                       BOOL windowed, D3DMULTISAMPLE_TYPE multiSampleType,
                                       DWORD* qualityLevels) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;

    /// Completes and checks presentation parameters against the adapter and the window (device
    /// creation and reset alike).
    static HRESULT ValidatePresentation(HWND focusWindow, DWORD behaviorFlags,
                                        D3DPRESENT_PARAMETERS& parameters);

private:
    ~Direct3DObject() override;
    /// D3D_OK for the default adapter's hardware device, else the refusal.
    static HRESULT CheckAdapter(UINT adapter, D3DDEVTYPE deviceType);

    ULONG m_references = 1;
};
