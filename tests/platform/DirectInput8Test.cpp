#include "platform/DirectInput8.h"
#include "platform/Win32Module.h"
#include "platform/control.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr std::uint8_t kKeyA = 0x1E;
constexpr DWORD kForeground = DISCL_FOREGROUND | DISCL_NONEXCLUSIVE;

class DirectInput8Test : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetPlatform();
        m_window = platform::CreateHostWindow("Input Window", 64, 48);
        ASSERT_NE(nullptr, m_window);
        void* made = nullptr;
        ASSERT_EQ(DI_OK, DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION,
                                            IID_IDirectInput8A, &made, nullptr));
        m_directInput = static_cast<IDirectInput8A*>(made);
    }

    void TearDown() override {
        for (IDirectInputDevice8A* device : {m_keyboard, m_mouse}) {
            if (device != nullptr) {
                EXPECT_EQ(0u, device->Release());
            }
        }
        EXPECT_EQ(0u, m_directInput->Release());
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal());
        platform::ResetPlatform();
    }

    /// A device of the kind with its standard format, bound to the window and acquired.
    IDirectInputDevice8A* Acquired(REFGUID kind, DWORD cooperation = kForeground) {
        IDirectInputDevice8A* device = nullptr;
        EXPECT_EQ(DI_OK, m_directInput->CreateDevice(kind, &device, nullptr));
        const DIDATAFORMAT& format = kind == GUID_SysKeyboard ? c_dfDIKeyboard : c_dfDIMouse;
        EXPECT_EQ(DI_OK, device->SetDataFormat(&format));
        EXPECT_EQ(DI_OK, device->SetCooperativeLevel(m_window, cooperation));
        EXPECT_EQ(DI_OK, device->Acquire());
        return device;
    }

    DIMOUSESTATE ReadMouse() {
        DIMOUSESTATE state{};
        EXPECT_EQ(DI_OK, m_mouse->GetDeviceState(sizeof state, &state));
        return state;
    }

    HWND m_window = nullptr;
    IDirectInput8A* m_directInput = nullptr;
    IDirectInputDevice8A* m_keyboard = nullptr;
    IDirectInputDevice8A* m_mouse = nullptr;
};

} // namespace

TEST(Win32Module, ProgramHandleIsStableAndUnknownModulesAreNotFound) {
    platform::ResetPlatform();
    const HMODULE program = GetModuleHandleA(nullptr);
    EXPECT_NE(nullptr, program);
    EXPECT_EQ(program, GetModuleHandleA(nullptr));
    EXPECT_EQ(nullptr, GetModuleHandleA("no_such_module_anywhere.so"));

    platform::FailCall("GetModuleHandleA");
    EXPECT_EQ(nullptr, GetModuleHandleA(nullptr));
    platform::ResetPlatform();
}

TEST(DirectInput8Create, RefusesAnythingButTheVersion8AnsiInterfaceForAModule) {
    platform::ResetPlatform();
    const HINSTANCE module = GetModuleHandleA(nullptr);
    void* made = &made;
    EXPECT_EQ(DIERR_OLDDIRECTINPUTVERSION,
              DirectInput8Create(module, 0x0700, IID_IDirectInput8A, &made, nullptr));
    EXPECT_EQ(nullptr, made);
    EXPECT_EQ(DIERR_BETADIRECTINPUTVERSION,
              DirectInput8Create(module, 0x0900, IID_IDirectInput8A, &made, nullptr));
    EXPECT_EQ(DIERR_INVALIDPARAM, DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, &made, nullptr));
    EXPECT_EQ(DIERR_NOINTERFACE, DirectInput8Create(module, 0x0800, GUID_SysKeyboard, &made, nullptr));
    EXPECT_EQ(DIERR_INVALIDPARAM, DirectInput8Create(module, 0x0800, IID_IDirectInput8A, nullptr, nullptr));
    EXPECT_EQ(0, platform::LiveObjects("IDirectInput8"));

    platform::FailCall("DirectInput8Create");
    EXPECT_EQ(DIERR_INVALIDPARAM, DirectInput8Create(module, 0x0800, IID_IDirectInput8A, &made, nullptr));
    EXPECT_EQ(nullptr, made);
    ASSERT_EQ(DI_OK, DirectInput8Create(module, 0x0800, IID_IDirectInput8A, &made, nullptr));
    EXPECT_EQ(1, platform::LiveObjects("IDirectInput8"));
    EXPECT_EQ(0u, static_cast<IDirectInput8A*>(made)->Release());
    EXPECT_EQ(0, platform::LiveObjectTotal());
    platform::ResetPlatform();
}

