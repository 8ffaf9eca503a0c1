#pragma once
// The DirectInput 8 objects and records that the input interface uses: the DirectInput object that
// makes devices, and the keyboard and mouse devices whose state is read once per frame.

#include "platform/Win32Module.h"
#include "platform/Win32Types.h"

#include <cstdint>

constexpr DWORD DIRECTINPUT_VERSION = 0x0800;

constexpr HRESULT DI_OK = S_OK;
/// Success that changed nothing (acquiring a device that is already acquired).
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOINTERFACE = MakeFailure(0x80004002u);
constexpr HRESULT DIERR_NOAGGREGATION = MakeFailure(0x80040110u);
constexpr HRESULT DIERR_DEVICENOTREG = MakeFailure(0x80040154u);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = MakeFailure(0x80070005u);
constexpr HRESULT DIERR_NOTACQUIRED = MakeFailure(0x8007000Cu);
constexpr HRESULT DIERR_INPUTLOST = MakeFailure(0x8007001Eu);
constexpr HRESULT DIERR_ACQUIRED = MakeFailure(0x800700AAu);
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = MakeFailure(0x8007047Eu);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = MakeFailure(0x80070481u);

/// A 128-bit identifier of an interface or a device.
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    friend bool operator==(const GUID&, const GUID&) = default;
};
using REFGUID = const GUID&;
using REFIID = const GUID&;

/// The ANSI DirectInput 8 interface, asked of DirectInput8Create.
extern const GUID IID_IDirectInput8A;
/// The system keyboard and mouse, which combine every keyboard and every mouse attached.
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;

/// Device types, as devices report them.
constexpr DWORD DI8DEVTYPE_MOUSE = 0x12;
constexpr DWORD DI8DEVTYPE_KEYBOARD = 0x13;

/// Cooperative-level flags: exactly one of the first two and one of the next two.
constexpr DWORD DISCL_EXCLUSIVE = 0x1;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x2;
constexpr DWORD DISCL_FOREGROUND = 0x4;
constexpr DWORD DISCL_BACKGROUND = 0x8;
constexpr DWORD DISCL_NOWINKEY = 0x10;

/// Axis modes of a data format: positions, or motion since the last read.
constexpr DWORD DIDF_ABSAXIS = 0x1;
constexpr DWORD DIDF_RELAXIS = 0x2;

/// How a device lays out the state that GetDeviceState fills.
struct DIDATAFORMAT {
    DWORD dwSize;     ///< size of this record in bytes
    DWORD dwFlags;    ///< axis mode
    DWORD dwDataSize; ///< bytes of state a read fills
};

/// The standard formats: 256 key bytes (high bit set while down, indexed by key code), and the
/// mouse state below with relative axes.
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse;

/// The mouse as the standard mouse format reads it: motion since the last read, in counts (the
/// wheel in 120 per notch), and four buttons whose byte has its high bit set while down.
struct DIMOUSESTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16, "the standard mouse format reads 16 bytes");

/// A keyboard or a mouse. State is read only while the device is acquired; a foreground device loses
/// its acquisition when its window loses the input focus and must be acquired again.
struct IDirectInputDevice8A : IUnknown {
    /// DI_OK; DIERR_INVALIDPARAM for a format that isn't the standard one of the device's kind;
    /// DIERR_ACQUIRED while acquired.
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    /// Binds the device to a live top-level window. DIERR_INVALIDPARAM for a null or dead window or
    /// a flag set that isn't one access mode and one focus mode; DIERR_ACQUIRED while acquired.
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    /// DI_OK; DI_NOEFFECT when already acquired; DIERR_INVALIDPARAM before a data format is set;
    /// DIERR_OTHERAPPHASPRIO for a foreground device whose window doesn't hold the focus.
    virtual HRESULT Acquire() = 0;
    /// DI_OK; DI_NOEFFECT when not acquired.
    virtual HRESULT Unacquire() = 0;
    /// Copies `size` bytes of state (the data format's size) into `data`. DIERR_INPUTLOST once after
    /// the acquisition was lost, then DIERR_NOTACQUIRED; `data` is untouched on failure.
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
};

/// The DirectInput object: makes devices.
struct IDirectInput8A : IUnknown {
    /// Makes the device `device` (GUID_SysKeyboard or GUID_SysMouse) into `*made`. DIERR_DEVICENOTREG
    /// for another device; DIERR_NOAGGREGATION when `outer` is given.
    virtual HRESULT CreateDevice(REFGUID device, IDirectInputDevice8A** made, IUnknown* outer) = 0;
};

/// Makes the DirectInput object for the module `instance` into `*made` (null on failure).
/// DIERR_OLDDIRECTINPUTVERSION / DIERR_BETADIRECTINPUTVERSION for a version below / above 0x0800,
/// DIERR_NOINTERFACE for an interface other than IID_IDirectInput8A, DIERR_INVALIDPARAM for a null
/// module or destination, DIERR_NOAGGREGATION when `outer` is given.
HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID interfaceId, void** made,
                           IUnknown* outer);
