#include "platform/VertexBufferObject.h"

#include "platform/Direct3DDevice.h"
#include "platform/FaultInjector.h"
#include "platform/LiveObjectCounter.h"

#include <set>
#include <utility>

namespace {

constexpr const char* kInterfaceName = "IDirect3DVertexBuffer9";

std::set<IDirect3DVertexBuffer9*>& LiveBuffers() {
    static std::set<IDirect3DVertexBuffer9*> buffers;
    return buffers;
}

} // namespace

VertexBufferObject::VertexBufferObject(Direct3DDevice* device, UINT length, DWORD usage, DWORD fvf,
                                       D3DPOOL pool)
    : m_device(device), m_bytes(device->TakeVertexStorage(length)), m_usage(usage), m_fvf(fvf), m_pool(pool) {
    m_device->AddRef();
    LiveBuffers().insert(this);
    m_device->VertexBufferBorn(*this);
    LiveObjectCounter::Instance().Born(kInterfaceName);
}

VertexBufferObject::~VertexBufferObject() {
    LiveObjectCounter::Instance().Died(kInterfaceName);
    LiveBuffers().erase(this);
    m_device->VertexBufferDied(*this);
    m_device->GiveBackVertexStorage(std::move(m_bytes));
    m_device->Release();
}

VertexBufferObject* VertexBufferObject::FromInterface(IDirect3DVertexBuffer9* buffer) {
    return LiveBuffers().contains(buffer) ? static_cast<VertexBufferObject*>(buffer) : nullptr;
}

ULONG VertexBufferObject::AddRef() {
    return ++m_references;
}

ULONG VertexBufferObject::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT VertexBufferObject::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    TracedOperation call("IDirect3DVertexBuffer9::Lock", {offset, size, flags});
    if (data != nullptr) {
        *data = nullptr;
    }
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    const std::uint64_t end = std::uint64_t(offset) + size;
    if (data == nullptr || m_locked || offset >= m_bytes.size() || end > m_bytes.size()) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_locked = true;
    *data = m_bytes.data() + offset;
    return call.Return(D3D_OK);
}

HRESULT VertexBufferObject::Unlock() {
    TracedOperation call("IDirect3DVertexBuffer9::Unlock", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (!m_locked) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    m_locked = false;
    return call.Return(D3D_OK);
}

HRESULT VertexBufferObject::GetDesc(D3DVERTEXBUFFER_DESC* description) {
    if (description == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *description = {
        D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, m_usage, m_pool, static_cast<UINT>(m_bytes.size()), m_fvf};
    return D3D_OK;
}
