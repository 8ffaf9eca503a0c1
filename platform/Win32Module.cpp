#include "platform/Win32Module.h"

#include "platform/FaultInjector.h"

#include <dlfcn.h>

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    TracedOperation call("GetModuleHandleA", {});
    if (call.Faulted()) {
        call.Return(E_FAIL);
        return nullptr;
    }
    // The loader's handle counts references, so the one dlopen adds is given back at once: the module
    // stays loaded because someone else holds it, which is what the caller's handle relies on.
    void* handle = dlopen(moduleName, RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    call.Return(handle != nullptr ? S_OK : E_FAIL);
    return static_cast<HMODULE>(handle);
}
