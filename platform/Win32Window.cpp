#include "platform/Win32Window.h"

#include "platform/FaultInjector.h"
#include "platform/WindowRegistry.h"

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    TracedOperation call("FindWindowA", {});
    if (call.Faulted()) {
        call.Return(E_FAIL);
        return nullptr;
    }
    const HWND window = WindowRegistry::Instance().FindByName(className, windowName);
    call.Return(window != nullptr ? S_OK : E_FAIL);
    return window;
}