TEST_F(DirectInput8Test, MakesOnlyTheSystemKeyboardAndMouse) {
    platform::RecordCalls(true);
    const GUID other = {0x12345678, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
    IDirectInputDevice8A* device = m_keyboard;
    EXPECT_EQ(DIERR_DEVICENOTREG, m_directInput->CreateDevice(other, &device, nullptr));
    EXPECT_EQ(nullptr, device);
    EXPECT_EQ(DIERR_INVALIDPARAM, m_directInput->CreateDevice(GUID_SysKeyboard, nullptr, nullptr));

    platform::FailCall("IDirectInput8::CreateDevice");
    EXPECT_TRUE(FAILED(m_directInput->CreateDevice(GUID_SysKeyboard, &m_keyboard, nullptr)));
    EXPECT_EQ(nullptr, m_keyboard);
    EXPECT_EQ(DI_OK, m_directInput->CreateDevice(GUID_SysKeyboard, &m_keyboard, nullptr));
    EXPECT_EQ(DI_OK, m_directInput->CreateDevice(GUID_SysMouse, &m_mouse, nullptr));
    EXPECT_EQ(2, platform::LiveObjects("IDirectInputDevice8"));
    const auto created = platform::CallsOf("IDirectInput8::CreateDevice");
    ASSERT_EQ(5u, created.size());
    EXPECT_EQ(std::int64_t{DI8DEVTYPE_KEYBOARD}, created[3].arguments[0]);
    EXPECT_EQ(std::int64_t{DI8DEVTYPE_MOUSE}, created[4].arguments[0]);
}

TEST_F(DirectInput8Test, EachDeviceTakesOnlyTheStandardFormatOfItsKind) {
    ASSERT_EQ(DI_OK, m_directInput->CreateDevice(GUID_SysKeyboard, &m_keyboard, nullptr));
    ASSERT_EQ(DI_OK, m_directInput->CreateDevice(GUID_SysMouse, &m_mouse, nullptr));
    EXPECT_EQ(DIERR_INVALIDPARAM, m_keyboard->SetDataFormat(&c_dfDIMouse));
    EXPECT_EQ(DIERR_INVALIDPARAM, m_mouse->SetDataFormat(&c_dfDIKeyboard));
    EXPECT_EQ(DIERR_INVALIDPARAM, m_mouse->SetDataFormat(nullptr));
    DIDATAFORMAT absolute = c_dfDIMouse;
    absolute.dwFlags = DIDF_ABSAXIS;
    EXPECT_EQ(DIERR_INVALIDPARAM, m_mouse->SetDataFormat(&absolute));
    EXPECT_EQ(DIERR_INVALIDPARAM, m_mouse->Acquire()) << "no format yet";

    EXPECT_EQ(DI_OK, m_keyboard->SetDataFormat(&c_dfDIKeyboard));
    EXPECT_EQ(DI_OK, m_keyboard->Acquire());
    EXPECT_EQ(DIERR_ACQUIRED, m_keyboard->SetDataFormat(&c_dfDIKeyboard));
}

TEST_F(DirectInput8Test, CooperativeLevelNeedsALiveWindowAndOneModeOfEachPair) {
    platform::RecordCalls(true);
    ASSERT_EQ(DI_OK, m_directInput->CreateDevice(GUID_SysKeyboard, &m_keyboard, nullptr));
    EXPECT_EQ(DIERR_INVALIDPARAM, m_keyboard->SetCooperativeLevel(nullptr, kForeground));
    EXPECT_EQ(DIERR_INVALIDPARAM, m_keyboard->SetCooperativeLevel(m_window, DISCL_FOREGROUND));
    EXPECT_EQ(DIERR_INVALIDPARAM, m_keyboard->SetCooperativeLevel(
                                      m_window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND));
    EXPECT_EQ(DIERR_INVALIDPARAM, m_keyboard->SetCooperativeLevel(m_window, kForeground | 0x100));
    const HWND gone = platform::CreateHostWindow("Gone", 8, 8);
    platform::DestroyHostWindow(gone);
    EXPECT_EQ(DIERR_INVALIDPARAM, m_keyboard->SetCooperativeLevel(gone, kForeground));

    EXPECT_EQ(DI_OK, m_keyboard->SetCooperativeLevel(m_window, kForeground | DISCL_NOWINKEY));
    const auto calls = platform::CallsOf("IDirectInputDevice8::SetCooperativeLevel");
    ASSERT_EQ(6u, calls.size());
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(m_window), calls[5].arguments[1]);
    EXPECT_EQ(std::int64_t{kForeground | DISCL_NOWINKEY}, calls[5].arguments[2]);
}

