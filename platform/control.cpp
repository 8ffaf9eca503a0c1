#include "platform/control.h"

#include "platform/AdapterState.h"
#include "platform/Direct3DDevice.h"
#include "platform/FaultInjector.h"
#include "platform/ImageFile.h"
#include "platform/InputState.h"
#include "platform/KernelState.h"
#include "platform/LiveObjectCounter.h"
#include "platform/TextureObject.h"
#include "platform/WindowRegistry.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace platform {

HWND CreateHostWindow(const char* name, UINT width, UINT height) {
    if (name == nullptr || *name == '\0' || width == 0 || height == 0 || width > 16384 || height > 16384) {
        return nullptr;
    }
    return WindowRegistry::Instance().Create(name, width, height);
}

bool DestroyHostWindow(HWND window) {
    return WindowRegistry::Instance().Destroy(window);
}

bool IsHostWindow(HWND window) {
    return WindowRegistry::Instance().Find(window) != nullptr;
}

Image ReadWindowPixels(HWND window) {
    const WindowRecord* record = WindowRegistry::Instance().Find(window);
    if (record == nullptr) {
        return {};
    }
    return {record->width, record->height, record->pixels};
}

Image ReadBackBuffer(IDirect3DDevice9* device) {
    Direct3DDevice* live = Direct3DDevice::FromInterface(device);
    return live != nullptr ? live->ReadBackBuffer() : Image{};
}

DepthStencilImage ReadDepthStencil(IDirect3DDevice9* device) {
    Direct3DDevice* live = Direct3DDevice::FromInterface(device);
    return live != nullptr ? live->ReadDepthStencil() : DepthStencilImage{};
}

Image ReadTextureLevel(IDirect3DTexture9* texture, UINT level) {
    const TextureObject* live = TextureObject::FromInterface(texture);
    return live != nullptr ? live->ReadLevel(level) : Image{};
}

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

