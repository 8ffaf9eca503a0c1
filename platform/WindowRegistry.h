#pragma once
// The host's top-level windows. A window handle is the window's serial number, never reused, so a
// handle kept after its window was destroyed finds nothing instead of a newer window.

#include "platform/Win32Types.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct WindowRecord {
    std::string name; ///< class name and title alike
    UINT width = 0;
    UINT height = 0;
    std::vector<std::uint32_t> pixels; ///< ARGB, rows from the top: what the window shows
};

class WindowRegistry {
public:
    static WindowRegistry& Instance();

    HWND Create(const std::string& name, UINT width, UINT height);
    bool Destroy(HWND window);
    /// The live window behind a handle; null for a destroyed or unknown one.
    WindowRecord* Find(HWND window);
    /// The oldest live window matching both names (a null name matches any).
    HWND FindByName(const char* className, const char* windowName) const;

private:
    std::map<std::uintptr_t, WindowRecord> m_windows;
    std::uintptr_t m_nextSerial = 1;
};
