#pragma once
// A texture of a device: an OpenGL texture in the device's context with its mip levels, plus what
// the device reports of it (format, usage, pool, level sizes).

#include "platform/Direct3D9.h"
#include "platform/control.h"

#include <optional>
#include <vector>

class Direct3DDevice;

class TextureObject final : public IDirect3DTexture9 {
public:
    /// How the texture is sampled, as OpenGL keeps it with the texture.
    struct Sampling {
        int magnification = 0;
        int minification = 0;
        int wrapS = 0;
        int wrapT = 0;
        DWORD border = 0; ///< ARGB
        int baseLevel = 0;
        float lodBias = 0.0f;
        float anisotropy = 0.0f; ///< 0 where the driver has no anisotropic filtering
        bool operator==(const Sampling&) const = default;
    };

    /// A texture of `levels` levels below `width` x `height` (each half the one above, at least
    /// 1 x 1), filled with `pixels` (one ARGB image per level, all levels) or transparent black when
    /// `pixels` is empty. Takes a reference to `device` until it is freed.
    TextureObject(Direct3DDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                  D3DPOOL pool, const std::vector<platform::Image>& pixels);
    /// The texture behind an interface pointer; null when it is not a live texture of this layer.
    static TextureObject* FromInterface(IUnknown* texture);

    ULONG AddRef() override;
    ULONG Release() override;
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* description) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;

    Direct3DDevice* Device() const { return m_device; }
    unsigned GLName() const { return m_name; }
    D3DPOOL Pool() const { return m_pool; }
    UINT Levels() const { return m_levels; }
    /// What GetLevelDesc reports of a level the texture has.
    D3DSURFACE_DESC LevelDescription(UINT level) const;
    /// The level's pixels as ARGB, rows from the top; empty for a level the texture does not have.
    platform::Image ReadLevel(UINT level) const;
    /// The sampling last given to OpenGL for this texture; none before its first draw. Kept here,
    /// with the texture, because OpenGL keeps it there too.
    std::optional<Sampling>& AppliedSampling() { return m_appliedSampling; }

private:
    ~TextureObject() override;

    ULONG m_references = 1;
    Direct3DDevice* m_device; ///< holds one reference
    unsigned m_name = 0;      ///< the OpenGL texture, owned
    UINT m_width;
    UINT m_height;
    UINT m_levels;
    DWORD m_usage;
    D3DFORMAT m_format;
    D3DPOOL m_pool;
    std::optional<Sampling> m_appliedSampling;
};
