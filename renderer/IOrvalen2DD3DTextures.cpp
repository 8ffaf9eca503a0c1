// The texture table of the 2D interface: images loaded into entries, render targets, the image
// query and the binding of an entry's texture to the device.
#include "renderer/IOrvalen2DD3D.h"

#include "platform/D3DXTexture.h"
#include "renderer/IOrvalenD3D.h"

namespace {

/// Colour keys name opaque colours: the loaders force the alpha byte.
constexpr std::uint32_t kOpaque = 0xFF000000u;

} // namespace

IDirect3DDevice9* IOrvalen2DD3D::Device() const {
    return Renderer != nullptr ? Renderer->Device : nullptr;
}

bool IOrvalen2DD3D::CheckSlot(const char* operation, std::int32_t slot) const {
    if (IsSlot(slot)) {
        return true;
    }
    if (Renderer != nullptr) {
        Renderer->Log("ERROR: %s Failed - Bad Index %d\n", operation, slot);
    }
    return false;
}

void IOrvalen2DD3D::EmptyEntry(std::int32_t slot) {
    TextureSlot& entry = Textures[slot];
    entry.Empty();
    // Otherwise the renderer would go on reporting, and drawing with, a projection whose target is gone.
    if (Renderer != nullptr && Renderer->RenderTargetProjection == &entry.Projection) {
        Renderer->ForgetRenderTarget();
    }
}

bool IOrvalen2DD3D::LoadInto(const char* operation, const char* file, DWORD filter, DWORD colourKey,
                             std::int32_t slot) {
    if (!CheckSlot(operation, slot) || Device() == nullptr) {
        return false;
    }
    // Made into a local: a failed load leaves the entry as it was.
    IDirect3DTexture9* texture = nullptr;
    if (D3DXCreateTextureFromFileExA(Device(), file, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                     D3DFMT_UNKNOWN, D3DPOOL_MANAGED, filter, filter, colourKey, nullptr,
                                     nullptr, &texture) != D3D_OK) {
        return false;
    }
    D3DSURFACE_DESC description{};
    if (FAILED(texture->GetLevelDesc(0, &description))) {
        texture->Release();
        Renderer->Log("ERROR: %s Failed - Couldn't Describe Texture\n", operation);
        return false;
    }
    EmptyEntry(slot);
    TextureSlot& entry = Textures[slot];
    entry.Texture = texture;
    entry.Width = description.Width;
    entry.Height = description.Height;
    entry.Format = description.Format;
    return true;
}

bool IOrvalen2DD3D::LoadTexture(const char* file, std::int32_t slot) {
    return LoadInto("LoadTexture", file, D3DX_DEFAULT, 0, slot);
}

bool IOrvalen2DD3D::LoadTexture(const char* file, std::uint32_t colourKey, std::int32_t slot) {
    return LoadInto("LoadTexture", file, D3DX_DEFAULT, colourKey | kOpaque, slot);
}

bool IOrvalen2DD3D::LoadTextureUnfiltered(const char* file, std::uint32_t colourKey, std::int32_t slot) {
    return LoadInto("LoadTextureUnfiltered", file, D3DX_FILTER_NONE, colourKey | kOpaque, slot);
}

void IOrvalen2DD3D::DestroyTexture(std::int32_t slot) {
    if (CheckSlot("DestroyTexture", slot) && Textures[slot].Texture != nullptr) {
        Textures[slot].Texture->Release();
        Textures[slot].Texture = nullptr;
    }
}

void IOrvalen2DD3D::DestroyRenderTarget(std::int32_t slot) {
    if (CheckSlot("DestroyRenderTarget", slot)) {
        EmptyEntry(slot);
    }
}

bool IOrvalen2DD3D::CreateRenderTarget(std::uint32_t width, std::uint32_t height, std::uint32_t,
                                       std::int32_t slot) {
    if (!CheckSlot("CreateRenderTarget", slot) || Device() == nullptr) {
        return false;
    }
    // Everything is made into locals and the entry is replaced only once all of it exists.
    IDirect3DTexture9* texture = nullptr;
    // A side of 0 would make a texture of the library's default size and an infinite aspect.
    if (width == 0 || height == 0 ||
        FAILED(D3DXCreateTexture(Device(), width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                 D3DPOOL_DEFAULT, &texture))) {
        Renderer->Log("ERROR: CreateRenderTarget Failed - Couldn't Create RenderTarget\n");
        return false;
    }
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(texture->GetSurfaceLevel(0, &surface))) {
        texture->Release();
        Renderer->Log("ERROR: CreateRenderTarget Failed - Couldn't Get Surface\n");
        return false;
    }
    D3DSURFACE_DESC description{};
    if (FAILED(surface->GetDesc(&description))) {
        surface->Release();
        texture->Release();
        Renderer->Log("ERROR: CreateRenderTarget Failed - Couldn't Describe Surface\n");
        return false;
    }
    ID3DXRenderToSurface* renderToSurface = nullptr;
    if (FAILED(D3DXCreateRenderToSurface(Device(), description.Width, description.Height, description.Format,
                                         TRUE, Renderer->DepthStencilFormat, &renderToSurface))) {
        surface->Release();
        texture->Release();
        Renderer->Log("ERROR: CreateRenderTarget Failed - Couldn't Create RenderToSurface\n");
        return false;
    }
    EmptyEntry(slot);
    TextureSlot& entry = Textures[slot];
    entry.Texture = texture;
    entry.RenderToSurface = renderToSurface;
    entry.Surface = surface;
    const auto aspect = static_cast<float>(static_cast<double>(width) / static_cast<double>(height));
    D3DXMatrixPerspectiveFovLH(&entry.Projection, Renderer->FieldOfView, aspect, Renderer->NearPlane,
                               Renderer->FarPlane);
    return true;
}

bool IOrvalen2DD3D::GetImageInfo(const char* file, std::uint32_t* width, std::uint32_t* height,
                                 std::uint32_t* depth) {
    D3DXIMAGE_INFO info{};
    if (width == nullptr || height == nullptr || depth == nullptr ||
        D3DXGetImageInfoFromFileA(file, &info) != D3D_OK) {
        return false;
    }
    *width = info.Width;
    *height = info.Height;
    *depth = info.Depth;
    return true;
}

bool IOrvalen2DD3D::SetTexture(std::int32_t slot) {
    return CheckSlot("SetTexture", slot) && Device() != nullptr &&
           Device()->SetTexture(0, Textures[slot].Texture) == D3D_OK;
}

bool IOrvalen2DD3D::UnsetTexture() {
    return Device() != nullptr && Device()->SetTexture(0, nullptr) == D3D_OK;
}
