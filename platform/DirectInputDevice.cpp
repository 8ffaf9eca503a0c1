#include "platform/DirectInputDevice.h"

#include "platform/FaultInjector.h"
#include "platform/InputState.h"
#include "platform/LiveObjectCounter.h"
#include "platform/WindowRegistry.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr const char* kInterfaceName = "IDirectInputDevice8";

/// Counts wrap around as the hardware's registers do, instead of overflowing.
LONG WrappingAdd(LONG value, LONG delta) {
    return static_cast<LONG>(static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(delta));
}

std::int64_t TraceValue(HWND window) {
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(window));
}

} // namespace

DirectInputDevice::DirectInputDevice(DWORD deviceType) : m_type(deviceType) {
    LiveObjectCounter::Instance().Born(kInterfaceName);
    InputState::Instance().Register(this);
}

DirectInputDevice::~DirectInputDevice() {
    InputState::Instance().Unregister(this);
    LiveObjectCounter::Instance().Died(kInterfaceName);
}

ULONG DirectInputDevice::AddRef() {
    return ++m_references;
}

ULONG DirectInputDevice::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

const DIDATAFORMAT& DirectInputDevice::StandardFormat() const {
    return m_type == DI8DEVTYPE_KEYBOARD ? c_dfDIKeyboard : c_dfDIMouse;
}

HRESULT DirectInputDevice::SetDataFormat(const DIDATAFORMAT* format) {
    TracedOperation call("IDirectInputDevice8::SetDataFormat",
                         {m_type, format != nullptr ? format->dwDataSize : 0});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(DIERR_INVALIDPARAM));
    }
    if (m_acquisition == Acquisition::Held) {
        return call.Return(DIERR_ACQUIRED);
    }
    // The standard formats are compared by content: each module may hold its own copy of them.
    const DIDATAFORMAT& standard = StandardFormat();
    if (format == nullptr || format->dwSize != standard.dwSize || format->dwFlags != standard.dwFlags ||
        format->dwDataSize != standard.dwDataSize) {
        return call.Return(DIERR_INVALIDPARAM);
    }
    m_formatSet = true;
    return call.Return(DI_OK);
}

HRESULT DirectInputDevice::SetCooperativeLevel(HWND window, DWORD flags) {
    TracedOperation call("IDirectInputDevice8::SetCooperativeLevel", {m_type, TraceValue(window), flags});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(DIERR_INVALIDPARAM));
    }
    if (m_acquisition == Acquisition::Held) {
        return call.Return(DIERR_ACQUIRED);
    }
    const DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
    const DWORD focus = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
    const DWORD known =
        DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
    const bool oneEach = (access == DISCL_EXCLUSIVE || access == DISCL_NONEXCLUSIVE) &&
                         (focus == DISCL_FOREGROUND || focus == DISCL_BACKGROUND);
    if (!oneEach || (flags & ~known) != 0 || WindowRegistry::Instance().Find(window) == nullptr) {
        return call.Return(DIERR_INVALIDPARAM);
    }
    m_window = window;
    m_cooperation = flags;
    return call.Return(DI_OK);
}

bool DirectInputDevice::WindowHoldsFocus() const {
    return InputState::Instance().HasFocus() && WindowRegistry::Instance().Find(m_window) != nullptr;
}

HRESULT DirectInputDevice::Acquire() {
    TracedOperation call("IDirectInputDevice8::Acquire", {m_type});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(DIERR_OTHERAPPHASPRIO));
    }
    if (!m_formatSet) {
        return call.Return(DIERR_INVALIDPARAM);
    }
    if (m_acquisition == Acquisition::Held) {
        return call.Return(DI_NOEFFECT);
    }
    if (Foreground() && !WindowHoldsFocus()) {
        return call.Return(DIERR_OTHERAPPHASPRIO);
    }
    m_acquisition = Acquisition::Held;
    std::memset(m_motion, 0, sizeof m_motion);
    return call.Return(DI_OK);
}

HRESULT DirectInputDevice::Unacquire() {
    TracedOperation call("IDirectInputDevice8::Unacquire", {m_type});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(DIERR_INVALIDPARAM));
    }
    const bool held = m_acquisition == Acquisition::Held;
    m_acquisition = Acquisition::None;
    return call.Return(held ? DI_OK : DI_NOEFFECT);
}

void DirectInputDevice::AddMotion(LONG dx, LONG dy, LONG dz) {
    if (m_type != DI8DEVTYPE_MOUSE || m_acquisition != Acquisition::Held) {
        return;
    }
    m_motion[0] = WrappingAdd(m_motion[0], dx);
    m_motion[1] = WrappingAdd(m_motion[1], dy);
    m_motion[2] = WrappingAdd(m_motion[2], dz);
}

void DirectInputDevice::FocusLost() {
    if (Foreground() && m_acquisition == Acquisition::Held) {
        m_acquisition = Acquisition::Lost;
    }
}

HRESULT DirectInputDevice::GetDeviceState(DWORD size, void* data) {
    TracedOperation call("IDirectInputDevice8::GetDeviceState", {m_type, size});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(DIERR_INPUTLOST));
    }
    if (m_acquisition == Acquisition::Held && Foreground() && !WindowHoldsFocus()) {
        m_acquisition = Acquisition::Lost;
    }
    if (m_acquisition == Acquisition::Lost) {
        m_acquisition = Acquisition::None;
        return call.Return(DIERR_INPUTLOST);
    }
    if (m_acquisition == Acquisition::None) {
        return call.Return(DIERR_NOTACQUIRED);
    }
    if (data == nullptr || size != StandardFormat().dwDataSize) {
        return call.Return(DIERR_INVALIDPARAM);
    }
    ReadState(data);
    return call.Return(DI_OK);
}

void DirectInputDevice::ReadState(void* data) {
    const InputState& input = InputState::Instance();
    if (m_type == DI8DEVTYPE_KEYBOARD) {
        std::memcpy(data, input.Keys().data(), input.Keys().size());
        return;
    }
    DIMOUSESTATE state{m_motion[0], m_motion[1], m_motion[2], {}};
    std::memcpy(state.rgbButtons, input.Buttons().data(), sizeof state.rgbButtons);
    std::memcpy(data, &state, sizeof state);
    std::memset(m_motion, 0, sizeof m_motion);
}
