#pragma once
// Static level geometry: triangles in up to 1000 material groups over one static physics body. The
// host holds levels made by the scene and calls them through the virtual table, so the order of the
// operations below is part of the interface.

#include <cstdint>

class IOrvalenRenderer;

class IOrvalen3DLevelObject {
public:
    virtual ~IOrvalen3DLevelObject() = default;
    /// Keeps `*renderer`; drawing goes through it.
    virtual void SetRenderer(IOrvalenRenderer** renderer) = 0;
    /// Draws the triangles inside the view frustum.
    /// Once the scene that made the level is gone it draws nothing and returns false, renderer or not.
    virtual bool Render() = 0;
    /// As Render, each group's texture going to effect slot `effect`.
    virtual bool RenderWithEffect(std::int32_t effect) = 0;
    virtual void SetMaterialDiffuse(const char* name, float r, float g, float b) = 0;
    virtual void SetMaterialAmbient(const char* name, float r, float g, float b) = 0;
    virtual void SetMaterialSpecular(const char* name, float r, float g, float b, float power) = 0;
    virtual void SetMaterialEmissive(const char* name, float r, float g, float b) = 0;
    /// Loads an image file as the group's texture; the third argument is not read.
    virtual bool LoadTexture(const char* name, const char* file, std::uint32_t unused) = 0;
    /// 0 static, 2 no contacts; other modes are ignored.
    virtual void SetMaterialCollisionMode(const char* name, std::int32_t mode) = 0;
    /// -1 for an unknown name.
    virtual std::int32_t GetMaterialCollisionMode(const char* name) = 0;
    virtual void SetMaterialAttribute(const char* name, std::uint32_t value) = 0;
};
