#include "platform/Direct3DObject.h"

#include "platform/AdapterState.h"
#include "platform/Direct3DDevice.h"
#include "platform/FaultInjector.h"
#include "platform/LiveObjectCounter.h"
#include "platform/WindowRegistry.h"

namespace {

constexpr const char* kInterfaceName = "IDirect3D9";

} // namespace

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    TracedOperation call("Direct3DCreate9", {sdkVersion});
    if (call.Faulted() || sdkVersion != D3D_SDK_VERSION) {
        call.Return(D3DERR_NOTAVAILABLE);
        return nullptr;
    }
    call.Return(D3D_OK);
    return new Direct3DObject();
}

Direct3DObject::Direct3DObject() {
    LiveObjectCounter::Instance().Born(kInterfaceName);
}

Direct3DObject::~Direct3DObject() {
    LiveObjectCounter::Instance().Died(kInterfaceName);
}

ULONG Direct3DObject::AddRef() {
    return ++m_references;
}

ULONG Direct3DObject::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT Direct3DObject::CheckAdapter(UINT adapter, D3DDEVTYPE deviceType) {
    if (adapter != D3DADAPTER_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    return deviceType == D3DDEVTYPE_HAL ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DObject::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    TracedOperation call("IDirect3D9::GetAdapterDisplayMode", {adapter});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (adapter != D3DADAPTER_DEFAULT || mode == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *mode = AdapterState::Instance().Configuration().desktopMode;
    return call.Return(D3D_OK);
}

HRESULT Direct3DObject::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                               D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) {
    TracedOperation call("IDirect3D9::CheckDepthStencilMatch",
                         {adapter, deviceType, adapterFormat, renderTargetFormat, depthStencilFormat},
                         depthStencilFormat);
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_NOTAVAILABLE));
    }
    if (const HRESULT refused = CheckAdapter(adapter, deviceType); FAILED(refused)) {
        return call.Return(refused);
    }
    if (!AdapterState::IsBackBufferFormat(adapterFormat) ||
        !AdapterState::IsBackBufferFormat(renderTargetFormat)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    const bool offered = AdapterState::Instance().OffersDepthStencil(depthStencilFormat);
    return call.Return(offered ? D3D_OK : D3DERR_NOTAVAILABLE);
}

HRESULT Direct3DObject::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType,
                                                   D3DFORMAT surfaceFormat, BOOL windowed,
                                                   D3DMULTISAMPLE_TYPE multiSampleType,
                                                   DWORD* qualityLevels) {
    TracedOperation call("IDirect3D9::CheckDeviceMultiSampleType",
                         {adapter, deviceType, surfaceFormat, windowed, multiSampleType}, multiSampleType);
    if (qualityLevels != nullptr) {
        *qualityLevels = 0;
    }
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_NOTAVAILABLE));
    }
    if (const HRESULT refused = CheckAdapter(adapter, deviceType); FAILED(refused)) {
        return call.Return(refused);
    }
    if (!AdapterState::IsBackBufferFormat(surfaceFormat) &&
        !AdapterState::IsDepthStencilFormat(surfaceFormat)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    if (!AdapterState::Instance().OffersMultisample(surfaceFormat, multiSampleType)) {
        return call.Return(D3DERR_NOTAVAILABLE);
    }
    if (qualityLevels != nullptr) {
        *qualityLevels = 1;
    }
    return call.Return(D3D_OK);
}

HRESULT Direct3DObject::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) {
    TracedOperation call("IDirect3D9::GetDeviceCaps", {adapter, deviceType});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (const HRESULT refused = CheckAdapter(adapter, deviceType); FAILED(refused)) {
        return call.Return(refused);
    }
    if (caps == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *caps = AdapterState::Instance().Configuration().caps;
    caps->DeviceType = deviceType;
    caps->AdapterOrdinal = adapter;
    return call.Return(D3D_OK);
}

HRESULT Direct3DObject::ValidatePresentation(HWND focusWindow, DWORD behaviorFlags,
                                             D3DPRESENT_PARAMETERS& parameters) {
    const DWORD processing =
        behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_HARDWARE_VERTEXPROCESSING && processing != D3DCREATE_MIXED_VERTEXPROCESSING) {
        return D3DERR_INVALIDCALL;
    }
    if (parameters.hDeviceWindow == nullptr) {
        parameters.hDeviceWindow = focusWindow;
    }
    const WindowRecord* window = WindowRegistry::Instance().Find(parameters.hDeviceWindow);
    if (window == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const AdapterState& adapter = AdapterState::Instance();
    if (parameters.Windowed) {
        if (parameters.BackBufferFormat == D3DFMT_UNKNOWN) {
            parameters.BackBufferFormat = adapter.Configuration().desktopMode.Format;
        }
        if (parameters.BackBufferWidth == 0) {
            parameters.BackBufferWidth = window->width;
        }
        if (parameters.BackBufferHeight == 0) {
            parameters.BackBufferHeight = window->height;
        }
        if (!AdapterState::IsBackBufferFormat(parameters.BackBufferFormat)) {
            return D3DERR_INVALIDCALL;
        }
    } else if (!adapter.OffersFullScreen(parameters.BackBufferFormat)) {
        return D3DERR_NOTAVAILABLE;
    }
    if (parameters.BackBufferWidth == 0 || parameters.BackBufferHeight == 0 ||
        parameters.BackBufferWidth > 16384 || parameters.BackBufferHeight > 16384) {
        return D3DERR_INVALIDCALL;
    }
    if (parameters.BackBufferCount == 0) {
        parameters.BackBufferCount = 1;
    }
    if (parameters.BackBufferCount > 3 || parameters.SwapEffect < D3DSWAPEFFECT_DISCARD ||
        parameters.SwapEffect > D3DSWAPEFFECT_COPY) {
        return D3DERR_INVALIDCALL;
    }
    if (parameters.EnableAutoDepthStencil && !adapter.OffersDepthStencil(parameters.AutoDepthStencilFormat)) {
        return D3DERR_INVALIDCALL;
    }
    if (parameters.MultiSampleType != D3DMULTISAMPLE_NONE) {
        const bool offered =
            adapter.OffersMultisample(parameters.BackBufferFormat, parameters.MultiSampleType) &&
            (!parameters.EnableAutoDepthStencil ||
             adapter.OffersMultisample(parameters.AutoDepthStencilFormat, parameters.MultiSampleType));
        if (!offered || parameters.SwapEffect != D3DSWAPEFFECT_DISCARD) {
            return D3DERR_INVALIDCALL;
        }
    }
    return D3D_OK;
}

HRESULT Direct3DObject::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                     DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                     IDirect3DDevice9** device) {
    TracedOperation call("IDirect3D9::CreateDevice", {adapter, deviceType, behaviorFlags});
    if (device == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *device = nullptr;
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_NOTAVAILABLE));
    }
    if (const HRESULT refused = CheckAdapter(adapter, deviceType); FAILED(refused)) {
        return call.Return(refused);
    }
    if (parameters == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    D3DPRESENT_PARAMETERS completed = *parameters;
    if (const HRESULT refused = ValidatePresentation(focusWindow, behaviorFlags, completed);
        FAILED(refused)) {
        return call.Return(refused);
    }
    Direct3DDevice* made = nullptr;
    const HRESULT result = Direct3DDevice::Create(this, behaviorFlags, completed, &made);
    if (FAILED(result)) {
        return call.Return(result);
    }
    *parameters = completed;
    *device = made;
    return call.Return(D3D_OK);
}
