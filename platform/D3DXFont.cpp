#include "platform/D3DXFont.h"

#include "platform/Direct3DDevice.h"
#include "platform/FaultInjector.h"
#include "platform/FontObject.h"

#include <algorithm>

namespace {

/// Lines taller or glyphs wider than this are refused: they would hardly fit a render target.
constexpr int kLargestFontSize = 1024;
/// The weight a font asks for when it names none, and the heaviest there is.
constexpr UINT kDefaultWeight = FW_NORMAL;
constexpr UINT kHeaviestWeight = 1000;

} // namespace

HRESULT D3DXCreateFontA(IDirect3DDevice9* device, int height, UINT width, UINT weight, UINT mipLevels,
                        BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                        DWORD pitchAndFamily, LPCSTR faceName, ID3DXFont** font) {
    TracedOperation call("D3DXCreateFontA", {height, width, weight, mipLevels, italic, charSet,
                                             outputPrecision, quality, pitchAndFamily});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (Direct3DDevice::FromInterface(device) == nullptr || font == nullptr || height < 1 ||
        height > kLargestFontSize || width > kLargestFontSize) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    std::unique_ptr<FontFace> face = FontFace::Create(
        faceName, height, static_cast<int>(width),
        static_cast<int>(weight == 0 ? kDefaultWeight : std::min(weight, kHeaviestWeight)), italic != FALSE);
    if (face == nullptr) {
        return call.Return(E_FAIL);
    }
    *font = new FontObject(device, std::move(face));
    return call.Return(D3D_OK);
}
