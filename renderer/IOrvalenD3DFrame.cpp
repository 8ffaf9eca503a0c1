// The frame cycle and device-lost recovery. A lost device is waited out: presenting reports it, the
// fonts let go of their device objects, and CheckDevice resets the device once it may be reset and
// gives it back everything a reset discards. Between frames the host may draw into a render target of
// the 2D interface's texture table.
#include "IOrvalen3D.h"
#include "IOrvalenFont.h"
#include "platform/Win32Kernel.h"
#include "renderer/IOrvalen2DD3D.h"
#include "renderer/IOrvalenD3D.h"

namespace {

constexpr DWORD kLostDeviceWaitMilliseconds = 100;

} // namespace

bool IOrvalenD3D::Clear(bool target, bool zbuffer, bool stencil, std::uint32_t colour) {
    const DWORD flags = (target ? D3DCLEAR_TARGET : 0u) | (zbuffer ? D3DCLEAR_ZBUFFER : 0u) |
                        (stencil && UseStencil ? D3DCLEAR_STENCIL : 0u);
    if (Device == nullptr || FAILED(Device->Clear(0, nullptr, flags, colour, 1.0f, 0))) {
        Log("ERROR: Couldn't Clear\n");
        return false;
    }
    return true;
}

bool IOrvalenD3D::StartRendering() {
    if (Device == nullptr || FAILED(Device->BeginScene())) {
        Log("ERROR: Couldn't Start Rendering\n");
        return false;
    }
    return true;
}

bool IOrvalenD3D::EndRendering() {
    if (Device == nullptr || FAILED(Device->EndScene())) {
        Log("ERROR: Couldn't End Rendering\n");
        return false;
    }
    return true;
}

bool IOrvalenD3D::ShowScene() {
    const HRESULT shown = Device != nullptr ? Device->Present(nullptr, nullptr, nullptr, nullptr) : E_FAIL;
    if (shown == D3DERR_DEVICELOST) {
        Log("ERROR: D3D9 Device Lost\n");
        if (FontInterface != nullptr) {
            FontInterface->OnLostDevice();
        }
        Sleep(kLostDeviceWaitMilliseconds);
        return CheckDevice();
    }
    if (FAILED(shown)) {
        Log("ERROR: Couldn't Show Scene\n");
        return false;
    }
    return true;
}

bool IOrvalenD3D::CheckDevice() {
    if (Device == nullptr) {
        return true;
    }
    const HRESULT level = Device->TestCooperativeLevel();
    if (level == D3DERR_DEVICELOST) {
        Log("D3D9 Device Lost\n");
        if (FontInterface != nullptr) {
            FontInterface->OnLostDevice();
        }
    } else if (level == D3DERR_DEVICENOTRESET) {
        Log("D3D9 Device Not Reset; Resetting...\n");
        if (!ResetDevice()) {
            return false;
        }
    } else if (level != D3D_OK) {
        LogHardFailure("ERROR: D3D9 Device Internal Error\n");
        return false;
    }
    SetFilter(FilterType);
    return true;
}

bool IOrvalenD3D::ResetDevice() {
    // A reset that did not take leaves the device waiting for the next try; nothing is given to it.
    if (FAILED(Device->Reset(&PresentParameters))) {
        Log("ERROR: CheckDevice Failed - Couldn't Reset Device\n");
        return false;
    }
    if (FontInterface != nullptr) {
        FontInterface->OnResetDevice();
    }
    if (FAILED(Device->SetViewport(&Viewport)) ||
        FAILED(Device->SetTransform(D3DTS_PROJECTION, &ProjectionMatrix)) ||
        FAILED(Device->SetTransform(D3DTS_VIEW, &ViewMatrix))) {
        LogHardFailure("ERROR: D3D9 Device Error\n");
        return false;
    }
    ReapplyStates();
    if (Interface3D != nullptr) {
        Interface3D->ApplyLights();
    }
    Log("D3D9 Device Successfully Reset\n");
    return true;
}

TextureSlot* IOrvalenD3D::TextureEntry(const char* operation, std::int32_t slot) {
    if (Interface2D == nullptr) {
        Log("ERROR: %s Failed - No 2D Interface\n", operation);
        return nullptr;
    }
    if (slot < 0 || slot >= IOrvalen2DD3D::kTextureSlots) {
        Log("ERROR: %s Failed - Bad Index %d\n", operation, slot);
        return nullptr;
    }
    // The renderer makes the only implementation of the 2D interface.
    return &static_cast<IOrvalen2DD3D*>(Interface2D)->Textures[slot];
}

void IOrvalenD3D::ForgetRenderTarget() {
    if (RenderTargetProjection != nullptr) {
        RenderTargetProjection = nullptr;
        if (Device != nullptr) {
            Device->SetTransform(D3DTS_PROJECTION, &ProjectionMatrix);
        }
    }
}

bool IOrvalenD3D::StartRenderToTexture(std::int32_t slot) {
    TextureSlot* entry = TextureEntry("StartRenderToTexture", slot);
    if (entry == nullptr) {
        return false;
    }
    if (entry->RenderToSurface == nullptr) {
        Log("ERROR: StartRenderToTexture Failed - Not A Valid RenderTarget\n");
        return false;
    }
    if (Device == nullptr || FAILED(Device->SetTransform(D3DTS_PROJECTION, &entry->Projection))) {
        Log("ERROR: StartRenderToTexture Failed - Couldn't Set Projection\n");
        return false;
    }
    const D3DXMATRIX* previous = RenderTargetProjection;
    RenderTargetProjection = &entry->Projection;
    // Refused inside a frame or while a target is drawn into, for two: the device is then left as it
    // was, a target already being drawn into included.
    if (FAILED(entry->RenderToSurface->BeginScene(entry->Surface, nullptr))) {
        RenderTargetProjection = previous;
        const D3DXMATRIX inUse = GetProjectionMatrix();
        Device->SetTransform(D3DTS_PROJECTION, &inUse);
        Log("ERROR: StartRenderToTexture Failed - Couldn't Begin Scene\n");
        return false;
    }
    return true;
}

bool IOrvalenD3D::EndRenderToTexture(std::int32_t slot) {
    TextureSlot* entry = TextureEntry("EndRenderToTexture", slot);
    if (entry == nullptr) {
        return false;
    }
    if (entry->RenderToSurface == nullptr) {
        Log("ERROR: EndRenderToTexture Failed - Not A Valid RenderTarget\n");
        return false;
    }
    // Only the target being drawn into can be ended; a failed start leaves nothing to end.
    if (RenderTargetProjection != &entry->Projection) {
        Log("ERROR: EndRenderToTexture Failed - Not Rendering To Texture\n");
        return false;
    }
    if (FAILED(entry->RenderToSurface->EndScene(0))) {
        Log("ERROR: EndRenderToTexture Failed - Couldn't End Scene\n");
        return false;
    }
    if (Device == nullptr || FAILED(Device->SetTransform(D3DTS_PROJECTION, &ProjectionMatrix))) {
        Log("ERROR: EndRenderToTexture Failed - Couldn't Reset Projection\n");
        return false;
    }
    RenderTargetProjection = nullptr;
    return true;
}