TEST_F(DirectInput8Test, KeyboardReadsTheKeysDownWithTheHighBit) {
    m_keyboard = Acquired(GUID_SysKeyboard);
    EXPECT_EQ(DI_NOEFFECT, m_keyboard->Acquire());
    platform::SetKey(kKeyA, true);
    platform::SetKey(0xFF, true);
    BYTE keys[256];
    std::memset(keys, 0x55, sizeof keys);
    ASSERT_EQ(DI_OK, m_keyboard->GetDeviceState(sizeof keys, keys));
    for (int key = 0; key < 256; ++key) {
        EXPECT_EQ(key == kKeyA || key == 0xFF ? 0x80 : 0x00, keys[key]) << "key " << key;
    }
    platform::SetKey(kKeyA, false);
    ASSERT_EQ(DI_OK, m_keyboard->GetDeviceState(sizeof keys, keys));
    EXPECT_EQ(0x00, keys[kKeyA]);
    EXPECT_EQ(DIERR_INVALIDPARAM, m_keyboard->GetDeviceState(255, keys));
    EXPECT_EQ(DIERR_INVALIDPARAM, m_keyboard->GetDeviceState(sizeof keys, nullptr));
}

TEST_F(DirectInput8Test, MouseReportsMotionSinceItsLastReadWhileAcquired) {
    m_mouse = Acquired(GUID_SysMouse);
    platform::MoveMouse(5, -2);
    platform::MoveMouse(1, 1);
    platform::TurnMouseWheel(-120);
    EXPECT_TRUE(platform::SetMouseButton(3, true));
    EXPECT_FALSE(platform::SetMouseButton(4, true));
    EXPECT_FALSE(platform::SetMouseButton(-1, true));

    DIMOUSESTATE state = ReadMouse();
    EXPECT_EQ(6, state.lX);
    EXPECT_EQ(-1, state.lY);
    EXPECT_EQ(-120, state.lZ);
    EXPECT_EQ(0x00, state.rgbButtons[0]);
    EXPECT_EQ(0x80, state.rgbButtons[3]);

    state = ReadMouse();
    EXPECT_EQ(0, state.lX);
    EXPECT_EQ(0, state.lY);
    EXPECT_EQ(0, state.lZ);
    EXPECT_EQ(0x80, state.rgbButtons[3]) << "buttons are states, not events";

    EXPECT_EQ(DI_OK, m_mouse->Unacquire());
    EXPECT_EQ(DI_NOEFFECT, m_mouse->Unacquire());
    platform::MoveMouse(40, 40);
    EXPECT_EQ(DIERR_NOTACQUIRED, m_mouse->GetDeviceState(sizeof state, &state));
    ASSERT_EQ(DI_OK, m_mouse->Acquire());
    platform::MoveMouse(1, 2);
    state = ReadMouse();
    EXPECT_EQ(1, state.lX) << "motion while unacquired is not kept";
    EXPECT_EQ(2, state.lY);
}

TEST_F(DirectInput8Test, LosingTheFocusLosesForegroundDevicesUntilReacquired) {
    m_keyboard = Acquired(GUID_SysKeyboard, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE);
    m_mouse = Acquired(GUID_SysMouse);
    platform::SetInputFocus(false);

    DIMOUSESTATE state{};
    state.lX = 77;
    EXPECT_EQ(DIERR_INPUTLOST, m_mouse->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(DIERR_NOTACQUIRED, m_mouse->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(77, state.lX) << "a failed read leaves the caller's state alone";
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, m_mouse->Acquire());
    BYTE keys[256];
    EXPECT_EQ(DI_OK, m_keyboard->GetDeviceState(sizeof keys, keys)) << "background devices keep reading";

    platform::SetInputFocus(true);
    EXPECT_EQ(DIERR_NOTACQUIRED, m_mouse->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(DI_OK, m_mouse->Acquire());
    EXPECT_EQ(DI_OK, m_mouse->GetDeviceState(sizeof state, &state));
}

TEST_F(DirectInput8Test, ForegroundDeviceOfADestroyedWindowLosesItsInput) {
    const HWND other = platform::CreateHostWindow("Other", 8, 8);
    ASSERT_EQ(DI_OK, m_directInput->CreateDevice(GUID_SysKeyboard, &m_keyboard, nullptr));
    ASSERT_EQ(DI_OK, m_keyboard->SetDataFormat(&c_dfDIKeyboard));
    ASSERT_EQ(DI_OK, m_keyboard->SetCooperativeLevel(other, kForeground));
    ASSERT_EQ(DI_OK, m_keyboard->Acquire());
    platform::DestroyHostWindow(other);
    BYTE keys[256];
    EXPECT_EQ(DIERR_INPUTLOST, m_keyboard->GetDeviceState(sizeof keys, keys));
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, m_keyboard->Acquire());
}
