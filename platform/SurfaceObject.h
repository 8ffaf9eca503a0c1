#pragma once
// One level of a texture as a surface; it keeps its texture alive.

#include "platform/Direct3D9.h"

class TextureObject;

class SurfaceObject final : public IDirect3DSurface9 {
public:
    /// Takes a reference to `texture` until it is freed.
    SurfaceObject(TextureObject* texture, UINT level);
    /// The surface behind an interface pointer; null when it is not a live surface of this layer.
    static SurfaceObject* FromInterface(IUnknown* surface);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDesc(D3DSURFACE_DESC* description) override;

    TextureObject* Texture() const { return m_texture; }
    UINT Level() const { return m_level; }

private:
    ~SurfaceObject() override;

    ULONG m_references = 1;
    TextureObject* m_texture; ///< holds one reference
    UINT m_level;
};
