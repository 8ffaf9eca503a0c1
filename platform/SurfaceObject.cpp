#include "platform/SurfaceObject.h"

#include "platform/FaultInjector.h"
#include "platform/LiveObjectCounter.h"
#include "platform/TextureObject.h"

#include <map>

namespace {

constexpr const char* kInterfaceName = "IDirect3DSurface9";

std::map<IUnknown*, SurfaceObject*>& LiveSurfaces() {
    static std::map<IUnknown*, SurfaceObject*> surfaces;
    return surfaces;
}

} // namespace

SurfaceObject::SurfaceObject(TextureObject* texture, UINT level) : m_texture(texture), m_level(level) {
    m_texture->AddRef();
    LiveSurfaces().emplace(static_cast<IUnknown*>(this), this);
    LiveObjectCounter::Instance().Born(kInterfaceName);
}

SurfaceObject::~SurfaceObject() {
    LiveObjectCounter::Instance().Died(kInterfaceName);
    LiveSurfaces().erase(static_cast<IUnknown*>(this));
    m_texture->Release();
}

SurfaceObject* SurfaceObject::FromInterface(IUnknown* surface) {
    const auto found = LiveSurfaces().find(surface);
    return found != LiveSurfaces().end() ? found->second : nullptr;
}

ULONG SurfaceObject::AddRef() {
    return ++m_references;
}

ULONG SurfaceObject::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT SurfaceObject::GetDesc(D3DSURFACE_DESC* description) {
    TracedOperation call("IDirect3DSurface9::GetDesc", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (description == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *description = m_texture->LevelDescription(m_level);
    return call.Return(D3D_OK);
}
