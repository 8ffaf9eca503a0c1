#include "platform/InputState.h"

#include "platform/DirectInputDevice.h"

#include <algorithm>

namespace {

constexpr BYTE kDown = 0x80;

} // namespace

InputState& InputState::Instance() {
    static InputState instance;
    return instance;
}

void InputState::SetKey(std::uint8_t key, bool down) {
    m_keys[key] = down ? kDown : 0;
}

bool InputState::SetButton(int button, bool down) {
    if (button < 0 || button >= kButtonCount) {
        return false;
    }
    m_buttons[static_cast<std::size_t>(button)] = down ? kDown : 0;
    return true;
}

void InputState::MoveMouse(LONG dx, LONG dy, LONG dz) {
    for (DirectInputDevice* device : m_devices) {
        device->AddMotion(dx, dy, dz);
    }
}

void InputState::SetFocus(bool focused) {
    m_focus = focused;
    if (!focused) {
        for (DirectInputDevice* device : m_devices) {
            device->FocusLost();
        }
    }
}

void InputState::Reset() {
    m_keys.fill(0);
    m_buttons.fill(0);
    m_focus = true;
}

void InputState::Register(DirectInputDevice* device) {
    m_devices.push_back(device);
}

void InputState::Unregister(DirectInputDevice* device) {
    m_devices.erase(std::remove(m_devices.begin(), m_devices.end(), device), m_devices.end());
}
