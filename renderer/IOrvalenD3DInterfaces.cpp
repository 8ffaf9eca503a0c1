// Interface factory of the renderer: the font interface can be made; every other create reports
// failure until its interface exists.
#include "renderer/IOrvalenD3D.h"
#include "renderer/IOrvalenFontD3D.h"

#include <new>

std::int32_t IOrvalenD3D::Create2DInterface() {
    return -1;
}

void IOrvalenD3D::Destroy2DInterface() {}

std::int32_t IOrvalenD3D::Create3DInterface() {
    return -1;
}

void IOrvalenD3D::Destroy3DInterface() {}

std::int32_t IOrvalenD3D::CreateFontInterface() {
    // The renderer keeps one font interface: a second create replaces the first, which would
    // otherwise be lost with its fonts and their hold on the device.
    delete FontInterface;
    FontInterface = new (std::nothrow) IOrvalenFontD3D();
    if (FontInterface == nullptr) {
        Log("ERROR: Couldn't Create Font Interface\n");
        return -1;
    }
    IOrvalenRenderer* self = this;
    FontInterface->SetRenderer(&self);
    return 1;
}

void IOrvalenD3D::DestroyFontInterface() {
    Log("Destroying Font Interface...\n");
    delete FontInterface;
    FontInterface = nullptr;
}

std::int32_t IOrvalenD3D::CreateInputInterface() {
    return -1;
}

void IOrvalenD3D::DestroyInputInterface() {}
