// The library's two exported functions.
#include "orvalen.h"

#include "renderer/IOrvalenD3D.h"

#include <new>

extern "C" {

ORVALEN_EXPORT int CreateOrvalenRenderer(std::uint32_t hostContext, IOrvalenRenderer** out) {
    if (out == nullptr || *out != nullptr) {
        return -1;
    }
    // Owned by the host from here until DestroyOrvalenRenderer.
    *out = new (std::nothrow) IOrvalenD3D(hostContext);
    return *out != nullptr ? 1 : -1;
}

ORVALEN_EXPORT int DestroyOrvalenRenderer(IOrvalenRenderer** handle) {
    if (handle == nullptr || *handle == nullptr) {
        return -1;
    }
    delete *handle;
    *handle = nullptr;
    return 1;
}
}
