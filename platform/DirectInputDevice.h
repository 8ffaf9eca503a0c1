#pragma once
// A keyboard or mouse device: reads the state that the control API feeds while it is acquired.

#include "platform/DirectInput8.h"

class DirectInputDevice final : public IDirectInputDevice8A {
public:
    /// `deviceType` is DI8DEVTYPE_KEYBOARD or DI8DEVTYPE_MOUSE.
    explicit DirectInputDevice(DWORD deviceType);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT SetDataFormat(const DIDATAFORMAT* format) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT Acquire() override;
    HRESULT Unacquire() override;
    HRESULT GetDeviceState(DWORD size, void* data) override;

    /// Mouse motion in counts; kept for the next read only while acquired.
    void AddMotion(LONG dx, LONG dy, LONG dz);
    /// Another program's window came to the front: a foreground acquisition is lost.
    void FocusLost();

private:
    enum class Acquisition { None, Held, Lost };

    ~DirectInputDevice() override;
    bool Foreground() const { return (m_cooperation & DISCL_FOREGROUND) != 0; }
    /// Whether a foreground device's window is alive and holds the focus.
    bool WindowHoldsFocus() const;
    const DIDATAFORMAT& StandardFormat() const;
    /// Fills `data` with the state of the device's kind.
    void ReadState(void* data);

    DWORD m_type;
    ULONG m_references = 1;
    bool m_formatSet = false;
    HWND m_window = nullptr;
    DWORD m_cooperation = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND; ///< what a device has until told otherwise
    Acquisition m_acquisition = Acquisition::None;
    LONG m_motion[3] = {}; ///< mouse x, y, wheel since the last read
};
