#include "platform/D3DXEffect.h"

#include "platform/BoundedFileReader.h"
#include "platform/Direct3DDevice.h"
#include "platform/EffectFileParser.h"
#include "platform/EffectObject.h"
#include "platform/FaultInjector.h"
#include "platform/MemoryBuffer.h"

#include <sstream>
#include <string>

HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, LPCSTR file, const D3DXMACRO* defines,
                                  ID3DXInclude* include, DWORD flags, ID3DXEffectPool* pool,
                                  ID3DXEffect** effect, ID3DXBuffer** errors) {
    TracedOperation call("D3DXCreateEffectFromFileA", {flags});
    if (errors != nullptr) {
        *errors = nullptr;
    }
    if (effect != nullptr) {
        *effect = nullptr;
    }
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(E_FAIL));
    }
    if (Direct3DDevice::FromInterface(device) == nullptr || file == nullptr || effect == nullptr ||
        defines != nullptr || include != nullptr || flags != 0 || pool != nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    const std::optional<std::vector<std::uint8_t>> bytes = BoundedFileReader::Read(file);
    if (!bytes) {
        return call.Return(E_FAIL);
    }
    const std::string_view source(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    EffectDescription description;
    EffectParseError error;
    if (!EffectFileParser::Parse(source, description, error)) {
        if (errors != nullptr) {
            std::ostringstream text;
            text << file << '(' << error.line << ',' << error.column << "): error: " << error.message;
            *errors = MemoryBuffer::FromText(text.str());
        }
        return call.Return(D3DXERR_INVALIDDATA);
    }
    *effect = new EffectObject(device, std::move(description));
    return call.Return(D3D_OK);
}
