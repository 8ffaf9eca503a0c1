#include "renderer/IOrvalenD3DInput.h"

#include "renderer/IOrvalenD3D.h"

#include <initializer_list>

namespace {

constexpr std::uint8_t kDownBit = 0x80;
constexpr DWORD kCooperation = DISCL_FOREGROUND | DISCL_NONEXCLUSIVE;

/// The mouse position wraps around like the 32-bit counter it is, instead of overflowing.
std::int32_t WrappingAdd(std::int32_t value, std::int32_t delta) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(delta));
}

template <typename Object> void Release(Object*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

} // namespace

IOrvalenD3DInput::~IOrvalenD3DInput() {
    ReleaseDevices();
}

void IOrvalenD3DInput::ReleaseDevices() {
    for (IDirectInputDevice8A* device : {m_keyboard, m_mouse}) {
        if (device != nullptr) {
            device->Unacquire();
        }
    }
    Release(m_keyboard);
    Release(m_mouse);
    Release(m_directInput);
}

void IOrvalenD3DInput::SetRenderer(IOrvalenRenderer** renderer) {
    m_renderer = renderer != nullptr ? static_cast<IOrvalenD3D*>(*renderer) : nullptr;
}

std::int32_t IOrvalenD3DInput::Initialize() {
    // A second Initialize starts afresh instead of leaking the devices of the first.
    ReleaseDevices();
    void* made = nullptr;
    if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A, &made,
                                  nullptr))) {
        return 0;
    }
    m_directInput = static_cast<IDirectInput8A*>(made);
    if (!MakeDevice(GUID_SysKeyboard, c_dfDIKeyboard, m_keyboard) ||
        !MakeDevice(GUID_SysMouse, c_dfDIMouse, m_mouse)) {
        return 0;
    }
    return 1;
}

bool IOrvalenD3DInput::MakeDevice(REFGUID kind, const DIDATAFORMAT& format, IDirectInputDevice8A*& device) {
    const HWND window = m_renderer != nullptr ? m_renderer->WindowHandle : nullptr;
    if (FAILED(m_directInput->CreateDevice(kind, &device, nullptr)) ||
        FAILED(device->SetDataFormat(&format)) || FAILED(device->SetCooperativeLevel(window, kCooperation))) {
        return false;
    }
    device->Acquire();
    return true;
}

bool IOrvalenD3DInput::Reacquire() {
    for (IDirectInputDevice8A* device : {m_keyboard, m_mouse}) {
        if (device != nullptr) {
            device->Acquire();
        }
    }
    return true;
}

bool IOrvalenD3DInput::Update() {
    if (m_keyboard == nullptr || m_mouse == nullptr) {
        return false;
    }
    if (FAILED(m_keyboard->GetDeviceState(sizeof Keys, Keys)) ||
        FAILED(m_mouse->GetDeviceState(sizeof MouseState, &MouseState))) {
        return false;
    }
    MouseX = WrappingAdd(MouseX, MouseState.lX);
    MouseY = WrappingAdd(MouseY, MouseState.lY);
    MouseDeltaX = MouseState.lX;
    MouseDeltaY = MouseState.lY;
    return true;
}

bool IOrvalenD3DInput::IsKeyDown(std::uint32_t key) {
    return key < kKeyCount && (Keys[key] & kDownBit) != 0;
}

bool IOrvalenD3DInput::IsKeyUp(std::uint32_t key) {
    return !IsKeyDown(key);
}

bool IOrvalenD3DInput::IsMouseButtonDown(std::int32_t button) {
    return button >= 0 && button < kButtonCount && (MouseState.rgbButtons[button] & kDownBit) != 0;
}

bool IOrvalenD3DInput::IsMouseButtonUp(std::int32_t button) {
    return !IsMouseButtonDown(button);
}
