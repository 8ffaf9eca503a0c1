// Frame cycle, device-lost recovery and render to texture of the renderer: not drawn yet, so every
// operation reports failure, except that a renderer without a device has nothing to recover.
#include "renderer/IOrvalenD3D.h"

bool IOrvalenD3D::CheckDevice() {
    return Device == nullptr;
}

bool IOrvalenD3D::Clear(bool, bool, bool, std::uint32_t) {
    return false;
}

bool IOrvalenD3D::StartRendering() {
    return false;
}

bool IOrvalenD3D::EndRendering() {
    return false;
}

bool IOrvalenD3D::ShowScene() {
    return false;
}

bool IOrvalenD3D::StartRenderToTexture(std::int32_t) {
    return false;
}

bool IOrvalenD3D::EndRenderToTexture(std::int32_t) {
    return false;
}
