// The texture table of the 2D interface. Entries are emptied here; loading images, making render
// targets and drawing textured quads are not done yet, and each of those reports failure.
#include "renderer/IOrvalen2DD3D.h"

void IOrvalen2DD3D::DestroyTexture(std::int32_t slot) {
    if (IsSlot(slot) && Textures[slot].Texture != nullptr) {
        Textures[slot].Texture->Release();
        Textures[slot].Texture = nullptr;
    }
}

void IOrvalen2DD3D::DestroyRenderTarget(std::int32_t slot) {
    if (IsSlot(slot)) {
        Textures[slot].Empty();
    }
}

bool IOrvalen2DD3D::LoadTexture(const char*, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::LoadTexture(const char*, std::uint32_t, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::LoadTextureUnfiltered(const char*, std::uint32_t, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::CreateRenderTarget(std::uint32_t, std::uint32_t, std::uint32_t, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::GetImageInfo(const char*, std::uint32_t*, std::uint32_t*, std::uint32_t*) {
    return false;
}

bool IOrvalen2DD3D::DrawTexture(float, float, float, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::DrawTexture(float, float, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::DrawTextureAt(float, float, float, float, float, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::DrawTextureAt(float, float, float, float, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::DrawTextureBatch(const float*, const float*, const float*, float, float, float, float,
                                     float, std::uint32_t, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::DrawTextureRegion(float, float, float, float, float, float, std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::DrawTextureSplit(float, float, float, float, float, float) {
    return false;
}

bool IOrvalen2DD3D::SetTexture(std::int32_t) {
    return false;
}

bool IOrvalen2DD3D::UnsetTexture() {
    return false;
}
