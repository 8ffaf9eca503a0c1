#pragma once
// The input interface over DirectInput 8: a keyboard and a mouse bound to the renderer's window in
// foreground, non-exclusive mode.

#include "IOrvalenInput.h"
#include "platform/DirectInput8.h"

#include <cstdint>

class IOrvalenD3D;

class IOrvalenD3DInput : public IOrvalenInput {
public:
    static constexpr std::uint32_t kKeyCount = 256;
    static constexpr std::int32_t kButtonCount = 4;

private:
    IOrvalenD3D* m_renderer = nullptr;          ///< not owned; gives the window
    IDirectInput8A* m_directInput = nullptr;    ///< one reference, owned
    IDirectInputDevice8A* m_keyboard = nullptr; ///< one reference, owned
    IDirectInputDevice8A* m_mouse = nullptr;    ///< one reference, owned
    DIMOUSESTATE MouseState{};                  ///< last mouse state read; buttons up until then
    std::uint8_t Keys[kKeyCount] = {};          ///< last key state read, by key code

public:
    IOrvalenD3DInput() = default;
    ~IOrvalenD3DInput() override;
    IOrvalenD3DInput(const IOrvalenD3DInput&) = delete;
    IOrvalenD3DInput& operator=(const IOrvalenD3DInput&) = delete;

    void SetRenderer(IOrvalenRenderer** renderer) override;
    std::int32_t Initialize() override;
    bool Reacquire() override;
    bool Update() override;
    bool IsKeyDown(std::uint32_t key) override;
    bool IsKeyUp(std::uint32_t key) override;
    bool IsMouseButtonDown(std::int32_t button) override;
    bool IsMouseButtonUp(std::int32_t button) override;

private:
    /// Makes a device, gives it its standard format and the window, and acquires it (a refused
    /// acquisition is left to Reacquire). The device is kept in `device` from its creation on.
    bool MakeDevice(REFGUID kind, const DIDATAFORMAT& format, IDirectInputDevice8A*& device);
    /// Unacquires and releases the devices, then releases DirectInput.
    void ReleaseDevices();
};
