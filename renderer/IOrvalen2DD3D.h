#pragma once
// The 2D interface over the renderer's Direct3D device. The renderer core reads the texture table
// directly (render targets, shader textures), so the fields are public and keep their names.

#include "IOrvalen2D.h"
#include "platform/D3DXMath.h"
#include "platform/Direct3D9.h"
#include "renderer/TextureSlot.h"

#include <cstdint>

class IOrvalenD3D;

class IOrvalen2DD3D : public IOrvalen2D {
public:
    static constexpr std::int32_t kTextureSlots = 1000;
    static constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
    static constexpr DWORD kTexturedVertexFormat = kVertexFormat | D3DFVF_TEX1;

    IOrvalenD3D* Renderer = nullptr; ///< not owned; set by SetRenderer, gives the device and the camera
    D3DXMATRIX Transform;            ///< the textured quads' transform; identity until changed
    TextureSlot Textures[kTextureSlots];

    IOrvalen2DD3D();
    ~IOrvalen2DD3D() override;
    IOrvalen2DD3D(const IOrvalen2DD3D&) = delete;
    IOrvalen2DD3D& operator=(const IOrvalen2DD3D&) = delete;

    void SetRenderer(IOrvalenRenderer** renderer) override;
    void SetScreenSpace(bool on) override;
    void Begin2D() override;
    void End2D() override;

    bool MakePoint3D(float x, float y, float z, Vertex2D* out) override;
    bool MakePoint(float x, float y, Vertex2D* out) override;
    bool MakeLine3D(float x1, float y1, float z1, float x2, float y2, float z2, Vertex2D* out) override;
    bool MakeLine(float x1, float y1, float x2, float y2, Vertex2D* out) override;
    bool MakeRect3D(float x1, float y1, float x2, float y2, float z, Vertex2D* out) override;
    bool MakeRect(float x1, float y1, float x2, float y2, Vertex2D* out) override;
    bool MakeTriangle3D(float x1, float y1, float z1, float x2, float y2, float z2, float x3, float y3,
                        float z3, Vertex2D* out) override;
    bool MakeTriangle(float x1, float y1, float x2, float y2, float x3, float y3, Vertex2D* out) override;
    bool MakeCircle3D(float cx, float cy, float z, std::int32_t radius, std::int32_t count,
                      Vertex2D* out) override;
    bool MakeCircle(float cx, float cy, std::int32_t radius, std::int32_t count, Vertex2D* out) override;

    bool DrawPoints(std::int32_t count, const Vertex2D* points) override;
    bool DrawLines(std::int32_t count, const Vertex2D* ends) override;
    bool DrawRectangles(std::int32_t count, const Vertex2D* corners) override;
    bool DrawFilledRectangles(std::int32_t count, const Vertex2D* corners) override;
    bool DrawTriangles(std::int32_t count, const Vertex2D* corners) override;
    bool DrawFilledTriangles(std::int32_t count, const Vertex2D* corners) override;
    bool DrawCircle(std::int32_t count, const Vertex2D* fan) override;
    bool DrawFilledCircle(std::int32_t count, const Vertex2D* fan) override;

    void ResetTransform() override;
    void Translate(float x, float y, float z) override;
    void Rotate(float x, float y, float z) override;
    void Scale(float x, float y, float z) override;

    bool LoadTexture(const char* file, std::int32_t slot) override;
    bool LoadTexture(const char* file, std::uint32_t colourKey, std::int32_t slot) override;
    bool LoadTextureUnfiltered(const char* file, std::uint32_t colourKey, std::int32_t slot) override;
    void DestroyTexture(std::int32_t slot) override;
    bool CreateRenderTarget(std::uint32_t width, std::uint32_t height, std::uint32_t reserved,
                            std::int32_t slot) override;
    void DestroyRenderTarget(std::int32_t slot) override;
    bool GetImageInfo(const char* file, std::uint32_t* width, std::uint32_t* height,
                      std::uint32_t* depth) override;

