#include "platform/WindowRegistry.h"

namespace {

HWND HandleOf(std::uintptr_t serial) {
    return reinterpret_cast<HWND>(serial);
}

std::uintptr_t SerialOf(HWND window) {
    return reinterpret_cast<std::uintptr_t>(window);
}

} // namespace

WindowRegistry& WindowRegistry::Instance() {
    static WindowRegistry instance;
    return instance;
}

HWND WindowRegistry::Create(const std::string& name, UINT width, UINT height) {
    const std::uintptr_t serial = m_nextSerial++;
    WindowRecord& record = m_windows[serial];
    record.name = name;
    record.width = width;
    record.height = height;
    record.pixels.assign(static_cast<std::size_t>(width) * height, 0xFF000000u);
    return HandleOf(serial);
}

bool WindowRegistry::Destroy(HWND window) {
    return m_windows.erase(SerialOf(window)) == 1;
}

WindowRecord* WindowRegistry::Find(HWND window) {
    const auto found = m_windows.find(SerialOf(window));
    return found == m_windows.end() ? nullptr : &found->second;
}

HWND WindowRegistry::FindByName(const char* className, const char* windowName) const {
    for (const auto& [serial, record] : m_windows) {
        const bool classMatches = className == nullptr || record.name == className;
        const bool titleMatches = windowName == nullptr || record.name == windowName;
        if (classMatches && titleMatches) {
            return HandleOf(serial);
        }
    }
    return nullptr;
}
