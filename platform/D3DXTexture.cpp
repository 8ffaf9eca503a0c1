#include "platform/D3DXTexture.h"

#include "platform/AdapterState.h"
#include "platform/BoundedFileReader.h"
#include "platform/Direct3DDevice.h"
#include "platform/FaultInjector.h"
#include "platform/ImageFile.h"
#include "platform/ImageFilter.h"
#include "platform/TextureObject.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr UINT kDefaultSide = 256;

bool IsDefault(UINT value) {
    return value == 0 || value == D3DX_DEFAULT;
}

bool IsTextureFormat(D3DFORMAT format) {
    return format == D3DFMT_UNKNOWN || format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

bool FitsCaps(UINT width, UINT height) {
    const D3DCAPS9& caps = AdapterState::Instance().Configuration().caps;
    return width <= caps.MaxTextureWidth && height <= caps.MaxTextureHeight;
}

/// Whether a device, usage and pool can make a texture at all.
bool CanMake(IDirect3DDevice9* device, DWORD usage, D3DPOOL pool) {
    if (Direct3DDevice::FromInterface(device) == nullptr) {
        return false;
    }
    if (usage == D3DUSAGE_RENDERTARGET) {
        return pool == D3DPOOL_DEFAULT;
    }
    return usage == 0 && (pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED);
}

} // namespace

HRESULT D3DXGetImageInfoFromFileA(LPCSTR file, D3DXIMAGE_INFO* info) {
    TracedOperation call("D3DXGetImageInfoFromFileA", {});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DXERR_INVALIDDATA));
    }
    if (file == nullptr || info == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    const std::optional<std::vector<std::uint8_t>> bytes = BoundedFileReader::Read(file);
    if (!bytes) {
        return call.Return(D3DERR_NOTAVAILABLE);
    }
    const std::optional<ImageHeader> header = ImageFile::ReadHeader(bytes->data(), bytes->size());
    if (!header) {
        return call.Return(D3DXERR_INVALIDDATA);
    }
    *info = {header->width,    header->height,    1, 1, header->hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8,
             D3DRTYPE_TEXTURE, header->fileFormat};
    return call.Return(D3D_OK);
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture) {
    TracedOperation call("D3DXCreateTexture", {width, height, mipLevels, usage, format, pool});
    if (texture != nullptr) {
        *texture = nullptr;
    }
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_OUTOFVIDEOMEMORY));
    }
    if (texture == nullptr || !CanMake(device, usage, pool)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    if (!IsTextureFormat(format)) {
        return call.Return(D3DERR_NOTAVAILABLE);
    }
    width = IsDefault(width) ? kDefaultSide : width;
    height = IsDefault(height) ? kDefaultSide : height;
    if (!FitsCaps(width, height)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    const UINT fullChain = ImageFilter::FullChainLength(width, height);
    const UINT levels = IsDefault(mipLevels) ? fullChain : std::min(mipLevels, fullChain);
    *texture = new TextureObject(Direct3DDevice::FromInterface(device), width, height, levels, usage,
                                 format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : format, pool, {});
    return call.Return(D3D_OK);
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR file, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, DWORD colourKey,
                                     D3DXIMAGE_INFO* sourceInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture) {
    TracedOperation call("D3DXCreateTextureFromFileExA",
                         {width, height, mipLevels, usage, format, pool, filter, mipFilter, colourKey});
    if (texture != nullptr) {
        *texture = nullptr;
    }
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DXERR_INVALIDDATA));
    }
    if (file == nullptr || texture == nullptr || palette != nullptr || usage != 0 ||
        !CanMake(device, usage, pool)) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    if (!IsTextureFormat(format)) {
        return call.Return(D3DERR_NOTAVAILABLE);
    }
    const std::optional<std::vector<std::uint8_t>> bytes = BoundedFileReader::Read(file);
    if (!bytes) {
        return call.Return(D3DERR_NOTAVAILABLE);
    }
    std::optional<platform::Image> image = ImageFile::Decode(bytes->data(), bytes->size());
    if (!image) {
        return call.Return(D3DXERR_INVALIDDATA);
    }
    const std::optional<ImageHeader> header = ImageFile::ReadHeader(bytes->data(), bytes->size());
    if (sourceInfo != nullptr) {
        *sourceInfo = {
            image->width,     image->height,     1, 1, header->hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8,
            D3DRTYPE_TEXTURE, header->fileFormat};
    }
    if (format == D3DFMT_UNKNOWN) {
        format = header->hasAlpha || colourKey != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
    // The key is matched on the file's own pixels, before any filter blends it into its neighbours.
    ImageFilter::ApplyColourKey(*image, colourKey);
    width = IsDefault(width) ? image->width : width;
    height = IsDefault(height) ? image->height : height;
    while (!FitsCaps(width, height) && (width > 1 || height > 1)) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
    }
    if (!FitsCaps(width, height)) {
        return call.Return(D3DERR_NOTAVAILABLE);
    }
    platform::Image top = ImageFilter::Resized(*image, width, height, filter);
    image.reset();
    const UINT fullChain = ImageFilter::FullChainLength(width, height);
    const UINT levels = IsDefault(mipLevels) ? fullChain : std::min(mipLevels, fullChain);
    std::vector<platform::Image> chain = ImageFilter::MipChain(std::move(top), levels, mipFilter);
    if (format == D3DFMT_X8R8G8B8) {
        for (platform::Image& level : chain) {
            ImageFilter::MakeOpaque(level);
        }
    }
    *texture = new TextureObject(Direct3DDevice::FromInterface(device), width, height, levels, usage, format,
                                 pool, chain);
    return call.Return(D3D_OK);
}
