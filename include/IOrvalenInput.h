#pragma once
// The keyboard and mouse of the host's window, read once per Update. The host calls it through the
// virtual table, so the order of the operations below is part of the interface.

#include <cstdint>

class IOrvalenRenderer;

class IOrvalenInput {
public:
    /// Mouse position: the sum of every movement read so far, in mouse counts.
    std::int32_t MouseX = 0;
    std::int32_t MouseY = 0;
    /// The movement read by the last successful Update.
    std::int32_t MouseDeltaX = 0;
    std::int32_t MouseDeltaY = 0;

    virtual ~IOrvalenInput() = default;
    /// Keeps `*renderer`, whose window the devices are bound to.
    virtual void SetRenderer(IOrvalenRenderer** renderer) = 0;
    /// Makes the keyboard and mouse devices for the renderer's window (after the renderer's own
    /// Initialize): 1 success, 0 failure.
    virtual std::int32_t Initialize() = 0;
    /// Acquires both devices again, as after the window got the focus back; true.
    virtual bool Reacquire() = 0;
    /// Reads both devices; false when a device is missing or can't be read (for example while the
    /// window has lost the focus: Reacquire, then go on).
    virtual bool Update() = 0;
    /// Key state at the last Update, by DirectInput key code 0 to 255; any other code reads as up.
    virtual bool IsKeyDown(std::uint32_t key) = 0;
    virtual bool IsKeyUp(std::uint32_t key) = 0;
    /// Button state at the last Update, buttons 0 to 3; any other button reads as up.
    virtual bool IsMouseButtonDown(std::int32_t button) = 0;
    virtual bool IsMouseButtonUp(std::int32_t button) = 0;
};
