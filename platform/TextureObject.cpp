#define GL_GLEXT_PROTOTYPES 1
#include "platform/TextureObject.h"

#include "platform/Direct3DDevice.h"
#include "platform/FaultInjector.h"
#include "platform/LiveObjectCounter.h"
#include "platform/SurfaceObject.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <map>

namespace {

constexpr const char* kInterfaceName = "IDirect3DTexture9";

std::map<IUnknown*, TextureObject*>& LiveTextures() {
    static std::map<IUnknown*, TextureObject*> textures;
    return textures;
}

UINT LevelSide(UINT side, UINT level) {
    return std::max(1u, level < 32 ? side >> level : 0u);
}

} // namespace

TextureObject::TextureObject(Direct3DDevice* device, UINT width, UINT height, UINT levels, DWORD usage,
                             D3DFORMAT format, D3DPOOL pool, const std::vector<platform::Image>& pixels)
    : m_device(device), m_width(width), m_height(height), m_levels(levels), m_usage(usage), m_format(format),
      m_pool(pool) {
    m_device->AddRef();
    m_device->MakeCurrent();
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGenTextures(1, &m_name);
    glBindTexture(GL_TEXTURE_2D, m_name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels) - 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    for (UINT level = 0; level < levels; ++level) {
        const UINT w = LevelSide(width, level);
        const UINT h = LevelSide(height, level);
        // Rows go in top first, so texture coordinate v = 0 is the image's top row.
        std::vector<std::uint32_t> blank;
        const std::uint32_t* data = nullptr;
        if (level < pixels.size()) {
            data = pixels[level].pixels.data();
        } else {
            blank.assign(std::size_t(w) * h, 0u);
            data = blank.data();
        }
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA8, static_cast<GLsizei>(w),
                     static_cast<GLsizei>(h), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, data);
    }
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    LiveTextures().emplace(static_cast<IUnknown*>(this), this);
    m_device->TextureBorn(*this);
    LiveObjectCounter::Instance().Born(kInterfaceName);
}

TextureObject::~TextureObject() {
    LiveObjectCounter::Instance().Died(kInterfaceName);
    LiveTextures().erase(static_cast<IUnknown*>(this));
    m_device->TextureDied(*this);
    m_device->MakeCurrent();
    glDeleteTextures(1, &m_name);
    m_device->Release();
}

TextureObject* TextureObject::FromInterface(IUnknown* texture) {
    const auto found = LiveTextures().find(texture);
    return found != LiveTextures().end() ? found->second : nullptr;
}

ULONG TextureObject::AddRef() {
    return ++m_references;
}

ULONG TextureObject::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

DWORD TextureObject::GetLevelCount() {
    return m_levels;
}

D3DSURFACE_DESC TextureObject::LevelDescription(UINT level) const {
    return {m_format,
            D3DRTYPE_SURFACE,
            m_usage,
            m_pool,
            D3DMULTISAMPLE_NONE,
            0,
            LevelSide(m_width, level),
            LevelSide(m_height, level)};
}

HRESULT TextureObject::GetLevelDesc(UINT level, D3DSURFACE_DESC* description) {
    TracedOperation call("IDirect3DTexture9::GetLevelDesc", {level});
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (level >= m_levels || description == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *description = LevelDescription(level);
    return call.Return(D3D_OK);
}

HRESULT TextureObject::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    TracedOperation call("IDirect3DTexture9::GetSurfaceLevel", {level});
    if (surface != nullptr) {
        *surface = nullptr;
    }
    if (call.Faulted()) {
        return call.Return(call.InjectedResult(D3DERR_INVALIDCALL));
    }
    if (level >= m_levels || surface == nullptr) {
        return call.Return(D3DERR_INVALIDCALL);
    }
    *surface = new SurfaceObject(this, level);
    return call.Return(D3D_OK);
}

platform::Image TextureObject::ReadLevel(UINT level) const {
    if (level >= m_levels) {
        return {};
    }
    platform::Image image;
    image.width = LevelSide(m_width, level);
    image.height = LevelSide(m_height, level);
    image.pixels.resize(std::size_t(image.width) * image.height);
    m_device->MakeCurrent();
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, m_name);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // The driver maps a level for reading without waiting for drawing already handed to its rasterizer
    // threads: a level just made by mip generation could read as it was before.
    glFinish();
    glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                  image.pixels.data());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    if (m_format == D3DFMT_X8R8G8B8) {
        for (std::uint32_t& pixel : image.pixels) {
            pixel |= 0xFF000000u;
        }
    }
    return image;
}
