#pragma once
// What the host's keyboard and mouse are doing, as the control API feeds it, and the input devices
// alive, which read it. Key and button bytes have their high bit set while down.

#include "platform/Win32Types.h"

#include <array>
#include <cstdint>
#include <vector>

class DirectInputDevice;

class InputState {
public:
    static constexpr int kKeyCount = 256;
    static constexpr int kButtonCount = 4;

    static InputState& Instance();

    const std::array<BYTE, kKeyCount>& Keys() const { return m_keys; }
    const std::array<BYTE, kButtonCount>& Buttons() const { return m_buttons; }
    bool HasFocus() const { return m_focus; }

    void SetKey(std::uint8_t key, bool down);
    /// False for a button outside 0 to 3.
    bool SetButton(int button, bool down);
    /// Hands the motion to every mouse device alive; each keeps what it may report.
    void MoveMouse(LONG dx, LONG dy, LONG dz);
    /// Taking the focus away makes every device alive lose a foreground acquisition.
    void SetFocus(bool focused);
    /// Keys and buttons up, focus held. Devices alive keep their state.
    void Reset();

    /// Devices register while alive; the registry doesn't own them.
    void Register(DirectInputDevice* device);
    void Unregister(DirectInputDevice* device);

private:
    std::array<BYTE, kKeyCount> m_keys{};
    std::array<BYTE, kButtonCount> m_buttons{};
    bool m_focus = true;
    std::vector<DirectInputDevice*> m_devices;
};