bool SavePng(const Image& image, const char* path) {
    if (image.width == 0 || image.height == 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height || path == nullptr) {
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "wb"));
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(static_cast<std::size_t>(image.width) * 4);
    // libpng reports errors by a long jump back here; no object with a destructor is made after this point.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (UINT y = 0; y < image.height; ++y) {
        for (UINT x = 0; x < image.width; ++x) {
            const std::uint32_t argb = image.At(x, y);
            png_byte* rgba = &row[static_cast<std::size_t>(x) * 4];
            rgba[0] = static_cast<png_byte>(argb >> 16);
            rgba[1] = static_cast<png_byte>(argb >> 8);
            rgba[2] = static_cast<png_byte>(argb);
            rgba[3] = static_cast<png_byte>(argb >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::optional<D3DVIEWPORT9> DeviceViewport(IDirect3DDevice9* device) {
    const Direct3DDevice* live = Direct3DDevice::FromInterface(device);
    return live != nullptr ? std::optional(live->Viewport()) : std::nullopt;
}

std::optional<D3DMATRIX> DeviceTransform(IDirect3DDevice9* device, D3DTRANSFORMSTATETYPE state) {
    const Direct3DDevice* live = Direct3DDevice::FromInterface(device);
    const D3DMATRIX* matrix = live != nullptr ? live->Transform(state) : nullptr;
    return matrix != nullptr ? std::optional(*matrix) : std::nullopt;
}

std::optional<D3DPRESENT_PARAMETERS> DevicePresentParameters(IDirect3DDevice9* device) {
    const Direct3DDevice* live = Direct3DDevice::FromInterface(device);
    return live != nullptr ? std::optional(live->PresentParameters()) : std::nullopt;
}

int LiveDeviceCount() {
    return Direct3DDevice::LiveCount();
}

bool SetDeviceLoss(IDirect3DDevice9* device, DeviceLoss loss) {
    Direct3DDevice* live = Direct3DDevice::FromInterface(device);
    if (live == nullptr) {
        return false;
    }
    live->SetLoss(loss);
    return true;
}

std::optional<DeviceLoss> DeviceLossOf(IDirect3DDevice9* device) {
    const Direct3DDevice* live = Direct3DDevice::FromInterface(device);
    return live != nullptr ? std::optional(live->Loss()) : std::nullopt;
}

void RecordSleepsOnly(bool on) {
    KernelState::Instance().SetRecordSleepsOnly(on);
}

AdapterConfiguration DefaultAdapter() {
    return {};
}

void ConfigureAdapter(const AdapterConfiguration& configuration) {
    AdapterState::Instance().Configure(configuration);
}

const AdapterConfiguration& CurrentAdapter() {
    return AdapterState::Instance().Configuration();
}

void InjectFault(const Fault& fault) {
    FaultInjector::Instance().Add(fault);
}

void FailCall(const char* operation, int nth) {
    Fault fault;
    fault.operation = operation;
    fault.nth = nth;
    InjectFault(fault);
}

void ClearFaults() {
    FaultInjector::Instance().ClearFaults();
}

void RecordCalls(bool on) {
    FaultInjector::Instance().SetRecording(on);
}

void UseCheaperDrawPath(bool on) {
    Direct3DDevice::UseCheaperDrawPath(on);
}

std::string TracedCall::Text() const {
    std::string text = operation + "(";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        text += (i > 0 ? ", " : "") + std::to_string(arguments[i]);
    }
    text += ") -> " + ResultName(result);
    if (injected) {
        text += " (injected)";
    }
    return text;
}

std::vector<TracedCall> CallTrace() {
    return FaultInjector::Instance().Trace();
}

std::string CallTraceText() {
    std::string text;
    for (const TracedCall& call : FaultInjector::Instance().Trace()) {
        text += call.Text() + "\n";
    }
    return text;
}

std::vector<TracedCall> CallsOf(const char* operation) {
    std::vector<TracedCall> calls;
    for (const TracedCall& call : FaultInjector::Instance().Trace()) {
        if (call.operation == operation) {
            calls.push_back(call);
        }
    }
    return calls;
}

void ClearCallTrace() {
    FaultInjector::Instance().ClearTrace();
}

std::vector<DrawnPrimitives> DrawnPrimitiveCalls() {
    return FaultInjector::Instance().Draws();
}

void SetKey(std::uint8_t key, bool down) {
    InputState::Instance().SetKey(key, down);
}

bool SetMouseButton(int button, bool down) {
    return InputState::Instance().SetButton(button, down);
}

void MoveMouse(LONG dx, LONG dy) {
    InputState::Instance().MoveMouse(dx, dy, 0);
}

void TurnMouseWheel(LONG dz) {
    InputState::Instance().MoveMouse(0, 0, dz);
}

void SetInputFocus(bool focused) {
    InputState::Instance().SetFocus(focused);
}

std::size_t TakeLargestImageDecoderRequest() {
    return ImageFile::TakeLargestDecoderRequest();
}

int LiveObjects(const char* interfaceName) {
    return LiveObjectCounter::Instance().Count(interfaceName);
}

int LiveObjectTotal() {
    return LiveObjectCounter::Instance().Total();
}

void ResetPlatform() {
    InputState::Instance().Reset();
    ConfigureAdapter(DefaultAdapter());
    ClearFaults();
    ClearCallTrace();
    RecordCalls(false);
    UseCheaperDrawPath(true);
    RecordSleepsOnly(false);
}

std::string ResultName(HRESULT result) {
    struct Named {
        HRESULT result;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {D3D_OK, "D3D_OK"},
        {S_FALSE, "S_FALSE"},
        {E_FAIL, "E_FAIL"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {D3DERR_NOTFOUND, "D3DERR_NOTFOUND"},
        {D3DERR_DEVICELOST, "D3DERR_DEVICELOST"},
        {D3DERR_DEVICENOTRESET, "D3DERR_DEVICENOTRESET"},
        {D3DERR_NOTAVAILABLE, "D3DERR_NOTAVAILABLE"},
        {D3DERR_INVALIDCALL, "D3DERR_INVALIDCALL"},
        {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY"},
        {D3DERR_DRIVERINTERNALERROR, "D3DERR_DRIVERINTERNALERROR"},
    };
    for (const Named& named : kNames) {
        if (named.result == result) {
            return named.name;
        }
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

} // namespace platform
