// Interface factory of the renderer. The renderer keeps one interface of each kind: a second create
// destroys the first, which would otherwise be lost with everything it holds on the device.
#include "renderer/IOrvalen2DD3D.h"
#include "renderer/IOrvalenD3D.h"
#include "renderer/IOrvalenD3DInput.h"
#include "renderer/IOrvalenFontD3D.h"
#include "renderer/SceneHooks.h"

#include <new>

namespace {

/// Replaces `member` with a new interface handed this renderer; -1 (and the failure line) when no memory
/// can be had.
template <typename Interface, typename Make>
std::int32_t CreateInterface(IOrvalenD3D& renderer, Interface*& member, const char* failureLine, Make make) {
    delete member;
    member = make();
    if (member == nullptr) {
        renderer.Log("%s", failureLine);
        return -1;
    }
    IOrvalenRenderer* self = &renderer;
    member->SetRenderer(&self);
    return 1;
}

template <typename Interface>
void DestroyInterface(IOrvalenD3D& renderer, Interface*& member, const char* line) {
    renderer.Log("%s", line);
    delete member;
    member = nullptr;
}

template <typename Implementation>
Implementation* Make() {
    return new (std::nothrow) Implementation();
}

} // namespace

std::int32_t IOrvalenD3D::Create2DInterface() {
    ForgetRenderTarget();
    return CreateInterface(*this, Interface2D, "ERROR: Couldn't Create 2D Interface\n", Make<IOrvalen2DD3D>);
}

void IOrvalenD3D::Destroy2DInterface() {
    ForgetRenderTarget();
    DestroyInterface(*this, Interface2D, "Destroying 2D Interface...\n");
}

std::int32_t IOrvalenD3D::Create3DInterface() {
    static constexpr const char* kFailureLine = "ERROR: Couldn't Create 3D Interface\n";
    if (CreateInterface(*this, Interface3D, kFailureLine, NewScene3D) != 1) {
        return -1;
    }
    // A scene whose physics world the engine refused would leave every later call on no world.
    if (!SceneHasWorld(*Interface3D)) {
        delete Interface3D;
        Interface3D = nullptr;
        Log("%s", kFailureLine);
        return -1;
    }
    return 1;
}

void IOrvalenD3D::Destroy3DInterface() {
    DestroyInterface(*this, Interface3D, "Destroying 3D Interface...\n");
}

std::int32_t IOrvalenD3D::CreateFontInterface() {
    return CreateInterface(*this, FontInterface, "ERROR: Couldn't Create Font Interface\n", Make<IOrvalenFontD3D>);
}

void IOrvalenD3D::DestroyFontInterface() {
    DestroyInterface(*this, FontInterface, "Destroying Font Interface...\n");
}

std::int32_t IOrvalenD3D::CreateInputInterface() {
    return CreateInterface(*this, InputInterface, "ERROR: Couldn't Create Input Interface\n",
                           Make<IOrvalenD3DInput>);
}

void IOrvalenD3D::DestroyInputInterface() {
    DestroyInterface(*this, InputInterface, "Destroying Input Interface...\n");
}

void IOrvalenD3D::DestroyOpenInterfaces() {
    if (InputInterface != nullptr) {
        DestroyInputInterface();
    }
    if (FontInterface != nullptr) {
        DestroyFontInterface();
    }
    if (Interface3D != nullptr) {
        Destroy3DInterface();
    }
    if (Interface2D != nullptr) {
        Destroy2DInterface();
    }
}
