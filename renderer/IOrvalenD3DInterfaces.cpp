// Interface factory of the renderer: no interface can be made yet, so every create reports failure.
#include "renderer/IOrvalenD3D.h"

std::int32_t IOrvalenD3D::Create2DInterface() {
    return -1;
}

void IOrvalenD3D::Destroy2DInterface() {}

std::int32_t IOrvalenD3D::Create3DInterface() {
    return -1;
}

void IOrvalenD3D::Destroy3DInterface() {}

std::int32_t IOrvalenD3D::CreateFontInterface() {
    return -1;
}

void IOrvalenD3D::DestroyFontInterface() {}

std::int32_t IOrvalenD3D::CreateInputInterface() {
    return -1;
}

void IOrvalenD3D::DestroyInputInterface() {}
