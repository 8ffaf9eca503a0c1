#include "platform/DirectInputObject.h"

#include "platform/DirectInputDevice.h"
#include "platform/FaultInjector.h"
#include "platform/LiveObjectCounter.h"

namespace {

constexpr const char* kInterfaceName = "IDirectInput8";

/// The device type a device identifier names; 0 for a device this system doesn't have.
DWORD DeviceTypeOf(REFGUID device) {
    if (device == GUID_SysKeyboard) {
        return DI8DEVTYPE_KEYBOARD;
    }
    return device == GUID_SysMouse ? DI8DEVTYPE_MOUSE : 0;
}

} // namespace

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID interfaceId, void** made,
                           IUnknown* outer) {
    TracedOperation call("DirectInput8Create", {version});
    if (made == nullptr) {
        return call.Return(DIERR_INVALIDPARAM);
    }
    *made = nullptr;
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(DIERR_INVALIDPARAM));
    }
    if (version != DIRECTINPUT_VERSION) {
        return call.Return(version < DIRECTINPUT_VERSION ? DIERR_OLDDIRECTINPUTVERSION
                                                         : DIERR_BETADIRECTINPUTVERSION);
    }
    if (instance == nullptr) {
        return call.Return(DIERR_INVALIDPARAM);
    }
    if (outer != nullptr) {
        return call.Return(DIERR_NOAGGREGATION);
    }
    if (interfaceId != IID_IDirectInput8A) {
        return call.Return(DIERR_NOINTERFACE);
    }
    *made = static_cast<IDirectInput8A*>(new DirectInputObject());
    return call.Return(DI_OK);
}

DirectInputObject::DirectInputObject() {
    LiveObjectCounter::Instance().Born(kInterfaceName);
}

DirectInputObject::~DirectInputObject() {
    LiveObjectCounter::Instance().Died(kInterfaceName);
}

ULONG DirectInputObject::AddRef() {
    return ++m_references;
}

ULONG DirectInputObject::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT DirectInputObject::CreateDevice(REFGUID device, IDirectInputDevice8A** made, IUnknown* outer) {
    const DWORD type = DeviceTypeOf(device);
    TracedOperation call("IDirectInput8::CreateDevice", {type});
    if (made == nullptr) {
        return call.Return(DIERR_INVALIDPARAM);
    }
    *made = nullptr;
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(DIERR_DEVICENOTREG));
    }
    if (outer != nullptr) {
        return call.Return(DIERR_NOAGGREGATION);
    }
    if (type == 0) {
        return call.Return(DIERR_DEVICENOTREG);
    }
    *made = new DirectInputDevice(type);
    return call.Return(DI_OK);
}
