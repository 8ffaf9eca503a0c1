#pragma once
// A vertex buffer of a device: the bytes live in ordinary memory, where stream draws read them in place.

#include "platform/Direct3D9.h"

#include <cstdint>
#include <vector>

class Direct3DDevice;

class VertexBufferObject final : public IDirect3DVertexBuffer9 {
public:
    /// A buffer of `length` zeroed bytes; takes a reference to `device` until it is freed.
    VertexBufferObject(Direct3DDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    /// The buffer behind an interface pointer; null when it is not a live buffer of this layer.
    static VertexBufferObject* FromInterface(IDirect3DVertexBuffer9* buffer);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* description) override;

    Direct3DDevice* Device() const { return m_device; }
    D3DPOOL Pool() const { return m_pool; }
    bool Locked() const { return m_locked; }
    std::uint64_t Length() const { return m_bytes.size(); }
    const std::uint8_t* Bytes() const { return m_bytes.data(); }

private:
    ~VertexBufferObject() override;

    ULONG m_references = 1;
    Direct3DDevice* m_device; ///< holds one reference
    std::vector<std::uint8_t> m_bytes;
    DWORD m_usage;
    DWORD m_fvf;
    D3DPOOL m_pool;
    bool m_locked = false;
};
