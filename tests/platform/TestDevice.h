#pragma once
// The windowed device every device test starts from.

#include "platform/Direct3D9.h"

namespace test_device {

/// Windowed present parameters for `window`, back buffer of the window's size unless given, with an
/// automatic depth-stencil buffer of `depthStencil` (none for D3DFMT_UNKNOWN).
inline D3DPRESENT_PARAMETERS Windowed(HWND window, D3DFORMAT depthStencil = D3DFMT_D24S8, UINT width = 0,
                                      UINT height = 0) {
    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.Windowed = TRUE;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.EnableAutoDepthStencil = depthStencil != D3DFMT_UNKNOWN ? TRUE : FALSE;
    parameters.AutoDepthStencilFormat = depthStencil;
    return parameters;
}

/// A software-processing device on the default adapter drawing into `parameters.hDeviceWindow`.
inline HRESULT Create(IDirect3D9* direct3D, D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** device) {
    return direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, parameters.hDeviceWindow,
                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, device);
}

} // namespace test_device