    bool DrawTexture(float width, float height, float z, std::int32_t slot) override;
    bool DrawTexture(float width, float height, std::int32_t slot) override;
    bool DrawTextureAt(float x, float y, float z, float width, float height, std::int32_t slot) override;
    bool DrawTextureAt(float x, float y, float width, float height, std::int32_t slot) override;
    bool DrawTextureBatch(const float* xs, const float* ys, const float* zs, float rotateX, float rotateY,
                          float rotateZ, float width, float height, std::uint32_t count,
                          std::int32_t slot) override;
    bool DrawTextureRegion(float width, float height, float uLeft, float vTop, float uRight, float vBottom,
                           std::int32_t slot) override;
    bool DrawTextureSplit(float fraction, float x, float y, float width, float height, float slot) override;
    bool SetTexture(std::int32_t slot) override;
    bool UnsetTexture() override;

    /// Texture coordinates of a quad's edges.
    struct TextureRegion {
        float uLeft;
        float vTop;
        float uRight;
        float vBottom;
    };

private:
    /// Whether `slot` indexes the texture table.
    static bool IsSlot(std::int32_t slot) { return slot >= 0 && slot < kTextureSlots; }
    /// The device, or null before the renderer has one.
    IDirect3DDevice9* Device() const;
    /// Whether `slot` indexes the texture table; logs `operation`'s bad-index line when it does not.
    bool CheckSlot(const char* operation, std::int32_t slot) const;
    /// Releases what entry `slot` holds; a render target being drawn into stops being drawn into.
    void EmptyEntry(std::int32_t slot);
    /// The three loaders: the texture is made first and only then replaces what the entry held.
    bool LoadInto(const char* operation, const char* file, DWORD filter, DWORD colourKey, std::int32_t slot);
    /// The corners q0..q3 of a width x height quad centred on the origin at depth z, in the current
    /// space, coloured `Colour`.
    void BuildQuad(TexturedVertex2D (&quad)[4], float width, float height, float z,
                   const TextureRegion& region) const;
    /// Places the quad by `Transform` (the world transform, or transformed and unprojected positions in
    /// screen space) and draws it; false when the device refuses either.
    bool PlaceAndDraw(TexturedVertex2D (&quad)[4]) const;
    /// One quad with the slot's texture, centred on the origin of `Transform`.
    bool DrawQuad(const char* operation, float width, float height, float z, const TextureRegion& region,
                  std::int32_t slot);
    /// Leaves the device as the primitive drawers expect it, whatever happened before: no texture,
    /// world transform identity, Vertex2D's format. `drawn` and-ed with whether that worked.
    bool EndTexturedDrawing(bool drawn);
    /// A pixel position and depth of the render target turned into the world point drawn there.
    D3DXVECTOR3 FromScreen(const D3DXVECTOR3& pixel) const;
    /// A world point turned into its pixel position and depth.
    D3DXVECTOR3 ToScreen(const D3DXVECTOR3& world) const;
    /// The pixel position of a vertex: its own in screen space, else its projection.
    D3DXVECTOR3 PixelOf(const Vertex2D& vertex) const;
    /// A copy of `vertex` ready for the device: its position unprojected in screen space.
    Vertex2D Prepared(const Vertex2D& vertex) const;
    /// A copy of `vertex` placed at a pixel position.
    Vertex2D AtPixel(const Vertex2D& vertex, const D3DXVECTOR3& pixel) const;
    /// One user-pointer draw of Vertex2D; false unless the device returns D3D_OK.
    bool Draw(D3DPRIMITIVETYPE type, UINT primitives, const Vertex2D* vertices) const;
    /// A list drawn in one call from prepared copies of `vertexCount` vertices.
    bool DrawPrepared(D3DPRIMITIVETYPE type, UINT primitives, std::size_t vertexCount,
                      const Vertex2D* vertices) const;
    /// Half the pen width in pixels.
    float HalfWidth() const { return static_cast<float>(LineWidth) / 2.0f; }
    bool DrawThinRectangles(std::int32_t count, const Vertex2D* corners);
    bool DrawFilledRectanglesDirectly(std::int32_t count, const Vertex2D* corners);
    bool DrawThickPoints(std::int32_t count, const Vertex2D* points);
    bool DrawThickLines(std::int32_t count, const Vertex2D* ends);
    bool DrawThickRectangles(std::int32_t count, const Vertex2D* corners);
    bool DrawThickTriangles(std::int32_t count, const Vertex2D* corners);
    bool DrawGrownTriangles(std::int32_t count, const Vertex2D* corners);
    /// `count` vertices written by the Make operations at positions from `position(i)`.
    template <typename Position> bool Make(std::int32_t count, Vertex2D* out, Position position);
};
